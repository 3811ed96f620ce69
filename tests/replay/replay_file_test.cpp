// A replay row on the vrbus daemon: two CAN interfaces on the first two
// virtual channels, a node of the test on each, the first interface driving
// the timer wheel as in the program. Files written by the formats' own
// writers are played back with file timing, fixed timing, one message at a
// time, endlessly and once; the nodes see what went out. When frames go out
// is seen on a wheel that the test steps itself, to the wheel's step, so a
// loaded machine cannot stretch the gaps.
#include "../interfaces/can_test_support.h"
#include "replay_test_support.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>

namespace {

using namespace can_test;
using namespace replay_test;

const bool two_channels = (listed_virtual_channels = 2, true);

// A reader that plays a script of results: each step a result code and the
// record it leaves in the buffer. Opening starts the script again.
struct ScriptStep
{
    int rc;
    VyrCanMessage message;
};
std::vector<ScriptStep> g_script;

class ScriptedLogFile : public LogFile
{
public:
    int write_message(const VyrCanMessage &, uint32_t &) override { return NotImplemented; }
    int open() override
    {
        m_next = 0;
        m_open = true;
        return Success;
    }
    int close() override
    {
        m_open = false;
        return Success;
    }
    bool is_open() const override { return m_open; }
    int read_message(VyrCanMessage &message) override
    {
        if (m_next >= g_script.size())
            return EndOfFile;
        message = g_script[m_next].message;
        return g_script[m_next++].rc;
    }

private:
    size_t m_next = 0;
    bool m_open = false;
};

const LogFileFormat scripted_format("SCRIPTED", "Scripted results", "Scripted results\n", "scr", LogFileFormat::Readable,
                                    [] { return std::unique_ptr<LogFile>(std::make_unique<ScriptedLogFile>()); });

class ReplayOnTheBus : public CanFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // The nodes read their frames from the driver's queue, with its time stamps.
        for (BusNode *node : {node1.get(), node2.get()}) {
            ASSERT_EQ(node->channel->set_channel_index(node == node1.get() ? 20 : 21), canhwSuccess);
            ASSERT_EQ(node->channel->map_rx_queue(), canhwSuccess);
        }
        can1 = make("CAN");
        can2 = make("CAN", second_virtual_channel);
        can1->set_active(true);
        can2->set_active(true);
    }
    void TearDown() override
    {
        replay.reset();
        measurement.reset();
    }
    std::string path(const char *name) const { return m_dir.filePath(name).toStdString(); }

    // A row on the file with both interfaces, then the measurement started;
    // with test_steps_wheel the test advances the wheel (press_start_and_step).
    void start_row(const std::string &file, int timing, int mode, bool test_steps_wheel = false)
    {
        replay = std::make_unique<ReplayWindow>();
        replay->window.add_message(can1, can2, QString::fromStdString(file), timing, mode, QString(), nullptr);
        for (int column = 0; column < CanReplayTable::column_count; ++column)
            replay->window.value_changed(0, column);
        measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can1, can2}, !test_steps_wheel);
        ASSERT_EQ(measurement->start(), 0);
        replay->window.startup();
    }
    // The next frames on the node, each within five seconds.
    std::vector<VyrCanMessage> receive(BusNode &node, size_t count)
    {
        std::vector<VyrCanMessage> frames;
        VyrCanMessage m;
        while (frames.size() < count && read_until(node.channel.get(), [](const VyrCanMessage &) { return true; }, &m))
            frames.push_back(m);
        return frames;
    }
    // Frames that arrive within the time.
    std::vector<VyrCanMessage> receive_for(BusNode &node, int ms)
    {
        std::vector<VyrCanMessage> frames;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            VyrCanMessage m;
            if (node.channel->read_can_message(&m) == canhwSuccess)
                frames.push_back(m);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return frames;
    }
    // Presses Start and steps the wheel a millisecond at a time until `count`
    // frames went out or five seconds of wheel time passed: the wheel time at
    // which each frame went out, counted from the press.
    std::vector<uint32_t> press_start_and_step(size_t count)
    {
        TimerWheel &wheel = measurement->wheel;
        const uint32_t pressed = wheel.current_time();
        replay->button(0).gui_send();
        std::vector<uint32_t> times;
        uint32_t sent = 0;
        for (uint32_t time = pressed + 1; times.size() < count && time <= pressed + 5000; ++time) {
            wheel.advance(time);
            for (; sent < replay->replay(0).sent_count(); ++sent)
                times.push_back(time - pressed);
        }
        return times;
    }
    static std::vector<uint32_t> gaps(const std::vector<uint32_t> &times)
    {
        std::vector<uint32_t> between;
        for (size_t n = 1; n < times.size(); ++n)
            between.push_back(times[n] - times[n - 1]);
        return between;
    }
    // The first frame leaves 100 ms after Start, to the wheel's step: the
    // start waits for the wheel's next step.
    static void expect_start_delay(uint32_t first)
    {
        EXPECT_GE(first, CanReplayFile::start_delay_ms) << "the first frame 100 ms after Start";
        EXPECT_LE(first, CanReplayFile::start_delay_ms + 1) << "the first frame 100 ms after Start";
    }

    QTemporaryDir m_dir;
    VyrCanIf *can1 = nullptr;
    VyrCanIf *can2 = nullptr;
    std::unique_ptr<BusNode> node1 = std::make_unique<BusNode>(0);
    std::unique_ptr<BusNode> node2 = std::make_unique<BusNode>(1);
    std::unique_ptr<ReplayWindow> replay;
    std::unique_ptr<Measurement> measurement;
};

