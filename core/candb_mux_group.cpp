#include "core/candb_mux_group.h"

#include "core/candb_network.h"
#include "core/candb_signal.h"

CANdbMuxGroup::CANdbMuxGroup(CANdbNetwork *owner) : network(owner)
{
    if (network)
        ++network->mux_group_count;
}

CANdbMuxGroup::~CANdbMuxGroup()
{
    release();
    if (network)
        --network->mux_group_count;
}

void CANdbMuxGroup::set_multiplexor(CANdbSignal *signal)
{
    if (signal == multiplexor)
        return;
    if (multiplexor)
        multiplexor->remove_dependent(this);
    multiplexor = signal;
    if (multiplexor)
        multiplexor->add_dependent(this);
}

int CANdbMuxGroup::add_range(uint32_t low, uint32_t high)
{
    ranges.push_back({low, high});
    return 0;
}

bool CANdbMuxGroup::range_at(int index, uint32_t &low, uint32_t &high) const
{
    if (index < 0 || index >= range_count())
        return false;
    low = ranges[static_cast<size_t>(index)].low;
    high = ranges[static_cast<size_t>(index)].high;
    return true;
}

void CANdbMuxGroup::release()
{
    clear_ranges();
    multiplexor_name.clear();
    set_multiplexor(nullptr);
}
