// The data of a CAN message condition: its keys written and read back through
// the condition list, a short "message_data" list, and the byte relations.
#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond_can.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using ByteTest = VyrTriggerCondDataCan::ByteTest;

TEST(VyrTriggerCondDataCan, ReadBackThroughTheConditionList)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTriggerCondList written;
    auto *condition = new VyrTriggerCond(&written);
    condition->set_target(new VyrTrigger(&triggers, "Seen"));
    auto data = std::make_unique<VyrTriggerCondDataCan>();
    data->can_if = "CAN2";
    data->message_id_start = "100h";
    data->message_id_end = "1FFh";
    data->byte_tests[0] = {true, 0x10, 0xF0, VyrTriggerCondDataCan::GreaterOrEqual};
    data->byte_tests[7] = {false, 0x22, 0xFF, VyrTriggerCondDataCan::NotEqual};
    condition->set_cond_data(std::move(data));
    QtbConfig config;
    written.write_config(config.add_group("main"));
    EXPECT_EQ(config.get_group("main")->get_group("conditions")->first_group()->get_group("message_data")->count(), 8);

    VyrTriggerCondList read;
    read.read_config(config.get_group("main"));
    ASSERT_EQ(read.first()->type(), VyrTriggerCondDataCan::kind_number);
    const auto *back = static_cast<const VyrTriggerCondDataCan *>(read.first()->cond_data());
    EXPECT_EQ(back->can_if, "CAN2");
    EXPECT_EQ(back->message_id_start, "100h");
    EXPECT_EQ(back->message_id_end, "1FFh");
    for (int i : {0, 7}) {
        SCOPED_TRACE(i);
        const ByteTest &want =
            static_cast<const VyrTriggerCondDataCan *>(condition->cond_data())->byte_tests[size_t(i)];
        const ByteTest &got = back->byte_tests[size_t(i)];
        EXPECT_EQ(std::make_tuple(got.enabled, got.data, got.mask, got.relation),
                  std::make_tuple(want.enabled, want.data, want.mask, want.relation));
    }
    VyrTriggerList::set_instance(nullptr);
}

TEST(VyrTriggerCondDataCan, AShortByteListLeavesTheOtherTestsAsTheyWere)
{
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("condition");
    group->add_group("message_data")->add_group("")->write_bool("enabled", true);
    VyrTriggerCondDataCan data;
    data.byte_tests[1] = {true, 5, 0xFF, VyrTriggerCondDataCan::Less};
    data.read_config(group);
    EXPECT_TRUE(data.byte_tests[0].enabled);
    EXPECT_TRUE(data.byte_tests[1].enabled);
    EXPECT_EQ(data.byte_tests[1].data, 5);
}

TEST(VyrTriggerCondDataCan, ByteRelations)
{
    struct Case
    {
        ByteTest test;
        uint8_t byte;
        bool passes;
    };
    const Case cases[] = {
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::Equal}, 0x80, true},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::Equal}, 0x81, false},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::NotEqual}, 0x80, false},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::NotEqual}, 0x7F, true},
        {{true, 0x7F, 0xFF, VyrTriggerCondDataCan::Greater}, 0x80, true}, // unsigned bytes
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::Greater}, 0x80, false},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::Less}, 0x7F, true},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::Less}, 0x80, false},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::GreaterOrEqual}, 0x80, true},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::GreaterOrEqual}, 0x7F, false},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::LessOrEqual}, 0x80, true},
        {{true, 0x80, 0xFF, VyrTriggerCondDataCan::LessOrEqual}, 0x81, false},
        {{true, 0x80, 0xFF, 6}, 0x00, true},                             // an unknown relation passes
        {{false, 0x80, 0xFF, VyrTriggerCondDataCan::Equal}, 0x00, true}, // a disabled test passes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.test.relation);
        EXPECT_EQ(c.test.passes(c.byte), c.passes);
    }
}

} // namespace
