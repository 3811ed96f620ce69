// A configuration's triggers and conditions loaded and unloaded as the
// program does, from 1,000 to 128,000 of each (every condition aimed at its
// own trigger): the fitted complexity tells whether the time grows with the
// count or with its square.
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "settings/qtb_config.h"

#include <benchmark/benchmark.h>

namespace {

void BM_LoadAndUnloadTriggersWithConditions(benchmark::State &state)
{
    const int count = int(state.range(0));
    QtbConfig config;
    QtbConfigGroup *main = config.add_group("main");
    QtbConfigGroup *trigger_groups = main->add_group("triggers");
    QtbConfigGroup *condition_groups = main->add_group("conditions");
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("T%1").arg(i);
        write_name_and_comment(trigger_groups->add_group(""), name, QString());
        QtbConfigGroup *condition = condition_groups->add_group("");
        condition->write_string("trigger", name);
    }
    for (auto _ : state) {
        VyrTriggerList triggers;
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList conditions;
        QObject::connect(&triggers, &VyrTriggerList::trigger_removed, &conditions,
                         &VyrTriggerCondList::trigger_removed);
        add_running_trigger(&triggers);
        triggers.read_config(main);
        conditions.read_config(main);
        triggers.delete_configured();
        conditions.clear();
        VyrTriggerList::set_instance(nullptr);
    }
    state.SetComplexityN(count);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadAndUnloadTriggersWithConditions)
    ->RangeMultiplier(2)
    ->Range(1000, 128000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
