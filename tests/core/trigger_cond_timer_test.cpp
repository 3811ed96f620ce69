// Timer conditions on a wheel that the test steps: which changes of the
// start trigger arm the time-out, which changes of the cancel trigger stop
// it, the wheel the measurement start picks, and the keys read by default.
#include "core/timer_wheel.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_handlers.h"
#include "core/vyr_trigger_cond_timer.h"
#include "settings/qtb_config.h"
#include "signal_if_test_support.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

using Timer = VyrTriggerCondDataTimer;

// A start trigger "Go", a cancel trigger "Halt" and a target whose changes count the fires.
class TimerConditions : public ::testing::Test
{
protected:
    TimerConditions()
    {
        VyrTriggerList::set_instance(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
        go = new VyrTrigger(&triggers, "Go");
        halt = new VyrTrigger(&triggers, "Halt");
        target = new VyrTrigger(&triggers, "Target");
        counter = std::make_unique<VyrTriggerListener>(target, "counter");
        counter->set_callback(
            [](VyrTriggerListener *, void *context) { static_cast<std::atomic<int> *>(context)->fetch_add(1); }, &fires);
    }
    ~TimerConditions() override
    {
        stop_timer_trigger_conditions();
        counter.reset();
        conditions.clear();
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }
    void add_condition(int start_event, bool cancel_active, int cancel_event)
    {
        auto data = std::make_unique<Timer>();
        data->start_trigger = "Go";
        data->start_event = start_event;
        data->timeout_ms = 100;
        data->cancel_active = cancel_active;
        data->cancel_trigger = "Halt";
        data->cancel_event = cancel_event;
        auto *condition = new VyrTriggerCond(&conditions);
        condition->set_action(VyrTriggerCond::ToggleTrigger);
        condition->set_target(target);
        condition->set_cond_data(std::move(data));
    }

    vyr_test::VyrTestShell shell;
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    VyrTrigger *go;
    VyrTrigger *halt;
    VyrTrigger *target;
    std::unique_ptr<VyrTriggerListener> counter;
    std::atomic<int> fires{0};
};

TEST_F(TimerConditions, StartAndCancelEventsDecideWhatArmsAndWhatStops)
{
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
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        go->reset();
        halt->reset();
        conditions.clear();
        add_condition(c.start_event, c.cancel_active, c.cancel_event);
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

TEST_F(TimerConditions, TheFirstInterfaceWithAWheelDrivesThem)
{
    add_condition(Timer::Set, false, Timer::Set);
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

TEST(TimerConditionKeys, AnEmptyGroupReadsTheDefaults)
{
    Timer data;
    data.start_trigger = "Go";
    data.timeout_ms = 5;
    data.start_event = data.cancel_event = Timer::Changed;
    data.cancel_active = true;
    QtbConfigGroup empty;
    data.read_config(&empty);
    EXPECT_EQ(data.timeout_ms, 1000);
    EXPECT_EQ(data.start_event, Timer::Set);
    EXPECT_EQ(data.cancel_event, Timer::Set);
    EXPECT_FALSE(data.cancel_active);
    EXPECT_TRUE(data.start_trigger.isEmpty());
    // An event code the program does not write has no word.
    data.start_event = 7;
    EXPECT_EQ(data.description(), "Timeout=1000ms, after trigger '' has been ");
}

} // namespace
