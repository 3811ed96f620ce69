#include "windows/logging/log_file.h"

#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "windows/logging/log_writer.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

LogFileFormat *g_first_format = nullptr;

bool ends_with_ignoring_case(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size()
           && strcasecmp(text.c_str() + text.size() - suffix.size(), suffix.c_str()) == 0;
}

} // namespace

LogFile::LogFile() = default;

LogFile::~LogFile()
{
    stop_writer();
    if (m_file) {
        flush_output();
        fclose(m_file);
    }
    set_trigger(nullptr);
}

void LogFile::set_interface(VyrCanIf *can_if)
{
    m_interface = can_if;
}

const CANdbCluster *LogFile::database() const
{
    return m_interface ? m_interface->databases() : nullptr;
}

const IdFormatter *LogFile::id_formatter() const
{
    return m_interface ? m_interface->id_formatter() : nullptr;
}

void LogFile::clear_pretrigger()
{
    m_pretrigger.discard_all();
}

int LogFile::open()
{
    if (const int result = prepare_open(NumberedName::Open))
        return result;
    if (!m_file) {
        m_file = fopen(m_actual_file_name.c_str(), m_open_mode.c_str());
        if (!m_file) {
            m_system_error = errno;
            return UnableToOpenFile;
        }
    }
    if (m_write_mode != ReadMode) {
        // Lines collect in the output buffer, which is written out whole.
        setvbuf(m_file, nullptr, _IONBF, 0);
        if (m_output.size() < output_buffer_size)
            m_output.resize(output_buffer_size);
    }
    m_output_length = 0;
    m_last_output = std::chrono::steady_clock::now();
    return Success;
}

int LogFile::prepare_open(NumberedName numbered)
{
    if (is_open()) {
        if (const int result = close())
            return result;
    }
    m_open_mode.clear();
    m_system_error = 0;
    if (m_file_name.empty())
        return NoFilename;
    m_actual_file_name = m_file_name;
    // A file that already holds earlier logs is never deleted as empty.
    struct stat status;
    m_had_content = m_write_mode != Overwrite && m_write_mode != Numbered &&
                    stat(m_actual_file_name.c_str(), &status) == 0 && status.st_size > 0;
    const std::string binary = needs_binary_mode() ? "b" : "";
    switch (m_write_mode) {
    case Append:
        m_open_mode = "a" + binary;
        break;
    case Overwrite:
        m_open_mode = "w" + binary;
        break;
    case ReadMode:
        m_open_mode = "r" + binary;
        break;
    case Numbered:
        if (const int result = open_numbered("w" + binary, numbered))
            return result;
        break;
    default:
        return UnableToOpenFile;
    }
    m_message_count = 0;
    m_byte_count = 0;
    m_limit_reached = false;
    m_write_error = false;
    m_stopped = true;
    return Success;
}

int LogFile::open_numbered(const std::string &mode, NumberedName numbered)
{
    const std::string extension = m_format ? "." + m_format->extension() : std::string(".");
    const std::string base = ends_with_ignoring_case(m_file_name, extension)
                                 ? m_file_name.substr(0, m_file_name.size() - extension.size())
                                 : m_file_name;
    // Created exclusively: a number another writer took meanwhile counts as taken.
    const std::string exclusive = mode + "x";
    for (int number = 0; number < numbered_files; ++number) {
        char digits[8];
        snprintf(digits, sizeof digits, "%03d", number);
        const std::string candidate = base + digits + extension;
        if (numbered == NumberedName::Probe) {
            if (access(candidate.c_str(), F_OK) == 0)
                continue;
            m_actual_file_name = candidate;
            m_open_mode = mode;
            return Success;
        }
        m_file = fopen(candidate.c_str(), exclusive.c_str());
        if (m_file) {
            if (numbered == NumberedName::Create) {
                fclose(m_file);
                m_file = nullptr;
            }
            m_actual_file_name = candidate;
            m_open_mode = mode;
            return Success;
        }
        m_system_error = errno;
        if (errno != EEXIST)
            break;
    }
    m_actual_file_name.clear();
    return UnableToOpenFile;
}

int LogFile::measurement_stopped()
{
    write_comment("Measurement STOPPED");
    return Success;
}

