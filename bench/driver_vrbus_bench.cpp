// The virtual CAN bus under load. The daemon runs in this process on its own
// loop thread; every request goes through its real socket.
//
// The delivery itself: frames per second from one writer to 1, 4 and 16
// on-bus readers that the writer's thread drains after each write, and the
// time from a write to the reader's notification.
//
// Readers as the program runs them: every reader has its own thread (or its
// own process), sleeps on the eventfd it gave the daemon as its notification
// event, and on waking drains its mapped receive queue the way the Vindra
// channel does. One writer sends 100,000 frames. Reported: the frames per
// second offered to every reader (the rate the daemon took them from the
// writer), the frames per second each reader received over the whole run (the
// mean over the readers and the slowest), the share each reader lost (its
// queue overran; the mean and the worst), stalls (a wait that timed out while
// frames waited: a lost wake-up), and the time from a write to the reader's
// wake-up as p50, p99 and p99.9.
#include "driver/vrbus_server.h"
#include "platform/device_transport.h"
#include "platform/event.h"
#include "platform/vrbus_contract.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using platform::DeviceFile;

using namespace vrbus::code;
using namespace vrbus::queue;
constexpr uint32_t kRecord = vrbus::record::kSize;
constexpr uint32_t kQueueCapacity = 8192;
constexpr int kBatch = 64;

// The daemon on a loop thread, in a runtime directory of its own.
class InProcessDaemon
{
public:
    InProcessDaemon()
    {
        char pattern[] = "/tmp/vrbus-bench-XXXXXX";
        dir_ = mkdtemp(pattern);
        setenv("VRBUS_RUNTIME_DIR", dir_.c_str(), 1);
        setenv("VYR_REGISTRY_DIR", dir_.c_str(), 1);
        std::string error;
        if (!server_.start(&error))
            throw std::runtime_error(error);
        loop_ = std::thread([this] { server_.run(); });
    }
    ~InProcessDaemon()
    {
        server_.stop();
        loop_.join();
    }

private:
    std::string dir_;
    VrbusServer server_;
    std::thread loop_;
};

InProcessDaemon &daemon()
{
    static InProcessDaemon running;
    return running;
}

void check(int error, const char *what)
{
    if (error != 0)
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(error));
}

// An on-bus handle with a mapped receive queue.
struct Reader
{
    explicit Reader(const std::string &name)
    {
        check(device.open(name), "open");
        const uint32_t capacity = kQueueCapacity;
        check(device.io_control(kSetRxQueueSize, &capacity, 4, nullptr, 0), "queue size");
        check(device.io_control(kBusOn, nullptr, 0, nullptr, 0), "bus on");
        check(device.map_rx_queue(&queue), "map");
        drain();
    }

    // Takes every waiting entry the way the program does; answers the count.
    int drain()
    {
        auto *base = static_cast<uint8_t *>(queue);
        auto *write_index = reinterpret_cast<uint32_t *>(base + kWriteIndexAt);
        auto *read_index = reinterpret_cast<uint32_t *>(base + kReadIndexAt);
        const uint32_t capacity = *reinterpret_cast<uint32_t *>(base + kCapacityAt);
        int taken = 0;
        uint32_t read = __atomic_load_n(read_index, __ATOMIC_ACQUIRE);
        uint8_t entry[kRecord];
        while (read != __atomic_load_n(write_index, __ATOMIC_ACQUIRE)) {
            std::memcpy(entry, base + kEntriesAt + size_t(read) * kRecord, kRecord);
            benchmark::DoNotOptimize(entry);
            read = (read + 1) % capacity;
            __atomic_store_n(read_index, read, __ATOMIC_RELEASE);
            ++taken;
        }
        return taken;
    }

    DeviceFile device;
    void *queue = nullptr;
};

std::vector<uint8_t> frames(int count)
{
    using namespace vrbus::record;
    std::vector<uint8_t> records(size_t(count) * kSize, 0);
    for (int i = 0; i < count; ++i) {
        uint8_t *record = records.data() + size_t(i) * kSize;
        record[kKindAt] = kTxFrame;
        record[kIdAt] = uint8_t(i);
        record[kLengthAt] = 8;
    }
    return records;
}