TEST_F(ReplayOnTheBus, FileTimingKeepsTheGapsOfTheFile)
{
    // Equal stamps, 1 ms, 250 ms, a stamp that goes backwards and one over an
    // hour later: the last two wait 100 ms instead.
    const uint32_t times[] = {1000, 1000, 1001, 1251, 1200, 1200 + 3700000};
    const std::vector<uint32_t> expected_gaps{0, 1, 250, 100, 100};
    std::vector<VyrCanMessage> frames;
    for (uint32_t n = 0; n < 6; ++n)
        frames.push_back(frame(times[n], 0x100 + n));
    const std::string file = path("gaps.txt");
    ASSERT_TRUE(write_log("ASCII", file, frames));
    start_row(file, CanReplayFile::FileTiming, CanReplayFile::OneShot, true);
    const std::vector<uint32_t> sent_at = press_start_and_step(6);
    ASSERT_EQ(sent_at.size(), 6u);
    expect_start_delay(sent_at[0]);
    EXPECT_EQ(gaps(sent_at), expected_gaps);
    const std::vector<VyrCanMessage> got = receive(*node1, 6);
    ASSERT_EQ(got.size(), 6u);
    for (uint32_t n = 0; n < 6; ++n)
        EXPECT_EQ(got[n].id, 0x100 + n);
    // Once: the row stops at the end of the file, its caption back to Start.
    EXPECT_FALSE(replay->replay(0).running());
    replay->window.update_signals();
    EXPECT_EQ(replay->button(0).text(), "Start");
    EXPECT_EQ(replay->window.table()->item(0, CanReplayTable::Progress)->text(), "6");
    EXPECT_EQ(replay->count("Replay stopped"), 1);
}

