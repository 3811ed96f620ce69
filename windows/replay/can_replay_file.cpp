#include "windows/replay/can_replay_file.h"

#include "interfaces/can/vyr_can_if.h"
#include "windows/base/vyr_data_window.h"
#include "windows/logging/log_file.h"

#include <QFileInfo>

#include <thread>

class CanReplayFile::WheelGuard
{
public:
    explicit WheelGuard(const CanReplayFile &file) : m_wheel(file.wheel())
    {
        if (m_wheel)
            m_wheel->lock();
    }
    ~WheelGuard()
    {
        if (m_wheel)
            m_wheel->unlock();
    }
    WheelGuard(const WheelGuard &) = delete;
    WheelGuard &operator=(const WheelGuard &) = delete;

private:
    TimerWheel *m_wheel;
};

CanReplayFile::CanReplayFile(VyrDataWindow *window) : m_window(window) {}

CanReplayFile::~CanReplayFile()
{
    cancel();
    // An expiry that stopped the row left the wheel before it returned.
    while (m_in_fire.load())
        std::this_thread::yield();
    close_file();
}

// Only a scheduled entry has a callback to keep apart from; an idle row
// locks nothing (its interface's wheel may be gone with its measurement).
TimerWheel *CanReplayFile::wheel() const
{
    return m_scheduled_wheel.load();
}

bool CanReplayFile::cancel()
{
    WheelGuard guard(*this);
    if (TimerWheel *scheduled = m_scheduled_wheel.load())
        scheduled->cancel(this);
    m_scheduled_wheel = nullptr;
    m_starting = false;
    m_message_valid = false;
    return m_running.exchange(false);
}

// Lines may come from the wheel's thread: they reach the window through its event loop.
void CanReplayFile::info(const QString &text)
{
    if (m_window)
        QMetaObject::invokeMethod(m_window.data(), "info", Qt::AutoConnection, Q_ARG(QString, text));
}

void CanReplayFile::warning(const QString &text)
{
    if (m_window)
        QMetaObject::invokeMethod(m_window.data(), "warning", Qt::AutoConnection, Q_ARG(QString, text));
}

void CanReplayFile::error(const QString &text)
{
    if (m_window)
        QMetaObject::invokeMethod(m_window.data(), "error", Qt::AutoConnection, Q_ARG(QString, text));
}

void CanReplayFile::open_file()
{
    if (!m_canif || m_file_name.isEmpty())
        return;
    m_skipped_records.fill(0);
    m_skips_reported = false;
    const QFileInfo file(m_file_name);
    if (!file.exists()) {
        error(tr("File '%1' not found\n").arg(m_file_name));
        return;
    }
    const QByteArray extension = file.suffix().toLocal8Bit();
    if (const LogFileFormat *format = extension.isEmpty() ? nullptr : LogFileFormat::find_by_extension(extension)) {
        m_reader = LogFileFormat::create(format->name().c_str());
        if (!m_reader)
            error(tr("Unable to create replay object '%1' for file '%2', extension '%3'")
                      .arg(QString::fromStdString(format->name()), m_file_name,
                           QString::fromStdString(format->extension())) +
                  QLatin1Char('\n'));
    } else {
        error(tr("Unable to determine type of logfile '%1'").arg(m_file_name) + QLatin1Char('\n'));
        // A reader of the previous file's format cannot read this one.
        m_reader.reset();
    }
    if (!m_reader) {
        error(tr("Unable to create replay object for file '%1'").arg(m_file_name) + QLatin1Char('\n'));
        return;
    }
    m_reader->set_file_name(m_file_name.toLocal8Bit().constData());
    m_reader->set_write_mode(LogFile::ReadMode);
    m_reader->set_interface(m_canif);
    if (const int rc = m_reader->open(); rc != 0)
        error(tr("Unable to open logfile '%1', rc=%2").arg(m_file_name).arg(rc) + QLatin1Char('\n'));
}

void CanReplayFile::close_file()
{
    if (m_reader)
        m_reader->close();
}

void CanReplayFile::start()
{
    if (m_running || !m_reader)
        return;
    WheelGuard guard(*this);
    m_time_offset = 0;
    m_last_record_time = 0;
    close_file();
    open_file();
    m_sent_count = 0;
    m_message_valid = false;
    if (read_next() == 0) {
        m_running = true;
        if (TimerWheel *timers = m_canif ? m_canif->timer_wheel() : nullptr) {
            // The wheel's time stands still while its thread sleeps: the
            // first callback, at its next step, measures the start delay
            // from the time the wheel catches up to.
            m_scheduled_wheel = timers;
            m_starting = true;
            timers->schedule(this, 0);
        }
    }
    m_label_dirty = true;
}

void CanReplayFile::stop()
{
    // Off the wheel first: a callback running now ends before the reader closes.
    const bool was_running = cancel();
    close_file();
    report_skipped_records();
    info(tr("Replay stopped") + QLatin1Char('\n'));
    if (was_running)
        m_label_dirty = true;
}

