// The driver access layer and the Vindra channel on the real vrbus daemon,
// which the provider starts for this program: opens and exclusivity across
// two processes, frames between two channels, and the reader of the receive
// queue on entries the test writes into the mapped queue itself.
#include "hw_test_support.h"
#include "interfaces/hardware/buslib.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "platform/service_manager.h"
#include "platform/wait.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using namespace vrbus::record;

// The daemon of this program, started by the provider before the tests and
// stopped by it after them. A peer process shares it and only opens the
// access layer.
class VirtualBusEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (hw_test::is_peer_process()) {
            ASSERT_EQ(buslibInitialize(), buslibOK);
            return;
        }
        dirs_ = std::make_unique<hw_test::PrivateDirectories>();
        CANhwProviderVindra *provider = hw_test::vindra_provider();
        ASSERT_NE(provider, nullptr);
        provider->set_program_directory(vyr_test::bin_dir());
        CANhwProviderList::global().initialize_all_providers();
        ASSERT_TRUE(platform::ServiceManager::instance().started_here("vrbus"));
        CANhwProviderList::global().enumerate_all_channels();
        ASSERT_EQ(CANhwChannelInfoList::global().find_channel_info("Virtual #1 (Channel 1)"), 0);
    }
    void TearDown() override
    {
        if (hw_test::is_peer_process())
            return;
        CANhwProviderList::global().uninitialize_all_providers();
        EXPECT_FALSE(platform::ServiceManager::is_running("vrbus"));
    }

private:
    std::unique_ptr<hw_test::PrivateDirectories> dirs_;
};

const auto *const environment = ::testing::AddGlobalTestEnvironment(new VirtualBusEnvironment);

// Run as a peer process: opens channel 0 with the flags of the environment,
// reports the result on the socket it was given and holds the handle until
// the socket closes. Disabled, so that a normal run leaves it out rather than
// counting it as skipped.
TEST(PeerProcess, DISABLED_HoldChannel)
{
    if (!hw_test::is_peer_process())
        GTEST_SKIP() << "runs only as the peer of another test";
    const int flags = std::atoi(std::getenv(hw_test::peer_variable));
    const int socket = std::atoi(std::getenv("VYR_HW_TEST_PEER_FD"));
    const int32_t handle = buslibOpen(0, flags);
    ASSERT_EQ(write(socket, &handle, sizeof handle), ssize_t(sizeof handle));
    char c;
    while (read(socket, &c, 1) > 0) {
    }
    if (handle >= 0)
        buslibClose(handle);
}

