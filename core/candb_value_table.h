#pragma once
// Value descriptions of the network database: the texts that a description
// file gives to single raw values of a signal, an environment variable or a
// named value table.
#include <cstdint>
#include <string>
#include <vector>

class CANdbNetwork;

struct CANdbValueDescription {
    std::string text;
    int32_t value = 0;
};

// Value descriptions in the order they were added.
class CANdbValueDescriptionList {
public:

    // The entry for the value, or null.
    const CANdbValueDescription *find(int32_t value) const;
    // Appends an entry; -1 for a null text.
    int append(int32_t value, const char *text);
    // Appends an entry unless the value is present; -1 for a null text or a present value.
    int append_unique(int32_t value, const char *text);
    void clear() { entries_.clear(); }
    bool empty() const { return entries_.empty(); }
    int count() const { return static_cast<int>(entries_.size()); }
    std::vector<CANdbValueDescription>::const_iterator begin() const { return entries_.begin(); }
    std::vector<CANdbValueDescription>::const_iterator end() const { return entries_.end(); }

private:
    std::vector<CANdbValueDescription> entries_;
};

// A value table: named (VAL_TABLE_ of a DBC file) or embedded in a signal for
// its own value descriptions. Values are unique within a table.
class CANdbValueTable {
public:
    explicit CANdbValueTable(const char *name = nullptr);
    CANdbValueTable(const CANdbValueTable &) = delete;
    CANdbValueTable &operator=(const CANdbValueTable &) = delete;

    // The text for the value, or null.
    const char *description(int32_t value) const;
    // -1 for a null text or a value already present (the first text stays).
    int add_description(int32_t value, const char *text);

    std::string name;
    CANdbValueDescriptionList descriptions;
    CANdbNetwork *network = nullptr;
};
