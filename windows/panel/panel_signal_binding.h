#pragma once
// One signal bound to a panel item: named by interface id and signal name,
// followed as a signal listener while a measurement runs. It keeps the last
// two values and the per-binding display settings of the item kinds.
//
// Threads: value_changed runs on the thread that delivers the signal's values;
// the panel reads the values on its update timer on the GUI thread. The value
// fields are guarded by a small mutex, so no half-written record is read.
#include "core/signal_record.h"
#include "core/time_base.h"
#include "core/vyr_signal_listener.h"

#include <QString>

#include <mutex>

class VyrPanelItem;

class PanelSignalBinding : public VyrSignalListener
{
public:
    explicit PanelSignalBinding(VyrPanelItem *item);
    // Leaves the signal's entry first, then gives up its use of the signal.
    ~PanelSignalBinding() override;

    void value_changed(const SignalValue &value) override;
    // The resolved signal, or null.
    SignalRecord *signal() const { return m_signal; }
    // Changed set, no value, time of the last value 0.
    virtual void reset();

    // Finds the signal by interface id and name again; whether the bound
    // signal changed. A newly found signal refreshes the item and sets the
    // widget's "signalName" (the part after the last '.') and "unit"
    // properties when it has them.
    bool resolve();

    const QString &interface_id() const { return m_interface_id; }
    const QString &signal_name() const { return m_signal_name; }
    void set_names(const QString &interface_id, const QString &signal_name);

    // The value fields, read together under the mutex.
    struct Values {
        SignalValue current;
        SignalValue previous;
        bool changed = false;
        bool has_value = false;
        TimeValue time;
    };
    Values values() const;
    // The values, clearing the changed mark.
    Values take_values();

    bool override_range = false;
    double range_minimum = -10.0;
    double range_maximum = 10.0;
    bool default_value_valid = false;
    double default_value = 0.0;
    bool has_active_value = false;
    bool has_inactive_value = false;
    double active_value = 1.0;
    double inactive_value = 0.0;

private:
    VyrPanelItem *m_item;
    SignalRecord *m_signal = nullptr;
    QString m_interface_id;
    QString m_signal_name;
    mutable std::mutex m_values_mutex;
    Values m_values;
};
