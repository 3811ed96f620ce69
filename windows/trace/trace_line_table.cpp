#include "windows/trace/trace_line_table.h"

#include <cstring>

TraceLineTable::TraceLineTable() = default;

TraceLineData TraceLineTable::own_copy(const Line &line)
{
    TraceLineData data;
    std::memcpy(static_cast<void *>(&data), line.words.data(), sizeof data);
    return data;
}

void TraceLineTable::store(Line &line, const TraceLineData &data)
{
    uint64_t words[line_words];
    std::memcpy(words, &data, sizeof data);
    const uint32_t sequence = line.sequence.load(std::memory_order_relaxed);
    line.sequence.store(sequence + 1, std::memory_order_relaxed);
    // Release: a reader that sees any new word also sees the odd number.
    for (int i = 0; i < line_words; ++i)
        __atomic_store_n(&line.words[size_t(i)], words[i], __ATOMIC_RELEASE);
    line.sequence.store(sequence + 2, std::memory_order_release);
}

TraceLineData TraceLineTable::load(const Line &line) const
{
    uint64_t words[line_words];
    for (;;) {
        const uint32_t before = line.sequence.load(std::memory_order_acquire);
        if (before & 1)
            continue;
        // Acquire: the check below cannot move before these loads.
        for (int i = 0; i < line_words; ++i)
            words[i] = __atomic_load_n(&line.words[size_t(i)], __ATOMIC_ACQUIRE);
        if (line.sequence.load(std::memory_order_relaxed) == before)
            break;
    }
    TraceLineData data;
    std::memcpy(static_cast<void *>(&data), words, sizeof data);
    return data;
}

void TraceLineTable::update(Line &line, const VyrCanMessage &message)
{
    TraceLineData data = own_copy(line);
    data.previous_ms = data.message.time;
    data.previous_us = data.message.time_fraction * 10u;
    data.message = message;
    ++data.counter;
    store(line, data);
}

TraceLineTable::PutResult TraceLineTable::put(const VyrCanMessage &message, uint32_t key)
{
    Line *&bucket = m_buckets[size_t(bucket_of(key))];
    for (Line *line = bucket; line; line = line->next) {
        if (line->key == key && ((line->flags ^ message.flags) & kind_flags) == 0) {
            line->flags = message.flags;
            update(*line, message);
            return PutResult::Updated;
        }
    }
    const int count = m_line_count.load(std::memory_order_relaxed);
    if (count == max_lines) {
        // The last line takes the new kind but stays in its old chain.
        Line &last = m_lines[max_lines - 1];
        last.key = key;
        last.flags = message.flags;
        update(last, message);
        return PutResult::Overflow;
    }
    Line &line = m_lines[size_t(count)];
    line.key = key;
    line.flags = message.flags;
    line.selected.store(false, std::memory_order_relaxed);
    TraceLineData data;
    data.counter = 1;
    data.previous_ms = message.time;
    data.previous_us = message.time_fraction * 10u;
    data.message = message;
    store(line, data);
    line.next = bucket;
    bucket = &line;
    m_line_count.store(count + 1, std::memory_order_release);
    return PutResult::NewLine;
}

bool TraceLineTable::take_clear_request()
{
    const uint32_t requested = m_clear_requested.load(std::memory_order_acquire);
    if (requested == m_clear_done.load(std::memory_order_relaxed))
        return false;
    reset();
    m_clear_done.store(requested, std::memory_order_release);
    return true;
}

void TraceLineTable::reset()
{
    m_buckets.fill(nullptr);
    m_line_count.store(0, std::memory_order_release);
}

int TraceLineTable::line_count() const
{
    if (m_clear_requested.load(std::memory_order_relaxed) != m_clear_done.load(std::memory_order_acquire))
        return 0;
    return m_line_count.load(std::memory_order_acquire);
}

TraceLineData TraceLineTable::read_line(int n) const
{
    return load(m_lines[size_t(n - 1)]);
}

void TraceLineTable::request_clear()
{
    m_clear_requested.fetch_add(1, std::memory_order_release);
}
