#include "core/candb_signal.h"

#include "core/candb_mux_group.h"

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
    next = nullptr;
    sign_signal = nullptr;
    message = nullptr;
    clear_observers();
    remove_receivers();
    set_mux_group(nullptr);
    detach_dependents();
}

void CANdbSignal::add_receiver(CANdbNode *node)
{
    if (!node)
        return;
    for (const CANdbNodeRef *r = receivers.first; r; r = r->next)
        if (r->node == node)
            return;
    receivers.append(new CANdbNodeRef{node, nullptr});
    // The node lists a signal exactly when the signal lists the node, so the
    // node's (possibly long) list needs no search.
    node->received.append(new CANdbSignalRef{this, nullptr});
}

void CANdbSignal::set_mux_group(CANdbMuxGroup *group)
{
    if (group == mux_group)
        return;
    delete mux_group;
    mux_group = group;
}

void CANdbSignal::add_dependent(CANdbMuxGroup *group)
{
    if (!group || group->multiplexor != this || has_dependent(group))
        return;
    group->next_dependent = first_dependent;
    first_dependent = group;
}

void CANdbSignal::remove_dependent(CANdbMuxGroup *group)
{
    for (CANdbMuxGroup **link = &first_dependent; *link; link = &(*link)->next_dependent) {
        if (*link == group) {
            *link = group->next_dependent;
            group->next_dependent = nullptr;
            return;
        }
    }
}

bool CANdbSignal::has_dependent(const CANdbMuxGroup *group) const
{
    for (const CANdbMuxGroup *g = first_dependent; g; g = g->next_dependent)
        if (g == group)
            return true;
    return false;
}

// Takes the signal out of its receivers' lists. Signals usually go in the
// order they were added, so each is found at the head of those lists.
void CANdbSignal::remove_receivers()
{
    for (const CANdbNodeRef *r = receivers.first; r; r = r->next)
        delete r->node->received.unlink_first([this](const CANdbSignalRef *e) { return e->signal == this; });
    receivers.delete_all();
}

// A signal that goes away leaves the records that named it as multiplexor
// without one, so that they never reach back to it.
void CANdbSignal::detach_dependents()
{
    while (first_dependent) {
        CANdbMuxGroup *group = first_dependent;
        first_dependent = group->next_dependent;
        group->next_dependent = nullptr;
        group->multiplexor = nullptr;
    }
}

int CANdbSignal::add_observer(CANdbObserverCallback callback, void *context)
{
    auto *observer = new CANdbSignalObserver;
    observer->callback = callback;
    observer->context = context;
    observers.append(observer);
    return 0;
}

int CANdbSignal::clear_observers()
{
    observers.delete_all();
    return 0;
}
