#include "platform/process_tuning.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(ProcessTuning, TimerSlackAndPriorityAreSetAndRestored)
{
    const unsigned long slack = platform::timer_slack_ns();
    ASSERT_EQ(platform::set_timer_slack_ns(1), 0);
    EXPECT_EQ(platform::timer_slack_ns(), 1u);
    ASSERT_EQ(platform::set_timer_slack_ns(slack), 0);
    EXPECT_EQ(platform::timer_slack_ns(), slack);

    const int nice = platform::process_nice();
    ASSERT_TRUE(platform::set_process_nice(nice + 1)); // lowering the priority needs no right
    EXPECT_EQ(platform::process_nice(), nice + 1);
    if (geteuid() == 0) {
        ASSERT_TRUE(platform::set_process_nice(nice));
        EXPECT_EQ(platform::process_nice(), nice);
    }

    const platform::TimerCaps caps = platform::timer_caps();
    EXPECT_GE(caps.min_period_ms, 1);
    EXPECT_GE(caps.max_period_ms, caps.min_period_ms);
    EXPECT_GE(platform::time_adjustment().result, 0);
}

TEST(ProcessTuning, CodeMappingsAreLockedWithinTheRegionBound)
{
    EXPECT_EQ(platform::lock_code_mappings(0), 0);
    if (geteuid() != 0)
        GTEST_SKIP() << "locking the program's code needs CAP_IPC_LOCK or a large RLIMIT_MEMLOCK";
    EXPECT_GT(platform::lock_code_mappings(), 0);
}
