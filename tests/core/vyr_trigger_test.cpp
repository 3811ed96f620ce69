// The trigger model: state changes and who hears of them, the one-sided lock
// between the realtime and the GUI side, and the trigger and condition groups
// of the configuration.
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"

#include <QSignalSpy>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace {

// Records the trigger's state at every notification.
struct StateLog
{
    explicit StateLog(VyrTrigger *trigger) : listener(trigger, "TestConsumer")
    {
        listener.set_callback(
            [](VyrTriggerListener *l, void *context) {
                static_cast<StateLog *>(context)->states += std::to_string(l->trigger()->state());
            },
            this);
    }
    VyrTriggerListener listener;
    std::string states;
};

std::string capture_trace(const std::function<void()> &action)
{
    set_debug_trace_enabled(true);
    testing::internal::CaptureStderr();
    action();
    std::string trace = testing::internal::GetCapturedStderr();
    set_debug_trace_enabled(false);
    return trace;
}

} // namespace

TEST(VyrTriggerTest, StateChangesAndTheirNotifications)
{
    struct Case
    {
        const char *what;
        int initial;
        void (VyrTrigger::*change)();
        int state;
        const char *heard; // the state each listener call saw
    };
    const Case cases[] = {
        {"set on a reset trigger", 0, &VyrTrigger::set, 1, "1"},
        {"set on a set trigger", 1, &VyrTrigger::set, 1, ""},
        {"reset on a set trigger", 1, &VyrTrigger::reset, 0, "0"},
        {"reset on a reset trigger", 0, &VyrTrigger::reset, 0, ""},
        {"toggle from reset", 0, &VyrTrigger::toggle, 1, "1"},
        {"toggle from set", 1, &VyrTrigger::toggle, 0, "0"},
        {"pulse on a reset trigger", 0, &VyrTrigger::pulse, 0, "10"},
        {"pulse on a set trigger", 1, &VyrTrigger::pulse, 0, "0"},
    };
    for (const Case &c : cases) {
        VyrTriggerList list;
        VyrTrigger *trigger = new VyrTrigger(&list, "T");
        if (c.initial)
            trigger->set();
        StateLog log(trigger);
        (trigger->*c.change)();
        EXPECT_EQ(trigger->state(), c.state) << c.what;
        EXPECT_EQ(log.states, c.heard) << c.what;
        EXPECT_EQ(trigger->rt_lock_count(), 0) << c.what;
    }
}

TEST(VyrTriggerTest, WhileTheGuiHoldsTheTriggerTheRealtimeSideChangesStateButNotifiesNobody)
{
    VyrTriggerList list;
    VyrTrigger *trigger = new VyrTrigger(&list, "T");
    StateLog log(trigger);
    ASSERT_EQ(trigger->gui_lock(), 0);
    const std::string trace = capture_trace([&] { trigger->set(); });
    EXPECT_EQ(trigger->state(), 1);
    EXPECT_EQ(log.states, "");
    EXPECT_EQ(trace, "VyrTrigger::rt_lock() FAILED\n");
    EXPECT_EQ(trigger->rt_lock_count(), 0);
    trigger->gui_unlock();
    trigger->reset();
    EXPECT_EQ(log.states, "0");
}

TEST(VyrTriggerTest, GuiLockGivesUpWhenTheRealtimeSideStaysInside)
{
    VyrTriggerList list;
    VyrTrigger trigger(&list, "T");
    ASSERT_EQ(trigger.rt_lock(), 0);
    const std::string trace = capture_trace([&] { EXPECT_EQ(trigger.gui_lock(), -1); });
    EXPECT_EQ(trace, "VyrTrigger::gui_lock () FAILED\n");
    EXPECT_EQ(trigger.gui_lock_count(), 0);
    trigger.rt_unlock();
    EXPECT_EQ(trigger.gui_lock(), 0);
    trigger.gui_unlock();
}

