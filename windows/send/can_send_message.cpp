#include "windows/send/can_send_message.h"

#include "core/candb_message.h"
#include "interfaces/can/vyr_can_if.h"

CanSendMessage::MessageLock::MessageLock(const CanSendMessage &message) : m_wheel(message.wheel())
{
    if (m_wheel)
        m_wheel->lock();
}

CanSendMessage::MessageLock::~MessageLock()
{
    if (m_wheel)
        m_wheel->unlock();
}

CanSendMessage::CanSendMessage()
{
    VyrCanMessage::clear(m_frame);
}

CanSendMessage::~CanSendMessage()
{
    end_run();
    // The base unbinds without a refresh: nobody listens any more.
    if (bound())
        message->default_data = nullptr;
    message = nullptr;
}

TimerWheel *CanSendMessage::wheel() const
{
    if (TimerWheel *armed = m_armed_wheel.load())
        return armed;
    VyrCanIf *can = m_interface.load();
    return can ? can->timer_wheel() : nullptr;
}

void CanSendMessage::set_interface(VyrCanIf *can)
{
    m_interface = can;
}

bool CanSendMessage::bound() const
{
    return message && message->default_data == this;
}

void CanSendMessage::bind_database_message(CANdbMessage *database_message)
{
    if (database_message && database_message->default_data && database_message->default_data != this)
        database_message->default_data->set_message(nullptr);
    set_message(database_message);
}

bool CanSendMessage::transmit_locked(VyrCanIf *can)
{
    m_frame.flags |= VyrCanMessage::TxAck;
    VyrCanMessage copy = m_frame;
    if (can->send_message(&copy, true) != 0)
        return false;
    ++m_transmitted;
    return true;
}

bool CanSendMessage::send_once()
{
    MessageLock lock(*this);
    VyrCanIf *can = m_interface.load();
    return can && transmit_locked(can);
}

void CanSendMessage::start_run()
{
    TimerWheel *run_wheel = wheel();
    if (!run_wheel)
        return;
    MessageLock lock(*this);
    m_label_dirty = true;
    m_transmitted = 0;
    m_active = true;
    m_armed_wheel = run_wheel;
    run_wheel->schedule(this, m_rate.load());
}

void CanSendMessage::end_run()
{
    TimerWheel *armed = m_armed_wheel.load();
    if (armed) {
        // The wheel's mutex is held while an expiry runs: once it is ours,
        // none is in progress, and the cancel takes a re-armed entry off.
        armed->lock();
        armed->cancel(this);
        m_armed_wheel = nullptr;
        if (m_active.exchange(false))
            m_label_dirty = true;
        armed->unlock();
    } else if (m_active.exchange(false)) {
        m_label_dirty = true;
    }
}

void CanSendMessage::fire(uint32_t, uint32_t)
{
    VyrCanIf *can = m_interface.load();
    TimerWheel *armed = m_armed_wheel.load();
    if (can && armed && m_active.load()) {
        m_frame.flags |= VyrCanMessage::TxAck;
        can->send_at_step_end(*armed, m_frame, this);
        return;
    }
    finish_period();
}

void CanSendMessage::frame_sent(bool sent)
{
    // Counted are frames that went out, so a run with a limit sends that
    // many; a channel that refuses frames leaves the run going.
    if (sent)
        ++m_transmitted;
    finish_period();
}

void CanSendMessage::finish_period()
{
    const unsigned limit = m_count_limit.load();
    if (m_active.load() && limit > 0 && m_transmitted.load() >= limit) {
        m_active = false;
        m_label_dirty = true;
    }
    if (m_rate.load() == 0 && m_active.exchange(false))
        m_label_dirty = true;
    if (m_active.load())
        if (TimerWheel *armed = m_armed_wheel.load())
            armed->schedule(this, m_rate.load());
}
