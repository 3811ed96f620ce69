#pragma once
// Helpers of the replay tests: log files written by a format's own writer,
// and a replay window whose log lines the test collects.
#include "windows/logging/log_file.h"
#include "windows/replay/can_replay_table.h"
#include "windows/replay/replay_table_button.h"
#include "windows/replay/vyr_can_replay.h"

#include <QCoreApplication>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace replay_test {

inline VyrCanMessage frame(uint32_t time, uint32_t id, uint8_t channel = 0, std::vector<uint8_t> data = {1, 2})
{
    VyrCanMessage message;
    message.time = time;
    message.id = id;
    message.channel = channel;
    message.dlc = uint8_t(data.size());
    std::copy(data.begin(), data.end(), message.data);
    return message;
}

// Writes the frames with the writer of the named format; false when it failed.
inline bool write_log(const char *format, const std::string &path, const std::vector<VyrCanMessage> &frames)
{
    std::unique_ptr<LogFile> file = LogFileFormat::create(format);
    if (!file)
        return false;
    file->set_file_name(path.c_str());
    file->set_write_mode(LogFile::Overwrite);
    if (file->open() != LogFile::Success)
        return false;
    file->set_stopped(false);
    for (const VyrCanMessage &message : frames) {
        uint32_t bytes = 0;
        if (file->write_message(message, bytes) != LogFile::Success)
            return false;
    }
    return file->close() == LogFile::Success;
}

// A replay window with the lines it writes to the message window.
class ReplayWindow
{
public:
    ReplayWindow() : window(nullptr)
    {
        window.setCaption(QStringLiteral("Replay"));
        QObject::connect(&window, &VyrDataWindow::signal_log_message_info, [this](const QString &t) { lines << t; });
        QObject::connect(&window, &VyrDataWindow::signal_log_message_warning, [this](const QString &t) { lines << t; });
        QObject::connect(&window, &VyrDataWindow::signal_log_message_error, [this](const QString &t) { lines << t; });
    }
    ReplayTableButton &button(int row) { return *window.button(row); }
    CanReplayFile &replay(int row) { return window.button(row)->replay(); }
    // Lines that hold the text, after the queued ones arrived.
    int count(const QString &part)
    {
        QCoreApplication::processEvents();
        return int(lines.filter(part).size());
    }

    VyrCanReplay window;
    QStringList lines;
};

} // namespace replay_test
