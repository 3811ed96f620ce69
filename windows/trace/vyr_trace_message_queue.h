#pragma once
// The message store of a trace window's message view: a message listener
// that the CAN interface's receive thread fills. It drops what the
// identifier filters block, hands every other message to the window's log
// file, appends it to its ring (the scrolling list) and enters it into the
// fixed-position table (one line per kind of message).
#include "core/id_bit_set.h"
#include "interfaces/can/vyr_message_queue.h"
#include "windows/trace/trace_filter_slot.h"
#include "windows/trace/trace_line_table.h"

#include <atomic>
#include <memory>

class LogFile;
class VyrCanIf;

class VyrTraceMessageQueue : public VyrMessageQueue
{
public:
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
    ~VyrTraceMessageQueue() override;

    // Receive thread: one received or transmitted message; always 0. A full
    // ring loses the message for the scrolling list only.
    int put(const VyrCanMessage &message) override;
    // GUI thread: empties both lists; the filters stay.
    void clear();

    // The interface whose message log gets the table-full message; set while
    // the store is not attached.
    void set_interface(VyrCanIf *signal_if) { m_interface = signal_if; }
    // The window's log file (null: none); set while the store is not attached,
    // or on the interface's thread while it is.
    void set_log_file(LogFile *file) { m_log_file = file; }
    LogFile *log_file() const { return m_log_file; }

    // GUI thread: the pass sets (null: everything passes). A replaced set is
    // freed once no put can read it any more.
    void set_standard_filter(std::unique_ptr<IdBitSet> set) { m_standard_filter.replace(std::move(set)); }
    void set_extended_filter(std::unique_ptr<SparseIdBitSet> set) { m_extended_filter.replace(std::move(set)); }
    const IdBitSet *standard_filter() const { return m_standard_filter.get(); }
    const SparseIdBitSet *extended_filter() const { return m_extended_filter.get(); }
    // With the store detached: frees both sets.
    void release_filters();

    // True until a message is accepted after construction, a clear or set_empty.
    bool empty() const { return m_empty.load(std::memory_order_acquire); }
    void set_empty() { m_empty.store(true, std::memory_order_release); }

    TraceLineTable &lines() { return m_lines; }
    const TraceLineTable &lines() const { return m_lines; }

private:
    TraceLineTable m_lines;
    PutSequence m_put_sequence;
    TraceFilterSlot<IdBitSet> m_standard_filter{m_put_sequence};
    TraceFilterSlot<SparseIdBitSet> m_extended_filter{m_put_sequence};
    VyrCanIf *m_interface = nullptr;
    LogFile *m_log_file = nullptr;
    std::atomic<bool> m_empty{true};
    // Receive thread's own: the table-full message went out since the last clear.
    bool m_full_reported = false;
};
