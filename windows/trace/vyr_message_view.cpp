#include "windows/trace/vyr_message_view.h"

#include "core/candb_cluster.h"
#include "interfaces/can/vyr_can_if.h"
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

bool is_can_type(const std::string &type)
{
    return type == "CAN" || type == "CAN-RX" || type == "LIN";
}

} // namespace

VyrMessageView::VyrMessageView(QWidget *parent, const char *name)
    : QAbstractScrollArea(parent), m_store(new VyrTraceMessageQueue)
{
    setObjectName(QString::fromLatin1(name));
    m_font = QFont(QStringLiteral("Courier New"), 10);
    m_font.setStyleHint(QFont::TypeWriter);
    viewport()->setFont(m_font);
    viewport()->setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    const QFontMetrics metrics(m_font);
    m_descent = metrics.descent();
    m_row_height = metrics.descent() + metrics.height();
    // Rounded up, so that a text of n characters never runs past n widths.
    m_char_width = std::max(1, int(std::ceil(QFontMetricsF(m_font).horizontalAdvance(QLatin1Char('0')))));

    m_header_model = new QStandardItemModel(0, column_count, this);
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setObjectName(QStringLiteral("message_header"));
    m_header->setModel(m_header_model);
    m_header->setSectionsMovable(true);
    m_header->setSectionsClickable(true);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(0);
    m_tool_tip = std::make_unique<HeaderToolTip>(m_header);
    for (int column = 0; column < column_count; ++column) {
        m_header_model->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(column_setup[column].title));
        if (column_setup[column].width)
            m_header->resizeSection(column, column_setup[column].width * m_char_width);
        m_tool_tip->set_tip(column, QString::fromLatin1(column_setup[column].tip));
    }
    for (int section = 0; section < m_header->count() && section < remembered_sections; ++section)
        m_sections[size_t(section)] = SectionMemory{true, m_header->sectionSize(section)};
    // The signals column starts hidden.
    m_sections[Signals] = SectionMemory{false, column_setup[Signals].width * m_char_width};
    m_header->setSectionResizeMode(Signals, QHeaderView::Fixed);
    m_header->resizeSection(Signals, 0);

    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        if (is_can_type(signal_if->type_name())) {
            set_interface(dynamic_cast<VyrCanIf *>(signal_if));
            break;
        }
    }

    connect(m_header, &QHeaderView::sectionResized, this, &VyrMessageView::header_size_changed);
    connect(m_header, &QHeaderView::sectionMoved, viewport(), [this] { viewport()->update(); });
    connect(m_header, &QHeaderView::sectionClicked, this, &VyrMessageView::header_clicked);
    update_geometrie();
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
        set_contents_height(m_visible_count * m_row_height);
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
        set_contents_height(m_contents_height + added * m_row_height);
        verticalScrollBar()->setValue(scroll + added * m_row_height);
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
    set_contents_height(lines * m_row_height);
    if (added >= 5)
        scroll_to_bottom();
    else
        verticalScrollBar()->setValue(scroll + added * m_row_height);
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
    m_cursor_pos = 0;
    m_fixed_selected = 0;
    m_scroll_selected = 0;
    m_visible_count = 0;
    m_cursor_message_valid = false;
    m_last_line_count = 0;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    set_contents_height(0);
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
    set_contents_height(row_count() * m_row_height);
    scroll_to_bottom();
    viewport()->update();
    emit configuration_changed();
}

// --- Header and columns -----------------------------------------------------------------------------

void VyrMessageView::update_header()
{
    m_header_model->setHeaderData(Identifier, Qt::Horizontal,
                                  m_formats.id_hex ? QStringLiteral("CAN Id [hex]") : QStringLiteral("CAN Id [dec]"));
    m_header_model->setHeaderData(Data, Qt::Horizontal,
                                  m_formats.data_hex ? QStringLiteral("Data [hex]") : QStringLiteral("Data [dec]"));
    const int format = m_formats.time_format;
    m_header_model->setHeaderData(Time, Qt::Horizontal,
                                  format >= 0 && format < time_format_count ? QString::fromLatin1(time_titles[format])
                                                                            : QStringLiteral("Time [????]"));
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
    if (section < 0 || section >= m_header->count())
        return;
    const bool remembered = section < remembered_sections;
    if (m_header->sectionSize(section) != 0) {
        if (remembered)
            m_sections[size_t(section)] = SectionMemory{false, m_header->sectionSize(section)};
        m_header->setSectionResizeMode(section, QHeaderView::Fixed);
        m_header->resizeSection(section, 0);
    } else {
        const int width = remembered ? m_sections[size_t(section)].width : unremembered_width;
        if (remembered)
            m_sections[size_t(section)].visible = true;
        m_header->setSectionResizeMode(section, QHeaderView::Interactive);
        m_header->resizeSection(section, width);
    }
    header_size_changed();
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
    if (section >= m_header->count())
        return;
    m_header->setSectionResizeMode(section, visible ? QHeaderView::Interactive : QHeaderView::Fixed);
    m_header->resizeSection(section, visible ? width : 0);
}

