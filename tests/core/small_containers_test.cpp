// The recent list, the named value list, the string pool and the locks.
#include "core/locks.h"
#include "core/vyr_named_value_list.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_string_pool.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> names_of(const VyrRecentList &list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.count(); ++i)
        names.push_back(list.at(i));
    return names;
}

TEST(VyrRecentList, MovesKnownNamesToTheFrontAndDropsTheOldest)
{
    VyrRecentList list(20);
    for (int i = 0; i < 8; ++i)
        list.add(("f" + std::to_string(i)).c_str());
    EXPECT_STREQ(list.at(5), "f2");
    list.add("f2");
    EXPECT_EQ(list.count(), 8);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"f2", "f7", "f6", "f5", "f4", "f3", "f1", "f0"}));
    EXPECT_EQ(list.at(8), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);
    list.add("F2"); // case-sensitive by default: a new name
    EXPECT_EQ(list.count(), 9);

    VyrRecentList small(3, false);
    for (const char *name : {"a", "b", "c", "d", "B"})
        small.add(name);
    EXPECT_EQ(names_of(small), (std::vector<std::string>{"b", "d", "c"}));
}

TEST(VyrNamedValueList, FirstEntryOfANameWinsAndSortingIgnoresCase)
{
    VyrNamedValueList list;
    list.add("beta", 2);
    list.add("Alpha", 1);
    list.add("beta", 3);
    ASSERT_NE(list.find("beta"), nullptr);
    EXPECT_EQ(list.find("beta")->value, 2u);
    EXPECT_EQ(list.find("alpha"), nullptr);
    list.sort();
    EXPECT_EQ(list.at(0).name, "Alpha");
    EXPECT_EQ(list.at(1).value, 2u);
    EXPECT_EQ(list.find("beta")->value, 2u);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.find("beta"), nullptr);
}

TEST(VyrStringPool, HoldersShareOnePoolThatHandsOutBuffersInTurn)
{
    VyrStringPoolHolder first;
    VyrStringPool *second = nullptr;
    VyrStringPool::acquire(second);
    EXPECT_EQ(first.pool(), second);
    char *buffer = second->next_buffer();
    EXPECT_EQ(buffer[0], '\0');
    for (int i = 1; i < VyrStringPool::buffer_count; ++i)
        EXPECT_NE(second->next_buffer(), buffer);
    EXPECT_EQ(second->next_buffer(), buffer);
    VyrStringPool::release(second);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(first.pool(), nullptr);
}

TEST(MutexLock, TheHoldingThreadMayTakeItAgain)
{
    EXPECT_EQ(LockBase(7).value(), 7);
    MutexLock lock;
    EXPECT_EQ(lock.value(), -1);
    EXPECT_EQ(lock.lock(), 0);
    EXPECT_EQ(lock.lock(), 0);
    lock.unlock();
    lock.unlock();
    int taken = -2;
    std::thread other([&] {
        taken = lock.lock();
        lock.unlock();
    });
    other.join();
    EXPECT_EQ(taken, 0);
}

} // namespace