// Records of one time stamp go out nine per wheel step; the test steps the wheel.
TEST_F(ReplayOnTheBus, EqualStampsGoOutNinePerWheelStep)
{
    std::vector<VyrCanMessage> frames;
    for (uint32_t n = 0; n < 20; ++n)
        frames.push_back(frame(500, 0x200 + n));
    const std::string file = path("burst.txt");
    ASSERT_TRUE(write_log("ASCII", file, frames));
    TimerWheel wheel(1024, 0, 1, 0);
    can1->set_timer(&wheel, false);
    CanReplayFile replay(nullptr);
    replay.set_first_interface(can1);
    replay.set_file_name(QString::fromStdString(file));
    replay.open_file();
    replay.start();
    ASSERT_TRUE(replay.running());
    wheel.advance(1);
    EXPECT_EQ(replay.sent_count(), 0u);
    wheel.advance(100);
    EXPECT_EQ(replay.sent_count(), 0u) << "the first record leaves 100 ms after the start";
    const uint32_t sent_after_step[] = {9, 18, 20};
    for (uint32_t step = 0; step < 3; ++step) {
        wheel.advance(101 + step);
        EXPECT_EQ(replay.sent_count(), sent_after_step[step]) << step;
    }
    EXPECT_FALSE(replay.running());
    can1->set_timer(nullptr, false);
}

TEST_F(ReplayOnTheBus, FixedTimingSendsOneFramePerInterval)
{
    std::vector<VyrCanMessage> frames;
    for (uint32_t n = 0; n < 5; ++n)
        frames.push_back(frame(n * 1000, 0x300 + n)); // a second apart in the file
    const std::string file = path("fixed.txt");
    ASSERT_TRUE(write_log("ASCII", file, frames));
    start_row(file, 10, CanReplayFile::OneShot, true);
    const std::vector<uint32_t> sent_at = press_start_and_step(5);
    ASSERT_EQ(sent_at.size(), 5u);
    expect_start_delay(sent_at[0]);
    EXPECT_EQ(gaps(sent_at), std::vector<uint32_t>(4, 10));
    EXPECT_EQ(receive(*node1, 5).size(), 5u);
}

TEST_F(ReplayOnTheBus, OneMessageSendsTheFirstRecordOnTheFirstPress)
{
    const std::string file = path("step.txt");
    ASSERT_TRUE(write_log("ASCII", file, {frame(0, 0x410), frame(5, 0x411), frame(9, 0x412)}));
    start_row(file, CanReplayFile::OneMessage, CanReplayFile::OneShot);
    replay->window.update_signals();
    EXPECT_EQ(replay->button(0).text(), "Send");
    for (uint32_t n = 0; n < 3; ++n) {
        replay->button(0).gui_send();
        const std::vector<VyrCanMessage> got = receive(*node1, 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].id, 0x410 + n);
    }
    EXPECT_TRUE(receive_for(*node1, 200).empty()) << "nothing goes out between presses";
    replay->window.update_signals();
    EXPECT_EQ(replay->window.table()->item(0, CanReplayTable::Progress)->text(), "3");
}

TEST_F(ReplayOnTheBus, EndlessRestartsAfterTheFirstRecordsOwnStamp)
{
    const std::string file = path("endless.txt");
    // Absolute stamps 20 and 30: the next pass's first frame comes 20 ms after the last.
    ASSERT_TRUE(write_log("ASCII", file, {frame(20, 0x500), frame(30, 0x501)}));
    start_row(file, CanReplayFile::FileTiming, CanReplayFile::Endless, true);
    const std::vector<uint32_t> sent_at = press_start_and_step(6);
    ASSERT_EQ(sent_at.size(), 6u);
    EXPECT_EQ(gaps(sent_at), (std::vector<uint32_t>{10, 20, 10, 20, 10}));
    const std::vector<VyrCanMessage> got = receive(*node1, 6);
    ASSERT_EQ(got.size(), 6u);
    for (int n = 0; n < 6; ++n)
        EXPECT_EQ(got[n].id, 0x500u + n % 2);
    EXPECT_GE(replay->count("Reopen file"), 2);
    replay->button(0).gui_send();
    EXPECT_FALSE(replay->replay(0).running());
    measurement->wheel.advance(measurement->wheel.current_time() + 200);
    EXPECT_EQ(replay->replay(0).sent_count(), 6u) << "Stop ends the replay";
    EXPECT_TRUE(receive_for(*node1, 100).empty()) << "Stop ends the replay";
}

