#include "interfaces/hardware/canio_device.h"

#include "settings/debug_trace.h"

#include <algorithm>
#include <cstring>

using platform::DeviceFile;

namespace {

namespace system_error = platform::system_error;

// One control code; 0 when the driver completed it.
int control(DeviceFile &device, uint32_t code, const void *input = nullptr, uint32_t in_len = 0,
            void *output = nullptr, uint32_t out_len = 0, uint32_t *returned = nullptr)
{
    return device.io_control(code, input, in_len, output, out_len, returned) == 0 ? 0 : -1;
}

template <size_t N>
int control_words(DeviceFile &device, uint32_t code, const uint32_t (&words)[N])
{
    uint8_t buffer[4 * N];
    for (size_t i = 0; i < N; ++i)
        canio_put_u32(buffer + 4 * i, words[i]);
    return control(device, code, buffer, sizeof buffer);
}

int control_out_u32(DeviceFile &device, uint32_t code, uint32_t *value)
{
    uint8_t buffer[4] = {};
    const int result = control(device, code, nullptr, 0, buffer, sizeof buffer);
    if (result == 0)
        *value = canio_get_u32(buffer);
    return result;
}

std::string text_at(const uint8_t *bytes, size_t size)
{
    return std::string(reinterpret_cast<const char *>(bytes), strnlen(reinterpret_cast<const char *>(bytes), size));
}

// Driver capability bit -> capability word of the handle API.
struct CapabilityBit
{
    int driver_bit;
    uint32_t capability;
};
const CapabilityBit capability_bits[] = {
    {7, 0x1},         {0, 0x10},        {3, 0x2},          {16, 0x4},         {17, 0x8},         {18, 0x40},
    {19, 0x80},       {20, 0x10000},    {21, 0x20000},     {22, 0x40000},     {23, 0x80000},     {24, 0x100000},
    {25, 0x200000},   {26, 0x400000},   {27, 0x800000},    {28, 0x1000000},   {29, 0x2000000},   {30, 0x4000000},
};

} // namespace

