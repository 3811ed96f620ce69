#include "core/time_base.h"

#include <atomic>
#include <cinttypes>
#include <mutex>

#include "settings/debug_trace.h"
#include "core/timer_wheel.h"
#include "platform/clock.h"

namespace {

constexpr uint64_t window_seconds = 100;

struct TimeBase
{
    std::mutex mutex;
    bool started = false;
    uint64_t frequency = 0; // counter ticks per second
    uint64_t base = 0;      // counter at the start of the current window
    uint64_t window = 0;    // window length in ticks
    uint32_t seconds_offset = 0;
};

TimeBase time_base;
std::atomic<TimerWheel *> main_wheel{nullptr};

} // namespace

void set_current_time(TimeValue &out)
{
    uint64_t delta;
    uint64_t frequency;
    uint32_t seconds_offset;
    {
        std::lock_guard<std::mutex> guard(time_base.mutex);
        const uint64_t now = platform::performance_counter();
        if (!time_base.started) {
            time_base.started = true;
            time_base.frequency = platform::performance_frequency();
            time_base.base = now;
            time_base.window = window_seconds * time_base.frequency;
            time_base.seconds_offset = 0;
            debug_trace("set_current_time: freq=%u / %u", unsigned(time_base.frequency >> 32),
                        unsigned(time_base.frequency & 0xFFFFFFFFu));
            debug_trace("set_current_time: freq=%" PRIu64, time_base.frequency);
        }
        delta = now - time_base.base;
        if (time_base.window && delta > time_base.window) {
            const uint64_t windows = delta / time_base.window;
            time_base.base += windows * time_base.window;
            delta -= windows * time_base.window;
            time_base.seconds_offset += uint32_t(window_seconds * windows);
        }
        frequency = time_base.frequency;
        seconds_offset = time_base.seconds_offset;
    }
    if (frequency == 0) {
        out = TimeValue();
        return;
    }
    const uint64_t micros = delta * 1000000u / frequency;
    out.seconds = uint32_t(micros / 1000000u) + seconds_offset;
    out.microseconds = uint32_t(micros % 1000000u);
}

TimeValue get_current_time()
{
    TimeValue value;
    set_current_time(value);
    return value;
}

void get_timer_time(TimeValue &out)
{
    out = TimeValue();
    if (TimerWheel *wheel = main_wheel.load(std::memory_order_acquire)) {
        const uint32_t ms = wheel->current_time();
        out.seconds = ms / 1000;
        out.microseconds = (ms % 1000) * 1000;
    }
}

void set_main_timer_wheel(TimerWheel *wheel)
{
    main_wheel.store(wheel, std::memory_order_release);
}

TimerWheel *main_timer_wheel()
{
    return main_wheel.load(std::memory_order_acquire);
}

void reset_time_base()
{
    std::lock_guard<std::mutex> guard(time_base.mutex);
    time_base.started = false;
}
