#pragma once
// The virtual CAN bus driver: one virtual card of one to eight channels whose
// open handles pass every frame written on one of them to the receive queues
// of the others. This is the driver record with its entry points (start,
// unload, open, close, read, write, device control) over the data model of
// cards (card_info), channels (chip_info), device extensions (dev_ext) and
// per-device handles (dev_handle).
#include "driver/driver_log.h"
#include "driver/event_loop.h"
#include "driver/kernel_services.h"
#include "driver/message_record.h"
#include "driver/rx_queue.h"
#include "driver/time_base.h"
#include "platform/nt_status.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

using platform::NTSTATUS;

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
    uint32_t timer_rate = 0; // ms, 0 = no timer records
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
    bool init_access = false;      // the channel's "init" slot
    bool exclusive_device = false; // the card's ".exclusive" device
    const dev_ext *identity = nullptr; // marks the sender of a frame
    uint32_t opened = 0; // counts the opens, so deferred work sees a reopened handle

    void reset() { static_cast<handle_state &>(*this) = handle_state(); }
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

class VrbusDriver;

// The virtual-hardware operations that the generic card and channel code
// calls; an empty entry is skipped.
struct card_operations
{
    void (VrbusDriver::*start_card)(card_info *card);
    void (VrbusDriver::*go_bus_on)(card_info *card, chip_info *chip);
    void (VrbusDriver::*go_bus_off)(card_info *card, chip_info *chip);
    void (VrbusDriver::*request_chip_state)(card_info *card, chip_info *chip, dev_handle *requester);
    void (VrbusDriver::*request_statistics)(card_info *card, chip_info *chip, dev_handle *requester);
    int (VrbusDriver::*read_clock)(card_info *card, uint32_t *seconds, uint32_t *microseconds);
    void (VrbusDriver::*set_bus_parameters)(card_info *card, chip_info *chip);
    void (VrbusDriver::*set_output_mode)(card_info *card, chip_info *chip);
    void (VrbusDriver::*set_transceiver_mode)(card_info *card, chip_info *chip, uint32_t mode, uint32_t argument);
    void (VrbusDriver::*read_channel_counters)(card_info *card, chip_info *chip);
    void (VrbusDriver::*flush_transmit_buffers)(card_info *card, chip_info *chip);
    void (VrbusDriver::*set_timer_rate)(card_info *card, uint32_t ms);
    int (VrbusDriver::*transmit)(card_info *card, chip_info *chip, dev_handle *sender, const MessageRecord *records,
                                 uint32_t count);
    void (VrbusDriver::*stop_timer)(card_info *card);
};

// A device control request as the I/O manager hands it over: input and
// output share the system buffer.
struct IoControlRequest
{
    uint32_t code = 0;
    uint32_t in_len = 0;
    uint32_t out_len = 0;
    std::vector<uint8_t> buffer; // max(in_len, out_len) bytes, the input first
    std::vector<int> event_fds;  // eventfds passed with the request, owned until taken
    int reply_fd = -1;           // a descriptor to pass back (owned by the driver)
    uint32_t information = 0;
};

class VrbusDriver
{
public:
    static constexpr const char *kDriverName = "vrbus";
    static constexpr const char *kCardName = "Virtual";
    static constexpr uint32_t kVersion[3] = {3, 0, 1};
    // Registry keys below the machine hive.
    static constexpr const char *kRegistryRoot = "Software\\VINDRA AB\\VIVozozav 1.0\\";
    // Bit rates a channel runs with.
    static constexpr uint32_t kMinBitrate = 5000;
    static constexpr uint32_t kMaxBitrate = 1000000;

    explicit VrbusDriver(EventLoop &loop);
    ~VrbusDriver();
    VrbusDriver(const VrbusDriver &) = delete;
    VrbusDriver &operator=(const VrbusDriver &) = delete;

    // Driver start: reads the registry, makes card 0 with its devices.
    NTSTATUS driver_entry();
    // Stops the card timer, closes what is open and frees every card.
    void unload();

