#include "driver/kernel_services.h"

#include "platform/registry.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

KernelTimer::KernelTimer(EventLoop &loop, std::function<void()> routine)
    : loop_(loop), routine_(std::move(routine))
{
    fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd_ >= 0) {
        watch_ = loop_.watch(fd_, EPOLLIN, [this](uint32_t) {
            uint64_t expirations;
            if (read(fd_, &expirations, sizeof expirations) == sizeof expirations)
                routine_();
        });
    }
}

KernelTimer::~KernelTimer()
{
    loop_.unwatch(watch_);
    if (fd_ >= 0)
        close(fd_);
}

void KernelTimer::set(uint32_t ms)
{
    itimerspec due{};
    due.it_value.tv_sec = ms / 1000;
    due.it_value.tv_nsec = long(ms % 1000) * 1000000L;
    if (ms == 0)
        due.it_value.tv_nsec = 1; // "expire at once"; a zero value would disarm
    timerfd_settime(fd_, 0, &due, nullptr);
}

void KernelTimer::cancel()
{
    itimerspec none{};
    timerfd_settime(fd_, 0, &none, nullptr);
    // An expiry that is already pending must not run the routine any more.
    uint64_t expirations;
    ssize_t ignored = read(fd_, &expirations, sizeof expirations);
    (void)ignored;
}

void queue_work_item(EventLoop &loop, std::function<void()> routine)
{
    loop.post(std::move(routine));
}

EventReference::EventReference(int fd) : fd_(fd)
{
}

EventReference::~EventReference()
{
    if (fd_ >= 0)
        close(fd_);
}

EventReference::EventReference(EventReference &&other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

EventReference &EventReference::operator=(EventReference &&other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void EventReference::signal() const
{
    if (fd_ < 0)
        return;
    // The descriptor may be blocking, and no call writes it without
    // blocking but for this test: an eventfd is writable while adding 1
    // cannot overflow its counter. Only the client itself, writing to its
    // own event between the test and the write, could still fill it.
    pollfd writable{fd_, POLLOUT, 0};
    if (poll(&writable, 1, 0) != 1 || !(writable.revents & POLLOUT))
        return;
    const uint64_t one = 1;
    ssize_t written;
    do
        written = write(fd_, &one, sizeof one);
    while (written < 0 && errno == EINTR);
}

bool is_event_descriptor(int fd)
{
    char link[64];
    char target[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length < 0)
        return false;
    target[length] = '\0';
    return std::strcmp(target, "anon_inode:[eventfd]") == 0;
}

std::unique_ptr<SharedBlock> SharedBlock::allocate(size_t size, const char *name)
{
    const int fd = memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return nullptr;
    // The size never changes: a client cannot shrink the block under the daemon.
    if (ftruncate(fd, off_t(size)) != 0 || fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        close(fd);
        return nullptr;
    }
    void *data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<SharedBlock>(new SharedBlock(fd, static_cast<uint8_t *>(data), size));
}

SharedBlock::~SharedBlock()
{
    munmap(data_, size_);
    close(fd_);
}

bool read_registry_dword(const std::string &key, const std::string &value_name, uint32_t *value)
{
    return platform::Registry().read_int(key, value_name, value);
}

void debug_print(uint32_t debug_flags, uint32_t mask, const char *format, ...)
{
    if (!(debug_flags & mask))
        return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fputs(line, stderr);
}

