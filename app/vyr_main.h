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
class TimerWheel;
class VyrListenSocket;
class VyrPrefixLabel;
class VyrRtLog;
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
    // Creates the interfaces of the configuration; false when it holds none
    // that could be created or its file could not be read.
    bool load_configuration(QtbConfig *config);
    QString get_configuration_filename() const;
    void configuration_changed();
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

protected:
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
    // Applies the operation to every active interface of each start rank
    // from 0 up to 998, in list order within a rank.
    // The trigger "Running" of the program's trigger list, or null.
    VyrTrigger *running_trigger() const;
    void for_each_by_ascending_rank(const std::function<void(VyrSignalIf *)> &operation);

    static constexpr int message_window_height = 100;
    VyrMessageLines m_message_lines;
    bool m_message_dock_sized = false;
    // First rank that stop visits.
    int m_stop_rank = max_start_rank;
    static constexpr int max_start_rank = 999;
};
