// The script binding of the CAN interface: scripts compiled against real DBC
// files with their per-message struct types, hook resolution and its error
// texts, signal members read and written (compared with python3-canmatrix),
// the CAN natives sending on the vrbus daemon with the frames read back on a
// second handle, transport channels fed through the loop-back protocol of
// the CAN test support, and the J1939 view.
#include "core/candb_cluster.h"
#include "settings/qtb_config.h"
#include "core/vyr_packet.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "description/dbc/dbc_file_io.h"
#include "diag/transport_channel.h"
#include "can_test_support.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "platform/service_manager.h"
#include "script/pcode_machine.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "test_support.h"
#include "vyr_test_shell.h"

#include <QDir>
#include <QDirIterator>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

std::string motohawk_dbc()
{
    return vyr_test::testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
}

std::string j1939_dbc()
{
    return vyr_test::testdata_dir() + "/dbc/cantools/tests/files/dbc/j1939.dbc";
}

std::string hex(const uint8_t *data, int length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

// The packets of a packet source, as field texts "name rx tx length data".
class PacketRecorder : public VyrPacketListener
{
public:
    void on_packet(const VyrPacket &packet) override
    {
        int length = 0;
        const uint8_t *name = packet.field_data(0, &length);
        const uint8_t *data = packet.field_data(4, &length);
        char ids[64];
        std::snprintf(ids, sizeof ids, " %x %x %u ", packet.field_int(1), packet.field_int(2), packet.field_int(3));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_packets.push_back(std::string(reinterpret_cast<const char *>(name)) + ids + hex(data, length));
    }
    std::vector<std::string> packets()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_packets;
};

class CanScript : public can_test::CanFixture
{
protected:
    VyrCanIf *make(const char *type = "CAN") { return CanFixture::make(type); }

    static void load(VyrCanIf *can, const std::string &path)
    {
        auto databases = std::make_unique<CANdbCluster>();
        auto network = std::make_unique<CANdbNetwork>();
        DbcFileIo reader(path.c_str());
        ASSERT_EQ(reader.read(network.get()), 0);
        databases->add_network(std::move(network));
        can->set_databases(std::move(databases));
    }

    static VyrScriptRuntime &runtime(VyrCanIf *can) { return *VyrScriptRuntime::of(can); }

    static ScriptVariable *variable(VyrCanIf *can, const char *name)
    {
        ScriptSymbol *symbol = runtime(can).symbols()->find(name, 0);
        return symbol && symbol->kind() == SYMBOL_VARIABLE ? static_cast<ScriptVariable *>(symbol) : nullptr;
    }

    static int32_t int_of(VyrCanIf *can, const char *name)
    {
        ScriptVariable *v = variable(can, name);
        return v ? runtime(can).machine()->data_int(int32_t(v->address)) : INT32_MIN;
    }

    // The same while the interface's thread runs its script.
    static int32_t running_int_of(VyrCanIf *can, const char *name)
    {
        VyrSignalIf::ScriptRunLock lock(*can);
        return int_of(can, name);
    }

    static double double_of(VyrCanIf *can, const char *name)
    {
        ScriptVariable *v = variable(can, name);
        return v ? runtime(can).machine()->data_double(int32_t(v->address)) : NAN;
    }

    static void set_int(VyrCanIf *can, const char *name, int32_t value)
    {
        ScriptVariable *v = variable(can, name);
        ASSERT_NE(v, nullptr) << name;
        runtime(can).machine()->set_data_int(int32_t(v->address), value);
    }

    // Runs the CanMessage handler of the key with the frame in this_message.
    static bool run_handler(VyrCanIf *can, uint32_t key, const VyrCanMessage &frame = VyrCanMessage())
    {
        ScriptTrigger *trigger =
            runtime(can).find_script_trigger(VyrCanScriptBinding::can_message_trigger, uintptr_t(key));
        if (!trigger)
            return false;
        VyrSignalIf::ScriptRunLock lock(*can);
        PCodeMachine *machine = runtime(can).machine();
        const int32_t at = can->script_binding()->this_message();
        machine->set_data_int(at + VyrCanScriptBinding::message_id_at, int32_t(frame.id));
        machine->set_data_byte(at + VyrCanScriptBinding::message_dlc_at, frame.dlc);
        machine->set_data_int(at + VyrCanScriptBinding::message_flags_at, int32_t(frame.flags));
        std::memcpy(machine->data_pointer(at + VyrCanScriptBinding::message_data_at, 64), frame.data, 64);
        return runtime(can).run_function(trigger->function_id()) == 0;
    }

    bool logged(const std::string &part) const
    {
        for (const auto &line : shell.lines)
            if (line.text.find(part) != std::string::npos)
                return true;
        return false;
    }

    // The interface on the bus with its thread, and a second handle on the
    // same virtual bus that sees its frames.
    void start(VyrCanIf *can)
    {
        measurement = std::make_unique<can_test::Measurement>(std::vector<VyrCanIf *>{can});
        ASSERT_EQ(measurement->start(), 0);
        if (!node)
            node = std::make_unique<can_test::BusNode>();
    }

    // The raw and physical values that canmatrix decodes from the payload of
    // ExampleMessage; empty when it cannot run.
    static std::map<std::string, std::pair<double, double>> canmatrix_example(const uint8_t *payload)
    {
        const QStringList frame{QStringLiteral("ExampleMessage:") + QString::fromStdString(hex(payload, 8))};
        const QString dbc = QString::fromStdString(motohawk_dbc());
        const auto raw = can_test::canmatrix_decode(dbc, frame, true);
        const auto phys = can_test::canmatrix_decode(dbc, frame);
        std::map<std::string, std::pair<double, double>> values;
        if (raw.size() == 1 && phys.size() == 1)
            for (const auto &[name, value] : raw[0])
                values[name.substr(name.find('.') + 1)] = {value, phys[0].at(name)};
        return values;
    }

    std::unique_ptr<can_test::Measurement> measurement;
    std::unique_ptr<can_test::BusNode> node;
};

TEST_F(CanScript, PreludeDeclaresItsConstantsTypesAndGlobals)
{
    VyrCanIf *can = make();
    ASSERT_EQ(compile(can,
                      "variables { int ext; int bus_on; int oem4; int fdf; int sizes; }\n"
                      "on start { ext = CANMSG_FLAG_EXT_ID; bus_on = canSTATUS_BUS_ON; oem4 = canLINE_MODE_OEM4;\n"
                      "  fdf = CANMSG_FLAG_FDF;\n"
                      "  sizes = sizeof (this_message) * 10000 + sizeof (this_can_tp_message); }\n"),
              0);
    EXPECT_EQ(std::string(VyrCanScriptBinding::prelude()).rfind("__pragma_internal;\n", 0), 0u);
    ASSERT_EQ(can->run_script_functions(can->start_functions()), 0);
    EXPECT_EQ(int_of(can, "ext"), 4);
    EXPECT_EQ(int_of(can, "bus_on"), 3);
    EXPECT_EQ(int_of(can, "oem4"), 16);
    EXPECT_EQ(int_of(can, "fdf"), 0x10000);
    EXPECT_EQ(int_of(can, "sizes"), 84 * 10000 + 16 + 4096);
    VyrCanScriptBinding *binding = can->script_binding();
    EXPECT_GE(binding->this_message(), 0);
    EXPECT_GE(binding->this_can_tp_message(), 0);
    EXPECT_GE(binding->this_lin_exception(), 0);
}

// Signal members of a received frame, raw and physical, as canmatrix decodes
// the same bytes.
TEST_F(CanScript, SignalMembersReadAsCanmatrixDecodes)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make();
    load(can, motohawk_dbc());
    ASSERT_EQ(compile(can,
                      "variables { int t_raw; double t_phys; int r_raw; double r_phys; int e_raw; int bare; int id; }\n"
                      "on CanMessage ExampleMessage {\n"
                      "  t_raw = this.Temperature.Raw; t_phys = this.Temperature.Phys;\n"
                      "  r_raw = this.AverageRadius.Raw; r_phys = this.AverageRadius.Phys;\n"
                      "  e_raw = this.Enable.Raw; bare = this.Temperature; id = this.id;\n"
                      "}\n"),
              0);
    const std::vector<std::vector<uint8_t>> payloads = {
        {0xC0, 0xFE, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC},
        {0x3F, 0x01, 0, 0, 0, 0, 0, 0},
        {0x80, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const auto &payload : payloads) {
        SCOPED_TRACE(hex(payload.data(), 8));
        auto values = canmatrix_example(payload.data());
        if (values.empty())
            GTEST_SKIP() << "python3-canmatrix did not run";
        VyrCanMessage frame;
        frame.id = 0x1F0;
        frame.dlc = 8;
        std::memcpy(frame.data, payload.data(), 8);
        ASSERT_TRUE(run_handler(can, 0x1F0, frame));
        EXPECT_EQ(int_of(can, "t_raw"), values["Temperature"].first);
        EXPECT_NEAR(double_of(can, "t_phys"), values["Temperature"].second, 1e-9);
        EXPECT_EQ(int_of(can, "r_raw"), values["AverageRadius"].first);
        EXPECT_NEAR(double_of(can, "r_phys"), values["AverageRadius"].second, 1e-9);
        EXPECT_EQ(int_of(can, "e_raw"), values["Enable"].first);
        EXPECT_EQ(int_of(can, "bare"), int_of(can, "t_raw")); // a signal member alone is its raw value
        EXPECT_EQ(int_of(can, "id"), 0x1F0);
    }
}

// Which handler a hook declares: numbers with letters, literals, names, the
// catch-all and error frames.
TEST_F(CanScript, HookTextsResolveToHandlerKeys)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make();
    load(can, motohawk_dbc());
    ASSERT_EQ(compile(can,
                      "variables { int which; }\n"
                      "on CanMessage 0x100x { which = 1; }\n"
                      "on CanMessage 0x100 { which = 2; }\n"
                      "on CanMessage 200h { which = 3; }\n"
                      "on CanMessage 1FFhx { which = 4; }\n"
                      "on CanMessage * { which = 5; }\n"
                      "on CanMessage ERR { which = 6; }\n"
                      "on CanMessage ExampleMessage { which = 7; }\n"
                      "on CanMessage 300 { which = 8; }\n"
                      "on CanMessage 0x7E0h { which = 9; }\n"),
              0);
    const struct
    {
        uint32_t key;
        int which;
    } cases[] = {
        {0x80000100, 1}, {0x100, 2}, {0x200, 3}, {0x800001FF, 4}, {0x7FFF0000, 5},
        {0xFFFFFFFF, 6}, {0x1F0, 7}, {300, 8},   {0x7E0, 9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.which);
        ASSERT_TRUE(run_handler(can, c.key));
        EXPECT_EQ(int_of(can, "which"), c.which);
    }
    const ScriptTrigger *trigger = runtime(can).find_script_trigger(VyrCanScriptBinding::can_message_trigger, 0x1F0);
    ASSERT_NE(trigger, nullptr);
    EXPECT_EQ(trigger->name(), "ExampleMessage");
}

