#include "windows/trace/vyr_message_view.h"

#include "core/candb_cluster.h"
#include "interfaces/can/vyr_can_if.h"
#include "windows/base/header_column_fit.h"
#include "windows/base/header_tool_tip.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct ColumnSetup
{
    const char *title;
    int width; // in characters; 0: the header's default
    const char *tip;
};

const ColumnSetup column_setup[VyrMessageView::column_count] = {
    {"Chn", 5, "<p><h3>CAN Channel</h3>The channel on which the message arrived."},
    {"CAN Id [dec]", 15,
     "<p><h3>CAN Identifier</h3>The identifier of the CAN message. If a <i>CAN database</i> is available the name "
     "of the message is shown if possible.</p><p>Click on the header to switch between hexadecimal and decimal "
     "formats.</p><p>The identifier can be followed by one or more letters, meaning :<ul><li><b>T</b>: Transmit "
     "notification</li><li><b>X</b>: Extended (29 bit Id) Message</li><li><b>R</b>: Remote Frame</li><li><b>E</b>: "
     "NERR mode</li></ul></p><p>See the online help for more info.</p>"},
    {"Time [s.ms]", 13,
     "<p><h3>Time Stamp</h3>Time Stamp of the CAN message.</p><p>The resolution is 1 ms.</p><p>Click in the column "
     "header to change the time format.</p><p>You can also choose between absolute and relative time format with "
     "the <i>delta t</i> button in the toolbar.</p>"},
    {"DLC", 0, "<p><h3>Data Length</h3>Number of data bytes in the message.</p>"},
    {"Data [hex]", 25,
     "<p><h3>Data</h3>The data of the CAN message.</p><p>Click in the column header to change the number "
     "format.</p>"},
    {"ASCII", 8, "<p><h3>ASCII</h3>The contents of the data field shown in ASCII.</p>"},
    {"Counter", 6, "<p><h3>Message Number</h3>Number of the current CAN message</p>"},
    {"Signals", 25,
     "<p><h3>Signals</h3>The signals in the message and their values. (Right-click to activate this mode. A CAN "
     "database must be assigned.)</p>"},
};

const char *const time_titles[] = {"Time [s.ms]", "Time [s.ms.usec]", "Time [h:m:s.ms]"};
constexpr int time_format_count = 3;
// Width of a section from 32 on that is shown again.
constexpr int unremembered_width = 20;

} // namespace

VyrMessageView::VyrMessageView(QWidget *parent, const char *name)
    : VyrRecordListView(parent, "message_header"), m_store(new VyrTraceMessageQueue)
{
    setObjectName(QString::fromLatin1(name));
    header_model()->setColumnCount(column_count);
    for (int column = 0; column < column_count; ++column) {
        header_model()->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(column_setup[column].title));
        if (column_setup[column].width)
            column_fit()->resize_section(column, column_setup[column].width * char_width());
        header_tips()->set_tip(column, QString::fromLatin1(column_setup[column].tip));
    }
    for (int section = 0; section < header()->count() && section < remembered_sections; ++section)
        m_sections[size_t(section)] = SectionMemory{true, header()->sectionSize(section)};
    // The signals column starts hidden.
    m_sections[Signals] = SectionMemory{false, column_setup[Signals].width * char_width()};
    header()->setSectionResizeMode(Signals, QHeaderView::Fixed);
    column_fit()->resize_section(Signals, 0);
    column_fit()->fit(); // the titles

    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        if (VyrCanIf *can = VyrCanIf::of(signal_if)) {
            set_interface(can);
            break;
        }
    }

    update_geometry();
    header_size_changed();
}

VyrMessageView::~VyrMessageView() = default;

// --- Interface and store ----------------------------------------------------------------------------

void VyrMessageView::set_interface(VyrCanIf *signal_if)
{
    if (signal_if == m_interface)
        return;
    clear();
    m_interface = signal_if;
    rebuild_extra_columns();
}

CANdbCluster *VyrMessageView::database() const
{
    return m_interface ? m_interface->databases() : nullptr;
}

