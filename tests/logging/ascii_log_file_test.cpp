#include "settings/qtb_config.h"
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/vyr_can_if.h"
#include "logging_test_support.h"
#include "test_support.h"
#include "windows/logging/ascii_log_file.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sstream>

using namespace vyr_test;

namespace {

using AsciiLogFileTest = LogDirTest;

VyrCanMessage frame(uint32_t time, uint32_t id, uint32_t flags, std::vector<uint8_t> data, uint8_t channel = 0)
{
    VyrCanMessage message;
    message.time = time;
    message.id = id;
    message.flags = flags;
    message.channel = channel;
    message.dlc = uint8_t(data.size());
    std::copy(data.begin(), data.end(), message.data);
    return message;
}

// The dates of the header and the comments, which change with every run.
std::string without_dates(const std::string &text)
{
    std::string masked;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Created: ", 0) == 0)
            line = "Created: <date>\r";
        else if (line.rfind("# ", 0) == 0)
            line = line.substr(0, line.rfind(" (")) + " (<date>)\r";
        masked += line + "\n";
    }
    return masked;
}

// The message lines of a log file (those that begin with the time stamp).
std::vector<std::string> message_lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t first = line.find_first_not_of(' ');
        if (first != std::string::npos && isdigit(static_cast<unsigned char>(line[first])))
            lines.push_back(line);
    }
    return lines;
}

TEST_F(AsciiLogFileTest, LineOfTheDocumentedExample)
{
    AsciiLogFile log;
    ASSERT_EQ(write_log(log, path("t.txt"), {frame(3723004, 0x123, 0, {1, 2})}), 0);
    const std::vector<std::string> lines = message_lines(read_file(path("t.txt")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], " 1:02:03.004" + std::string(2, ' ') + std::string(17, ' ') + "123" + "         "
                            + "  2  " + "01 02" + std::string(20, ' ') + "           1" + "  0");
    EXPECT_EQ(log.byte_count(), lines[0].size() + 2);
}

// A formatter of a protocol: the group number before the data, the source
// address after the counter; it takes an "id" field as a group number.
class GroupFormatter : public IdFormatter
{
public:
    GroupFormatter() : IdFormatter("Groups") {}
    bool set_id_field(uint32_t &id, const char *field, uint32_t value) const override
    {
        if (strcmp(field, "id") != 0)
            return false;
        id = value << 8;
        return true;
    }
    int column_count() const override { return 2; }
    const char *column_title(int index) const override { return index == 0 ? " PGN" : " SA"; }
    int column_text(const VyrCanMessage &message, int index, char *buffer) const override
    {
        return snprintf(buffer, IdFormatter::max_column_text + 1, index == 0 ? " %x" : " %02x",
                        index == 0 ? (message.id >> 8) & 0x1FFFF : message.id & 0xFF);
    }
    int column_width(int index) const override { return index == 0 ? 6 : 3; }
    bool column_after_counter(int index) const override { return index == 1; }
};

