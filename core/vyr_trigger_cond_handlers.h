#pragma once
// The runtime side of key, signal and timer trigger conditions. The
// measurement start builds one handler per condition of the program's
// condition list (start_*_trigger_conditions) and its stop deletes them, so a
// condition edited during a measurement takes effect at the next start.
// CAN conditions need no handler: the CAN interface matches them itself.
#include "core/timer_wheel.h"
#include "core/vyr_signal_listener.h"
#include "core/vyr_trigger.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <vector>

class SignalRecord;
class VyrGlobalAccelItem;
class VyrSignalIf;
class VyrTriggerCond;

// Fires its condition each time the condition's key is pressed while the
// program-wide key table is enabled (during a measurement). GUI thread.
class KeyTriggerCondHandler : public QObject
{
    Q_OBJECT
public:
    explicit KeyTriggerCondHandler(VyrTriggerCond *condition);
    ~KeyTriggerCondHandler() override;

    VyrGlobalAccelItem *accelerator() const { return m_accel.get(); }

public slots:
    void activated(unsigned int code);

private:
    VyrTriggerCond *m_condition;
    std::unique_ptr<VyrGlobalAccelItem> m_accel;
};

class SignalTriggerCondHandler;

// Follows the signal of one relation; runs on the thread that delivers the
// signal's values. It holds a use of the signal record while it exists.
class SignalTriggerCondWatcher : public VyrSignalListener
{
public:
    SignalTriggerCondWatcher(SignalTriggerCondHandler *handler, const QString &interface_id, const QString &signal_name,
                             double value, int relation, bool raw);
    ~SignalTriggerCondWatcher() override;

    void value_changed(const SignalValue &value) override;

    // Whether the interface and its signal were found and the watcher attached.
    bool attached() const { return m_attached; }
    SignalRecord *signal() const { return m_signal; }

private:
    SignalTriggerCondHandler *m_handler;
    VyrSignalIf *m_interface = nullptr;
    SignalRecord *m_signal = nullptr;
    double m_value;
    int m_relation;
    bool m_raw;
    bool m_attached = false;
    bool m_true = false;
};

// Fires its condition when the last of its relations becomes true, and again
// only after one of them fell and all hold once more. The watchers of one
// condition may run on different interfaces' threads: the count of true
// relations is atomic, and the watcher that brings it to the number of
// relations fires.
class SignalTriggerCondHandler : public QObject
{
    Q_OBJECT
public:
    explicit SignalTriggerCondHandler(VyrTriggerCond *condition);
    ~SignalTriggerCondHandler() override;

    int relation_count() const { return m_relation_count; }
    int true_count() const { return m_true_count.load(); }
    const std::vector<std::unique_ptr<SignalTriggerCondWatcher>> &watchers() const { return m_watchers; }

private:
    friend class SignalTriggerCondWatcher;
    // A watcher's truth changed.
    void relation_changed(bool now_true);

    VyrTriggerCond *m_condition;
    const int m_relation_count;
    std::atomic<int> m_true_count{0};
    std::vector<std::unique_ptr<SignalTriggerCondWatcher>> m_watchers;
};

// A timer-wheel entry that fires its condition a time-out after the start
// trigger's event; a further start event restarts the time-out, the cancel
// trigger's event (when cancel is active) removes it.
class TimerTriggerCondConsumer : public TimerEntry
{
public:
    TimerTriggerCondConsumer(TimerWheel *wheel, VyrTriggerCond *condition);
    // Removes the pending timer and both listeners.
    ~TimerTriggerCondConsumer() override;

    void fire(uint32_t slot_time, uint32_t target_time) override;

    VyrTriggerListener *start_listener() const { return m_start_listener; }
    VyrTriggerListener *cancel_listener() const { return m_cancel_listener; }

private:
    static void start_changed(VyrTriggerListener *listener, void *context);
    static void cancel_changed(VyrTriggerListener *listener, void *context);

    TimerWheel *m_wheel;
    VyrTriggerCond *m_condition;
    // Copied at the start: the dialog may edit the data while the timer runs.
    int m_start_event;
    int m_cancel_event;
    uint32_t m_timeout_ms;
    VyrTriggerListener *m_start_listener = nullptr;
    VyrTriggerListener *m_cancel_listener = nullptr;
};

// Rebuild the handlers from the program's condition list; the timer
// consumers go on the wheel of the first interface that holds one (none
// without such an interface).
void start_key_trigger_conditions();
void start_signal_trigger_conditions();
void start_timer_trigger_conditions();
// Delete the handlers.
void stop_key_trigger_conditions();
void stop_signal_trigger_conditions();
void stop_timer_trigger_conditions();

// The handlers built by the last start, for tests and the benchmark.
const std::vector<std::unique_ptr<KeyTriggerCondHandler>> &key_trigger_cond_handlers();
const std::vector<std::unique_ptr<SignalTriggerCondHandler>> &signal_trigger_cond_handlers();
const std::vector<std::unique_ptr<TimerTriggerCondConsumer>> &timer_trigger_cond_consumers();