// The GUI side changes the listener list inside gui_lock while a realtime
// thread pulses the trigger: the thread sanitizer sees every list access
// ordered by the two counts, and no notification reaches a listener that is
// being removed.
TEST(VyrTriggerTest, RealtimeAndGuiSidesAreNeverInsideAtOnce)
{
    VyrTriggerList list;
    VyrTrigger trigger(&list, "T");
    std::atomic<bool> done{false};
    std::atomic<int> notified{0};
    std::thread realtime([&] {
        while (!done.load())
            trigger.pulse();
    });
    for (int round = 0; round < 300; ++round) {
        ASSERT_EQ(trigger.gui_lock(), 0);
        auto *listener = new VyrTriggerListener(&trigger, "Consumer");
        listener->set_callback([](VyrTriggerListener *, void *count) { ++*static_cast<std::atomic<int> *>(count); },
                               &notified);
        trigger.gui_unlock();
        ASSERT_EQ(trigger.gui_lock(), 0);
        delete listener;
        trigger.gui_unlock();
    }
    done = true;
    realtime.join();
    EXPECT_TRUE(trigger.listeners().empty());
    EXPECT_EQ(trigger.rt_lock_count(), 0);
    EXPECT_EQ(trigger.gui_lock_count(), 0);
}

// Entries removed during a walk, the current one among them, leave the walk
// on the entry after them: removing the first at the first, one at the
// cursor with one after it, one before the cursor.
TEST(VyrTriggerTest, WalksGoOnAfterTheEntriesRemovedDuringThem)
{
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    std::map<QString, VyrTrigger *> trigger;
    std::map<QString, VyrTriggerCond *> condition;
    for (const char *name : {"A", "B", "C", "D", "E"}) {
        trigger[name] = new VyrTrigger(&triggers, name);
        condition[name] = new VyrTriggerCond(&conditions);
        condition[name]->set_name(name);
    }
    const std::map<QString, QStringList> removed_at = {{"A", {"A"}}, {"C", {"C", "E"}}, {"D", {"B"}}};
    std::string triggers_walked, conditions_walked;
    for (VyrTrigger *t = triggers.first(); t; t = triggers.next()) {
        const QString name = t->name();
        triggers_walked += name.toStdString();
        for (const QString &gone : removed_at.count(name) ? removed_at.at(name) : QStringList())
            delete trigger[gone];
    }
    for (VyrTriggerCond *c = conditions.first(); c; c = conditions.next()) {
        const QString name = c->name();
        conditions_walked += name.toStdString();
        for (const QString &gone : removed_at.count(name) ? removed_at.at(name) : QStringList())
            delete condition[gone];
    }
    EXPECT_EQ(triggers_walked, "ABCD");
    EXPECT_EQ(conditions_walked, "ABCD");
    EXPECT_EQ(triggers.count(), 1);
    EXPECT_EQ(conditions.count(), 1);
}

TEST(VyrTriggerTest, DeletedTriggerDetachesItsListenersAndClearsConditionTargets)
{
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    QObject::connect(&triggers, &VyrTriggerList::trigger_removed, &conditions, &VyrTriggerCondList::trigger_removed);
    QSignalSpy removed(&triggers, &VyrTriggerList::trigger_removed);
    VyrTrigger *trigger = new VyrTrigger(&triggers, "Gone");
    VyrTriggerListener listener(trigger, "Watcher");
    auto *condition = new VyrTriggerCond(&conditions);
    condition->set_target(trigger);
    delete trigger;
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(listener.trigger(), nullptr);
    EXPECT_EQ(condition->target(), nullptr);
    EXPECT_EQ(condition->fire(), -1);
    EXPECT_EQ(triggers.count(), 0);
}

TEST(VyrTriggerTest, FindAnswersTheOldestTriggerOfANameAndFollowsRenames)
{
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    VyrTrigger *first = new VyrTrigger(&triggers, "Same");
    VyrTrigger *second = new VyrTrigger(&triggers, "Same");
    VyrTrigger *other = new VyrTrigger(&triggers, "Other");
    EXPECT_EQ(triggers.find("Same"), first);
    first->set_name("Renamed");
    EXPECT_EQ(triggers.find("Same"), second);
    EXPECT_EQ(triggers.find("Renamed"), first);
    first->set_name("Same"); // back to the front: it is the older one
    EXPECT_EQ(triggers.find("Same"), first);
    other->set_name("Same");
    EXPECT_EQ(triggers.find("Other"), nullptr);
    delete first;
    EXPECT_EQ(triggers.find("Same"), second);
    delete second;
    EXPECT_EQ(triggers.find("Same"), other);

    // A deleted condition leaves its target's list; a deleted trigger clears its conditions' targets.
    auto *condition = new VyrTriggerCond(&conditions);
    condition->set_target(other);
    EXPECT_EQ(other->conditions(), std::vector<VyrTriggerCond *>{condition});
    delete condition;
    EXPECT_TRUE(other->conditions().empty());
    condition = new VyrTriggerCond(&conditions);
    condition->set_target(other);
    delete other;
    EXPECT_EQ(condition->target(), nullptr);
}