// Another process holding channel 0 open with given flags.
class Peer
{
public:
    explicit Peer(int flags)
    {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
            return;
        socket_ = pair[0];
        fcntl(socket_, F_SETFD, FD_CLOEXEC);
        setenv(hw_test::peer_variable, std::to_string(flags).c_str(), 1);
        setenv("VYR_HW_TEST_PEER_FD", std::to_string(pair[1]).c_str(), 1);
        const std::string self = "/proc/self/exe";
        std::string filter = "--gtest_filter=PeerProcess.DISABLED_HoldChannel";
        std::string also_disabled = "--gtest_also_run_disabled_tests";
        char *argv[] = {const_cast<char *>(self.c_str()), filter.data(), also_disabled.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, self.c_str(), &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        unsetenv(hw_test::peer_variable);
        unsetenv("VYR_HW_TEST_PEER_FD");
        close(pair[1]);
        pollfd answer{socket_, POLLIN, 0};
        if (pid_ > 0 && poll(&answer, 1, 20000) == 1 && read(socket_, &result_, sizeof result_) == sizeof result_)
            answered_ = true;
    }
    ~Peer()
    {
        if (socket_ >= 0)
            close(socket_); // the peer closes its handle and ends
        if (pid_ > 0)
            waitpid(pid_, nullptr, 0);
    }
    bool answered() const { return answered_; }
    int32_t result() const { return result_; }

private:
    int socket_ = -1;
    pid_t pid_ = -1;
    bool answered_ = false;
    int32_t result_ = 0;
};

TEST(Buslib, OpenFlagsAndExclusivityAcrossProcesses)
{
    using namespace buslib_open;
    constexpr int none = -1; // no peer
    struct Case
    {
        const char *what;
        int peer_flags;
        int flags;
        int expected; // 0: a handle
    };
    const Case cases[] = {
        {"virtual channel without 0x20", none, 0, buslibErrNotUsable},
        {"capability 0x1 present", none, accept_virtual | require_capability, 0},
        {"exclusive", none, accept_virtual | exclusive, 0},
        {"no init access but init required", none, accept_virtual | no_init_access | require_init_access, buslibErrHeld},
        {"shared with a user", accept_virtual, accept_virtual, 0},
        {"shared without init access", accept_virtual, accept_virtual | no_init_access, 0},
        {"exclusive while another uses it", accept_virtual, accept_virtual | exclusive, buslibErrHeld},
        {"init access held by the other", accept_virtual, accept_virtual | require_init_access, buslibErrAccessDenied},
        {"held exclusively", accept_virtual | exclusive, accept_virtual, buslibErrHeld},
        {"override of exclusivity", accept_virtual | exclusive, accept_virtual | override_exclusive, 0},
        {"override, but init access held", accept_virtual | exclusive, accept_virtual | override_exclusive | exclusive,
         buslibErrAccessDenied},
        {"first free channel while one is held: the other", accept_virtual | exclusive, accept_virtual, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<Peer> peer;
        if (c.peer_flags != none) {
            peer = std::make_unique<Peer>(c.peer_flags);
            ASSERT_TRUE(peer->answered());
            ASSERT_GE(peer->result(), 0);
        }
        const int channel = std::string(c.what).rfind("first free", 0) == 0 ? -1 : 0;
        const int handle = buslibOpen(channel, c.flags);
        if (c.expected == 0) {
            EXPECT_GE(handle, 0);
        } else {
            EXPECT_EQ(handle, c.expected);
        }
        if (handle >= 0) {
            EXPECT_EQ(buslibClose(handle), buslibOK);
        }
    }
}

TEST(Buslib, ThirtyThirdOpenHasNoHandle)
{
    std::vector<int> handles;
    for (int i = 0; i < 32; ++i) {
        handles.push_back(buslibOpen(0, buslib_open::accept_virtual));
        ASSERT_GE(handles.back(), 0) << i;
    }
    EXPECT_EQ(buslibOpen(0, buslib_open::accept_virtual), buslibErrNoHandle);
    for (int handle : handles)
        EXPECT_EQ(buslibClose(handle), buslibOK);
    EXPECT_EQ(buslibClose(handles.front()), buslibErrInvalidHandle);
    EXPECT_EQ(buslibOpen(5, buslib_open::accept_virtual), buslibErrParam);
}

TEST(Buslib, WritesThatAreRefused)
{
    const int handle = buslibOpen(0, buslib_open::accept_virtual);
    ASSERT_GE(handle, 0);
    const uint8_t data[65] = {};
    EXPECT_EQ(buslibWrite(handle, 0x10, data, 2, buslib_msg::standard | buslib_msg::extended), buslibErrParam);
    EXPECT_EQ(buslibWrite(handle, 0x10, data, 65, buslib_msg::standard | buslib_msg::can_fd), buslibErrParam);
    EXPECT_EQ(buslibAccept(handle, 0, 1), buslibErrParam);
    EXPECT_EQ(buslibSetOutputMode(handle, 8), buslibErrOutputMode);
    EXPECT_EQ(buslibSetOutputMode(handle, 2), buslibErrParam);
    EXPECT_EQ(buslibIoControl(handle, 18, nullptr, 0), buslibErrParam);
    EXPECT_EQ(buslibClose(handle), buslibOK);
}

TEST(Buslib, OpenAndCloseAfterAFailedWaitForTheGlobalLock)
{
    const int handle = buslibOpen(0, buslib_open::accept_virtual);
    ASSERT_GE(handle, 0);
    buslib_set_lock_timeout_ms(20);
    std::mutex m;
    std::condition_variable cv;
    bool held = false, release = false;
    std::thread holder([&] {
        std::lock_guard<std::timed_mutex> lock(buslib_global_lock());
        std::unique_lock<std::mutex> l(m);
        held = true;
        cv.notify_all();
        cv.wait(l, [&] { return release; });
    });
    {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return held; });
    }
    EXPECT_EQ(buslibOpen(0, buslib_open::accept_virtual), buslibErrInternal);
    // Close goes on without the lock: the handle and its device go.
    EXPECT_EQ(buslibClose(handle), buslibOK);
    EXPECT_EQ(buslibClose(handle), buslibErrInvalidHandle);
    // Neither released the lock the other thread holds.
    EXPECT_FALSE(buslib_global_lock().try_lock());
    {
        std::lock_guard<std::mutex> l(m);
        release = true;
    }
    cv.notify_all();
    holder.join();
    buslib_set_lock_timeout_ms(5000);
    // The channel is free again: no user mark of the closed handle is left.
    const int exclusive = buslibOpen(0, buslib_open::accept_virtual | buslib_open::exclusive);
    EXPECT_GE(exclusive, 0);
    EXPECT_EQ(buslibClose(exclusive), buslibOK);
}

