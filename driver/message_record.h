#pragma once
// The 22-byte record in which the driver hands every frame and event to user
// mode and takes the frames to send: packed, little-endian, the layout that
// the receive queue and the device reads and writes share.
#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record layout is little-endian");

#pragma pack(push, 1)
struct MessageRecord
{
    uint8_t kind = 0;
    uint8_t channel = 0;  // channel tag of the receiving handle
    uint8_t byte2 = 0;    // 0 in delivered frames and events
    uint8_t reserved = 0;
    uint32_t time = 0;    // 10 µs units, on the receiving handle's clock
    uint32_t id = 0;      // bit 31: extended identifier
    uint8_t flags = 0;
    uint8_t length = 0;
    uint8_t data[8] = {};

    // Event records use the bytes from offset 8 as words.
    void put_u32(unsigned offset, uint32_t value) { std::memcpy(bytes() + offset, &value, 4); }
    void put_u16(unsigned offset, uint16_t value) { std::memcpy(bytes() + offset, &value, 2); }
    uint8_t *bytes() { return reinterpret_cast<uint8_t *>(this); }
};
#pragma pack(pop)
static_assert(sizeof(MessageRecord) == 22, "a message record is 22 bytes");

namespace record_kind {
constexpr uint8_t kFrame = 1;
constexpr uint8_t kStatisticsStandard = 2;
constexpr uint8_t kStatisticsExtended = 3;
constexpr uint8_t kChipState = 4;
constexpr uint8_t kTimer = 8;
constexpr uint8_t kAutoResponse = 10;  // held in an auto-response slot; also the kind of written frames
constexpr uint8_t kFdContinuation = 20; // CAN FD continuation: not carried by the virtual bus
} // namespace record_kind

namespace record_flag {
constexpr uint8_t kErrorFrame = 0x01;
constexpr uint8_t kOverrun = 0x02;    // on write: the time stamp is the writer's own
constexpr uint8_t kRemote = 0x10;
constexpr uint8_t kCanFd = 0x20;      // not carried by the virtual bus
constexpr uint8_t kTxAcknowledge = 0x40;
constexpr uint8_t kTxRequest = 0x80;
} // namespace record_flag

constexpr uint32_t kExtendedId = 0x80000000u;

// Chip states.
constexpr uint32_t kChipBusOff = 1;
constexpr uint32_t kChipErrorActive = 8;
