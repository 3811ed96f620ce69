#pragma once
// The service manager: services recorded in the registry layer (machine
// hive, below SYSTEM\CurrentControlSet\Services) whose program runs as a
// daemon. A kernel-driver service such as vrbus is started by running its
// file with the runtime directory; it counts as running while its socket
// <runtime dir>/<service name>.sock answers. A service is stopped with
// SIGTERM, and only by the process that started it: a daemon that another
// process started is left running. A daemon that ended by itself (killed,
// crashed) is reaped by reap_ended or by the next start of its service.
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Results: 0 or one of these system error numbers.
namespace service_error {
constexpr int FILE_NOT_FOUND = 2;             // the service's file is missing
constexpr int ACCESS_DENIED = 5;              // the registry can't be written
constexpr int REQUEST_TIMEOUT = 1053;         // the daemon did not answer in time
constexpr int ALREADY_RUNNING = 1056;
constexpr int DOES_NOT_EXIST = 1060;
constexpr int NOT_ACTIVE = 1062;              // stop of a service this process did not start
constexpr int SPECIFIC_ERROR = 1066;          // the daemon ended before it answered
constexpr int EXISTS = 1073;
} // namespace service_error

struct ServiceConfig
{
    enum Type : int { kernel_driver = 1 };
    enum Start : int { demand_start = 3 };

    std::string name;
    std::string display_name;
    std::string binary_path; // the file that runs as the daemon
    int type = kernel_driver;
    int start = demand_start;
    int error_control = 0;
};

class ServiceManager
{
public:
    // The manager of the process. Its destructor stops the daemons the
    // process started and left running.
    static ServiceManager &instance();

    ServiceManager() = default;
    ~ServiceManager();
    ServiceManager(const ServiceManager &) = delete;
    ServiceManager &operator=(const ServiceManager &) = delete;

    // Records a service (EXISTS when it is recorded already).
    int create_service(const ServiceConfig &config);
    // Makes the record name another file to run (DOES_NOT_EXIST when there
    // is no record).
    int change_binary_path(const std::string &name, const std::string &binary_path);
    // True when the service is recorded; *config gets its record.
    bool open_service(const std::string &name, ServiceConfig *config = nullptr);
    // Runs the service's file as a daemon and waits until its socket answers.
    // ALREADY_RUNNING when the socket answers before (another process started
    // it, or this one). A daemon this process started whose socket no longer
    // answers is ended and reaped first.
    int start_service(const std::string &name);
    // SIGTERM to a daemon this process started, then waits for its end.
    // NOT_ACTIVE when this process runs no daemon of that name.
    int stop_service(const std::string &name);
    // Removes the record.
    int delete_service(const std::string &name);
    // Reaps the daemons this process started that ended, waiting up to
    // wait_ms for one whose socket no longer answers to end; answers how
    // many were reaped. They leave no zombie behind.
    int reap_ended(int wait_ms = 0);

    // True while the service's socket answers.
    static bool is_running(const std::string &name);
    // True while this process runs the service's daemon.
    bool started_here(const std::string &name) const;
    // Pid of the daemon this process started, -1 when none.
    pid_t daemon_pid(const std::string &name) const;

    // How long start and stop wait for the daemon (default 5000 ms).
    void set_timeout_ms(int timeout_ms) { timeout_ms_ = timeout_ms; }

private:
    struct Started
    {
        std::string name;
        pid_t pid;
    };
    int stop_locked(std::vector<Started>::iterator daemon);
    // reap_ended under the lock, for the daemons of one name (all for an empty name).
    int reap_ended_locked(const std::string &name, int wait_ms);

    mutable std::mutex mutex_;
    std::vector<Started> started_;
    pid_t owner_pid_ = 0; // forked children never stop the parent's daemons
    int timeout_ms_ = 5000;
};

} // namespace platform
