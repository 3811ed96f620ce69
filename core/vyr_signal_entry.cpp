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
    // A listener follows one signal: its link must leave the other entry's
    // list before it is reused here.
    if (listener->m_entry)
        listener->m_entry->remove_listener(listener);
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    listener->m_entry = this;
    m_listeners.push_back(listener);
}

void VyrSignalEntry::remove_listener(VyrSignalListener *listener)
{
    if (!listener)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    if (listener->m_entry != this)
        return;
    m_listeners.remove(listener);
    listener->m_entry = nullptr;
}

int VyrSignalEntry::listener_count() const
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    return m_listeners.size();
}

VyrSignalListener *VyrSignalEntry::first_listener()
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    m_listener_cursor.restart();
    return m_listener_cursor.next();
}

VyrSignalListener *VyrSignalEntry::next_listener()
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    return m_listener_cursor.next();
}

template <typename Notify> void VyrSignalEntry::notify_each(Notify notify)
{
    std::lock_guard<std::recursive_mutex> lock(m_listeners_mutex);
    ListenerList::Walk walk(m_listeners);
    while (VyrSignalListener *listener = walk.next())
        notify(listener);
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
        while (VyrSignalListener *listener = m_listeners.first())
            remove_listener(listener);
    }
    pending = SignalValue();
    polling_timer.reset();
}
