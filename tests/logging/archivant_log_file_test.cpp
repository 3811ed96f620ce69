// The logger formats, read only: fixtures built byte by byte from the record
// layout, read by both generations; time run-overs, high parts, remote
// frames, the end record, a truncated record, and a write-mode object that
// makes no file; a fixture replayed onto the virtual bus.
#include "../interfaces/can_test_support.h" // runs the vrbus daemon around the program
#include "interfaces/can/vyr_message_queue.h"
#include "logging_test_support.h"
#include "windows/logging/archivant_log_file.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vyr_test;

namespace {

using ArchivantLogFileTest = LogDirTest;
using Bytes = std::vector<uint8_t>;

// A frame record: type 1 or 5, the length byte, identifier, data, low time.
Bytes frame(uint8_t type, uint8_t length_byte, uint32_t id, uint16_t low_time, Bytes data = {})
{
    Bytes record{type, length_byte, uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16), uint8_t(id >> 24)};
    data.resize(8, 0);
    record.insert(record.end(), data.begin(), data.end());
    record.push_back(uint8_t(low_time));
    record.push_back(uint8_t(low_time >> 8));
    return record;
}

// Another record: its type and, for a time high part, the u32 at offset 1.
Bytes marker(uint8_t type, uint32_t value = 0)
{
    Bytes record(16, 0);
    record[0] = type;
    for (int i = 0; i < 4; ++i)
        record[1 + i] = uint8_t(value >> (8 * i));
    return record;
}

std::string join(std::initializer_list<Bytes> records)
{
    std::string bytes;
    for (const Bytes &record : records)
        bytes.append(record.begin(), record.end());
    return bytes;
}

std::unique_ptr<LogFile> logger(const char *format)
{
    std::unique_ptr<LogFile> log = LogFileFormat::create(format);
    EXPECT_NE(log, nullptr) << format;
    return log;
}

TEST_F(ArchivantLogFileTest, RecordsReadByBothGenerations)
{
    // Each: the file, and for each generation the times of its frames and
    // the result that ends reading.
    const struct
    {
        const char *name;
        std::string bytes;
        std::vector<uint32_t> first_times, second_times;
        int end;
    } cases[] = {
        {"run-over without a record",
         join({frame(1, 0, 1, 0xFFF0), frame(1, 0, 2, 0x03E8)}),
         {655, 665},
         {655, 665},
         LogFile::EndOfFile},
        {"timer wrap record", join({marker(2), frame(1, 0, 1, 0x0005)}), {655}, {0}, LogFile::EndOfFile},
        // After a wrap record the low time starts again from 0: no second run-over.
        {"wrap record after a late frame",
         join({frame(1, 0, 1, 0xFFF0), marker(2), frame(1, 0, 2, 0x0005)}),
         {655, 655},
         {655, 655},
         LogFile::EndOfFile},
        {"time high part after a late frame",
         join({frame(1, 0, 1, 0xFFF0), marker(6, 0x00120000), frame(1, 0, 2, 0x0010)}),
         {655, 0x00120010 / 100},
         {655, 0x00120010 / 100},
         LogFile::EndOfFile},
        {"time high part",
         join({marker(6, 0x00123456), frame(5, 0, 1, 0x0010)}),
         {(0x00120000 + 0x10) / 100},
         {(0x00120000 + 0x10) / 100},
         LogFile::EndOfFile},
        {"other types skipped, end record",
         join({marker(3), marker(0), frame(1, 0, 1, 100), marker(255), frame(1, 0, 2, 200)}),
         {1},
         {1},
         LogFile::EndOfFile},
        {"truncated record", join({frame(1, 0, 1, 100)}) + std::string(7, '\1'), {1}, {1}, LogFile::InvalidContents},
        {"empty file", "", {}, {}, LogFile::EndOfFile},
    };
    for (const auto &c : cases) {
        for (const char *format : {"Archivant", "Archivant2"}) {
            SCOPED_TRACE(std::string(c.name) + " / " + format);
            write_file(path("t.lgz"), c.bytes);
            std::unique_ptr<LogFile> log = logger(format);
            log->set_file_name(path("t.lgz").c_str());
            log->set_write_mode(LogFile::ReadMode);
            // Opened again, the object reads the file as new (a replay's endless passes).
            for (const int pass : {1, 2}) {
                SCOPED_TRACE(pass);
                ASSERT_EQ(log->open(), 0);
                EXPECT_EQ(log->open_mode(), "rb");
                std::vector<uint32_t> times;
                VyrCanMessage message;
                int result;
                while ((result = log->read_message(message)) == 0)
                    times.push_back(message.time);
                EXPECT_EQ(result, c.end);
                EXPECT_EQ(times, format == std::string("Archivant") ? c.first_times : c.second_times);
                EXPECT_EQ(log->close(), 0);
            }
        }
    }
}

