// The order of a received frame's road through a CAN interface on the real
// vrbus daemon: trigger conditions (by identifier, by range with a byte
// test), the DBC decode, the script's handler of its identifier with
// this_message, the catch-all handler, and the listener queue; a frame that
// the catch-all filters and an error frame, which only its own handler sees.
#include "can_test_support.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond_can.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "test_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace can_test;

const QString j1939_dbc = vyr_test::configured_testdata_dir() +
    "/dbc/css-api-examples/examples/data-processing/dbc_files/CSS-Electronics-SAE-J1939-DEMO.dbc";

// What the receive thread did, in order.
class OrderLog
{
public:
    void add(const std::string &event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }
    std::vector<std::string> events()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

// Logs the trigger's name each time it becomes set.
class SetRecorder : public VyrTriggerListener
{
public:
    SetRecorder(VyrTrigger *trigger, OrderLog &log) : VyrTriggerListener(trigger, "test"), m_log(log)
    {
        set_callback(
            [](VyrTriggerListener *listener, void *) {
                auto *self = static_cast<SetRecorder *>(listener);
                if (self->trigger()->state())
                    self->m_log.add(self->trigger()->name().toStdString());
            },
            nullptr);
    }

private:
    OrderLog &m_log;
};

class DecodeRecorder : public VyrSignalListener
{
public:
    explicit DecodeRecorder(OrderLog &log) : m_log(log) {}
    ~DecodeRecorder() override { detach(); }
    void value_changed(const SignalValue &value) override
    {
        m_log.add("EngineSpeed=" + std::to_string(value.double_value));
    }

private:
    OrderLog &m_log;
};

// Registered for one message key: interface handlers are called right after
// the listener queues got the frame, so the entry marks that place.
class ListenerRecorder : public VyrSignalIfHandler
{
public:
    ListenerRecorder(uint32_t key, OrderLog &log) : VyrSignalIfHandler(key), m_log(log) {}
    int on_frame(const uint8_t *, int, const TimeValue &, const void *record) override
    {
        char text[32];
        std::snprintf(text, sizeof text, "queue %X", static_cast<const VyrCanMessage *>(record)->id);
        m_log.add(text);
        return 0;
    }

private:
    OrderLog &m_log;
};

const char script[] = R"(
variables {
    int seen_id; int seen_flags; int seen_dlc; int seen_channel; int seen_timestamp; int seen_timestamp_us;
    int seen_byte3; int catch_all_flags; int error_flags; int error_id;
}
on CanMessage EEC1 {
    triggerReset(Handler); triggerSet(Handler);
    seen_id = this.id; seen_flags = this.flags; seen_dlc = this.dlc; seen_channel = this.channel;
    seen_timestamp = this.timestamp; seen_timestamp_us = this.timestamp_us; seen_byte3 = this.data[3];
}
on CanMessage * {
    triggerReset(CatchAll); triggerSet(CatchAll);
    if (this.id == 0x0CF004FE) catch_all_flags = this.flags;
    if (this.id == 0x7FF) this.flags = this.flags | 2;
}
on CanMessage ERR {
    triggerReset(ErrorHandler); triggerSet(ErrorHandler);
    error_flags = this.flags; error_id = this.id;
}
)";

class CanDispatch : public CanFixture
{
protected:
    void SetUp() override
    {
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
    }
    void TearDown() override
    {
        recorders.clear();
        owned.clear();
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }

    VyrTrigger *watched(const char *name)
    {
        auto *trigger = new VyrTrigger(&triggers, name);
        recorders.push_back(std::make_unique<SetRecorder>(trigger, log));
        return trigger;
    }

    void condition(VyrTrigger *target, const char *can_if, const char *first, const char *last,
                   std::vector<VyrTriggerCondDataCan::ByteTest> tests = {})
    {
        auto *cond = new VyrTriggerCond(&conditions);
        cond->set_target(target);
        cond->set_action(VyrTriggerCond::PulseTrigger);
        auto data = std::make_unique<VyrTriggerCondDataCan>();
        data->can_if = can_if;
        data->message_id_start = first;
        data->message_id_end = last;
        std::copy(tests.begin(), tests.end(), data->byte_tests.begin());
        cond->set_cond_data(std::move(data));
    }

    int32_t script_int(VyrCanIf *can, const char *name)
    {
        VyrScriptRuntime *runtime = VyrScriptRuntime::of(can);
        auto *variable = static_cast<ScriptVariable *>(runtime->symbols()->find(name, 0));
        return variable ? runtime->machine()->data_int(int32_t(variable->address)) : -12345;
    }

    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    OrderLog log;
    std::vector<std::unique_ptr<SetRecorder>> recorders;
};

