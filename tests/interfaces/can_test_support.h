#pragma once
// Test support for CAN interfaces on the real vrbus daemon: the CAN types'
// start-up and exit hooks around the test program (the first starts the
// daemon through the Vindra provider, as the program does), and the
// measurement passes over a set of interfaces.
#include "settings/qtb_config.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_listener.h"
#include "core/vyr_signal_if_type.h"
#include "diag/transport_channel.h"
#include "hw_test_support.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "test_paths.h"
#include "vyr_test_shell.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <sys/wait.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <memory>
#include <vector>

namespace can_test {

constexpr const char *virtual_channel = "Virtual #1 (Channel 1)";
constexpr const char *second_virtual_channel = "Virtual #1 (Channel 2)";

// The channels of the virtual card: the start-up hooks give one. A test
// program that wants more sets this before its tests run.
inline int listed_virtual_channels = 1;

// The CAN types' start-up hooks prepare the providers once (the first one
// starts the daemon), their exit hooks remove it once.
class CanTypesEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        dirs_ = std::make_unique<hw_test::PrivateDirectories>();
        CANhwProviderVindra *provider = hw_test::vindra_provider();
        ASSERT_NE(provider, nullptr);
        provider->set_program_directory(vyr_test::bin_dir());
        if (listed_virtual_channels > 1) {
            // The start-up hook's demo entry lists one channel and starts the
            // daemon with one: the daemon of these channels starts first, and
            // a second driver entry lists them beside the demo entry.
            platform::Registry registry;
            const std::string driver = "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\vrbus";
            ASSERT_EQ(registry.create_key(driver), 0);
            ASSERT_EQ(registry.write_int(driver, "ChannelsPerCard", listed_virtual_channels), 0);
            const std::string listed = "SOFTWARE\\VECTOR\\VIVOzozav 1.0\\Drivers\\vrbus_listed";
            ASSERT_EQ(registry.create_key(listed), 0);
            ASSERT_EQ(registry.write_string(listed, "DriverName", "vrbus"), 0);
            ASSERT_EQ(registry.write_int(listed, "MaxCards", 1), 0);
            ASSERT_EQ(registry.write_int(listed, "ChannelsPerCard", listed_virtual_channels), 0);
            daemon_ = hw_test::spawn_vrbus(dirs_->scratch_path("notify"));
            ASSERT_GT(daemon_, 0);
        }
        for (const char *type : {"CAN", "CAN-RX", "LIN"})
            ASSERT_EQ(call_start_up_hook(find_signal_if_type(type)), 0);
        if (daemon_ <= 0) {
            ASSERT_TRUE(platform::ServiceManager::instance().started_here("vrbus"));
        }
        ASSERT_EQ(CANhwChannelInfoList::global().find_channel_info(virtual_channel), 0);
    }
    void TearDown() override
    {
        for (const char *type : {"CAN", "CAN-RX", "LIN"})
            EXPECT_EQ(call_exit_hook(find_signal_if_type(type)), 0);
        if (daemon_ > 0) {
            kill(daemon_, SIGTERM);
            waitpid(daemon_, nullptr, 0);
        }
        EXPECT_FALSE(platform::ServiceManager::is_running("vrbus"));
    }

private:
    std::unique_ptr<hw_test::PrivateDirectories> dirs_;
    pid_t daemon_ = -1;
};

inline const auto *const environment = ::testing::AddGlobalTestEnvironment(new CanTypesEnvironment);

// The measurement passes of the application over a set of interfaces. The
// test advances the timer wheel itself, or, with first_drives_wheel, the
// first interface in start order drives it from its thread as in the program.
class Measurement
{
public:
    explicit Measurement(std::vector<VyrCanIf *> interfaces, bool first_drives_wheel = false)
        : interfaces_(std::move(interfaces)), first_drives_wheel_(first_drives_wheel)
    {
        std::stable_sort(interfaces_.begin(), interfaces_.end(),
                         [](VyrCanIf *a, VyrCanIf *b) { return a->start_order() < b->start_order(); });
    }
    ~Measurement() { stop(); }

