#pragma once
// Provider of default transmit data for one database message (a send row of
// the send window derives from it). The bound message points back to its
// provider, so that tune windows can reach the row that sends the message.
#include <cstdint>

class CANdbMessage;

class CANdbDefaultMessageData {
public:
    CANdbDefaultMessageData() = default;
    CANdbDefaultMessageData(const CANdbDefaultMessageData &) = delete;
    CANdbDefaultMessageData &operator=(const CANdbDefaultMessageData &) = delete;
    // Unbinds from the message.
    virtual ~CANdbDefaultMessageData();

    // The data was changed from the database side (for example by a tune window).
    virtual void data_changed() = 0;
    // The data bytes of the provider.
    virtual uint8_t *default_data() = 0;
    // Called whenever the provider is bound to another message.
    virtual void refresh() = 0;

    // Binds to the message (null unbinds); no-op when unchanged.
    void set_message(CANdbMessage *message);

    // Bound message; cleared by the message when it is destroyed first.
    CANdbMessage *message = nullptr;
};
