#include "windows/packet/vyr_packet_display.h"

#include "settings/qtb_config.h"
#include "settings/text_util.h"
#include "core/vyr_packet.h"
#include "core/vyr_signal_if.h"
#include "windows/base/header_column_fit.h"
#include "windows/base/header_tool_tip.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextStream>

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
    return QString::fromStdString(padded_number(value, std::min(width, max_cell), 10, fill));
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

VyrPacketDisplay::VyrPacketDisplay(QWidget *parent)
    : VyrRecordListView(parent, "packet_header"), m_store(new VyrPacketStore)
{
    // Every column keeps at least one pixel: the display has no way to bring back a hidden one.
    header()->setMinimumSectionSize(1);
    // The last column (a message text, mostly) reaches the right edge.
    column_fit()->set_fill_to(viewport());
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next())
        if (signal_if->offers(VyrSignalIf::offers_packets)) {
            set_source(signal_if, signal_if->packet_source(0));
            break;
        }
    update_geometry();
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
    header_model()->setColumnCount(0);
    header_model()->setColumnCount(columns);
    m_title_modes.assign(size_t(columns), Plain);
    if (!layout) {
        header_size_changed();
        return;
    }
    std::vector<int> chars(static_cast<size_t>(columns));
    header_model()->setHeaderData(counter_column, Qt::Horizontal, tr("Counter"));
    header_tips()->set_tip(counter_column, tr("<b>Message Counter</b>"));
    chars[counter_column] = 5;
    header_model()->setHeaderData(time_column, Qt::Horizontal, tr("Time"));
    header_tips()->set_tip(time_column, tr("<b>Time stamp</b>"));
    chars[time_column] = 16;
    for (int field = 0; field < layout->field_count(); ++field) {
        const int column = field + first_field_column;
        header_tips()->set_tip(column, QString::fromUtf8(layout->field_text(field).c_str()));
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
        column_fit()->resize_section(column, chars[size_t(column)] * char_width());
    column_fit()->fit();
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
        header_model()->setHeaderData(column, Qt::Horizontal, title);
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
    verticalScrollBar()->setValue(verticalScrollBar()->value() + added * row_height());
    viewport()->update();
}

void VyrPacketDisplay::clear()
{
    m_total = 0;
    m_kept = 0;
    m_selected = 0;
    reset_cursor_pos();
    m_store->clear();
    update_scroll_ranges();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit selection_changed();
}

void VyrPacketDisplay::set_delta_time(bool on)
{
    if (on == m_delta_time)
        return;
    m_delta_time = on;
    viewport()->update();
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
        char text[max_cell + 1];
        int written = 0;
        for (int i = 0; i < length; ++i) {
            if (i)
                text[written++] = ' ';
            format_number(text + written, 2, data[i], 16, '0');
            written += 2;
        }
        return QString::fromLatin1(text, std::min(written, chars));
    }
    default:
        return QString();
    }
}

int VyrPacketDisplay::needed_chars(const VyrPacket &packet, int column, uint32_t shown_time) const
{
    const QString text = cell_text(packet, column, max_cell, shown_time);
    // Numbers are right-aligned in their cells: their leading blanks are padding.
    const bool number = column == counter_column || column == time_column ||
        m_layout->field_type(column - first_field_column) == VyrPacketLayout::Int ||
        m_layout->field_type(column - first_field_column) == VyrPacketLayout::Int2;
    int first = 0;
    if (number)
        while (first < text.size() && text[first] == QLatin1Char(' '))
            ++first;
    int end = text.size();
    while (end > first && text[end - 1] == QLatin1Char(' '))
        --end;
    // One character more keeps the text off its neighbour's.
    return end > first ? end - first + 1 : 0;
}

