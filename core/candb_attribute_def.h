#pragma once
// Attribute definitions of the network database (BA_DEF_ of a DBC file): a
// named, typed property that networks, messages, nodes, signals or
// environment variables may carry, with its range and default.
#include <cstdint>
#include <string>
#include <vector>

// Value types of attribute definitions and values.
enum CANdbAttributeType : int {
    CANdbAttrNone = 0,
    CANdbAttrInt = 1,
    CANdbAttrHex = 2,
    CANdbAttrFloat = 3,
    CANdbAttrEnum = 4,
    CANdbAttrString = 5,
};

// The kinds of object an attribute definition applies to.
enum CANdbObjectKind : int {
    CANdbObjectNetwork = 1,
    CANdbObjectMessage = 2,
    CANdbObjectNode = 3,
    CANdbObjectSignal = 4,
    CANdbObjectEnvVar = 5,
};

struct CANdbEnumValue {
    std::string name;
    int32_t index = 0;
};

class CANdbAttributeDef {
public:
    CANdbAttributeDef(const char *name = nullptr, int type = CANdbAttrNone, int object_kind = CANdbObjectNetwork);
    CANdbAttributeDef(const CANdbAttributeDef &) = delete;
    CANdbAttributeDef &operator=(const CANdbAttributeDef &) = delete;

    // Changes the value type: the enumeration and the default text go, the
    // range and default words are zeroed.
    void set_type(int type);
    // Index of the enumeration entry of that name; -1 unless ENUM and found.
    int enum_index(const char *entry_name) const;
    // Name of the enumeration entry with that index; null unless ENUM and found.
    const char *enum_name(int index) const;
    // Appends an enumeration entry; -1 unless the definition is ENUM and a name is given.
    int add_enum_value(const char *entry_name, int index);
    void set_default_string(const char *text);

    int value_type = CANdbAttrNone;
    int object_kind = CANdbObjectNetwork;
    std::string name;
    // INT and HEX: range and default; ENUM: the default index in int_default.
    int32_t int_min = 0;
    int32_t int_max = 0;
    int32_t int_default = 0;
    // FLOAT: range and default.
    double float_min = 0.0;
    double float_max = 0.0;
    double float_default = 0.0;
    // ENUM: the entries in the order they were added.
    std::vector<CANdbEnumValue> enum_values;
    // STRING: the default text.
    std::string default_string;
};
