#include "core/vyr_message_ring.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

std::vector<int> drain(VyrMessageRing<int> &ring)
{
    std::vector<int> records;
    while (!ring.is_rp_at_wp()) {
        records.push_back(ring.read_record());
        ring.move_read_pointer(1);
    }
    return records;
}

TEST(VyrMessageRing, GrowsInsteadOfWrappingIntoTheReadBlock)
{
    VyrMessageRing<int> ring(0, 4, 100);
    EXPECT_EQ(ring.block_count(), 1u);
    EXPECT_EQ(ring.capacity(), 4u);
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(ring.put(i), 0);
    // The fourth put wrapped back into the one block the reader is in.
    EXPECT_EQ(ring.block_count(), 2u);
    EXPECT_EQ(ring.record_count(), 4u);
    EXPECT_EQ(drain(ring), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(ring.record_count(), 0u);

    // Once the reader has moved on, the writer reuses the blocks: six records
    // at a time never need more than three blocks of four.
    for (int round = 0; round < 10; ++round) {
        for (int i = 0; i < 6; ++i)
            ASSERT_EQ(ring.put(round * 10 + i), 0);
        EXPECT_EQ(drain(ring), (std::vector<int>{round * 10, round * 10 + 1, round * 10 + 2, round * 10 + 3,
                                                 round * 10 + 4, round * 10 + 5}));
    }
    EXPECT_EQ(ring.block_count(), 3u);
}

TEST(VyrMessageRing, FullAtItsMaximumKeepsItsContent)
{
    VyrMessageRing<int> ring(8, 4, 8);
    EXPECT_EQ(ring.capacity(), 8u);
    int put = 0;
    while (ring.put(put) == 0)
        ++put;
    // The write position never enters the block the reader is in.
    EXPECT_EQ(put, 7);
    EXPECT_EQ(ring.put(99), -1);
    std::vector<int> expected;
    for (int i = 0; i < put; ++i)
        expected.push_back(i);
    EXPECT_EQ(drain(ring), expected);
}

TEST(VyrMessageRing, ReadPointerMovesAndDiscardAll)
{
    VyrMessageRing<int> ring(0, 3, 30);
    for (int i = 0; i < 7; ++i)
        ring.put(i);
    EXPECT_EQ(ring.move_read_pointer(2), 0);
    EXPECT_EQ(ring.read_record(), 2);
    EXPECT_EQ(ring.move_read_pointer(-2), 0);
    EXPECT_EQ(ring.read_record(), 0);
    EXPECT_EQ(ring.record_count(), 7u);
    EXPECT_EQ(ring.move_read_pointer(10), 3);
    EXPECT_EQ(ring.record_count(), 0u);

    for (int i = 0; i < 5; ++i)
        ring.put(i);
    ring.discard_all();
    EXPECT_TRUE(ring.is_rp_at_wp());
    EXPECT_EQ(ring.record_count(), 0u);
    ring.put(42);
    EXPECT_EQ(drain(ring), std::vector<int>{42});
}

// One writer and one reader without a lock: every record arrives once and in order.
TEST(VyrMessageRing, WriterAndReaderThreads)
{
    VyrMessageRing<uint64_t> ring(0, 64, 4096);
    constexpr uint64_t count = 200000;
    std::thread writer([&] {
        for (uint64_t i = 0; i < count;)
            if (ring.put(i) == 0)
                ++i;
    });
    uint64_t expected = 0;
    while (expected < count) {
        if (ring.is_rp_at_wp())
            continue;
        ASSERT_EQ(ring.read_record(), expected);
        ring.move_read_pointer(1);
        ++expected;
    }
    writer.join();
    EXPECT_TRUE(ring.is_rp_at_wp());
    EXPECT_EQ(ring.record_count(), 0u);
}

} // namespace
