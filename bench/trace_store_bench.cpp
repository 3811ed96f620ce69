// The trace's message store: on the receive thread's path, nanoseconds per
// append to its intake (p50 and p99 over batches of 100 frames) and the heap
// allocations the measured appends make (none: the tick makes the room); on
// the window's tick, the frames taken over per second with no filter and
// with a standard and an extended pass set. And one update tick of the
// message view with 5,000 new records and the Signals column on in the
// scrolling list, painted on the offscreen platform.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "interfaces/can/vyr_can_if.h"
#include "tests/common/test_paths.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"
#include "bench/heap_allocation_counter.h"

#include <QApplication>
#include <QHeaderView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {


constexpr int batch = 100;

// 2,000 kinds of frames, standard and extended, as a busy bus carries them.
std::vector<VyrCanMessage> make_frames()
{
    std::vector<VyrCanMessage> frames(100000);
    uint64_t state = 7;
    for (size_t i = 0; i < frames.size(); ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        VyrCanMessage &message = frames[i];
        const uint32_t kind = uint32_t(state >> 33) % 2000;
        const bool extended = kind % 4 == 0;
        message.id = extended ? 0x18000000u | kind << 8 | 0x21 : kind % 0x800;
        message.flags = extended ? uint32_t(VyrCanMessage::Extended) : 0u;
        message.dlc = 8;
        message.time = uint32_t(i);
        for (int b = 0; b < 8; ++b)
            message.data[b] = uint8_t(state >> (8 * b));
    }
    return frames;
}

// The receive thread's part: one append to the store's intake per frame.
// The window's tick takes the frames over and makes room ahead every 5,000
// frames, outside the measured batches, as it does between two ticks.
void BM_TraceIntakePut(benchmark::State &state)
{
    const std::vector<VyrCanMessage> frames = make_frames();
    VyrTraceMessageQueue store;
    std::vector<double> per_frame;
    size_t next = 0;
    uint64_t allocations = 0;
    uint64_t refused = 0;
    for (auto _ : state) {
        if (next % 5000 == 0)
            store.take_over();
        const uint64_t before = heap_allocations.load(std::memory_order_relaxed);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < batch; ++i)
            refused += store.intake().put(frames[(next + size_t(i)) % frames.size()]) != 0;
        const auto end = std::chrono::steady_clock::now();
        allocations += heap_allocations.load(std::memory_order_relaxed) - before;
        next += batch;
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        per_frame.push_back(seconds * 1e9 / batch);
    }
    std::sort(per_frame.begin(), per_frame.end());
    state.counters["p50_ns"] = per_frame[per_frame.size() / 2];
    state.counters["p99_ns"] = per_frame[per_frame.size() * 99 / 100];
    state.counters["allocations"] = double(allocations);
    state.counters["refused"] = double(refused);
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_TraceIntakePut)->UseManualTime();

enum Setup { NoFilter, StandardFilter, ExtendedFilter };

// The window's tick: 5,000 frames taken over into the scrolling list and
// the fixed-position table, with no filter and with a standard and an
// extended pass set; nanoseconds per frame.
void BM_TraceTakeOver(benchmark::State &state)
{
    const std::vector<VyrCanMessage> frames = make_frames();
    VyrTraceMessageQueue store;
    const Setup setup = Setup(state.range(0));
    if (setup == StandardFilter) {
        auto set = std::make_unique<IdBitSet>(0, VyrTraceMessageQueue::standard_id_count);
        set->set_all();
        set->clear_range(0x400, 0x4FF);
        store.set_standard_filter(std::move(set));
    }
    if (setup == ExtendedFilter) {
        auto set = std::make_unique<SparseIdBitSet>(0, VyrTraceMessageQueue::extended_id_count,
                                                    VyrTraceMessageQueue::extended_filter_page);
        set->set_all();
        set->clear_range(0x18010000, 0x1801FFFF);
        store.set_extended_filter(std::move(set));
    }
    constexpr int tick = 5000;
    size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The view's part: the records shown leave the list, which keeps its blocks.
        store.ring().discard_all();
        for (int i = 0; i < tick; ++i)
            store.intake().put(frames[(next + size_t(i)) % frames.size()]);
        next += tick;
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.take_over());
    }
    state.SetItemsProcessed(state.iterations() * tick);
}
BENCHMARK(BM_TraceTakeOver)->ArgName("setup")->Arg(NoFilter)->Arg(StandardFilter)->Arg(ExtendedFilter);

std::string testdata(const char *path)
{
    return vyr_test::configured_testdata_dir().toStdString() + "/" + path;
}

void BM_TraceUpdateTick(benchmark::State &state)
{
    VyrCanIf can("CAN", nullptr, nullptr);
    auto cluster = std::make_unique<CANdbCluster>();
    CANdbNetwork *network = cluster->add_network(std::make_unique<CANdbNetwork>());
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    const std::string dbc = testdata("dbc/cantools/tests/files/dbc/motohawk.dbc");
    io->set_file_name(dbc.c_str());
    if (io->read(network) != 0) {
        state.SkipWithError("the shared test data is missing");
        return;
    }
    can.set_databases(std::move(cluster));

    VyrMessageView view(nullptr, "message_view");
    view.set_interface(&can);
    view.resize(1400, 800);
    view.toggle_column_visibility(VyrMessageView::Signals);
    view.header()->resizeSection(VyrMessageView::Signals, 120 * view.char_width());
    view.set_database_mode(true);
    view.set_scroll_mode(true);
    view.show();
    QApplication::processEvents();

    VyrCanMessage frame;
    frame.id = 496;
    frame.dlc = 8;
    uint32_t time = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 5000; ++i) {
            frame.time = ++time;
            frame.data[0] = uint8_t(i);
            frame.id = i % 2 ? 496 : uint32_t(i % 1500 + 1);
            view.store()->intake().put(frame);
        }
        state.ResumeTiming();
        view.update_messages();
        view.viewport()->repaint();
    }
    state.counters["rows"] = view.row_count();
}
BENCHMARK(BM_TraceUpdateTick)->Unit(benchmark::kMillisecond)->Iterations(40);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