// Loading and unloading a configuration takes linear time in its triggers
// and conditions: 200,000 of each, every condition aimed at its own trigger,
// finish well within the test's time limit, where a lookup that walked the
// list (or a removal that walked the conditions) took many minutes.
TEST(VyrTriggerTest, ManyTriggersWithConditionsLoadAndUnload)
{
    constexpr int count = 200000;
    QtbConfig config;
    QtbConfigGroup *main = config.add_group("main");
    QtbConfigGroup *trigger_groups = main->add_group("triggers");
    QtbConfigGroup *condition_groups = main->add_group("conditions");
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("T%1").arg(i);
        write_name_and_comment(trigger_groups->add_group(""), name, QString());
        QtbConfigGroup *condition = condition_groups->add_group("");
        write_name_and_comment(condition, QStringLiteral("C%1").arg(i), QString());
        condition->write_string("trigger", name);
        condition->write_int("action", VyrTriggerCond::SetTrigger);
    }

    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTriggerCondList conditions;
    QObject::connect(&triggers, &VyrTriggerList::trigger_removed, &conditions, &VyrTriggerCondList::trigger_removed);
    add_running_trigger(&triggers);
    triggers.read_config(main);
    conditions.read_config(main);
    ASSERT_EQ(triggers.count(), count + 1);
    ASSERT_EQ(conditions.count(), count);
    int aimed = 0;
    for (VyrTriggerCond *condition = conditions.first(); condition; condition = conditions.next())
        aimed += condition->target() && condition->target()->name() == "T" + condition->name().mid(1);
    EXPECT_EQ(aimed, count);

    triggers.delete_configured();
    EXPECT_EQ(triggers.count(), 1);
    EXPECT_NE(triggers.find("Running"), nullptr);
    int without_target = 0;
    for (VyrTriggerCond *condition = conditions.first(); condition; condition = conditions.next())
        without_target += condition->target() == nullptr;
    EXPECT_EQ(without_target, count);
    conditions.clear();
    EXPECT_EQ(conditions.count(), 0);
    VyrTriggerList::set_instance(nullptr);
}

TEST(VyrTriggerTest, ConditionActionsAndTheirNames)
{
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    VyrTrigger *target = new VyrTrigger(&triggers, "T");
    VyrTriggerCond condition(&conditions);
    condition.set_target(target);
    StateLog log(target);
    for (int action : {1, 1, 3, 2, 4, 0, 7}) {
        condition.set_action(action);
        EXPECT_EQ(condition.fire(), 0);
    }
    EXPECT_EQ(log.states, "10" "10"); // set, (set again: nothing), toggle, (reset: nothing), pulse
    EXPECT_EQ(VyrTriggerCond::action_name(3), "ToggleTrigger");
    EXPECT_EQ(VyrTriggerCond::action_name(9), "???");
    EXPECT_TRUE(is_valid_trigger_name("Motor_2"));
    EXPECT_FALSE(is_valid_trigger_name("Motor 2"));
}