TEST_F(CanScript, HookErrorsFailTheCompile)
{
    register_transport_protocol("LOOP", can_test::make_loopback);
    const struct
    {
        const char *hook;
        const char *text;
    } cases[] = {
        {"on CanMessage 0x100 ; { }", "Expected flags or '{' after a numeric CanMessage hook"},
        {"on CanTpMessage { }", "Expected parameter field"},
        {"on CanTpMessage (5 = 1) { }", "Expected parameter field (t=263,' ')"},
        {"on CanTpMessage (txid 5) { }", "Expected assignment ('=')"},
        {"on CanTpMessage (protocol = 5) { }", "Attribute 'protocol' must be of type 'string'"},
        {"on CanTpMessage (name = 5) { }", "Attribute 'name' must be of type 'string'"},
        {"on CanTpMessage (protocol = \"LOOP\", block_size = \"x\") { }",
         "Protocol defined attributes must be of type 'int'"},
        {"on CanTpMessage (txid = ERR) { }", "Error frame not allowed for CanTpMessage"},
        {"on CanTpMessage (rxid = 100r) { }", "Remote frame not allowed for CanTpMessage"},
        {"on CanTpMessage (protocol = \"NONE\") { }", "Protocol type 'NONE' is not valid"},
        {"on CanTpMessage * { }", "Protocol type 'ISO-15765' is not valid"},
        {"on CanTpMessage (protocol = \"LOOP\", colour = 3) { }",
         "Attribute 'colour' is not accepted by protocol type 'LOOP'"},
        {"on LinWakeup { }", "Invalid 'on LinWakeup' hook detected"},
        {"on CanMessage NoSuchMessage { }", "Invalid CanMessage hook 'NoSuchMessage'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hook);
        VyrCanIf *can = make();
        shell.lines.clear();
        EXPECT_NE(compile(can, c.hook), 0);
        EXPECT_TRUE(logged(c.text));
    }
    unregister_transport_protocol("LOOP");
}

// Frames sent by canSendMessage and canChannelSendMessage, read back on a
// second handle with their identifier, flags and data.
TEST_F(CanScript, SentMessagesReachTheBus)
{
    VyrCanIf *can = make();
    ASSERT_EQ(compile(can,
                      "variables { int target; int result1; int result2; }\n"
                      "on CanMessage 1 {\n"
                      "  CanMessage m;\n"
                      "  m.id = 0x80000123; m.dlc = 3; m.flags = 0; m.data[0] = 0xA1; m.data[2] = 0xC3;\n"
                      "  result1 = canSendMessage (m);\n"
                      "  m.id = 0x245; m.dlc = 0; m.flags = CANMSG_FLAG_REMOTE;\n"
                      "  result2 = canChannelSendMessage (target, m);\n"
                      "}\n"),
              0);
    start(can);
    set_int(can, "target", can->message_channel_number());
    ASSERT_TRUE(run_handler(can, 1));
    EXPECT_EQ(int_of(can, "result1"), 0);
    EXPECT_EQ(int_of(can, "result2"), 0);

    VyrCanMessage got;
    ASSERT_TRUE(can_test::read_until(
        node->channel.get(), [](const VyrCanMessage &m) { return m.id == 0x123; }, &got));
    EXPECT_EQ(got.flags & (VyrCanMessage::Extended | VyrCanMessage::Remote), uint32_t(VyrCanMessage::Extended));
    EXPECT_EQ(got.dlc, 3);
    EXPECT_EQ(got.data[0], 0xA1);
    EXPECT_EQ(got.data[1], 0);
    EXPECT_EQ(got.data[2], 0xC3);
    ASSERT_TRUE(can_test::read_until(
        node->channel.get(), [](const VyrCanMessage &m) { return m.id == 0x245; }, &got));
    EXPECT_EQ(got.flags & (VyrCanMessage::Extended | VyrCanMessage::Remote), uint32_t(VyrCanMessage::Remote));

    // No interface on that channel number.
    set_int(can, "target", 99);
    ASSERT_TRUE(run_handler(can, 1));
    EXPECT_EQ(int_of(can, "result2"), -1);
}

TEST_F(CanScript, SendingFromReceiveOnlyInterfaceFails)
{
    VyrCanIf *can = make("CAN-RX");
    ASSERT_EQ(compile(can,
                      "variables { int result; }\n"
                      "on CanMessage 1 { CanMessage m; m.id = 0x10; result = canSendMessage (m); }\n"),
              0);
    start(can);
    ASSERT_TRUE(run_handler(can, 1));
    EXPECT_EQ(int_of(can, "result"), -1);
    EXPECT_TRUE(logged("Transmission of CAN packets not allowed"));
    EXPECT_TRUE(logged("canSendMessage() failed, res=-1."));
}

// A message variable starts from its database message; signal members
// written in the script reach the bus, as canmatrix decodes the frame.
TEST_F(CanScript, WrittenSignalMembersReachTheBus)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make();
    load(can, motohawk_dbc());
    ASSERT_EQ(compile(can,
                      "variables { int before; int after; int dlc; int id; }\n"
                      "on CanMessage 1 {\n"
                      "  CanMessage_ExampleMessage m;\n"
                      "  id = m.id; dlc = m.dlc;\n"
                      "  m.Temperature.Phys = 260.5;\n"
                      "  m.AverageRadius.Raw = 16;\n"
                      "  before = m.AverageRadius.Raw++;\n"
                      "  after = ++m.AverageRadius.Raw;\n"
                      "  m.Enable.Phys = 1;\n"
                      "  canSendMessage (m);\n"
                      "}\n"),
              0);
    start(can);
    ASSERT_TRUE(run_handler(can, 1));
    EXPECT_EQ(int_of(can, "id"), 0x1F0);
    EXPECT_EQ(int_of(can, "dlc"), 8);
    EXPECT_EQ(int_of(can, "before"), 16);
    EXPECT_EQ(int_of(can, "after"), 18);
    VyrCanMessage got;
    ASSERT_TRUE(can_test::read_until(
        node->channel.get(), [](const VyrCanMessage &m) { return m.id == 0x1F0; }, &got));
    EXPECT_EQ(got.dlc, 8);
    auto values = canmatrix_example(got.data);
    if (values.empty())
        GTEST_SKIP() << "python3-canmatrix did not run";
    EXPECT_NEAR(values["Temperature"].second, 260.5, 1e-9);
    EXPECT_NEAR(values["AverageRadius"].second, 1.8, 1e-9);
    EXPECT_EQ(values["Enable"].first, 1);
}

