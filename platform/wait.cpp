#include "platform/wait.h"

#include "settings/debug_trace.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

int64_t monotonic_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Takes the signal of an auto-reset event. False when another waiter took it
// first, so the caller has to wait again.
bool consume(int fd)
{
    uint64_t count;
    for (;;) {
        if (read(fd, &count, sizeof count) == ssize_t(sizeof count))
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

int wait_any(const std::vector<WaitHandle> &handles, int timeout_ms)
{
    if (handles.size() > size_t(max_wait_handles))
        return wait_failed;
    std::array<pollfd, max_wait_handles> fds;
    const size_t count = handles.size();
    for (size_t i = 0; i < count; ++i)
        fds[i] = pollfd{handles[i].fd, POLLIN, 0};

    const int64_t deadline = timeout_ms < 0 ? 0 : monotonic_ms() + timeout_ms;
    int remaining = timeout_ms;
    for (;;) {
        const int n = poll(fds.data(), count, remaining);
        if (n < 0 && errno != EINTR) {
            debug_trace("wait_any: poll failed: %s", std::strerror(errno));
            return wait_failed;
        }
        if (n > 0) {
            for (size_t i = 0; i < count; ++i) {
                const short revents = fds[i].revents;
                if (revents == 0)
                    continue;
                if (revents & POLLNVAL) {
                    debug_trace("wait_any: handle %d is not open", handles[i].fd);
                    return wait_failed;
                }
                if (!handles[i].auto_reset || consume(handles[i].fd))
                    return int(i);
                // Another thread took this event's signal; keep waiting.
                break;
            }
        }
        if (timeout_ms >= 0) {
            const int64_t left = deadline - monotonic_ms();
            if (left <= 0)
                return wait_timeout;
            remaining = int(left);
        }
    }
}

} // namespace platform
