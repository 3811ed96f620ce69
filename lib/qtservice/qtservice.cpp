#include "lib/qtservice/qtservice.h"

#include "platform/runtime_directory.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

QtService *the_instance = nullptr;

constexpr int max_name_length = 255;
constexpr int terminate_wait_ms = 10000;
constexpr int terminate_poll_ms = 200;
constexpr int manager_timeout_ms = 10000;

const char *const usage_text =
    "<service> -[i|u|e|s|v]\n\n"
    "\t-i(nstall)\t: Install the service\n"
    "\t-u(ninstall)\t: Uninstall the service\n"
    "\t-e(xec)\t\t: Execute the service\n"
    "\t\t\t  If the service is not installed, run it as a regular program\n"
    "\t-t(erminate)\t: Stop the service\n"
    "\t-v(ersion)\t: Print version and status information\n";

// Fills a socket address with a path; an abstract address when it begins
// with "@" (as NOTIFY_SOCKET may). False when the path does not fit.
bool make_address(const QByteArray &path, sockaddr_un &address, socklen_t &length)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    if (path.startsWith('@'))
        address.sun_path[0] = '\0';
    length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
    return true;
}

// One datagram to the socket at the path; false when it cannot be sent.
bool send_datagram(const QByteArray &path, const QByteArray &payload)
{
    sockaddr_un address;
    socklen_t length;
    if (!make_address(path, address, length))
        return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool sent = sendto(fd, payload.constData(), size_t(payload.size()), MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr *>(&address), length) == payload.size();
    const int saved_errno = errno;
    ::close(fd);
    errno = saved_errno;
    return sent;
}

QString program_file_path()
{
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? QFile::decodeName(QByteArray(buffer, int(length))) : QString();
}

bool environment_set(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value;
}

// Runs systemctl on the user's manager; its exit code, or -1 when it did not
// run to its end.
int run_systemctl(const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForFinished(manager_timeout_ms)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A user manager runs and answers (it is not there in a plain login without
// systemd, in containers, or when the session bus is not reachable).
bool user_manager_answers()
{
    QString state;
    run_systemctl({QStringLiteral("is-system-running")}, &state);
    return !state.isEmpty() && state != QLatin1String("offline") && state != QLatin1String("unknown");
}

// Whether some process holds the lock file exclusively.
bool lock_held(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

sigset_t control_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

QString escape_for_unit(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': escaped += QLatin1String("\\\\"); break;
        case '"': escaped += QLatin1String("\\\""); break;
        case '\n': escaped += QLatin1String("\\n"); break;
        case '\t': escaped += QLatin1String("\\t"); break;
        case '%': escaped += QLatin1String("%%"); break;
        case '$': escaped += QLatin1String("$$"); break;
        default: escaped += c;
        }
    }
    return escaped;
}

} // namespace

class QtServicePrivate
{
public:
    explicit QtServicePrivate(QtService *service) : m_service(service) {}

    // The name towards the system: up to the first backslash.
    QString system_name() const { return m_name.section(QChar(0), 0, 0); }
    QString unit_name() const;
    QString runtime_file(const char *suffix) const;

    void set_state(int state);
    // The control handler: the codes of the control socket and SIGTERM.
    void control(int code);
    bool send_control(int code);
    void serve_controls();
    // Takes the lock and opens the control socket; false when another
    // instance holds the lock.
    bool open_runtime_files();
    void close_runtime_files();

    QtService *m_service;
    QString m_name;
    QString m_description;
    int m_start_kind = 1;
    QString m_program_path;
    // The arguments exec hands the service's run.
    int m_argument_count = 0;
    char **m_arguments = nullptr;

    // The state words, written by the control thread and the GUI thread.
    mutable std::mutex m_status_mutex;
    int m_state = QtService::stopped;
    int m_exit_code = 0;
    // True while start_service runs the service: only then the manager hears of states.
    bool m_serving = false;

    int m_lock_fd = -1;
    int m_control_fd = -1;
    int m_signal_fd = -1;
    int m_wake_fd = -1;
    std::thread m_control_thread;
};

