#pragma once
// Test support for the vrbus daemon: a daemon started from the build's bin/
// in a temporary runtime directory with its own registry files, stopped
// with SIGTERM at the end; and small helpers for talking to its devices
// through the real socket.
#include "driver/message_record.h"
#include "platform/device_transport.h"
#include "platform/vrbus_contract.h"
#include "test_paths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vrbus_test {

using platform::DeviceFile;
using platform::NTSTATUS;
using namespace platform::nt_status;

// Registry sections of the driver's keys, to put into machine.conf.
constexpr const char *kOptionsKey = "[Software\\VINDRA AB\\VIVOzozav 1.0\\Options]";
constexpr const char *kDriverKey = "[Software\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\vrbus]";

// The daemon of one test.
class Daemon
{
public:
    // machine_conf: the text of the machine registry file (may be empty);
    // wrapper: a program and its arguments that run the daemon (a checker).
    explicit Daemon(const std::string &machine_conf = std::string(),
                    const std::vector<std::string> &wrapper = {})
        : wrapper_(wrapper)
    {
        runtime_dir_ = dir_.path().toStdString() + "/run";
        registry_dir_ = dir_.path().toStdString() + "/registry";
        mkdir(registry_dir_.c_str(), 0700);
        std::ofstream(registry_dir_ + "/machine.conf") << machine_conf;
        setenv("VRBUS_RUNTIME_DIR", runtime_dir_.c_str(), 1);
        setenv("VYR_REGISTRY_DIR", registry_dir_.c_str(), 1);
        start();
    }

    ~Daemon()
    {
        if (pid_ > 0)
            stop();
    }

