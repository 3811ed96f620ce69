#pragma once
// The message store of a trace window's message view. Its intake is a
// listener queue of the CAN interface: the receive thread does nothing but
// append every frame to it. On the window's tick, take_over moves the frames
// on: it drops what the identifier filters block, appends the rest to the
// scrolling list and enters it into the fixed-position table (one line per
// kind of message). Everything but the intake's writing end belongs to the
// GUI thread.
#include "core/id_bit_set.h"
#include "core/vyr_message_ring.h"
#include "interfaces/can/vyr_message_queue.h"
#include "windows/trace/trace_line_table.h"

#include <cstdint>
#include <memory>

class VyrCanIf;

class VyrTraceMessageQueue
{
public:
    // The intake holds what arrives between two ticks of the window; the
    // tick makes room ahead for at least three blocks, or for twice what
    // the last tick took over.
    static constexpr uint32_t intake_block_size = 16384;
    static constexpr uint32_t intake_minimum_reserve = 3 * intake_block_size;
    static constexpr uint32_t intake_maximum_capacity = 1000000;
    static constexpr uint32_t ring_initial_capacity = 5000;
    static constexpr uint32_t ring_block_size = 5000;
    // Records between the oldest shown one and the newest received one.
    static constexpr uint32_t ring_maximum_capacity = 500000;

    static constexpr uint32_t standard_id_count = 2048;
    static constexpr uint32_t extended_id_count = 0x20000000;
    static constexpr uint32_t extended_filter_page = 32768;
    static constexpr const char *table_full_text =
        "Trace window's message list is full - putting the rest on the last line.\n";

    VyrTraceMessageQueue();
    ~VyrTraceMessageQueue();
    VyrTraceMessageQueue(const VyrTraceMessageQueue &) = delete;
    VyrTraceMessageQueue &operator=(const VyrTraceMessageQueue &) = delete;

    // The listener that the interface's receive thread fills.
    VyrMessageQueue &intake() { return m_intake; }
    // Takes the frames that arrived since the last call into both lists and
    // makes room ahead in the intake; reports frames the intake lost once
    // their burst is over. Answers the frames that passed the filters.
    uint32_t take_over();
    // Frames the intake had no room for since the store was made (exact).
    uint64_t lost_count() const { return m_intake.lost_count(); }
    // Empties both lists and the intake; the filters stay.
    void clear();

    // The interface whose message log gets the table-full and loss messages.
    void set_interface(VyrCanIf *signal_if) { m_interface = signal_if; }

    // The pass sets (null: everything passes).
    void set_standard_filter(std::unique_ptr<IdBitSet> set) { m_standard_filter = std::move(set); }
    void set_extended_filter(std::unique_ptr<SparseIdBitSet> set) { m_extended_filter = std::move(set); }
    const IdBitSet *standard_filter() const { return m_standard_filter.get(); }
    const SparseIdBitSet *extended_filter() const { return m_extended_filter.get(); }
    void release_filters();

    // True until a message is accepted after construction, a clear or set_empty.
    bool empty() const { return m_empty; }
    void set_empty() { m_empty = true; }

    TraceLineTable &lines() { return m_lines; }
    const TraceLineTable &lines() const { return m_lines; }
    // The scrolling list.
    VyrMessageRing<VyrCanMessage> &ring() { return m_list; }
    const VyrMessageRing<VyrCanMessage> &ring() const { return m_list; }

private:
    bool passes(const VyrCanMessage &message) const;
    void enter(const VyrCanMessage &message);
    void report_lost_frames();

    VyrMessageQueue m_intake;
    VyrMessageRing<VyrCanMessage> m_list;
    TraceLineTable m_lines;
    std::unique_ptr<IdBitSet> m_standard_filter;
    std::unique_ptr<SparseIdBitSet> m_extended_filter;
    VyrCanIf *m_interface = nullptr;
    bool m_empty = true;
    // The table-full message went out since the last clear.
    bool m_full_reported = false;
    // Lost frames at the last tick and those already reported.
    uint64_t m_lost_seen = 0;
    uint64_t m_lost_reported = 0;
};