QString QtServicePrivate::unit_name() const
{
    QString unit;
    for (const QChar c : system_name().toLower())
        unit += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') || c == QLatin1Char('_') ||
                        c == QLatin1Char('.')
                    ? c
                    : QLatin1Char('_');
    return unit.isEmpty() ? QStringLiteral("service") : unit;
}

QString QtServicePrivate::runtime_file(const char *suffix) const
{
    const std::string directory = platform::runtime_directory();
    if (directory.empty())
        return QString();
    return QFile::decodeName(QByteArray::fromStdString(directory)) + QLatin1Char('/') + unit_name() +
           QLatin1String(".service") + QLatin1String(suffix);
}

void QtServicePrivate::set_state(int state)
{
    std::lock_guard<std::mutex> lock(m_status_mutex);
    m_state = state;
    if (!m_serving)
        return;
    QByteArray message;
    switch (state) {
    case QtService::running: message = "READY=1\nSTATUS=Running"; break;
    case QtService::paused: message = "STATUS=Paused"; break;
    case QtService::stop_pending: message = "STOPPING=1"; break;
    default: return;
    }
    const QByteArray notify_socket = qgetenv("NOTIFY_SOCKET");
    if (!notify_socket.isEmpty())
        send_datagram(notify_socket, message);
}

void QtServicePrivate::control(int code)
{
    switch (code) {
    case 1:
        set_state(QtService::stop_pending);
        m_service->stop();
        if (QCoreApplication *application = QCoreApplication::instance())
            if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(application->thread()))
                dispatcher->wakeUp();
        break;
    case 2:
        set_state(QtService::pause_pending);
        m_service->pause();
        set_state(QtService::paused);
        break;
    case 3:
        set_state(QtService::continue_pending);
        m_service->resume();
        set_state(QtService::running);
        break;
    default:
        if (code >= 128 && code <= 255)
            m_service->user(code - 128);
        break; // 4 (interrogate) and the rest ask nothing
    }
}

bool QtServicePrivate::send_control(int code)
{
    const int32_t word = code;
    return send_datagram(QFile::encodeName(runtime_file(".sock")),
                         QByteArray(reinterpret_cast<const char *>(&word), sizeof word));
}

