#include "interfaces/hardware/can_hw_channel_vindra.h"

#include "settings/debug_trace.h"
#include "interfaces/hardware/buslib.h"
#include "interfaces/hardware/canio_device.h"
#include "platform/device_transport.h"
#include "platform/service_manager.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Access-layer open flags of a channel.
constexpr int open_accept_virtual = buslib_open::accept_virtual;
constexpr int open_lin = buslib_open::lin | buslib_open::accept_virtual;

constexpr uint32_t units_per_second = 100000; // driver time is in 10 µs units
constexpr int lost_daemon_wait_ms = 1000;
constexpr uint32_t rate_window_ms = 500000;

// The receive queue header's words; the driver writes the write index, this
// side the status mark and the read index, each with an atomic exchange.
// Loads and exchanges are sequentially consistent: the read index stored
// before the write index is loaded again, as the driver stores the write
// index before it loads the read index, lets one side always see the other,
// so the driver cannot skip the notification of a reader about to sleep.
uint32_t load_word(const uint8_t *queue, int offset)
{
    return __atomic_load_n(reinterpret_cast<const uint32_t *>(queue + offset), __ATOMIC_SEQ_CST);
}

void exchange_word(uint8_t *queue, int offset, uint32_t value)
{
    __atomic_exchange_n(reinterpret_cast<uint32_t *>(queue + offset), value, __ATOMIC_SEQ_CST);
}

// Consumes the entry at the read index: the drained mark first (when the
// queue becomes empty), then the new read index.
void consume_entry(uint8_t *queue, uint32_t read, uint32_t capacity)
{
    const uint32_t next = (read + 1) % capacity;
    if (next == load_word(queue, vrbus::queue::kWriteIndexAt))
        exchange_word(queue, vrbus::queue::kStatusAt, load_word(queue, vrbus::queue::kStatusAt) | vrbus::queue::kDrained);
    exchange_word(queue, vrbus::queue::kReadIndexAt, next);
}

// Record flags of a received frame entry.
uint32_t message_flags(uint8_t driver_flags)
{
    using namespace vrbus::record;
    uint32_t flags = 0;
    if (driver_flags & kRemote) flags |= VyrCanMessage::Remote;
    if (driver_flags & kWakeUp) flags |= VyrCanMessage::WakeUp;
    if (driver_flags & kTransceiverError) flags |= VyrCanMessage::TransceiverError;
    if (driver_flags & kErrorFrame) flags |= VyrCanMessage::ErrorFrame;
    if (driver_flags & kTxAcknowledge) flags |= VyrCanMessage::TxAck;
    if (driver_flags & kTxRequest) flags |= VyrCanMessage::TxRequest;
    if (driver_flags & kOverrun) flags |= VyrCanMessage::HardwareOverrun;
    return flags;
}

int32_t bus_status_of_chip_state(uint8_t state)
{
    using namespace vrbus::record;
    switch (state) {
    case kChipBusOff: return canhwBusOff;
    case kChipErrorPassive: return canhwBusErrorPassive;
    case kChipWarning: return canhwBusWarning;
    case kChipErrorPassive | kChipWarning: return canhwBusErrorPassive;
    default: return canhwBusErrorActive;
    }
}

} // namespace

CANhwChannelVindra::CANhwChannelVindra(int channel_index, uint32_t capability)
    : channel_index_(channel_index), capability_(capability)
{
}

CANhwChannelVindra::~CANhwChannelVindra()
{
    if (handle_ >= 0 || partner_ || connected_head_)
        close();
    callback_ = nullptr;
    context_ = nullptr;
}

const void *CANhwChannelVindra::provider_identity()
{
    static const char identity = 0;
    return &identity;
}

CANhwStatus CANhwChannelVindra::status_from_result(int result)
{
    switch (result) {
    case 0: return canhwSuccess;
    case -1: return canhwErrorWrongParameter;
    case -2: return canhwNoMessage;
    case -3: return canhwErrorDeviceNotFound;
    case -4: return canhwErrorOutOfMemory;
    case -5: return canhwErrorNoHardware;
    case -7: return canhwErrorTimeout;
    case -8: return canhwErrorNotInitialized;
    case -9: return canhwErrorOutOfHandles;
    case -10: return canhwErrorInvalidHandle;
    case -12: return canhwErrorDriverModeNotSupported;
    case -13: return canhwErrorTxQueueFull;
    case -15: return canhwErrorHardwareFailed;
    case -16: return canhwErrorDllLoadFailed;
    case -17: return canhwErrorDllVersion;
    case -18: return canhwErrorDllInitFailed;
    case -23: return canhwErrorDriverLoadFailed;
    case -24: return canhwErrorDriverFailed;
    case -28: return canhwErrorRegistryFailed;
    case -29: return canhwErrorReserved;
    case -31: return canhwErrorAccessDenied;
    default: return canhwErrorInternalError;
    }
}

