#include "windows/trace/vyr_trace_message_queue.h"

#include "interfaces/can/vyr_can_if.h"
#include "windows/logging/log_file.h"

VyrTraceMessageQueue::VyrTraceMessageQueue()
    : VyrMessageQueue(ring_initial_capacity, ring_block_size, ring_maximum_capacity)
{}

VyrTraceMessageQueue::~VyrTraceMessageQueue() = default;

int VyrTraceMessageQueue::put(const VyrCanMessage &received)
{
    if (m_lines.take_clear_request())
        m_full_reported = false;

    VyrCanMessage message = received;
    if (message.flags & VyrCanMessage::ErrorFrame) {
        // All error frames share one line.
        message.id = 0;
        message.dlc = 0;
    }
    {
        PutSequence::Guard guard(m_put_sequence);
        if (message.flags & VyrCanMessage::Extended) {
            const SparseIdBitSet *pass = m_extended_filter.get();
            if (pass && !pass->test(message.id))
                return 0;
        } else {
            const IdBitSet *pass = m_standard_filter.get();
            if (pass && !pass->test(message.id))
                return 0;
        }
    }
    m_empty.store(false, std::memory_order_release);
    if (m_log_file)
        m_log_file->log_message(message);
    VyrMessageQueue::put(message);

    // The extended flag is part of the line's kind, so the key drops bit 31.
    const IdFormatter *formatter = m_interface ? m_interface->id_formatter() : nullptr;
    const uint32_t key = (formatter ? formatter->display_id(message) : message.id) & 0x7FFFFFFFu;
    if (m_lines.put(message, key) == TraceLineTable::PutResult::Overflow) {
        if (!m_full_reported && m_interface)
            m_interface->message_raw(table_full_text);
        m_full_reported = true;
    }
    return 0;
}

void VyrTraceMessageQueue::clear()
{
    m_lines.request_clear();
    VyrMessageQueue::clear();
    m_empty.store(true, std::memory_order_release);
}

void VyrTraceMessageQueue::release_filters()
{
    m_standard_filter.release();
    m_extended_filter.release();
}
