#include "core/lin_schedule_table.h"

LinScheduleTable::LinScheduleTable(const char *table_name)
{
    if (table_name)
        name = table_name;
}

void LinScheduleTable::add_entry(CANdbMessage *frame, double delay)
{
    entries.push_back({frame, delay});
}
