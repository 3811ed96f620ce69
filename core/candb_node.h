#pragma once
// A node (ECU) of the network database with the messages it transmits and the
// signals it receives.
#include "core/candb_attribute_value.h"

#include <string>
#include <vector>

class CANdbMessage;
class CANdbSignal;

class CANdbNode {
public:
    explicit CANdbNode(const char *name = nullptr);
    CANdbNode(const CANdbNode &) = delete;
    CANdbNode &operator=(const CANdbNode &) = delete;

    void set_comment(const char *text) { comment = text ? text : ""; }

    std::string name;
    std::string comment;
    bool is_master = false; // the master node of a LIN network
    CANdbAttributeValueList attributes;
    // Kept by CANdbMessage::set_transmitter and CANdbSignal::add_receiver,
    // which enter each message and signal once.
    std::vector<CANdbMessage *> transmitted;
    std::vector<CANdbSignal *> received;
};
