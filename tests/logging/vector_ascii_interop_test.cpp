// The Vector ASCII format against other tools: python-can reads our files as
// we wrote them, we read python-can's and the shared test data's files as
// python-can does (the lines we refuse pinned), candump logs converted by
// can-utils' log2asc read as python-can reads the logs themselves, and our
// files go through can-utils' asc2log unchanged.
#include "logging_test_support.h"
#include "test_support.h"
#include "windows/logging/trigger_block_log_file.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace vyr_test;

namespace {

// A frame as text without its time: channel index, identifier, flag letters,
// length and data, the way python_can_frames.py prints it.
struct Frame
{
    int64_t micros;
    std::string text;
};

std::string frame_text(const VyrCanMessage &message)
{
    const uint32_t flags = message.flags;
    const bool error = flags & VyrCanMessage::ErrorFrame;
    const bool remote = flags & VyrCanMessage::Remote;
    std::string letters;
    for (const auto &[letter, on] :
         std::initializer_list<std::pair<char, bool>>{{'X', !error && (flags & VyrCanMessage::Extended)},
                                                      {'R', remote},
                                                      {'E', error},
                                                      {'F', flags & VyrCanMessage::FdFrame},
                                                      {'B', flags & VyrCanMessage::BitRateSwitch},
                                                      {'S', flags & VyrCanMessage::ErrorStateIndicator},
                                                      {'T', flags & (VyrCanMessage::TxAck | VyrCanMessage::TxRequest)}})
        if (on)
            letters += letter;
    std::string data;
    char hex[3];
    for (int i = 0; !remote && !error && i < message.dlc; ++i) {
        snprintf(hex, sizeof hex, "%02x", message.data[i]);
        data += hex;
    }
    std::ostringstream text;
    text << int(message.channel) << ' ' << std::hex << (error ? 0 : message.id) << std::dec << ' '
         << (letters.empty() ? "-" : letters) << ' ' << (error ? 0 : int(message.dlc)) << ' '
         << (data.empty() ? "-" : data);
    return text.str();
}

Frame frame_of(const VyrCanMessage &message)
{
    return {int64_t(message.time) * 1000 + int64_t(message.time_fraction) * 10, frame_text(message)};
}

const char *const python = "/usr/bin/python3";

// python-can is there (Debian's python3-can, for /usr/bin/python3).
bool has_python_can()
{
    return QProcess::execute(python, {"-c", "import can"}) == 0;
}

bool has_can_utils()
{
    return !QStandardPaths::findExecutable("log2asc").isEmpty() && !QStandardPaths::findExecutable("asc2log").isEmpty();
}

// The frames of python_can_frames.py in that mode; channel indexes folded
// onto the first three as our reader does.
std::vector<Frame> python_frames(const char *mode, const std::string &path, bool fold_channels = true)
{
    QProcess process;
    process.start(python,
                  {vyr_test::source_dir() + "/tests/logging/python_can_frames.py", mode, QString::fromStdString(path)});
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::vector<Frame> frames;
    std::istringstream lines(process.readAllStandardOutput().toStdString());
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        Frame frame{};
        int channel = 0;
        fields >> frame.micros >> channel;
        std::getline(fields, frame.text);
        if (fold_channels && channel >= 3)
            channel -= 3;
        frame.text = std::to_string(channel) + frame.text;
        frames.push_back(frame);
    }
    return frames;
}

// Our reading of the file: its frames, and the codes of the lines it refused.
std::vector<Frame> our_frames(const std::string &path, std::vector<int> *refused = nullptr)
{
    TriggerBlockLogFile log;
    log.set_file_name(path.c_str());
    log.set_write_mode(LogFile::ReadMode);
    EXPECT_EQ(log.open(), 0);
    std::vector<Frame> frames;
    for (;;) {
        VyrCanMessage message;
        const int result = log.read_message(message);
        if (result == LogFile::EndOfFile)
            break;
        if (result == LogFile::Success)
            frames.push_back(frame_of(message));
        else if (refused)
            refused->push_back(result);
        else
            ADD_FAILURE() << "refused a line: " << LogFile::result_name(result);
    }
    return frames;
}

