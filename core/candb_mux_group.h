#pragma once
// One extended-multiplexing record of a signal (SG_MUL_VAL_ of a DBC file):
// the signal is present when its multiplexor's raw value lies in one of the
// record's ranges.
#include <cstdint>
#include <string>
#include <vector>

class CANdbNetwork;
class CANdbSignal;

struct CANdbMuxRange {
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
    int range_count() const { return static_cast<int>(ranges.size()); }
    // False when the index is out of range.
    bool range_at(int index, uint32_t &low, uint32_t &high) const;
    void clear_ranges() { ranges.clear(); }
    // Drops the ranges and the name and leaves the multiplexor.
    void release();

    CANdbNetwork *network = nullptr;
    CANdbSignal *multiplexor = nullptr;
    std::vector<CANdbMuxRange> ranges;
    std::string multiplexor_name; // kept to bind the multiplexor by name later
};
