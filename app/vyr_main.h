#pragma once
// The program's main window above the shell objects: a workspace tab bar
// above a stack of workspace pages, the docked message window at the bottom,
// the menus, the tool bar and a status bar with the working directory and
// the configuration file. The measurement, the configuration and the
// workspaces are objects of their own (app/shell/) that run without widgets;
// the window owns them, shows their state and forwards its slots to them. It
// owns the notification hub and joins the parts of lines that every part of
// the program logs into rows of the message window.
#include "app/shell/vyr_configuration.h"
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
class QTabWidget;
class QLocalSocket;
class QtbConfig;
class QtbConfigGroup;
class VyrApplicationEventWatcher;
class VyrGlobalAccelItem;
class VyrHelpViewer;
class VyrDataWindow;
class VyrListenSocket;
class VyrMeasurement;
class VyrPowerEvents;
class VyrPrefixLabel;
class VyrRtLog;
class VyrShellServices;
class VyrSignalIfNotification;
class VyrSysLog;
class VyrTabBar;
class VyrWorkspace;
class VyrWorkspaces;

using LogType = int;

// The menus of the main window and the entries whose state show_state sets.
struct VyrMainMenus
{
    QMenu *menu_file = nullptr;
    QMenu *menu_help = nullptr;
    // Null when no help language is installed.
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
    QAction *id_describe_config = nullptr;
    QAction *id_open = nullptr;
    QAction *id_compile = nullptr;
    QAction *id_start = nullptr;
    QAction *id_stop = nullptr;
    QAction *id_create_workspace = nullptr;
    QAction *id_delete_workspace = nullptr;
    QAction *id_rename_workspace = nullptr;
};

// The tool bar and its fixed buttons; rebuilt whenever it is shown or hidden.
struct VyrMainToolBar
{
    QToolBar *bar = nullptr;
    QToolButton *button_compile = nullptr;
    QToolButton *button_start = nullptr;
    QToolButton *button_stop = nullptr;
    QToolButton *button_clear = nullptr;
    QToolButton *button_new = nullptr;
    QToolButton *button_save = nullptr;
    QToolButton *button_interfaces = nullptr;
    QToolButton *button_open = nullptr;
};