// Golden files hold whole logs byte for byte (dates masked): the header with
// its settings, every flag letter, an error frame, CAN FD data, comments,
// the counter and channel columns and the footer.
TEST_F(AsciiLogFileTest, WholeFilesMatchTheGoldenFiles)
{
    const std::vector<VyrCanMessage> frames = {
        frame(0, 0x7FF, 0, {}),
        frame(1500, 0x18FEF100, VyrCanMessage::Extended | VyrCanMessage::TxAck, {0xde, 0xad, 0xbe, 0xef, 0, 1, 2, 255}, 1),
        frame(2250, 0x1, VyrCanMessage::Remote | VyrCanMessage::WakeUp | VyrCanMessage::TxRequest, {}, 2),
        frame(2251, 0x2, VyrCanMessage::TransceiverError | VyrCanMessage::SoftwareOverrun, {9}),
        frame(2252, 0x3, VyrCanMessage::HardwareOverrun, {10}),
        frame(3000, 0, VyrCanMessage::ErrorFrame, {}),
        frame(4000, 0x100, VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch,
              std::vector<uint8_t>(12, 0xA5), 3),
        frame(366000123, 0x42, 0, {7}),
    };
    struct Case
    {
        const char *golden;
        int time_format;
        bool data_hex, id_hex, abs_time, formatter;
    };
    VyrCanIf can_if("CAN", nullptr, nullptr);
    for (const Case &c : {Case{"ascii_hex_absolute.txt", 1, true, true, true, false},
                          Case{"ascii_decimal_relative.txt", 0, false, false, false, false},
                          Case{"ascii_formatter_columns.txt", 1, true, true, true, true}}) {
        SCOPED_TRACE(c.golden);
        can_if.set_id_formatter(c.formatter ? std::make_unique<GroupFormatter>() : nullptr);
        AsciiLogFile log;
        log.set_interface(&can_if);
        log.set_time_format(c.time_format);
        log.set_data_hex(c.data_hex);
        log.set_id_hex(c.id_hex);
        log.set_abs_time(c.abs_time);
        log.set_use_candb_for_id(false);
        log.set_file_name(path(c.golden).c_str());
        log.set_write_mode(LogFile::Overwrite);
        ASSERT_EQ(log.open(), 0);
        log.start_logging();
        for (const VyrCanMessage &message : frames)
            ASSERT_EQ(log.log_message(message), 0);
        log.stop_logging();
        ASSERT_EQ(log.measurement_stopped(), 0);
        ASSERT_EQ(log.close(), 0);
        EXPECT_EQ(without_dates(read_file(path(c.golden))),
                  read_file(std::string(VYR_TEST_SOURCE_DIR "/golden/") + c.golden));
    }
}

TEST_F(AsciiLogFileTest, ReaderOffersTheIdentifierToTheFormatter)
{
    write_file(path("group.txt"), "   1.000          fea00  X 1  5\r\n");
    VyrCanIf can_if("CAN", nullptr, nullptr);
    can_if.set_id_formatter(std::make_unique<GroupFormatter>());
    AsciiLogFile reader;
    reader.set_interface(&can_if);
    const std::vector<ReadRecord> records = read_log(reader, path("group.txt"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].result, 0);
    EXPECT_EQ(records[0].message.id, 0xfea0000u);
}

// Names in English whatever the locale says, times in the local zone.
TEST_F(AsciiLogFileTest, DateTextOfHeaderAndComments)
{
    setlocale(LC_TIME, "de_DE.UTF-8");
    EXPECT_EQ(AsciiLogFile::date_time_text(0), "Thu Jan 1 00:00:00 1970");
    EXPECT_EQ(AsciiLogFile::date_time_text(1796904000), "Thu Dec 10 12:00:00 2026");
    setlocale(LC_TIME, "C");
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(AsciiLogFile::date_time_text(0), "Thu Jan 1 09:00:00 1970");
    use_utc();
}

