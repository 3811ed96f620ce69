// The hardware framework: status and transceiver names, the provider list,
// the channel-info list with its index cache, and the base channel's answers.
#include "interfaces/hardware/can_hw_channel.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_provider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CanHwStatus, NamesByCode)
{
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "Success"},          {1, "NoMessage"},          {6, "ErrorNotImplemented"},
        {14, "ErrorInvalidHandle"}, {24, "ErrorInternalError"}, {28, "ErrorHardwareBusy"},
        {29, "Unknown"},         {-1, "Unknown"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(status_name(c.first), c.second) << c.first;
}

TEST(CanHwStatus, TransceiverNames)
{
    EXPECT_STREQ(transceiver_name(0), "UNKNOWN");
    EXPECT_STREQ(transceiver_name(5), "SingleWire (Prototype)");
    EXPECT_STREQ(transceiver_name(19), "LIN");
    EXPECT_STREQ(transceiver_name(24), "CANFD/LIN");
    EXPECT_STREQ(transceiver_name(72), "LINX_LS");
    for (int gap : {21, 23, 25, 65, 73, -1})
        EXPECT_STREQ(transceiver_name(gap), "Unknown") << gap;
}

TEST(CanHwMessage, RecordLayout)
{
    EXPECT_EQ(offsetof(VyrCanMessage, time), 4u);
    EXPECT_EQ(offsetof(VyrCanMessage, channel), 8u);
    EXPECT_EQ(offsetof(VyrCanMessage, dlc), 9u);
    EXPECT_EQ(offsetof(VyrCanMessage, time_fraction), 11u);
    EXPECT_EQ(offsetof(VyrCanMessage, flags), 12u);
    EXPECT_EQ(offsetof(VyrCanMessage, data), 16u);
}

// A channel that implements only what is pure, so the base class answers the rest.
class BareChannel : public CANhwChannel
{
public:
    const void *provider_data() override { return this; }
    CANhwStatus set_notify_target(CANhwNotifyCallback, void *) override { return canhwSuccess; }
    CANhwStatus open(bool) override { return canhwSuccess; }
    CANhwStatus close() override { return canhwSuccess; }
    CANhwStatus set_acceptance_std(uint32_t, uint32_t) override { return canhwSuccess; }
    CANhwStatus set_acceptance_ext(uint32_t, uint32_t) override { return canhwSuccess; }
    CANhwStatus buson() override { return canhwSuccess; }
    CANhwStatus busoff() override { return canhwSuccess; }
    CANhwStatus map_rx_queue() override { return canhwSuccess; }
    CANhwStatus lock_rx_queue() override { return canhwSuccess; }
    CANhwStatus unlock_rx_queue() override { return canhwSuccess; }
    CANhwStatus set_output_mode(bool) override { return canhwSuccess; }
    CANhwStatus get_output_mode(bool *) override { return canhwSuccess; }
    CANhwStatus set_bus_params(long, unsigned, unsigned, unsigned, unsigned, unsigned) override
    {
        return canhwSuccess;
    }
    CANhwStatus get_bus_params(long *, unsigned *, unsigned *, unsigned *, unsigned *, unsigned *) override
    {
        return canhwSuccess;
    }
    CANhwStatus reset_clock() override { return canhwSuccess; }
    CANhwStatus set_transceiver_mode(int) override { return canhwSuccess; }
    CANhwStatus get_transceiver_mode(int *) override { return canhwSuccess; }
    CANhwStatus request_statistic(int) override { return canhwSuccess; }
    CANhwStatus request_chip_state(int) override { return canhwSuccess; }
    CANhwStatus get_event_handle(platform::WaitHandle *) override { return canhwSuccess; }
    CANhwStatus write(VyrCanMessage &) override { return canhwSuccess; }
    CANhwStatus read_can_message(VyrCanMessage *) override { return canhwNoMessage; }
    CANhwStatus set_channel_index(int) override { return canhwSuccess; }
    CANhwStatus flush_rx_queue() override { return canhwSuccess; }
    CANhwStatus connect_channel(CANhwChannel *) override { return canhwSuccess; }
    CANhwStatus set_clock_offset(CANhwChannel *) override { return canhwSuccess; }
    CANhwStatus adjust_clock_offset(int) override { return canhwSuccess; }
    CANhwStatus enable_timer_events(bool) override { return canhwSuccess; }
    CANhwStatus enable_tx_ack() override { return canhwSuccess; }
    CANhwStatus enable_tx_ack_again() override { return canhwSuccess; }
    CANhwStatus driver_send_block(uint32_t, uint32_t, uint32_t) override { return canhwSuccess; }
    CANhwStatus reserved_block(uint32_t, uint32_t, uint32_t) override { return canhwSuccess; }
    CANhwStatus driver_send_command(uint32_t, uint32_t, uint32_t, uint32_t) override { return canhwSuccess; }
};

TEST(CanHwChannel, BaseAnswersForUnsupportedOperations)
{
    BareChannel channel;
    EXPECT_FALSE(channel.is_driver_backed());
    EXPECT_FALSE(channel.is_fd_capable());
    EXPECT_EQ(channel.set_fd_mode(true, 0), canhwErrorNotImplemented);
    EXPECT_EQ(channel.set_bus_params_fd(2000000, 2, 1, 1), canhwErrorNotImplemented);
    EXPECT_EQ(channel.reserved_query(0, 0), canhwErrorNotImplemented);
}

