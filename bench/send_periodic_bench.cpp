// Periodic sending of the send window: 100 rows at 1, 10 and 100 ms on a CAN
// interface of the vrbus daemon whose realtime thread drives the timer wheel
// as in the program, watched by a second handle on the virtual card.
// Each row is held to its own schedule: its n-th frame is due n periods
// after its click. A run asks each row for the frames due in the 3 s after
// its click; the rows are stopped a grace time later, so a frame due near
// the end still counts when it is late by less than that. Reported per rate,
// from the watching handle's time stamps (the bus time the daemon gave each
// frame): the lateness of the asked frames against their due times (p50,
// p99, max, and that of each row's last asked frame, median over the rows),
// frames asked and sent, the periods whose frame did not go out before the
// stop (asked - sent), frames per second, and CPU time per frame of this
// process (the wheel's thread, the echo's receive loop and the watcher's
// reader) and of the daemon.
#include "core/timer_wheel.h"
#include "core/vyr_signal_if_type.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_provider_vindra.h"
#include "platform/clock.h"
#include "platform/service_manager.h"
#include "settings/qtb_config.h"
#include "windows/send/can_send_table.h"
#include "windows/send/table_button.h"
#include "windows/send/vyr_can_send.h"
#include "bench/daemon_environment.h"
#include "bench/offscreen_benchmark_main.h"

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rows = 100;
constexpr const char *channel_name = "Virtual #1 (Channel 1)";

DaemonEnvironment &environment()
{
    static DaemonEnvironment instance;
    return instance;
}

double process_cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// utime + stime of another process, in seconds.
double other_cpu_seconds(pid_t pid)
{
    FILE *file = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!file)
        return 0;
    char buffer[1024] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    const char *after_name = std::strrchr(buffer, ')');
    if (!after_name || n == 0)
        return 0;
    unsigned long utime = 0;
    unsigned long stime = 0;
    // Fields 14 and 15 after "pid (name)": state is field 3.
    std::sscanf(after_name + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

void BM_SendPeriodic(benchmark::State &state)
{
    const unsigned period = unsigned(state.range(0));
    if (!environment().started) {
        state.SkipWithError("the vrbus daemon did not start");
        return;
    }
    QtbConfigGroup group;
    group.write_string("channel", channel_name);
    std::unique_ptr<VyrSignalIf> made = create_signal_if("CAN", &group, nullptr, nullptr);
    std::unique_ptr<VyrCanIf> can(static_cast<VyrCanIf *>(made.release()));
    can->set_active(true);

    VyrCanSend window(nullptr);
    for (int row = 0; row < rows; ++row) {
        window.add_message();
        window.table()->item(row, VyrCanSend::Identifier)->setText(QStringLiteral("%1h").arg(0x100 + row, 0, 16));
        window.value_changed(row, VyrCanSend::Identifier);
        window.table()->item(row, VyrCanSend::Rate)->setText(QString::number(period));
        window.value_changed(row, VyrCanSend::Rate);
    }

    const int info = CANhwChannelInfoList::global().find_channel_info(channel_name);
    std::unique_ptr<CANhwChannel> watcher = CANhwChannelInfoList::global().make_channel(info);
    watcher->open(false);
    watcher->map_rx_queue(); // its records carry the driver's time stamps
    watcher->set_channel_index(7);
    // The watcher's time stamps count from its clock reset, in units of 10 us.
    const uint64_t before_reset = platform::performance_counter();
    watcher->reset_clock();
    const uint64_t clock_origin = before_reset + (platform::performance_counter() - before_reset) / 2;
    const auto bus_ms = [clock_origin] {
        return double(platform::performance_counter() - clock_origin) * 1e3 / double(platform::performance_frequency());
    };
    watcher->buson();

    TimerWheel wheel(1024, 0, 1, 0);
    window.startup();
    can->prepare_start();
    can->set_timer(&wheel, true);
    if (can->startup() != 0 || can->go_online() != 0 || can->start() != 0) {
        state.SkipWithError("the interface did not start");
        return;
    }

    // Per row the receive times in hundredths of a millisecond.
    std::vector<std::vector<int64_t>> times(rows);
    std::atomic<bool> done{false};
    std::atomic<uint64_t> received{0};
    std::thread reader([&] {
        while (!done.load()) {
            VyrCanMessage frame;
            if (watcher->read_can_message(&frame) != canhwSuccess) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            const int row = int(frame.id) - 0x100;
            if (row < 0 || row >= rows)
                continue;
            times[size_t(row)].push_back(int64_t(frame.time) * 100 + frame.time_fraction);
            ++received;
        }
    });

    const pid_t daemon = platform::ServiceManager::instance().daemon_pid("vrbus");
    const double daemon_before = other_cpu_seconds(daemon);
    const double ours_before = process_cpu_seconds();
    const auto run_time = std::chrono::seconds(3);
    const auto grace = std::chrono::milliseconds(250);
    const unsigned asked_per_row = unsigned(std::chrono::milliseconds(run_time).count()) / period;
    const auto run_start = std::chrono::steady_clock::now();
    std::vector<double> started_ms(rows);
    for (auto _ : state) {
        for (int row = 0; row < rows; ++row) {
            started_ms[size_t(row)] = bus_ms();
            window.button(row)->click();
        }
        std::this_thread::sleep_for(run_time + grace);
        for (int row = 0; row < rows; ++row)
            window.button(row)->click(); // ends the run
    }
    // Ending 100 runs may wait behind the bursts, so the runs last longer than run_time.
    const double run_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - run_start).count();
    const double ours = process_cpu_seconds() - ours_before;
    const double daemon_cpu = other_cpu_seconds(daemon) - daemon_before;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    done = true;
    reader.join();
    can->stop();
    window.stop();

    uint64_t transmitted = 0;
    for (int row = 0; row < rows; ++row)
        transmitted += window.button(row)->message()->transmitted();
    std::vector<double> lateness, last_lateness;
    const uint64_t asked = uint64_t(asked_per_row) * rows;
    uint64_t sent = 0;
    for (int row = 0; row < rows; ++row) {
        const std::vector<int64_t> &row_times = times[size_t(row)];
        const double start = started_ms[size_t(row)];
        const size_t row_sent = std::min<size_t>(row_times.size(), asked_per_row);
        sent += row_sent;
        for (size_t n = 0; n < row_sent; ++n)
            lateness.push_back(double(row_times[n]) / 100.0 - (start + double(n + 1) * double(period)));
        if (row_sent > 0)
            last_lateness.push_back(lateness.back());
    }
    const double frames = double(std::max<uint64_t>(received.load(), 1));
    state.counters["late_p50_ms"] = percentile(lateness, 0.5);
    state.counters["late_p99_ms"] = percentile(lateness, 0.99);
    state.counters["late_max_ms"] = percentile(lateness, 1.0);
    state.counters["last_late_ms"] = percentile(last_lateness, 0.5);
    state.counters["frames_asked"] = double(asked);
    state.counters["frames_sent"] = double(sent);
    state.counters["periods_skipped"] = double(asked - sent);
    state.counters["lost_in_transit"] = double(transmitted > received.load() ? transmitted - received.load() : 0);
    state.counters["frames_per_s"] = double(received.load()) / run_seconds;
    state.counters["cpu_us_per_frame"] = ours * 1e6 / frames;
    state.counters["daemon_cpu_us_per_frame"] = daemon_cpu * 1e6 / frames;
    watcher->busoff();
    watcher->close();
}

BENCHMARK(BM_SendPeriodic)->Arg(1)->Arg(10)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
