#include "core/vyr_trigger_cond_can.h"

#include "settings/qtb_config.h"

bool VyrTriggerCondDataCan::ByteTest::passes(uint8_t byte) const
{
    if (!enabled)
        return true;
    switch (relation) {
    case Equal:
        return byte == data;
    case NotEqual:
        return byte != data;
    case Greater:
        return byte > data;
    case Less:
        return byte < data;
    case GreaterOrEqual:
        return byte >= data;
    case LessOrEqual:
        return byte <= data;
    default:
        return true;
    }
}

void VyrTriggerCondDataCan::write_config(QtbConfigGroup *group) const
{
    if (!group)
        return;
    group->write_string("can_if", can_if);
    group->write_string("message_id_start", message_id_start);
    group->write_string("message_id_end", message_id_end);
    QtbConfigGroup *list = group->add_group("message_data");
    for (const ByteTest &test : byte_tests) {
        QtbConfigGroup *entry = list->add_group("");
        entry->write_int("data", test.data);
        entry->write_int("mask", test.mask);
        entry->write_int("relation", test.relation);
        entry->write_bool("enabled", test.enabled);
    }
}

void VyrTriggerCondDataCan::read_config(QtbConfigGroup *group)
{
    if (!group)
        return;
    can_if = group->read_string("can_if", QString());
    message_id_start = group->read_string("message_id_start", QString());
    message_id_end = group->read_string("message_id_end", QString());
    QtbConfigGroup *list = group->get_group("message_data");
    int i = 0;
    for (QtbConfigGroup *entry = list ? list->first_group() : nullptr; entry && i < byte_test_count;
         entry = list->next_group(), ++i) {
        ByteTest &test = byte_tests[size_t(i)];
        test.data = uint8_t(entry->read_int("data", 0));
        test.mask = uint8_t(entry->read_int("mask", 0));
        test.relation = entry->read_int("relation", 0);
        test.enabled = entry->read_bool("enabled", false);
    }
}
