#include "platform/device_transport.h"

#include "settings/debug_trace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace platform;

TEST(DeviceTransport, StatusesBecomeTheSystemErrorsOfTheDriverAccessLayer)
{
    using namespace nt_status;
    const struct
    {
        NTSTATUS status;
        int error;
    } table[] = {
        {STATUS_SUCCESS, 0},
        {STATUS_OBJECT_NAME_NOT_FOUND, 2},
        {STATUS_ACCESS_DENIED, 5},
        {STATUS_DEVICE_NOT_READY, 21},
        {STATUS_INVALID_PARAMETER, 87},
        {STATUS_DEVICE_BUSY, 170},
        {STATUS_UNSUCCESSFUL, 31},
        {STATUS_NO_SUCH_DEVICE, 317},
        {STATUS_NOT_IMPLEMENTED, 317},
        {0xC000025E, 317},
    };
    for (const auto &row : table)
        EXPECT_EQ(system_error_from_ntstatus(row.status), row.error) << std::hex << row.status;
}

TEST(DeviceTransport, DeviceNamesLoseTheirPrefixAndCase)
{
    EXPECT_EQ(device_transport::canonical_device_name("\\\\.\\VRBUS0A.Init"), "vrbus0a.init");
    EXPECT_EQ(device_transport::canonical_device_name("vrbus0.info"), "vrbus0.info");
}

TEST(DeviceTransport, WithoutDaemonADeviceIsNotFound)
{
    QTemporaryDir dir;
    setenv("VRBUS_RUNTIME_DIR", dir.path().toUtf8().constData(), 1);
    DeviceFile device;
    // The mapped code for the driver access layer, the call and its reason in the trace.
    const bool tracing = debug_trace_enabled();
    set_debug_trace_enabled(true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(device.open("vrbus0a.init"), system_error::FILE_NOT_FOUND);
    const std::string trace = testing::internal::GetCapturedStderr();
    set_debug_trace_enabled(tracing);
    EXPECT_NE(trace.find("DeviceFile::open: connect to " + dir.path().toStdString() + "/vrbus.sock failed: "
                         + std::strerror(ENOENT)),
              std::string::npos)
        << trace;
    EXPECT_FALSE(device.is_open());
    uint32_t bytes = 1;
    char buffer[22];
    EXPECT_EQ(device.read(buffer, sizeof buffer, &bytes), system_error::INVALID_HANDLE);
    EXPECT_EQ(bytes, 0u);
    unsetenv("VRBUS_RUNTIME_DIR");
}

// A daemon stand-in on the transport's socket that answers the open and
// then does what the test says: stays silent, as a stopped or hung daemon
// does, or hangs up, as a daemon that died does.
class SilentDaemon
{
public:
    SilentDaemon()
    {
        setenv("VRBUS_RUNTIME_DIR", dir_.path().toUtf8().constData(), 1);
        setenv("VRBUS_REPLY_TIMEOUT_MS", "200", 1);
        listener_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = device_transport::socket_path();
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        EXPECT_EQ(listen(listener_, 4), 0);
    }
    ~SilentDaemon()
    {
        if (connection_ >= 0)
            close(connection_);
        close(listener_);
        unsetenv("VRBUS_REPLY_TIMEOUT_MS");
        unsetenv("VRBUS_RUNTIME_DIR");
    }

    // Opens a device through this stand-in, which answers the open with success.
    void open(DeviceFile &device)
    {
        std::thread answer([this] {
            connection_ = accept(listener_, nullptr, nullptr);
            char request[256];
            EXPECT_GT(recv(connection_, request, sizeof request, 0), 0);
            const uint32_t reply[2] = {nt_status::STATUS_SUCCESS, 0};
            EXPECT_EQ(send(connection_, reply, sizeof reply, 0), ssize_t(sizeof reply));
        });
        EXPECT_EQ(device.open("vrbus0a.init"), system_error::NO_ERROR);
        answer.join();
    }
    void hang_up()
    {
        close(connection_);
        connection_ = -1;
    }

private:
    QTemporaryDir dir_;
    int listener_ = -1;
    int connection_ = -1;
};

TEST(DeviceTransport, ACallThatGetsNoReplyFailsAsNotReadyAndSaysWhy)
{
    SilentDaemon daemon;
    DeviceFile device;
    daemon.open(device);
    set_debug_trace_enabled(true);
    testing::internal::CaptureStderr();
    uint32_t level = 0;
    EXPECT_EQ(device.io_control(0x8000207C, nullptr, 0, &level, 4), system_error::NOT_READY);
    const std::string trace = testing::internal::GetCapturedStderr();
    set_debug_trace_enabled(false);
    EXPECT_EQ(device.last_status(), nt_status::STATUS_DEVICE_NOT_READY);
    EXPECT_NE(trace.find("DeviceFile::transact: no reply to request 2 (code 0x8000207c) within 200 ms"),
              std::string::npos)
        << trace;
    // A late reply would answer the next call: the connection is given up.
    EXPECT_TRUE(device.connection_lost());
    char record[22];
    uint32_t bytes = 1;
    EXPECT_EQ(device.read(record, sizeof record, &bytes), system_error::NOT_READY);
    EXPECT_EQ(bytes, 0u);

    // Not even the open waits for good.
    DeviceFile second;
    EXPECT_EQ(second.open("vrbus0a.2"), system_error::NOT_READY);
    EXPECT_FALSE(second.is_open());
}

TEST(DeviceTransport, AHangUpWakesAWaiterOfTheConnectionHandle)
{
    SilentDaemon daemon;
    DeviceFile device;
    daemon.open(device);
    const WaitHandle connection = device.connection_handle();
    ASSERT_GE(connection.fd, 0);
    EXPECT_EQ(wait_any({connection}, 0), wait_timeout);
    EXPECT_FALSE(device.connection_lost());

    std::thread daemon_dies([&] { daemon.hang_up(); });
    EXPECT_EQ(wait_any({connection}, 20000), 0);
    daemon_dies.join();
    EXPECT_TRUE(device.connection_lost());
    uint32_t level = 0;
    EXPECT_EQ(device.io_control(0x8000207C, nullptr, 0, &level, 4), system_error::NOT_READY);
    EXPECT_EQ(device.last_status(), nt_status::STATUS_DEVICE_NOT_READY);
}

} // namespace
