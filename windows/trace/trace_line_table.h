#pragma once
// The fixed-position table of the trace: one line per kind of message (key,
// and the remote, extended, error, transmit-acknowledge and transmit-request
// flags), at most 2048 lines in arrival order, the last one taking every
// further kind once the table is full.
//
// One writer (the CAN interface's receive thread) rewrites lines in place
// while the GUI thread reads them. Each line carries a sequence number that
// is odd while the writer rewrites it; a reader copies the line and retries
// when the number changed meanwhile, so it never sees a half-written line.
// The words of a line are stored with release and loaded with acquire, so
// that the sequence number check orders around them.
//
// The GUI thread empties the table by asking for it: the writer carries the
// request out before its next line, and until then the table reads as empty.
#include "core/frames/vyr_can_message.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

// The part of a line that the GUI thread reads.
struct TraceLineData
{
    uint64_t counter = 0; // messages of this kind since the line was made
    // Time of the message that the current one replaced (its own on a new line).
    uint32_t previous_ms = 0;
    uint32_t previous_us = 0;
    VyrCanMessage message;
};
static_assert(sizeof(TraceLineData) % sizeof(uint64_t) == 0, "a line copies in whole words");

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
    // Writer: enters the message under its key. Overflow: the table was full
    // and the message went to the last line.
    PutResult put(const VyrCanMessage &message, uint32_t key);
    // Writer: carries out a pending clear request; true when it did.
    bool take_clear_request();

    // --- GUI thread -------------------------------------------------------------
    // Lines in use; 0 while a clear request is pending.
    int line_count() const;
    // A consistent copy of line n (1-based, up to line_count).
    TraceLineData read_line(int n) const;
    bool selected(int n) const { return m_lines[size_t(n - 1)].selected.load(std::memory_order_relaxed); }
    void set_selected(int n, bool on) { m_lines[size_t(n - 1)].selected.store(on, std::memory_order_relaxed); }
    // Empties the table now or, with a writer attached, at its next put.
    void request_clear();

    // The bucket of a key: the low 11 bits with the higher bits folded in, so
    // that extended identifiers differing only above bit 10 (J1939 groups of
    // one source address) spread over the buckets; a standard identifier
    // keeps its own bucket.
    static int bucket_of(uint32_t key) { return int((key ^ (key >> 11) ^ (key >> 22)) % bucket_count); }

private:
    static constexpr int line_words = int(sizeof(TraceLineData) / sizeof(uint64_t));

    struct Line
    {
        std::atomic<uint32_t> sequence{0};
        std::atomic<bool> selected{false};
        std::array<uint64_t, line_words> words{};
        // Writer's own.
        uint32_t key = 0;
        uint32_t flags = 0;
        Line *next = nullptr;
    };

    TraceLineData load(const Line &line) const;
    // Writer: the line's data as it stands (no concurrent writer).
    static TraceLineData own_copy(const Line &line);
    static void store(Line &line, const TraceLineData &data);
    // Writer: the message replaces the line's one; the counter goes on.
    static void update(Line &line, const VyrCanMessage &message);
    void reset();

    std::array<Line, max_lines> m_lines;
    std::array<Line *, bucket_count> m_buckets{};
    std::atomic<int> m_line_count{0};
    // A clear is pending while the requested number differs from the done one.
    std::atomic<uint32_t> m_clear_requested{0};
    std::atomic<uint32_t> m_clear_done{0};
};
