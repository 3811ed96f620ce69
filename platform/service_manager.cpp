#include "platform/service_manager.h"

#include "settings/debug_trace.h"
#include "platform/registry.h"
#include "platform/runtime_directory.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

constexpr const char *services_key = "SYSTEM\\CurrentControlSet\\Services\\";
constexpr int poll_interval_ms = 10;

std::string socket_path_of(const std::string &name)
{
    const std::string dir = runtime_directory();
    return dir.empty() ? std::string() : dir + "/" + name + ".sock";
}

// True when a connection to the daemon's socket is accepted. The probe
// connection is closed at once; the daemon sees a handle that never opened.
bool socket_answers(const std::string &path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}

// The environment of the daemon: this process's, with the runtime directory
// set and without the service manager's notification socket of this process
// (the daemon's readiness is not this process's).
std::vector<std::string> daemon_environment(const std::string &runtime_dir)
{
    const std::string runtime_key = "VRBUS_RUNTIME_DIR=";
    const std::string notify_key = "NOTIFY_SOCKET=";
    std::vector<std::string> entries;
    for (char **entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        if (text.compare(0, runtime_key.size(), runtime_key) != 0 && text.compare(0, notify_key.size(), notify_key) != 0)
            entries.push_back(text);
    }
    entries.push_back(runtime_key + runtime_dir);
    return entries;
}

// Runs the file in a new session with the runtime directory in its
// environment, its standard streams on /dev/null. -1 when fork fails.
pid_t spawn_daemon(const std::string &binary_path, const std::string &runtime_dir)
{
    // Everything the child needs is built before the fork: between fork and
    // exec only async-signal-safe calls are allowed.
    const std::vector<std::string> environment = daemon_environment(runtime_dir);
    std::vector<char *> envp;
    for (const std::string &entry : environment)
        envp.push_back(const_cast<char *>(entry.c_str()));
    envp.push_back(nullptr);
    char *const argv[] = {const_cast<char *>(binary_path.c_str()), nullptr};

    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    setsid();
    // The caller may block signals that it reads from a descriptor (the
    // program's termination signals): the daemon takes them as ever.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        dup2(null_fd, STDIN_FILENO);
        dup2(null_fd, STDOUT_FILENO);
        dup2(null_fd, STDERR_FILENO);
    }
    // No descriptor of the parent (lock files, sockets) may live on in the daemon.
    close_range(3, ~0u, 0);
    execve(binary_path.c_str(), argv, envp.data());
    _exit(127);
}

// Waits up to timeout_ms for the child to end; true when it was reaped.
bool reap_within(pid_t pid, int timeout_ms)
{
    for (int waited = 0;; waited += poll_interval_ms) {
        const pid_t result = waitpid(pid, nullptr, WNOHANG);
        if (result == pid || (result < 0 && errno == ECHILD))
            return true;
        if (waited >= timeout_ms)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(poll_interval_ms));
    }
}

} // namespace

ServiceManager &ServiceManager::instance()
{
    static ServiceManager manager;
    return manager;
}

ServiceManager::~ServiceManager()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_pid_ != getpid())
        return;
    while (!started_.empty())
        stop_locked(started_.begin());
}

int ServiceManager::create_service(const ServiceConfig &config)
{
    if (open_service(config.name))
        return service_error::EXISTS;
    Registry registry;
    const std::string key = services_key + config.name;
    if (registry.create_key(key) != 0)
        return service_error::ACCESS_DENIED;
    const bool written = registry.write_int(key, "Type", uint32_t(config.type)) == 0
                         && registry.write_int(key, "Start", uint32_t(config.start)) == 0
                         && registry.write_int(key, "ErrorControl", uint32_t(config.error_control)) == 0
                         && registry.write_string(key, "ImagePath", config.binary_path) == 0
                         && registry.write_string(key, "DisplayName", config.display_name) == 0;
    return written ? 0 : service_error::ACCESS_DENIED;
}

int ServiceManager::change_binary_path(const std::string &name, const std::string &binary_path)
{
    if (!open_service(name))
        return service_error::DOES_NOT_EXIST;
    return Registry().write_string(services_key + name, "ImagePath", binary_path) == 0 ? 0
                                                                                      : service_error::ACCESS_DENIED;
}

bool ServiceManager::open_service(const std::string &name, ServiceConfig *config)
{
    const Registry registry;
    const std::string key = services_key + name;
    if (name.empty() || !registry.key_exists(key))
        return false;
    if (config) {
        const auto read_int = [&](const char *value_name, int fallback) {
            uint32_t value;
            return registry.read_int(key, value_name, &value) ? int(value) : fallback;
        };
        config->name = name;
        registry.read_string(key, "DisplayName", &config->display_name);
        registry.read_string(key, "ImagePath", &config->binary_path);
        config->type = read_int("Type", ServiceConfig::kernel_driver);
        config->start = read_int("Start", ServiceConfig::demand_start);
        config->error_control = read_int("ErrorControl", 0);
    }
    return true;
}

