#pragma once
// The message list of a trace window: the CAN messages of one CAN interface,
// either as the fixed-position table (one line per kind of message, updated
// in place) or as the scrolling list (every message in arrival order, the
// newest at the bottom). The interface's receive thread appends to its
// store's intake; update_messages takes the new messages over on the
// window's timer.
// Columns: channel, identifier, time, DLC, data, ASCII, counter, signals and
// the extra columns of the interface's identifier formatter, under a header
// whose titles switch number and time formats when clicked. The header,
// cursor, keys, mouse, row painting and clipboard are the record list view's.
#include "core/frames/vyr_can_message.h"
#include "interfaces/can/vyr_id_filter_list.h"
#include "windows/base/vyr_record_list_view.h"
#include "windows/trace/trace_cell_text.h"

#include <QColor>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CANdbCluster;
class CANdbMessage;
class IdBitSet;
class SparseIdBitSet;
class QTextStream;
class VyrCanIf;
class VyrTraceMessageQueue;

class VyrMessageView : public VyrRecordListView
{
    Q_OBJECT
public:
    // The columns in their initial header order; each is the header section of its number.
    enum Column { Channel, Identifier, Time, Dlc, Data, Ascii, Counter, Signals, column_count };
    // Sections from this one on have no remembered visibility and width.
    static constexpr int remembered_sections = 32;
    static constexpr int max_shown = 200000;
    // Marks of the stored records: selected, and hidden by the display filter.
    static constexpr uint32_t selected_flag = VyrCanMessage::ViewSelected;
    static constexpr uint32_t hidden_flag = VyrCanMessage::ViewHidden;

    VyrMessageView(QWidget *parent, const char *name);
    ~VyrMessageView() override;

    // Clears, then shows the messages of this interface (null: none).
    void set_interface(VyrCanIf *signal_if);
    VyrCanIf *interface() const { return m_interface; }
    // The network database of the interface, or null.
    CANdbCluster *database() const;
    VyrTraceMessageQueue *store() const { return m_store.get(); }

    // Takes over what the store received since the last call.
    void update_messages();
    // Builds the store's pass sets from the filter lists.
    void setup_filters();
    // The pass sets of the filters as setup_filters gives them to the store
    // (null: everything passes), for others that filter alike.
    std::unique_ptr<IdBitSet> standard_pass_set() const;
    std::unique_ptr<SparseIdBitSet> extended_pass_set() const;
    // Rebuilds the formatter's columns when the formatter changed.
    void rebuild_extra_columns();

    bool scroll_mode() const { return m_scroll_mode; }
    uint64_t message_number() const { return m_message_number; }
    int shown_count() const { return m_shown_count; }
    // Rows of the list on show.
    int row_count() const override;
    // Positions: lines of the fixed-position table, message numbers of the
    // scrolling list, rows of the list under the display filter.
    long long last_cursor_pos() const override;

    const trace_text::Formats &formats() const { return m_formats; }
    void set_formats(const trace_text::Formats &formats);
    bool delta_time() const { return m_delta_time; }
    void set_delta_time(bool on);
    bool database_mode() const { return m_database_mode; }
    void set_database_mode(bool on);
    // Width in pixels of a section as the configuration keeps it (not the
    // width fitted to what it shows), and its visibility.
    int section_width(int section) const;
    bool section_visible(int section) const;
    bool display_filter() const { return m_display_filter; }
    // Selected lines of the fixed-position table, selected records of the
    // scrolling list, and records shown under the display filter.
    int fixed_selected_count() const { return m_fixed_selected; }
    int scroll_selected_count() const { return m_scroll_selected; }
    int visible_count() const { return m_visible_count; }
    // The message under the cursor for the signal table, or null; while the
    // measurement runs, the newest message.
    const VyrCanMessage *current_message();

    // Moves the cursor to the next record whose data, ASCII or identifier text
    // holds the text (ignoring case); no wrap-around. Scrolling list only.
    void search(const QString &text, bool upwards);

    // The view's contents as text for people: the fixed-position table and
    // the scrolling list; all lines or records, or only the selected ones.
    // write_text writes the one on show.
    void write_fixed_text(QTextStream &out, bool selected_only) const;
    void write_log_text(QTextStream &out, bool selected_only);
    void write_text(QTextStream &out, bool selected_only) override;

