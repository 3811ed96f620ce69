#include "driver/time_base.h"

#include "platform/clock.h"

void TimeBase::start()
{
    start_ = platform::performance_counter();
}

uint32_t TimeBase::now() const
{
    const uint64_t frequency = platform::performance_frequency();
    const uint64_t elapsed = platform::performance_counter() - start_;
    // Split so that the product cannot overflow with a nanosecond counter.
    return uint32_t(elapsed / frequency * 100000 + elapsed % frequency * 100000 / frequency);
}
