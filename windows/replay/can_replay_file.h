#pragma once
// One row of the replay window plays one log file back onto one or two CAN
// interfaces. CanReplayFile opens the file through the log-format registry
// (any readable format replays with no code of its own), reads it record by
// record and sends each record with the file's own timing or at a fixed
// rate, once or endlessly. The timing runs on the program's timer wheel, so
// timed records leave from the thread that drives the wheel.
//
// Threads: the GUI thread starts, stops, steps and edits a row; the wheel's
// thread runs fire(). Everything fire() reads that the GUI changes (the
// interfaces, timing, mode, reader) changes under the wheel's mutex, which
// fire() holds; stopping cancels the entry under that mutex first, so no
// callback runs on a closed reader. Counts and flags are atomics that the
// window's update timer reads.
#include "core/frames/vyr_can_message.h"
#include "core/timer_wheel.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class LogFile;
class VyrCanIf;
class VyrDataWindow;

class CanReplayFile : public QObject, public TimerEntry
{
    Q_OBJECT
public:
    enum Timing { FileTiming = -2, OneMessage = -1 };
    enum Mode { Endless = 1, OneShot = 2 };
    // The first timed record leaves this long after start().
    static constexpr uint32_t start_delay_ms = 100;
    // A gap longer than an hour (or a time stamp that goes backwards) waits this long instead.
    static constexpr uint32_t max_gap_ms = 3600000;
    static constexpr uint32_t long_gap_delay_ms = 100;
    // Records of one time stamp go out together, this many per callback at most.
    static constexpr int max_burst = 9;
    // Invalid records skipped in a row before the replay stops.
    static constexpr int max_bad_records = 5;
    // End-of-file restarts in one read before an endless replay gives up (an empty file).
    static constexpr int max_restarts = 2;

    // Information and error lines go to the window (none: dropped).
    explicit CanReplayFile(VyrDataWindow *window);
    // Leaves the wheel, then closes and releases the reader.
    ~CanReplayFile() override;

    // Creates the reader for the file name by its extension and opens it.
    void open_file();
    void close_file();
    // Starts the timed replay from the beginning of the file.
    void start();
    // Stops the timed replay and closes the reader.
    void stop();
    // Measurement stop: leaves the wheel and closes the reader, quietly.
    void halt();
    // The next usable record into the record buffer: 0, or the reader's code
    // (the replay has then stopped).
    int read_next();
    // Sends the record buffer: channel 0 to the first interface, 1 to the
    // second. The last send's result, -1 when nothing was sent (also when
    // the buffer holds no record read). A record no interface takes is
    // counted by its channel.
    int send_current();
    // One-message mode: sends the next record of the file (reading the first
    // one first when none is read yet) and reads the one after it.
    void send_one_message();

    void fire(uint32_t slot_time, uint32_t target_time) override;
    // The expiry itself, inside fire() while m_in_fire is set.
    void fire_step(uint32_t slot_time, uint32_t target_time);

    void set_interfaces(VyrCanIf *first, VyrCanIf *second);
    void set_first_interface(VyrCanIf *can);
    void set_second_interface(VyrCanIf *can);
    void set_timing(int timing);
    void set_mode(int mode);
    // The reader already open stays in use until the next start.
    void set_file_name(const QString &name) { m_file_name = name; }

    VyrCanIf *first_interface() const { return m_canif; }
    VyrCanIf *second_interface() const { return m_canif2; }
    int timing() const { return m_timing.load(); }
    int mode() const { return m_mode.load(); }
    const QString &file_name() const { return m_file_name; }
    LogFile *reader() const { return m_reader.get(); }
    bool running() const { return m_running.load(); }
    uint32_t sent_count() const { return m_sent_count.load(); }
    void reset_sent_count() { m_sent_count = 0; }
    uint32_t shown_count() const { return m_shown_count; }
    void set_shown_count(uint32_t count) { m_shown_count = count; }
    uint32_t time_offset() const { return m_time_offset; }
    // The caption must be refreshed; take_label_dirty clears the mark.
    void mark_label_dirty() { m_label_dirty = true; }
    bool take_label_dirty() { return m_label_dirty.exchange(false); }
    const VyrCanMessage &current_message() const { return m_message; }

private:
    // Locks the wheel the entry is scheduled on (none while idle).
    class WheelGuard;
    TimerWheel *wheel() const;
    // Leaves the wheel; true when the replay was running.
    bool cancel();
    void info(const QString &text);
    void warning(const QString &text);
    void error(const QString &text);
    // One warning per file channel whose records no interface took since
    // the file was opened; said once per run, at the end of the first pass
    // or when the replay stops before it.
    void report_skipped_records();

    VyrCanIf *m_canif = nullptr;
    VyrCanIf *m_canif2 = nullptr;
    // Set while the wheel's thread runs this row's expiry: a row that stops
    // itself there has left the wheel, so its destructor waits on this flag.
    std::atomic<bool> m_in_fire{false};
    QPointer<VyrDataWindow> m_window;
    std::atomic<int> m_timing{FileTiming};
    std::atomic<int> m_mode{OneShot};
    std::atomic<uint32_t> m_sent_count{0};
    uint32_t m_shown_count = 0;
    uint32_t m_time_offset = 0;
    // The time stamp (offset included) of the last record read.
    uint32_t m_last_record_time = 0;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_label_dirty{true};
    // The next callback only schedules the first record (start()).
    bool m_starting = false;
    // The buffer holds a record read and not yet sent by a failed read.
    bool m_message_valid = false;
    // Records skipped for want of an interface, by their channel byte.
    std::array<uint32_t, 256> m_skipped_records{};
    bool m_skips_reported = false;
    QString m_file_name;
    std::unique_ptr<LogFile> m_reader;
    // The wheel the entry was last scheduled on: cancels go there even when
    // the interface has been changed or has left the measurement since.
    std::atomic<TimerWheel *> m_scheduled_wheel{nullptr};
    VyrCanMessage m_message;
};
