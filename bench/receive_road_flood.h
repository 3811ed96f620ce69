#pragma once
// The receive road end to end, as a user runs it: the vrbus daemon, one vyr
// on the offscreen platform measuring one CAN interface with a trace window
// in scroll mode that logs to an ASCII file, and this process as a flood
// client on the same virtual channel offering numbered frames at fixed rates.
// Afterwards the log is read back: every frame offered should be in it.
//
// One run is one vyr process. It starts the daemon itself (as the program
// does), so the flood client waits for the daemon and for vyr's handle to go
// on bus before it offers anything. vyr ends itself through its test hook
// (VYR_TEST_REPORT_DELAY_MS), which also writes the message window's rows,
// so the overrun and loss reports can be counted.
#include "platform/device_transport.h"
#include "platform/vrbus_contract.h"
#include "settings/qtb_config.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace receive_road {

// Frames of phase n carry identifier first_id + n and their number (from 0)
// in the first four data bytes, little-endian.
constexpr uint32_t first_id = 0x100;
constexpr const char *flood_handle_name = "flood";
// The flood writes what is due every millisecond, in requests of at most this many records.
constexpr int records_per_write = 512;
// After a phase, time for vyr to take the frames over before the next one.
constexpr int drain_ms = 1500;

struct Phase
{
    int rate;       // frames per second offered
    double seconds; // how long
};

struct PhaseResult
{
    int rate = 0;
    int64_t offered = 0;
    int64_t logged = 0;   // distinct numbers of the phase found in the log
    int64_t gaps = 0;     // runs of missing numbers
    int64_t first_gap = -1; // the first missing number, -1 when none
    double cpu_us_per_frame = 0; // vyr's user and system time over the phase and its drain
    int64_t lost() const { return offered - logged; }
    double lost_percent() const { return offered ? 100.0 * double(lost()) / double(offered) : 0; }
};

struct RunResult
{
    std::string error; // empty when the run went through
    std::vector<PhaseResult> phases;
    QStringList message_rows;
    int overrun_rows = 0; // message rows that report lost frames or an overrun
    std::string folder;   // the run's files, kept when the run failed
};

inline int64_t now_us()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// User plus system time of a process in microseconds; -1 when it is gone.
inline int64_t process_cpu_us(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return -1;
    // The fields after the command name (which may hold blanks) in brackets.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::stoull(field);
        if (n == 15)
            stime = std::stoull(field);
    }
    return int64_t((utime + stime) * 1000000ull / uint64_t(sysconf(_SC_CLK_TCK)));
}

// The configuration vyr measures: one CAN interface on the first virtual
// channel and a trace window on it in scroll mode, logging every frame.
inline bool write_configuration(const QString &path, const QString &log_path)
{
    QtbConfig config;
    QtbConfigGroup *can = config.add_group("CAN");
    can->write_bool("active", true);
    can->write_int("index", 1);
    can->write_string("name", QStringLiteral("CAN 1"));
    can->write_int("bitrate", 500000);
    can->write_string("channel", QStringLiteral("Virtual #1 (Channel 1)"));
    QtbConfigGroup *trace = config.add_group("Trace");
    trace->write_string("title", QStringLiteral("Trace"));
    trace->write_string("sif", QStringLiteral("CAN1"));
    trace->write_bool("mode_scroll_mode", true);
    trace->write_int("workspace_id", 0);
    QtbConfigGroup *logger = trace->add_group("logger");
    logger->write_string("facility", QStringLiteral("ASCII"));
    logger->write_bool("active", true);
    logger->write_string("filename", log_path);
    logger->write_int("write_mode", 1); // overwrite
    logger->write_int("size_mode", 0);  // unlimited
    logger->write_bool("enable_trigger", false);
    return config.write_file(path) == 0;
}

