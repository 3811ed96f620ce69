#pragma once
// A value that one thread reads without a lock while other threads replace
// it: the listener lists an interface's realtime thread walks for every
// frame, the pass filters of a log writer. The reading thread marks each pass
// over its published values with a sequence number that is odd while the
// pass runs (RealtimePasses::Pass) and reads each value's pointer once
// inside; a replacing thread publishes a new copy and frees the old one once
// no pass can read it any more.
//
// A replaced value is freed at once when no pass was running at the swap,
// else as soon as the sequence has moved on from the number seen at the swap
// (checked at the next replacement, or waited for by replace_and_wait), and
// at the latest with the published value.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class RealtimePasses
{
public:
    // The reading thread: around each pass that reads published values.
    class Pass
    {
    public:
        explicit Pass(RealtimePasses &passes) : m_passes(passes)
        {
            m_passes.m_value.store(++m_passes.m_own, std::memory_order_seq_cst);
        }
        ~Pass() { m_passes.m_value.store(++m_passes.m_own, std::memory_order_release); }
        Pass(const Pass &) = delete;
        Pass &operator=(const Pass &) = delete;

    private:
        RealtimePasses &m_passes;
    };

    uint64_t value() const { return m_value.load(std::memory_order_seq_cst); }
    // True when no pass that ran at the time `seen` was read still runs.
    bool passed(uint64_t seen) const { return seen % 2 == 0 || value() != seen; }
    // Waits until passed(seen); a pass is a short walk, so the wait yields.
    void wait_passed(uint64_t seen) const
    {
        while (!passed(seen))
            std::this_thread::yield();
    }

private:
    std::atomic<uint64_t> m_value{0};
    uint64_t m_own = 0; // the reading thread's copy
};

template <typename T> class RealtimePublished
{
public:
    explicit RealtimePublished(const RealtimePasses &passes) : m_passes(passes) {}
    ~RealtimePublished() { delete m_current.load(std::memory_order_relaxed); }
    RealtimePublished(const RealtimePublished &) = delete;
    RealtimePublished &operator=(const RealtimePublished &) = delete;

    // The reading thread, inside a pass: the value, or null.
    const T *get() const { return m_current.load(std::memory_order_seq_cst); }

    // Any other thread: publishes the value (null: none) and frees what no
    // pass can still read; the old value may live on until a later call.
    void replace(std::unique_ptr<T> value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        retire(m_current.exchange(value.release(), std::memory_order_seq_cst));
        reclaim();
    }
    // The same, and returns only once no pass reads the old value any more,
    // so that what it pointed to may go.
    void replace_and_wait(std::unique_ptr<T> value)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        T *old = m_current.exchange(value.release(), std::memory_order_seq_cst);
        m_passes.wait_passed(m_passes.value());
        delete old;
        reclaim();
    }
    // Publishes a changed copy of the value: change gets the copy (a new
    // value when none is published) and the rest is as replace_and_wait.
    template <typename Change> void update_and_wait(Change change)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const T *current = m_current.load(std::memory_order_relaxed);
        auto copy = current ? std::make_unique<T>(*current) : std::make_unique<T>();
        change(*copy);
        T *old = m_current.exchange(copy.release(), std::memory_order_seq_cst);
        m_passes.wait_passed(m_passes.value());
        delete old;
        reclaim();
    }

    // Replaced values not yet freed.
    int retired_count() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(m_retired.size());
    }

private:
    // Under m_mutex.
    void retire(T *old)
    {
        if (old)
            m_retired.emplace_back(m_passes.value(), std::unique_ptr<T>(old));
    }
    void reclaim()
    {
        std::vector<std::pair<uint64_t, std::unique_ptr<T>>> kept;
        for (auto &entry : m_retired)
            if (!m_passes.passed(entry.first))
                kept.push_back(std::move(entry));
        m_retired.swap(kept);
    }

    const RealtimePasses &m_passes;
    std::atomic<T *> m_current{nullptr};
    mutable std::mutex m_mutex; // between replacing threads only
    std::vector<std::pair<uint64_t, std::unique_ptr<T>>> m_retired;
};
