#pragma once
// A list of records under a column header, painted on the viewport of a
// scroll area, one row per record. It holds what every such list shares:
// the header (movable, clickable sections with tool tips, grown to their
// titles and the texts painted in them), the fixed-pitch font and its metrics, the scrolling, the row cursor that keys and mouse
// move, the selection those toggle, the painting of a row (band, cells,
// cursor frame), the context-menu request and the text export to the
// clipboard or a file. A subclass holds the records: it counts the rows,
// paints the exposed ones, flips a record's selection and writes the list
// as text.
//
// Rows are counted from 1 at the top. Cursor positions are the subclass's
// own record numbers: the bottom row holds last_cursor_pos() and each row
// above it the position one less, so a list that drops its oldest records
// keeps the positions of the others. 0 is no position.
#include <QAbstractScrollArea>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QString>

#include <functional>

class HeaderColumnFit;
class HeaderToolTip;
class QHeaderView;
class QStandardItemModel;
class QTextStream;

class VyrRecordListView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // header_name: the object name of the header.
    VyrRecordListView(QWidget *parent, const char *header_name);
    ~VyrRecordListView() override;

    QHeaderView *header() const { return m_header; }
    int row_height() const { return m_row_height; }
    int char_width() const { return m_char_width; }
    int font_size() const;

    // Rows of the list on show.
    virtual int row_count() const = 0;
    int contents_height() const { return row_count() * m_row_height; }
    // The positions of the bottom and the top row (0 and 1 for an empty list).
    virtual long long last_cursor_pos() const { return row_count(); }
    long long first_cursor_pos() const { return last_cursor_pos() - row_count() + 1; }
    long long cursor_pos() const { return m_cursor_pos; }
    bool cursor_shown() const { return m_cursor_shown; }

    // Set by the window whenever its measurement state changes: while
    // running, keys and mouse leave the selection alone.
    void set_measurement_running(bool running) { m_running = running; }
    bool measurement_running() const { return m_running; }

    // The list as text for people: all records, or only the selected ones.
    virtual void write_text(QTextStream &out, bool selected_only) = 0;
    QString export_text(bool selected_only);

public slots:
    // Moves the cursor to the position, held within the list, and scrolls
    // its row into view.
    void set_cursor_pos(long long pos);
    // The row at a contents y; outside the rows the cursor stays.
    void set_cursor_pos_by_mouse(int y);
    void toggle_selection_on_cursor_pos();
    // Shows or hides the cursor frame; a hidden cursor selects nothing.
    void cursor_on(bool on);
    virtual void header_clicked(int section);
    void header_size_changed();
    void update_geometry();
    void contents_moving(int x, int y);
    void set_font_size(int points);
    void copy_selected_messages_to_clipboard();
    void copy_all_messages_to_clipboard();
    // False, after saying so in a message box, when the file cannot be written.
    bool copy_all_messages_to_file(const QString &file_name);

signals:
    void show_context_menu(const QPoint &global_position);
    void selection_changed();
    void cursor_position_changed();
    void configuration_changed();

protected:
    // How a row is painted. A selected row takes the highlight colours; an
    // invalid text colour is the palette's.
    struct RowLook
    {
        bool selected = false;
        QBrush background;
        QColor text;
    };

    QStandardItemModel *header_model() const { return m_header_model; }
    HeaderToolTip *header_tips() const { return m_header_tips; }
    // Sizes the sections: the widths the list sets itself go through it, so
    // that it tells them from the user's and from its own fitting.
    HeaderColumnFit *column_fit() const { return m_fit; }
    // Characters that fit into a section.
    int section_chars(int section) const;
    // Contents y of the top of a row.
    int row_top(long long row) const { return int((row - 1) * m_row_height); }
    long long cursor_pos_of_row(long long row) const { return row + last_cursor_pos() - row_count(); }
    // The cursor position at a contents y; 0 outside the rows.
    long long cursor_pos_at(int y) const;
    void update_scroll_ranges();
    void scroll_to_bottom();
    // No position, for an emptied list; no signal.
    void reset_cursor_pos() { m_cursor_pos = 0; }

    // The records' side.
    virtual void paint_rows(QPainter &painter, long long first_row, long long last_row) = 0;
    // Flips the selection of the record at a position of the list.
    virtual void toggle_selection(long long pos) = 0;
    // Whether keys and mouse may change the selection now.
    virtual bool selection_editable() const { return !m_running; }
    // Told after the cursor moved, before cursor_position_changed.
    virtual void cursor_moved() {}
    // Whether a resize keeps the bottom row in place (lists that grow at the
    // bottom), else the top one.
    virtual bool bottom_anchored() const { return true; }
    // Pixels by which a section's text starts right of the section.
    virtual int cell_indent(int section) const { return 0; }

    // Paints a row: its band across the contents, the text of every section
    // and, on the cursor's row, the dotted cursor frame. needed_chars: the
    // characters a section needs to show the row's text whole; a section
    // shown narrower grows once the paint is over.
    void paint_row(QPainter &painter, long long row, const RowLook &look,
                   const std::function<QString(int section)> &cell_text,
                   const std::function<int(int section)> &needed_chars);

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void update_font_metrics();
    // Shift with a cursor key toggles the row the cursor leaves.
    void move_cursor(long long pos, bool toggle_left_row);

    QStandardItemModel *m_header_model;
    QHeaderView *m_header;
    HeaderToolTip *m_header_tips;
    HeaderColumnFit *m_fit;
    QFont m_font;
    int m_row_height = 1;
    int m_char_width = 1;
    int m_descent = 0;

    long long m_cursor_pos = 0;
    bool m_cursor_shown = true;
    bool m_running = false;
    // The right button's press asked for the menu; the context-menu event
    // that the platform sends after it asks for no second one.
    bool m_menu_asked_by_press = false;
};
