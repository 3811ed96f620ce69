#pragma once
// The message of one send-table row: the frame it sends once per action or
// periodically from the timer wheel, with a rate, a count limit and a
// transmitted counter, and the default data of a database message (tune
// windows write signal values into the row through that link).
//
// Threads: the GUI thread edits the frame and the interface; the thread that
// drives the timer wheel sends periodic frames in fire(), and a trigger sends
// in the thread that sets it. Frame and interface change only under the
// wheel's mutex (MessageLock), which fire() holds, so no frame goes out half
// edited; counters and flags are atomics that the GUI reads on its update tick.
#include "core/candb_default_message_data.h"
#include "core/frames/vyr_can_message.h"
#include "core/timer_wheel.h"
#include "interfaces/can/vyr_can_if.h"

#include <QObject>

#include <atomic>

class CanSendMessage : public QObject,
                       public TimerEntry,
                       public CANdbDefaultMessageData,
                       private VyrStepSender
{
    Q_OBJECT
public:
    CanSendMessage();
    // Leaves the timer wheel (waiting for an expiry in progress) and the database message.
    ~CanSendMessage() override;

    // Holds the mutex of the wheel that sends the row's frames, when there is
    // one (outside a measurement nothing sends periodically).
    class MessageLock
    {
    public:
        explicit MessageLock(const CanSendMessage &message);
        ~MessageLock();
        MessageLock(const MessageLock &) = delete;
        MessageLock &operator=(const MessageLock &) = delete;

    private:
        TimerWheel *m_wheel;
    };

    // The frame; write it only under a MessageLock.
    VyrCanMessage &frame() { return m_frame; }
    const VyrCanMessage &frame() const { return m_frame; }

    VyrCanIf *interface() const { return m_interface.load(); }
    // Under the message's lock.
    void set_interface(VyrCanIf *can);
    unsigned rate() const { return m_rate.load(); }
    void set_rate(unsigned rate) { m_rate = rate; }
    unsigned count_limit() const { return m_count_limit.load(); }
    void set_count_limit(unsigned limit) { m_count_limit = limit; }
    unsigned transmitted() const { return m_transmitted.load(); }
    void reset_transmitted() { m_transmitted = 0; }
    bool periodic_active() const { return m_active.load(); }
    // True once: the button's label is to be refreshed.
    bool take_label_dirty() { return m_label_dirty.exchange(false); }
    void mark_label_dirty() { m_label_dirty = true; }

    // The database message the row is bound to: its identifier (bit 31 for
    // an extended one) or its J1939 lookup key; -1 for none.
    int database_key() const { return m_database_key; }
    bool j1939_key() const { return m_j1939_key; }
    void set_database_key(int key, bool j1939)
    {
        m_database_key = key;
        m_j1939_key = j1939;
    }
    // Binds the row as the message's default data; a row bound to it before
    // loses the binding, so the row applied last holds it.
    void bind_database_message(CANdbMessage *message);
    bool bound() const;

    // One frame now (marked as sent by the send window); false without an
    // interface or when the interface refuses it.
    bool send_once();
    // Starts a periodic run: the first frame goes out one period from now.
    // Nothing runs without an interface whose timer wheel is set.
    void start_run();
    // Ends a run; once this returns no expiry of the row is in progress.
    void end_run();

    // The periodic expiry, on the thread that drives the wheel: the frame
    // goes out with the other frames of the wheel's step, and the period
    // ends (count, limit, re-arm) once it went.
    void fire(uint32_t slot_time, uint32_t target_time) override;

    // CANdbDefaultMessageData
    void data_changed() override { emit signal_data_changed(this); }
    uint8_t *default_data() override { return m_frame.data; }
    void refresh() override { emit signal_message_changed(); }

signals:
    void signal_data_changed(CanSendMessage *message);
    void signal_message_changed();

private:
    // The wheel that runs the row: the one it is armed on, else its interface's.
    TimerWheel *wheel() const;
    // Sends a copy of the frame; the caller holds the lock.
    bool transmit_locked(VyrCanIf *can);
    void frame_sent(bool sent) override;
    // Ends the run at its count limit or a rate of 0, else re-arms the entry.
    void finish_period();

    VyrCanMessage m_frame{};
    std::atomic<VyrCanIf *> m_interface{nullptr};
    std::atomic<TimerWheel *> m_armed_wheel{nullptr};
    std::atomic<unsigned> m_rate{0};
    std::atomic<unsigned> m_count_limit{0};
    std::atomic<unsigned> m_transmitted{0};
    std::atomic<bool> m_active{false};
    std::atomic<bool> m_label_dirty{true};
    bool m_j1939_key = false;
    int m_database_key = -1;
};
