#pragma once
// The log-to-file facility: LogFile writes the CAN messages a window sees into
// a file of one format and reads such files back for replay; LogFileFormat is
// the registry through which a format is found by name or file extension.
//
// While a measurement runs, a log file is a listener of its CAN interface of
// its own: its writer (LogWriter, started by start_writer) takes every frame
// off the interface's receive thread, and formats and writes on a thread of
// its own, so that a slow disc never holds up the receive thread. Without a
// writer, log_message writes on the caller's thread. The start and stop
// requests run on the writer's thread, or on the next log_message, whichever
// comes first. A per-file mutex keeps them apart.
#include "core/id_bit_set.h"
#include "core/vyr_message_ring.h"
#include "core/frames/vyr_can_message.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CANdbCluster;
class IdFormatter;
class LogFileFormat;
class LogWriter;
class QtbConfigGroup;
class QWidget;
class VyrCanIf;
class VyrTrigger;
class VyrTriggerListener;

class LogFile
{
public:
    enum Result {
        Success = 0,
        NotImplemented = -1,
        NoFilename = -2,
        WriteError = -3,
        ReadError = -4,
        FileNotFound = -5,
        UnableToOpenFile = -6,
        LimitReached = -7,
        Failure = -8,
        EndOfFile = -9,
        InvalidTimestamp = -10,
        InvalidFlags = -11,
        InvalidId = -12,
        InvalidData = -13,
        InvalidDlc = -14,
        IdLookupError = -15,
        InvalidContents = -16,
        LogFormatError8 = -17,
    };
    enum WriteMode { Append = 0, Overwrite = 1, Numbered = 2, ReadMode = 3 };
    enum SizeMode { Unlimited = 0, LimitMessages = 1, LimitBytes = 2 };
    static constexpr uint32_t pretrigger_initial = 5000;
    static constexpr uint32_t pretrigger_block = 5000;
    static constexpr uint32_t pretrigger_max = 500000;
    // Numbered mode tries the numbers 000 to 999.
    static constexpr int numbered_files = 1000;
    // Written lines go to the file once this many are buffered; while a
    // writer runs, at the end of its batch or after a second at the latest,
    // the buffer growing meanwhile up to output_buffer_maximum.
    static constexpr size_t output_buffer_size = 256 * 1024;
    static constexpr size_t output_buffer_maximum = 32 * 1024 * 1024;
    static constexpr int output_interval_ms = 1000;

    LogFile();
    virtual ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // Writes one record and tells how many bytes it took; a result code.
    virtual int write_message(const VyrCanMessage &message, uint32_t &bytes_written) = 0;
    virtual bool needs_binary_mode() const { return false; }
    virtual bool is_open() const { return m_file != nullptr; }
    virtual void clear_pretrigger();
    // Opens the file by the write mode (numbered files are created exclusively,
    // so two writers never claim one number); formats add their header.
    virtual int open();
    virtual int measurement_stopped();
    // Closes the file and deletes it when it received no message and empty
    // files are to be deleted. A failed final flush is a write error.
    virtual int close();
    virtual int read_message(VyrCanMessage &message);
    virtual void dump_pretrigger();
    virtual int write_next_pretrigger();
    virtual int write_comment(const char *text);
    // Opens the format's options dialog on the parent; true when an option
    // changed. Formats without options have none (false).
    virtual bool setup_dialog(QWidget *parent);
    // The configuration keys of the facility; formats append their own.
    virtual void write_options(QtbConfigGroup *group);
    virtual void read_options(QtbConfigGroup *group);

    static const char *result_name(int code);

    // For every message the window sees; a result code.
    int log_message(const VyrCanMessage &message);
    // The start and stop requests: run them now, or post them to the
    // writer's thread, or to the next log_message without a writer (nothing
    // without an interface).
    void start_logging();
    void stop_logging();
    void post_start();
    void post_stop();

