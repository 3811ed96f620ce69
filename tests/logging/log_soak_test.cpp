// Eight CAN interfaces, each on its own channel of a vrbus daemon with eight
// channels and each logging to an ASCII file through its log writer, flooded
// with numbered frames for a few seconds: every frame is in its channel's log
// or counted as lost in a message of the message window.
#include "bench/receive_road_flood.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if_type.h"
#include "../interfaces/hw_test_support.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/registry.h"
#include "settings/qtb_config.h"
#include "test_paths.h"
#include "vyr_test_shell.h"
#include "windows/logging/log_file.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

constexpr int channels = 8;
constexpr const char *can_types[] = {"CAN", "CAN-RX", "LIN"};

std::string channel_name(int n)
{
    return "Virtual #1 (Channel " + std::to_string(n + 1) + ")";
}

// The daemon of this program with eight channels, started before the CAN
// types' start-up hooks find it running and list its channels.
class EightChannelBus : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_dirs = std::make_unique<hw_test::PrivateDirectories>();
        platform::Registry registry;
        const std::string driver = "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\vrbus";
        ASSERT_EQ(registry.create_key(driver), 0);
        ASSERT_EQ(registry.write_int(driver, "ChannelsPerCard", channels), 0);
        // The start-up hook writes the demo driver's entry of one channel per
        // card over the one above; this second entry lists all eight devices.
        const std::string listed = "SOFTWARE\\VECTOR\\VIVOzozav 1.0\\Drivers\\vrbus8";
        ASSERT_EQ(registry.create_key(listed), 0);
        ASSERT_EQ(registry.write_string(listed, "DriverName", "vrbus"), 0);
        ASSERT_EQ(registry.write_int(listed, "MaxCards", 1), 0);
        ASSERT_EQ(registry.write_int(listed, "ChannelsPerCard", channels), 0);
        m_daemon = hw_test::spawn_vrbus(m_dirs->scratch_path("notify"));
        ASSERT_GT(m_daemon, 0);
        CANhwProviderVindra *provider = hw_test::vindra_provider();
        ASSERT_NE(provider, nullptr);
        provider->set_program_directory(vyr_test::bin_dir());
        for (const char *type : can_types)
            ASSERT_EQ(call_start_up_hook(find_signal_if_type(type)), 0);
        for (int n = 0; n < channels; ++n)
            ASSERT_GE(CANhwChannelInfoList::global().find_channel_info(channel_name(n).c_str()), 0) << n;
    }
    void TearDown() override
    {
        for (const char *type : can_types)
            EXPECT_EQ(call_exit_hook(find_signal_if_type(type)), 0);
        if (m_daemon > 0) {
            kill(m_daemon, SIGTERM);
            waitpid(m_daemon, nullptr, 0);
        }
    }

private:
    std::unique_ptr<hw_test::PrivateDirectories> m_dirs;
    pid_t m_daemon = -1;
};

const auto *const environment = ::testing::AddGlobalTestEnvironment(new EightChannelBus);

// One channel's interface and log file.
struct Channel
{
    std::unique_ptr<VyrSignalIf> made;
    VyrCanIf *can = nullptr;
    std::unique_ptr<LogFile> log;
    QString path;
    int64_t offered = 0;
};

TEST(LogSoak, EveryFrameOfEightFloodedChannelsIsLoggedOrCountedAsLost)
{
    vyr_test::VyrTestShell shell;
    QTemporaryDir dir;
    std::vector<Channel> bus(channels);
    for (int n = 0; n < channels; ++n) {
        Channel &channel = bus[size_t(n)];
        QtbConfigGroup group;
        group.write_string("channel", QString::fromStdString(channel_name(n)));
        channel.made = create_signal_if("CAN", &group, nullptr, &shell.notification);
        channel.can = dynamic_cast<VyrCanIf *>(channel.made.get());
        ASSERT_NE(channel.can, nullptr);
        channel.path = dir.filePath(QStringLiteral("channel%1.txt").arg(n + 1));
        channel.log = LogFileFormat::create("ASCII");
        channel.log->set_interface(channel.can);
        channel.log->set_file_name(channel.path.toLocal8Bit().constData());
        channel.log->set_write_mode(LogFile::Overwrite);
        ASSERT_EQ(channel.log->open(), 0);
        channel.log->set_stopped(false);
        channel.log->start_writer(channel.can);
    }

    // The measurement passes of the program.
    TimerWheel wheel(1024, 0, 1, 200);
    ASSERT_EQ(call_measurement_start_hook(find_signal_if_type("CAN")), 0);
    for (Channel &channel : bus) {
        ASSERT_EQ(channel.can->prepare_start(), 0);
        channel.can->set_timer(&wheel, false);
    }
    for (Channel &channel : bus)
        ASSERT_EQ(channel.can->startup(), 0);
    for (Channel &channel : bus)
        ASSERT_EQ(channel.can->go_online(), 0);
    for (Channel &channel : bus)
        ASSERT_EQ(channel.can->start(), 0);

    // A flood client on every channel: 20,000 frames/s each for three seconds.
    std::vector<std::thread> floods;
    for (int n = 0; n < channels; ++n)
        floods.emplace_back([&bus, n] {
            receive_road::FloodClient flood;
            if (flood.open(5000, char('a' + n)))
                bus[size_t(n)].offered = flood.flood(n, receive_road::Phase{20000, 3.0});
        });
    for (std::thread &flood : floods)
        flood.join();
    for (const Channel &channel : bus)
        ASSERT_EQ(channel.offered, 60000);
    // Until every log has taken its frames, or said what it lost.
    for (Channel &channel : bus)
        receive_road::wait_for(
            [&] { return channel.log->message_count() + channel.log->lost_count() >= uint64_t(channel.offered); },
            30000);
    for (auto it = bus.rbegin(); it != bus.rend(); ++it)
        EXPECT_EQ(it->can->stop(), 0);
    for (Channel &channel : bus) {
        channel.log->stop_writer();
        EXPECT_EQ(channel.log->close(), 0);
    }

    shell.wait_until([] { return false; }, 200); // the lines queued to the GUI thread arrive
    for (int n = 0; n < channels; ++n) {
        SCOPED_TRACE(n + 1);
        const Channel &channel = bus[size_t(n)];
        const size_t logged = receive_road::read_log(channel.path)[n].size();
        uint64_t reported = 0;
        const std::string said = "Log file '" + channel.path.toStdString() + "' lost ";
        for (const vyr_test::VyrTestShell::Line &line : shell.lines) {
            const size_t at = line.text.find(said);
            uint64_t count = 0;
            if (at != std::string::npos && sscanf(line.text.c_str() + at + said.size(), "%" SCNu64, &count) == 1)
                reported += count;
        }
        EXPECT_EQ(logged + reported, uint64_t(channel.offered)) << logged << " logged, " << reported << " reported";
    }
}

} // namespace
