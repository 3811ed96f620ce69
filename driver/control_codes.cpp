// The control codes of the slot devices: one table row per code with its
// preconditions and buffer sizes, and one handler each. Input and output
// share the system buffer; every request completes with the information
// length equal to the output length the caller gave.
#include "driver/vrbus_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

using namespace platform::nt_status;
using namespace vrbus::code;

namespace {

// Preconditions of a code.
constexpr unsigned kChannel = 1; // the device has a channel (not ".info" or ".exclusive")
constexpr unsigned kHandle = 2;  // it has a handle
constexpr unsigned kQueue = 4;   // the handle has a receive queue
constexpr unsigned kInit = 8;    // the handle has init access

constexpr uint32_t kDebugBusOn = 0x01;
constexpr uint32_t kDebugReadWrite = 0x08;
constexpr uint32_t kDebugClock = 0x10;
constexpr uint32_t kDebugControl = 0x800;

struct Length
{
    enum Kind { kAny, kExact, kAtLeast } kind;
    uint32_t size;

    bool fits(uint32_t length) const
    {
        return kind == kAny || (kind == kExact ? length == size : length >= size);
    }
};
constexpr Length any{Length::kAny, 0};
constexpr Length exact(uint32_t size) { return {Length::kExact, size}; }
constexpr Length at_least(uint32_t size) { return {Length::kAtLeast, size}; }

constexpr int kAutoResponseSlots = 8;

} // namespace

struct VrbusDriver::Call
{
    IoControlRequest &request;
    card_info *card;
    chip_info *chip;
    dev_handle *handle;

    uint8_t *buffer() { return request.buffer.data(); }
    uint32_t in(int word) const
    {
        uint32_t value;
        std::memcpy(&value, request.buffer.data() + 4 * word, 4);
        return value;
    }
    void out(int word, uint32_t value) { std::memcpy(request.buffer.data() + 4 * word, &value, 4); }
    void zero_output() { std::fill(request.buffer.begin(), request.buffer.begin() + request.out_len, 0); }
};

struct VrbusDriver::ControlCode
{
    uint32_t code;
    const char *name;
    unsigned needs;
    NTSTATUS missing; // the status when a precondition fails
    Length in;
    Length out;
    NTSTATUS (VrbusDriver::*handler)(Call &call);
    bool length_first = false; // test the lengths before the preconditions
};

