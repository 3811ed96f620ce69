// The interactive side of the message view: the row cursor moved by keys
// and mouse, the selection, the display filter that shows only the selected
// records, the search over the scrolling list, and turning the identifiers
// of selected messages into entries of the filter lists.
#include "windows/trace/vyr_message_view.h"

#include "core/candb_message.h"
#include "core/id_bit_set.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
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

void VyrMessageView::set_cursor_pos(long long pos)
{
    pos = std::min(std::max(pos, 1LL), last_cursor_pos());
    if (m_scroll_mode && !filtered_rows() && pos <= (long long)m_message_number - max_shown)
        pos = (long long)m_message_number - max_shown + 1;
    if (pos == m_cursor_pos)
        return;
    m_cursor_pos = pos;
    if (pos > 0) {
        const bool by_number = m_scroll_mode && !filtered_rows();
        const long long row = by_number ? row_count() - ((long long)m_message_number - pos) : pos;
        const int top = row_top(row);
        const int visible = viewport()->height();
        if (top < verticalScrollBar()->value())
            verticalScrollBar()->setValue(top - m_row_height / 2);
        else if (top + m_row_height > verticalScrollBar()->value() + visible)
            verticalScrollBar()->setValue(top + m_row_height + m_row_height / 2 - visible);
    }
    viewport()->update();
    fetch_cursor_message();
    emit cursor_position_changed();
}

long long VyrMessageView::cursor_pos_at(int y) const
{
    if (y < 0 || y >= m_contents_height)
        return 0;
    // Counted from the bottom row, which holds the last position.
    return last_cursor_pos() - (m_contents_height - 1 - y) / m_row_height;
}

void VyrMessageView::set_cursor_pos_by_mouse(int y)
{
    if (const long long pos = cursor_pos_at(y); pos >= 1)
        set_cursor_pos(pos);
}

void VyrMessageView::mousePressEvent(QMouseEvent *event)
{
    viewport()->setFocus();
    // Below the last row the cursor stays and nothing is selected.
    const long long pos = cursor_pos_at(event->pos().y() + verticalScrollBar()->value());
    if (event->button() == Qt::LeftButton && pos >= 1) {
        set_cursor_pos(pos);
        if (!(event->modifiers() & Qt::ControlModifier) && selection_editable())
            toggle_selection_on_cursor_pos();
    } else if (event->button() == Qt::RightButton) {
        if (pos >= 1)
            set_cursor_pos(pos);
        emit show_context_menu(event->globalPos());
    }
}

void VyrMessageView::keyPressEvent(QKeyEvent *event)
{
    const long long rows_per_page = std::max(1, viewport()->height() / m_row_height);
    long long pos;
    switch (event->key()) {
    case Qt::Key_Space:
        if (selection_editable())
            toggle_selection_on_cursor_pos();
        return;
    case Qt::Key_Home:
        pos = 0;
        break;
    case Qt::Key_End:
        pos = last_cursor_pos();
        break;
    case Qt::Key_Up:
        pos = std::max(m_cursor_pos - 1, 0LL);
        break;
    case Qt::Key_Down:
        pos = m_cursor_pos + 1;
        break;
    case Qt::Key_PageUp:
        pos = std::max(m_cursor_pos - rows_per_page, 0LL);
        break;
    case Qt::Key_PageDown:
        pos = m_cursor_pos + rows_per_page;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if ((event->modifiers() & Qt::ShiftModifier) && selection_editable())
        toggle_selection_on_cursor_pos();
    set_cursor_pos(pos);
}

void VyrMessageView::cursor_on(bool on)
{
    m_cursor_shown = on;
    viewport()->update();
}

void VyrMessageView::toggle_selection_on_cursor_pos()
{
    if (!m_cursor_shown || m_cursor_pos < 1 || m_cursor_pos > last_cursor_pos())
        return;
    if (m_scroll_mode) {
        visit_shown(uint64_t(m_cursor_pos), uint64_t(m_cursor_pos), [this](VyrCanMessage &record, uint64_t) {
            record.flags ^= selected_flag;
            m_scroll_selected += record.flags & selected_flag ? 1 : -1;
            return true;
        });
        emit selection_changed();
    } else {
        TraceLineTable &lines = m_store->lines();
        const int line = int(m_cursor_pos);
        const bool selected = !lines.selected(line);
        lines.set_selected(line, selected);
        m_fixed_selected += selected ? 1 : -1;
    }
    viewport()->update();
}

void VyrMessageView::deselect_all()
{
    if (m_scroll_mode) {
        if (!m_cursor_shown || m_cursor_pos < 1 || m_cursor_pos > (long long)m_message_number)
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
    set_contents_height(m_row_height * row_count());
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
            if (m_cursor_pos < 1 || m_cursor_pos > m_visible_count)
                return;
            visit_shown(oldest_shown(), m_message_number, [this, &visible](VyrCanMessage &record, uint64_t) {
                if (record.flags & hidden_flag || ++visible < m_cursor_pos)
                    return true;
                m_cursor_message = record;
                m_cursor_message_valid = true;
                return false;
            });
        } else if (m_cursor_pos >= (long long)oldest_shown() && m_cursor_pos <= (long long)m_message_number &&
                   m_cursor_pos >= 1) {
            fetch_record(uint64_t(m_cursor_pos));
        }
        return;
    }
    const TraceLineTable &lines = m_store->lines();
    const int count = lines.line_count();
    if (count == 0)
        return;
    const int line = m_cursor_pos >= 1 && m_cursor_pos <= count ? int(m_cursor_pos) : 1;
    m_cursor_message = lines.read_line(line).message;
    m_cursor_message_valid = true;
}

const VyrCanMessage *VyrMessageView::current_message()
{
    if (m_running) {
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
    if (!m_running && !list.active()) {
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
    if (!m_cursor_shown || m_cursor_pos < first || m_cursor_pos > last)
        set_cursor_pos(upwards ? last : first);
    const long long start = m_cursor_pos;

    std::string wanted = text.toLower().toStdString();
    const auto width = [this](int section) { return m_header->sectionSize(section) / m_char_width; };
    const int data_width = width(Data);
    const int ascii_width = width(Ascii);
    const int identifier_width = width(Identifier);
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
