#include "core/candb_attribute_def.h"

CANdbAttributeDef::CANdbAttributeDef(const char *def_name, int type, int kind)
    : value_type(type), object_kind(kind)
{
    if (def_name)
        name = def_name;
}

void CANdbAttributeDef::set_type(int type)
{
    enum_values.clear();
    default_string.clear();
    int_min = int_max = int_default = 0;
    float_min = float_max = float_default = 0.0;
    value_type = type;
}

int CANdbAttributeDef::enum_index(const char *entry_name) const
{
    if (value_type != CANdbAttrEnum || !entry_name)
        return -1;
    for (const CANdbEnumValue &e : enum_values)
        if (e.name == entry_name)
            return e.index;
    return -1;
}

const char *CANdbAttributeDef::enum_name(int index) const
{
    if (value_type != CANdbAttrEnum)
        return nullptr;
    for (const CANdbEnumValue &e : enum_values)
        if (e.index == index)
            return e.name.c_str();
    return nullptr;
}

int CANdbAttributeDef::add_enum_value(const char *entry_name, int index)
{
    if (value_type != CANdbAttrEnum || !entry_name)
        return -1;
    enum_values.push_back({entry_name, index});
    return 0;
}

void CANdbAttributeDef::set_default_string(const char *text)
{
    default_string = text ? text : "";
}
