// The virtual card: its card operations and the bus itself. A frame written
// on one handle is stamped and stored in the receive queue of every other
// on-bus handle of the same bus whose filters pass it, and in the writer's
// own queue as transmit request and acknowledgement when the writer asks for
// them; besides, the chip-state, statistics and timer events, bus on and
// off, the bit-timing search and the auto responses.
#include "driver/vrbus_driver.h"

#include <algorithm>

using namespace platform::nt_status;

namespace {

constexpr uint32_t kDebugBusOn = 0x01;
constexpr uint32_t kDebugTimerRate = 0x80;

constexpr uint32_t kStandardIdMask = 0x7FF;
constexpr uint32_t kExtendedIdBits29And30 = 0x60000000;

bool is_extended(uint32_t id)
{
    return (id & vrbus::record::kExtendedId) != 0;
}

} // namespace

// ---- Card operations ----

void VrbusDriver::vcard_start(card_info *card)
{
    card->started = true;
}

void VrbusDriver::vcard_go_bus_on(card_info *card, chip_info *chip)
{
    chip->chip_state = vrbus::record::kChipErrorActive;
    broadcast_chip_state(chip, nullptr);
}

void VrbusDriver::vcard_go_bus_off(card_info *card, chip_info *chip)
{
    chip->chip_state = vrbus::record::kChipBusOff;
    broadcast_chip_state(chip, nullptr);
}

void VrbusDriver::vcard_request_chip_state(card_info *card, chip_info *chip, dev_handle *requester)
{
    broadcast_chip_state(chip, requester);
}

void VrbusDriver::vcard_request_statistics(card_info *card, chip_info *chip, dev_handle *requester)
{
    const handle_counters &c = requester->counters;
    MessageRecord standard;
    standard.kind = vrbus::record::kFrameCounters;
    standard.time = time_base_.now();
    standard.put_u32(8, c.std_data_sent + c.std_data_received);
    standard.put_u32(12, c.std_remote_sent + c.std_remote_received);
    standard.put_u32(16, c.error_frames_sent + c.error_frames_received);
    standard.put_u16(20, uint16_t(requester->bus_load));
    MessageRecord extended;
    extended.kind = vrbus::record::kExtFrameCounters;
    extended.time = standard.time;
    extended.put_u32(8, c.ext_data_sent + c.ext_data_received);
    extended.put_u32(12, c.ext_remote_sent + c.ext_remote_received);
    deliver_event(chip, requester, standard, &extended);
}

int VrbusDriver::vcard_read_clock(card_info *card, uint32_t *seconds, uint32_t *microseconds)
{
    const uint32_t now = time_base_.now();
    *seconds = now / 100000;
    *microseconds = now % 100000 * 10;
    return 0;
}

void VrbusDriver::vcard_set_timer_rate(card_info *card, uint32_t ms)
{
    card->timer_rate = ms;
    if (ms != 0)
        card->timer->set(ms);
}

void VrbusDriver::vcard_stop_timer(card_info *card)
{
    card->timer_rate = 0;
    card->timer->cancel();
}

int VrbusDriver::vcard_transmit(card_info *card, chip_info *chip, dev_handle *sender, const MessageRecord *records,
                                uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        MessageRecord record = records[i];
        // A frame flagged 0x02 carries the writer's own time stamp.
        if (record.flags & vrbus::record::kOverrun)
            record.time += sender->clock_offset;
        else
            record.time = time_base_.now();
        record.flags &= vrbus::record::kErrorFrame | vrbus::record::kRemote;
        record.length = std::min<uint8_t>(record.length, 8);
        if (is_extended(record.id))
            record.id &= ~kExtendedIdBits29And30;
        else
            record.id &= kStandardIdMask;
        record.kind = vrbus::record::kFrame;

        if (sender->tx_request_mode) {
            record.flags |= vrbus::record::kTxRequest;
            deliver(chip, sender->identity, record);
            record.flags &= ~vrbus::record::kTxRequest;
        }
        if (sender->tx_acknowledge_mode)
            record.flags |= vrbus::record::kTxAcknowledge;
        deliver(chip, sender->identity, record);
        if (card->connect_channels) {
            for (auto &other : card->chips) {
                if (other.get() != chip)
                    deliver(other.get(), sender->identity, record);
            }
        }
    }
    return int(count);
}

