// The MDF log format: an independent reader (mdf_reader.py, which follows the
// block links) sees every block field and every frame as we wrote it; our
// own round trip; append over two measurements; files of other layouts,
// truncated files and crafted block chains refused at open; a failed close.
#include "logging_test_support.h"
#include "test_support.h"
#include "windows/logging/mdf_can_log_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace vyr_test;

namespace {

using MdfLogFileTest = LogDirTest;

const char *const python = "/usr/bin/python3";

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

// Standard, extended, remote and error frames, sent, requested and received,
// on channels 0 and 1, with fractions of a millisecond.
std::vector<VyrCanMessage> kinds_of_frames()
{
    return {
        frame(0, 0, 0x123, 0, {1, 2, 3}),
        frame(12345, 67, 0x18FF0001, VyrCanMessage::Extended, {0xDE, 0xAD, 0xBE, 0xEF, 0, 1, 2, 0xFF}, 1),
        frame(12346, 99, 0x7FF, VyrCanMessage::Remote | VyrCanMessage::TxAck, {}),
        frame(20000, 5, 0, VyrCanMessage::ErrorFrame | VyrCanMessage::TxRequest, {}, 1),
        frame(30000, 1, 0x1ABCDEF, VyrCanMessage::Extended | VyrCanMessage::TxAck, {9, 8, 7, 6, 5, 4, 3, 2}),
        frame(4000000, 50, 0x001, VyrCanMessage::TxRequest, {0x55}),
    };
}

// The frame as the file keeps it: data beyond the length, other flags and
// an error frame's identifier and data are not stored.
VyrCanMessage as_stored(VyrCanMessage message)
{
    const uint32_t kept = VyrCanMessage::Extended | VyrCanMessage::Remote | VyrCanMessage::ErrorFrame |
        VyrCanMessage::TxAck | VyrCanMessage::TxRequest;
    message.flags &= kept;
    if (message.flags & VyrCanMessage::ErrorFrame) {
        message.flags &= ~(VyrCanMessage::Extended | VyrCanMessage::Remote);
        message.id = 0;
        message.dlc = 8;
        std::fill(std::begin(message.data), std::end(message.data), 0);
    }
    return message;
}

void expect_same_frame(const VyrCanMessage &read, const VyrCanMessage &written, size_t index)
{
    EXPECT_EQ(read.id, written.id) << index;
    EXPECT_EQ(read.flags, written.flags) << index;
    EXPECT_EQ(read.channel, written.channel) << index;
    EXPECT_EQ(read.dlc, written.dlc) << index;
    EXPECT_EQ(read.time, written.time) << index;
    EXPECT_EQ(read.time_fraction, written.time_fraction) << index;
    EXPECT_EQ(memcmp(read.data, written.data, 8), 0) << index;
}

// What mdf_reader.py makes of the file; an empty object when it failed.
QJsonObject python_read(const std::string &path)
{
    QProcess process;
    process.start(python,
                  {vyr_test::source_dir() + "/tests/logging/mdf_reader.py", "read", QString::fromStdString(path)});
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

std::string hex(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex().toStdString();
}

// Sets the local time zone so that the clock reads hh:mm:ss at `now`.
void clock_reads(int hour, int minute, int second, time_t &now)
{
    now = time(nullptr);
    const long wanted = hour * 3600L + minute * 60L + second;
    const long offset = ((wanted - long(now % 86400)) % 86400 + 86400) % 86400;
    char zone[32];
    snprintf(zone, sizeof zone, "XXX-%02ld:%02ld:%02ld", offset / 3600, offset / 60 % 60, offset % 60);
    setenv("TZ", zone, 1);
    tzset();
}

TEST_F(MdfLogFileTest, OutsideReaderSeesEveryBlockAndFrame)
{
    const std::vector<VyrCanMessage> frames = kinds_of_frames();
    MdfCanLogFile log;
    // Made at 09:59:07 local time.
    time_t made = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        clock_reads(9, 59, 7, made);
        ASSERT_EQ(write_log(log, path("t.log"), frames), 0);
        if (time(nullptr) == made)
            break;
    }
    tm local{};
    localtime_r(&made, &local);
    char date[16];
    strftime(date, sizeof date, "%d:%m:%Y", &local);
    use_utc();
    EXPECT_EQ(log.byte_count(), frames.size() * 23);

    const QJsonObject file = python_read(path("t.log"));
    ASSERT_FALSE(file.isEmpty());
    const QJsonObject id = file["id"].toObject();
    EXPECT_EQ(id["file_id"].toString(), "MDF     ");
    EXPECT_EQ(id["format_id"].toString(), "0000000000000000");
    EXPECT_EQ(id["program_id"].toString().toStdString(), hex(std::string("VYR\0\0\0\0\0", 8)));
    EXPECT_EQ(id["byte_order"].toInt(), 0);
    EXPECT_EQ(id["float_format"].toInt(), 0);
    EXPECT_EQ(id["version"].toInt(), 200);
    EXPECT_TRUE(id["rest_zero"].toBool());

    const QJsonObject hd = file["hd"].toObject();
    EXPECT_EQ(hd["size"].toInt(), 164);
    EXPECT_EQ(hd["pr"].toInt(), 0);
    EXPECT_EQ(hd["data_groups"].toInt(), 1);
    EXPECT_EQ(hd["date"].toString().toStdString(), date);
    EXPECT_EQ(hd["time"].toString(), "09:59:07");
    EXPECT_TRUE(hd["rest_zero"].toBool());
    EXPECT_EQ(file["tx_size"].toInt(), 29);
    EXPECT_EQ(file["comment"].toString().toStdString(), hex(std::string("Quorlo InternalVersion\r\x1a\0", 25)));

    const QJsonObject dg = file["dg"].toObject();
    EXPECT_EQ(dg["size"].toInt(), 24);
    EXPECT_EQ(dg["next"].toInt(), 0);
    EXPECT_EQ(dg["trigger"].toInt(), 0);
    EXPECT_EQ(dg["data"].toInt(), 228);
    EXPECT_EQ(dg["channel_groups"].toInt(), 1);
    EXPECT_EQ(dg["record_ids"].toInt(), 1);
    const QJsonObject cg = file["cg"].toObject();
    EXPECT_EQ(cg["size"].toInt(), 26);
    EXPECT_EQ(cg["next"].toInt(), 0);
    EXPECT_EQ(cg["comment"].toInt(), 0);
    EXPECT_EQ(cg["record_id"].toInt(), 1);
    EXPECT_EQ(cg["channels"].toInt(), 15);
    EXPECT_EQ(cg["record_size"].toInt(), 22);
    EXPECT_EQ(cg["records"].toInt(), int(frames.size()));
    // The blocks follow the records in their order: CC, the channels from
    // the last back to the first, CG, DG, TX.
    const int tail = 228 + 23 * int(frames.size());
    EXPECT_EQ(hd["dg"].toInt(), tail + 62 + 15 * 218 + 26);
    EXPECT_EQ(dg["cg"].toInt(), tail + 62 + 15 * 218);
    EXPECT_EQ(hd["tx"].toInt(), hd["dg"].toInt() + 24);
    EXPECT_EQ(file["file_size"].toInt(), hd["tx"].toInt() + 29);

    const struct
    {
        const char *name;
        int first_bit, bits, type, data_type;
    } channels[] = {
        {"type", 0, 8, 0, 0},     {"can", 8, 16, 0, 1},     {"id", 24, 32, 0, 1},       {"dir", 56, 8, 0, 0},
        {"rtr", 64, 8, 0, 0},     {"dlc", 72, 8, 0, 0},     {"msg[0]", 80, 8, 0, 0},    {"msg[1]", 88, 8, 0, 0},
        {"msg[2]", 96, 8, 0, 0},  {"msg[3]", 104, 8, 0, 0}, {"msg[4]", 112, 8, 0, 0},   {"msg[5]", 120, 8, 0, 0},
        {"msg[6]", 128, 8, 0, 0}, {"msg[7]", 136, 8, 0, 0}, {"msgTime", 144, 32, 1, 0},
    };
    const QJsonArray cn = file["cn"].toArray();
    ASSERT_EQ(cn.size(), 15);
    for (int i = 0; i < cn.size(); ++i) {
        const QJsonObject channel = cn[i].toObject();
        SCOPED_TRACE(channels[i].name);
        EXPECT_EQ(channel["name"].toString(), channels[i].name);
        EXPECT_EQ(channel["name_field"].toString().size(), 64);
        EXPECT_EQ(channel["first_bit"].toInt(), channels[i].first_bit);
        EXPECT_EQ(channel["bits"].toInt(), channels[i].bits);
        EXPECT_EQ(channel["type"].toInt(), channels[i].type);
        EXPECT_EQ(channel["data_type"].toInt(), channels[i].data_type);
        EXPECT_EQ(channel["size"].toInt(), 218);
        EXPECT_EQ(channel["links_zero"].toArray(), QJsonArray({0, 0, 0}));
        EXPECT_TRUE(channel["description_zero"].toBool());
        EXPECT_TRUE(channel["tail_zero"].toBool());
        // Written last to first: each links to the one before it in the file.
        EXPECT_EQ(channel["offset"].toInt(), tail + 62 + (14 - i) * 218);
        EXPECT_EQ(channel["cc"].toInt(), i == 14 ? tail : 0);
    }
    const QJsonObject cc = cn[14].toObject()["conversion"].toObject();
    EXPECT_EQ(cc["size"].toInt(), 62);
    EXPECT_EQ(cc["range_valid"].toInt(), 0);
    EXPECT_EQ(cc["min"].toDouble(), 0.0);
    EXPECT_EQ(cc["max"].toDouble(), 0.0);
    EXPECT_TRUE(cc["unit_zero"].toBool());
    EXPECT_EQ(cc["type"].toInt(), 0);
    // Seconds: the time channel counts 10 microseconds.
    EXPECT_EQ(cc["params"].toArray(), QJsonArray({0.0, 0.00001}));

    const QJsonArray records = file["records"].toArray();
    ASSERT_EQ(records.size(), int(frames.size()));
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject record = records[int(i)].toObject();
        const VyrCanMessage written = as_stored(frames[i]);
        const bool error = written.flags & VyrCanMessage::ErrorFrame;
        EXPECT_EQ(record["record_id"].toInt(), 1);
        EXPECT_EQ(record["type"].toInt(), error ? 9 : 0);
        EXPECT_EQ(record["can"].toInt(), written.channel + 1);
        const uint32_t stored_id =
            error ? 0xFFFFu : written.id | ((written.flags & VyrCanMessage::Extended) ? 0x80000000u : 0);
        EXPECT_EQ(uint32_t(record["id"].toInt()), stored_id); // signed 32 bits
        EXPECT_EQ(record["dir"].toInt(),
                  (written.flags & VyrCanMessage::TxAck)           ? 1
                      : (written.flags & VyrCanMessage::TxRequest) ? 2
                                                                   : 0);
        EXPECT_EQ(record["rtr"].toInt(), (written.flags & VyrCanMessage::Remote) ? 1 : 0);
        EXPECT_EQ(record["dlc"].toInt(), written.dlc);
        for (int byte = 0; byte < 8; ++byte)
            EXPECT_EQ(record[QStringLiteral("msg[%1]").arg(byte)].toInt(), byte < written.dlc ? written.data[byte] : 0);
        EXPECT_EQ(record["msgTime"].toInt(), int(written.time * 100 + written.time_fraction));
        EXPECT_NEAR(record["msgTime.phys"].toDouble(), written.time / 1e3 + written.time_fraction / 1e5, 1e-9);
    }
    // The examples: 0x18FF0001 as 0x98FF0001, 12345 ms and 67 as 1234567, channel index 0 as 1.
    EXPECT_EQ(uint32_t(records[1].toObject()["id"].toInt()), 0x98FF0001u);
    EXPECT_EQ(records[1].toObject()["msgTime"].toInt(), 1234567);
    EXPECT_EQ(records[0].toObject()["can"].toInt(), 1);
}

