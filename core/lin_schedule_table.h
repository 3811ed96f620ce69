#pragma once
// A schedule table of a LIN description file: the frames the master sends in
// turn, each followed by its delay.
#include <string>
#include <vector>

class CANdbMessage;

struct LinScheduleEntry {
    CANdbMessage *frame = nullptr;
    double delay = 0.0; // milliseconds
};

class LinScheduleTable {
public:
    explicit LinScheduleTable(const char *name = nullptr);
    LinScheduleTable(const LinScheduleTable &) = delete;
    LinScheduleTable &operator=(const LinScheduleTable &) = delete;

    void add_entry(CANdbMessage *frame, double delay);

    std::string name;
    std::vector<LinScheduleEntry> entries;
};
