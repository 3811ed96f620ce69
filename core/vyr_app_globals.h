#pragma once
// What the application shell keeps in globals for the interface threads: the
// command-line switches that shape the realtime loop, and the handle of the
// outside clock driver.
#include <atomic>

namespace platform {
class RtClockDevice;
}

struct VyrAppOptions
{
    // "-nort": no time-critical thread priority, unless "-nice" is given too.
    std::atomic<bool> nort{false};
    std::atomic<bool> nice{false};
    // "-use_timerevents": a wake-up by a device or notification handle also
    // advances the timer wheel.
    std::atomic<bool> use_timerevents{false};
    // "-use_timercpu": the wheel-driving thread polls with a zero time-out.
    std::atomic<bool> use_timercpu{false};
};

// The switches of this process; the shell sets them at start-up.
VyrAppOptions &vyr_app_options();

// The user preferences that interfaces read; the shell loads them.
struct VyrUserPreferences
{
    // A script or description file changed on disk is reloaded at measurement
    // start without asking.
    std::atomic<bool> reload_changed_files{false};
};
VyrUserPreferences &vyr_user_preferences();

// The open clock driver "rtclockx", or null when it is not open (the shell
// opens it at start-up unless told not to, and owns it).
platform::RtClockDevice *clock_driver_handle();
void set_clock_driver_handle(platform::RtClockDevice *device);
