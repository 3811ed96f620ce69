#pragma once
// The scrolling list of the packets of one packet source: a header with a
// counter column, a time column and one column per field of the source's
// layout, and one line per packet, newest at the bottom. The packets are
// collected in the display's own store on the producer's thread while a
// measurement runs; update() takes the new ones over on the owner's timer.
// At most 50,000 lines are kept. The header, cursor, keys, mouse, row
// painting, clipboard and file export are the record list view's.
#include "windows/base/vyr_record_list_view.h"

#include <memory>
#include <vector>

class QtbConfigGroup;
class VyrPacket;
class VyrPacketLayout;
class VyrPacketSource;
class VyrPacketStore;
class VyrSignalIf;

class VyrPacketDisplay : public VyrRecordListView
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

    bool delta_time() const { return m_delta_time; }
    void set_delta_time(bool on);

    int total() const { return m_total; }
    int kept() const { return m_kept; }
    int selected_count() const { return m_selected; }
    // Lines are the kept packets; positions are packet numbers, 1-based over the total.
    int row_count() const override { return m_kept; }
    long long last_cursor_pos() const override { return m_total; }

    // The lines as text, oldest first, cells separated by tabs: all of them
    // or only the selected ones.
    void write_text(QTextStream &out, bool selected_only) override;

    void write_configuration(QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);

public slots:
    void clear();
    void header_clicked(int section) override;
    void deselect_all();
    void update_header();

protected:
    void paint_rows(QPainter &painter, long long first_row, long long last_row) override;
    void toggle_selection(long long pos) override;

private:
    enum TitleMode { Hex = 0, Dec = 1, Plain = 2 };

    // The text of one cell of a line, `chars` characters wide at the most.
    QString cell_text(const VyrPacket &packet, int column, int chars, uint32_t shown_time) const;
    // Characters the column needs to show the packet's text whole.
    int needed_chars(const VyrPacket &packet, int column, uint32_t shown_time) const;
    // Runs fn with the read cursor of the store's ring on the record of
    // packet number n (1-based over the total), then puts it back; false
    // when that packet is not kept.
    template <typename Fn> bool with_packet(long long n, Fn fn);

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

    bool m_delta_time = false;

    std::vector<int> m_title_modes;
};
