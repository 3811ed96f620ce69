#include "driver/vrbus_driver.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace platform::nt_status;

namespace {

// Debug flag bits used here.
constexpr uint32_t kDebugBusOn = 0x01;
constexpr uint32_t kDebugWrite = 0x02;
constexpr uint32_t kDebugReadResult = 0x04;
constexpr uint32_t kDebugReadWrite = 0x08;
constexpr uint32_t kDebugLoad = 0x20;
constexpr uint32_t kDebugTimerRate = 0x80;
constexpr uint32_t kDebugClose = 0x800;

constexpr uint32_t kDefaultChannels = 2;
constexpr uint32_t kMaxChannels = 8;
constexpr uint32_t kSlotStep = 16;
constexpr uint32_t kFirstTimerPeriod = 1000; // ms

// "a." for channel 0 up to "p." for channel 15, "X." beyond.
std::string channel_letter(uint32_t channel)
{
    return std::string(1, channel < 16 ? char('a' + channel) : 'X') + ".";
}

std::string lower_case(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

VrbusDriver::VrbusDriver(EventLoop &loop) : loop_(loop)
{
}

VrbusDriver::~VrbusDriver()
{
    unload();
}

NTSTATUS VrbusDriver::driver_entry()
{
    const std::string root = kRegistryRoot;
    uint32_t flags = 0;
    if (read_registry_dword(root + "Options", "DebugFlags", &flags)) {
        debug_flags_ |= flags;
        log_.add("%s: debug flags set to 0x%x\n", kDriverName, debug_flags_);
    }
    debug_print(debug_flags_, kDebugLoad, "%s: driver v%u.%u.%u loading\n", kDriverName, kVersion[0], kVersion[1],
                kVersion[2]);

    uint32_t connect = 0;
    if (!read_registry_dword(root + "Options", "ConnectVirtualChannels", &connect))
        connect = 0;
    uint32_t channels = kDefaultChannels;
    if (!read_registry_dword(root + "Drivers\\vrbus", "ChannelsPerCard", &channels))
        channels = kDefaultChannels;
    channels = std::clamp<uint32_t>(channels, 1, kMaxChannels);

    time_base_.start();
    card_info *card = make_card(0, channels);
    for (uint32_t n = 0; n < card->channel_count; ++n) {
        const NTSTATUS status = make_devices(card, n, 0, card->slots_per_channel);
        if (status != STATUS_SUCCESS) {
            unload();
            return status;
        }
    }
    card->connect_channels = connect != 0;
    log_.add("%s driver v%u.%u.%u (%s) (Feb 19 2004 / 09:42:39) started\n", kCardName, kVersion[0], kVersion[1],
             kVersion[2], kDriverName);
    log_.add("%s: Connect channels %s\n", kDriverName, card->connect_channels ? "ON" : "OFF");
    return STATUS_SUCCESS;
}

void VrbusDriver::unload()
{
    for (auto &card : cards_) {
        card_.stop_timer(card.get());
        for (auto &device : card->links) {
            if (device->is_open)
                close_device(device.get());
        }
    }
    cards_.clear();
    queues_.clear();
}

card_info *VrbusDriver::make_card(uint32_t number, uint32_t channel_count)
{
    auto card = std::make_unique<card_info>();
    card->number = number;
    card->channel_count = channel_count;
    card->slots_per_channel = kSlotStep;
    for (uint32_t n = 0; n < channel_count; ++n) {
        auto chip = std::make_unique<chip_info>();
        chip->index = n;
        card->chips.push_back(std::move(chip));
    }
    card_info *made = card.get();
    card->timer = std::make_unique<KernelTimer>(loop_, [this, made] { card_.timer_tick(made); });
    // The first tick finds no rate and leaves the timer idle.
    card->timer->set(kFirstTimerPeriod);
    cards_.push_back(std::move(card));
    made->present = true;
    card_.start(made);
    return made;
}

NTSTATUS VrbusDriver::make_devices(card_info *card, uint32_t channel, uint32_t first, uint32_t last)
{
    chip_info *chip = card->chips[channel].get();
    if (channel == 0 && first == 0) {
        NTSTATUS status = make_device(card, nullptr, ".info", false, false);
        if (status == STATUS_SUCCESS)
            status = make_device(card, nullptr, ".exclusive", false, true);
        if (status != STATUS_SUCCESS)
            return status;
    }
    for (uint32_t k = first; k < last; ++k) {
        const std::string suffix = channel_letter(channel) + (k == 0 ? std::string("init") : std::to_string(k));
        const NTSTATUS status = make_device(card, chip, suffix, k == 0, false);
        if (status != STATUS_SUCCESS)
            return status;
    }
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::make_device(card_info *card, chip_info *chip, const std::string &suffix, bool init_access,
                                  bool exclusive_device)
{
    const std::string number = std::to_string(card->number);
    auto device = std::make_unique<device_object>();
    device->device_name = std::string("\\Device\\ybusx_dev") + kDriverName + "_dev" + number + suffix;
    device->link_name = kDriverName + number + suffix;
    for (const auto &link : card->links) {
        if (link->link_name == device->link_name)
            return STATUS_OBJECT_NAME_COLLISION;
    }
    device->extension = dev_ext{card, chip, &device->handle};
    device->handle.init_access = init_access;
    device->handle.exclusive_device = exclusive_device;
    device->handle.identity = &device->extension;
    debug_print(debug_flags_, kDebugLoad, "%s: device %s\n", kDriverName, device->link_name.c_str());
    card->links.push_back(std::move(device));
    return STATUS_SUCCESS;
}

void VrbusDriver::grow_slots(card_info *card)
{
    const size_t links_before = card->links.size();
    const uint32_t first = card->slots_per_channel;
    for (uint32_t n = 0; n < card->channel_count; ++n) {
        if (make_devices(card, n, first, first + kSlotStep) != STATUS_SUCCESS) {
            // The slot count stays; the devices of this attempt go again.
            card->links.resize(links_before);
            return;
        }
    }
    card->slots_per_channel = first + kSlotStep;
}

void VrbusDriver::load_bus_parameters(card_info *card, chip_info *chip)
{
    const std::string key = std::string(kRegistryRoot) + "defaults\\" + kCardName + char('0' + card->number) + "_"
                            + char('0' + chip->index);
    uint32_t bitrate, sjw, tseg1, tseg2, sam;
    const bool read = read_registry_dword(key, "bitrate", &bitrate) && read_registry_dword(key, "sjw", &sjw)
                      && read_registry_dword(key, "tseg1", &tseg1) && read_registry_dword(key, "tseg2", &tseg2)
                      && read_registry_dword(key, "sam", &sam);
    // Values that a channel cannot run with count as not read as well.
    if (read && valid_bus_timing(bitrate, tseg1, tseg2, sjw)) {
        chip->bitrate = bitrate;
        chip->sjw = sjw;
        chip->tseg1 = tseg1;
        chip->tseg2 = tseg2;
        chip->sampling = sam != 0 ? 1 : 0;
    } else {
        const chip_info defaults;
        chip->bitrate = defaults.bitrate;
        chip->sjw = defaults.sjw;
        chip->tseg1 = defaults.tseg1;
        chip->tseg2 = defaults.tseg2;
        chip->sampling = defaults.sampling;
    }
    chip->output_mode = 0;
    debug_print(debug_flags_, kDebugBusOn, "%s: Default baudrate for %u/%u: %u/%u/%u/%u/%u\n", kDriverName,
                card->number, chip->index, chip->bitrate, chip->sjw, chip->tseg1, chip->tseg2, chip->sampling);
}

NTSTATUS VrbusDriver::open_device(const std::string &link_name, device_object **opened)
{
    *opened = nullptr;
    const std::string wanted = lower_case(link_name);
    for (auto &card : cards_) {
        for (auto &link : card->links) {
            if (link->link_name != wanted)
                continue;
            // The open may add slots to the card's link list, which moves its
            // entries: only the device object itself stays where it is.
            device_object *device = link.get();
            // Devices are exclusive: the system refuses a second open.
            if (device->is_open)
                return STATUS_ACCESS_DENIED;
            const NTSTATUS status = create(device);
            if (status == STATUS_SUCCESS) {
                device->is_open = true;
                *opened = device;
            }
            return status;
        }
    }
    return STATUS_OBJECT_NAME_NOT_FOUND;
}

void VrbusDriver::close_device(device_object *device)
{
    if (!device->is_open)
        return;
    close(device);
    device->is_open = false;
    queues_.send_due_signals(); // the chip state of a channel that went off bus
}

NTSTATUS VrbusDriver::create(device_object *device)
{
    card_info *card = device->extension.card;
    chip_info *chip = device->extension.chip;
    dev_handle *handle = device->extension.handle;
    if (!card->present)
        return STATUS_NO_SUCH_DEVICE;
    if (handle->exclusive_device) {
        if (card->open_count != 0)
            return STATUS_DEVICE_BUSY;
        card->exclusive = true;
    } else if (card->exclusive) {
        return STATUS_DEVICE_BUSY;
    }
    if (chip && chip->opened_slots == 0)
        load_bus_parameters(card, chip);

    handle->reset();
    handle->tx_acknowledge_mode = 1;
    ++handle->opened;
    if (chip) {
        chip->handles.insert(chip->handles.begin(), handle);
        ++chip->opened_slots;
    }
    ++card->open_count;
    debug_print(debug_flags_, kDebugBusOn, "%s_open %s\n", kDriverName, device->link_name.c_str());

    if (card->slots_per_channel <= card->open_count + 2)
        grow_slots(card);
    return STATUS_SUCCESS;
}

void VrbusDriver::close(device_object *device)
{
    card_info *card = device->extension.card;
    chip_info *chip = device->extension.chip;
    dev_handle *handle = device->extension.handle;
    debug_print(debug_flags_, kDebugBusOn | kDebugClose, "%s_close %s\n", kDriverName, device->link_name.c_str());

    if (handle->on_bus) {
        handle->on_bus = false;
        if (--chip->on_bus_count == 0 && card->present && card->started)
            card_.go_bus_off(chip);
    }
    if (handle->timer_rate != 0) {
        handle->timer_rate = 0;
        recompute_card_timer(card);
    }
    if (chip) {
        chip->handles.erase(std::find(chip->handles.begin(), chip->handles.end(), handle));
        --chip->opened_slots;
    }
    unmap_queue(handle);
    release_queue(handle);
    if (handle->exclusive_device)
        card->exclusive = false;
    --card->open_count;
    handle->reset();
}

void VrbusDriver::release_queue(dev_handle *handle)
{
    if (RxQueue *queue = handle->queue) {
        handle->queue = nullptr;
        queues_.release_reference(queue);
    }
}

void VrbusDriver::unmap_queue(dev_handle *handle)
{
    if (RxQueue *queue = handle->mapped_queue) {
        handle->mapped_queue = nullptr;
        queues_.release_mapping(queue);
    }
}

NTSTATUS VrbusDriver::read(device_object *device, uint8_t *buffer, uint32_t length, uint32_t *information)
{
    *information = 0;
    const dev_ext &ext = device->extension;
    debug_print(debug_flags_, kDebugReadWrite, "%s_read\n", kDriverName);
    if (!ext.card || !ext.chip || !ext.handle || !ext.handle->queue)
        return STATUS_ACCESS_DENIED;
    const uint32_t copied = ext.handle->queue->read(buffer, length / RxQueue::kEntrySize);
    *information = copied * RxQueue::kEntrySize;
    debug_print(debug_flags_, kDebugReadResult, "%s_read -> %u\n", kDriverName, *information);
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::write(device_object *device, const uint8_t *buffer, uint32_t length, uint32_t *information)
{
    *information = 0;
    const dev_ext &ext = device->extension;
    debug_print(debug_flags_, kDebugReadWrite, "%s_write\n", kDriverName);
    if (!ext.card || !ext.chip || !ext.handle || !ext.handle->on_bus)
        return STATUS_SUCCESS;
    if (!ext.card->present || !ext.card->started)
        return STATUS_WRITE_REFUSED;

    const uint32_t count = length / RxQueue::kEntrySize;
    std::vector<MessageRecord> records(count);
    if (count != 0) // an empty vector's data() may be null, which memcpy must not get
        std::memcpy(records.data(), buffer, size_t(count) * RxQueue::kEntrySize);
    // The virtual bus carries classic frames only: a CAN FD frame or one of
    // its continuation records would turn into classic frames of garbage.
    for (const MessageRecord &record : records) {
        if (record.kind == vrbus::record::kContinuation || (record.flags & vrbus::record::kFdFrame))
            return STATUS_INVALID_PARAMETER;
    }
    card_.transmit(ext.card, ext.chip, ext.handle, records.data(), count);
    queues_.send_due_signals();
    *information = count * RxQueue::kEntrySize;
    debug_print(debug_flags_, kDebugWrite, "%s_write (%p, %u)\n", kDriverName, static_cast<void *>(ext.handle),
                *information);
    return STATUS_SUCCESS;
}

// ---- Bus on and off, the card timer's rate, bit timing ----

NTSTATUS VrbusDriver::bus_on(chip_info *chip, dev_handle *handle)
{
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON:\n");
    handle->counters = handle_counters();
    handle->load_bits = 0;
    handle->bus_load = 0;
    handle->load_time = time_base_.now();

    if (handle->on_bus) {
        if (chip->chip_state == vrbus::record::kChipBusOff) {
            debug_print(debug_flags_, kDebugBusOn, "Reactivate busoff-channel\n");
            card_.go_bus_off(chip);
            card_.go_bus_on(chip);
        }
        return STATUS_UNSUCCESSFUL;
    }
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: INIT\n");
    handle->on_bus = true;
    ++chip->on_bus_count;
    // The virtual card has no bus parameters or output mode to set and no
    // transmit buffers to flush: the first handle on bus starts the bus.
    if (chip->on_bus_count == 1) {
        debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: FLUSH QUEUEs\n");
        debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: BUSON\n");
        card_.go_bus_on(chip);
    }
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: DONE\n");
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::bus_off(chip_info *chip, dev_handle *handle)
{
    if (!handle->on_bus)
        return STATUS_UNSUCCESSFUL;
    if (--chip->on_bus_count == 0)
        card_.go_bus_off(chip);
    handle->on_bus = false;
    return STATUS_SUCCESS;
}

void VrbusDriver::recompute_card_timer(card_info *card)
{
    uint32_t rate = 0;
    for (auto &chip : card->chips) {
        for (const dev_handle *handle : chip->handles) {
            debug_print(debug_flags_, kDebugTimerRate, "set_minimal_timer_rate (TEST): %u\n", handle->timer_rate);
            if (handle->timer_rate != 0 && (rate == 0 || handle->timer_rate < rate))
                rate = handle->timer_rate;
        }
    }
    debug_print(debug_flags_, kDebugTimerRate, "set_minimal_timer_rate: %u\n", rate);
    if (card->present && card->started)
        card_.set_timer_rate(card, rate);
}

bool VrbusDriver::valid_bus_timing(uint32_t bitrate, uint32_t tseg1, uint32_t tseg2, uint32_t sjw)
{
    // The ranges of the CAN controllers the program configures; they keep
    // every division by the bit rate and the bit-time sum well defined.
    return bitrate >= kMinBitrate && bitrate <= kMaxBitrate && tseg1 >= 1 && tseg1 <= 256 && tseg2 >= 1
           && tseg2 <= 128 && sjw >= 1 && sjw <= 128;
}

bool VrbusDriver::find_bit_timing(uint32_t bitrate, uint32_t sample_point, uint32_t *best_tseg1,
                                  uint32_t *best_tseg2)
{
    bool found = false;
    uint32_t best_distance = 0;
    for (uint32_t tseg1 = 3; tseg1 <= 16; ++tseg1) {
        for (uint32_t tseg2 = 2; tseg2 <= 8; ++tseg2) {
            const uint32_t bit_time = 1 + tseg1 + tseg2;
            const uint32_t q = 512000000 / (bitrate * bit_time);
            if (q % 64 != 0 || q >= 4096 || q == 0)
                continue;
            const uint32_t point = (tseg1 + 1) * 100 / bit_time;
            const uint32_t distance = point > sample_point ? point - sample_point : sample_point - point;
            if (!found || distance < best_distance) {
                found = true;
                best_distance = distance;
                *best_tseg1 = tseg1;
                *best_tseg2 = tseg2;
            }
        }
    }
    return found;
}
