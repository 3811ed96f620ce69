#include "windows/packet/vyr_packet_display.h"

#include "settings/qtb_config.h"
#include "core/vyr_packet.h"
#include "core/vyr_signal_if.h"
#include "windows/base/header_tool_tip.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>

#include <algorithm>

namespace {

constexpr int counter_column = 0;
constexpr int time_column = 1;
constexpr int first_field_column = 2;
// The longest text of one cell.
constexpr int max_cell = 300;
// Cell widths of the text export, in characters.
constexpr int export_counter_chars = 10;
constexpr int export_time_chars = 12;
constexpr int export_field_chars = 250;

QString padded_unsigned(uint32_t value, int width, char fill = ' ')
{
    char buffer[max_cell + 1];
    format_unsigned_padded(buffer, value, std::min(width, max_cell), fill, 10);
    return QString::fromLatin1(buffer);
}

// The stored text without its terminating zero, cut to `chars` bytes.
QByteArray cut_text(const uint8_t *data, int length, int chars)
{
    if (length > 0 && data[length - 1] == 0)
        --length;
    length = std::min({length, max_cell, chars});
    QByteArray text(reinterpret_cast<const char *>(data), length);
    for (char &c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

} // namespace

VyrPacketDisplay::VyrPacketDisplay(QWidget *parent) : QAbstractScrollArea(parent), m_store(new VyrPacketStore)
{
    m_header_model = new QStandardItemModel(0, 0, this);
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setObjectName(QStringLiteral("packet_header"));
    m_header->setModel(m_header_model);
    m_header->setSectionsMovable(true);
    m_header->setSectionsClickable(true);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(1);
    connect(m_header, &QHeaderView::sectionResized, this, &VyrPacketDisplay::header_size_changed);
    connect(m_header, &QHeaderView::sectionMoved, viewport(), [this] { viewport()->update(); });
    connect(m_header, &QHeaderView::sectionClicked, this, &VyrPacketDisplay::header_clicked);
    m_header_tips = new HeaderToolTip(m_header);

    // A metric-compatible mono font stands in where "Courier New" is missing.
    m_font = QFont(QStringLiteral("Courier New"), 10);
    m_font.setStyleHint(QFont::TypeWriter);
    update_font_metrics();

    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next())
        if (signal_if->packet_source_count() > 0) {
            set_source(signal_if, signal_if->packet_source(0));
            break;
        }
    update_geometrie();
}

VyrPacketDisplay::~VyrPacketDisplay()
{
    detach_store();
}

// --- Source and columns -----------------------------------------------------------------

void VyrPacketDisplay::set_source(VyrSignalIf *signal_if, VyrPacketSource *source)
{
    if (signal_if == m_interface && source == m_source)
        return;
    detach_store();
    m_interface = signal_if;
    m_source = source;
    set_layout(source ? source->layout() : nullptr);
}

void VyrPacketDisplay::attach_store()
{
    if (m_source && !m_attached) {
        m_source->add_listener(m_store.get());
        m_attached = true;
    }
}

void VyrPacketDisplay::detach_store()
{
    if (m_source && m_attached)
        m_source->remove_listener(m_store.get());
    m_attached = false;
}

void VyrPacketDisplay::set_layout(const VyrPacketLayout *layout)
{
    clear();
    m_layout = layout;
    m_packet.reset(layout ? new VyrPacket(layout) : nullptr);
    m_older.reset(layout ? new VyrPacket(layout) : nullptr);
    const int columns = layout ? layout->field_count() + first_field_column : 0;
    m_header_model->setColumnCount(0);
    m_header_model->setColumnCount(columns);
    m_title_modes.assign(size_t(columns), Plain);
    if (!layout) {
        header_size_changed();
        return;
    }
    std::vector<int> chars(static_cast<size_t>(columns));
    m_header_model->setHeaderData(counter_column, Qt::Horizontal, tr("Counter"));
    m_header_tips->set_tip(counter_column, tr("<b>Message Counter</b>"));
    chars[counter_column] = 5;
    m_header_model->setHeaderData(time_column, Qt::Horizontal, tr("Time"));
    m_header_tips->set_tip(time_column, tr("<b>Time stamp</b>"));
    chars[time_column] = 16;
    for (int field = 0; field < layout->field_count(); ++field) {
        const int column = field + first_field_column;
        m_header_tips->set_tip(column, QString::fromUtf8(layout->field_text(field).c_str()));
        int width = layout->field_max_size(field);
        switch (layout->field_type(field)) {
        case VyrPacketLayout::Bytes:
            width = std::min(width, 16) * 3;
            m_title_modes[size_t(column)] = Hex;
            break;
        case VyrPacketLayout::Text:
        case VyrPacketLayout::Utf8Text:
            width = std::min(width, 80);
            break;
        case VyrPacketLayout::Int:
        case VyrPacketLayout::Int2:
        case VyrPacketLayout::Value8:
            width = 8;
            break;
        }
        chars[size_t(column)] = width;
    }
    update_header();
    for (int column = 0; column < columns; ++column)
        m_header->resizeSection(column, chars[size_t(column)] * m_char_width);
    header_size_changed();
}

void VyrPacketDisplay::update_header()
{
    if (!m_layout)
        return;
    for (int field = 0; field < m_layout->field_count(); ++field) {
        const int column = field + first_field_column;
        QString title = QString::fromUtf8(m_layout->field_name(field).c_str());
        if (m_title_modes[size_t(column)] == Hex)
            title += QStringLiteral("[hex]");
        else if (m_title_modes[size_t(column)] == Dec)
            title += QStringLiteral("[dec]");
        m_header_model->setHeaderData(column, Qt::Horizontal, title);
    }
    viewport()->update();
}

void VyrPacketDisplay::header_clicked(int section)
{
    if (section < first_field_column || section >= int(m_title_modes.size()))
        return;
    int &mode = m_title_modes[size_t(section)];
    if (mode == Hex)
        mode = Dec;
    else if (mode == Dec)
        mode = Hex;
    update_header();
}

void VyrPacketDisplay::header_size_changed()
{
    update_scroll_ranges();
    update_geometrie();
    viewport()->update();
    emit configuration_changed();
}

void VyrPacketDisplay::update_geometrie()
{
    const int header_height = m_header->sizeHint().height();
    setViewportMargins(0, header_height, 0, 0);
    const QRect area = contentsRect();
    m_header->setGeometry(area.left(), area.top(), viewport()->width(), header_height);
}

void VyrPacketDisplay::contents_moving(int x, int)
{
    m_header->setOffset(x);
}

// --- Lines --------------------------------------------------------------------------------------------

void VyrPacketDisplay::update()
{
    VyrPacketRing &ring = m_store->ring();
    ring.make_room();
    const int kept_before = m_kept;
    while (!ring.at_end()) {
        ++m_total;
        ++m_kept;
        if (m_kept > max_kept) {
            ring.seek_begin(1);
            --m_kept;
        }
        ring.seek(1);
    }
    const int added = m_kept - kept_before;
    if (added < 1) {
        viewport()->update();
        return;
    }
    update_scroll_ranges();
    verticalScrollBar()->setValue(verticalScrollBar()->value() + added * m_line_height);
    viewport()->update();
}

void VyrPacketDisplay::clear()
{
    m_total = 0;
    m_kept = 0;
    m_selected = 0;
    m_cursor = 0;
    m_store->clear();
    update_scroll_ranges();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit selection_changed();
}

void VyrPacketDisplay::update_font_metrics()
{
    const QFontMetrics metrics(m_font);
    m_line_height = std::max(metrics.height(), 1);
    m_char_width = std::max(metrics.horizontalAdvance(QLatin1Char('0')), 1);
}

int VyrPacketDisplay::font_size() const
{
    return m_font.pointSize();
}

void VyrPacketDisplay::set_font_size(int points)
{
    m_font.setPointSize(points);
    update_font_metrics();
    update_scroll_ranges();
    viewport()->update();
}

void VyrPacketDisplay::set_delta_time(bool on)
{
    if (on == m_delta_time)
        return;
    m_delta_time = on;
    viewport()->update();
}

void VyrPacketDisplay::update_scroll_ranges()
{
    int width = 0;
    for (int i = 0; i < m_header->count(); ++i)
        width += m_header->sectionSize(i);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_char_width);
    verticalScrollBar()->setRange(0, std::max(0, contents_height() - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(m_line_height);
}

int VyrPacketDisplay::visible_lines() const
{
    return std::max(1, viewport()->height() / m_line_height);
}

void VyrPacketDisplay::scrollContentsBy(int, int)
{
    contents_moving(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->update();
}

void VyrPacketDisplay::resizeEvent(QResizeEvent *event)
{
    // The bottom line stays where it was.
    const int from_bottom = verticalScrollBar()->maximum() - verticalScrollBar()->value();
    QAbstractScrollArea::resizeEvent(event);
    update_geometrie();
    update_scroll_ranges();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum() - from_bottom);
}

QString VyrPacketDisplay::cell_text(const VyrPacket &packet, int column, int chars, uint32_t shown_time) const
{
    chars = std::min(chars, max_cell);
    if (column == counter_column)
        return packet.flags() & VyrPacket::CounterValid ? padded_unsigned(packet.counter(), chars - 1) : QString();
    if (column == time_column) {
        if (!(packet.flags() & VyrPacket::TimeValid))
            return QString();
        const int width = std::min(chars, 14);
        return padded_unsigned(shown_time / 1000, width - 4) + QLatin1Char('.') +
            padded_unsigned(shown_time % 1000, 3, '0');
    }
    const int field = column - first_field_column;
    int length = 0;
    const uint8_t *data = packet.field_data(field, &length);
    switch (m_layout->field_type(field)) {
    case VyrPacketLayout::Int:
    case VyrPacketLayout::Int2:
        return padded_unsigned(packet.field_int(field), chars - 1);
    case VyrPacketLayout::Text: {
        QByteArray text = cut_text(data, length, chars);
        for (char &c : text)
            if (uchar(c) < 32)
                c = '.';
        return QString::fromLatin1(text);
    }
    case VyrPacketLayout::Utf8Text:
        return QString::fromUtf8(cut_text(data, length, chars));
    case VyrPacketLayout::Bytes: {
        // Three characters a byte would fill the cell's buffer.
        if (3 * length >= max_cell)
            length = std::min(length, 74);
        static const char digits[] = "0123456789abcdef";
        char text[max_cell + 1];
        int written = 0;
        for (int i = 0; i < length; ++i) {
            if (i)
                text[written++] = ' ';
            text[written++] = digits[data[i] >> 4];
            text[written++] = digits[data[i] & 0xF];
        }
        return QString::fromLatin1(text, std::min(written, chars));
    }
    default:
        return QString();
    }
}

void VyrPacketDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().base());
    if (!m_layout || m_kept == 0)
        return;
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    const int y_offset = verticalScrollBar()->value();
    const int x_offset = horizontalScrollBar()->value();
    const int height = contents_height();
    const int exposed_bottom = exposed.bottom() + 1 + y_offset;
    // Lines below the exposed area are skipped by count.
    const int first = std::max(0, (height - exposed_bottom) / m_line_height);
    if (first >= m_kept)
        return;

