#pragma once
// A node (ECU) of the network database with the messages it transmits and the
// signals it receives.
#include "core/candb_attribute_value.h"
#include "core/candb_list.h"

#include <string>

class CANdbMessage;
class CANdbNode;
class CANdbSignal;

// Link entries of the lists that tie nodes, messages and signals together.
struct CANdbNodeRef {
    CANdbNode *node = nullptr;
    CANdbNodeRef *next = nullptr;
};
struct CANdbMessageRef {
    CANdbMessage *message = nullptr;
    CANdbMessageRef *next = nullptr;
};
struct CANdbSignalRef {
    CANdbSignal *signal = nullptr;
    CANdbSignalRef *next = nullptr;
};

class CANdbNode {
public:
    explicit CANdbNode(const char *name = nullptr);
    CANdbNode(const CANdbNode &) = delete;
    CANdbNode &operator=(const CANdbNode &) = delete;
    ~CANdbNode();

    void set_comment(const char *text) { comment = text ? text : ""; }

    std::string name;
    std::string comment;
    CANdbNode *next = nullptr;
    bool is_master = false; // the master node of a LIN network
    CANdbAttributeValueList attributes;
    // Kept by CANdbMessage::set_transmitter and CANdbSignal::add_receiver,
    // which enter each message and signal once.
    CANdbList<CANdbMessageRef> transmitted;
    CANdbList<CANdbSignalRef> received;
};
