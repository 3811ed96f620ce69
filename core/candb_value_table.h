#pragma once
// Value descriptions of the network database: the texts that a description
// file gives to single raw values of a signal, an environment variable or a
// named value table.
#include <cstdint>
#include <string>

class CANdbNetwork;

struct CANdbValueDescription {
    std::string text;
    int32_t value = 0;
    CANdbValueDescription *next = nullptr;
};

// A singly linked list of value descriptions in the order they were added.
class CANdbValueDescriptionList {
public:
    CANdbValueDescriptionList() = default;
    CANdbValueDescriptionList(const CANdbValueDescriptionList &) = delete;
    CANdbValueDescriptionList &operator=(const CANdbValueDescriptionList &) = delete;
    ~CANdbValueDescriptionList() { clear(); }

    // The entry for the value, or null.
    const CANdbValueDescription *find(int32_t value) const;
    // Appends an entry; -1 for a null text.
    int append(int32_t value, const char *text);
    // Appends an entry unless the value is present; -1 for a null text or a present value.
    int append_unique(int32_t value, const char *text);
    void clear();
    bool empty() const { return first == nullptr; }

    CANdbValueDescription *first = nullptr;
    CANdbValueDescription *last = nullptr;
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
    CANdbValueTable *next = nullptr;
    CANdbNetwork *network = nullptr;
};
