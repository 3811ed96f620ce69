// The panel functions of an interface's script beside the environment-variable
// functions: one script loop that sets and gets an int through each of 1,000
// ids, with panelItemSetValueInt / panelItemGetValueInt on registered panel
// items and with envvarSetValueInt / envvarGetValueInt on environment
// variables (calls per second: two per id).
#include "core/env_var_record.h"
#include "core/script_trigger.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "script/pcode_machine.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "windows/panel/vyr_panel_item.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int id_count = 1000;

// An item with the integer value of the script functions, without a widget
// (found by id only).
class ValueItem : public VyrPanelItem
{
public:
    ValueItem() { add_property_value(PanelItemValue::Integer, 1, "value", 0); }
};

const char *const script = R"(variables { int ids[1000]; int sum; int i; }
on action "panel"
{
  for (i = 0; i < 1000; i++) {
    panelItemSetValueInt (ids[i], i);
    sum = sum + panelItemGetValueInt (ids[i]);
  }
}
on action "envvar"
{
  for (i = 0; i < 1000; i++) {
    envvarSetValueInt (ids[i], i);
    sum = sum + envvarGetValueInt (ids[i]);
  }
}
)";

struct ScriptLoop
{
    QTemporaryDir dir;
    std::unique_ptr<VyrSignalIf> signal_if;
    VyrScriptRuntime *runtime = nullptr;

    bool compile()
    {
        signal_if = create_signal_if("CAN", nullptr, nullptr, nullptr);
        const QString path = dir.filePath(QStringLiteral("bench.vys"));
        QFile file(path);
        if (!signal_if || !file.open(QIODevice::WriteOnly))
            return false;
        file.write(script);
        file.close();
        signal_if->set_script_file(path);
        runtime = VyrScriptRuntime::of(signal_if.get());
        return runtime && signal_if->sclib_init() == 0;
    }
    void set_ids(const std::vector<int32_t> &ids)
    {
        auto *array = static_cast<ScriptVariable *>(runtime->symbols()->find("ids", 0));
        for (size_t i = 0; i < ids.size(); ++i)
            runtime->machine()->set_data_int(int32_t(array->address + 4 * i), ids[i]);
    }
    void run(benchmark::State &state, const char *action_name)
    {
        const ScriptTrigger *action = runtime->find_script_trigger_by_name(ScriptTrigger::action, action_name);
        for (auto _ : state) {
            VyrSignalIf::ScriptRunLock lock(*signal_if);
            runtime->machine()->set_cycle_limit(PCodeMachine::no_cycle_limit);
            if (runtime->run_function(action->function_id()) != 0) {
                state.SkipWithError("the script loop failed");
                return;
            }
        }
        state.SetItemsProcessed(int64_t(state.iterations()) * 2 * id_count);
    }
};

void BM_PanelItemSetGetValueInt(benchmark::State &state)
{
    ScriptLoop loop;
    if (!loop.compile()) {
        state.SkipWithError("the script did not compile");
        return;
    }
    std::vector<std::unique_ptr<ValueItem>> items;
    std::vector<int32_t> ids;
    for (int i = 0; i < id_count; ++i) {
        items.push_back(std::make_unique<ValueItem>());
        items.back()->register_item();
        ids.push_back(int32_t(items.back()->id()));
    }
    loop.set_ids(ids);
    loop.run(state, "panel");
}
BENCHMARK(BM_PanelItemSetGetValueInt);

void BM_EnvVarSetGetValueInt(benchmark::State &state)
{
    VyrEnvVarList variables;
    VyrEnvVarList::set_instance(&variables);
    ScriptLoop loop;
    if (!loop.compile()) {
        state.SkipWithError("the script did not compile");
        VyrEnvVarList::set_instance(nullptr);
        return;
    }
    std::vector<int32_t> ids;
    for (int i = 0; i < id_count; ++i)
        ids.push_back(variables.insert(std::make_unique<EnvVarRecord>(1, "Bench" + std::to_string(i), nullptr))->id());
    loop.set_ids(ids);
    loop.run(state, "envvar");
    loop.signal_if.reset();
    VyrEnvVarList::set_instance(nullptr);
}
BENCHMARK(BM_EnvVarSetGetValueInt);

} // namespace

BENCHMARK_MAIN();
