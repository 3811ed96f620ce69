#pragma once
// The driver's time base: a 32-bit count of 10 µs since driver start, read
// from the performance counter (it wraps after about 11.9 hours).
#include <cstdint>

class TimeBase
{
public:
    // Remembers the counter value of driver start.
    void start();
    uint32_t now() const;

private:
    uint64_t start_ = 0;
};
