#include "platform/runtime_directory.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class RuntimeDirectory : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(base.isValid()); }
    void TearDown() override { unsetenv("VRBUS_RUNTIME_DIR"); }

    std::string use(const std::string &name)
    {
        const std::string dir = base.path().toStdString() + "/" + name;
        setenv("VRBUS_RUNTIME_DIR", dir.c_str(), 1);
        return dir;
    }

    QTemporaryDir base;
};

TEST_F(RuntimeDirectory, MissingDirectoryIsMadePrivate)
{
    const std::string dir = use("run");
    EXPECT_EQ(platform::runtime_directory(), dir);
    struct stat info;
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(RuntimeDirectory, DirectoryOthersCanWriteIsRefused)
{
    const std::string dir = use("shared");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    EXPECT_EQ(platform::runtime_directory(), "");
    ASSERT_EQ(chmod(dir.c_str(), 0750), 0);
    EXPECT_EQ(platform::runtime_directory(), dir);
}

TEST_F(RuntimeDirectory, DirectoryOfAnotherUserIsRefused)
{
    if (getuid() != 0)
        GTEST_SKIP() << "only root can make a directory that another user owns";
    const std::string dir = use("taken");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
    EXPECT_EQ(platform::runtime_directory(), "");
}

} // namespace
