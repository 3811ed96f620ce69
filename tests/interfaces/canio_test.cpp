// The driver access layer without a driver: capability words, the records a
// frame is written as, the drivers' list in the registry and the virtual
// driver's registry entries.
#include "hw_test_support.h"
#include "interfaces/hardware/buslib.h"
#include "interfaces/hardware/canio_device.h"
#include "interfaces/hardware/canio_driver.h"
#include "platform/device_transport.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

TEST(Canio, CapabilityWordFromDriverBits)
{
    // The virtual driver's channel: bits 0, 1, 7, 18, 19, 20.
    EXPECT_EQ(canio_capability_from_driver(0x001C0083), 0x100D1u);
    EXPECT_EQ(canio_capability_from_driver(1u << 3), 0x2u);
    EXPECT_EQ(canio_capability_from_driver(1u << 23 | 1u << 24), buslib_capability::can_fd | buslib_capability::can_fd_non_iso);
    EXPECT_EQ(canio_capability_from_driver(1u << 30), buslib_capability::lin);
    EXPECT_EQ(canio_capability_from_driver(1u << 31 | 1u << 2), 0u);
}

std::vector<uint8_t> data_bytes(unsigned count)
{
    std::vector<uint8_t> data(64);
    for (unsigned i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i + 1);
    data.resize(count);
    return data;
}

TEST(Canio, ClassicFramesAreOneRecord)
{
    using namespace vrbus::record;
    uint8_t records[5 * kSize];
    const std::vector<uint8_t> data = data_bytes(8);

    ASSERT_EQ(buslib_encode_frame(0x1ABCDEF, data.data(), 8, buslib_msg::extended | buslib_msg::tx_request, records), 1);
    EXPECT_EQ(records[kKindAt], kTxFrame);
    EXPECT_EQ(canio_get_u32(records + kIdAt), 0x1ABCDEFu | kExtendedId);
    EXPECT_EQ(records[kFlagsAt], kTxRequest);
    EXPECT_EQ(records[kLengthAt], 8);
    EXPECT_EQ(std::vector<uint8_t>(records + kDataAt, records + kDataAt + 8), data);
    for (int unused : {1, 2, 3, 4, 5, 6, 7})
        EXPECT_EQ(records[unused], 0) << unused;

    ASSERT_EQ(buslib_encode_frame(0x123, data.data(), 2, buslib_msg::standard | buslib_msg::remote
                                  | buslib_msg::wake_up | buslib_msg::transceiver_error, records), 1);
    EXPECT_EQ(canio_get_u32(records + kIdAt), 0x123u);
    EXPECT_EQ(records[kFlagsAt], kRemote | kWakeUp | kTransceiverError);

    // An error frame carries only its flag and no data.
    ASSERT_EQ(buslib_encode_frame(0, data.data(), 8, buslib_msg::error_frame | buslib_msg::remote, records), 1);
    EXPECT_EQ(records[kFlagsAt], kErrorFrame);
    EXPECT_EQ(records[kLengthAt], 0);
}

TEST(Canio, WrongFramesAreRefused)
{
    uint8_t records[5 * vrbus::record::kSize];
    const std::vector<uint8_t> data = data_bytes(64);
    EXPECT_EQ(buslib_encode_frame(1, data.data(), 4, buslib_msg::standard | buslib_msg::extended, records), -1);
    EXPECT_EQ(buslib_encode_frame(1, data.data(), 65, buslib_msg::standard | buslib_msg::can_fd, records), -1);
}

TEST(Canio, CanFdFramesAreRunsOfRecords)
{
    using namespace vrbus::record;
    struct Case
    {
        unsigned length;
        int records;
    };
    for (const Case &c : {Case{8, 1}, Case{9, 2}, Case{20, 2}, Case{22, 2}, Case{23, 3}, Case{64, 5}}) {
        SCOPED_TRACE(c.length);
        uint8_t records[5 * kSize];
        const std::vector<uint8_t> data = data_bytes(c.length);
        const unsigned flags = buslib_msg::standard | buslib_msg::can_fd | buslib_msg::bit_rate_switch;
        ASSERT_EQ(buslib_encode_frame(0x55, data.data(), c.length, flags, records), c.records);
        EXPECT_EQ(records[kKindAt], kTxFrame);
        EXPECT_EQ(records[kFlagsAt], kFdFrame);
        EXPECT_EQ(records[kLengthAt], c.length);
        // The data runs on through the continuations, 8 + 14 + 14 ...
        std::vector<uint8_t> joined(records + kDataAt, records + kDataAt + 8);
        for (int r = 1; r < c.records; ++r) {
            const uint8_t *record = records + r * kSize;
            EXPECT_EQ(record[kKindAt], kContinuation);
            joined.insert(joined.end(), record + kContinuationDataAt, record + kContinuationDataAt + kContinuationBytes);
        }
        for (int r = 0; r < c.records; ++r)
            EXPECT_EQ(records[r * kSize + kFdFlagsAt], kBitRateSwitch) << "record " << r;
        joined.resize(c.length);
        EXPECT_EQ(joined, data);
    }

    // Without the bit-rate switch byte 3 stays 0.
    uint8_t records[5 * kSize];
    const std::vector<uint8_t> data = data_bytes(20);
    ASSERT_EQ(buslib_encode_frame(0x55, data.data(), 20, buslib_msg::standard | buslib_msg::can_fd, records), 2);
    EXPECT_EQ(records[kFdFlagsAt], 0);
    EXPECT_EQ(records[kSize + kFdFlagsAt], 0);
}

