// A value that the realtime thread reads in passes while other threads
// replace it: when an old value goes, and a reading thread that walks a
// published list while another thread changes it again and again (under the
// address or thread sanitizer a value freed too early is a finding).
#include "core/realtime_published.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Value
{
    explicit Value(int n = 0) : n(n) {}
    int n;
};

TEST(RealtimePublished, AReplacedValueLivesWhileAPassThatMayReadItRuns)
{
    RealtimePasses passes;
    RealtimePublished<Value> slot(passes);
    slot.replace(std::make_unique<Value>(16));
    EXPECT_EQ(slot.retired_count(), 0);

    // No pass running at the swap: the old value goes at once.
    slot.replace(std::make_unique<Value>(32));
    EXPECT_EQ(slot.retired_count(), 0);
    {
        RealtimePasses::Pass pass(passes);
        const Value *read = slot.get();
        slot.replace(std::make_unique<Value>(64));
        EXPECT_EQ(slot.retired_count(), 1);
        EXPECT_EQ(read->n, 32); // still readable
        slot.replace(std::make_unique<Value>(128));
        EXPECT_EQ(slot.retired_count(), 2);
    }
    slot.replace(nullptr);
    EXPECT_EQ(slot.retired_count(), 0);
    EXPECT_EQ(slot.get(), nullptr);
}

TEST(RealtimePublished, AWaitingChangeReturnsOnlyAfterThePassThatSawTheOldValue)
{
    RealtimePasses passes;
    RealtimePublished<std::vector<int>> list(passes);
    list.update_and_wait([](std::vector<int> &items) { items.push_back(1); });
    std::atomic<bool> in_pass{false};
    std::atomic<bool> leave{false};
    std::thread reader([&] {
        RealtimePasses::Pass pass(passes);
        const std::vector<int> *seen = list.get();
        in_pass = true;
        while (!leave.load())
            std::this_thread::yield();
        EXPECT_EQ(seen->size(), 1u); // not freed under the pass
    });
    while (!in_pass.load())
        std::this_thread::yield();
    std::atomic<bool> changed{false};
    std::thread changer([&] {
        list.update_and_wait([](std::vector<int> &items) { items.push_back(2); });
        changed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(changed.load()) << "the change returned while a pass could read the old list";
    leave = true;
    reader.join();
    changer.join();
    EXPECT_TRUE(changed.load());
    EXPECT_EQ(*list.get(), (std::vector<int>{1, 2}));
}

TEST(RealtimePublished, AListChangedWhileTheReaderWalksItIsNeverReadFreed)
{
    RealtimePasses passes;
    RealtimePublished<std::vector<std::unique_ptr<Value>>> list(passes);
    std::atomic<bool> done{false};
    std::atomic<long> walked{0};
    std::thread reader([&] {
        while (!done.load()) {
            RealtimePasses::Pass pass(passes);
            if (const auto *items = list.get())
                for (const auto &item : *items)
                    walked += item->n;
        }
    });
    for (int round = 0; round < 2000; ++round) {
        auto items = std::make_unique<std::vector<std::unique_ptr<Value>>>();
        for (int i = 0; i < round % 8; ++i)
            items->push_back(std::make_unique<Value>(i));
        if (round % 2)
            list.replace(std::move(items));
        else
            list.replace_and_wait(std::move(items));
    }
    done = true;
    reader.join();
    EXPECT_GE(walked.load(), 0);
}

} // namespace
