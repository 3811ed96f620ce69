// Signal trigger conditions on the real receive road: a CAN interface on the
// vrbus daemon decodes motohawk.dbc frames that a bus node sends (the values
// checked against python3-canmatrix), and the condition's watchers fire its
// target from the interface's thread.
#include "can_test_support.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_handlers.h"
#include "core/vyr_trigger_cond_signal.h"
#include "test_paths.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace can_test;

const QString motohawk_dbc = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
constexpr uint32_t example_message = 496;

std::vector<uint8_t> bytes_of(const QString &payload)
{
    const QByteArray data = QByteArray::fromHex(payload.section(':', 1).toLatin1());
    return std::vector<uint8_t>(data.begin(), data.end());
}

class TriggerSignalConditions : public CanFixture
{
protected:
    TriggerSignalConditions()
    {
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
        target = new VyrTrigger(&triggers, "Target");
        counter = std::make_unique<VyrTriggerListener>(target, "counter");
        counter->set_callback(
            [](VyrTriggerListener *, void *context) { static_cast<std::atomic<int> *>(context)->fetch_add(1); },
            &fires);
    }
    ~TriggerSignalConditions() override
    {
        stop_signal_trigger_conditions();
        counter.reset();
        conditions.clear();
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }

    // Temperature of the first interface at least `temperature`, Enable of
    // the second equal to raw 1.
    void add_condition(VyrCanIf *first, VyrCanIf *second, double temperature)
    {
        auto data = std::make_unique<VyrTriggerCondDataSignal>();
        data->relations.push_back({QString::fromStdString(first->make_id()), signal_name("Temperature"), temperature,
                                   RelationGreaterOrEqual, false});
        data->relations.push_back(
            {QString::fromStdString(second->make_id()), signal_name("Enable"), 1.0, RelationEqual, true});
        auto *condition = new VyrTriggerCond(&conditions);
        condition->set_action(VyrTriggerCond::ToggleTrigger);
        condition->set_target(target);
        condition->set_cond_data(std::move(data));
    }

    static QString signal_name(const char *signal) { return QStringLiteral("motohawk.ExampleMessage.") + signal; }

    // Waits until the interface decoded `count` frames of ExampleMessage.
    static bool decoded(ValueRecorder &recorder, size_t count)
    {
        return eventually([&] { return recorder.taken().size() >= count; });
    }

    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    VyrTrigger *target;
    std::unique_ptr<VyrTriggerListener> counter;
    std::atomic<int> fires{0};
};

} // namespace

TEST_F(TriggerSignalConditions, FiresWhenBothRelationsTurnTrueAndAgainOnlyAfterOneFell)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    const QStringList payloads = {"ExampleMessage:0000000000000000", "ExampleMessage:8001000000000000",
                                  "ExampleMessage:8010000000000000", "ExampleMessage:80f0000000000000",
                                  "ExampleMessage:0010000000000000", "ExampleMessage:8010000000000000"};
    const auto decoded_values = canmatrix_decode(motohawk_dbc, payloads);
    if (decoded_values.size() != size_t(payloads.size()))
        GTEST_SKIP() << "python3-canmatrix did not run";
    // The threshold lies between the second payload's temperature and the third's.
    const double threshold =
        (decoded_values[1].at("ExampleMessage.Temperature") + decoded_values[2].at("ExampleMessage.Temperature")) / 2;
    ASSERT_LT(decoded_values[1].at("ExampleMessage.Temperature"), threshold);
    ASSERT_GT(decoded_values[3].at("ExampleMessage.Temperature"), threshold);

    VyrCanIf *can = make("CAN", virtual_channel, "", {motohawk_dbc});
    SignalRecord *temperature = can->signal_list()->find(signal_name("Temperature").toLatin1().constData());
    ASSERT_NE(temperature, nullptr);
    add_condition(can, can, threshold);
    ValueRecorder recorder;
    ASSERT_EQ(can->add_signal_listener(&recorder, temperature), 0);
    // The watchers attach before the channels start, as the windows' listeners do.
    start_signal_trigger_conditions();
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    EXPECT_EQ(temperature->use_count(), 1);
    ASSERT_EQ(signal_trigger_cond_handlers().size(), 1u);
    for (const auto &watcher : signal_trigger_cond_handlers()[0]->watchers())
        ASSERT_TRUE(watcher->attached());

    BusNode node;
    // The fires after each frame. The listeners of one frame are served
    // before the next frame's: once the recorder has a frame's value, the
    // watchers are done with the frame before. A last frame like the one
    // before it (both stay true) closes the run.
    const int expected_fires[] = {0, 0, 1, 1, 1, 2, 2};
    for (int i = 0; i <= payloads.size(); ++i) {
        SCOPED_TRACE(i);
        node.send(example_message, 0, bytes_of(payloads[std::min(i, int(payloads.size()) - 1)]));
        ASSERT_TRUE(decoded(recorder, size_t(i + 1)));
        if (i < payloads.size()) {
            const SignalValue value = recorder.taken().back();
            EXPECT_DOUBLE_EQ(value.type == SignalValue::Double ? value.double_value : value.int_value,
                             decoded_values[size_t(i)].at("ExampleMessage.Temperature"));
        }
        // Frame i - 1 is done; frame i may be.
        if (i > 0) {
            EXPECT_GE(fires.load(), expected_fires[i - 1]);
            EXPECT_LE(fires.load(), expected_fires[i]);
        }
    }
    measurement.stop();
    can->clear_signal_listeners();
    stop_signal_trigger_conditions();
    EXPECT_EQ(temperature->use_count(), 0);
}