    // enumerate: run the measurement-start hooks of the CAN types, which list
    // the channels again, as the program does.
    int start(bool enumerate = true)
    {
        for (const char *type : {"CAN", "CAN-RX", "LIN"}) {
            if (enumerate) {
                EXPECT_EQ(call_measurement_start_hook(find_signal_if_type(type)), 0);
            }
        }
        for (VyrCanIf *can : interfaces_) {
            EXPECT_EQ(can->prepare_start(), 0);
            can->set_timer(&wheel, first_drives_wheel_ && can == interfaces_.front());
        }
        for (auto pass : {&VyrCanIf::startup, &VyrCanIf::go_online}) {
            for (VyrCanIf *can : interfaces_) {
                if (const int r = (can->*pass)(); r != 0) {
                    stop();
                    return r;
                }
            }
        }
        for (VyrCanIf *can : interfaces_)
            EXPECT_EQ(can->start(), 0);
        running_ = true;
        return 0;
    }

    void stop()
    {
        for (auto it = interfaces_.rbegin(); it != interfaces_.rend(); ++it)
            EXPECT_EQ((*it)->stop(), 0);
        running_ = false;
    }

    TimerWheel wheel{1024, 0, 1, 200};

private:
    std::vector<VyrCanIf *> interfaces_;
    bool first_drives_wheel_;
    bool running_ = false;
};

// Takes frames from `next` (false: none waits now) until one passes the test
// or five seconds passed.
inline bool read_until(const std::function<bool(VyrCanMessage &)> &next,
                       const std::function<bool(const VyrCanMessage &)> &wanted, VyrCanMessage *found = nullptr)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        VyrCanMessage message;
        if (next(message)) {
            if (wanted(message)) {
                if (found)
                    *found = message;
                return true;
            }
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Frames that an interface's receive loop queued.
inline bool read_until(VyrMessageQueue &queue, const std::function<bool(const VyrCanMessage &)> &wanted,
                       VyrCanMessage *found = nullptr)
{
    return read_until([&](VyrCanMessage &message) { return queue.get(message) == 0; }, wanted, found);
}

// Frames read straight from a channel whose interface runs no thread.
inline bool read_until(CANhwChannel *channel, const std::function<bool(const VyrCanMessage &)> &wanted,
                       VyrCanMessage *found = nullptr)
{
    return read_until([&](VyrCanMessage &message) { return channel->read_can_message(&message) == canhwSuccess; },
                      wanted, found);
}

// Waits at most five seconds for the condition.
inline bool eventually(const std::function<bool()> &condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class ValueRecorder : public VyrSignalListener
{
public:
    ~ValueRecorder() override { detach(); }
    void value_changed(const SignalValue &value) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        values.push_back(value);
    }
    std::vector<SignalValue> taken()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return values;
    }

private:
    std::mutex mutex_;
    std::vector<SignalValue> values;
};

class CanFixture : public ::testing::Test
{
protected:
    VyrCanIf *make(const char *type, const char *channel = virtual_channel, const char *connect_to = "",
                   const QStringList &databases = {})
    {
        QtbConfigGroup group;
        group.write_string("channel", channel);
        group.write_string("connect_to_channel", connect_to);
        group.write_int("candb_file_count", databases.size());
        for (int i = 0; i < databases.size(); ++i)
            group.write_string(QStringLiteral("candb_file_%1").arg(i).toLatin1().constData(), databases[i]);
        std::unique_ptr<VyrSignalIf> made = create_signal_if(type, &group, nullptr, &shell.notification);
        auto *can = dynamic_cast<VyrCanIf *>(made.get());
        EXPECT_NE(can, nullptr);
        owned.emplace_back(can);
        made.release();
        return can;
    }

    // Lines of the message window that contain the text.
    size_t count_containing(const std::string &part) const
    {
        return size_t(
            std::count_if(shell.lines.begin(), shell.lines.end(), [&](const vyr_test::VyrTestShell::Line &line) {
                return line.text.find(part) != std::string::npos;
            }));
    }

