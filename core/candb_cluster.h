#pragma once
// The networks (description files) of one interface; every received frame is
// decoded through all of them.
#include "core/candb_list.h"
#include "core/candb_network.h"

#include <cstdint>
#include <memory>

class CANdbCluster {
public:
    CANdbCluster() = default;
    CANdbCluster(const CANdbCluster &) = delete;
    CANdbCluster &operator=(const CANdbCluster &) = delete;
    ~CANdbCluster() { clear(); }

    // Appends the network and answers it; null is ignored.
    CANdbNetwork *add_network(std::unique_ptr<CANdbNetwork> network);
    CANdbNetwork *first_network();
    CANdbNetwork *next_network();
    // Cursor over the messages of all networks in order.
    CANdbMessage *first_message();
    CANdbMessage *next_message();
    // First hit in network order, or null.
    CANdbMessage *find_message(const char *name) const;
    CANdbMessage *find_message_by_id(uint32_t id) const;
    CANdbMessage *find_message_by_j1939_key(uint32_t pgn) const;
    // Decodes the frame through every network; the sum of their matches.
    int decode_frame(uint32_t id, const uint8_t *data, int length, void *argument) const;
    // Destroys every network.
    void clear();

    CANdbList<CANdbNetwork> networks;

private:
    int network_cursor_ = -1;
};
