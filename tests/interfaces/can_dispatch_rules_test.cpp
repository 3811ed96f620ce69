// The rules of the CAN receive loop and its dispatch, each with its own case,
// on stand-in channels that yield crafted frames, without the bus daemon: the
// CAN FD flags with CAN FD off and on, the frames that reach the transport
// channels, frames that carry another interface's channel number, and
// trigger conditions on remote frames.
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond_can.h"
#include "diag/transport_channel.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/can_tp_channel.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_provider.h"
#include "settings/qtb_config.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int standin_channels = 3;
constexpr int32_t card_type_virtual = 1; // no transceiver warning

std::string standin_name(int index)
{
    return "Stand-in #1 (Channel " + std::to_string(index + 1) + ")";
}

// The channel number of a frame that the stand-in stamps as a driver does.
constexpr uint8_t unstamped = 0xFF;

// A channel that reads the frames its test put into its queue and accepts
// every setting. A frame keeps the channel number the test gave it, else it
// gets the channel's own.
class StandinChannel : public CANhwChannel
{
public:
    StandinChannel(std::deque<VyrCanMessage> &waiting, const void *provider) : m_waiting(waiting), m_provider(provider)
    {
    }
    CANhwStatus read_can_message(VyrCanMessage *message) override
    {
        if (m_waiting.empty())
            return canhwNoMessage;
        *message = m_waiting.front();
        m_waiting.pop_front();
        if (message->channel == unstamped)
            message->channel = uint8_t(m_index);
        return canhwSuccess;
    }
    CANhwStatus set_channel_index(int index) override
    {
        m_index = index;
        return canhwSuccess;
    }
    const void *provider_data() override { return m_provider; }
    bool is_fd_capable() override { return true; }
    CANhwStatus set_fd_mode(bool, int) override { return canhwSuccess; }
    CANhwStatus set_bus_params_fd(long, unsigned, unsigned, unsigned) override { return canhwSuccess; }
    CANhwStatus set_notify_target(CANhwNotifyCallback, void *) override { return canhwSuccess; }
    CANhwStatus open(bool) override { return canhwSuccess; }
    CANhwStatus close() override { return canhwSuccess; }
    CANhwStatus set_acceptance_std(uint32_t, uint32_t) override { return canhwSuccess; }
    CANhwStatus set_acceptance_ext(uint32_t, uint32_t) override { return canhwSuccess; }
    CANhwStatus buson() override { return canhwSuccess; }
    CANhwStatus busoff() override { return canhwSuccess; }
    CANhwStatus map_rx_queue() override { return canhwErrorNotImplemented; }
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
    CANhwStatus get_event_handle(platform::WaitHandle *) override { return canhwErrorNotImplemented; }
    CANhwStatus write(VyrCanMessage &) override { return canhwSuccess; }
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

private:
    std::deque<VyrCanMessage> &m_waiting;
    const void *m_provider;
    int m_index = 0;
};

// Lists its channels itself (it stays out of the program's provider list);
// the frames waiting on each channel are the test's to fill.
class StandinProvider : public CANhwProvider
{
public:
    StandinProvider() : CANhwProvider("Stand-in", nullptr) {}
    int initialize_driver() override { return 0; }
    int uninitialize_driver() override { return 0; }
    int enumerate_channels() override
    {
        for (int i = 0; i < standin_channels; ++i)
            CANhwChannelInfoList::global().append(
                new CANhwChannelInfo(standin_name(i), "Stand-in", "", this, 0, i, i + 1, card_type_virtual, 0));
        return 0;
    }
    std::unique_ptr<CANhwChannel> create_channel(const CANhwChannelInfo &info) override
    {
        return std::make_unique<StandinChannel>(waiting[size_t(info.channel_index())], this);
    }
    std::array<std::deque<VyrCanMessage>, standin_channels> waiting;
};

VyrCanMessage frame(uint32_t id, uint32_t flags, uint8_t dlc = 1)
{
    VyrCanMessage message;
    message.id = id;
    message.flags = flags;
    message.dlc = dlc;
    message.channel = unstamped;
    message.data[0] = uint8_t(id);
    return message;
}

// A transport protocol that notes what its channel was fed.
class NotingProtocol : public TransportProtocol
{
public:
    static std::vector<std::string> noted;
    using TransportProtocol::TransportProtocol;
    void on_frame_received(const uint8_t *, int length, uint32_t key) override
    {
        noted.push_back("received " + hex(key) + " length " + std::to_string(length));
    }
    void on_tx_confirmed(uint32_t key) override { noted.push_back("sent " + hex(key)); }
    void abort() override {}
    void transmit(const uint8_t *, int) override {}
    bool is_busy() const override { return false; }

private:
    static std::string hex(uint32_t key)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%X", key);
        return text;
    }
};
std::vector<std::string> NotingProtocol::noted;

class NotingChannel : public TransportChannel
{
public:
    NotingChannel(uint32_t rx_id, uint32_t tx_id) : TransportChannel("Noting", rx_id, tx_id, "noting") {}
    int send_frame(int32_t, const uint8_t *, int) override { return 0; }
    void on_error(const char *) override {}

protected:
    void packet_received() override {}
    void packet_sent() override {}
};

