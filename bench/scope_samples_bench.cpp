// The scope's samples: how many a notifying thread puts into 16 scope items
// while the window's 50 ms tick runs (and whether any is dropped or the
// writer allocates), how many reach 16 items from frames that a CAN
// interface decodes off the vrbus daemon's receive queue, and how long one
// rebuild and repaint of 16 curves of 1,000 columns over 300 s of 1 kHz
// samples takes. Aims: 1.3 million samples/s, the repaint within one tick.
#include "core/timer_wheel.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_list.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "interfaces/hardware/canio_device.h"
#include "platform/vrbus_contract.h"
#include "settings/qtb_config.h"
#include "widgets/graph/qgraphaxis.h"
#include "windows/scope/vyr_graph_window.h"
#include "windows/scope/vyr_scope.h"
#include "windows/scope/vyr_scope_signal_item.h"

#include "bench/daemon_environment.h"
#include "bench/heap_allocation_counter.h"
#include "bench/offscreen_benchmark_main.h"

#include <QFile>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int signal_count = 16;

SignalValue stamped(uint64_t step, double value)
{
    // 1 kHz per signal.
    SignalValue record;
    record.seconds = uint32_t(step / 1000);
    record.microseconds = uint32_t(step % 1000 * 1000);
    record.set_double(value);
    return record;
}

// A scope with 16 signals of its own, shown at the size of a 1,000-column plot.
struct ScopeWith16
{
    ScopeWith16()
    {
        for (int i = 0; i < signal_count; ++i) {
            records[i].set_name(QStringLiteral("Bench.Signal%1").arg(i).toLatin1().constData());
            records[i].set_min(-10);
            records[i].set_max(10);
            scope.signal_display_list()->append_signal(&records[i]);
            entries[i].bind(&records[i]);
            entries[i].add_listener(scope.item(i));
        }
        scope.resize(1000 + (1000 - plot_width_at(1000)), 600);
        scope.show();
        QApplication::processEvents();
    }
    int plot_width_at(int width)
    {
        scope.resize(width, 600);
        scope.show();
        QApplication::processEvents();
        return scope.graph()->plot_rect().width();
    }

    SignalRecord records[signal_count];
    VyrScope scope{nullptr};
    VyrSignalEntry entries[signal_count];
};

// Samples/s from a notifying thread into 16 items while the 50 ms tick
// runs: at the aim's rate (nothing may be dropped) and as fast as it goes.
void BM_NotifyWhileTicking(benchmark::State &state)
{
    ScopeWith16 bench;
    bench.scope.startup();
    const uint64_t per_iteration = uint64_t(state.range(0));
    const double rate = double(state.range(1));
    uint64_t step = 0, samples = 0, notifier_allocations = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        uint64_t allocations_in_ticks = 0;
        const uint64_t allocations_before = heap_allocations.load();
        const auto start = Clock::now();
        std::thread notifier([&] {
            for (uint64_t n = 0; n < per_iteration; ++n, ++step) {
                // Paced at the rate asked for (0: as fast as it goes), checked every 1,000 samples.
                if (rate > 0 && n % 1000 == 0)
                    std::this_thread::sleep_until(start + std::chrono::nanoseconds(uint64_t(double(n) * 1e9 / rate)));
                bench.entries[n % signal_count].notify_listeners(stamped(step / signal_count, double(n % 200)));
            }
            done.store(true);
        });
        auto next_tick = Clock::now();
        while (!done.load()) {
            const uint64_t before = heap_allocations.load();
            bench.scope.update_signals();
            QApplication::processEvents();
            allocations_in_ticks += heap_allocations.load() - before;
            next_tick += std::chrono::milliseconds(50);
            while (!done.load() && Clock::now() < next_tick)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        notifier.join();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        samples += per_iteration;
        notifier_allocations += heap_allocations.load() - allocations_before - allocations_in_ticks;
        bench.scope.update_signals();
    }
    bench.scope.stop();
    uint64_t dropped = 0, blocks = 0;
    for (int i = 0; i < signal_count; ++i) {
        dropped += bench.scope.item(i)->samples().dropped_count();
        blocks += bench.scope.item(i)->samples().block_count();
    }
    state.counters["samples_per_s"] = double(samples) / seconds;
    state.counters["dropped"] = double(dropped);
    state.counters["blocks"] = double(blocks);
    // Allocations outside the ticks: the notifying thread's, and any the GUI
    // thread made between ticks.
    state.counters["allocs_outside_ticks"] = double(notifier_allocations);
}

