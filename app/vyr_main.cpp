#include "app/vyr_main.h"

#include "app/vyr_sys_if.h"

#include "app/shell/vyr_app_state.h"
#include "app/shell/vyr_measurement.h"
#include "app/shell/vyr_workspaces.h"
#include "app/vyr_application_event_watcher.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_pictures.h"
#include "app/vyr_power_events.h"
#include "app/vyr_sys_if.h"
#include "settings/debug_trace.h"
#include "core/timer_wheel.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_os_version.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "windows/base/vyr_data_window.h"
#include "windows/base/vyr_shell_services.h"
#include "windows/packet/vyr_rt_log.h"

#include <QApplication>
#include <QDockWidget>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMdiSubWindow>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QLocalSocket>
#include <QTimerEvent>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr unsigned escape_key = 0x1000;

// What the data windows need of the main window: itself and its active workspace.
class VyrMainShellServices : public VyrShellServices
{
public:
    explicit VyrMainShellServices(VyrMain *main) : m_main(main) {}
    QWidget *main_window() const override { return m_main; }
    QMdiArea *active_workspace_widget() const override { return m_main->current_workspace(); }
    int active_workspace_id() const override { return m_main->current_workspace_id(); }

private:
    VyrMain *m_main;
};

} // namespace

VyrMain::VyrMain(QWidget *parent)
    : QMainWindow(parent),
      m_message_lines([this](int flags, const std::string &row) {
          // The message window takes rows from any thread under its own mutex.
          if (m_message_window)
              m_message_window->add_message(flags, row.c_str());
      })
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (VyrTriggerList *triggers = VyrTriggerList::instance()) {
        if (VyrTriggerCondList *conditions = VyrTriggerCondList::instance())
            connect(triggers, &VyrTriggerList::trigger_removed, conditions, &VyrTriggerCondList::trigger_removed);
        if (VyrTrigger *running = triggers->find(QStringLiteral("Running")))
            running->set_comment(tr("Is set when measurement is started"));
    }

    // The entry to this window for automation, plug-ins and data windows;
    // shutdown deletes it after the window.
    if (VyrSysIf *sys_if = VyrSysIf::instance())
        sys_if->set_main_window(this);
    else
        VyrSysIf::set_instance(new VyrSysIf(this));
    m_signal_if_notification = new VyrSignalIfNotification(this, this);
    m_workspaces = std::make_unique<VyrWorkspaces>();
    m_measurement = std::make_unique<VyrMeasurement>(*this);
    m_measurement->set_question_parent(this);
    m_measurement->set_remote_control_check([this] { return under_remote_control(); });
    m_configuration = std::make_unique<VyrConfiguration>(*m_workspaces, *this, this, m_signal_if_notification);
    m_configuration->set_view(this);

    // The table is the program's: shutdown deletes it after the window.
    if (!VyrGlobalAccel::instance())
        VyrGlobalAccel::set_instance(new VyrGlobalAccel(VyrGlobalAccel::program_bucket_count));
    m_accel_stop = new VyrGlobalAccelItem(VyrGlobalAccel::instance(), escape_key);
    connect(m_accel_stop, &VyrGlobalAccelItem::activated, this, &VyrMain::stop);

    m_listen_socket = new VyrListenSocket(1, this, "listen_socket");
    connect(m_listen_socket, &VyrListenSocket::connected, this, &VyrMain::listen_socket_connected);

    connect(m_signal_if_notification, &VyrSignalIfNotification::interface_configuration_changed, this,
            &VyrMain::configuration_changed);
    connect(m_signal_if_notification, &VyrSignalIfNotification::interface_removed, this,
            &VyrMain::configuration_changed);

    build_menus();
    build_central_area();
    build_message_area();
    build_status_bar();
    build_toolbar();
    launch_help_viewer();
    m_shell_services = std::make_unique<VyrMainShellServices>(this);
    set_shell_services(m_shell_services.get());

    VyrMeasurement *measurement = m_measurement.get();
    connect(measurement, &VyrMeasurement::prepare_automatic_update, this, &VyrMain::prepare_automatic_update);
    connect(measurement, &VyrMeasurement::start_automatic_update, this, &VyrMain::start_automatic_update);
    connect(measurement, &VyrMeasurement::stop_automatic_update, this, &VyrMain::stop_automatic_update);
    connect(measurement, &VyrMeasurement::measurement_time_started, this, [this, measurement] {
        // Rows carry the measurement time while it runs.
        m_message_window->set_time_source([wheel = &measurement->timer_wheel()] { return wheel->current_time(); });
    });
    connect(measurement, &VyrMeasurement::running_changed, this, &VyrMain::measurement_running_changed);
    connect(m_configuration.get(), &VyrConfiguration::changed, this, [this] { show_state(); });
    connect(m_configuration.get(), &VyrConfiguration::location_changed, this, &VyrMain::show_configuration_state);

    setWindowIcon(program_icon());
    setWindowIconText(QStringLiteral("Vyr"));
    setWindowTitle(QStringLiteral("Vyr"));

    m_event_watcher = new VyrApplicationEventWatcher(this);
    qApp->installEventFilter(m_event_watcher);
    m_power_events = new VyrPowerEvents(this);
    connect(m_power_events, &VyrPowerEvents::power_event, this, &VyrMain::power_event);

    m_configuration->set_modified(false);
    show_state();
}