TEST_F(CanDispatch, AFrameGoesThroughTriggersDecodingHandlersAndListenersInOrder)
{
    if (!QFileInfo::exists(j1939_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    QTemporaryDir dir;
    const QString script_path = dir.filePath("dispatch.vys");
    {
        QFile file(script_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script);
    }
    condition(watched("ByName"), "CAN1", "EEC1", "");
    condition(watched("ByRange"), "CAN1", "100h", "1FFh",
              {{true, 0x10, 0xFF, VyrTriggerCondDataCan::GreaterOrEqual}});
    condition(watched("OtherInterface"), "CAN2", "150h", "");
    condition(watched("ByteTestFails"), "CAN1", "150h", "", {{}, {true, 0x98, 0xFF, VyrTriggerCondDataCan::Equal}});
    condition(watched("Error"), "CAN1", "ERR", "");
    watched("Handler");
    watched("CatchAll");
    watched("ErrorHandler");

    VyrCanIf *can = make("CAN", virtual_channel, "", {j1939_dbc});
    can->set_script_file(script_path);
    ASSERT_EQ(can->sclib_init(), 0);
    DecodeRecorder speed(log);
    ASSERT_EQ(can->add_signal_listener(&speed, can->signal_list()->find("CSS-Electronics-SAE-J1939-DEMO.EEC1.EngineSpeed")),
              0);
    VyrMessageQueue queue(0, 64, 1000);
    can->add_message_listener(&queue);
    std::vector<std::unique_ptr<ListenerRecorder>> places;
    for (uint32_t key : {0x0CF004FEu | VyrCanIf::extended_key_bit, 0x150u, 0x151u, 0x7FFu, 0u, 0x152u}) {
        places.push_back(std::make_unique<ListenerRecorder>(key, log));
        can->add_handler(places.back().get());
    }
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    {
        BusNode node;
        node.send(0x0CF004FE, VyrCanMessage::Extended, {0x00, 0x00, 0x00, 0x40, 0x1F, 0x00, 0x00, 0x00});
        node.send(0x150, 0, {0x20, 0x99});
        node.send(0x151, 0, {0x05});
        node.send(0x7FF, 0, {0x01});
        node.send(0, VyrCanMessage::ErrorFrame, {});
        node.send(0x152, 0, {0x10});
    }
    const std::vector<std::string> expected = {
        "ByName", "EngineSpeed=1000.000000", "Handler", "CatchAll", "queue CF004FE",
        "ByRange", "CatchAll", "queue 150",
        "CatchAll", "queue 151",
        "CatchAll", // 0x7FF: filtered
        "Error", "ErrorHandler", "queue 0",
        "ByRange", "CatchAll", "queue 152"};
    ASSERT_TRUE(eventually([&] { return log.events().size() >= expected.size(); }));
    measurement.stop();
    EXPECT_EQ(log.events(), expected);

    for (const auto &place : places)
        can->remove_handler(place.get());
    std::vector<uint32_t> queued;
    VyrCanMessage first, message;
    ASSERT_EQ(queue.get(first), 0);
    for (queued.push_back(first.id); queue.get(message) == 0;)
        queued.push_back(message.id);
    EXPECT_EQ(queued, (std::vector<uint32_t>{0x0CF004FE, 0x150, 0x151, 0, 0x152}));
    EXPECT_EQ(script_int(can, "seen_id"), 0x0CF004FE);
    EXPECT_EQ(script_int(can, "seen_flags"), 0); // neither the extended nor the filter mark
    EXPECT_EQ(script_int(can, "catch_all_flags"), int(VyrCanMessage::Extended));
    EXPECT_EQ(script_int(can, "seen_dlc"), 8);
    EXPECT_EQ(script_int(can, "seen_channel"), can->message_channel_number());
    EXPECT_EQ(script_int(can, "seen_byte3"), 0x40);
    EXPECT_EQ(script_int(can, "seen_timestamp"), int(first.time));
    EXPECT_EQ(script_int(can, "seen_timestamp_us"), int((first.time * 100 + first.time_fraction) * 10));
    EXPECT_EQ(script_int(can, "error_flags"), int(VyrCanMessage::ErrorFrame));
    EXPECT_EQ(script_int(can, "error_id"), 0);
    can->clear_signal_listeners();
}

} // namespace