// One rebuild of 16 curves (a change of the x range) and their repaint.
void BM_RebuildAndRepaint(benchmark::State &state)
{
    ScopeWith16 bench;
    // 300 s of 1 kHz samples per signal.
    for (int i = 0; i < signal_count; ++i) {
        VyrMessageRing<ScopeSample> &ring = bench.scope.item(i)->samples();
        for (uint64_t step = 0; step < 300000; ++step) {
            if (step % 4000 == 0)
                ring.make_room();
            bench.scope.item(i)->value_changed(stamped(step, std::sin(double(step) * 0.001 * (i + 1)) * 8.0));
        }
    }
    QGraphXAxis *axis = bench.scope.graph()->x_axis();
    bool wide = false;
    for (auto _ : state) {
        // Two ranges in turn, so every pass rebuilds every column.
        wide = !wide;
        axis->set_limits(300.0, wide ? 0.0 : 0.001);
        bench.scope.graph()->repaint();
    }
    state.counters["columns"] = double(bench.scope.graph()->plot_rect().width());
    state.counters["samples_per_curve"] = double(bench.scope.item(0)->samples().record_count());
}

// A DBC with one 8-byte frame of 16 four-bit signals.
QString write_dbc(const QString &directory)
{
    QString text = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: Node\n\nBO_ 291 Frame: 8 Node\n";
    for (int i = 0; i < signal_count; ++i)
        text += QStringLiteral(" SG_ S%1 : %2|4@1+ (1,0) [0|15] \"\" Node\n").arg(i).arg(i * 4);
    const QString path = directory + "/bench16.dbc";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toLatin1());
    return path;
}

// Frames written into the interface's mapped receive queue as the daemon
// does, decoded by the interface into 16 signals that a scope follows.
void BM_ThroughTheDaemon(benchmark::State &state)
{
    static DaemonEnvironment environment;
    if (!environment.started) {
        state.SkipWithError("the vrbus daemon did not start");
        return;
    }
    QtbConfigGroup group;
    group.write_string("channel", "Virtual #1 (Channel 1)");
    group.write_int("candb_file_count", 1);
    group.write_string("candb_file_0", write_dbc(environment.dir.path()));
    std::unique_ptr<VyrSignalIf> made = create_signal_if("CAN", &group, nullptr, nullptr);
    std::unique_ptr<VyrCanIf> can(static_cast<VyrCanIf *>(made.release()));
    VyrScope scope(nullptr);
    const QString id = QString::fromStdString(can->make_id());
    for (int i = 0; i < signal_count; ++i)
        scope.insert_signal(id, QStringLiteral("bench16.Frame.S%1").arg(i));
    if (scope.item_count() != signal_count || !scope.item(0)->signal()) {
        state.SkipWithError("the database signals are missing");
        return;
    }
    TimerWheel wheel{1024, 0, 1, 200};
    scope.startup();
    can->set_timer(&wheel, false);
    can->prepare_start();
    if (can->startup() != 0 || can->go_online() != 0) {
        state.SkipWithError("the channel did not start");
        return;
    }
    uint8_t *rx_queue = static_cast<CANhwChannelVindra *>(can->channel())->rx_queue();
    auto word = [rx_queue](int offset) {
        return __atomic_load_n(reinterpret_cast<const uint32_t *>(rx_queue + offset), __ATOMIC_ACQUIRE);
    };
    can->cyclic();
    uint64_t sent = 0;
    uint32_t time = 0;
    double seconds = 0.0;
    for (auto _ : state) {
        using namespace vrbus;
        const uint32_t capacity = word(queue::kCapacityAt);
        uint32_t write = word(queue::kWriteIndexAt);
        const uint32_t used = (write + capacity - word(queue::kReadIndexAt)) % capacity;
        const uint32_t n = std::min<uint32_t>(512, capacity - used - 1);
        for (uint32_t i = 0; i < n; ++i) {
            uint8_t *entry = rx_queue + queue::kEntriesAt + size_t(write) * record::kSize;
            std::memset(entry, 0, record::kSize);
            entry[record::kKindAt] = record::kFrame;
            entry[record::kChannelAt] = uint8_t(can->message_channel_number());
            canio_put_u32(entry + record::kTimeAt, time++);
            canio_put_u32(entry + record::kIdAt, 0x123);
            entry[record::kLengthAt] = 8;
            for (int b = 0; b < record::kDataBytes; ++b)
                entry[record::kDataAt + b] = uint8_t(sent + i + b);
            write = (write + 1) % capacity;
        }
        __atomic_store_n(reinterpret_cast<uint32_t *>(rx_queue + queue::kWriteIndexAt), write, __ATOMIC_RELEASE);
        sent += n;
        const auto start = Clock::now();
        can->cyclic();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        // The window's tick between receive passes keeps room in the rings.
        scope.update_signals();
    }
    can->stop();
    scope.stop();
    uint64_t taken = 0, dropped = 0;
    for (int i = 0; i < signal_count; ++i) {
        taken += scope.item(i)->samples().put_count();
        dropped += scope.item(i)->samples().dropped_count();
    }
    state.counters["samples_per_s"] = double(taken) / seconds;
    state.counters["samples_per_frame"] = sent ? double(taken) / double(sent) : 0.0;
    state.counters["dropped"] = double(dropped);
}

} // namespace

BENCHMARK(BM_NotifyWhileTicking)
    ->Args({4000000, 1300000})
    ->Args({4000000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_RebuildAndRepaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThroughTheDaemon)->UseManualTime()->Unit(benchmark::kMicrosecond);
