#include "settings/qtb_config.h"
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/j1939_id_formatter.h"
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
                  read_file((vyr_test::source_dir() + "/tests/logging/golden/").toStdString() + c.golden));
    }
}

// The J1939 columns stand between the flags and the length: the reader
// takes them back through the formatter the header names, with or without
// that formatter on its own interface.
TEST_F(AsciiLogFileTest, J1939ColumnsReadBackThroughTheFormatterOfTheHeader)
{
    VyrCanIf j1939_if("CAN", nullptr, nullptr);
    j1939_if.set_id_formatter(std::make_unique<J1939IdFormatter>("J1939"));
    const std::vector<VyrCanMessage> frames = {
        frame(1000, 0x18010203, VyrCanMessage::Extended, {1, 2, 3, 4, 5, 6, 7, 8}, 2),
        frame(1001, 0x0CFEF1A5, VyrCanMessage::Extended, {9}, 1),
        frame(1002, 0x123, 0, {10, 11}, 0),
    };
    AsciiLogFile writer;
    writer.set_interface(&j1939_if);
    writer.set_use_candb_for_id(false);
    ASSERT_EQ(write_log(writer, path("j1939.txt"), frames), 0);

    VyrCanIf plain_if("CAN", nullptr, nullptr);
    for (VyrCanIf *reading_if : {&j1939_if, &plain_if}) {
        AsciiLogFile reader;
        reader.set_interface(reading_if);
        const std::vector<ReadRecord> records = read_log(reader, path("j1939.txt"));
        ASSERT_EQ(records.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(records[i].result, 0) << LogFile::result_name(records[i].result);
            EXPECT_EQ(records[i].message.id, frames[i].id);
            EXPECT_EQ(records[i].message.dlc, frames[i].dlc);
            EXPECT_EQ(records[i].message.channel, frames[i].channel);
            EXPECT_EQ(records[i].message.data[0], frames[i].data[0]);
        }
    }

    // Columns that contradict the identifier, and a formatter nobody knows:
    // refused, never read as something else.
    const std::string text = read_file(path("j1939.txt"));
    const std::string line = message_lines(text)[0];
    std::string contradicting = text;
    contradicting.replace(contradicting.find(line), line.size(),
                          std::string(line).replace(line.find(" 03 "), 4, " 04 "));
    write_file(path("contradicting.txt"), contradicting);
    std::string unknown = text;
    unknown.replace(unknown.find("Plugin: J1939"), 13, "Plugin: J2000");
    write_file(path("unknown.txt"), unknown);
    for (const auto &[file, result] :
         {std::pair{"contradicting.txt", LogFile::InvalidId}, std::pair{"unknown.txt", LogFile::InvalidContents}}) {
        SCOPED_TRACE(file);
        AsciiLogFile reader;
        const std::vector<ReadRecord> records = read_log(reader, path(file));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].result, result) << LogFile::result_name(records[0].result);
    }
}

// A line longer than the reader's limit is one bad line, whatever it holds;
// the lines around it read as usual.
TEST_F(AsciiLogFileTest, ALongLineIsOneBadLine)
{
    std::string digits;
    for (int i = 0; i < 100000; ++i)
        digits += "1.000  100  1  1 ";
    write_file(path("long.txt"),
               "    0.000  100  1  1\r\n" + digits + "\r\n# " + digits + "\r\n    0.000  200  1  2\r\n" +
                   std::string(AsciiLogFile::line_size - 2, '1') + "\r\n");
    AsciiLogFile reader;
    std::vector<int> results;
    reader.set_file_name(path("long.txt").c_str());
    reader.set_write_mode(LogFile::ReadMode);
    ASSERT_EQ(reader.open(), 0);
    VyrCanMessage message;
    for (int result; (result = reader.read_message(message)) != LogFile::EndOfFile;)
        results.push_back(result == 0 ? int(message.id) : result);
    // The last line is just within the limit: read as one line (a time
    // stamp without an identifier).
    EXPECT_EQ(results, (std::vector<int>{0x100, LogFile::InvalidContents, 0x200, LogFile::InvalidId}));
}

// Hexadecimal identifiers wider than 29 bits neither wrap nor reach the
// marker bit of extended identifiers.
TEST_F(AsciiLogFileTest, IdentifiersWiderThan29BitsAreRefused)
{
    for (const char *id : {"1ffffffff0", "80000123", "20000000"}) {
        SCOPED_TRACE(id);
        write_file(path("wide.txt"), std::string("   1.000  ") + id + "  1  5\r\n   2.000  1fffffff  X 1  6\r\n");
        AsciiLogFile reader;
        const std::vector<ReadRecord> records = read_log(reader, path("wide.txt"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].result, LogFile::InvalidId);
    }
    // The widest identifier reads; reading goes on after a refused line.
    write_file(path("wide.txt"), "   1.000  1ffffffff0  1  5\r\n   2.000  1fffffff  X 1  6\r\n");
    AsciiLogFile reader;
    reader.set_file_name(path("wide.txt").c_str());
    reader.set_write_mode(LogFile::ReadMode);
    ASSERT_EQ(reader.open(), 0);
    VyrCanMessage message;
    EXPECT_EQ(reader.read_message(message), LogFile::InvalidId);
    EXPECT_EQ(reader.read_message(message), 0);
    EXPECT_EQ(message.id, 0x1FFFFFFFu);
    EXPECT_EQ(message.flags, uint32_t(VyrCanMessage::Extended));
}

