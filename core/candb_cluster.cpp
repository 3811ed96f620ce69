#include "core/candb_cluster.h"

CANdbNetwork *CANdbCluster::add_network(std::unique_ptr<CANdbNetwork> network)
{
    return networks.append(std::move(network));
}

CANdbNetwork *CANdbCluster::first_network()
{
    return networks.start(network_cursor_);
}

CANdbNetwork *CANdbCluster::next_network()
{
    return networks.step(network_cursor_);
}

CANdbMessage *CANdbCluster::first_message()
{
    for (CANdbNetwork *n = first_network(); n; n = next_network())
        if (CANdbMessage *m = n->first_message())
            return m;
    return nullptr;
}

CANdbMessage *CANdbCluster::next_message()
{
    CANdbNetwork *current = networks.at(network_cursor_);
    if (!current)
        return nullptr;
    if (CANdbMessage *m = current->next_message())
        return m;
    for (CANdbNetwork *n = next_network(); n; n = next_network())
        if (CANdbMessage *m = n->first_message())
            return m;
    return nullptr;
}

CANdbMessage *CANdbCluster::find_message(const char *name) const
{
    for (const CANdbNetwork *n : networks)
        if (CANdbMessage *m = n->find_message(name))
            return m;
    return nullptr;
}

CANdbMessage *CANdbCluster::find_message_by_id(uint32_t id) const
{
    for (const CANdbNetwork *n : networks)
        if (CANdbMessage *m = n->find_message_by_id(id))
            return m;
    return nullptr;
}

CANdbMessage *CANdbCluster::find_message_by_j1939_key(uint32_t pgn) const
{
    for (const CANdbNetwork *n : networks)
        if (CANdbMessage *m = n->find_message_by_j1939_key(pgn))
            return m;
    return nullptr;
}

int CANdbCluster::decode_frame(uint32_t id, const uint8_t *data, int length, void *argument) const
{
    int matched = 0;
    for (const CANdbNetwork *n : networks)
        matched += n->decode_frame(id, data, length, argument);
    return matched;
}

void CANdbCluster::clear()
{
    networks.clear();
    network_cursor_ = -1;
}
