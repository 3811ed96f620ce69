// The ASCII log format: frames per second written to a file in /tmp and read
// back, over a file of one million lines. bench/logging_ascii_peer.py runs
// this beside python-can's ASC writer and reader on the same frames.
#include "windows/logging/ascii_log_file.h"

#include <benchmark/benchmark.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int line_count = 1000000;

// The frames of the peer script: the same generator step for step.
std::vector<VyrCanMessage> make_frames()
{
    std::vector<VyrCanMessage> frames(line_count);
    uint64_t state = 1;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 32;
    };
    for (int i = 0; i < line_count; ++i) {
        VyrCanMessage &message = frames[size_t(i)];
        const uint64_t r = next();
        const bool extended = r & 1;
        message.id = uint32_t(extended ? (r >> 1) & 0x1FFFFFFF : (r >> 1) & 0x7FF);
        message.flags = extended ? uint32_t(VyrCanMessage::Extended) : 0u;
        message.dlc = uint8_t(next() % 9);
        for (int b = 0; b < message.dlc; ++b)
            message.data[b] = uint8_t(next());
        message.time = uint32_t(i);
    }
    return frames;
}

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
