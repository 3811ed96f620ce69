#include "core/candb_attribute_value.h"

CANdbAttributeValue::CANdbAttributeValue(CANdbAttributeDef *def)
    : definition(def), value_type(def ? def->value_type : CANdbAttrNone)
{
}

void CANdbAttributeValue::set_string(const char *text)
{
    if (value_type == CANdbAttrString)
        string_value = text ? text : "";
}

CANdbAttributeValue *CANdbAttributeValueList::find_by_name(const char *name) const
{
    if (!name)
        return nullptr;
    for (CANdbAttributeValue *v : *this)
        if (v->definition && v->definition->name == name)
            return v;
    return nullptr;
}

CANdbAttributeValue *CANdbAttributeValueList::find_by_def(const CANdbAttributeDef *def) const
{
    for (CANdbAttributeValue *v : *this)
        if (v->definition == def)
            return v;
    return nullptr;
}
