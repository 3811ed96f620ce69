#pragma once
// The card drivers' devices as the driver access layer sees them: the 22-byte
// driver records, the card, channel and transceiver information, opening a
// channel device by name, and thin wrappers that each issue one control code
// (their buffers are the drivers' contract). Every wrapper answers 0 on
// success and -1 on failure unless said otherwise.
#include "platform/device_transport.h"
#include "platform/vrbus_contract.h"

#include <cstdint>
#include <string>

// The control codes, the record and the receive queue: vrbus_contract.h
// (the maker's card drivers share the virtual driver's contract).

uint32_t canio_get_u32(const uint8_t *bytes);
void canio_put_u32(uint8_t *bytes, uint32_t value);

// What the driver tells about a card (vrbus::card_info).
struct CanioCardInfo
{
    uint8_t raw[vrbus::card_info::kSize] = {};
    std::string card_name() const;
    std::string driver_name() const;
    uint32_t card_type() const { return canio_get_u32(raw + vrbus::card_info::kCardTypeAt); }
    uint32_t card_number() const { return canio_get_u32(raw + vrbus::card_info::kCardNumberAt); }
    uint32_t serial_number() const { return canio_get_u32(raw + vrbus::card_info::kSerialNumberAt); }
};

// What the driver tells about a channel, in the newer layout (vrbus::channel_info).
struct CanioChannelInfo
{
    uint8_t raw[vrbus::channel_info::kNewSize] = {};
    uint32_t channel_on_card() const { return canio_get_u32(raw + vrbus::channel_info::kChannelIndexAt); }
    uint32_t capability() const { return canio_get_u32(raw + vrbus::channel_info::kCapabilityAt); }
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
