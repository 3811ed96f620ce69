#include "app/vyr_startup.h"

#include "app/shell/settings_store.h"
#include "app/shell/vyr_app_state.h"
#include "app/vyr_dialog_disclaimer.h"
#include "app/vyr_active_x.h"
#include "app/vyr_dialog_log_to_file_ascii_parameters.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_pictures.h"
#include "app/vyr_service.h"
#include "app/vyr_sys_if.h"
#include "app/vyr_termination_signals.h"
#include "app/vyr_test_hooks.h"
#include "interfaces/widgets/interface_dialog_services.h"
#include "core/path_util.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_question.h"
#include "core/widgets/vyr_message_box_question.h"
#include "core/vyr_os_version.h"
#include "core/vyr_question.h"
#include "core/widgets/vyr_message_box_question.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "platform/display.h"
#include "platform/named_mutex.h"
#include "platform/rt_clock_device.h"
#include "widgets/vyr_splash.h"
#include "windows/triggers/vyr_dialog_trigger_cond_settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <sched.h>
#include <string>
#include <unistd.h>

const char *const built_in_disclaimer_text =
    "<p><b>Machines and vehicles that are controlled by computers can fail when the network they depend on is "
    "disturbed.</b> This program sends and receives messages on such networks and can disturb them.</p>"
    "<p>Do not use it where a failure of a machine or vehicle could injure persons or damage property, and never "
    "as the only means to control or watch such systems.</p>"
    "<p>The makers of this program take no liability for any damage that results from its use.</p>"
    "<p>By pressing <b>Accept</b> you agree to these terms.</p>";

namespace {

// The name of the marker that tells other programs that vyr runs.
constexpr const char *running_marker_name = "VYR_APP_RUNNING";

// The toolkit's platform plugin: the argument of "-platform", else
// QT_QPA_PLATFORM; empty for the toolkit's default.
std::string toolkit_platform_name(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    const char *name = std::getenv("QT_QPA_PLATFORM");
    return name ? name : "";
}

// What a process of vyr holds between start-up and shutdown.
class VyrProcess
{
public:
    // Start-up steps up to the application object; false when another
    // instance holds the single-instance mutex. A server started by the bus
    // for its clients takes no options and no single-instance rule.
    bool start(int argc, char **argv, const VyrStartOptions &options, bool server);
    // The rest of start-up and the event loop; answers the exit code.
    int run(int argc, char **argv);

private:
    void write_argument_lines(int argc, char **argv) const;
    void check_affinity();
    void open_clock_driver();
    void read_recent_configurations();
    void write_recent_configurations();
    void create_global_lists();
    void delete_global_lists();
    bool disclaimer_accepted();
    VyrSplash *show_splash();
    // Service mode: the service framework runs the main window; answers its
    // exit code after the teardown (the recent list is not saved).
    int run_service(char **argv);
    // The teardown that every path after the start-up hooks runs: the exit
    // hooks, the clock driver, the marker and the mutex.
    void release_process_resources();