TEST_F(CanScript, ErrorCountersComeFromTheLastChipStateReport)
{
    VyrCanIf *can = make();
    ASSERT_EQ(compile(can,
                      "variables { int rx = -1; int tx = -1; int result = -1; }\n"
                      "on CanMessage 1 { result = canGetErrorCounters (&rx, &tx); }\n"),
              0);
    VyrCanIf::notify(VyrCanIf::RxErr, can, 0, 0, 7);
    VyrCanIf::notify(VyrCanIf::TxErr, can, 0, 0, 3);
    ASSERT_TRUE(run_handler(can, 1));
    EXPECT_EQ(int_of(can, "result"), 0);
    EXPECT_EQ(int_of(can, "rx"), 7);
    EXPECT_EQ(int_of(can, "tx"), 3);
}

// A CanTpMessage hook and the transport natives over the test's loop-back
// protocol: a packet from the bus runs the hook on the interface's thread,
// whose answer reaches the bus; its echo completes the transmission.
TEST_F(CanScript, TransportChannelsRunTheirHooks)
{
    register_transport_protocol("LOOP", can_test::make_loopback);
    VyrCanIf *can = make();
    ASSERT_EQ(compile(can,
                      "variables { int length = -1; int first = -1; int tx_result = -1; int rx_note; int tx_note;\n"
                      "int opened = -1; int set = -9; int got = -9; int unknown = -9; int missing = -9;\n"
                      "int closed = -9; int closed_again = -9; int copied = -9; int packet_length = -9;\n"
                      "byte copy [8]; }\n"
                      "on CanTpMessage (protocol = \"LOOP\", rxid = 300h, txid = 301h, block_size = 5) {\n"
                      "  length = this.length; first = this.data[0];\n"
                      "  copied = canTpGetData (this.handle, copy, 5000);\n"
                      "  packet_length = canTpGetPacketLength (this.handle);\n"
                      "  tx_result = canTpTransmit (this.handle, 2, this.data);\n"
                      "}\n"
                      "on action \"rx_done\" { rx_note = this + 100; }\n"
                      "on action \"tx_done\" { tx_note = this + 100; }\n"
                      "on start {\n"
                      "  canTpSetReceiveNotification (0, \"rx_done\");\n"
                      "  canTpSetTransmitNotification (0, \"tx_done\");\n"
                      "  opened = canTpOpen (0x400, 0x401, \"LOOP\");\n"
                      "  set = canTpSetAttrInt (opened, \"block_size\", 9);\n"
                      "  got = canTpGetAttrInt (opened, \"block_size\");\n"
                      "  unknown = canTpGetAttrInt (opened, \"colour\");\n"
                      "  missing = canTpGetAttrInt (77, \"block_size\");\n"
                      "  closed = canTpClose (opened);\n"
                      "  closed_again = canTpClose (opened);\n"
                      "}\n"),
              0);
    ASSERT_EQ(can->packet_source_count(), 1);
    EXPECT_EQ(can->packet_source(0)->name(), "Transport Layer");
    PacketRecorder packets;
    can->packet_source(0)->add_listener(&packets);
    start(can);
    auto value = [can](const char *name) { return running_int_of(can, name); };
    auto wait_for = [&](const char *name, int wanted) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (value(name) != wanted && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return value(name) == wanted;
    };
    ASSERT_TRUE(wait_for("closed_again", -1));
    EXPECT_EQ(value("opened"), 1); // the hook's channel has handle 0
    EXPECT_EQ(value("set"), 0);
    EXPECT_EQ(value("got"), 9);
    EXPECT_EQ(value("unknown"), -3);
    EXPECT_EQ(value("missing"), -1);
    EXPECT_EQ(value("closed"), 0);
    // Lines of the interface's thread reach the message window through the event loop.
    EXPECT_TRUE(shell.wait_until([&] { return logged("canTpOpen: rxid=1024, txid=1025, protocol='LOOP'"); }));
    EXPECT_TRUE(logged("canTpSetAttrInt: handle=1, name='block_size', value=9"));

    // A packet from the bus: the receive loop feeds the channel, whose hook
    // answers; the answer's echo completes the transmission.
    node->send(0x300, 0, {3, 7, 8, 9, 0, 0, 0, 0});
    ASSERT_TRUE(wait_for("tx_result", 0));
    EXPECT_EQ(value("length"), 3);
    EXPECT_EQ(value("first"), 7);
    EXPECT_EQ(value("copied"), 0);
    EXPECT_EQ(value("packet_length"), 3);
    EXPECT_TRUE(wait_for("rx_note", 100));
    VyrCanMessage answer;
    ASSERT_TRUE(node->receive(0x301, answer));
    EXPECT_EQ(hex(answer.data, 3), "020708");
    EXPECT_TRUE(wait_for("tx_note", 100));
    // The packets of both directions, the sending node first.
    const std::string channel = can->name() + "::LOOP_1";
    EXPECT_EQ(packets.packets(),
              (std::vector<std::string>{channel + " 300 301 3 070809", channel + " 301 300 2 0708"}));
    can->packet_source(0)->remove_listener(&packets);
    unregister_transport_protocol("LOOP");
}