class CanDispatchRules : public ::testing::Test
{
protected:
    void SetUp() override
    {
        provider.enumerate_channels();
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
    }
    void TearDown() override
    {
        for (VyrCanIf *can : running)
            EXPECT_EQ(can->stop(), 0);
        owned.clear();
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
        CANhwChannelInfoList::global().clear();
    }

    // An interface on the stand-in channel, with a queue that takes what it delivers.
    VyrCanIf *make(int channel, const std::string &connect_to = "")
    {
        QtbConfigGroup group;
        group.write_string("channel", standin_name(channel).c_str());
        group.write_string("connect_to_channel", connect_to.c_str());
        std::unique_ptr<VyrSignalIf> made = create_signal_if("CAN", &group, nullptr, &shell.notification);
        auto *can = dynamic_cast<VyrCanIf *>(made.get());
        EXPECT_NE(can, nullptr);
        made.release();
        owned.emplace_back(can);
        queues.push_back(std::make_unique<VyrMessageQueue>(0, 64, 1000));
        can->add_message_listener(queues.back().get());
        return can;
    }

    // Channel start and bus on in start order, without the receive threads:
    // the test runs the receive loops.
    void start(const std::vector<VyrCanIf *> &interfaces)
    {
        for (int order : {0, 1}) {
            for (VyrCanIf *can : interfaces) {
                if (can->start_order() != order)
                    continue;
                can->set_timer(&shell.wheel, false);
                ASSERT_EQ(can->prepare_start(), 0);
                ASSERT_EQ(can->startup(), 0);
                ASSERT_EQ(can->go_online(), 0);
                running.push_back(can);
            }
        }
    }

    // The frames come in on the channel; one pass of its interface's receive loop.
    void receive(int channel, VyrCanIf *reader, const std::vector<VyrCanMessage> &frames)
    {
        for (const VyrCanMessage &m : frames)
            provider.waiting[size_t(channel)].push_back(m);
        reader->cyclic();
        EXPECT_TRUE(provider.waiting[size_t(channel)].empty());
    }

    // (identifier, flags) of the frames the interface's queue took.
    std::vector<std::pair<uint32_t, uint32_t>> delivered(VyrCanIf *can)
    {
        std::vector<std::pair<uint32_t, uint32_t>> frames;
        VyrMessageQueue &queue = *queues[size_t(std::find_if(owned.begin(), owned.end(),
                                                             [can](const auto &o) { return o.get() == can; }) -
                                                owned.begin())];
        VyrCanMessage m;
        while (queue.get(m) == 0)
            frames.emplace_back(m.id, m.flags);
        return frames;
    }

    VyrTrigger *condition(VyrCanIf *can, const char *name, const char *first, const char *last = "",
                          std::vector<VyrTriggerCondDataCan::ByteTest> byte_tests = {})
    {
        auto *trigger = new VyrTrigger(&triggers, name);
        auto *cond = new VyrTriggerCond(&conditions);
        cond->set_target(trigger);
        cond->set_action(VyrTriggerCond::SetTrigger);
        auto data = std::make_unique<VyrTriggerCondDataCan>();
        data->can_if = QString::fromStdString(can->make_id());
        data->message_id_start = first;
        data->message_id_end = last;
        std::copy(byte_tests.begin(), byte_tests.end(), data->byte_tests.begin());
        cond->set_cond_data(std::move(data));
        return trigger;
    }

    vyr_test::VyrTestShell shell;
    StandinProvider provider;
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    // The queues outlive their interfaces' last receive pass, at the stop.
    std::vector<std::unique_ptr<VyrMessageQueue>> queues;
    std::vector<std::unique_ptr<VyrCanIf>> owned;
    std::vector<VyrCanIf *> running;
};

constexpr uint32_t fd_flags =
    VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch | VyrCanMessage::ErrorStateIndicator;

TEST_F(CanDispatchRules, CanFdFlagsAreClearedWhenCanFdIsOffAndKeptWhenOn)
{
    VyrCanIf *classic = make(0);
    VyrCanIf *fd = make(1);
    fd->set_fd_timing(true, 80000000, 1, 2, 1, 1);
    start({classic, fd});
    const std::vector<VyrCanMessage> frames = {
        frame(0x100, fd_flags | VyrCanMessage::Extended, 12),
        frame(0x101, VyrCanMessage::BitRateSwitch),
        frame(0x102, VyrCanMessage::ErrorStateIndicator | VyrCanMessage::Remote),
    };
    receive(0, classic, frames);
    receive(1, fd, frames);
    using Delivered = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(delivered(classic),
              (Delivered{{0x100, VyrCanMessage::Extended}, {0x101, 0}, {0x102, VyrCanMessage::Remote}}));
    EXPECT_EQ(delivered(fd), (Delivered{{0x100, fd_flags | VyrCanMessage::Extended},
                                        {0x101, VyrCanMessage::BitRateSwitch},
                                        {0x102, VyrCanMessage::ErrorStateIndicator | VyrCanMessage::Remote}}));
}

