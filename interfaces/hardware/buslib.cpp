#include "interfaces/hardware/buslib.h"

#include "settings/debug_trace.h"
#include "interfaces/hardware/canio_device.h"
#include "interfaces/hardware/canio_driver.h"
#include "platform/event.h"
#include "platform/named_mutex.h"
#include "platform/vrbus_contract.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

using platform::DeviceFile;

namespace {

constexpr int max_channels = 32;
constexpr int max_handles = 32;
// Every handle asks for the largest receive queue the driver makes: 524,288
// entries of 22 bytes (11.5 MB, mapped into both processes and filled as
// frames come), which holds 21 s of frames at 25,000 frames/s and 5.2 s at
// 100,000 frames/s while the receive thread cannot read.
constexpr uint32_t rx_queue_entries = vrbus::queue::kMaxCapacity;

// Mode word of a handle.
constexpr uint32_t mode_tx_ack_refused = 0x4;
constexpr uint32_t mode_tx_ack_delivered = 0x8;
constexpr uint32_t mode_tx_request_delivered = 0x10;

struct ChannelRecord
{
    int index = 0;
    std::string display_name; // at most 63 characters
    uint32_t capability = 0;
    int card_type = 0;
    int channel_on_card = 0;
    int card_index = 0;
    std::string device_name;  // at most 15 characters
};

struct HandleRecord
{
    bool in_use = false;
    std::unique_ptr<DeviceFile> device;
    int output_mode = 0;
    long bitrate = 0;
    unsigned tseg1 = 0, tseg2 = 0, sjw = 0, samples = 0;
    long fd_bitrate = 0;
    unsigned fd_tseg1 = 0, fd_tseg2 = 0, fd_sjw = 0;
    int chip_state = 0;
    int tx_errors = 0;
    int rx_errors = 0;
    unsigned overrun_count = 0;
    int32_t std_code = 0, std_mask = 0, ext_code = 0, ext_mask = 0;
    std::unique_ptr<platform::NamedMutex> mutex; // marks the channel's user for other processes
    std::unique_ptr<platform::Event> event;
    const ChannelRecord *channel = nullptr;
    uint32_t mode_word = 0;
    bool init_access = false;
};

struct Layer
{
    std::timed_mutex global_lock; // guards both tables during enumeration, open and close
    std::chrono::milliseconds lock_wait{5000};
    bool initialized = false;
    ChannelRecord channels[max_channels];
    int channel_count = 0;
    HandleRecord handles[max_handles];
};

Layer &layer()
{
    static Layer instance;
    return instance;
}

// System error -> internal number -> result code.
int internal_from_system_error(int error)
{
    switch (error) {
    case 0: return 0;
    case 1: return 15;
    case 2: case 317: case 1058: return 129;
    case 5: return 112;
    case 21: return 113;
    case 87: return 101;
    case 121: return 121;
    case 170: return 120;
    case 234: return 11;
    default: return 255;
    }
}

int result_from_internal(int internal, bool init_access)
{
    switch (internal) {
    case 0: case 1: return buslibOK;
    case 10: return buslibErrNoMsg;
    case 11: case 12: return buslibErrTxQueueFull;
    case 14: return buslibErrReserved;
    case 101: return buslibErrParam;
    case 112: return init_access ? buslibErrAccessDenied : buslibOK; // ignored without init access
    case 120: case 121: case 129: return buslibErrHardware;
    case 201: return buslibErrDriverLoad;
    default: return buslibErrInternal;
    }
}

int result_from_system_error(int error, bool init_access)
{
    return result_from_internal(internal_from_system_error(error), init_access);
}

// The result of a wrapper that went to the handle's device.
int device_result(const HandleRecord &h, int wrapper_result)
{
    if (wrapper_result == 0)
        return buslibOK;
    const platform::NTSTATUS status = h.device->last_status();
    if (status == platform::nt_status::STATUS_SUCCESS)
        return buslibErrInternal; // the driver answered, but not what was needed, or the link broke
    return result_from_system_error(platform::system_error_from_ntstatus(status), h.init_access);
}

HandleRecord *valid_handle(int handle, int *result)
{
    Layer &l = layer();
    if (!l.initialized) {
        *result = buslibErrNotInitialized;
        return nullptr;
    }
    if (handle < 0 || handle >= max_handles || !l.handles[handle].in_use) {
        *result = buslibErrInvalidHandle;
        return nullptr;
    }
    *result = buslibOK;
    return &l.handles[handle];
}

std::string exclusivity_mutex_name(int channel, bool exclusive)
{
    return "VINDRA_VNDXLPW_C" + std::to_string(channel) + (exclusive ? "_EX" : "");
}

int check_exclusivity(const ChannelRecord &channel, int flags)
{
    if (platform::NamedMutex::exists(exclusivity_mutex_name(channel.index, true))
        && !(flags & buslib_open::override_exclusive))
        return buslibErrHeld;
    if (platform::NamedMutex::exists(exclusivity_mutex_name(channel.index, false)) && (flags & buslib_open::exclusive))
        return buslibErrHeld;
    if ((flags & buslib_open::require_capability) && !(channel.capability & buslib_capability::open_flag_0x10))
        return buslibErrNotUsable;
    if ((channel.capability & buslib_capability::virtual_channel) && !(flags & buslib_open::accept_virtual))
        return buslibErrNotUsable;
    return buslibOK;
}

// The open mode control is sent only to channels that know modes; -1 when
// none is to be sent.
int open_mode_for(const ChannelRecord &channel, int flags)
{
    const uint32_t cap = channel.capability;
    if (!(cap & (buslib_capability::can_fd | buslib_capability::can_fd_non_iso))
        && !((cap & buslib_capability::lin) && (flags & buslib_open::lin)))
        return -1;
    int mode = 0;
    if ((flags & buslib_open::can_fd) && (cap & buslib_capability::can_fd))
        mode = 1;
    if ((flags & buslib_open::can_fd_non_iso) && (cap & buslib_capability::can_fd_non_iso))
        mode = 2;
    if ((flags & buslib_open::lin) && (cap & buslib_capability::lin))
        mode = 3;
    return mode;
}

// Closes the device, the event and the mutex with the record.
void free_handle(HandleRecord &h)
{
    h = HandleRecord();
}

// One record per readable channel device of the drivers' list whose card
// type belongs to this pass.
void scan_devices(Layer &l, bool virtual_pass)
{
    for (const CanioChannelDevice &device_name : canio_channel_devices()) {
        if (l.channel_count >= max_channels)
            return;
        DeviceFile device;
        if (device.open(canio_probe_path(device_name.name)) != 0) {
            debug_trace("buslibEnumerateHardware: channel '%s' not available", device_name.name.c_str());
            continue;
        }
        debug_trace("buslibEnumerateHardware: channel '%s' available", device_name.name.c_str());
        CanioCardInfo card;
        CanioChannelInfo channel;
        if (canio_get_card_info(device, &card) != 0 || canio_get_channel_info(device, &channel) != 0)
            continue;
        const bool is_virtual = card.card_type() == 1 || card.card_type() == 44;
        if (is_virtual != virtual_pass)
            continue;
        ChannelRecord &record = l.channels[l.channel_count];
        record.index = l.channel_count;
        record.capability = canio_capability_from_driver(channel.capability());
        record.card_type = int(card.card_type());
        record.channel_on_card = int(channel.channel_on_card());
        record.card_index = int(card.card_number());
        record.device_name = device_name.name.substr(0, 15);
        const std::string card_name = card.card_name() + " #" + std::to_string(record.card_index + 1);
        record.display_name = (card_name + " (Channel " + std::to_string(record.channel_on_card + 1) + ")").substr(0, 63);
        ++l.channel_count;
    }
}

// Chip state report: the handle keeps the state and the error counters.
void take_chip_state(HandleRecord &h, const uint8_t *record)
{
    h.chip_state = record[vrbus::record::kIdAt];
    h.tx_errors = record[vrbus::record::kIdAt + 1];
    h.rx_errors = record[vrbus::record::kIdAt + 2];
}

} // namespace