TEST(Buslib, ChannelData)
{
    char name[64] = {};
    ASSERT_EQ(buslibGetChannelData(0, buslib_item::display_name, name, sizeof name), buslibOK);
    EXPECT_STREQ(name, "Virtual #1 (Channel 1)");
    char shortened[8] = {};
    ASSERT_EQ(buslibGetChannelData(0, buslib_item::display_name, shortened, sizeof shortened), buslibOK);
    EXPECT_STREQ(shortened, "Virtual");
    uint32_t word = 0;
    ASSERT_EQ(buslibGetChannelData(0, buslib_item::capability, &word, sizeof word), buslibOK);
    EXPECT_EQ(word, 0x100D1u & 0x3FFFFu);
    EXPECT_EQ(buslibGetChannelData(0, buslib_item::card_type, &word, sizeof word), buslibOK);
    EXPECT_EQ(word, 1u);
    EXPECT_EQ(buslibGetChannelData(0, 12, &word, sizeof word), buslibErrParam); // needs 8 bytes
    EXPECT_EQ(buslibGetChannelData(0, 40, &word, sizeof word), buslibErrParam);
    EXPECT_EQ(buslibGetChannelData(0, buslib_item::card_type, nullptr, 4), buslibErrParam);
    EXPECT_EQ(buslibGetChannelData(buslibChannelCount(), buslib_item::card_type, &word, sizeof word), buslibErrParam);
}

// Statistics reports as the callback receives them.
struct Report
{
    int32_t kind;
    uint32_t seconds, microseconds;
    int32_t value;
    bool operator==(const Report &o) const
    {
        return kind == o.kind && seconds == o.seconds && microseconds == o.microseconds && value == o.value;
    }
};

void PrintTo(const Report &r, std::ostream *os)
{
    *os << "{kind " << r.kind << ", " << r.seconds << " s " << r.microseconds << " us, " << r.value << "}";
}

void record_report(int32_t kind, void *context, uint32_t seconds, uint32_t microseconds, int32_t value)
{
    static_cast<std::vector<Report> *>(context)->push_back({kind, seconds, microseconds, value});
}

// A channel opened the way a CAN interface opens it, on the virtual channel 0.
std::unique_ptr<CANhwChannelVindra> open_channel(int own_index, std::vector<Report> *reports, bool fd = false,
                                                 bool bus_on = true)
{
    std::unique_ptr<CANhwChannel> made = CANhwChannelInfoList::global().make_channel(0);
    std::unique_ptr<CANhwChannelVindra> channel(static_cast<CANhwChannelVindra *>(made.release()));
    EXPECT_EQ(channel->set_notify_target(record_report, reports), canhwSuccess);
    if (fd) {
        EXPECT_EQ(channel->set_fd_mode(true, 0), canhwSuccess);
    }
    EXPECT_EQ(channel->open(false), canhwSuccess);
    EXPECT_EQ(channel->map_rx_queue(), canhwSuccess);
    EXPECT_EQ(channel->set_channel_index(own_index), canhwSuccess);
    EXPECT_EQ(channel->set_bus_params(500000, 5, 2, 1, 1, 0), canhwSuccess);
    EXPECT_EQ(channel->set_output_mode(false), canhwSuccess);
    EXPECT_EQ(channel->reset_clock(), canhwSuccess);
    if (bus_on) {
        EXPECT_EQ(channel->buson(), canhwSuccess);
        EXPECT_EQ(channel->enable_tx_ack(), canhwSuccess);
    }
    return channel;
}

// Reads the next frame, waiting on the channel's event while none is there.
CANhwStatus read_frame(CANhwChannel &channel, VyrCanMessage *message)
{
    platform::WaitHandle event;
    channel.get_event_handle(&event);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const CANhwStatus status = channel.read_can_message(message);
        if (status != canhwNoMessage)
            return status;
        platform::wait_any({event}, 250);
    }
    return canhwNoMessage;
}

VyrCanMessage message(uint32_t id, uint32_t flags, std::vector<uint8_t> data)
{
    VyrCanMessage m;
    m.id = id;
    m.flags = flags;
    m.dlc = uint8_t(data.size());
    std::copy(data.begin(), data.end(), m.data);
    return m;
}

