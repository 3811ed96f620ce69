// The receive road of a CAN interface on the real vrbus daemon: frames that a
// second handle on the virtual card writes are decoded through real DBC files
// (checked against python3-canmatrix) and reach the listener queues in
// order; overruns, block-all and LIN identifiers; sending with its echo; the
// databases loaded with their interface signals and send buffers.
#include "bench/receive_road_flood.h"
#include "can_test_support.h"
#include "core/candb_message.h"
#include "core/candb_message_data.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_list.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

namespace {

using namespace can_test;

const QString dbc_dir = vyr_test::configured_testdata_dir() + "/dbc";
const QString j1939_dbc =
    dbc_dir + "/css-api-examples/examples/data-processing/dbc_files/CSS-Electronics-SAE-J1939-DEMO.dbc";
const QString mux_dbc = dbc_dir + "/cantools/tests/files/dbc/msxii_system_can.dbc";
const QString long_message_dbc = dbc_dir + "/css-api-examples/examples/data-processing/dbc_files/tp_j1939.dbc";
const QString large_dbc = dbc_dir + "/opendbc/opendbc/dbc/vw_mlb.dbc";
constexpr const char *j1939_net = "CSS-Electronics-SAE-J1939-DEMO";
constexpr const char *mux_net = "msxii_system_can";

#define SKIP_WITHOUT_TESTDATA()        \
    if (!QFileInfo::exists(j1939_dbc)) \
    GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString()

double as_double(const SignalValue &value)
{
    return value.type == SignalValue::Double ? value.double_value : value.int_value;
}

class CanReceive : public CanFixture
{
protected:
    SignalRecord *signal(VyrCanIf *can, const std::string &name)
    {
        SignalRecord *found = can->signal_list()->find(name.c_str());
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Channel start and bus on without the receive thread: the test runs the
    // receive loop itself.
    void start_without_thread(VyrCanIf *can)
    {
        can->set_timer(&shell.wheel, false);
        ASSERT_EQ(can->prepare_start(), 0);
        ASSERT_EQ(can->startup(), 0);
        ASSERT_EQ(can->go_online(), 0);
    }

    // Every frame the queue holds now.
    static std::vector<VyrCanMessage> taken(VyrMessageQueue &queue)
    {
        std::vector<VyrCanMessage> frames;
        VyrCanMessage frame;
        while (queue.get(frame) == 0)
            frames.push_back(frame);
        return frames;
    }
};

TEST_F(CanReceive, FramesOfASecondHandleAreDecodedAndQueuedInOrder)
{
    SKIP_WITHOUT_TESTDATA();
    VyrCanIf *can = make("CAN", virtual_channel, "", {j1939_dbc, mux_dbc});
    const QStringList payloads = {"EEC1:0011223344556677", "CCVS1:ff01020304050607", "BATTERY_VT:050001020304"};
    const auto expected = canmatrix_decode(j1939_dbc, payloads.mid(0, 2));
    const auto expected_mux = canmatrix_decode(mux_dbc, payloads.mid(2));
    if (expected.size() != 2 || expected_mux.size() != 1)
        GTEST_SKIP() << "python3-canmatrix did not run";

    // Every signal that canmatrix decodes, and one of another multiplexor value.
    std::map<std::string, ValueRecorder> recorders;
    std::map<std::string, double> wanted;
    for (const auto &[decoded, net] : {std::make_pair(expected[0], j1939_net), std::make_pair(expected[1], j1939_net),
                                       std::make_pair(expected_mux[0], mux_net)})
        for (const auto &[name, value] : decoded)
            wanted[std::string(net) + "." + name] = value;
    ASSERT_EQ(wanted.size(), 5u); // the index, the voltage and temperature of module 5, and the two J1939 signals
    const std::string other_module = std::string(mux_net) + ".BATTERY_VT.MODULE_VOLTAGE_06";
    wanted.emplace(other_module, 0.0);
    for (const auto &[name, value] : wanted)
        ASSERT_EQ(can->add_signal_listener(&recorders[name], signal(can, name)), 0);

    VyrMessageQueue queue(0, 64, 1000);
    can->add_message_listener(&queue);
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    BusNode node;
    // EEC1 from another source address than the database's: its parameter group decides.
    node.send(0x0CF00401, VyrCanMessage::Extended, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});
    node.send(0x18FEF1FE, VyrCanMessage::Extended, {0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    node.send(1025, 0, {0x05, 0x00, 0x01, 0x02, 0x03, 0x04});
    node.send(0x7FF, 0, {0x42});

    std::vector<VyrCanMessage> frames;
    ASSERT_TRUE(eventually([&] {
        for (const VyrCanMessage &frame : taken(queue))
            frames.push_back(frame);
        return frames.size() >= 4;
    }));
    ASSERT_EQ(frames.size(), 4u);
    const uint32_t ids[] = {0x0CF00401, 0x18FEF1FE, 1025, 0x7FF};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frames[i].id, ids[i]);
        EXPECT_EQ((frames[i].flags & VyrCanMessage::Extended) != 0, i < 2);
        EXPECT_EQ(frames[i].flags & VyrCanMessage::TxAck, 0u);
        EXPECT_EQ(frames[i].channel, can->message_channel_number());
    }
    EXPECT_EQ(frames[2].dlc, 6);
    EXPECT_EQ(frames[3].data[0], 0x42);

