#pragma once
// The simple binary log format "VYR-BINARY" (".wbl"): fixed 22-byte records,
// all little-endian. A start record (type 1) carries the local date and time
// the file was created, a message record (type 2) one frame with the time
// since the previous one, an end record (type 255) closes the file. Every
// record begins with its length and its type:
//
//   start    22, 1, 1, 0 0 0, u16 year, month, day, hour, minute, second, 9 x 0
//   message  22, 2, dlc, channel, flags, 0, u32 delta ms, u32 identifier, 8 data bytes
//   end      22, 255, 20 x 0
//
// The flags byte holds bit 0 extended, bit 1 error frame, bit 2 remote,
// bit 3 wake-up, bit 4 transmitted, bit 5 transmit request. The time below a
// millisecond, CAN FD and data beyond eight bytes are not stored.
//
// Reading (for replay): open in ReadMode, then read_message until EndOfFile.
// A file that does not begin with a start record of 22 bytes is of another
// kind: its first read answers InvalidContents, the next ones EndOfFile.
// Start records are passed over; a record of another type than 1 or 2 ends
// the data. A message record shorter than 22 bytes is consumed and answered
// with InvalidContents, so that a reader may skip it and go on; a longer one
// is read whole and its extra bytes ignored.
#include "windows/logging/log_file.h"

#include <cstdint>

class BinaryLogFile : public LogFile
{
public:
    static constexpr int record_size = 22;
    enum RecordType : uint8_t { StartRecord = 1, MessageRecord = 2, EndRecord = 255 };

    BinaryLogFile();

    int write_message(const VyrCanMessage &message, uint32_t &bytes_written) override;
    bool needs_binary_mode() const override { return true; }
    int open() override;
    int close() override;
    int read_message(VyrCanMessage &message) override;

    // The flags byte of a message record for the message's flags, and back.
    static uint8_t file_flags(uint32_t message_flags);
    static uint32_t message_flags(uint8_t file_flags);

private:
    bool write_record(const uint8_t *record);
    // Reads the start record that opens every file of this format; false
    // when the file begins otherwise (it is then read to its end).
    bool read_start_record();

    bool m_first_message = true;
    uint32_t m_previous_time = 0;
    uint32_t m_read_time = 0;
    bool m_start_read = false;
};