    VyrPacketRing &ring = m_store->ring();
    const VyrPacketRing::Position saved = ring.read_position();
    ring.seek(-(first + 1));
    ring.read_packet(*m_packet);
    for (int line = first; line < m_kept; ++line) {
        const int top = height - (line + 1) * m_line_height - y_offset;
        if (top + m_line_height <= exposed.top())
            break;
        const bool has_older = ring.seek(-1) == 0 && ring.read_packet(*m_older) == 0;
        const uint32_t time = m_packet->time_ms();
        const uint32_t shown_time = m_delta_time && has_older ? time - m_older->time_ms() : time;
        const int number = m_total - line;

        const QRect line_rect(0, top, viewport()->width(), m_line_height);
        const bool selected = m_packet->flags() & VyrPacket::Selected;
        painter.fillRect(line_rect, selected ? palette().highlight() : palette().base());
        const QColor text_colour = palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
        painter.setPen(m_packet->flags() & VyrPacket::Marked ? QColor(Qt::red) : text_colour);
        for (int column = 0; column < m_header->count(); ++column) {
            const int chars = m_header->sectionSize(column) / m_char_width;
            if (chars < 2)
                continue;
            const int x = m_header->sectionPosition(column) - x_offset;
            painter.drawText(x, top + metrics.ascent(), cell_text(*m_packet, column, chars, shown_time));
        }
        if (m_cursor_shown && number == m_cursor) {
            painter.setPen(QPen(text_colour, 1, Qt::DotLine));
            painter.drawRect(line_rect.adjusted(0, 0, -1, -1));
        }
        if (!has_older)
            break;
        std::swap(m_packet, m_older);
    }
    ring.set_read_position(saved);
}