namespace {

// A list needs a pass set unless it is off or blocks nothing.
bool needs_pass_set(const VyrIdFilterList &list)
{
    return list.active() && (list.count() > 0 || list.filter_type() == VyrIdFilterList::pass_listed);
}

} // namespace

std::unique_ptr<IdBitSet> VyrMessageView::make_standard_pass_set() const
{
    auto set = std::make_unique<IdBitSet>(0, VyrTraceMessageQueue::standard_id_count);
    m_standard_filters.apply_to_bitset(*set);
    return set;
}

std::unique_ptr<SparseIdBitSet> VyrMessageView::make_extended_pass_set() const
{
    auto set = std::make_unique<SparseIdBitSet>(0, VyrTraceMessageQueue::extended_id_count,
                                                VyrTraceMessageQueue::extended_filter_page);
    m_extended_filters.apply_to_sparse_bitset(*set);
    return set;
}

std::unique_ptr<IdBitSet> VyrMessageView::standard_pass_set() const
{
    return needs_pass_set(m_standard_filters) ? make_standard_pass_set() : nullptr;
}

std::unique_ptr<SparseIdBitSet> VyrMessageView::extended_pass_set() const
{
    return needs_pass_set(m_extended_filters) ? make_extended_pass_set() : nullptr;
}

void VyrMessageView::setup_filters()
{
    m_store->set_standard_filter(standard_pass_set());
    m_store->set_extended_filter(extended_pass_set());
}

void VyrMessageView::update_messages()
{
    m_store->take_over();
    VyrMessageRing<VyrCanMessage> &ring = m_store->ring();
    const int shown_before = m_shown_count;
    bool taken = false;
    while (!ring.at_end()) {
        taken = true;
        ++m_shown_count;
        ++m_message_number;
        // The display filter shows only the rows chosen when it was turned on.
        if (m_display_filter)
            ring.view_record().flags |= hidden_flag;
        if (m_shown_count > max_shown) {
            const uint32_t oldest_flags = ring.read_record().flags;
            if (oldest_flags & selected_flag)
                --m_scroll_selected;
            else if (m_display_filter && !(oldest_flags & hidden_flag))
                --m_visible_count;
            ring.move_read_pointer(1); // the oldest shown record goes
            --m_shown_count;
        }
        ring.move_view_pointer(1);
    }
    if (taken && filtered_rows()) {
        update_scroll_ranges();
        viewport()->update();
        return;
    }
    if (!taken)
        return;

    const int scroll = verticalScrollBar()->value();
    if (m_scroll_mode) {
        const int added = m_shown_count - shown_before;
        if (added == 0) {
            viewport()->update(); // rows were replaced
            return;
        }
        if (added > 5)
            viewport()->setUpdatesEnabled(false);
        update_scroll_ranges();
        verticalScrollBar()->setValue(scroll + added * row_height());
        if (added > 5) {
            viewport()->setUpdatesEnabled(true);
            viewport()->update();
        }
        return;
    }
    const int lines = m_store->lines().line_count();
    const int added = lines - m_last_line_count;
    m_last_line_count = lines;
    if (added < 1) {
        viewport()->update(); // lines changed in place
        return;
    }
    update_scroll_ranges();
    if (added >= 5)
        scroll_to_bottom();
    else
        verticalScrollBar()->setValue(scroll + added * row_height());
    viewport()->update();
}

int VyrMessageView::row_count() const
{
    if (filtered_rows())
        return m_visible_count;
    return m_scroll_mode ? std::min(m_shown_count, max_shown) : m_store->lines().line_count();
}

void VyrMessageView::clear()
{
    m_store->clear();
    m_shown_count = 0;
    m_message_number = 0;
    reset_cursor_pos();
    m_fixed_selected = 0;
    m_scroll_selected = 0;
    m_visible_count = 0;
    m_cursor_message_valid = false;
    m_last_line_count = 0;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    update_scroll_ranges();
    viewport()->update();
    emit selection_changed();
}

void VyrMessageView::set_scroll_mode(bool on)
{
    if (on == m_scroll_mode)
        return;
    m_scroll_mode = on;
    if (!on)
        m_last_line_count = m_store->lines().line_count();
    update_scroll_ranges();
    scroll_to_bottom();
    viewport()->update();
    emit configuration_changed();
}

