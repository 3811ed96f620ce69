#pragma once
// The card drivers' devices as the driver access layer sees them: the 22-byte
// driver records, the card, channel and transceiver information, opening a
// channel device by name, and thin wrappers that each issue one control code
// (their buffers are the drivers' contract). Every wrapper answers 0 on
// success and -1 on failure unless said otherwise.
#include "platform/device_transport.h"

#include <cstdint>
#include <string>

// Control codes of the card drivers.
namespace canio_code {
constexpr uint32_t set_bit_timing = 0x80002010;
constexpr uint32_t set_acceptance = 0x80002018;
constexpr uint32_t select_std_acceptance = 0x8000201C;
constexpr uint32_t select_ext_acceptance = 0x80002020;
constexpr uint32_t request_statistic = 0x8000202C;
constexpr uint32_t request_chip_state = 0x80002038;
constexpr uint32_t reset_clock = 0x8000203C;
constexpr uint32_t read_clock = 0x80002040;
constexpr uint32_t write_clock = 0x80002044;
constexpr uint32_t activate = 0x80002048;
constexpr uint32_t deactivate = 0x8000204C;
constexpr uint32_t set_transceiver_mode = 0x80002050;
constexpr uint32_t timer_events = 0x80002058;
constexpr uint32_t map_rx_queue = 0x80002060;
constexpr uint32_t get_rx_queue = 0x80002068;
constexpr uint32_t reuse_rx_queue = 0x8000206C;
constexpr uint32_t set_rx_queue_size = 0x80002070;
constexpr uint32_t flush_rx_queue = 0x80002074;
constexpr uint32_t flush_tx_queue = 0x80002078;
constexpr uint32_t rx_queue_level = 0x8000207C;
constexpr uint32_t set_notification_event = 0x80002084;
constexpr uint32_t set_channel_index = 0x80002090;
constexpr uint32_t set_handle_name = 0x80002094;
constexpr uint32_t card_info = 0x8000209C;
constexpr uint32_t channel_info = 0x800020A0;
constexpr uint32_t transceiver_info = 0x800020A4;
constexpr uint32_t lock_queue = 0x800020A8;
constexpr uint32_t unlock_queue = 0x800020AC;
constexpr uint32_t set_channel_mode = 0x800020B0;
constexpr uint32_t set_output_mode = 0x800020BC;
constexpr uint32_t set_bit_timing_fd = 0x800020E4;
constexpr uint32_t card_info2 = 0x80002810;
constexpr uint32_t set_open_mode = 0x80002914;
constexpr uint32_t user_channel_name = 0x80002924;
} // namespace canio_code

// The driver record: the unit of every file write and read, and an entry of
// the receive queue. All integers little-endian.
namespace canio_record {
constexpr int size = 22;
// Byte offsets.
constexpr int type = 0;
constexpr int channel = 1;
constexpr int fd_flags = 3;
constexpr int time = 4;
constexpr int id = 8;
constexpr int flags = 12;
constexpr int length = 13;
constexpr int data = 14;
constexpr int continuation_data = 8; // the 14 data bytes of a continuation
constexpr int data_bytes = 8;
constexpr int continuation_bytes = 14;
// Record types.
constexpr uint8_t rx_frame = 1;
constexpr uint8_t frame_counters = 2;
constexpr uint8_t ext_frame_counters = 3;
constexpr uint8_t chip_state = 4;
constexpr uint8_t tx_frame = 10;
constexpr uint8_t continuation = 20;
// Driver frame flags (byte 12).
constexpr uint8_t error_frame = 0x1;
constexpr uint8_t overrun = 0x2;
constexpr uint8_t transceiver_error = 0x4;
constexpr uint8_t wake_up = 0x8;
constexpr uint8_t remote = 0x10;
constexpr uint8_t fd_frame = 0x20;
constexpr uint8_t tx_ack = 0x40;
constexpr uint8_t tx_request = 0x80;
// FD flags (byte 3).
constexpr uint8_t bit_rate_switch = 0x1;
constexpr uint8_t error_state_indicator = 0x2;
// Identifier bit 31 marks an extended identifier.
constexpr uint32_t extended_id = 0x80000000u;
} // namespace canio_record

// The receive queue the driver maps into the process: a header, then the
// 22-byte entries.
namespace canio_queue {
constexpr int status = 8;       // bit 31: the reader drained the queue
constexpr int write_index = 60;
constexpr int read_index = 64;
constexpr int capacity = 68;    // in entries
constexpr int entries = 76;
constexpr uint32_t drained = 0x80000000u;
} // namespace canio_queue

uint32_t canio_get_u32(const uint8_t *bytes);
void canio_put_u32(uint8_t *bytes, uint32_t value);

// What the driver tells about a card (376 bytes).
struct CanioCardInfo
{
    uint8_t raw[376] = {};
    std::string card_name() const;   // text at 0
    std::string driver_name() const; // text at 32
    uint32_t card_type() const { return canio_get_u32(raw + 64); }
    uint32_t card_number() const { return canio_get_u32(raw + 112); }
    uint32_t serial_number() const { return canio_get_u32(raw + 116); }
};