    // --- The writer of a measurement -------------------------------------------
    // Attaches a writer of the open file to the interface: from now on every
    // frame the interface receives that the pass sets let through (null:
    // every frame) is logged on the writer's thread. queue_capacity bounds
    // the frames waiting for the writer (0: its default).
    void start_writer(VyrCanIf *can_if, std::unique_ptr<IdBitSet> standard = nullptr,
                      std::unique_ptr<SparseIdBitSet> extended = nullptr, uint32_t queue_capacity = 0);
    // Detaches the writer and returns once it has written every frame it
    // took (the file stays open). Nothing without a writer.
    void stop_writer();
    bool writer_running() const { return m_writer != nullptr; }
    // New pass sets for the running writer (the window's filters changed).
    void set_pass_sets(std::unique_ptr<IdBitSet> standard, std::unique_ptr<SparseIdBitSet> extended);
    // Frames the queue of the running or last writer had no room for: exact.
    uint64_t lost_count() const;
    // The text that says why logging stopped; false when it did not.
    bool stop_reason(std::string &text) const;
    // Starts and stops logging with the trigger (null: none): while the log
    // file is active, triggered and has an interface, the trigger becoming
    // active posts the start request, becoming inactive the stop request.
    void set_trigger(VyrTrigger *trigger);
    // The name of the attached trigger; empty when none.
    QString trigger_name() const;

    // --- Settings ------------------------------------------------------------
    // The CAN interface whose messages are logged: its thread runs the
    // requests, its network database names messages in the text formats.
    // Set before opening; null for none.
    void set_interface(VyrCanIf *can_if);
    VyrCanIf *can_interface() const { return m_interface; }
    // The interface's network database and identifier formatter, or null.
    const CANdbCluster *database() const;
    const IdFormatter *id_formatter() const;
    const LogFileFormat *format() const { return m_format; }
    void set_format(const LogFileFormat *format) { m_format = format; }
    // Null or empty clears the name.
    void set_file_name(const char *name) { m_file_name = name ? name : ""; }
    const std::string &file_name() const { return m_file_name; }
    // The name really opened (the numbered one in numbered mode).
    const std::string &actual_file_name() const { return m_actual_file_name; }
    const std::string &open_mode() const { return m_open_mode; }
    int write_mode() const { return m_write_mode; }
    void set_write_mode(int mode) { m_write_mode = mode; }
    bool active() const { return m_active; }
    void set_active(bool active) { m_active = active; }
    bool stopped() const { return m_stopped; }
    void set_stopped(bool stopped) { m_stopped = stopped; }
    bool delete_empty_files() const { return m_delete_empty_files; }
    void set_delete_empty_files(bool on) { m_delete_empty_files = on; }
    int size_mode() const { return m_size_mode; }
    void set_size_mode(int mode) { m_size_mode = mode; }
    uint32_t max_messages() const { return m_max_messages; }
    void set_max_messages(uint32_t count) { m_max_messages = count; }
    uint32_t max_bytes() const { return m_max_bytes; }
    void set_max_bytes(uint32_t count) { m_max_bytes = count; }
    uint32_t max_pretrigger_messages() const { return m_max_pretrigger; }
    void set_max_pretrigger_messages(uint32_t count) { m_max_pretrigger = count; }
    bool enable_trigger() const { return m_enable_trigger; }
    void set_enable_trigger(bool on) { m_enable_trigger = on; }
    uint32_t message_count() const { return m_message_count; }
    uint32_t byte_count() const { return m_byte_count; }
    bool limit_reached() const { return m_limit_reached; }
    bool write_error() const { return m_write_error; }
    // The system's error number of the last open or write of the file that
    // failed; 0 when none did (or the failure was not the system's).
    int system_error() const { return m_system_error; }
    uint32_t pretrigger_count() const { return m_pretrigger.record_count(); }

protected:
    // What choosing a numbered name does with the file of the number.
    enum class NumberedName {
        Open,   // created exclusively and kept open as the log's file
        Create, // created exclusively and closed: the format writes it itself
        Probe,  // only the first free number: nothing is created
    };
    // Every open's common part: closes an open file, works out the open mode
    // and the actual file name by the write mode, and resets the counts and
    // flags; no file is opened (but for a numbered name as asked).
    int prepare_open(NumberedName numbered);
    // Deletes the actual file when it received no message and empty files
    // are to be deleted.
    void delete_if_empty();
    // A failed write the format found itself: logging stops with its reason.
    void latch_write_error() { m_write_error = true; }
    FILE *file() const { return m_file; }
    // Written lines collect in an output buffer that goes to the file (see
    // output_buffer_size) and at close. output_space gives room for up to
    // `size` bytes (at most output_buffer_size) at its end, writing out what
    // it held first when needed; null when that write failed. commit_output
    // keeps the bytes the caller put there.
    char *output_space(size_t size);
    void commit_output(size_t length) { m_output_length += length; }
    // The text into the output; false when writing out failed.
    bool write_text(const char *text, size_t length);
    // Writes a whole buffer of lines to the file; false when it failed.
    virtual bool write_out(const char *data, size_t length);

private:
    friend class LogWriter;

