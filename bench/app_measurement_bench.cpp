// Time from the main window's start() until the trigger "Running" is set,
// over 1, 8 and 32 interfaces that do nothing in their passes, with and
// without the code-page locking that every start does by default; and the
// locking alone.
#include "app/shell/settings_store.h"
#include "app/vyr_main.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_trigger.h"
#include "platform/process_tuning.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class IdleInterface : public VyrSignalIf
{
public:
    explicit IdleInterface(int rank) : VyrSignalIf("BENCH", nullptr, nullptr), m_rank(rank)
    {
        set_active(true);
        link_signal_if(this);
    }
    int start_order() const override { return m_rank; }
    int basic_definitions() override { return 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override { return 0; }
    int startup() override { return 0; }
    int start() override { return 0; }
    int stop() override { return 0; }
    int check_script_file_modified(QWidget *) override { return 0; }
    void write_configuration(QtbConfig &) override {}
    bool configure(QWidget *) override { return false; }

private:
    int m_rank;
};

void measure_start(benchmark::State &state, bool lock_code)
{
    settings_store().write_bool("DisableMemoryOptimization", !lock_code);
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTrigger *running = add_running_trigger(&triggers);
    {
        VyrMain window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        std::vector<std::unique_ptr<IdleInterface>> interfaces;
        for (int i = 0; i < state.range(0); ++i)
            interfaces.push_back(std::make_unique<IdleInterface>(i % 4));
        for (auto _ : state) {
            window.start();
            if (!running->state())
                state.SkipWithError("not running");
            state.PauseTiming();
            window.stop();
            state.ResumeTiming();
        }
    }
    VyrTriggerList::set_instance(nullptr);
}

void BM_StartToRunning(benchmark::State &state)
{
    measure_start(state, true);
}
BENCHMARK(BM_StartToRunning)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

void BM_StartToRunningWithoutCodeLock(benchmark::State &state)
{
    measure_start(state, false);
}
BENCHMARK(BM_StartToRunningWithoutCodeLock)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

void BM_LockCodeMappings(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::lock_code_mappings());
}
BENCHMARK(BM_LockCodeMappings)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir preferences; // the benchmark's own preferences file
    qputenv("XDG_CONFIG_HOME", preferences.path().toLocal8Bit());
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
