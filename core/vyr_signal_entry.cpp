#include "core/vyr_signal_entry.h"

#include "core/timer_wheel.h"
#include "core/vyr_signal_listener.h"

VyrSignalListener::~VyrSignalListener()
{
    detach();
}

void VyrSignalListener::detach()
{
    if (m_entry)
        m_entry->remove_listener(this);
}

VyrSignalEntry::VyrSignalEntry() = default;

VyrSignalEntry::~VyrSignalEntry()
{
    reset();
}

void VyrSignalEntry::bind(SignalRecord *signal)
{
    if (m_signal && m_signal->m_entry == this)
        m_signal->m_entry = nullptr;
    m_signal = signal;
    if (m_signal)
        m_signal->m_entry = this;
}

void VyrSignalEntry::add_listener(VyrSignalListener *listener)
{
    if (!listener || listener->m_entry == this)
        return;
    // A listener follows one signal: its links must leave the other entry's
    // chain before they are reused here.
    if (listener->m_entry)
        listener->m_entry->remove_listener(listener);
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    listener->m_entry = this;
    listener->m_next = nullptr;
    listener->m_previous = m_last_listener;
    if (m_last_listener)
        m_last_listener->m_next = listener;
    else
        m_first_listener = listener;
    m_last_listener = listener;
    ++m_listener_count;
}

void VyrSignalEntry::remove_listener(VyrSignalListener *listener)
{
    if (!listener)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    if (listener->m_entry != this)
        return;
    if (m_listener_cursor == listener) {
        m_listener_cursor = listener->m_previous;
        m_cursor_before_first = !m_listener_cursor;
    }
    if (listener->m_previous)
        listener->m_previous->m_next = listener->m_next;
    else
        m_first_listener = listener->m_next;
    if (listener->m_next)
        listener->m_next->m_previous = listener->m_previous;
    else
        m_last_listener = listener->m_previous;
    listener->m_next = listener->m_previous = nullptr;
    listener->m_entry = nullptr;
    --m_listener_count;
}

int VyrSignalEntry::listener_count() const
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    return m_listener_count;
}

VyrSignalListener *VyrSignalEntry::first_listener()
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    m_listener_cursor = m_first_listener;
    m_cursor_before_first = false;
    return m_listener_cursor;
}

VyrSignalListener *VyrSignalEntry::next_listener()
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    if (m_cursor_before_first) {
        m_cursor_before_first = false;
        m_listener_cursor = m_first_listener;
    } else if (m_listener_cursor) {
        m_listener_cursor = m_listener_cursor->m_next;
    }
    return m_listener_cursor;
}

// One walk for every notification: the next listener is taken before the
// current one runs, since a listener may remove itself.
template <typename Notify> void VyrSignalEntry::notify_each(Notify notify)
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    for (VyrSignalListener *listener = m_first_listener; listener;) {
        VyrSignalListener *next = listener->m_next;
        notify(listener);
        listener = next;
    }
}

void VyrSignalEntry::notify_listeners(const SignalValue &value)
{
    notify_each([&value](VyrSignalListener *listener) { listener->value_changed(value); });
}

void VyrSignalEntry::notify_signal_gone()
{
    notify_each([](VyrSignalListener *listener) { listener->signal_gone(); });
}

void VyrSignalEntry::notify_value_reset()
{
    notify_each([](VyrSignalListener *listener) { listener->value_reset(); });
}

void VyrSignalEntry::reset()
{
    bind(nullptr);
    {
        std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
        while (m_first_listener)
            remove_listener(m_first_listener);
        m_listener_cursor = nullptr;
        m_cursor_before_first = false;
    }
    polling_next = nullptr;
    poll_queue_next = nullptr;
    queued = false;
    pending = SignalValue();
    polling_timer.reset();
}