// The J1939 formatter's view: a struct per J1939 message, identifier views,
// and j1939SendMessage reaching the bus.
TEST_F(CanScript, J1939MessagesGetStructsAndReachTheBus)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make();
    can->set_protocol_plugin_name(QStringLiteral("J1939"));
    load(can, j1939_dbc());
    ASSERT_EQ(
        compile(
            can,
            "variables { int dlc; int max_dlc; int id; int pgn; int pf; int pdu2_pgn; int da; int s1; int sent = -9;\n"
            "  int can_sa; int pgn_f0; int pgn_ef; int da_ef; int pf_240; int da_240; }\n"
            "on CanMessage 1 {\n"
            "  J1939Message_Message1 e;\n"
            "  e.pf = 0xF0F5; pgn_f0 = e.pgn;\n"
            "  e.pf = 0xEF; pgn_ef = e.pgn; da_ef = e.da;\n"
            "  e.pf = 240; pf_240 = e.pf; da_240 = e.da;\n"
            "  J1939Message_Message1 m;\n"
            "  dlc = m.dlc; max_dlc = m.max_dlc;\n"
            "  m.sa = 0x21; m.pf = 0xFEF1; pdu2_pgn = m.pgn;\n"
            "  m.pf = 0xEA; m.Signal1.Raw = -5;\n"
            "  id = m.id; pgn = m.pgn; pf = m.pf; da = m.da; s1 = m.Signal1.Raw;\n"
            "  sent = j1939SendMessage (m);\n"
            "  CanMessage_Message2 c;\n"
            "  c.id = 0x98FEF133; can_sa = c.sa;\n"
            "}\n"),
        0);
    int j1939_messages = 0;
    for (CANdbMessage *message = can->databases()->first_message(); message;
         message = can->databases()->next_message()) {
        SCOPED_TRACE(message->name);
        EXPECT_NE(runtime(can).symbols()->find_or_declare(("CanMessage_" + message->name).c_str()), nullptr);
        if (message->is_j1939()) {
            ++j1939_messages;
            EXPECT_NE(runtime(can).symbols()->find_or_declare(("J1939Message_" + message->name).c_str()), nullptr);
        }
    }
    EXPECT_GT(j1939_messages, 0);
    // The data array is as long as the message.
    const auto *message1 = static_cast<ScriptStructType *>(runtime(can).symbols()->find_or_declare("J1939Message_Message1"));
    ASSERT_NE(message1, nullptr);
    EXPECT_EQ(message1->find_member("data")->dim1, 8);

    start(can);
    ASSERT_TRUE(run_handler(can, 1));
    EXPECT_EQ(int_of(can, "dlc"), 8);
    EXPECT_EQ(int_of(can, "max_dlc"), 8);
    // A PDU2 format brings its group extension; a PDU1 format keeps the byte
    // below it as the destination.
    EXPECT_EQ(int_of(can, "pdu2_pgn"), 0xFEF1);
    // At the border of the two: PDU format 0xF0 reads its group extension,
    // 0xEF its destination; 240 written is a PDU format with its extension.
    EXPECT_EQ(int_of(can, "pgn_f0"), 0xF0F5);
    EXPECT_EQ(int_of(can, "pgn_ef"), 0xEF00);
    EXPECT_EQ(int_of(can, "da_ef"), 0xF5);
    EXPECT_EQ(int_of(can, "pf_240"), 0);
    EXPECT_EQ(int_of(can, "da_240"), 0xF0);
    EXPECT_EQ(uint32_t(int_of(can, "id")), 0x8CEAF121u);
    EXPECT_EQ(int_of(can, "pgn"), 0xEA00);
    EXPECT_EQ(int_of(can, "pf"), 0xEA);
    EXPECT_EQ(int_of(can, "da"), 0xF1);
    EXPECT_EQ(int_of(can, "s1"), -5);
    EXPECT_EQ(int_of(can, "sent"), 0);
    EXPECT_EQ(int_of(can, "can_sa"), 0x33);
    VyrCanMessage got;
    ASSERT_TRUE(can_test::read_until(
        node->channel.get(), [](const VyrCanMessage &m) { return m.id == 0x0CEAF121; }, &got));
    EXPECT_NE(got.flags & VyrCanMessage::Extended, 0u);
    EXPECT_EQ(got.dlc, 8);
    EXPECT_EQ(got.data[0], 0xFB);
}

