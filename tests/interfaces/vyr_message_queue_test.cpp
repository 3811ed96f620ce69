// The message queue of a CAN interface's listeners: its start capacity, its
// growth, and the block size 0 that the plug-in library channels ask for.
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
    for (uint32_t i = 0; i < 12000; ++i) {
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
}

} // namespace
