#pragma once
// The program's main window: a workspace tab bar above a stack of workspace
// pages, the docked message window at the bottom and a status bar with the
// working directory and the configuration file. It owns the notification
// hub, the timer wheel and the interfaces of the loaded configuration, and
// joins the pieces of text that every part of the program logs into rows of
// the message window.
#include "app/vyr_message_lines.h"
#include "core/vyr_message_log.h"

#include <QDir>
#include <QMainWindow>
#include <QRect>

#include <functional>
#include <memory>

class QDockWidget;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QTcpSocket;
class QtbConfig;
class QtbConfigGroup;
class TimerWheel;
class VyrDataWindow;
class VyrListenSocket;
class VyrPrefixLabel;
class VyrRtLog;
class VyrShellServices;
class VyrSignalIf;
class VyrSignalIfNotification;
class VyrTrigger;
class VyrTabBar;
class VyrWorkspace;

using LogType = int;

class VyrMain : public QMainWindow, public VyrMessageLog
{
    Q_OBJECT

public:
    explicit VyrMain(QWidget *parent = nullptr);
    ~VyrMain() override;

    // Once, right after the window is shown: the banner, the configuration
    // (or the default interfaces when it does not load) and "Setup done.".
    void setup();

    // VyrMessageLog: the notification hub's lines, from the GUI thread and
    // straight from the interface threads.
    void log_message(int level, const std::string &text) override;
    bool any_thread() const override { return true; }

    VyrSignalIfNotification *signal_if_notification = nullptr;
    QStatusBar *status_bar = nullptr;
    VyrPrefixLabel *label_working_directory = nullptr;
    VyrPrefixLabel *label_config_file = nullptr;
    QTabWidget *message_tabs = nullptr;
    VyrRtLog *message_window = nullptr;
    bool measurement_running = false;
    bool configuration_modified = false;
    TimerWheel *timer_wheel = nullptr;
    int workspace_size_timer = 0;
    int wanted_workspace_width = 0;
    int wanted_workspace_height = 0;
    QDockWidget *message_dock = nullptr;
    VyrWorkspace *current_workspace = nullptr;
    QStackedWidget *workspace_stack = nullptr;
    VyrTabBar *workspace_tab_bar = nullptr;
    int current_workspace_id = 0;
    QDir working_directory;
    VyrListenSocket *listen_socket = nullptr;
    QTcpSocket *help_connection = nullptr;
    QRect normal_geometry{QPoint(0, 0), QPoint(-1, -1)};
    bool is_minimized = false;
    bool is_maximized = false;

public slots:
    // Applies a configuration that has been read: the main window's own
    // settings, the workspaces, then every interface and window group. -1
    // when it has no "defaults" group (or there is none), else 0.
    int load_configuration(QtbConfig *config);
    // Replaces the running configuration by the file (asked for when none
    // is given), after the save question.
    void load_configuration();
    void load_configuration(const char *file);
    // Empties the configuration object and writes it anew; true on success.
    bool save_configuration();
    bool save_configuration_as();
    void new_configuration();
    // Loads the entry of the recent list; past its end, asks for a file.
    void reopen_config(int index);
    QString get_configuration_filename() const;
    void configuration_changed();
    // True when the caller may go on: nothing to save, "No", or saved.
    bool query_save_configuration();
    void change_working_directory(const QDir &directory);

    // Workspaces. An id below 0 takes the next free id.
    void create_new_workspace(const QString &name, int id);
    void create_new_workspace();
    void rename_workspace(int workspace_id);
    void rename_current_workspace();
    void delete_current_workspace();
    // Asks every window first; false (and nothing closed) when one refuses.
    bool close_all_windows();
    VyrDataWindow *create_data_window(const QString &class_key, QtbConfigGroup *group);
    // 3000 + k: a window of the k-th type; 4000 + k: focus the k-th window.
    VyrDataWindow *create_data_window(int menu_id);
    void open_default_windows();
    void standard_layout();
    void log_message_info(const QString &text);
    void log_message_warning(const QString &text);
    void log_message_error(const QString &text);
    void log_message(LogType type, const QString &text);
    void log_message(LogType type, const char *text);
    void workspace_selected(int index);
    void create_default_interfaces();
    // The preferences dialog, filled from the preferences; after acceptance
    // each switch the user changed is stored, and the tool-button labels
    // follow their switch at once.
    void display_options_dialog();
    void listen_socket_connected(VyrListenSocket *socket, qintptr descriptor);
    // Starts every active interface in four passes by ascending start rank:
    // script start objects and the timer wheel, hardware open, bus on,
    // realtime threads. A failed open or bus-on stops what was started.
    void start();
    // Stops the active interfaces by descending start rank.
    void stop();

signals:
    void write_configuration(QtbConfig *config);
    void close_sub_windows();
    void prepare_automatic_update();
    void start_automatic_update();
    void stop_automatic_update();

public:
    // The tab index of the workspace with that id or name, or -1.
    int find_workspace_tab(int workspace_id) const;
    int find_workspace_tab_by_name(const QString &name) const;
    // The highest workspace id of all tabs plus one.
    int next_workspace_id() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void customEvent(QEvent *event) override;

private:
    void build_central_area();
    void build_message_area();
    void build_status_bar();
    void refresh_normal_geometry();
    void delete_interfaces();
    // Deletes every trigger that is not built in and every condition.
    void delete_configured_triggers();
    // Removes and deletes the page at the tab index with its windows.
    void remove_workspace(int index);
    // Applies the operation to every active interface of each start rank
    // from 0 up to 998, in list order within a rank.
    // The trigger "Running" of the program's trigger list, or null.
    VyrTrigger *running_trigger() const;
    void for_each_by_ascending_rank(const std::function<void(VyrSignalIf *)> &operation);

    static constexpr int message_window_height = 100;
    VyrMessageLines m_message_lines;
    std::unique_ptr<VyrShellServices> m_shell_services;
    bool m_message_dock_sized = false;
    // First rank that stop visits.
    int m_stop_rank = max_start_rank;
    static constexpr int max_start_rank = 999;
};
