// The key, signal and timer condition kinds: their configuration groups,
// descriptions and the handlers the measurement builds from them.
#include "core/key_codes.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_can.h"
#include "core/vyr_trigger_cond_handlers.h"
#include "core/vyr_trigger_cond_key.h"
#include "core/vyr_trigger_cond_signal.h"
#include "core/vyr_trigger_cond_timer.h"
#include "settings/qtb_config.h"
#include "signal_if_test_support.h"
#include "vyr_test_shell.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// A signal whose raw values are scaled by 0.5 with offset 10.
class ScaledSignal : public SignalRecord
{
public:
    double factor() const override { return 0.5; }
    double offset() const override { return 10.0; }
};

SignalRecord *add_signal(VyrSignalIf &signal_if, SignalRecord *signal, const char *name)
{
    signal->set_name(name);
    signal->set_direction(SignalRecord::Input);
    signal->add_flags(SignalRecord::DefinedByCompile);
    signal_if.signal_list()->insert(signal);
    return signal;
}

void deliver(SignalRecord *signal, double value)
{
    SignalValue record;
    record.set_double(value);
    signal->entry()->notify_listeners(record);
}

// The program's lists with a target trigger whose changes are counted (the
// conditions toggle it, so every fire is one change).
class TriggerConditions : public ::testing::Test
{
protected:
    TriggerConditions()
    {
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
        add_running_trigger(&triggers);
        target = new VyrTrigger(&triggers, "Target");
        counter = std::make_unique<VyrTriggerListener>(target, "counter");
        counter->set_callback(
            [](VyrTriggerListener *, void *context) { static_cast<std::atomic<int> *>(context)->fetch_add(1); }, &fires);
    }
    ~TriggerConditions() override
    {
        stop_key_trigger_conditions();
        stop_signal_trigger_conditions();
        stop_timer_trigger_conditions();
        counter.reset();
        conditions.clear();
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }

    VyrTriggerCond *add_condition(std::unique_ptr<VyrTriggerCondData> data)
    {
        auto *condition = new VyrTriggerCond(&conditions);
        condition->set_action(VyrTriggerCond::ToggleTrigger);
        condition->set_target(target);
        condition->set_cond_data(std::move(data));
        return condition;
    }

    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    VyrTrigger *target;
    std::unique_ptr<VyrTriggerListener> counter;
    std::atomic<int> fires{0};
};

std::unique_ptr<VyrTriggerCondDataSignal> two_relations(const QString &interface_id)
{
    auto data = std::make_unique<VyrTriggerCondDataSignal>();
    // Raw 30 is (30 - 10) / 0.5 = 40 in the signal's scale.
    data->relations.push_back({interface_id, "Temperature", 30.0, RelationGreaterOrEqual, true});
    data->relations.push_back({interface_id, "Enable", 1.0, RelationEqual, false});
    return data;
}

// A time-out of 100 ms after trigger "Go", cancelled by trigger "Halt".
std::unique_ptr<VyrTriggerCondDataTimer> timer_on_go(int start_event, bool cancel_active, int cancel_event)
{
    auto data = std::make_unique<VyrTriggerCondDataTimer>();
    data->start_trigger = "Go";
    data->start_event = start_event;
    data->timeout_ms = 100;
    data->cancel_active = cancel_active;
    data->cancel_trigger = "Halt";
    data->cancel_event = cancel_event;
    return data;
}

} // namespace

