// The block ring: growth, wrap, full ring and cursor rules in one table; the
// writer that never allocates and grows only into the room the reader made
// ahead, counting what found none; one writer against one reader (with
// discard_all) on a small ring.
#include "core/vyr_message_ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

// The heap allocations of the calling thread.
thread_local uint64_t t_allocations = 0;

void *operator new(size_t size)
{
    ++t_allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, size_t) noexcept
{
    std::free(p);
}

namespace {

using Ring = VyrMessageRing<int>;

// The content from the read position to the write position, walked with the
// view position, which is put back where it was.
std::vector<int> content(Ring &ring)
{
    ring.save_view_pointer();
    while (ring.move_view_pointer(-1) == 0) {}
    std::vector<int> records;
    for (; !ring.at_end(); ring.move_view_pointer(1))
        records.push_back(ring.view_record());
    ring.restore_view_pointer();
    return records;
}

struct Step
{
    enum Op { Put, Read, View, Discard } op;
    int argument;
    int result; // of put / the steps not done
};

struct Case
{
    const char *what;
    uint32_t initial, block, maximum;
    std::vector<Step> steps;
    std::vector<int> content;
    uint32_t blocks;
};

TEST(VyrMessageRing, GrowthWrapAndCursorRules)
{
    using S = Step;
    const Case cases[] = {
        {"an empty start has one block", 0, 5000, 500000, {}, {}, 1},
        {"the put that would wrap into the read block adds a block",
         0, 4, 100,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Put, 3, 0}, {S::Put, 4, 0}, {S::Put, 5, 0}},
         {1, 2, 3, 4, 5}, 2},
        {"at the maximum that put fails and nothing changes",
         0, 4, 4,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Put, 3, 0}, {S::Put, 4, -1}},
         {1, 2, 3}, 1},
        {"the writer wraps into a block the reader has left",
         8, 4, 8,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Put, 3, 0}, {S::Put, 4, 0}, {S::Read, 4, 0},
          {S::Put, 5, 0}, {S::Put, 6, 0}, {S::Put, 7, 0}, {S::Put, 8, 0}, {S::Put, 9, 0}},
         {5, 6, 7, 8, 9}, 2},
        {"a new block goes in after the write block, before the reader's",
         8, 4, 12,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Put, 3, 0}, {S::Put, 4, 0}, {S::Put, 5, 0}, {S::Put, 6, 0},
          {S::Put, 7, 0}, {S::Read, 2, 0}, {S::Put, 8, 0}, {S::Put, 9, 0}, {S::Put, 10, 0}, {S::Put, 11, 0}},
         {3, 4, 5, 6, 7, 8, 9, 10, 11}, 3},
        {"reading past the content stops at the write position",
         0, 4, 100,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Read, 5, 3}},
         {}, 1},
        {"reading back over taken records brings them back",
         0, 3, 100,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Put, 3, 0}, {S::Put, 4, 0}, {S::Read, 4, 0}, {S::Read, -2, 0}},
         {3, 4}, 2},
        {"the view stops at the read position going back",
         0, 4, 100,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::View, 1, 0}, {S::View, -3, -2}},
         {1, 2}, 1},
        {"the view stops at the write position going forward",
         0, 4, 100,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::View, 5, 3}},
         {1, 2}, 1},
        {"discard_all then one put leaves that record",
         0, 4, 100,
         {{S::Put, 1, 0}, {S::Put, 2, 0}, {S::Put, 3, 0}, {S::Put, 4, 0}, {S::Put, 5, 0}, {S::Discard, 0, 0},
          {S::Put, 6, 0}},
         {6}, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Ring ring(c.initial, c.block, c.maximum);
        for (const Step &step : c.steps) {
            switch (step.op) {
            case Step::Put: EXPECT_EQ(ring.put(step.argument), step.result); break;
            case Step::Read: EXPECT_EQ(ring.move_read_pointer(step.argument), step.result); break;
            case Step::View: EXPECT_EQ(ring.move_view_pointer(step.argument), step.result); break;
            case Step::Discard: ring.discard_all(); break;
            }
        }
        EXPECT_EQ(content(ring), c.content);
        EXPECT_EQ(ring.record_count(), c.content.size());
        EXPECT_EQ(ring.is_rp_at_wp(), c.content.empty());
        EXPECT_EQ(ring.block_count(), c.blocks);
        EXPECT_EQ(ring.capacity(), c.blocks * c.block);
    }
}

// A record that shows a torn copy: the second word is the first inverted.
struct Checked
{
    uint64_t value = 0;
    uint64_t inverted = ~uint64_t(0);
};

