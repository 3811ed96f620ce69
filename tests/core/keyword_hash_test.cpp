#include "core/keyword_hash.h"

#include <gtest/gtest.h>
#include <string>

TEST(KeywordHash, SmallTextsAndNull)
{
    EXPECT_EQ(keyword_hash(nullptr), 0u);
    EXPECT_EQ(keyword_hash(""), 0u);
    EXPECT_EQ(keyword_hash("A"), 65u);
    EXPECT_EQ(keyword_hash("AB"), 196u);
}

TEST(KeywordHash, HighBytesCountUnsigned)
{
    EXPECT_EQ(keyword_hash("\xFF"), 255u);
    EXPECT_EQ(keyword_hash("\x80\x80"), 2u * 0x80 + 0x80);
}

TEST(KeywordHash, FoldingKeepsTheValueBelow2To25)
{
    // 40 bytes of 0xFF would reach far past 2^32 without the folding.
    const std::string text(40, '\xFF');
    EXPECT_EQ(keyword_hash(text.c_str()), 0xFEFF01u);
    EXPECT_EQ(keyword_hash("variables"), 56365u);
}