std::timed_mutex &buslib_global_lock()
{
    return layer().global_lock;
}

void buslib_set_lock_timeout_ms(int milliseconds)
{
    layer().lock_wait = std::chrono::milliseconds(milliseconds);
}

int buslibInitialize()
{
    Layer &l = layer();
    std::unique_lock<std::timed_mutex> lock(l.global_lock, l.lock_wait);
    if (!lock.owns_lock())
        return buslibErrInternal;
    if (l.initialized)
        return buslibOK;
    for (HandleRecord &h : l.handles)
        h = HandleRecord();
    lock.unlock();
    if (buslibEnumerateHardware() != buslibOK)
        return buslibErrInternal;
    l.initialized = true;
    return buslibOK;
}

int buslibEnumerateHardware()
{
    Layer &l = layer();
    std::unique_lock<std::timed_mutex> lock(l.global_lock, l.lock_wait);
    if (!lock.owns_lock()) {
        debug_trace("buslibEnumerateHardware: Global area mutex not available.");
        return buslibOK;
    }
    for (ChannelRecord &record : l.channels)
        record = ChannelRecord();
    l.channel_count = 0;
    scan_devices(l, false); // the cards first, then the virtual channels
    scan_devices(l, true);
    return buslibOK;
}

int buslibChannelCount()
{
    return layer().channel_count;
}