void BM_FramesFromOneWriterToReaders(benchmark::State &state)
{
    daemon();
    const int reader_count = int(state.range(0));
    DeviceFile writer;
    check(writer.open("vrbus0a.init"), "open writer");
    check(writer.io_control(kBusOn, nullptr, 0, nullptr, 0), "bus on");
    std::vector<std::unique_ptr<Reader>> readers;
    for (int i = 0; i < reader_count; ++i)
        readers.push_back(std::make_unique<Reader>("vrbus0a." + std::to_string(i + 2)));
    const std::vector<uint8_t> batch = frames(kBatch);
    int64_t delivered = 0;
    for (auto _ : state) {
        uint32_t written = 0;
        writer.write(batch.data(), uint32_t(batch.size()), &written);
        for (auto &reader : readers)
            delivered += reader->drain();
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["deliveries/s"] = benchmark::Counter(double(delivered), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FramesFromOneWriterToReaders)->Arg(1)->Arg(4)->Arg(16)->UseRealTime();

void BM_WriteToNotificationLatency(benchmark::State &state)
{
    daemon();
    DeviceFile writer;
    check(writer.open("vrbus0a.init"), "open writer");
    check(writer.io_control(kBusOn, nullptr, 0, nullptr, 0), "bus on");
    Reader reader("vrbus0a.2");
    platform::Event notified;
    const uint32_t notification[2] = {uint32_t(notified.fd()), 1};
    check(reader.device.io_control(kSetNotification, notification, 8, nullptr, 0), "notification");

    // A thread of the reader's waits for the event, as a realtime thread would.
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> stopping{false};
    std::atomic<int64_t> woke_at{0};
    platform::Event woke;
    std::thread waiter([&] {
        for (;;) {
            notified.wait(platform::wait_infinite);
            if (stopping.load())
                return;
            woke_at.store(Clock::now().time_since_epoch().count());
            woke.set();
        }
    });
    const std::vector<uint8_t> one = frames(1);
    for (auto _ : state) {
        const int64_t written_at = Clock::now().time_since_epoch().count();
        uint32_t written = 0;
        writer.write(one.data(), uint32_t(one.size()), &written);
        woke.wait(platform::wait_infinite);
        state.SetIterationTime(double(woke_at.load() - written_at) * Clock::period::num / Clock::period::den);
        reader.drain();
    }
    stopping.store(true);
    notified.set();
    waiter.join();
}
BENCHMARK(BM_WriteToNotificationLatency)->UseManualTime();

// The receive queue size that the driver access layer gives every handle.
constexpr uint32_t kProgramQueueCapacity = vrbus::queue::kMaxCapacity;
constexpr int kFrames = 100000;
// A sleeping reader wakes after this long without a notification; finding
// frames then means the notification was lost.
constexpr int kStallTimeoutMs = 100;

int64_t now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What one reader found; lives in memory shared with reader processes.
struct ReaderFigures
{
    std::atomic<int> ready{0};
    std::atomic<int64_t> received{0};
    std::atomic<int64_t> stalls{0};
    std::atomic<int64_t> last_frame_at{0};
    std::atomic<int64_t> woke_at{0}; // of the latest wake-up that found frames
};

// What the writer tells the readers.
struct WriterState
{
    std::atomic<int64_t> written{0}; // frames the daemon took
    std::atomic<int64_t> done_at{0};
    std::atomic<bool> done{false};
};

// An on-bus handle with its mapped queue and notification event, read as
// the Vindra channel reads: each entry is consumed by setting the drained
// mark when it empties the queue and then exchanging the read index.
class SleepingReader
{
public:
    explicit SleepingReader(const std::string &name)
    {
        check(device_.open(name), "open");
        const uint32_t capacity = kProgramQueueCapacity;
        check(device_.io_control(kSetRxQueueSize, &capacity, 4, nullptr, 0), "queue size");
        check(device_.io_control(kBusOn, nullptr, 0, nullptr, 0), "bus on");
        void *queue = nullptr;
        check(device_.map_rx_queue(&queue), "map");
        queue_ = static_cast<uint8_t *>(queue);
        const uint32_t notification[2] = {uint32_t(event_.fd()), 1};
        check(device_.io_control(kSetNotification, notification, 8, nullptr, 0), "notification");
    }

    // Sleeps and drains until the writer is done and every frame it wrote
    // has come (or was lost to an overrun).
    void run(ReaderFigures &figures, const WriterState &writer)
    {
        figures.ready.store(1);
        for (;;) {
            const int taken = drain();
            if (taken > 0) {
                figures.received.fetch_add(taken);
                figures.last_frame_at.store(now_ns());
            }
            if (writer.done.load() && figures.received.load() >= writer.written.load())
                return;
            const bool notified = event_.wait(kStallTimeoutMs);
            const int64_t woke = now_ns();
            if (!empty()) {
                figures.woke_at.store(woke);
                if (!notified)
                    figures.stalls.fetch_add(1);
            } else if (!notified && writer.done.load()) {
                return; // the rest was lost
            }
        }
    }

private:
    uint32_t word(int offset) const
    {
        return __atomic_load_n(reinterpret_cast<uint32_t *>(queue_ + offset), __ATOMIC_SEQ_CST);
    }
    void exchange(int offset, uint32_t value)
    {
        __atomic_exchange_n(reinterpret_cast<uint32_t *>(queue_ + offset), value, __ATOMIC_SEQ_CST);
    }
    bool empty() const { return word(kReadIndexAt) == word(kWriteIndexAt); }

    int drain()
    {
        const uint32_t capacity = word(kCapacityAt);
        int taken = 0;
        uint8_t entry[kRecord];
        for (;;) {
            const uint32_t read = word(kReadIndexAt);
            const uint32_t write = word(kWriteIndexAt);
            if (read == write)
                return taken;
            std::memcpy(entry, queue_ + kEntriesAt + size_t(read) * kRecord, kRecord);
            benchmark::DoNotOptimize(entry);
            const uint32_t next = (read + 1) % capacity;
            if (next == write)
                exchange(kStatusAt, word(kStatusAt) | kDrained);
            exchange(kReadIndexAt, next);
            if (entry[vrbus::record::kKindAt] == vrbus::record::kFrame) // not the chip state of the first bus on
                ++taken;
        }
    }

    DeviceFile device_;
    platform::Event event_;
    uint8_t *queue_ = nullptr;
};

struct Writer
{
    Writer()
    {
        check(device.open("vrbus0a.init"), "open writer");
        check(device.io_control(kBusOn, nullptr, 0, nullptr, 0), "bus on");
    }
    DeviceFile device;
};

// Shared memory for the figures of readers in threads or processes.
template <typename T>
T *shared_array(int count)
{
    void *memory = mmap(nullptr, sizeof(T) * size_t(count), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::runtime_error("no shared memory");
    T *items = static_cast<T *>(memory);
    for (int i = 0; i < count; ++i)
        new (items + i) T();
    return items;
}

// Writes kFrames frames in requests of kBatch as fast as the daemon takes them.
void write_frames(Writer &writer, WriterState &state)
{
    const std::vector<uint8_t> batch = frames(kBatch);
    for (int sent = 0; sent < kFrames; sent += kBatch) {
        uint32_t written = 0;
        const int count = std::min(kBatch, kFrames - sent);
        check(writer.device.write(batch.data(), uint32_t(count * kRecord), &written), "write");
        state.written.fetch_add(written / kRecord);
    }
    state.done_at.store(now_ns());
    state.done.store(true);
}

// A reader's received rate counts the whole run, up to the later of the
// writer's end and the reader's last frame, so that frames it lost lower it.
void report_throughput(benchmark::State &state, const ReaderFigures *figures, int readers, int64_t started,
                       const WriterState &writer)
{
    const int64_t offered = writer.written.load();
    const int64_t writer_done_at = writer.done_at.load();
    double slowest_rate = 0, total_rate = 0, total_loss = 0, worst_loss = 0;
    int64_t stalls = 0;
    for (int i = 0; i < readers; ++i) {
        const int64_t received = figures[i].received.load();
        const int64_t ended = std::max(writer_done_at, figures[i].last_frame_at.load());
        const double rate = double(received) / (double(ended - started) / 1e9);
        const double loss = offered > 0 ? 100.0 * double(offered - received) / double(offered) : 0;
        slowest_rate = i == 0 ? rate : std::min(slowest_rate, rate);
        worst_loss = std::max(worst_loss, loss);
        total_rate += rate;
        total_loss += loss;
        stalls += figures[i].stalls.load();
    }
    state.counters["offered frames/s"] = double(offered) / (double(writer_done_at - started) / 1e9);
    state.counters["received frames/s per reader"] = total_rate / readers;
    state.counters["slowest reader received frames/s"] = slowest_rate;
    state.counters["lost % per reader"] = total_loss / readers;
    state.counters["worst reader lost %"] = worst_loss;
    state.counters["stalls"] = double(stalls);
}

void BM_SleepingReaderThreads(benchmark::State &state)
{
    daemon();
    const int reader_count = int(state.range(0));
    for (auto _ : state) {
        Writer writer;
        std::vector<std::unique_ptr<SleepingReader>> readers;
        for (int i = 0; i < reader_count; ++i)
            readers.push_back(std::make_unique<SleepingReader>("vrbus0a." + std::to_string(i + 2)));
        ReaderFigures *figures = shared_array<ReaderFigures>(reader_count);
        WriterState *writer_state = shared_array<WriterState>(1);
        std::vector<std::thread> threads;
        for (int i = 0; i < reader_count; ++i)
            threads.emplace_back([&, i] { readers[i]->run(figures[i], *writer_state); });
        for (int i = 0; i < reader_count; ++i) {
            while (!figures[i].ready.load())
                std::this_thread::yield();
        }
        const int64_t started = now_ns();
        write_frames(writer, *writer_state);
        for (std::thread &thread : threads)
            thread.join();
        report_throughput(state, figures, reader_count, started, *writer_state);
        munmap(figures, sizeof(ReaderFigures) * size_t(reader_count));
        munmap(writer_state, sizeof(WriterState));
    }
}
BENCHMARK(BM_SleepingReaderThreads)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_SleepingReaderProcesses(benchmark::State &state)
{
    daemon();
    const int reader_count = int(state.range(0));
    for (auto _ : state) {
        ReaderFigures *figures = shared_array<ReaderFigures>(reader_count);
        WriterState *writer_state = shared_array<WriterState>(1);
        std::vector<pid_t> children;
        for (int i = 0; i < reader_count; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                // Only this thread goes on in the child: it talks to the
                // daemon through the socket like any other client.
                int status = 0;
                try {
                    SleepingReader reader("vrbus0a." + std::to_string(i + 2));
                    reader.run(figures[i], *writer_state);
                } catch (const std::exception &) {
                    status = 1;
                }
                _exit(status);
            }
            children.push_back(child);
        }
        for (int i = 0; i < reader_count; ++i) {
            while (!figures[i].ready.load())
                std::this_thread::yield();
        }
        Writer writer;
        const int64_t started = now_ns();
        write_frames(writer, *writer_state);
        bool failed = false;
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            failed = failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        }
        if (failed)
            state.SkipWithError("a reader process failed");
        else
            report_throughput(state, figures, reader_count, started, *writer_state);
        munmap(figures, sizeof(ReaderFigures) * size_t(reader_count));
        munmap(writer_state, sizeof(WriterState));
    }
}
BENCHMARK(BM_SleepingReaderProcesses)->Arg(16)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// One frame at a time to one sleeping reader: the time from the write to
// the reader's wake-up, over kFrames frames.
void BM_WriteToWakeUpLatencyPercentiles(benchmark::State &state)
{
    daemon();
    for (auto _ : state) {
        Writer writer;
        SleepingReader reader("vrbus0a.2");
        ReaderFigures *figures = shared_array<ReaderFigures>(1);
        WriterState *writer_state = shared_array<WriterState>(1);
        std::thread thread([&] { reader.run(*figures, *writer_state); });
        while (!figures->ready.load())
            std::this_thread::yield();
        const std::vector<uint8_t> one = frames(1);
        std::vector<int64_t> latencies;
        latencies.reserve(kFrames);
        for (int i = 0; i < kFrames; ++i) {
            const int64_t written_at = now_ns();
            uint32_t written = 0;
            check(writer.device.write(one.data(), kRecord, &written), "write");
            writer_state->written.fetch_add(1);
            while (figures->received.load() < i + 1)
                std::this_thread::yield();
            latencies.push_back(std::max<int64_t>(figures->woke_at.load(), written_at) - written_at);
        }
        writer_state->done.store(true);
        thread.join();
        std::sort(latencies.begin(), latencies.end());
        const auto percentile = [&](double p) {
            return double(latencies[size_t(p * double(latencies.size() - 1))]) / 1e3;
        };
        state.counters["p50 us"] = percentile(0.50);
        state.counters["p99 us"] = percentile(0.99);
        state.counters["p99.9 us"] = percentile(0.999);
        state.counters["stalls"] = double(figures->stalls.load());
        munmap(figures, sizeof(ReaderFigures));
        munmap(writer_state, sizeof(WriterState));
    }
}
BENCHMARK(BM_WriteToWakeUpLatencyPercentiles)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