TEST(VindraChannel, ClassicFramesFromOneChannelToAnother)
{
    std::vector<Report> reports;
    auto sender = open_channel(1, &reports);
    auto receiver = open_channel(2, &reports);

    VyrCanMessage standard = message(0x123, 0, {1, 2, 3});
    VyrCanMessage extended = message(0x1ABCDEF, VyrCanMessage::Extended, {9, 8, 7, 6, 5, 4, 3, 2});
    VyrCanMessage remote = message(0x7FF, VyrCanMessage::Remote, {});
    remote.dlc = 4;
    for (VyrCanMessage *m : {&standard, &extended, &remote})
        ASSERT_EQ(sender->write(*m), canhwSuccess);

    for (const VyrCanMessage *sent : {&standard, &extended, &remote}) {
        VyrCanMessage got;
        ASSERT_EQ(read_frame(*receiver, &got), canhwSuccess);
        EXPECT_EQ(got.id, sent->id);
        EXPECT_EQ(got.flags, sent->flags);
        EXPECT_EQ(got.dlc, sent->dlc);
        EXPECT_EQ(got.channel, 2);
        if (!(sent->flags & VyrCanMessage::Remote)) {
            EXPECT_EQ(std::vector<uint8_t>(got.data, got.data + got.dlc),
                      std::vector<uint8_t>(sent->data, sent->data + sent->dlc));
        }
    }
    // The sender sees its own frames as transmit acknowledgements.
    VyrCanMessage echo;
    ASSERT_EQ(read_frame(*sender, &echo), canhwSuccess);
    EXPECT_EQ(echo.id, 0x123u);
    EXPECT_EQ(echo.flags, uint32_t(VyrCanMessage::TxAck));
    EXPECT_EQ(echo.channel, 1);

    EXPECT_EQ(sender->busoff(), canhwSuccess);
    EXPECT_EQ(sender->close(), canhwSuccess);
    EXPECT_EQ(sender->busoff(), canhwErrorInvalidHandle);
}

TEST(VindraChannel, WritesTheVirtualBusDoesNotCarry)
{
    std::vector<Report> reports;
    auto fd_channel = open_channel(1, &reports, true);
    // More than 8 bytes make an FD frame; the virtual bus carries classic frames only.
    VyrCanMessage long_frame = message(0x100, 0, std::vector<uint8_t>(20, 0xAB));
    EXPECT_EQ(fd_channel->write(long_frame), canhwErrorWrongParameter);
    EXPECT_EQ(long_frame.flags, uint32_t(VyrCanMessage::FdFrame));

    // A channel that is not on bus takes nothing: the transmit queue counts as full.
    auto off_bus = open_channel(2, &reports, false, false);
    VyrCanMessage classic = message(0x101, 0, {1});
    EXPECT_EQ(off_bus->write(classic), canhwErrorTxQueueFull);
}

// Frames written together go out in one call to the daemon, in order, up to
// the first that the bus refuses (here an FD frame, which goes alone).
TEST(VindraChannel, FramesWrittenTogetherGoOutInOrderUpToTheFirstRefused)
{
    std::vector<Report> reports;
    auto sender = open_channel(1, &reports, true);
    auto receiver = open_channel(2, &reports);
    std::vector<VyrCanMessage> frames = {message(0x201, 0, {1}), message(0x202, VyrCanMessage::Extended, {2, 2}),
                                         message(0x203, 0, std::vector<uint8_t>(20, 3)), message(0x204, 0, {4})};
    unsigned written = 99;
    EXPECT_EQ(sender->write_frames(frames.data(), unsigned(frames.size()), &written), canhwErrorWrongParameter);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(sender->write_frames(&frames[3], 1, &written), canhwSuccess);
    EXPECT_EQ(written, 1u);
    for (uint32_t id : {0x201u, 0x202u, 0x204u}) {
        VyrCanMessage got;
        ASSERT_EQ(read_frame(*receiver, &got), canhwSuccess);
        EXPECT_EQ(got.id, id);
    }
    VyrCanMessage extra;
    EXPECT_EQ(receiver->read_can_message(&extra), canhwNoMessage);
}