    // Decoding runs before the listeners: the values are there.
    for (const auto &[name, value] : wanted) {
        SCOPED_TRACE(name);
        const std::vector<SignalValue> values = recorders[name].taken();
        if (name == other_module) {
            EXPECT_TRUE(values.empty()); // another multiplexor value
            continue;
        }
        ASSERT_EQ(values.size(), 1u);
        EXPECT_DOUBLE_EQ(as_double(values[0]), value);
    }

    // A frame the interface sends comes back on the whole receive road.
    VyrCanMessage sent;
    sent.id = 0x0CF00402;
    sent.flags = VyrCanMessage::Extended;
    sent.dlc = 8;
    sent.data[3] = 0x40;
    sent.data[4] = 0x1F;
    ASSERT_EQ(can->send_message(&sent, false), 0);
    VyrCanMessage echo;
    ASSERT_TRUE(read_until(queue, [](const VyrCanMessage &m) { return m.id == 0x0CF00402; }, &echo));
    EXPECT_NE(echo.flags & VyrCanMessage::TxAck, 0u);
    const std::string speed = std::string(j1939_net) + ".EEC1.EngineSpeed";
    ASSERT_EQ(recorders[speed].taken().size(), 2u);
    EXPECT_DOUBLE_EQ(as_double(recorders[speed].taken().back()), 0x1F40 * 0.125);
    VyrCanMessage on_bus;
    ASSERT_TRUE(node.receive(0x0CF00402, on_bus));
    EXPECT_EQ(on_bus.data[4], 0x1F);
    measurement.stop();
    can->clear_signal_listeners();
}

TEST_F(CanReceive, SendingRefusedWithoutChannelOrRight)
{
    VyrCanIf *can = make("CAN-RX");
    VyrCanMessage frame;
    EXPECT_EQ(can->send_message(&frame, false), -1); // no channel yet
    EXPECT_EQ(can->send_message(nullptr, false), -1);
    EXPECT_TRUE(shell.lines.empty());
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_EQ(can->send_message(&frame, false), -1);
    EXPECT_EQ(count_containing("Transmission of CAN packets not allowed"), 1u);
}

// Frames written straight into the interface's mapped receive queue, read by
// one run of its receive loop.
TEST_F(CanReceive, DispatchRules)
{
    struct Frame
    {
        uint32_t id;
        uint8_t driver_flags;
    };
    struct Expected
    {
        uint32_t id;
        uint32_t flags;
    };
    struct Case
    {
        const char *what;
        const char *type;
        bool block_std, block_ext;
        std::vector<Frame> frames;
        std::vector<Expected> delivered;
    };
    constexpr uint32_t ext = 0x80000000; // the driver's extended mark
    const Case cases[] = {
        {"nothing blocked", "CAN", false, false,
         {{0x100, 0}, {ext | 0x100, 0}, {0x101, vrbus::record::kRemote}},
         {{0x100, 0}, {0x100, VyrCanMessage::Extended}, {0x101, VyrCanMessage::Remote}}},
        {"standard frames blocked", "CAN", true, false,
         {{0x100, 0}, {ext | 0x100, 0}, {0x200, 0}},
         {{0x100, VyrCanMessage::Extended}}},
        {"extended frames blocked", "CAN", false, true,
         {{0x100, 0}, {ext | 0x100, 0}, {0x200, 0}},
         {{0x100, 0}, {0x200, 0}}},
        {"LIN identifiers", "LIN", false, false,
         {{0x7F5, 0}, {0x085, 0}, {0x105, 0}, {0x223, 0}, {ext | 0x101, vrbus::record::kErrorFrame}},
         {{0x05, VyrCanMessage::LinChecksum},
          {0x23, VyrCanMessage::LinHeader},
          {0x01, VyrCanMessage::LinChecksum}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        owned.clear();
        VyrCanIf *can = make(c.type);
        can->filter_std().block_all = c.block_std;
        can->filter_ext().block_all = c.block_ext;
        VyrMessageQueue queue(0, 16, 100);
        can->add_message_listener(&queue);
        start_without_thread(can);
        can->cyclic(); // the chip state of the bus on
        auto *vindra = dynamic_cast<CANhwChannelVindra *>(can->channel());
        ASSERT_NE(vindra, nullptr);
        hw_test::QueueFiller filler(vindra->rx_queue());
        for (const Frame &frame : c.frames)
            filler.frame(uint8_t(can->message_channel_number()), 100, frame.id, frame.driver_flags, 1, 0);
        can->cyclic();
        std::vector<std::pair<uint32_t, uint32_t>> delivered, wanted;
        for (const VyrCanMessage &frame : taken(queue))
            delivered.emplace_back(frame.id, frame.flags);
        for (const Expected &e : c.delivered)
            wanted.emplace_back(e.id, e.flags);
        EXPECT_EQ(delivered, wanted);
        EXPECT_EQ(can->stop(), 0);
    }
}

// The daemon's receive queue (the largest the driver makes) overflows twice
// while nobody reads it: each burst is reported once, naming the interface
// and the frames it lost, and the bursts together lost what the queue did
// not deliver.
TEST_F(CanReceive, EachOverrunIsReportedWithTheFramesItLost)
{
    constexpr int burst = int(vrbus::queue::kMaxCapacity) + 500;
    VyrCanIf *can = make("CAN");
    VyrMessageQueue queue(0, 5000, 20000);
    // Frames that reached the listener, taken or lost in it for want of room:
    // the rest of what was sent was lost in the driver.
    const auto reached = [&queue] { return int(queue.put_count() + queue.lost_count()); };
    can->add_message_listener(&queue);
    receive_road::FloodClient flood;
    ASSERT_TRUE(flood.open(5000));
    const auto overrun = [](const VyrCanMessage &m) { return (m.flags & VyrCanMessage::HardwareOverrun) != 0; };
    const std::string report = "Warning in CAN 1: **** HW Overrun in CAN driver: ";
    for (int start = 0; start < 2; ++start) {
        shell.lines.clear();
        start_without_thread(can);
        BusNode node;
        int overruns = 0;
        const int reached_before = reached();
        // Reads until the driver's queue is empty (a cycle reads a share of it).
        const auto drain = [&] {
            for (;;) {
                can->cyclic();
                const std::vector<VyrCanMessage> frames = taken(queue);
                if (frames.empty())
                    return;
                overruns += int(std::count_if(frames.begin(), frames.end(), overrun));
            }
        };
        for (int overflow = 0; overflow < 2; ++overflow) {
            ASSERT_TRUE(flood.send(0, 0, burst));
            drain(); // the frames the queue held, none marked
            node.send(0x101, 0, {});
            drain();
        }
        EXPECT_EQ(overruns, 2);
        std::vector<int> lost;
        for (const auto &line : shell.lines)
            if (line.text.rfind(report, 0) == 0)
                lost.push_back(std::stoi(line.text.substr(report.size())));
        ASSERT_EQ(lost.size(), 2u);
        EXPECT_GT(lost[0], 0);
        EXPECT_GT(lost[1], 0);
        EXPECT_EQ(lost[0] + lost[1], 2 * (burst + 1) - (reached() - reached_before));
        EXPECT_TRUE(shell.has_line(report + std::to_string(lost[0]) + " frames lost ****"));
        EXPECT_EQ(can->stop(), 0);
    }
}

TEST_F(CanReceive, DatabaseFilesLoadWithTheirErrors)
{
    SKIP_WITHOUT_TESTDATA();
    QTemporaryDir dirs;
    const QString without_extension = dirs.filePath("j1939");
    const QString unknown_extension = dirs.filePath("j1939.xyz");
    ASSERT_TRUE(QFile::copy(j1939_dbc, without_extension));
    ASSERT_TRUE(QFile::copy(j1939_dbc, unknown_extension));
    const QString with_complaint = dirs.filePath("complaint.dbc");
    {
        QFile out(with_complaint);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("VERSION \"\"\nBU_: A\nBO_ 256 Doors: 8 A\n SG_ Front : 0|8@1+ (1,0) [0|255] \"\" A\n"
                  "CM_ BO_ 999 \"a message that is not there\";\n");
    }
    struct Case
    {
        const char *what;
        QString file;
        int result;
        std::string line;
        bool signals_bound;
    };
    const Case cases[] = {
        {"a file that is not there", "/nonexistent/x.dbc", -1,
         "Error in CAN 1: Unable to open database file '/nonexistent/x.dbc'.", false},
        {"an extension nobody reads", unknown_extension, -1,
         "Error in CAN 1: No CANdbFileFormat for extension 'xyz'.", false},
        {"the reader's complaints reach the message window", with_complaint, 0,
         "Error in CAN 1: (" + with_complaint.toStdString() + ":5) No message found for comment line\n", false},
        {"no extension reads as DBC", without_extension, 0,
         "CAN 1: Reading file '" + without_extension.toStdString() + "' using format 'DBC'\n", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        owned.clear();
        shell.lines.clear();
        VyrCanIf *can = make("CAN", virtual_channel, "", {c.file});
        EXPECT_TRUE(shell.has_line(c.line));
        EXPECT_EQ(can->load_databases(), c.result);
        EXPECT_EQ(can->reload_script(), c.result);
        SignalRecord *speed = can->signal_list()->find("j1939.EEC1.EngineSpeed");
        EXPECT_EQ(speed != nullptr, c.signals_bound);
        if (speed) {
            EXPECT_EQ(speed->flags() & 0x2000F, SignalRecord::DatabaseBound | SignalRecord::DefinedByCompile |
                                                     SignalRecord::CreatedByScript);
            EXPECT_EQ(speed->max(), 8031.875);
            EXPECT_EQ(speed->value_type(), int(SignalValue::Double));
        }
    }
}

TEST_F(CanReceive, EveryMessageOfALargeDatabaseGetsItsSignalsAndASendBuffer)
{
    SKIP_WITHOUT_TESTDATA();
    VyrCanIf *can = make("CAN", virtual_channel, "", {large_dbc});
    int database_signals = 0;
    for (SignalRecord *s = can->signal_list()->first(); s; s = can->signal_list()->next())
        database_signals += s->has_flag(SignalRecord::DatabaseBound) && QString::fromStdString(s->name()).startsWith("vw_mlb.");
    EXPECT_EQ(database_signals, 1442);
    EXPECT_EQ(can->send_buffers()->entries().size(), 145u);
    for (const auto &buffer : can->send_buffers()->entries())
        EXPECT_EQ(buffer->message, can->send_buffers()->find(buffer->message->id)->message);
}

// A reload keeps the signals that stay, marked changed, and tells the
// windows of those that went.
TEST_F(CanReceive, ReloadReportsTheSignalsThatWent)
{
    QTemporaryDir dirs;
    const QString file = dirs.filePath("body.dbc");
    const auto write_dbc = [&](const char *signal_lines) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(QByteArray("VERSION \"\"\nBS_:\nBU_: A\nBO_ 256 Doors: 8 A\n") + signal_lines);
    };
    write_dbc(" SG_ Front : 0|8@1+ (1,0) [0|255] \"\" A\n SG_ Rear : 8|8@1+ (1,0) [0|255] \"\" A\n");
    VyrCanIf *can = make("CAN", virtual_channel, "", {file});
    SignalRecord *front = signal(can, "body.Doors.Front");
    SignalRecord *rear = signal(can, "body.Doors.Rear");
    ASSERT_TRUE(front && rear);
    front->remove_flags(SignalRecord::Changed);

    write_dbc(" SG_ Front : 0|8@1+ (1,0) [0|100] \"\" A\n SG_ Trunk : 16|8@1+ (1,0) [0|1] \"\" A\n");
    QSignalSpy removed(&shell.notification, &VyrSignalIfNotification::signal_removed);
    QSignalSpy changed(&shell.notification, &VyrSignalIfNotification::signal_changed);
    ASSERT_EQ(can->reload_script(), 0);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][0].toString(), "CAN1");
    EXPECT_EQ(removed[0][1].toString(), "body.Doors.Rear");
    // The signal that stayed, and the new one.
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[0][1].toString(), "body.Doors.Front");
    EXPECT_EQ(changed[1][1].toString(), "body.Doors.Trunk");
    EXPECT_EQ(can->signal_list()->find("body.Doors.Front"), front);
    EXPECT_TRUE(front->has_flag(SignalRecord::DefinedByCompile));
    EXPECT_EQ(front->max(), 100);
    EXPECT_FALSE(rear->has_flag(SignalRecord::DefinedByCompile));
    EXPECT_NE(can->signal_list()->find("body.Doors.Trunk"), nullptr);
}

