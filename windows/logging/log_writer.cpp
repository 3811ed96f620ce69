#include "windows/logging/log_writer.h"

#include "interfaces/can/vyr_can_if.h"
#include "windows/logging/log_file.h"

#include <algorithm>
#include <cinttypes>
#include <mutex>

bool LogWriter::PassSets::pass(const VyrCanMessage &message) const
{
    if (message.flags & VyrCanMessage::Extended)
        return !extended || extended->test(message.id);
    return !standard || standard->test(message.id);
}

LogWriter::LogWriter(LogFile &file, VyrCanIf &can_if, std::unique_ptr<IdBitSet> standard,
                     std::unique_ptr<SparseIdBitSet> extended, uint32_t queue_capacity)
    : m_file(file), m_interface(can_if),
      m_queue(std::min(queue_block_size, queue_capacity), std::min(queue_block_size, queue_capacity), queue_capacity,
              std::min(queue_minimum_reserve, queue_capacity))
{
    set_pass_sets(std::move(standard), std::move(extended));
    m_interface.add_message_listener(&m_queue);
    m_attached = true;
    m_thread = std::thread([this] { run(); });
}

LogWriter::~LogWriter()
{
    stop();
}

void LogWriter::stop()
{
    if (m_attached) {
        // Once this returns the receive thread adds nothing more.
        m_interface.remove_message_listener(&m_queue);
        m_attached = false;
    }
    if (m_thread.joinable()) {
        m_stopping.store(true);
        m_wake.set();
        m_thread.join();
    }
}

void LogWriter::set_pass_sets(std::unique_ptr<IdBitSet> standard, std::unique_ptr<SparseIdBitSet> extended)
{
    auto sets = std::make_unique<PassSets>();
    sets->standard = std::move(standard);
    sets->extended = std::move(extended);
    m_pass_sets.replace(std::move(sets));
}

void LogWriter::run()
{
    while (!m_stopping.load()) {
        m_wake.wait(batch_interval_ms);
        serve(false);
    }
    // The queue is detached: what it holds is all there is.
    serve(true);
}

void LogWriter::serve(bool last)
{
    VyrMessageRing<VyrCanMessage> &queue = m_queue.ring();
    {
        std::lock_guard<std::mutex> lock(m_file.m_mutex);
        m_file.take_requests_locked();
        RealtimePasses::Pass pass(m_pass_reads);
        const PassSets *sets = m_pass_sets.get();
        // Frames that arrive meanwhile wait for the next batch, so that the
        // room made below counts them.
        const uint32_t waiting = queue.record_count();
        for (uint32_t n = 0; n < waiting && !queue.is_rp_at_wp(); ++n) {
            const VyrCanMessage &message = queue.read_record();
            if (!sets || sets->pass(message))
                m_file.log_message_locked(message);
            queue.move_read_pointer(1);
        }
        m_file.write_due_output_locked(last);
    }
    m_queue.make_room();
    report_lost_frames(last);
}

void LogWriter::report_lost_frames(bool last)
{
    // Once per burst: when the count has stopped growing since the last batch.
    const uint64_t lost = m_queue.lost_count();
    const bool burst_over = lost == m_lost_seen || last;
    m_lost_seen = lost;
    if (!burst_over || lost == m_lost_reported)
        return;
    m_interface.warning_printf("Log file '%s' lost %" PRIu64 " messages: its writer could not keep up.\n",
                               m_file.actual_file_name().c_str(), lost - m_lost_reported);
    m_lost_reported = lost;
}
