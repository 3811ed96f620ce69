// The receive road of a CAN interface: frames that stand in the daemon's
// receive queue, mapped into this process as the driver maps it, read by the
// interface's receive loop and handed through triggers, database decoding and
// script handlers to a listener queue. The loop runs on the benchmark's
// thread (one core); the benchmark writes the queue entries as the driver
// would, a batch at a time, and empties the listener queue between batches.
//
// Cases: (a) no database and no script, (b) the J1939 DBC with every signal
// followed, (c) a handler of about 50 instructions for the frames' identifier
// plus a catch-all, (d) 100 trigger conditions on identifier ranges.
// Reported: frames per second through the loop, frames lost, heap
// allocations per frame after the first batch, and in a second run per case
// the time from one frame in the queue to the return of the receive loop
// that handed it to the listener, p50 and p99.
#include "settings/qtb_config.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_signal_listener.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond_can.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "interfaces/hardware/can_hw_provider_vindra.h"
#include "interfaces/hardware/canio_device.h"
#include "platform/vrbus_contract.h"
#include "bench/daemon_environment.h"
#include "bench/heap_allocation_counter.h"
#include "tests/common/test_paths.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const QString j1939_dbc = vyr_test::configured_testdata_dir() +
    "/dbc/css-api-examples/examples/data-processing/dbc_files/CSS-Electronics-SAE-J1939-DEMO.dbc";
constexpr int batch = 512;

enum Case { plain, database, script, triggers };

// The daemon and the program's trigger and condition lists.
class Environment : public DaemonEnvironment
{
public:
    Environment()
    {
        VyrTriggerList::set_instance(&trigger_list);
        VyrTriggerCondList::set_instance(&condition_list);
    }
    ~Environment()
    {
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }
    VyrTriggerList trigger_list;
    VyrTriggerCondList condition_list;
};

Environment &environment()
{
    static Environment instance;
    return instance;
}

// Follows a signal and does nothing with its values.
class Follower : public VyrSignalListener
{
public:
    ~Follower() override { detach(); }
    void value_changed(const SignalValue &) override {}
};

// The listener queue, with room for every batch.
class ListenerQueue : public VyrMessageQueue
{
public:
    ListenerQueue() : VyrMessageQueue(batch * 2, batch * 2, batch * 8) {}
};

const char handler_script[] = R"(
variables { int sum; int count; int last; }
on CanMessage 0x120 {
    sum = sum + this.data[0]; sum = sum + this.data[1]; sum = sum + this.data[2]; sum = sum + this.data[3];
    sum = sum + this.data[4]; sum = sum + this.data[5]; sum = sum + this.data[6]; sum = sum + this.data[7];
    if (sum > 100000) sum = 0;
    last = this.id;
}
on CanMessage * { count = count + 1; }
)";

// One interface on the virtual channel, set up for a case and on bus; its
// receive loop runs when the benchmark calls it.
class Bench
{
public:
    explicit Bench(Case which)
    {
        QtbConfigGroup group;
        group.write_string("channel", "Virtual #1 (Channel 1)");
        if (which == database) {
            group.write_int("candb_file_count", 1);
            group.write_string("candb_file_0", j1939_dbc);
        }
        std::unique_ptr<VyrSignalIf> made = create_signal_if("CAN", &group, nullptr, nullptr);
        can.reset(static_cast<VyrCanIf *>(made.release()));
        if (which == script) {
            const QString path = environment().dir.filePath("handler.vys");
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(handler_script);
            file.close();
            can->set_script_file(path);
            can->sclib_init();
        }
        if (which == database) {
            for (SignalRecord *s = can->signal_list()->first(); s; s = can->signal_list()->next()) {
                if (!s->has_flag(SignalRecord::DatabaseBound))
                    continue;
                followers.push_back(std::make_unique<Follower>());
                can->add_signal_listener(followers.back().get(), s);
            }
        }
        if (which == triggers)
            add_range_conditions();
        can->add_message_listener(&queue);
        can->set_timer(&wheel, false);
        can->prepare_start();
        ok = can->startup() == 0 && can->go_online() == 0;
        if (ok)
            rx_queue = static_cast<CANhwChannelVindra *>(can->channel())->rx_queue();
        // J1939 frames for the database, the handler's identifier for the
        // script, 64 identifiers in turn for the rest.
        for (uint32_t i = 0; i < batch; ++i)
            ids.push_back(which == database     ? (i % 2 ? 0x8CF00401u : 0x98FEF1FEu)
                              : which == script ? 0x120
                                                : 0x100 + i % 64);
        can->cyclic(); // the chip state of the bus on
    }
    ~Bench()
    {
        can->stop();
        environment().condition_list.clear();
    }

