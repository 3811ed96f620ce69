// The driver's registry values: channel count with its clamps, connected
// channels, per-channel default bus parameters and the debug flags.
#include "tests/driver/vrbus_fixture.h"

using namespace vrbus_test;

namespace {

uint32_t channel_count_with(const std::string &machine_conf)
{
    Daemon daemon(machine_conf);
    EXPECT_TRUE(daemon.ready());
    DeviceFile info;
    EXPECT_EQ(open_device(info, "vrbus0.info"), STATUS_SUCCESS);
    const auto list = control(info, kListChannels, {}, 516);
    EXPECT_EQ(list.status, STATUS_SUCCESS);
    const auto card = control(info, kGetCardInfo, {}, 376);
    EXPECT_EQ(card.word(17), list.word(0));
    return list.word(0);
}

TEST(VrbusSettings, ChannelsPerCardIsClampedToOneToEight)
{
    const struct
    {
        const char *value;
        uint32_t channels;
    } table[] = {{nullptr, 2}, {"0", 1}, {"3", 3}, {"12", 8}, {"\"4\"", 2} /* text: not read */};
    for (const auto &row : table) {
        SCOPED_TRACE(row.value ? row.value : "missing");
        const std::string conf =
            row.value ? std::string(kDriverKey) + "\nChannelsPerCard=" + row.value + "\n" : std::string();
        EXPECT_EQ(channel_count_with(conf), row.channels);
    }
}

TEST(VrbusSettings, ConnectedChannelsShareOneBus)
{
    for (bool connected : {false, true}) {
        SCOPED_TRACE(connected ? "connected" : "separate");
        Daemon daemon(std::string(kOptionsKey) + "\nConnectVirtualChannels=" + (connected ? "1" : "0") + "\n");
        ASSERT_TRUE(daemon.ready());
        auto a = open_on_bus("vrbus0a.1");
        auto b = open_on_bus("vrbus0b.1");
        read_all(*b);
        ASSERT_EQ(write_records(*a, {frame(0x55)}), STATUS_SUCCESS);
        EXPECT_EQ(frames_of(read_all(*b)).size(), connected ? 1u : 0u);
    }
}

TEST(VrbusSettings, ChannelDefaultsComeFromTheRegistryAtTheFirstOpen)
{
    Daemon daemon("[Software\\VINDRA AB\\VIVOzozav 1.0\\defaults\\Virtual0_1]\n"
                  "bitrate=250000\nsjw=2\ntseg1=12\ntseg2=3\nsam=0\n"
                  "[Software\\VINDRA AB\\VIVOzozav 1.0\\defaults\\Virtual0_0]\n"
                  "bitrate=0\nsjw=1\ntseg1=4\ntseg2=3\nsam=0\n");
    ASSERT_TRUE(daemon.ready());
    {
        DeviceFile b;
        ASSERT_EQ(open_device(b, "vrbus0b.init"), STATUS_SUCCESS);
        const auto params = control(b, kGetChipParams, {}, 24);
        EXPECT_EQ(params.status, STATUS_SUCCESS);
        EXPECT_EQ(params.word(0), 250000u);
        EXPECT_EQ(params.word(1), 12u);
        EXPECT_EQ(params.word(2), 3u);
        EXPECT_EQ(params.word(3), 2u);
        EXPECT_EQ(params.word(4), 1u);  // one sample
        EXPECT_EQ(params.word(5), 81u); // 13 × 100 / 16
        ASSERT_EQ(control(b, kSetChipParams, {125000, 4, 3, 1, 3, 0}).status, STATUS_SUCCESS);
        EXPECT_EQ(control(b, kGetChipParams, {}, 24).word(0), 125000u);
    }
    // Settings last only while a slot of the channel is open.
    DeviceFile b;
    ASSERT_EQ(open_device(b, "vrbus0b.3"), STATUS_SUCCESS);
    EXPECT_EQ(control(b, kGetChipParams, {}, 24).word(0), 250000u);
    // A bit rate of 0 cannot be run: all five values take the defaults.
    DeviceFile a;
    ASSERT_EQ(open_device(a, "vrbus0a.3"), STATUS_SUCCESS);
    const auto defaults = control(a, kGetChipParams, {}, 24);
    EXPECT_EQ(defaults.word(0), 500000u);
    EXPECT_EQ(defaults.word(1), 4u);
    EXPECT_EQ(defaults.word(2), 3u);
    EXPECT_EQ(defaults.word(3), 1u);
    EXPECT_EQ(defaults.word(4), 3u); // the default sampling flag: three samples
}

TEST(VrbusSettings, DebugFlagsFromTheRegistryAreLogged)
{
    Daemon daemon(std::string(kOptionsKey) + "\nDebugFlags=16\n");
    ASSERT_TRUE(daemon.ready());
    DeviceFile info;
    ASSERT_EQ(open_device(info, "vrbus0.info"), STATUS_SUCCESS);
    EXPECT_EQ(control(info, 0x80002008, {}, 4).word(0), 16u);
    const auto line = control(info, kGetLogMessage, {}, 81);
    EXPECT_STREQ(reinterpret_cast<const char *>(line.out.data()), "vrbus: debug flags set to 0x10\n");
}

} // namespace