// ---- Delivery ----

void VrbusDriver::deliver(chip_info *chip, const dev_ext *sender, const MessageRecord &record)
{
    for (dev_handle *handle : chip->handles)
        deliver_to_handle(chip, handle, sender, record);
}

void VrbusDriver::deliver_to_handle(chip_info *chip, dev_handle *handle, const dev_ext *sender,
                                    const MessageRecord &record)
{
    RxQueue *queue = handle->queue;
    if (!queue || queue->delivery_suspended() || !handle->on_bus)
        return;

    // A full queue drops the record, or in overwrite mode the oldest one.
    // The read index belongs to the reader: only while no client maps the
    // queue, so that the daemon's own read is the only reader, may the
    // driver move it.
    bool overwrite_oldest = false;
    if (queue->is_full()) {
        if (handle->overwrite_when_full && queue->mappings() == 0 && queue->capacity() > 1) {
            overwrite_oldest = true;
        } else {
            ++handle->overrun_count;
            handle->overrun_pending = true;
            return;
        }
    }

    if (!(record.flags & vrbus::record::kTxRequest))
        count_frame(handle, record);

    const bool error_frame = record.flags & vrbus::record::kErrorFrame;
    if (error_frame && handle->suppress_error_frames)
        return;
    const bool own = sender == handle->identity;
    uint8_t auto_responses = 0;
    if (!error_frame && !own) {
        if (!accepts(handle, record.id))
            return;
        // Auto responses answer the frame as it was written, before the
        // echo flags that the sender's channel mode adds.
        if (!(record.flags & vrbus::record::kTxRequest))
            auto_responses = match_auto_responses(handle, record);
    }

    MessageRecord entry = record;
    entry.channel = uint8_t(handle->channel_tag);
    if (own) {
        if ((entry.flags & vrbus::record::kTxRequest) && !handle->tx_request_mode)
            return;
        if ((entry.flags & vrbus::record::kTxAcknowledge) && !handle->tx_acknowledge_mode)
            return;
    } else {
        if (entry.flags & vrbus::record::kTxRequest)
            return;
        entry.flags &= ~vrbus::record::kTxAcknowledge;
        entry.byte2 = 0;
    }

    // Commit. The overrun flag stays pending until a record is stored.
    if (overwrite_oldest) {
        queue->set_read_index((queue->read_index() + 1) % queue->capacity());
        ++handle->overrun_count;
        handle->overrun_pending = true;
    }
    if (handle->overrun_pending)
        entry.flags |= vrbus::record::kOverrun;
    handle->overrun_pending = false;
    entry.time -= handle->clock_offset;
    queue->push(entry);
    if (error_frame)
        queue->make_event_due(vrbus::event_slot::kErrorFrame);
    else if (entry.flags & vrbus::record::kTxAcknowledge)
        queue->make_event_due(vrbus::event_slot::kTxAcknowledge);
    else if (!(entry.flags & vrbus::record::kTxRequest))
        queue->make_event_due(vrbus::event_slot::kReceive);

    if (auto_responses) {
        // The marks gather until the handle's work item runs: a handle has
        // one pending at most, so answers that answer each other cannot
        // multiply the pending work.
        const bool pending = handle->auto_responses_marked != 0;
        handle->auto_responses_marked |= auto_responses;
        if (!pending) {
            card_info *card = sender->card;
            const uint32_t opened = handle->opened;
            queue_work_item(loop_,
                            [this, card, chip, handle, opened] { send_auto_responses(card, chip, handle, opened); });
        }
    }
}

