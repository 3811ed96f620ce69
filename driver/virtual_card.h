#pragma once
// The virtual card: the hardware operations that the driver's card and
// channel code calls, and the bus itself. A frame written on one handle is
// stamped and stored in the receive queue of every other on-bus handle of
// the same bus whose filters pass it, and in the writer's own queue as
// transmit request and acknowledgement when the writer asks for them;
// besides, the chip-state, statistics and timer events and the auto
// responses. Operations that the virtual card has no hardware for (bus
// parameters, output and transceiver modes, channel counters, transmit
// buffers) are not here: the driver's code has nothing to call for them.
#include "driver/card_model.h"
#include "driver/event_loop.h"
#include "driver/rx_queue.h"
#include "driver/time_base.h"

#include <cstdint>

class VirtualCard
{
public:
    // queues: whose due signals end a round of deliveries that the card
    // starts itself (a timer tick, a handle's auto responses).
    VirtualCard(EventLoop &loop, const TimeBase &time_base, RxQueueTable &queues);

    void start(card_info *card);
    void go_bus_on(chip_info *chip);
    void go_bus_off(chip_info *chip);
    // A chip-state event to the requester, or to every on-bus handle of the
    // channel that does not suppress them when requester is null.
    void broadcast_chip_state(chip_info *chip, dev_handle *requester);
    // The two statistics events to the requester.
    void request_statistics(chip_info *chip, dev_handle *requester);
    void read_clock(uint32_t *seconds, uint32_t *microseconds) const;
    // The card timer's period (0 stops it); its tick puts a timer event into
    // the empty queues of the handles that asked for timer events.
    void set_timer_rate(card_info *card, uint32_t ms);
    void stop_timer(card_info *card);
    void timer_tick(card_info *card);
    // Sends the written records on the sender's channel (and on the card's
    // other channels when they are connected).
    void transmit(card_info *card, chip_info *chip, dev_handle *sender, const MessageRecord *records,
                  uint32_t count);

private:
    void deliver(chip_info *chip, const dev_ext *sender, const MessageRecord &record);
    void deliver_to_handle(chip_info *chip, dev_handle *handle, const dev_ext *sender, const MessageRecord &record);
    void deliver_event(chip_info *chip, dev_handle *requester, MessageRecord record,
                       const MessageRecord *second = nullptr);
    void store_event(dev_handle *handle, const MessageRecord &record);
    void send_auto_responses(card_info *card, chip_info *chip, dev_handle *handle, uint32_t opened);

    EventLoop &loop_;
    const TimeBase &time_base_;
    RxQueueTable &queues_;
};