int VyrMessageView::section_width(int section) const
{
    if (section < 0 || section >= remembered_sections)
        return 0;
    const SectionMemory &memory = m_sections[size_t(section)];
    return memory.visible && section < m_header->count() ? m_header->sectionSize(section) : memory.width;
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
        m_header_model->removeColumn(column->section);
    m_extra_columns.clear();
    if (!formatter)
        return;
    m_extra_formatter_name = name;
    for (int i = 0; i < formatter->column_count(); ++i) {
        const int section = m_header_model->columnCount();
        m_header_model->insertColumn(section);
        const char *title = formatter->column_title(i);
        m_header_model->setHeaderData(section, Qt::Horizontal, QString::fromLatin1(title ? title : ""));
        m_extra_columns.push_back(ExtraColumn{section, i});
        if (section < remembered_sections)
            m_sections[size_t(section)] = SectionMemory{true, m_header->sectionSize(section)};
    }
    header_size_changed();
}

void VyrMessageView::header_size_changed()
{
    update_scroll_ranges();
    update_geometrie();
    viewport()->update();
    emit configuration_changed();
}

void VyrMessageView::update_geometrie()
{
    const int header_height = m_header->sizeHint().height();
    setViewportMargins(0, header_height, 0, 0);
    const QRect area = contentsRect();
    m_header->setGeometry(area.left(), area.top(), viewport()->width(), header_height);
}

void VyrMessageView::contents_moving(int x, int)
{
    m_header->setOffset(x);
}

void VyrMessageView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
    contents_moving(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void VyrMessageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    update_geometrie();
    header_size_changed();
}

void VyrMessageView::set_contents_height(int height)
{
    m_contents_height = height;
    update_scroll_ranges();
}

void VyrMessageView::update_scroll_ranges()
{
    int width = 0;
    for (int i = 0; i < m_header->count(); ++i)
        width += m_header->sectionSize(i);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_char_width);
    verticalScrollBar()->setRange(0, std::max(0, m_contents_height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(m_row_height);
}

void VyrMessageView::scroll_to_bottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
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
    const int width = m_header->sectionSize(section) / m_char_width;
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

void VyrMessageView::paint_row(QPainter &painter, int top, const VyrCanMessage &message, uint64_t counter,
                               int64_t time_us, bool selected, bool cursor, bool shaded)
{
    const int x_offset = horizontalScrollBar()->value();
    const int contents_width = horizontalScrollBar()->maximum() + viewport()->width();
    const QRect band(-x_offset, top, contents_width, m_row_height);
    painter.fillRect(band, selected ? palette().highlight() : QBrush(shaded ? m_row_background : Qt::white));
    const QColor text_colour = palette().color(selected ? QPalette::HighlightedText : QPalette::WindowText);
    painter.setPen(text_colour);
    const int baseline = top + m_row_height - m_descent;
    for (int section = 0; section < m_header->count(); ++section) {
        const int section_width = m_header->sectionSize(section);
        const int width = section_width / m_char_width;
        int x = m_header->sectionPosition(section) - x_offset;
        if (section == Dlc)
            x += (section_width - m_char_width) / 2;
        else if (section == Data && width >= 24)
            x += (width == 24 ? 1 : 2) * m_char_width;
        painter.drawText(x, baseline, cell_text(section, message, counter, time_us));
    }
    if (cursor) {
        painter.setPen(QPen(palette().color(selected ? QPalette::Window : QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(QRect(band.left(), top, contents_width - 1, m_row_height - 1));
    }
}

void VyrMessageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().base());
    painter.setFont(m_font);
    const int y_offset = verticalScrollBar()->value();
    const int rows = row_count();
    // Rows 1-based from the top whose band meets the exposed area.
    const long long first = std::max(0, exposed.top() + y_offset) / m_row_height + 1;
    const long long last = std::min<long long>(rows, (exposed.bottom() + y_offset) / m_row_height + 1);
    if (first > last)
        return;
    if (m_scroll_mode) {
        paint_scroll_rows(painter, first, last, y_offset);
        return;
    }
    const TraceLineTable &lines = m_store->lines();
    for (long long row = first; row <= last; ++row) {
        const TraceLineData line = lines.read_line(int(row));
        int64_t time_us = trace_text::record_time_us(line.message);
        if (m_delta_time)
            time_us -= int64_t(line.previous_ms) * 1000 + line.previous_us;
        paint_row(painter, row_top(row) - y_offset, line.message, line.counter, time_us, lines.selected(int(row)),
                  m_cursor_shown && row == m_cursor_pos, row % 2 == 1);
    }
}

void VyrMessageView::paint_scroll_rows(QPainter &painter, long long first, long long last, int y_offset)
{
    // The view position stands after the newest record; rows are painted
    // from the bottom up, each record's predecessor giving its delta time.
    if (m_display_filter) {
        paint_filtered_rows(painter, first, last, y_offset);
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
        paint_row(painter, row_top(row) - y_offset, message, number, time_us, message.flags & selected_flag,
                  m_cursor_shown && (long long)number == m_cursor_pos, number % 2 == 1);
        message = older;
    }
    ring.restore_view_pointer();
}

void VyrMessageView::paint_filtered_rows(QPainter &painter, long long first, long long last, int y_offset)
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
            paint_row(painter, row_top(row) - y_offset, *newer, newer_number, time_us, false,
                      m_cursor_shown && row == m_cursor_pos, row % 2 == 1);
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
