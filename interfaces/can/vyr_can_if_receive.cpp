// The road of a received frame through a CAN interface (its receive loop and
// the dispatch of each frame), the message listeners, and sending.
#include "core/candb_cluster.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_trigger_cond_can.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"

#include <QString>

#include <algorithm>

namespace {

constexpr int reads_per_frame = 4; // without the timer wheel: "no message" is asked again three times
constexpr unsigned short_waits_after_traffic = 5;

constexpr uint32_t lin_cable_first_id = 0x7F0;
constexpr uint32_t lin_cable_last_id = 0x7FF;
constexpr uint32_t lin_dropped_id_bit = 0x80;
constexpr uint32_t lin_checksum_id_bit = 0x100;
constexpr uint32_t lin_header_id_bit = 0x200;
constexpr uint32_t lin_send_id_bits = 0x700;

constexpr int virtual_card_type = 1; // the card type of the virtual bus's channels

constexpr uint32_t fd_flags =
    VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch | VyrCanMessage::ErrorStateIndicator;

// The frame's time on the channel's time line.
TimeValue frame_time(const VyrCanMessage &frame)
{
    TimeValue time;
    time.seconds = frame.time / 1000;
    time.microseconds = (frame.time % 1000) * 1000;
    return time;
}

} // namespace

uint32_t VyrCanIf::message_key(const VyrCanMessage &frame)
{
    return frame.flags & VyrCanMessage::Extended ? frame.id | extended_key_bit : frame.id;
}

int VyrCanIf::cyclic()
{
    if (m_partner || !m_channel)
        return 0;
    const int tries = uses_timers() ? 1 : reads_per_frame;
    VyrCanMessage frame;
    for (;;) {
        CANhwStatus status = canhwNoMessage;
        for (int i = 0; i < tries && status == canhwNoMessage; ++i)
            status = m_channel->read_can_message(&frame);
        if (status != canhwSuccess) {
            if (status == canhwErrorBrokenLink)
                report_lost_connection();
            return 0;
        }
        if (!uses_timers())
            set_short_waits(short_waits_after_traffic);
        // A connected interface's frames come through this loop, carrying its number.
        VyrCanIf *receiver = this;
        if (frame.channel != m_message_channel) {
            VyrCanIf *owner = can_interface_by_channel(frame.channel);
            if (owner && owner->m_partner == this)
                receiver = owner;
        }
        receiver->dispatch(frame);
    }
}

void VyrCanIf::report_lost_connection()
{
    // The connection handle stays ready once the driver is gone: stop
    // waiting on it, so that the thread goes back to its cycle.
    if (m_connection_handle.fd < 0)
        return;
    m_connection_handle = platform::WaitHandle{};
    set_extra_handles({});
    const bool virtual_bus = m_channel_info && m_channel_info->card_type() == virtual_card_type;
    error((virtual_bus ? QStringLiteral("Connection to the virtual CAN bus lost (channel '%1').")
                       : QStringLiteral("Connection to the CAN driver of channel '%1' lost."))
              .arg(m_channel_name)
              .toStdString());
    // Frames will not come any more: the measurement stops.
    if (owner())
        post_vyr_event(owner(), new VyrCustomEvent(vyr_event_stop));
}

void VyrCanIf::report_overrun()
{
    // The frame after each burst of drops carries the mark: one line per
    // burst, with the frames lost in it. A connected interface's frames come
    // through its partner's queue.
    CANhwChannel *reader = m_partner ? m_partner->m_channel.get() : m_channel.get();
    uint32_t lost = 0;
    if (!reader || !reader->take_lost_frames(&lost))
        warning("**** HW Overrun in CAN driver ****");
    else if (lost > 0) // none: an earlier mark's report counted them already
        warning(QStringLiteral("**** HW Overrun in CAN driver: %1 frames lost ****").arg(lost).toStdString());
}