// A database file edited on disk before a measurement start: each answer to
// the question, and the preference that reloads without asking.
TEST_F(CanReceive, EditedDatabaseIsReloadedAsTheUserAnswers)
{
    struct Case
    {
        const char *what;
        bool reload_without_asking;
        int answer; // Yes, No, Cancel
        int result;
        bool reloaded;
        int questions; // after a second check
    };
    const Case cases[] = {
        {"Yes reloads", false, 0, 0, true, 1},
        {"No keeps the old database and does not ask again", false, 1, 0, false, 1},
        {"Cancel abandons the start", false, 2, 1, false, 2},
        {"the preference reloads without a question", true, 2, 0, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        owned.clear();
        QTemporaryDir dirs;
        const QString file = dirs.filePath("body.dbc");
        const auto write_dbc = [&](const char *signal_lines, int age_seconds) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(QByteArray("VERSION \"\"\nBS_:\nBU_: A\nBO_ 256 Doors: 8 A\n") + signal_lines);
            out.flush();
            out.setFileTime(QDateTime::currentDateTime().addSecs(-age_seconds), QFileDevice::FileModificationTime);
        };
        write_dbc(" SG_ Front : 0|8@1+ (1,0) [0|255] \"\" A\n", 60);
        VyrCanIf *can = make("CAN", virtual_channel, "", {file});
        write_dbc(" SG_ Front : 0|8@1+ (1,0) [0|255] \"\" A\n SG_ Trunk : 8|8@1+ (1,0) [0|1] \"\" A\n", 0);

        std::vector<QString> questions;
        set_vyr_question_function(
            [&](QWidget *, const QString &title, const QString &text, const QStringList &buttons, VyrQuestionIcon) {
                EXPECT_EQ(title, "Warning");
                EXPECT_EQ(buttons, QStringList({"Yes", "No", "Cancel"}));
                questions.push_back(text);
                return c.answer;
            });
        vyr_user_preferences().reload_changed_files = c.reload_without_asking;
        EXPECT_EQ(can->check_script_file_modified(nullptr), c.result);
        EXPECT_EQ(can->signal_list()->find("body.Doors.Trunk") != nullptr, c.reloaded);
        can->check_script_file_modified(nullptr);
        EXPECT_EQ(int(questions.size()), c.questions);
        if (!questions.empty()) {
            EXPECT_EQ(questions[0], "Database file '" + file + "' has been altered on disk.\nDo you want to reload ?");
        }
        set_vyr_question_function(nullptr);
        vyr_user_preferences().reload_changed_files = false;
    }
}

