#pragma once
// The log-to-file facility: LogFile writes the CAN messages a window sees into
// a file of one format and reads such files back for replay; LogFileFormat is
// the registry through which a format is found by name or file extension.
//
// log_message runs on the thread that delivers messages to the window; the
// start and stop requests run on the interface's realtime thread or on the next
// log_message, whichever comes first. A per-file mutex keeps them apart.
#include "core/vyr_message_ring.h"
#include "core/frames/vyr_can_message.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

class CANdbCluster;
class IdFormatter;
class LogFileFormat;
class QtbConfigGroup;
class QWidget;
class VyrCanIf;
class VyrDeferredCall;
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
    static constexpr size_t output_buffer_size = 256 * 1024;

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
    // interface's realtime thread (nothing without an interface).
    void start_logging();
    void stop_logging();
    void post_start();
    void post_stop();
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
    FILE *file() const { return m_file; }
    // Written lines collect in an output buffer that goes to the file when
    // full and at close. output_space gives room for up to `size` bytes
    // (at most output_buffer_size) at its end, writing out what it held
    // first when needed; null when that write failed. commit_output keeps
    // the bytes the caller put there.
    char *output_space(size_t size);
    void commit_output(size_t length) { m_output_length += length; }
    // The text into the output; false when writing out failed.
    bool write_text(const char *text, size_t length);

private:
    // The callback of both deferred calls.
    static void run_requests(VyrDeferredCall *call);
    static void trigger_changed(VyrTriggerListener *listener, void *context);
    // Messages go through the pre-trigger window.
    bool triggered() const { return m_enable_trigger && m_trigger_listener && m_max_pretrigger > 0; }
    // Under m_mutex.
    void take_requests_locked();
    void start_logging_locked();
    void stop_logging_locked();
    // Writes the record and counts it; the write's result.
    int write_counted(const VyrCanMessage &message);
    int open_numbered(const std::string &mode);
    bool flush_output();

    std::string m_file_name;
    std::string m_open_mode;
    std::string m_actual_file_name;
    FILE *m_file = nullptr;
    int m_system_error = 0;
    std::unique_ptr<char[]> m_output;
    size_t m_output_length = 0;
    int m_write_mode = Append;
    bool m_active = false;
    // Read by other threads (the window shows the state): atomics.
    std::atomic<bool> m_stopped{true};
    bool m_delete_empty_files = false;
    VyrMessageRing<VyrCanMessage> m_pretrigger{pretrigger_initial, pretrigger_block, pretrigger_max};
    std::unique_ptr<VyrDeferredCall> m_start_request;
    std::unique_ptr<VyrDeferredCall> m_stop_request;
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