    VyrAppState &state = vyr_app_state();
    bool m_server = false;
    std::unique_ptr<VyrAutomationServer> m_automation;
    platform::NamedMutex single_instance_mutex;
    platform::NamedMutex running_marker;
    std::unique_ptr<platform::RtClockDevice> clock_device;
    std::unique_ptr<VyrService> service;
};

void VyrProcess::write_argument_lines(int argc, char **argv) const
{
    for (int i = 0; i < argc; ++i)
        debug_trace("main:   arg[%d]='%s'", i, argv[i]);
}

void VyrProcess::check_affinity()
{
    cpu_set_t process_set;
    CPU_ZERO(&process_set);
    if (sched_getaffinity(0, sizeof process_set, &process_set) != 0)
        CPU_ZERO(&process_set);
    uint32_t process_mask = 0;
    for (int cpu = 0; cpu < 32; ++cpu)
        if (CPU_ISSET(cpu, &process_set))
            process_mask |= 1u << cpu;
    const long configured = sysconf(_SC_NPROCESSORS_CONF);
    const uint32_t system_mask = configured >= 32 ? ~0u : configured > 0 ? (1u << configured) - 1 : 0;
    debug_trace("main: Affinity masks: process=%08x, system=%08x", process_mask, system_mask);
    // The number of processors counts, not the mask's value: a process bound
    // to processor 2 alone has the mask 4 and still only one processor.
    if (!timer_cpu_possible(CPU_COUNT(&process_set))) {
        state.options.use_timercpu = false;
        debug_trace("main: Disable flag 'use_timercpu' because it requires a SMP or hyperthreading system");
    }
}

void VyrProcess::open_clock_driver()
{
    if (state.options.nortclockx || !vyr_os_version().nt_family)
        return;
    clock_device = platform::RtClockDevice::open();
    if (!clock_device)
        return;
    uint32_t version[4] = {};
    if (clock_device->control(platform::RtClockDevice::ioctl_get_version, nullptr, 0, version, sizeof version) != 0) {
        debug_trace("main: VYR: Access to rtclockx driver failed");
        clock_device.reset(); // not used further, so not kept open either
        return;
    }
    debug_trace("main: VYR: Using RTCLOCKX Driver, V%u.%u.%u, open_count=%u", version[0], version[1], version[2],
                version[3]);
    set_clock_driver_handle(clock_device.get());
}

void VyrProcess::read_recent_configurations()
{
    SettingsStore &store = settings_store();
    store.begin_group("ConfigLRU");
    for (char letter = 't'; letter >= 'a'; --letter) {
        const char key[2] = {letter, '\0'};
        const QString name = store.read_entry(key);
        if (!name.isEmpty())
            config_lru().add(name.toLocal8Bit().constData());
    }
    store.end_group();
}

void VyrProcess::write_recent_configurations()
{
    SettingsStore &store = settings_store();
    store.begin_group("ConfigLRU");
    for (int i = 0; i < config_lru().count(); ++i) {
        const char key[2] = {char('a' + i), '\0'};
        store.write_entry(key, QFileInfo(QString::fromLocal8Bit(config_lru().at(i))).absoluteFilePath());
    }
    store.end_group();
    store.sync();
}

void VyrProcess::create_global_lists()
{
    VyrEnvVarList::set_instance(new VyrEnvVarList());
    VyrTriggerList::set_instance(new VyrTriggerList());
    add_running_trigger(VyrTriggerList::instance())
        ->set_comment(QCoreApplication::translate("VyrMain", "Is set when measurement is started"));
    VyrTriggerCondList::set_instance(new VyrTriggerCondList());
}

void VyrProcess::delete_global_lists()
{
    delete VyrTriggerList::instance();
    VyrTriggerList::set_instance(nullptr);
    delete VyrTriggerCondList::instance();
    VyrTriggerCondList::set_instance(nullptr);
    delete VyrGlobalAccel::instance();
    VyrGlobalAccel::set_instance(nullptr);
    delete VyrEnvVarList::instance();
    VyrEnvVarList::set_instance(nullptr);
    delete VyrSysIf::instance();
    VyrSysIf::set_instance(nullptr);
}

bool VyrProcess::disclaimer_accepted()
{
    QString text = QCoreApplication::translate("VyrMain", "DummyDisclaimer");
    if (text == QLatin1String("DummyDisclaimer"))
        text = QString::fromLatin1(built_in_disclaimer_text);
    auto *dialog = new VyrDialogDisclaimer(nullptr, "vyr_dialog_disclaimer", true);
    dialog->show_text(text);
    answer_disclaimer_when_asked(dialog);
    const int result = dialog->exec();
    delete dialog;
    return result == QDialog::Accepted;
}

VyrSplash *VyrProcess::show_splash()
{
    auto *splash = new VyrSplash(nullptr, splash_picture());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    splash->move(screen.width() / 2 - splash->width() / 2, screen.height() / 2 - splash->height() / 2);
    splash->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    QThread::msleep(500);
    return splash;
}

void VyrProcess::release_process_resources()
{
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next())
        call_exit_hook(type);
    delete_global_lists();
    debug_trace("main: rtclockx_handle=%p", static_cast<void *>(clock_device.get()));
    set_clock_driver_handle(nullptr);
    clock_device.reset();
    service.reset();
    running_marker.close();
    single_instance_mutex.close();
}