void VyrCanIf::dispatch(VyrCanMessage &frame)
{
    if (!m_canfd_enabled)
        frame.flags &= ~fd_flags;

    if (m_lin_mode) {
        // Status frames of the LIN cable are the cable's own business.
        if (frame.id >= lin_cable_first_id && frame.id <= lin_cable_last_id)
            return;
        if (frame.id & lin_dropped_id_bit)
            return;
        if (frame.id & lin_checksum_id_bit)
            frame.flags |= VyrCanMessage::LinChecksum;
        if (frame.id & lin_header_id_bit)
            frame.flags |= VyrCanMessage::LinHeader;
        frame.flags &= ~(VyrCanMessage::Extended | VyrCanMessage::TransceiverError | VyrCanMessage::ErrorFrame);
        frame.id %= 64;
    }

    if (frame.flags & VyrCanMessage::SoftwareOverrun)
        warning("**** SW Overrun in CAN driver ****");
    if (frame.flags & VyrCanMessage::HardwareOverrun)
        report_overrun();

    const bool extended = frame.flags & VyrCanMessage::Extended;
    if ((extended ? m_filter_ext : m_filter_std).block_all)
        return;

    fire_triggers(frame);
    const uint32_t key = message_key(frame);
    TimeValue time = frame_time(frame);
    if (m_databases)
        m_databases->decode_frame(key, frame.data, frame.dlc, &time);
    VyrCanTpChannelList &transport = m_script_binding->tp_channels();
    if (!transport.empty() &&
        !(frame.flags & (VyrCanMessage::Remote | VyrCanMessage::ErrorFrame | VyrCanMessage::TxRequest)))
        transport.feed(frame, key);
    // A protocol's formatter decides which identifier a handler is written for.
    if (run_message_handlers(frame, m_script_binding->handler_key(frame)))
        return;

    {
        RealtimePasses::Pass pass(m_listener_passes);
        if (const std::vector<VyrMessageQueue *> *listeners = m_message_listeners.get())
            for (VyrMessageQueue *listener : *listeners)
                listener->put(frame);
    }
    call_handlers(frame.data, frame.dlc, time, &frame, key);
}

// --- Trigger conditions ----------------------------------------------------------------------

void VyrCanIf::build_trigger_table()
{
    clear_trigger_table();
    VyrTriggerCondList *conditions = VyrTriggerCondList::instance();
    if (!conditions)
        return;
    const QString id = QString::fromStdString(make_id());
    for (VyrTriggerCond *condition = conditions->first(); condition; condition = conditions->next()) {
        if (!condition->target() || condition->type() != VyrTriggerCondDataCan::kind_number)
            continue;
        const auto *data = static_cast<const VyrTriggerCondDataCan *>(condition->cond_data());
        if (data->can_if != id)
            continue;
        VyrCanMessage first, last;
        const QString last_text = data->message_id_end.isEmpty() ? data->message_id_start : data->message_id_end;
        if (id_by_database_name(this, data->message_id_start.toLatin1().constData(), first) != 0 ||
            id_by_database_name(this, last_text.toLatin1().constData(), last) != 0)
            continue;
        const uint32_t extended = message_key(first) & extended_key_bit;
        uint32_t low = first.id | extended;
        uint32_t high = last.id | extended;
        if (high < low)
            std::swap(low, high);
        if (first.flags & VyrCanMessage::Remote) {
            low |= remote_trigger_bit;
            high |= remote_trigger_bit;
        }
        if (first.flags & VyrCanMessage::ErrorFrame)
            low = high = error_frame_trigger_key;
        const TriggerEntry entry{low, high, condition};
        if (low == high) {
            std::vector<TriggerEntry> &bucket = m_trigger_buckets[low % trigger_buckets];
            bucket.insert(bucket.begin(), entry);
        } else {
            m_trigger_ranges.push_back(entry);
        }
    }
}

void VyrCanIf::clear_trigger_table()
{
    for (std::vector<TriggerEntry> &bucket : m_trigger_buckets)
        bucket.clear();
    m_trigger_ranges.clear();
}

