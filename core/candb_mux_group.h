#pragma once
// One extended-multiplexing record of a signal (SG_MUL_VAL_ of a DBC file):
// the signal is present when its multiplexor's raw value lies in one of the
// record's ranges.
#include "core/candb_list.h"

#include <cstdint>
#include <string>

class CANdbNetwork;
class CANdbSignal;

struct CANdbMuxRange {
    CANdbMuxRange *next = nullptr;
    uint32_t low = 0;
    uint32_t high = 0;
};

class CANdbMuxGroup {
public:
    // Counts itself in the network's record count while it lives (network may be null).
    explicit CANdbMuxGroup(CANdbNetwork *network);
    CANdbMuxGroup(const CANdbMuxGroup &) = delete;
    CANdbMuxGroup &operator=(const CANdbMuxGroup &) = delete;
    ~CANdbMuxGroup();

    // Moves the record from the previous multiplexor's dependents to the new one's.
    void set_multiplexor(CANdbSignal *signal);
    void set_multiplexor_name(const char *name) { multiplexor_name = name ? name : ""; }
    int add_range(uint32_t low, uint32_t high);
    int range_count() const { return ranges.count; }
    // False when the index is out of range.
    bool range_at(int index, uint32_t &low, uint32_t &high) const;
    void clear_ranges() { ranges.delete_all(); }
    // Drops the ranges and the name and leaves the multiplexor.
    void release();

    CANdbNetwork *network = nullptr;
    CANdbSignal *multiplexor = nullptr;
    CANdbList<CANdbMuxRange> ranges;
    std::string multiplexor_name; // kept to bind the multiplexor by name later
    CANdbMuxGroup *next_dependent = nullptr; // chain of the multiplexor's dependents
};
