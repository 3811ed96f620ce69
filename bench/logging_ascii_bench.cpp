// The ASCII log format: frames per second written to a file in /tmp and read
// back, over a file of one million lines. bench/logging_ascii_peer.py runs
// this beside python-can's ASC writer and reader on the same frames.
#include "logging_bench_frames.h"
#include "windows/logging/ascii_log_file.h"

#include <benchmark/benchmark.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

using logging_bench::make_frames;
constexpr int line_count = logging_bench::frame_count;

const std::string &log_path()
{
    static const std::string path = "/tmp/vyr_ascii_bench_" + std::to_string(getpid()) + ".txt";
    return path;
}

void write_file(const std::vector<VyrCanMessage> &frames)
{
    AsciiLogFile log;
    log.set_use_candb_for_id(false);
    log.set_file_name(log_path().c_str());
    log.set_write_mode(LogFile::Overwrite);
    if (log.open() != 0)
        return;
    log.set_stopped(false);
    for (const VyrCanMessage &frame : frames)
        log.log_message(frame);
    log.close();
}

void BM_AsciiWrite(benchmark::State &state)
{
    const std::vector<VyrCanMessage> frames = make_frames();
    for (auto _ : state) {
        // Each run writes a new file, as a measurement does.
        state.PauseTiming();
        unlink(log_path().c_str());
        state.ResumeTiming();
        write_file(frames);
    }
    state.SetItemsProcessed(state.iterations() * line_count);
}
BENCHMARK(BM_AsciiWrite)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_AsciiRead(benchmark::State &state)
{
    write_file(make_frames());
    for (auto _ : state) {
        AsciiLogFile log;
        log.set_file_name(log_path().c_str());
        log.set_write_mode(LogFile::ReadMode);
        if (log.open() != 0) {
            state.SkipWithError("the log file cannot be read");
            break;
        }
        VyrCanMessage message;
        int lines = 0;
        while (log.read_message(message) == 0)
            ++lines;
        log.close();
        if (lines != line_count) {
            state.SkipWithError("the log file did not read back whole");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * line_count);
    unlink(log_path().c_str());
}
BENCHMARK(BM_AsciiRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
