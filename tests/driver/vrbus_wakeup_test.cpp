// Readers that sleep on their notification event, as the program's receive
// threads do: none may sleep on frames it was not told of, each queue is
// signalled once per request by the level rule, and the client's eventfd
// keeps its own file flags. The daemon runs in this process on its loop
// thread (so that a thread checker sees both sides); requests go through
// its real socket.
#include "driver/vrbus_server.h"
#include "platform/event.h"
#include "vrbus_fixture.h"

#include <atomic>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <thread>

namespace {

using namespace vrbus_test;

class InProcessDaemon
{
public:
    InProcessDaemon()
    {
        setenv("VRBUS_RUNTIME_DIR", dir_.path().toUtf8().constData(), 1);
        setenv("VYR_REGISTRY_DIR", dir_.path().toUtf8().constData(), 1);
        std::string error;
        started_ = server_.start(&error);
        EXPECT_TRUE(started_) << error;
        if (started_)
            loop_ = std::thread([this] { server_.run(); });
    }
    ~InProcessDaemon()
    {
        if (started_) {
            server_.stop();
            loop_.join();
        }
    }

private:
    QTemporaryDir dir_;
    VrbusServer server_;
    bool started_ = false;
    std::thread loop_;
};

// The eventfd's counter: the number of signals since the last look.
uint64_t signals_of(int event_fd)
{
    pollfd set{event_fd, POLLIN, 0};
    uint64_t count = 0;
    if (poll(&set, 1, 0) == 1 && read(event_fd, &count, sizeof count) != ssize_t(sizeof count))
        count = 0;
    return count;
}

TEST(VrbusWakeUp, SleepingReadersAreToldOfEveryFrame)
{
    InProcessDaemon daemon;
    constexpr int kReaders = 8;
    constexpr int kWrites = 2000;
    constexpr int kBatch = 64;
    // Room for every frame: nothing may be lost to an overrun.
    constexpr uint32_t kCapacity = kWrites * kBatch + 1;
    // A reader that waits this long while frames wait missed its wake-up:
    // the writer never pauses that long.
    constexpr int kStallMs = 1000;

    auto writer = open_on_bus("vrbus0a.init");
    struct Reader
    {
        std::unique_ptr<DeviceFile> device;
        platform::Event event;
        void *queue = nullptr;
        int received = 0;
        int stalls = 0;
    };
    std::vector<std::unique_ptr<Reader>> readers;
    for (int i = 0; i < kReaders; ++i) {
        auto reader = std::make_unique<Reader>();
        reader->device = open_on_bus("vrbus0a." + std::to_string(i + 2), kCapacity);
        ASSERT_EQ(reader->device->map_rx_queue(&reader->queue), 0);
        ASSERT_EQ(control(*reader->device, kSetNotification, {uint32_t(reader->event.fd()), 1}).status,
                  STATUS_SUCCESS);
        readers.push_back(std::move(reader));
    }

    std::atomic<int> written{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (auto &reader : readers) {
        threads.emplace_back([&, r = reader.get()] {
            MappedQueue queue(r->queue);
            const auto empty = [&] { return queue.header(vrbus::queue::kReadIndexAt) == queue.header(vrbus::queue::kWriteIndexAt); };
            MessageRecord record;
            for (;;) {
                while (queue.take(&record))
                    ++r->received;
                if (done.load() && r->received >= written.load())
                    return;
                const bool notified = r->event.wait(kStallMs);
                if (!notified && !empty())
                    ++r->stalls;
                else if (!notified && done.load())
                    return;
            }
        });
    }
    // The readers drain while the frames of a write go in: a reader that has
    // just emptied its queue and is about to sleep races the next frame.
    const std::vector<MessageRecord> batch(kBatch, frame(0x100, {1, 2, 3, 4, 5, 6, 7, 8}));
    for (int i = 0; i < kWrites; ++i) {
        uint32_t bytes = 0;
        ASSERT_EQ(writer->write(batch.data(), uint32_t(batch.size() * sizeof(MessageRecord)), &bytes), 0);
        written.fetch_add(int(bytes / sizeof(MessageRecord)));
    }
    done.store(true);
    for (std::thread &thread : threads)
        thread.join();
    for (int i = 0; i < kReaders; ++i) {
        EXPECT_EQ(readers[i]->stalls, 0) << "reader " << i;
        EXPECT_EQ(readers[i]->received, written.load()) << "reader " << i;
    }
}

TEST(VrbusWakeUp, EachQueueIsSignalledOncePerRequestWhenTheLevelIsReached)
{
    InProcessDaemon daemon;
    auto writer = open_on_bus("vrbus0a.init");
    auto reader = open_on_bus("vrbus0a.2", 1024);
    void *address = nullptr;
    ASSERT_EQ(reader->map_rx_queue(&address), 0);
    // Blocking descriptors, as a client that reads its events may make them.
    const int notification = eventfd(0, EFD_CLOEXEC);
    const int received = eventfd(0, EFD_CLOEXEC);
    ASSERT_EQ(control(*reader, kSetNotification, {uint32_t(notification), 3}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*reader, kSetEvents, {0, uint32_t(received), 0, 0}).status, STATUS_SUCCESS);

    const struct
    {
        int frames;
        bool drain_first;
        uint64_t notifications;
        uint64_t receive_events;
    } rounds[] = {
        {2, false, 0, 1},  // below the level
        {2, false, 1, 1},  // passes the level of 3
        {64, false, 0, 1}, // above it all along
        {64, true, 1, 1},  // from empty past the level: once for 64 frames
    };
    for (const auto &round : rounds) {
        if (round.drain_first)
            MappedQueue(address).take_all();
        const std::vector<MessageRecord> frames(round.frames, frame(0x321, {1}));
        ASSERT_EQ(write_records(*writer, frames), STATUS_SUCCESS);
        EXPECT_EQ(signals_of(notification), round.notifications) << round.frames << " frames";
        EXPECT_EQ(signals_of(received), round.receive_events) << round.frames << " frames";
    }
    close(notification);
    close(received);
}

TEST(VrbusWakeUp, TheClientsEventKeepsItsFileFlags)
{
    InProcessDaemon daemon;
    auto writer = open_on_bus("vrbus0a.init");
    auto reader = open_on_bus("vrbus0a.2");
    const int event = eventfd(0, EFD_CLOEXEC);
    ASSERT_EQ(control(*reader, kSetNotification, {uint32_t(event), 1}).status, STATUS_SUCCESS);
    EXPECT_FALSE(fcntl(event, F_GETFL) & O_NONBLOCK);

    ASSERT_EQ(write_records(*writer, {frame(0x1)}), STATUS_SUCCESS);
    uint64_t count = 0;
    EXPECT_EQ(read(event, &count, sizeof count), ssize_t(sizeof count)); // a blocking read gets the signal
    EXPECT_EQ(count, 1u);

    // A counter at its limit is set already: the daemon does not wait to add to it.
    const uint64_t limit = 0xFFFFFFFFFFFFFFFEull;
    ASSERT_EQ(write(event, &limit, sizeof limit), ssize_t(sizeof limit));
    read_all(*reader);
    ASSERT_EQ(write_records(*writer, {frame(0x2)}), STATUS_SUCCESS);
    EXPECT_EQ(frames_of(read_all(*reader)).size(), 1u);
    close(event);
}

} // namespace