int buslibChannelCapability(int channel, uint32_t *capability)
{
    if (!capability)
        return buslibErrParam;
    const Layer &l = layer();
    if (channel < 0 || channel >= l.channel_count) {
        *capability = 0;
        return buslibErrParam;
    }
    *capability = l.channels[channel].capability;
    return buslibOK;
}

int buslibGetChannelData(int channel, int item, void *buffer, size_t size)
{
    Layer &l = layer();
    if (!l.initialized)
        return buslibErrNotInitialized;
    if (!buffer || size < 4 || channel < 0 || channel >= l.channel_count)
        return buslibErrParam;
    const bool eight_byte_item = item == 7 || item == 8 || item == 9 || item == 10 || item == 11 || item == 12;
    if ((item == 11 || item == 12) && size < 8)
        return buslibErrParam;
    std::memset(buffer, 0, size);
    const ChannelRecord &record = l.channels[channel];

    DeviceFile device;
    if (canio_open_device(device, record.device_name, false) != 0)
        return buslibErrCardInfo;
    CanioCardInfo card;
    CanioChannelInfo info;
    CanioTransceiverInfo transceiver;
    if (canio_get_card_info(device, &card) != 0 || canio_get_channel_info(device, &info) != 0
        || canio_get_transceiver_info(device, &transceiver) != 0)
        return buslibErrCardInfo; // the device closes with its object
    CanioCardInfo2 card2;
    const bool has_card2 = canio_get_card_info2(device, &card2) == 0;
    std::string user_name;
    canio_get_user_channel_name(device, uint32_t(record.channel_on_card), &user_name);
    device.close();

    uint32_t words[2] = {};
    switch (item) {
    case buslib_item::capability:
        words[0] = record.capability & 0x3FFFF; // the bits up to 0x20000
        break;
    case 2: words[0] = 1; break;
    case 3: return buslibOK;
    case buslib_item::card_type: words[0] = uint32_t(record.card_type); break;
    case buslib_item::card_index: words[0] = uint32_t(record.card_index); break;
    case buslib_item::channel_on_card: words[0] = uint32_t(record.channel_on_card); break;
    case buslib_item::serial_number: words[0] = card.serial_number(); break;
    case 8:
        words[0] = canio_get_u32(info.raw + 32);
        words[1] = canio_get_u32(info.raw + 36);
        break;
    case 9: words[0] = card.card_type(); break;
    case 10: words[0] = card.card_number(); break;
    case 11: case 18: case 19:
        if (!has_card2)
            return buslibErrNoItem;
        words[0] = canio_get_u32(card2.raw + 4 * (item == 11 ? 0 : item - 17));
        words[1] = item == 11 ? canio_get_u32(card2.raw + 4) : 0;
        break;
    case 12:
        words[0] = canio_get_u32(transceiver.raw);
        words[1] = canio_get_u32(transceiver.raw + 4);
        break;
    case buslib_item::display_name:
        record.display_name.copy(static_cast<char *>(buffer), std::min(record.display_name.size(), size - 1));
        return buslibOK;
    case 16: words[0] = 2; break;
    case buslib_item::transceiver_type: words[0] = transceiver.transceiver_type(); break;
    case buslib_item::user_channel_name:
        user_name.copy(static_cast<char *>(buffer), std::min<size_t>({user_name.size(), 64, size - 1}));
        return buslibOK;
    default:
        return buslibErrParam;
    }
    std::memcpy(buffer, words, std::min(size, eight_byte_item ? sizeof words : sizeof words[0]));
    return buslibOK;
}

