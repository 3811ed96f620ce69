#include "core/vyr_trigger_cond_signal.h"

#include "core/vyr_signal_if.h"
#include "settings/qtb_config.h"
#include "settings/text_util.h"

#include <QCoreApplication>
#include <QStringList>

#include <charconv>
#include <cmath>

QString trigger_value_text(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

void VyrTriggerCondDataSignal::assign(const VyrTriggerCondData &other)
{
    if (other.kind() == kind())
        relations = static_cast<const VyrTriggerCondDataSignal &>(other).relations;
}

QString VyrTriggerCondDataSignal::description() const
{
    QStringList parts;
    for (const Relation &relation : relations) {
        VyrSignalIf *interface = find_signal_if_by_id(relation.interface_id.toLatin1().constData());
        if (!interface) {
            parts << QString();
            continue;
        }
        QString text = QString::fromStdString(interface->name()) + QStringLiteral("::") + relation.signal_name +
                       QLatin1Char(' ') + trigger_relation_symbol(relation.relation) + QLatin1Char(' ') +
                       QString::number(relation.value, 'g', 6);
        if (relations.size() > 1)
            text = QLatin1Char('(') + text + QLatin1Char(')');
        parts << text;
    }
    const QString text = parts.join(QStringLiteral(" && "));
    return text.isEmpty() ? QCoreApplication::translate("Trigger Description", "  <empty>  ") : text;
}

void VyrTriggerCondDataSignal::write_config(QtbConfigGroup *group) const
{
    if (!group)
        return;
    group->write_int("signal_count", int32_t(relations.size()));
    QtbConfigGroup *list = group->add_group("signal_data");
    for (const Relation &relation : relations) {
        QtbConfigGroup *entry = list->add_group("");
        entry->write_string("sif", relation.interface_id);
        entry->write_string("name", relation.signal_name);
        entry->write_int("relation", relation.relation);
        entry->write_string("value", trigger_value_text(relation.value));
        entry->write_int("raw", relation.raw ? 1 : 0);
    }
}

void VyrTriggerCondDataSignal::read_config(QtbConfigGroup *group)
{
    if (!group)
        return;
    relations.clear();
    QtbConfigGroup *list = group->get_group("signal_data");
    for (QtbConfigGroup *entry = list ? list->first_group() : nullptr; entry; entry = list->next_group()) {
        Relation relation;
        relation.interface_id = entry->read_string("sif", QString());
        relation.signal_name = entry->read_string("name", QString());
        relation.relation = entry->read_int("relation", 0);
        relation.value = c_locale_atof(entry->read_string("value", QStringLiteral("0.0")).toLatin1().constData());
        relation.raw = entry->read_bool("raw", false);
        relations.push_back(relation);
    }
}
