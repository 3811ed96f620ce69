#include "core/candb_signal.h"

#include <algorithm>

CANdbSignal::CANdbSignal(const char *signal_name)
{
    reset();
    set_name(signal_name);
}

CANdbSignal::~CANdbSignal()
{
    reset();
}

void CANdbSignal::reset()
{
    name.clear();
    factor = 1.0;
    minimum = maximum = offset = 0.0;
    start_bit = 0;
    length = 0;
    mux_value = -1;
    is_multiplexor = false;
    byte_order = CANdbIntel;
    value_type = CANdbRawUnset;
    value_kind = CANdbKindNone;
    sign_signal = nullptr;
    message = nullptr;
    clear_observers();
    remove_receivers();
    set_mux_group(nullptr);
    detach_dependents();
}

void CANdbSignal::add_receiver(CANdbNode *node)
{
    if (!node || std::find(receivers.begin(), receivers.end(), node) != receivers.end())
        return;
    receivers.push_back(node);
    // The node lists a signal exactly when the signal lists the node, so the
    // node's (possibly long) list needs no search.
    node->received.push_back(this);
}

void CANdbSignal::set_mux_group(std::unique_ptr<CANdbMuxGroup> group)
{
    if (group != mux_group_)
        mux_group_ = std::move(group);
}

void CANdbSignal::add_dependent(CANdbMuxGroup *group)
{
    if (group && group->multiplexor == this)
        dependents_.insert(group);
}

void CANdbSignal::remove_dependent(CANdbMuxGroup *group)
{
    dependents_.erase(group);
}

bool CANdbSignal::has_dependent(const CANdbMuxGroup *group) const
{
    return dependents_.count(const_cast<CANdbMuxGroup *>(group)) != 0;
}

// Takes the signal out of its receivers' lists. Lists of the network
// database destroy their elements from the last to the first, so each signal
// is found at the tail of those lists, where it is taken out at no cost.
void CANdbSignal::remove_receivers()
{
    for (CANdbNode *node : receivers)
        erase_last_of(node->received, this);
    receivers.clear();
}

// A signal that goes away leaves the records that named it as multiplexor
// without one, so that they never reach back to it.
void CANdbSignal::detach_dependents()
{
    for (CANdbMuxGroup *group : dependents_)
        group->multiplexor = nullptr;
    dependents_.clear();
}

int CANdbSignal::add_observer(CANdbObserverCallback callback, void *context)
{
    observers.push_back({callback, context});
    return 0;
}

int CANdbSignal::clear_observers()
{
    observers.clear();
    return 0;
}