int buslibOpen(int channel, int flags)
{
    Layer &l = layer();
    if (channel < -1 || channel >= l.channel_count)
        return buslibErrParam;
    std::unique_lock<std::timed_mutex> lock(l.global_lock, l.lock_wait);
    if (!lock.owns_lock())
        return buslibErrInternal;

    const ChannelRecord *record = nullptr;
    int check = buslibErrHeld; // also the answer when there is no channel at all
    if (channel == -1) {
        for (int i = 0; i < l.channel_count && !record; ++i)
            if ((check = check_exclusivity(l.channels[i], flags)) == buslibOK)
                record = &l.channels[i];
    } else if ((check = check_exclusivity(l.channels[channel], flags)) == buslibOK) {
        record = &l.channels[channel];
    }
    if (!record)
        return check;

    const auto free_slot = std::find_if(std::begin(l.handles), std::end(l.handles),
                                        [](const HandleRecord &h) { return !h.in_use; });
    if (free_slot == std::end(l.handles))
        return buslibErrNoHandle;
    const int handle = int(free_slot - std::begin(l.handles));
    HandleRecord &h = *free_slot;
    h = HandleRecord();
    h.channel = record;
    h.device = std::make_unique<DeviceFile>();
    char name[64];
    std::snprintf(name, sizeof name, "BUSLIB32.%u.%lx.%u", unsigned(record->index), long(getpid()), unsigned(handle));

    int error = 0;
    bool opened = false;
    bool tried_init = false; // the last attempt asked for init access
    if (!(flags & buslib_open::no_init_access)) {
        debug_trace("buslibOpen: Trying init access.");
        error = canio_open_device(*h.device, record->device_name, true);
        opened = error == 0;
        tried_init = true;
        h.init_access = opened;
    }
    if (!opened) {
        if (flags & (buslib_open::exclusive | buslib_open::require_init_access)) {
            debug_trace("buslibOpen: Failed opening with init access, sorry.");
        } else {
            debug_trace("buslibOpen: Failed opening with init access - trying without.");
            error = canio_open_device(*h.device, record->device_name, false);
            opened = error == 0;
            tried_init = false;
        }
    }
    if (!opened) {
        debug_trace("buslibOpen: OpenPort failed, verr=%d", error);
        const int result = error ? result_from_system_error(error, tried_init) : 0;
        free_handle(h);
        // A failure the tables would ignore must still not give a handle number.
        return result < 0 ? result : buslibErrHeld;
    }

    const int open_mode = open_mode_for(*record, flags);
    if (open_mode >= 0) {
        const int refused = canio_set_open_mode(*h.device, uint32_t(open_mode));
        debug_trace("buslibOpen: set open_mode = %d -> %d", open_mode, refused);
        if (refused != 0) {
            debug_trace("buslibOpen: Failed to set open_mode = %d.", open_mode);
            free_handle(h);
            return buslibErrNotUsable;
        }
    }

    canio_set_rx_queue_size(*h.device, rx_queue_entries);
    canio_set_channel_index(*h.device, 0);
    canio_set_handle_name(*h.device, name);
    h.in_use = true;
    h.event = std::make_unique<platform::Event>(platform::Event::Reset::automatic, false);
    h.mutex = std::make_unique<platform::NamedMutex>();
    h.mutex->create(exclusivity_mutex_name(record->index, flags & buslib_open::exclusive));
    lock.unlock();
    canio_set_channel_mode(*h.device, true, false);
    return handle;
}

int buslibClose(int handle)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    // Goes on without the lock after a failed wait: a close that gave up
    // would keep the device, the event and the channel's mutex until the
    // program ends. An open or an enumeration under the lock works on other
    // records (an open only looks whether this one is in use).
    std::unique_lock<std::timed_mutex> lock(layer().global_lock, layer().lock_wait);
    canio_deactivate(*h->device);
    free_handle(*h);
    return buslibOK;
}

