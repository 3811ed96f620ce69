#include "driver/event_loop.h"

#include <cerrno>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
constexpr uint64_t kWakeId = 0;
constexpr int kMaxEvents = 64;
} // namespace

EventLoop::EventLoop()
{
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (epoll_ >= 0 && wake_ >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kWakeId;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
    }
}

EventLoop::~EventLoop()
{
    if (wake_ >= 0)
        close(wake_);
    if (epoll_ >= 0)
        close(epoll_);
}

uint64_t EventLoop::watch(int fd, uint32_t events, Handler handler)
{
    const uint64_t id = next_id_++;
    epoll_event event{};
    event.events = events;
    event.data.u64 = id;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0)
        return 0;
    watches_.emplace(id, Watch{fd, std::move(handler)});
    return id;
}

void EventLoop::unwatch(uint64_t id)
{
    auto found = watches_.find(id);
    if (found == watches_.end() || found->second.fd < 0)
        return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, found->second.fd, nullptr);
    // The handler may be running right now: it goes after the current batch.
    found->second.fd = -1;
    retired_.push_back(id);
}

void EventLoop::post(std::function<void()> work)
{
    posted_.push_back(std::move(work));
}

void EventLoop::run()
{
    epoll_event events[kMaxEvents];
    while (!stopping_.load()) {
        // Only the work posted before this round runs now: work that posts
        // more work (auto responses answering each other) must not keep the
        // loop from serving its descriptors.
        std::deque<std::function<void()>> due;
        due.swap(posted_);
        while (!due.empty() && !stopping_.load()) {
            auto work = std::move(due.front());
            due.pop_front();
            work();
        }
        if (stopping_.load())
            break;
        const int count = epoll_wait(epoll_, events, kMaxEvents, posted_.empty() ? -1 : 0);
        if (count < 0 && errno != EINTR)
            break;
        for (int i = 0; i < count; ++i) {
            const uint64_t id = events[i].data.u64;
            if (id == kWakeId) {
                uint64_t value;
                while (read(wake_, &value, sizeof value) < 0 && errno == EINTR) {
                }
                continue;
            }
            auto found = watches_.find(id);
            if (found != watches_.end() && found->second.fd >= 0)
                found->second.handler(events[i].events);
        }
        for (uint64_t id : retired_)
            watches_.erase(id);
        retired_.clear();
    }
}

void EventLoop::stop()
{
    stopping_.store(true);
    const uint64_t one = 1;
    // write() is async-signal-safe; a full counter means a wake-up is pending anyway.
    ssize_t ignored = write(wake_, &one, sizeof one);
    (void)ignored;
}