TEST(VindraChannel, FramesReadWithoutTheMappedQueue)
{
    std::vector<Report> reports;
    auto sender = open_channel(1, &reports);
    std::unique_ptr<CANhwChannel> receiver = CANhwChannelInfoList::global().make_channel(0);
    ASSERT_EQ(receiver->open(false), canhwSuccess);
    ASSERT_EQ(receiver->set_channel_index(2), canhwSuccess);
    ASSERT_EQ(receiver->buson(), canhwSuccess);

    VyrCanMessage standard = message(0x321, 0, {4, 5});
    ASSERT_EQ(sender->write(standard), canhwSuccess);
    VyrCanMessage got;
    ASSERT_EQ(read_frame(*receiver, &got), canhwSuccess);
    EXPECT_EQ(got.id, 0x321u);
    EXPECT_EQ(got.dlc, 2);
    EXPECT_EQ(got.flags, 0u); // no mark of a standard identifier that would read as "filtered"
    EXPECT_EQ(got.time, 0u);
    EXPECT_EQ(receiver->read_can_message(&got), canhwNoMessage);
}

// A channel opened and mapped but not on bus, so that only the test writes
// into its queue.
class QueueReaderTest : public ::testing::Test
{
protected:
    void open(bool fd)
    {
        channel = open_channel(3, &reports, fd, false);
        ASSERT_NE(channel->rx_queue(), nullptr);
        filler = std::make_unique<hw_test::QueueFiller>(channel->rx_queue());
    }
    std::vector<Report> reports;
    std::unique_ptr<CANhwChannelVindra> channel;
    std::unique_ptr<hw_test::QueueFiller> filler;
    VyrCanMessage got;
};

TEST_F(QueueReaderTest, TimesComeFromTenMicrosecondUnits)
{
    open(false);
    filler->frame(3, 123456, 0x10, 0, 1, 0);     // 1.23456 s
    filler->frame(3, 345678, 0x11 | kExtendedId, kRemote, 0, 0); // 3.45678 s
    filler->frame(3, 345699, 0x12, kTxAcknowledge | kOverrun | kErrorFrame | kWakeUp | kTransceiverError, 0, 0);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.time, 1234u);
    EXPECT_EQ(got.time_fraction, 56);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.time, 3456u);
    EXPECT_EQ(got.time_fraction, 78);
    EXPECT_EQ(got.id, 0x11u);
    EXPECT_EQ(got.flags, uint32_t(VyrCanMessage::Extended | VyrCanMessage::Remote));
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.time, 3456u);
    EXPECT_EQ(got.time_fraction, 99);
    EXPECT_EQ(got.flags, uint32_t(VyrCanMessage::TxAck | VyrCanMessage::HardwareOverrun | VyrCanMessage::ErrorFrame
                                  | VyrCanMessage::WakeUp | VyrCanMessage::TransceiverError));
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);
    // The drained queue is marked for the driver.
    EXPECT_NE(filler->word(vrbus::queue::kStatusAt) & vrbus::queue::kDrained, 0u);
    EXPECT_EQ(filler->word(vrbus::queue::kReadIndexAt), filler->word(vrbus::queue::kWriteIndexAt));

    // After a clock reset the time line starts again at the next entry.
    ASSERT_EQ(channel->reset_clock(), canhwSuccess);
    filler->frame(3, 250, 0x13, 0, 0, 0);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.time, 2u);
    EXPECT_EQ(got.time_fraction, 50);
}

TEST_F(QueueReaderTest, TimesGoOnAcrossTheWrapOfTheDriverClock)
{
    // The driver's 32-bit count of 10 µs wraps after about 11.9 hours.
    open(false);
    filler->frame(3, 4294900000u, 0x10, 0, 0, 0);          // 42949.00000 s
    filler->frame(3, 67296, 0x11, 0, 0, 0);                // 2^32 + 67296 units: 42950.34592 s
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.time, 42949000u);
    EXPECT_EQ(got.time_fraction, 0);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.time, 42950345u);
    EXPECT_EQ(got.time_fraction, 92);
}

TEST_F(QueueReaderTest, ClassicFrameEndsTheReadAndEntriesOfNoChannelAreDropped)
{
    open(true);
    filler->frame(9, 100, 0x20, 0, 8, 0);  // no channel has own index 9
    filler->frame(3, 200, 0x21, 0, 8, 10); // classic
    filler->frame(3, 300, 0x22, 0, 8, 20);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.id, 0x21u);
    EXPECT_EQ(got.data[0], 10);
    // The next entry is still there, untouched.
    EXPECT_EQ((filler->word(vrbus::queue::kWriteIndexAt) + filler->word(vrbus::queue::kCapacityAt)
               - filler->word(vrbus::queue::kReadIndexAt)) % filler->word(vrbus::queue::kCapacityAt), 1u);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.id, 0x22u);
}