void VrbusDriver::count_frame(dev_handle *handle, const MessageRecord &record)
{
    handle_counters &c = handle->counters;
    const bool sent = record.flags & vrbus::record::kTxAcknowledge;
    if (record.flags & vrbus::record::kErrorFrame) {
        ++(sent ? c.error_frames_sent : c.error_frames_received);
        handle->load_bits += 16;
        return;
    }
    const bool remote = record.flags & vrbus::record::kRemote;
    const uint32_t data_bits = remote ? 0 : 10 * std::min<uint32_t>(record.length, 8);
    if (is_extended(record.id)) {
        if (remote)
            ++(sent ? c.ext_remote_sent : c.ext_remote_received);
        else
            ++(sent ? c.ext_data_sent : c.ext_data_received);
        handle->load_bits += 70 + data_bits;
    } else {
        if (remote)
            ++(sent ? c.std_remote_sent : c.std_remote_received);
        else
            ++(sent ? c.std_data_sent : c.std_data_received);
        handle->load_bits += 50 + data_bits;
    }
}

bool VrbusDriver::accepts(const dev_handle *handle, uint32_t id)
{
    if (is_extended(id))
        return !handle->extended_filter || (id & handle->extended_mask & 0x7FFFFFFF) == handle->extended_code;
    return !handle->acceptance || id > kStandardIdMask || handle->acceptance->test(id);
}

uint8_t VrbusDriver::match_auto_responses(const dev_handle *handle, const MessageRecord &record) const
{
    if (!handle->auto_responses)
        return 0;
    uint8_t marked = 0;
    for (size_t slot = 0; slot < handle->auto_responses->size(); ++slot) {
        const auto_response &response = (*handle->auto_responses)[slot];
        if (!response.in_use || !response.enabled || (record.id & response.mask) != response.code)
            continue;
        if ((response.flags & 1) && !(record.flags & vrbus::record::kRemote))
            continue;
        marked |= uint8_t(1u << slot);
    }
    return marked;
}

void VrbusDriver::send_auto_responses(card_info *card, chip_info *chip, dev_handle *handle, uint32_t opened)
{
    // A handle closed since took its marks with it (and, opened again, has
    // a work item of its own for new ones).
    if (handle->opened != opened)
        return;
    const uint8_t slots = handle->auto_responses_marked;
    handle->auto_responses_marked = 0;
    // The handle may have gone off bus meanwhile.
    if (!handle->on_bus || !handle->auto_responses || !card->present || !card->started || !operations_->transmit)
        return;
    for (size_t slot = 0; slot < handle->auto_responses->size(); ++slot) {
        const auto_response &response = (*handle->auto_responses)[slot];
        if ((slots & (1u << slot)) && response.in_use)
            (this->*operations_->transmit)(card, chip, handle, &response.record, 1);
    }
    send_due_signals();
}

// ---- Events ----

void VrbusDriver::deliver_event(chip_info *chip, dev_handle *requester, MessageRecord record,
                                const MessageRecord *second)
{
    for (dev_handle *handle : chip->handles) {
        RxQueue *queue = handle->queue;
        if (!queue || queue->delivery_suspended())
            continue;
        bool wanted = false;
        switch (record.kind) {
        case vrbus::record::kTimer:
            wanted = handle->timer_rate != 0;
            break;
        case vrbus::record::kChipState:
            wanted = handle->on_bus && (requester ? handle == requester : !handle->suppress_chip_state_broadcasts);
            break;
        default: // the statistics events
            wanted = handle == requester && handle->on_bus && queue->capacity() - queue->fill_level() > 2;
            break;
        }
        if (!wanted)
            continue;

        MessageRecord entry = record;
        entry.channel = uint8_t(handle->channel_tag);
        entry.time -= handle->clock_offset;
        if (record.kind == vrbus::record::kTimer) {
            // Only into an empty queue: it wakes a waiting reader without piling up.
            if (queue->is_empty())
                queue->store(entry);
            continue;
        }
        store_event(handle, entry);
        if (second) {
            MessageRecord next = *second;
            next.channel = entry.channel;
            next.time -= handle->clock_offset;
            store_event(handle, next);
        }
        if (record.kind == vrbus::record::kChipState)
            queue->make_event_due(vrbus::event_slot::kChipState);
    }
}

void VrbusDriver::store_event(dev_handle *handle, const MessageRecord &record)
{
    if (!handle->queue->store(record)) {
        ++handle->overrun_count;
        handle->overrun_pending = true;
    }
}

