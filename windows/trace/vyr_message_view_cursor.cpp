// The interactive side of the message view: the selection of lines and
// records, the message under the cursor, the display filter that shows only
// the selected records, the search over the scrolling list, and turning the
// identifiers of selected messages into entries of the filter lists.
#include "windows/trace/vyr_message_view.h"

#include "core/candb_message.h"
#include "core/id_bit_set.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QScrollBar>

#include <algorithm>
#include <cctype>

long long VyrMessageView::last_cursor_pos() const
{
    if (filtered_rows())
        return m_visible_count;
    if (m_scroll_mode)
        return (long long)m_message_number;
    return m_store->lines().line_count();
}

void VyrMessageView::visit_shown(uint64_t from, uint64_t to,
                                 const std::function<bool(VyrCanMessage &, uint64_t)> &visit)
{
    // The view position stands after the newest shown record.
    VyrMessageRing<VyrCanMessage> &ring = m_store->ring();
    ring.save_view_pointer();
    ring.move_view_pointer(-int(m_message_number - from + 1));
    const int step = from <= to ? 1 : -1;
    for (uint64_t number = from; visit(ring.view_record(), number) && number != to; number += step)
        ring.move_view_pointer(step);
    ring.restore_view_pointer();
}

void VyrMessageView::toggle_selection(long long pos)
{
    // Under the display filter the rows are the selection it was turned on
    // with, and positions are no message numbers.
    if (filtered_rows())
        return;
    if (m_scroll_mode) {
        visit_shown(uint64_t(pos), uint64_t(pos), [this](VyrCanMessage &record, uint64_t) {
            record.flags ^= selected_flag;
            m_scroll_selected += record.flags & selected_flag ? 1 : -1;
            return true;
        });
        emit selection_changed();
    } else {
        TraceLineTable &lines = m_store->lines();
        const int line = int(pos);
        const bool selected = !lines.selected(line);
        lines.set_selected(line, selected);
        m_fixed_selected += selected ? 1 : -1;
    }
}

void VyrMessageView::deselect_all()
{
    if (m_scroll_mode) {
        if (!cursor_shown() || cursor_pos() < 1 || cursor_pos() > (long long)m_message_number)
            return;
        visit_shown(oldest_shown(), m_message_number, [](VyrCanMessage &record, uint64_t) {
            record.flags &= ~selected_flag;
            return true;
        });
        m_scroll_selected = 0;
        emit selection_changed();
    } else {
        TraceLineTable &lines = m_store->lines();
        for (int line = 1; line <= lines.line_count(); ++line)
            lines.set_selected(line, false);
        m_fixed_selected = 0;
    }
    viewport()->update();
}

void VyrMessageView::set_display_filter(bool on)
{
    if (on == m_display_filter)
        return;
    m_display_filter = on;
    m_visible_count = m_scroll_selected;
    m_scroll_selected = 0;
    if (m_shown_count > 0) {
        visit_shown(oldest_shown(), m_message_number, [this, on](VyrCanMessage &record, uint64_t) {
            if (on) {
                if (!(record.flags & selected_flag))
                    record.flags |= hidden_flag;
                record.flags &= ~selected_flag;
            } else {
                // The rows that were visible become the selection.
                if (!(record.flags & hidden_flag)) {
                    record.flags |= selected_flag;
                    ++m_scroll_selected;
                }
                record.flags &= ~hidden_flag;
            }
            return true;
        });
    }
    update_scroll_ranges();
    scroll_to_bottom();
    emit selection_changed();
    viewport()->update();
}

void VyrMessageView::fetch_record(uint64_t number)
{
    visit_shown(number, number, [this](VyrCanMessage &record, uint64_t) {
        m_cursor_message = record;
        return true;
    });
    m_cursor_message_valid = true;
}

void VyrMessageView::fetch_cursor_message()
{
    m_cursor_message_valid = false;
    if (m_scroll_mode) {
        if (m_display_filter) {
            long long visible = 0;
            const long long pos = cursor_pos();
            if (pos < 1 || pos > m_visible_count)
                return;
            visit_shown(oldest_shown(), m_message_number, [this, &visible, pos](VyrCanMessage &record, uint64_t) {
                if (record.flags & hidden_flag || ++visible < pos)
                    return true;
                m_cursor_message = record;
                m_cursor_message_valid = true;
                return false;
            });
        } else if (cursor_pos() >= (long long)oldest_shown() && cursor_pos() <= (long long)m_message_number &&
                   cursor_pos() >= 1) {
            fetch_record(uint64_t(cursor_pos()));
        }
        return;
    }
    const TraceLineTable &lines = m_store->lines();
    const int count = lines.line_count();
    if (count == 0)
        return;
    const int line = cursor_pos() >= 1 && cursor_pos() <= count ? int(cursor_pos()) : 1;
    m_cursor_message = lines.read_line(line).message;
    m_cursor_message_valid = true;
}

