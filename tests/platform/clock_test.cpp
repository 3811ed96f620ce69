#include "platform/clock.h"

#include <gtest/gtest.h>

TEST(Clock, MonotonicClockMovesForward)
{
    platform::MonotonicClock clock;
    const uint64_t a = clock.counter();
    const uint64_t b = clock.counter();
    EXPECT_LE(a, b);
    EXPECT_EQ(clock.frequency(), 1000000000ull);
}

TEST(Clock, InstalledSourceReplacesTheMonotonicClock)
{
    platform::ManualClock manual(1000, 5);
    platform::set_clock_source(&manual);
    EXPECT_EQ(platform::performance_counter(), 5u);
    manual.advance_ms(250);
    EXPECT_EQ(platform::performance_counter(), 255u);
    EXPECT_EQ(platform::performance_frequency(), 1000u);
    platform::set_clock_source(nullptr);
    EXPECT_EQ(platform::performance_frequency(), 1000000000ull);
}
