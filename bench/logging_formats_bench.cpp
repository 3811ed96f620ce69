// The simple binary, MDF and Vector ASCII log formats: frames per second
// written to a file in /tmp and read back, and the logger format read, over
// the one million frames of logging_ascii_bench.
// bench/logging_ascii_peer.py runs this beside python-can's BLF and ASC
// writers and readers on the same frames; MDF and the logger format have no
// peer on Debian.
#include "logging_bench_frames.h"
#include "windows/logging/archivant_log_file.h"
#include "windows/logging/binary_log_file.h"
#include "windows/logging/mdf_can_log_file.h"
#include "windows/logging/trigger_block_log_file.h"

#include <algorithm>
#include <fstream>

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
        (std::is_same_v<Format, BinaryLogFile>   ? ".wbl"
         : std::is_same_v<Format, MdfCanLogFile> ? ".log"
                                                 : ".asc");
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

// The frames as the logger's 16-byte records, with a timer wrap record
// wherever the 16-bit counter of 10 us runs over.
bool write_logger_file(const std::string &path, const std::vector<VyrCanMessage> &frames)
{
    std::ofstream out(path, std::ios::binary);
    uint64_t high = 0;
    for (const VyrCanMessage &frame : frames) {
        const uint64_t ticks = uint64_t(frame.time) * 100;
        for (; high + 0x10000 <= ticks; high += 0x10000) {
            const char wrap[ArchivantLogFile::record_size] = {ArchivantLogFile::TimerWrap};
            out.write(wrap, sizeof wrap);
        }
        const uint32_t id = frame.id | ((frame.flags & VyrCanMessage::Extended) ? 0x80000000u : 0);
        const uint16_t low = uint16_t(ticks - high);
        const char record[ArchivantLogFile::record_size] = {
            ArchivantLogFile::FirstChannelFrame,
            char(std::min<uint8_t>(frame.dlc, 8) | ((frame.flags & VyrCanMessage::Remote) ? 0x80 : 0)),
            char(id), char(id >> 8), char(id >> 16), char(id >> 24),
            char(frame.data[0]), char(frame.data[1]), char(frame.data[2]), char(frame.data[3]),
            char(frame.data[4]), char(frame.data[5]), char(frame.data[6]), char(frame.data[7]),
            char(low), char(low >> 8)};
        out.write(record, sizeof record);
    }
    return bool(out);
}

void BM_LoggerRead(benchmark::State &state)
{
    const std::string path = "/tmp/vyr_formats_bench_" + std::to_string(getpid()) + ".lgz";
    if (!write_logger_file(path, logging_bench::make_frames())) {
        state.SkipWithError("the logger file was not written");
        return;
    }
    for (auto _ : state) {
        ArchivantLogFile log(true);
        log.set_file_name(path.c_str());
        log.set_write_mode(LogFile::ReadMode);
        if (log.open() != 0) {
            state.SkipWithError("the logger file cannot be read");
            break;
        }
        VyrCanMessage message;
        int frames = 0;
        while (log.read_message(message) == 0)
            ++frames;
        log.close();
        if (frames != frame_count) {
            state.SkipWithError("the logger file did not read back whole");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * frame_count);
    unlink(path.c_str());
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
BENCHMARK_TEMPLATE(BM_Write, MdfCanLogFile)
    ->Name("BM_MdfWrite")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BM_Read, MdfCanLogFile)
    ->Name("BM_MdfRead")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_LoggerRead)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
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
