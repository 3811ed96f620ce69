#pragma once
// A filter set that the receive thread reads while the GUI thread replaces
// it. The receive thread marks every pass through its entry with a sequence
// number that is odd while it runs (PutSequence::Guard) and reads the set's pointer
// once inside. A replaced set is freed at once when no pass was running at
// the swap, else as soon as the sequence has moved on from the value seen at
// the swap (checked at the next replacement), and at the latest when the
// store is detached from its interface.
#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class PutSequence
{
public:
    // Receive thread: around each pass that reads a filter set.
    class Guard
    {
    public:
        explicit Guard(PutSequence &sequence) : m_sequence(sequence)
        {
            m_sequence.m_value.store(++m_sequence.m_own, std::memory_order_seq_cst);
        }
        ~Guard() { m_sequence.m_value.store(++m_sequence.m_own, std::memory_order_release); }
        Guard(const Guard &) = delete;
        Guard &operator=(const Guard &) = delete;

    private:
        PutSequence &m_sequence;
    };

    uint64_t value() const { return m_value.load(std::memory_order_seq_cst); }

private:
    std::atomic<uint64_t> m_value{0};
    uint64_t m_own = 0; // the receive thread's copy
};

template <typename Set> class TraceFilterSlot
{
public:
    explicit TraceFilterSlot(const PutSequence &sequence) : m_sequence(sequence) {}
    ~TraceFilterSlot() { delete m_current.load(std::memory_order_relaxed); }
    TraceFilterSlot(const TraceFilterSlot &) = delete;
    TraceFilterSlot &operator=(const TraceFilterSlot &) = delete;

    // Receive thread, inside a guard: the set to test against, or null.
    const Set *get() const { return m_current.load(std::memory_order_seq_cst); }

    // GUI thread: publishes the set (null: no filter) and frees what no pass
    // can still read.
    void replace(std::unique_ptr<Set> set)
    {
        Set *old = m_current.exchange(set.release(), std::memory_order_seq_cst);
        const uint64_t at_swap = m_sequence.value();
        if (old)
            m_retired.emplace_back(at_swap, std::unique_ptr<Set>(old));
        reclaim();
    }

    // GUI thread, with no pass running (the store is not attached): frees
    // the set and every retired one.
    void release()
    {
        delete m_current.exchange(nullptr, std::memory_order_seq_cst);
        m_retired.clear();
    }

    // Sets replaced but not yet freed.
    int retired_count() const { return int(m_retired.size()); }

private:
    void reclaim()
    {
        const uint64_t now = m_sequence.value();
        std::vector<std::pair<uint64_t, std::unique_ptr<Set>>> kept;
        for (auto &entry : m_retired) {
            // Even: no pass ran at the swap; moved on: that pass has ended.
            if (entry.first % 2 == 1 && entry.first == now)
                kept.push_back(std::move(entry));
        }
        m_retired.swap(kept);
    }

    const PutSequence &m_sequence;
    std::atomic<Set *> m_current{nullptr};
    std::vector<std::pair<uint64_t, std::unique_ptr<Set>>> m_retired;
};
