// The Vector ASCII log format: its lines for the documented examples in both
// bases and time modes, CAN FD lines with database names, the header and
// footer, the reader on a crafted line per result code, relative times over
// every kind of line, the options and their dialog.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_network.h"
#include "forms/dialog_log_to_file_ascii_parameters.h"
#include "logging_test_support.h"
#include "settings/qtb_config.h"
#include "test_support.h"
#include "windows/logging/ascii_parameters_dialog.h"
#include "windows/logging/trigger_block_log_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

using namespace vyr_test;

namespace {

using TriggerBlockLogFileTest = LogDirTest;

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

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "line without CR LF: " << line;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The frame lines of a file written with these options (between the header
// and "End Triggerblock").
std::vector<std::string> written_lines(const std::string &path, const std::vector<VyrCanMessage> &frames, bool hex,
                                       bool absolute, VyrCanIf *can_if = nullptr)
{
    TriggerBlockLogFile log;
    log.set_data_hex(hex);
    log.set_abs_time(absolute);
    log.set_interface(can_if);
    EXPECT_EQ(write_log(log, path, frames), 0);
    std::vector<std::string> lines = lines_of(read_file(path));
    EXPECT_GE(lines.size(), 4u);
    if (lines.size() < 4)
        return {};
    EXPECT_EQ(lines.back(), "End Triggerblock");
    return std::vector<std::string>(lines.begin() + 3, lines.end() - 1);
}

// count bytes of the same value as a CAN FD line writes them in hexadecimal.
std::string hex_bytes(int count, const char *value)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += std::string(" ") + value;
    return bytes;
}

const std::string fd_fields_zero = "        0    0        0        0        0        0        0        0";

TEST_F(TriggerBlockLogFileTest, LinesOfTheDocumentedExamples)
{
    const std::vector<VyrCanMessage> frames = {
        frame(1234, 56, 0x1A, 0, {1, 255}),
        frame(12345678, 0, 0x12345, VyrCanMessage::Extended | VyrCanMessage::TxAck, {0, 16, 32}, 1),
        frame(12345679, 0, 0x7FF, VyrCanMessage::Remote, {0, 0, 0, 0}, 2),
        frame(12345680, 0, 0, VyrCanMessage::ErrorFrame, {}),
        frame(12345681, 0, 0x10, VyrCanMessage::TxRequest, {1}),
        // Older than the frame before: a relative stamp of 0, not 49.7 days.
        frame(12345600, 50, 0x20, 0, {2}),
    };
    const struct
    {
        bool hex, absolute;
        std::vector<std::string> lines;
    } cases[] = {
        {true,
         true,
         {"   1.234560  1 1a              Rx   d 2 01 ff", "12345.678000  2 12345x          Tx   d 3 00 10 20",
          "12345.679000  3 7ff             Rx   r 4", "12345.680000  1 ErrorFrame",
          "12345.681000  1 10              TxRq d 1 01", "12345.600500  1 20              Rx   d 1 02"}},
        {false,
         false,
         {"   0.000000  1 26              Rx   d 2   1 255", "12344.443440  2 74565x          Tx   d 3   0  16  32",
          "   0.001000  3 2047            Rx   r 4", "   0.001000  1 ErrorFrame",
          "   0.001000  1 16              TxRq d 1   1", "   0.000000  1 32              Rx   d 1   2"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hex ? "hex, absolute" : "decimal, relative");
        EXPECT_EQ(written_lines(path("t.asc"), frames, c.hex, c.absolute), c.lines);
    }
}

// A CAN interface whose network database is a real CAN FD description file.
std::unique_ptr<VyrCanIf> interface_with_dbc(const std::string &dbc)
{
    auto cluster = std::make_unique<CANdbCluster>();
    CANdbNetwork *network = cluster->add_network(std::make_unique<CANdbNetwork>());
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    EXPECT_TRUE(io);
    io->set_file_name(dbc.c_str());
    EXPECT_EQ(io->read(network), 0);
    auto can_if = std::make_unique<VyrCanIf>("CAN", nullptr, nullptr);
    can_if->set_databases(std::move(cluster));
    return can_if;
}

TEST_F(TriggerBlockLogFileTest, CanFdLinesWithDatabaseNames)
{
    VYR_REQUIRE_TESTDATA();
    std::unique_ptr<VyrCanIf> can_if =
        interface_with_dbc(testdata_dir() + "/dbc/cantools/tests/files/dbc/fd_test_int.dbc");
    std::vector<uint8_t> twelve(12);
    for (size_t i = 0; i < twelve.size(); ++i)
        twelve[i] = uint8_t(i);
    const std::vector<VyrCanMessage> frames = {
        // TestMsg_FDStd, with bit-rate switch.
        frame(1000, 0, 1, VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch, twelve),
        // TestMsg_FDEx without it, and the error-state indicator.
        frame(1001, 0, 0, VyrCanMessage::FdFrame | VyrCanMessage::Extended | VyrCanMessage::ErrorStateIndicator,
              {1, 2, 3}),
        // Unknown to the database: no name.
        frame(1002, 0, 0x55, VyrCanMessage::FdFrame | VyrCanMessage::TxAck, std::vector<uint8_t>(64, 0xAB)),
        // A classic frame keeps the classic layout while the interface runs classic CAN.
        frame(1003, 0, 2, 0, {9}),
    };
    const std::vector<std::string> lines = written_lines(path("fd.asc"), frames, true, true, can_if.get());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "   1.000000 CANFD   1 Rx          1  TestMsg_FDStd                    1 0 9 12 00 01 02 03 04 05 06 07 "
              "08 09 0a 0b        0    0     3000        0        0        0        0        0");
    EXPECT_EQ(lines[1],
              "   1.001000 CANFD   1 Rx          0x TestMsg_FDEx                     0 1 3  3 01 02 03        0"
              "    0     5000        0        0        0        0        0");
    EXPECT_EQ(lines[2],
              "   1.002000 CANFD   1 Tx         55   0 0 f 64" + hex_bytes(64, "ab") +
                  "        0    0     1000        0        0        0        0        0");
    EXPECT_EQ(lines[3], "   1.003000  1 2               Rx   d 1 09");

    // While the interface runs CAN FD, classic data frames take the CAN FD
    // layout with "CANFD" and no EDL bit; remote frames keep the classic one.
    can_if->set_fd_timing(true, 80000000, 1, 2, 1, 1);
    const std::vector<std::string> fd_mode_lines = written_lines(
        path("fd_mode.asc"), {frame(1003, 0, 2, 0, {9}), frame(1004, 0, 3, VyrCanMessage::Remote, {0, 0})}, true, true,
        can_if.get());
    ASSERT_EQ(fd_mode_lines.size(), 2u);
    EXPECT_EQ(fd_mode_lines[0],
              "   1.003000 CANFD   1 Rx          2  TestMsg_Std                      0 0 1  1 09" + fd_fields_zero);
    EXPECT_EQ(fd_mode_lines[1], "   1.004000  1 3               Rx   r 2");

    // Read back through the names: every frame as written, FD or classic by
    // the frame's own kind.
    TriggerBlockLogFile reader;
    reader.set_interface(can_if.get());
    std::vector<ReadRecord> read = read_log(reader, path("fd.asc"));
    ASSERT_EQ(read.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read[i].result, 0);
        EXPECT_EQ(read[i].message.id, frames[i].id);
        EXPECT_EQ(read[i].message.flags, frames[i].flags);
        EXPECT_EQ(read[i].message.dlc, frames[i].dlc);
        EXPECT_EQ(memcmp(read[i].message.data, frames[i].data, frames[i].dlc), 0);
    }
    read = read_log(reader, path("fd_mode.asc"));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].message.flags, 0u);
    EXPECT_EQ(read[1].message.flags, uint32_t(VyrCanMessage::Remote));
}

