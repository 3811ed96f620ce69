#include "platform/device_transport.h"

#include "core/settings/debug_trace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

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

} // namespace