TEST(Canio, HandleCallsBeforeInitialisation)
{
    EXPECT_EQ(buslibClose(0), buslibErrNotInitialized);
    EXPECT_EQ(buslibWrite(0, 1, nullptr, 0, buslib_msg::standard), buslibErrNotInitialized);
    uint32_t capability = 7;
    EXPECT_EQ(buslibChannelCapability(0, &capability), buslibErrParam);
    EXPECT_EQ(capability, 0u);
    EXPECT_EQ(buslibChannelCapability(0, nullptr), buslibErrParam);
}

// A stand-in for the daemon on one connection: it takes the open and
// answers every control request with `reply_length` bytes of 0xAB.
class ShortReplyDaemon
{
public:
    explicit ShortReplyDaemon(uint32_t reply_length)
    {
        using namespace platform::device_transport;
        listener_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket_path().c_str(), sizeof address.sun_path - 1);
        if (bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(listener_, 1) != 0)
            return;
        thread_ = std::thread([this, reply_length] {
            const int connection = accept(listener_, nullptr, nullptr);
            uint8_t request[kRequestHeaderSize + 1024];
            while (recv(connection, request, sizeof request, 0) > 0) {
                const bool control = canio_get_u32(request) == kOpIoctl;
                std::vector<uint8_t> reply(kReplyHeaderSize + (control ? reply_length : 0), 0xAB);
                canio_put_u32(reply.data(), 0); // success
                canio_put_u32(reply.data() + 4, control ? reply_length : 0);
                send(connection, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            close(connection);
        });
    }
    ~ShortReplyDaemon()
    {
        if (thread_.joinable())
            thread_.join();
        close(listener_);
    }
    bool listening() const { return thread_.joinable(); }

private:
    int listener_ = -1;
    std::thread thread_;
};

// A driver may answer the 324-byte channel information with fewer bytes; those
// are read in the older layout, which must not run past the 324 bytes kept.
TEST(Canio, ShortChannelInformationStaysInsideItsLayout)
{
    hw_test::PrivateDirectories dirs;
    struct
    {
        CanioChannelInfo info;
        uint8_t after[4] = {};
    } guarded;
    {
        ShortReplyDaemon daemon(323);
        ASSERT_TRUE(daemon.listening());
        platform::DeviceFile device;
        ASSERT_EQ(device.open("vrbus0a.1"), 0);
        ASSERT_EQ(canio_get_channel_info(device, &guarded.info), 0);
        device.close();
    }
    EXPECT_EQ(guarded.info.raw[40], 0); // the four bytes the older layout lacks
    EXPECT_EQ(guarded.info.raw[323], 0xAB);
    for (uint8_t byte : guarded.after)
        EXPECT_EQ(byte, 0);
}

// A map reply that reports success but passes no queue maps nothing and is no success.
TEST(Canio, MapReplyWithoutTheQueueIsAFailure)
{
    hw_test::PrivateDirectories dirs;
    ShortReplyDaemon daemon(4);
    ASSERT_TRUE(daemon.listening());
    platform::DeviceFile device;
    ASSERT_EQ(device.open("vrbus0a.1"), 0);
    void *address = &device;
    EXPECT_NE(device.map_rx_queue(&address), 0);
    EXPECT_EQ(address, nullptr);
    EXPECT_EQ(device.rx_queue(), nullptr);
    EXPECT_EQ(canio_map_rx_queue(device), nullptr);
    device.close();
}

std::string file_text(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class DriverListTest : public ::testing::Test
{
protected:
    void add_driver(const std::string &list, const std::string &name, const std::vector<std::pair<const char *, uint32_t>> &numbers,
                    const char *driver_name = nullptr)
    {
        const std::string key = list + "\\" + name;
        ASSERT_EQ(registry.create_key(key), 0);
        for (const auto &number : numbers)
            ASSERT_EQ(registry.write_int(key, number.first, number.second), 0);
        if (driver_name) {
            ASSERT_EQ(registry.write_string(key, "DriverName", driver_name), 0);
        }
    }
    static std::vector<std::string> device_names()
    {
        std::vector<std::string> names;
        for (const CanioChannelDevice &device : canio_read_channel_devices())
            names.push_back(device.name);
        return names;
    }

    hw_test::PrivateDirectories dirs;
    platform::Registry registry;
    const std::string maker = "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers";
    const std::string vector = "SOFTWARE\\VECTOR\\VIVOzozav 1.0\\Drivers";
};

TEST_F(DriverListTest, DevicesOfEveryDriverInRegistryOrder)
{
    add_driver(maker, "pcican", {{"MaxCards", 2}, {"ChannelsPerCard", 2}, {"TimerEligibility", 0}});
    add_driver(maker, "skipped", {{"ignore", 1}});
    add_driver(vector, "vxl", {}, "VeryLongDriverNameX"); // defaults: 1 card, 5 channels
    EXPECT_EQ(device_names(), (std::vector<std::string>{"VeryLongDriverN", "VeryLongDriverN", "VeryLongDriverN",
                                                         "VeryLongDriverN", "VeryLongDriverN", "pcican0a", "pcican0b",
                                                         "pcican1a", "pcican1b"}));
    const std::vector<CanioChannelDevice> devices = canio_read_channel_devices();
    EXPECT_EQ(devices.front().timer_eligibility, 1);
    EXPECT_EQ(devices.back().timer_eligibility, 0);
}

TEST_F(DriverListTest, DemoEntriesAreVolatileAndOnlyWhatWasMadeIsRemoved)
{
    std::vector<std::string> made;
    ASSERT_EQ(canio_create_demo_registry_entries("vrbus", &made), 0);
    EXPECT_EQ(made, (std::vector<std::string>{"SOFTWARE\\VINDRA AB", "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0", maker,
                                              maker + "\\vrbus"}));
    // Only the driver's name: the daemon serves its own number of channels,
    // and the list probes a card's usual five devices for them.
    EXPECT_EQ(device_names(), (std::vector<std::string>{"vrbus0a", "vrbus0b", "vrbus0c", "vrbus0d", "vrbus0e"}));
    uint32_t value = 0;
    EXPECT_FALSE(registry.read_int(maker + "\\vrbus", "ChannelsPerCard", &value));
    EXPECT_FALSE(registry.read_int(maker + "\\vrbus", "MaxCards", &value));
    std::string name;
    EXPECT_TRUE(registry.read_string(maker + "\\vrbus", "DriverName", &name));
    EXPECT_EQ(name, "vrbus");

    // Nothing reached the machine file: a new session has no virtual driver.
    platform::Registry next_session(platform::Registry::default_machine_file(), dirs.runtime_dir() + "/none.conf");
    EXPECT_FALSE(next_session.key_exists(maker + "\\vrbus"));

    // A second creation finds the keys there and makes none.
    std::vector<std::string> again;
    EXPECT_EQ(canio_create_demo_registry_entries("vrbus", &again), 0);
    EXPECT_TRUE(again.empty());
    canio_remove_demo_registry_entries(again);
    EXPECT_TRUE(registry.key_exists(maker + "\\vrbus"));
    canio_remove_demo_registry_entries(made);
    EXPECT_TRUE(device_names().empty());
    EXPECT_FALSE(registry.key_exists("SOFTWARE\\VINDRA AB"));
}

// A driver key the user stored stays as it is, and so do the keys beside it.
TEST_F(DriverListTest, AStoredDriverKeyIsLeftAsItIs)
{
    add_driver(maker, "vrbus", {{"MaxCards", 1}, {"ChannelsPerCard", 4}});
    add_driver(maker, "pcican", {{"ChannelsPerCard", 1}});
    const std::string stored = file_text(platform::Registry::default_machine_file());
    std::vector<std::string> made;
    ASSERT_EQ(canio_create_demo_registry_entries("vrbus", &made), 0);
    EXPECT_TRUE(made.empty());
    EXPECT_EQ(device_names(), (std::vector<std::string>{"vrbus0a", "vrbus0b", "vrbus0c", "vrbus0d", "pcican0a"}));
    canio_remove_demo_registry_entries(made);
    EXPECT_EQ(file_text(platform::Registry::default_machine_file()), stored);
}

} // namespace
