// Named mutexes as lock files: held by several holders, seen from another
// process, gone with the last holder.
#include "platform/named_mutex.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

class NamedMutexTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setenv("VRBUS_RUNTIME_DIR", dir.path().toLocal8Bit().constData(), 1);
    }
    QTemporaryDir dir;
};

TEST_F(NamedMutexTest, ExistsWhileAnyHolderKeepsIt)
{
    EXPECT_FALSE(platform::NamedMutex::exists("CH0"));
    platform::NamedMutex first, second;
    ASSERT_TRUE(first.create("CH0"));
    EXPECT_TRUE(first.is_held());
    EXPECT_TRUE(platform::NamedMutex::exists("CH0"));
    EXPECT_FALSE(platform::NamedMutex::exists("CH0_EX"));

    ASSERT_TRUE(second.create("CH0")); // opens the existing one
    first.close();
    EXPECT_TRUE(platform::NamedMutex::exists("CH0"));
    second.close();
    EXPECT_FALSE(platform::NamedMutex::exists("CH0"));
    {
        platform::NamedMutex scoped;
        ASSERT_TRUE(scoped.create("CH0"));
    }
    EXPECT_FALSE(platform::NamedMutex::exists("CH0")); // released by the destructor
}

TEST_F(NamedMutexTest, ProbesAtTheSameTimeSeeOnlyHolders)
{
    // Each probe opens the lock file anew, as a probe of another process
    // does; two of them at one instant must not take each other for a holder.
    {
        platform::NamedMutex once;
        ASSERT_TRUE(once.create("CH1"));
    }
    const auto probe_concurrently = [](int *held_count) {
        std::atomic<int> held{0};
        const auto probe = [&held] {
            for (int i = 0; i < 5000; ++i)
                if (platform::NamedMutex::exists("CH1"))
                    ++held;
        };
        std::thread first(probe), second(probe);
        first.join();
        second.join();
        *held_count = held;
    };
    int held = -1;
    probe_concurrently(&held);
    EXPECT_EQ(held, 0);

    platform::NamedMutex holder;
    ASSERT_TRUE(holder.create("CH1"));
    probe_concurrently(&held);
    EXPECT_EQ(held, 10000);
}

TEST_F(NamedMutexTest, NamesThatCannotBeFiles)
{
    platform::NamedMutex mutex;
    EXPECT_FALSE(mutex.create(""));
    EXPECT_FALSE(mutex.create("a/b"));
    EXPECT_FALSE(mutex.is_held());
    EXPECT_FALSE(platform::NamedMutex::exists("a/b"));
}

// Holders coming and going on several threads while others probe: every
// probe sees the holder that is there for sure, and once all are done no
// lock or probe file of theirs stays in the runtime folder.
TEST_F(NamedMutexTest, HoldersAndProbesLeaveNoFilesBehind)
{
    platform::NamedMutex steady;
    ASSERT_TRUE(steady.create("VINDRA_VNDXLPW_C0"));
    std::atomic<int> missed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &missed] {
            const std::string own = "VINDRA_VNDXLPW_C" + std::to_string(t + 1);
            for (int i = 0; i < 500; ++i) {
                platform::NamedMutex held;
                if (!held.create(own) || !platform::NamedMutex::exists(own))
                    ++missed;
                if (!platform::NamedMutex::exists("VINDRA_VNDXLPW_C0"))
                    ++missed;
                held.close();
                if (platform::NamedMutex::exists(own + "_EX"))
                    ++missed;
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(missed, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList({"VINDRA_VNDXLPW_C0.lock"}));
    steady.close();
    EXPECT_FALSE(platform::NamedMutex::exists("VINDRA_VNDXLPW_C0"));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(NamedMutexTest, SeenByAnotherProcess)
{
    int to_child[2], from_child[2];
    ASSERT_EQ(pipe(to_child), 0);
    ASSERT_EQ(pipe(from_child), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Holds the mutex until the parent closes its end of the pipe.
        close(to_child[1]);
        close(from_child[0]);
        platform::NamedMutex held;
        const char ok = held.create("SHARED") ? '1' : '0';
        (void)!write(from_child[1], &ok, 1);
        char c;
        while (read(to_child[0], &c, 1) > 0) {
        }
        _exit(0);
    }
    close(to_child[0]);
    close(from_child[1]);
    char ok = 0;
    ASSERT_EQ(read(from_child[0], &ok, 1), 1);
    EXPECT_EQ(ok, '1');
    EXPECT_TRUE(platform::NamedMutex::exists("SHARED"));

    close(to_child[1]);
    int status = 0;
    waitpid(child, &status, 0);
    close(from_child[0]);
    EXPECT_FALSE(platform::NamedMutex::exists("SHARED"));
}

} // namespace