TEST(TriggerBlockLogFile, DateTextAndDlcCodes)
{
    use_utc();
    EXPECT_EQ(TriggerBlockLogFile::date_text(0), "Thu Jan 1 12:00:00 am 1970");
    EXPECT_EQ(TriggerBlockLogFile::date_text(1764752701), "Wed Dec 3 09:05:01 am 2025");
    EXPECT_EQ(TriggerBlockLogFile::date_text(1764752701 + 4 * 3600), "Wed Dec 3 01:05:01 pm 2025");
    EXPECT_EQ(TriggerBlockLogFile::date_text(1764752701 + 3 * 3600), "Wed Dec 3 12:05:01 pm 2025");

    const std::pair<int, int> codes[] = {{0, 0},   {8, 8},   {9, 9},   {12, 9},  {13, 10}, {16, 10}, {17, 11},
                                         {20, 11}, {24, 12}, {25, 13}, {32, 13}, {33, 14}, {48, 14}, {64, 15}};
    for (const auto &[length, code] : codes)
        EXPECT_EQ(TriggerBlockLogFile::dlc_code(length), code) << length;
}

struct Expected
{
    int result;
    uint32_t time = 0;
    uint8_t fraction = 0;
    uint8_t channel = 0;
    uint32_t id = 0;
    uint32_t flags = 0;
    std::vector<uint8_t> data = {};
};

