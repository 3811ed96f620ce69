#pragma once
// A script trigger of a hook of the common library: a timer hook owns its
// timer-wheel entry, a key hook its key of the global accelerator table.
// Deleting it cancels the timer and drops a queued run, so nothing fires into
// code that a reload replaced.
#include "core/script_trigger.h"
#include "core/timer_wheel.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_timers.h"

#include <QObject>

#include <memory>

class ScriptHookTrigger : public ScriptTrigger
{
public:
    ScriptHookTrigger(VyrSignalIf *signal_if, uint32_t type, uintptr_t address, std::string name = std::string())
        : ScriptTrigger(type, address, std::move(name)), m_signal_if(signal_if)
    {
    }
    ~ScriptHookTrigger() override
    {
        cancel_timer();
        m_key.reset();
        m_signal_if->remove_output(this);
    }

    // Gives the trigger a timer-wheel entry that posts it when due.
    void add_timer() { m_timer = std::make_unique<VyrScriptTimer>(m_signal_if, this); }
    bool has_timer() const { return m_timer != nullptr; }
    // Arms the timer anew (a pending one is cancelled first) and marks it pending.
    void start_timer(uint32_t timeout_ms)
    {
        TimerWheel *wheel = m_signal_if->timer_wheel();
        if (!m_timer || !wheel)
            return;
        if (pending())
            cancel_timer();
        wheel->schedule(m_timer.get(), timeout_ms);
        set_pending(true);
    }
    // Disarms the timer and drops a run it queued.
    void cancel_timer()
    {
        if (!m_timer)
            return;
        if (TimerWheel *wheel = m_signal_if->timer_wheel())
            wheel->cancel(m_timer.get());
        m_signal_if->remove_output(this);
        set_pending(false);
    }

    // A pressed key posts the trigger with the key code as its argument.
    void add_key(VyrGlobalAccel *table, unsigned code)
    {
        m_key = std::make_unique<VyrGlobalAccelItem>(table, code);
        QObject::connect(m_key.get(), &VyrGlobalAccelItem::activated, [this](unsigned int pressed) {
            set_argument(pressed);
            m_signal_if->post_output(this);
        });
    }

private:
    VyrSignalIf *m_signal_if;
    std::unique_ptr<VyrScriptTimer> m_timer;
    std::unique_ptr<VyrGlobalAccelItem> m_key;
};