// Every option combination writes lines that read back to the same records:
// the frames of a real candump log with classic and CAN FD, standard and
// extended identifiers, plus remote, error and flagged frames, at times past
// 99 hours.
TEST_F(AsciiLogFileTest, EveryOptionCombinationReadsBack)
{
    VYR_REQUIRE_TESTDATA();
    std::vector<VyrCanMessage> frames = read_candump(
        testdata_dir() + "/canlog/css-mdf4-converters/Tools/SystemTests/Common/TestData/multiGeneratorCAN.log");
    ASSERT_GT(frames.size(), 100u);
    const uint32_t hour = 3600000;
    frames.push_back(frame(frames.back().time + 1, 0x10, VyrCanMessage::Remote | VyrCanMessage::TxAck, {}));
    frames.push_back(frame(frames.back().time + 2, 0, VyrCanMessage::ErrorFrame, {}));
    frames.push_back(frame(frames.back().time + 3, 0x1abcdef0, VyrCanMessage::Extended | VyrCanMessage::WakeUp
                                                                    | VyrCanMessage::TxRequest, {0, 0x80, 0xff}));
    frames.push_back(frame(150 * hour + 12345, 0x2, VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch, {1}));
    frames.push_back(frame(1000 * hour + 7, 0x7ff, 0, {2, 3}));
    frames.push_back(frame(1000 * hour + 7, 0x123, 0, {}));
    const std::unique_ptr<VyrCanIf> can_if = interface_with_database({{"EngineData", 0x123, false}});

    for (int options = 0; options < 32; ++options) {
        const int time_format = options & 1;
        const bool data_hex = options & 2, id_hex = options & 4, abs_time = options & 8, use_database = options & 16;
        SCOPED_TRACE(testing::Message() << "time format " << time_format << " data hex " << data_hex << " id hex "
                                        << id_hex << " absolute " << abs_time << " database " << use_database);
        AsciiLogFile writer;
        writer.set_interface(can_if.get());
        writer.set_time_format(time_format);
        writer.set_data_hex(data_hex);
        writer.set_id_hex(id_hex);
        writer.set_abs_time(abs_time);
        writer.set_use_candb_for_id(use_database);
        ASSERT_EQ(write_log(writer, path("round.txt"), frames), 0);
        if (use_database) {
            EXPECT_NE(read_file(path("round.txt")).find("EngineData"), std::string::npos);
        }

        AsciiLogFile reader;
        reader.set_interface(can_if.get());
        const std::vector<ReadRecord> records = read_log(reader, path("round.txt"));
        ASSERT_EQ(records.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            const VyrCanMessage &expected = frames[i];
            const VyrCanMessage &read = records[i].message;
            ASSERT_EQ(records[i].result, 0);
            EXPECT_EQ(read.time, abs_time ? expected.time : expected.time - frames[0].time);
            EXPECT_EQ(read.time_fraction, 0);
            EXPECT_EQ(read.channel, 0);
            EXPECT_EQ(read.flags, expected.flags);
            if (expected.flags & VyrCanMessage::ErrorFrame)
                continue;
            EXPECT_EQ(read.id, expected.id);
            ASSERT_EQ(read.dlc, expected.dlc);
            EXPECT_EQ(std::vector<uint8_t>(read.data, read.data + read.dlc),
                      std::vector<uint8_t>(expected.data, expected.data + expected.dlc));
        }
    }
}

// Each refusal of the reader at the line where it occurs, after a header
// whose settings the reader takes over.
TEST_F(AsciiLogFileTest, ReaderRefusesMalformedLines)
{
    const std::string header = "   Format of data field: DEC\r\n   Format of id field: DEC\r\n   Time: Absolute\r\n";
    const std::unique_ptr<VyrCanIf> can_if = interface_with_database({{"Known", 0x10, false}});
    struct Case
    {
        const char *line;
        bool with_database;
        int result;
    };
    const Case cases[] = {
        {"1:2:3:4.000  291  2  1 2", false, LogFile::InvalidTimestamp},
        {"1.000.5  291  2  1 2", false, LogFile::InvalidTimestamp},
        {"1.000:5  291  2  1 2", false, LogFile::InvalidTimestamp},
        {"1.000  12a  2  1 2", false, LogFile::InvalidId},
        {"1.000  Known  2  1 2", false, LogFile::InvalidId},
        {"1.000  Unknown  2  1 2", true, LogFile::IdLookupError},
        {"1.000  291  Z  1 2", false, LogFile::InvalidFlags},
        {"1.000  291  T", false, LogFile::InvalidFlags},
        {"1.000  291  2  1 1a", false, LogFile::InvalidData},
        {"1.000  291  3  1 2", false, LogFile::InvalidData},
        {"1.000  291  2  1 -2", false, LogFile::InvalidData},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        write_file(path("bad.txt"), header + "# a comment line\r\n1.000  291  1  7\r\n" + c.line + "\r\n");
        AsciiLogFile reader;
        reader.set_interface(c.with_database ? can_if.get() : nullptr);
        const std::vector<ReadRecord> records = read_log(reader, path("bad.txt"));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0].result, 0);
        EXPECT_EQ(records[0].message.id, 291u);
        EXPECT_EQ(records[1].result, c.result) << LogFile::result_name(records[1].result);
    }

    AsciiLogFile closed;
    VyrCanMessage message;
    EXPECT_EQ(closed.read_message(message), LogFile::NoFilename);
    write_file(path("empty.txt"), header);
    EXPECT_TRUE(read_log(closed, path("empty.txt")).empty());
}

