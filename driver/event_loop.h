#pragma once
// The one thread of the vrbus daemon: an epoll loop that serves every
// connection, the card timers and the deferred work. Everything the driver
// does runs on this thread, which therefore serialises the driver code the
// way the card, channel and queue locks of a kernel driver would.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

class EventLoop
{
public:
    using Handler = std::function<void(uint32_t events)>;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop &) = delete;
    EventLoop &operator=(const EventLoop &) = delete;

    bool is_valid() const { return epoll_ >= 0 && wake_ >= 0; }

    // Calls handler with the epoll events whenever fd is ready. Answers a
    // watch id (0 when the fd cannot be watched). The fd stays the caller's.
    uint64_t watch(int fd, uint32_t events, Handler handler);
    // Stops watching; safe inside a handler, also for its own watch.
    void unwatch(uint64_t id);

    // Runs work on the loop thread after the events being handled now.
    void post(std::function<void()> work);

    // Serves until stop() is called.
    void run();
    // Ends run(); safe from any thread and from a signal handler.
    void stop();

private:
    struct Watch
    {
        int fd;
        Handler handler;
    };

    int epoll_ = -1;
    int wake_ = -1;
    std::atomic<bool> stopping_{false};
    uint64_t next_id_ = 1;
    std::unordered_map<uint64_t, Watch> watches_;
    std::vector<uint64_t> retired_;
    std::deque<std::function<void()>> posted_;
};
