#pragma once
// A scrolling view that shows and edits the bytes of one memory page as lines
// of address, hexadecimal elements (1, 2 or 4 bytes in the page's byte order)
// and printable characters. Typing edits the page in place; the page belongs
// to the caller and must outlive its use here.
#include <QAbstractScrollArea>
#include <QByteArray>
#include <QTimer>
#include <cstdint>

class MemoryPage;

class QHexEdit : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QByteArray data READ data WRITE setData)

public:
    explicit QHexEdit(QWidget *parent = nullptr, const char *name = nullptr);

    // Attaches a page (or none) and resets cursor, selection and mode. A page
    // of length 0 counts as none: it has no address for the cursor.
    void set_page(MemoryPage *page);
    MemoryPage *page() const { return m_page; }
    void set_line_count(int rows);
    int line_count() const { return m_rows; }

    // The page's bytes; setting copies as many as fit into the page.
    QByteArray data() const;
    void setData(const QByteArray &bytes);

    int items_per_row() const { return m_items_per_row; }
    int element_width() const { return m_element_width; }
    uint32_t element_kind() const { return m_element_kind; }
    int hex_start_column() const { return m_address_width + 2; }
    int ascii_start_column() const;
    int line_length() const;
    int character_width() const { return m_character_width; }
    int line_height() const { return m_line_height; }
    QSize contents_size() const;

    uint32_t cursor_address() const { return m_cursor_address; }
    int cursor_nibble() const { return m_cursor_nibble; }
    bool ascii_mode() const { return m_ascii_mode; }
    bool blink_phase() const { return m_blink_phase; }
    bool has_selection() const { return m_selection_active; }
    uint32_t selection_start() const { return m_selection_start; }
    uint32_t selection_end() const { return m_selection_end; }

    // The text of a row as painted: address, elements and characters.
    QString row_text(int row) const;
    // Where the cursor's nibble lies, in contents coordinates (row top-left).
    QPoint cursor_cell_position() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void move_cursor_by_address(int delta);
    void move_cursor_by_charpos(int delta);
    void selection_clear();
    void selection_set(unsigned int start, unsigned int end);
    void selection_ensure_visible();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int row_bytes() const { return m_items_per_row * m_element_width; }
    uint32_t last_address() const;
    void reset_state();
    void lay_out();
    void update_scroll_bars();
    void ensure_visible(int x, int y, int x_margin, int y_margin);
    void repaint_cursor_cells();
    void set_ascii_mode(bool ascii);
    void move_cursor_to_point(QPoint viewport_position);
    void blink();
    void draw_cells(QPainter &painter, int row, int column, const QString &text, const QColor &background,
                    const QColor &foreground) const;
    bool selected(uint32_t address) const;

    MemoryPage *m_page = nullptr;
    int m_items_per_row = 16;
    int m_element_width = 1;
    uint32_t m_element_kind = 0;
    uint32_t m_start = 0;
    int m_rows = 0;
    int m_address_width = 8;

    uint32_t m_cursor_address = 0;
    int m_cursor_nibble = 0;
    bool m_ascii_mode = false;
    bool m_blink_phase = false;
    QTimer m_blink_timer;

    bool m_selection_active = false;
    bool m_dragging = false;
    uint32_t m_drag_anchor = 0;
    uint32_t m_selection_start = 0;
    uint32_t m_selection_end = 0;

    int m_character_width = 1;
    int m_line_height = 1;
    int m_ascent = 0;
};
