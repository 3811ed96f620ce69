#pragma once
// The writer of a log file while a measurement runs: a listener queue of the
// CAN interface, whose receive thread only appends every frame to it, and a
// thread of its own that takes the frames over every few milliseconds (or
// when a start or stop request comes), lets through what the window's pass
// sets let through, runs them through the log file (pre-trigger window,
// requests, limits, the format's lines) and writes the buffered lines to the
// file after each batch of 256 KiB and at least once a second. A disc that
// stalls holds up only this thread: the frames wait in the queue meanwhile.
// Frames beyond what the queue holds are counted, and reported in the
// interface's message log once their burst is over.
#include "core/id_bit_set.h"
#include "core/realtime_published.h"
#include "interfaces/can/vyr_message_queue.h"
#include "platform/event.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

class LogFile;
class VyrCanIf;

class LogWriter
{
public:
    // The queue: blocks of 8192 frames, room made ahead for at least 32768
    // (0.16 s at 200,000 frames/s) or twice the last batch, and at most
    // about one million frames (85 MB) waiting.
    static constexpr uint32_t queue_block_size = 8192;
    static constexpr uint32_t queue_minimum_reserve = 4 * queue_block_size;
    static constexpr uint32_t queue_maximum_capacity = 128 * queue_block_size;
    // The thread takes the queue over this often.
    static constexpr int batch_interval_ms = 20;

    // Attaches the queue to the interface and starts the thread; the file is
    // open. The pass sets may be null (every frame passes).
    LogWriter(LogFile &file, VyrCanIf &can_if, std::unique_ptr<IdBitSet> standard,
              std::unique_ptr<SparseIdBitSet> extended, uint32_t queue_capacity);
    // Stops, if stop() has not.
    ~LogWriter();
    LogWriter(const LogWriter &) = delete;
    LogWriter &operator=(const LogWriter &) = delete;

    // Detaches the queue, writes every frame it holds and ends the thread.
    void stop();
    // A request is waiting: the thread serves it now.
    void wake() { m_wake.set(); }
    void set_pass_sets(std::unique_ptr<IdBitSet> standard, std::unique_ptr<SparseIdBitSet> extended);
    // Frames the queue had no room for: exact, from any thread.
    uint64_t lost_count() const { return m_queue.lost_count(); }

private:
    struct PassSets
    {
        std::unique_ptr<IdBitSet> standard;
        std::unique_ptr<SparseIdBitSet> extended;
        bool pass(const VyrCanMessage &message) const;
    };

    void run();
    // One batch: the requests, the frames queued so far, the due write.
    void serve(bool last);
    void report_lost_frames(bool last);

    LogFile &m_file;
    VyrCanIf &m_interface;
    VyrMessageQueue m_queue;
    RealtimePasses m_pass_reads;
    RealtimePublished<PassSets> m_pass_sets{m_pass_reads};
    platform::Event m_wake;
    std::atomic<bool> m_stopping{false};
    bool m_attached = false;
    std::thread m_thread;
    // The writer thread's own: lost frames at the last batch and those reported.
    uint64_t m_lost_seen = 0;
    uint64_t m_lost_reported = 0;
};
