#include "driver/virtual_card.h"

#include <algorithm>

namespace {

constexpr uint32_t kStandardIdMask = 0x7FF;
constexpr uint32_t kExtendedIdBits29And30 = 0x60000000;

bool is_extended(uint32_t id)
{
    return (id & vrbus::record::kExtendedId) != 0;
}

} // namespace

VirtualCard::VirtualCard(EventLoop &loop, const TimeBase &time_base, RxQueueTable &queues)
    : loop_(loop), time_base_(time_base), queues_(queues)
{
}

// ---- Card operations ----

void VirtualCard::start(card_info *card)
{
    card->started = true;
}

void VirtualCard::go_bus_on(chip_info *chip)
{
    chip->chip_state = vrbus::record::kChipErrorActive;
    broadcast_chip_state(chip, nullptr);
}

void VirtualCard::go_bus_off(chip_info *chip)
{
    chip->chip_state = vrbus::record::kChipBusOff;
    broadcast_chip_state(chip, nullptr);
}

void VirtualCard::request_statistics(chip_info *chip, dev_handle *requester)
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

void VirtualCard::read_clock(uint32_t *seconds, uint32_t *microseconds) const
{
    const uint32_t now = time_base_.now();
    *seconds = now / 100000;
    *microseconds = now % 100000 * 10;
}

void VirtualCard::set_timer_rate(card_info *card, uint32_t ms)
{
    card->timer_rate = ms;
    if (ms != 0)
        card->timer->set(ms);
}

void VirtualCard::stop_timer(card_info *card)
{
    card->timer_rate = 0;
    card->timer->cancel();
}

void VirtualCard::transmit(card_info *card, chip_info *chip, dev_handle *sender, const MessageRecord *records,
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
}

// ---- Delivery ----

void VirtualCard::deliver(chip_info *chip, const dev_ext *sender, const MessageRecord &record)
{
    for (dev_handle *handle : chip->handles)
        deliver_to_handle(chip, handle, sender, record);
}

void VirtualCard::deliver_to_handle(chip_info *chip, dev_handle *handle, const dev_ext *sender,
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
            handle->count_overrun();
            return;
        }
    }

    if (!(record.flags & vrbus::record::kTxRequest))
        handle->count_frame(record);

    const bool error_frame = record.flags & vrbus::record::kErrorFrame;
    if (error_frame && handle->suppress_error_frames)
        return;
    const bool own = sender == handle->identity;
    uint8_t auto_responses = 0;
    if (!error_frame && !own) {
        if (!handle->accepts(record.id))
            return;
        // Auto responses answer the frame as it was written, before the
        // echo flags that the sender's channel mode adds.
        if (!(record.flags & vrbus::record::kTxRequest))
            auto_responses = handle->match_auto_responses(record);
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
        handle->count_overrun();
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

void VirtualCard::send_auto_responses(card_info *card, chip_info *chip, dev_handle *handle, uint32_t opened)
{
    // A handle closed since took its marks with it (and, opened again, has
    // a work item of its own for new ones).
    if (handle->opened != opened)
        return;
    const uint8_t slots = handle->auto_responses_marked;
    handle->auto_responses_marked = 0;
    // The handle may have gone off bus meanwhile.
    if (!handle->on_bus || !handle->auto_responses || !card->present || !card->started)
        return;
    for (size_t slot = 0; slot < handle->auto_responses->size(); ++slot) {
        const auto_response &response = (*handle->auto_responses)[slot];
        if ((slots & (1u << slot)) && response.in_use)
            transmit(card, chip, handle, &response.record, 1);
    }
    queues_.send_due_signals();
}

// ---- Events ----

void VirtualCard::deliver_event(chip_info *chip, dev_handle *requester, MessageRecord record,
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

void VirtualCard::store_event(dev_handle *handle, const MessageRecord &record)
{
    if (!handle->queue->store(record))
        handle->count_overrun();
}

void VirtualCard::broadcast_chip_state(chip_info *chip, dev_handle *requester)
{
    MessageRecord record;
    record.kind = vrbus::record::kChipState;
    record.time = time_base_.now();
    record.bytes()[8] = uint8_t(chip->chip_state);
    deliver_event(chip, requester, record);
}

// ---- Card timer ----

void VirtualCard::timer_tick(card_info *card)
{
    if (card->timer_rate == 0)
        return;
    MessageRecord record;
    record.kind = vrbus::record::kTimer;
    record.time = time_base_.now();
    for (auto &chip : card->chips)
        deliver_event(chip.get(), nullptr, record);
    queues_.send_due_signals();
    card->timer->set(card->timer_rate);
}