// Only the messages a script names get their struct types, each built in
// linear time in its signals: a message of 100,000 signals among a thousand
// messages compiles at once.
TEST_F(CanScript, OnlyNamedMessagesGetStructs)
{
    VyrCanIf *can = make();
    auto network = std::make_unique<CANdbNetwork>();
    constexpr int signal_count = 100000;
    auto huge = std::make_unique<CANdbMessage>("Huge");
    huge->id = 0x10;
    huge->dlc = 8;
    for (int i = 0; i < signal_count; ++i) {
        auto signal = std::make_unique<CANdbSignal>(("S" + std::to_string(i)).c_str());
        signal->start_bit = i % 64;
        signal->length = 1;
        signal->value_type = CANdbRawUnsigned;
        huge->insert_signal(std::move(signal));
    }
    network->insert_message(std::move(huge));
    for (int i = 1; i < 1000; ++i) {
        auto message = std::make_unique<CANdbMessage>(("M" + std::to_string(i)).c_str());
        message->id = uint32_t(0x100 + i);
        message->dlc = 8;
        network->insert_message(std::move(message));
    }
    auto databases = std::make_unique<CANdbCluster>();
    databases->add_network(std::move(network));
    can->set_databases(std::move(databases));
    ASSERT_EQ(compile(can,
                      "variables { int last; int size; }\n"
                      "on start { CanMessage_Huge m; m.S99999.Raw = 1; last = m.S99999.Raw;\n"
                      "  size = sizeof (CanMessage_M7); }\n"),
              0);
    ASSERT_EQ(can->run_script_functions(can->start_functions()), 0);
    EXPECT_EQ(int_of(can, "last"), 1);
    EXPECT_EQ(int_of(can, "size"), VyrCanScriptBinding::message_size);

    ScriptSymbolTable *symbols = runtime(can).symbols();
    ScriptSymbol *named = symbols->find("CanMessage_Huge", 0);
    ASSERT_NE(named, nullptr);
    ASSERT_EQ(named->kind(), SYMBOL_STRUCT_TYPE);
    const ScriptSymbol *generic = symbols->find("CanMessage", 0);
    ASSERT_NE(generic, nullptr);
    EXPECT_EQ(static_cast<ScriptStructType *>(named)->member_count(),
              signal_count + static_cast<const ScriptStructType *>(generic)->member_count());
    EXPECT_NE(symbols->find("CanMessage_M7", 0), nullptr);
    int declared = 0;
    for (int i = 1; i < 1000; ++i)
        declared += symbols->find(("CanMessage_M" + std::to_string(i)).c_str(), 0) != nullptr;
    EXPECT_EQ(declared, 1);
}

