#pragma once
// The kernel services that the driver code is written against, made of what
// Linux offers a user-space daemon: a one-shot timer whose routine runs on
// the loop thread (the timer DPC), work items (deferred routines on the loop
// thread), referenced user events (eventfds passed by clients), shared
// memory blocks (memfds that clients map), registry values and the debug
// print gated by the driver's debug flags.
//
// There are no locks: every driver routine runs on the one loop thread, so
// the card mutex, the channel mutex and a queue's access lock are all held
// by construction.
#include "driver/event_loop.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// A timer that calls its routine once on the loop thread when it expires.
class KernelTimer
{
public:
    KernelTimer(EventLoop &loop, std::function<void()> routine);
    ~KernelTimer();
    KernelTimer(const KernelTimer &) = delete;
    KernelTimer &operator=(const KernelTimer &) = delete;

    // Arms the timer to expire once after ms milliseconds, replacing any
    // earlier setting.
    void set(uint32_t ms);
    void cancel();

private:
    EventLoop &loop_;
    std::function<void()> routine_;
    int fd_ = -1;
    uint64_t watch_ = 0;
};

// Queues a routine to run on the loop thread after the current request.
void queue_work_item(EventLoop &loop, std::function<void()> routine);

// A user event referenced by the driver: an eventfd that a client passed.
class EventReference
{
public:
    EventReference() = default;
    // Takes ownership of fd. Its file flags stay as they are: the client
    // shares the open file and may wait on it with a blocking read.
    explicit EventReference(int fd);
    ~EventReference();
    EventReference(EventReference &&other) noexcept;
    EventReference &operator=(EventReference &&other) noexcept;

    // Sets the event: writes 1 to the eventfd, unless its counter is at the
    // limit (the event is set then), which would hold the loop in the write.
    void signal() const;

private:
    int fd_ = -1;
};

// True when fd is an eventfd, the only kind of object a client may hand in
// as an event (the driver writes to it).
bool is_event_descriptor(int fd);

// Zero-filled memory that the driver owns and a client can map: a memfd
// mapped into the daemon.
class SharedBlock
{
public:
    // nullptr when memory is short.
    static std::unique_ptr<SharedBlock> allocate(size_t size, const char *name);
    ~SharedBlock();
    SharedBlock(const SharedBlock &) = delete;
    SharedBlock &operator=(const SharedBlock &) = delete;

    uint8_t *data() const { return data_; }
    size_t size() const { return size_; }
    // The memfd to pass to a client; stays owned by the block.
    int fd() const { return fd_; }

private:
    SharedBlock(int fd, uint8_t *data, size_t size) : fd_(fd), data_(data), size_(size) {}
    int fd_;
    uint8_t *data_;
    size_t size_;
};

// Reads a 32-bit number value of a key below the machine hive
// ("Software\VINDRA AB\VIVozozav 1.0\Options"). False when the value is
// missing or is not a number.
bool read_registry_dword(const std::string &key, const std::string &value_name, uint32_t *value);

// The debug print: writes the line to the daemon's standard error when the
// debug flags have one of the bits of mask.
void debug_print(uint32_t debug_flags, uint32_t mask, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