TEST(TriggerCondKinds, EveryKindReadsBackByteForByte)
{
    QTemporaryDir dir;
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    auto fill = [](VyrTriggerCondList &list) {
        auto can = std::make_unique<VyrTriggerCondDataCan>();
        can->can_if = "CAN1";
        can->message_id_start = "ExampleMessage";
        can->message_id_end = "ExampleMessage";
        can->byte_tests[2] = {true, 0x1f, 0xff, RelationGreater};
        auto key = std::make_unique<VyrTriggerCondDataKey>();
        key->key_code = key_modifier_ctrl | 'A';
        auto signal = std::make_unique<VyrTriggerCondDataSignal>();
        signal->relations.push_back({"CAN1", "Temperature", 0.1234567, RelationLess, true});
        signal->relations.push_back({"CAN1", "Enable", 1e-300, RelationNotEqual, false});
        auto timer = std::make_unique<VyrTriggerCondDataTimer>();
        timer->start_trigger = "Running";
        timer->timeout_ms = 500;
        timer->start_event = VyrTriggerCondDataTimer::Reset;
        timer->cancel_active = true;
        timer->cancel_trigger = "Stop";
        timer->cancel_event = VyrTriggerCondDataTimer::Changed;
        std::unique_ptr<VyrTriggerCondData> all[] = {std::move(can), std::move(key), std::move(signal), std::move(timer)};
        for (auto &data : all)
            (new VyrTriggerCond(&list))->set_cond_data(std::move(data));
    };
    auto write = [&dir](VyrTriggerCondList &list, const char *name) {
        QtbConfig config;
        list.write_config(config.add_group("main"));
        EXPECT_EQ(config.write_file(dir.filePath(name)), 0);
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    VyrTriggerCondList written;
    fill(written);
    const QByteArray first = write(written, "first.cfg");
    EXPECT_TRUE(first.contains("\"0.1234567\"")) << first.constData(); // not cut to 6 digits

    QtbConfig input(dir.filePath("first.cfg"));
    ASSERT_EQ(input.read(), 0);
    VyrTriggerCondList read;
    read.read_config(input.get_group("main"));
    ASSERT_EQ(read.count(), 4);
    int kinds[4] = {};
    int i = 0;
    for (VyrTriggerCond *condition = read.first(); condition; condition = read.next())
        kinds[i++] = condition->type();
    EXPECT_EQ(std::vector<int>(kinds, kinds + 4), (std::vector<int>{2, 1, 3, 4}));
    EXPECT_EQ(write(read, "second.cfg"), first);
    VyrTriggerList::set_instance(nullptr);
}

TEST(TriggerCondKinds, ValuesWrittenWithSixDigitsStillRead)
{
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("condition");
    QtbConfigGroup *entry = group->add_group("signal_data")->add_group("");
    entry->write_string("sif", "CAN1");
    entry->write_string("name", "Temperature");
    entry->write_string("value", "0.123457");
    entry->write_bool("raw", true);
    VyrTriggerCondDataSignal data;
    data.read_config(group);
    ASSERT_EQ(data.relations.size(), 1u);
    EXPECT_DOUBLE_EQ(data.relations[0].value, 0.123457);
    EXPECT_TRUE(data.relations[0].raw);
}

TEST(TriggerCondKinds, DescriptionsAndCopies)
{
    vyr_test::VyrTestShell shell;
    vyr_test::TestInterface interface(&shell, &shell.notification);
    interface.set_name("Engine");
    const QString id = QString::fromStdString(interface.make_id());

    VyrTriggerCondDataCan can_single;
    can_single.can_if = "CAN9";
    can_single.message_id_start = can_single.message_id_end = "100h";
    VyrTriggerCondDataCan can_range;
    can_range.can_if = id;
    can_range.message_id_start = "100h";
    can_range.message_id_end = "1ffh";
    VyrTriggerCondDataKey key;
    key.key_code = key_modifier_shift | key_name_to_code("F5");
    VyrTriggerCondDataSignal signal_one;
    signal_one.relations.push_back({id, "Speed", 12.3456789, RelationLessOrEqual, false});
    auto signal_two = two_relations(id);
    signal_two->relations.push_back({"NOWHERE1", "Gone", 1.0, RelationEqual, false});
    VyrTriggerCondDataSignal signal_empty;
    VyrTriggerCondDataTimer timer;
    timer.start_trigger = "Running";
    timer.timeout_ms = 500;
    VyrTriggerCondDataTimer timer_cancel;
    timer_cancel.assign(timer);
    timer_cancel.cancel_active = true;
    timer_cancel.cancel_trigger = "Stop";
    timer_cancel.cancel_event = VyrTriggerCondDataTimer::Changed;

    const struct
    {
        const VyrTriggerCondData *data;
        QString text;
    } cases[] = {
        {&can_single, "CAN Channel='NONE', CAN ID=100h"},
        {&can_range, "CAN Channel='Engine', CAN ID=100h ... 1ffh"},
        {&key, "Key=SHIFT+F5"},
        {&signal_one, "Engine::Speed <= 12.3457"},
        {signal_two.get(), "(Engine::Temperature >= 30) && (Engine::Enable == 1) && "},
        {&signal_empty, "  <empty>  "},
        {&timer, "Timeout=500ms, after trigger 'Running' has been Set"},
        {&timer_cancel,
         "Timeout=500ms, after trigger 'Running' has been Set; Cancel when Trigger 'Stop' has been Changed."},
    };
    for (const auto &row : cases)
        EXPECT_EQ(row.data->description(), row.text);

    // assign copies every field and ignores another kind.
    VyrTriggerCondDataSignal copy;
    copy.assign(*signal_two);
    EXPECT_EQ(copy.description(), signal_two->description());
    copy.assign(key);
    EXPECT_EQ(copy.relations.size(), 3u);
    VyrTriggerCondDataCan can_copy;
    can_copy.assign(can_range);
    EXPECT_EQ(can_copy.description(), can_range.description());
}

TEST(TriggerCondKinds, RenamedTriggersFollowIntoTimerConditions)
{
    VyrTriggerCondList conditions;
    auto timer = std::make_unique<VyrTriggerCondDataTimer>();
    timer->start_trigger = "A";
    timer->cancel_trigger = "B";
    auto *condition = new VyrTriggerCond(&conditions);
    condition->set_cond_data(std::move(timer));
    // Two names swapped in one dialog.
    rename_timer_condition_triggers(&conditions, {{"A", "B"}, {"B", "A"}});
    const auto *data = static_cast<VyrTriggerCondDataTimer *>(condition->cond_data());
    EXPECT_EQ(data->start_trigger, "B");
    EXPECT_EQ(data->cancel_trigger, "A");
}

TEST_F(TriggerConditions, SignalConditionFiresWhenItsLastRelationBecomesTrue)
{
    vyr_test::VyrTestShell shell;
    vyr_test::TestInterface interface(&shell, &shell.notification);
    SignalRecord *temperature = add_signal(interface, new ScaledSignal, "Temperature");
    SignalRecord *enable = add_signal(interface, new SignalRecord, "Enable");
    add_condition(two_relations(QString::fromStdString(interface.make_id())));
    // Without a target, or of another kind: no handler.
    add_condition(std::make_unique<VyrTriggerCondDataSignal>())->set_target(nullptr);

    start_signal_trigger_conditions();
    ASSERT_EQ(signal_trigger_cond_handlers().size(), 1u);
    const SignalTriggerCondHandler &handler = *signal_trigger_cond_handlers()[0];
    EXPECT_TRUE(handler.watchers()[0]->attached());
    EXPECT_EQ(temperature->use_count(), 1);

    deliver(temperature, 39.9);
    deliver(enable, 1);
    EXPECT_EQ(fires, 0);
    deliver(temperature, 40.0); // both true now
    EXPECT_EQ(fires, 1);
    deliver(temperature, 45.0); // stays true
    deliver(enable, 1);
    EXPECT_EQ(fires, 1);
    deliver(enable, 0);
    deliver(enable, 1);
    EXPECT_EQ(fires, 2);

    stop_signal_trigger_conditions();
    EXPECT_EQ(temperature->use_count(), 0);
    EXPECT_EQ(enable->use_count(), 0);
}

// The relations of one condition on two interfaces, delivered by two threads
// at once: the count of true relations stays exact.
TEST_F(TriggerConditions, RelationsServedByTwoThreadsCountTogether)
{
    vyr_test::VyrTestShell shell;
    vyr_test::TestInterface first(&shell, &shell.notification);
    vyr_test::TestInterface second(&shell, &shell.notification);
    SignalRecord *temperature = add_signal(first, new ScaledSignal, "Temperature");
    SignalRecord *enable = add_signal(second, new SignalRecord, "Enable");
    auto data = two_relations(QString::fromStdString(first.make_id()));
    data->relations[1].interface_id = QString::fromStdString(second.make_id());
    add_condition(std::move(data));
    start_signal_trigger_conditions();

    constexpr int rounds = 20000;
    std::thread second_thread([&] {
        for (int i = 0; i < rounds; ++i)
            deliver(enable, (i + 1) % 2);
    });
    for (int i = 0; i < rounds; ++i)
        deliver(temperature, i % 2 ? 39.0 : 41.0);
    second_thread.join();
    // Both relations ended false.
    EXPECT_EQ(signal_trigger_cond_handlers()[0]->true_count(), 0);
    const int before = fires;
    deliver(temperature, 41.0);
    EXPECT_EQ(fires, before);
    deliver(enable, 1);
    EXPECT_EQ(fires, before + 1);
    // As the measurement does: the watchers go before the interfaces and their signals.
    stop_signal_trigger_conditions();
}

TEST_F(TriggerConditions, TimerConditionFiresAfterItsTimeOutUnlessCancelled)
{
    vyr_test::VyrTestShell shell;
    vyr_test::TestInterface interface(&shell, &shell.notification);
    TimerWheel wheel(1024, 0, 1, 200);
    interface.set_timer(&wheel, false);
    VyrTrigger *running = triggers.find("Running");
    VyrTrigger *stop = new VyrTrigger(&triggers, "Stop");
    auto data = std::make_unique<VyrTriggerCondDataTimer>();
    data->start_trigger = "Running";
    data->timeout_ms = 500;
    data->cancel_active = true;
    data->cancel_trigger = "Stop";
    data->cancel_event = VyrTriggerCondDataTimer::Changed;
    add_condition(std::move(data));

    start_timer_trigger_conditions();
    ASSERT_EQ(timer_trigger_cond_consumers().size(), 1u);
    running->set();
    wheel.advance(499);
    EXPECT_EQ(fires, 0);
    wheel.advance(500);
    EXPECT_EQ(fires, 1);

    // A second set 300 ms after the first re-arms the time-out.
    running->reset();
    running->set();
    wheel.advance(800);
    running->reset(); // not the start event
    running->set();
    wheel.advance(1299);
    EXPECT_EQ(fires, 1);
    wheel.advance(1300);
    EXPECT_EQ(fires, 2);

    // Any change of the cancel trigger stops it.
    running->reset();
    running->set();
    wheel.advance(1600);
    stop->set();
    wheel.advance(3000);
    EXPECT_EQ(fires, 2);

    stop_timer_trigger_conditions();
    EXPECT_TRUE(running->listeners().empty());
    EXPECT_TRUE(stop->listeners().empty());
    interface.set_timer(nullptr, false);
}

TEST_F(TriggerConditions, TimerStartAndCancelEventsDecideWhatArmsAndWhatStops)
{
    using Timer = VyrTriggerCondDataTimer;
    VyrTrigger *go = new VyrTrigger(&triggers, "Go");
    VyrTrigger *halt = new VyrTrigger(&triggers, "Halt");
    // A timeline per case: at each time a change of a trigger ('G' Go set,
    // 'g' Go reset, 'H' Halt set, 'h' Halt reset) or '?' a check of the
    // fires counted so far.
    struct Step
    {
        uint32_t time;
        char what;
        int fires = 0;
    };
    const struct
    {
        const char *name;
        int start_event;
        bool cancel_active;
        int cancel_event;
        std::vector<Step> steps;
    } cases[] = {
        {"start on Reset: the set does not arm",
         Timer::Reset, false, Timer::Set,
         {{0, 'G'}, {10, 'g'}, {99, '?', 0}, {109, '?', 0}, {110, '?', 1}}},
        {"start on Changed: every change arms again",
         Timer::Changed, false, Timer::Set,
         {{0, 'G'}, {50, 'g'}, {149, '?', 0}, {150, '?', 1}}},
        {"start on Set: the reset neither arms nor cancels",
         Timer::Set, false, Timer::Set,
         {{0, 'G'}, {50, 'g'}, {100, '?', 1}}},
        {"cancel not active: the cancel trigger is not heard",
         Timer::Set, false, Timer::Changed,
         {{0, 'G'}, {50, 'H'}, {100, '?', 1}}},
        {"cancel on Set: its reset does not cancel, its set does",
         Timer::Set, true, Timer::Set,
         {{0, 'H'}, {10, 'G'}, {50, 'h'}, {110, '?', 1}, {200, 'g'}, {210, 'G'}, {250, 'H'}, {400, '?', 1}}},
        {"cancel on Reset: its set does not cancel, its reset does",
         Timer::Set, true, Timer::Reset,
         {{0, 'G'}, {50, 'H'}, {100, '?', 1}, {200, 'g'}, {210, 'G'}, {250, 'h'}, {400, '?', 1}}},
    };
    vyr_test::VyrTestShell shell;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        go->reset();
        halt->reset();
        conditions.clear();
        add_condition(timer_on_go(c.start_event, c.cancel_active, c.cancel_event));
        vyr_test::TestInterface interface(&shell, &shell.notification);
        TimerWheel wheel(1024, 0, 1, 200);
        interface.set_timer(&wheel, false);
        start_timer_trigger_conditions();
        ASSERT_EQ(timer_trigger_cond_consumers().size(), 1u);
        fires = 0;
        for (const Step &step : c.steps) {
            wheel.advance(step.time);
            switch (step.what) {
            case 'G': go->set(); break;
            case 'g': go->reset(); break;
            case 'H': halt->set(); break;
            case 'h': halt->reset(); break;
            default: EXPECT_EQ(fires, step.fires) << "at " << step.time;
            }
        }
        stop_timer_trigger_conditions();
        interface.set_timer(nullptr, false);
    }
}