// A provider that lists a fixed set of channel names and records its calls.
// It stays out of the global provider list: the tests build their own lists.
class ListingProvider : public CANhwProvider
{
public:
    ListingProvider(const char *name, std::vector<std::string> channels, std::vector<std::string> *calls)
        : CANhwProvider(name, nullptr), channels_(std::move(channels)), calls_(calls)
    {
    }
    int initialize_driver() override { return record("init") + init_result; }
    int uninitialize_driver() override { return record("exit"); }
    int enumerate_channels() override
    {
        int index = 0;
        for (const std::string &name : channels_)
            CANhwChannelInfoList::global().append(
                new CANhwChannelInfo(name, "card", "", this, 0, index++, 1, 0, 0));
        return record("enum");
    }
    std::unique_ptr<CANhwChannel> create_channel(const CANhwChannelInfo &) override
    {
        record("create");
        return std::make_unique<BareChannel>();
    }
    int init_result = 0;

private:
    int record(const char *what)
    {
        calls_->push_back(short_name() + ":" + what);
        return 0;
    }
    std::vector<std::string> channels_;
    std::vector<std::string> *calls_;
};

class ProviderListTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (CANhwProvider *p : {&first, &second})
            list.remove(p);
        CANhwChannelInfoList::global().clear();
    }
    std::vector<std::string> calls;
    ListingProvider first{"A", {"A #1 (Channel 1)", "shared"}, &calls};
    ListingProvider second{"B", {"shared", "B #1 (Channel 1)"}, &calls};
    CANhwProviderList list;
};

TEST_F(ProviderListTest, ProvidersRunInListOrderAndRemovalRelinks)
{
    list.append(&first);
    list.append(&second);
    ASSERT_EQ(list.count(), 2);
    first.init_result = -3; // a failed start-up is counted and stops nobody
    EXPECT_EQ(list.initialize_all_providers(), 1);
    EXPECT_EQ(list.enumerate_all_channels(), 0);
    EXPECT_EQ(list.uninitialize_all_providers(), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"A:init", "B:init", "A:enum", "B:enum", "A:exit", "B:exit"}));

    list.remove(&first);
    EXPECT_EQ(list.count(), 1);
    EXPECT_EQ(list.head(), &second);
    list.remove(&second);
    EXPECT_EQ(list.head(), nullptr);
    list.append(&first); // the tail was reset with the last removal
    EXPECT_EQ(list.head(), &first);
    EXPECT_EQ(first.next(), nullptr);
}

TEST_F(ProviderListTest, ChannelLookupsByNameAndIndex)
{
    list.append(&first);
    list.append(&second);
    list.enumerate_all_channels();
    CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    ASSERT_EQ(infos.channel_info_count(), 4);

    // Two records share a name: the first in list order wins.
    EXPECT_EQ(infos.find_channel_info("shared"), 1);
    EXPECT_EQ(infos.channel_info(1)->provider(), &first);
    EXPECT_EQ(infos.find_channel_info("B #1 (Channel 1)"), 3);
    EXPECT_EQ(infos.find_channel_info("b #1 (channel 1)"), -1);
    EXPECT_EQ(infos.find_channel_info(nullptr), -1);

    EXPECT_STREQ(infos.channel_name(3), "B #1 (Channel 1)");
    for (int out : {-1, 4}) {
        EXPECT_EQ(infos.channel_info(out), nullptr);
        EXPECT_EQ(infos.channel_name(out), nullptr);
        EXPECT_EQ(infos.make_channel(out), nullptr);
    }

    // The record's provider creates the channel object.
    EXPECT_NE(infos.make_channel(2), nullptr);
    EXPECT_EQ(calls.back(), "B:create");
}

TEST_F(ProviderListTest, EnumerationDropsTheIndexCache)
{
    list.append(&first);
    list.enumerate_all_channels();
    CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    ASSERT_STREQ(infos.channel_name(0), "A #1 (Channel 1)"); // builds the cache

    list.remove(&first);
    list.append(&second);
    list.enumerate_all_channels();
    ASSERT_EQ(infos.channel_info_count(), 2);
    EXPECT_STREQ(infos.channel_name(0), "shared");
    EXPECT_EQ(infos.channel_info(0)->provider(), &second);

    // An append after a lookup is seen by the next lookup.
    infos.append(new CANhwChannelInfo("late", "card", "", nullptr, -1, 0, 1, 0, 0));
    EXPECT_STREQ(infos.channel_name(2), "late");
    EXPECT_EQ(infos.make_channel(2), nullptr); // no provider
}

TEST(CanHwChannelInfoList, EmptyList)
{
    CANhwChannelInfoList infos;
    EXPECT_EQ(infos.channel_info_count(), 0);
    EXPECT_EQ(infos.channel_info(0), nullptr);
    EXPECT_EQ(infos.find_channel_info("x"), -1);
}

} // namespace
