// The interactive side of the message view: the row cursor moved by keys
// and mouse, the selection, and turning the identifiers of selected
// messages into entries of the filter lists.
#include "windows/trace/vyr_message_view.h"

#include "core/id_bit_set.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

long long VyrMessageView::last_cursor_pos() const
{
    if (m_scroll_mode)
        return (long long)m_message_number;
    return m_store->lines().line_count();
}

void VyrMessageView::set_cursor_pos(long long pos)
{
    pos = std::min(std::max(pos, 1LL), last_cursor_pos());
    if (m_scroll_mode && pos <= (long long)m_message_number - max_shown)
        pos = (long long)m_message_number - max_shown + 1;
    if (pos == m_cursor_pos)
        return;
    m_cursor_pos = pos;
    if (pos > 0) {
        const long long row = m_scroll_mode ? row_count() - ((long long)m_message_number - pos) : pos;
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
    if (const long long pos = cursor_pos_at(y))
        set_cursor_pos(pos);
}

void VyrMessageView::mousePressEvent(QMouseEvent *event)
{
    viewport()->setFocus();
    const long long pos = cursor_pos_at(event->pos().y() + verticalScrollBar()->value());
    if (pos < 1)
        return;
    if (event->button() == Qt::LeftButton) {
        set_cursor_pos(pos);
        if (!(event->modifiers() & Qt::ControlModifier) && selection_editable())
            toggle_selection_on_cursor_pos();
    } else if (event->button() == Qt::RightButton) {
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
    if (!m_cursor_shown || m_cursor_pos < 1 || m_cursor_pos > last_cursor_pos() || m_scroll_mode)
        return;
    TraceLineTable &lines = m_store->lines();
    const int line = int(m_cursor_pos);
    const bool selected = !lines.selected(line);
    lines.set_selected(line, selected);
    m_fixed_selected += selected ? 1 : -1;
    viewport()->update();
}

void VyrMessageView::deselect_all()
{
    if (m_scroll_mode)
        return;
    TraceLineTable &lines = m_store->lines();
    for (int line = 1; line <= lines.line_count(); ++line)
        lines.set_selected(line, false);
    m_fixed_selected = 0;
    viewport()->update();
}

void VyrMessageView::fetch_cursor_message()
{
    m_cursor_message_valid = false;
    if (m_scroll_mode)
        return;
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
    if (m_running)
        fetch_cursor_message();
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
    }
    if (!changed)
        return;
    // A pass set that the receive thread reads is replaced at once, so that
    // the identifiers are blocked from the next message on.
    if (m_store->standard_filter())
        m_store->set_standard_filter(make_standard_pass_set());
    if (m_store->extended_filter())
        m_store->set_extended_filter(make_extended_pass_set());
    emit filters_changed();
}