void CanReplayFile::halt()
{
    cancel();
    close_file();
    report_skipped_records();
}

void CanReplayFile::report_skipped_records()
{
    if (m_skips_reported)
        return;
    m_skips_reported = true;
    for (size_t channel = 0; channel < m_skipped_records.size(); ++channel) {
        const uint32_t count = m_skipped_records[channel];
        if (count == 0)
            continue;
        // Channels are counted from 1 in log files and in what the user sees.
        const QString reason = channel == 0   ? tr("the row has no interface in Channel")
                               : channel == 1 ? tr("the row has no interface in Channel2")
                                              : tr("a row sends file channels 1 and 2 only");
        warning(tr("Records of file channel %1 in '%2' not sent (%3): %4")
                    .arg(channel + 1)
                    .arg(m_file_name, reason)
                    .arg(count) +
                QLatin1Char('\n'));
    }
}

int CanReplayFile::send_current()
{
    if (!m_message_valid)
        return -1;
    VyrCanIf *target = m_message.channel == 0 ? m_canif : m_message.channel == 1 ? m_canif2 : nullptr;
    if (!target) {
        ++m_skipped_records[m_message.channel];
        return -1;
    }
    const int result = target->send_message(&m_message, false);
    ++m_sent_count;
    return result;
}

int CanReplayFile::read_next()
{
    if (!m_reader || !m_canif)
        return -1;
    int bad_records = 0;
    int restarts = 0;
    for (;;) {
        const int rc = m_reader->read_message(m_message);
        if (rc == LogFile::Success) {
            m_message.time += m_time_offset;
            m_last_record_time = m_message.time;
            m_message_valid = true;
            return 0;
        }
        if (rc == LogFile::EndOfFile) {
            report_skipped_records();
            if (m_mode != Endless || restarts >= max_restarts) {
                stop();
                return rc;
            }
            // The next pass starts after the last record, by the first
            // record's own time stamp. Readers may clear the buffer at the
            // end of the file: the last record's time is kept apart.
            m_time_offset = m_last_record_time;
            m_reader->close();
            info(tr("Reopen file '%1'").arg(m_file_name) + QLatin1Char('\n'));
            m_reader->open();
            ++restarts;
            continue;
        }
        // The failed read may have cleared or half filled the buffer: never send it.
        m_message_valid = false;
        error(tr("Error reading message, rc=%1 (%2)").arg(rc).arg(QString::fromLatin1(LogFile::result_name(rc))) +
              QLatin1Char('\n'));
        const bool failure = rc <= LogFile::NotImplemented && rc >= LogFile::Failure;
        if (failure || bad_records >= max_bad_records) {
            stop();
            return rc;
        }
        // Invalid records, and codes of formats beyond the common ones, are skipped.
        ++bad_records;
    }
}

void CanReplayFile::send_one_message()
{
    WheelGuard guard(*this);
    if (!m_message_valid && read_next() != 0)
        return;
    send_current();
    read_next();
}

void CanReplayFile::fire(uint32_t time, uint32_t target_time)
{
    m_in_fire = true;
    fire_step(time, target_time);
    m_in_fire = false;
}

void CanReplayFile::fire_step(uint32_t, uint32_t target_time)
{
    TimerWheel *timers = m_scheduled_wheel.load();
    if (m_starting) {
        m_starting = false;
        if (m_running && timers)
            timers->schedule(this, start_delay_ms + (target_time - timers->current_time()));
        return;
    }
    uint32_t delay = long_gap_delay_ms;
    int burst = 0;
    while (m_reader && m_canif && m_running) {
        const uint32_t sent_time = m_message.time;
        send_current();
        if (read_next() != 0)
            break;
        if (m_timing > 0) {
            delay = uint32_t(m_timing.load());
            break;
        }
        delay = m_message.time - sent_time;
        if (delay > max_gap_ms)
            delay = long_gap_delay_ms;
        if (delay != 0 || ++burst == max_burst)
            break;
    }
    timers = m_scheduled_wheel.load();
    if (m_running && timers)
        timers->schedule(this, delay);
}

void CanReplayFile::set_interfaces(VyrCanIf *first, VyrCanIf *second)
{
    WheelGuard guard(*this);
    m_canif = first;
    m_canif2 = second;
}

void CanReplayFile::set_first_interface(VyrCanIf *can)
{
    WheelGuard guard(*this);
    m_canif = can;
}

void CanReplayFile::set_second_interface(VyrCanIf *can)
{
    WheelGuard guard(*this);
    m_canif2 = can;
}

void CanReplayFile::set_timing(int timing)
{
    WheelGuard guard(*this);
    m_timing = timing;
}

void CanReplayFile::set_mode(int mode)
{
    WheelGuard guard(*this);
    m_mode = mode;
}
