#pragma once
// The timer-wheel entries that interfaces schedule: the polling timer of a
// followed signal, the timer of a script timer variable, and the reconnect
// timer. They fire in the thread that drives the wheel and only hand work to
// their interface's thread.
#include "core/timer_wheel.h"

class ScriptTrigger;
class VyrSignalEntry;
class VyrSignalIf;

// Queues its signal entry for a read by the interface's thread.
class VyrPollingTimer : public TimerEntry
{
public:
    VyrPollingTimer(VyrSignalIf *signal_if, VyrSignalEntry *entry, uint32_t period_ms)
        : m_signal_if(signal_if), m_entry(entry), m_period(period_ms)
    {
    }
    void fire(uint32_t slot_time, uint32_t target_time) override;
    uint32_t period() const { return m_period; }

private:
    VyrSignalIf *m_signal_if;
    VyrSignalEntry *m_entry;
    uint32_t m_period;
};

// Posts its trigger to the interface's output queue.
class VyrScriptTimer : public TimerEntry
{
public:
    VyrScriptTimer(VyrSignalIf *signal_if, ScriptTrigger *trigger) : m_signal_if(signal_if), m_trigger(trigger) {}
    void fire(uint32_t slot_time, uint32_t target_time) override;

private:
    VyrSignalIf *m_signal_if;
    ScriptTrigger *m_trigger;
};

// Asks the interface's thread to reconnect.
class VyrReconnectTimer : public TimerEntry
{
public:
    explicit VyrReconnectTimer(VyrSignalIf *signal_if) : m_signal_if(signal_if) {}
    void fire(uint32_t slot_time, uint32_t target_time) override;

private:
    VyrSignalIf *m_signal_if;
};
