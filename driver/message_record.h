#pragma once
// The 22-byte record in which the driver hands every frame and event to user
// mode and takes the frames to send (vrbus::record): packed, little-endian,
// the layout that the receive queue and the device reads and writes share.
#include "platform/vrbus_contract.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record layout is little-endian");

#pragma pack(push, 1)
struct MessageRecord
{
    uint8_t kind = 0;
    uint8_t channel = 0;  // channel tag of the receiving handle
    uint8_t byte2 = 0;    // 0 in delivered frames and events
    uint8_t reserved = 0; // the FD flags: the virtual bus carries classic frames only
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

static_assert(sizeof(MessageRecord) == vrbus::record::kSize, "a message record is 22 bytes");
static_assert(offsetof(MessageRecord, channel) == vrbus::record::kChannelAt
                  && offsetof(MessageRecord, time) == vrbus::record::kTimeAt
                  && offsetof(MessageRecord, id) == vrbus::record::kIdAt
                  && offsetof(MessageRecord, flags) == vrbus::record::kFlagsAt
                  && offsetof(MessageRecord, length) == vrbus::record::kLengthAt
                  && offsetof(MessageRecord, data) == vrbus::record::kDataAt,
              "the record layout of the contract");