TEST_F(AsciiLogFileTest, ReaderTakesTheTimeAndNamesAsWritten)
{
    const std::unique_ptr<VyrCanIf> can_if = interface_with_database({{"Known", 0x10, false}});
    // 64 data bytes for the length 70, which reads as 64.
    std::string data;
    for (int i = 0; i < 64; ++i)
        data += " 0" + std::to_string(i % 10);
    write_file(path("in.txt"), "Converted from Archivant\n"
                               "   1:01:01.123456  1  2  3 4\n"
                               "\t2:03.5\tKnown  X T 1 ff\n"
                               "  7     abc  70" + data + "\n");
    AsciiLogFile reader;
    reader.set_interface(can_if.get());
    const std::vector<ReadRecord> records = read_log(reader, path("in.txt"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].result, 0);
    EXPECT_EQ(records[0].message.time, 3661123u);
    EXPECT_EQ(records[0].message.time_fraction, 45);
    EXPECT_EQ(records[0].message.id, 1u);
    EXPECT_EQ(records[1].message.time, 123500u);
    EXPECT_EQ(records[1].message.id, 0x10u);
    EXPECT_EQ(records[1].message.flags, uint32_t(VyrCanMessage::Extended | VyrCanMessage::TxAck));
    EXPECT_EQ(records[1].message.data[0], 0xff);
    EXPECT_EQ(records[2].result, 0);
    EXPECT_EQ(records[2].message.id, 0xabcu);
    EXPECT_EQ(records[2].message.dlc, 64);
    EXPECT_EQ(records[2].message.data[63], 3);
}

// Relative times add up on reading, the deltas of error frames included;
// a file that does not say its time setting is read as relative.
TEST_F(AsciiLogFileTest, RelativeTimesAddUpOverErrorFrames)
{
    write_file(path("rel.txt"), "    0.000  100  1  1\r\n"
                                "    0.250                          ERROR FRAME\r\n"
                                "    0.100  100  1  2\r\n"
                                "    1.000050  100  1  3\r\n"
                                "    0.000995  100  1  4\r\n");
    AsciiLogFile reader;
    const std::vector<ReadRecord> records = read_log(reader, path("rel.txt"));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[1].message.flags, uint32_t(VyrCanMessage::ErrorFrame));
    const uint32_t times[] = {0, 250, 350, 1350, 1351};
    const uint8_t fractions[] = {0, 0, 0, 5, 4};
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].result, 0) << i;
        EXPECT_EQ(records[i].message.time, times[i]) << i;
        EXPECT_EQ(records[i].message.time_fraction, fractions[i]) << i;
    }
}

TEST_F(AsciiLogFileTest, OptionsKeysFollowTheFacilityKeys)
{
    AsciiLogFile log;
    QtbConfigGroup written;
    log.write_options(&written);
    std::vector<std::string> names;
    for (QtbConfigValue *value = written.first_value(); value; value = written.next_value())
        names.push_back(written.current_name());
    const std::vector<std::string> tail(names.end() - 5, names.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"time_format", "data_hex", "id_hex", "use_candb_for_id", "abs_time"}));

    // Construction defaults differ from the defaults of a read.
    EXPECT_EQ(log.time_format(), 1);
    EXPECT_TRUE(log.use_candb_for_id());
    QtbConfigGroup empty;
    log.read_options(&empty);
    EXPECT_EQ(log.time_format(), 0);
    EXPECT_TRUE(log.data_hex());
    EXPECT_TRUE(log.id_hex());
    EXPECT_FALSE(log.use_candb_for_id());
    EXPECT_TRUE(log.abs_time());

    log.set_time_format(1);
    log.set_data_hex(false);
    log.set_abs_time(false);
    QtbConfigGroup changed;
    log.write_options(&changed);
    AsciiLogFile copy;
    copy.read_options(&changed);
    EXPECT_EQ(copy.time_format(), 1);
    EXPECT_FALSE(copy.data_hex());
    EXPECT_FALSE(copy.abs_time());
}

} // namespace