    // Writes n frames into the mapped receive queue as the driver does.
    void fill(int n)
    {
        using namespace vrbus;
        const uint32_t capacity = word(queue::kCapacityAt);
        uint32_t write = word(queue::kWriteIndexAt);
        for (int i = 0; i < n; ++i) {
            uint8_t *entry = rx_queue + queue::kEntriesAt + size_t(write) * record::kSize;
            std::memset(entry, 0, record::kSize);
            entry[record::kKindAt] = record::kFrame;
            entry[record::kChannelAt] = uint8_t(can->message_channel_number());
            canio_put_u32(entry + record::kTimeAt, next_time++);
            canio_put_u32(entry + record::kIdAt, ids[size_t(sent % batch)]);
            entry[record::kLengthAt] = 8;
            for (int b = 0; b < record::kDataBytes; ++b)
                entry[record::kDataAt + b] = uint8_t(sent + b);
            write = (write + 1) % capacity;
            ++sent;
        }
        __atomic_store_n(reinterpret_cast<uint32_t *>(rx_queue + queue::kWriteIndexAt), write, __ATOMIC_RELEASE);
    }
    int free_entries() const
    {
        const uint32_t capacity = word(vrbus::queue::kCapacityAt);
        const uint32_t used =
            (word(vrbus::queue::kWriteIndexAt) + capacity - word(vrbus::queue::kReadIndexAt)) % capacity;
        return int(capacity - used - 1);
    }
    // Empties the listener queue; answers how many frames it held.
    uint64_t drain()
    {
        uint64_t n = 0;
        VyrCanMessage message;
        while (queue.get(message) == 0)
            ++n;
        received += n;
        return n;
    }

    bool ok = false;
    std::unique_ptr<VyrCanIf> can;
    ListenerQueue queue;
    uint64_t sent = 0;
    uint64_t received = 0;

private:
    uint32_t word(int offset) const
    {
        return __atomic_load_n(reinterpret_cast<const uint32_t *>(rx_queue + offset), __ATOMIC_ACQUIRE);
    }
    void add_range_conditions()
    {
        VyrTriggerList &list = environment().trigger_list;
        VyrTrigger *target = list.find("Bench") ? list.find("Bench") : new VyrTrigger(&list, "Bench");
        for (int i = 0; i < 100; ++i) {
            auto *condition = new VyrTriggerCond(&environment().condition_list);
            condition->set_target(target);
            auto data = std::make_unique<VyrTriggerCondDataCan>();
            data->can_if = "CAN1";
            data->message_id_start = QStringLiteral("%1h").arg(0x100 + i * 16, 0, 16);
            data->message_id_end = QStringLiteral("%1h").arg(0x100 + i * 16 + 8, 0, 16);
            data->byte_tests[0] = {true, 0x80, 0xFF, VyrTriggerCondDataCan::Less};
            condition->set_cond_data(std::move(data));
        }
    }

    TimerWheel wheel{1024, 0, 1, 200};
    std::vector<std::unique_ptr<Follower>> followers;
    std::vector<uint32_t> ids;
    uint8_t *rx_queue = nullptr;
    uint32_t next_time = 0;
};

// The bench of the state's case; null (the state skipped with the reason)
// when it cannot run.
std::unique_ptr<Bench> make_bench(benchmark::State &state)
{
    if (!environment().started) {
        state.SkipWithError("the vrbus daemon did not start");
        return nullptr;
    }
    if (state.range(0) == database && !QFile::exists(j1939_dbc)) {
        state.SkipWithError("no test data");
        return nullptr;
    }
    auto bench = std::make_unique<Bench>(Case(state.range(0)));
    if (!bench->ok) {
        state.SkipWithError("the channel did not start");
        return nullptr;
    }
    return bench;
}

void BM_ReceiveRoad(benchmark::State &state)
{
    std::unique_ptr<Bench> made = make_bench(state);
    if (!made)
        return;
    Bench &bench = *made;
    uint64_t steady_allocations = 0, steady_frames = 0;
    bool first = true;
    for (auto _ : state) {
        bench.fill(std::min(batch, bench.free_entries()));
        const uint64_t before = bench.sent - bench.received;
        const uint64_t allocations_before = heap_allocations.load(std::memory_order_relaxed);
        const auto start = Clock::now();
        bench.can->cyclic();
        const auto end = Clock::now();
        const uint64_t allocations = heap_allocations.load(std::memory_order_relaxed) - allocations_before;
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        const uint64_t taken = bench.drain();
        if (!first) {
            steady_allocations += allocations;
            steady_frames += taken;
        }
        first = false;
        benchmark::DoNotOptimize(before);
    }
    state.SetItemsProcessed(int64_t(bench.received));
    state.counters["lost"] = double(bench.sent - bench.received);
    state.counters["allocs_per_frame"] = steady_frames ? double(steady_allocations) / double(steady_frames) : 0.0;
}

// One frame at a time: from its entry in the queue to the listener.
void BM_ReceiveLatency(benchmark::State &state)
{
    std::unique_ptr<Bench> made = make_bench(state);
    if (!made)
        return;
    Bench &bench = *made;
    std::vector<double> latencies;
    latencies.reserve(200000);
    for (auto _ : state) {
        bench.fill(1);
        const auto start = Clock::now();
        bench.can->cyclic(); // returns once the frame is in the listener queue
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        bench.drain();
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies.empty() ? 0.0 : latencies[size_t(q * double(latencies.size() - 1))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["lost"] = double(bench.sent - bench.received);
}

void cases(benchmark::internal::Benchmark *b)
{
    b->ArgName("case");
    for (int c : {plain, database, script, triggers})
        b->Arg(c);
}

BENCHMARK(BM_ReceiveRoad)->Apply(cases)->UseManualTime();
BENCHMARK(BM_ReceiveLatency)->Apply(cases)->Iterations(100000);

} // namespace

BENCHMARK_MAIN();