// Frames as the lines "time in 10 us: frame text", times in 10-microsecond
// steps (our files' resolution) since the origin.
std::vector<std::string> stamped(const std::vector<Frame> &frames, int64_t origin = 0)
{
    std::vector<std::string> lines;
    for (const Frame &frame : frames)
        lines.push_back(std::to_string((frame.micros - origin) / 10) + ": " + frame.text);
    return lines;
}

// Times since the first frame.
std::vector<std::string> relative(const std::vector<Frame> &frames)
{
    return stamped(frames, frames.empty() ? 0 : frames.front().micros);
}

std::vector<std::string> without(std::vector<std::string> lines, const std::vector<std::string> &dropped)
{
    for (const std::string &line : dropped) {
        const auto found = std::find(lines.begin(), lines.end(), line);
        EXPECT_NE(found, lines.end()) << "no line " << line;
        if (found != lines.end())
            lines.erase(found);
    }
    return lines;
}

std::vector<uint8_t> counting(int length, uint8_t first = 0)
{
    std::vector<uint8_t> bytes(size_t(length), 0);
    for (int i = 0; i < length; ++i)
        bytes[size_t(i)] = uint8_t(first + i);
    return bytes;
}

VyrCanMessage frame(uint32_t time, uint8_t fraction, uint32_t id, uint32_t flags, std::vector<uint8_t> data,
                    uint8_t channel = 0)
{
    VyrCanMessage message;
    message.time = time;
    message.time_fraction = fraction;
    message.id = id;
    message.flags = flags;
    message.channel = channel;
    message.dlc = uint8_t(data.size());
    std::copy(data.begin(), data.end(), message.data);
    return message;
}

// Frames of every kind the format writes.
std::vector<VyrCanMessage> kinds_of_frames()
{
    return {
        frame(1000, 0, 0x1A, 0, {1, 255}),
        frame(1000, 25, 0x7FF, 0, counting(8), 1),
        frame(1001, 99, 0x18FEF100, VyrCanMessage::Extended, {0xDE, 0xAD}, 2),
        frame(1002, 0, 0x123, VyrCanMessage::TxAck, {}),
        frame(1003, 50, 0x10, VyrCanMessage::Remote, {0, 0, 0, 0}),
        frame(1004, 0, 0x1ABCDE, VyrCanMessage::Remote | VyrCanMessage::Extended, {}, 1),
        frame(1005, 0, 0, VyrCanMessage::ErrorFrame, {}, 2),
        frame(1006, 0, 0x100, VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch, counting(12)),
        frame(1007, 0, 0x101, VyrCanMessage::FdFrame, counting(3), 1),
        frame(1008, 0, 0x102, VyrCanMessage::FdFrame, counting(20)),
        frame(1009, 0, 0x1FFFFFFF,
              VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch | VyrCanMessage::Extended | VyrCanMessage::TxAck,
              counting(64, 0xC0)),
        frame(12345678, 90, 0x42, 0, {7}),
    };
}

class VectorAsciiInterop : public LogDirTest
{
protected:
    void SetUp() override
    {
        LogDirTest::SetUp();
        if (!has_python_can())
            GTEST_SKIP() << "python-can for " << python << " is not installed (Debian package python3-can)";
    }
};

TEST_F(VectorAsciiInterop, PythonCanReadsOurFilesAsWeWroteThem)
{
    const std::vector<VyrCanMessage> frames = kinds_of_frames();
    std::vector<Frame> written;
    for (const VyrCanMessage &message : frames)
        written.push_back(frame_of(message));
    TriggerBlockLogFile log;
    ASSERT_EQ(write_log(log, path("ours.asc"), frames), 0);
    EXPECT_EQ(relative(python_frames("asc", path("ours.asc"))), relative(written));
}

TEST_F(VectorAsciiInterop, WeReadPythonCanWritersFilesAsItDoes)
{
    QProcess::execute(python,
                      {vyr_test::source_dir() + "/tests/logging/python_can_frames.py", "write-asc",
                       QString::fromStdString(path("python.asc"))});
    const std::vector<Frame> ours = our_frames(path("python.asc"));
    ASSERT_EQ(ours.size(), 7u);
    EXPECT_EQ(relative(ours), relative(python_frames("asc", path("python.asc"))));
}

