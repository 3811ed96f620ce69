// The writer of a log file on a CAN interface of the vrbus daemon, whose
// receive thread runs: lines reach the file while logging goes on, a disc
// that stalls 100 ms in every write loses no frame at 50,000 frames/s, and
// the frames beyond what the writer's queue holds are counted and reported
// in the message window, never dropped silently.
#include "../interfaces/can_test_support.h" // runs the vrbus daemon around the program
#include "bench/receive_road_flood.h"
#include "logging_test_support.h"
#include "windows/logging/ascii_log_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <thread>

namespace {

using namespace can_test;

// The ASCII format on a disc that stalls in every write of the buffered lines.
class StallingLogFile : public AsciiLogFile
{
public:
    static std::atomic<int> stall_ms;
    static std::atomic<int> writes;

protected:
    bool write_out(const char *data, size_t length) override
    {
        ++writes;
        std::this_thread::sleep_for(std::chrono::milliseconds(stall_ms.load()));
        return AsciiLogFile::write_out(data, length);
    }
};
std::atomic<int> StallingLogFile::stall_ms{100};
std::atomic<int> StallingLogFile::writes{0};

const LogFileFormat stalling_format("Stalling", "ASCII on a stalling disc", "ASCII on a stalling disc\n", "txt",
                                    LogFileFormat::Writable,
                                    [] { return std::unique_ptr<LogFile>(new StallingLogFile); });

class LogWriterTest : public CanFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        can = make("CAN");
        path = m_dir.filePath(QStringLiteral("flood.txt"));
    }

    // A log file of the format, open and logging, with its writer on the interface.
    std::unique_ptr<LogFile> start_log(const char *format, uint32_t queue_capacity = 0)
    {
        std::unique_ptr<LogFile> log = LogFileFormat::create(format);
        EXPECT_NE(log, nullptr);
        log->set_interface(can);
        log->set_file_name(path.toLocal8Bit().constData());
        log->set_write_mode(LogFile::Overwrite);
        EXPECT_EQ(log->open(), 0);
        log->set_stopped(false);
        log->start_writer(can, nullptr, nullptr, queue_capacity);
        return log;
    }

    // The frames the message window says the log lost.
    uint64_t reported_lost()
    {
        shell.wait_until([] { return false; }, 200); // the lines queued to the GUI thread arrive
        uint64_t lost = 0;
        for (const vyr_test::VyrTestShell::Line &line : shell.lines) {
            const size_t at = line.text.find("' lost ");
            uint64_t count = 0;
            if (line.text.find("Log file '") != std::string::npos && at != std::string::npos &&
                sscanf(line.text.c_str() + at, "' lost %" SCNu64, &count) == 1)
                lost += count;
        }
        return lost;
    }

    size_t logged(int phase) { return receive_road::read_log(path)[phase].size(); }

    QTemporaryDir m_dir;
    VyrCanIf *can = nullptr;
    QString path;
};

TEST_F(LogWriterTest, LinesReachTheFileWhileLoggingGoesOn)
{
    std::unique_ptr<LogFile> log = start_log("ASCII");
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    receive_road::FloodClient flood;
    ASSERT_TRUE(flood.open(5000));
    ASSERT_TRUE(flood.send(0, 0, 3));
    // Far fewer lines than a buffer holds, and the file stays open.
    EXPECT_TRUE(eventually([&] { return logged(0) == 3; }));
    EXPECT_TRUE(log->writer_running());
    measurement.stop();
    log->stop_writer();
    EXPECT_EQ(log->close(), 0);
}

TEST_F(LogWriterTest, ADiscThatStallsInEveryWriteLosesNoFrameAt50000FramesPerSecond)
{
    StallingLogFile::stall_ms = 100;
    StallingLogFile::writes = 0;
    std::unique_ptr<LogFile> log = start_log("Stalling");
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    receive_road::FloodClient flood;
    ASSERT_TRUE(flood.open(5000));
    const int64_t offered = flood.flood(0, receive_road::Phase{50000, 2.0});
    ASSERT_EQ(offered, 100000);
    ASSERT_TRUE(eventually([&] { return log->message_count() >= offered; }));
    measurement.stop();
    log->stop_writer();
    ASSERT_EQ(log->close(), 0);

    EXPECT_GE(StallingLogFile::writes.load(), 5) << "the disc stalled";
    EXPECT_EQ(log->lost_count(), 0u);
    EXPECT_EQ(logged(0), size_t(offered));
    EXPECT_EQ(reported_lost(), 0u);
}

TEST_F(LogWriterTest, FramesBeyondTheWritersQueueAreCountedAndReported)
{
    // Half a second of stall per write is more than a queue of 16,384 frames holds.
    StallingLogFile::stall_ms = 500;
    std::unique_ptr<LogFile> log = start_log("Stalling", 16384);
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    receive_road::FloodClient flood;
    ASSERT_TRUE(flood.open(5000));
    const int64_t offered = flood.flood(0, receive_road::Phase{50000, 2.0});
    ASSERT_EQ(offered, 100000);
    ASSERT_TRUE(eventually([&] { return log->message_count() + log->lost_count() >= uint64_t(offered); }));
    measurement.stop();
    log->stop_writer();
    ASSERT_EQ(log->close(), 0);

    const uint64_t lost = log->lost_count();
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(logged(0) + lost, uint64_t(offered));
    EXPECT_EQ(reported_lost(), lost);
}

} // namespace