const VyrCanMessage *VyrMessageView::current_message()
{
    if (measurement_running()) {
        if (!m_scroll_mode)
            fetch_cursor_message();
        else if (m_shown_count > 0)
            fetch_record(m_message_number);
    }
    return m_cursor_message_valid ? &m_cursor_message : nullptr;
}

bool VyrMessageView::filter_out(const VyrCanMessage &message)
{
    const bool extended = message.flags & VyrCanMessage::Extended;
    VyrIdFilterList &list = extended ? m_extended_filters : m_standard_filters;
    bool changed = false;
    if (list.filter_type() == VyrIdFilterList::pass_listed) {
        if (list.find_range(message.id)) {
            list.remove_id(message.id);
            changed = true;
        }
    } else if (!list.find_range(message.id)) {
        list.add_id(message.id);
        changed = true;
    }
    if (!measurement_running() && !list.active()) {
        list.set_active(true);
        changed = true;
    }
    return changed;
}

void VyrMessageView::add_selected_identifiers_to_filter()
{
    bool changed = false;
    if (!m_scroll_mode) {
        const TraceLineTable &lines = m_store->lines();
        for (int line = lines.line_count(); line >= 1; --line) {
            if (lines.selected(line))
                changed |= filter_out(lines.read_line(line).message);
        }
    } else if (m_shown_count > 0) {
        visit_shown(m_message_number, oldest_shown(), [this, &changed](VyrCanMessage &record, uint64_t) {
            if (record.flags & selected_flag)
                changed |= filter_out(record);
            return true;
        });
    }
    if (!changed)
        return;
    // The pass sets in use are replaced at once, so that the identifiers are
    // blocked from the next message taken over on.
    if (m_store->standard_filter())
        m_store->set_standard_filter(make_standard_pass_set());
    if (m_store->extended_filter())
        m_store->set_extended_filter(make_extended_pass_set());
    emit filters_changed();
}

void VyrMessageView::search(const QString &text, bool upwards)
{
    if (!m_scroll_mode || m_shown_count == 0)
        return;
    // Positions are message numbers, or visible rows under the display filter.
    const bool filtered = m_display_filter;
    const long long first = filtered ? 1 : (long long)oldest_shown();
    const long long last = filtered ? m_visible_count : (long long)m_message_number;
    if (last < first)
        return;
    if (!cursor_shown() || cursor_pos() < first || cursor_pos() > last)
        set_cursor_pos(upwards ? last : first);
    const long long start = cursor_pos();

    std::string wanted = text.toLower().toStdString();
    const int data_width = section_chars(Data);
    const int ascii_width = section_chars(Ascii);
    const int identifier_width = section_chars(Identifier);
    const auto holds = [&wanted](std::string cell) {
        std::transform(cell.begin(), cell.end(), cell.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return cell.find(wanted) != std::string::npos;
    };
    long long pos = upwards ? last + 1 : first - 1;
    long long hit = 0;
    visit_shown(upwards ? m_message_number : oldest_shown(), upwards ? oldest_shown() : m_message_number,
                [&](VyrCanMessage &record, uint64_t) {
                    if (filtered && (record.flags & hidden_flag))
                        return true;
                    pos += upwards ? -1 : 1;
                    if (upwards ? pos >= start : pos <= start)
                        return true;
                    const CANdbMessage *found = m_database_mode ? database_message(record) : nullptr;
                    if (holds(trace_text::data_cell(record, data_width, m_formats.data_hex)) ||
                        holds(trace_text::ascii_cell(record, ascii_width)) ||
                        holds(trace_text::identifier_cell(record, identifier_width, m_formats.id_hex,
                                                          found ? found->name.c_str() : nullptr))) {
                        hit = pos;
                        return false;
                    }
                    return true;
                });
    if (hit)
        set_cursor_pos(hit);
}