constexpr uint32_t fd = VyrCanMessage::FdFrame;
constexpr uint32_t brs = VyrCanMessage::BitRateSwitch;
constexpr uint32_t ext = VyrCanMessage::Extended;
constexpr uint32_t tx = VyrCanMessage::TxAck;

// Reads a file of the header, the line and a last frame: the line gives the
// expected record (or is skipped: no expectation), then the last frame comes.
void expect_line(const std::string &path, const std::string &line, const std::optional<Expected> &expected,
                 VyrCanIf *can_if = nullptr)
{
    SCOPED_TRACE(line);
    write_file(path,
               "date Wed Dec 3 09:05:01 am 2025\nbase hex  timestamps absolute\nBegin Triggerblock\n" + line +
                   "\n   9.000000 1  7ff Rx d 0\nEnd Triggerblock\n");
    TriggerBlockLogFile log;
    log.set_interface(can_if);
    log.set_file_name(path.c_str());
    log.set_write_mode(LogFile::ReadMode);
    ASSERT_EQ(log.open(), 0);
    VyrCanMessage message;
    if (expected) {
        ASSERT_EQ(log.read_message(message), expected->result);
        if (expected->result == LogFile::Success) {
            EXPECT_EQ(message.time, expected->time);
            EXPECT_EQ(message.time_fraction, expected->fraction);
            EXPECT_EQ(message.channel, expected->channel);
            EXPECT_EQ(message.id, expected->id);
            EXPECT_EQ(message.flags, expected->flags);
            EXPECT_EQ(std::vector<uint8_t>(message.data, message.data + message.dlc), expected->data);
        }
    }
    ASSERT_EQ(log.read_message(message), LogFile::Success);
    EXPECT_EQ(message.id, 0x7FFu);
    EXPECT_EQ(log.read_message(message), LogFile::EndOfFile);
}

