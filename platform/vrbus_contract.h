#pragma once
// The virtual CAN bus driver's contract with its callers, kept to the byte:
// the control codes, the 22-byte record, the receive queue's layout, the
// event slots, and the card and channel information layouts. The driver
// (vrbus), the driver access layer, the device transport, the tests and the
// benchmarks all take them from here; the statuses are in nt_status.h.
//
// Codes are built as device type 0x8000, buffered method, any access:
// 0x80000000 + 4 × function. Input and output share the buffer; words are
// 32-bit little-endian.
#include <cstdint>

namespace vrbus {

namespace code {
constexpr uint32_t kSetDebugFlags = 0x80002004;
constexpr uint32_t kGetDebugFlags = 0x80002008;
constexpr uint32_t kSetBitrate = 0x8000200C;
constexpr uint32_t kSetChipParams = 0x80002010; // the bit timing
constexpr uint32_t kGetChipParams = 0x80002014;
constexpr uint32_t kSetAcceptance = 0x80002018;      // mask, code
constexpr uint32_t kClearAcceptanceStd = 0x8000201C; // also selects the standard-identifier acceptance
constexpr uint32_t kClearAcceptanceExt = 0x80002020; // also selects the extended-identifier acceptance
constexpr uint32_t kRequestStatistics = 0x8000202C;
constexpr uint32_t kRequestChipState = 0x80002038;
constexpr uint32_t kResetClock = 0x8000203C;
constexpr uint32_t kGetClockOffset = 0x80002040; // the clock: seconds, microseconds
constexpr uint32_t kSetClockOffset = 0x80002044;
constexpr uint32_t kBusOn = 0x80002048;
constexpr uint32_t kBusOff = 0x8000204C;
constexpr uint32_t kSetTransceiverMode = 0x80002050;
constexpr uint32_t kGetChannelWords = 0x80002054;
constexpr uint32_t kSetTimerRate = 0x80002058; // timer events: milliseconds, 0 = off
constexpr uint32_t kGetTimerRate = 0x8000205C;
constexpr uint32_t kMapRxQueue = 0x80002060;
constexpr uint32_t kUnmapRxQueue = 0x80002064;
constexpr uint32_t kGetRxQueue = 0x80002068;
constexpr uint32_t kReuseRxQueue = 0x8000206C;
constexpr uint32_t kSetRxQueueSize = 0x80002070;
constexpr uint32_t kFlushRxQueue = 0x80002074;
constexpr uint32_t kFlushTxQueue = 0x80002078;
constexpr uint32_t kGetRxQueueLevel = 0x8000207C;
constexpr uint32_t kGetTxQueueLevel = 0x80002080;
constexpr uint32_t kSetNotification = 0x80002084; // event, notify level
constexpr uint32_t kSetChannelIndex = 0x80002090;
constexpr uint32_t kSetHandleName = 0x80002094;
constexpr uint32_t kGetHandleInfo = 0x80002098;
constexpr uint32_t kGetCardInfo = 0x8000209C;
constexpr uint32_t kGetChannelInfo = 0x800020A0;
// The channel's hardware counters; a card driver answers its transceiver
// information here (32 bytes as well, the type in word 0).
constexpr uint32_t kGetChannelCounters = 0x800020A4;
constexpr uint32_t kLockRxQueue = 0x800020A8;
constexpr uint32_t kUnlockRxQueue = 0x800020AC;
constexpr uint32_t kSetChannelMode = 0x800020B0; // transmit acknowledgements, transmit requests
constexpr uint32_t kGetChannelMode = 0x800020B4;
constexpr uint32_t kGetLogMessage = 0x800020B8;
constexpr uint32_t kSetOutputMode = 0x800020BC;
constexpr uint32_t kGetOutputMode = 0x800020C0;
constexpr uint32_t kSetEventSuppression = 0x800020C4;
constexpr uint32_t kGetEventSuppression = 0x800020C8;
constexpr uint32_t kAcceptStdRange = 0x800020CC;
constexpr uint32_t kGetChannelName = 0x800020D0;
constexpr uint32_t kRejectStdRange = 0x800020D4;
// Codes of the card drivers that the virtual driver does not answer.
constexpr uint32_t kSetChipParamsFd = 0x800020E4; // the data-phase bit timing
constexpr uint32_t kSetOpenMode = 0x80002914;
constexpr uint32_t kGetUserChannelName = 0x80002924;

constexpr uint32_t kSetEvents = 0x80002804; // four events, see event_slot
constexpr uint32_t kSetUserDefinedRxQueue = 0x8000280C;
constexpr uint32_t kGetCardInfo2 = 0x80002810;
constexpr uint32_t kGetChannelInfo2 = 0x80002814;
constexpr uint32_t kClearAutoResponses = 0x80002818;
constexpr uint32_t kAllocAutoResponse = 0x8000281C;
constexpr uint32_t kFreeAutoResponse = 0x80002820;
constexpr uint32_t kWriteAutoResponse = 0x80002824;
constexpr uint32_t kSetAutoResponseFilter = 0x80002828;
constexpr uint32_t kSetAutoResponseFlags = 0x8000282C;
constexpr uint32_t kEnableAutoResponse = 0x80002830;
constexpr uint32_t kDisableAutoResponse = 0x80002834;
constexpr uint32_t kListChannels = 0x80002848;
constexpr uint32_t kGetCardText1 = 0x8000284C;
constexpr uint32_t kGetCardText2 = 0x80002850;
constexpr uint32_t kSetOverwriteMode = 0x80002854;
} // namespace code

// The slots of the event table that kSetEvents fills, in word order.
namespace event_slot {
constexpr int kTxAcknowledge = 0;
constexpr int kReceive = 1;
constexpr int kChipState = 2;
constexpr int kErrorFrame = 3;
constexpr int kCount = 4;
} // namespace event_slot

// The record in which every frame and event travels: the unit of device
// reads and writes and an entry of the receive queue.
namespace record {
constexpr uint32_t kSize = 22;
// Byte offsets.
constexpr int kKindAt = 0;
constexpr int kChannelAt = 1; // the receiving handle's channel index
constexpr int kFdFlagsAt = 3;
constexpr int kTimeAt = 4; // 10 µs units
constexpr int kIdAt = 8;
constexpr int kFlagsAt = 12;
constexpr int kLengthAt = 13;
constexpr int kDataAt = 14;
constexpr int kContinuationDataAt = 8; // the 14 data bytes of a continuation
constexpr int kDataBytes = 8;
constexpr int kContinuationBytes = 14;
// Kinds (byte 0).
constexpr uint8_t kFrame = 1;            // received
constexpr uint8_t kFrameCounters = 2;    // statistics: standard frames, error frames, bus load
constexpr uint8_t kExtFrameCounters = 3; // statistics: extended frames
constexpr uint8_t kChipState = 4;        // byte 8 state, 9 transmit errors, 10 receive errors
constexpr uint8_t kTimer = 8;
constexpr uint8_t kTxFrame = 10;      // written; also an auto response's record
constexpr uint8_t kContinuation = 20; // CAN FD data beyond the first 8 bytes
// Frame flags (byte 12).
constexpr uint8_t kErrorFrame = 0x01;
constexpr uint8_t kOverrun = 0x02; // on write: the time stamp is the writer's own
constexpr uint8_t kTransceiverError = 0x04;
constexpr uint8_t kWakeUp = 0x08;
constexpr uint8_t kRemote = 0x10;
constexpr uint8_t kFdFrame = 0x20;
constexpr uint8_t kTxAcknowledge = 0x40;
constexpr uint8_t kTxRequest = 0x80;
// FD flags (byte 3).
constexpr uint8_t kBitRateSwitch = 0x1;
constexpr uint8_t kErrorStateIndicator = 0x2;
// Identifier bit 31 marks an extended identifier.
constexpr uint32_t kExtendedId = 0x80000000u;
// Chip states (byte 8 of a chip-state record).
constexpr uint8_t kChipBusOff = 1;
constexpr uint8_t kChipErrorPassive = 2;
constexpr uint8_t kChipWarning = 4;
constexpr uint8_t kChipErrorActive = 8;
} // namespace record

// The receive queue that kMapRxQueue maps into the caller: a header, then
// capacity entries of one record each. The driver moves the write index,
// the reader the read index; the queue holds at most capacity - 1 records.
namespace queue {
// Header byte offsets.
constexpr int kVersionAt = 0;
constexpr int kEntrySizeAt = 4;
constexpr int kStatusAt = 8; // bit 31: the reader drained the queue
constexpr int kReferencesAt = 12;
constexpr int kNotifyLevelAt = 16;
// Records the driver dropped for want of room, counted from the queue's
// creation (modulo 2^32); the reader tells the lost frames of an overrun by it.
constexpr int kOverrunCountAt = 20;
constexpr int kTagAt = 24;
constexpr int kControlBlockAt = 56;
constexpr int kWriteIndexAt = 60;
constexpr int kReadIndexAt = 64;
constexpr int kCapacityAt = 68; // in entries
constexpr int kSuspendedAt = 72;
constexpr int kEntriesAt = 76;
constexpr uint32_t kLayoutVersion = 2;
constexpr uint32_t kDrained = 0x80000000u;
constexpr uint32_t kMaxCapacity = 0x80000;
} // namespace queue

// What kGetCardInfo answers (376 bytes): byte offsets.
namespace card_info {
constexpr uint32_t kSize = 376;
constexpr int kCardNameAt = 0;    // text, 32 bytes
constexpr int kDriverNameAt = 32; // text, 32 bytes
constexpr int kCardTypeAt = 64;
constexpr int kChannelCountAt = 68;
constexpr int kVersionAt = 72; // three words
constexpr int kCardNumberAt = 112;
constexpr int kSerialNumberAt = 116;
constexpr int kTimerRateAt = 120;
} // namespace card_info

// What kGetChannelInfo answers: the virtual driver and older card drivers
// 320 bytes, newer card drivers 324, in whose layout the bytes from 56 on
// stand 4 bytes later. Byte offsets.
namespace channel_info {
constexpr uint32_t kSize = 320;
constexpr uint32_t kNewSize = 324;
constexpr int kNameAt = 0; // text, 32 bytes
constexpr int kChannelIndexAt = 32;
constexpr int kCapabilityAt = 52;
constexpr int kStatusAt = 56; // 0x08 a handle is on bus, 0x04 the chip is not bus off
} // namespace channel_info

} // namespace vrbus
