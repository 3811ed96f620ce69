#pragma once
// Attribute values of the network database (BA_ of a DBC file) and the lists
// in which networks, messages, nodes, signals and environment variables keep them.
#include "core/candb_attribute_def.h"
#include "core/candb_list.h"

#include <cstdint>
#include <string>

class CANdbAttributeValue {
public:
    // The value takes its type from the definition; a STRING value starts empty.
    explicit CANdbAttributeValue(CANdbAttributeDef *definition);
    CANdbAttributeValue(const CANdbAttributeValue &) = delete;
    CANdbAttributeValue &operator=(const CANdbAttributeValue &) = delete;

    // Sets the text of a STRING value; other types are left alone.
    void set_string(const char *text);

    CANdbAttributeDef *definition = nullptr;
    int value_type = CANdbAttrNone;
    int32_t int_value = 0;     // INT, HEX, and the index of an ENUM value
    double double_value = 0.0; // FLOAT
    std::string string_value;  // STRING
};

class CANdbAttributeValueList : public CANdbList<CANdbAttributeValue> {
public:
    // The first value whose definition has that name, or null.
    CANdbAttributeValue *find_by_name(const char *name) const;
    // The first value of that definition, or null.
    CANdbAttributeValue *find_by_def(const CANdbAttributeDef *definition) const;
};