TEST_F(TriggerBlockLogFileTest, ReaderTakesEachKindOfLine)
{
    const std::string fd_fields = "   130000  130     1000 0 0 0 0 0";
    const std::string classic_fields = "   130000  130        0 0 0 0 0 0";
    std::string bytes32;
    std::vector<uint8_t> data32;
    for (int i = 0; i < 32; ++i) {
        bytes32 += " 5A";
        data32.push_back(0x5A);
    }
    const std::vector<std::pair<std::string, std::optional<Expected>>> cases = {
        {"   1.234560 1  1A              Rx   d 2 01 FF", Expected{0, 1234, 56, 0, 0x1A, 0, {1, 255}}},
        {"1,5 2 12345x\tTx d 1 7", Expected{0, 1500, 0, 1, 0x12345, ext | tx, {7}}},
        {"   2.1234567 1  10 Rx d 0", Expected{0, 2123, 45, 0, 0x10, 0, {}}},
        {"   3 0  10 Rx r 4", Expected{0, 3000, 0, 0, 0x10, VyrCanMessage::Remote, {0, 0, 0, 0}}},
        // The channel is the whole number; from 4 up it is read three below.
        {"   3.000000 5  10 Rx d 0", Expected{0, 3000, 0, 1, 0x10, 0, {}}},
        {"   3.000000 4  10 Rx d 0", Expected{0, 3000, 0, 0, 0x10, 0, {}}},
        {"   3.000000 7  10 Rx d 0", Expected{0, 3000, 0, 3, 0x10, 0, {}}},
        {"   3.000000 62  10 Rx d 0", Expected{0, 3000, 0, 58, 0x10, 0, {}}},
        {"   3.000000 256  10 Rx d 0", Expected{0, 3000, 0, 252, 0x10, 0, {}}},
        {"   3.000000 257  10 Rx d 0", std::nullopt},
        // A classic frame carries 8 bytes whatever its DLC code; a remote
        // frame without a DLC requests none.
        {"   3.000000 1  10 Rx d 9 01 02 03 04 05 06 07 08", Expected{0, 3000, 0, 0, 0x10, 0, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"   3.000000 1  10 Rx d f 01 02 03 04 05 06 07 08 09 0a 0b 0c",
         Expected{0, 3000, 0, 0, 0x10, 0, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"   3.000000 1  10 Rx d 8 01 02 03 04 05 06 07 08 09 0a", Expected{0, 3000, 0, 0, 0x10, 0, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"   3.000000 1  10 Tx r", Expected{0, 3000, 0, 0, 0x10, VyrCanMessage::Remote | tx, {}}},
        {"   4.000000 1  ErrorFrame", Expected{0, 4000, 0, 0, 0, VyrCanMessage::ErrorFrame, {}}},
        {"   4.000000 2  ErrorFrame ECC: 10100010", Expected{0, 4000, 0, 1, 0, VyrCanMessage::ErrorFrame, {}}},
        // Lines that are no frames, and transmit requests, are skipped.
        {"   5.000000 1  10 TxRq d 1 01", std::nullopt},
        {"   5.000000 1  Status:chip status error active", std::nullopt},
        {"   5.000000 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%", std::nullopt},
        {"   5.000000 CAN 1 Status:chip status error active", std::nullopt},
        {"   5.000000 Start of measurement", std::nullopt},
        // A line longer than any frame is passed over whole: its tail is no line of its own.
        {"   5.000000 1 Comment:" + std::string(5000, '-') + " 1.5 1 123 Rx d 0", std::nullopt},
        // Refused classic lines, each with its code.
        {"   5.000000 1  Unknown Rx d 0", Expected{LogFile::InvalidId}},
        {"   5.000000 1  10, Rx d 0", Expected{LogFile::InvalidId}},
        {"   5.000000 1  10 Qx d 0", Expected{LogFile::InvalidFlags}},
        {"   5.000000 1  10 Rx z 0", Expected{LogFile::InvalidFlags}},
        {"   5.000000 1  10 Rx d", Expected{LogFile::InvalidDlc}},
        {"   5.000000 1  10 Rx d 2 01 zz", Expected{LogFile::InvalidData}},
        {"   5.000000 1  10 Rx d 2 01", Expected{LogFile::InvalidData}},
        {"   5.000000 1  10 Rx d 1 100", Expected{LogFile::InvalidData}},
        // CAN FD lines: FD by the bit-rate switch, the length or the EDL bit
        // of the flags word; the other fields after the data are not read.
        {"   6.000000 CANFD   1 Rx        123                                   0 0 8  8 11 22 33 44 55 66 77 88" +
             fd_fields,
         Expected{0, 6000, 0, 0, 0x123, fd, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}}},
        {"   6.000000 CANFD   1 Rx        123                                   0 0 1  1 11" + classic_fields,
         Expected{0, 6000, 0, 0, 0x123, 0, {0x11}}},
        {"   6.000000 CANFD   1 Rx        123                                   0 0 1  1 11",
         Expected{0, 6000, 0, 0, 0x123, 0, {0x11}}},
        {"   6.000000 CANFD   2 Tx 1fx  1 0 d 32" + bytes32,
         Expected{0, 6000, 0, 1, 0x1F, fd | brs | ext | tx, data32}},
        {"   6.000000 CANFD  62 Rx 123 1 0 9 12 1 2 3 4 5 6 7 8 9 a b c",
         Expected{0, 6000, 0, 58, 0x123, fd | brs, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}},
        {"   6.000000 CANFD   1 Rx 123 0 1 9 9 1 2 3 4 5 6 7 8 9",
         Expected{0, 6000, 0, 0, 0x123, fd | VyrCanMessage::ErrorStateIndicator, {1, 2, 3, 4, 5, 6, 7, 8, 9}}},
        // A name the interface has no database for leaves the number.
        {"   6.000000 CANFD   1 Rx 123 SomeName 0 0 1 1 11", Expected{0, 6000, 0, 0, 0x123, 0, {0x11}}},
        {"   6.000000 CANFD   1 Rx ErrorFrame 0 0 0 0", Expected{0, 6000, 0, 0, 0, VyrCanMessage::ErrorFrame, {}}},
        // CAN FD lines that fail a check are skipped.
        {"   6.000000 CANFD   1 TxRq 123 0 0 1 1 11", std::nullopt},
        {"   6.000000 CANFD   1 Rx 123 2 0 1 1 11", std::nullopt},
        {"   6.000000 CANFD   1 Rx 123 0 0 1 x 11", std::nullopt},
        {"   6.000000 CANFD   1 Rx 123 0 0 8 8 11 22", std::nullopt},
        {"   6.000000 CANFD   1 Xx 123 0 0 1 1 11", std::nullopt},
        {"   6.000000 CANFD   1 Rx 12g 0 0 1 1 11", std::nullopt},
    };
    for (const auto &[line, expected] : cases)
        expect_line(path("line.asc"), line, expected);
}

TEST_F(TriggerBlockLogFileTest, ReaderTakesNamesThroughTheDatabase)
{
    std::unique_ptr<VyrCanIf> can_if = interface_with_database({{"EngineData", 0x100, false}, {"Gear", 0x1234, true}});
    const std::vector<std::pair<std::string, std::optional<Expected>>> cases = {
        // A name that begins like a hexadecimal number is still a name.
        {"1.0 1 EngineData Rx d 1 01", Expected{0, 1000, 0, 0, 0x100, 0, {1}}},
        {"1.0 1 Gear Tx d 0", Expected{0, 1000, 0, 0, 0x1234, ext | tx, {}}},
        {"1.0 1 Unknown Rx d 0", Expected{LogFile::InvalidId}},
        {"1.0 1 Unknown:event Rx d 0", std::nullopt},
        {"1.0 CANFD 1 Rx 5 EngineData 1 0 1 1 01", Expected{0, 1000, 0, 0, 0x100, fd | brs, {1}}},
        {"1.0 CANFD 1 Rx 5x Unknown 0 0 1 1 01", Expected{0, 1000, 0, 0, 5, ext, {1}}},
    };
    for (const auto &[line, expected] : cases)
        expect_line(path("names.asc"), line, expected, can_if.get());
}

TEST_F(TriggerBlockLogFileTest, HeaderSetsBaseAndTimeMode)
{
    const struct
    {
        const char *header;
        const char *lines;
        std::vector<std::pair<uint32_t, uint8_t>> times;
        std::vector<uint32_t> ids;
    } cases[] = {
        // No base line: hexadecimal; no timestamps line: relative.
        {"date x\n", "1.0 1 10 Rx d 1 ff\n2.0 1 20 Rx d 0\n", {{1000, 0}, {3000, 0}}, {0x10, 0x20}},
        {"base dec timestamps absolute\n", "1.0 1 10 Rx d 1 255\n2.0 1 20 Rx d 0\n", {{1000, 0}, {2000, 0}}, {10, 20}},
        {"base hex timestamp absolute\n", "1.0 1 10 Rx d 0\n", {{1000, 0}}, {0x10}},
        // Relative: every line with a time adds to it (error frames, CAN FD
        // lines and skipped lines too), fractions included.
        {"base hex  timestamps relative\n",
         "0.000500 1 10 Rx d 0\n0.000500 1 ErrorFrame\n0.001250 CANFD 1 Rx 20 1 0 1 1 aa\n"
         "0.002000 1 30 TxRq d 0\n0.000750 1 40 Rx d 0\n",
         {{0, 50}, {1, 0}, {2, 25}, {5, 0}},
         {0x10, 0, 0x20, 0x40}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.header);
        write_file(path("h.asc"), std::string(c.header) + "Begin Triggerblock\n" + c.lines + "End Triggerblock\n");
        TriggerBlockLogFile log;
        const std::vector<ReadRecord> read = read_log(log, path("h.asc"));
        ASSERT_EQ(read.size(), c.times.size());
        for (size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].result, 0) << i;
            EXPECT_EQ(read[i].message.time, c.times[i].first) << i;
            EXPECT_EQ(read[i].message.time_fraction, c.times[i].second) << i;
            EXPECT_EQ(read[i].message.id, c.ids[i]) << i;
        }
    }
}

