// Listeners of a CAN interface that come and go while its receive thread
// dispatches a flood of frames on the vrbus daemon: one listener that stays
// gets every frame in order (or counts it lost), and the listeners and
// handlers added and removed meanwhile are never touched after their removal
// returned (the thread sanitizer build runs this too).
#include "bench/receive_road_flood.h"
#include "can_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

namespace {

using namespace can_test;

class CountingHandler : public VyrSignalIfHandler
{
public:
    explicit CountingHandler(uint32_t key) : VyrSignalIfHandler(key) {}
    int on_frame(const uint8_t *, int, const TimeValue &, const void *) override
    {
        calls.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    std::atomic<uint64_t> calls{0};
};

using CanListeners = CanFixture;

TEST_F(CanListeners, ComeAndGoWhileTheReceiveThreadRuns)
{
    VyrCanIf *can = make("CAN");
    VyrMessageQueue steady(0, 4096, 1 << 20);
    can->add_message_listener(&steady);
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);

    constexpr uint32_t frames = 200000;
    std::atomic<bool> sent{false};
    bool flooded = false;
    std::thread sender([&] {
        receive_road::FloodClient flood;
        flooded = flood.open(5000) && flood.flood(0, receive_road::Phase{100000, frames / 100000.0}) == frames;
        sent = true;
    });

    // The steady listener's reader takes its frames over as a window's tick would.
    uint64_t received = 0;
    uint32_t next = 0;
    bool in_order = true;
    const auto take = [&] {
        VyrCanMessage message;
        while (steady.get(message) == 0) {
            uint32_t number = 0;
            std::memcpy(&number, message.data, 4);
            in_order &= number >= next;
            next = number + 1;
            ++received;
        }
    };
    int rounds = 0;
    while (!sent.load() || rounds < 50) {
        auto passing = std::make_unique<VyrMessageQueue>(0, 64, 256);
        auto handler = std::make_unique<CountingHandler>(receive_road::first_id);
        can->add_message_listener(passing.get());
        can->add_handler(handler.get());
        take();
        can->remove_handler(handler.get());
        can->remove_message_listener(passing.get());
        ++rounds;
    }
    sender.join();
    ASSERT_TRUE(flooded);
    ASSERT_TRUE(eventually([&] {
        take();
        return received + steady.lost_count() == frames;
    })) << received
        << " received, " << steady.lost_count() << " lost";
    measurement.stop();
    can->remove_message_listener(&steady);
    EXPECT_TRUE(in_order);
    EXPECT_GE(rounds, 50);
}

} // namespace
