#pragma once
// The CAN message record: the frame exchanged at the hardware boundary.
// Depends on nothing, so every layer can pass it around. A
// channel writes it in read_can_message, a CAN interface hands it to write;
// message queues, windows and log files keep copies of it. 80 bytes.
#include <cstdint>

struct VyrCanMessage
{
    // Flag bits of `flags`.
    enum Flag : uint32_t {
        Remote = 0x1,
        Filter = 0x2,          // set by a script handler that filters the frame
        Extended = 0x4,        // extended identifier
        WakeUp = 0x8,
        TransceiverError = 0x10, // NERR
        ErrorFrame = 0x20,
        TxAck = 0x40,          // echo of a frame this channel sent
        TxRequest = 0x80,
        OneShot = 0x100,
        HardwareOverrun = 0x200,
        SoftwareOverrun = 0x400,
        LinHeader = 0x800,
        // Reserved for the message view, which marks its own copies of a
        // frame with them; no channel or log sets them.
        ViewSelected = 0x1000,
        ViewHidden = 0x4000,
        LinChecksum = 0x8000,
        FdFrame = 0x10000,     // EDL
        BitRateSwitch = 0x20000,
        ErrorStateIndicator = 0x40000,
    };
    static constexpr int max_data = 64;

    uint32_t id = 0;           // identifier without marker bits
    uint32_t time = 0;         // milliseconds since the channel's clock was reset
    uint8_t channel = 0;       // index of the receiving channel (set_channel_index)
    uint8_t dlc = 0;           // data length in bytes, 0-8 classic, up to 64 CAN FD
    uint8_t reserved = 0;      // not written by channels
    uint8_t time_fraction = 0; // hundredths of a millisecond beyond `time` (0-99)
    uint32_t flags = 0;
    uint8_t data[max_data] = {};

    // Parses an identifier literal ("100", "100h", "1FFhx", "7E0hr", "12s+",
    // "ERR") into id and flags (an error frame also gets length 0). 0 on
    // success, -1 when the text is empty or holds no digit.
    static int parse_id(VyrCanMessage &message, const char *text);
    // parse_id for a text that must be one literal and nothing else: -1 also
    // when other characters follow the digits ("0x100", "1A") or the number
    // does not fit 32 bits.
    static int parse_whole_id(VyrCanMessage &message, const char *text);
    // Zeroes identifier, time, channel, length and data; the flags stay.
    static void clear(VyrCanMessage &message);
    // The data bytes the frame carries: none for a remote or error frame,
    // else the length capped at 64 for CAN FD and at 8 for a classic frame.
    static int data_length(const VyrCanMessage &message)
    {
        if (message.flags & (Remote | ErrorFrame))
            return 0;
        const int cap = message.flags & FdFrame ? max_data : 8;
        return message.dlc < cap ? message.dlc : cap;
    }
};

static_assert(sizeof(VyrCanMessage) == 80, "the CAN message record is 80 bytes");
