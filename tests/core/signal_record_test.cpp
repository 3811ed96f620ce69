#include "core/description_kinds.h"
#include "core/signal_record.h"
#include "core/statistic_signal_record.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

TEST(SignalRecordTest, FreshRecord)
{
    SignalRecord signal;
    EXPECT_EQ(signal.name(), nullptr);
    EXPECT_EQ(signal.name_part(0), nullptr);
    EXPECT_EQ(signal.direction(), SignalRecord::Input);
    EXPECT_EQ(signal.value_type(), SignalValue::Int);
    EXPECT_EQ(signal.slot(), -1);
    EXPECT_EQ(signal.flags(), 0u);
    EXPECT_EQ(signal.state(), SignalRecord::NoValue);
    EXPECT_EQ(signal.factor(), 1.0);
    EXPECT_EQ(signal.offset(), 0.0);
    EXPECT_EQ(signal.value_text(1), nullptr);
    EXPECT_EQ(signal.description_ref(), nullptr);
}

TEST(SignalRecordTest, StateProtocolShowsANewValueOnce)
{
    SignalRecord signal;
    SignalValue value;
    EXPECT_EQ(signal.get_value(value), SignalRecord::NoValue);

    signal.set_int(-5);
    EXPECT_EQ(signal.get_value(value), SignalRecord::NewValue);
    EXPECT_EQ(value.type, SignalValue::Int);
    EXPECT_EQ(value.int_value, -5);
    EXPECT_EQ(signal.get_value(value), SignalRecord::ValueRead);
    EXPECT_EQ(value.int_value, -5);

    signal.set_double(2.5);
    EXPECT_EQ(signal.get_value(value), SignalRecord::NewValue);
    EXPECT_EQ(value.type, SignalValue::Double);
    EXPECT_EQ(value.double_value, 2.5);

    SignalValue stamped;
    stamped.seconds = 12;
    stamped.microseconds = 999999;
    stamped.set_int(7);
    signal.set_value(stamped);
    EXPECT_EQ(signal.get_value(value), SignalRecord::NewValue);
    EXPECT_EQ(value.seconds, 12u);
    EXPECT_EQ(value.microseconds, 999999u);
    EXPECT_EQ(value.int_value, 7);

    signal.clear_state();
    EXPECT_EQ(signal.get_value(value), SignalRecord::NoValue);
    EXPECT_EQ(value.int_value, 7); // the value stays, only the state goes
}

TEST(SignalRecordTest, ValueRecordLayout)
{
    SignalValue value;
    value.set_double(1.0);
    value.set_int(0x12345678);
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    EXPECT_EQ(bytes[8], 2); // type at byte 8
    EXPECT_EQ(bytes[16], 0x78); // the int in the low half of the value
    EXPECT_EQ(bytes[20], 0); // the high half is cleared
}

TEST(SignalRecordTest, EachNewValueIsSeenExactlyOnceAcrossThreads)
{
    SignalRecord signal;
    constexpr int values = 20000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= values; ++i)
            signal.set_int(i);
        done = true;
    });
    int last_new = 0;
    bool ordered = true;
    SignalValue value;
    for (;;) {
        const bool finished = done.load();
        if (signal.get_value(value) == SignalRecord::NewValue) {
            ordered = ordered && value.type == SignalValue::Int && value.int_value > last_new;
            last_new = value.int_value;
        }
        if (finished)
            break;
    }
    writer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(last_new, values);
    EXPECT_EQ(signal.get_value(value), SignalRecord::ValueRead);
}

TEST(SignalRecordTest, NameIsSplitIntoParts)
{
    SignalRecord signal;
    signal.set_name("Engine.Speed.Raw");
    EXPECT_STREQ(signal.name(), "Engine.Speed.Raw");
    ASSERT_EQ(signal.name_part_count(), 3);
    EXPECT_STREQ(signal.name_part(-4), "Engine");
    EXPECT_STREQ(signal.name_part(1), "Speed");
    EXPECT_STREQ(signal.name_part(2), "Raw");
    EXPECT_EQ(signal.name_part(3), nullptr);

    signal.set_name(".a..");
    EXPECT_EQ(signal.name_part_count(), 4);
    EXPECT_STREQ(signal.name_part(0), "");
    EXPECT_STREQ(signal.name_part(1), "a");
    EXPECT_STREQ(signal.name_part(3), "");

    signal.set_name("");
    EXPECT_STREQ(signal.name(), "");
    EXPECT_EQ(signal.name_part_count(), 1);
    signal.set_name(nullptr);
    EXPECT_EQ(signal.name(), nullptr);
    EXPECT_EQ(signal.name_part_count(), 0);
}

TEST(SignalRecordTest, ChangesOfNameAndRangeAreFlagged)
{
    struct Case {
        const char *before;
        const char *after;
        bool changed;
    };
    const Case cases[] = {
        {nullptr, "a", true}, {"a", nullptr, true}, {"a", "b", true},
        {"a", "a", false},    {nullptr, nullptr, false}, {nullptr, "", true},
    };
    for (const Case &c : cases) {
        SignalRecord signal;
        signal.set_name(c.before);
        signal.remove_flags(SignalRecord::Changed);
        signal.set_name(c.after);
        EXPECT_EQ(signal.has_flag(SignalRecord::Changed), c.changed)
            << (c.before ? c.before : "null") << " -> " << (c.after ? c.after : "null");
    }

    SignalRecord signal;
    signal.set_min(0.0);
    signal.set_max(0.0);
    EXPECT_FALSE(signal.has_flag(SignalRecord::Changed));
    signal.set_max(10.0);
    EXPECT_TRUE(signal.has_flag(SignalRecord::Changed));
    signal.remove_flags(SignalRecord::Changed);
    signal.set_min(-1.0);
    EXPECT_TRUE(signal.has_flag(SignalRecord::Changed));
}

TEST(SignalRecordTest, StatisticSignalNamesTheBusState)
{
    StatisticSignalRecord status;
    const char *names[] = {"BUSOFF", "PASSIVE", "WARNING", "ACTIVE"};
    for (int state = 0; state < 4; ++state)
        EXPECT_STREQ(status.value_text(state), names[state]);
    EXPECT_EQ(status.value_text(4), nullptr);
    EXPECT_EQ(status.value_text(-1), nullptr);
}

TEST(SignalRecordTest, DescriptionIsFollowedToItsReferencedNode)
{
    DescriptionRecordLayout with_reference;
    DescriptionRecordLayout without_reference;
    DescriptionNode *target = new DescriptionDataType;
    with_reference.set_data_ref(0, target); // with_reference now owns it
    SignalRecord signal;
    signal.set_description(&with_reference);
    EXPECT_EQ(signal.description_ref(), target);
    signal.set_description(&without_reference);
    EXPECT_EQ(signal.description_ref(), nullptr);
}

TEST(FibexReferenceTest, UrlsAndTheLoadedDatabase)
{
    EXPECT_STREQ(fibex_url_prefix(), "fibex://");
    EXPECT_TRUE(is_fibex_url("fibex://cluster/node"));
    EXPECT_FALSE(is_fibex_url("fibex:/x"));
    EXPECT_FALSE(is_fibex_url("FIBEX://x"));
    EXPECT_FALSE(is_fibex_url(nullptr));

    EXPECT_EQ(get_fibex_database(), nullptr);
    DescriptionLayer root;
    set_fibex_database(&root);
    EXPECT_EQ(get_fibex_database(), &root);
    set_fibex_database(nullptr);
}

} // namespace
