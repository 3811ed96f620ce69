#include "windows/base/vyr_signal_display_list.h"

#include <algorithm>

VyrSignalDisplayList::VyrSignalDisplayList(VyrDataWindow *owner) : m_owner(owner) {}

VyrSignalDisplayList::~VyrSignalDisplayList()
{
    for (SignalDisplayEntry *entry : m_entries) {
        if (entry->signal())
            entry->signal()->release_use();
        delete entry;
    }
}

SignalDisplayEntry *VyrSignalDisplayList::append_signal(SignalRecord *signal)
{
    SignalDisplayEntry *entry = create_entry(signal);
    if (signal)
        signal->add_use();
    entry->set_signal_flag(signal && (signal->flags() & 0x1));
    m_entries.push_back(entry);
    set_cursor(entry);
    emit signal_list_changed();
    return entry;
}

void VyrSignalDisplayList::set_cursor(SignalDisplayEntry *entry)
{
    if (m_cursor)
        m_cursor->set_cursor_mark(false);
    emit cursor_changed();
    m_cursor = entry;
    if (entry)
        entry->set_cursor_mark(true);
    emit cursor_changed();
}

void VyrSignalDisplayList::erase(SignalDisplayEntry *entry, bool release_use)
{
    m_entries.erase(std::find(m_entries.begin(), m_entries.end(), entry));
    if (m_cursor == entry)
        m_cursor = nullptr;
    if (release_use && entry->signal())
        entry->signal()->release_use();
    delete entry;
}

void VyrSignalDisplayList::remove_entry(SignalDisplayEntry *entry, bool release_use)
{
    if (std::find(m_entries.begin(), m_entries.end(), entry) == m_entries.end())
        return;
    erase(entry, release_use);
    emit signal_list_changed();
}

void VyrSignalDisplayList::delete_selected()
{
    std::vector<SignalDisplayEntry *> selected;
    for (SignalDisplayEntry *entry : m_entries)
        if (entry->signal() && entry->selected())
            selected.push_back(entry);
    if (selected.empty() && m_cursor && m_cursor->signal())
        selected.push_back(m_cursor);
    if (selected.empty())
        return;
    for (SignalDisplayEntry *entry : selected)
        erase(entry, true);
    emit signal_list_changed();
}