int ServiceManager::start_service(const std::string &name)
{
    ServiceConfig config;
    if (!open_service(name, &config))
        return service_error::DOES_NOT_EXIST;
    // The check and the start happen under one lock, so two threads starting the
    // service at once cannot both find it stopped and start two daemons.
    std::lock_guard<std::mutex> lock(mutex_);
    if (is_running(name))
        return service_error::ALREADY_RUNNING;
    // A daemon of ours that does not answer any more is dead or dying: it
    // gets no successor beside it, nor stays a zombie.
    reap_ended_locked(name, timeout_ms_);
    for (auto daemon = started_.begin(); daemon != started_.end();) {
        if (daemon->name == name && owner_pid_ == getpid()) {
            debug_trace("ServiceManager::start_service: %s (pid %d) does not answer; ended", name.c_str(),
                        int(daemon->pid));
            kill(daemon->pid, SIGKILL);
            reap_within(daemon->pid, timeout_ms_);
            daemon = started_.erase(daemon);
        } else {
            ++daemon;
        }
    }
    if (access(config.binary_path.c_str(), X_OK) != 0)
        return service_error::FILE_NOT_FOUND;
    const std::string runtime_dir = runtime_directory();
    if (runtime_dir.empty())
        return service_error::ACCESS_DENIED;

    const pid_t pid = spawn_daemon(config.binary_path, runtime_dir);
    if (pid < 0) {
        debug_trace("ServiceManager::start_service: fork for %s failed: %s", config.binary_path.c_str(),
                    std::strerror(errno));
        return service_error::SPECIFIC_ERROR;
    }
    const std::string socket = socket_path_of(name);
    for (int waited = 0;; waited += poll_interval_ms) {
        if (socket_answers(socket))
            break;
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            debug_trace("ServiceManager::start_service: %s ended before it answered on %s",
                        config.binary_path.c_str(), socket.c_str());
            return service_error::SPECIFIC_ERROR;
        }
        if (waited >= timeout_ms_) {
            kill(pid, SIGKILL);
            reap_within(pid, timeout_ms_);
            return service_error::REQUEST_TIMEOUT;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(poll_interval_ms));
    }
    owner_pid_ = getpid();
    started_.push_back({name, pid});
    return 0;
}

int ServiceManager::stop_service(const std::string &name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto daemon = std::find_if(started_.begin(), started_.end(), [&](const Started &s) { return s.name == name; });
    if (daemon == started_.end() || owner_pid_ != getpid())
        return service_error::NOT_ACTIVE;
    return stop_locked(daemon);
}

int ServiceManager::stop_locked(std::vector<Started>::iterator daemon)
{
    const pid_t pid = daemon->pid;
    started_.erase(daemon);
    kill(pid, SIGTERM);
    if (!reap_within(pid, timeout_ms_)) {
        kill(pid, SIGKILL);
        reap_within(pid, timeout_ms_);
    }
    return 0;
}

int ServiceManager::delete_service(const std::string &name)
{
    if (!open_service(name))
        return service_error::DOES_NOT_EXIST;
    return Registry().delete_key(services_key + name) == 0 ? 0 : service_error::ACCESS_DENIED;
}

int ServiceManager::reap_ended(int wait_ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return reap_ended_locked(std::string(), wait_ms);
}

int ServiceManager::reap_ended_locked(const std::string &name, int wait_ms)
{
    if (owner_pid_ != getpid())
        return 0;
    int reaped = 0;
    for (auto daemon = started_.begin(); daemon != started_.end();) {
        const bool ended = (name.empty() || daemon->name == name) &&
                           (waitpid(daemon->pid, nullptr, WNOHANG) == daemon->pid ||
                            (wait_ms > 0 && !is_running(daemon->name) && reap_within(daemon->pid, wait_ms)));
        if (!ended) {
            ++daemon;
            continue;
        }
        debug_trace("ServiceManager::reap_ended: the daemon of %s (pid %d) ended", daemon->name.c_str(),
                    int(daemon->pid));
        daemon = started_.erase(daemon);
        ++reaped;
    }
    return reaped;
}

bool ServiceManager::is_running(const std::string &name)
{
    return socket_answers(socket_path_of(name));
}

bool ServiceManager::started_here(const std::string &name) const
{
    return daemon_pid(name) >= 0;
}

pid_t ServiceManager::daemon_pid(const std::string &name) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_pid_ != getpid())
        return -1;
    for (const Started &s : started_)
        if (s.name == name)
            return s.pid;
    return -1;
}

} // namespace platform
