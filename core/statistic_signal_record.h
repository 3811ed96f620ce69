#pragma once
// A statistic of a bus kept as a signal ("Statistic.BusStatus"): its value
// text names the bus state.
#include "core/signal_record.h"

// "BUSOFF" (0), "PASSIVE" (1), "WARNING" (2), "ACTIVE" (3); null for other values.
const char *bus_state_name(int value);

class StatisticSignalRecord : public SignalRecord
{
public:
    const char *value_text(int value) const override;
};