void QtServicePrivate::serve_controls()
{
    pollfd fds[3] = {{m_wake_fd, POLLIN, 0}, {m_signal_fd, POLLIN, 0}, {m_control_fd, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (fds[1].revents) {
            signalfd_siginfo info;
            while (read(m_signal_fd, &info, sizeof info) == ssize_t(sizeof info))
                if (info.ssi_signo != SIGHUP) // the user's log-off: the service stays
                    control(1);
        }
        if (fds[2].revents) {
            int32_t code = 0;
            while (recv(m_control_fd, &code, sizeof code, MSG_DONTWAIT) == ssize_t(sizeof code))
                control(code);
        }
    }
}

bool QtServicePrivate::open_runtime_files()
{
    const QString lock_path = runtime_file(".lock");
    if (lock_path.isEmpty())
        return false;
    m_lock_fd = ::open(QFile::encodeName(lock_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock_fd < 0)
        return false;
    if (flock(m_lock_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_lock_fd);
        m_lock_fd = -1;
        return false;
    }
    const QByteArray pid = QByteArray::number(qint64(getpid())) + '\n';
    if (ftruncate(m_lock_fd, 0) != 0 || write(m_lock_fd, pid.constData(), size_t(pid.size())) != pid.size())
        qWarning("QtService: cannot write the process id to %s", qPrintable(lock_path));

    const QByteArray socket_path = QFile::encodeName(runtime_file(".sock"));
    sockaddr_un address;
    socklen_t length;
    if (!make_address(socket_path, address, length))
        return false;
    unlink(socket_path.constData()); // a crashed instance's; the lock says none runs
    m_control_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_control_fd < 0 || bind(m_control_fd, reinterpret_cast<const sockaddr *>(&address), length) != 0)
        return false;
    chmod(socket_path.constData(), 0600);

    const sigset_t control_set = control_signals();
    m_signal_fd = signalfd(-1, &control_set, SFD_NONBLOCK | SFD_CLOEXEC);
    m_wake_fd = eventfd(0, EFD_CLOEXEC);
    return m_signal_fd >= 0 && m_wake_fd >= 0;
}

void QtServicePrivate::close_runtime_files()
{
    for (int *fd : {&m_control_fd, &m_signal_fd, &m_wake_fd})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    if (m_lock_fd >= 0) {
        unlink(QFile::encodeName(runtime_file(".sock")).constData());
        unlink(QFile::encodeName(runtime_file(".lock")).constData());
        ::close(m_lock_fd);
        m_lock_fd = -1;
    }
}

QtService::QtService(const QString &name, const QString &description, int start_kind)
    : m_private(new QtServicePrivate(this))
{
    if (the_instance)
        qFatal("Only one instance of QtService can exist.");
    QString service_name = name;
    if (service_name.length() > max_name_length) {
        qWarning("QtService: 'name' is longer than %d characters.", max_name_length);
        service_name.truncate(max_name_length);
    }
    if (service_name.contains(QLatin1Char('\\'))) {
        qWarning("QtService: 'name' contains backslashes '\\'.");
        service_name.replace(QLatin1Char('\\'), QChar(0));
    }
    m_private->m_name = service_name;
    m_private->m_description = description;
    m_private->m_start_kind = start_kind;
    m_private->m_program_path = program_file_path();
    the_instance = this;
}

QtService::~QtService()
{
    if (the_instance == this)
        the_instance = nullptr;
}

QtService *QtService::instance()
{
    return the_instance;
}

QString QtService::name() const
{
    return m_private->m_name;
}

QString QtService::description() const
{
    return m_private->m_description;
}

int QtService::start_kind() const
{
    return m_private->m_start_kind;
}

int QtService::state() const
{
    std::lock_guard<std::mutex> lock(m_private->m_status_mutex);
    return m_private->m_state;
}

QString QtService::unit_file_path() const
{
    QString config = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    return config + QLatin1String("/systemd/user/") + m_private->unit_name() + QLatin1String(".service");
}

QString QtService::lock_file_path() const
{
    return m_private->runtime_file(".lock");
}

QString QtService::control_socket_path() const
{
    return m_private->runtime_file(".sock");
}

QString QtService::quote_unit_argument(const QString &argument)
{
    return QLatin1Char('"') + escape_for_unit(argument) + QLatin1Char('"');
}

QStringList QtService::split_unit_command(const QString &command)
{
    QStringList arguments;
    QString current;
    bool in_word = false;
    QChar quote;
    for (int i = 0; i < command.length(); ++i) {
        const QChar c = command.at(i);
        if (quote.isNull() && c.isSpace()) {
            if (in_word)
                arguments << current;
            current.clear();
            in_word = false;
            continue;
        }
        in_word = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            if (quote.isNull())
                quote = c;
            else if (quote == c)
                quote = QChar();
            else
                current += c;
        } else if (c == QLatin1Char('\\') && i + 1 < command.length()) {
            const QChar next = command.at(++i);
            current += next == QLatin1Char('n') ? QChar('\n') : next == QLatin1Char('t') ? QChar('\t') : next;
        } else if ((c == QLatin1Char('%') || c == QLatin1Char('$')) && i + 1 < command.length() &&
                   command.at(i + 1) == c) {
            current += c;
            ++i;
        } else {
            current += c;
        }
    }
    if (in_word)
        arguments << current;
    return arguments;
}

bool QtService::is_installed()
{
    return QFileInfo::exists(unit_file_path());
}

bool QtService::is_running()
{
    return environment_set("NOTIFY_SOCKET") || environment_set("INVOCATION_ID") || lock_held(lock_file_path());
}

