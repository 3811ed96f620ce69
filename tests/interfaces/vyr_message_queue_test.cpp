// The message queue of a CAN interface's listeners: its start capacity, its
// growth into the room its reader makes ahead, the frames it counts as lost,
// and the block size 0 that the plug-in library channels ask for.
#include "interfaces/can/vyr_message_queue.h"

#include <gtest/gtest.h>

namespace {

TEST(VyrMessageQueue, StartsWithTheInitialCapacityAndGrowsInBlocks)
{
    struct Case
    {
        uint32_t initial, block, maximum;
        uint32_t start_capacity, block_size;
    };
    const Case cases[] = {
        {5000, 5000, 500000, 5000, 5000}, // a trace window's queue
        {12000, 5000, 500000, 15000, 5000},
        {0, 0, 500000, 5000, 5000}, // a plug-in library channel's queue
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.initial);
        VyrMessageQueue queue(c.initial, c.block, c.maximum);
        EXPECT_EQ(queue.ring().capacity(), c.start_capacity);
        EXPECT_EQ(queue.ring().block_size(), c.block_size);
    }
}

TEST(VyrMessageQueue, HandsBackEveryRecordInOrderAcrossBlocks)
{
    VyrMessageQueue queue(0, 0, 500000);
    VyrCanMessage message;
    EXPECT_EQ(queue.get(message), -1);
    // Two bursts of 6,000 with a tick of the reader between them, which makes
    // room for twice the first burst.
    for (uint32_t i = 0; i < 12000; ++i) {
        if (i == 6000)
            queue.make_room();
        message.id = i;
        ASSERT_EQ(queue.put(message), 0);
    }
    EXPECT_EQ(queue.ring().capacity(), 15000u);
    for (uint32_t i = 0; i < 12000; ++i) {
        ASSERT_EQ(queue.get(message), 0);
        ASSERT_EQ(message.id, i);
    }
    EXPECT_EQ(queue.get(message), -1);
    queue.put(message);
    queue.clear();
    EXPECT_EQ(queue.get(message), -1);
    EXPECT_EQ(queue.put_count(), 12001u);
    EXPECT_EQ(queue.lost_count(), 0u);
}

TEST(VyrMessageQueue, FramesWithoutRoomAreLostAndCounted)
{
    // One block of 64 and one made ahead; the maximum allows no more.
    VyrMessageQueue queue(0, 64, 128);
    VyrCanMessage message;
    int refused = 0;
    for (uint32_t i = 0; i < 200; ++i) {
        message.id = i;
        refused += queue.put(message) != 0;
    }
    EXPECT_EQ(queue.lost_count(), uint64_t(refused));
    EXPECT_EQ(queue.put_count() + queue.lost_count(), 200u);
    uint32_t next = 0;
    while (queue.get(message) == 0)
        ASSERT_EQ(message.id, next++) << "the records kept are the first ones";
    EXPECT_EQ(next, queue.put_count());
}

} // namespace
