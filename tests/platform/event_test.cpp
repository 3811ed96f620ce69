#include "platform/event.h"
#include "platform/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using platform::Event;
using platform::WaitHandle;
using platform::wait_any;

TEST(Event, AutoResetEventIsTakenByOneWait)
{
    Event event;
    ASSERT_TRUE(event.is_valid());
    EXPECT_FALSE(event.wait(0));
    event.set();
    event.set(); // setting a set event changes nothing
    EXPECT_TRUE(event.is_set());
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.is_set());
    EXPECT_FALSE(event.wait(0));
}

TEST(Event, ManualResetEventStaysSetUntilReset)
{
    Event event(Event::Reset::manual, true);
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0));
    event.reset();
    EXPECT_FALSE(event.wait(0));
}

TEST(WaitAny, ServesTheLowestReadyIndexAndResetsOnlyThatOne)
{
    Event first, second, third;
    Event manual(Event::Reset::manual);
    const std::vector<WaitHandle> set = {first.handle(), manual.handle(), second.handle(), third.handle()};

    third.set();
    first.set();
    EXPECT_EQ(wait_any(set, 0), 0);
    EXPECT_FALSE(first.is_set());
    EXPECT_TRUE(third.is_set());
    EXPECT_EQ(wait_any(set, 0), 3);
    EXPECT_FALSE(third.is_set());

    // A manual-reset event keeps winning until it is reset; the auto-reset
    // events behind it keep their signal.
    manual.set();
    second.set();
    EXPECT_EQ(wait_any(set, 0), 1);
    EXPECT_EQ(wait_any(set, 0), 1);
    EXPECT_TRUE(second.is_set());
    manual.reset();
    EXPECT_EQ(wait_any(set, 0), 2);
    EXPECT_EQ(wait_any(set, 0), platform::wait_timeout);
}

TEST(WaitAny, ReportsADeviceDescriptorWithoutConsumingIt)
{
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    Event event;
    const std::vector<WaitHandle> set = {event.handle(), WaitHandle{-1, false}, WaitHandle{pair[0], false}};
    ASSERT_EQ(write(pair[1], "x", 1), 1);
    EXPECT_EQ(wait_any(set, 0), 2);
    EXPECT_EQ(wait_any(set, 0), 2); // still readable: its owner reads it
    char c;
    ASSERT_EQ(read(pair[0], &c, 1), 1);
    EXPECT_EQ(wait_any(set, 0), platform::wait_timeout);
    close(pair[0]);
    close(pair[1]);
}

TEST(WaitAny, FailsOnAnInvalidSet)
{
    const int closed = eventfd(0, 0);
    close(closed);
    EXPECT_EQ(wait_any({WaitHandle{closed, false}}, 0), platform::wait_failed);

    Event event;
    std::vector<WaitHandle> too_many(platform::max_wait_handles + 1, event.handle());
    EXPECT_EQ(wait_any(too_many, 0), platform::wait_failed);
}

TEST(WaitAny, TimesOutWhenNothingIsSet)
{
    Event event;
    EXPECT_EQ(wait_any({event.handle()}, 5), platform::wait_timeout);
    EXPECT_EQ(wait_any({}, 0), platform::wait_timeout);
}

TEST(WaitAny, WakesWhenAnotherThreadSetsAnEvent)
{
    Event idle, wake;
    std::thread setter([&] { wake.set(); });
    EXPECT_EQ(wait_any({idle.handle(), wake.handle()}, platform::wait_infinite), 1);
    setter.join();
    EXPECT_FALSE(wake.is_set());
}

TEST(WaitAny, OneSettingOfAnAutoResetEventWakesOneOfTwoWaiters)
{
    Event shared;
    Event release(Event::Reset::manual);
    std::mutex mutex;
    std::condition_variable reported;
    std::vector<int> results;

    auto waiter = [&] {
        const int r = wait_any({shared.handle(), release.handle()}, platform::wait_infinite);
        std::lock_guard<std::mutex> lock(mutex);
        results.push_back(r);
        reported.notify_all();
    };
    std::thread a(waiter), b(waiter);
    shared.set();
    {
        std::unique_lock<std::mutex> lock(mutex);
        reported.wait(lock, [&] { return !results.empty(); });
    }
    release.set();
    a.join();
    b.join();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 1);
    EXPECT_FALSE(shared.is_set());
}