    VyrIdFilterList &standard_filters() { return m_standard_filters; }
    VyrIdFilterList &extended_filters() { return m_extended_filters; }

    // The text of one cell of a record as the row painter writes it; counter
    // is the message number or the line's counter, time_us the shown time.
    QString cell_text(int section, const VyrCanMessage &message, uint64_t counter, int64_t time_us) const;

public slots:
    void clear();
    void header_clicked(int section) override;
    void set_scroll_mode(bool on);
    void set_display_filter(bool on);
    void deselect_all();
    void add_selected_identifiers_to_filter();
    void update_header();
    void toggle_column_visibility(int section);
    void restore_section(int section, int width, bool visible);

signals:
    void filters_changed();

protected:
    void paint_rows(QPainter &painter, long long first_row, long long last_row) override;
    void toggle_selection(long long pos) override;
    bool selection_editable() const override { return !measurement_running() && !filtered_rows(); }
    void cursor_moved() override { fetch_cursor_message(); }
    // The fixed-position table keeps its top row.
    bool bottom_anchored() const override { return m_scroll_mode; }
    // The length byte stands in the middle of its column, the data a little in.
    int cell_indent(int section) const override;

private:
    struct SectionMemory
    {
        bool visible = false;
        int width = 0;
    };
    struct ExtraColumn
    {
        int section;
        int column; // the formatter's column number
    };

    // The database message of a record, looked up as the identifier column does.
    const CANdbMessage *database_message(const VyrCanMessage &message) const;
    // Characters the section needs to show the record's text whole.
    int needed_chars(int section, const VyrCanMessage &message, uint64_t counter, int64_t time_us) const;
    void paint_row(QPainter &painter, long long row, const VyrCanMessage &message, uint64_t counter, int64_t time_us,
                   bool selected, bool shaded);
    // Scrolling-list rows first to last (1-based from the top).
    void paint_scroll_rows(QPainter &painter, long long first, long long last);
    void paint_filtered_rows(QPainter &painter, long long first, long long last);
    std::unique_ptr<IdBitSet> make_standard_pass_set() const;
    std::unique_ptr<SparseIdBitSet> make_extended_pass_set() const;
    // The scrolling list on show under the display filter: positions are visible rows.
    bool filtered_rows() const { return m_scroll_mode && m_display_filter; }
    void fetch_cursor_message();
    // Message number of the oldest record on show.
    uint64_t oldest_shown() const { return m_message_number - uint64_t(m_shown_count) + 1; }
    // Calls visit with each shown record from message number `from` to `to`
    // (either direction, both on show) until it answers false; it may mark them.
    void visit_shown(uint64_t from, uint64_t to, const std::function<bool(VyrCanMessage &, uint64_t)> &visit);
    // The record with that message number as the cursor message.
    void fetch_record(uint64_t number);
    // Enters the identifier of a filtered-out message into the filter list
    // of its width; true when the list changed.
    bool filter_out(const VyrCanMessage &message);
    // The texts of a record's identifier in the exports.
    std::string export_identifier(const VyrCanMessage &message) const;

    std::unique_ptr<VyrTraceMessageQueue> m_store;
    QColor m_row_background{235, 235, 235};

    VyrCanIf *m_interface = nullptr;
    bool m_scroll_mode = false;
    uint64_t m_message_number = 0;
    int m_shown_count = 0;
    int m_last_line_count = 0;

    trace_text::Formats m_formats;
    bool m_delta_time = false;
    bool m_database_mode = false;
    std::array<SectionMemory, remembered_sections> m_sections;
    std::vector<ExtraColumn> m_extra_columns;
    std::string m_extra_formatter_name;

    bool m_display_filter = false;
    int m_fixed_selected = 0;
    int m_scroll_selected = 0;
    int m_visible_count = 0;
    VyrCanMessage m_cursor_message{};
    bool m_cursor_message_valid = false;

    VyrIdFilterList m_standard_filters{false, VyrIdFilterList::block_listed};
    VyrIdFilterList m_extended_filters{true, VyrIdFilterList::block_listed};
};