VyrMain::~VyrMain()
{
    // Hiding the tool bar while the widgets go would rebuild it in a window
    // that is no longer there.
    if (m_tool_bar.bar)
        disconnect(m_tool_bar.bar, nullptr, this, nullptr);
    delete m_accel_stop;
    // The windows go while the main window is whole: they report their going to it.
    for (VyrDataWindow *window : findChildren<VyrDataWindow *>()) {
        QMdiSubWindow *frame = window->sub_window();
        delete (frame ? static_cast<QWidget *>(frame) : window);
    }
    if (shell_services() == m_shell_services.get())
        set_shell_services(nullptr);
    m_configuration->delete_interfaces();
    // The measurement and its timer wheel go before the message window.
    m_message_window->set_time_source(nullptr);
    // The pages go with the window; the workspaces are no longer shown.
    disconnect(m_workspaces.get(), nullptr, this, nullptr);
    disconnect(m_workspace_tab_bar, nullptr, this, nullptr);
    disconnect(m_measurement.get(), nullptr, this, nullptr);
    if (VyrSysIf *sys_if = VyrSysIf::instance(); sys_if && sys_if->main_window() == this)
        sys_if->set_main_window(nullptr);
}

bool VyrMain::under_remote_control() const
{
    const VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if && sys_if->under_remote_control();
}

void VyrMain::create_log_window(VyrSysLog *log)
{
    auto *window = new VyrRtLog(m_message_tabs);
    const QList<VyrSysLog::Column> columns = log->columns();
    window->set_column_count(columns.size());
    for (int i = 0; i < columns.size(); ++i)
        window->set_column(i, columns[i].title, columns[i].tool_tip, columns[i].width);
    window->apply_columns();
    m_message_tabs->addTab(window, log->name());
    log->set_window(window);
}

void VyrMain::close_log_window(VyrSysLog *log)
{
    VyrRtLog *window = log->window();
    if (!window)
        return;
    log->set_window(nullptr);
    m_message_tabs->removeTab(m_message_tabs->indexOf(window));
    delete window;
}

bool VyrMain::measurement_running() const
{
    return m_measurement->running();
}

int VyrMain::current_workspace_id() const
{
    return m_workspaces->current_id();
}