bool QtService::install(const QString &extra_argument)
{
    const QString path = unit_file_path();
    QString command = quote_unit_argument(m_private->m_program_path) + QLatin1String(" -service");
    if (!extra_argument.isEmpty())
        command += QLatin1Char(' ') + quote_unit_argument(extra_argument);
    const QString description = m_private->m_description.isEmpty() ? m_private->system_name()
                                                                   : m_private->m_description;
    QFile file(path);
    bool written = QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (written) {
        QTextStream out(&file);
        out.setCodec("UTF-8");
        // A description is plain text: only its specifiers ("%") are read.
        out << "[Unit]\nDescription=" << QString(description).replace(QLatin1Char('%'), QLatin1String("%%"))
            << "\n\n[Service]\nType=notify\nExecStart=" << command
            << "\nEnvironment=QT_QPA_PLATFORM=offscreen\n\n[Install]\nWantedBy=default.target\n";
        out.flush();
        written = out.status() == QTextStream::Ok && file.error() == QFile::NoError;
        file.close();
    }
    if (!written) {
        QFile::remove(path);
        report_event(QStringLiteral("Installing the service failed"), error);
        return false;
    }
    if (user_manager_answers()) {
        run_systemctl({QStringLiteral("daemon-reload")});
        if (m_private->m_start_kind == 0)
            run_systemctl({QStringLiteral("enable"), m_private->unit_name() + QLatin1String(".service")});
    }
    report_event(QStringLiteral("Service installed"), success);
    return true;
}

bool QtService::uninstall()
{
    const bool manager = user_manager_answers();
    if (manager)
        run_systemctl({QStringLiteral("disable"), m_private->unit_name() + QLatin1String(".service")});
    const bool removed = QFile::remove(unit_file_path());
    if (manager)
        run_systemctl({QStringLiteral("daemon-reload")});
    report_event(removed ? QStringLiteral("Service uninstalled") : QStringLiteral("Uninstalling the service failed"),
                 removed ? success : error);
    return removed;
}

void QtService::report_event(const QString &message, int type, int event_id, unsigned category,
                             const QByteArray &data)
{
    // syslog's facility daemon with the severities error, warning and notice.
    constexpr int facility_daemon = 3 << 3;
    const int severity = type == error ? 3 : type == warning ? 4 : 5;
    QByteArray path = qgetenv("VYR_SYSLOG_SOCKET");
    if (path.isEmpty())
        path = "/dev/log";
    const QByteArray stamp = QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("MMM d hh:mm:ss")).toLatin1();
    QByteArray record = '<' + QByteArray::number(facility_daemon + severity) + '>' + stamp + ' ' +
                        m_private->system_name().toUtf8() + '[' + QByteArray::number(qint64(getpid())) + "]: " +
                        message.toUtf8();
    if (!data.isEmpty())
        record += " Data: " + data.toHex();
    send_datagram(path, record);
}