void VyrPacketDisplay::paint_rows(QPainter &painter, long long first_row, long long last_row)
{
    if (!m_layout)
        return;
    // Rows are painted from the bottom up, each packet's predecessor giving its delta time.
    VyrPacketRing &ring = m_store->ring();
    const VyrPacketRing::Position saved = ring.read_position();
    ring.seek(-int(m_kept - last_row + 1));
    ring.read_packet(*m_packet);
    for (long long row = last_row; row >= first_row; --row) {
        const bool has_older = ring.seek(-1) == 0 && ring.read_packet(*m_older) == 0;
        const uint32_t time = m_packet->time_ms();
        const uint32_t shown_time = m_delta_time && has_older ? time - m_older->time_ms() : time;
        RowLook look;
        look.selected = m_packet->flags() & VyrPacket::Selected;
        look.background = palette().base();
        // Marked lines, the errors of a log, are red.
        if (m_packet->flags() & VyrPacket::Marked)
            look.text = Qt::red;
        paint_row(
            painter, row, look,
            [&](int column) {
                const int chars = section_chars(column);
                return chars < 2 ? QString() : cell_text(*m_packet, column, chars, shown_time);
            },
            [&](int column) { return needed_chars(*m_packet, column, shown_time); });
        if (!has_older)
            break;
        std::swap(m_packet, m_older);
    }
    ring.set_read_position(saved);
}

// --- Cursor and selection ---------------------------------------------------------------------------

template <typename Fn> bool VyrPacketDisplay::with_packet(long long n, Fn fn)
{
    const long long from_newest = m_total - n;
    if (n < 1 || from_newest < 0 || from_newest >= m_kept)
        return false;
    VyrPacketRing &ring = m_store->ring();
    const VyrPacketRing::Position saved = ring.read_position();
    ring.seek(-int(from_newest + 1));
    fn(ring);
    ring.set_read_position(saved);
    return true;
}

void VyrPacketDisplay::toggle_selection(long long pos)
{
    const bool toggled = with_packet(pos, [this](VyrPacketRing &ring) {
        uint8_t *flags = ring.record_flags();
        *flags ^= VyrPacket::Selected;
        m_selected += *flags & VyrPacket::Selected ? 1 : -1;
    });
    if (toggled)
        emit selection_changed();
}

void VyrPacketDisplay::deselect_all()
{
    if (!cursor_shown())
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

// --- Export ----------------------------------------------------------------------------------------------

void VyrPacketDisplay::write_text(QTextStream &out, bool selected_only)
{
    if (!m_layout)
        return;
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
        if (selected_only && !(m_packet->flags() & VyrPacket::Selected))
            continue;
        QString line;
        for (int visual = 0; visual < header()->count(); ++visual) {
            const int column = header()->logicalIndex(visual);
            const int chars = column == counter_column ? export_counter_chars
                : column == time_column                ? export_time_chars
                                                       : export_field_chars;
            if (!line.isEmpty())
                line += QLatin1Char('\t');
            line += cell_text(*m_packet, column, chars, shown_time);
        }
        out << line << '\n';
    }
    ring.set_read_position(saved);
}

// --- Configuration ---------------------------------------------------------------------------------------

void VyrPacketDisplay::write_configuration(QtbConfigGroup *group)
{
    group->write_string("sif", m_interface ? QString::fromStdString(m_interface->make_id()) : QStringLiteral("NONE"));
    group->write_int("font_size", font_size());
    auto columns = std::make_unique<QtbConfigGroup>();
    for (int section = 0; section < header()->count(); ++section) {
        auto column = std::make_unique<QtbConfigGroup>();
        column->write_int("section", section);
        column->write_int("width", column_fit()->kept_width(section));
        column->write_int("index", header()->visualIndex(section));
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
    set_source(signal_if,
               signal_if && signal_if->offers(VyrSignalIf::offers_packets) ? signal_if->packet_source(0) : nullptr);
    set_font_size(group->read_int("font_size", font_size()));
    if (QtbConfigGroup *columns = group->get_group("col_params")) {
        for (QtbConfigGroup *column = columns->first_group(); column; column = columns->next_group()) {
            const int section = column->read_int("section", 0);
            if (section < 0 || section >= header()->count())
                continue;
            column_fit()->resize_section(section, column->read_int("width", header()->sectionSize(section)));
            const int index = column->read_int("index", 0);
            if (index >= 0 && index < header()->count())
                header()->moveSection(header()->visualIndex(section), index);
        }
    }
    update_header();
    column_fit()->fit();
}
