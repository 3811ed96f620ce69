#include "core/vyr_trigger_cond_timer.h"

#include "settings/qtb_config.h"

#include <QCoreApplication>

void VyrTriggerCondDataTimer::assign(const VyrTriggerCondData &other)
{
    if (other.kind() != kind())
        return;
    const auto &timer = static_cast<const VyrTriggerCondDataTimer &>(other);
    start_event = timer.start_event;
    cancel_event = timer.cancel_event;
    start_trigger = timer.start_trigger;
    cancel_trigger = timer.cancel_trigger;
    timeout_ms = timer.timeout_ms;
    cancel_active = timer.cancel_active;
}

QString VyrTriggerCondDataTimer::event_text(int event)
{
    switch (event) {
    case Set:
        return QCoreApplication::translate("Trigger Description", "Set");
    case Reset:
        return QCoreApplication::translate("Trigger Description", "Reset");
    case Changed:
        return QCoreApplication::translate("Trigger Description", "Changed");
    default:
        return QString();
    }
}

bool VyrTriggerCondDataTimer::is_event(int event, int state)
{
    return event == Changed || (event == Set && state != 0) || (event == Reset && state == 0);
}

QString VyrTriggerCondDataTimer::description() const
{
    QString text = QCoreApplication::translate("Trigger Description", "Timeout=%1ms, after trigger '%2' has been %3")
                       .arg(timeout_ms)
                       .arg(start_trigger, event_text(start_event));
    if (cancel_active)
        text += QStringLiteral("; ") + QCoreApplication::translate("Trigger Description",
                                                                   "Cancel when Trigger '%1' has been %2.")
                                           .arg(cancel_trigger, event_text(cancel_event));
    return text;
}

void VyrTriggerCondDataTimer::write_config(QtbConfigGroup *group) const
{
    if (!group)
        return;
    group->write_string("inp_trigger", start_trigger);
    group->write_int("timeout", timeout_ms);
    group->write_int("cond", start_event);
    group->write_bool("cancel_active", cancel_active);
    group->write_string("cancel_trigger", cancel_trigger);
    group->write_int("cancel_cond", cancel_event);
}

void VyrTriggerCondDataTimer::read_config(QtbConfigGroup *group)
{
    if (!group)
        return;
    start_trigger = group->read_string("inp_trigger", QString());
    timeout_ms = group->read_int("timeout", 1000);
    start_event = group->read_int("cond", 0);
    cancel_active = group->read_bool("cancel_active", false);
    cancel_trigger = group->read_string("cancel_trigger", QString());
    cancel_event = group->read_int("cancel_cond", 0);
}

void VyrTriggerCondDataTimer::rename_triggers(const QHash<QString, QString> &renamed)
{
    start_trigger = renamed.value(start_trigger, start_trigger);
    cancel_trigger = renamed.value(cancel_trigger, cancel_trigger);
}

void rename_timer_condition_triggers(VyrTriggerCondList *conditions, const QHash<QString, QString> &renamed)
{
    if (!conditions || renamed.isEmpty())
        return;
    for (VyrTriggerCond *condition = conditions->first(); condition; condition = conditions->next())
        if (condition->type() == VyrTriggerCondDataTimer::kind_number)
            static_cast<VyrTriggerCondDataTimer *>(condition->cond_data())->rename_triggers(renamed);
}