TEST_F(MdfLogFileTest, RoundTripOverEveryKindOfFrame)
{
    const std::vector<VyrCanMessage> frames = kinds_of_frames();
    MdfCanLogFile writer;
    ASSERT_EQ(write_log(writer, path("t.log"), frames), 0);
    MdfCanLogFile reader;
    const std::vector<ReadRecord> read = read_log(reader, path("t.log"));
    ASSERT_EQ(read.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(read[i].result, 0);
        expect_same_frame(read[i].message, as_stored(frames[i]), i);
    }

    // A file without records: a count of 0, and the end at once.
    MdfCanLogFile empty;
    ASSERT_EQ(write_log(empty, path("empty.log"), {}), 0);
    EXPECT_EQ(python_read(path("empty.log"))["cg"].toObject()["records"].toInt(), 0);
    MdfCanLogFile empty_reader;
    EXPECT_TRUE(read_log(empty_reader, path("empty.log")).empty());
    // The walk finds the blocks.
    MdfLogFile mdf;
    ASSERT_EQ(mdf.open_read(path("empty.log")), 0);
    EXPECT_EQ(mdf.channels().size(), 15u);
    EXPECT_TRUE(mdf.has_channel_group());
    EXPECT_EQ(mdf.record_count(), 0u);

    // Numbered mode takes the format's extension; delete empty files removes a file without frames.
    MdfCanLogFile numbered;
    numbered.set_file_name(path("trace.LOG").c_str());
    numbered.set_write_mode(LogFile::Numbered);
    numbered.set_delete_empty_files(true);
    numbered.set_format(LogFileFormat::find_by_name("Binary (mdf)"));
    ASSERT_EQ(numbered.open(), 0);
    EXPECT_EQ(numbered.actual_file_name(), path("trace000.log"));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("trace000.log"))));
    EXPECT_EQ(numbered.close(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("trace000.log"))));
}