// Reading leaves the file as it was: no footer, no error at its close.
TEST_F(AsciiLogFileTest, ClosingAFileOpenForReadingWritesNothing)
{
    AsciiLogFile writer;
    ASSERT_EQ(write_log(writer, path("read.txt"), {frame(1, 0x10, 0, {1})}), 0);
    const std::string written = read_file(path("read.txt"));
    AsciiLogFile reader;
    reader.set_file_name(path("read.txt").c_str());
    reader.set_write_mode(LogFile::ReadMode);
    ASSERT_EQ(reader.open(), 0);
    VyrCanMessage message;
    EXPECT_EQ(reader.read_message(message), 0);
    EXPECT_EQ(reader.close(), 0);
    EXPECT_EQ(read_file(path("read.txt")), written);
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
    // Database names: long, looking like a hexadecimal number, beginning
    // with a digit, and a J1939 group found through the formatter's view
    // (the line's columns give the frame's own address and priority; with
    // the extended data page set they cannot, and the number is written).
    const std::string long_name = "DriverAssistanceLongitudinalControlStatus";
    for (auto [id, flags, channel] : {std::tuple{0x3A1u, 0u, 3},
                                      {0xACCu, 0u, 1},
                                      {0x4FBu, 0u, 2},
                                      {0x18FEF117u, uint32_t(VyrCanMessage::Extended), 1},
                                      {0x1AFEF117u, uint32_t(VyrCanMessage::Extended), 0},
                                      {0x18EA2233u, uint32_t(VyrCanMessage::Extended), 255}})
        frames.push_back(frame(1000 * hour + 8, id, flags, {1, 2, 3}, uint8_t(channel)));
    const std::unique_ptr<VyrCanIf> can_if = interface_with_database({{"EngineData", 0x123, false},
                                                                      {long_name.c_str(), 0x3A1, false},
                                                                      {"ACC", 0x7AB, false},
                                                                      {"ACB", 0xACC, false},
                                                                      {"2017_5", 0x4FB, false},
                                                                      {"CruiseControlVehicleSpeed", 0xFEF1, true}});

    for (int options = 0; options < 64; ++options) {
        const int time_format = options & 1;
        const bool data_hex = options & 2, id_hex = options & 4, abs_time = options & 8, use_database = options & 16;
        const bool j1939 = options & 32;
        SCOPED_TRACE(testing::Message() << "time format " << time_format << " data hex " << data_hex << " id hex "
                                        << id_hex << " absolute " << abs_time << " database " << use_database
                                        << " J1939 " << j1939);
        can_if->set_id_formatter(j1939 ? std::make_unique<J1939IdFormatter>("J1939") : nullptr);
        AsciiLogFile writer;
        writer.set_interface(can_if.get());
        writer.set_time_format(time_format);
        writer.set_data_hex(data_hex);
        writer.set_id_hex(id_hex);
        writer.set_abs_time(abs_time);
        writer.set_use_candb_for_id(use_database);
        ASSERT_EQ(write_log(writer, path("round.txt"), frames), 0);
        if (use_database) {
            const std::string text = read_file(path("round.txt"));
            EXPECT_NE(text.find("EngineData"), std::string::npos);
            EXPECT_NE(text.find(long_name), std::string::npos);
            EXPECT_EQ(text.find("CruiseControlVehicleSpeed") != std::string::npos, j1939);
        }

        AsciiLogFile reader;
        reader.set_interface(can_if.get());
        const std::vector<ReadRecord> records = read_log(reader, path("round.txt"));
        ASSERT_EQ(records.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            const VyrCanMessage &expected = frames[i];
            const VyrCanMessage &read = records[i].message;
            ASSERT_EQ(records[i].result, 0) << LogFile::result_name(records[i].result);
            EXPECT_EQ(read.time, abs_time ? expected.time : expected.time - frames[0].time);
            EXPECT_EQ(read.time_fraction, 0);
            EXPECT_EQ(read.channel, expected.channel);
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
        {"1.000  291  2  1 256", false, LogFile::InvalidData},
        // Identifiers of more than 29 bits.
        {"1.000  536870912  X 2  1 2", false, LogFile::InvalidId},
        {"1.000  4294967587  2  1 2", false, LogFile::InvalidId},
        // Counter and channel.
        {"1.000  291  2  1 2  7  256", false, LogFile::InvalidContents},
        {"1.000  291  2  1 2  seven", false, LogFile::InvalidContents},
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