TEST_F(TriggerBlockLogFileTest, HeaderFooterAndFramesReadBackInBothBasesAndTimeModes)
{
    std::vector<VyrCanMessage> frames;
    std::vector<uint8_t> bytes(64);
    for (uint32_t i = 0; i < 200; ++i) {
        const uint32_t kind = i % 5;
        for (size_t b = 0; b < bytes.size(); ++b)
            bytes[b] = uint8_t(i * 7 + b);
        const uint8_t length = uint8_t(kind == 3 ? (i % 65) : i % 9);
        VyrCanMessage message = frame(1000 + i * 37 + i / 3 * 12345, uint8_t(i % 100), i * 0x10101 % 0x800, 0,
                                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + length), uint8_t(i % 3));
        if (kind == 1) {
            message.flags = VyrCanMessage::Extended | VyrCanMessage::TxAck;
            message.id = i * 0x123457 % 0x20000000;
        }
        if (kind == 2)
            message.flags = VyrCanMessage::Remote;
        if (kind == 3)
            message.flags = fd | (i % 2 ? brs : 0);
        if (kind == 4 && i % 20 == 4)
            message = frame(message.time, message.time_fraction, 0, VyrCanMessage::ErrorFrame, {}, message.channel);
        frames.push_back(message);
    }
    for (const bool hex : {true, false}) {
        for (const bool absolute : {true, false}) {
            SCOPED_TRACE(std::string(hex ? "hex" : "dec") + (absolute ? " absolute" : " relative"));
            TriggerBlockLogFile log;
            log.set_data_hex(hex);
            log.set_abs_time(absolute);
            const time_t before = time(nullptr);
            ASSERT_EQ(write_log(log, path("r.asc"), frames), 0);
            const std::vector<std::string> lines = lines_of(read_file(path("r.asc")));
            ASSERT_EQ(lines.size(), frames.size() + 4);
            EXPECT_TRUE(lines[0] == "date " + TriggerBlockLogFile::date_text(before) ||
                        lines[0] == "date " + TriggerBlockLogFile::date_text(before + 1))
                << lines[0];
            EXPECT_EQ(lines[1],
                      std::string("base ") + (hex ? "hex" : "dec") + " timestamps " +
                          (absolute ? "absolute" : "relative"));
            EXPECT_EQ(lines[2], "Begin Triggerblock");
            EXPECT_EQ(lines.back(), "End Triggerblock");
            uint32_t line_bytes = 0;
            for (size_t i = 3; i < lines.size() - 1; ++i)
                line_bytes += uint32_t(lines[i].size() + 2);
            EXPECT_EQ(log.byte_count(), line_bytes);

            TriggerBlockLogFile reader;
            const std::vector<ReadRecord> read = read_log(reader, path("r.asc"));
            ASSERT_EQ(read.size(), frames.size());
            // Relative files begin at 0.
            const uint64_t first = absolute ? 0 : frames[0].time * 100ull + frames[0].time_fraction;
            for (size_t i = 0; i < frames.size(); ++i) {
                SCOPED_TRACE(i);
                const VyrCanMessage &in = frames[i];
                const VyrCanMessage &out = read[i].message;
                ASSERT_EQ(read[i].result, 0);
                EXPECT_EQ(out.time * 100ull + out.time_fraction, in.time * 100ull + in.time_fraction - first);
                EXPECT_EQ(out.flags, in.flags);
                EXPECT_EQ(out.channel, in.channel);
                EXPECT_EQ(out.id, in.id);
                EXPECT_EQ(out.dlc, in.flags & VyrCanMessage::ErrorFrame ? 0 : in.dlc);
                if (!(in.flags & VyrCanMessage::Remote)) {
                    EXPECT_EQ(memcmp(out.data, in.data, in.dlc), 0);
                }
            }
        }
    }
}