bool VyrProcess::start(int argc, char **argv, const VyrStartOptions &options, bool server)
{
    m_server = server;
    debug_trace("main: isServer() = %d, argc = %d", int(server), argc);
    write_argument_lines(argc, argv);

    state.options = server ? VyrStartOptions() : options;
    const QString command_line_file = resolve_file_argument(state.options.file_argument);

    const std::string mutex_name = state.options.mutex_name.toStdString();
    if (!mutex_name.empty()) {
        if (platform::NamedMutex::exists(mutex_name)) {
            debug_trace("main: Mutex Alreay Exists");
            return false;
        }
        if (!single_instance_mutex.create(mutex_name))
            debug_trace("main: Create Mutex FAILED");
    }
    if (state.options.use_timercpu)
        check_affinity();
    if (state.options.use_timercpu)
        state.options.use_timerevents = false;
    VyrAppOptions &thread_options = vyr_app_options();
    thread_options.nort = state.options.nort;
    thread_options.nice = state.options.nice;
    thread_options.use_timerevents = state.options.use_timerevents;
    thread_options.use_timercpu = state.options.use_timercpu;

    state.program_directory = QDir::fromNativeSeparators(application_dir_path());
    state.help_language_mask = installed_help_languages(state.program_directory);
    open_clock_driver();
    write_argument_lines(argc, argv);
    service = std::make_unique<VyrService>();
    debug_trace("main: VyrService: installed=%d, running=%d", service->is_installed(), service->is_running());

    read_recent_configurations();
    QString file = command_line_file;
    if (!state.options.noreopen) {
        file = choose_configuration_file(command_line_file, false, config_lru(), state.program_directory);
        if (!file.isEmpty() && QFileInfo::exists(file))
            config_lru().add(file.toLocal8Bit().constData());
    }

    create_global_lists();
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next())
        call_start_up_hook(type);
    running_marker.create(running_marker_name);

    replace_configuration(new QtbConfig(file));
    state.configuration->read();
    return true;
}

int VyrProcess::run_service(char **argv)
{
    debug_trace("main: Start SERVICE");
    // No one sits at a service: its questions become lines of the message
    // window, answered with the button that changes nothing.
    VyrService *vyr_service = service.get();
    set_vyr_question_function([vyr_service](QWidget *, const QString &title, const QString &text,
                                            const QStringList &buttons, VyrQuestionIcon icon) {
        if (VyrMain *window = vyr_service->main_window())
            window->log_message(icon == VyrQuestionIcon::critical  ? VyrMessageLog::error
                                : icon == VyrQuestionIcon::warning ? VyrMessageLog::warning
                                                                   : VyrMessageLog::info,
                                title + QLatin1String(": ") + text + QLatin1Char('\n'));
        return int(buttons.size()) - 1;
    });
    const int exit_code = service->exec(1, argv);
    set_vyr_question_function(nullptr);
    replace_configuration(nullptr);
    release_process_resources();
    return exit_code;
}

