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

class QAction;
class QDockWidget;
class QMenu;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QStatusBar;
class QTabWidget;
class QLocalSocket;
class QtbConfig;
class QtbConfigGroup;
class TimerWheel;
class VyrApplicationEventWatcher;
class VyrGlobalAccelItem;
class VyrDataWindow;
class VyrListenSocket;
class VyrPowerEvents;
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
    QLocalSocket *help_connection = nullptr;
    QRect normal_geometry{QPoint(0, 0), QPoint(-1, -1)};
    bool is_minimized = false;
    bool is_maximized = false;

    // Menus and tool bar (vyr_menus.cpp); the Measure and File entries as
    // actions, null where an entry is not built.
    QMenu *menu_file = nullptr;
    QMenu *menu_help = nullptr;
    QMenu *menu_help_language = nullptr;
    QMenu *menu_reopen = nullptr;
    QMenu *menu_window = nullptr;
    QMenu *menu_view = nullptr;
    QMenu *menu_measure = nullptr;
    QMenu *menu_settings = nullptr;
    QMenu *menu_workspace = nullptr;
    QAction *id_new = nullptr;
    QAction *id_exit = nullptr;
    QAction *id_save = nullptr;
    QAction *id_save_as = nullptr;
    QAction *id_open = nullptr;
    QAction *id_compile = nullptr;
    QAction *id_start = nullptr;
    QAction *id_stop = nullptr;
    QAction *id_create_workspace = nullptr;
    QAction *id_delete_workspace = nullptr;
    QAction *id_rename_workspace = nullptr;
    QToolBar *tool_bar = nullptr;
    QToolButton *button_compile = nullptr;
    QToolButton *button_start = nullptr;
    QToolButton *button_stop = nullptr;
    QToolButton *button_clear = nullptr;
    QToolButton *button_new = nullptr;
    QToolButton *button_save = nullptr;
    QToolButton *button_interfaces = nullptr;
    QToolButton *button_open = nullptr;
    int view_menu_update_depth = 0;

    // Escape, connected to stop() (the table is program-wide).
    VyrGlobalAccelItem *accel_stop = nullptr;
    VyrApplicationEventWatcher *event_watcher = nullptr;
    VyrPowerEvents *power_events = nullptr;
    // A broken communication was reported in this measurement.
    bool communication_failure_reported = false;
    // The repeating timer of a delayed start or restart, 0 when none.
    int countdown_timer = 0;

    // How the PC is shut down (0 halt, 1 power off, 2 reboot): logind's
    // request unless a test replaced it (an empty function restores it).
    using ShutdownFunction = std::function<int(int mode)>;
    static void set_shutdown_function(ShutdownFunction function);

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
    // Closes the window as the user's closing does (the measurement stops,
    // the windows close their logs), but without asking anything: neither
    // the windows nor the save question (a termination signal).
    void close_without_questions();
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
    // Reloads and recompiles the scripts of the active interfaces.
    void compile();
    // Stops the measurement once per measurement and reports the reason.
    void communication_failed(const QString &reason);
    int shutdown_system(int mode);
    // Enables menus and tool bar by the measurement state.
    void show_state();
    void build_toolbar();
    void build_reopen_menu();
    void build_settings_menu();
    void build_view_menu();
    void build_window_menu();
    void build_workspace_menu();
    void build_language_menu();
    void minimize_data_window(int id);
    void display_workspace_context_menu(const QPoint &position);
    // Power event codes of VyrPowerEvents: suspending stops the measurement.
    void power_event(int code);

signals:
    // Measurement start prepares the windows, then starts their updates;
    // stop stops them.
    void prepare_automatic_update();
    void start_automatic_update();
    void stop_automatic_update();
    void write_configuration(QtbConfig *config);
    void close_sub_windows();

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
    void build_menus();
    // Connects the action to the slot of that signature when the window has
    // it (the slots of configuration, workspace, help and settings commands).
    bool connect_to_slot(QObject *sender, const char *signal, const char *slot_signature);
    // Sends the number of each item chosen in the menu to the int slot of
    // that name, when the window has it.
    void connect_to_slot(QMenu *menu, const char *slot_name);
    void delayed_start();
    void restart(unsigned delay_seconds);
    void start_countdown(int step_seconds, int remaining_seconds);
    void countdown_tick();
    void raise_priority();
    void restore_priority();
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
    bool m_closing_without_questions = false;
    int m_countdown_remaining = 0;
    int m_countdown_step = 0;
    int m_saved_nice = 0;
    unsigned long m_saved_timer_slack = 0;
};