TEST_F(ReplayOnTheBus, EndlessOnAnEmptyFileReopensTwiceAndStops)
{
    const std::string file = path("empty.txt");
    ASSERT_TRUE(write_log("ASCII", file, {}));
    start_row(file, CanReplayFile::FileTiming, CanReplayFile::Endless);
    replay->button(0).gui_send();
    EXPECT_FALSE(replay->replay(0).running());
    EXPECT_EQ(replay->count("Reopen file '" + QString::fromStdString(file) + "'"), 2);
    EXPECT_EQ(replay->count("Replay stopped"), 1);
}

TEST_F(ReplayOnTheBus, ChannelsZeroAndOneAreRoutedTwoIsDropped)
{
    const std::string file = path("routes.txt");
    ASSERT_TRUE(write_log("ASCII", file, {frame(0, 0x600, 0), frame(1, 0x601, 1), frame(2, 0x602, 2), frame(3, 0x603, 0)}));
    start_row(file, CanReplayFile::FileTiming, CanReplayFile::OneShot);
    replay->button(0).gui_send();
    ASSERT_TRUE(eventually([&] { return !replay->replay(0).running(); }));
    std::vector<uint32_t> on_first, on_second;
    for (const VyrCanMessage &m : receive_for(*node1, 100))
        on_first.push_back(m.id);
    for (const VyrCanMessage &m : receive_for(*node2, 100))
        on_second.push_back(m.id);
    EXPECT_EQ(on_first, (std::vector<uint32_t>{0x600, 0x603}));
    EXPECT_EQ(on_second, (std::vector<uint32_t>{0x601}));
    EXPECT_EQ(replay->replay(0).sent_count(), 3u);
    EXPECT_EQ(replay->count("Records of file channel 3 in '" + QString::fromStdString(file) +
                            "' not sent (a row sends file channels 1 and 2 only): 1"),
              1);
}

// A log of the second channel replayed with Channel set to CAN 2 and no
// Channel2: nothing goes out, and the message window says why, once, with
// the count of a whole pass.
TEST_F(ReplayOnTheBus, RecordsOfAFileChannelWithoutInterfaceAreReportedOnce)
{
    const std::string file = path("second_channel.txt");
    ASSERT_TRUE(write_log("ASCII", file, {frame(0, 0x601, 1), frame(5, 0x602, 1), frame(10, 0x603, 1)}));
    replay = std::make_unique<ReplayWindow>();
    replay->window.add_message(can2, nullptr, QString::fromStdString(file), CanReplayFile::FileTiming,
                               CanReplayFile::Endless, QString(), nullptr);
    for (int column = 0; column < CanReplayTable::column_count; ++column)
        replay->window.value_changed(0, column);
    measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can1, can2}, true);
    ASSERT_EQ(measurement->start(), 0);
    replay->window.startup();
    replay->button(0).gui_send();
    ASSERT_TRUE(eventually([&] { return replay->count("Reopen file") >= 2; }));
    replay->button(0).gui_send();
    EXPECT_FALSE(replay->replay(0).running());
    EXPECT_TRUE(receive_for(*node1, 100).empty());
    EXPECT_TRUE(receive_for(*node2, 100).empty());
    EXPECT_EQ(replay->replay(0).sent_count(), 0u);
    EXPECT_EQ(replay->count("Records of file channel 2 in '" + QString::fromStdString(file) +
                            "' not sent (the row has no interface in Channel2): 3"),
              1);
    EXPECT_EQ(replay->count("not sent"), 1) << replay->lines.join("").toStdString();
}

