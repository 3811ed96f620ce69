#pragma once
// An environment variable of a description file (EV_ of a DBC file).
#include "core/candb_attribute_value.h"
#include "core/candb_node.h"
#include "core/candb_value_table.h"

#include <cstdint>
#include <string>
#include <vector>

class CANdbNetwork;

// Types of environment variables.
enum CANdbEnvVarType : int {
    CANdbEnvVarInt = 1,
    CANdbEnvVarFloat = 2,
    CANdbEnvVarString = 3,
};

class CANdbEnvVar {
public:
    explicit CANdbEnvVar(const char *name = nullptr);
    CANdbEnvVar(const CANdbEnvVar &) = delete;
    CANdbEnvVar &operator=(const CANdbEnvVar &) = delete;

    // The text for the value, or null.
    const char *value_description(int32_t value) const;
    // -1 for a null text or a value already present.
    int add_value_description(int32_t value, const char *text);
    // Appends the node; null is ignored, repeats are kept.
    void add_access_node(CANdbNode *node);

    std::string name;
    std::string comment;
    std::string unit;
    std::string access_text; // the access type word as the file gives it
    int type = 0;            // CANdbEnvVarType, 0 until read
    int access_code = 0;     // 0 unknown, 1..4 from the access type word
    double minimum = 0.0;
    double maximum = 0.0;
    double initial_value = 0.0;
    double data_size = 0.0; // ENVVAR_DATA_ of a DBC file
    bool has_data = false;  // set when a data size was given
    uint32_t identifier = 0;
    std::vector<CANdbNode *> access_nodes;
    CANdbValueDescriptionList values;
    CANdbAttributeValueList attributes;
    CANdbNetwork *network = nullptr;
};