TEST_F(MdfLogFileTest, AppendContinuesTheFileOverTwoMeasurements)
{
    const std::vector<VyrCanMessage> frames = kinds_of_frames();
    const std::vector<VyrCanMessage> first(frames.begin(), frames.begin() + 2);
    const std::vector<VyrCanMessage> second(frames.begin() + 2, frames.end());
    QJsonObject created;
    for (const auto *measurement : {&first, &second}) {
        MdfCanLogFile log; // append is the default write mode
        log.set_file_name(path("t.log").c_str());
        ASSERT_EQ(log.write_mode(), LogFile::Append);
        ASSERT_EQ(log.open(), 0);
        log.set_stopped(false);
        for (const VyrCanMessage &message : *measurement)
            ASSERT_EQ(log.log_message(message), 0);
        ASSERT_EQ(log.close(), 0);
        if (created.isEmpty())
            created = python_read(path("t.log"))["hd"].toObject();
    }
    // A measurement without frames leaves the earlier ones, even when empty files are deleted.
    MdfCanLogFile idle;
    idle.set_file_name(path("t.log").c_str());
    idle.set_delete_empty_files(true);
    ASSERT_EQ(idle.open(), 0);
    ASSERT_EQ(idle.close(), 0);

    const QJsonObject file = python_read(path("t.log"));
    EXPECT_EQ(file["cg"].toObject()["records"].toInt(), int(frames.size()));
    // The header keeps the date and time at which the file was made.
    ASSERT_EQ(created["date"].toString().size(), 10);
    EXPECT_EQ(file["hd"].toObject()["date"], created["date"]);
    EXPECT_EQ(file["hd"].toObject()["time"], created["time"]);
    const QJsonArray records = file["records"].toArray();
    ASSERT_EQ(records.size(), int(frames.size()));
    for (size_t i = 0; i < frames.size(); ++i) {
        const VyrCanMessage written = as_stored(frames[i]);
        EXPECT_EQ(records[int(i)].toObject()["msgTime"].toInt(), int(written.time * 100 + written.time_fraction)) << i;
    }
    EXPECT_EQ(file["file_size"].toInt(), 228 + 23 * int(frames.size()) + 62 + 15 * 218 + 26 + 24 + 29);
    MdfCanLogFile reader;
    const std::vector<ReadRecord> read = read_log(reader, path("t.log"));
    ASSERT_EQ(read.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        expect_same_frame(read[i].message, as_stored(frames[i]), i);

    // A file of any other layout is refused and left as it was.
    VYR_REQUIRE_TESTDATA();
    const std::string candump = read_file(
        testdata_dir() + "/canlog/css-mdf4-converters/Tools/SystemTests/SocketCAN/TestData/single_can_bus_1_CAN.log");
    ASSERT_FALSE(candump.empty());
    write_file(path("candump.log"), candump);
    MdfCanLogFile log;
    log.set_file_name(path("candump.log").c_str());
    EXPECT_EQ(log.open(), LogFile::InvalidContents);
    EXPECT_FALSE(log.is_open());
    EXPECT_EQ(log.close(), 0);
    EXPECT_EQ(read_file(path("candump.log")), candump);
}

// Sets the bytes at the offset of a copy of the file.
std::string patched(std::string bytes, size_t offset, std::initializer_list<uint8_t> values)
{
    for (uint8_t value : values)
        bytes[offset++] = char(value);
    return bytes;
}

TEST_F(MdfLogFileTest, ForeignTruncatedAndCraftedFilesAreRefused)
{
    VYR_REQUIRE_TESTDATA();
    MdfCanLogFile writer;
    ASSERT_EQ(write_log(writer, path("ours.log"), kinds_of_frames()), 0);
    const std::string ours = read_file(path("ours.log"));
    const size_t tail = 228 + 23 * kinds_of_frames().size();
    const size_t data_group = tail + 62 + 15 * 218 + 26;
    ASSERT_EQ(QProcess::execute(python,
                                {vyr_test::source_dir() + "/tests/logging/mdf_reader.py", "write33",
                                 QString::fromStdString(path("mdf330.log"))}),
              0);
    const std::string mdf4 = testdata_dir() + "/mdf/asammdf/test/asammdf/gui/resources/test_batch.mf4";
    const std::string unfinalised = testdata_dir() + "/mdf/css-api-examples/examples/other/matlab-basics/00000014.MF4";
    const std::string candump =
        testdata_dir() + "/canlog/css-mdf4-converters/Tools/SystemTests/Common/TestData/multiGeneratorCAN.log";

    // Each: the file's bytes and what opening it gives.
    const struct
    {
        const char *name;
        std::string bytes;
        int result;
    } cases[] = {
        {"MDF 4.10", read_file(mdf4), LogFile::InvalidContents},
        {"MDF 4.11 unfinalised", read_file(unfinalised), LogFile::InvalidContents},
        {"MDF 3.30 of another program", read_file(path("mdf330.log")), LogFile::InvalidContents},
        {"candump log", read_file(candump), LogFile::InvalidContents},
        {"empty", "", LogFile::InvalidContents},
        {"cut in the identification block", ours.substr(0, 40), LogFile::InvalidContents},
        {"cut in the HD block", ours.substr(0, 100), LogFile::InvalidContents},
        {"cut in the records", ours.substr(0, 228 + 23 * 2 + 5), LogFile::InvalidContents},
        {"cut in the blocks", ours.substr(0, tail + 300), LogFile::InvalidContents},
        {"HD of another size", patched(ours, 66, {165}), LogFile::InvalidContents},
        {"another file identifier", patched(ours, 0, {'M', 'D', 'G'}), LogFile::InvalidContents},
        {"a format identifier", patched(ours, 8, {'3', '.', '3', '0'}), LogFile::InvalidContents},
        {"another block at the HD's place", patched(ours, 64, {'H', 'E'}), LogFile::InvalidContents},
        {"a block size below its header", patched(ours, data_group + 2, {3, 0}), LogFile::InvalidContents},
        {"a link beyond the file", patched(ours, data_group + 8, {0xF0, 0xFF, 0xFF, 0x7F}), LogFile::InvalidContents},
        {"more records than the file holds", patched(ours, data_group - 4, {0xFF, 0xFF}), LogFile::InvalidContents},
        {"records elsewhere", patched(ours, data_group + 16, {0}), LogFile::InvalidContents},
        // A loop (the last channel back to the channel group) ends the walk; the file reads.
        {"a loop in the chain",
         patched(ours, tail + 62 + 8, {uint8_t(data_group - 26), uint8_t((data_group - 26) >> 8)}), 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(!c.bytes.empty() || std::string(c.name) == "empty");
        write_file(path("file.log"), c.bytes);
        MdfCanLogFile log;
        const std::vector<ReadRecord> read = read_log(log, path("file.log"));
        if (c.result != 0) {
            ASSERT_EQ(read.size(), 1u);
            EXPECT_EQ(read[0].result, c.result);
        } else {
            EXPECT_EQ(read.size(), kinds_of_frames().size());
        }
    }
    MdfCanLogFile missing;
    EXPECT_EQ(read_log(missing, path("missing.log"))[0].result, LogFile::UnableToOpenFile);
}

// Every read of the file up to its end: the result, and the time of each frame.
std::vector<std::pair<int, uint32_t>> read_all(const std::string &path)
{
    MdfCanLogFile log;
    log.set_file_name(path.c_str());
    log.set_write_mode(LogFile::ReadMode);
    std::vector<std::pair<int, uint32_t>> reads;
    if (const int result = log.open())
        return {{result, 0}};
    VyrCanMessage message;
    for (int result; (result = log.read_message(message)) != LogFile::EndOfFile && reads.size() < 1000;)
        reads.emplace_back(result, message.time);
    return reads;
}

// Appends one frame; the result of the open.
int append_frame(const std::string &path, const VyrCanMessage &frame)
{
    MdfCanLogFile log;
    log.set_file_name(path.c_str());
    if (const int result = log.open())
        return result;
    log.set_stopped(false);
    EXPECT_EQ(log.log_message(frame), 0);
    EXPECT_EQ(log.close(), 0);
    return 0;
}

TEST_F(MdfLogFileTest, DamagedRecordIsPassedOverAndNotAppendedTo)
{
    const std::vector<VyrCanMessage> frames = kinds_of_frames();
    MdfCanLogFile writer;
    ASSERT_EQ(write_log(writer, path("ours.log"), frames), 0);
    const std::string ours = read_file(path("ours.log"));
    const size_t tail = 228 + 23 * frames.size();
    std::vector<std::pair<int, uint32_t>> whole;
    for (const VyrCanMessage &frame : frames)
        whole.emplace_back(0, frame.time);
    VyrCanMessage later = frames[0];
    later.time = 999999;

    // The record identifier of the second record damaged: the channel group
    // counts the records behind it, which read.
    const std::string damaged = patched(ours, 228 + 23, {0x55});
    std::vector<std::pair<int, uint32_t>> expected = whole;
    expected[1] = {LogFile::InvalidContents, 0};
    write_file(path("damaged.log"), damaged);
    EXPECT_EQ(read_all(path("damaged.log")), expected);
    // Appending to it is refused, and the file is left as it was.
    EXPECT_EQ(append_frame(path("damaged.log"), later), LogFile::InvalidContents);
    EXPECT_EQ(read_file(path("damaged.log")), damaged);

    // A file whose writer ended early (no blocks, no link to them): its
    // records read up to the first that does not.
    const std::string unfinished = patched(ours.substr(0, tail), 68, {0, 0, 0, 0});
    const std::string damaged_unfinished = patched(unfinished, 228 + 23 * 2, {0x55});
    write_file(path("damaged_unfinished.log"), damaged_unfinished);
    const std::vector<std::pair<int, uint32_t>> first_two(whole.begin(), whole.begin() + 2);
    EXPECT_EQ(read_all(path("damaged_unfinished.log")), first_two);
    EXPECT_EQ(append_frame(path("damaged_unfinished.log"), later), LogFile::InvalidContents);
    EXPECT_EQ(read_file(path("damaged_unfinished.log")), damaged_unfinished);

    // One that ends in a record cut short is continued after its last whole record.
    write_file(path("cut.log"), unfinished + ours.substr(228, 10));
    ASSERT_EQ(append_frame(path("cut.log"), later), 0);
    expected = whole;
    expected.emplace_back(0, later.time);
    EXPECT_EQ(read_all(path("cut.log")), expected);
}

TEST_F(MdfLogFileTest, FailedCloseIsAWriteErrorWithTheDiscFullReason)
{
    MdfCanLogFile log;
    log.set_file_name("/dev/full");
    log.set_write_mode(LogFile::Overwrite);
    ASSERT_EQ(log.open(), 0);
    log.set_stopped(false);
    EXPECT_EQ(log.log_message(kinds_of_frames()[0]), 0);
    EXPECT_EQ(log.close(), LogFile::WriteError);
    std::string reason;
    EXPECT_TRUE(log.stop_reason(reason));
    EXPECT_EQ(reason, "Logging to file stopped due to write error; the disc may be full!\n");
    EXPECT_FALSE(log.is_open());
}

} // namespace