TEST_F(ArchivantLogFileTest, FrameFields)
{
    write_file(path("t.lgz25"),
               join({frame(1, 0x88, 0x7FF, 100), frame(5, 3, 0x98FF0001, 200, {0xAA, 0xBB, 0xCC, 0xDD}),
                     frame(1, 0x7F, 0x123, 300, {1, 2, 3, 4, 5, 6, 7, 8})}));
    std::unique_ptr<LogFile> log = logger("Archivant2");
    const std::vector<ReadRecord> read = read_log(*log, path("t.lgz25"));
    ASSERT_EQ(read.size(), 3u);
    // Byte 1 = 0x88: a remote frame of length 8.
    EXPECT_EQ(read[0].message.flags, VyrCanMessage::Remote);
    EXPECT_EQ(read[0].message.dlc, 8);
    EXPECT_EQ(read[0].message.channel, 0);
    EXPECT_EQ(read[0].message.id, 0x7FFu);
    // Bit 31 of the identifier: extended; type 5: the second channel; data beyond the length not taken.
    EXPECT_EQ(read[1].message.flags, VyrCanMessage::Extended);
    EXPECT_EQ(read[1].message.id, 0x18FF0001u);
    EXPECT_EQ(read[1].message.channel, 1);
    EXPECT_EQ(read[1].message.dlc, 3);
    EXPECT_EQ(Bytes(read[1].message.data, read[1].message.data + 4), (Bytes{0xAA, 0xBB, 0xCC, 0}));
    EXPECT_EQ(read[1].message.time, 2u);
    EXPECT_EQ(read[1].message.time_fraction, 0);
    // A length above what the record holds is taken as its eight bytes.
    EXPECT_EQ(read[2].message.dlc, 8);
    EXPECT_EQ(read[2].message.data[7], 8);
}

TEST_F(ArchivantLogFileTest, WriteModesMakeNoFileAndWriteNothing)
{
    for (const int mode : {LogFile::Append, LogFile::Overwrite, LogFile::Numbered}) {
        SCOPED_TRACE(mode);
        std::unique_ptr<LogFile> log = logger("Archivant");
        log->set_file_name(path("t.lgz").c_str());
        log->set_write_mode(mode);
        ASSERT_EQ(log->open(), 0);
        EXPECT_FALSE(log->is_open());
        log->set_stopped(false);
        VyrCanMessage message;
        uint32_t bytes = 99;
        EXPECT_EQ(log->write_message(message, bytes), 0);
        EXPECT_EQ(bytes, 0u);
        EXPECT_EQ(log->log_message(message), 0);
        EXPECT_EQ(log->close(), 0);
        EXPECT_TRUE(QDir(m_dir.path()).isEmpty(QDir::Files));
    }
    // Nothing to read without an open file.
    std::unique_ptr<LogFile> unopened = logger("Archivant");
    VyrCanMessage message;
    EXPECT_EQ(unopened->read_message(message), LogFile::ReadError);
    const auto *archivant = static_cast<const ArchivantLogFile *>(unopened.get());
    EXPECT_TRUE(archivant->first_generation());
    EXPECT_EQ(archivant->logger_kind(), 0);
    EXPECT_EQ(archivant->logger_name(), "");
    EXPECT_EQ(archivant->logger_version(), "");
    EXPECT_FALSE(static_cast<const ArchivantLogFile *>(logger("Archivant2").get())->first_generation());
}

// The frames of a logger file sent by a node of the virtual bus reach a CAN
// interface on it as they were logged.
class ArchivantOnTheBus : public can_test::CanFixture
{};

TEST_F(ArchivantOnTheBus, FixtureReplaysOntoTheBus)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("drive.lgz")).toStdString();
    write_file(path,
               join({frame(1, 2, 0x321, 100, {0xAB, 0xCD}), marker(2),
                     frame(1, 8, 0x98FF0001, 5, {1, 2, 3, 4, 5, 6, 7, 8}), frame(1, 0x80, 0x7E0, 9)}));
    std::unique_ptr<LogFile> log = logger("Archivant");
    const std::vector<ReadRecord> frames = read_log(*log, path);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].message.time, 655u);

    VyrCanIf *can = make("CAN");
    VyrMessageQueue queue(0, 64, 1000);
    can->add_message_listener(&queue);
    can_test::Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    can_test::BusNode node;
    for (const ReadRecord &record : frames) {
        const VyrCanMessage &sent = record.message;
        node.send(sent.id, sent.flags,
                  Bytes(sent.data, sent.data + ((sent.flags & VyrCanMessage::Remote) ? 0 : sent.dlc)));
        VyrCanMessage received;
        ASSERT_TRUE(can_test::read_until(
            queue, [&](const VyrCanMessage &m) { return m.id == sent.id; }, &received))
            << std::hex << sent.id;
        EXPECT_EQ(received.flags & (VyrCanMessage::Extended | VyrCanMessage::Remote), sent.flags);
        if (!(sent.flags & VyrCanMessage::Remote)) {
            EXPECT_EQ(received.dlc, sent.dlc);
            EXPECT_EQ(memcmp(received.data, sent.data, sent.dlc), 0);
        }
    }
    measurement.stop();
    can->remove_message_listener(&queue);
}

} // namespace