int QtService::execute(int argc, char **argv)
{
    if (!is_installed())
        return initialize() ? run(argc, argv) : -1;
    if (user_manager_answers()) {
        const int result = run_systemctl({QStringLiteral("start"), m_private->unit_name() + QLatin1String(".service")});
        if (result != 0)
            report_event(QStringLiteral("The Service failed to execute"), error);
        return result;
    }
    // No manager: the unit's own command, detached, with the unit's
    // environment and an invocation id that marks it as the started service.
    QStringList command;
    QFile unit(unit_file_path());
    if (unit.open(QIODevice::ReadOnly))
        for (const QByteArray &line : unit.readAll().split('\n'))
            if (line.startsWith("ExecStart="))
                command = split_unit_command(QString::fromUtf8(line.mid(int(std::strlen("ExecStart=")))));
    for (int i = 0; i < argc; ++i)
        command << QString::fromLocal8Bit(argv[i]);
    if (command.isEmpty()) {
        report_event(QStringLiteral("The Service failed to execute"), error);
        return -1;
    }
    QProcess process;
    process.setProgram(command.takeFirst());
    process.setArguments(command);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("INVOCATION_ID"),
                       QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0') +
                           QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0'));
    environment.remove(QStringLiteral("NOTIFY_SOCKET"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        report_event(QStringLiteral("The Service failed to execute"), error);
        return -1;
    }
    return 0;
}

bool QtService::terminate()
{
    if (!is_running())
        return true;
    if (!m_private->send_control(1))
        return false;
    const QString lock = lock_file_path();
    for (int waited = 0; lock_held(lock) && waited < terminate_wait_ms; waited += terminate_poll_ms)
        QThread::msleep(terminate_poll_ms);
    return !lock_held(lock);
}

void QtService::request_pause()
{
    if (is_running())
        m_private->send_control(2);
}

void QtService::request_resume()
{
    if (is_running())
        m_private->send_control(3);
}

void QtService::send_command(int code)
{
    if (code >= 0 && code <= 127 && is_running())
        m_private->send_control(code + 128);
}

void QtService::report_paused()
{
    m_private->set_state(paused);
}

void QtService::report_running()
{
    m_private->set_state(running);
}

bool QtService::start_service()
{
    QtServicePrivate &d = *m_private;
    const sigset_t control_set = control_signals();
    pthread_sigmask(SIG_BLOCK, &control_set, nullptr); // the control thread reads them
    if (!is_installed() || !d.open_runtime_files()) {
        d.close_runtime_files();
        report_event(QStringLiteral("The Service failed to start"), error);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(d.m_status_mutex);
        d.m_serving = true;
    }
    d.set_state(start_pending);
    int exit_code = 0;
    if (initialize()) {
        d.set_state(running);
        d.m_control_thread = std::thread([&d] { d.serve_controls(); });
        exit_code = run(d.m_argument_count, d.m_arguments);
        const uint64_t one = 1;
        if (write(d.m_wake_fd, &one, sizeof one) != ssize_t(sizeof one))
            qWarning("QtService: cannot wake the control thread");
        d.m_control_thread.join();
    }
    {
        std::lock_guard<std::mutex> lock(d.m_status_mutex);
        d.m_exit_code = exit_code;
    }
    d.set_state(stopped);
    {
        std::lock_guard<std::mutex> lock(d.m_status_mutex);
        d.m_serving = false;
    }
    d.close_runtime_files();
    return true;
}

void QtService::stop()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &QCoreApplication::quit, Qt::QueuedConnection);
}

int QtService::exec(int argc, char **argv)
{
    const QByteArray name = m_private->system_name().toLocal8Bit();
    if (argc < 2) {
        m_private->m_arguments = argv;
        m_private->m_argument_count = argc;
        if (!start_service()) {
            std::fprintf(stderr, "The service %s could not start\n", name.constData());
            return -4;
        }
        std::lock_guard<std::mutex> lock(m_private->m_status_mutex);
        return m_private->m_exit_code;
    }
    const QByteArray option = argv[1];
    if (option == "-i" || option == "-install") {
        if (is_installed()) {
            std::fprintf(stderr, "The service %s is already installed\n", name.constData());
        } else if (!install(QString())) {
            std::fprintf(stderr, "The service %s could not be installed\n", name.constData());
            return -1;
        }
    } else if (option == "-u" || option == "-uninstall") {
        if (!is_installed()) {
            std::fprintf(stderr, "The service %s is not installed\n", name.constData());
        } else if (!uninstall()) {
            const int reason = errno;
            std::fprintf(stderr, "The service %s could not be uninstalled\n", name.constData());
            qWarning("Reason for failure: %s", std::strerror(reason));
            return -1;
        }
    } else if (option == "-v" || option == "-version") {
        std::printf("The service\n\t%s\n\t%s\n\n", name.constData(), argv[0]);
        std::printf("is %s", is_installed() ? "installed" : "not installed");
        std::printf(" and %s\n\n", is_running() ? "running" : "not running");
    } else if (option == "-e" || option == "-exec") {
        const int result = execute(argc - 2, argv + 2);
        if (result != 0)
            qWarning("The service could not be started. (%d)", result);
        return result;
    } else if (option == "-t" || option == "-terminate") {
        if (!terminate())
            qWarning("The service could not be stopped. %s", std::strerror(errno));
    } else if (option == "-p" || option == "-pause") {
        request_pause();
    } else if (option == "-r" || option == "-resume") {
        request_resume();
    } else if (option == "-c" || option == "-command") {
        bool number = false;
        const int code = argc > 2 ? QByteArray(argv[2]).toInt(&number) : 0;
        send_command(number ? code : 0);
    } else {
        std::fputs(usage_text, stdout);
    }
    std::fflush(stdout);
    return 0;
}
