#pragma once
// Test support for the CAN hardware layer: private runtime and registry
// directories, the Vindra provider of the global list started on the real
// vrbus daemon, a receive queue filled by hand, and a peer process that holds
// a channel open.
#include "interfaces/hardware/can_hw_provider.h"
#include "interfaces/hardware/can_hw_provider_vindra.h"
#include "interfaces/hardware/canio_device.h"
#include "test_paths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace hw_test {

// A temporary runtime directory and registry for this process (and the
// daemons and peers it starts), set in the environment.
class PrivateDirectories
{
public:
    PrivateDirectories()
    {
        runtime_dir_ = dir_.path().toStdString() + "/run";
        registry_dir_ = dir_.path().toStdString() + "/registry";
        mkdir(registry_dir_.c_str(), 0700);
        setenv("VRBUS_RUNTIME_DIR", runtime_dir_.c_str(), 1);
        setenv("VYR_REGISTRY_DIR", registry_dir_.c_str(), 1);
    }
    const std::string &runtime_dir() const { return runtime_dir_; }
    const std::string &registry_dir() const { return registry_dir_; }
    // A place for further files of the test.
    std::string scratch_path(const char *name) const { return dir_.path().toStdString() + "/" + name; }

private:
    QTemporaryDir dir_;
    std::string runtime_dir_;
    std::string registry_dir_;
};

// Starts the build's vrbus daemon as a plain child of this process (not
// through the service manager) and waits for its readiness message.
// Answers its pid, -1 when it did not come up.
inline pid_t spawn_vrbus(const std::string &notify_path)
{
    const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, notify_path.c_str(), sizeof address.sun_path - 1);
    if (bind(notify, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(notify);
        return -1;
    }
    setenv("NOTIFY_SOCKET", notify_path.c_str(), 1);
    const std::string program = vyr_test::bin_dir().toStdString() + "/vrbus";
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
    unsetenv("NOTIFY_SOCKET");
    pollfd ready{notify, POLLIN, 0};
    char message[16] = {};
    const bool up = spawned == 0 && poll(&ready, 1, 10000) == 1 && recv(notify, message, sizeof message - 1, 0) > 0;
    close(notify);
    return up ? pid : -1;
}

inline CANhwProviderVindra *vindra_provider()
{
    for (CANhwProvider *p = CANhwProviderList::global().head(); p; p = p->next())
        if (auto *vindra = dynamic_cast<CANhwProviderVindra *>(p))
            return vindra;
    return nullptr;
}

// A vrbus daemon of this test alone: a child process in private directories,
// with the Vindra provider of the global list prepared on it and its channels
// listed. kill() ends the daemon as a crash would.
class OwnDaemon
{
public:
    OwnDaemon()
    {
        pid_ = spawn_vrbus(dirs_.scratch_path("notify"));
        provider_ = vindra_provider();
        if (pid_ <= 0 || !provider_)
            return;
        provider_->set_program_directory(vyr_test::bin_dir());
        if (provider_->initialize_driver() != 0)
            return;
        CANhwProviderList::global().enumerate_all_channels();
        ready_ = true;
    }
    ~OwnDaemon()
    {
        if (ready_)
            provider_->uninitialize_driver();
        kill();
    }
    bool ready() const { return ready_; }
    void kill()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    PrivateDirectories dirs_;
    pid_t pid_ = -1;
    CANhwProviderVindra *provider_ = nullptr;
    bool ready_ = false;
};

// The environment variable that makes a test program a peer process.
constexpr const char *peer_variable = "VYR_HW_TEST_PEER";

inline bool is_peer_process()
{
    return std::getenv(peer_variable) != nullptr;
}

// Writes driver entries into a mapped receive queue as the driver would:
// each at the write index, then the new write index.
class QueueFiller
{
public:
    explicit QueueFiller(uint8_t *queue) : queue_(queue) {}

    uint32_t word(int offset) const
    {
        return __atomic_load_n(reinterpret_cast<uint32_t *>(queue_ + offset), __ATOMIC_ACQUIRE);
    }

    // An entry of 22 bytes: type, channel index, FD flags, time (10 µs units).
    uint8_t *add(uint8_t type, uint8_t channel, uint32_t time, uint8_t fd_flags = 0)
    {
        const uint32_t slot =
            (word(vrbus::queue::kWriteIndexAt) + uint32_t(pending_.size())) % word(vrbus::queue::kCapacityAt);
        uint8_t *entry = queue_ + vrbus::queue::kEntriesAt + size_t(slot) * vrbus::record::kSize;
        std::memset(entry, 0, vrbus::record::kSize);
        entry[vrbus::record::kKindAt] = type;
        entry[vrbus::record::kChannelAt] = channel;
        entry[vrbus::record::kFdFlagsAt] = fd_flags;
        canio_put_u32(entry + vrbus::record::kTimeAt, time);
        pending_.push_back(entry);
        return entry;
    }

    uint8_t *frame(uint8_t channel, uint32_t time, uint32_t id, uint8_t flags, uint8_t length, uint8_t first_byte,
                   uint8_t fd_flags = 0)
    {
        uint8_t *entry = add(vrbus::record::kFrame, channel, time, fd_flags);
        canio_put_u32(entry + vrbus::record::kIdAt, id);
        entry[vrbus::record::kFlagsAt] = flags;
        entry[vrbus::record::kLengthAt] = length;
        for (int i = 0; i < vrbus::record::kDataBytes; ++i)
            entry[vrbus::record::kDataAt + i] = uint8_t(first_byte + i);
        commit();
        return entry;
    }

    void continuation(uint8_t channel, uint8_t first_byte)
    {
        uint8_t *entry = add(vrbus::record::kContinuation, channel, 0);
        for (int i = 0; i < vrbus::record::kContinuationBytes; ++i)
            entry[vrbus::record::kContinuationDataAt + i] = uint8_t(first_byte + i);
        commit();
    }

    // Makes the entries written so far visible to the reader.
    void commit()
    {
        const uint32_t capacity = word(vrbus::queue::kCapacityAt);
        const uint32_t write = (word(vrbus::queue::kWriteIndexAt) + uint32_t(pending_.size())) % capacity;
        pending_.clear();
        __atomic_store_n(reinterpret_cast<uint32_t *>(queue_ + vrbus::queue::kWriteIndexAt), write, __ATOMIC_RELEASE);
    }

private:
    uint8_t *queue_;
    std::vector<uint8_t *> pending_;
};

} // namespace hw_test
