#include "platform/realtime.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

TEST(Realtime, ThreadGetsFifoSchedulingOrAnExplicitRefusal)
{
    std::thread worker([] {
        const int r = platform::set_thread_realtime(true);
        if (r == 0) {
            EXPECT_TRUE(platform::thread_is_realtime());
            EXPECT_EQ(platform::set_thread_realtime(false), 0);
        } else {
            EXPECT_TRUE(r == EPERM || r == EINVAL) << r;
        }
        EXPECT_FALSE(platform::thread_is_realtime());
    });
    worker.join();
}

TEST(Realtime, WorkingSetLockIsTakenOrRefused)
{
    const int r = platform::lock_working_set();
    EXPECT_TRUE(r == 0 || r == EPERM || r == ENOMEM || r == EAGAIN) << r;
    if (r == 0) {
        EXPECT_EQ(platform::unlock_working_set(), 0);
    }
}

TEST(Realtime, EachPrivilegeRefusalIsReportedOnce)
{
    using platform::Privilege;
    platform::forget_refusals();
    EXPECT_TRUE(platform::first_refusal(Privilege::realtime_priority));
    EXPECT_FALSE(platform::first_refusal(Privilege::realtime_priority));
    EXPECT_TRUE(platform::first_refusal(Privilege::locked_working_set));
    platform::forget_refusals();
    EXPECT_TRUE(platform::first_refusal(Privilege::realtime_priority));
    platform::forget_refusals();
}
