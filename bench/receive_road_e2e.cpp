// The receive road end to end (see receive_road_flood.h): for each offered
// rate one vyr process measures a flood of numbered frames for 10 s
// (VYR_FLOOD_SECONDS for another length; VYR_FLOOD_BIN_DIR names another
// folder of built programs, to compare two builds run after run). Reported per rate: frames offered,
// frames missing from the log and the runs of them (gaps), the message rows
// that report an overrun or lost frames, and vyr's CPU time per frame. At
// the end a table of all rates and the highest rate without loss.
//
// The machine should be idle: the flood client, the daemon and vyr's threads
// compete for the processors.
#include "bench/receive_road_flood.h"
#include "tests/common/test_paths.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

std::vector<receive_road::PhaseResult> g_results;

std::string program_folder()
{
    const char *folder = std::getenv("VYR_FLOOD_BIN_DIR");
    return folder && *folder ? std::string(folder) : vyr_test::bin_dir().toStdString();
}

double flood_seconds()
{
    const char *text = std::getenv("VYR_FLOOD_SECONDS");
    const double seconds = text ? std::atof(text) : 0;
    return seconds > 0 ? seconds : 10.0;
}

void BM_ReceiveRoadFlood(benchmark::State &state)
{
    const int rate = int(state.range(0));
    for (auto _ : state) {
        const receive_road::RunResult run =
            receive_road::run(program_folder(), {receive_road::Phase{rate, flood_seconds()}});
        if (!run.error.empty() || run.phases.size() != 1) {
            state.SkipWithError(run.error.empty() ? "no phase measured" : run.error.c_str());
            return;
        }
        const receive_road::PhaseResult &phase = run.phases.front();
        state.SetIterationTime(flood_seconds());
        state.counters["offered"] = double(phase.offered);
        state.counters["lost"] = double(phase.lost());
        state.counters["lost_%"] = phase.lost_percent();
        state.counters["gaps"] = double(phase.gaps);
        state.counters["first_gap"] = double(phase.first_gap);
        state.counters["loss_rows"] = double(run.overrun_rows);
        state.counters["cpu_us/frame"] = phase.cpu_us_per_frame;
        g_results.push_back(phase);
        for (const QString &row : run.message_rows)
            if (row.contains(QStringLiteral("overrun"), Qt::CaseInsensitive)
                || row.contains(QStringLiteral("lost"), Qt::CaseInsensitive))
                std::fprintf(stderr, "  %d frames/s: %s\n", rate, row.toLocal8Bit().constData());
    }
}
BENCHMARK(BM_ReceiveRoadFlood)
    ->Arg(10000)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Arg(200000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n%10s %10s %10s %8s %6s %12s\n", "frames/s", "offered", "lost", "lost %", "gaps", "cpu us/frame");
    int highest_loss_free = 0;
    for (const receive_road::PhaseResult &phase : g_results) {
        std::printf("%10d %10lld %10lld %8.3f %6lld %12.2f\n", phase.rate, static_cast<long long>(phase.offered),
                    static_cast<long long>(phase.lost()), phase.lost_percent(), static_cast<long long>(phase.gaps),
                    phase.cpu_us_per_frame);
        if (phase.lost() == 0 && phase.offered > 0)
            highest_loss_free = std::max(highest_loss_free, phase.rate);
    }
    std::printf("highest rate without loss: %d frames/s\n", highest_loss_free);
    return 0;
}
