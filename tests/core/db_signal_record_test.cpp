#include "core/candb_signal.h"
#include "core/db_signal_record.h"

#include <gtest/gtest.h>

namespace {

TEST(DbSignalRecordTest, UnboundRecordScalesByOne)
{
    DbSignalRecord record;
    EXPECT_EQ(record.db_signal(), nullptr);
    EXPECT_EQ(record.factor(), 1.0);
    EXPECT_EQ(record.offset(), 0.0);
    record.add_flags(SignalRecord::DefinedByCompile);
    EXPECT_EQ(record.value_text(0), nullptr);
    EXPECT_FALSE(record.has_flag(SignalRecord::HasValueDescriptions));
}

TEST(DbSignalRecordTest, BindingTakesScalingAndValueTextsFromTheDatabase)
{
    CANdbSignal gear("Gear");
    gear.factor = 0.5;
    gear.offset = -10.0;
    gear.add_value_description(0, "Neutral");
    gear.add_value_description(1, "First");
    CANdbSignal plain("Plain");

    DbSignalRecord record(&gear);
    EXPECT_TRUE(record.has_flag(SignalRecord::HasValueDescriptions));
    EXPECT_EQ(record.factor(), 0.5);
    EXPECT_EQ(record.offset(), -10.0);
    EXPECT_EQ(record.description_ref(), nullptr);

    // Value texts only while the signal is defined by the current compile.
    EXPECT_EQ(record.value_text(1), nullptr);
    record.add_flags(SignalRecord::DefinedByCompile);
    EXPECT_STREQ(record.value_text(1), "First");
    EXPECT_EQ(record.value_text(2), nullptr);

    record.set_db_signal(&plain);
    EXPECT_FALSE(record.has_flag(SignalRecord::HasValueDescriptions));
    EXPECT_EQ(record.value_text(1), nullptr);
    EXPECT_EQ(record.factor(), 1.0);

    record.set_db_signal(&gear);
    EXPECT_TRUE(record.has_flag(SignalRecord::HasValueDescriptions));
    record.set_db_signal(nullptr);
    EXPECT_FALSE(record.has_flag(SignalRecord::HasValueDescriptions));
    EXPECT_EQ(record.offset(), 0.0);
}

} // namespace
