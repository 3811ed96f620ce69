#pragma once
// One followed signal of an interface: the signal, the listeners that follow
// it, the value waiting in the interface's request ring and the polling timer.
// The interface owns its entries and keeps the links of its polling list and
// poll queue in them.
#include "core/intrusive_list.h"
#include "core/signal_record.h"
#include "core/vyr_signal_listener.h"

#include <memory>
#include <mutex>

class TimerEntry;

class VyrSignalEntry
{
public:
    VyrSignalEntry();
    // Resets the entry (see reset).
    ~VyrSignalEntry();
    VyrSignalEntry(const VyrSignalEntry &) = delete;
    VyrSignalEntry &operator=(const VyrSignalEntry &) = delete;

    // Follows the signal (null: none); the previous signal's back link is cleared.
    void bind(SignalRecord *signal);
    SignalRecord *signal() const { return m_signal; }

    // Appends the listener; a listener already attached here is not added
    // again, one attached to another entry leaves that one first.
    void add_listener(VyrSignalListener *listener);
    void remove_listener(VyrSignalListener *listener);
    VyrSignalListener *first_listener();
    VyrSignalListener *next_listener();
    int listener_count() const;

    // value_changed of every listener in order. A listener may remove any
    // listener, itself included: a removed one that was not notified yet is
    // not notified. Runs in the interface's thread while windows attach and detach their
    // listeners on the GUI thread: a listener that is being removed (or
    // destroyed) waits until the notification in progress is done.
    void notify_listeners(const SignalValue &value);
    // signal_gone of every listener in order.
    void notify_signal_gone();
    // value_reset of every listener in order.
    void notify_value_reset();

    // Unbinds the signal, detaches every listener (they belong to their
    // windows), clears the pending value and deletes the polling timer,
    // which must not be scheduled any more (cancel it first).
    void reset();

    // Kept by the owning interface.
    IntrusiveLink<VyrSignalEntry> polling_link;    // its list of entries with a polling timer
    IntrusiveLink<VyrSignalEntry> poll_queue_link; // its queue of entries whose timer fired
    SignalValue pending;                           // the value the request ring writes
    std::unique_ptr<TimerEntry> polling_timer;

private:
    using ListenerList = IntrusiveList<VyrSignalListener, &VyrSignalListener::m_link>;

    // Calls the notification on every listener through a walk that survives
    // the removals the listeners make.
    template <typename Notify> void notify_each(Notify notify);

    SignalRecord *m_signal = nullptr;
    // Guards the listener list and the cursor; recursive, since a listener
    // may remove itself (or another) from inside its notification.
    mutable std::recursive_mutex m_listeners_mutex;
    ListenerList m_listeners;
    ListenerList::Walk m_listener_cursor{m_listeners}; // first_listener / next_listener
};
