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

CANdbAttributeValueList::~CANdbAttributeValueList()
{
    while (first) {
        CANdbAttributeValue *next = first->next;
        delete first;
        first = next;
    }
}

void CANdbAttributeValueList::append(CANdbAttributeValue *value)
{
    if (!value)
        return;
    value->next = nullptr;
    if (last)
        last->next = value;
    else
        first = value;
    last = value;
}

CANdbAttributeValue *CANdbAttributeValueList::find_by_name(const char *name) const
{
    if (!name)
        return nullptr;
    for (CANdbAttributeValue *v = first; v; v = v->next)
        if (v->definition && v->definition->name == name)
            return v;
    return nullptr;
}

CANdbAttributeValue *CANdbAttributeValueList::find_by_def(const CANdbAttributeDef *def) const
{
    for (CANdbAttributeValue *v = first; v; v = v->next)
        if (v->definition == def)
            return v;
    return nullptr;
}