    // Opens a device by its link name as the I/O manager would: unknown
    // names and devices already open are refused before the driver's own
    // open runs.
    NTSTATUS open_device(const std::string &link_name, device_object **device);
    void close_device(device_object *device);
    NTSTATUS read(device_object *device, uint8_t *buffer, uint32_t length, uint32_t *information);
    NTSTATUS write(device_object *device, const uint8_t *buffer, uint32_t length, uint32_t *information);
    NTSTATUS device_control(device_object *device, IoControlRequest &request);

private:
    struct ControlCode;
    static const ControlCode kControlCodes[];

    static const card_operations &virtual_card();
    // Runs a card operation unless its entry is empty.
    template <typename Operation, typename... Args>
    void run_operation(Operation operation, Args... args)
    {
        if (operation)
            (this->*operation)(args...);
    }

    // Start-up and devices.
    card_info *make_card(uint32_t number, uint32_t channel_count);
    NTSTATUS make_devices(card_info *card, uint32_t channel, uint32_t first, uint32_t last);
    NTSTATUS make_device(card_info *card, chip_info *chip, const std::string &suffix, bool init_access,
                         bool exclusive_device);
    void grow_slots(card_info *card);
    void load_bus_parameters(card_info *card, chip_info *chip);
    NTSTATUS create(device_object *device);
    void close(device_object *device);
    void release_queue(dev_handle *handle);
    void unmap_queue(dev_handle *handle);
    uint32_t new_queue_id();

    // The virtual card's operations.
    void vcard_start(card_info *card);
    void vcard_go_bus_on(card_info *card, chip_info *chip);
    void vcard_go_bus_off(card_info *card, chip_info *chip);
    void vcard_request_chip_state(card_info *card, chip_info *chip, dev_handle *requester);
    void vcard_request_statistics(card_info *card, chip_info *chip, dev_handle *requester);
    int vcard_read_clock(card_info *card, uint32_t *seconds, uint32_t *microseconds);
    void vcard_set_timer_rate(card_info *card, uint32_t ms);
    int vcard_transmit(card_info *card, chip_info *chip, dev_handle *sender, const MessageRecord *records,
                       uint32_t count);
    void vcard_stop_timer(card_info *card);

    // Frame delivery and events.
    void deliver(chip_info *chip, const dev_ext *sender, const MessageRecord &record);
    void deliver_to_handle(chip_info *chip, dev_handle *handle, const dev_ext *sender, const MessageRecord &record);
    static bool accepts(const dev_handle *handle, uint32_t id);
    void deliver_event(chip_info *chip, dev_handle *requester, MessageRecord record,
                       const MessageRecord *second = nullptr);
    void store_event(dev_handle *handle, const MessageRecord &record);
    void broadcast_chip_state(chip_info *chip, dev_handle *requester);
    void count_frame(dev_handle *handle, const MessageRecord &record);
    uint8_t match_auto_responses(const dev_handle *handle, const MessageRecord &record) const;
    void send_auto_responses(card_info *card, chip_info *chip, dev_handle *handle, uint32_t opened);
    void card_timer_tick(card_info *card);
    // Ends a round of deliveries (a request, a timer tick, the auto responses
    // of a handle): every queue gets the signals that came due in it, once.
    void send_due_signals();
    void recompute_card_timer(card_info *card);

    // Bus on and off, the bit-timing search and the acceptance setting.
    NTSTATUS bus_on(card_info *card, chip_info *chip, dev_handle *handle);
    NTSTATUS bus_off(card_info *card, chip_info *chip, dev_handle *handle);
    void update_bus_load(chip_info *chip, dev_handle *handle);
    static bool valid_bus_timing(uint32_t bitrate, uint32_t tseg1, uint32_t tseg2, uint32_t sjw);
    static bool find_bit_timing(uint32_t bitrate, uint32_t sample_point, uint32_t *tseg1, uint32_t *tseg2);
    static void set_acceptance(dev_handle *handle, uint32_t mask, uint32_t code);