// Invalid lines of an ASCII log: five in a row are skipped with an error line each, the sixth stops the row.
TEST_F(ReplayOnTheBus, FiveBadLinesAreSkippedSixStopTheRow)
{
    const std::string good = path("good.txt");
    ASSERT_TRUE(write_log("ASCII", good, {frame(0, 0x700), frame(1, 0x701)}));
    QFile in(QString::fromStdString(good));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = in.readAll().split('\n');
    int first = -1;
    for (int n = 0; n < lines.size(); ++n)
        if (lines[n].contains("700")) {
            first = n;
            break;
        }
    ASSERT_GE(first, 0);
    const auto with_bad_lines = [&](int bad, const char *name) {
        QList<QByteArray> out = lines;
        for (int n = 0; n < bad; ++n)
            out.insert(first + 1, "    0.001  zz-not-an-id  1  00\r");
        const std::string file = path(name);
        QFile f(QString::fromStdString(file));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(out.join('\n'));
        return file;
    };
    for (int bad : {5, 6}) {
        SCOPED_TRACE(bad);
        const std::string file = with_bad_lines(bad, bad == 5 ? "five.txt" : "six.txt");
        start_row(file, CanReplayFile::FileTiming, CanReplayFile::OneShot);
        replay->button(0).gui_send();
        ASSERT_TRUE(eventually([&] { return !replay->replay(0).running(); }));
        std::vector<uint32_t> ids;
        for (const VyrCanMessage &m : receive_for(*node1, 300))
            ids.push_back(m.id);
        EXPECT_EQ(replay->count("Error reading message, rc="), bad);
        EXPECT_EQ(ids, bad == 5 ? (std::vector<uint32_t>{0x700, 0x701}) : (std::vector<uint32_t>{0x700}));
        replay.reset();
        measurement.reset();
    }
}

// Codes beyond the common ones are skipped like invalid records, failures
// stop the row, and a failed read's buffer never goes out.
TEST_F(ReplayOnTheBus, ForeignCodesAreSkippedFailuresStop)
{
    VyrCanMessage junk = frame(3, 0x666);
    g_script = {{0, frame(0, 0x710)}, {-18, junk}, {-19, junk}, {0, frame(2, 0x711)},
                {LogFile::ReadError, junk}, {0, frame(4, 0x712)}};
    const std::string file = path("script.scr");
    QFile(QString::fromStdString(file)).open(QIODevice::WriteOnly);
    start_row(file, CanReplayFile::FileTiming, CanReplayFile::Endless);
    replay->button(0).gui_send();
    ASSERT_TRUE(eventually([&] { return !replay->replay(0).running(); }));
    std::vector<uint32_t> ids;
    for (const VyrCanMessage &m : receive_for(*node1, 300))
        ids.push_back(m.id);
    EXPECT_EQ(ids, (std::vector<uint32_t>{0x710, 0x711}));
    EXPECT_EQ(replay->count("Error reading message, rc=-18 (Unkonwn)"), 1);
    EXPECT_EQ(replay->count("Error reading message, rc=-4 (ReadError)"), 1);
    EXPECT_EQ(replay->count("Replay stopped"), 1);
}

// Every format that can be replayed plays its own writer's file back as written.
TEST_F(ReplayOnTheBus, EveryReadableFormatReplaysItsWritersFile)
{
    const std::vector<VyrCanMessage> frames = {
        frame(0, 0x123, 0, {0x11, 0x22, 0x33}), frame(2, 0x1ABCDE, 0, {0xFF}), frame(4, 0x7E0, 0, {}),
        frame(6, 0x10, 0, {1, 2, 3, 4, 5, 6, 7, 8})};
    std::vector<VyrCanMessage> sent = frames;
    sent[1].flags = VyrCanMessage::Extended;
    int formats = 0;
    for (const LogFileFormat *format = LogFileFormat::first(); format; format = format->next()) {
        if (!(format->flags() & LogFileFormat::Readable) || !(format->flags() & LogFileFormat::Writable))
            continue;
        SCOPED_TRACE(format->name());
        ++formats;
        const std::string file = path(("all." + format->extension()).c_str());
        ASSERT_TRUE(write_log(format->name().c_str(), file, sent));
        start_row(file, CanReplayFile::FileTiming, CanReplayFile::OneShot);
        replay->button(0).gui_send();
        const std::vector<VyrCanMessage> got = receive(*node1, frames.size());
        ASSERT_EQ(got.size(), frames.size());
        for (size_t n = 0; n < frames.size(); ++n) {
            EXPECT_EQ(got[n].id, sent[n].id);
            EXPECT_EQ(got[n].flags & VyrCanMessage::Extended, sent[n].flags);
            EXPECT_EQ(got[n].dlc, sent[n].dlc);
            EXPECT_TRUE(std::equal(sent[n].data, sent[n].data + sent[n].dlc, got[n].data));
        }
        replay.reset();
        measurement.reset();
    }
    EXPECT_GE(formats, 1);
}