int buslibBusOn(int handle, bool notify)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    h->tx_errors = 0;
    h->rx_errors = 0;
    if (notify && canio_set_notification_event(*h->device, h->event->fd()) != 0)
        return device_result(*h, -1);
    return device_result(*h, canio_activate(*h->device));
}

int buslibBusOff(int handle)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    result = device_result(*h, canio_deactivate(*h->device));
    h->chip_state = 1;
    return result;
}

int buslibSetBitTiming(int handle, long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw, unsigned samples,
                       unsigned)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    result = device_result(*h, canio_set_bit_timing(*h->device, uint32_t(bitrate), tseg1, tseg2, sjw, samples));
    h->bitrate = bitrate;
    h->tseg1 = tseg1;
    h->tseg2 = tseg2;
    h->sjw = sjw;
    h->samples = samples;
    return result;
}

int buslibSetBitTimingFd(int handle, long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    result = device_result(*h, canio_set_bit_timing_fd(*h->device, uint32_t(bitrate), tseg1, tseg2, sjw));
    h->fd_bitrate = bitrate;
    h->fd_tseg1 = tseg1;
    h->fd_tseg2 = tseg2;
    h->fd_sjw = sjw;
    return result;
}

int buslibGetBitTiming(int handle, long *bitrate, unsigned *tseg1, unsigned *tseg2, unsigned *sjw, unsigned *samples,
                       unsigned *sync_mode)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    if (bitrate) *bitrate = h->bitrate;
    if (tseg1) *tseg1 = h->tseg1;
    if (tseg2) *tseg2 = h->tseg2;
    if (sjw) *sjw = h->sjw;
    if (samples) *samples = h->samples;
    if (sync_mode) *sync_mode = 1;
    return buslibOK;
}

int buslibSetOutputMode(int handle, int mode)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    uint32_t driver_mode;
    switch (mode) {
    case 0: case 1: driver_mode = 1; break; // silent
    case 4: driver_mode = 0; break;         // normal
    case 8: return buslibErrOutputMode;
    default: return buslibErrParam;
    }
    const int wrapper_result = canio_set_output_mode(*h->device, driver_mode);
    if (wrapper_result == 0)
        h->output_mode = mode;
    return device_result(*h, wrapper_result);
}

int buslibGetOutputMode(int handle, int *mode)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    if (!mode)
        return buslibErrParam;
    *mode = h->output_mode;
    return buslibOK;
}

int buslibSetTransceiverMode(int handle, int mode, int flags)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    return device_result(*h, canio_set_transceiver_mode(*h->device, uint32_t(mode), uint32_t(flags)));
}

int buslibAccept(int handle, long value, int kind)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    int32_t code, mask;
    switch (kind) {
    case 3: code = int32_t(value & 0xFFFF); mask = h->std_mask; break;
    case 4: code = h->std_code; mask = int32_t(value & 0xFFFF); break;
    case 5: code = int32_t(uint32_t(value) | vrbus::record::kExtendedId); mask = h->ext_mask; break;
    case 6: code = h->ext_code; mask = int32_t(uint32_t(value) | vrbus::record::kExtendedId); break;
    default: return buslibErrParam;
    }
    result = device_result(*h, canio_set_acceptance(*h->device, code, mask));
    if (result != buslibOK)
        return result;
    if (kind <= 4) {
        h->std_code = code;
        h->std_mask = mask;
    } else {
        h->ext_code = code;
        h->ext_mask = mask;
    }
    return buslibOK;
}

