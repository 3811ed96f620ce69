// The virtual CAN bus under load: frames per second from one writer to 1, 4
// and 16 on-bus readers that read their mapped receive queues, and the time
// from a write to the reader's notification. The daemon runs in this process
// on its own loop thread; every request goes through its real socket.
#include "driver/vrbus_server.h"
#include "platform/device_transport.h"
#include "platform/event.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using platform::DeviceFile;

constexpr uint32_t kSetRxQueueSize = 0x80002070;
constexpr uint32_t kBusOn = 0x80002048;
constexpr uint32_t kSetNotification = 0x80002084;
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
        auto *write_index = reinterpret_cast<uint32_t *>(base + 60);
        auto *read_index = reinterpret_cast<uint32_t *>(base + 64);
        const uint32_t capacity = *reinterpret_cast<uint32_t *>(base + 68);
        int taken = 0;
        uint32_t read = __atomic_load_n(read_index, __ATOMIC_ACQUIRE);
        uint8_t entry[22];
        while (read != __atomic_load_n(write_index, __ATOMIC_ACQUIRE)) {
            std::memcpy(entry, base + 76 + size_t(read) * 22, 22);
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
    std::vector<uint8_t> records(size_t(count) * 22, 0);
    for (int i = 0; i < count; ++i) {
        uint8_t *record = records.data() + size_t(i) * 22;
        record[0] = 10;       // a frame to send
        record[8] = uint8_t(i); // identifier
        record[13] = 8;       // length
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

} // namespace

BENCHMARK_MAIN();
