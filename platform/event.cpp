#include "platform/event.h"

#include "settings/debug_trace.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

Event::Event(Reset reset, bool initially_set) : reset_(reset)
{
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0)
        debug_trace("Event::Event: eventfd failed: %s", std::strerror(errno));
    if (initially_set)
        set();
}

Event::~Event()
{
    if (fd_ >= 0)
        close(fd_);
}

void Event::set()
{
    if (fd_ < 0)
        return;
    const uint64_t one = 1;
    // The counter only needs to be non-zero; a write can fail only when it
    // is about to overflow, and then the event is set already.
    while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Event::reset()
{
    if (fd_ < 0)
        return;
    uint64_t count;
    while (read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool Event::is_set() const
{
    if (fd_ < 0)
        return false;
    pollfd pfd{fd_, POLLIN, 0};
    return poll(&pfd, 1, 0) == 1 && (pfd.revents & POLLIN);
}

bool Event::wait(int timeout_ms)
{
    return wait_any({handle()}, timeout_ms) == 0;
}

} // namespace platform