    // Hands the interface a script file of its own holding the text.
    void set_script(VyrCanIf *can, const std::string &script)
    {
        const QString path = script_dir.filePath(QStringLiteral("script_%1.vys").arg(++script_files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script.c_str());
        file.close();
        can->set_script_file(path);
    }

    // The text compiled as the interface's script; the compile's result.
    int compile(VyrCanIf *can, const std::string &script)
    {
        set_script(can, script);
        return can->sclib_init();
    }

    // A script variable while the interface's thread may run the script.
    static int32_t script_int(VyrCanIf *can, const char *name)
    {
        VyrSignalIf::ScriptRunLock lock(*can);
        VyrScriptRuntime *runtime = VyrScriptRuntime::of(can);
        ScriptSymbol *symbol = runtime->symbols()->find(name, 0);
        if (!symbol || symbol->kind() != SYMBOL_VARIABLE)
            return INT32_MIN;
        return runtime->machine()->data_int(int32_t(static_cast<ScriptVariable *>(symbol)->address));
    }

    vyr_test::VyrTestShell shell;
    std::vector<std::unique_ptr<VyrCanIf>> owned;
    QTemporaryDir script_dir;
    int script_files = 0;
};

// A second handle on the virtual card: the test's own node on the bus. With
// time stamps it reads the driver's receive queue, whose records carry the
// time of each frame (from its clock reset here); without, frames have time 0.
class BusNode
{
public:
    static constexpr int time_stamped_index = 7;
    // index: the channel of the global channel list (0: the first virtual channel).
    explicit BusNode(int index = 0, bool time_stamps = false)
        : channel(CANhwChannelInfoList::global().make_channel(index))
    {
        EXPECT_EQ(channel->open(false), canhwSuccess);
        if (time_stamps) {
            EXPECT_EQ(channel->map_rx_queue(), canhwSuccess);
            // An index of its own in the process, beside the interfaces' channels.
            EXPECT_EQ(channel->set_channel_index(time_stamped_index), canhwSuccess);
            EXPECT_EQ(channel->reset_clock(), canhwSuccess);
        }
        EXPECT_EQ(channel->buson(), canhwSuccess);
    }
    ~BusNode()
    {
        channel->busoff();
        channel->close();
    }
    // BusNode(true) would name channel 1: time stamps are asked for with the index.
    explicit BusNode(bool) = delete;
    void send(uint32_t id, uint32_t flags, std::vector<uint8_t> data)
    {
        VyrCanMessage frame;
        frame.id = id;
        frame.flags = flags;
        frame.dlc = uint8_t(data.size());
        std::copy(data.begin(), data.end(), frame.data);
        ASSERT_EQ(channel->write(frame), canhwSuccess);
    }
    // The next frame of that identifier, within five seconds.
    bool receive(uint32_t id, VyrCanMessage &frame)
    {
        return read_until(
            channel.get(), [id](const VyrCanMessage &m) { return m.id == id; }, &frame);
    }
    std::unique_ptr<CANhwChannel> channel;
};

// What python3-canmatrix decodes from the payloads ("MESSAGE:HEXDATA"), one
// object of "MESSAGE.SIGNAL": physical (or raw) value per payload; empty when
// it cannot run.
inline std::vector<std::map<std::string, double>> canmatrix_decode(const QString &dbc, const QStringList &payloads,
                                                                   bool raw = false)
{
    // Found from the tests of any folder that include this header.
    QStringList args{vyr_test::source_dir() + "/tests/interfaces/canmatrix_decode.py"};
    if (raw)
        args << QStringLiteral("--raw");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), args << dbc << payloads);
    std::vector<std::map<std::string, double>> decoded;
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return decoded;
    for (const QJsonValue &frame : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        std::map<std::string, double> values;
        const QJsonObject object = frame.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            values[it.key().toStdString()] = it.value().toDouble();
        decoded.push_back(values);
    }
    return decoded;
}

// A single-frame protocol: a packet of up to 7 bytes travels in one frame
// whose first byte is its length; the transmission ends with the frame's echo.
class LoopbackProtocol : public TransportProtocol
{
public:
    using TransportProtocol::TransportProtocol;

    void on_frame_received(const uint8_t *data, int length, uint32_t) override
    {
        if (length > 0 && data[0] < length)
            channel()->deliver_packet(data + 1, data[0]);
    }
    void on_tx_confirmed(uint32_t) override
    {
        if (m_busy) {
            m_busy = false;
            channel()->transmission_done();
        }
    }
    void abort() override { m_busy = false; }
    void transmit(const uint8_t *data, int length) override
    {
        uint8_t frame[64] = {uint8_t(length)};
        std::memcpy(frame + 1, data, size_t(std::min(length, 7)));
        // An extended identifier (bit 31) is a negative one.
        m_busy = channel()->send_frame(int32_t(channel()->tx_id()), frame, 8) == 0;
    }
    bool is_busy() const override { return m_busy; }
    bool set_parameter(const char *name, int value) override
    {
        if (std::strcmp(name, "block_size") != 0)
            return false;
        block_size = value;
        return true;
    }
    bool get_parameter(const char *name, int &value) const override
    {
        if (std::strcmp(name, "block_size") != 0)
            return false;
        value = block_size;
        return true;
    }

    int block_size = 0;

private:
    bool m_busy = false;
};

inline std::unique_ptr<TransportProtocol> make_loopback(TransportChannel *channel)
{
    return std::make_unique<LoopbackProtocol>(channel);
}

} // namespace can_test
