// A replay row's timing on the vrbus daemon: ASCII files of 1,000 and 10,000
// frames per second played back with file timing by a CAN interface that
// drives the timer wheel, as in the program; a second handle on the virtual
// channel takes the frames with the driver's time stamps.
//
// Reported per rate: p50 and p99 of |gap on the bus - gap in the file|, the
// drift of the last frame (its time after the first on the bus minus in the
// file), and heap allocations per frame sent while the replay runs. A file
// whose records share one time stamp gives the fastest burst rate: nine
// records per wheel step of one millisecond. At 10,000 frames/s ten records
// share each millisecond of the file's stamps, and the limit of nine per
// callback defers the tenth to the next step.
#include "settings/qtb_config.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if_type.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_provider_vindra.h"
#include "windows/logging/log_file.h"
#include "windows/replay/can_replay_file.h"
#include "bench/heap_allocation_counter.h"
#include "bench/daemon_environment.h"
#include "bench/offscreen_benchmark_main.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace {

DaemonEnvironment &environment()
{
    static DaemonEnvironment instance;
    return instance;
}

int64_t stamp_us(const VyrCanMessage &m)
{
    return int64_t(m.time) * 1000 + int64_t(m.time_fraction) * 10;
}

// Writes `count` frames at `rate` frames/s (rate 0: all with one stamp); the file's stamps in µs.
std::vector<int64_t> write_file(const std::string &path, int count, int rate)
{
    std::unique_ptr<LogFile> file = LogFileFormat::create("ASCII");
    file->set_file_name(path.c_str());
    file->set_write_mode(LogFile::Overwrite);
    file->open();
    std::vector<int64_t> stamps;
    for (int n = 0; n < count; ++n) {
        const int64_t us = rate ? int64_t(n) * 1000000 / rate : 0;
        VyrCanMessage m;
        m.id = uint32_t(n % 0x7FF);
        m.dlc = 8;
        m.time = uint32_t(us / 1000);
        m.time_fraction = uint8_t(us % 1000 / 10);
        uint32_t bytes = 0;
        file->write_message(m, bytes);
        stamps.push_back(us);
    }
    file->close();
    return stamps;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

void replay_timing(benchmark::State &state)
{
    const int rate = int(state.range(0));
    const int count = int(state.range(1));
    if (!environment().started) {
        state.SkipWithError("the vrbus daemon did not start");
        return;
    }
    const std::string path = environment().dir.filePath("replay.txt").toStdString();
    const std::vector<int64_t> file_stamps = write_file(path, count, rate);

    QtbConfigGroup group;
    group.write_string("channel", "Virtual #1 (Channel 1)");
    std::unique_ptr<VyrSignalIf> made = create_signal_if("CAN", &group, nullptr, nullptr);
    std::unique_ptr<VyrCanIf> can(static_cast<VyrCanIf *>(made.release()));
    can->set_active(true);
    std::unique_ptr<CANhwChannel> node = CANhwChannelInfoList::global().make_channel(0);
    node->open(false);
    node->set_channel_index(20);
    node->map_rx_queue();
    node->buson();

    for (auto _ : state) {
        TimerWheel wheel(1024, 0, 1, 0);
        can->prepare_start();
        can->set_timer(&wheel, true);
        can->startup();
        can->go_online();
        can->start();
        VyrCanMessage m;
        while (node->read_can_message(&m) == canhwSuccess) {
        }
        CanReplayFile replay(nullptr);
        replay.set_first_interface(can.get());
        replay.set_file_name(QString::fromStdString(path));
        replay.open_file();
        std::vector<VyrCanMessage> got;
        got.reserve(size_t(count));
        const uint64_t allocations_before = heap_allocations.load();
        replay.start();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (int(got.size()) < count && std::chrono::steady_clock::now() < end) {
            if (node->read_can_message(&m) == canhwSuccess)
                got.push_back(m);
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const uint64_t allocations = heap_allocations.load() - allocations_before;
        replay.stop();
        can->stop();
        can->set_timer(nullptr, false);

        std::vector<double> errors;
        for (size_t n = 1; n < got.size(); ++n)
            errors.push_back(std::fabs(double(stamp_us(got[n]) - stamp_us(got[n - 1])) -
                                       double(file_stamps[n] - file_stamps[n - 1])) /
                             1000.0);
        state.counters["frames"] = double(got.size());
        state.counters["lost"] = double(count) - double(got.size());
        state.counters["gap_err_p50_ms"] = percentile(errors, 0.5);
        state.counters["gap_err_p99_ms"] = percentile(errors, 0.99);
        if (got.size() > 1) {
            const double bus_span_ms = double(stamp_us(got.back()) - stamp_us(got.front())) / 1000.0;
            state.counters["drift_last_ms"] =
                bus_span_ms - double(file_stamps[got.size() - 1] - file_stamps[0]) / 1000.0;
            if (rate == 0)
                state.counters["burst_frames_per_s"] = bus_span_ms > 0 ? double(got.size() - 1) * 1000.0 / bus_span_ms : 0;
        }
        state.counters["allocs_per_frame"] = got.empty() ? 0 : double(allocations) / double(got.size());
    }
    node->busoff();
    node->close();
}

} // namespace

// rate (frames/s; 0 = one stamp for all), frames
BENCHMARK(replay_timing)->Args({1000, 3000})->Args({10000, 20000})->Args({0, 9000})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
