#include "core/candb_attribute_def.h"

CANdbAttributeDef::CANdbAttributeDef(const char *def_name, int type, int kind)
    : value_type(type), object_kind(kind)
{
    if (def_name)
        name = def_name;
}

CANdbAttributeDef::~CANdbAttributeDef()
{
    clear_enum();
}

void CANdbAttributeDef::clear_enum()
{
    while (first_enum) {
        CANdbEnumValue *next_entry = first_enum->next;
        delete first_enum;
        first_enum = next_entry;
    }
    last_enum = nullptr;
}

void CANdbAttributeDef::set_type(int type)
{
    clear_enum();
    default_string.clear();
    int_min = int_max = int_default = 0;
    float_min = float_max = float_default = 0.0;
    value_type = type;
}

int CANdbAttributeDef::enum_index(const char *entry_name) const
{
    if (value_type != CANdbAttrEnum || !entry_name)
        return -1;
    for (const CANdbEnumValue *e = first_enum; e; e = e->next)
        if (e->name == entry_name)
            return e->index;
    return -1;
}

const char *CANdbAttributeDef::enum_name(int index) const
{
    if (value_type != CANdbAttrEnum)
        return nullptr;
    for (const CANdbEnumValue *e = first_enum; e; e = e->next)
        if (e->index == index)
            return e->name.c_str();
    return nullptr;
}

int CANdbAttributeDef::add_enum_value(const char *entry_name, int index)
{
    if (value_type != CANdbAttrEnum || !entry_name)
        return -1;
    auto *e = new CANdbEnumValue;
    e->name = entry_name;
    e->index = index;
    if (last_enum)
        last_enum->next = e;
    else
        first_enum = e;
    last_enum = e;
    return 0;
}

void CANdbAttributeDef::set_default_string(const char *text)
{
    default_string = text ? text : "";
}