// Remote, error and transmit-request frames stay away from the transport
// channels; the echo of a sent frame confirms the transmission.
TEST_F(CanDispatchRules, TransportChannelsGetDataFramesAndEchoes)
{
    register_transport_protocol("Noting", [](TransportChannel *channel) -> std::unique_ptr<TransportProtocol> {
        return std::make_unique<NotingProtocol>(channel);
    });
    NotingProtocol::noted.clear();
    VyrCanIf *can = make(0);
    can->script_binding()->tp_channels().add(std::make_unique<NotingChannel>(0x700, 0x701));
    start({can});
    receive(0, can,
            {frame(0x700, 0, 3), frame(0x700, VyrCanMessage::Remote), frame(0x700, VyrCanMessage::ErrorFrame),
             frame(0x700, VyrCanMessage::TxRequest), frame(0x700, VyrCanMessage::Extended),
             frame(0x701, VyrCanMessage::TxAck), frame(0x701, 0), frame(0x700, VyrCanMessage::TxAck)});
    EXPECT_EQ(NotingProtocol::noted, (std::vector<std::string>{"received 700 length 3", "sent 701"}));
    EXPECT_EQ(delivered(can).size(), 8u); // the listeners see every frame
    unregister_transport_protocol("Noting");
}

// A connected interface's frames come through its partner's channel with the
// connected one's number; a number of an interface that is not connected, or
// of none, leaves the frame with the reader.
TEST_F(CanDispatchRules, ChannelNumbersOfOtherInterfaces)
{
    VyrCanIf *reader = make(0);
    VyrCanIf *connected = make(1, reader->make_id());
    VyrCanIf *unconnected = make(2);
    start({reader, connected, unconnected});
    ASSERT_EQ(connected->partner(), reader);
    ASSERT_EQ(unconnected->partner(), nullptr);
    const auto stamped = [](uint32_t id, int channel) {
        VyrCanMessage m = frame(id, 0);
        m.channel = uint8_t(channel);
        return m;
    };
    receive(0, reader,
            {stamped(0x1, reader->message_channel_number()), stamped(0x2, connected->message_channel_number()),
             stamped(0x3, unconnected->message_channel_number()), stamped(0x4, can_channel_count())});
    using Delivered = std::vector<std::pair<uint32_t, uint32_t>>;
    EXPECT_EQ(delivered(reader), (Delivered{{0x1, 0}, {0x3, 0}, {0x4, 0}}));
    EXPECT_EQ(delivered(connected), (Delivered{{0x2, 0}}));
    EXPECT_TRUE(delivered(unconnected).empty());
}

VyrCanMessage with_last_byte(VyrCanMessage message, uint8_t value)
{
    message.data[7] = value;
    return message;
}

// A condition on a remote identifier fires on remote frames of it only, and
// one on a data identifier on data frames only; ranges likewise. The byte
// tests reach the last data byte.
TEST_F(CanDispatchRules, TriggerConditionsTellRemoteFromDataFramesAndTestEveryByte)
{
    VyrCanIf *can = make(0);
    VyrTrigger *data = condition(can, "data", "100h");
    VyrTrigger *remote = condition(can, "remote", "100hr");
    VyrTrigger *remote_range = condition(can, "remote range", "200hr", "2FFh");
    VyrTrigger *extended_remote = condition(can, "extended remote", "100hxr");
    VyrTrigger *error = condition(can, "error", "ERR");
    std::vector<VyrTriggerCondDataCan::ByteTest> last_byte(8);
    last_byte[7] = {true, 0x55, 0xFF, VyrTriggerCondDataCan::Equal};
    VyrTrigger *last_byte_tested = condition(can, "last byte", "400h", "", last_byte);
    const std::vector<VyrTrigger *> all = {data, remote, remote_range, extended_remote, error, last_byte_tested};
    start({can});
    const struct
    {
        VyrCanMessage frame;
        std::vector<VyrTrigger *> fired;
    } cases[] = {
        {frame(0x100, 0), {data}},
        {frame(0x100, VyrCanMessage::Remote), {remote}},
        {frame(0x100, VyrCanMessage::Remote | VyrCanMessage::Extended), {extended_remote}},
        {frame(0x100, VyrCanMessage::Extended), {}},
        {frame(0x200, VyrCanMessage::Remote), {remote_range}},
        {frame(0x2FF, VyrCanMessage::Remote), {remote_range}},
        {frame(0x300, VyrCanMessage::Remote), {}},
        {frame(0x250, 0), {}},
        {frame(0x100, VyrCanMessage::ErrorFrame | VyrCanMessage::Remote), {error}},
        {with_last_byte(frame(0x400, 0, 8), 0x55), {last_byte_tested}},
        {with_last_byte(frame(0x400, 0, 8), 0x54), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.frame.id << " flags " << c.frame.flags);
        for (VyrTrigger *trigger : all)
            trigger->reset();
        receive(0, can, {c.frame});
        for (VyrTrigger *trigger : all)
            EXPECT_EQ(trigger->state() != 0,
                      std::find(c.fired.begin(), c.fired.end(), trigger) != c.fired.end())
                << trigger->name().toStdString();
    }
}

} // namespace
