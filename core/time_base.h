#pragma once
// The measurement clock: seconds and microseconds since its first use, read
// from the platform's performance counter and safe from every thread.
#include <cstdint>

class TimerWheel;

struct TimeValue
{
    uint32_t seconds = 0;
    uint32_t microseconds = 0; // 0 .. 999999
};

// Reads the clock. The counter base moves forward in whole windows of 100
// seconds so that the microsecond arithmetic stays far inside 64 bits.
void set_current_time(TimeValue &out);
TimeValue get_current_time();

// The current time of the main window's timer wheel, split into seconds and
// microseconds; zero when there is no wheel.
void get_timer_time(TimeValue &out);

// The wheel that get_timer_time reads (not owned); the main window sets it
// and clears it before deleting its wheel.
void set_main_timer_wheel(TimerWheel *wheel);
TimerWheel *main_timer_wheel();

// Forgets the first use, so that the next read starts the clock again from
// the counter of the current clock source. For tests.
void reset_time_base();
