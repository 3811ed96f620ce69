// The texts of the message view's cells in every format and time mode, and
// the Signals column against python3-canmatrix decoding the same frame of a
// real DBC file.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "test_paths.h"
#include "windows/signals/vyr_can_signal_table.h"
#include "windows/trace/trace_cell_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

using namespace trace_text;

VyrCanMessage frame(uint32_t id, uint32_t flags, uint8_t dlc, std::initializer_list<uint8_t> data = {})
{
    VyrCanMessage message;
    message.id = id;
    message.flags = flags;
    message.dlc = dlc;
    int i = 0;
    for (uint8_t byte : data)
        message.data[i++] = byte;
    return message;
}

constexpr uint32_t Ext = VyrCanMessage::Extended;
constexpr uint32_t Fd = VyrCanMessage::FdFrame;

TEST(TraceCellText, Identifier)
{
    struct Case
    {
        VyrCanMessage message;
        int width;
        bool hex;
        const char *name;
        const char *text;
    };
    const Case cases[] = {
        {frame(0x123, 0, 8), 15, true, nullptr, "    123 " "        "},
        {frame(291, 0, 8), 15, false, nullptr, "    291 " "        "},
        {frame(0x18FEF100, Ext, 8), 16, true, nullptr, "18fef100 X       "},
        // Digits that do not fit are lost at the left.
        {frame(0x18FEF100, Ext, 8), 13, true, nullptr, "ef100 X       "},
        {frame(0x7E0, VyrCanMessage::Remote | VyrCanMessage::TxAck, 0), 12, true, nullptr, " 7e0   R   T "},
        {frame(0x10, VyrCanMessage::WakeUp | VyrCanMessage::TransceiverError | Fd | VyrCanMessage::BitRateSwitch |
                         VyrCanMessage::ErrorStateIndicator | VyrCanMessage::TxRequest |
                         VyrCanMessage::HardwareOverrun,
               8),
         10, false, nullptr, "16  W L+EQ#"},
        {frame(0x10, VyrCanMessage::TransceiverError | VyrCanMessage::SoftwareOverrun | VyrCanMessage::HardwareOverrun,
               8),
         9, false, nullptr, "6  E     +"},
        {frame(0x10, VyrCanMessage::LinHeader, 0), 9, false, nullptr, "6  H      "},
        {frame(0x10, VyrCanMessage::LinChecksum, 0), 9, false, nullptr, "6  C      "},
        // Too narrow for an identifier: a space and as many letters as the width.
        {frame(0x10, Ext | VyrCanMessage::Remote, 0), 8, true, nullptr, " X R     "},
        {frame(0x10, Ext | VyrCanMessage::Remote, 0), 5, true, nullptr, " X R  "},
        {frame(0, VyrCanMessage::ErrorFrame, 0), 15, true, nullptr, "-         "},
        // Database mode: the message's name, cut to the room before the letters.
        {frame(0x1F0, 0, 8), 15, true, "ExampleMessage", "Example         "},
        {frame(0x1F0, 0, 8), 24, true, "ExampleMessage", "ExampleMessage           "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(identifier_cell(c.message, c.width, c.hex, c.name), c.text);
    }
}

TEST(TraceCellText, DataDlcAndAscii)
{
    const VyrCanMessage classic = frame(1, 0, 8, {0x00, 0x11, 0x48, 0x69, 0x7F, 0x80, 0xFF, 0x20});
    VyrCanMessage long_classic = classic;
    long_classic.dlc = 12;
    VyrCanMessage fd = frame(1, Fd, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    struct Case
    {
        const char *what;
        std::string got;
        std::string expected;
    };
    const Case cases[] = {
        {"hex", data_cell(classic, 25, true), "00 11 48 69 7f 80 ff 20"},
        {"decimal cut at the width", data_cell(classic, 25, false), "  0  17  72 105 127 128 2"},
        {"23 wide: all of an eight-byte frame", data_cell(classic, 23, true), "00 11 48 69 7f 80 ff 20"},
        {"narrow", data_cell(classic, 5, true), "00 11"},
        {"a length of 12 on a classic frame shows eight bytes", data_cell(long_classic, 40, true),
         "00 11 48 69 7f 80 ff 20"},
        {"a length of 12 on a CAN FD frame shows twelve", data_cell(fd, 40, true),
         "01 02 03 04 05 06 07 08 09 0a 0b 0c"},
        {"more than eight bytes stop two before the width", data_cell(fd, 25, true), "01 02 03 04 05 06 07 08"},
        {"from 24 wide on", data_cell(fd, 24, true), "01 02 03 04 05 06 07 0"},
        {"23 wide: cut at the width", data_cell(fd, 23, true), "01 02 03 04 05 06 07 08"},
        {"eight bytes are no more than eight", data_cell(classic, 24, true), "00 11 48 69 7f 80 ff 20"},
        {"remote", data_cell(frame(1, VyrCanMessage::Remote, 8), 25, true), ""},
        {"error frame", data_cell(frame(0, VyrCanMessage::ErrorFrame, 0), 25, true), "ERROR FRAME"},
        {"error frame cut", data_cell(frame(0, VyrCanMessage::ErrorFrame, 0), 5, true), "ERROR"},
        {"DLC 12", dlc_cell(long_classic), "12"},
        {"DLC 3", dlc_cell(frame(1, 0, 3)), " 3"},
        {"ASCII", ascii_cell(classic, 8), "..Hi\x7f.. "},
        {"ASCII narrow", ascii_cell(classic, 3), "..H"},
        {"ASCII from the space on", ascii_cell(frame(1, 0, 2, {0x1F, 0x20}), 8), ". "},
        {"ASCII of a remote frame", ascii_cell(frame(1, VyrCanMessage::Remote, 8, {0x41}), 8), ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, c.expected) << c.what;
    EXPECT_EQ(VyrCanMessage::data_length(frame(1, Fd, 70)), 64);
    EXPECT_EQ(VyrCanMessage::data_length(frame(1, VyrCanMessage::ErrorFrame, 8)), 0);
}

TEST(TraceCellText, TimeInEveryFormat)
{
    struct Case
    {
        int64_t microseconds;
        int width;
        int format;
        const char *text;
    };
    const Case cases[] = {
        {1500000, 13, 0, "      1.500"},
        {1500000, 5, 0, "1.500"}, // room for one digit of seconds
        {4294967295, 13, 0, "   4294.967"},
        {1234567, 13, 1, "   1.234567"},
        {3723004000, 13, 2, " 1:02:03.004"},
        {3723004000, 15, 2, "  1:02:03.004"},
        // No room for the hours: minutes, seconds and milliseconds.
        {3723004000, 9, 2, "02:03.004"},
        // A negative delta carries its sign before the first digit.
        {-1500, 13, 0, "     -0.001"},
        {-2500000, 13, 1, "  -2.500000"},
        {-3600000000, 12, 2, "-1:00:00.000"},
        {0, 13, 0, "      0.000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(time_cell(c.microseconds, c.width, c.format), c.text);
    }
}

TEST(TraceCellText, CounterAndChannel)
{
    EXPECT_EQ(counter_cell(42, 6), "    42");
    EXPECT_EQ(counter_cell(999999, 6), "999999");
    EXPECT_EQ(counter_cell(999999, 9), "   999999");
    EXPECT_EQ(counter_cell(42, 1), "2");
    EXPECT_EQ(counter_cell(1234567, 9), " 1.234567");
    EXPECT_EQ(counter_cell(1234567, 6), "234567");
    EXPECT_EQ(counter_cell(250000, 0), "");
    EXPECT_EQ(channel_cell(frame(1, 0, 0), 8), "CAN?-0  ");
    VyrCanMessage other = frame(1, 0, 0);
    other.channel = 17;
    EXPECT_EQ(channel_cell(other, 3), "CAN?-17");
}

// --- The Signals column against canmatrix ------------------------------------------------------------

std::string testdata(const char *path)
{
    return vyr_test::configured_testdata_dir().toStdString() + "/" + path;
}

// Decodes a frame of the named message with python3-canmatrix (the script of
// the interfaces' tests): "MESSAGE.SIGNAL" to value.
QJsonObject canmatrix_decode(const std::string &dbc, const char *message, const std::string &hex)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {vyr_test::source_dir() + "/tests/interfaces/canmatrix_decode.py", QString::fromStdString(dbc),
                  QString::fromLatin1(message) + ':' + QString::fromStdString(hex)});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return QJsonObject();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array().at(0).toObject();
}

TEST(TraceCellText, SignalsAsCanmatrixDecodesThem)
{
    const std::string dbc = testdata("dbc/cantools/tests/files/dbc/motohawk.dbc");
    if (!std::ifstream(dbc))
        GTEST_SKIP() << "shared test data not found: " << dbc;
    CANdbCluster cluster;
    CANdbNetwork *network = cluster.add_network(std::make_unique<CANdbNetwork>());
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    ASSERT_TRUE(io);
    io->set_file_name(dbc.c_str());
    ASSERT_EQ(io->read(network), 0);
    const CANdbMessage *message = cluster.find_message_by_id(496);
    ASSERT_NE(message, nullptr);

    for (const std::string hex : {"c0062dd900000000", "0fff000000000000", "8000000000000000"}) {
        SCOPED_TRACE(hex);
        VyrCanMessage record = frame(496, 0, 8);
        for (int i = 0; i < 8; ++i)
            record.data[i] = uint8_t(std::stoi(hex.substr(size_t(2 * i), 2), nullptr, 16));
        const QJsonObject decoded = canmatrix_decode(dbc, "ExampleMessage", hex);
        ASSERT_FALSE(decoded.isEmpty()) << "python3-canmatrix did not decode";
        std::string expected = " ";
        for (const char *name : {"Temperature", "AverageRadius", "Enable"}) {
            const CANdbSignal *signal = message->find_signal(name);
            char value[64];
            std::snprintf(value, sizeof value, "%g",
                          decoded.value(QStringLiteral("ExampleMessage.") + QString::fromLatin1(name)).toDouble());
            if (expected.size() > 1)
                expected += ", ";
            expected += std::string(name) + "[" + signal->unit + "]=" + value;
        }
        EXPECT_EQ(signals_cell(record, message, 200), expected);
    }

    // A signal that does not fit ends the text with "...".
    const std::string cut = signals_cell(frame(496, 0, 8), message, 40);
    EXPECT_EQ(cut, " Temperature[degK]=250...");
    EXPECT_EQ(signals_cell(frame(496, 0, 8), message, 42), " Temperature[degK]=250, AverageRadius[m]=0...");
    // Bits outside a short frame cannot be decoded.
    EXPECT_EQ(signals_cell(frame(496, 0, 1), message, 200).find("Temperature[degK]=---"), 1u);
    EXPECT_EQ(signals_cell(frame(496, 0, 8), nullptr, 200), "");
}

// The Signals column lists what the multiplexor selects, the same signals
// as the signal table of the frame: VIN_01 of vw_mqb.dbc carries one third of
// the identification number in each multiplexor value.
TEST(TraceCellText, SignalsOfAMultiplexedFrameAreThoseItsMultiplexorSelects)
{
    const std::string dbc = testdata("dbc/opendbc/opendbc/dbc/vw_mqb.dbc");
    if (!std::ifstream(dbc))
        GTEST_SKIP() << "shared test data not found: " << dbc;
    CANdbCluster cluster;
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    io->set_file_name(dbc.c_str());
    ASSERT_EQ(io->read(cluster.add_network(std::make_unique<CANdbNetwork>())), 0);
    const CANdbMessage *vin = cluster.find_message("VIN_01");
    ASSERT_NE(vin, nullptr);
    VyrCanSignalTable table(nullptr, "signal_table", false);
    table.set_candb_cluster(&cluster);
    const std::vector<std::string> selected[] = {
        {"KS_Geheimnis_1", "KS_Geheimnis_2", "KS_Geheimnis_3", "KS_Geheimnis_4", "VIN_01_MUX", "VIN_1", "VIN_2",
         "VIN_3"},
        {"VIN_01_MUX", "VIN_10", "VIN_4", "VIN_5", "VIN_6", "VIN_7", "VIN_8", "VIN_9"},
        {"VIN_01_MUX", "VIN_11", "VIN_12", "VIN_13", "VIN_14", "VIN_15", "VIN_16", "VIN_17"},
        {"VIN_01_MUX"},
    };
    for (uint8_t mux = 0; mux < 4; ++mux) {
        SCOPED_TRACE(int(mux));
        VyrCanMessage record = frame(1716, 0, 8, {mux, 'W', 'V', 'W', 'Z', 'Z', 'Z', '1'});
        std::vector<std::string> in_cell;
        const std::string cell = signals_cell(record, vin, 480);
        for (size_t at = 1; at < cell.size();) {
            const size_t equals = cell.find('=', at);
            in_cell.push_back(cell.substr(at, equals - at));
            const size_t comma = cell.find(", ", equals);
            at = comma == std::string::npos ? cell.size() : comma + 2;
        }
        std::sort(in_cell.begin(), in_cell.end());
        EXPECT_EQ(in_cell, selected[mux]) << cell;

        table.set_can_data(&record);
        std::vector<std::string> rows;
        for (int row = 0; row < table.table()->rowCount(); ++row)
            rows.push_back(table.table()->item(row, VyrCanSignalTable::Name)->text().toStdString());
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, selected[mux]);
    }
}

} // namespace