// The phase and number of every frame of the log that the flood sent.
// Message lines of the ASCII format in hexadecimal: time, identifier, length
// 8, eight data bytes, counter, channel.
inline std::map<int, std::set<uint32_t>> read_log(const QString &path)
{
    std::map<int, std::set<uint32_t>> numbers;
    std::ifstream log(path.toStdString());
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream words(line);
        std::vector<std::string> word;
        for (std::string w; words >> w;)
            word.push_back(w);
        if (word.size() != 13 || word[2] != "8")
            continue;
        const uint32_t id = uint32_t(std::strtoul(word[1].c_str(), nullptr, 16));
        if (id < first_id || id >= first_id + 16)
            continue;
        uint32_t number = 0;
        for (int i = 0; i < 4; ++i)
            number |= uint32_t(std::strtoul(word[size_t(3 + i)].c_str(), nullptr, 16)) << (8 * i);
        numbers[int(id - first_id)].insert(number);
    }
    return numbers;
}

// A handle of its own on a virtual channel that writes numbered frames.
class FloodClient
{
public:
    // Waits up to timeout_ms for the daemon to take the handle; the channel
    // is named by its letter (a: the first).
    bool open(int timeout_ms, char channel = 'a')
    {
        const std::string device = std::string("vrbus0") + channel + ".15";
        const int64_t end = now_us() + int64_t(timeout_ms) * 1000;
        while (m_device.open(device) != 0) {
            if (now_us() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        char name[65] = {};
        std::strncpy(name, flood_handle_name, sizeof name - 1);
        return m_device.io_control(vrbus::code::kSetHandleName, name, sizeof name, nullptr, 0) == 0
               && m_device.io_control(vrbus::code::kBusOn, nullptr, 0, nullptr, 0) == 0;
    }

    // True once another handle on the card is on bus (vyr's channel).
    bool other_handle_on_bus()
    {
        for (uint32_t n = 0; n < 256; ++n) {
            uint8_t info[92] = {};
            std::memcpy(info, &n, 4);
            if (m_device.io_control(vrbus::code::kGetHandleInfo, info, sizeof info, info, sizeof info) != 0)
                return false;
            uint32_t on_bus = 0;
            std::memcpy(&on_bus, info + 4 * 21, 4);
            const std::string name(reinterpret_cast<const char *>(info + 4), strnlen(reinterpret_cast<const char *>(info + 4), 64));
            if (on_bus && name != flood_handle_name)
                return true;
        }
        return false;
    }

    // Offers rate frames per second for the phase, numbered from 0; answers
    // the number offered (-1 when a write failed).
    int64_t flood(int phase, const Phase &what)
    {
        const int64_t total = int64_t(double(what.rate) * what.seconds);
        const int64_t start = now_us();
        int64_t sent = 0;
        while (sent < total) {
            const int64_t due = std::min(total, (now_us() - start) * what.rate / 1000000);
            if (due > sent && !send(phase, uint32_t(sent), uint32_t(due - sent)))
                return -1;
            sent = std::max(sent, due);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return sent;
    }

    // Writes `count` frames of the phase numbered from `first` at once.
    bool send(int phase, uint32_t first, uint32_t count)
    {
        std::vector<uint8_t> records(size_t(records_per_write) * vrbus::record::kSize);
        while (count > 0) {
            const uint32_t batch = std::min<uint32_t>(count, records_per_write);
            for (uint32_t i = 0; i < batch; ++i)
                put_frame(records.data() + size_t(i) * vrbus::record::kSize, phase, first + i);
            uint32_t written = 0;
            if (m_device.write(records.data(), batch * vrbus::record::kSize, &written) != 0)
                return false;
            first += batch;
            count -= batch;
        }
        return true;
    }

    void close() { m_device.close(); }

private:
    static void put_frame(uint8_t *record, int phase, uint32_t number)
    {
        using namespace vrbus::record;
        std::memset(record, 0, kSize);
        record[kKindAt] = kTxFrame;
        const uint32_t id = first_id + uint32_t(phase);
        std::memcpy(record + kIdAt, &id, 4);
        record[kLengthAt] = 8;
        std::memcpy(record + kDataAt, &number, 4);
    }

    platform::DeviceFile m_device;
};

inline bool wait_for(const std::function<bool()> &condition, int timeout_ms)
{
    const int64_t end = now_us() + int64_t(timeout_ms) * 1000;
    while (!condition()) {
        if (now_us() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Starts the build's vrbus daemon in the environment's runtime folder and
// waits for its readiness message; its pid, -1 when it did not come up.
inline pid_t start_daemon(const std::string &program, const std::string &notify_path)
{
    const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, notify_path.c_str(), sizeof address.sun_path - 1);
    if (bind(notify, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(notify);
        return -1;
    }
    setenv("NOTIFY_SOCKET", notify_path.c_str(), 1);
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    unsetenv("NOTIFY_SOCKET");
    pollfd ready{notify, POLLIN, 0};
    char message[16] = {};
    const bool up = spawned == 0 && poll(&ready, 1, 10000) == 1 && recv(notify, message, sizeof message - 1, 0) > 0;
    ::close(notify);
    if (!up && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return up ? pid : -1;
}

// True once the log file holds the comment of the measurement's end.
inline bool log_closed(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    file.seek(std::max<qint64>(0, file.size() - 512));
    return file.readAll().contains("# Measurement STOPPED");
}

// Runs the daemon and vyr of the build's program folder over the phases and
// reads the log back; the run's files live in a temporary folder.
inline RunResult run(const std::string &bin_dir, const std::vector<Phase> &phases)
{
    const std::string vyr_program = bin_dir + "/vyr";
    RunResult result;
    QTemporaryDir dir;
    const auto path = [&dir](const char *name) { return QDir(dir.path()).filePath(QString::fromLatin1(name)); };
    for (const char *sub : {"config", "runtime", "registry"})
        QDir(dir.path()).mkpath(QString::fromLatin1(sub));
    const QString log_path = path("flood.txt");
    if (!write_configuration(path("flood.vyr"), log_path)) {
        result.error = "configuration not written";
        return result;
    }
    // The flood client finds the daemon through the same variables.
    setenv("VRBUS_RUNTIME_DIR", path("runtime").toLocal8Bit().constData(), 1);
    setenv("VYR_REGISTRY_DIR", path("registry").toLocal8Bit().constData(), 1);

    const pid_t daemon = start_daemon(bin_dir + "/vrbus", path("notify").toStdString());
    if (daemon < 0) {
        result.error = "the daemon did not start";
        return result;
    }
    const auto stop_daemon = [daemon] {
        kill(daemon, SIGTERM);
        waitpid(daemon, nullptr, 0);
    };

    // vyr closes itself once the phases and their drains are surely over.
    double seconds = 0;
    for (const Phase &phase : phases)
        seconds += phase.seconds + drain_ms / 1000.0;
    const int run_ms = int(seconds * 1000) + 10000;
    const std::vector<std::string> environment_settings = {
        "QT_QPA_PLATFORM=offscreen",
        "XDG_CONFIG_HOME=" + path("config").toStdString(),
        "VYR_TEST_DISCLAIMER=accept",
        "VYR_TEST_REPORT=" + path("report").toStdString(),
        "VYR_TEST_REPORT_DELAY_MS=" + std::to_string(run_ms),
    };
    std::vector<std::string> environment_text(environment_settings);
    for (char **variable = environ; *variable; ++variable) {
        const std::string text = *variable;
        const std::string name = text.substr(0, text.find('='));
        const bool replaced = std::any_of(environment_settings.begin(), environment_settings.end(),
                                          [&name](const std::string &s) { return s.compare(0, name.size() + 1, name + "=") == 0; });
        if (!replaced)
            environment_text.push_back(text);
    }
    std::vector<char *> environment;
    for (std::string &text : environment_text)
        environment.push_back(text.data());
    environment.push_back(nullptr);
    std::string configuration = path("flood.vyr").toStdString();
    std::vector<std::string> argument_text = {vyr_program, "-nosplash", "-start", configuration};
    std::vector<char *> arguments;
    for (std::string &text : argument_text)
        arguments.push_back(text.data());
    arguments.push_back(nullptr);
    pid_t vyr = -1;
    if (posix_spawn(&vyr, vyr_program.c_str(), nullptr, nullptr, arguments.data(), environment.data()) != 0) {
        result.error = "vyr did not start";
        stop_daemon();
        return result;
    }
    const auto vyr_running = [vyr] { return waitpid(vyr, nullptr, WNOHANG) == 0; };

    FloodClient client;
    if (!client.open(30000) || !wait_for([&] { return client.other_handle_on_bus() || !vyr_running(); }, 30000)
        || !vyr_running()) {
        result.error = "vyr's channel did not go on bus";
        kill(vyr, SIGKILL);
        waitpid(vyr, nullptr, 0);
        stop_daemon();
        return result;
    }
    // The receive thread starts right after bus on.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    for (size_t n = 0; n < phases.size(); ++n) {
        PhaseResult figures;
        figures.rate = phases[n].rate;
        const int64_t cpu_before = process_cpu_us(vyr);
        figures.offered = client.flood(int(n), phases[n]);
        std::this_thread::sleep_for(std::chrono::milliseconds(drain_ms));
        const int64_t cpu_after = process_cpu_us(vyr);
        if (figures.offered < 0 || cpu_before < 0 || cpu_after < 0) {
            result.error = "vyr ended or the daemon refused frames during the flood";
            break;
        }
        figures.cpu_us_per_frame = double(cpu_after - cpu_before) / double(std::max<int64_t>(figures.offered, 1));
        result.phases.push_back(figures);
    }
    client.close();
    // vyr stops the measurement and closes the log when its window closes; a
    // question about saving the configuration may keep it from ending then.
    bool ended = false;
    const bool closed = wait_for(
        [&] {
            ended = ended || waitpid(vyr, nullptr, WNOHANG) == vyr;
            return ended || (log_closed(log_path) && QFile::exists(path("report") + QStringLiteral(".rows")));
        },
        run_ms + 60000);
    if (!ended) {
        kill(vyr, SIGKILL);
        waitpid(vyr, nullptr, 0);
    }
    stop_daemon();
    if (!closed && result.error.empty())
        result.error = "vyr did not close its log";
    if (!result.error.empty()) {
        dir.setAutoRemove(false);
        result.folder = dir.path().toStdString();
        result.error += " (files kept in " + result.folder + ")";
    }
    const std::map<int, std::set<uint32_t>> numbers = read_log(log_path);
    for (size_t n = 0; n < result.phases.size(); ++n) {
        PhaseResult &figures = result.phases[n];
        const auto found = numbers.find(int(n));
        if (found == numbers.end()) {
            figures.gaps = figures.offered > 0 ? 1 : 0;
            figures.first_gap = figures.offered > 0 ? 0 : -1;
            continue;
        }
        const std::set<uint32_t> &seen = found->second;
        figures.logged = int64_t(seen.size());
        bool in_gap = false;
        for (int64_t number = 0; number < figures.offered; ++number) {
            const bool missing = seen.count(uint32_t(number)) == 0;
            if (missing && !in_gap) {
                ++figures.gaps;
                if (figures.first_gap < 0)
                    figures.first_gap = number;
            }
            in_gap = missing;
        }
    }
    QFile rows(path("report") + QStringLiteral(".rows"));
    if (rows.open(QIODevice::ReadOnly))
        result.message_rows = QString::fromUtf8(rows.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString &row : result.message_rows)
        if (row.contains(QStringLiteral("overrun"), Qt::CaseInsensitive)
            || row.contains(QStringLiteral("lost"), Qt::CaseInsensitive))
            ++result.overrun_rows;
    return result;
}

} // namespace receive_road
