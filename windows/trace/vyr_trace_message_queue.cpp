#include "windows/trace/vyr_trace_message_queue.h"

#include "interfaces/can/vyr_can_if.h"

#include <cinttypes>

VyrTraceMessageQueue::VyrTraceMessageQueue()
    : m_intake(intake_block_size, intake_block_size, intake_maximum_capacity, intake_minimum_reserve),
      m_list(ring_initial_capacity, ring_block_size, ring_maximum_capacity)
{}

VyrTraceMessageQueue::~VyrTraceMessageQueue() = default;

bool VyrTraceMessageQueue::passes(const VyrCanMessage &message) const
{
    if (message.flags & VyrCanMessage::Extended)
        return !m_extended_filter || m_extended_filter->test(message.id);
    return !m_standard_filter || m_standard_filter->test(message.id);
}

void VyrTraceMessageQueue::enter(const VyrCanMessage &message)
{
    // The list's room for this tick was made before the frames came in; a
    // full list loses the message for the scrolling list only.
    m_list.put(message);
    // The extended flag is part of the line's kind, so the key drops bit 31.
    const IdFormatter *formatter = m_interface ? m_interface->id_formatter() : nullptr;
    const uint32_t key = (formatter ? formatter->display_id(message) : message.id) & 0x7FFFFFFFu;
    if (m_lines.put(message, key) == TraceLineTable::PutResult::Overflow) {
        if (!m_full_reported && m_interface)
            m_interface->message_raw(table_full_text);
        m_full_reported = true;
    }
}

uint32_t VyrTraceMessageQueue::take_over()
{
    // What arrives meanwhile waits for the next tick, so that the list's
    // room made here holds every frame taken.
    VyrMessageRing<VyrCanMessage> &intake = m_intake.ring();
    const uint32_t waiting = intake.record_count();
    m_list.make_room(waiting);
    uint32_t accepted = 0;
    for (uint32_t n = 0; n < waiting && !intake.is_rp_at_wp(); ++n) {
        VyrCanMessage message = intake.read_record();
        intake.move_read_pointer(1);
        if (message.flags & VyrCanMessage::ErrorFrame) {
            // All error frames share one line.
            message.id = 0;
            message.dlc = 0;
        }
        if (!passes(message))
            continue;
        m_empty = false;
        enter(message);
        ++accepted;
    }
    m_intake.make_room();
    report_lost_frames();
    return accepted;
}

void VyrTraceMessageQueue::report_lost_frames()
{
    // Once per burst: when the count has stopped growing since the last tick.
    const uint64_t lost = m_intake.lost_count();
    const bool burst_over = lost == m_lost_seen;
    m_lost_seen = lost;
    if (!burst_over || lost == m_lost_reported)
        return;
    if (m_interface)
        m_interface->warning_printf("Trace window lost %" PRIu64 " messages: it could not take them over in time.\n",
                                    lost - m_lost_reported);
    m_lost_reported = lost;
}

void VyrTraceMessageQueue::clear()
{
    m_intake.clear();
    m_lines.clear();
    m_list.discard_all();
    m_full_reported = false;
    m_empty = true;
}

void VyrTraceMessageQueue::release_filters()
{
    m_standard_filter.reset();
    m_extended_filter.reset();
}
