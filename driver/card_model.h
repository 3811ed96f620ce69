#pragma once
// The virtual driver's data model: cards (card_info), their channels
// (chip_info), the device objects with their extensions (dev_ext) and the
// per-device handles (dev_handle) with what a handle decides by itself:
// acceptance, auto-response matches, frame counts and bus load.
#include "driver/kernel_services.h"
#include "driver/message_record.h"
#include "driver/rx_queue.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct card_info;
struct chip_info;
struct dev_handle;

// The extension of every device object: its card, its channel (none for the
// ".info" and ".exclusive" devices) and its handle.
struct dev_ext
{
    card_info *card = nullptr;
    chip_info *chip = nullptr;
    dev_handle *handle = nullptr;
};

// One auto-response slot: a frame sent when a received frame matches.
struct auto_response
{
    bool in_use = false;
    bool enabled = false;
    uint32_t code = 0;
    uint32_t mask = 0;
    uint32_t flags = 0; // bit 0: answer only remote frames
    MessageRecord record;
};

// Frames counted per handle from bus on, for the statistics events.
struct handle_counters
{
    uint32_t std_data_received = 0, std_data_sent = 0;
    uint32_t ext_data_received = 0, ext_data_sent = 0;
    uint32_t std_remote_received = 0, std_remote_sent = 0;
    uint32_t ext_remote_received = 0, ext_remote_sent = 0;
    uint32_t error_frames_received = 0, error_frames_sent = 0;
};

// The part of a handle that every close resets.
struct handle_state
{
    char name[65] = {};
    uint32_t tx_acknowledge_mode = 0;
    uint32_t tx_request_mode = 0;
    bool suppress_chip_state_broadcasts = false;
    bool suppress_error_frames = false;
    bool overrun_pending = false;
    uint32_t overrun_count = 0;
    bool overwrite_when_full = false;
    uint32_t timer_rate = 0;  // ms, 0 = no timer records
    uint32_t channel_tag = 0; // its low byte goes into byte 1 of every record delivered here
    bool on_bus = false;
    // Clock offset as seconds and microseconds, and as one count of 10 µs.
    uint32_t clock_offset_seconds = 0;
    uint32_t clock_offset_microseconds = 0;
    uint32_t clock_offset = 0;
    handle_counters counters;
    uint64_t load_bits = 0;
    uint32_t load_time = 0;
    uint32_t bus_load = 0; // 0.01 %
    RxQueue *queue = nullptr;
    // Standard identifiers that pass; absent: every one passes.
    std::unique_ptr<std::bitset<2048>> acceptance;
    bool extended_filter = false;
    uint32_t extended_code = 0;
    uint32_t extended_mask = 0;
    std::unique_ptr<std::array<auto_response, 8>> auto_responses;
    // Slots that received frames marked for an answer, sent by the handle's
    // one pending work item.
    uint8_t auto_responses_marked = 0;
    // The queue mapped into the client's process, if any.
    RxQueue *mapped_queue = nullptr;
    // The buffer a client named as its own receive queue (recorded only).
    uint32_t user_queue_address = 0;
    uint32_t user_queue_length = 0;
};

// The handle of one device object, reset at every open and close.
struct dev_handle : handle_state
{
    bool init_access = false;          // the channel's "init" slot
    bool exclusive_device = false;     // the card's ".exclusive" device
    const dev_ext *identity = nullptr; // marks the sender of a frame
    uint32_t opened = 0;               // counts the opens, so deferred work sees a reopened handle

    void reset() { static_cast<handle_state &>(*this) = handle_state(); }

    // Whether the acceptance filters pass the identifier (bit 31: extended).
    bool accepts(uint32_t id) const;
    // Sets the standard bitmap (a mask and code of standard identifiers, or
    // 0xFFFF twice: none passes) or the extended filter.
    void set_acceptance(uint32_t mask, uint32_t code);
    // Counts a frame delivered here for the statistics and the bus load.
    void count_frame(const MessageRecord &record);
    // A record dropped for want of room in the queue: counted here and in
    // the queue's header, and marked on the next record stored.
    void count_overrun();
    // The bus load since the last update (or bus on) at the channel's bit
    // rate; now is the driver's time in 10 µs.
    void update_bus_load(uint32_t bitrate, uint32_t now);
    // The auto-response slots that answer the received frame, as bits.
    uint8_t match_auto_responses(const MessageRecord &record) const;
};

// One channel of a card.
struct chip_info
{
    std::vector<dev_handle *> handles; // open handles, the newest first
    uint32_t index = 0;
    uint32_t opened_slots = 0;
    uint32_t on_bus_count = 0;
    uint32_t bitrate = 500000;
    uint32_t tseg1 = 4;
    uint32_t tseg2 = 3;
    uint32_t sjw = 1;
    uint32_t sampling = 1; // 1: three samples per bit
    uint32_t output_mode = 0;
    uint32_t chip_state = vrbus::record::kChipBusOff;
    uint32_t capabilities = 0x001C0083;
};

// A device object with its link (the name clients open) and its extension.
// Devices are exclusive: one open at a time.
struct device_object
{
    std::string device_name;
    std::string link_name;
    dev_ext extension;
    dev_handle handle;
    bool is_open = false;
};

// One virtual card.
struct card_info
{
    uint32_t number = 0;
    uint32_t channel_count = 0;
    bool present = false;
    bool started = false;
    uint32_t open_count = 0;
    bool exclusive = false;
    uint32_t slots_per_channel = 16;
    bool connect_channels = false;
    uint32_t timer_rate = 0; // ms, 0 = stopped
    std::unique_ptr<KernelTimer> timer;
    std::vector<std::unique_ptr<chip_info>> chips;
    std::vector<std::unique_ptr<device_object>> links;
};