int LogFile::close()
{
    int result = Success;
    if (m_file) {
        const bool flushed = flush_output();
        if (fclose(m_file) != 0 || !flushed) {
            m_write_error = true;
            result = WriteError;
        }
        m_file = nullptr;
        delete_if_empty();
    }
    return result;
}

void LogFile::delete_if_empty()
{
    if (m_message_count == 0 && m_delete_empty_files && !m_had_content && !m_actual_file_name.empty())
        unlink(m_actual_file_name.c_str());
}

int LogFile::read_message(VyrCanMessage &)
{
    return NotImplemented;
}

int LogFile::write_counted(const VyrCanMessage &message)
{
    uint32_t bytes = 0;
    const int result = write_message(message, bytes);
    if (result == Success) {
        // One thread writes at a time: no read-modify-write needed.
        m_message_count.store(m_message_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        m_byte_count.store(m_byte_count.load(std::memory_order_relaxed) + bytes, std::memory_order_relaxed);
    }
    return result;
}

void LogFile::dump_pretrigger()
{
    if (m_max_pretrigger == 0 || m_pretrigger.is_rp_at_wp())
        return;
    write_comment("Dumping Pre-Trigger Events ....");
    while (!m_pretrigger.is_rp_at_wp()) {
        const int result = write_counted(m_pretrigger.read_record());
        m_pretrigger.move_read_pointer(1);
        if (result != Success) {
            // The records that follow would be lost unnoticed: latch the
            // error so that logging stops with its reason.
            m_write_error = true;
            break;
        }
    }
    write_comment("Logging Post-Trigger Events ....");
}

int LogFile::write_next_pretrigger()
{
    if (m_pretrigger.is_rp_at_wp())
        return Success;
    const int result = write_counted(m_pretrigger.read_record());
    m_pretrigger.move_read_pointer(1);
    return result;
}

int LogFile::write_comment(const char *)
{
    return Success;
}

bool LogFile::setup_dialog(QWidget *)
{
    return false;
}

bool LogFile::write_out(const char *data, size_t length)
{
    if (fwrite(data, 1, length, m_file) == length)
        return true;
    m_system_error = errno;
    return false;
}

bool LogFile::flush_output()
{
    const size_t length = m_output_length;
    m_output_length = 0;
    m_last_output = std::chrono::steady_clock::now();
    return length == 0 || write_out(m_output.data(), length);
}

char *LogFile::output_space(size_t size)
{
    const size_t wanted = m_output_length + size;
    if (wanted > (m_batched_output ? output_buffer_maximum : output_buffer_size)) {
        if (!flush_output())
            return nullptr;
    } else if (wanted > m_output.size()) {
        m_output.resize(std::min(std::max(wanted, 2 * m_output.size()), output_buffer_maximum));
    }
    return m_output.data() + m_output_length;
}

void LogFile::write_due_output_locked(bool now)
{
    if (!m_file || m_output_length == 0 || m_write_error)
        return;
    const bool due = now || m_output_length >= output_buffer_size ||
        std::chrono::steady_clock::now() - m_last_output >= std::chrono::milliseconds(output_interval_ms);
    if (due && !flush_output())
        m_write_error = true;
}

bool LogFile::write_text(const char *text, size_t length)
{
    char *space = output_space(length);
    if (!space)
        return false;
    memcpy(space, text, length);
    commit_output(length);
    return true;
}

void LogFile::write_options(QtbConfigGroup *group)
{
    group->write_string("facility", m_format ? QString::fromStdString(m_format->name()) : QString());
    group->write_bool("active", m_active);
    const QString name = QString::fromUtf8(m_file_name.c_str());
    group->write_string("filename", name);
    group->write_string_utf8("filename_utf8", name);
    group->write_int("write_mode", m_write_mode);
    group->write_int("size_mode", m_size_mode);
    group->write_int("max_messages", int32_t(m_max_messages));
    group->write_int("max_bytes", int32_t(m_max_bytes));
    group->write_bool("delete_empty_files", m_delete_empty_files);
    group->write_int("max_pretrigger_messages", int32_t(m_max_pretrigger));
    group->write_bool("enable_trigger", m_enable_trigger);
    group->write_string("trigger_name", trigger_name());
}

void LogFile::read_options(QtbConfigGroup *group)
{
    m_active = group->read_bool("active", false);
    const QString name = group->read_string("filename", QString());
    set_file_name(group->read_string_utf8("filename_utf8", name).toUtf8().constData());
    m_write_mode = group->read_int("write_mode", Append);
    m_size_mode = group->read_int("size_mode", Unlimited);
    m_max_messages = uint32_t(group->read_int("max_messages", 0));
    m_max_bytes = uint32_t(group->read_int("max_bytes", 0));
    m_delete_empty_files = group->read_int("delete_empty_files", 0) != 0;
    m_max_pretrigger = uint32_t(group->read_int("max_pretrigger_messages", 0));
    m_enable_trigger = group->read_bool("enable_trigger", false);
    const VyrTriggerList *triggers = VyrTriggerList::instance();
    set_trigger(triggers ? triggers->find(group->read_string("trigger_name", QString())) : nullptr);
}

const char *LogFile::result_name(int code)
{
    static const char *const names[] = {
        "Success",       "NotImplemented", "NoFilename",      "WriteError",    "ReadError",
        "FileNotFound",  "UnableToOpenFile", "LimitReached",  "Failure",       "EndOfFile",
        "InvalidTimestamp", "InvalidFlags", "InvalidId",      "InvalidData",   "InvalidDlc",
        "IdLookupError", "InvalidContents", "LogFormatError8",
    };
    if (code > 0 || -code >= int(sizeof names / sizeof names[0]))
        return "Unkonwn"; // spelled as the tools that store these names expect
    return names[-code];
}

int LogFile::log_message(const VyrCanMessage &message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return log_message_locked(message);
}

int LogFile::log_message_locked(const VyrCanMessage &message)
{
    if (m_limit_reached || m_write_error)
        return LimitReached;
    if (triggered()) {
        take_requests_locked();
        m_pretrigger.make_room(1);
        m_pretrigger.put(message);
        if (!m_stopped) {
            if (const int result = write_next_pretrigger()) {
                m_write_error = true;
                return result;
            }
        } else if (m_pretrigger.record_count() > m_max_pretrigger) {
            m_pretrigger.move_read_pointer(1);
        }
    } else if (!m_stopped) {
        if (const int result = write_counted(message)) {
            m_write_error = true;
            return result;
        }
    }
    if ((m_size_mode == LimitMessages && m_message_count >= m_max_messages)
        || (m_size_mode == LimitBytes && m_byte_count >= m_max_bytes)) {
        m_limit_reached = true;
        write_comment("Log-File Limit reached");
        return LimitReached;
    }
    return Success;
}

void LogFile::take_requests_locked()
{
    const uint64_t start = m_start_pending.exchange(0);
    const uint64_t stop = m_stop_pending.exchange(0);
    if (stop && stop < start)
        stop_logging_locked();
    if (start)
        start_logging_locked();
    if (stop && stop > start)
        stop_logging_locked();
}

void LogFile::start_logging()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    start_logging_locked();
}