// Every message of every DBC file of the shared test data gets its message
// struct when named (and, with the J1939 formatter, its J1939 struct when it
// is a J1939 message) with the data bytes where the binding reads them.
TEST_F(CanScript, EveryTestdataMessageGetsItsStructs)
{
    VYR_REQUIRE_TESTDATA();
    QDirIterator files(QString::fromStdString(vyr_test::testdata_dir() + "/dbc"), {"*.dbc"}, QDir::Files,
                       QDirIterator::Subdirectories);
    int checked = 0;
    while (files.hasNext()) {
        const std::string path = files.next().toStdString();
        SCOPED_TRACE(path);
        auto network = std::make_unique<CANdbNetwork>();
        DbcFileIo reader(path.c_str());
        if (reader.read_quiet(network.get()) != 0)
            continue;
        VyrCanIf *can = make();
        can->set_protocol_plugin_name(QStringLiteral("J1939"));
        auto databases = std::make_unique<CANdbCluster>();
        databases->add_network(std::move(network));
        can->set_databases(std::move(databases));
        ASSERT_EQ(compile(can, "on start { }\n"), 0);
        ScriptSymbolTable *symbols = runtime(can).symbols();
        for (CANdbMessage *message = can->databases()->first_message(); message;
             message = can->databases()->next_message()) {
            for (const char *prefix : {"CanMessage_", "J1939Message_"}) {
                if (prefix[0] == 'J' && !message->is_j1939())
                    continue;
                ScriptSymbol *symbol = symbols->find_or_declare((prefix + message->name).c_str());
                ASSERT_NE(symbol, nullptr) << prefix << message->name;
                ASSERT_EQ(symbol->kind(), SYMBOL_STRUCT_TYPE);
                const auto *type = static_cast<ScriptStructType *>(symbol);
                ASSERT_NE(type->find_member("data"), nullptr) << prefix << message->name;
                EXPECT_EQ(type->find_member("data")->address, 20u) << prefix << message->name;
                EXPECT_NE(type->tag, 0u);
                ++checked;
            }
        }
        owned.clear();
    }
    EXPECT_GT(checked, 100);
}

// A signal named like a member of CanMessage is left out of the message
// struct: the member keeps its place and the frame's bytes read as they are.
TEST_F(CanScript, SignalNamedLikeAMemberLeavesTheLayoutAlone)
{
    VyrCanIf *can = make();
    auto network = std::make_unique<CANdbNetwork>();
    auto message = std::make_unique<CANdbMessage>("Clash");
    message->id = 0x77;
    message->dlc = 8;
    for (const char *name : {"data", "Speed"}) {
        auto signal = std::make_unique<CANdbSignal>(name);
        signal->start_bit = 8;
        signal->length = 8;
        signal->value_type = CANdbRawUnsigned;
        message->insert_signal(std::move(signal));
    }
    network->insert_message(std::move(message));
    auto databases = std::make_unique<CANdbCluster>();
    databases->add_network(std::move(network));
    can->set_databases(std::move(databases));
    ASSERT_EQ(compile(can,
                      "variables { int first; int speed; }\n"
                      "on CanMessage Clash { first = this.data[0]; speed = this.Speed.Raw; }\n"),
              0);
    VyrCanMessage frame;
    frame.id = 0x77;
    frame.dlc = 8;
    frame.data[0] = 0x11;
    frame.data[1] = 0x22;
    ASSERT_TRUE(run_handler(can, 0x77, frame));
    EXPECT_EQ(int_of(can, "first"), 0x11);
    EXPECT_EQ(int_of(can, "speed"), 0x22);
}