// --- Header and columns -----------------------------------------------------------------------------

void VyrMessageView::update_header()
{
    header_model()->setHeaderData(Identifier, Qt::Horizontal,
                                  m_formats.id_hex ? QStringLiteral("CAN Id [hex]") : QStringLiteral("CAN Id [dec]"));
    header_model()->setHeaderData(Data, Qt::Horizontal,
                                  m_formats.data_hex ? QStringLiteral("Data [hex]") : QStringLiteral("Data [dec]"));
    const int format = m_formats.time_format;
    header_model()->setHeaderData(Time, Qt::Horizontal,
                                  format >= 0 && format < time_format_count ? QString::fromLatin1(time_titles[format])
                                                                            : QStringLiteral("Time [????]"));
    column_fit()->fit_later(); // a longer title
    viewport()->update();
}

void VyrMessageView::header_clicked(int section)
{
    if (section == Identifier)
        m_formats.id_hex = !m_formats.id_hex;
    else if (section == Data)
        m_formats.data_hex = !m_formats.data_hex;
    else if (section == Time)
        m_formats.time_format = (m_formats.time_format + 1) % time_format_count;
    else
        return;
    update_header();
    emit configuration_changed();
}

void VyrMessageView::set_formats(const trace_text::Formats &formats)
{
    m_formats = formats;
    update_header();
}

void VyrMessageView::set_delta_time(bool on)
{
    m_delta_time = on;
    viewport()->update();
}

void VyrMessageView::set_database_mode(bool on)
{
    m_database_mode = on;
    viewport()->update();
}

void VyrMessageView::toggle_column_visibility(int section)
{
    if (section < 0 || section >= header()->count())
        return;
    const bool remembered = section < remembered_sections;
    if (header()->sectionSize(section) != 0) {
        if (remembered)
            m_sections[size_t(section)] = SectionMemory{false, column_fit()->kept_width(section)};
        header()->setSectionResizeMode(section, QHeaderView::Fixed);
        column_fit()->resize_section(section, 0);
    } else {
        const int width = remembered ? m_sections[size_t(section)].width : unremembered_width;
        if (remembered)
            m_sections[size_t(section)].visible = true;
        header()->setSectionResizeMode(section, QHeaderView::Interactive);
        column_fit()->resize_section(section, width);
    }
    header_size_changed();
    emit configuration_changed();
}

void VyrMessageView::restore_section(int section, int width, bool visible)
{
    if (section < 0)
        return;
    if (section < remembered_sections) {
        if (width > 0)
            m_sections[size_t(section)].width = width;
        m_sections[size_t(section)].visible = visible;
    }
    if (section >= header()->count())
        return;
    header()->setSectionResizeMode(section, visible ? QHeaderView::Interactive : QHeaderView::Fixed);
    column_fit()->resize_section(section, visible ? width : 0);
    column_fit()->fit_later();
}

int VyrMessageView::section_width(int section) const
{
    if (section < 0 || section >= remembered_sections)
        return 0;
    const SectionMemory &memory = m_sections[size_t(section)];
    return memory.visible && section < header()->count() ? column_fit()->kept_width(section) : memory.width;
}

bool VyrMessageView::section_visible(int section) const
{
    return section >= 0 && section < remembered_sections && m_sections[size_t(section)].visible;
}

void VyrMessageView::rebuild_extra_columns()
{
    const IdFormatter *formatter = m_interface ? m_interface->id_formatter() : nullptr;
    const std::string name = formatter ? formatter->name() : std::string();
    if (name == m_extra_formatter_name)
        return;
    m_extra_formatter_name.clear();
    for (auto column = m_extra_columns.rbegin(); column != m_extra_columns.rend(); ++column)
        header_model()->removeColumn(column->section);
    m_extra_columns.clear();
    if (!formatter)
        return;
    m_extra_formatter_name = name;
    for (int i = 0; i < formatter->column_count(); ++i) {
        const int section = header_model()->columnCount();
        header_model()->insertColumn(section);
        const char *title = formatter->column_title(i);
        header_model()->setHeaderData(section, Qt::Horizontal, QString::fromLatin1(title ? title : ""));
        m_extra_columns.push_back(ExtraColumn{section, i});
        if (section < remembered_sections)
            m_sections[size_t(section)] = SectionMemory{true, header()->sectionSize(section)};
    }
    header_size_changed();
}

