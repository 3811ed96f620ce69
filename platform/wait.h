#pragma once
// Waiting for the first of several handles, the way the realtime threads
// wait: every waitable thing is a file descriptor (events, sockets, serial
// ports, device handles).
#include <vector>

namespace platform {

// One entry of a wait set. An auto-reset handle is an auto-reset Event:
// the wait that reports it consumes its signal. Every other descriptor is
// reported while it is readable and left as it is.
struct WaitHandle
{
    int fd = -1;
    bool auto_reset = false;
};

constexpr int wait_infinite = -1;
// Results of wait_any() besides the index of the ready handle.
constexpr int wait_timeout = -1;
constexpr int wait_failed = -2;
constexpr int max_wait_handles = 64;

// Waits until one of the handles is ready or timeout_ms passes (0 polls,
// wait_infinite waits without limit). Answers the lowest index among the
// ready handles and resets only that one when it is an auto-reset event;
// wait_timeout when none became ready, wait_failed when the set cannot be
// waited for (an invalid descriptor, or more than max_wait_handles).
// Handles with a negative fd are skipped.
int wait_any(const std::vector<WaitHandle> &handles, int timeout_ms);

} // namespace platform
