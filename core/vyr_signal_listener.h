#pragma once
// Base of everything that follows a signal (window curves, panel items,
// trigger conditions). A listener is attached to at most one signal entry.
#include "core/intrusive_list.h"
#include "core/signal_record.h"

class VyrSignalEntry;

class VyrSignalListener
{
public:
    VyrSignalListener() = default;
    // Detaches the listener from its entry (see detach).
    virtual ~VyrSignalListener();
    VyrSignalListener(const VyrSignalListener &) = delete;
    VyrSignalListener &operator=(const VyrSignalListener &) = delete;

    // A new value of the followed signal; runs on the thread that delivers it,
    // with the entry's listener lock held: it must not wait for a thread that
    // may be detaching a listener of the same signal (post to the GUI instead).
    virtual void value_changed(const SignalValue &value) = 0;
    // The followed signal is gone; the listener must not use it any more.
    virtual void signal_gone() {}
    // The signal's value was reset (a script's signalResetValue).
    virtual void value_reset() {}

    // Leaves the entry, waiting for a notification of this listener in
    // progress. A listener that another thread notifies calls it first thing
    // in its own destructor: by the time this base destructor runs, the
    // derived part is gone and a notification would reach a half-destroyed
    // object.
    void detach();

    VyrSignalEntry *entry() const { return m_entry; }

private:
    friend class VyrSignalEntry;
    IntrusiveLink<VyrSignalListener> m_link;
    VyrSignalEntry *m_entry = nullptr;
};
