#include "core/statistic_signal_record.h"

const char *bus_state_name(int value)
{
    static const char *const names[] = {"BUSOFF", "PASSIVE", "WARNING", "ACTIVE"};
    return value >= 0 && value < 4 ? names[value] : nullptr;
}

const char *StatisticSignalRecord::value_text(int value) const
{
    return bus_state_name(value);
}
