#include "interfaces/can/vyr_id_filter_list.h"

#include "core/id_bit_set.h"
#include "settings/qtb_config.h"

#include <algorithm>
#include <numeric>
#include <vector>

VyrIdFilterList::VyrIdFilterList(bool extended_id, int filter_type)
    : m_extended_id(extended_id), m_filter_type(filter_type)
{}

VyrIdFilterList::~VyrIdFilterList()
{
    clear();
}

void VyrIdFilterList::init(bool extended_id, int filter_type)
{
    clear();
    m_extended_id = extended_id;
    m_filter_type = filter_type;
    m_active = true;
}

void VyrIdFilterList::clear()
{
    for (VyrIdRange *range = m_head; range;) {
        VyrIdRange *next = range->next;
        delete range;
        range = next;
    }
    m_head = m_tail = m_cursor = nullptr;
    m_cursor_before_head = false;
    m_count = 0;
}

void VyrIdFilterList::append(VyrIdRange *range)
{
    range->next = nullptr;
    (m_tail ? m_tail->next : m_head) = range;
    m_tail = range;
    ++m_count;
}

void VyrIdFilterList::add_range(uint32_t a, uint32_t b)
{
    append(new VyrIdRange{std::min(a, b), std::max(a, b)});
}

void VyrIdFilterList::unlink_after(VyrIdRange *previous, VyrIdRange *range)
{
    (previous ? previous->next : m_head) = range->next;
    if (m_tail == range)
        m_tail = previous;
    if (m_cursor == range) {
        m_cursor = previous;
        m_cursor_before_head = previous == nullptr;
    }
    delete range;
    --m_count;
}

void VyrIdFilterList::remove_id(uint32_t id)
{
    VyrIdRange *previous = nullptr;
    for (VyrIdRange *range = m_head; range;) {
        if (id < range->start || id > range->end) {
            previous = range;
            range = range->next;
            continue;
        }
        if (range->start == range->end) {
            unlink_after(previous, range);
            previous = nullptr;
            range = m_head;
            continue;
        }
        if (id == range->start) {
            ++range->start;
        } else if (id == range->end) {
            --range->end;
        } else {
            const uint32_t upper_end = range->end;
            range->end = id - 1;
            append(new VyrIdRange{id + 1, upper_end});
        }
        previous = range;
        range = range->next;
    }
}

void VyrIdFilterList::remove_range(VyrIdRange *range)
{
    VyrIdRange *previous = nullptr;
    for (VyrIdRange *r = m_head; r; previous = r, r = r->next) {
        if (r == range) {
            unlink_after(previous, r);
            return;
        }
    }
}

void VyrIdFilterList::optimize()
{
    // The ranges in list order, then sorted by start: one sweep finds the
    // groups that overlap or touch, whatever order they were listed in.
    std::vector<VyrIdRange *> listed;
    listed.reserve(size_t(m_count));
    for (VyrIdRange *range = m_head; range; range = range->next)
        listed.push_back(range);
    std::vector<size_t> by_start(listed.size());
    std::iota(by_start.begin(), by_start.end(), size_t(0));
    std::stable_sort(by_start.begin(), by_start.end(),
                     [&](size_t a, size_t b) { return listed[a]->start < listed[b]->start; });

    std::vector<bool> keep(listed.size(), false);
    for (size_t i = 0; i < by_start.size();) {
        const uint32_t start = listed[by_start[i]]->start;
        uint32_t end = listed[by_start[i]]->end;
        size_t first_listed = by_start[i];
        size_t j = i + 1;
        // Touching: the next start is at most one past the group's end.
        for (; j < by_start.size() && (end == UINT32_MAX || listed[by_start[j]]->start <= end + 1); ++j) {
            end = std::max(end, listed[by_start[j]]->end);
            first_listed = std::min(first_listed, by_start[j]);
        }
        listed[first_listed]->start = start;
        listed[first_listed]->end = end;
        keep[first_listed] = true;
        i = j;
    }

    m_head = m_tail = m_cursor = nullptr;
    m_cursor_before_head = false;
    m_count = 0;
    for (size_t i = 0; i < listed.size(); ++i) {
        if (keep[i])
            append(listed[i]);
        else
            delete listed[i];
    }
}

VyrIdRange *VyrIdFilterList::first_range()
{
    m_cursor = m_head;
    m_cursor_before_head = false;
    return m_cursor;
}

VyrIdRange *VyrIdFilterList::next_range()
{
    if (m_cursor_before_head) {
        m_cursor_before_head = false;
        m_cursor = m_head;
    } else if (m_cursor) {
        m_cursor = m_cursor->next;
    }
    return m_cursor;
}

VyrIdRange *VyrIdFilterList::find_range(uint32_t id) const
{
    for (VyrIdRange *range = m_head; range; range = range->next)
        if (range->start <= id && id <= range->end)
            return range;
    return nullptr;
}

template <typename Set> void VyrIdFilterList::apply(Set &set) const
{
    const bool pass_only_listed = m_filter_type == pass_listed;
    if (pass_only_listed)
        set.clear_all();
    else
        set.set_all();
    for (VyrIdRange *range = m_head; range; range = range->next) {
        if (pass_only_listed)
            set.set_range(range->start, range->end);
        else
            set.clear_range(range->start, range->end);
    }
}

void VyrIdFilterList::apply_to_bitset(IdBitSet &set) const
{
    apply(set);
}

void VyrIdFilterList::apply_to_sparse_bitset(SparseIdBitSet &set) const
{
    apply(set);
}

void VyrIdFilterList::read_config(QtbConfigGroup *group)
{
    clear();
    m_extended_id = group->read_int("extended_id", 0) != 0;
    m_filter_type = group->read_int("filter_type", block_listed);
    m_active = group->read_int("active", 1) != 0;
    QtbConfigGroup *list = group->get_group("filter_list");
    if (!list)
        return;
    for (QtbConfigGroup *range = list->first_group(); range; range = list->next_group())
        add_range(uint32_t(range->read_int("start_id", 0)), uint32_t(range->read_int("end_id", 0)));
}

void VyrIdFilterList::write_config(QtbConfigGroup *group) const
{
    group->write_int("extended_id", m_extended_id);
    group->write_int("filter_type", m_filter_type);
    group->write_int("active", m_active);
    QtbConfigGroup *list = group->get_or_add_group("filter_list");
    list->clear();
    for (VyrIdRange *range = m_head; range; range = range->next) {
        QtbConfigGroup *entry = list->add_group("");
        entry->write_int("start_id", int32_t(range->start));
        entry->write_int("end_id", int32_t(range->end));
    }
}