    // Control codes (control_codes.cpp).
    struct Call;
    NTSTATUS ioctl_set_debug_flags(Call &call);
    NTSTATUS ioctl_get_debug_flags(Call &call);
    NTSTATUS ioctl_set_bitrate(Call &call);
    NTSTATUS ioctl_set_chip_params(Call &call);
    NTSTATUS ioctl_get_chip_params(Call &call);
    NTSTATUS ioctl_set_acceptance(Call &call);
    NTSTATUS ioctl_clear_acceptance_std(Call &call);
    NTSTATUS ioctl_clear_acceptance_ext(Call &call);
    NTSTATUS ioctl_request_statistics(Call &call);
    NTSTATUS ioctl_request_chip_state(Call &call);
    NTSTATUS ioctl_reset_clock(Call &call);
    NTSTATUS ioctl_get_clock_offset(Call &call);
    NTSTATUS ioctl_set_clock_offset(Call &call);
    NTSTATUS ioctl_buson(Call &call);
    NTSTATUS ioctl_busoff(Call &call);
    NTSTATUS ioctl_set_transceiver_mode(Call &call);
    NTSTATUS ioctl_get_channel_words(Call &call);
    NTSTATUS ioctl_set_timer_rate(Call &call);
    NTSTATUS ioctl_get_timer_rate(Call &call);
    NTSTATUS ioctl_map_rx_queue(Call &call);
    NTSTATUS ioctl_unmap_rx_queue(Call &call);
    NTSTATUS ioctl_get_rx_queue(Call &call);
    NTSTATUS ioctl_reuse_rx_queue(Call &call);
    NTSTATUS ioctl_set_rx_queue_size(Call &call);
    NTSTATUS ioctl_flush_rx_queue(Call &call);
    NTSTATUS ioctl_flush_tx_queue(Call &call);
    NTSTATUS ioctl_get_rx_queue_level(Call &call);
    NTSTATUS ioctl_get_tx_queue_level(Call &call);
    NTSTATUS ioctl_set_notification(Call &call);
    NTSTATUS ioctl_set_channel_index(Call &call);
    NTSTATUS ioctl_set_handle_name(Call &call);
    NTSTATUS ioctl_get_handle_info(Call &call);
    NTSTATUS ioctl_get_card_info(Call &call);
    NTSTATUS ioctl_get_channel_info(Call &call);
    NTSTATUS ioctl_get_channel_counters(Call &call);
    NTSTATUS ioctl_lock_rx_queue(Call &call);
    NTSTATUS ioctl_unlock_rx_queue(Call &call);
    NTSTATUS ioctl_set_channel_mode(Call &call);
    NTSTATUS ioctl_get_channel_mode(Call &call);
    NTSTATUS ioctl_get_log_message(Call &call);
    NTSTATUS ioctl_set_output_mode(Call &call);
    NTSTATUS ioctl_get_output_mode(Call &call);
    NTSTATUS ioctl_set_event_suppression(Call &call);
    NTSTATUS ioctl_get_event_suppression(Call &call);
    NTSTATUS ioctl_accept_std_range(Call &call);
    NTSTATUS ioctl_get_channel_name(Call &call);
    NTSTATUS ioctl_reject_std_range(Call &call);
    NTSTATUS ioctl_set_events(Call &call);
    NTSTATUS ioctl_set_user_defined_rx_queue(Call &call);
    NTSTATUS ioctl_get_card_info2(Call &call);
    NTSTATUS ioctl_get_channel_info2(Call &call);
    NTSTATUS ioctl_clear_auto_responses(Call &call);
    NTSTATUS ioctl_alloc_auto_response(Call &call);
    NTSTATUS ioctl_free_auto_response(Call &call);
    NTSTATUS ioctl_write_auto_response(Call &call);
    NTSTATUS ioctl_set_auto_response_filter(Call &call);
    NTSTATUS ioctl_set_auto_response_flags(Call &call);
    NTSTATUS ioctl_enable_auto_response(Call &call);
    NTSTATUS ioctl_disable_auto_response(Call &call);
    NTSTATUS ioctl_list_channels(Call &call);
    NTSTATUS ioctl_get_card_text1(Call &call);
    NTSTATUS ioctl_get_card_text2(Call &call);
    NTSTATUS ioctl_set_overwrite_mode(Call &call);
    auto_response *auto_response_slot(Call &call, uint32_t slot);

    EventLoop &loop_;
    const card_operations *operations_;
    uint32_t debug_flags_ = 0;
    TimeBase time_base_;
    DriverLog log_;
    std::vector<std::unique_ptr<card_info>> cards_;
    // Every live receive queue by the id clients name it with.
    std::map<uint32_t, std::unique_ptr<RxQueue>> queues_;
    uint32_t last_queue_id_ = 0;
};
