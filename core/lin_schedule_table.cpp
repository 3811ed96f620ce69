#include "core/lin_schedule_table.h"

LinScheduleTable::LinScheduleTable(const char *table_name)
{
    if (table_name)
        name = table_name;
}

LinScheduleTable::~LinScheduleTable()
{
    entries.delete_all();
}

void LinScheduleTable::add_entry(CANdbMessage *frame, double delay)
{
    entries.append(new LinScheduleEntry{frame, delay, nullptr});
}