// Values beyond an int or beyond a signal's bits convert by rule, never by
// an undefined cast: a raw integer read as int keeps its low 32 bits, a
// double written to an integer signal is held to 64 bits and the signal
// keeps its low bits, and a raw increment steps past the int range.
TEST_F(CanScript, OutOfRangeSignalValuesConvertByRule)
{
    VyrCanIf *can = make();
    auto network = std::make_unique<CANdbNetwork>();
    auto message = std::make_unique<CANdbMessage>("Wide");
    message->id = 0x78;
    message->dlc = 8;
    const struct
    {
        const char *name;
        int start_bit, length;
        CANdbRawType type;
    } signal_rows[] = {{"Big", 0, 64, CANdbRawUnsigned}, {"Temp", 0, 12, CANdbRawSigned}, {"Word", 32, 32, CANdbRawUnsigned}};
    for (const auto &row : signal_rows) {
        auto signal = std::make_unique<CANdbSignal>(row.name);
        signal->start_bit = row.start_bit;
        signal->length = row.length;
        signal->value_type = row.type;
        message->insert_signal(std::move(signal));
    }
    network->insert_message(std::move(message));
    auto databases = std::make_unique<CANdbCluster>();
    databases->add_network(std::move(network));
    can->set_databases(std::move(databases));
    ASSERT_EQ(compile(can,
                      "variables { int top; double top_phys; int held_high; int held_low; int stepped; int after; }\n"
                      "on start {\n"
                      "  CanMessage_Wide m;\n"
                      "  m.data[0] = 1; m.data[7] = 0x80;\n"
                      "  top = m.Big.Raw; top_phys = m.Big.Phys;\n"
                      "  m.Temp.Phys = 1e300; held_high = m.Temp.Raw;\n"
                      "  m.Temp.Phys = -1e300; held_low = m.Temp.Raw;\n"
                      "  m.Word.Raw = 0x7FFFFFFF; stepped = m.Word.Raw++; after = m.Word.Raw;\n"
                      "}\n"),
              0);
    ASSERT_EQ(can->run_script_functions(can->start_functions()), 0);
    EXPECT_EQ(int_of(can, "top"), 1);
    EXPECT_EQ(double_of(can, "top_phys"), 9223372036854775808.0); // 2^63 + 1 as near as a double comes
    EXPECT_EQ(int_of(can, "held_high"), -1); // held at 2^64 - 1, the 12 bits all set
    EXPECT_EQ(int_of(can, "held_low"), 0);   // held at -2^63, the 12 bits all clear
    EXPECT_EQ(int_of(can, "stepped"), 0x7FFFFFFF);
    EXPECT_EQ(int_of(can, "after"), INT32_MIN);
}

// The bus and channel natives on the virtual channel, and the natives
// without a channel.
TEST_F(CanScript, BusAndChannelNatives)
{
    VyrCanIf *can = make();
    ASSERT_EQ(compile(can,
                      "variables { int r[16]; int freq; int t1; int t2; int samples; int sjw; int silent;\n"
                      "  int status; int index; int hw_index; int missing; int filtered; int flag; }\n"
                      "on CanMessage 1 {\n"
                      "  r[0] = canSetBitRate (500000, 5, 2, 3, 2);\n"
                      "  r[1] = canGetBitRate (&freq, &t1, &t2, &samples, &sjw);\n"
                      "  r[2] = canSetSilentMode (1);\n"
                      "  r[3] = canGetSilentMode (&silent);\n"
                      "  r[4] = canSetSilentMode (0);\n"
                      "  r[5] = canBusOff ();\n"
                      "  r[6] = canGetBusStatus (&status);\n"
                      "  r[7] = canBusOn ();\n"
                      "  r[8] = canReset ();\n"
                      "  char name [64];\n"
                      "  sysGetInterfaceName (name, 64);\n"
                      "  index = canGetChannelIndexByName (name);\n"
                      "  hw_index = canGetChannelIndexByHardwareName (\"Virtual #1 (Channel 1)\");\n"
                      "  missing = canGetChannelIndexByHardwareName (name);\n"
                      "  CanMessage m;\n"
                      "  r[9] = canSetFilterFlag (m, 1);\n"
                      "  filtered = m.flags;\n"
                      "  flag = canGetFilterFlag (m);\n"
                      "  r[10] = canSetFilterFlag (m, 0);\n"
                      "  r[11] = canGetFilterFlag (m);\n"
                      "  r[12] = linSetBitrate (19200);\n"
                      "}\n"),
              0);
    // Without a channel the channel's natives fail; the others still answer.
    ASSERT_TRUE(run_handler(can, 1));
    for (int i : {0, 1, 2, 3, 5, 7, 8})
        EXPECT_EQ(runtime(can).machine()->data_int(int32_t(variable(can, "r")->address) + 4 * i), -1) << i;
    EXPECT_EQ(int_of(can, "index"), can->message_channel_number());
    EXPECT_EQ(int_of(can, "missing"), -1);
    EXPECT_EQ(int_of(can, "filtered"), 2);
    EXPECT_EQ(int_of(can, "flag"), 1);

    start(can);
    ASSERT_TRUE(run_handler(can, 1));
    auto result = [&](int i) { return runtime(can).machine()->data_int(int32_t(variable(can, "r")->address) + 4 * i); };
    EXPECT_EQ(result(0), 0);
    EXPECT_EQ(result(1), 0);
    EXPECT_EQ(int_of(can, "freq"), 500000);
    EXPECT_EQ(int_of(can, "t1"), 5);
    EXPECT_EQ(int_of(can, "t2"), 2);
    EXPECT_EQ(int_of(can, "samples"), 3);
    EXPECT_EQ(int_of(can, "sjw"), 2);
    // The channel got them in its own order.
    long bitrate = 0;
    unsigned tseg1 = 0, tseg2 = 0, sjw = 0, samples = 0, sync_mode = 0;
    ASSERT_EQ(can->channel()->get_bus_params(&bitrate, &tseg1, &tseg2, &sjw, &samples, &sync_mode), canhwSuccess);
    EXPECT_EQ(sjw, 2u);
    EXPECT_EQ(samples, 3u);
    EXPECT_EQ(result(2), 0);
    EXPECT_EQ(result(3), 0);
    EXPECT_EQ(int_of(can, "silent"), 1);
    EXPECT_EQ(result(5), 0);
    EXPECT_EQ(result(6), 0);
    EXPECT_EQ(int_of(can, "status"), 0); // bus off
    EXPECT_EQ(result(7), 0);
    EXPECT_EQ(result(8), 0);
    EXPECT_EQ(can->bus_state(), 3);
    EXPECT_EQ(int_of(can, "hw_index"), can->message_channel_number());
    EXPECT_EQ(result(9), 0);
    EXPECT_EQ(result(10), 0);
    EXPECT_EQ(result(11), 0);
    EXPECT_EQ(result(12), -1); // no LIN cable
}

