#pragma once
// The performance counter of the platform: a monotonic tick count and its
// frequency. The process reads it through a replaceable source so that tests
// can drive time by hand instead of sleeping.
#include <cstdint>

namespace platform {

class ClockSource
{
public:
    virtual ~ClockSource() = default;
    virtual uint64_t frequency() const = 0; // ticks per second
    virtual uint64_t counter() const = 0;   // ticks since an arbitrary origin
};

// CLOCK_MONOTONIC in nanoseconds.
class MonotonicClock : public ClockSource
{
public:
    uint64_t frequency() const override;
    uint64_t counter() const override;
};

// A clock that only moves when told to; for tests.
class ManualClock : public ClockSource
{
public:
    explicit ManualClock(uint64_t frequency = 1000000000ull, uint64_t start = 0)
        : frequency_(frequency), counter_(start) {}
    uint64_t frequency() const override { return frequency_; }
    uint64_t counter() const override { return counter_; }
    void advance(uint64_t ticks) { counter_ += ticks; }
    void advance_ms(uint64_t ms) { counter_ += ms * frequency_ / 1000; }

private:
    uint64_t frequency_;
    uint64_t counter_;
};

// The source in use; the monotonic clock unless a test installed another.
ClockSource &clock_source();
// Installs a source (not owned); nullptr goes back to the monotonic clock.
void set_clock_source(ClockSource *source);

inline uint64_t performance_frequency() { return clock_source().frequency(); }
inline uint64_t performance_counter() { return clock_source().counter(); }

} // namespace platform