TEST_F(QueueReaderTest, CanFdFramesAreAssembledFromContinuations)
{
    open(true);
    // 20 bytes: a frame entry and one continuation; 64 bytes: four continuations.
    filler->frame(3, 100, 0x30, kFdFrame, 20, 1, kBitRateSwitch);
    filler->continuation(3, 9);
    filler->frame(3, 200, 0x31 | kExtendedId, kFdFrame, 64, 1, kErrorStateIndicator);
    for (int i = 0; i < 4; ++i)
        filler->continuation(3, uint8_t(9 + 14 * i));

    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.id, 0x30u);
    EXPECT_EQ(got.dlc, 20);
    EXPECT_EQ(got.flags, uint32_t(VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(got.data[i], i + 1) << i;

    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.dlc, 64);
    EXPECT_EQ(got.flags, uint32_t(VyrCanMessage::Extended | VyrCanMessage::FdFrame
                                  | VyrCanMessage::ErrorStateIndicator));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(got.data[i], uint8_t(i + 1)) << i;
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);
}

TEST_F(QueueReaderTest, BrokenRunsStayWithinTheRecord)
{
    open(true);
    // A continuation before any frame is dropped and shifts nothing.
    filler->continuation(3, 100);
    filler->frame(3, 100, 0x40, kFdFrame, 12, 1);
    filler->continuation(3, 9);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.id, 0x40u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(got.data[i], i + 1) << i;

    // A length byte above 64 reads as 64; further continuations go nowhere.
    VyrCanMessage guarded[2];
    std::memset(static_cast<void *>(&guarded[1]), 0xEE, sizeof guarded[1]);
    filler->frame(3, 200, 0x41, kFdFrame, 200, 1);
    for (int i = 0; i < 6; ++i)
        filler->continuation(3, uint8_t(9 + 14 * i));
    ASSERT_EQ(channel->read_can_message(&guarded[0]), canhwSuccess);
    EXPECT_EQ(guarded[0].dlc, 64);
    EXPECT_EQ(guarded[0].data[63], 64);
    EXPECT_EQ(guarded[1].id, 0xEEEEEEEEu); // nothing written past the record
    // The loop ended at 64 bytes: the two surplus continuations are dropped by the next read.
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);

    // A frame cut short by another entry ends there; that entry stays for the next read.
    filler->frame(3, 300, 0x42, kFdFrame, 30, 1);
    filler->continuation(3, 9);
    filler->frame(3, 400, 0x43, 0, 1, 50);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.id, 0x42u);
    EXPECT_EQ(got.data[21], 22);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.id, 0x43u);
    EXPECT_EQ(got.data[0], 50);
}

TEST_F(QueueReaderTest, WithoutCanFdTheFrameEntryStandsAlone)
{
    open(false);
    filler->frame(3, 100, 0x50, kFdFrame, 20, 1);
    filler->continuation(3, 9);
    ASSERT_EQ(channel->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.flags, 0u);
    EXPECT_EQ(got.dlc, 20);
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage); // the continuation is dropped
}

uint8_t *counters(hw_test::QueueFiller &filler, uint8_t type, uint32_t time, uint32_t a, uint32_t b, uint32_t c = 0,
                  uint16_t load = 0)
{
    uint8_t *entry = filler.add(type, 3, time);
    canio_put_u32(entry + 8, a);
    canio_put_u32(entry + 12, b);
    canio_put_u32(entry + 16, c);
    entry[20] = uint8_t(load);
    entry[21] = uint8_t(load >> 8);
    filler.commit();
    return entry;
}