    // Sends SIGTERM and answers the exit status (-1 when it did not exit normally).
    int stop()
    {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Ends a daemon that no longer answers.
    void kill_hung()
    {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    bool ready() const { return ready_; }
    const std::string &runtime_dir() const { return runtime_dir_; }

private:
    void start()
    {
        // The daemon reports readiness on a datagram socket of ours.
        const std::string notify_path = dir_.path().toStdString() + "/notify";
        const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, notify_path.c_str(), sizeof(address.sun_path) - 1);
        bind(notify, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        setenv("NOTIFY_SOCKET", notify_path.c_str(), 1);
        const std::string program = vyr_test::bin_dir().toStdString() + "/vrbus";
        pid_ = fork();
        if (pid_ == 0) {
            // The daemon goes with the test, also when a test crashes.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            std::vector<char *> argv;
            for (const std::string &word : wrapper_)
                argv.push_back(const_cast<char *>(word.c_str()));
            argv.push_back(const_cast<char *>(program.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        unsetenv("NOTIFY_SOCKET");
        if (pid_ < 0) {
            close(notify);
            return;
        }
        pollfd wait_for{notify, POLLIN, 0};
        char message[64] = {};
        if (poll(&wait_for, 1, wrapper_.empty() ? 10000 : 60000) == 1 && recv(notify, message, sizeof message - 1, 0) > 0)
            ready_ = std::strcmp(message, "READY=1") == 0;
        close(notify);
    }

    std::vector<std::string> wrapper_;
    QTemporaryDir dir_;
    std::string runtime_dir_;
    std::string registry_dir_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// The reply of a control request.
struct ControlReply
{
    NTSTATUS status = 0;
    std::vector<uint8_t> out;

    uint32_t word(int i) const
    {
        uint32_t value;
        std::memcpy(&value, out.data() + 4 * i, 4);
        return value;
    }
};

inline ControlReply control_bytes(DeviceFile &device, uint32_t code, const std::vector<uint8_t> &input,
                                  uint32_t out_len)
{
    ControlReply reply;
    reply.out.assign(out_len, 0);
    device.io_control(code, input.data(), uint32_t(input.size()), reply.out.data(), out_len);
    reply.status = device.last_status();
    return reply;
}

inline ControlReply control(DeviceFile &device, uint32_t code, const std::vector<uint32_t> &words = {},
                            uint32_t out_len = 0)
{
    std::vector<uint8_t> input(words.size() * 4);
    if (!words.empty()) // an empty vector's data() may be null, which memcpy must not get
        std::memcpy(input.data(), words.data(), input.size());
    return control_bytes(device, code, input, out_len);
}

// The control codes by their names (kBusOn, ...).
using namespace vrbus::code;

// Runs a request against the daemon on a thread of its own and answers
// whether the daemon served it within a generous time. A daemon that hangs is
// killed, so that the request returns and the test can end.
inline bool daemon_serves(Daemon &daemon, const std::function<void()> &request)
{
    std::promise<void> done;
    std::future<void> served = done.get_future();
    std::thread client([&] {
        request();
        done.set_value();
    });
    const bool in_time = served.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!in_time)
        daemon.kill_hung();
    client.join();
    return in_time;
}

// Opens a device; the NTSTATUS of the open.
inline NTSTATUS open_device(DeviceFile &device, const std::string &name)
{
    device.open(name);
    return device.last_status();
}

// Opens a slot with a receive queue of the given capacity and puts it on bus.
inline std::unique_ptr<DeviceFile> open_on_bus(const std::string &name, uint32_t capacity = 64)
{
    auto device = std::make_unique<DeviceFile>();
    EXPECT_EQ(open_device(*device, name), STATUS_SUCCESS) << name;
    EXPECT_EQ(control(*device, kSetRxQueueSize, {capacity}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*device, kBusOn).status, STATUS_SUCCESS);
    return device;
}

// MessageRecord is packed, so a reference to one of its words may be
// misaligned: tests compare them as values, uint32_t(record.id), because the
// assertion macros take their arguments by reference.

// A frame as the program writes it (kind 10).
inline MessageRecord frame(uint32_t id, const std::vector<uint8_t> &data = {}, uint8_t flags = 0)
{
    MessageRecord record;
    record.kind = vrbus::record::kTxFrame;
    record.id = id;
    record.flags = flags;
    record.length = uint8_t(data.size());
    std::copy_n(data.begin(), std::min<size_t>(data.size(), 8), record.data);
    return record;
}

inline NTSTATUS write_records(DeviceFile &device, const std::vector<MessageRecord> &records,
                              uint32_t *written = nullptr)
{
    uint32_t bytes = 0;
    device.write(records.data(), uint32_t(records.size() * sizeof(MessageRecord)), &bytes);
    if (written)
        *written = bytes;
    return device.last_status();
}

// Reads every waiting record through READ.
inline std::vector<MessageRecord> read_all(DeviceFile &device, uint32_t max_records = 256)
{
    std::vector<MessageRecord> records(max_records);
    uint32_t bytes = 0;
    device.read(records.data(), uint32_t(records.size() * sizeof(MessageRecord)), &bytes);
    records.resize(bytes / sizeof(MessageRecord));
    return records;
}

// Only the frames (kind 1) of a list of records.
inline std::vector<MessageRecord> frames_of(const std::vector<MessageRecord> &records)
{
    std::vector<MessageRecord> frames;
    for (const MessageRecord &record : records) {
        if (record.kind == vrbus::record::kFrame)
            frames.push_back(record);
    }
    return frames;
}

// A receive queue mapped into this process, read the way the program does:
// sequentially consistent, so that the read index stored is ordered before
// the write index loaded next, as a reader that goes to sleep needs.
class MappedQueue
{
public:
    explicit MappedQueue(void *base) : base_(static_cast<uint8_t *>(base)) {}

    uint32_t header(unsigned offset) const
    {
        return __atomic_load_n(reinterpret_cast<uint32_t *>(base_ + offset), __ATOMIC_SEQ_CST);
    }
    void set_header(unsigned offset, uint32_t value)
    {
        __atomic_store_n(reinterpret_cast<uint32_t *>(base_ + offset), value, __ATOMIC_RELEASE);
    }
    uint32_t capacity() const { return header(vrbus::queue::kCapacityAt); }

    // Takes the next entry; false when none waits.
    bool take(MessageRecord *record)
    {
        using namespace vrbus::queue;
        const uint32_t read = header(kReadIndexAt);
        const uint32_t write = header(kWriteIndexAt);
        if (read == write)
            return false;
        std::memcpy(record, base_ + kEntriesAt + size_t(read) * vrbus::record::kSize, vrbus::record::kSize);
        const uint32_t next = (read + 1) % capacity();
        if (next == write)
            __atomic_fetch_or(reinterpret_cast<uint32_t *>(base_ + kStatusAt), kDrained, __ATOMIC_SEQ_CST);
        __atomic_exchange_n(reinterpret_cast<uint32_t *>(base_ + kReadIndexAt), next, __ATOMIC_SEQ_CST);
        return true;
    }

    std::vector<MessageRecord> take_all()
    {
        std::vector<MessageRecord> records;
        MessageRecord record;
        while (take(&record))
            records.push_back(record);
        return records;
    }

private:
    uint8_t *base_;
};

} // namespace vrbus_test
