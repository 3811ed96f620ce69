// Timer wheel under load: 10,000 armed entries, as with many periodic send
// rows, script timers and polled signals in one measurement.
#include "core/timer_wheel.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

constexpr int armed_entries = 10000;

// Reschedules itself with its period, like a periodic send row.
class PeriodicEntry : public TimerEntry
{
public:
    PeriodicEntry(TimerWheel &wheel, uint32_t period) : wheel_(wheel), period_(period) {}
    void fire(uint32_t, uint32_t) override
    {
        ++fired;
        wheel_.schedule(this, period_);
    }
    int64_t fired = 0;

private:
    TimerWheel &wheel_;
    uint32_t period_;
};

class OneShotEntry : public TimerEntry
{
public:
    void fire(uint32_t, uint32_t) override {}
};

std::vector<std::unique_ptr<PeriodicEntry>> arm_periodic(TimerWheel &wheel)
{
    std::vector<std::unique_ptr<PeriodicEntry>> entries;
    for (int i = 0; i < armed_entries; ++i) {
        // Periods from 1 ms to 2 s, spread over the buckets and several turns.
        entries.push_back(std::make_unique<PeriodicEntry>(wheel, uint32_t(i * 7919 % 2000 + 1)));
        wheel.schedule(entries.back().get(), uint32_t(i % 2000));
    }
    return entries;
}

// One 1 ms step of the driving thread: walks one bucket and fires what is due.
void BM_AdvanceOneStep(benchmark::State &state)
{
    TimerWheel wheel(1024, 0, 1, 0);
    auto entries = arm_periodic(wheel);
    uint32_t now = 0;
    for (auto _ : state)
        wheel.advance(++now);
    int64_t fired = 0;
    for (const auto &entry : entries)
        fired += entry->fired;
    state.SetItemsProcessed(fired);
    wheel.clear();
}
BENCHMARK(BM_AdvanceOneStep);

// Arming and cancelling one more entry while 10,000 are armed.
void BM_ScheduleAndCancel(benchmark::State &state)
{
    TimerWheel wheel(1024, 0, 1, 0);
    auto entries = arm_periodic(wheel);
    OneShotEntry extra;
    uint32_t delay = 0;
    for (auto _ : state) {
        wheel.schedule(&extra, delay);
        wheel.cancel(&extra);
        delay = (delay + 37) % 4096;
    }
    state.SetItemsProcessed(state.iterations());
    wheel.clear();
}
BENCHMARK(BM_ScheduleAndCancel);

// A backlog of more than one turn: the jump path over all buckets.
void BM_LongJump(benchmark::State &state)
{
    TimerWheel wheel(1024, 0, 1, 0);
    auto entries = arm_periodic(wheel);
    uint32_t now = 0;
    for (auto _ : state) {
        now += 1500;
        wheel.advance(now);
    }
    wheel.clear();
}
BENCHMARK(BM_LongJump);

} // namespace

BENCHMARK_MAIN();
