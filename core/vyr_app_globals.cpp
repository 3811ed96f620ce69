#include "core/vyr_app_globals.h"

namespace {
VyrAppOptions app_options;
std::atomic<platform::RtClockDevice *> clock_driver{nullptr};
} // namespace

VyrAppOptions &vyr_app_options()
{
    return app_options;
}

VyrUserPreferences &vyr_user_preferences()
{
    static VyrUserPreferences preferences;
    return preferences;
}

platform::RtClockDevice *clock_driver_handle()
{
    return clock_driver.load();
}

void set_clock_driver_handle(platform::RtClockDevice *device)
{
    clock_driver.store(device);
}
