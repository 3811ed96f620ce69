#include "app/vyr_main.h"

#include "app/vyr_app_state.h"
#include "app/vyr_application_event_watcher.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_pictures.h"
#include "app/vyr_power_events.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/time_base.h"
#include "core/timer_wheel.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_os_version.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
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

constexpr int version_major = 3;
constexpr int version_minor = 8;
constexpr const char *version_suffix = "SR41";
constexpr int release_day = 5;
constexpr int release_month = 1;
constexpr int release_year = 2021;
constexpr unsigned escape_key = 0x1000;

// What the data windows need of the main window: itself and its active workspace.
class VyrMainShellServices : public VyrShellServices
{
public:
    explicit VyrMainShellServices(VyrMain *main) : m_main(main) {}
    QWidget *main_window() const override { return m_main; }
    QMdiArea *active_workspace_widget() const override { return m_main->current_workspace; }
    int active_workspace_id() const override { return m_main->current_workspace_id; }

private:
    VyrMain *m_main;
};

} // namespace

VyrMain::VyrMain(QWidget *parent)
    : QMainWindow(parent),
      m_message_lines([this](int flags, const std::string &row) {
          // The message window takes rows from any thread under its own mutex.
          if (message_window)
              message_window->add_message(flags, row.c_str());
      })
{
    setAttribute(Qt::WA_DeleteOnClose);
    working_directory = QDir::current();
    if (VyrTriggerList *triggers = VyrTriggerList::instance()) {
        if (VyrTriggerCondList *conditions = VyrTriggerCondList::instance())
            connect(triggers, &VyrTriggerList::trigger_removed, conditions, &VyrTriggerCondList::trigger_removed);
        if (VyrTrigger *running = triggers->find(QStringLiteral("Running")))
            running->set_comment(tr("Is set when measurement is started"));
    }

    // The table is the program's: shutdown deletes it after the window.
    if (!VyrGlobalAccel::instance())
        VyrGlobalAccel::set_instance(new VyrGlobalAccel(VyrGlobalAccel::program_bucket_count));
    accel_stop = new VyrGlobalAccelItem(VyrGlobalAccel::instance(), escape_key);
    connect(accel_stop, &VyrGlobalAccelItem::activated, this, &VyrMain::stop);

    listen_socket = new VyrListenSocket(1, this, "listen_socket");
    connect(listen_socket, &VyrListenSocket::connected, this, &VyrMain::listen_socket_connected);

    timer_wheel = new TimerWheel(1024, 0, 1, 200);
    set_main_timer_wheel(timer_wheel);

    signal_if_notification = new VyrSignalIfNotification(this, this);
    connect(signal_if_notification, &VyrSignalIfNotification::interface_configuration_changed, this,
            &VyrMain::configuration_changed);
    connect(signal_if_notification, &VyrSignalIfNotification::interface_removed, this, &VyrMain::configuration_changed);

    build_menus();
    build_central_area();
    build_message_area();
    build_status_bar();
    build_toolbar();
    m_shell_services = std::make_unique<VyrMainShellServices>(this);
    set_shell_services(m_shell_services.get());

    setWindowIcon(program_icon());
    setWindowIconText(QStringLiteral("Vyr"));
    setWindowTitle(QStringLiteral("Vyr"));

    event_watcher = new VyrApplicationEventWatcher(this);
    qApp->installEventFilter(event_watcher);
    power_events = new VyrPowerEvents(this);
    connect(power_events, &VyrPowerEvents::power_event, this, &VyrMain::power_event);

    configuration_modified = false;
    show_state();
}

VyrMain::~VyrMain()
{
    // Hiding the tool bar while the widgets go would rebuild it in a window
    // that is no longer there.
    if (tool_bar)
        disconnect(tool_bar, nullptr, this, nullptr);
    delete accel_stop;
    // The windows go while the main window is whole: they report their going to it.
    for (VyrDataWindow *window : findChildren<VyrDataWindow *>()) {
        QMdiSubWindow *frame = window->sub_window();
        delete (frame ? static_cast<QWidget *>(frame) : window);
    }
    if (shell_services() == m_shell_services.get())
        set_shell_services(nullptr);
    delete_interfaces();
    set_main_timer_wheel(nullptr);
    delete timer_wheel;
}

void VyrMain::build_central_area()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);

    workspace_tab_bar = new VyrTabBar(central, "main_window_tab_bar");
    const int default_tab = workspace_tab_bar->addTab(QStringLiteral("Default Workspace"));
    workspace_tab_bar->set_workspace_id(default_tab, 0);
    current_workspace_id = 0;
    layout->addWidget(workspace_tab_bar);

    workspace_stack = new QStackedWidget(central);
    workspace_stack->setObjectName(QStringLiteral("workspace_stack"));
    current_workspace = new VyrWorkspace(workspace_stack, "default_workspace");
    current_workspace->setBackground(QColor(Qt::darkGray));
    workspace_stack->insertWidget(default_tab, current_workspace);
    layout->addWidget(workspace_stack);
    setCentralWidget(central);

    connect(workspace_tab_bar, &QTabBar::currentChanged, this, &VyrMain::workspace_selected);
    connect(current_workspace, &VyrWorkspace::right_button_pressed, this, &VyrMain::display_workspace_context_menu);
    connect(workspace_tab_bar, &VyrTabBar::double_clicked, this, &VyrMain::rename_workspace);
}