void VyrMain::build_central_area()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);

    // Workspace 0 is there from the start; the others follow the workspaces' signals.
    m_workspace_tab_bar = new VyrTabBar(central, "main_window_tab_bar");
    const int default_tab = m_workspace_tab_bar->addTab(m_workspaces->at(0).name);
    m_workspace_tab_bar->set_workspace_id(default_tab, 0);
    layout->addWidget(m_workspace_tab_bar);

    m_workspace_stack = new QStackedWidget(central);
    m_workspace_stack->setObjectName(QStringLiteral("workspace_stack"));
    m_current_workspace = new VyrWorkspace(m_workspace_stack, "default_workspace");
    m_current_workspace->setBackground(QColor(Qt::darkGray));
    m_workspace_stack->insertWidget(default_tab, m_current_workspace);
    layout->addWidget(m_workspace_stack);
    setCentralWidget(central);

    connect(m_workspace_tab_bar, &QTabBar::currentChanged, this, &VyrMain::workspace_selected);
    connect(m_current_workspace, &VyrWorkspace::right_button_pressed, this, &VyrMain::display_workspace_context_menu);
    connect(m_workspace_tab_bar, &VyrTabBar::double_clicked, this, &VyrMain::rename_workspace);

    VyrWorkspaces *workspaces = m_workspaces.get();
    connect(workspaces, &VyrWorkspaces::workspace_added, this, &VyrMain::add_workspace_page);
    connect(workspaces, &VyrWorkspaces::workspace_removed, this, &VyrMain::remove_workspace_page);
    connect(workspaces, &VyrWorkspaces::workspace_renamed, this,
            [this, workspaces](int index) { m_workspace_tab_bar->setTabText(index, workspaces->at(index).name); });
    connect(workspaces, &VyrWorkspaces::current_changed, m_workspace_tab_bar, &QTabBar::setCurrentIndex);
}

void VyrMain::build_message_area()
{
    m_message_dock = new QDockWidget(this);
    m_message_dock->setObjectName(QStringLiteral("message_dock"));
    m_message_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                                QDockWidget::DockWidgetFloatable);
    m_message_tabs = new QTabWidget(m_message_dock);
    m_message_tabs->setObjectName(QStringLiteral("message_tabs"));
    m_message_tabs->setTabShape(QTabWidget::Triangular);
    m_message_tabs->setTabPosition(QTabWidget::South);

    m_message_window = new VyrRtLog(m_message_tabs);
    m_message_window->setObjectName(QStringLiteral("message_window"));
    m_message_window->set_config_key(QStringLiteral("rt_log"));
    m_message_window->set_column_count(1);
    m_message_window->set_column(0, QStringLiteral("Message"), QStringLiteral("Output Message"), 250);
    m_message_window->apply_columns();
    // Low enough for its 100 pixels; the user may pull the dock higher or lower.
    m_message_window->setMinimumHeight(20);
    m_message_tabs->addTab(m_message_window, tr("All Messages"));

    m_message_dock->setWidget(m_message_tabs);
    m_message_dock->setWindowTitle(QStringLiteral("Message Window"));
    addDockWidget(Qt::BottomDockWidgetArea, m_message_dock);
    m_message_dock->show();
}

void VyrMain::build_status_bar()
{
    QStatusBar *status_bar = statusBar();
    m_label_working_directory = new VyrPrefixLabel(QStringLiteral("<nobr>Working Directory:</nobr>"), status_bar);
    m_label_working_directory->setObjectName(QStringLiteral("label_working_directory"));
    m_label_config_file = new VyrPrefixLabel(QStringLiteral("<nobr>Config File:</nobr>"), status_bar);
    m_label_config_file->setObjectName(QStringLiteral("label_config_file"));
    status_bar->addWidget(m_label_working_directory, 10);
    status_bar->addWidget(m_label_config_file, 10);
    m_label_working_directory->setText(QDir::toNativeSeparators(working_directory().absolutePath()));
    m_label_config_file->setText(get_configuration_filename());
}

QString VyrMain::banner()
{
    return QStringLiteral("Vyr " VYR_VERSION " (built " VYR_BUILD_DATE ")");
}

