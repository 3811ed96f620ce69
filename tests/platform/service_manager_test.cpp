// The service manager: records in the registry, a daemon started from its
// file until its socket answers, stopped only by the process that started it.
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "test_paths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace {

using platform::ServiceConfig;
using platform::ServiceManager;
namespace service_error = platform::service_error;

class ServiceManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const std::string base = dir.path().toStdString();
        mkdir((base + "/registry").c_str(), 0700);
        setenv("VRBUS_RUNTIME_DIR", (base + "/run").c_str(), 1);
        setenv("VYR_REGISTRY_DIR", (base + "/registry").c_str(), 1);
    }
    static ServiceConfig config(const std::string &name, const std::string &binary)
    {
        ServiceConfig c;
        c.name = name;
        c.display_name = "Display of " + name;
        c.binary_path = binary;
        return c;
    }
    QTemporaryDir dir;
    ServiceManager manager;
};

TEST_F(ServiceManagerTest, RecordStartStopDelete)
{
    const std::string vrbus = vyr_test::bin_dir().toStdString() + "/vrbus";
    EXPECT_EQ(manager.start_service("vrbus"), service_error::DOES_NOT_EXIST);
    ASSERT_EQ(manager.create_service(config("vrbus", vrbus)), 0);
    EXPECT_EQ(manager.create_service(config("vrbus", vrbus)), service_error::EXISTS);
    EXPECT_TRUE(platform::Registry().key_exists("SYSTEM\\CurrentControlSet\\Services\\vrbus"));

    ASSERT_EQ(manager.start_service("vrbus"), 0);
    EXPECT_TRUE(ServiceManager::is_running("vrbus"));
    const pid_t pid = manager.daemon_pid("vrbus");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(manager.start_service("vrbus"), service_error::ALREADY_RUNNING);

    // Another manager (another process's view) did not start it and may not stop it.
    ServiceManager other;
    EXPECT_EQ(other.start_service("vrbus"), service_error::ALREADY_RUNNING);
    EXPECT_EQ(other.stop_service("vrbus"), service_error::NOT_ACTIVE);
    EXPECT_TRUE(ServiceManager::is_running("vrbus"));

    EXPECT_EQ(manager.stop_service("vrbus"), 0);
    EXPECT_FALSE(ServiceManager::is_running("vrbus"));
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(manager.stop_service("vrbus"), service_error::NOT_ACTIVE);

    EXPECT_EQ(manager.delete_service("vrbus"), 0);
    EXPECT_FALSE(manager.open_service("vrbus"));
    EXPECT_EQ(manager.delete_service("vrbus"), service_error::DOES_NOT_EXIST);
}

TEST_F(ServiceManagerTest, DaemonsThatDoNotServe)
{
    ASSERT_EQ(manager.create_service(config("missing", dir.path().toStdString() + "/nothing")), 0);
    EXPECT_EQ(manager.start_service("missing"), service_error::FILE_NOT_FOUND);
    // A program that ends at once never answers on a socket.
    ASSERT_EQ(manager.create_service(config("quitter", "/bin/false")), 0);
    EXPECT_EQ(manager.start_service("quitter"), service_error::SPECIFIC_ERROR);
    EXPECT_FALSE(manager.started_here("quitter"));
}

// A daemon that dies by itself is reaped, by reap_ended or by the next
// start, and leaves no zombie; the next start runs a new one.
TEST_F(ServiceManagerTest, ADaemonThatDiedIsReapedAndReplaced)
{
    ASSERT_EQ(manager.create_service(config("vrbus", vyr_test::bin_dir().toStdString() + "/vrbus")), 0);
    for (const bool reaped_first : {true, false}) {
        SCOPED_TRACE(reaped_first ? "reap_ended, then start" : "start right away");
        ASSERT_EQ(manager.start_service("vrbus"), 0);
        const pid_t dead = manager.daemon_pid("vrbus");
        ASSERT_EQ(kill(dead, SIGKILL), 0);
        // As the program learns of it: its socket no longer answers.
        for (int waited = 0; ServiceManager::is_running("vrbus") && waited < 5000; waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (reaped_first) {
            EXPECT_EQ(manager.reap_ended(5000), 1);
            EXPECT_FALSE(manager.started_here("vrbus"));
            EXPECT_EQ(manager.reap_ended(), 0);
        }
        ASSERT_EQ(manager.start_service("vrbus"), 0);
        EXPECT_EQ(kill(dead, 0), -1); // a zombie would still answer
        EXPECT_EQ(errno, ESRCH);
        const pid_t successor = manager.daemon_pid("vrbus");
        EXPECT_NE(successor, dead);
        EXPECT_TRUE(ServiceManager::is_running("vrbus"));
        EXPECT_EQ(manager.stop_service("vrbus"), 0);
        EXPECT_EQ(kill(successor, 0), -1);
    }
}

TEST_F(ServiceManagerTest, TheRecordNamesAnotherFileOnRequest)
{
    ASSERT_EQ(manager.change_binary_path("vrbus", "/elsewhere/vrbus"), service_error::DOES_NOT_EXIST);
    ASSERT_EQ(manager.create_service(config("vrbus", "/elsewhere/vrbus")), 0);
    ASSERT_EQ(manager.change_binary_path("vrbus", vyr_test::bin_dir().toStdString() + "/vrbus"), 0);
    ServiceConfig recorded;
    ASSERT_TRUE(manager.open_service("vrbus", &recorded));
    EXPECT_EQ(recorded.binary_path, vyr_test::bin_dir().toStdString() + "/vrbus");
    EXPECT_EQ(recorded.display_name, "Display of vrbus");
}

TEST_F(ServiceManagerTest, DestructorStopsWhatItStarted)
{
    pid_t pid;
    {
        ServiceManager scoped;
        ASSERT_EQ(scoped.create_service(config("vrbus", vyr_test::bin_dir().toStdString() + "/vrbus")), 0);
        ASSERT_EQ(scoped.start_service("vrbus"), 0);
        pid = scoped.daemon_pid("vrbus");
    }
    EXPECT_FALSE(ServiceManager::is_running("vrbus"));
    EXPECT_EQ(kill(pid, 0), -1);
}

} // namespace
