#pragma once
// A countdown clock that the test steps: time passes only in advance(), and
// every whole period that passes is one tick.
#include "app/shell/vyr_measurement.h"

#include <functional>

namespace vyr_test {

class SteppedClock : public VyrCountdownClock
{
public:
    void start(int period_ms, std::function<void()> tick) override
    {
        m_period_ms = period_ms;
        m_elapsed_ms = 0;
        m_tick = std::move(tick);
    }
    void stop() override
    {
        m_period_ms = 0;
        m_tick = nullptr;
    }

    // 0 while stopped.
    int period_ms() const { return m_period_ms; }

    void advance(int ms)
    {
        for (m_elapsed_ms += ms; m_period_ms > 0 && m_elapsed_ms >= m_period_ms;) {
            m_elapsed_ms -= m_period_ms;
            const std::function<void()> tick = m_tick; // a tick may stop or restart the clock
            tick();
        }
    }

private:
    int m_period_ms = 0;
    int m_elapsed_ms = 0;
    std::function<void()> m_tick;
};

} // namespace vyr_test
