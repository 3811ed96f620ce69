// The simple binary log format: its records byte for byte, the flags byte,
// delta times, the reader on crafted records and a real capture written and
// read back whole.
#include "logging_test_support.h"
#include "test_support.h"
#include "windows/logging/binary_log_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

using namespace vyr_test;

namespace {

using BinaryLogFileTest = LogDirTest;
using Bytes = std::vector<uint8_t>;

VyrCanMessage frame(uint32_t time, uint32_t id, uint32_t flags, Bytes data, uint8_t channel = 0)
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

Bytes file_bytes(const std::string &path)
{
    const std::string text = read_file(path);
    return Bytes(text.begin(), text.end());
}

Bytes record(std::initializer_list<uint8_t> head, size_t length = BinaryLogFile::record_size)
{
    Bytes bytes(head);
    bytes.resize(length, 0);
    return bytes;
}

TEST_F(BinaryLogFileTest, RecordsByteForByteAndDeltaTimesReadBack)
{
    BinaryLogFile log;
    const time_t before = time(nullptr);
    ASSERT_EQ(
        write_log(log, path("t.wbl"),
                  {frame(100, 0x123, 0, {1, 2, 3}, 1),
                   frame(150, 0x1ABCDEF0, VyrCanMessage::Extended | VyrCanMessage::Remote | VyrCanMessage::TxAck, {}),
                   frame(150, 0x7FF, 0, {8, 7, 6, 5, 4, 3, 2, 1})}),
        0);
    EXPECT_EQ(log.open_mode(), "wb");
    EXPECT_EQ(log.byte_count(), 3u * 22);
    const Bytes bytes = file_bytes(path("t.wbl"));
    ASSERT_EQ(bytes.size(), 5u * 22);

    // Start record: the date and time of creation (UTC in the tests).
    tm now{};
    localtime_r(&before, &now);
    const Bytes start(bytes.begin(), bytes.begin() + 22);
    EXPECT_EQ(Bytes(start.begin(), start.begin() + 6), (Bytes{22, 1, 1, 0, 0, 0}));
    EXPECT_EQ(start[6] | start[7] << 8, now.tm_year + 1900);
    EXPECT_EQ(start[8], now.tm_mon + 1);
    EXPECT_EQ(start[9], now.tm_mday);
    EXPECT_EQ(start[10], now.tm_hour);
    EXPECT_EQ(Bytes(start.begin() + 13, start.end()), Bytes(9, 0));

    const Bytes messages(bytes.begin() + 22, bytes.begin() + 88);
    EXPECT_EQ(messages, (Bytes{22, 2, 3, 1, 0x00, 0, 0,  0, 0, 0, 0x23, 0x01, 0,    0,    1, 2, 3, 0, 0, 0, 0, 0,
                               22, 2, 0, 0, 0x15, 0, 50, 0, 0, 0, 0xF0, 0xDE, 0xBC, 0x1A, 0, 0, 0, 0, 0, 0, 0, 0,
                               22, 2, 8, 0, 0x00, 0, 0,  0, 0, 0, 0xFF, 0x07, 0,    0,    8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Bytes(bytes.begin() + 88, bytes.end()), record({22, 255}));

    BinaryLogFile reader;
    const std::vector<ReadRecord> read = read_log(reader, path("t.wbl"));
    EXPECT_EQ(reader.open_mode(), "rb");
    ASSERT_EQ(read.size(), 3u);
    const uint32_t times[] = {0, 50, 50};
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].result, 0);
        EXPECT_EQ(read[i].message.time, times[i]);
    }
    EXPECT_EQ(read[0].message.channel, 1);
    EXPECT_EQ(read[1].message.flags, VyrCanMessage::Extended | VyrCanMessage::Remote | VyrCanMessage::TxAck);
    EXPECT_EQ(read[1].message.id, 0x1ABCDEF0u);
    EXPECT_EQ(read[2].message.dlc, 8);
    EXPECT_EQ(read[2].message.data[7], 1);
}

TEST(BinaryLogFile, FlagsByteKeepsSixFlagsAndDropsTheRest)
{
    const struct
    {
        uint32_t message;
        uint8_t file;
        uint32_t back;
    } cases[] = {
        {VyrCanMessage::Extended, 0x01, VyrCanMessage::Extended},
        {VyrCanMessage::ErrorFrame, 0x02, VyrCanMessage::ErrorFrame},
        {VyrCanMessage::Remote, 0x04, VyrCanMessage::Remote},
        {VyrCanMessage::WakeUp, 0x08, VyrCanMessage::WakeUp},
        {VyrCanMessage::TxAck, 0x10, VyrCanMessage::TxAck},
        {VyrCanMessage::TxRequest, 0x20, VyrCanMessage::TxRequest},
        {VyrCanMessage::Extended | VyrCanMessage::Remote | VyrCanMessage::TxAck, 0x15,
         VyrCanMessage::Extended | VyrCanMessage::Remote | VyrCanMessage::TxAck},
        // Not stored: CAN FD, transceiver error, overruns.
        {VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch | VyrCanMessage::TransceiverError |
             VyrCanMessage::HardwareOverrun | VyrCanMessage::Extended,
         0x01, VyrCanMessage::Extended},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(BinaryLogFile::file_flags(c.message), c.file) << std::hex << c.message;
        EXPECT_EQ(BinaryLogFile::message_flags(c.file), c.back) << std::hex << c.message;
    }
}