TEST_F(VectorAsciiInterop, WeReadTheSharedFilesAsPythonCanDoes)
{
    VYR_REQUIRE_TESTDATA();
    // Each row: a file, the codes of the lines we refuse, the frames only
    // python-can reads (or reads otherwise) and the frames only we read.
    const struct
    {
        const char *file;
        std::vector<int> refused;
        std::vector<std::string> python_only, ours_only;
    } cases[] = {
        // Names without a database (J1939TP) we refuse with InvalidId.
        // python-can takes a CANFD line with length 0 and a DLC code as a
        // remote frame and a CANFD error frame as CAN FD; we read the first
        // as a data frame of length 0 (the flags word lacks EDL) and the
        // second as an error frame.
        {"logfile.asc",
         {LogFile::InvalidId, LogFile::InvalidId},
         {"3030098: 2 50005 XRFT 5 -", "3080689: 1 0 EFT 0 -"},
         {"3030098: 2 50005 XT 0 -", "3080689: 1 0 ET 0 -"}},
        {"logfile_errorframes.asc", {}, {}, {}},
        {"single_frame.asc", {}, {}, {}},
        {"single_frame_us_locale.asc", {}, {}, {}},
        {"test_CanErrorFrames.asc", {}, {"3080689: 1 0 EFT 0 -"}, {"3080689: 1 0 ET 0 -"}},
        {"test_CanFdMessage.asc", {}, {}, {}},
        {"test_CanFdMessage64.asc", {}, {}, {}},
        {"test_CanMessage.asc", {}, {}, {}},
        {"test_CanRemoteMessage.asc", {}, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string file = testdata_dir() + "/canlog/python-can/test/data/" + c.file;
        std::vector<int> refused;
        const std::vector<std::string> ours = stamped(our_frames(file, &refused));
        const std::vector<std::string> theirs = stamped(python_frames("asc", file));
        EXPECT_EQ(refused, c.refused);
        EXPECT_EQ(without(ours, c.ours_only), without(theirs, c.python_only));
    }
}

// Small files of each kind of line met in real captures: classic lines with
// DLC codes 9 to 15 or more than 8 bytes, decimal ones, remote frames with
// and without a DLC, channels of one and two digits, CAN FD lines.
TEST_F(VectorAsciiInterop, WeReadEachKindOfLineAsPythonCanDoes)
{
    for (const char *file : {"classic_lines.asc", "classic_decimal.asc", "remote_frames.asc", "channels.asc"}) {
        SCOPED_TRACE(file);
        const std::string path = (vyr_test::source_dir() + "/tests/fuzz/seeds/log_asc/").toStdString() + file;
        const std::vector<Frame> ours = our_frames(path);
        EXPECT_FALSE(ours.empty());
        EXPECT_EQ(stamped(ours), stamped(python_frames("asc", path)));
    }
}

class CanUtilsInterop : public VectorAsciiInterop
{
protected:
    void SetUp() override
    {
        VectorAsciiInterop::SetUp();
        if (IsSkipped())
            return;
        if (!has_can_utils())
            GTEST_SKIP() << "log2asc and asc2log are not installed (Debian package can-utils)";
    }
};

void run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

TEST_F(CanUtilsInterop, Log2ascOfCandumpLogsReadsAsPythonCanReadsTheLogs)
{
    VYR_REQUIRE_TESTDATA();
    const struct
    {
        const char *file;
        QStringList buses;
        size_t frames;
    } cases[] = {
        {"savvycan/examples/candump.log", {"vcan0"}, 12974},
        {"css-mdf4-converters/Tools/SystemTests/Common/TestData/multiGeneratorCAN.log", {"can0", "can1"}, 164},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const std::string log = testdata_dir() + "/canlog/" + c.file;
        run("log2asc",
            QStringList{"-I", QString::fromStdString(log), "-O", QString::fromStdString(path("c.asc"))} + c.buses);
        const std::vector<Frame> ours = our_frames(path("c.asc"));
        ASSERT_EQ(ours.size(), c.frames);
        const std::vector<Frame> theirs = python_frames("candump", log);
        ASSERT_EQ(theirs.size(), c.frames);
        // log2asc writes microseconds; we keep 10 microseconds.
        for (size_t i = 0; i < ours.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(ours[i].text, theirs[i].text);
            const int64_t theirs_since_first = theirs[i].micros - theirs[0].micros;
            ASSERT_EQ(ours[i].micros - ours[0].micros, theirs_since_first - theirs_since_first % 10);
        }
    }
}

// The frames of a candump log written by asc2log: "(time) canN id#data"
// with "R" and a length for remote frames, "##" and a flags digit for CAN
// FD, the error flag in the identifier, and a direction letter after it.
std::vector<Frame> asc2log_frames(const std::string &path)
{
    std::vector<Frame> frames;
    std::istringstream lines(read_file(path));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string stamp, bus, text, direction;
        fields >> stamp >> bus >> text >> direction;
        VyrCanMessage message;
        const size_t dot = stamp.find('.');
        const int64_t micros = std::stoll(stamp.substr(1, dot - 1)) * 1000000 + std::stoll(stamp.substr(dot + 1, 6));
        message.channel = uint8_t(bus.back() - '0');
        const size_t hash = text.find('#');
        message.id = uint32_t(std::stoul(text.substr(0, hash), nullptr, 16));
        if (hash == 8)
            message.flags |= VyrCanMessage::Extended;
        if (message.id & 0x20000000u) {
            message.flags = VyrCanMessage::ErrorFrame;
            message.id = 0;
        }
        std::string data = text.substr(hash + 1);
        if (data.rfind("#", 0) == 0) {
            message.flags |= VyrCanMessage::FdFrame;
            if ((data[1] - '0') & 1)
                message.flags |= VyrCanMessage::BitRateSwitch;
            if ((data[1] - '0') & 2)
                message.flags |= VyrCanMessage::ErrorStateIndicator;
            data = data.substr(2);
        } else if (data.rfind("R", 0) == 0) {
            message.flags |= VyrCanMessage::Remote;
            message.dlc = uint8_t(data.size() > 1 ? std::stoi(data.substr(1)) : 0);
            data.clear();
        }
        if (direction == "T")
            message.flags |= VyrCanMessage::TxAck;
        if (!(message.flags & (VyrCanMessage::Remote | VyrCanMessage::ErrorFrame))) {
            message.dlc = uint8_t(data.size() / 2);
            for (size_t i = 0; i < message.dlc; ++i)
                message.data[i] = uint8_t(std::stoul(data.substr(2 * i, 2), nullptr, 16));
        }
        Frame frame = frame_of(message);
        frame.micros = micros;
        frames.push_back(frame);
    }
    return frames;
}