TEST(TriggerBlockLogFile, OptionsAreKeptUnderTheirKeys)
{
    TriggerBlockLogFile log;
    EXPECT_TRUE(log.data_hex());
    EXPECT_TRUE(log.abs_time());
    log.set_data_hex(false);
    log.set_abs_time(false);
    log.set_format(LogFileFormat::find_by_name("ASCII (Vector)"));
    QtbConfigGroup group;
    log.write_options(&group);
    std::vector<std::string> names;
    for (QtbConfigValue *value = group.first_value(); value; value = group.next_value())
        names.push_back(group.current_name());
    ASSERT_EQ(names.size(), 14u);
    EXPECT_EQ(names[12], "data_hex");
    EXPECT_EQ(names[13], "abs_time");

    std::unique_ptr<LogFile> copy = LogFileFormat::create_from_config(&group);
    ASSERT_NE(copy, nullptr);
    auto *read = static_cast<TriggerBlockLogFile *>(copy.get());
    EXPECT_FALSE(read->data_hex());
    EXPECT_FALSE(read->abs_time());

    // Missing keys read as hexadecimal and absolute.
    QtbConfigGroup empty;
    empty.write_string("facility", "ASCII (Vector)");
    copy = LogFileFormat::create_from_config(&empty);
    read = static_cast<TriggerBlockLogFile *>(copy.get());
    EXPECT_TRUE(read->data_hex());
    EXPECT_TRUE(read->abs_time());
}