void VrbusDriver::broadcast_chip_state(chip_info *chip, dev_handle *requester)
{
    MessageRecord record;
    record.kind = vrbus::record::kChipState;
    record.time = time_base_.now();
    record.bytes()[8] = uint8_t(chip->chip_state);
    deliver_event(chip, requester, record);
}

// ---- Card timer ----

void VrbusDriver::card_timer_tick(card_info *card)
{
    if (card->timer_rate == 0)
        return;
    MessageRecord record;
    record.kind = vrbus::record::kTimer;
    record.time = time_base_.now();
    for (auto &chip : card->chips)
        deliver_event(chip.get(), nullptr, record);
    send_due_signals();
    card->timer->set(card->timer_rate);
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
    if (card->present && card->started && operations_->set_timer_rate)
        (this->*operations_->set_timer_rate)(card, rate);
}

// ---- Bus on and off ----

NTSTATUS VrbusDriver::bus_on(card_info *card, chip_info *chip, dev_handle *handle)
{
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON:\n");
    handle->counters = handle_counters();
    handle->load_bits = 0;
    handle->bus_load = 0;
    handle->load_time = time_base_.now();

    if (handle->on_bus) {
        if (chip->chip_state == vrbus::record::kChipBusOff) {
            debug_print(debug_flags_, kDebugBusOn, "Reactivate busoff-channel\n");
            run_operation(operations_->go_bus_off, card, chip);
            run_operation(operations_->flush_transmit_buffers, card, chip);
            run_operation(operations_->go_bus_on, card, chip);
        }
        return STATUS_UNSUCCESSFUL;
    }
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: INIT\n");
    handle->on_bus = true;
    ++chip->on_bus_count;
    if (chip->on_bus_count == 1 || handle->init_access) {
        run_operation(operations_->set_bus_parameters, card, chip);
        run_operation(operations_->set_output_mode, card, chip);
    }
    if (chip->on_bus_count == 1) {
        debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: FLUSH QUEUEs\n");
        run_operation(operations_->flush_transmit_buffers, card, chip);
        debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: BUSON\n");
        run_operation(operations_->go_bus_on, card, chip);
    }
    debug_print(debug_flags_, kDebugBusOn, "VCAN_IOCTL_BUSON: DONE\n");
    return STATUS_SUCCESS;
}

NTSTATUS VrbusDriver::bus_off(card_info *card, chip_info *chip, dev_handle *handle)
{
    if (!handle->on_bus)
        return STATUS_UNSUCCESSFUL;
    if (--chip->on_bus_count == 0) {
        run_operation(operations_->go_bus_off, card, chip);
        run_operation(operations_->flush_transmit_buffers, card, chip);
    }
    handle->on_bus = false;
    return STATUS_SUCCESS;
}

void VrbusDriver::update_bus_load(chip_info *chip, dev_handle *handle)
{
    const uint32_t now = time_base_.now();
    const uint32_t elapsed = now - handle->load_time;
    if (elapsed == 0 || chip->bitrate == 0) {
        handle->bus_load = 0;
    } else {
        // Bit time in 0.1 µs × bits / elapsed 10 µs units, × 100: 0.01 %.
        const uint64_t load = uint64_t(10000000 / chip->bitrate) * handle->load_bits / elapsed * 100;
        handle->bus_load = uint32_t(std::min<uint64_t>(load, 10000));
    }
    handle->load_bits = 0;
    handle->load_time = now;
}

// ---- Bit timing and acceptance ----

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

void VrbusDriver::set_acceptance(dev_handle *handle, uint32_t mask, uint32_t code)
{
    if (!(mask & vrbus::record::kExtendedId) && !(code & vrbus::record::kExtendedId)) {
        if (!handle->acceptance)
            handle->acceptance = std::make_unique<std::bitset<2048>>();
        if (mask == 0xFFFF && code == 0xFFFF) {
            handle->acceptance->reset();
            return;
        }
        const uint32_t m = mask & kStandardIdMask;
        for (uint32_t id = 0; id <= kStandardIdMask; ++id) {
            if ((id & m) == (code & m))
                handle->acceptance->set(id);
        }
    } else {
        handle->extended_filter = true;
        handle->extended_mask = mask & 0x7FFFFFFF;
        handle->extended_code = code & handle->extended_mask;
    }
}