// A value written to a database signal goes into its message's send buffer,
// which then goes out on the bus.
TEST_F(CanReceive, WrittenSignalGoesOutThroughTheSendBuffer)
{
    SKIP_WITHOUT_TESTDATA();
    VyrCanIf *can = make("CAN", virtual_channel, "", {j1939_dbc});
    VyrSignalEntry entry;
    entry.bind(signal(can, std::string(j1939_net) + ".EEC1.EngineSpeed"));
    SignalValue value;
    value.set_double(1000.0);
    EXPECT_EQ(can->write_script_signal(&entry, value), 0);
    CANdbMessageData *buffer = can->send_buffers()->find(0x0CF004FE);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(buffer->length, 8);
    EXPECT_EQ(buffer->data()[3], 0x40); // 1000 rpm / 0.125 = 0x1F40, Intel from bit 24
    EXPECT_EQ(buffer->data()[4], 0x1F);

    std::unique_ptr<SignalRecord> undefined(can->new_signal("net.Message.Undefined", SignalRecord::DatabaseBound));
    VyrSignalEntry undefined_entry;
    undefined_entry.bind(undefined.get());
    EXPECT_EQ(can->write_script_signal(&undefined_entry, value), -1);

    VyrCanMessage frame;
    frame.id = 0x0CF004FE;
    frame.flags = VyrCanMessage::Extended;
    frame.dlc = uint8_t(buffer->length);
    std::copy(buffer->data(), buffer->data() + buffer->length, frame.data);
    // The channel start empties the send buffers.
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_EQ(buffer->length, 0);
    BusNode node;
    ASSERT_EQ(can->send_message(&frame, false), 0);
    VyrCanMessage on_bus;
    ASSERT_TRUE(node.receive(0x0CF004FE, on_bus));
    EXPECT_EQ(on_bus.dlc, 8);
    EXPECT_EQ(on_bus.data[3], 0x40);
    EXPECT_EQ(on_bus.data[4], 0x1F);
}

// A message longer than a classic frame keeps all its bytes in its send buffer.
TEST_F(CanReceive, SendBufferHoldsTheWholeMessage)
{
    SKIP_WITHOUT_TESTDATA();
    VyrCanIf *can = make("CAN", virtual_channel, "", {long_message_dbc});
    VyrSignalEntry entry;
    entry.bind(signal(can, "tp_j1939.EC1.EngineSpeedAtPoint5")); // bits 96 to 111
    SignalValue value;
    value.set_int(1000);
    EXPECT_EQ(can->write_script_signal(&entry, value), 0);
    CANdbMessageData *buffer = can->send_buffers()->find(0x18FEE3FE);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->capacity(), 40);
    ASSERT_EQ(buffer->length, 40);
    EXPECT_EQ(buffer->data()[12], 0x40);
    EXPECT_EQ(buffer->data()[13], 0x1F);
}

} // namespace
