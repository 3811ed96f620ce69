#include "platform/clock.h"

#include <atomic>
#include <time.h>

namespace platform {

uint64_t MonotonicClock::frequency() const
{
    return 1000000000ull;
}

uint64_t MonotonicClock::counter() const
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

namespace {
MonotonicClock monotonic_clock;
std::atomic<ClockSource *> installed_source{nullptr};
} // namespace

ClockSource &clock_source()
{
    ClockSource *source = installed_source.load(std::memory_order_acquire);
    return source ? *source : monotonic_clock;
}

void set_clock_source(ClockSource *source)
{
    installed_source.store(source, std::memory_order_release);
}

} // namespace platform