TEST_F(QueueReaderTest, StatisticsWithBaselinesAndRates)
{
    open(false);
    // First reports at 1.5 s: baselines; only the bus load is reported.
    counters(*filler, kFrameCounters, 150000, 10, 5, 2, 123);
    counters(*filler, kExtFrameCounters, 150000, 7, 3);
    // Second reports at 3.5 s: counts since the first, and the rate over 2 s.
    counters(*filler, kFrameCounters, 350000, 110, 25, 6, 456);
    counters(*filler, kExtFrameCounters, 350000, 27, 23);
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);
    const std::vector<Report> expected = {
        {canhwStatBusLoad, 1, 500000, 1230},
        {canhwStatBusLoad, 3, 500000, 4560},
        {canhwStatStdFrames, 3, 500000, 120},
        {canhwStatErrorFrames, 3, 500000, 4},
        {canhwStatExtFrames, 3, 500000, 40},
        {canhwStatFrameRate, 3, 500000, 80}, // (120 + 40) frames in 2000 ms
    };
    EXPECT_EQ(reports, expected);

    // Reports of different times give no rate; nor does a pair more than
    // 500 s after the last rate.
    reports.clear();
    counters(*filler, kFrameCounters, 400000, 120, 25, 6, 0);
    counters(*filler, kExtFrameCounters, 50400000, 27, 23);
    counters(*filler, kFrameCounters, 50400000, 120, 25, 6, 0);
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);
    ASSERT_FALSE(reports.empty());
    for (const Report &r : reports)
        EXPECT_NE(r.kind, canhwStatFrameRate);
}

TEST_F(QueueReaderTest, ChipStates)
{
    open(false);
    const std::pair<uint8_t, int32_t> states[] = {{1, canhwBusOff}, {2, canhwBusErrorPassive}, {4, canhwBusWarning},
                                                  {6, canhwBusErrorPassive}, {8, canhwBusErrorActive}};
    for (const auto &state : states) {
        uint8_t *entry = filler->add(kChipState, 3, 150000);
        entry[8] = state.first;
        entry[9] = 17;
        entry[10] = 42;
        filler->commit();
    }
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);
    ASSERT_EQ(reports.size(), 15u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(reports[3 * i], (Report{canhwStatBusStatus, 1, 500000, states[i].second}));
        EXPECT_EQ(reports[3 * i + 1], (Report{canhwStatTxErrorCounter, 1, 500000, 17}));
        EXPECT_EQ(reports[3 * i + 2], (Report{canhwStatRxErrorCounter, 1, 500000, 42}));
    }
}

// Reports carry the entry's time as seconds and microseconds: a whole second
// is the next second with 0 microseconds.
TEST_F(QueueReaderTest, ReportTimesSplitIntoSecondsAndMicroseconds)
{
    open(false);
    const struct {
        uint32_t units; // of 10 µs
        uint32_t seconds, microseconds;
    } cases[] = {{99999, 0, 999990}, {100000, 1, 0}, {100001, 1, 10}, {200000, 2, 0}, {350000, 3, 500000}};
    for (const auto &c : cases) {
        uint8_t *entry = filler->add(kChipState, 3, c.units);
        entry[8] = 8;
        filler->commit();
    }
    EXPECT_EQ(channel->read_can_message(&got), canhwNoMessage);
    ASSERT_EQ(reports.size(), 3 * std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(reports[3 * i].seconds, cases[i].seconds) << cases[i].units;
        EXPECT_EQ(reports[3 * i].microseconds, cases[i].microseconds) << cases[i].units;
    }
}

TEST(VindraChannel, ConnectedChannelsFollowTheirPartner)
{
    std::vector<Report> partner_reports, connected_reports;
    auto partner = open_channel(4, &partner_reports, false, false);
    std::unique_ptr<CANhwChannel> made = CANhwChannelInfoList::global().make_channel(0);
    std::unique_ptr<CANhwChannelVindra> connected(static_cast<CANhwChannelVindra *>(made.release()));
    connected->set_notify_target(record_report, &connected_reports);
    ASSERT_EQ(connected->open(false), canhwSuccess);
    EXPECT_EQ(connected->connect_channel(nullptr), canhwErrorWrongParameter);
    ASSERT_EQ(connected->connect_channel(partner.get()), canhwSuccess);
    ASSERT_EQ(connected->set_channel_index(5), canhwSuccess);
    EXPECT_EQ(connected->set_clock_offset(partner.get()), canhwSuccess);
    EXPECT_EQ(connected->partner(), partner.get());

    // The partner's reader serves entries of the connected channel.
    hw_test::QueueFiller filler(partner->rx_queue());
    filler.frame(5, 100, 0x60, 0, 1, 0);
    uint8_t *chip = filler.add(kChipState, 5, 100);
    chip[8] = 8;
    filler.commit();
    VyrCanMessage got;
    ASSERT_EQ(partner->read_can_message(&got), canhwSuccess);
    EXPECT_EQ(got.channel, 5);
    EXPECT_EQ(partner->read_can_message(&got), canhwNoMessage);
    EXPECT_EQ(connected_reports.size(), 3u);
    EXPECT_TRUE(partner_reports.empty());

    // The partner closes: the connected channel keeps no reference to it.
    partner.reset();
    EXPECT_EQ(connected->partner(), nullptr);
    EXPECT_EQ(connected->close(), canhwSuccess);
}