void LogFile::stop_logging()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    stop_logging_locked();
}

void LogFile::start_logging_locked()
{
    if (m_limit_reached)
        return;
    write_comment("Logging STARTED");
    dump_pretrigger();
    m_stopped = false;
}

void LogFile::stop_logging_locked()
{
    if (m_limit_reached)
        return;
    m_stopped = true;
    while (!m_pretrigger.is_rp_at_wp()) {
        if (write_next_pretrigger() != Success) {
            m_write_error = true;
            break;
        }
    }
    write_comment("Logging STOPPED");
}

void LogFile::post_start()
{
    if (!m_interface)
        return;
    m_start_pending.store(++m_request_number);
    if (LogWriter *writer = m_writer.get())
        writer->wake();
}

void LogFile::post_stop()
{
    if (!m_interface)
        return;
    m_stop_pending.store(++m_request_number);
    if (LogWriter *writer = m_writer.get())
        writer->wake();
}

void LogFile::start_writer(VyrCanIf *can_if, std::unique_ptr<IdBitSet> standard,
                           std::unique_ptr<SparseIdBitSet> extended, uint32_t queue_capacity)
{
    stop_writer();
    if (!can_if)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_batched_output = true;
    }
    m_lost_by_writer = 0;
    m_writer = std::make_unique<LogWriter>(*this, *can_if, std::move(standard), std::move(extended),
                                           queue_capacity ? queue_capacity : LogWriter::queue_maximum_capacity);
}