// --- Cursor and selection ---------------------------------------------------------------------------

template <typename Fn> bool VyrPacketDisplay::with_packet(int n, Fn fn)
{
    const int from_newest = m_total - n;
    if (n < 1 || from_newest < 0 || from_newest >= m_kept)
        return false;
    VyrPacketRing &ring = m_store->ring();
    const VyrPacketRing::Position saved = ring.read_position();
    ring.seek(-(from_newest + 1));
    fn(ring);
    ring.set_read_position(saved);
    return true;
}

void VyrPacketDisplay::repaint_line(int n)
{
    const int top = contents_height() - (m_total - n + 1) * m_line_height - verticalScrollBar()->value();
    viewport()->update(0, top, viewport()->width(), m_line_height);
}

void VyrPacketDisplay::ensure_line_visible(int n)
{
    const int top = contents_height() - (m_total - n + 1) * m_line_height;
    QScrollBar *bar = verticalScrollBar();
    if (top < bar->value())
        bar->setValue(top);
    else if (top + m_line_height > bar->value() + viewport()->height())
        bar->setValue(top + m_line_height - viewport()->height());
}

void VyrPacketDisplay::set_cursor_pos(int n)
{
    n = std::min(std::max(n, 1), m_total);
    if (n <= m_total - max_kept)
        n = m_total - max_kept + 1;
    if (n == m_cursor)
        return;
    const int old = m_cursor;
    m_cursor = n;
    repaint_line(old);
    repaint_line(n);
    ensure_line_visible(n);
    emit cursor_position_changed();
}