void VyrMain::setup()
{
    log_message(VyrMessageLog::info, banner().toStdString() + '\n');
    log_message_info(tr("Running on: %1").arg(QString::fromStdString(vyr_os_version().text)) + QLatin1Char('\n'));

    if (load_configuration(vyr_app_state().configuration) < 0) {
        create_default_interfaces();
        open_default_windows();
        m_configuration->set_modified(false);
    }
    log_message_info(tr("Setup done.") + QLatin1Char('\n'));
    m_measurement->set_start_delay(vyr_app_state().options.start_delay);
    if (vyr_app_state().options.start)
        post_vyr_event(this, new VyrCustomEvent(vyr_event_start));
}

QString VyrMain::get_configuration_filename() const
{
    return m_configuration->file_name();
}

void VyrMain::create_default_interfaces()
{
    m_configuration->create_default_interfaces();
}

void VyrMain::log_message_info(const QString &text)
{
    log_message(VyrMessageLog::info, text);
}

void VyrMain::log_message_warning(const QString &text)
{
    log_message(VyrMessageLog::warning, text);
}

void VyrMain::log_message_error(const QString &text)
{
    log_message(VyrMessageLog::error, text);
}

void VyrMain::log_message(LogType type, const QString &text)
{
    log_message(type, text.toUtf8().constData());
}

void VyrMain::log_message(LogType type, const char *text)
{
    m_message_lines.add(type, text);
}

void VyrMain::log_message(int level, const std::string &text)
{
    m_message_lines.add(level, text.c_str());
}

void VyrMain::workspace_selected(int index)
{
    m_workspace_stack->setCurrentIndex(index);
    m_current_workspace = qobject_cast<VyrWorkspace *>(m_workspace_stack->currentWidget());
    const int id = m_workspace_tab_bar->workspace_id(index);
    if (id < 0) {
        debug_trace("VyrMain::workspace_selected: Workspace id %d not found", index);
        return;
    }
    m_workspaces->select(id);
    for (VyrDataWindow *window = first_window(); window; window = window->next_window()) {
        if (window->workspace_id() != id)
            continue;
        QWidget *frame = window->sub_window() ? static_cast<QWidget *>(window->sub_window()) : window;
        if (window->maximized() && !frame->isMaximized())
            frame->showMaximized();
        if (window->minimized() && !frame->isMinimized())
            frame->showMinimized();
    }
}

void VyrMain::listen_socket_connected(VyrListenSocket *socket, qintptr descriptor)
{
    auto *connection = new QLocalSocket(this);
    connection->setSocketDescriptor(descriptor);
    if (socket != m_listen_socket) {
        delete connection;
        return;
    }
    delete m_help_connection;
    m_help_connection = connection;
}

bool VyrMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowStateChange:
        m_is_maximized = windowState() & Qt::WindowMaximized;
        m_is_minimized = windowState() & Qt::WindowMinimized;
        refresh_normal_geometry();
        break;
    case QEvent::Move:
    case QEvent::Resize:
        refresh_normal_geometry();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

void VyrMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_message_dock_sized) {
        // The message window gets its 100 pixels once the window is laid out;
        // the dock adds its title and the tab bar, which with today's fonts
        // would otherwise leave no room for a single row.
        m_message_dock_sized = true;
        layout()->activate();
        const int chrome = m_message_dock->height() - m_message_window->height();
        resizeDocks({m_message_dock}, {message_window_height + chrome}, Qt::Vertical);
    }
}

void VyrMain::refresh_normal_geometry()
{
    if (!m_is_maximized && !m_is_minimized)
        m_normal_geometry = geometry();
}

void VyrMain::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_workspace_size_timer && m_current_workspace && m_wanted_workspace_width &&
        m_wanted_workspace_height) {
        const int dw = m_wanted_workspace_width - m_current_workspace->width();
        const int dh = m_wanted_workspace_height - m_current_workspace->height();
        if (dw || dh)
            resize(width() + dw, height() + dh);
    }
    if (event->timerId() == m_workspace_size_timer)
        m_workspace_size_timer = 0;
    killTimer(event->timerId());
}