// What the driver tells about a channel, in the layout of 324 bytes.
struct CanioChannelInfo
{
    uint8_t raw[324] = {};
    uint32_t channel_on_card() const { return canio_get_u32(raw + 32); }
    uint32_t capability() const { return canio_get_u32(raw + 52); }
};

struct CanioTransceiverInfo
{
    uint8_t raw[32] = {};
    uint32_t transceiver_type() const { return canio_get_u32(raw); }
};

// Optional card information of newer drivers (128 bytes).
struct CanioCardInfo2
{
    uint8_t raw[128] = {};
};

// The capability word of the handle API from the driver's channel capability bits.
uint32_t canio_capability_from_driver(uint32_t driver_bits);

// Device paths: the probe "\\.\<name>.1", the init-access slot
// "\\.\<name>.init" and the numbered slots "\\.\<name>.<k>".
std::string canio_probe_path(const std::string &device_name);
std::string canio_init_path(const std::string &device_name);
std::string canio_slot_path(const std::string &device_name, int slot);

// Opens a channel device: with init access the ".init" slot, else the
// numbered slots 2 to 127, the first that opens; the search stops early at
// an error other than access denied or not found. Answers the system error
// of the last attempt (0 when a device opened).
int canio_open_device(platform::DeviceFile &device, const std::string &device_name, bool init_access);

int canio_set_bit_timing(platform::DeviceFile &device, uint32_t bitrate, uint32_t tseg1, uint32_t tseg2, uint32_t sjw,
                         uint32_t samples);
int canio_set_bit_timing_fd(platform::DeviceFile &device, uint32_t bitrate, uint32_t tseg1, uint32_t tseg2,
                            uint32_t sjw);
// -1 also when the driver refuses the mode.
int canio_set_open_mode(platform::DeviceFile &device, uint32_t mode);
// The event's descriptor goes to the driver, which signals it; 0 clears it.
int canio_set_notification_event(platform::DeviceFile &device, int event_fd);
int canio_set_rx_queue_size(platform::DeviceFile &device, uint32_t entries);
int canio_set_channel_index(platform::DeviceFile &device, uint32_t index);
int canio_activate(platform::DeviceFile &device);
int canio_deactivate(platform::DeviceFile &device);
int canio_request_statistic(platform::DeviceFile &device);
int canio_request_chip_state(platform::DeviceFile &device);
int canio_reset_clock(platform::DeviceFile &device);
int canio_read_clock(platform::DeviceFile &device, uint32_t *seconds, uint32_t *microseconds);
int canio_write_clock(platform::DeviceFile &device, uint32_t seconds, uint32_t microseconds);
int canio_rx_queue_level(platform::DeviceFile &device, uint32_t *level);
int canio_flush_rx_queue(platform::DeviceFile &device);
int canio_flush_tx_queue(platform::DeviceFile &device);
// The extended selector when code or mask is negative, else the standard
// one; then the pair (mask, code).
int canio_set_acceptance(platform::DeviceFile &device, int32_t code, int32_t mask);
int canio_set_transceiver_mode(platform::DeviceFile &device, uint32_t mode, uint32_t flags);
int canio_set_channel_mode(platform::DeviceFile &device, bool tx_ack, bool tx_request);
int canio_set_output_mode(platform::DeviceFile &device, uint32_t mode);
int canio_lock_queue(platform::DeviceFile &device);
int canio_unlock_queue(platform::DeviceFile &device);
// The address of the queue mapped into the process, null on failure.
uint8_t *canio_map_rx_queue(platform::DeviceFile &device);
int canio_enable_timer_events(platform::DeviceFile &device, bool on);
// At most 64 characters of the name are sent.
int canio_set_handle_name(platform::DeviceFile &device, const std::string &name);
int canio_get_card_info(platform::DeviceFile &device, CanioCardInfo *info);
// Converts the answers of older drivers (320 or 312 bytes) into the new layout.
int canio_get_channel_info(platform::DeviceFile &device, CanioChannelInfo *info);
int canio_get_transceiver_info(platform::DeviceFile &device, CanioTransceiverInfo *info);
int canio_get_card_info2(platform::DeviceFile &device, CanioCardInfo2 *info);
// The name the user stored for a channel; -1 when there is none.
int canio_get_user_channel_name(platform::DeviceFile &device, uint32_t channel, std::string *name);

// Moves the device's clock back by the milliseconds.
int canio_adjust_clock(platform::DeviceFile &device, int milliseconds);
// Copies the source device's clock into the target device.
int canio_copy_clock(platform::DeviceFile &target, platform::DeviceFile &source);
// Lets the target's frames go into the source's receive queue.
int canio_connect(platform::DeviceFile &target, platform::DeviceFile &source);
