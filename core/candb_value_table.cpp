#include "core/candb_value_table.h"

const CANdbValueDescription *CANdbValueDescriptionList::find(int32_t value) const
{
    for (const CANdbValueDescription &d : entries_)
        if (d.value == value)
            return &d;
    return nullptr;
}

int CANdbValueDescriptionList::append(int32_t value, const char *text)
{
    if (!text)
        return -1;
    entries_.push_back({text, value});
    return 0;
}

int CANdbValueDescriptionList::append_unique(int32_t value, const char *text)
{
    if (!text || find(value))
        return -1;
    return append(value, text);
}

CANdbValueTable::CANdbValueTable(const char *table_name)
{
    if (table_name)
        name = table_name;
}

const char *CANdbValueTable::description(int32_t value) const
{
    const CANdbValueDescription *d = descriptions.find(value);
    return d ? d->text.c_str() : nullptr;
}

int CANdbValueTable::add_description(int32_t value, const char *text)
{
    return descriptions.append_unique(value, text);
}
