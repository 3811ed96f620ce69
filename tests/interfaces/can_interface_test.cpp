// The CAN interface on the real vrbus daemon, which the start-up hook of the
// CAN interface types starts through the Vindra provider as the program
// does: channel start through the measurement passes, frames between
// interfaces, channel substitution, partner chains, the statistics timer,
// stop, and the configuration written and read back.
#include "settings/qtb_config.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_listener.h"
#include "core/vyr_signal_list.h"
#include "can_test_support.h"
#include "hw_test_support.h"
#include "vyr_test_shell.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/device_transport.h"
#include "platform/service_manager.h"

#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <mutex>
#include <thread>

namespace {

using can_test::Measurement;
using can_test::virtual_channel;
using can_test::ValueRecorder;
using can_test::eventually;
using can_test::read_until;

// The number of handles the daemon has open on its channels.
int daemon_handle_count()
{
    platform::DeviceFile info;
    info.open("vrbus0.info");
    EXPECT_EQ(info.last_status(), 0u);
    int count = 0;
    for (;; ++count) {
        uint8_t buffer[92] = {};
        buffer[0] = uint8_t(count);
        info.io_control(0x80002098, buffer, sizeof buffer, buffer, sizeof buffer);
        if (info.last_status() != 0)
            return count;
    }
}

class CanInterface : public can_test::CanFixture
{
};

TEST_F(CanInterface, TwoInterfacesExchangeFramesAndStopClosesTheirHandles)
{
    const int handles_before = daemon_handle_count();
    VyrCanIf *first = make("CAN");
    VyrCanIf *second = make("CAN-RX");
    EXPECT_FALSE(second->transmit_allowed());
    VyrMessageQueue first_queue(0, 64, 1000), second_queue(0, 64, 1000);
    first->add_message_listener(&first_queue);
    second->add_message_listener(&second_queue);
    {
        Measurement measurement({first, second});
        ASSERT_EQ(measurement.start(), 0);
        EXPECT_EQ(daemon_handle_count(), handles_before + 2);
        EXPECT_TRUE(shell.has_line("CAN 1: Transceiver type 0 ('UNKNOWN') connected to 'Virtual #1 (Channel 1)'.\n"));
        EXPECT_TRUE(
            shell.has_line("CAN 1: Settings for Virtual #1 (Channel 1): Bitrate 1000000 Bit/s, tseg1=5, tseg2=2.\n"));
        EXPECT_EQ(count_containing("Unknown or no transceiver"), 0u); // the virtual card has none
        EXPECT_TRUE(first->requests_statistics());
        EXPECT_TRUE(first->thread_running());
        EXPECT_TRUE(second->thread_running());
        EXPECT_EQ(first->bus_state(), 3);

        VyrCanMessage frame;
        frame.id = 0x123;
        frame.dlc = 3;
        frame.data[0] = 0xA1;
        frame.data[2] = 0xC3;
        ASSERT_EQ(first->channel()->write(frame), canhwSuccess);
        VyrCanMessage received;
        ASSERT_TRUE(read_until(
            second_queue, [](const VyrCanMessage &m) { return m.id == 0x123; }, &received));
        EXPECT_EQ(received.dlc, 3);
        EXPECT_EQ(received.data[0], 0xA1);
        EXPECT_EQ(received.data[2], 0xC3);
        EXPECT_EQ(received.flags & VyrCanMessage::TxAck, 0u);
        EXPECT_EQ(received.channel, second->message_channel_number());
        // The sender gets its own frame back, marked as transmitted.
        ASSERT_TRUE(read_until(
            first_queue, [](const VyrCanMessage &m) { return m.id == 0x123; }, &received));
        EXPECT_NE(received.flags & VyrCanMessage::TxAck, 0u);
        EXPECT_EQ(received.channel, first->message_channel_number());
    }
    EXPECT_EQ(first->channel(), nullptr);
    EXPECT_EQ(second->channel(), nullptr);
    EXPECT_FALSE(first->thread_running());
    EXPECT_EQ(first->bus_state(), 0);
    EXPECT_EQ(daemon_handle_count(), handles_before);
}

TEST_F(CanInterface, MissingChannelIsSubstitutedOnce)
{
    VyrCanIf *can = make("CAN", "Virtual #7 (Channel 3)");
    {
        Measurement measurement({can});
        ASSERT_EQ(measurement.start(), 0);
        EXPECT_TRUE(shell.has_line("CAN 1: Could not find CAN channel 'Virtual #7 (Channel 3)' - using channel "
                                   "'Virtual #1 (Channel 1)' instead.\n"));
        EXPECT_EQ(can->substitute_channel_name(), QString(virtual_channel));
        EXPECT_EQ(can->channel_number(), 0);
        EXPECT_NE(can->channel(), nullptr);
    }
    shell.lines.clear();
    {
        Measurement measurement({can});
        ASSERT_EQ(measurement.start(), 0);
        EXPECT_EQ(count_containing("Could not find"), 0u);
    }
    // With both channels of the virtual bus taken by other interfaces nothing is left.
    VyrCanIf *first_other = make("CAN");
    VyrCanIf *second_other = make("CAN", "Virtual #1 (Channel 2)");
    can->set_channel_name("Virtual #7 (Channel 3)");
    Measurement measurement({first_other, second_other, can});
    EXPECT_EQ(measurement.start(), -1);
    EXPECT_TRUE(shell.has_line("Error in CAN 1: Invalid CAN channel 'Virtual #7 (Channel 3)'."));
    EXPECT_TRUE(shell.has_line("Error in CAN 1: CAN hardware not found"));
    EXPECT_EQ(first_other->channel(), nullptr); // everything stopped
    EXPECT_EQ(second_other->channel(), nullptr);
}

TEST_F(CanInterface, CanFdIsRefusedOnTheVirtualChannel)
{
    VyrCanIf *can = make("CAN");
    can->set_fd_timing(true, 80000000, 1, 2, 1, 1);
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_TRUE(shell.has_line("Warning in CAN 1: CAN FD not supported on this channel."));
    EXPECT_EQ(count_containing("CANFD failed"), 0u);
}

TEST_F(CanInterface, PartnerChainEndsAtItsLastMember)
{
    VyrCanIf *can1 = make("CAN", virtual_channel, "CAN2");
    VyrCanIf *can2 = make("CAN", virtual_channel, "CAN3");
    VyrCanIf *can3 = make("CAN");
    std::vector<std::unique_ptr<VyrMessageQueue>> queues;
    for (VyrCanIf *can : {can1, can2, can3}) {
        queues.push_back(std::make_unique<VyrMessageQueue>(0, 64, 1000));
        can->add_message_listener(queues.back().get());
    }
    EXPECT_EQ(can1->start_order(), 1);
    EXPECT_EQ(can3->start_order(), 0);
    Measurement measurement({can1, can2, can3});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_EQ(can1->partner(), can3);
    EXPECT_EQ(can2->partner(), can3);
    EXPECT_EQ(can3->partner(), nullptr);
    EXPECT_TRUE(shell.has_line("CAN 1: CAN interface 'CAN 1' connected to 'CAN 3'.\n"));
    EXPECT_TRUE(shell.has_line("CAN 2: CAN interface 'CAN 2' connected to 'CAN 3'.\n"));
    // Connected interfaces run no thread: the partner's reader serves them.
    EXPECT_FALSE(can1->thread_running());
    EXPECT_FALSE(can2->thread_running());
    EXPECT_TRUE(can3->thread_running());

    VyrCanMessage frame;
    frame.id = 0x55;
    frame.dlc = 1;
    ASSERT_EQ(can3->channel()->write(frame), canhwSuccess);
    // The partner's receive loop hands each channel's frames to its own interface.
    for (int i = 0; i < 3; ++i) {
        VyrCanIf *can = std::vector<VyrCanIf *>{can1, can2, can3}[size_t(i)];
        VyrCanMessage received;
        ASSERT_TRUE(read_until(*queues[size_t(i)], [](const VyrCanMessage &m) { return m.id == 0x55; }, &received));
        EXPECT_EQ(received.channel, can->message_channel_number());
    }
}

TEST_F(CanInterface, ConnectionsThatLeadNowhere)
{
    struct Case
    {
        const char *what;
        std::vector<std::pair<const char *, const char *>> interfaces; // type, connect_to_channel
        int result;
        const char *line;
        bool first_connected;
    };
    const Case cases[] = {
        {"a circle behind the first",
         {{"CAN", "CAN2"}, {"CAN", "CAN3"}, {"CAN", "CAN2"}},
         -1,
         "Error in CAN 1: CAN interface 'CAN 1' can't connect to 'CAN2': the connections run in a circle.",
         false},
        {"itself", {{"CAN", "CAN1"}}, 0, "Error in CAN 1: CAN interface 'CAN 1' can't be connected to itself.", false},
        {"a missing interface",
         {{"CAN", "CAN9"}},
         -1,
         "Error in CAN 1: CAN interface 'CAN 1' unable to connect to 'CAN9' - interface not found.",
         false},
        {"a LIN interface is no partner",
         {{"CAN", "LIN1"}, {"LIN", ""}},
         -1,
         "Error in CAN 1: CAN interface 'CAN 1' unable to connect to 'LIN1' - interface not found.",
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        owned.clear();
        shell.lines.clear();
        std::vector<VyrCanIf *> started;
        for (const auto &[type, connect_to] : c.interfaces)
            started.push_back(make(type, virtual_channel, connect_to));
        Measurement measurement(started);
        EXPECT_EQ(measurement.start(), c.result);
        EXPECT_TRUE(shell.has_line(c.line));
        EXPECT_EQ(started.front()->partner() != nullptr, c.first_connected);
    }
}

TEST_F(CanInterface, PartnerWithoutOpenChannelLeavesTheInterfaceUnconnected)
{
    VyrCanIf *can1 = make("CAN", virtual_channel, "CAN2");
    make("CAN"); // not part of the measurement: no open channel
    Measurement measurement({can1});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_EQ(can1->partner(), nullptr);
    EXPECT_TRUE(can1->thread_running());
    EXPECT_EQ(count_containing("CAN interface 'CAN 1' connected"), 0u);
}

TEST_F(CanInterface, StatisticsTimerUpdatesTheStatisticSignals)
{
    VyrCanIf *can = make("CAN");
    VyrCanIf *sender = make("CAN");
    const VyrCanIf::Statistic followed[] = {VyrCanIf::BusLoad, VyrCanIf::MessageRate, VyrCanIf::BusStatus,
                                            VyrCanIf::StandardMessages, VyrCanIf::RxErr};
    std::map<VyrCanIf::Statistic, ValueRecorder> recorders;
    for (VyrCanIf::Statistic which : followed)
        ASSERT_EQ(can->add_signal_listener(&recorders[which], can->statistic_signal(which)), 0);

    VyrMessageQueue queue(0, 64, 1000);
    can->add_message_listener(&queue);
    Measurement measurement({can, sender});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_TRUE(can->requests_statistics());
    EXPECT_FALSE(sender->requests_statistics()); // the second interface on the channel

    // First report: the counters' baselines, the bus load and the chip state
    // (after the one that going on bus sent), read by the receive loop.
    measurement.wheel.advance(999);
    EXPECT_TRUE(recorders[VyrCanIf::BusLoad].taken().empty());
    measurement.wheel.advance(1000);
    ASSERT_TRUE(eventually([&] {
        return recorders[VyrCanIf::BusLoad].taken().size() == 1 && recorders[VyrCanIf::BusStatus].taken().size() >= 2 &&
            recorders[VyrCanIf::RxErr].taken().size() == recorders[VyrCanIf::BusStatus].taken().size();
    }));
    EXPECT_EQ(recorders[VyrCanIf::BusStatus].taken().back().int_value, 3);
    EXPECT_STREQ(can->statistic_signal(VyrCanIf::BusStatus)->value_text(3), "ACTIVE");
    EXPECT_EQ(recorders[VyrCanIf::RxErr].taken().size(), recorders[VyrCanIf::BusStatus].taken().size());
    EXPECT_TRUE(recorders[VyrCanIf::StandardMessages].taken().empty());

    // A burst of frames, then the next report one timer period later.
    constexpr int burst = 60;
    for (int i = 0; i < burst; ++i) {
        VyrCanMessage frame;
        frame.id = 0x100 + uint32_t(i);
        frame.dlc = 8;
        ASSERT_EQ(sender->channel()->write(frame), canhwSuccess);
    }
    int received = 0;
    ASSERT_TRUE(read_until(queue, [&](const VyrCanMessage &m) { return ++received == burst; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    measurement.wheel.advance(2000);
    ASSERT_TRUE(eventually([&] {
        return recorders[VyrCanIf::BusLoad].taken().size() == 2 &&
            !recorders[VyrCanIf::StandardMessages].taken().empty() && !recorders[VyrCanIf::MessageRate].taken().empty();
    }));

    const std::vector<SignalValue> load = recorders[VyrCanIf::BusLoad].taken();
    ASSERT_EQ(load.size(), 2u);
    EXPECT_EQ(load[1].type, uint32_t(SignalValue::Double));
    EXPECT_GT(load[1].double_value, 0.0);
    EXPECT_LE(load[1].double_value, 100.0);
    const std::vector<SignalValue> standard = recorders[VyrCanIf::StandardMessages].taken();
    ASSERT_EQ(standard.size(), 1u);
    EXPECT_EQ(standard[0].type, uint32_t(SignalValue::Int));
    EXPECT_EQ(standard[0].int_value, burst);
    const std::vector<SignalValue> rate = recorders[VyrCanIf::MessageRate].taken();
    ASSERT_FALSE(rate.empty());
    EXPECT_GT(rate.back().int_value, 0);
    EXPECT_EQ(can->statistic_signal(VyrCanIf::StandardMessages)->state(), SignalRecord::NewValue);
    EXPECT_EQ(can->bus_state(), 3);
    measurement.stop();
    // Stop took the timer off the wheel: no request reaches the closed channel.
    measurement.wheel.advance(5000);
    EXPECT_EQ(recorders[VyrCanIf::BusLoad].taken().size(), 2u);
    can->clear_signal_listeners();
}

// Channel records of other card and transceiver types on the daemon's
// channel: the listing differs, the channel objects are the real ones.
class OtherHardware : public CanInterface
{
protected:
    void SetUp() override
    {
        CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
        infos.append(new CANhwChannelInfo("LINbox #1 (Channel 1)", "LINbox", "", hw_test::vindra_provider(), 0, 0, 1, 2,
                                          canhwTransceiverLin));
        infos.append(
            new CANhwChannelInfo("Card #1 (Channel 1)", "Card", "", hw_test::vindra_provider(), 0, 0, 1, 3, 0));
        infos.append(new CANhwChannelInfo("Hybrid #1 (Channel 1)", "Hybrid", "", hw_test::vindra_provider(), 0, 0, 1,
                                          84, canhwTransceiverCanFdLin));
        infos.append(new CANhwChannelInfo("Orphan #1 (Channel 1)", "Orphan", "", nullptr, 0, 0, 1, 3, 0));
        infos.append(new CANhwChannelInfo("Gone #1 (Channel 9)", "Gone", "", hw_test::vindra_provider(), 0, 9, 9, 1, 0));
    }
    void TearDown() override { CANhwProviderList::global().enumerate_all_channels(); }
};

TEST_F(OtherHardware, LinCableForcesItsTiming)
{
    struct Case
    {
        const char *what;
        int bitrate, tseg1, tseg2, sjw, samples;
        bool silent;
        bool forced;
    };
    const Case cases[] = {
        {"the first cable timing", 500000, 5, 2, 1, 1, false, false},
        {"the second cable timing", 500000, 11, 4, 1, 1, false, false},
        {"another bitrate", 250000, 5, 2, 1, 1, false, true},
        {"another sjw", 500000, 11, 4, 2, 1, false, true},
        {"three samples", 500000, 5, 2, 1, 3, false, true},
        {"silent", 500000, 11, 4, 1, 1, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        owned.clear();
        shell.lines.clear();
        VyrCanIf *can = make("CAN", "LINbox #1 (Channel 1)");
        can->set_bit_timing(c.bitrate, c.tseg1, c.tseg2, c.sjw, c.samples);
        can->set_silent_mode(c.silent);
        Measurement measurement({can});
        ASSERT_EQ(measurement.start(false), 0);
        EXPECT_TRUE(shell.has_line("CAN 1: Transceiver type 19 ('LIN') connected to 'LINbox #1 (Channel 1)'.\n"));
        EXPECT_EQ(shell.has_line("Warning in CAN 1: LIN cable detected - forcing bitrate to 500 kBit/s, tseg1=5, "
                                 "tseg2=2."),
                  c.forced);
        if (c.forced) {
            EXPECT_EQ(std::vector<int>({can->bitrate(), can->tseg1(), can->tseg2(), can->sjw(), can->samples()}),
                      std::vector<int>({500000, 5, 2, 1, 1}));
            EXPECT_FALSE(can->silent_mode());
        } else {
            EXPECT_EQ(can->tseg1(), c.tseg1);
        }
        EXPECT_EQ(count_containing("Unknown or no transceiver"), 0u);
    }
}

TEST_F(OtherHardware, CardWithoutTransceiverIsReported)
{
    VyrCanIf *can = make("CAN", "Card #1 (Channel 1)");
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(false), 0);
    EXPECT_TRUE(shell.has_line("Warning in CAN 1: Unknown or no transceiver connected to interface 'Card #1 (Channel "
                               "1)'."));
}

TEST_F(OtherHardware, StartsThatFail)
{
    struct Case
    {
        const char *what;
        const char *channel;
        int bitrate;
        int result;
        const char *line;
    };
    const Case cases[] = {
        {"no provider creates the channel", "Orphan #1 (Channel 1)", 1000000, -1,
         "Error in CAN 1: Creation of CAN handle for channel 'Orphan #1 (Channel 1)' failed."},
        {"the channel does not open", "Gone #1 (Channel 9)", 1000000, -1,
         "Error in CAN 1: Open CAN channel 'Gone #1 (Channel 9)' failed (ErrorWrongParameter)."},
        {"a bitrate the channel refuses", virtual_channel, 0, 0,
         "Warning in CAN 1: Set CAN bus params failed (ErrorWrongParameter)."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        owned.clear();
        shell.lines.clear();
        VyrCanIf *can = make("CAN", c.channel);
        can->set_bit_timing(c.bitrate, 5, 2, 1, 1);
        Measurement measurement({can});
        EXPECT_EQ(measurement.start(false), c.result);
        EXPECT_TRUE(shell.has_line(c.line));
    }
    owned.clear();
    shell.lines.clear();
    EXPECT_EQ(make("CAN")->go_online(), -1); // no channel start before it
    EXPECT_TRUE(shell.has_line("Error in CAN 1: CAN startup failed - no handle."));
}

TEST_F(OtherHardware, HybridChannelRefusesTwoModes)
{
    VyrCanIf *can = make("CAN", "Hybrid #1 (Channel 1)");
    VyrCanIf *lin = make("LIN", "Hybrid #1 (Channel 1)");
    EXPECT_EQ(VyrCanIf::channel_name_list(1, false), QStringList({"LINbox #1 (Channel 1)", "Hybrid #1 (Channel 1)"}));
    Measurement measurement({can, lin});
    EXPECT_EQ(measurement.start(false), -1);
    EXPECT_TRUE(shell.has_line("Error in LIN 1: Open CAN channel 'Hybrid #1 (Channel 1)' failed, conflict in Hybrid "
                               "channel mode detected."));
    EXPECT_EQ(can->channel(), nullptr);
}

// A channel of the same card takes over the clock of the channel started
// before it; a channel of another card is moved back by that one's head start.
TEST_F(OtherHardware, ChannelsStartedLaterKeepTheClockOfTheFirst)
{
    for (const char *second_channel : {virtual_channel, "Card #1 (Channel 1)"}) {
        SCOPED_TRACE(second_channel);
        owned.clear();
        VyrCanIf *first = make("CAN");
        VyrCanIf *second = make("CAN", second_channel);
        TimerWheel wheel(1024, 0, 1, 200);
        for (VyrCanIf *can : {first, second})
            can->set_timer(&wheel, false);
        ASSERT_EQ(first->startup(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(second->startup(), 0);
        for (VyrCanIf *can : {first, second})
            ASSERT_EQ(can->go_online(), 0);
        VyrCanMessage frame;
        frame.id = 0x77;
        ASSERT_EQ(first->channel()->write(frame), canhwSuccess);
        VyrCanMessage echo, received;
        ASSERT_TRUE(read_until(first->channel(), [](const VyrCanMessage &m) { return m.id == 0x77; }, &echo));
        ASSERT_TRUE(read_until(second->channel(), [](const VyrCanMessage &m) { return m.id == 0x77; }, &received));
        EXPECT_GE(echo.time, 300u);
        EXPECT_NEAR(double(received.time), double(echo.time), 50.0);
        for (VyrCanIf *can : {second, first})
            EXPECT_EQ(can->stop(), 0);
    }
}

TEST_F(CanInterface, NotificationCodesReachTheirStatisticSignals)
{
    VyrCanIf *can = make("CAN");
    std::map<int, ValueRecorder> recorders;
    for (int code = 0; code < VyrCanIf::statistic_count; ++code) {
        const auto which = VyrCanIf::Statistic(code);
        ASSERT_EQ(can->add_signal_listener(&recorders[code], can->statistic_signal(which)), 0);
    }
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    // The receive loop takes the chip state that going on bus reported; no
    // further report comes before the statistics timer runs.
    ASSERT_TRUE(eventually([&] { return !recorders[VyrCanIf::RxErr].taken().empty(); })); // the last of the report
    struct Case
    {
        int code;
        const char *signal;
        int32_t value;
        bool is_double;
        double expected;
    };
    const Case cases[] = {
        {0, "Statistic.BusLoad", 4560, true, 4.56},
        {0, "Statistic.BusLoad", -1, true, 4294967.295}, // taken as unsigned
        {1, "Statistic.StandardMessages", 120, false, 120},
        {2, "Statistic.ExtendedMessages", 40, false, 40},
        {3, "Statistic.ErrorFrames", 4, false, 4},
        {4, "Statistic.RxErr", 42, false, 42},
        {5, "Statistic.TxErr", 17, false, 17},
        {6, "Statistic.BusStatus", 1, false, 1},
        {7, "Statistic.MessageRate", 80, false, 80},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.signal);
        VyrCanIf::notify(c.code, can, 12, 345000, c.value);
        const SignalValue last = recorders[c.code].taken().back();
        EXPECT_STREQ(can->statistic_signal(VyrCanIf::Statistic(c.code))->name(), c.signal);
        EXPECT_EQ(last.seconds, 12u);
        EXPECT_EQ(last.microseconds, 345000u);
        if (c.is_double) {
            EXPECT_EQ(last.type, uint32_t(SignalValue::Double));
            EXPECT_DOUBLE_EQ(last.double_value, c.expected);
        } else {
            EXPECT_EQ(last.type, uint32_t(SignalValue::Int));
            EXPECT_EQ(last.int_value, int32_t(c.expected));
        }
        SignalValue stored;
        can->statistic_signal(VyrCanIf::Statistic(c.code))->get_value(stored);
        EXPECT_EQ(stored.seconds, 12u);
    }
    EXPECT_EQ(can->bus_state(), 1);
    VyrCanIf::notify(8, can, 13, 0, 5); // beyond the statistics: ignored
    for (auto &[code, recorder] : recorders)
        EXPECT_EQ(recorder.taken().back().seconds, 12u) << code;
    measurement.stop();
    can->clear_signal_listeners();
}

TEST_F(CanInterface, NewInterfaceTakesTheFirstFreeChannel)
{
    VyrCanIf *first = make("CAN", "");
    first->init_new();
    EXPECT_EQ(first->channel_name(), QString(virtual_channel));
    VyrCanIf *second = make("CAN-RX", "");
    second->init_new();
    EXPECT_EQ(second->channel_name(), QString("Virtual #1 (Channel 2)"));
    VyrCanIf *third = make("CAN", "");
    third->init_new();
    EXPECT_EQ(third->channel_name(), QString("--- Not Assigned ---"));
    EXPECT_EQ(VyrCanIf::channel_name_list(0, true), QStringList({virtual_channel, "Virtual #1 (Channel 2)"}));
    EXPECT_TRUE(VyrCanIf::channel_name_list(1, false).isEmpty()); // no LIN-capable channel
}

} // namespace