TEST(VyrMessageRing, OneWriterAndOneReaderLoseNothingTheyDidNotDiscard)
{
    constexpr uint64_t total = 400000;
    VyrMessageRing<Checked> ring(0, 64, 1024);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        for (uint64_t i = 1; i <= total; ++i) {
            const Checked record{i, ~i};
            while (ring.put(record) != 0)
                std::this_thread::yield();
        }
        written = true;
    });
    uint64_t last = 0, taken = 0, discards = 0;
    bool torn = false, out_of_order = false;
    // Until the writer is done and the ring empty: a discard may take the
    // last records, so the last value need not arrive.
    for (;;) {
        const bool writer_done = written.load();
        if (ring.is_rp_at_wp()) {
            if (writer_done)
                break;
            ring.make_room();
            continue;
        }
        const Checked record = ring.read_record();
        torn |= record.inverted != ~record.value;
        out_of_order |= record.value <= last;
        last = record.value;
        ++taken;
        ring.move_read_pointer(1);
        if (taken % 10007 == 0) {
            ring.discard_all();
            ++discards;
        }
    }
    writer.join();
    EXPECT_FALSE(torn);
    EXPECT_FALSE(out_of_order);
    EXPECT_GT(discards, 0u);
    EXPECT_TRUE(ring.is_rp_at_wp());
    EXPECT_EQ(ring.record_count(), 0u);
    EXPECT_LE(ring.capacity(), 1024u + 64u);
}

// The reader's part: takes every record and makes room ahead.
std::vector<int> drain(VyrMessageRing<int> &ring)
{
    std::vector<int> records;
    while (!ring.is_rp_at_wp()) {
        records.push_back(ring.read_record());
        ring.move_read_pointer(1);
    }
    ring.make_room();
    return records;
}

TEST(VyrMessageRing, GrowsIntoTheRoomTheReaderMadeInsteadOfWrappingIntoTheReadBlock)
{
    VyrMessageRing<int> ring(0, 4, 100);
    EXPECT_EQ(ring.block_count(), 1u);
    EXPECT_EQ(ring.capacity(), 4u);
    EXPECT_EQ(ring.reserve(), 4u); // one block made ahead
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(ring.put(i), 0);
    // The fourth put wrapped back into the one block the reader is in.
    EXPECT_EQ(ring.block_count(), 2u);
    EXPECT_EQ(ring.reserve(), 0u);
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
    EXPECT_EQ(ring.dropped_count(), 0u);
    EXPECT_EQ(ring.put_count(), 64u);
}

TEST(VyrMessageRing, TheWriterNeverAllocatesAndCountsWhatFindsNoRoom)
{
    VyrMessageRing<int> ring(0, 4, 1000, 8);
    EXPECT_EQ(ring.reserve(), 8u);
    const uint64_t before = t_allocations;
    int refused = 0;
    for (int i = 0; i < 20; ++i)
        refused += ring.put(i) != 0;
    EXPECT_EQ(t_allocations, before) << "put allocated";
    // One block of four and two made ahead hold eleven records: the write
    // position never enters the reader's block from another one.
    EXPECT_EQ(refused, 9);
    EXPECT_EQ(ring.dropped_count(), 9u);
    EXPECT_EQ(ring.put_count(), 11u);
    EXPECT_EQ(drain(ring).size(), 11u);
    // The reader's tick made room for twice what came since the last one.
    EXPECT_GE(ring.reserve(), 22u);
    const uint64_t again = t_allocations;
    refused = 0;
    for (int i = 0; i < 20; ++i)
        refused += ring.put(i) != 0;
    EXPECT_EQ(t_allocations, again) << "put allocated";
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(ring.dropped_count(), 9u);
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
    ring.make_room(7);
    for (int i = 0; i < 7; ++i)
        ASSERT_EQ(ring.put(i), 0);
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

// Consuming past the view position takes the view along: it never names a
// record that the writer may already reuse.
TEST(VyrMessageRing, TheViewMovesAlongWhenTheReadPositionPassesIt)
{
    VyrMessageRing<int> ring(0, 3, 30);
    ring.make_room(9);
    for (int i = 0; i < 9; ++i)
        ASSERT_EQ(ring.put(i), 0);
    EXPECT_EQ(ring.move_view_pointer(2), 0);
    EXPECT_EQ(ring.move_read_pointer(1), 0);
    EXPECT_EQ(ring.view_record(), 2) << "a view ahead of the read position stays";
    EXPECT_EQ(ring.move_read_pointer(5), 0);
    EXPECT_TRUE(ring.at_begin());
    EXPECT_EQ(ring.view_record(), 6);
    EXPECT_EQ(ring.move_view_pointer(-1), -1);
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
        if (ring.is_rp_at_wp()) {
            ring.make_room();
            continue;
        }
        ASSERT_EQ(ring.read_record(), expected);
        ring.move_read_pointer(1);
        ++expected;
    }
    writer.join();
    EXPECT_TRUE(ring.is_rp_at_wp());
    EXPECT_EQ(ring.record_count(), 0u);
}

} // namespace