    static void trigger_changed(VyrTriggerListener *listener, void *context);
    // Messages go through the pre-trigger window.
    bool triggered() const { return m_enable_trigger && m_trigger_listener && m_max_pretrigger > 0; }
    // Under m_mutex.
    int log_message_locked(const VyrCanMessage &message);
    void take_requests_locked();
    // Writes the buffered lines when output_buffer_size are buffered or the
    // last write is output_interval_ms ago (or now, with `now`).
    void write_due_output_locked(bool now);
    void start_logging_locked();
    void stop_logging_locked();
    // Writes the record and counts it; the write's result.
    int write_counted(const VyrCanMessage &message);
    int open_numbered(const std::string &mode, NumberedName numbered);
    bool flush_output();

    std::string m_file_name;
    std::string m_open_mode;
    std::string m_actual_file_name;
    FILE *m_file = nullptr;
    int m_system_error = 0;
    std::vector<char> m_output;
    size_t m_output_length = 0;
    // While a writer runs the buffer takes a whole batch: it grows rather
    // than being written out at output_buffer_size.
    bool m_batched_output = false;
    std::chrono::steady_clock::time_point m_last_output;
    int m_write_mode = Append;
    bool m_active = false;
    // Read by other threads (the window shows the state): atomics.
    std::atomic<bool> m_stopped{true};
    bool m_delete_empty_files = false;
    // The file held data before it was opened (to append to, or to read).
    bool m_had_content = false;
    VyrMessageRing<VyrCanMessage> m_pretrigger{pretrigger_initial, pretrigger_block, pretrigger_max};
    // The pending requests, each as the number of its post (0: none). Whoever
    // exchanges a number back to 0 runs that request; when both are pending
    // they run in the order they were posted.
    std::atomic<uint64_t> m_request_number{0};
    std::atomic<uint64_t> m_start_pending{0};
    std::atomic<uint64_t> m_stop_pending{0};
    std::mutex m_mutex;
    std::atomic<uint32_t> m_message_count{0};
    std::atomic<uint32_t> m_byte_count{0};
    int m_size_mode = Unlimited;
    uint32_t m_max_messages = 1000;
    uint32_t m_max_bytes = 1000;
    uint32_t m_max_pretrigger = 1000;
    std::atomic<bool> m_limit_reached{false};
    std::atomic<bool> m_write_error{false};
    const LogFileFormat *m_format = nullptr;
    VyrCanIf *m_interface = nullptr;
    bool m_enable_trigger = false;
    std::unique_ptr<VyrTriggerListener> m_trigger_listener;
    std::unique_ptr<LogWriter> m_writer;
    uint64_t m_lost_by_writer = 0;
};

// One log-file format. The rows are static objects of one source file,
// registered in their fixed order before main() runs.
class LogFileFormat
{
public:
    enum Capability : uint32_t { Readable = 0x01, Writable = 0x02, FirstRows = 0x04, Options = 0x08, MoreOptions = 0x10 };
    using Constructor = std::unique_ptr<LogFile> (*)();

    LogFileFormat(const char *name, const char *short_description, const char *long_description,
                  const char *extension, uint32_t flags, Constructor constructor);
    ~LogFileFormat();
    LogFileFormat(const LogFileFormat &) = delete;
    LogFileFormat &operator=(const LogFileFormat &) = delete;

    static LogFileFormat *first();
    LogFileFormat *next() const { return m_next; }
    // Ignoring case; null for a null text or no match.
    static LogFileFormat *find_by_extension(const char *extension);
    // Exact; null otherwise.
    static LogFileFormat *find_by_name(const char *name);
    // A new log file of the named format, or null.
    static std::unique_ptr<LogFile> create(const char *name);
    // The format named by "facility", built from the group; null when none.
    static std::unique_ptr<LogFile> create_from_config(QtbConfigGroup *group);

    // A new log file of this format, with its options read from the group when one is given.
    std::unique_ptr<LogFile> create_log_file(QtbConfigGroup *group) const;

    const std::string &name() const { return m_name; }
    const std::string &extension() const { return m_extension; }
    const std::string &short_description() const { return m_short_description; }
    const std::string &long_description() const { return m_long_description; }
    uint32_t flags() const { return m_flags; }

private:
    std::string m_name;
    std::string m_extension;
    std::string m_short_description;
    std::string m_long_description;
    uint32_t m_flags;
    Constructor m_constructor;
    LogFileFormat *m_next = nullptr;
};