TEST_F(CanUtilsInterop, Asc2logTakesOurFilesBackAsWeWroteThem)
{
    VYR_REQUIRE_TESTDATA();
    std::vector<VyrCanMessage> frames = kinds_of_frames();
    const std::vector<VyrCanMessage> capture = read_candump(testdata_dir() + "/canlog/savvycan/examples/candump.log");
    frames.insert(frames.end(), capture.begin(), capture.begin() + 2000);
    for (size_t i = kinds_of_frames().size(); i < frames.size(); ++i)
        frames[i].time += 20000000;

    VyrCanIf fd_interface("CAN", nullptr, nullptr);
    fd_interface.set_fd_timing(true, 80000000, 1, 2, 1, 1);
    // asc2log reads CANFD lines in hexadecimal files only.
    std::vector<VyrCanMessage> classic;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(classic),
                 [](const VyrCanMessage &message) { return !(message.flags & VyrCanMessage::FdFrame); });
    const struct
    {
        const char *name;
        bool hex;
        VyrCanIf *can_if;
        const std::vector<VyrCanMessage> &frames;
    } cases[] = {
        {"hex", true, nullptr, frames},
        {"hex, CAN FD interface", true, &fd_interface, frames},
        {"decimal", false, nullptr, classic},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Frame> written;
        for (const VyrCanMessage &message : c.frames)
            written.push_back(frame_of(message));
        TriggerBlockLogFile log;
        log.set_data_hex(c.hex);
        log.set_interface(c.can_if);
        ASSERT_EQ(write_log(log, path("ours.asc"), c.frames), 0);
        run("asc2log",
            {"-I", QString::fromStdString(path("ours.asc")), "-O", QString::fromStdString(path("ours.log"))});
        EXPECT_EQ(relative(asc2log_frames(path("ours.log"))), relative(written));
    }
}

} // namespace
