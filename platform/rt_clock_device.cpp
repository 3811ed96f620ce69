#include "platform/rt_clock_device.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<int> open_handles{0};

// Only event objects may be registered: writing a tick into any other
// descriptor would corrupt whatever it is.
bool is_event_fd(int fd)
{
    char link[64];
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
    if (n < 0)
        return false;
    link[n] = 0;
    return std::strcmp(link, "anon_inode:[eventfd]") == 0;
}

} // namespace

std::unique_ptr<RtClockDevice> RtClockDevice::open(const std::string &name)
{
    const std::string prefix = "\\\\.\\";
    std::string bare = name.compare(0, prefix.size(), prefix) == 0 ? name.substr(prefix.size()) : name;
    if (bare != "rtclockx0")
        return nullptr;

    std::unique_ptr<RtClockDevice> device(new RtClockDevice);
    device->timer_fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    device->stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (device->timer_fd_ < 0 || device->stop_fd_ < 0)
        return nullptr;
    device->ticker_ = std::thread(&RtClockDevice::tick_loop, device.get());
    ++open_handles;
    return device;
}

RtClockDevice::~RtClockDevice()
{
    if (ticker_.joinable()) {
        const uint64_t one = 1;
        while (write(stop_fd_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        ticker_.join();
        --open_handles;
    }
    for (int fd : {timer_fd_, stop_fd_, tick_event_fd_})
        if (fd >= 0)
            close(fd);
}

int RtClockDevice::open_count()
{
    return open_handles.load();
}

int RtClockDevice::control(uint32_t code, const void *input, size_t input_size, void *output, size_t output_size,
                           size_t *returned)
{
    if (returned)
        *returned = 0;
    switch (code) {
    case ioctl_get_version: {
        if (!output || output_size < 4 * sizeof(uint32_t))
            return EINVAL;
        const uint32_t words[4] = {version_major, version_minor, version_build, uint32_t(open_count())};
        std::memcpy(output, words, sizeof words);
        if (returned)
            *returned = sizeof words;
        return 0;
    }
    case ioctl_set_tick_event: {
        if (!input || input_size != sizeof(uint32_t))
            return EINVAL;
        uint32_t handle;
        std::memcpy(&handle, input, sizeof handle);
        if (handle > uint32_t(INT_MAX))
            return EBADF;
        return set_tick_event(int(handle));
    }
    case ioctl_set_next_tick: {
        if (!input || input_size != sizeof(uint32_t))
            return EINVAL;
        uint32_t delay_ms;
        std::memcpy(&delay_ms, input, sizeof delay_ms);
        return set_next_tick(delay_ms);
    }
    default:
        return EINVAL;
    }
}

int RtClockDevice::set_tick_event(int event_fd)
{
    if (!is_event_fd(event_fd))
        return EBADF;
    // A duplicate keeps the event alive for the device even when its owner
    // closes it, so a tick never lands in a reused descriptor number.
    const int own = fcntl(event_fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return errno;
    int old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old = tick_event_fd_;
        tick_event_fd_ = own;
    }
    if (old >= 0)
        close(old);
    // The timer runs only while someone listens to it.
    itimerspec spec{};
    spec.it_interval.tv_nsec = tick_ms * 1000000L;
    spec.it_value = spec.it_interval;
    if (old < 0 && timerfd_settime(timer_fd_, 0, &spec, nullptr) < 0)
        return errno;
    return 0;
}

int RtClockDevice::set_next_tick(uint32_t delay_ms)
{
    // A one-shot timer: no interval. A zero time would disarm it, so "at
    // once" becomes the shortest time there is.
    itimerspec spec{};
    spec.it_value.tv_sec = time_t(delay_ms / 1000);
    spec.it_value.tv_nsec = long(delay_ms % 1000) * 1000000L;
    if (delay_ms == 0)
        spec.it_value.tv_nsec = 1;
    return timerfd_settime(timer_fd_, 0, &spec, nullptr) < 0 ? errno : 0;
}

void RtClockDevice::tick_loop()
{
    pollfd fds[2] = {{stop_fd_, POLLIN, 0}, {timer_fd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (!(fds[1].revents & POLLIN))
            continue;
        uint64_t expirations;
        if (read(timer_fd_, &expirations, sizeof expirations) != ssize_t(sizeof expirations))
            continue;
        // Ticks missed while this thread was not scheduled fold into one
        // setting of the event, as they would for an auto-reset event anyway.
        const uint64_t one = 1;
        std::lock_guard<std::mutex> lock(mutex_);
        if (tick_event_fd_ >= 0)
            (void)!write(tick_event_fd_, &one, sizeof one);
    }
}

} // namespace platform
