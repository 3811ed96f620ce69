#pragma once
// The handle API of the driver access layer: a table of up to 32 channels
// found by the enumeration and a table of 32 open handles, each handle a
// device of the card drivers opened by name. Results are 0 (or a handle
// number) on success and negative BuslibResult codes on failure.
#include <cstddef>
#include <cstdint>
#include <mutex>

enum BuslibResult : int {
    buslibOK = 0,
    buslibErrParam = -1,           // wrong parameter
    buslibErrNoMsg = -2,           // no message waiting
    buslibErrNotUsable = -3,       // device not usable with these open flags
    buslibErrHeld = -5,            // channel held exclusively by another user, or no channel opened
    buslibErrNotInitialized = -8,
    buslibErrNoHandle = -9,        // no free handle
    buslibErrInvalidHandle = -10,
    buslibErrOutputMode = -12,     // output mode not supported
    buslibErrTxQueueFull = -13,
    buslibErrHardware = -15,       // device missing or busy
    buslibErrDriverLoad = -23,
    buslibErrNoItem = -24,         // a required card-info item is not available
    buslibErrCardInfo = -26,       // card information can't be read
    buslibErrReserved = -29,
    buslibErrInternal = -30,
    buslibErrAccessDenied = -31,
};

// Flags of buslibOpen.
namespace buslib_open {
constexpr int exclusive = 0x08;
constexpr int require_capability = 0x10;  // the channel must have buslib_capability::open_flag_0x10
constexpr int accept_virtual = 0x20;      // accepts a channel with buslib_capability::virtual_channel
constexpr int override_exclusive = 0x40;
constexpr int require_init_access = 0x80;
constexpr int no_init_access = 0x100;
constexpr int can_fd = 0x400;
constexpr int can_fd_non_iso = 0x800;
constexpr int lin = 0x1000;
} // namespace buslib_open

// Bits of a channel's capability word.
namespace buslib_capability {
constexpr uint32_t open_flag_0x10 = 0x1;   // satisfies buslib_open::require_capability
constexpr uint32_t virtual_channel = 0x10000; // needs buslib_open::accept_virtual
constexpr uint32_t can_fd = 0x80000;
constexpr uint32_t can_fd_non_iso = 0x100000;
constexpr uint32_t lin = 0x4000000;
} // namespace buslib_capability

// Frame flags of buslibWrite and buslibRead.
namespace buslib_msg {
constexpr unsigned remote = 0x1;
constexpr unsigned standard = 0x2;
constexpr unsigned extended = 0x4;
constexpr unsigned wake_up = 0x8;
constexpr unsigned transceiver_error = 0x10;
constexpr unsigned error_frame = 0x20;
constexpr unsigned tx_ack = 0x40;
constexpr unsigned tx_request = 0x80;
constexpr unsigned can_fd = 0x100;
constexpr unsigned bit_rate_switch = 0x200; // written frames
constexpr unsigned overrun = 0x200;         // read frames
} // namespace buslib_msg

// Items of buslibGetChannelData.
namespace buslib_item {
constexpr int capability = 1;
constexpr int card_type = 4;
constexpr int card_index = 5;
constexpr int channel_on_card = 6;
constexpr int serial_number = 7;
constexpr int display_name = 13;
constexpr int transceiver_type = 17;
constexpr int user_channel_name = 39;
} // namespace buslib_item

// Items of buslibIoControl.
namespace buslib_ioctl {
constexpr int tx_ack = 7;            // one byte: 0 produced not delivered, 1 delivered, 2 refused
constexpr int rx_queue_level = 8;
constexpr int flush_rx_queue = 10;
constexpr int flush_tx_queue = 11;
constexpr int tx_request = 13;       // one byte: transmit requests delivered
constexpr int event_handle = 14;     // int: the notification event's descriptor
constexpr int device_handle = 17;    // platform::DeviceFile *
constexpr int set_init_access = 20;  // one byte
constexpr int get_init_access = 21;  // one byte
} // namespace buslib_ioctl

// Once per program: clears the handle table and enumerates the hardware.
int buslibInitialize();
// Rebuilds the channel table from the devices of the drivers' list.
int buslibEnumerateHardware();
int buslibChannelCount();
int buslibChannelCapability(int channel, uint32_t *capability);
int buslibGetChannelData(int channel, int item, void *buffer, size_t size);

// channel -1 takes the first channel that can be opened. Answers the handle.
int buslibOpen(int channel, int flags);
int buslibClose(int handle);
// notify: the handle's event is handed to the driver, which signals it when records wait.
int buslibBusOn(int handle, bool notify);
int buslibBusOff(int handle);
int buslibSetBitTiming(int handle, long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw, unsigned samples,
                       unsigned sync_mode);
int buslibSetBitTimingFd(int handle, long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw);
int buslibGetBitTiming(int handle, long *bitrate, unsigned *tseg1, unsigned *tseg2, unsigned *sjw, unsigned *samples,
                       unsigned *sync_mode);
// 0 and 1 silent, 4 normal; 8 is not supported.
int buslibSetOutputMode(int handle, int mode);
int buslibGetOutputMode(int handle, int *mode);
int buslibSetTransceiverMode(int handle, int mode, int flags);
// kind 3 standard code, 4 standard mask, 5 extended code, 6 extended mask.
int buslibAccept(int handle, long value, int kind);
int buslibIoControl(int handle, int item, void *buffer, size_t size);
int buslibWrite(int handle, long id, const void *data, unsigned length, unsigned flags);
// One frame of buslibWriteFrames: the arguments of buslibWrite.
struct BuslibFrame
{
    long id;
    const void *data;
    unsigned length;
    unsigned flags;
};
// Frames in order, as buslibWrite sends them, with one driver round trip for
// a run of classic frames (a CAN FD frame goes alone). *written counts the
// frames that went out before the first that did not; the result is that
// frame's, buslibOK when all went out.
int buslibWriteFrames(int handle, const BuslibFrame *frames, unsigned count, unsigned *written);
// *time is always 0: the records read here carry no time for this side.
int buslibRead(int handle, long *id, void *data, unsigned *length, unsigned *flags, unsigned long *time);

// The lock that guards both tables during enumeration, open and close, and
// how long those wait for it (5000 ms unless set; tests shorten it). After a
// failed wait open answers buslibErrInternal and the enumeration skips, while
// close goes on without the lock, so that no handle stays open for good.
std::timed_mutex &buslib_global_lock();
void buslib_set_lock_timeout_ms(int milliseconds);

// The driver records of one frame as buslibWrite sends them: one record, or
// for a CAN FD frame a run of a frame record and continuations. Answers the
// number of 22-byte records written to `records` (room for 5), -1 for a
// length outside 0-64 or both identifier kinds flagged.
int buslib_encode_frame(long id, const void *data, unsigned length, unsigned flags, uint8_t *records);
