#include "core/vyr_signal_list.h"

#include "settings/debug_trace.h"
#include "core/signal_record.h"

#include <algorithm>
#include <cstring>

VyrSignalList::VyrSignalList() : m_index(index_step, nullptr), m_buckets(bucket_count, nullptr) {}

VyrSignalList::~VyrSignalList()
{
    clear();
}

int VyrSignalList::insert(SignalRecord *signal)
{
    signal->m_hash = SignalRecord::hash_name(signal->name());
    SignalRecord *&bucket = m_buckets[signal->m_hash % bucket_count];
    signal->m_hash_next = bucket;
    bucket = signal;

    auto free_slot = std::find(m_index.begin(), m_index.end(), nullptr);
    if (free_slot == m_index.end()) {
        const size_t old_size = m_index.size();
        m_index.resize(old_size + index_step, nullptr);
        free_slot = m_index.begin() + std::ptrdiff_t(old_size);
    }
    *free_slot = signal;
    signal->m_slot = int(free_slot - m_index.begin());

    signal->m_list_next = nullptr;
    if (m_last)
        m_last->m_list_next = signal;
    else
        m_first = signal;
    m_last = signal;
    ++m_count;
    return signal->m_slot;
}

void VyrSignalList::remove(SignalRecord *signal)
{
    SignalRecord *previous = nullptr;
    SignalRecord *current = m_first;
    while (current && current != signal) {
        previous = current;
        current = current->m_list_next;
    }
    if (!signal || !current)
        return; // not one of ours: it belongs to whoever holds it

    if (signal->m_slot >= 0 && size_t(signal->m_slot) < m_index.size())
        m_index[size_t(signal->m_slot)] = nullptr;
    signal->m_slot = -1;

    SignalRecord **link = &m_buckets[signal->m_hash % bucket_count];
    while (*link && *link != signal)
        link = &(*link)->m_hash_next;
    if (*link)
        *link = signal->m_hash_next;
    else
        debug_trace("VyrSignalList::remove (): Signal '%s' not found in hash table",
                    signal->name() ? signal->name() : "");

    if (previous)
        previous->m_list_next = signal->m_list_next;
    else
        m_first = signal->m_list_next;
    if (m_last == signal)
        m_last = previous;
    if (m_cursor == signal) {
        m_cursor = previous;
        m_cursor_before_first = previous == nullptr;
    }
    --m_count;
    delete signal;
}

SignalRecord *VyrSignalList::find(const char *name) const
{
    if (!name)
        return nullptr;
    const uint32_t hash = SignalRecord::hash_name(name);
    for (SignalRecord *signal = m_buckets[hash % bucket_count]; signal; signal = signal->m_hash_next)
        if (signal->m_hash == hash && signal->name() && std::strcmp(signal->name(), name) == 0)
            return signal;
    return nullptr;
}

SignalRecord *VyrSignalList::at(int slot) const
{
    if (slot < 0 || size_t(slot) >= m_index.size())
        return nullptr;
    return m_index[size_t(slot)];
}

SignalRecord *VyrSignalList::first()
{
    m_cursor = m_first;
    m_cursor_before_first = false;
    return m_cursor;
}

SignalRecord *VyrSignalList::next()
{
    if (m_cursor_before_first) {
        m_cursor_before_first = false;
        m_cursor = m_first;
    } else if (m_cursor) {
        m_cursor = m_cursor->m_list_next;
    }
    return m_cursor;
}

void VyrSignalList::clear()
{
    for (SignalRecord *signal = m_first; signal;) {
        SignalRecord *next = signal->m_list_next;
        signal->m_slot = -1;
        delete signal;
        signal = next;
    }
    m_first = m_last = m_cursor = nullptr;
    m_cursor_before_first = false;
    m_count = 0;
    std::fill(m_index.begin(), m_index.end(), nullptr);
    std::fill(m_buckets.begin(), m_buckets.end(), nullptr);
}