// In LIN mode the LIN hooks belong to the interface: LinMessage as
// CanMessage, LinSynchError and LinWakeup on this_lin_exception.
TEST_F(CanScript, LinHooksInLinMode)
{
    VyrCanIf *lin = make("LIN");
    ASSERT_EQ(compile(lin,
                      "variables { int code; int id; }\n"
                      "on LinMessage 5 { id = this.id; }\n"
                      "on LinSynchError { code = this.code; }\n"
                      "on LinWakeup { code = this.break_length; }\n"),
              0);
    VyrScriptRuntime &script = runtime(lin);
    EXPECT_NE(script.find_script_trigger(VyrCanScriptBinding::can_message_trigger, 5), nullptr);
    const ScriptTrigger *synch = script.find_script_trigger(VyrCanScriptBinding::lin_exception_trigger, 1);
    ASSERT_NE(synch, nullptr);
    EXPECT_EQ(synch->name(), "LinSynchError");
    EXPECT_NE(script.find_script_trigger(VyrCanScriptBinding::lin_exception_trigger, 2), nullptr);
    {
        VyrSignalIf::ScriptRunLock lock(*lin);
        script.machine()->set_data_int(lin->script_binding()->this_lin_exception(), 3);
        ASSERT_EQ(script.run_function(synch->function_id()), 0);
    }
    EXPECT_EQ(int_of(lin, "code"), 3);

    VyrCanIf *can = make();
    EXPECT_NE(compile(can, "on LinMessage 5 { }\n"), 0);
}

// Frames from the bus reach their handlers through the interface's receive
// loop: by number, by database name with signal members, the catch-all for
// every frame but error frames, and the error-frame handler.
TEST_F(CanScript, FramesFromTheBusRunTheirHandlers)
{
    VYR_REQUIRE_TESTDATA();
    VyrCanIf *can = make();
    load(can, motohawk_dbc());
    ASSERT_EQ(compile(can,
                      "variables { int by_number; int extended_id; double temperature; int any; int errors; }\n"
                      "on CanMessage 0x123 { by_number = this.data[0]; }\n"
                      "on CanMessage 0x100x { extended_id = this.id; }\n"
                      "on CanMessage ExampleMessage { temperature = this.Temperature.Phys; }\n"
                      "on CanMessage * { any++; }\n"
                      "on CanMessage ERR { errors++; }\n"),
              0);
    start(can);
    const uint8_t payload[] = {0xC0, 0xFE, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    node->send(0x123, 0, {0x42});
    node->send(0x100, VyrCanMessage::Extended, {1});
    node->send(0x1F0, 0, std::vector<uint8_t>(payload, payload + 8));
    node->send(0, VyrCanMessage::ErrorFrame, {});
    auto value = [can](const char *name) { return running_int_of(can, name); };
    EXPECT_TRUE(can_test::eventually([&] { return value("any") == 3 && value("errors") == 1; }))
        << value("any") << " " << value("errors");
    EXPECT_EQ(value("by_number"), 0x42);
    EXPECT_EQ(value("extended_id"), 0x100);
    const auto values = canmatrix_example(payload);
    if (values.empty())
        GTEST_SKIP() << "python3-canmatrix did not run";
    VyrSignalIf::ScriptRunLock lock(*can);
    EXPECT_NEAR(double_of(can, "temperature"), values.at("Temperature").second, 1e-9);
}

} // namespace