// Reports counted for a waiting test thread.
struct ReportCounter
{
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

void count_report(int32_t, void *context, uint32_t, uint32_t, int32_t)
{
    auto *counter = static_cast<ReportCounter *>(context);
    std::lock_guard<std::mutex> lock(counter->mutex);
    ++counter->count;
    counter->changed.notify_all();
}

TEST(VindraChannel, ConnectedChannelsStopWhileThePartnerReads)
{
    // A connected channel has no reader of its own: its entries and its
    // callback are served by the partner's realtime thread, which goes on
    // reading while the connected channel stops, clears its callback and is
    // deleted on the GUI thread.
    std::vector<Report> partner_reports;
    auto partner = open_channel(4, &partner_reports, false, false);
    hw_test::QueueFiller filler(partner->rx_queue());
    // The partner's realtime thread: chip-state entries for own index 5, read at once.
    struct Reader
    {
        std::atomic<bool> done{false};
        std::thread thread;
        ~Reader()
        {
            done = true;
            thread.join();
        }
    } reader;
    reader.thread = std::thread([&] {
        VyrCanMessage got;
        while (!reader.done) {
            uint8_t *chip = filler.add(kChipState, 5, 100);
            chip[8] = 8;
            filler.commit();
            partner->read_can_message(&got);
        }
    });
    ReportCounter counter;
    const auto reports_so_far = [&] {
        std::lock_guard<std::mutex> lock(counter.mutex);
        return counter.count;
    };
    for (int round = 0; round < 10; ++round) {
        std::unique_ptr<CANhwChannel> connected = CANhwChannelInfoList::global().make_channel(0);
        connected->set_notify_target(count_report, &counter);
        ASSERT_EQ(connected->open(false), canhwSuccess);
        ASSERT_EQ(connected->connect_channel(partner.get()), canhwSuccess);
        const int before = reports_so_far();
        ASSERT_EQ(connected->set_channel_index(5), canhwSuccess);
        // Its set-up goes on while the partner's thread serves its entries.
        ASSERT_EQ(connected->reset_clock(), canhwSuccess);
        {
            std::unique_lock<std::mutex> lock(counter.mutex);
            ASSERT_TRUE(counter.changed.wait_for(lock, std::chrono::seconds(10),
                                                 [&] { return counter.count > before; }));
        }
        // The stop of a connected channel, while the partner reads on.
        connected->set_notify_target(nullptr, nullptr);
        const int cleared = reports_so_far();
        connected->close();
        connected.reset();
        EXPECT_EQ(reports_so_far(), cleared) << "a report after the callback was cleared";
    }
    EXPECT_TRUE(partner_reports.empty());
}

// A channel of some other provider.
class ForeignChannel : public CANhwChannelVindra
{
public:
    ForeignChannel() : CANhwChannelVindra(0, 0) {}
    const void *provider_data() override { return this; }
};

TEST(VindraChannel, ChannelsOfAnotherProvider)
{
    std::vector<Report> reports;
    auto channel = open_channel(6, &reports, false, false);
    ForeignChannel foreign;
    EXPECT_EQ(channel->set_clock_offset(&foreign), canhwErrorIncompatibleHardware);
    EXPECT_EQ(channel->connect_channel(&foreign), canhwErrorIncompatibleHardware);
    EXPECT_EQ(channel->set_clock_offset(nullptr), canhwErrorWrongParameter);
    EXPECT_EQ(channel->driver_send_block(1, 2, 3), canhwErrorNotImplemented);
    EXPECT_EQ(channel->adjust_clock_offset(1500), canhwSuccess);
}

TEST(VindraChannel, StatusOfAccessLayerResults)
{
    const std::pair<int, CANhwStatus> cases[] = {
        {0, canhwSuccess}, {-1, canhwErrorWrongParameter}, {-2, canhwNoMessage}, {-3, canhwErrorDeviceNotFound},
        {-5, canhwErrorNoHardware}, {-9, canhwErrorOutOfHandles}, {-13, canhwErrorTxQueueFull},
        {-24, canhwErrorDriverFailed}, {-30, canhwErrorInternalError}, {-31, canhwErrorAccessDenied},
        {-6, canhwErrorInternalError},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CANhwChannelVindra::status_from_result(c.first), c.second) << c.first;
}

} // namespace
