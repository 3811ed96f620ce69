#include "settings/debug_trace.h"
#include "core/signal_record.h"
#include "core/vyr_signal_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SignalRecord *named(const std::string &name)
{
    auto *signal = new SignalRecord;
    signal->set_name(name.c_str());
    return signal;
}

// Counts deletions, to see that the list deletes what it removes.
class CountedSignal : public SignalRecord
{
public:
    explicit CountedSignal(int *deleted) : deleted(deleted) {}
    ~CountedSignal() override { ++*deleted; }
    int *deleted;
};

TEST(SignalNameHashTest, ValuesOfTheHash)
{
    EXPECT_EQ(SignalRecord::hash_name("a"), 0xC2u);
    EXPECT_EQ(SignalRecord::hash_name("ab"), 0x140u);
    EXPECT_EQ(SignalRecord::hash_name("abc"), 0x246u);
    EXPECT_EQ(SignalRecord::hash_name("\xE4"), 0xFFFFFFC9u); // sign-extended before the XOR
    EXPECT_EQ(SignalRecord::hash_name(""), 0u);
    EXPECT_EQ(SignalRecord::hash_name(nullptr), 0u);
}

TEST(VyrSignalListTest, InsertFindAndIterateInInsertionOrder)
{
    VyrSignalList list;
    EXPECT_EQ(list.index_size(), 1024);
    SignalRecord *speed = named("Speed");
    SignalRecord *load = named("Statistic.BusLoad");
    SignalRecord *status = named("\xE4status"); // a name whose hash needs the sign extension
    EXPECT_EQ(list.insert(speed), 0);
    EXPECT_EQ(list.insert(load), 1);
    EXPECT_EQ(list.insert(status), 2);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(speed->hash(), SignalRecord::hash_name("Speed"));

    EXPECT_EQ(list.find("Speed"), speed);
    EXPECT_EQ(list.find("speed"), nullptr);
    EXPECT_EQ(list.find("Statistic.BusLoad"), load);
    EXPECT_EQ(list.find("\xE4status"), status);
    EXPECT_EQ(list.find(nullptr), nullptr);
    EXPECT_EQ(list.at(1), load);
    EXPECT_EQ(list.at(-1), nullptr);
    EXPECT_EQ(list.at(3), nullptr);
    EXPECT_EQ(list.at(1024), nullptr);

    EXPECT_EQ(list.first(), speed);
    EXPECT_EQ(list.next(), load);
    EXPECT_EQ(list.next(), status);
    EXPECT_EQ(list.next(), nullptr);
}

TEST(VyrSignalListTest, NamesSharingABucketAreToldApart)
{
    VyrSignalList list;
    const uint32_t bucket = SignalRecord::hash_name("a") % VyrSignalList::bucket_count;
    std::vector<std::string> names = {"a"};
    for (int i = 0; names.size() < 3; ++i) {
        const std::string name = "n" + std::to_string(i);
        if (SignalRecord::hash_name(name.c_str()) % VyrSignalList::bucket_count == bucket)
            names.push_back(name);
    }
    std::vector<SignalRecord *> signals;
    for (const std::string &name : names) {
        signals.push_back(named(name));
        list.insert(signals.back());
    }
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(list.find(names[i].c_str()), signals[i]);
    list.remove(signals[1]); // from the middle of the chain
    EXPECT_EQ(list.find(names[0].c_str()), signals[0]);
    EXPECT_EQ(list.find(names[1].c_str()), nullptr);
    EXPECT_EQ(list.find(names[2].c_str()), signals[2]);
}

TEST(VyrSignalListTest, IndexGrowsAtThe1025thSignalKeepingEarlierSlots)
{
    VyrSignalList list;
    std::vector<SignalRecord *> signals;
    for (int i = 0; i < 1024; ++i) {
        signals.push_back(named("s" + std::to_string(i)));
        ASSERT_EQ(list.insert(signals.back()), i);
    }
    EXPECT_EQ(list.index_size(), 1024);
    SignalRecord *extra = named("extra");
    EXPECT_EQ(list.insert(extra), 1024);
    EXPECT_EQ(list.index_size(), 2048);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(list.at(i), signals[size_t(i)]);
        ASSERT_EQ(signals[size_t(i)]->slot(), i);
    }
    EXPECT_EQ(list.at(1024), extra);
    EXPECT_EQ(list.at(1025), nullptr);
    EXPECT_EQ(list.at(2048), nullptr);

    // A removed signal's slot goes to the next insertion.
    list.remove(signals[700]);
    EXPECT_EQ(list.at(700), nullptr);
    SignalRecord *again = named("again");
    EXPECT_EQ(list.insert(again), 700);
    EXPECT_EQ(list.at(700), again);
    EXPECT_EQ(list.insert(named("next")), 1025);
    EXPECT_EQ(list.count(), 1026);
    EXPECT_EQ(list.index_size(), 2048);
}

TEST(VyrSignalListTest, RemoveUnlinksDeletesAndKeepsTheIterationGoing)
{
    VyrSignalList list;
    int deleted = 0;
    std::vector<SignalRecord *> signals;
    for (int i = 0; i < 5; ++i) {
        signals.push_back(new CountedSignal(&deleted));
        signals.back()->set_name(("s" + std::to_string(i)).c_str());
        list.insert(signals.back());
    }
    // Remove the first, the third and the last while walking the list.
    std::vector<SignalRecord *> seen;
    for (SignalRecord *signal = list.first(); signal; signal = list.next()) {
        seen.push_back(signal);
        if (signal == signals[0] || signal == signals[2] || signal == signals[4])
            list.remove(signal);
    }
    EXPECT_EQ(seen, signals);
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.first(), signals[1]);
    EXPECT_EQ(list.next(), signals[3]);
    EXPECT_EQ(list.next(), nullptr);

    // The last link moved back: a new signal is appended after signals[3].
    SignalRecord *added = named("added");
    EXPECT_EQ(list.insert(added), 0);
    list.first();
    list.next();
    EXPECT_EQ(list.next(), added);

    list.clear();
    EXPECT_EQ(deleted, 5);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.first(), nullptr);
    EXPECT_EQ(list.find("s1"), nullptr);
    EXPECT_EQ(list.at(0), nullptr);
}

TEST(VyrSignalListTest, RenamedSignalIsStillRemovedByItsStoredHash)
{
    VyrSignalList list;
    SignalRecord *signal = named("before");
    list.insert(signal);
    signal->set_name("after");
    EXPECT_EQ(list.find("after"), nullptr); // the hash is the one stored at insertion
    set_debug_trace_enabled(true);
    testing::internal::CaptureStderr();
    list.remove(signal);
    const std::string trace = testing::internal::GetCapturedStderr();
    set_debug_trace_enabled(false);
    EXPECT_EQ(trace.find("not found in hash table"), std::string::npos) << trace;
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.first(), nullptr);
}

TEST(VyrSignalListTest, SignalOfAnotherListIsLeftAlone)
{
    VyrSignalList mine, theirs;
    SignalRecord *own = named("x");
    SignalRecord *foreign = named("x");
    mine.insert(own);
    theirs.insert(foreign);
    mine.remove(foreign);
    EXPECT_EQ(mine.find("x"), own);
    EXPECT_EQ(theirs.find("x"), foreign);
    EXPECT_EQ(theirs.at(0), foreign);
    EXPECT_EQ(mine.count(), 1);
}

} // namespace