bool requested_combined = false;

DialogLogToFileAsciiParameters *plain_form(bool combined, QWidget *parent)
{
    requested_combined = combined;
    return new DialogLogToFileAsciiParameters(parent, nullptr, true);
}

TEST(TriggerBlockLogFile, SetupDialogOffersBaseAndTimeMode)
{
    set_ascii_parameters_dialog_factory(&plain_form);
    const struct
    {
        bool hex, absolute;
        std::vector<const char *> clicks;
        bool accept;
        bool hex_after, absolute_after, changed;
    } cases[] = {
        {true, true, {}, true, true, true, false},
        {true, true, {"rb_id_dec"}, true, false, true, true},
        {false, true, {"rb_rel_time"}, true, false, false, true},
        {false, false, {"rb_id_hex", "rb_abs_time"}, true, true, true, true},
        {true, true, {"rb_id_dec", "rb_rel_time"}, false, true, true, false},
    };
    for (const auto &c : cases) {
        TriggerBlockLogFile log;
        log.set_data_hex(c.hex);
        log.set_abs_time(c.absolute);
        QWidget parent;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<DialogLogToFileAsciiParameters *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->rb_id_hex->isChecked(), c.hex);
            EXPECT_EQ(dialog->rb_id_dec->isChecked(), !c.hex);
            EXPECT_EQ(dialog->rb_abs_time->isChecked(), c.absolute);
            EXPECT_TRUE(dialog->rb_id_hex->isEnabled());
            EXPECT_TRUE(dialog->rb_rel_time->isEnabled());
            // What the format does not offer: seconds, no data format, no names, all disabled.
            EXPECT_TRUE(dialog->rb_time_sec_msec->isChecked());
            EXPECT_FALSE(dialog->rb_data_hex->isChecked());
            EXPECT_FALSE(dialog->rb_data_dec->isChecked());
            EXPECT_FALSE(dialog->cb_candb->isChecked());
            for (QWidget *off :
                 std::initializer_list<QWidget *>{dialog->rb_time_sec_msec, dialog->rb_time_hhmmss_msec,
                                                  dialog->rb_data_hex, dialog->rb_data_dec, dialog->cb_candb})
                EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
            // Rendered once, to look at it as a user would.
            if (&c == &cases[0]) {
                EXPECT_TRUE(dialog->grab().save(QDir::tempPath() + "/vyr_vector_ascii_options.png"));
            }
            for (const char *name : c.clicks)
                dialog->findChild<QAbstractButton *>(name)->click();
            shown = true;
            (c.accept ? dialog->pb_ok : dialog->pb_cancel)->click();
        });
        EXPECT_EQ(log.setup_dialog(&parent), c.changed);
        EXPECT_TRUE(shown);
        EXPECT_TRUE(requested_combined);
        EXPECT_EQ(log.data_hex(), c.hex_after);
        EXPECT_EQ(log.abs_time(), c.absolute_after);
    }
    set_ascii_parameters_dialog_factory(nullptr);
}

} // namespace