void VyrCanIf::fire_triggers(const VyrCanMessage &frame)
{
    uint32_t key = message_key(frame);
    if (frame.flags & VyrCanMessage::Remote)
        key |= remote_trigger_bit;
    if (frame.flags & VyrCanMessage::ErrorFrame)
        key = error_frame_trigger_key;
    const auto fire_matching = [&](const std::vector<TriggerEntry> &entries) {
        for (const TriggerEntry &entry : entries) {
            if (key < entry.low || key > entry.high)
                continue;
            const auto *data = static_cast<const VyrTriggerCondDataCan *>(entry.condition->cond_data());
            bool passed = true;
            for (int i = 0; i < VyrTriggerCondDataCan::byte_test_count && passed; ++i)
                passed = data->byte_tests[size_t(i)].passes(frame.data[i]);
            if (passed)
                entry.condition->fire();
        }
    };
    fire_matching(m_trigger_buckets[key % trigger_buckets]);
    fire_matching(m_trigger_ranges);
}

void VyrCanIf::add_message_listener(VyrMessageQueue *listener)
{
    m_message_listeners.update_and_wait(
        [listener](std::vector<VyrMessageQueue *> &listeners) { listeners.push_back(listener); });
}

void VyrCanIf::remove_message_listener(VyrMessageQueue *listener)
{
    m_message_listeners.update_and_wait([listener](std::vector<VyrMessageQueue *> &listeners) {
        listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
    });
}

int VyrCanIf::send_message(VyrCanMessage *message, bool)
{
    if (!message || !m_channel)
        return -1;
    if (!m_transmit_allowed) {
        warning("Transmission of CAN packets not allowed");
        return -1;
    }
    if (m_lin_mode && !(message->id & lin_send_id_bits))
        message->id &= 0x3F;
    return m_channel->write(*message) == canhwSuccess ? 0 : -1;
}

unsigned VyrCanIf::write_frames(VyrCanMessage *frames, unsigned count)
{
    if (!m_channel)
        return 0;
    if (!m_transmit_allowed) {
        warning("Transmission of CAN packets not allowed");
        return 0;
    }
    if (m_lin_mode) {
        for (unsigned i = 0; i < count; ++i)
            if (!(frames[i].id & lin_send_id_bits))
                frames[i].id &= 0x3F;
    }
    unsigned written = 0;
    m_channel->write_frames(frames, count, &written);
    return written;
}

void VyrCanIf::send_at_step_end(TimerWheel &wheel, const VyrCanMessage &frame, VyrStepSender *sender)
{
    m_step_batch.add(frame, sender);
    wheel.at_step_end(&m_step_batch);
}

void VyrCanIf::StepBatch::add(const VyrCanMessage &frame, VyrStepSender *sender)
{
    m_frames.push_back(frame);
    m_senders.push_back(sender);
}

void VyrCanIf::StepBatch::step_end()
{
    // Taken out first: a sender may hand over its next frame from frame_sent.
    m_frames.swap(m_sending_frames);
    m_senders.swap(m_sending_senders);
    // A frame the channel refuses is reported and the rest written on, so
    // each frame fares as it would have alone.
    const unsigned count = unsigned(m_sending_frames.size());
    unsigned done = 0;
    while (done < count) {
        const unsigned written = m_can.write_frames(m_sending_frames.data() + done, count - done);
        for (unsigned i = done; i < done + written; ++i)
            m_sending_senders[i]->frame_sent(true);
        done += written;
        if (done < count)
            m_sending_senders[done++]->frame_sent(false);
    }
    m_sending_frames.clear();
    m_sending_senders.clear();
}

void VyrCanIf::on_signal_decoded(void *context, const CANdbSignalValue *decoded, void *argument)
{
    auto *entry = static_cast<VyrSignalEntry *>(context);
    const auto *time = static_cast<const TimeValue *>(argument);
    SignalValue value;
    value.seconds = time->seconds;
    value.microseconds = time->microseconds;
    if (decoded->kind == CANdbKindSigned || decoded->kind == CANdbKindUnsigned)
        value.set_int(decoded->int_value);
    else
        value.set_double(decoded->double_value);
    entry->signal()->set_value(value);
    entry->notify_listeners(value);
}
