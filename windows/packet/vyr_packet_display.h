#pragma once
// The scrolling list of the packets of one packet source: a header with a
// counter column, a time column and one column per field of the source's
// layout, and one line per packet, newest at the bottom. The packets are
// collected in the display's own store on the producer's thread while a
// measurement runs; update() takes the new ones over on the owner's timer.
// At most 50,000 lines are kept.
#include <QAbstractScrollArea>
#include <QFont>
#include <QString>

#include <memory>
#include <vector>

class HeaderColumnFit;
class HeaderToolTip;
class QHeaderView;
class QStandardItemModel;
class QtbConfigGroup;
class VyrPacket;
class VyrPacketLayout;
class VyrPacketSource;
class VyrPacketStore;
class VyrSignalIf;

class VyrPacketDisplay : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr int max_kept = 50000;

    explicit VyrPacketDisplay(QWidget *parent);
    ~VyrPacketDisplay() override;

    // The interface (may be null) and its packet source; the columns follow
    // the source's layout. The store is added to the source only by
    // attach_store.
    void set_source(VyrSignalIf *signal_if, VyrPacketSource *source);
    VyrSignalIf *source_interface() const { return m_interface; }
    VyrPacketSource *source() const { return m_source; }
    // Columns for the layout (none without one); clears the lines.
    void set_layout(const VyrPacketLayout *layout);
    void attach_store();
    void detach_store();
    VyrPacketStore *store() const { return m_store.get(); }

    // Takes the packets that arrived since the last call over into the lines.
    void update();

    int font_size() const;
    // Width in pixels of a character of the font; columns are sized in characters.
    int char_width() const { return m_char_width; }
    bool running() const { return m_running; }
    void set_running(bool running) { m_running = running; }
    bool delta_time() const { return m_delta_time; }
    void set_delta_time(bool on);

    int total() const { return m_total; }
    int kept() const { return m_kept; }
    int selected_count() const { return m_selected; }
    int cursor_pos() const { return m_cursor; }
    QHeaderView *header() const { return m_header; }

    // The lines as text, oldest first, cells separated by tabs: all of them
    // or only the selected ones.
    QString export_text(bool only_selected);

    void write_configuration(QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);

public slots:
    void clear();
    void header_size_changed();
    void update_geometrie();
    void contents_moving(int x, int y);
    void header_clicked(int section);
    void set_cursor_pos(int n);
    void set_cursor_pos_by_mouse(int y);
    void toggle_selection_on_cursor_pos();
    void deselect_all();
    void cursor_on(bool on);
    void update_header();
    void copy_selected_messages_to_clipboard();
    void copy_all_messages_to_clipboard();
    // False, after saying so, when the file cannot be written.
    bool copy_all_messages_to_file(const QString &file_name);
    void set_font_size(int points);

signals:
    void show_context_menu(const QPoint &global_position);
    void selection_changed();
    void cursor_position_changed();
    void configuration_changed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    enum TitleMode { Hex = 0, Dec = 1, Plain = 2 };

    // The text of one cell of a line, `chars` characters wide at the most.
    QString cell_text(const VyrPacket &packet, int column, int chars, uint32_t shown_time) const;
    // Characters the column needs to show the packet's text whole.
    int needed_chars(const VyrPacket &packet, int column, uint32_t shown_time) const;
    void update_font_metrics();
    void update_scroll_ranges();
    int contents_height() const { return m_kept * m_line_height; }
    int visible_lines() const;
    // Runs fn with the read cursor of the store's ring on the record of
    // packet number n (1-based over the total), then puts it back; false
    // when that packet is not kept.
    template <typename Fn> bool with_packet(int n, Fn fn);
    void repaint_line(int n);
    void ensure_line_visible(int n);
    void move_cursor(int n, bool shift);

    VyrSignalIf *m_interface = nullptr;
    VyrPacketSource *m_source = nullptr;
    const VyrPacketLayout *m_layout = nullptr;
    std::unique_ptr<VyrPacketStore> m_store;
    std::unique_ptr<VyrPacket> m_packet;
    std::unique_ptr<VyrPacket> m_older;
    bool m_attached = false;

    int m_total = 0;
    int m_kept = 0;
    int m_selected = 0;
    int m_cursor = 0; // packet number, 0 = none

    bool m_delta_time = false;
    bool m_cursor_shown = true;
    bool m_running = false;

    std::vector<int> m_title_modes;
    QHeaderView *m_header;
    QStandardItemModel *m_header_model;
    HeaderToolTip *m_header_tips;
    // Grows the columns to their titles and texts; the last one fills the width.
    HeaderColumnFit *m_fit;
    QFont m_font;
    int m_line_height = 1;
    int m_char_width = 1;
};
