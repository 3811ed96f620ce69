#pragma once
// What a measurement does to the whole process so that its realtime threads
// are not kept waiting: a higher scheduling priority, a 1 ms timer slack and
// its code pages locked in memory. Each step is tried; a refusal is the
// caller's to report, or a debug line, and the measurement goes on.
#include <cstddef>

namespace platform {

// Nice values of the priority classes a measurement runs in.
constexpr int realtime_class_nice = -20;
constexpr int above_normal_class_nice = -10;

// The process's nice value (getpriority); 0 when it cannot be read.
int process_nice();
// setpriority of the process; false when it was refused.
bool set_process_nice(int nice);

// Timer capabilities in ms for the debug line: the finest period (the
// monotonic clock's resolution, at least 1) and the coarsest (the coarse
// clock's tick), both from clock_getres.
struct TimerCaps
{
    int min_period_ms;
    int max_period_ms;
};
TimerCaps timer_caps();

// The calling thread's timer slack in ns (threads made later inherit it).
unsigned long timer_slack_ns();
// prctl(PR_SET_TIMERSLACK); 0 or the errno value.
int set_timer_slack_ns(unsigned long slack_ns);

// The kernel's clock adjustment, read only (adjtimex with no modes).
struct TimeAdjustment
{
    int result;              // adjtimex's answer: the clock state, -1 on failure
    unsigned tick_us;        // microseconds added per clock tick
    unsigned frequency_ppm;  // frequency correction in whole ppm
    unsigned adjustment_off; // 1 when no phase-locked adjustment runs
};
TimeAdjustment time_adjustment();

// Locks the executable mappings of /proc/self/maps (at most max_regions of
// them walked) into memory: the code and data sizes are summed first, the
// RLIMIT_MEMLOCK soft limit is raised to twice their sum within the hard
// limit, then each executable mapping is mlock'ed. Every step and failure
// writes a debug line; a failed mapping does not stop the walk. Answers the
// number of mappings locked.
int lock_code_mappings(size_t max_regions = 1000);

} // namespace platform
