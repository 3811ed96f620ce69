#pragma once
// The virtual CAN bus driver: one virtual card of one to eight channels whose
// open handles pass every frame written on one of them to the receive queues
// of the others. This is the driver record with its entry points (start,
// unload, open, close, read, write, device control) and the card and
// channel code over the data model (card_model.h); the virtual card
// (virtual_card.h) does the bus and its events.
#include "driver/card_model.h"
#include "driver/driver_log.h"
#include "driver/event_loop.h"
#include "driver/message_record.h"
#include "driver/rx_queue.h"
#include "driver/time_base.h"
#include "driver/virtual_card.h"
#include "platform/nt_status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using platform::NTSTATUS;

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

    // Bus on and off, the card timer's rate and the bit-timing search.
    NTSTATUS bus_on(chip_info *chip, dev_handle *handle);
    NTSTATUS bus_off(chip_info *chip, dev_handle *handle);
    void recompute_card_timer(card_info *card);
    static bool valid_bus_timing(uint32_t bitrate, uint32_t tseg1, uint32_t tseg2, uint32_t sjw);
    static bool find_bit_timing(uint32_t bitrate, uint32_t sample_point, uint32_t *tseg1, uint32_t *tseg2);

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
    uint32_t debug_flags_ = 0;
    TimeBase time_base_;
    DriverLog log_;
    RxQueueTable queues_;
    VirtualCard card_{loop_, time_base_, queues_};
    std::vector<std::unique_ptr<card_info>> cards_;
};
