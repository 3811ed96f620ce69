// Signal trigger conditions on their hot path: values delivered to a signal
// that 1, 10 or 100 watchers follow (each value flips every relation, so half
// the values fire their condition), and a trigger's set and reset heard by 10
// listeners. The counter "allocs_per_value" shows that neither allocates.
#include "heap_allocation_counter.h"

#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_handlers.h"
#include "core/vyr_trigger_cond_signal.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// An interface that only holds signals.
class SignalHolder : public VyrSignalIf
{
public:
    SignalHolder() : VyrSignalIf("BENCH", nullptr, nullptr) {}
    int basic_definitions() override { return 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override { return 0; }
    void write_configuration(QtbConfig &) override {}
    bool configure(QWidget *) override { return false; }
};

void BM_SignalValuesThroughWatchers(benchmark::State &state)
{
    const int watchers = int(state.range(0));
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTriggerCondList conditions;
    VyrTriggerCondList::set_instance(&conditions);
    auto *target = new VyrTrigger(&triggers, "Target");
    SignalHolder holder;
    auto *signal = new SignalRecord;
    signal->set_name("Speed");
    signal->set_direction(SignalRecord::Input);
    signal->add_flags(SignalRecord::DefinedByCompile);
    holder.signal_list()->insert(signal);
    for (int i = 0; i < watchers; ++i) {
        auto data = std::make_unique<VyrTriggerCondDataSignal>();
        data->relations.push_back({QString::fromStdString(holder.make_id()), "Speed", 50.0, RelationGreater, false});
        auto *condition = new VyrTriggerCond(&conditions);
        condition->set_action(VyrTriggerCond::ToggleTrigger);
        condition->set_target(target);
        condition->set_cond_data(std::move(data));
    }
    start_signal_trigger_conditions();
    VyrSignalEntry *entry = signal->entry();
    SignalValue low, high;
    low.set_double(10.0);
    high.set_double(90.0);
    const uint64_t allocations_before = heap_allocations.load();
    for (auto _ : state) {
        entry->notify_listeners(high);
        entry->notify_listeners(low);
    }
    const double values = double(state.iterations()) * 2;
    state.counters["allocs_per_value"] = double(heap_allocations.load() - allocations_before) / values;
    state.SetItemsProcessed(int64_t(values));
    stop_signal_trigger_conditions();
    holder.clear_signal_listeners();
    conditions.clear();
    VyrTriggerCondList::set_instance(nullptr);
    VyrTriggerList::set_instance(nullptr);
}
BENCHMARK(BM_SignalValuesThroughWatchers)->Arg(1)->Arg(10)->Arg(100);

void BM_SetAndResetWithTenListeners(benchmark::State &state)
{
    VyrTriggerList triggers;
    auto *trigger = new VyrTrigger(&triggers, "Watched");
    uint64_t heard = 0;
    std::vector<std::unique_ptr<VyrTriggerListener>> listeners;
    for (int i = 0; i < 10; ++i) {
        listeners.push_back(std::make_unique<VyrTriggerListener>(trigger, "listener"));
        listeners.back()->set_callback([](VyrTriggerListener *, void *context) { ++*static_cast<uint64_t *>(context); },
                                       &heard);
    }
    const uint64_t allocations_before = heap_allocations.load();
    for (auto _ : state) {
        trigger->set();
        trigger->reset();
    }
    benchmark::DoNotOptimize(heard);
    const double changes = double(state.iterations()) * 2;
    state.counters["allocs_per_value"] = double(heap_allocations.load() - allocations_before) / changes;
    state.SetItemsProcessed(int64_t(changes));
    listeners.clear();
}
BENCHMARK(BM_SetAndResetWithTenListeners);

} // namespace

BENCHMARK_MAIN();
