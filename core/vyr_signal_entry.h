#pragma once
// One followed signal of an interface: the signal, the listeners that follow
// it, the value waiting in the interface's request ring and the polling timer.
// The interface owns its entries and keeps the links of its polling list and
// poll queue in them.
#include "core/signal_record.h"

#include <memory>
#include <mutex>

class TimerEntry;
class VyrSignalListener;

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

    // value_changed of every listener in order (a listener may remove itself).
    // Runs in the interface's thread while windows attach and detach their
    // listeners on the GUI thread: a listener that is being removed (or
    // destroyed) waits until the notification in progress is done.
    void notify_listeners(const SignalValue &value);
    // signal_gone of every listener in order.
    void notify_signal_gone();
    // value_reset of every listener in order.
    void notify_value_reset();

    // Unbinds the signal, detaches every listener (they belong to their
    // windows), clears the links and the pending value and deletes the polling
    // timer, which must not be scheduled any more (cancel it first).
    void reset();

    // Kept by the owning interface.
    VyrSignalEntry *polling_next = nullptr;    // its list of entries with a polling timer
    VyrSignalEntry *poll_queue_next = nullptr; // its queue of entries whose timer fired
    bool queued = false;                       // the entry is in the poll queue
    SignalValue pending;                       // the value the request ring writes
    std::unique_ptr<TimerEntry> polling_timer;

private:
    template <typename Notify> void notify_each(Notify notify);

    SignalRecord *m_signal = nullptr;
    // Guards the listener chain and the cursor; recursive, since a listener
    // may remove itself (or another) from inside its notification.
    mutable std::recursive_mutex m_listeners_mutex;
    VyrSignalListener *m_first_listener = nullptr;
    VyrSignalListener *m_last_listener = nullptr;
    VyrSignalListener *m_listener_cursor = nullptr;
    bool m_cursor_before_first = false; // the listener at the cursor was the first and went
    int m_listener_count = 0;
};