TEST_F(ReplayOnTheBus, StartOnARowWhoseFileWasMissingDoesNothing)
{
    start_row(path("missing.txt"), CanReplayFile::FileTiming, CanReplayFile::OneShot);
    EXPECT_EQ(replay->count("not found"), 1);
    replay->button(0).gui_send();
    EXPECT_FALSE(replay->replay(0).running());
    EXPECT_TRUE(receive_for(*node1, 200).empty());
}

// Foreign files under the MDF log's extension: the reader refuses them, the
// row says so and sends nothing.
TEST_F(ReplayOnTheBus, AForeignFileUnderTheMdfExtensionIsRefused)
{
    VYR_REQUIRE_TESTDATA();
    for (const char *foreign : {"/mdf/asammdf/test/asammdf/gui/resources/test_batch.mf4",
                                "/canlog/css-mdf4-converters/Tools/SystemTests/Common/TestData/multiGeneratorCAN.log"}) {
        SCOPED_TRACE(foreign);
        const std::string file = path("foreign.log");
        QFile::remove(QString::fromStdString(file));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(vyr_test::testdata_dir() + foreign), QString::fromStdString(file)));
        start_row(file, CanReplayFile::FileTiming, CanReplayFile::OneShot);
        replay->button(0).gui_send();
        EXPECT_GE(replay->count(QString::fromStdString("Unable to open logfile '" + file + "', rc=-16")), 1);
        EXPECT_TRUE(receive_for(*node1, 200).empty());
        replay.reset();
        measurement.reset();
    }
}

} // namespace

namespace {

using namespace can_test;
using namespace replay_test;

// A file of python-can's ASCWriter replays as it wrote it.
TEST_F(ReplayOnTheBus, APythonCanAscFileReplays)
{
    if (!LogFileFormat::find_by_extension("asc"))
        GTEST_SKIP() << "no format reads .asc files";
    const std::string file = path("python.asc");
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c", "import can, sys\n"
                        "w = can.ASCWriter(sys.argv[1])\n"
                        "for n, (i, x, d) in enumerate([(0x123, False, b'\\x11\\x22'), (0x1ABCDE, True, b'\\xff'),"
                        " (0x10, False, bytes(range(8)))]):\n"
                        "    w.on_message_received(can.Message(timestamp=1000.0 + n * 0.005, arbitration_id=i,"
                        " is_extended_id=x, data=d, channel=0))\n"
                        "w.stop()\n",
                  QString::fromStdString(file)});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        GTEST_SKIP() << "python-can is not there: " << python.readAllStandardError().toStdString();
    start_row(file, CanReplayFile::FileTiming, CanReplayFile::OneShot, true);
    const std::vector<uint32_t> sent_at = press_start_and_step(3);
    ASSERT_EQ(sent_at.size(), 3u) << replay->lines.join("").toStdString();
    EXPECT_EQ(gaps(sent_at), (std::vector<uint32_t>{5, 5}));
    const std::vector<VyrCanMessage> got = receive(*node1, 3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].id, 0x123u);
    EXPECT_EQ(got[1].id, 0x1ABCDEu);
    EXPECT_TRUE(got[1].flags & VyrCanMessage::Extended);
    EXPECT_EQ(got[2].dlc, 8);
}

} // namespace
