#include "platform/event.h"
#include "platform/rt_clock_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <thread>
#include <unistd.h>

using platform::Event;
using platform::RtClockDevice;

namespace {

int register_event(RtClockDevice &device, int fd)
{
    const uint32_t handle = uint32_t(fd);
    return device.control(RtClockDevice::ioctl_set_tick_event, &handle, sizeof handle, nullptr, 0);
}

int arm_next_tick(RtClockDevice &device, uint32_t delay_ms)
{
    return device.control(RtClockDevice::ioctl_set_next_tick, &delay_ms, sizeof delay_ms, nullptr, 0);
}

} // namespace

TEST(RtClockDevice, OpensOnlyUnderItsName)
{
    EXPECT_EQ(RtClockDevice::open("\\\\.\\vrbus0a.init"), nullptr);
    EXPECT_NE(RtClockDevice::open("rtclockx0"), nullptr);
    EXPECT_NE(RtClockDevice::open(), nullptr);
}

TEST(RtClockDevice, AnswersItsVersionWithTheOpenCount)
{
    auto first = RtClockDevice::open();
    auto second = RtClockDevice::open();
    ASSERT_TRUE(first && second);
    uint32_t words[4] = {};
    size_t returned = 0;
    ASSERT_EQ(first->control(RtClockDevice::ioctl_get_version, nullptr, 0, words, sizeof words, &returned), 0);
    EXPECT_EQ(returned, sizeof words);
    EXPECT_EQ(words[0], RtClockDevice::version_major);
    EXPECT_EQ(words[1], RtClockDevice::version_minor);
    EXPECT_EQ(words[2], RtClockDevice::version_build);
    EXPECT_EQ(words[3], 2u);
    second.reset();
    EXPECT_EQ(RtClockDevice::open_count(), 1);
}

TEST(RtClockDevice, RefusesBadRequests)
{
    auto device = RtClockDevice::open();
    ASSERT_TRUE(device);
    uint32_t small[2];
    EXPECT_EQ(device->control(RtClockDevice::ioctl_get_version, nullptr, 0, small, sizeof small), EINVAL);
    EXPECT_EQ(device->control(0x80002000, nullptr, 0, nullptr, 0), EINVAL);
    const uint16_t short_handle = 3;
    EXPECT_EQ(device->control(RtClockDevice::ioctl_set_tick_event, &short_handle, sizeof short_handle, nullptr, 0),
              EINVAL);
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    EXPECT_EQ(register_event(*device, pipe_fds[1]), EBADF); // only events take ticks
    close(pipe_fds[0]);
    close(pipe_fds[1]);
}

TEST(RtClockDevice, SetsTheRegisteredEventOnEveryTick)
{
    auto device = RtClockDevice::open();
    ASSERT_TRUE(device);
    Event first;
    ASSERT_EQ(register_event(*device, first.fd()), 0);
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_TRUE(first.wait(1000)) << "tick " << tick;

    // A new registration takes the place of the old one.
    Event second;
    ASSERT_EQ(register_event(*device, second.fd()), 0);
    first.reset();
    EXPECT_TRUE(second.wait(1000));
    EXPECT_TRUE(second.wait(1000));
    EXPECT_FALSE(first.is_set());
}

TEST(RtClockDevice, OutlivesTheEventRegisteredWithIt)
{
    auto device = RtClockDevice::open();
    ASSERT_TRUE(device);
    {
        Event event;
        ASSERT_EQ(register_event(*device, event.fd()), 0);
        EXPECT_TRUE(event.wait(1000));
    }
    // Ticks keep going into the device's own reference; a new descriptor with
    // the old number receives nothing.
    Event successor;
    EXPECT_FALSE(successor.wait(5));
}

TEST(RtClockDevice, ArmedForANextTickSetsTheEventOnceInsteadOfTicking)
{
    auto device = RtClockDevice::open();
    ASSERT_TRUE(device);
    Event event;
    ASSERT_EQ(register_event(*device, event.fd()), 0);
    ASSERT_EQ(arm_next_tick(*device, 60000), 0); // stops the ticks
    std::this_thread::sleep_for(std::chrono::milliseconds(5)); // a tick under way lands
    event.reset();
    EXPECT_FALSE(event.wait(50));

    ASSERT_EQ(arm_next_tick(*device, 20), 0);
    EXPECT_TRUE(event.wait(1000));
    EXPECT_FALSE(event.wait(100)); // once
    ASSERT_EQ(arm_next_tick(*device, 0), 0);
    EXPECT_TRUE(event.wait(1000));
    const uint16_t short_delay = 1;
    EXPECT_EQ(device->control(RtClockDevice::ioctl_set_next_tick, &short_delay, sizeof short_delay, nullptr, 0),
              EINVAL);
}