void VyrMain::build_message_area()
{
    message_dock = new QDockWidget(this);
    message_dock->setObjectName(QStringLiteral("message_dock"));
    message_dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                              QDockWidget::DockWidgetFloatable);
    message_tabs = new QTabWidget(message_dock);
    message_tabs->setObjectName(QStringLiteral("message_tabs"));
    message_tabs->setTabShape(QTabWidget::Triangular);
    message_tabs->setTabPosition(QTabWidget::South);

    message_window = new VyrRtLog(message_tabs);
    message_window->setObjectName(QStringLiteral("message_window"));
    message_window->set_config_key(QStringLiteral("rt_log"));
    message_window->set_column_count(1);
    message_window->set_column(0, QStringLiteral("Message"), QStringLiteral("Output Message"), 250);
    message_window->apply_columns();
    // Low enough for its 100 pixels; the user may pull the dock higher or lower.
    message_window->setMinimumHeight(20);
    message_tabs->addTab(message_window, tr("All Messages"));

    message_dock->setWidget(message_tabs);
    message_dock->setWindowTitle(QStringLiteral("Message Window"));
    addDockWidget(Qt::BottomDockWidgetArea, message_dock);
    message_dock->show();
}

void VyrMain::build_status_bar()
{
    status_bar = statusBar();
    label_working_directory = new VyrPrefixLabel(QStringLiteral("<nobr>Working Directory:</nobr>"), status_bar);
    label_working_directory->setObjectName(QStringLiteral("label_working_directory"));
    label_config_file = new VyrPrefixLabel(QStringLiteral("<nobr>Config File:</nobr>"), status_bar);
    label_config_file->setObjectName(QStringLiteral("label_config_file"));
    status_bar->addWidget(label_working_directory, 10);
    status_bar->addWidget(label_config_file, 10);
    label_working_directory->setText(QDir::toNativeSeparators(working_directory.absolutePath()));
    label_config_file->setText(get_configuration_filename());
}

void VyrMain::setup()
{
    char banner[200];
    snprintf(banner, sizeof banner, "Vyr V%d.%d%s / %02d.%02d.%04d (compiled: %s)\n", version_major, version_minor,
             version_suffix, release_day, release_month, release_year, __DATE__);
    log_message(VyrMessageLog::info, banner);
    log_message_info(tr("Running on: %1").arg(QString::fromStdString(vyr_os_version().text)) + QLatin1Char('\n'));

    if (load_configuration(vyr_app_state().configuration) < 0) {
        create_default_interfaces();
        open_default_windows();
        configuration_modified = false;
    }
    log_message_info(tr("Setup done.") + QLatin1Char('\n'));
    if (vyr_app_state().options.start)
        post_vyr_event(this, new VyrCustomEvent(vyr_event_start));
}

QString VyrMain::get_configuration_filename() const
{
    const QtbConfig *config = vyr_app_state().configuration;
    return config ? config->file_name() : QString();
}

void VyrMain::create_default_interfaces()
{
    if (!find_signal_if_type("CAN"))
        return;
    if (std::unique_ptr<VyrSignalIf> created = create_signal_if("CAN", nullptr, this, signal_if_notification)) {
        created->init_new();
        created.release(); // kept in the global interface list until delete_interfaces
    }
}

void VyrMain::delete_interfaces()
{
    while (VyrSignalIf *interface = get_first_signal_if()) {
        emit signal_if_notification->interface_removed(QString::fromStdString(interface->make_id()));
        delete interface;
    }
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
    workspace_stack->setCurrentIndex(index);
    current_workspace = qobject_cast<VyrWorkspace *>(workspace_stack->currentWidget());
    const int id = workspace_tab_bar->workspace_id(index);
    if (id < 0) {
        debug_trace("VyrMain::workspace_selected: Workspace id %d not found", index);
        return;
    }
    current_workspace_id = id;
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
    if (socket != listen_socket) {
        delete connection;
        return;
    }
    delete help_connection;
    help_connection = connection;
}

bool VyrMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowStateChange:
        is_maximized = windowState() & Qt::WindowMaximized;
        is_minimized = windowState() & Qt::WindowMinimized;
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
        const int chrome = message_dock->height() - message_window->height();
        resizeDocks({message_dock}, {message_window_height + chrome}, Qt::Vertical);
    }
}

void VyrMain::refresh_normal_geometry()
{
    if (!is_maximized && !is_minimized)
        normal_geometry = geometry();
}

void VyrMain::timerEvent(QTimerEvent *event)
{
    if (countdown_timer && event->timerId() == countdown_timer) {
        countdown_tick();
        return;
    }
    if (event->timerId() == workspace_size_timer && current_workspace && wanted_workspace_width &&
        wanted_workspace_height) {
        const int dw = wanted_workspace_width - current_workspace->width();
        const int dh = wanted_workspace_height - current_workspace->height();
        if (dw || dh)
            resize(width() + dw, height() + dh);
    }
    if (event->timerId() == workspace_size_timer)
        workspace_size_timer = 0;
    killTimer(event->timerId());
}