// --- Cells and rows ---------------------------------------------------------------------------------

const CANdbMessage *VyrMessageView::database_message(const VyrCanMessage &message) const
{
    const CANdbCluster *cluster = database();
    if (!cluster)
        return nullptr;
    if (const IdFormatter *formatter = m_interface->id_formatter())
        return cluster->find_message_by_j1939_key(formatter->display_id(message));
    return cluster->find_message_by_id(message.flags & VyrCanMessage::Extended ? message.id | kCANdbExtendedBit
                                                                               : message.id);
}

QString VyrMessageView::cell_text(int section, const VyrCanMessage &message, uint64_t counter, int64_t time_us) const
{
    using namespace trace_text;
    const int width = section_chars(section);
    if (width == 0)
        return QString(); // not drawn
    switch (section) {
    case Channel:
        return QString::fromStdString(channel_cell(message, width));
    case Identifier: {
        const CANdbMessage *found = m_database_mode ? database_message(message) : nullptr;
        return QString::fromStdString(
            identifier_cell(message, width, m_formats.id_hex, found ? found->name.c_str() : nullptr));
    }
    case Time:
        return QString::fromStdString(time_cell(time_us, width, m_formats.time_format));
    case Dlc:
        return QString::fromStdString(dlc_cell(message));
    case Data:
        return QString::fromStdString(data_cell(message, width, m_formats.data_hex));
    case Ascii:
        return QString::fromLatin1(ascii_cell(message, width).c_str());
    case Counter:
        return QString::fromStdString(counter_cell(counter, width));
    case Signals:
        return QString::fromStdString(signals_cell(message, database_message(message), width));
    default:
        break;
    }
    const IdFormatter *formatter = m_interface ? m_interface->id_formatter() : nullptr;
    for (const ExtraColumn &extra : m_extra_columns) {
        if (extra.section != section || !formatter)
            continue;
        char text[IdFormatter::max_column_text + 1];
        const int length = formatter->column_text(message, extra.column, text);
        return QString::fromLatin1(text, std::min(length, width));
    }
    return QString();
}

int VyrMessageView::needed_chars(int section, const VyrCanMessage &message, uint64_t counter, int64_t time_us) const
{
    using namespace trace_text;
    // Texts that are right-aligned in their cell count from their first
    // character; one character more keeps a text off its neighbour's.
    const auto shown_length = [](const std::string &text) {
        const size_t first = text.find_first_not_of(' ');
        const size_t last = text.find_last_not_of(' ');
        return first == std::string::npos ? 0 : int(last - first + 1);
    };
    constexpr int unlimited = 1000;
    switch (section) {
    case Channel:
        return shown_length(channel_cell(message, 0)) + 1;
    case Identifier: {
        if (message.flags & VyrCanMessage::ErrorFrame)
            return 2 + flag_letter_count + 1;
        const CANdbMessage *found = m_database_mode ? database_message(message) : nullptr;
        const int id_chars = found
            ? int(found->name.size())
            : shown_length(identifier_cell(message, flag_letter_count + 12, m_formats.id_hex, nullptr).substr(0, 12));
        return id_chars + 1 + flag_letter_count + 1;
    }
    case Time:
        return shown_length(time_cell(time_us, 40, m_formats.time_format)) + 1;
    case Dlc:
        return 0; // two digits: the title is wider
    case Data:
        // Long data is drawn two characters in from the left edge.
        return shown_length(data_cell(message, unlimited, m_formats.data_hex)) + 2;
    case Ascii:
        return int(ascii_cell(message, unlimited).size()) + 1;
    case Counter:
        return shown_length(counter_cell(counter, 40)) + 1;
    case Signals:
        return int(signals_cell(message, database_message(message), unlimited).size()) + 1;
    default:
        break;
    }
    const IdFormatter *formatter = m_interface ? m_interface->id_formatter() : nullptr;
    for (const ExtraColumn &extra : m_extra_columns) {
        if (extra.section != section || !formatter)
            continue;
        char text[IdFormatter::max_column_text + 1];
        return formatter->column_text(message, extra.column, text) + 1;
    }
    return 0;
}

