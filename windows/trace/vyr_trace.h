#pragma once
// The trace window: the CAN (and LIN) frames of one interface as a list,
// with a channel choice, tool buttons for the display modes, the identifier
// filters and their dialog, a dockable signal table that decodes the frame
// under the cursor, and logging of every accepted frame to a file.
#include "core/frames/vyr_can_message.h"
#include "windows/base/vyr_data_window.h"

#include <QHash>
#include <QIcon>

#include <memory>

class LogFile;
class QComboBox;
class QDockWidget;
class QToolButton;
class VyrCanIf;
class VyrCanSignalTable;
class VyrMessageView;
class VyrSignalIf;

class VyrTrace : public VyrDataWindow
{
    Q_OBJECT
public:
    static constexpr const char *class_key_text = "Trace";

    explicit VyrTrace(QWidget *parent);
    ~VyrTrace() override;

    // The window-type registry's factory: a window, read from the group when one is given.
    static VyrDataWindow *create(QWidget *parent, QtbConfigGroup *group);
    void read_configuration(QtbConfigGroup *group);

    QString description_text() const override;
    VyrMessageView *view() const { return m_view; }
    VyrCanSignalTable *signal_table() const { return m_signal_table; }
    QDockWidget *signal_table_dock() const { return m_dock; }
    LogFile *log_file() const { return m_log_file.get(); }
    // 0 none, 1 waiting for the trigger, 2 logging.
    int logging_state() const { return m_logging_state; }

public slots:
    void setCaption(const QString &text);
    void write_configuration(QtbConfig *config) override;
    void combo_selection_changed(int index);
    void update_can_source_list();
    void show_context_menu(const QPoint &global_position);
    void copy_selected_messages_to_clipboard();
    void copy_all_messages_to_clipboard();
    void startup() override;
    void stop() override;
    void state_changed() override;
    void update_signals() override;
    void search_down();
    void search_up();
    void remove_interface(const QString &interface_id) override;
    void add_interface(const QString &interface_id) override;
    void interface_configuration_changed(const QString &interface_id) override;
    void button_logfile_indicator_clicked();
    void show_log_to_file_dialog();
    void open_log_to_file_dialog() override { show_log_to_file_dialog(); }
    void show_filter_dialog();
    void setup_filters();
    // Hands the filters to the log file's writer, which logs what the window shows.
    void update_log_filters();
    void stop_logging_to_file();
    void update_signal_table();
    void setup_signal_table();
    void show_signal_table();
    void signal_table_destroyed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    VyrCanIf *interface() const;
    void set_interface(VyrSignalIf *signal_if);
    // The view's selected lines in its current mode.
    int selected_count() const;
    bool display_filter_allowed() const;

    QComboBox *m_channel_combo = nullptr;
    QHash<int, VyrSignalIf *> m_channels;
    QToolButton *m_filter_button = nullptr;
    QToolButton *m_clear_button = nullptr;
    QToolButton *m_database_button = nullptr;
    QToolButton *m_signal_table_button = nullptr;
    QToolButton *m_scroll_button = nullptr;
    QToolButton *m_time_button = nullptr;
    QToolButton *m_display_filter_button = nullptr;
    QToolButton *m_log_button = nullptr;
    QToolButton *m_indicator_button = nullptr;
    SearchTools m_search;
    VyrMessageView *m_view = nullptr;
    VyrCanIf *m_attached_to = nullptr;
    VyrCanSignalTable *m_signal_table = nullptr;
    QDockWidget *m_dock = nullptr;
    // The copy of the frame under the cursor that the signal table shows.
    VyrCanMessage m_shown_frame{};
    // The settings of logging to file; while a measurement runs, its writer
    // logs the interface's frames on a thread of its own.
    std::unique_ptr<LogFile> m_log_file;
    int m_logging_state = 0;
    int m_animation_frame = 0;
    QIcon m_filter_icon;
    QIcon m_filter_active_icon;
    QIcon m_indicator_idle_icon;
    QIcon m_indicator_waiting_icon;
    QIcon m_animation_icons[8];
};
