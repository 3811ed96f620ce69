// The simple binary and the Vector ASCII log formats: frames per second
// written to a file in /tmp and read back, over the one million frames of
// logging_ascii_bench. bench/logging_ascii_peer.py runs this beside
// python-can's BLF and ASC writers and readers on the same frames.
#include "logging_bench_frames.h"
#include "windows/logging/binary_log_file.h"
#include "windows/logging/trigger_block_log_file.h"

#include <benchmark/benchmark.h>

#include <string>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

using logging_bench::frame_count;

template <typename Format> const std::string &log_path()
{
    static const std::string path = "/tmp/vyr_formats_bench_" + std::to_string(getpid()) +
        (std::is_same_v<Format, BinaryLogFile> ? ".wbl" : ".asc");
    return path;
}

template <typename Format> bool write_file(const std::vector<VyrCanMessage> &frames)
{
    Format log;
    log.set_file_name(log_path<Format>().c_str());
    log.set_write_mode(LogFile::Overwrite);
    if (log.open() != 0)
        return false;
    log.set_stopped(false);
    for (const VyrCanMessage &frame : frames)
        log.log_message(frame);
    return log.close() == 0 && log.message_count() == frames.size();
}

template <typename Format> void BM_Write(benchmark::State &state)
{
    const std::vector<VyrCanMessage> frames = logging_bench::make_frames();
    for (auto _ : state) {
        // Each run writes a new file, as a measurement does.
        state.PauseTiming();
        unlink(log_path<Format>().c_str());
        state.ResumeTiming();
        if (!write_file<Format>(frames)) {
            state.SkipWithError("the log file was not written whole");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * frame_count);
    unlink(log_path<Format>().c_str());
}

template <typename Format> void BM_Read(benchmark::State &state)
{
    write_file<Format>(logging_bench::make_frames());
    for (auto _ : state) {
        Format log;
        log.set_file_name(log_path<Format>().c_str());
        log.set_write_mode(LogFile::ReadMode);
        if (log.open() != 0) {
            state.SkipWithError("the log file cannot be read");
            break;
        }
        VyrCanMessage message;
        int frames = 0;
        while (log.read_message(message) == 0)
            ++frames;
        log.close();
        if (frames != frame_count) {
            state.SkipWithError("the log file did not read back whole");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * frame_count);
    unlink(log_path<Format>().c_str());
}

BENCHMARK_TEMPLATE(BM_Write, BinaryLogFile)
    ->Name("BM_BinaryWrite")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BM_Read, BinaryLogFile)
    ->Name("BM_BinaryRead")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BM_Write, TriggerBlockLogFile)
    ->Name("BM_VectorAsciiWrite")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BM_Read, TriggerBlockLogFile)
    ->Name("BM_VectorAsciiRead")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
