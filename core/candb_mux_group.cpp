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
    auto *range = new CANdbMuxRange;
    range->low = low;
    range->high = high;
    ranges.append(range);
    return 0;
}

bool CANdbMuxGroup::range_at(int index, uint32_t &low, uint32_t &high) const
{
    if (index < 0 || index >= ranges.count)
        return false;
    const CANdbMuxRange *range = ranges.first;
    for (int i = 0; i < index; ++i)
        range = range->next;
    low = range->low;
    high = range->high;
    return true;
}

void CANdbMuxGroup::release()
{
    clear_ranges();
    multiplexor_name.clear();
    set_multiplexor(nullptr);
}
