#pragma once
// A signal encoding type of a LIN description file: logical values (texts for
// raw values) and physical ranges (scaling of raw ranges).
#include "core/candb_value_table.h"

#include <cstdint>
#include <string>
#include <vector>

struct LinPhysicalRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
    double scale = 1.0;
    double offset = 0.0;
};

class LinEncodingType {
public:
    explicit LinEncodingType(const char *name = nullptr);
    LinEncodingType(const LinEncodingType &) = delete;
    LinEncodingType &operator=(const LinEncodingType &) = delete;

    // Appends a logical value (repeated values are kept); -1 for a null text.
    int add_logical_value(int32_t value, const char *text);
    void add_physical_range(int32_t minimum, int32_t maximum, double scale, double offset);

    std::string name;
    std::string unit;
    CANdbValueDescriptionList logical_values;
    std::vector<LinPhysicalRange> physical_ranges;
};