int VyrProcess::run(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setStyle(new VyrWindowsStyle());
    install_ascii_parameters_dialog();
    install_interface_dialogs();
    install_trigger_cond_editors();
    if (state.options.service && service->is_installed() && service->is_running())
        return run_service(argv);
    set_vyr_question_function(vyr_message_box_question);

    // A termination signal ends the program as closing its window does, but
    // asks nothing; before the window is there it leaves every event loop
    // (the disclaimer's too). Open questions are closed first, a question box
    // answering the button that changes nothing, and the window closes only
    // once they have returned: the code that asked belongs to the window.
    VyrTerminationSignals termination;
    QPointer<VyrMain> window_for_signals;
    std::function<void()> end_without_questions = [&window_for_signals, &termination, &end_without_questions] {
        if (VyrOpenQuestion::count() > 0) {
            VyrOpenQuestion::close_all();
            QTimer::singleShot(0, &termination, end_without_questions);
            return;
        }
        if (window_for_signals)
            window_for_signals->close_without_questions();
        else
            QCoreApplication::exit(1);
    };
    QObject::connect(&termination, &VyrTerminationSignals::received, [&end_without_questions](int signal_number) {
        debug_trace("main: %s: ending without questions", strsignal(signal_number));
        end_without_questions();
    });

    state.help_language = settings_store().read_number("OnlineHelpLanguage", 0);

    if (!state.options.nodisclaimer && !settings_store().read_bool("DisableDisclaimerWindow", false) &&
        !disclaimer_accepted()) {
        replace_configuration(nullptr);
        release_process_resources();
        return 1;
    }

    QPointer<VyrSplash> splash;
    if (!state.options.nosplash && !settings_store().read_bool("DisableSplashWindow", false))
        splash = show_splash();

    auto *main_window = new VyrMain();
    main_window->setObjectName(QStringLiteral("VyrMain"));
    window_for_signals = main_window;
    // The main window is the application's main widget: the program ends with
    // it, even while the splash is still up.
    QObject::connect(main_window, &QObject::destroyed, &application, &QCoreApplication::quit);
    main_window->show();
    main_window->setup();

    // Automation clients reach the window from here on.
    m_automation = std::make_unique<VyrAutomationServer>(m_server, [window = QPointer<VyrMain>(main_window)] {
        if (window)
            window->close_without_questions();
    });
    if (!m_automation->publish() && m_server) {
        // Started for clients that cannot reach it: nothing would ever end it.
        debug_trace("main: the automation server cannot publish itself");
        main_window->close_without_questions();
    }

    if (splash)
        splash->start_close_timer(5000);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    if (state.options.minimized)
        main_window->showMinimized();
    report_main_window_when_asked(main_window);

    const QPointer<VyrMain> window_guard(main_window);
    const int exit_code = application.exec();
    // The closed window is deleted later; its interfaces must be gone before
    // the exit hooks take their drivers away.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete window_guard.data();
    m_automation.reset();
    delete splash.data(); // when the program ends before the splash closed itself

    write_recent_configurations();
    replace_configuration(nullptr);
    release_process_resources();
    return exit_code;
}

// The switches of the automation server that end the program before any
// window: "-regserver" and "-unregserver" write or remove the bus's service
// file, "-dumpidl FILE" writes the objects' introspection XML. Answers the
// exit code, or -1 when the command line holds none of them.
int run_automation_switch(const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("-regserver")))
        return vyr_automation::register_server(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))) ? 0 : 1;
    if (arguments.contains(QStringLiteral("-unregserver")))
        return vyr_automation::unregister_server() ? 0 : 1;
    const int dump = arguments.indexOf(QStringLiteral("-dumpidl"));
    if (dump < 0)
        return -1;
    if (dump + 1 >= arguments.size())
        return 1;
    QFile file(arguments.at(dump + 1));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    file.write(vyr_automation::interface_xml().toUtf8());
    return file.error() == QFileDevice::NoError ? 0 : 1;
}

} // namespace

int vyr_main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const int switch_result = run_automation_switch(arguments);
    if (switch_result >= 0)
        return switch_result;
    const bool server = arguments.contains(QStringLiteral("-activex"));
    const VyrStartOptions options = parse_start_options(arguments);
    if (options.help && !server) {
        std::fputs(start_options_usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    VyrTerminationSignals::block();
    // Before anything starts (the start-up hooks start the virtual bus
    // daemon): without its display the toolkit ends the process with a core
    // dump, and the daemon would stay.
    const std::string no_display = platform::missing_display_reason(toolkit_platform_name(argc, argv));
    if (!no_display.empty()) {
        std::fprintf(stderr, "vyr: %s\n", no_display.c_str());
        return 1;
    }
    VyrProcess process;
    if (!process.start(argc, argv, options, server))
        return 1;
    return process.run(argc, argv);
}
