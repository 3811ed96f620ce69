// The Vindra provider over its whole life in one program run: it is in the
// provider list, installs and starts the virtual bus from the program
// directory, lists its channel, and at exit stops and removes what it made.
#include "hw_test_support.h"
#include "interfaces/hardware/buslib.h"
#include "interfaces/hardware/can_hw_channel.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace {

using platform::ServiceManager;

TEST(VindraProvider, StandsInTheProviderList)
{
    // Linked whole into the program, the static provider object registered itself.
    ASSERT_GE(CANhwProviderList::global().count(), 1);
    CANhwProvider *first = CANhwProviderList::global().head();
    ASSERT_NE(dynamic_cast<CANhwProviderVindra *>(first), nullptr);
    EXPECT_EQ(first->short_name(), "Vindra");
    EXPECT_EQ(first->description(), "Vindra CAN Hardware");
    EXPECT_EQ(CANhwProviderVindra::card_model_name(84), std::string("VindraHybrid"));
    EXPECT_EQ(CANhwProviderVindra::card_model_name(66), nullptr);
    EXPECT_EQ(CANhwProviderVindra::card_model_name(1), nullptr);
}

TEST(VindraProvider, InstallsEnumeratesAndRemovesTheVirtualBus)
{
    hw_test::PrivateDirectories dirs;
    CANhwProviderVindra *provider = hw_test::vindra_provider();
    ASSERT_NE(provider, nullptr);
    provider->set_program_directory(vyr_test::bin_dir());
    ASSERT_FALSE(ServiceManager::is_running("vrbus"));

    ASSERT_EQ(provider->initialize_driver(), 0);
    ASSERT_TRUE(ServiceManager::is_running("vrbus"));
    const pid_t daemon = ServiceManager::instance().daemon_pid("vrbus");
    ASSERT_GT(daemon, 0);
    platform::ServiceConfig service;
    ASSERT_TRUE(ServiceManager::instance().open_service("vrbus", &service));
    EXPECT_EQ(service.display_name, "CAN-Demo Driver for Vyr");
    EXPECT_EQ(service.binary_path, vyr_test::bin_dir().toStdString() + "/vrbus");
    EXPECT_EQ(service.type, platform::ServiceConfig::kernel_driver);
    EXPECT_EQ(service.start, platform::ServiceConfig::demand_start);

    // Every channel the daemon serves: two, as the registry asks for none.
    CANhwProviderList::global().enumerate_all_channels();
    CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    ASSERT_EQ(infos.channel_info_count(), 2);
    ASSERT_EQ(infos.find_channel_info("Virtual #1 (Channel 1)"), 0);
    ASSERT_EQ(infos.find_channel_info("Virtual #1 (Channel 2)"), 1);
    const CANhwChannelInfo *info = infos.channel_info(0);
    EXPECT_EQ(info->card_name(), "Virtual");
    EXPECT_EQ(info->user_channel_name(), "");
    EXPECT_EQ(info->provider(), provider);
    EXPECT_EQ(info->card_number(), 0);
    EXPECT_EQ(info->channel_index(), 0);
    EXPECT_EQ(info->channel_on_card(), 1);
    EXPECT_EQ(info->card_type(), 1);
    EXPECT_EQ(info->transceiver_type(), 0);
    EXPECT_EQ(info->serial_number(), 0u);
    uint32_t capability = 0;
    ASSERT_EQ(buslibChannelCapability(0, &capability), buslibOK);
    EXPECT_EQ(capability, 0x100D1u); // a virtual channel, not CAN FD capable
    std::unique_ptr<CANhwChannel> channel = infos.make_channel(0);
    ASSERT_NE(channel, nullptr);
    EXPECT_TRUE(channel->is_driver_backed());
    EXPECT_FALSE(channel->is_fd_capable());
    channel.reset();

    // A second start in the same run installs nothing again.
    ASSERT_EQ(provider->initialize_driver(), 0);
    EXPECT_EQ(ServiceManager::instance().daemon_pid("vrbus"), daemon);

    ASSERT_EQ(provider->uninitialize_driver(), 0);
    EXPECT_FALSE(ServiceManager::is_running("vrbus"));
    EXPECT_EQ(kill(daemon, 0), -1); // ended and reaped
    EXPECT_EQ(errno, ESRCH);
    EXPECT_FALSE(ServiceManager::instance().open_service("vrbus"));
    EXPECT_FALSE(platform::Registry().key_exists("SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\vrbus"));
}

} // namespace
