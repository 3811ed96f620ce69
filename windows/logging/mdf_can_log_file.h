#pragma once
// The log format "Binary (mdf)" (".log"): CAN messages as the 23-byte
// records of an MDF file (MdfLogFile):
//
//   0  u8   record identifier 1
//   1  u8   type: 0 CAN frame, 9 error frame
//   2  u16  channel number, 1 for the first channel
//   4  u32  identifier, bit 31 set for an extended one; 0x0000FFFF for an error frame
//   8  u8   direction: 1 transmitted, 2 transmit request, 0 received
//   9  u8   1 for a remote frame
//   10 u8   data length, at most 8 (8 for an error frame)
//   11 8 x  data bytes, the unused ones 0 (all 0 for an error frame)
//   19 u32  time in 10 microseconds (it runs over after about 11.9 hours)
//
// Append (the default write mode) continues an existing file of this layout
// whose records all read; any other existing file is refused with
// InvalidContents and left as it was.
// Reading (for replay): open in ReadMode, then read_message until EndOfFile;
// files of other layouts (other MDF versions, other programs' files, candump
// logs, which share the extension) are refused at open with InvalidContents.
// A record with a damaged identifier among those the channel group counts is
// answered with InvalidContents, and reading goes on with the next one.
#include "windows/logging/log_file.h"
#include "windows/logging/mdf_log_file.h"

class MdfCanLogFile : public LogFile
{
public:
    enum RecordType : uint8_t { FrameRecord = 0, ErrorFrameRecord = 9 };
    static constexpr uint32_t error_frame_id = 0x0000FFFF;

    MdfCanLogFile();
    ~MdfCanLogFile() override;

    bool needs_binary_mode() const override { return true; }
    bool is_open() const override { return m_mdf.is_open(); }
    int open() override;
    int write_message(const VyrCanMessage &message, uint32_t &bytes_written) override;
    int read_message(VyrCanMessage &message) override;
    int close() override;

    // The record of a message (byte 0 left for the record identifier), and back.
    static void encode(const VyrCanMessage &message, uint8_t *record);
    static VyrCanMessage decode(const uint8_t *record);

    const MdfLogFile &mdf() const { return m_mdf; }

private:
    MdfLogFile m_mdf;
    uint32_t m_read_index = 0;
};
