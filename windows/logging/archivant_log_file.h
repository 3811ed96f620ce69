#pragma once
// The files of the Vindra Archivant data logger, read for replay: the formats
// "Archivant" (".lgz") and "Archivant2" (".lgz25"). A file is a sequence of
// 16-byte records without a header, little-endian; byte 0 is the type:
//
//   1, 5  a frame on the first or second channel: byte 1 bit 7 remote, bits
//         0-6 data length; u32 identifier at 2 (bit 31: extended); 8 data
//         bytes at 6; u16 at 14, the low 16 bits of the time in 10 us
//   2     the 16-bit time counter ran over (counted by the first generation
//         only; the second writes it without meaning)
//   6     the u32 at 1 carries the current time: its upper 16 bits become
//         the high part of the time
//   255   the end of the data
//
// Other types are passed over. A low time below the previous one means the
// counter ran over without a record saying so. Writing is not supported: in a
// write mode the object makes no file and writes nothing.
#include "windows/logging/log_file.h"

#include <string>

class ArchivantLogFile : public LogFile
{
public:
    static constexpr size_t record_size = 16;
    enum RecordType : uint8_t {
        FirstChannelFrame = 1,
        TimerWrap = 2,
        SecondChannelFrame = 5,
        TimeHighPart = 6,
        EndOfData = 255,
    };

    // first_generation: the timer wrap records count (the "Archivant" row).
    explicit ArchivantLogFile(bool first_generation);

    bool needs_binary_mode() const override { return true; }
    int open() override;
    // Writes nothing: 0 bytes.
    int write_message(const VyrCanMessage &message, uint32_t &bytes_written) override;
    int read_message(VyrCanMessage &message) override;

    // What the logger reports of itself; these files carry none of it.
    virtual int logger_kind() const { return 0; }
    virtual std::string logger_name() const { return std::string(); }
    virtual std::string logger_version() const { return std::string(); }

    bool first_generation() const { return m_first_generation; }

private:
    bool m_first_generation;
    bool m_first_record = true;
    // The time in 10 us units above the 16-bit counter: a multiple of 0x10000.
    uint32_t m_time_high = 0;
    uint16_t m_last_low_time = 0;
};
