#include "core/id_bit_set.h"

#include <gtest/gtest.h>

namespace {

TEST(IdBitSet, SetsClearsAndRejectsIdsOutsideTheRange)
{
    IdBitSet set(100, 20);
    EXPECT_EQ(set.set(100), 0);
    EXPECT_EQ(set.set(119), 0);
    EXPECT_EQ(set.set(119), 0); // already set: counted once
    EXPECT_EQ(set.set(120), -1);
    EXPECT_EQ(set.set(99), -1);
    EXPECT_EQ(set.set_bits(), 2u);
    EXPECT_TRUE(set.test(119));
    EXPECT_FALSE(set.test(118));
    EXPECT_FALSE(set.test(120));
    EXPECT_EQ(set.clear(119), 0);
    EXPECT_EQ(set.clear(119), 0);
    EXPECT_EQ(set.clear(5), -1);
    EXPECT_EQ(set.set_bits(), 1u);
}

TEST(IdBitSet, RangesTakeBoundsInEitherOrderAndAnswerForTheLargerBound)
{
    IdBitSet set(0, 2048);
    EXPECT_EQ(set.set_range(0x7FF, 0x700), 0);
    EXPECT_EQ(set.set_bits(), 0x100u);
    EXPECT_TRUE(set.test(0x700));
    EXPECT_FALSE(set.test(0x6FF));
    EXPECT_EQ(set.clear_range(0x710, 0x71F), 0);
    EXPECT_EQ(set.set_bits(), 0xF0u);
    // Past the end: the ids inside still change, the answer is -1.
    EXPECT_EQ(set.set_range(2040, 0xFFFFFFFF), -1);
    EXPECT_EQ(set.clear_range(0xFFFFFFFF, 0x7F0), -1);
    EXPECT_FALSE(set.test(0x7FF));
    EXPECT_EQ(set.set_bits(), 0xE0u);
}

TEST(IdBitSet, SetAllAndClearAllKeepTheCount)
{
    IdBitSet set(0, 2047); // the last byte is partly used
    set.set(3);
    set.set_all();
    EXPECT_EQ(set.set_bits(), 2047u);
    EXPECT_TRUE(set.test(2046));
    EXPECT_FALSE(set.test(2047));
    set.clear(10);
    EXPECT_EQ(set.set_bits(), 2046u);
    set.clear_all();
    EXPECT_EQ(set.set_bits(), 0u);
    set.set(10);
    EXPECT_EQ(set.set_bits(), 1u);
}

// The CAN interface's extended-identifier set.
class SparseIdBitSetTest : public ::testing::Test
{
protected:
    SparseIdBitSet set{0, 1u << 29, 32768};
};

TEST_F(SparseIdBitSetTest, AFullPageCollapsesAndComesBackWithOneBitCleared)
{
    using State = SparseIdBitSet::PageState;
    EXPECT_EQ(set.page_bits(), 32768u);
    EXPECT_EQ(set.page_count(), 16384u);
    const uint32_t first = 3 * 32768;
    for (uint32_t id = first; id < first + 32768; ++id)
        ASSERT_EQ(set.set(id), 0);
    EXPECT_EQ(set.page_state(3), State::Full);
    EXPECT_EQ(set.allocated_pages(), 0u);
    EXPECT_EQ(set.set_bits(), 32768u);
    EXPECT_EQ(set.set(first + 5), 0); // nothing to do on a full page

    EXPECT_EQ(set.clear(first + 77), 0);
    EXPECT_EQ(set.page_state(3), State::Allocated);
    EXPECT_EQ(set.set_bits(), 32767u);
    EXPECT_FALSE(set.test(first + 77));
    EXPECT_TRUE(set.test(first + 76));
    EXPECT_TRUE(set.test(first + 32767));

    EXPECT_EQ(set.set(first + 77), 0);
    EXPECT_EQ(set.page_state(3), State::Full);
    EXPECT_EQ(set.clear_range(first, first + 32767), 0);
    EXPECT_EQ(set.page_state(3), State::Empty);
    EXPECT_EQ(set.set_bits(), 0u);
}

TEST_F(SparseIdBitSetTest, RangesFillCoveredPagesAtOnceAndEdgesBitByBit)
{
    using State = SparseIdBitSet::PageState;
    EXPECT_EQ(set.set_range(70000, 100), 0);
    EXPECT_EQ(set.page_state(0), State::Allocated);
    EXPECT_EQ(set.page_state(1), State::Full);
    EXPECT_EQ(set.page_state(2), State::Allocated);
    EXPECT_EQ(set.allocated_pages(), 2u);
    EXPECT_EQ(set.set_bits(), 70000u - 100 + 1);
    EXPECT_FALSE(set.test(99));
    EXPECT_TRUE(set.test(100));
    EXPECT_TRUE(set.test(70000));
    EXPECT_FALSE(set.test(70001));

    EXPECT_EQ(set.clear_range(0, 40000), 0);
    EXPECT_EQ(set.page_state(0), State::Empty);
    EXPECT_EQ(set.page_state(1), State::Allocated);
    EXPECT_EQ(set.allocated_pages(), 2u);
    EXPECT_EQ(set.set_bits(), 70000u - 40000);

    EXPECT_EQ(set.set(1u << 29), -1);
    EXPECT_EQ(set.clear(1u << 29), -1);
    EXPECT_FALSE(set.test(1u << 29));
    EXPECT_EQ(set.set_range(0x1FFFFFF0, 0xFFFFFFFF), -1);
    EXPECT_TRUE(set.test(0x1FFFFFFF));
}

TEST(SparseIdBitSet, AShortLastPageCountsOnlyItsIdentifiers)
{
    SparseIdBitSet set(1000, 100000, 32768); // 4 pages, the last holds 1696 ids
    EXPECT_EQ(set.page_count(), 4u);
    set.set(1000);
    set.set_all();
    EXPECT_EQ(set.set_bits(), 100000u);
    EXPECT_EQ(set.allocated_pages(), 0u);
    EXPECT_TRUE(set.test(1000 + 99999));
    EXPECT_FALSE(set.test(1000 + 100000));
    set.clear(1000 + 99999);
    EXPECT_EQ(set.set_bits(), 99999u);
    set.set(1000 + 99999);
    EXPECT_EQ(set.page_state(3), SparseIdBitSet::PageState::Full);
    set.clear_all();
    EXPECT_EQ(set.set_bits(), 0u);
    EXPECT_FALSE(set.test(1000));
}

TEST(SparseIdBitSet, PageSizeIsTheNextPowerOfTwoOfAtLeastTwo)
{
    EXPECT_EQ(SparseIdBitSet(0, 10, 0).page_bits(), 2u);
    EXPECT_EQ(SparseIdBitSet(0, 10, 2).page_bits(), 2u);
    EXPECT_EQ(SparseIdBitSet(0, 10, 3).page_bits(), 4u);
    EXPECT_EQ(SparseIdBitSet(0, 10, 3).page_count(), 3u);
    EXPECT_EQ(SparseIdBitSet(0, 0, 8).page_count(), 0u);
}

} // namespace