CANhwStatus CANhwChannelVindra::set_notify_target(CANhwNotifyCallback callback, void *context)
{
    // The reader that calls the callback (the partner's, for a connected
    // channel) may be running: an interface clears its callback before it
    // stops its thread.
    std::lock_guard<std::mutex> lock((partner_ ? partner_ : this)->connected_mutex_);
    callback_ = callback;
    context_ = context;
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::open(bool lin_mode)
{
    if (handle_ >= 0)
        close();
    statistics_ = Statistics();
    time_base_ = 0;
    seconds_ = 0;
    milliseconds_of_seconds_ = 0;
    clock_reset_pending_ = true;
    handle_ = -1;
    device_ = nullptr;
    rx_queue_ = nullptr;
    const int flags = lin_mode ? open_lin : int(fd_open_flags_) | open_accept_virtual;
    const int handle = buslibOpen(channel_index_, flags);
    if (handle < 0)
        return status_from_result(handle);
    handle_ = handle;
    opened_for_fd_ = !lin_mode && fd_open_flags_ != 0;
    buslibIoControl(handle_, buslib_ioctl::device_handle, &device_, sizeof device_);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::close()
{
    leave_partner();
    release_connected();
    // A daemon that this process started and that died under the channel
    // leaves no zombie; the next measurement start starts a new one.
    if (device_ && device_->connection_lost())
        platform::ServiceManager::instance().reap_ended(lost_daemon_wait_ms);
    if (handle_ >= 0) {
        uint8_t refused = 2; // no transmit acknowledgements any more
        buslibIoControl(handle_, buslib_ioctl::tx_ack, &refused, sizeof refused);
        buslibClose(handle_);
    }
    handle_ = -1;
    own_index_ = -1;
    device_ = nullptr;
    rx_queue_ = nullptr;
    return canhwSuccess;
}

void CANhwChannelVindra::leave_partner()
{
    if (!partner_)
        return;
    std::lock_guard<std::mutex> lock(partner_->connected_mutex_);
    CANhwChannelVindra *previous = nullptr;
    for (CANhwChannelVindra *c = partner_->connected_head_; c; previous = c, c = c->next_) {
        if (c != this)
            continue;
        (previous ? previous->next_ : partner_->connected_head_) = next_;
        if (partner_->connected_tail_ == this)
            partner_->connected_tail_ = previous;
        break;
    }
    partner_ = nullptr;
    next_ = nullptr;
}

// The channels connected to this one lose their partner: none of them may
// keep a reference to a channel that closes and may be deleted.
void CANhwChannelVindra::release_connected()
{
    std::lock_guard<std::mutex> lock(connected_mutex_);
    for (CANhwChannelVindra *c = connected_head_; c;) {
        CANhwChannelVindra *next = c->next_;
        c->partner_ = nullptr;
        c->next_ = nullptr;
        c = next;
    }
    connected_head_ = nullptr;
    connected_tail_ = nullptr;
}

CANhwStatus CANhwChannelVindra::set_acceptance_std(uint32_t code, uint32_t mask)
{
    buslibAccept(handle_, long(code), 3);
    buslibAccept(handle_, long(mask), 4);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::set_acceptance_ext(uint32_t code, uint32_t mask)
{
    buslibAccept(handle_, long(code), 5);
    buslibAccept(handle_, long(mask), 6);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::buson()
{
    return status_from_result(buslibBusOn(handle_, partner_ == nullptr));
}

CANhwStatus CANhwChannelVindra::busoff()
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    return canio_deactivate(*device_) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::map_rx_queue()
{
    rx_queue_ = has_device() ? canio_map_rx_queue(*device_) : nullptr;
    // Overruns before the mapping are no loss of this reader's.
    overruns_seen_ = rx_queue_ ? load_word(rx_queue_, vrbus::queue::kOverrunCountAt) : 0;
    lost_frames_ = 0;
    return rx_queue_ ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::lock_rx_queue()
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    canio_lock_queue(*device_);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::unlock_rx_queue()
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    canio_unlock_queue(*device_);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::set_output_mode(bool silent)
{
    return status_from_result(buslibSetOutputMode(handle_, silent ? 1 : 4));
}

CANhwStatus CANhwChannelVindra::get_output_mode(bool *silent)
{
    int mode = 0;
    const int result = buslibGetOutputMode(handle_, &mode);
    if (silent)
        *silent = mode == 1;
    return status_from_result(result);
}

bool CANhwChannelVindra::is_fd_capable()
{
    return capability_ & (buslib_capability::can_fd | buslib_capability::can_fd_non_iso);
}

CANhwStatus CANhwChannelVindra::set_fd_mode(bool enable, int mode)
{
    fd_open_flags_ = 0;
    if (enable && mode == 0)
        fd_open_flags_ = buslib_open::can_fd;
    else if (enable && mode == 1)
        fd_open_flags_ = buslib_open::can_fd_non_iso;
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::reserved_query(uint32_t, uint32_t)
{
    return canhwErrorNotImplemented;
}

CANhwStatus CANhwChannelVindra::set_bus_params_fd(long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw)
{
    fd_bitrate_ = bitrate;
    fd_tseg1_ = tseg1;
    fd_tseg2_ = tseg2;
    fd_sjw_ = sjw;
    debug_trace("              BRS: bitrate=%ld tseg1=%d tseg2=%d sjw=%d", bitrate, int(tseg1), int(tseg2), int(sjw));
    const int result = buslibSetBitTimingFd(handle_, bitrate, tseg1, tseg2, sjw);
    if (result != buslibOK)
        debug_trace("CANhwChannelVindra::set_bus_params_fd: canSetBusParamsFd() failed, status=%d", result);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::set_bus_params(long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw,
                                               unsigned samples, unsigned)
{
    const int result = buslibSetBitTiming(handle_, bitrate, tseg1, tseg2, sjw, samples, 0);
    if (result != buslibOK)
        debug_trace("CANhwChannelVindra::set_bus_params: canSetBusParams() failed, status=%d", result);
    return status_from_result(result);
}

CANhwStatus CANhwChannelVindra::get_bus_params(long *bitrate, unsigned *tseg1, unsigned *tseg2, unsigned *sjw,
                                               unsigned *samples, unsigned *sync_mode)
{
    return status_from_result(buslibGetBitTiming(handle_, bitrate, tseg1, tseg2, sjw, samples, sync_mode));
}

CANhwStatus CANhwChannelVindra::reset_clock()
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    canio_reset_clock(*device_);
    // The driver's time starts again at zero, so the time base must too.
    clock_reset_pending_ = true;
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::set_transceiver_mode(int mode)
{
    return status_from_result(buslibSetTransceiverMode(handle_, mode, 0));
}

CANhwStatus CANhwChannelVindra::get_transceiver_mode(int *mode)
{
    if (mode)
        *mode = 0;
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::request_statistic(int)
{
    if (has_device())
        canio_request_statistic(*device_);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::request_chip_state(int)
{
    if (has_device())
        canio_request_chip_state(*device_);
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::get_event_handle(platform::WaitHandle *handle)
{
    int fd = -1;
    if (buslibIoControl(handle_, buslib_ioctl::event_handle, &fd, sizeof fd) != buslibOK)
        fd = -1;
    if (handle)
        *handle = platform::WaitHandle{fd, true};
    return canhwSuccess;
}

CANhwStatus CANhwChannelVindra::get_connection_handle(platform::WaitHandle *handle)
{
    const platform::WaitHandle connection = has_device() ? device_->connection_handle() : platform::WaitHandle{};
    if (handle)
        *handle = connection;
    return connection.fd >= 0 ? canhwSuccess : canhwErrorInvalidHandle;
}

namespace {

// The frame as buslibWrite takes it; a frame of more than 8 bytes gets the FD flag.
BuslibFrame buslib_frame(VyrCanMessage &message, bool opened_for_fd)
{
    unsigned flags;
    const bool error_frame = !(message.flags & VyrCanMessage::Extended) && (message.flags & VyrCanMessage::ErrorFrame);
    if (message.flags & VyrCanMessage::Extended)
        flags = buslib_msg::extended;
    else if (error_frame)
        flags = buslib_msg::error_frame;
    else
        flags = buslib_msg::standard;
    const unsigned length = std::min<unsigned>(message.dlc, VyrCanMessage::max_data);
    if (length > 8)
        message.flags |= VyrCanMessage::FdFrame;
    if (!error_frame) {
        if (message.flags & VyrCanMessage::Remote) flags |= buslib_msg::remote;
        if (message.flags & VyrCanMessage::WakeUp) flags |= buslib_msg::wake_up;
        if (message.flags & VyrCanMessage::TxAck) flags |= buslib_msg::tx_ack;
        if (message.flags & VyrCanMessage::TxRequest) flags |= buslib_msg::tx_request;
        if (opened_for_fd && (message.flags & VyrCanMessage::FdFrame))
            flags |= buslib_msg::can_fd;
        if (opened_for_fd && (message.flags & VyrCanMessage::BitRateSwitch))
            flags |= buslib_msg::can_fd | buslib_msg::bit_rate_switch;
    }
    return BuslibFrame{long(message.id), message.data, length, flags};
}

} // namespace

CANhwStatus CANhwChannelVindra::write(VyrCanMessage &message)
{
    const BuslibFrame frame = buslib_frame(message, opened_for_fd_);
    return status_from_result(buslibWrite(handle_, frame.id, frame.data, frame.length, frame.flags));
}

CANhwStatus CANhwChannelVindra::write_frames(VyrCanMessage *messages, unsigned count, unsigned *written)
{
    std::vector<BuslibFrame> frames;
    frames.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        frames.push_back(buslib_frame(messages[i], opened_for_fd_));
    return status_from_result(buslibWriteFrames(handle_, frames.data(), count, written));
}

CANhwChannelVindra::EntryTime CANhwChannelVindra::convert_time(uint32_t units)
{
    // A pending reset starts the time line anew. The driver's count wraps
    // after about 11.9 hours; the unsigned difference to the base carries the
    // time line across the wrap.
    if (clock_reset_pending_.exchange(false)) {
        time_base_ = 0;
        seconds_ = 0;
        milliseconds_of_seconds_ = 0;
    }
    uint32_t rest = units - time_base_;
    if (rest >= units_per_second) {
        const uint32_t whole = rest / units_per_second;
        seconds_ += whole;
        time_base_ += whole * units_per_second;
        rest -= whole * units_per_second;
        milliseconds_of_seconds_ = seconds_ * 1000;
    }
    return EntryTime{milliseconds_of_seconds_ + rest / 100, uint8_t(rest % 100), seconds_, rest * 10};
}

void CANhwChannelVindra::notify(int32_t kind, const EntryTime &time, int32_t value)
{
    if (callback_)
        callback_(kind, context_, time.seconds, time.microseconds, value);
}

void CANhwChannelVindra::take_frame_counters(const uint8_t *entry, const EntryTime &time)
{
    Statistics &s = statistics_;
    notify(canhwStatBusLoad, time, int32_t(uint16_t(entry[20] | entry[21] << 8)) * 10);
    const uint32_t frames = canio_get_u32(entry + 8) + canio_get_u32(entry + 12);
    const uint32_t errors = canio_get_u32(entry + 16);
    if (!s.has_std_baseline) {
        s.has_std_baseline = true;
        s.std_baseline = frames;
        s.error_baseline = errors;
    } else {
        s.std_count = int32_t(frames - s.std_baseline);
        notify(canhwStatStdFrames, time, s.std_count);
        notify(canhwStatErrorFrames, time, int32_t(errors - s.error_baseline));
    }
    s.std_time = time.ms;
    after_counter_report(time);
}

void CANhwChannelVindra::take_ext_frame_counters(const uint8_t *entry, const EntryTime &time)
{
    Statistics &s = statistics_;
    const uint32_t frames = canio_get_u32(entry + 8) + canio_get_u32(entry + 12);
    if (!s.has_ext_baseline) {
        s.has_ext_baseline = true;
        s.ext_baseline = frames;
    } else {
        s.ext_count = int32_t(frames - s.ext_baseline);
        notify(canhwStatExtFrames, time, s.ext_count);
    }
    s.ext_time = time.ms;
    after_counter_report(time);
}

// The frame rate, once the standard and the extended report of one moment are in.
void CANhwChannelVindra::after_counter_report(const EntryTime &time)
{
    Statistics &s = statistics_;
    const bool both = s.has_std_baseline && s.has_ext_baseline;
    if (both && s.std_time != s.ext_time)
        return; // the partner report of this moment is still to come
    const int32_t total = s.ext_count + s.std_count;
    if (both) {
        const int64_t elapsed = int64_t(time.ms) - int64_t(s.previous_rate_time);
        if (elapsed > 0 && elapsed < rate_window_ms) {
            const int64_t rate = int64_t(total - s.previous_total) * 1000 / elapsed;
            notify(canhwStatFrameRate, time, int32_t(rate));
        }
    }
    s.previous_total = total;
    s.previous_rate_time = time.ms;
}

void CANhwChannelVindra::take_chip_state(const uint8_t *entry, const EntryTime &time)
{
    notify(canhwStatBusStatus, time, bus_status_of_chip_state(entry[8]));
    notify(canhwStatTxErrorCounter, time, entry[9]);
    notify(canhwStatRxErrorCounter, time, entry[10]);
}

CANhwChannelVindra *CANhwChannelVindra::channel_of_entry(uint8_t index)
{
    if (index == own_index_)
        return this;
    for (CANhwChannelVindra *c = connected_head_; c; c = c->next_)
        if (c->own_index_ == index)
            return c;
    return nullptr;
}

bool CANhwChannelVindra::take_lost_frames(uint32_t *count)
{
    std::lock_guard<std::mutex> lock(connected_mutex_);
    *count = std::exchange(lost_frames_, 0u);
    return true;
}

CANhwStatus CANhwChannelVindra::read_can_message(VyrCanMessage *message)
{
    if (!rx_queue_) {
        long id = 0;
        unsigned length = 0, flags = 0;
        unsigned long time = 0;
        const int result = buslibRead(handle_, &id, message->data, &length, &flags, &time);
        if (result != buslibOK)
            return status_from_result(result);
        message->id = uint32_t(id);
        message->dlc = uint8_t(length);
        // The access layer's flags match the record's, except its mark of a
        // standard identifier, which would read as the script's filter mark.
        message->flags = flags & ~buslib_msg::standard;
        message->channel = 0;
        message->time = 0;
        message->time_fraction = 0;
        return canhwSuccess;
    }

    using namespace vrbus::record;
    std::lock_guard<std::mutex> lock(connected_mutex_);
    uint8_t *const queue = rx_queue_;
    bool taken = false;
    unsigned filled = 0; // data bytes of the taken frame so far
    for (;;) {
        const uint32_t capacity = load_word(queue, vrbus::queue::kCapacityAt);
        const uint32_t write = load_word(queue, vrbus::queue::kWriteIndexAt);
        const uint32_t read = load_word(queue, vrbus::queue::kReadIndexAt);
        if (read == write || capacity == 0 || read >= capacity || write >= capacity) {
            if (taken)
                return canhwSuccess;
            // The mapping outlives the daemon: only the socket tells that no
            // frame will come any more.
            return device_ && device_->connection_lost() ? canhwErrorBrokenLink : canhwNoMessage;
        }
        const uint8_t *entry = queue + vrbus::queue::kEntriesAt + size_t(read) * kSize;

        if (taken) {
            // Only continuations of the CAN FD frame taken go on; anything
            // else stays in the queue for the next call.
            if (entry[kKindAt] != kContinuation)
                return canhwSuccess;
            const unsigned at = std::min<unsigned>(filled, VyrCanMessage::max_data);
            std::memcpy(message->data + at, entry + kContinuationDataAt,
                        std::min<unsigned>(VyrCanMessage::max_data - at, kContinuationBytes));
            filled += kContinuationBytes;
            consume_entry(queue, read, capacity);
            if (filled >= message->dlc)
                return canhwSuccess;
            continue;
        }

        if (entry[kKindAt] == kContinuation) { // no frame of this call to continue: dropped
            consume_entry(queue, read, capacity);
            continue;
        }
        CANhwChannelVindra *target = channel_of_entry(entry[kChannelAt]);
        if (!target) {
            debug_trace("CANhwChannelVindra::read_can_message: No handle (evIdx=%d, myIdx=%d)",
                        entry[kChannelAt], own_index_.load());
            consume_entry(queue, read, capacity);
            continue;
        }
        const EntryTime time = target->convert_time(canio_get_u32(entry + kTimeAt));
        switch (entry[kKindAt]) {
        case kFrame: {
            const uint32_t raw_id = canio_get_u32(entry + kIdAt);
            const uint8_t driver_flags = entry[kFlagsAt];
            message->id = raw_id & ~kExtendedId;
            message->time = time.ms;
            message->time_fraction = time.fraction;
            message->channel = entry[kChannelAt];
            // A length byte above 64 is cut so no data lands beyond the record.
            message->dlc = std::min<uint8_t>(entry[kLengthAt], VyrCanMessage::max_data);
            message->flags = message_flags(driver_flags);
            if (driver_flags & kOverrun) {
                // The count as of now: drops after this frame count with it,
                // and a later frame's mark adds only what came after them.
                const uint32_t overruns = load_word(queue, vrbus::queue::kOverrunCountAt);
                lost_frames_ += overruns - overruns_seen_;
                overruns_seen_ = overruns;
            }
            if (raw_id & kExtendedId)
                message->flags |= VyrCanMessage::Extended;
            if (opened_for_fd_ && (driver_flags & kFdFrame)) {
                message->flags |= VyrCanMessage::FdFrame;
                if (entry[kFdFlagsAt] & kErrorStateIndicator)
                    message->flags |= VyrCanMessage::ErrorStateIndicator;
                if (entry[kFdFlagsAt] & kBitRateSwitch)
                    message->flags |= VyrCanMessage::BitRateSwitch;
            }
            std::memset(message->data, 0, sizeof message->data);
            std::memcpy(message->data, entry + kDataAt, kDataBytes);
            filled = kDataBytes;
            taken = true;
            consume_entry(queue, read, capacity);
            const bool continues = opened_for_fd_ && (message->flags & VyrCanMessage::FdFrame) && message->dlc > 8;
            if (!continues)
                return canhwSuccess;
            continue;
        }
        case kFrameCounters:
            target->take_frame_counters(entry, time);
            break;
        case kExtFrameCounters:
            target->take_ext_frame_counters(entry, time);
            break;
        case kChipState:
            target->take_chip_state(entry, time);
            break;
        default:
            break;
        }
        consume_entry(queue, read, capacity);
    }
}

CANhwStatus CANhwChannelVindra::set_channel_index(int index)
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    own_index_ = index;
    return canio_set_channel_index(*device_, uint32_t(index)) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::flush_rx_queue()
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    return canio_flush_rx_queue(*device_) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::connect_channel(CANhwChannel *partner)
{
    if (!partner)
        return canhwErrorWrongParameter;
    if (partner->provider_data() != provider_identity())
        return canhwErrorIncompatibleHardware;
    auto *vindra = static_cast<CANhwChannelVindra *>(partner);
    if (vindra == this)
        return canhwErrorWrongParameter;
    leave_partner();
    {
        std::lock_guard<std::mutex> lock(vindra->connected_mutex_);
        partner_ = vindra;
        next_ = nullptr;
        if (vindra->connected_tail_)
            vindra->connected_tail_->next_ = this;
        else
            vindra->connected_head_ = this;
        vindra->connected_tail_ = this;
    }
    if (!has_device() || !vindra->has_device())
        return canhwErrorDriverFailed;
    return canio_connect(*device_, *vindra->device_) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::set_clock_offset(CANhwChannel *other)
{
    if (!other)
        return canhwErrorWrongParameter;
    if (other->provider_data() != provider_identity())
        return canhwErrorIncompatibleHardware;
    auto *vindra = static_cast<CANhwChannelVindra *>(other);
    if (!has_device() || !vindra->has_device())
        return canhwErrorInvalidHandle;
    return canio_copy_clock(*device_, *vindra->device_) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::adjust_clock_offset(int milliseconds)
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    return canio_adjust_clock(*device_, milliseconds) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::enable_timer_events(bool on)
{
    if (!has_device())
        return canhwErrorInvalidHandle;
    return canio_enable_timer_events(*device_, on) == 0 ? canhwSuccess : canhwErrorDriverFailed;
}

CANhwStatus CANhwChannelVindra::enable_tx_ack()
{
    if (handle_ < 0)
        return canhwErrorInvalidHandle;
    uint8_t delivered = 1;
    return status_from_result(buslibIoControl(handle_, buslib_ioctl::tx_ack, &delivered, sizeof delivered));
}
