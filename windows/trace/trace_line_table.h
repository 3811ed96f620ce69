#pragma once
// The fixed-position table of the trace: one line per kind of message (key,
// and the remote, extended, error, transmit-acknowledge and transmit-request
// flags), at most 2048 lines in arrival order, the last one taking every
// further kind once the table is full. The GUI thread fills it on the
// window's tick and reads it.
#include "core/frames/vyr_can_message.h"

#include <array>
#include <cstddef>
#include <cstdint>

// What a line shows.
struct TraceLineData
{
    uint64_t counter = 0; // messages of this kind since the line was made
    // Time of the message that the current one replaced (its own on a new line).
    uint32_t previous_ms = 0;
    uint32_t previous_us = 0;
    VyrCanMessage message;
};

class TraceLineTable
{
public:
    static constexpr int max_lines = 2048;
    static constexpr int bucket_count = 2048;
    // Flags that tell kinds of one key apart (the channel does not).
    static constexpr uint32_t kind_flags = VyrCanMessage::Remote | VyrCanMessage::Extended | VyrCanMessage::ErrorFrame |
        VyrCanMessage::TxAck | VyrCanMessage::TxRequest;

    TraceLineTable();
    TraceLineTable(const TraceLineTable &) = delete;
    TraceLineTable &operator=(const TraceLineTable &) = delete;

    enum class PutResult { Updated, NewLine, Overflow };
    // Enters the message under its key. Overflow: the table was full and the
    // message went to the last line.
    PutResult put(const VyrCanMessage &message, uint32_t key);

    // Lines in use.
    int line_count() const { return m_line_count; }
    // A copy of line n (1-based, up to line_count).
    TraceLineData read_line(int n) const { return m_lines[size_t(n - 1)].data; }
    bool selected(int n) const { return m_lines[size_t(n - 1)].selected; }
    void set_selected(int n, bool on) { m_lines[size_t(n - 1)].selected = on; }
    // Empties the table.
    void clear();

    // The bucket of a key: the low 11 bits with the higher bits folded in, so
    // that extended identifiers differing only above bit 10 (J1939 groups of
    // one source address) spread over the buckets; a standard identifier
    // keeps its own bucket.
    static int bucket_of(uint32_t key) { return int((key ^ (key >> 11) ^ (key >> 22)) % bucket_count); }

private:
    struct Line
    {
        TraceLineData data;
        bool selected = false;
        uint32_t key = 0;
        uint32_t flags = 0;
        Line *next = nullptr;
    };

    // The message replaces the line's one; the counter goes on.
    static void update(Line &line, const VyrCanMessage &message);

    std::array<Line, max_lines> m_lines;
    std::array<Line *, bucket_count> m_buckets{};
    int m_line_count = 0;
};
