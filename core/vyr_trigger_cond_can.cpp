#include "core/vyr_trigger_cond_can.h"

#include "core/vyr_signal_if.h"
#include "settings/qtb_config.h"

#include <QCoreApplication>

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

void VyrTriggerCondDataCan::assign(const VyrTriggerCondData &other)
{
    if (other.kind() != kind())
        return;
    const auto &can = static_cast<const VyrTriggerCondDataCan &>(other);
    can_if = can.can_if;
    message_id_start = can.message_id_start;
    message_id_end = can.message_id_end;
    byte_tests = can.byte_tests;
}

namespace {
// The display name of the interface with that identifier, or "NONE".
QString interface_display_name(const QString &interface_id)
{
    if (VyrSignalIf *interface = find_signal_if_by_id(interface_id.toLatin1().constData()))
        return QString::fromStdString(interface->name());
    return QCoreApplication::translate("Trigger Description", "NONE");
}
} // namespace

QString VyrTriggerCondDataCan::description() const
{
    QString identifiers = message_id_start;
    if (message_id_end != message_id_start)
        identifiers += QStringLiteral(" ... ") + message_id_end;
    return QCoreApplication::translate("Trigger Description", "CAN Channel='%1', CAN ID=%2")
        .arg(interface_display_name(can_if), identifiers);
}
