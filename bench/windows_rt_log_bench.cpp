// The message window under load: rows added from 1, 4 and 8 threads (rows
// per second and the 99th percentile of one add_message call), and one
// update of a packet display that keeps 50,000 lines.
#include "core/vyr_packet.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QPixmap>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

VyrRtLog *shared_log = nullptr;

// The main window's message log: one column of 250 bytes, and a source column.
void set_up_log(const benchmark::State &state)
{
    if (state.thread_index() != 0)
        return;
    shared_log = new VyrRtLog(nullptr);
    shared_log->set_column_count(2);
    shared_log->set_column(0, "Source", "Where the row comes from", 16);
    shared_log->set_column(1, "Message", "Output Message", 250);
    shared_log->apply_columns();
}

void tear_down_log(const benchmark::State &state)
{
    if (state.thread_index() != 0)
        return;
    delete shared_log;
    shared_log = nullptr;
}

void BM_RtLogAddMessage(benchmark::State &state)
{
    const std::string source = "CAN " + std::to_string(state.thread_index() + 1);
    const char *text = "Error in CAN 1: Communication with target broken, reason: Timeout";
    std::vector<int64_t> call_ns;
    call_ns.reserve(1 << 20);
    VyrPacketRing &ring = shared_log->display()->store()->ring();
    int64_t rows = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        shared_log->add_message(0, source.c_str(), text);
        const auto end = std::chrono::steady_clock::now();
        if (call_ns.size() < call_ns.capacity())
            call_ns.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(end - begin).count());
        // The one reader drops what it has seen, as the window's timer would.
        if (state.thread_index() == 0 && ++rows % 1024 == 0) {
            ring.seek(1 << 30);
            ring.seek_begin(1 << 30);
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (!call_ns.empty()) {
        std::sort(call_ns.begin(), call_ns.end());
        const double p99 = double(call_ns[call_ns.size() * 99 / 100]);
        state.counters["p99_ns"] = benchmark::Counter(p99, benchmark::Counter::kAvgThreads);
    }
}
BENCHMARK(BM_RtLogAddMessage)
    ->Setup(set_up_log)
    ->Teardown(tear_down_log)
    ->Threads(1)
    ->Threads(4)
    ->Threads(8)
    ->UseRealTime();

// A transport-layer source: identifier, a text and up to 64 data bytes.
struct TransportSource
{
    static VyrPacketLayout make_layout()
    {
        VyrPacketLayout layout(3);
        layout.define_field(0, "id", "Identifier", VyrPacketLayout::Int, -1);
        layout.define_field(1, "service", "Service", VyrPacketLayout::Text, 32);
        layout.define_field(2, "data", "Data", VyrPacketLayout::Bytes, 64);
        return layout;
    }
    void send(uint32_t n)
    {
        packet.clear();
        packet.set_counter(n);
        packet.set_time_ms(n * 7);
        packet.set_int_field(0, 0x7E8);
        packet.set_string_field(1, "ReadDataByIdentifier");
        uint8_t data[64];
        for (int i = 0; i < 64; ++i)
            data[i] = uint8_t(n + i);
        packet.set_data_field(2, data, 20 + int(n % 44));
        source.notify_listeners(packet);
    }
    VyrPacketLayout layout = make_layout();
    VyrPacketSource source{"Transport Layer", &layout};
    VyrPacket packet{&layout};
};

// One timer tick of a packet trace with 50,000 kept lines: 100 new packets
// taken over, and the visible lines drawn.
void BM_PacketDisplayUpdate(benchmark::State &state)
{
    TransportSource transport;
    VyrPacketDisplay display(nullptr);
    display.set_source(nullptr, &transport.source);
    display.resize(1000, 600);
    display.attach_store();
    uint32_t n = 0;
    while (n < uint32_t(VyrPacketDisplay::max_kept))
        transport.send(++n);
    display.update();
    QPixmap canvas(display.viewport()->size());
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i)
            transport.send(++n);
        display.update();
        display.viewport()->render(&canvas);
    }
    state.SetItemsProcessed(state.iterations() * 100);
    state.counters["kept"] = display.kept();
}
BENCHMARK(BM_PacketDisplayUpdate)->Unit(benchmark::kMicrosecond);

} // namespace

#include "bench/offscreen_benchmark_main.h"
