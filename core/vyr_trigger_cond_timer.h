#pragma once
// The data of a trigger condition on time: it fires a time-out after another
// trigger was set, reset or changed, unless a cancel trigger changed first.
// Triggers are named by text, so a rename in the trigger list rewrites them
// (rename_triggers).
#include "core/vyr_trigger_cond.h"

#include <QHash>
#include <QString>

#include <cstdint>

class VyrTriggerCondDataTimer : public VyrTriggerCondData
{
public:
    static constexpr int kind_number = 4;
    enum Event { Set = 0, Reset = 1, Changed = 2 };

    VyrTriggerCondDataTimer() : VyrTriggerCondData(kind_number) {}

    void assign(const VyrTriggerCondData &other) override;
    // "Timeout=500ms, after trigger 'Running' has been Set" and, with cancel,
    // "; Cancel when Trigger 'Stop' has been Changed.".
    QString description() const override;
    // "inp_trigger", "timeout", "cond", "cancel_active", "cancel_trigger",
    // "cancel_cond".
    void write_config(QtbConfigGroup *group) const override;
    void read_config(QtbConfigGroup *group) override;

    // Replaces start and cancel names found as keys by their values.
    void rename_triggers(const QHash<QString, QString> &renamed);
    // Whether a change of a trigger, now in `state`, is the event.
    static bool is_event(int event, int state);
    // "Set", "Reset", "Changed" translated; empty for another code.
    static QString event_text(int event);

    int32_t start_event = Set;
    int32_t cancel_event = Set;
    QString start_trigger;
    QString cancel_trigger;
    int32_t timeout_ms = 1000;
    bool cancel_active = false;
};

// Rewrites the trigger names of every timer condition of the list.
void rename_timer_condition_triggers(VyrTriggerCondList *conditions, const QHash<QString, QString> &renamed);
