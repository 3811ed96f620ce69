#include "windows/trace/trace_line_table.h"

TraceLineTable::TraceLineTable() = default;

void TraceLineTable::update(Line &line, const VyrCanMessage &message)
{
    TraceLineData &data = line.data;
    data.previous_ms = data.message.time;
    data.previous_us = data.message.time_fraction * 10u;
    data.message = message;
    ++data.counter;
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
    if (m_line_count == max_lines) {
        // The last line takes the new kind but stays in its old chain.
        Line &last = m_lines[max_lines - 1];
        last.key = key;
        last.flags = message.flags;
        update(last, message);
        return PutResult::Overflow;
    }
    Line &line = m_lines[size_t(m_line_count)];
    line.key = key;
    line.flags = message.flags;
    line.selected = false;
    line.data.counter = 1;
    line.data.previous_ms = message.time;
    line.data.previous_us = message.time_fraction * 10u;
    line.data.message = message;
    line.next = bucket;
    bucket = &line;
    ++m_line_count;
    return PutResult::NewLine;
}

void TraceLineTable::clear()
{
    m_buckets.fill(nullptr);
    m_line_count = 0;
}