uint32_t canio_get_u32(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

void canio_put_u32(uint8_t *bytes, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
}

std::string CanioCardInfo::card_name() const
{
    return text_at(raw + vrbus::card_info::kCardNameAt, 32);
}

std::string CanioCardInfo::driver_name() const
{
    return text_at(raw + vrbus::card_info::kDriverNameAt, 32);
}

uint32_t canio_capability_from_driver(uint32_t driver_bits)
{
    uint32_t capability = 0;
    for (const CapabilityBit &bit : capability_bits)
        if (driver_bits & (1u << bit.driver_bit))
            capability |= bit.capability;
    return capability;
}

std::string canio_probe_path(const std::string &device_name)
{
    return canio_slot_path(device_name, 1);
}

std::string canio_init_path(const std::string &device_name)
{
    return "\\\\.\\" + device_name + ".init";
}

std::string canio_slot_path(const std::string &device_name, int slot)
{
    return "\\\\.\\" + device_name + "." + std::to_string(slot);
}

int canio_open_device(DeviceFile &device, const std::string &device_name, bool init_access)
{
    if (init_access)
        return device.open(canio_init_path(device_name));
    int error = system_error::FILE_NOT_FOUND;
    for (int slot = 2; slot <= 127; ++slot) {
        error = device.open(canio_slot_path(device_name, slot));
        if (error == 0)
            return 0;
        // A slot in use answers access denied, a slot not made yet not found.
        if (error != system_error::ACCESS_DENIED && error != system_error::FILE_NOT_FOUND)
            break;
    }
    return error;
}

int canio_set_bit_timing(DeviceFile &device, uint32_t bitrate, uint32_t tseg1, uint32_t tseg2, uint32_t sjw,
                         uint32_t samples)
{
    // The sixth word is reserved and carries no value.
    return control_words(device, vrbus::code::kSetChipParams, {bitrate, tseg1, tseg2, sjw, samples, 0u});
}

int canio_set_bit_timing_fd(DeviceFile &device, uint32_t bitrate, uint32_t tseg1, uint32_t tseg2, uint32_t sjw)
{
    return control_words(device, vrbus::code::kSetChipParamsFd, {bitrate, tseg1, tseg2, sjw, 0u, 0u});
}

int canio_set_open_mode(DeviceFile &device, uint32_t mode)
{
    uint8_t buffer[48] = {};
    canio_put_u32(buffer, mode);
    canio_put_u32(buffer + 4, 1); // action: set
    uint32_t returned = 0;
    if (control(device, vrbus::code::kSetOpenMode, buffer, sizeof buffer, buffer, sizeof buffer, &returned) != 0)
        return -1;
    // The driver answers its verdict at byte 12; anything but 0 refuses the mode.
    return returned >= 16 && canio_get_u32(buffer + 12) == 0 ? 0 : -1;
}

int canio_set_notification_event(DeviceFile &device, int event_fd)
{
    return control_words(device, vrbus::code::kSetNotification, {uint32_t(event_fd), 1u});
}

int canio_set_rx_queue_size(DeviceFile &device, uint32_t entries)
{
    return control_words(device, vrbus::code::kSetRxQueueSize, {entries});
}

int canio_set_channel_index(DeviceFile &device, uint32_t index)
{
    return control_words(device, vrbus::code::kSetChannelIndex, {index});
}

int canio_activate(DeviceFile &device)
{
    return control(device, vrbus::code::kBusOn);
}

int canio_deactivate(DeviceFile &device)
{
    return control(device, vrbus::code::kBusOff);
}

int canio_request_statistic(DeviceFile &device)
{
    return control(device, vrbus::code::kRequestStatistics);
}

int canio_request_chip_state(DeviceFile &device)
{
    return control(device, vrbus::code::kRequestChipState);
}

int canio_reset_clock(DeviceFile &device)
{
    return control(device, vrbus::code::kResetClock);
}

int canio_read_clock(DeviceFile &device, uint32_t *seconds, uint32_t *microseconds)
{
    uint8_t buffer[8] = {};
    if (control(device, vrbus::code::kGetClockOffset, nullptr, 0, buffer, sizeof buffer) != 0)
        return -1;
    *seconds = canio_get_u32(buffer);
    *microseconds = canio_get_u32(buffer + 4);
    return 0;
}

int canio_write_clock(DeviceFile &device, uint32_t seconds, uint32_t microseconds)
{
    return control_words(device, vrbus::code::kSetClockOffset, {seconds, microseconds});
}

int canio_rx_queue_level(DeviceFile &device, uint32_t *level)
{
    return control_out_u32(device, vrbus::code::kGetRxQueueLevel, level);
}

int canio_flush_rx_queue(DeviceFile &device)
{
    return control(device, vrbus::code::kFlushRxQueue);
}

int canio_flush_tx_queue(DeviceFile &device)
{
    return control(device, vrbus::code::kFlushTxQueue);
}

int canio_set_acceptance(DeviceFile &device, int32_t code, int32_t mask)
{
    const bool extended = code < 0 || mask < 0;
    if (control(device, extended ? vrbus::code::kClearAcceptanceExt : vrbus::code::kClearAcceptanceStd) != 0)
        return -1;
    return control_words(device, vrbus::code::kSetAcceptance, {uint32_t(mask), uint32_t(code)});
}

int canio_set_transceiver_mode(DeviceFile &device, uint32_t mode, uint32_t flags)
{
    return control_words(device, vrbus::code::kSetTransceiverMode, {0u, mode, flags});
}

int canio_set_channel_mode(DeviceFile &device, bool tx_ack, bool tx_request)
{
    return control_words(device, vrbus::code::kSetChannelMode, {uint32_t(tx_ack), uint32_t(tx_request)});
}

int canio_set_output_mode(DeviceFile &device, uint32_t mode)
{
    return control_words(device, vrbus::code::kSetOutputMode, {mode});
}

int canio_lock_queue(DeviceFile &device)
{
    return control(device, vrbus::code::kLockRxQueue);
}

int canio_unlock_queue(DeviceFile &device)
{
    return control(device, vrbus::code::kUnlockRxQueue);
}

uint8_t *canio_map_rx_queue(DeviceFile &device)
{
    void *address = nullptr;
    if (device.map_rx_queue(&address) != 0)
        return nullptr;
    return static_cast<uint8_t *>(address);
}

int canio_enable_timer_events(DeviceFile &device, bool on)
{
    return control_words(device, vrbus::code::kSetTimerRate, {uint32_t(on)});
}

int canio_set_handle_name(DeviceFile &device, const std::string &name)
{
    char buffer[65] = {};
    name.copy(buffer, 64);
    return control(device, vrbus::code::kSetHandleName, buffer, sizeof buffer);
}

int canio_get_card_info(DeviceFile &device, CanioCardInfo *info)
{
    return control(device, vrbus::code::kGetCardInfo, nullptr, 0, info->raw, sizeof info->raw);
}

int canio_get_channel_info(DeviceFile &device, CanioChannelInfo *info)
{
    using namespace vrbus::channel_info;
    std::memset(info->raw, 0, sizeof info->raw);
    // Newer drivers answer 324 bytes; older ones and the virtual driver 320,
    // the oldest 312, in whose layout everything from byte 56 on stands 4
    // bytes earlier.
    for (uint32_t size : {kNewSize, kSize, 312u}) {
        uint8_t answer[kNewSize] = {};
        uint32_t returned = 0;
        if (control(device, vrbus::code::kGetChannelInfo, nullptr, 0, answer, size, &returned) != 0)
            continue;
        if (returned >= kNewSize) {
            std::memcpy(info->raw, answer, kNewSize);
        } else {
            std::memcpy(info->raw, answer, 40);
            std::memcpy(info->raw + 44, answer + 44, 12);
            // An answer of 321 to 323 bytes would shift past the end of the layout.
            if (returned > 56)
                std::memcpy(info->raw + 60, answer + 56, std::min<size_t>(returned - 56, sizeof info->raw - 60));
        }
        return 0;
    }
    return -1;
}

int canio_get_transceiver_info(DeviceFile &device, CanioTransceiverInfo *info)
{
    return control(device, vrbus::code::kGetChannelCounters, nullptr, 0, info->raw, sizeof info->raw);
}

int canio_get_card_info2(DeviceFile &device, CanioCardInfo2 *info)
{
    return control(device, vrbus::code::kGetCardInfo2, nullptr, 0, info->raw, sizeof info->raw);
}

int canio_get_user_channel_name(DeviceFile &device, uint32_t channel, std::string *name)
{
    uint8_t buffer[72] = {};
    canio_put_u32(buffer + 4, channel);
    if (control(device, vrbus::code::kGetUserChannelName, buffer, sizeof buffer, buffer, sizeof buffer) != 0)
        return -1;
    if (canio_get_u32(buffer) != 0) // no name stored
        return -1;
    *name = text_at(buffer + 8, 64);
    return 0;
}

int canio_adjust_clock(DeviceFile &device, int milliseconds)
{
    uint32_t seconds = 0, microseconds = 0;
    if (canio_read_clock(device, &seconds, &microseconds) != 0)
        return -1;
    int64_t sec = int64_t(seconds) - milliseconds / 1000;
    int64_t usec = int64_t(microseconds) - int64_t(milliseconds % 1000) * 1000;
    if (usec < 0) { // borrow one second
        usec += 1000000;
        --sec;
    }
    return canio_write_clock(device, uint32_t(sec), uint32_t(usec));
}

int canio_copy_clock(DeviceFile &target, DeviceFile &source)
{
    uint32_t seconds = 0, microseconds = 0;
    if (canio_read_clock(source, &seconds, &microseconds) != 0)
        return -1;
    return canio_write_clock(target, seconds, microseconds);
}

int canio_connect(DeviceFile &target, DeviceFile &source)
{
    uint8_t reference[8] = {};
    uint32_t returned = 0;
    int result = control(source, vrbus::code::kGetRxQueue, nullptr, 0, reference, 4, &returned);
    debug_trace("canio_connect: get_rx_queue() -> %d, %u: %#x", result, returned, canio_get_u32(reference));
    if (result == 0) {
        result = control(target, vrbus::code::kReuseRxQueue, reference, 4);
        debug_trace("canio_connect: reuse_rx_queue() -> %d", result);
        return result;
    }
    result = control(source, vrbus::code::kGetRxQueue, nullptr, 0, reference, 8, &returned);
    debug_trace("canio_connect: get_rx_queue64() -> %d, %u", result, returned);
    if (result != 0)
        return -1;
    result = control(target, vrbus::code::kReuseRxQueue, reference, 8);
    debug_trace("canio_connect: reuse_rx_queue64() -> %d", result);
    return result;
}
