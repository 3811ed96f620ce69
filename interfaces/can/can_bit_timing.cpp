#include "interfaces/can/can_bit_timing.h"

#include <cmath>

long can_bitrate_from_timing(long clock, int prescaler, int tseg1, int tseg2)
{
    const long quanta = long(tseg1) + tseg2 + 1;
    if (quanta <= 0)
        return 0;
    if (prescaler == 0)
        prescaler = 1;
    return (clock / prescaler) / quanta;
}

int can_sample_point(int tseg1, int tseg2)
{
    const long quanta = long(tseg1) + tseg2 + 1;
    if (quanta <= 0)
        return 0;
    return int(std::lround(double(tseg1 + 1) / double(quanta) * 100.0));
}
