// The vrbus daemon's devices, handles, receive queues, time base, card timer
// and driver log, tested through the real socket of a daemon process.
#include "test_paths.h"
#include "tests/driver/vrbus_fixture.h"

#include "platform/event.h"

#include <map>

using namespace vrbus_test;

namespace {

// The eventfd counter: how often the driver set the event since the last look.
uint64_t take_event_count(const platform::Event &event)
{
    uint64_t count = 0;
    if (::read(event.fd(), &count, sizeof count) != sizeof count)
        return 0;
    return count;
}

class VrbusDevices : public ::testing::Test
{
protected:
    Daemon daemon;
};

TEST_F(VrbusDevices, DaemonStartsAndStopsCleanlyOnSigterm)
{
    ASSERT_TRUE(daemon.ready());
    DeviceFile open_handle;
    ASSERT_EQ(open_device(open_handle, "vrbus0a.init"), STATUS_SUCCESS);
    EXPECT_EQ(daemon.stop(), 0);
    // The handle is gone with the daemon: its next request fails as "not ready".
    uint32_t bytes = 0;
    MessageRecord record;
    EXPECT_EQ(open_handle.read(&record, sizeof record, &bytes), platform::system_error::NOT_READY);
}

TEST_F(VrbusDevices, SecondDaemonOnTheSameDirectoryRefusesToStart)
{
    ASSERT_TRUE(daemon.ready());
    const std::string program = vyr_test::bin_dir().toStdString() + "/vrbus";
    EXPECT_NE(std::system((program + " 2>/dev/null").c_str()), 0);
    DeviceFile device;
    EXPECT_EQ(open_device(device, "vrbus0a.init"), STATUS_SUCCESS);
}

TEST_F(VrbusDevices, OpenStatusesFollowNamesExclusivityAndBusySlots)
{
    ASSERT_TRUE(daemon.ready());
    struct Step
    {
        const char *what; // "open" or "close"
        const char *name;
        NTSTATUS status;
    };
    const Step steps[] = {
        {"open", "vrbus1a.init", STATUS_OBJECT_NAME_NOT_FOUND}, // no card 1
        {"open", "vrbus0c.1", STATUS_OBJECT_NAME_NOT_FOUND},    // two channels by default
        {"open", "vrbus0a.16", STATUS_OBJECT_NAME_NOT_FOUND},   // 16 slots so far
        {"open", "vrbus0a.init", STATUS_SUCCESS},
        {"open", "\\\\.\\VRBUS0A.INIT", STATUS_ACCESS_DENIED}, // the same device, open already
        {"open", "vrbus0a.1", STATUS_SUCCESS},
        {"open", "vrbus0.info", STATUS_SUCCESS},
        {"open", "vrbus0.exclusive", STATUS_DEVICE_BUSY}, // handles are open
        {"close", "vrbus0a.init", 0},
        {"close", "vrbus0a.1", 0},
        {"close", "vrbus0.info", 0},
        {"open", "vrbus0.exclusive", STATUS_SUCCESS},
        {"open", "vrbus0b.2", STATUS_DEVICE_BUSY}, // the card is held exclusively
        {"open", "vrbus0.info", STATUS_DEVICE_BUSY},
        {"close", "vrbus0.exclusive", 0},
        {"open", "vrbus0b.2", STATUS_SUCCESS},
    };
    std::map<std::string, std::unique_ptr<DeviceFile>> open;
    for (const Step &step : steps) {
        SCOPED_TRACE(std::string(step.what) + " " + step.name);
        if (std::string(step.what) == "close") {
            open.erase(step.name);
            continue;
        }
        auto device = std::make_unique<DeviceFile>();
        EXPECT_EQ(open_device(*device, step.name), step.status);
        EXPECT_EQ(device->is_open(), step.status == STATUS_SUCCESS);
        if (step.status == STATUS_SUCCESS)
            open[step.name] = std::move(device);
    }
}

TEST_F(VrbusDevices, FourteenthOpenAddsSixteenSlotsToEveryChannel)
{
    ASSERT_TRUE(daemon.ready());
    std::vector<std::unique_ptr<DeviceFile>> devices;
    for (int k = 1; k <= 13; ++k) {
        devices.push_back(std::make_unique<DeviceFile>());
        ASSERT_EQ(open_device(*devices.back(), "vrbus0a." + std::to_string(k)), STATUS_SUCCESS);
    }
    DeviceFile probe;
    EXPECT_EQ(open_device(probe, "vrbus0b.16"), STATUS_OBJECT_NAME_NOT_FOUND);
    devices.push_back(std::make_unique<DeviceFile>());
    ASSERT_EQ(open_device(*devices.back(), "vrbus0a.14"), STATUS_SUCCESS);
    for (const char *name : {"vrbus0a.16", "vrbus0b.31"}) {
        DeviceFile grown;
        EXPECT_EQ(open_device(grown, name), STATUS_SUCCESS) << name;
    }
    DeviceFile beyond;
    EXPECT_EQ(open_device(beyond, "vrbus0a.32"), STATUS_OBJECT_NAME_NOT_FOUND);
}

// The open that adds slots extends the card's device list while that open
// is still using its own entry; a memory checker sees any use of the moved
// entries, which an ordinary run does not.
TEST(VrbusMemory, SlotGrowthOpenRunsCleanUnderAMemoryChecker)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "valgrind cannot run a daemon built with a sanitizer";
#endif
    if (std::system("command -v valgrind > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no valgrind to check the daemon with";
    Daemon daemon(std::string(), {"valgrind", "-q", "--error-exitcode=99"});
    ASSERT_TRUE(daemon.ready());
    {
        std::vector<std::unique_ptr<DeviceFile>> devices;
        for (int k = 1; k <= 14; ++k) {
            devices.push_back(std::make_unique<DeviceFile>());
            ASSERT_EQ(open_device(*devices.back(), "vrbus0a." + std::to_string(k)), STATUS_SUCCESS);
        }
        // The device whose open grew the slots is held open like any other.
        DeviceFile again;
        EXPECT_EQ(open_device(again, "vrbus0a.14"), STATUS_ACCESS_DENIED);
        DeviceFile grown;
        EXPECT_EQ(open_device(grown, "vrbus0b.20"), STATUS_SUCCESS);
        for (DeviceFile *device : {devices[0].get(), devices[13].get()}) {
            ASSERT_EQ(control(*device, kSetRxQueueSize, {8}).status, STATUS_SUCCESS);
            ASSERT_EQ(control(*device, kBusOn).status, STATUS_SUCCESS);
        }
        ASSERT_EQ(write_records(*devices[0], {frame(0x14)}), STATUS_SUCCESS);
        EXPECT_EQ(frames_of(read_all(*devices[13])).size(), 1u);
    }
    EXPECT_EQ(daemon.stop(), 0); // 99: the checker found a memory error
}

// A daemon out of file descriptors takes each waiting connection and closes
// it: the open fails at once (it would otherwise wait for ever while the loop
// spun on the listening socket), and the daemon serves on once a handle closes.
TEST(VrbusDescriptors, OpenBeyondTheDescriptorLimitFailsAtOnceAndTheDaemonServesOn)
{
    if (std::system("command -v prlimit > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no prlimit to start the daemon with few descriptors";
    Daemon daemon(std::string(), {"prlimit", "--nofile=16"});
    ASSERT_TRUE(daemon.ready());
    std::vector<std::unique_ptr<DeviceFile>> devices;
    int refused = platform::system_error::NO_ERROR;
    for (int k = 1; k <= 13 && refused == platform::system_error::NO_ERROR; ++k) {
        devices.push_back(std::make_unique<DeviceFile>());
        DeviceFile &device = *devices.back();
        const std::string name = "vrbus0a." + std::to_string(k);
        ASSERT_TRUE(daemon_serves(daemon, [&] { refused = device.open(name); }))
            << "the open at the descriptor limit did not end";
    }
    ASSERT_NE(refused, platform::system_error::NO_ERROR) << "the descriptor limit was never reached";
    devices.pop_back(); // the refused one
    devices.pop_back(); // frees a descriptor in the daemon
    DeviceFile again;
    int reopened = -1;
    ASSERT_TRUE(daemon_serves(daemon, [&] { reopened = again.open("vrbus0b.1"); }));
    EXPECT_EQ(reopened, platform::system_error::NO_ERROR);
    EXPECT_EQ(daemon.stop(), 0);
}

TEST_F(VrbusDevices, QueueSizeLimitsAndMappedHeader)
{
    ASSERT_TRUE(daemon.ready());
    DeviceFile device;
    ASSERT_EQ(open_device(device, "vrbus0a.1"), STATUS_SUCCESS);
    void *address = nullptr;
    EXPECT_EQ(device.map_rx_queue(&address), platform::system_error::GEN_FAILURE); // no queue yet
    EXPECT_EQ(control(device, kGetRxQueue, {}, 4).word(0), 0u);
    EXPECT_EQ(control(device, kSetRxQueueSize, {0}).status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(control(device, kSetRxQueueSize, {0x80001}).status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(control(device, kSetRxQueueSize, {0x80000}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(device, kSetRxQueueSize, {100}).status, STATUS_SUCCESS);

    ASSERT_EQ(device.map_rx_queue(&address), 0);
    ASSERT_NE(address, nullptr);
    void *again = nullptr;
    ASSERT_EQ(device.map_rx_queue(&again), 0);
    EXPECT_EQ(again, address);
    MappedQueue queue(address);
    EXPECT_EQ(queue.header(0), 2u);   // layout version
    EXPECT_EQ(queue.header(4), 22u);  // entry size
    EXPECT_EQ(queue.header(8), 1u);   // state word
    EXPECT_EQ(queue.header(12), 1u);  // references
    EXPECT_EQ(queue.header(16), 1u);  // notify level
    EXPECT_STREQ(static_cast<const char *>(address) + 24, "vector rx queue 1.10");
    EXPECT_EQ(queue.header(56), control(device, kGetRxQueue, {}, 4).word(0)); // the queue's id
    EXPECT_EQ(queue.header(60), 0u);
    EXPECT_EQ(queue.header(64), 0u);
    EXPECT_EQ(queue.capacity(), 100u);
    EXPECT_EQ(control(device, kUnmapRxQueue).status, STATUS_SUCCESS);
    EXPECT_EQ(device.rx_queue(), nullptr);
    EXPECT_EQ(control(device, kUnmapRxQueue).status, STATUS_UNSUCCESSFUL);
}

TEST_F(VrbusDevices, ReadReturnsWholeRecordsInOrderAcrossTheEndOfTheEntries)
{
    ASSERT_TRUE(daemon.ready());
    auto sender = open_on_bus("vrbus0a.init");
    auto receiver = open_on_bus("vrbus0a.2", 4); // holds three records
    read_all(*sender);
    read_all(*receiver); // the chip-state record of bus on

    ASSERT_EQ(write_records(*sender, {frame(0x101), frame(0x102), frame(0x103)}), STATUS_SUCCESS);
    MessageRecord first[2];
    uint32_t bytes = 0;
    ASSERT_EQ(receiver->read(first, 21, &bytes), 0);
    EXPECT_EQ(bytes, 0u); // 21 bytes hold no record
    ASSERT_EQ(receiver->read(first, 2 * 22 + 21, &bytes), 0);
    ASSERT_EQ(bytes, 44u);
    EXPECT_EQ(uint32_t(first[0].id), 0x101u);
    EXPECT_EQ(uint32_t(first[1].id), 0x102u);

    ASSERT_EQ(write_records(*sender, {frame(0x104), frame(0x105)}), STATUS_SUCCESS);
    EXPECT_EQ(control(*receiver, kGetRxQueueLevel, {}, 4).word(0), 3u);
    const auto rest = read_all(*receiver);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(uint32_t(rest[0].id), 0x103u);
    EXPECT_EQ(uint32_t(rest[1].id), 0x104u);
    EXPECT_EQ(uint32_t(rest[2].id), 0x105u);
    EXPECT_TRUE(read_all(*receiver).empty());
}

TEST_F(VrbusDevices, MappedReaderSeesTheRecordsAndTheNotificationFiresOnTheEdge)
{
    ASSERT_TRUE(daemon.ready());
    auto sender = open_on_bus("vrbus0a.init");
    auto receiver = open_on_bus("vrbus0a.2", 8);
    void *address = nullptr;
    ASSERT_EQ(receiver->map_rx_queue(&address), 0);
    MappedQueue queue(address);

    platform::Event event;
    ASSERT_EQ(control(*receiver, kSetNotification, {uint32_t(event.fd()), 1}).status, STATUS_SUCCESS);
    ASSERT_EQ(write_records(*sender, {frame(0x10, {1, 2}), frame(0x11), frame(0x12)}), STATUS_SUCCESS);
    EXPECT_EQ(take_event_count(event), 1u); // set when the level reached 1, not again at 2 and 3
    auto records = queue.take_all();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].kind, vrbus::record::kFrame);
    EXPECT_EQ(uint32_t(records[0].id), 0x10u);
    EXPECT_EQ(records[0].length, 2);
    EXPECT_EQ(records[0].data[1], 2);
    EXPECT_EQ(uint32_t(records[2].id), 0x12u);
    EXPECT_EQ(queue.header(8), 0x80000001u); // the reader marked "all taken"

    ASSERT_EQ(write_records(*sender, {frame(0x13)}), STATUS_SUCCESS);
    EXPECT_EQ(take_event_count(event), 1u); // empty again: the next record sets it again

    // A level of 2 sets the event when the second record waits.
    ASSERT_EQ(control(*receiver, kSetNotification, {uint32_t(event.fd()), 2}).status, STATUS_SUCCESS);
    ASSERT_EQ(write_records(*sender, {frame(0x14)}), STATUS_SUCCESS);
    EXPECT_EQ(take_event_count(event), 1u);

    // The driver's own records set it on the edge too: the two statistics
    // records once.
    queue.take_all();
    ASSERT_EQ(control(*receiver, kSetNotification, {uint32_t(event.fd()), 1}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*receiver, kRequestStatistics).status, STATUS_SUCCESS);
    EXPECT_EQ(take_event_count(event), 1u);

    // A read index at the capacity lies outside the entries: it counts as
    // everything read, and nothing is handed out again.
    queue.set_header(64, queue.capacity());
    EXPECT_TRUE(read_all(*receiver).empty());
}

TEST_F(VrbusDevices, NotificationTakesOnlyEventDescriptors)
{
    ASSERT_TRUE(daemon.ready());
    auto receiver = open_on_bus("vrbus0a.2");
    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    EXPECT_EQ(control(*receiver, kSetNotification, {uint32_t(pipe_ends[1]), 1}).status,
              STATUS_OBJECT_TYPE_MISMATCH);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    EXPECT_EQ(control(*receiver, kSetNotification, {0, 1}).status, STATUS_SUCCESS); // no event
}

TEST_F(VrbusDevices, SharedQueueNamedByIdLivesUntilItsLastHandleCloses)
{
    ASSERT_TRUE(daemon.ready());
    auto sender = open_on_bus("vrbus0a.init");
    auto owner = open_on_bus("vrbus0a.2");
    auto sharer = open_on_bus("vrbus0a.3");
    const uint32_t id = control(*owner, kGetRxQueue, {}, 4).word(0);
    ASSERT_NE(id, 0u);
    // A reference the daemon never handed out, and one of a queue that is gone.
    const uint32_t sharer_id = control(*sharer, kGetRxQueue, {}, 4).word(0);
    EXPECT_EQ(control(*sharer, kReuseRxQueue, {id + 1000}).status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(control(*sharer, kReuseRxQueue, {sharer_id}).status, STATUS_SUCCESS); // its own: unchanged
    ASSERT_EQ(control(*sharer, kReuseRxQueue, {id}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*owner, kReuseRxQueue, {sharer_id}).status, STATUS_UNSUCCESSFUL); // released

    EXPECT_EQ(control(*owner, kSetRxQueueSize, {16}).status, STATUS_ACCESS_DENIED); // shared
    read_all(*owner);
    ASSERT_EQ(write_records(*sender, {frame(0x200)}), STATUS_SUCCESS);
    EXPECT_EQ(frames_of(read_all(*owner)).size(), 2u); // once for each handle of the queue

    owner.reset();
    ASSERT_EQ(write_records(*sender, {frame(0x201)}), STATUS_SUCCESS);
    const auto left = frames_of(read_all(*sharer));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(uint32_t(left[0].id), 0x201u);
}

TEST_F(VrbusDevices, ClockOffsetsGiveEveryHandleItsOwnTime)
{
    ASSERT_TRUE(daemon.ready());
    auto sender = open_on_bus("vrbus0a.init");
    auto receiver = open_on_bus("vrbus0a.2");

    // A frame with the writer's own time stamp reaches the receiver on the
    // receiver's clock: the writer's offset is added, the receiver's taken off.
    ASSERT_EQ(control(*sender, kSetClockOffset, {5, 123456}).status, STATUS_SUCCESS);
    const auto offset = control(*sender, kGetClockOffset, {}, 8);
    EXPECT_EQ(offset.word(0), 5u);
    EXPECT_EQ(offset.word(1), 123456u);
    ASSERT_EQ(control(*receiver, kSetClockOffset, {1, 0}).status, STATUS_SUCCESS);
    MessageRecord stamped = frame(0x300);
    stamped.flags = vrbus::record::kOverrun; // "the time stamp is mine"
    stamped.time = 1000;
    read_all(*receiver);
    ASSERT_EQ(write_records(*sender, {stamped}), STATUS_SUCCESS);
    auto received = frames_of(read_all(*receiver));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(uint32_t(received[0].time), 1000u + 512345u - 100000u);
    EXPECT_EQ(received[0].flags, 0); // the flag only marked the writer's time

    // After reset the receiver's clock starts near 0.
    ASSERT_EQ(control(*receiver, kResetClock).status, STATUS_SUCCESS);
    const auto reset = control(*receiver, kGetClockOffset, {}, 8);
    EXPECT_EQ(reset.word(1) % 10, 0u);
    ASSERT_EQ(write_records(*sender, {frame(0x301)}), STATUS_SUCCESS);
    received = frames_of(read_all(*receiver));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_LT(uint32_t(received[0].time), 100000u); // below one second
}

TEST_F(VrbusDevices, CardTimerRunsAtTheSmallestRateAndFillsOnlyEmptyQueues)
{
    ASSERT_TRUE(daemon.ready());
    auto sender = open_on_bus("vrbus0a.init");
    auto ticked = open_on_bus("vrbus0a.2");
    auto clock = open_on_bus("vrbus0b.2");
    auto quiet = open_on_bus("vrbus0b.3");
    DeviceFile info;
    ASSERT_EQ(open_device(info, "vrbus0.info"), STATUS_SUCCESS);
    for (DeviceFile *device : {ticked.get(), clock.get(), quiet.get()})
        read_all(*device);

    // A waiting frame keeps timer records out of the queue. The frame and the
    // notification are in place before the timer runs: a timer record that
    // came first would take the frame's place, or fill the queue without the
    // edge that sets the notification.
    ASSERT_EQ(write_records(*sender, {frame(0x400)}), STATUS_SUCCESS);
    platform::Event tick;
    ASSERT_EQ(control(*clock, kSetNotification, {uint32_t(tick.fd()), 1}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*ticked, kSetTimerRate, {20}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*clock, kSetTimerRate, {10}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(info, kGetCardInfo, {}, 376).word(30), 10u);
    for (int ticks = 0; ticks < 3; ++ticks) {
        ASSERT_TRUE(tick.wait(5000));
        const auto records = read_all(*clock);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].kind, vrbus::record::kTimer);
    }
    const auto waiting = read_all(*ticked);
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(uint32_t(waiting[0].id), 0x400u);
    EXPECT_EQ(control(*quiet, kGetRxQueueLevel, {}, 4).word(0), 0u); // asked for none

    // Now empty, the first handle gets one timer record and no more.
    ASSERT_TRUE(tick.wait(5000));
    read_all(*clock);
    ASSERT_TRUE(tick.wait(5000));
    const auto timer_records = read_all(*ticked);
    ASSERT_EQ(timer_records.size(), 1u);
    EXPECT_EQ(timer_records[0].kind, vrbus::record::kTimer);

    clock.reset();
    EXPECT_EQ(control(info, kGetCardInfo, {}, 376).word(30), 20u);
    ticked.reset();
    EXPECT_EQ(control(info, kGetCardInfo, {}, 376).word(30), 0u); // no handle asks: stopped
}

TEST_F(VrbusDevices, DriverLogKeepsThirtyTwoLinesAndReportsTheLoss)
{
    ASSERT_TRUE(daemon.ready());
    auto owner = open_on_bus("vrbus0a.2");
    auto other = open_on_bus("vrbus0a.3");
    void *address = nullptr;
    ASSERT_EQ(owner->map_rx_queue(&address), 0);
    const uint32_t id = control(*owner, kGetRxQueue, {}, 4).word(0);
    // A queue whose header no longer shows the layout is refused, with a log line each time.
    MappedQueue(address).set_header(4, 24);
    for (int i = 0; i < 35; ++i)
        ASSERT_EQ(control(*other, kReuseRxQueue, {id}).status, STATUS_UNSUCCESSFUL);

    std::vector<std::string> lines;
    for (;;) {
        const auto reply = control(*other, kGetLogMessage, {}, 81);
        if (reply.status != STATUS_SUCCESS) {
            EXPECT_EQ(reply.status, STATUS_UNSUCCESSFUL);
            EXPECT_EQ(reply.out[0], 0);
            break;
        }
        lines.emplace_back(reinterpret_cast<const char *>(reply.out.data()));
        ASSERT_LT(lines.size(), 40u);
    }
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines[0], "ERROR: Messages lost");
    EXPECT_EQ(lines[1], "Virtual driver v3.0.1 (vrbus) (Feb 19 2004 / 09:42:39) started\n");
    EXPECT_EQ(lines[2], "vrbus: Connect channels OFF\n");
    EXPECT_EQ(lines[3], "ybusx: Drivers not compatible (Queue Layout is different)\n");
    EXPECT_EQ(lines[32], lines[3]);
}

} // namespace