TEST_F(BinaryLogFileTest, ReaderOnCraftedRecords)
{
    const Bytes start = record({22, 1, 1});
    const Bytes end = record({22, 255});
    const Bytes message = record({22, 2, 2, 0, 0, 0, 10, 0, 0, 0, 0x55, 0, 0, 0, 0xAA, 0xBB});
    const auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes &part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    Bytes dlc12 = message;
    dlc12[2] = 12;
    Bytes longer = message;
    longer[0] = 30;
    longer.resize(30, 0xEE);
    Bytes shorter(message.begin(), message.begin() + 10);
    shorter[0] = 10;

    // Each row: the file and the results of reading it to the end, with the
    // length and time of each frame read.
    const struct
    {
        const char *name;
        Bytes file;
        std::vector<std::tuple<int, int, uint32_t>> reads;
    } cases[] = {
        {"start and end only", join({start, end}), {}},
        {"one message", join({start, message, end}), {{0, 2, 10}}},
        {"second start record passed over", join({start, message, start, message}), {{0, 2, 10}, {0, 2, 20}}},
        {"dlc 12 reads as 8", join({start, dlc12}), {{0, 8, 10}}},
        {"longer record read whole", join({start, longer, message}), {{0, 2, 10}, {0, 2, 20}}},
        {"short record skipped", join({start, shorter, message}), {{LogFile::InvalidContents, 0, 0}, {0, 2, 10}}},
        {"unknown type ends the data", join({start, message, record({22, 7}), message}), {{0, 2, 10}}},
        {"truncated record", join({start, message, Bytes(message.begin(), message.begin() + 12)}), {{0, 2, 10}}},
        {"length below 3", join({start, Bytes{2, 2}, message}), {}},
        // Files of another kind: no start record of 22 bytes first.
        {"no start record", join({message, message}), {{LogFile::InvalidContents, 0, 0}}},
        {"start record of another length", join({record({21, 1}, 21), message}), {{LogFile::InvalidContents, 0, 0}}},
        {"cut start record", Bytes(start.begin(), start.begin() + 10), {{LogFile::InvalidContents, 0, 0}}},
        {"empty file", {}, {{LogFile::InvalidContents, 0, 0}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write_file(path("c.wbl"), std::string(c.file.begin(), c.file.end()));
        BinaryLogFile log;
        log.set_file_name(path("c.wbl").c_str());
        log.set_write_mode(LogFile::ReadMode);
        ASSERT_EQ(log.open(), 0);
        for (const auto &[result, dlc, time] : c.reads) {
            VyrCanMessage read;
            ASSERT_EQ(log.read_message(read), result);
            EXPECT_EQ(read.dlc, dlc);
            EXPECT_EQ(read.time, time);
        }
        VyrCanMessage read;
        EXPECT_EQ(log.read_message(read), LogFile::EndOfFile);
        log.close();
    }

    BinaryLogFile closed;
    VyrCanMessage read;
    EXPECT_EQ(closed.read_message(read), LogFile::NoFilename);
}

TEST_F(BinaryLogFileTest, RealCaptureReadsBackAsWritten)
{
    VYR_REQUIRE_TESTDATA();
    const std::vector<VyrCanMessage> frames = read_candump(testdata_dir() + "/canlog/savvycan/examples/candump.log");
    ASSERT_EQ(frames.size(), 12974u);
    BinaryLogFile log;
    ASSERT_EQ(write_log(log, path("capture.wbl"), frames), 0);
    EXPECT_EQ(log.message_count(), frames.size());

    BinaryLogFile reader;
    const std::vector<ReadRecord> read = read_log(reader, path("capture.wbl"));
    ASSERT_EQ(read.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const VyrCanMessage &in = frames[i];
        const VyrCanMessage &out = read[i].message;
        ASSERT_EQ(read[i].result, 0) << i;
        ASSERT_EQ(out.time, in.time) << i;
        ASSERT_EQ(out.id, in.id) << i;
        ASSERT_EQ(out.flags, in.flags) << i;
        ASSERT_EQ(out.dlc, in.dlc) << i;
        ASSERT_EQ(memcmp(out.data, in.data, 8), 0) << i;
    }
}

} // namespace
