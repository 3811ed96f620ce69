// The Vindra provider in a registry that a user and another build tree have
// written to: the user's stored key of the virtual driver stays as it is and
// its channels are offered, and a service record naming another build's
// daemon is rewritten to name this program's own.
#include "hw_test_support.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "settings/debug_trace.h"
#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using platform::ServiceManager;

std::string file_text(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(VindraProviderRegistry, AStoredDriverKeyStaysAndAnotherTreesServiceRecordIsRewritten)
{
    hw_test::PrivateDirectories dirs;
    platform::Registry registry;
    const std::string driver_key = "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\vrbus";
    ASSERT_EQ(registry.create_key(driver_key), 0);
    ASSERT_EQ(registry.write_int(driver_key, "ChannelsPerCard", 4), 0);
    const std::string stored = file_text(platform::Registry::default_machine_file());
    const std::string own = vyr_test::bin_dir().toStdString() + "/vrbus";
    const std::string other = dirs.scratch_path("vrbus");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(own), QString::fromStdString(other)));
    platform::ServiceConfig stale;
    stale.name = "vrbus";
    stale.display_name = "CAN-Demo Driver for Vyr";
    stale.binary_path = other;
    ASSERT_EQ(ServiceManager::instance().create_service(stale), 0);

    CANhwProviderVindra *provider = hw_test::vindra_provider();
    ASSERT_NE(provider, nullptr);
    provider->set_program_directory(vyr_test::bin_dir());
    set_debug_trace_enabled(true);
    testing::internal::CaptureStderr();
    ASSERT_EQ(provider->initialize_driver(), 0);
    const std::string trace = testing::internal::GetCapturedStderr();
    set_debug_trace_enabled(false);

    platform::ServiceConfig service;
    ASSERT_TRUE(ServiceManager::instance().open_service("vrbus", &service));
    EXPECT_EQ(service.binary_path, own);
    EXPECT_NE(trace.find("service vrbus named '" + other + "', now '" + own + "'"), std::string::npos) << trace;
    const pid_t daemon = ServiceManager::instance().daemon_pid("vrbus");
    ASSERT_GT(daemon, 0);
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(daemon)).symLinkTarget(),
              QFileInfo(QString::fromStdString(own)).canonicalFilePath());

    // The daemon serves the four channels of the stored key, and all four are offered.
    CANhwProviderList::global().enumerate_all_channels();
    CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    ASSERT_EQ(infos.channel_info_count(), 4);
    EXPECT_EQ(infos.find_channel_info("Virtual #1 (Channel 4)"), 3);

    // The service record goes; the stored key stays as the user wrote it.
    ASSERT_EQ(provider->uninitialize_driver(), 0);
    EXPECT_FALSE(ServiceManager::instance().open_service("vrbus"));
    EXPECT_EQ(file_text(platform::Registry::default_machine_file()), stored);
}

} // namespace
