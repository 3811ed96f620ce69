// A virtual bus that another process started: the provider uses it and
// leaves it running at exit.
#include "hw_test_support.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/service_manager.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>

namespace {

using platform::ServiceManager;

TEST(VindraProvider, LeavesARunningBusOfAnotherStarterAlone)
{
    hw_test::PrivateDirectories dirs;
    const pid_t daemon = hw_test::spawn_vrbus(dirs.scratch_path("notify"));
    ASSERT_GT(daemon, 0);
    ASSERT_TRUE(ServiceManager::is_running("vrbus"));

    CANhwProviderVindra *provider = hw_test::vindra_provider();
    ASSERT_NE(provider, nullptr);
    provider->set_program_directory(vyr_test::bin_dir());
    ASSERT_EQ(provider->initialize_driver(), 0);
    EXPECT_FALSE(ServiceManager::instance().started_here("vrbus"));
    CANhwProviderList::global().enumerate_all_channels();
    EXPECT_EQ(CANhwChannelInfoList::global().find_channel_info("Virtual #1 (Channel 1)"), 0);

    provider->uninitialize_driver();
    EXPECT_TRUE(ServiceManager::is_running("vrbus"));

    kill(daemon, SIGTERM);
    int status = 0;
    waitpid(daemon, &status, 0);
    EXPECT_FALSE(ServiceManager::is_running("vrbus"));
}

} // namespace