void VyrPacketDisplay::set_cursor_pos_by_mouse(int y)
{
    set_cursor_pos(m_total - (contents_height() - y) / m_line_height);
}

void VyrPacketDisplay::toggle_selection_on_cursor_pos()
{
    if (!m_cursor_shown)
        return;
    const bool toggled = with_packet(m_cursor, [this](VyrPacketRing &ring) {
        uint8_t *flags = ring.record_flags();
        *flags ^= VyrPacket::Selected;
        m_selected += *flags & VyrPacket::Selected ? 1 : -1;
    });
    if (!toggled)
        return;
    emit selection_changed();
    repaint_line(m_cursor);
}

void VyrPacketDisplay::deselect_all()
{
    if (!m_cursor_shown)
        return;
    VyrPacketRing &ring = m_store->ring();
    const VyrPacketRing::Position saved = ring.read_position();
    ring.seek(-m_kept);
    for (int i = 0; i < m_kept; ++i, ring.seek(1))
        *ring.record_flags() &= uint8_t(~VyrPacket::Selected);
    ring.set_read_position(saved);
    m_selected = 0;
    emit selection_changed();
    viewport()->update();
}

void VyrPacketDisplay::cursor_on(bool on)
{
    m_cursor_shown = on;
    repaint_line(m_cursor);
}

void VyrPacketDisplay::move_cursor(int n, bool shift)
{
    if (shift && !m_running)
        toggle_selection_on_cursor_pos();
    set_cursor_pos(n);
}

void VyrPacketDisplay::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    set_cursor_pos_by_mouse(event->pos().y() + verticalScrollBar()->value());
    if (!(event->modifiers() & Qt::ControlModifier) && !m_running)
        toggle_selection_on_cursor_pos();
}

void VyrPacketDisplay::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Space:
        if (!m_running)
            toggle_selection_on_cursor_pos();
        break;
    case Qt::Key_Home:
        move_cursor(1, shift);
        break;
    case Qt::Key_End:
        move_cursor(m_total, shift);
        break;
    case Qt::Key_Up:
        move_cursor(m_cursor - 1, shift);
        break;
    case Qt::Key_Down:
        move_cursor(m_cursor + 1, shift);
        break;
    case Qt::Key_PageUp:
        move_cursor(m_cursor - visible_lines(), shift);
        break;
    case Qt::Key_PageDown:
        move_cursor(m_cursor + visible_lines(), shift);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void VyrPacketDisplay::contextMenuEvent(QContextMenuEvent *event)
{
    emit show_context_menu(event->globalPos());
    event->accept();
}