int VyrMessageView::cell_indent(int section) const
{
    const int section_width = header()->sectionSize(section);
    if (section == Dlc)
        return (section_width - char_width()) / 2;
    const int width = section_chars(section);
    if (section == Data && width >= 24)
        return (width == 24 ? 1 : 2) * char_width();
    return 0;
}

void VyrMessageView::paint_row(QPainter &painter, long long row, const VyrCanMessage &message, uint64_t counter,
                               int64_t time_us, bool selected, bool shaded)
{
    RowLook look;
    look.selected = selected;
    look.background = QBrush(shaded ? m_row_background : Qt::white);
    VyrRecordListView::paint_row(
        painter, row, look, [&](int section) { return cell_text(section, message, counter, time_us); },
        [&](int section) { return needed_chars(section, message, counter, time_us); });
}

void VyrMessageView::paint_rows(QPainter &painter, long long first, long long last)
{
    if (m_scroll_mode) {
        paint_scroll_rows(painter, first, last);
        return;
    }
    const TraceLineTable &lines = m_store->lines();
    for (long long row = first; row <= last; ++row) {
        const TraceLineData line = lines.read_line(int(row));
        int64_t time_us = trace_text::record_time_us(line.message);
        if (m_delta_time)
            time_us -= int64_t(line.previous_ms) * 1000 + line.previous_us;
        paint_row(painter, row, line.message, line.counter, time_us, lines.selected(int(row)), row % 2 == 1);
    }
}

void VyrMessageView::paint_scroll_rows(QPainter &painter, long long first, long long last)
{
    // The view position stands after the newest record; rows are painted
    // from the bottom up, each record's predecessor giving its delta time.
    if (m_display_filter) {
        paint_filtered_rows(painter, first, last);
        return;
    }
    VyrMessageRing<VyrCanMessage> &ring = m_store->ring();
    ring.save_view_pointer();
    const long long rows = row_count();
    ring.move_view_pointer(-int(rows - last + 1));
    VyrCanMessage message = ring.view_record();
    for (long long row = last; row >= first; --row) {
        const bool has_older = row > 1 && ring.move_view_pointer(-1) == 0;
        const VyrCanMessage older = has_older ? ring.view_record() : message;
        const int64_t time_us = m_delta_time ? trace_text::record_time_us(message) - trace_text::record_time_us(older)
                                             : trace_text::record_time_us(message);
        const uint64_t number = m_message_number - uint64_t(rows - row);
        paint_row(painter, row, message, number, time_us, message.flags & selected_flag, number % 2 == 1);
        message = older;
    }
    ring.restore_view_pointer();
}

void VyrMessageView::paint_filtered_rows(QPainter &painter, long long first, long long last)
{
    // Rows are the records without the hidden mark, the newest at the bottom;
    // a record's delta time is taken from its predecessor in the ring.
    long long row = m_visible_count;
    const VyrCanMessage *newer = nullptr;
    int64_t newer_time_us = 0;
    uint64_t newer_number = 0;
    const auto paint = [&](int64_t older_time_us) {
        const int64_t time_us = m_delta_time ? newer_time_us - older_time_us : newer_time_us;
        if (row <= last)
            paint_row(painter, row, *newer, newer_number, time_us, false, row % 2 == 1);
        --row;
    };
    VyrCanMessage shown;
    visit_shown(m_message_number, oldest_shown(), [&](VyrCanMessage &record, uint64_t number) {
        const int64_t time_us = trace_text::record_time_us(record);
        if (newer)
            paint(time_us);
        if (row < first)
            return false;
        newer = nullptr;
        if (!(record.flags & hidden_flag)) {
            shown = record;
            newer = &shown;
            newer_time_us = time_us;
            newer_number = number;
        }
        return true;
    });
    if (newer && row >= first)
        paint(newer_time_us);
}