namespace {

// A condition kind of the test: one integer.
class CounterData : public VyrTriggerCondData
{
public:
    CounterData() : VyrTriggerCondData(9) {}
    void assign(const VyrTriggerCondData &other) override { count = static_cast<const CounterData &>(other).count; }
    QString description() const override { return QString::number(count); }
    void write_config(QtbConfigGroup *group) const override { group->write_int("count", count); }
    void read_config(QtbConfigGroup *group) override { count = group->read_int("count", -1); }
    int count = 0;
};
const VyrTriggerCondKind counter_kind(9, "TriggerCondCounter", "Counter", [] { return std::unique_ptr<VyrTriggerCondData>(new CounterData); });

QByteArray file_bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(VyrTriggerTest, TriggerAndConditionGroupsReadBackByteForByte)
{
    QTemporaryDir dir;
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTriggerCondList conditions;
    add_running_trigger(&triggers);
    VyrTrigger *start = new VyrTrigger(&triggers, "Start");
    start->set_comment(QString::fromUtf8("b\xc3\xa4r \xe2\x82\xac")); // Latin-1 and beyond
    (new VyrTrigger(&triggers, "Stop"))->set_comment("ends it");
    (new VyrTrigger(&triggers, "Edited"))->set_flags(VyrTrigger::Deleted);
    auto *counting = new VyrTriggerCond(&conditions);
    counting->set_name("c1");
    counting->set_target(start);
    counting->set_action(VyrTriggerCond::ToggleTrigger);
    auto data = std::make_unique<CounterData>();
    data->count = 5;
    counting->set_cond_data(std::move(data));
    (new VyrTriggerCond(&conditions))->set_comment("no target, no data");
    (new VyrTriggerCond(&conditions))->set_flags(VyrTriggerCond::BuiltIn);

    auto write = [](VyrTriggerList &t, VyrTriggerCondList &c, const QString &path) {
        QtbConfig config;
        QtbConfigGroup *main = config.add_group("main");
        t.write_config(main);
        c.write_config(main);
        return config.write_file(path);
    };
    const QString first_path = dir.filePath("first.cfg");
    ASSERT_EQ(write(triggers, conditions, first_path), 0);

    VyrTriggerList read_triggers;
    VyrTriggerList::set_instance(&read_triggers);
    VyrTriggerCondList read_conditions;
    QtbConfig input(first_path);
    ASSERT_EQ(input.read(), 0);
    EXPECT_EQ(input.get_group("main")->read_int("trigger_count", 0), 2);
    EXPECT_EQ(input.get_group("main")->read_int("condition_count", 0), 2);
    read_triggers.read_config(input.get_group("main"));
    read_conditions.read_config(input.get_group("main"));

    ASSERT_EQ(read_triggers.count(), 2);
    EXPECT_EQ(read_triggers.find("Start")->comment(), start->comment());
    EXPECT_EQ(read_triggers.find("Start")->flags(), 0u);
    EXPECT_EQ(read_triggers.find("Running"), nullptr);
    ASSERT_EQ(read_conditions.count(), 2);
    VyrTriggerCond *first = read_conditions.first();
    EXPECT_EQ(first->target(), read_triggers.find("Start"));
    EXPECT_EQ(first->action(), VyrTriggerCond::ToggleTrigger);
    ASSERT_EQ(first->type(), 9);
    EXPECT_EQ(static_cast<CounterData *>(first->cond_data())->count, 5);
    VyrTriggerCond *second = read_conditions.next();
    EXPECT_EQ(second->target(), nullptr);
    EXPECT_EQ(second->comment(), "no target, no data");

    const QString second_path = dir.filePath("second.cfg");
    ASSERT_EQ(write(read_triggers, read_conditions, second_path), 0);
    EXPECT_EQ(file_bytes(second_path), file_bytes(first_path));
    VyrTriggerList::set_instance(nullptr);
}

TEST(VyrTriggerTest, ConditionReadWithoutActionOrKnownTriggerDoesNothing)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTrigger *present = new VyrTrigger(&triggers, "Present");
    VyrTriggerCondList conditions;
    QtbConfig config;
    QtbConfigGroup *list = config.add_group("main")->add_group("conditions");
    list->add_group("")->write_string("trigger", "Missing");
    list->add_group("")->write_string("trigger", "Present");
    conditions.read_config(config.get_group("main"));
    VyrTriggerCond *missing = conditions.first();
    EXPECT_EQ(missing->target(), nullptr);
    VyrTriggerCond *no_action = conditions.next();
    EXPECT_EQ(no_action->target(), present);
    EXPECT_EQ(no_action->action(), 0);
    EXPECT_EQ(no_action->type(), 0);
    EXPECT_EQ(no_action->fire(), 0);
    EXPECT_EQ(present->state(), 0);
    VyrTriggerList::set_instance(nullptr);
}
