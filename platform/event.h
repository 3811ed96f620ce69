#pragma once
// An event object that threads wait on: set by one side, waited for by
// another. Backed by an eventfd, so it can be waited for together with
// sockets and device handles (see wait.h).
//
// An auto-reset event is reset by the wait that reports it; a manual-reset
// event stays set until reset() is called. Setting an event that is already
// set changes nothing: one wait reports it once.
#include "platform/wait.h"

namespace platform {

class Event
{
public:
    enum class Reset { automatic, manual };

    explicit Event(Reset reset = Reset::automatic, bool initially_set = false);
    ~Event();
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;

    // False when the eventfd could not be created (the process ran out of descriptors).
    bool is_valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool is_manual_reset() const { return reset_ == Reset::manual; }

    // The handle to put into a wait_any() set.
    WaitHandle handle() const { return WaitHandle{fd_, reset_ == Reset::automatic}; }

    void set();
    void reset();
    // True while the event is set; does not reset it.
    bool is_set() const;
    // Waits until the event is set or timeout_ms passes (wait_infinite: no limit).
    // True when it was set; an auto-reset event is then reset.
    bool wait(int timeout_ms);

private:
    int fd_ = -1;
    Reset reset_;
};

} // namespace platform
