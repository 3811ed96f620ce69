// Save and load of a large configuration through the main window: 50 CAN
// interfaces and 200 data windows spread over four workspaces, one of them
// detached for every ten. A load replaces everything: it closes the
// windows, deletes the interfaces, reads the file and builds them anew.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "settings/qtb_config.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "tests/app/test_window_type.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int interface_count = 50;
constexpr int window_count = 200;
constexpr int workspace_count = 4;

// A main window holding the large configuration, saved once to its file.
struct LargeConfiguration
{
    LargeConfiguration()
    {
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        replace_configuration(new QtbConfig(dir.filePath(QStringLiteral("large.vyr"))));
        for (int i = 0; i < interface_count; ++i)
            create_signal_if("CAN", nullptr, &window, window.signal_if_notification()).release();
        for (int w = 1; w < workspace_count; ++w)
            window.create_new_workspace(QStringLiteral("Workspace %1").arg(w), -1);
        for (int i = 0; i < window_count; ++i) {
            window.workspace_tab_bar()->setCurrentIndex(i % workspace_count);
            VyrDataWindow *made = window.create_data_window(QStringLiteral("TestWindow"), nullptr);
            if (i % 10 == 0)
                made->detach_from_workspace();
        }
        saved = window.save_configuration();
    }
    ~LargeConfiguration() { replace_configuration(nullptr); }

    QTemporaryDir dir;
    vyr_test::TestWindowType window_type;
    VyrMain window;
    bool saved = false;
};

void BM_SaveConfiguration(benchmark::State &state)
{
    LargeConfiguration large;
    if (!large.saved)
        state.SkipWithError("cannot write the configuration");
    for (auto _ : state)
        benchmark::DoNotOptimize(large.window.save_configuration());
    state.SetItemsProcessed(state.iterations() * (interface_count + window_count));
}
BENCHMARK(BM_SaveConfiguration)->Unit(benchmark::kMillisecond);

void BM_LoadConfiguration(benchmark::State &state)
{
    LargeConfiguration large;
    if (!large.saved)
        state.SkipWithError("cannot write the configuration");
    const QByteArray file = vyr_app_state().configuration->file_name().toLocal8Bit();
    for (auto _ : state)
        large.window.load_configuration(file.constData());
    state.SetItemsProcessed(state.iterations() * (interface_count + window_count));
}
BENCHMARK(BM_LoadConfiguration)->Unit(benchmark::kMillisecond);

} // namespace

#include "bench/offscreen_benchmark_main.h"
