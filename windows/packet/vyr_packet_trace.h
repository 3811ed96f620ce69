#pragma once
// The packet trace window: the packets of one interface's packet source
// ("Transport Layer", "Received UDP-Packets", ...) in a packet display, with
// the interface choice, clearing, the time format, a text search over the
// lines and a context menu. The lines themselves (columns, cursor,
// selection, export and their configuration keys) are the display's.
#include "windows/base/vyr_data_window.h"

#include <QHash>

class QComboBox;
class QMenu;
class QToolButton;
class VyrPacketDisplay;
class VyrSignalIf;

class VyrPacketTrace : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "PacketTrace";

    explicit VyrPacketTrace(QWidget *parent);
    ~VyrPacketTrace() override;

    // The window-type registry's factory: a window, read from the group when one is given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);

    QString description_text() const override;
    VyrPacketDisplay *display() const { return m_display; }
    // The context menu for the current state; the caller owns it.
    QMenu *make_context_menu();

public slots:
    void setCaption(const QString &text);
    void combo_selection_changed(int index);
    void update_source_list();
    void show_context_menu(const QPoint &global_position);
    void startup() override;
    void stop() override;
    void state_changed() override;
    void update_signals() override;
    // Move the cursor to the next line below or above it whose text holds
    // the search text, without regard to case.
    void search_down();
    void search_up();
    void remove_interface(const QString &interface_id) override;
    void add_interface(const QString &interface_id) override;
    void interface_configuration_changed(const QString &interface_id) override;
    void write_configuration(QtbConfig *config) override;
    virtual void clear();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void set_interface(VyrSignalIf *signal_if);
    void search(bool upwards);

    QComboBox *m_interface_combo = nullptr;
    QHash<int, VyrSignalIf *> m_interfaces;
    QToolButton *m_clear_button = nullptr;
    QToolButton *m_time_button = nullptr;
    QToolButton *m_display_filter_button = nullptr;
    SearchTools m_search;
    VyrPacketDisplay *m_display = nullptr;
};