int buslibIoControl(int handle, int item, void *buffer, size_t size)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    const auto one_byte = [&](uint8_t *value) {
        if (!buffer || size < 1)
            return false;
        *value = *static_cast<uint8_t *>(buffer);
        return true;
    };
    uint8_t value = 0;
    switch (item) {
    case buslib_ioctl::tx_ack:
    case buslib_ioctl::tx_request:
        if (!one_byte(&value))
            return buslibErrParam;
        if (item == buslib_ioctl::tx_ack) {
            if (value > 2)
                return buslibErrParam;
            h->mode_word &= ~(mode_tx_ack_refused | mode_tx_ack_delivered);
            h->mode_word |= value == 1 ? mode_tx_ack_delivered : value == 2 ? mode_tx_ack_refused : 0;
        } else if (value) {
            h->mode_word |= mode_tx_request_delivered;
        } else {
            h->mode_word &= ~mode_tx_request_delivered;
        }
        return device_result(*h, canio_set_channel_mode(*h->device, !(h->mode_word & mode_tx_ack_refused),
                                                        h->mode_word & mode_tx_request_delivered));
    case buslib_ioctl::rx_queue_level: {
        if (!buffer || size < 4)
            return buslibErrParam;
        uint32_t level = 0;
        result = device_result(*h, canio_rx_queue_level(*h->device, &level));
        std::memcpy(buffer, &level, 4);
        return result;
    }
    case buslib_ioctl::flush_rx_queue:
        return device_result(*h, canio_flush_rx_queue(*h->device));
    case buslib_ioctl::flush_tx_queue:
        return device_result(*h, canio_flush_tx_queue(*h->device));
    case buslib_ioctl::event_handle: {
        if (!buffer || size < sizeof(int))
            return buslibErrParam;
        const int fd = h->event->fd();
        std::memcpy(buffer, &fd, sizeof fd);
        return buslibOK;
    }
    case buslib_ioctl::device_handle: {
        if (!buffer || size < sizeof(DeviceFile *))
            return buslibErrParam;
        DeviceFile *device = h->device.get();
        std::memcpy(buffer, &device, sizeof device);
        return buslibOK;
    }
    case buslib_ioctl::set_init_access:
        if (!one_byte(&value))
            return buslibErrParam;
        h->init_access = value != 0;
        return buslibOK;
    case buslib_ioctl::get_init_access:
        if (!buffer || size < 1)
            return buslibErrParam;
        *static_cast<uint8_t *>(buffer) = h->init_access;
        return buslibOK;
    default:
        return buslibErrParam;
    }
}

int buslib_encode_frame(long id, const void *data, unsigned length, unsigned flags, uint8_t *records)
{
    using namespace vrbus::record;
    if (length > 64 || ((flags & buslib_msg::standard) && (flags & buslib_msg::extended)))
        return -1;
    const auto *bytes = static_cast<const uint8_t *>(data);
    uint8_t driver_flags = 0;
    if (flags & buslib_msg::tx_ack) driver_flags |= kTxAcknowledge;
    if (flags & buslib_msg::tx_request) driver_flags |= kTxRequest;
    if (flags & buslib_msg::remote) driver_flags |= kRemote;
    if (flags & buslib_msg::wake_up) driver_flags |= kWakeUp;
    if (flags & buslib_msg::transceiver_error) driver_flags |= kTransceiverError;
    const bool fd = flags & buslib_msg::can_fd;
    if (flags & buslib_msg::error_frame) {
        driver_flags = kErrorFrame; // an error frame carries nothing else
        length = 0;
    } else if (fd) {
        driver_flags |= kFdFrame;
    }
    const uint8_t fd_byte = (flags & buslib_msg::bit_rate_switch) && fd ? kBitRateSwitch : 0;

    std::memset(records, 0, kSize);
    records[kKindAt] = kTxFrame;
    records[kFdFlagsAt] = fd_byte;
    canio_put_u32(records + kIdAt,
                  uint32_t(id) | ((flags & buslib_msg::extended) ? kExtendedId : 0u));
    records[kFlagsAt] = driver_flags;
    records[kLengthAt] = uint8_t(length);
    unsigned copied = std::min(length, unsigned(kDataBytes));
    if (bytes)
        std::memcpy(records + kDataAt, bytes, copied);
    int count = 1;
    while (fd && copied < length) {
        uint8_t *record = records + kSize * count++;
        std::memset(record, 0, kSize);
        record[kKindAt] = kContinuation;
        record[kFdFlagsAt] = fd_byte;
        const unsigned n = std::min(length - copied, unsigned(kContinuationBytes));
        if (bytes)
            std::memcpy(record + kContinuationDataAt, bytes + copied, n);
        copied += n;
    }
    return count;
}

int buslibWrite(int handle, long id, const void *data, unsigned length, unsigned flags)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    uint8_t records[5 * vrbus::record::kSize];
    const int count = buslib_encode_frame(id, data, length, flags, records);
    if (count < 0)
        return buslibErrParam;
    uint32_t written = 0;
    const int error = h->device->write(records, uint32_t(count * vrbus::record::kSize), &written);
    if (error == 234)
        return buslibErrTxQueueFull;
    if (error != 0)
        return result_from_system_error(error, h->init_access);
    return written == 0 ? buslibErrTxQueueFull : buslibOK;
}

