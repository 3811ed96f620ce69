#pragma once
// The outside clock driver "rtclockx" as an in-process device. It answers a
// version request and, once an event is registered with it, sets that event
// on every tick of a 1 ms timerfd, so a realtime thread can take its time
// steps from the clock instead of from its wait time-outs. A thread that
// knows when it next has work arms the clock for that time instead: the
// event is then set once, and the ticks stop.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class RtClockDevice
{
public:
    // The device as the program names it; the leading "\\.\" is optional.
    static constexpr const char *device_name = "\\\\.\\rtclockx0";
    // Output: four 32-bit words: major, minor, build, open count.
    static constexpr uint32_t ioctl_get_version = 0x80002004;
    // Input: the 4-byte handle (descriptor) of an event to set on every tick.
    static constexpr uint32_t ioctl_set_tick_event = 0x80002008;
    // Input: a 4-byte count of milliseconds: the registered event is set once,
    // that long from now (0: at once), in place of the ticks. A later request
    // replaces the earlier one.
    static constexpr uint32_t ioctl_set_next_tick = 0x8000200C;
    static constexpr uint32_t version_major = 1;
    static constexpr uint32_t version_minor = 0;
    static constexpr uint32_t version_build = 1;
    static constexpr int tick_ms = 1;

    // Opens a handle of the device; null when the name is not the device's
    // or its timer cannot be created.
    static std::unique_ptr<RtClockDevice> open(const std::string &name = device_name);
    ~RtClockDevice();
    RtClockDevice(const RtClockDevice &) = delete;
    RtClockDevice &operator=(const RtClockDevice &) = delete;

    // A control request. Answers 0 and the number of output bytes in
    // *returned, or an errno value: EINVAL for an unknown code or a buffer of
    // the wrong size, EBADF when the handle given is not an event.
    // Registering an event replaces the one this handle had.
    int control(uint32_t code, const void *input, size_t input_size, void *output, size_t output_size,
                size_t *returned = nullptr);

    // Number of open handles of the device in this process.
    static int open_count();

private:
    RtClockDevice() = default;
    int set_tick_event(int event_fd);
    int set_next_tick(uint32_t delay_ms);
    void tick_loop();

    int timer_fd_ = -1;
    int stop_fd_ = -1;
    std::thread ticker_;
    std::mutex mutex_;
    int tick_event_fd_ = -1; // our own duplicate of the registered event, guarded by mutex_
};

} // namespace platform
