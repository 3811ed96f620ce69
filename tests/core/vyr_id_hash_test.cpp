// The keyed hash table of panel item ids and names.
#include "core/vyr_id_hash.h"

#include <gtest/gtest.h>

namespace {

int p, q, r;

TEST(VyrIdHash, HasAtLeastTheMinimumBuckets)
{
    EXPECT_EQ(VyrIdHash(10).bucket_count(), 111u);
    EXPECT_EQ(VyrIdHash(1023).bucket_count(), 1023u);
}

TEST(VyrIdHash, LastInsertedKeyIsFoundFirstAndRemovalIsByValue)
{
    VyrIdHash table(10);
    table.insert(5, &p);
    table.insert(5, &q);
    EXPECT_EQ(table.find(5), &q);
    table.remove(5, &r); // not stored: nothing changes
    EXPECT_EQ(table.find(5), &q);
    table.remove(5, &q);
    EXPECT_EQ(table.find(5), &p);
    table.remove(5, &p);
    EXPECT_EQ(table.find(5), nullptr);
}

TEST(VyrIdHash, KeysOfOneBucketAreToldApart)
{
    VyrIdHash table(111);
    table.insert(1, &p);
    table.insert(112, &q);
    table.insert(-1, &r); // a negative key takes the bucket of its unsigned value
    EXPECT_EQ(table.find(1), &p);
    EXPECT_EQ(table.find(112), &q);
    EXPECT_EQ(table.find(-1), &r);
    EXPECT_EQ(table.find(223), nullptr);
    table.remove(1, &q); // the value decides, not the key
    EXPECT_EQ(table.find(112), nullptr);
    EXPECT_EQ(table.find(1), &p);
    table.clear();
    EXPECT_EQ(table.find(1), nullptr);
    EXPECT_EQ(table.bucket_count(), 111u);
}

TEST(VyrIdHash, TextKeysAreCopiedAndComparedExactly)
{
    EXPECT_EQ(text_hash("abc"), 423984u);
    EXPECT_EQ(text_hash(""), 0u);
    EXPECT_EQ(text_hash("\xe9"), (uint32_t(-23) << 4) + (uint32_t(-23) >> 24)) << "bytes count as signed";

    VyrIdHash table(1023);
    char name[] = "Button1";
    table.insert(name, &p);
    name[0] = 'X'; // the table keeps its own copy
    EXPECT_EQ(table.find("Button1"), &p);
    EXPECT_EQ(table.find("button1"), nullptr);
    table.insert("Button1", &q);
    EXPECT_EQ(table.find("Button1"), &q);
    table.remove("Button1", &q);
    EXPECT_EQ(table.find("Button1"), &p);
}

} // namespace