int buslibWriteFrames(int handle, const BuslibFrame *frames, unsigned count, unsigned *written)
{
    *written = 0;
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    constexpr uint32_t record_size = vrbus::record::kSize;
    std::vector<uint8_t> records;
    records.reserve(size_t(count) * record_size);
    unsigned next = 0;
    while (next < count) {
        // A run of frames of one record each, or a frame of several alone.
        records.clear();
        unsigned run = 0;
        bool one_of_several_records = false;
        int encode_error = 0;
        while (next + run < count) {
            const BuslibFrame &frame = frames[next + run];
            uint8_t encoded[5 * record_size];
            const int n = buslib_encode_frame(frame.id, frame.data, frame.length, frame.flags, encoded);
            if (n < 0) {
                encode_error = buslibErrParam;
                break;
            }
            if (n > 1 && run > 0)
                break;
            records.insert(records.end(), encoded, encoded + size_t(n) * record_size);
            ++run;
            if (n > 1) {
                one_of_several_records = true;
                break;
            }
        }
        if (run > 0) {
            uint32_t bytes = 0;
            const int error = h->device->write(records.data(), uint32_t(records.size()), &bytes);
            unsigned went = run;
            if (bytes < records.size())
                went = one_of_several_records ? 0 : unsigned(bytes / record_size);
            *written += went;
            next += went;
            if (error == 234 || (error == 0 && went < run))
                return buslibErrTxQueueFull;
            if (error != 0)
                return result_from_system_error(error, h->init_access);
        }
        if (encode_error != 0)
            return encode_error;
    }
    return buslibOK;
}

int buslibRead(int handle, long *id, void *data, unsigned *length, unsigned *flags, unsigned long *time)
{
    int result;
    HandleRecord *h = valid_handle(handle, &result);
    if (!h)
        return result;
    using namespace vrbus::record;
    for (;;) {
        uint8_t record[kSize];
        uint32_t read = 0;
        const int error = h->device->read(record, kSize, &read);
        if (error != 0) {
            const int internal = internal_from_system_error(error);
            if (internal == 10 || internal == 113)
                return buslibErrNoMsg;
            debug_trace("buslibRead: RX vErr=%d", error);
            return buslibErrInternal;
        }
        if (read < unsigned(kSize))
            return buslibErrNoMsg;
        if (record[kKindAt] == kChipState) {
            take_chip_state(*h, record);
            continue;
        }
        if (record[kKindAt] != kFrame)
            continue;
        const uint8_t driver_flags = record[kFlagsAt];
        if ((driver_flags & kTxRequest) && !(h->mode_word & mode_tx_request_delivered))
            continue;
        if ((driver_flags & kTxAcknowledge) && !(h->mode_word & mode_tx_ack_delivered))
            continue;
        const uint32_t raw_id = canio_get_u32(record + kIdAt);
        unsigned out_flags = (raw_id & kExtendedId) ? buslib_msg::extended : buslib_msg::standard;
        if (driver_flags & kErrorFrame)
            out_flags = buslib_msg::error_frame;
        if (driver_flags & kOverrun) {
            out_flags |= buslib_msg::overrun;
            ++h->overrun_count;
        }
        if (driver_flags & kRemote) out_flags |= buslib_msg::remote;
        if (driver_flags & kTransceiverError) out_flags |= buslib_msg::transceiver_error;
        if (driver_flags & kWakeUp) out_flags |= buslib_msg::wake_up;
        if (driver_flags & kTxRequest) out_flags |= buslib_msg::tx_request;
        if (driver_flags & kTxAcknowledge) out_flags |= buslib_msg::tx_ack;
        const unsigned n = std::min<unsigned>(record[kLengthAt], kDataBytes);
        if (id) *id = long(raw_id & ~kExtendedId);
        if (data) std::memcpy(data, record + kDataAt, n);
        if (length) *length = record[kLengthAt] > kDataBytes ? kDataBytes : record[kLengthAt];
        if (flags) *flags = out_flags;
        if (time) *time = 0;
        return buslibOK;
    }
}