void LogFile::stop_writer()
{
    if (!m_writer)
        return;
    m_writer->stop();
    m_lost_by_writer = m_writer->lost_count();
    m_writer.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_batched_output = false;
}

void LogFile::set_pass_sets(std::unique_ptr<IdBitSet> standard, std::unique_ptr<SparseIdBitSet> extended)
{
    if (m_writer)
        m_writer->set_pass_sets(std::move(standard), std::move(extended));
}

uint64_t LogFile::lost_count() const
{
    return m_writer ? m_writer->lost_count() : m_lost_by_writer;
}

void LogFile::set_trigger(VyrTrigger *trigger)
{
    // A trigger's listener list changes only while its realtime side is out.
    if (m_trigger_listener) {
        VyrTrigger *old = m_trigger_listener->trigger();
        const bool locked = old && old->gui_lock() == 0;
        m_trigger_listener.reset();
        if (locked)
            old->gui_unlock();
    }
    if (!trigger || trigger->gui_lock() != 0)
        return;
    m_trigger_listener = std::make_unique<VyrTriggerListener>(trigger, QStringLiteral("LogToFile"));
    m_trigger_listener->set_callback(&LogFile::trigger_changed, this);
    trigger->gui_unlock();
}

QString LogFile::trigger_name() const
{
    return m_trigger_listener && m_trigger_listener->trigger() ? m_trigger_listener->trigger()->name() : QString();
}

void LogFile::trigger_changed(VyrTriggerListener *listener, void *context)
{
    LogFile *log = static_cast<LogFile *>(context);
    if (!log->m_active || !log->m_enable_trigger || !log->m_interface)
        return;
    if (listener->trigger()->state())
        log->post_start();
    else
        log->post_stop();
}

bool LogFile::stop_reason(std::string &text) const
{
    if (m_write_error) {
        text = "Logging to file stopped due to write error; the disc may be full!\n";
        return true;
    }
    if (m_limit_reached) {
        text = "Logging to file stopped; ";
        text += m_size_mode == LimitMessages ? "max number of messages reached!\n"
                : m_size_mode == LimitBytes  ? "max file size reached!\n"
                                             : "reason unknown!\n";
        return true;
    }
    return false;
}

// --- Format registry ------------------------------------------------------------

LogFileFormat::LogFileFormat(const char *name, const char *short_description, const char *long_description,
                             const char *extension, uint32_t flags, Constructor constructor)
    : m_name(name), m_extension(extension), m_short_description(short_description ? short_description : ""),
      m_long_description(long_description ? long_description : ""), m_flags(flags), m_constructor(constructor)
{
    LogFileFormat **link = &g_first_format;
    while (*link)
        link = &(*link)->m_next;
    *link = this;
}

LogFileFormat::~LogFileFormat()
{
    for (LogFileFormat **link = &g_first_format; *link; link = &(*link)->m_next) {
        if (*link == this) {
            *link = m_next;
            break;
        }
    }
}

LogFileFormat *LogFileFormat::first()
{
    return g_first_format;
}

LogFileFormat *LogFileFormat::find_by_extension(const char *extension)
{
    if (!extension)
        return nullptr;
    for (LogFileFormat *format = g_first_format; format; format = format->m_next)
        if (strcasecmp(format->m_extension.c_str(), extension) == 0)
            return format;
    return nullptr;
}

LogFileFormat *LogFileFormat::find_by_name(const char *name)
{
    if (!name)
        return nullptr;
    for (LogFileFormat *format = g_first_format; format; format = format->m_next)
        if (format->m_name == name)
            return format;
    return nullptr;
}

std::unique_ptr<LogFile> LogFileFormat::create(const char *name)
{
    const LogFileFormat *format = find_by_name(name);
    return format ? format->create_log_file(nullptr) : nullptr;
}

std::unique_ptr<LogFile> LogFileFormat::create_from_config(QtbConfigGroup *group)
{
    const QByteArray facility = group->read_string("facility", QString()).toLatin1();
    if (facility.isEmpty())
        return nullptr;
    const LogFileFormat *format = find_by_name(facility.constData());
    return format ? format->create_log_file(group) : nullptr;
}

std::unique_ptr<LogFile> LogFileFormat::create_log_file(QtbConfigGroup *group) const
{
    std::unique_ptr<LogFile> log = m_constructor();
    log->set_format(this);
    if (group)
        log->read_options(group);
    return log;
}