class VyrMain : public QMainWindow, public VyrMessageLog, private VyrConfigurationView
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

    // The shell objects.
    VyrMeasurement &measurement() { return *m_measurement; }
    VyrConfiguration &configuration() { return *m_configuration; }
    VyrWorkspaces &workspaces() { return *m_workspaces; }
    bool measurement_running() const;
    bool configuration_modified() const { return m_configuration->modified(); }
    const QDir &working_directory() const { return m_configuration->working_directory(); }
    int current_workspace_id() const;

    VyrSignalIfNotification *signal_if_notification() const { return m_signal_if_notification; }
    VyrRtLog *message_window() const { return m_message_window; }
    QDockWidget *message_dock() const { return m_message_dock; }
    QTabWidget *message_tabs() const { return m_message_tabs; }
    VyrTabBar *workspace_tab_bar() const { return m_workspace_tab_bar; }
    QStackedWidget *workspace_stack() const { return m_workspace_stack; }
    // The page of the current workspace.
    VyrWorkspace *current_workspace() const { return m_current_workspace; }
    const VyrMainMenus &menus() const { return m_menus; }
    const VyrMainToolBar &tool_bar() const { return m_tool_bar; }
    VyrListenSocket *listen_socket() const { return m_listen_socket; }
    // The last connection to the help socket, or null.
    QLocalSocket *help_connection() const { return m_help_connection; }
    VyrPowerEvents *power_events() const { return m_power_events; }
    // The help viewer of the chosen help language.
    VyrHelpViewer *help_viewer() const { return m_help_viewer; }
    // The HTML description of the running configuration: its interfaces and
    // its data windows, each in list order.
    QString configuration_description() const;
    // "Vyr <version> (built <date>)": the first line of the message window.
    static QString banner();
    // The timer that grows the window to the loaded workspace size, 0 when none runs.
    int workspace_size_timer() const { return m_workspace_size_timer; }

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
    // The interface list, modal; deleted when it closes.
    void show_module_list();
    // 2000 + k: a new interface of the k-th registered type, given its
    // defaults and its settings dialog (the configuration counts as changed
    // even when the type makes none); 1000 + k: the settings dialog of the
    // k-th interface of the global list. Other ids do nothing.
    void show_config_dialog(int id);
    // The trigger settings dialog on the program's trigger and condition lists.
    void show_trigger_settings();
    // 5000 + p: the application font becomes p points; other ids do nothing.
    void change_font_size(int id);
    // Replaces the help viewer by one for the current help language.
    void launch_help_viewer();
    // Shows the help page "<name>.html", or the introduction for an empty name.
    void activate_help_context(const QString &name);
    void help_contents();
    // Stores the help language (also as a preference) and replaces the viewer.
    void set_language(int language);
    // The about box.
    void info();
    // The description of the running configuration in a dialog.
    void describe_config();
    void listen_socket_connected(VyrListenSocket *socket, qintptr descriptor);
    // Forwarded to the measurement (VyrMeasurement).
    void start();
    void stop();
    // Recompiles the scripts of the active interfaces, saying how it went.
    void compile();
    void communication_failed(const QString &reason);
    // The page of a system log in the message window's tabs, built with the
    // log's columns before it shows, and its removal; the log keeps the window.
    void create_log_window(VyrSysLog *log);
    void close_log_window(VyrSysLog *log);
    // While an automation object lives, failures go to the message window only.
    bool under_remote_control() const;
    int shutdown_system(int mode);
    // Enables menus and tool bar by the measurement state. Virtual, as is
    // build_toolbar, so that a window type of the tests can watch them.
    virtual void show_state();
    virtual void build_toolbar();
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
    // The Service Control commands; nothing without a service object.
    // Install writes the service with the open configuration file (nothing
    // without one); start starts the installed service, stop pauses the
    // running one's measurement.
    void service_install();
    void service_remove();
    void service_start();
    void service_stop();

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
    // VyrConfigurationView: the window's part of the configuration file.
    void write_window_settings(QtbConfigGroup &defaults, QtbConfig &config) override;
    void write_data_windows(QtbConfig &config) override;
    void read_window_settings(QtbConfigGroup &defaults, QtbConfig &config) override;
    bool make_data_window(const QString &class_key, QtbConfigGroup *group) override;
    void configuration_loaded() override;

    void build_menus();
    void build_central_area();
    void build_message_area();
    void build_status_bar();
    // Fills the menu with an entry per listed window type that makes one.
    void fill_create_window_menu(QMenu *menu);
    // Follows the measurement: the message window's time, the key filter, the menus.
    void measurement_running_changed(bool running);
    // The status-bar fields, the menus and the tool bar.
    void show_configuration_state();
    // Stops a measurement (the interfaces go next; their threads must have
    // ended) and closes every window; false when a window refuses.
    bool clear_for_replacement();
    // The save question before the configuration is replaced or the program
    // ends: true when the caller may go on (nothing changed, "No", or saved).
    bool may_replace(const QString &question);
    void refresh_normal_geometry();
    // The pages and tabs follow the workspaces.
    void add_workspace_page(int index);
    void remove_workspace_page(int index);

    static constexpr int message_window_height = 100;
    VyrMessageLines m_message_lines;
    VyrSignalIfNotification *m_signal_if_notification = nullptr;
    std::unique_ptr<VyrWorkspaces> m_workspaces;
    std::unique_ptr<VyrMeasurement> m_measurement;
    std::unique_ptr<VyrConfiguration> m_configuration;
    std::unique_ptr<VyrShellServices> m_shell_services;

    VyrPrefixLabel *m_label_working_directory = nullptr;
    VyrPrefixLabel *m_label_config_file = nullptr;
    QTabWidget *m_message_tabs = nullptr;
    VyrRtLog *m_message_window = nullptr;
    QDockWidget *m_message_dock = nullptr;
    bool m_message_dock_sized = false;
    VyrWorkspace *m_current_workspace = nullptr;
    QStackedWidget *m_workspace_stack = nullptr;
    VyrTabBar *m_workspace_tab_bar = nullptr;
    VyrMainMenus m_menus;
    VyrMainToolBar m_tool_bar;

    // The workspace size a loaded configuration asks for, reached on a timer.
    int m_workspace_size_timer = 0;
    int m_wanted_workspace_width = 0;
    int m_wanted_workspace_height = 0;
    QRect m_normal_geometry{QPoint(0, 0), QPoint(-1, -1)};
    bool m_is_minimized = false;
    bool m_is_maximized = false;
    bool m_closing_without_questions = false;

    VyrHelpViewer *m_help_viewer = nullptr;
    VyrListenSocket *m_listen_socket = nullptr;
    QLocalSocket *m_help_connection = nullptr;
    // Escape, connected to stop() (the table is program-wide).
    VyrGlobalAccelItem *m_accel_stop = nullptr;
    VyrApplicationEventWatcher *m_event_watcher = nullptr;
    VyrPowerEvents *m_power_events = nullptr;
};