// --- Export ----------------------------------------------------------------------------------------------

QString VyrPacketDisplay::export_text(bool only_selected)
{
    QString text;
    if (!m_layout)
        return text;
    VyrPacketRing &ring = m_store->ring();
    const VyrPacketRing::Position saved = ring.read_position();
    ring.seek(-m_kept);
    bool has_previous = false;
    uint32_t previous_time = 0;
    for (int i = 0; i < m_kept; ++i, ring.seek(1)) {
        ring.read_packet(*m_packet);
        const uint32_t time = m_packet->time_ms();
        const uint32_t shown_time = m_delta_time && has_previous ? time - previous_time : time;
        // A skipped record still is the reference of the next time difference.
        has_previous = true;
        previous_time = time;
        if (only_selected && !(m_packet->flags() & VyrPacket::Selected))
            continue;
        QString line;
        for (int visual = 0; visual < m_header->count(); ++visual) {
            const int column = m_header->logicalIndex(visual);
            const int chars = column == counter_column ? export_counter_chars
                : column == time_column                ? export_time_chars
                                                       : export_field_chars;
            if (!line.isEmpty())
                line += QLatin1Char('\t');
            line += cell_text(*m_packet, column, chars, shown_time);
        }
        text += line + QLatin1Char('\n');
    }
    ring.set_read_position(saved);
    return text;
}

void VyrPacketDisplay::copy_selected_messages_to_clipboard()
{
    QApplication::clipboard()->setText(export_text(true));
}

void VyrPacketDisplay::copy_all_messages_to_clipboard()
{
    QApplication::clipboard()->setText(export_text(false));
}

bool VyrPacketDisplay::copy_all_messages_to_file(const QString &file_name)
{
    QFile file(file_name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(export_text(false).toUtf8()) < 0) {
        QMessageBox::warning(this, tr("Error"), tr("Unable to write file '%1'").arg(file_name));
        return false;
    }
    return true;
}

// --- Configuration ---------------------------------------------------------------------------------------

void VyrPacketDisplay::write_configuration(QtbConfigGroup *group)
{
    group->write_string("sif", m_interface ? QString::fromStdString(m_interface->make_id()) : QStringLiteral("NONE"));
    group->write_int("font_size", font_size());
    auto columns = std::make_unique<QtbConfigGroup>();
    for (int section = 0; section < m_header->count(); ++section) {
        auto column = std::make_unique<QtbConfigGroup>();
        column->write_int("section", section);
        column->write_int("width", m_header->sectionSize(section));
        column->write_int("index", m_header->visualIndex(section));
        column->write_bool("visible", true);
        columns->append_entry(QtbConfigValue(std::move(column)), nullptr);
    }
    if (QtbConfigValue *old = group->find_entry("col_params"))
        group->remove_value(old);
    group->append_entry(QtbConfigValue(std::move(columns)), "col_params");
    group->write_bool("mode_scroll_mode", true);
    group->write_bool("mode_delta_t", m_delta_time);
}

void VyrPacketDisplay::read_configuration(QtbConfigGroup *group)
{
    if (!group)
        return;
    VyrSignalIf *signal_if =
        find_signal_if_by_id(group->read_string("sif", QStringLiteral("CAN1")).toLatin1().constData());
    set_source(signal_if, signal_if && signal_if->packet_source_count() > 0 ? signal_if->packet_source(0) : nullptr);
    set_font_size(group->read_int("font_size", font_size()));
    if (QtbConfigGroup *columns = group->get_group("col_params")) {
        for (QtbConfigGroup *column = columns->first_group(); column; column = columns->next_group()) {
            const int section = column->read_int("section", 0);
            if (section < 0 || section >= m_header->count())
                continue;
            m_header->resizeSection(section, column->read_int("width", m_header->sectionSize(section)));
            const int index = column->read_int("index", 0);
            if (index >= 0 && index < m_header->count())
                m_header->moveSection(m_header->visualIndex(section), index);
        }
    }
    update_header();
}
