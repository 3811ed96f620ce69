#pragma once
// Keeps the last value of one signal for a window that polls it on its
// update timer: the interface's thread stores each new value, the window
// reads it and clears the changed mark.
#include "core/vyr_signal_listener.h"

#include <mutex>

class SignalValueListener : public VyrSignalListener
{
public:
    // kind is the owner's own number for the listener.
    SignalValueListener(int kind, SignalRecord *signal) : m_kind(kind), m_signal(signal) {}
    ~SignalValueListener() override { detach(); }

    void value_changed(const SignalValue &value) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_last = value;
        m_changed = true;
    }

    // The last value (zero before the first), and whether it changed since
    // the last call that cleared the mark.
    SignalValue last_value(bool clear_changed, bool *changed = nullptr)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (changed)
            *changed = m_changed;
        if (clear_changed)
            m_changed = false;
        return m_last;
    }

    int kind() const { return m_kind; }
    SignalRecord *signal() const { return m_signal; }

private:
    std::mutex m_mutex;
    SignalValue m_last;
    bool m_changed = false;
    int m_kind;
    SignalRecord *m_signal;
};
