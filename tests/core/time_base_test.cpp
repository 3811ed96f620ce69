#include "core/time_base.h"
#include "core/timer_wheel.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

namespace {

class TimeBaseTest : public ::testing::Test
{
protected:
    void use_clock(platform::ManualClock &clock)
    {
        platform::set_clock_source(&clock);
        reset_time_base();
    }
    void TearDown() override
    {
        platform::set_clock_source(nullptr);
        reset_time_base();
    }
};

TEST_F(TimeBaseTest, CrossesTheHundredSecondRebaseWithoutAJump)
{
    platform::ManualClock clock(1000000000ull, 123456789ull);
    use_clock(clock);
    TimeValue t = get_current_time();
    EXPECT_EQ(t.seconds, 0u);
    EXPECT_EQ(t.microseconds, 0u);

    clock.advance(99999999000ull); // 99.999999 s
    t = get_current_time();
    EXPECT_EQ(t.seconds, 99u);
    EXPECT_EQ(t.microseconds, 999999u);

    clock.advance(2000); // 100.000001 s: the first rebase
    set_current_time(t);
    EXPECT_EQ(t.seconds, 100u);
    EXPECT_EQ(t.microseconds, 1u);

    clock.advance(150499999000ull); // 250.5 s
    t = get_current_time();
    EXPECT_EQ(t.seconds, 250u);
    EXPECT_EQ(t.microseconds, 500000u);
}

// With an odd frequency every read must still equal ticks x 10^6 / frequency
// from the first read, before and after any number of rebases.
TEST_F(TimeBaseTest, MatchesExactArithmeticAcrossManyWindows)
{
    const uint64_t frequency = 3579545;
    platform::ManualClock clock(frequency, 42);
    use_clock(clock);
    get_current_time();
    uint64_t ticks = 0;
    uint64_t previous = 0;
    for (const uint64_t step : {1ull, 7ull * frequency / 3, 100ull * frequency, 100ull * frequency - 1, 2ull,
                                1234ull * frequency + 17, 5ull}) {
        clock.advance(step);
        ticks += step;
        const TimeValue t = get_current_time();
        const unsigned __int128 exact = (unsigned __int128)ticks * 1000000u / frequency;
        const uint64_t micros = uint64_t(t.seconds) * 1000000u + t.microseconds;
        EXPECT_EQ(micros, uint64_t(exact)) << "after " << ticks << " ticks";
        EXPECT_LT(t.microseconds, 1000000u);
        EXPECT_GE(micros, previous);
        previous = micros;
    }
}

TEST_F(TimeBaseTest, TimerTimeFollowsTheMainWheel)
{
    TimeValue t;
    t.seconds = 9;
    get_timer_time(t);
    EXPECT_EQ(t.seconds, 0u);
    EXPECT_EQ(t.microseconds, 0u);

    TimerWheel wheel(1024, 0, 1, 200);
    wheel.set_time(12345);
    set_main_timer_wheel(&wheel);
    EXPECT_EQ(main_timer_wheel(), &wheel);
    get_timer_time(t);
    EXPECT_EQ(t.seconds, 12u);
    EXPECT_EQ(t.microseconds, 345000u);
    set_main_timer_wheel(nullptr);
}

} // namespace