TEST_F(TriggerConditions, TimerConditionsRunOnTheFirstInterfaceWithAWheel)
{
    VyrTrigger *go = new VyrTrigger(&triggers, "Go");
    add_condition(timer_on_go(VyrTriggerCondDataTimer::Set, false, VyrTriggerCondDataTimer::Set));
    vyr_test::VyrTestShell shell;
    vyr_test::TestInterface without(&shell, &shell.notification);
    start_timer_trigger_conditions();
    EXPECT_TRUE(timer_trigger_cond_consumers().empty()) << "no wheel anywhere: nothing to arm";

    vyr_test::TestInterface with(&shell, &shell.notification);
    TimerWheel wheel(1024, 0, 1, 200);
    with.set_timer(&wheel, false);
    start_timer_trigger_conditions();
    ASSERT_EQ(timer_trigger_cond_consumers().size(), 1u);
    go->set();
    wheel.advance(100);
    EXPECT_EQ(fires, 1);
    stop_timer_trigger_conditions();
    with.set_timer(nullptr, false);
}

TEST(TriggerCondKinds, AnEmptyGroupReadsTheTimerDefaults)
{
    VyrTriggerCondDataTimer data;
    data.start_trigger = "Go";
    data.timeout_ms = 5;
    data.start_event = data.cancel_event = VyrTriggerCondDataTimer::Changed;
    data.cancel_active = true;
    QtbConfigGroup empty;
    data.read_config(&empty);
    EXPECT_EQ(data.timeout_ms, 1000);
    EXPECT_EQ(data.start_event, VyrTriggerCondDataTimer::Set);
    EXPECT_EQ(data.cancel_event, VyrTriggerCondDataTimer::Set);
    EXPECT_FALSE(data.cancel_active);
    EXPECT_TRUE(data.start_trigger.isEmpty());
    // An event code the program does not write has no word.
    data.start_event = 7;
    EXPECT_EQ(data.description(), "Timeout=1000ms, after trigger '' has been ");
}

TEST_F(TriggerConditions, KeyConditionFiresOnItsKeyWhileTheTableIsEnabled)
{
    VyrGlobalAccel table(VyrGlobalAccel::program_bucket_count);
    VyrGlobalAccel::set_instance(&table);
    auto data = std::make_unique<VyrTriggerCondDataKey>();
    data->key_code = key_modifier_ctrl | 'K';
    add_condition(std::move(data));

    start_key_trigger_conditions();
    ASSERT_EQ(key_trigger_cond_handlers().size(), 1u);
    table.handle_key('K', key_state_ctrl);
    EXPECT_EQ(fires, 0); // disabled outside a measurement
    table.set_enabled(true);
    table.handle_key('K', 0);
    EXPECT_EQ(fires, 0);
    table.handle_key('K', key_state_ctrl);
    EXPECT_EQ(fires, 1);
    stop_key_trigger_conditions();
    table.handle_key('K', key_state_ctrl);
    EXPECT_EQ(fires, 1);
    VyrGlobalAccel::set_instance(nullptr);
}