const VrbusDriver::ControlCode VrbusDriver::kControlCodes[] = {
    {kSetDebugFlags, "VCAN_IOCTL_SET_DEBUG_FLAGS", 0, STATUS_UNSUCCESSFUL, exact(4), any, &VrbusDriver::ioctl_set_debug_flags},
    {kGetDebugFlags, "VCAN_IOCTL_GET_DEBUG_FLAGS", 0, STATUS_UNSUCCESSFUL, any, exact(4), &VrbusDriver::ioctl_get_debug_flags},
    {kSetBitrate, "VCAN_IOCTL_SET_BITRATE", kChannel | kHandle | kInit, STATUS_ACCESS_DENIED, exact(8), exact(8), &VrbusDriver::ioctl_set_bitrate},
    {kSetChipParams, "VCAN_IOCTL_SET_CHIP_PARAMS", kChannel | kHandle | kInit, STATUS_ACCESS_DENIED, exact(24), any, &VrbusDriver::ioctl_set_chip_params},
    {kGetChipParams, "VCAN_IOCTL_GET_CHIP_PARAMS", kChannel, STATUS_UNSUCCESSFUL, any, exact(24), &VrbusDriver::ioctl_get_chip_params},
    {kSetAcceptance, "VCAN_IOCTL_SET_ACCEPTANCE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_set_acceptance},
    {kClearAcceptanceStd, "VCAN_IOCTL_CLEAR_ACCEPTANCE_STD", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_clear_acceptance_std},
    {kClearAcceptanceExt, "VCAN_IOCTL_CLEAR_ACCEPTANCE_EXT", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_clear_acceptance_ext},
    {kRequestStatistics, "VCAN_IOCTL_REQUEST_STATISTICS", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_request_statistics},
    {kRequestChipState, "VCAN_IOCTL_REQUEST_CHIP_STATE", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_request_chip_state},
    {kResetClock, "VCAN_IOCTL_RESET_CLOCK", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_reset_clock},
    {kGetClockOffset, "VCAN_IOCTL_GET_CLOCK_OFFSET", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, exact(8), &VrbusDriver::ioctl_get_clock_offset},
    {kSetClockOffset, "VCAN_IOCTL_SET_CLOCK_OFFSET", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_set_clock_offset},
    {kBusOn, "VCAN_IOCTL_BUSON", kChannel | kHandle, STATUS_ACCESS_DENIED, any, any, &VrbusDriver::ioctl_buson},
    {kBusOff, "VCAN_IOCTL_BUSOFF", kChannel | kHandle, STATUS_ACCESS_DENIED, any, any, &VrbusDriver::ioctl_busoff},
    {kSetTransceiverMode, "VCAN_IOCTL_SET_TRANSCEIVER_MODE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(12), any, &VrbusDriver::ioctl_set_transceiver_mode},
    {kGetChannelWords, "VCAN_IOCTL_GET_CHANNEL_WORDS", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, exact(12), &VrbusDriver::ioctl_get_channel_words},
    {kSetTimerRate, "VCAN_IOCTL_SET_TIMER_RATE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(4), any, &VrbusDriver::ioctl_set_timer_rate},
    {kGetTimerRate, "VCAN_IOCTL_GET_TIMER_RATE", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, exact(4), &VrbusDriver::ioctl_get_timer_rate},
    {kMapRxQueue, "VCAN_IOCTL_MAP_RX_QUEUE", kChannel | kHandle | kQueue, STATUS_UNSUCCESSFUL, exact(4), exact(4), &VrbusDriver::ioctl_map_rx_queue},
    {kUnmapRxQueue, "VCAN_IOCTL_UNMAP_RX_QUEUE", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_unmap_rx_queue},
    {kGetRxQueue, "VCAN_IOCTL_GET_RX_QUEUE", kHandle, STATUS_UNSUCCESSFUL, any, exact(4), &VrbusDriver::ioctl_get_rx_queue},
    {kReuseRxQueue, "VCAN_IOCTL_REUSE_RX_QUEUE", kHandle, STATUS_UNSUCCESSFUL, exact(4), any, &VrbusDriver::ioctl_reuse_rx_queue},
    {kSetRxQueueSize, "VCAN_IOCTL_SET_RX_QUEUE_SIZE", kHandle, STATUS_ACCESS_DENIED, exact(4), any, &VrbusDriver::ioctl_set_rx_queue_size},
    {kFlushRxQueue, "VCAN_IOCTL_FLUSH_RX_QUEUE", kHandle | kQueue, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_flush_rx_queue},
    {kFlushTxQueue, "VCAN_IOCTL_FLUSH_TX_QUEUE", kChannel, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_flush_tx_queue},
    {kGetRxQueueLevel, "VCAN_IOCTL_GET_RX_QUEUE_LEVEL", kHandle | kQueue, STATUS_UNSUCCESSFUL, any, exact(4), &VrbusDriver::ioctl_get_rx_queue_level},
    {kGetTxQueueLevel, "VCAN_IOCTL_GET_TX_QUEUE_LEVEL", kChannel, STATUS_UNSUCCESSFUL, any, exact(4), &VrbusDriver::ioctl_get_tx_queue_level},
    {kSetNotification, "VCAN_IOCTL_SET_NOTIFICATION", kHandle | kQueue, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_set_notification},
    {kSetChannelIndex, "VCAN_IOCTL_SET_CHANNEL_INDEX", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(4), any, &VrbusDriver::ioctl_set_channel_index},
    {kSetHandleName, "VCAN_IOCTL_SET_HANDLE_NAME", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(65), any, &VrbusDriver::ioctl_set_handle_name},
    {kGetHandleInfo, "VCAN_IOCTL_GET_HANDLE_INFO", 0, STATUS_UNSUCCESSFUL, exact(92), exact(92), &VrbusDriver::ioctl_get_handle_info},
    {kGetCardInfo, "VCAN_IOCTL_GET_CARD_INFO", 0, STATUS_UNSUCCESSFUL, any, exact(vrbus::card_info::kSize), &VrbusDriver::ioctl_get_card_info},
    {kGetChannelInfo, "VCAN_IOCTL_GET_CHANNEL_INFO", kChannel, STATUS_UNSUCCESSFUL, any, exact(vrbus::channel_info::kSize), &VrbusDriver::ioctl_get_channel_info},
    {kGetChannelCounters, "VCAN_IOCTL_GET_CHANNEL_COUNTERS", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, exact(32), &VrbusDriver::ioctl_get_channel_counters},
    {kLockRxQueue, "VCAN_IOCTL_LOCK_RX_QUEUE", kChannel | kHandle | kQueue, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_lock_rx_queue},
    {kUnlockRxQueue, "VCAN_IOCTL_UNLOCK_RX_QUEUE", kChannel | kHandle | kQueue, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_unlock_rx_queue},
    {kSetChannelMode, "VCAN_IOCTL_SET_CHANNEL_MODE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_set_channel_mode, true},
    {kGetChannelMode, "VCAN_IOCTL_GET_CHANNEL_MODE", kHandle, STATUS_UNSUCCESSFUL, any, exact(8), &VrbusDriver::ioctl_get_channel_mode},
    {kGetLogMessage, "VCAN_IOCTL_GET_LOG_MESSAGE", 0, STATUS_UNSUCCESSFUL, any, exact(81), &VrbusDriver::ioctl_get_log_message},
    {kSetOutputMode, "VCAN_IOCTL_SET_OUTPUT_MODE", kChannel | kHandle | kInit, STATUS_ACCESS_DENIED, exact(4), any, &VrbusDriver::ioctl_set_output_mode},
    {kGetOutputMode, "VCAN_IOCTL_GET_OUTPUT_MODE", kChannel, STATUS_UNSUCCESSFUL, any, exact(4), &VrbusDriver::ioctl_get_output_mode},
    {kSetEventSuppression, "VCAN_IOCTL_SET_EVENT_SUPPRESSION", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_set_event_suppression},
    {kGetEventSuppression, "VCAN_IOCTL_GET_EVENT_SUPPRESSION", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, exact(8), &VrbusDriver::ioctl_get_event_suppression},
    {kAcceptStdRange, "VCAN_IOCTL_ACCEPT_STD_RANGE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_accept_std_range},
    {kGetChannelName, "VCAN_IOCTL_GET_CHANNEL_NAME", 0, STATUS_UNSUCCESSFUL, exact(4), exact(552), &VrbusDriver::ioctl_get_channel_name},
    {kRejectStdRange, "VCAN_IOCTL_REJECT_STD_RANGE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(8), any, &VrbusDriver::ioctl_reject_std_range},
    {kSetEvents, "VRBS_IOCTL_SET_EVENTS", kHandle | kQueue, STATUS_UNSUCCESSFUL, exact(16), any, &VrbusDriver::ioctl_set_events},
    {kSetUserDefinedRxQueue, "VRBS_IOCTL_SET_USER_DEFINED_RX_QUEUE", kHandle, STATUS_ACCESS_DENIED, exact(8), any, &VrbusDriver::ioctl_set_user_defined_rx_queue},
    {kGetCardInfo2, "VRBS_IOCTL_GET_CARD_INFO2", 0, STATUS_UNSUCCESSFUL, any, exact(128), &VrbusDriver::ioctl_get_card_info2},
    {kGetChannelInfo2, "VRBS_IOCTL_GET_CHANNEL_INFO2", kChannel, STATUS_UNSUCCESSFUL, any, exact(428), &VrbusDriver::ioctl_get_channel_info2},
    {kClearAutoResponses, "VRBS_IOCTL_CLEAR_AUTO_RESPONSES", kChannel | kHandle, STATUS_UNSUCCESSFUL, any, any, &VrbusDriver::ioctl_clear_auto_responses},
    {kAllocAutoResponse, "VRBS_IOCTL_ALLOC_AUTO_RESPONSE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(20), exact(20), &VrbusDriver::ioctl_alloc_auto_response},
    {kFreeAutoResponse, "VRBS_IOCTL_FREE_AUTO_RESPONSE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(20), any, &VrbusDriver::ioctl_free_auto_response},
    {kWriteAutoResponse, "VRBS_IOCTL_WRITE_AUTO_RESPONSE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(24), any, &VrbusDriver::ioctl_write_auto_response},
    {kSetAutoResponseFilter, "VRBS_IOCTL_SET_AUTO_RESPONSE_FILTER", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(20), any, &VrbusDriver::ioctl_set_auto_response_filter},
    {kSetAutoResponseFlags, "VRBS_IOCTL_SET_AUTO_RESPONSE_FLAGS", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(20), any, &VrbusDriver::ioctl_set_auto_response_flags},
    {kEnableAutoResponse, "VRBS_IOCTL_ENABLE_AUTO_RESPONSE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(20), any, &VrbusDriver::ioctl_enable_auto_response},
    {kDisableAutoResponse, "VRBS_IOCTL_DISABLE_AUTO_RESPONSE", kChannel | kHandle, STATUS_UNSUCCESSFUL, exact(20), any, &VrbusDriver::ioctl_disable_auto_response},
    {kListChannels, "VRBS_IOCTL_LIST_CHANNELS", 0, STATUS_UNSUCCESSFUL, any, exact(516), &VrbusDriver::ioctl_list_channels},
    {kGetCardText1, "VRBS_IOCTL_GET_CARD_TEXT1", 0, STATUS_UNSUCCESSFUL, any, at_least(2), &VrbusDriver::ioctl_get_card_text1},
    {kGetCardText2, "VRBS_IOCTL_GET_CARD_TEXT2", 0, STATUS_UNSUCCESSFUL, any, at_least(2), &VrbusDriver::ioctl_get_card_text2},
    {kSetOverwriteMode, "VRBS_IOCTL_SET_OVERWRITE_MODE", kHandle, STATUS_UNSUCCESSFUL, at_least(1), any, &VrbusDriver::ioctl_set_overwrite_mode},
};

NTSTATUS VrbusDriver::device_control(device_object *device, IoControlRequest &request)
{
    const dev_ext &ext = device->extension;
    request.information = 0;
    if (!ext.card || !(ext.card->present || ext.card->started))
        return STATUS_UNSUCCESSFUL;
    debug_print(debug_flags_, kDebugControl, "%s_ioctl code=%x in_len=%u out_len=%u\n", kDriverName, request.code,
                request.in_len, request.out_len);
    request.information = request.out_len;

    const ControlCode *entry = std::find_if(std::begin(kControlCodes), std::end(kControlCodes),
                                            [&](const ControlCode &c) { return c.code == request.code; });
    if (entry == std::end(kControlCodes))
        return STATUS_NOT_IMPLEMENTED;
    const bool lengths_fit = entry->in.fits(request.in_len) && entry->out.fits(request.out_len);
    if (entry->length_first && !lengths_fit)
        return STATUS_INVALID_PARAMETER;
    const bool needs_met = (!(entry->needs & kChannel) || ext.chip) && (!(entry->needs & kHandle) || ext.handle)
                           && (!(entry->needs & kQueue) || (ext.handle && ext.handle->queue))
                           && (!(entry->needs & kInit) || (ext.handle && ext.handle->init_access));
    if (!needs_met)
        return entry->missing;
    if (!lengths_fit)
        return STATUS_INVALID_PARAMETER;
    Call call{request, ext.card, ext.chip, ext.handle};
    const NTSTATUS status = (this->*entry->handler)(call);
    queues_.send_due_signals(); // of the events that bus on or off and the requests for reports stored
    return status;
}

// ---- Debug flags and bit timing ----

NTSTATUS VrbusDriver::ioctl_set_debug_flags(Call &call)
{
    debug_flags_ = call.in(0);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_debug_flags(Call &call)
{
    call.out(0, debug_flags_);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_bitrate(Call &call)
{
    const uint32_t bitrate = call.in(0);
    const uint32_t sample_point = call.in(1);
    uint32_t tseg1, tseg2;
    if (bitrate < kMinBitrate || bitrate > kMaxBitrate || !find_bit_timing(bitrate, sample_point, &tseg1, &tseg2))
        return STATUS_INVALID_PARAMETER;
    const uint32_t bit_time = 1 + tseg1 + tseg2;
    chip_info *chip = call.chip;
    chip->tseg1 = tseg1;
    chip->tseg2 = tseg2;
    chip->sjw = 1;
    chip->sampling = 0;
    chip->bitrate = 8000000 / (8000000 / (bitrate * bit_time)) / bit_time;
    debug_print(debug_flags_, kDebugBusOn, "Set bitrate (%u,%u) -> %u\n", bitrate, sample_point, chip->bitrate);
    call.out(0, chip->bitrate);
    call.out(1, (tseg1 + 1) * 100 / bit_time);
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_SET_BITRATE: DONE\n");
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_chip_params(Call &call)
{
    const uint32_t bitrate = call.in(0), tseg1 = call.in(1), tseg2 = call.in(2), sjw = call.in(3);
    if (!valid_bus_timing(bitrate, tseg1, tseg2, sjw))
        return STATUS_INVALID_PARAMETER;
    chip_info *chip = call.chip;
    chip->bitrate = bitrate;
    chip->tseg1 = tseg1;
    chip->tseg2 = tseg2;
    chip->sjw = sjw;
    // One meaning on both sides: the flag is set for three samples per bit.
    chip->sampling = call.in(4) == 3 ? 1 : 0;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_chip_params(Call &call)
{
    const chip_info *chip = call.chip;
    call.out(0, chip->bitrate);
    call.out(1, chip->tseg1);
    call.out(2, chip->tseg2);
    call.out(3, chip->sjw);
    call.out(4, chip->sampling ? 3 : 1);
    call.out(5, (chip->tseg1 + 1) * 100 / (chip->tseg1 + chip->tseg2 + 1));
    return STATUS_SUCCESS;
}

// ---- Acceptance ----

NTSTATUS VrbusDriver::ioctl_set_acceptance(Call &call)
{
    call.handle->set_acceptance(call.in(0), call.in(1));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_clear_acceptance_std(Call &call)
{
    if (!call.handle->acceptance)
        call.handle->acceptance = std::make_unique<std::bitset<2048>>();
    call.handle->acceptance->reset();
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_clear_acceptance_ext(Call &call)
{
    call.handle->extended_filter = false;
    call.handle->extended_code = 0;
    call.handle->extended_mask = 0;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_accept_std_range(Call &call)
{
    const uint32_t first = call.in(0), last = call.in(1);
    if (first > last || last > 2047)
        return STATUS_INVALID_PARAMETER;
    if (!call.handle->acceptance)
        call.handle->acceptance = std::make_unique<std::bitset<2048>>();
    for (uint32_t id = first; id <= last; ++id)
        call.handle->acceptance->set(id);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_reject_std_range(Call &call)
{
    const uint32_t first = call.in(0), last = call.in(1);
    if (!call.handle->acceptance)
        return STATUS_INSUFFICIENT_RESOURCES;
    if (first > last || last > 2047)
        return STATUS_INVALID_PARAMETER;
    for (uint32_t id = first; id <= last; ++id)
        call.handle->acceptance->reset(id);
    return STATUS_SUCCESS;
}

// ---- Events on request, clock and bus state ----

NTSTATUS VrbusDriver::ioctl_request_statistics(Call &call)
{
    call.handle->update_bus_load(call.chip->bitrate, time_base_.now());
    card_.request_statistics(call.chip, call.handle);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_request_chip_state(Call &call)
{
    card_.broadcast_chip_state(call.chip, call.handle);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_reset_clock(Call &call)
{
    dev_handle *handle = call.handle;
    card_.read_clock(&handle->clock_offset_seconds, &handle->clock_offset_microseconds);
    handle->clock_offset = handle->clock_offset_microseconds / 10 + handle->clock_offset_seconds * 100000;
    debug_print(debug_flags_, kDebugClock, "ResetTime 10us=%u\n", handle->clock_offset);
    handle->clock_offset_seconds = handle->clock_offset / 100000;
    handle->clock_offset_microseconds = handle->clock_offset % 100000 * 10;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_clock_offset(Call &call)
{
    call.out(0, call.handle->clock_offset_seconds);
    call.out(1, call.handle->clock_offset_microseconds);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_clock_offset(Call &call)
{
    dev_handle *handle = call.handle;
    handle->clock_offset_seconds = call.in(0);
    handle->clock_offset_microseconds = call.in(1);
    handle->clock_offset = handle->clock_offset_seconds * 100000 + handle->clock_offset_microseconds / 10;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_buson(Call &call)
{
    return bus_on(call.chip, call.handle);
}

NTSTATUS VrbusDriver::ioctl_busoff(Call &call)
{
    return bus_off(call.chip, call.handle);
}

NTSTATUS VrbusDriver::ioctl_set_transceiver_mode(Call &call)
{
    return STATUS_SUCCESS; // the virtual card has no transceiver to set
}

NTSTATUS VrbusDriver::ioctl_get_channel_words(Call &call)
{
    call.zero_output(); // the virtual card has no channel hardware words
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_timer_rate(Call &call)
{
    call.handle->timer_rate = call.in(0);
    recompute_card_timer(call.card);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_timer_rate(Call &call)
{
    call.out(0, call.handle->timer_rate);
    return STATUS_SUCCESS;
}

// ---- Receive queue ----

NTSTATUS VrbusDriver::ioctl_map_rx_queue(Call &call)
{
    dev_handle *handle = call.handle;
    if (handle->mapped_queue != handle->queue) {
        unmap_queue(handle);
        handle->mapped_queue = handle->queue;
        handle->queue->add_mapping();
    }
    // The client maps the memfd; the output is the block's size.
    call.request.reply_fd = handle->queue->block().fd();
    call.out(0, uint32_t(handle->queue->block().size()));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_unmap_rx_queue(Call &call)
{
    if (!call.handle->mapped_queue)
        return STATUS_UNSUCCESSFUL;
    unmap_queue(call.handle);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_rx_queue(Call &call)
{
    call.out(0, call.handle->queue ? call.handle->queue->id() : 0);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_reuse_rx_queue(Call &call)
{
    // The reference is an id of this daemon's own live queues, never an address.
    RxQueue *queue = queues_.find(call.in(0));
    if (!queue)
        return STATUS_UNSUCCESSFUL;
    if (!queue->layout_matches()) {
        log_.add("ybusx: Drivers not compatible (Queue Layout is different)\n");
        return STATUS_UNSUCCESSFUL;
    }
    dev_handle *handle = call.handle;
    if (handle->queue == queue)
        return STATUS_SUCCESS; // releasing it first would free the queue it names
    queue->add_reference();
    release_queue(handle);
    handle->queue = queue;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_rx_queue_size(Call &call)
{
    dev_handle *handle = call.handle;
    if (handle->queue && handle->queue->references() > 1)
        return STATUS_ACCESS_DENIED;
    RxQueue *queue = queues_.create(call.in(0));
    if (!queue)
        return STATUS_UNSUCCESSFUL;
    release_queue(handle);
    queue->add_reference();
    handle->queue = queue;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_flush_rx_queue(Call &call)
{
    call.handle->queue->flush();
    call.handle->overrun_pending = false;
    call.handle->overrun_count = 0;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_flush_tx_queue(Call &call)
{
    return STATUS_SUCCESS; // the virtual card keeps no transmit buffers
}

NTSTATUS VrbusDriver::ioctl_get_rx_queue_level(Call &call)
{
    call.out(0, call.handle->queue->fill_level());
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_tx_queue_level(Call &call)
{
    call.out(0, 0);
    return STATUS_SUCCESS;
}

// Takes the eventfds of the request for the non-zero words of its input, in
// word order. STATUS_INVALID_HANDLE when they do not match the words, and
// STATUS_OBJECT_TYPE_MISMATCH for a descriptor that is not an event.
static NTSTATUS take_events(IoControlRequest &request, uint32_t words, EventReference *events)
{
    size_t next = 0;
    for (uint32_t i = 0; i < words; ++i) {
        uint32_t word;
        std::memcpy(&word, request.buffer.data() + 4 * i, 4);
        if (word == 0)
            continue;
        if (next >= request.event_fds.size())
            return STATUS_INVALID_HANDLE;
        if (!is_event_descriptor(request.event_fds[next]))
            return STATUS_OBJECT_TYPE_MISMATCH;
        ++next;
    }
    if (next != request.event_fds.size())
        return STATUS_INVALID_HANDLE;
    next = 0;
    for (uint32_t i = 0; i < words; ++i) {
        uint32_t word;
        std::memcpy(&word, request.buffer.data() + 4 * i, 4);
        if (word != 0) {
            events[i] = EventReference(request.event_fds[next]);
            request.event_fds[next++] = -1;
        }
    }
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_notification(Call &call)
{
    EventReference event;
    const NTSTATUS status = take_events(call.request, 1, &event);
    if (status != STATUS_SUCCESS)
        return status;
    call.handle->queue->set_notification(std::move(event), call.in(1));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_events(Call &call)
{
    EventReference events[4];
    const NTSTATUS status = take_events(call.request, 4, events);
    if (status != STATUS_SUCCESS)
        return status;
    for (int slot = 0; slot < 4; ++slot)
        call.handle->queue->set_event(slot, std::move(events[slot]));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_lock_rx_queue(Call &call)
{
    call.handle->queue->set_delivery_suspended(true);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_unlock_rx_queue(Call &call)
{
    call.handle->queue->set_delivery_suspended(false);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_user_defined_rx_queue(Call &call)
{
    dev_handle *handle = call.handle;
    if (handle->queue && handle->queue->references() > 1)
        return STATUS_ACCESS_DENIED;
    if (call.in(0) == 0)
        return STATUS_INVALID_PARAMETER;
    debug_print(debug_flags_, kDebugReadWrite, "VRBS_IOCTL_SET_USER_DEFINED_RX_QUEUE\n");
    // The buffer lies in the client's process; it is recorded, nothing is delivered into it.
    handle->user_queue_address = call.in(0);
    handle->user_queue_length = call.in(1);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_overwrite_mode(Call &call)
{
    call.handle->overwrite_when_full = call.buffer()[0] != 0;
    return STATUS_SUCCESS;
}

// ---- Handle settings ----

NTSTATUS VrbusDriver::ioctl_set_channel_index(Call &call)
{
    call.handle->channel_tag = call.in(0);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_handle_name(Call &call)
{
    char name[sizeof handle_state::name] = {};
    std::memcpy(name, call.buffer(), sizeof name - 1);
    if (name[0] != '\0') {
        for (const dev_handle *other : call.chip->handles) {
            if (std::strcmp(other->name, name) == 0)
                return STATUS_UNSUCCESSFUL;
        }
    }
    std::memcpy(call.handle->name, name, sizeof name);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_channel_mode(Call &call)
{
    call.handle->tx_acknowledge_mode = call.in(0);
    call.handle->tx_request_mode = call.in(1);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_channel_mode(Call &call)
{
    call.out(0, call.handle->tx_acknowledge_mode);
    call.out(1, call.handle->tx_request_mode);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_output_mode(Call &call)
{
    call.chip->output_mode = call.in(0); // recorded: the virtual card has no output stage to set
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_output_mode(Call &call)
{
    call.out(0, call.chip->output_mode);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_event_suppression(Call &call)
{
    call.handle->suppress_error_frames = call.in(0) != 0;
    call.handle->suppress_chip_state_broadcasts = call.in(1) != 0;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_event_suppression(Call &call)
{
    call.out(0, call.handle->suppress_error_frames);
    call.out(1, call.handle->suppress_chip_state_broadcasts);
    return STATUS_SUCCESS;
}

// ---- Information ----

NTSTATUS VrbusDriver::ioctl_get_handle_info(Call &call)
{
    uint32_t n = call.in(0);
    for (const auto &card : cards_) {
        for (const auto &chip : card->chips) {
            for (const dev_handle *handle : chip->handles) {
                if (n-- != 0)
                    continue;
                std::memcpy(call.buffer() + 4, handle->name, 64);
                call.out(18, card->number);
                call.out(19, chip->index);
                call.out(20, 1);
                call.out(21, handle->on_bus);
                call.out(22, handle->init_access);
                return STATUS_SUCCESS;
            }
        }
    }
    return STATUS_UNSUCCESSFUL;
}

NTSTATUS VrbusDriver::ioctl_get_card_info(Call &call)
{
    using namespace vrbus::card_info;
    uint8_t *out = call.buffer();
    std::memset(out, 0, kCardTypeAt);
    std::snprintf(reinterpret_cast<char *>(out) + kCardNameAt, 32, "%s", kCardName);
    std::snprintf(reinterpret_cast<char *>(out) + kDriverNameAt, 32, "%s.sys", kDriverName);
    call.out(kCardTypeAt / 4, 1);
    call.out(kChannelCountAt / 4, call.card->channel_count);
    for (int i = 0; i < 3; ++i)
        call.out(kVersionAt / 4 + i, kVersion[i]);
    for (int word = kVersionAt / 4 + 3; word < kCardNumberAt / 4; ++word)
        call.out(word, 0); // card hardware words: none on the virtual card
    call.out(kCardNumberAt / 4, call.card->number);
    call.out(kSerialNumberAt / 4, 0);
    call.out(kTimerRateAt / 4, call.card->timer_rate);
    call.out(47, 3);
    call.out(48, 0);
    for (int word = 49; word <= 93; ++word)
        call.out(word, 0);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_channel_info(Call &call)
{
    using namespace vrbus::channel_info;
    const chip_info *chip = call.chip;
    call.zero_output();
    std::snprintf(reinterpret_cast<char *>(call.buffer()) + kNameAt, 32, "%s Channel %c", kCardName,
                  chip->index <= 8 ? char('1' + chip->index) : 'X');
    call.out(kChannelIndexAt / 4, chip->index);
    call.out(11, 2);
    call.out(12, 16000000);
    call.out(kCapabilityAt / 4, chip->capabilities);
    call.out(kStatusAt / 4,
             (chip->on_bus_count > 0 ? 0x08 : 0) | (chip->chip_state != vrbus::record::kChipBusOff ? 0x04 : 0));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_channel_counters(Call &call)
{
    call.zero_output(); // the virtual card has no channel counters
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_log_message(Call &call)
{
    call.zero_output();
    std::string line;
    if (!log_.next(&line))
        return STATUS_UNSUCCESSFUL;
    std::memcpy(call.buffer(), line.data(), std::min<size_t>(line.size(), DriverLog::kLineLength));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_channel_name(Call &call)
{
    const uint32_t index = call.in(0);
    if (index >= call.card->channel_count)
        return STATUS_INVALID_PARAMETER;
    call.zero_output();
    char *out = reinterpret_cast<char *>(call.buffer());
    std::snprintf(out + 4, 32, "%.31s", kCardName);
    std::snprintf(out + 36, 64, "%s%u%c", kCardName, call.card->number, char('a' + index));
    call.out(73, call.card->number);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_card_info2(Call &call)
{
    call.zero_output();
    call.out(2, 0xFFFFFFFF); // words 0 and 1, the serial words, stay zero
    call.out(3, 0xFFFFFFFF);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_channel_info2(Call &call)
{
    call.zero_output();
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_list_channels(Call &call)
{
    call.zero_output();
    uint32_t count = 0;
    for (const auto &card : cards_) {
        for (const auto &chip : card->chips) {
            if (4 + 2 * count + 2 > call.request.out_len)
                break;
            call.buffer()[4 + 2 * count] = uint8_t(card->number);
            call.buffer()[5 + 2 * count] = uint8_t(chip->index);
            ++count;
        }
    }
    call.out(0, count);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_card_text1(Call &call)
{
    call.zero_output(); // the virtual card's texts are empty
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_get_card_text2(Call &call)
{
    call.zero_output();
    return STATUS_SUCCESS;
}

// ---- Auto responses ----

auto_response *VrbusDriver::auto_response_slot(Call &call, uint32_t slot)
{
    if (!call.handle->auto_responses || slot >= kAutoResponseSlots)
        return nullptr;
    auto_response *response = &(*call.handle->auto_responses)[slot];
    return response->in_use ? response : nullptr;
}

NTSTATUS VrbusDriver::ioctl_clear_auto_responses(Call &call)
{
    if (!call.handle->auto_responses)
        return STATUS_UNSUCCESSFUL;
    call.handle->auto_responses->fill(auto_response());
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_alloc_auto_response(Call &call)
{
    // Only buffer type 1 is known; like every failure the table names no
    // status for, it completes with STATUS_UNSUCCESSFUL.
    if (call.in(4) != 1)
        return STATUS_UNSUCCESSFUL;
    auto &table = call.handle->auto_responses;
    if (!table)
        table = std::make_unique<std::array<auto_response, kAutoResponseSlots>>();
    for (uint32_t slot = 0; slot < kAutoResponseSlots; ++slot) {
        if (!(*table)[slot].in_use) {
            (*table)[slot] = auto_response();
            (*table)[slot].in_use = true;
            call.out(0, slot);
            return STATUS_SUCCESS;
        }
    }
    return STATUS_UNSUCCESSFUL;
}

NTSTATUS VrbusDriver::ioctl_free_auto_response(Call &call)
{
    if (!call.handle->auto_responses || call.in(0) >= kAutoResponseSlots)
        return STATUS_UNSUCCESSFUL;
    (*call.handle->auto_responses)[call.in(0)] = auto_response();
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_write_auto_response(Call &call)
{
    auto_response *response = auto_response_slot(call, call.in(0));
    if (!response)
        return STATUS_UNSUCCESSFUL;
    MessageRecord &record = response->record;
    record = MessageRecord();
    record.kind = vrbus::record::kTxFrame;
    record.channel = uint8_t(call.handle->channel_tag);
    record.id = call.in(1);
    record.length = uint8_t(call.in(2));
    std::memcpy(record.data, call.buffer() + 12, 8);
    record.flags = uint8_t(call.in(5));
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_auto_response_filter(Call &call)
{
    auto_response *response = auto_response_slot(call, call.in(0));
    if (!response)
        return STATUS_UNSUCCESSFUL;
    response->code = call.in(1);
    response->mask = call.in(2);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_set_auto_response_flags(Call &call)
{
    auto_response *response = auto_response_slot(call, call.in(0));
    if (!response)
        return STATUS_UNSUCCESSFUL;
    response->flags = call.in(3);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_enable_auto_response(Call &call)
{
    auto_response *response = auto_response_slot(call, call.in(0));
    if (!response)
        return STATUS_UNSUCCESSFUL;
    response->enabled = true;
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::ioctl_disable_auto_response(Call &call)
{
    auto_response *response = auto_response_slot(call, call.in(0));
    if (!response)
        return STATUS_UNSUCCESSFUL;
    response->enabled = false;
    return STATUS_SUCCESS;
}
