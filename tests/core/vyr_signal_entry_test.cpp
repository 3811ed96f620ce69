#include "core/timer_wheel.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_listener.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes what it is told into a shared log.
class LoggingListener : public VyrSignalListener
{
public:
    LoggingListener(std::string name, std::vector<std::string> *log) : name(std::move(name)), log(log) {}
    void value_changed(const SignalValue &value) override
    {
        log->push_back(name + "=" + std::to_string(value.int_value));
        if (detach_on_value)
            entry()->remove_listener(this);
    }
    void signal_gone() override { log->push_back(name + " gone"); }

    std::string name;
    std::vector<std::string> *log;
    bool detach_on_value = false;
};

class CountedTimer : public TimerEntry
{
public:
    explicit CountedTimer(int *deleted) : deleted(deleted) {}
    ~CountedTimer() override { ++*deleted; }
    void fire(uint32_t, uint32_t) override {}
    int *deleted;
};

TEST(VyrSignalEntryTest, BindMovesTheBackLink)
{
    SignalRecord a, b;
    VyrSignalEntry entry;
    entry.bind(&a);
    EXPECT_EQ(entry.signal(), &a);
    EXPECT_EQ(a.entry(), &entry);
    entry.bind(&b);
    EXPECT_EQ(a.entry(), nullptr);
    EXPECT_EQ(b.entry(), &entry);
}

TEST(VyrSignalEntryTest, SignalThatGoesLeavesNoDanglingEntry)
{
    VyrSignalEntry entry;
    {
        SignalRecord signal;
        entry.bind(&signal);
    }
    EXPECT_EQ(entry.signal(), nullptr);
}

TEST(VyrSignalEntryTest, ListenersAreNotifiedInOrderOnce)
{
    std::vector<std::string> log;
    LoggingListener first("first", &log), second("second", &log), third("third", &log);
    VyrSignalEntry entry;
    entry.add_listener(&first);
    entry.add_listener(&second);
    entry.add_listener(&first); // no duplicate
    entry.add_listener(&third);
    EXPECT_EQ(entry.listener_count(), 3);

    SignalValue value;
    value.set_int(4);
    second.detach_on_value = true; // may leave while being told
    entry.notify_listeners(value);
    EXPECT_EQ(log, (std::vector<std::string>{"first=4", "second=4", "third=4"}));
    EXPECT_EQ(entry.listener_count(), 2);

    log.clear();
    entry.notify_signal_gone();
    EXPECT_EQ(log, (std::vector<std::string>{"first gone", "third gone"}));

    EXPECT_EQ(entry.first_listener(), &first);
    EXPECT_EQ(entry.next_listener(), &third);
    EXPECT_EQ(entry.next_listener(), nullptr);
}

TEST(VyrSignalEntryTest, ListenerCursorSurvivesRemovalOfTheCurrentListener)
{
    std::vector<std::string> log;
    LoggingListener a("a", &log), b("b", &log), c("c", &log);
    VyrSignalEntry entry;
    entry.add_listener(&a);
    entry.add_listener(&b);
    entry.add_listener(&c);
    std::vector<VyrSignalListener *> seen;
    for (VyrSignalListener *listener = entry.first_listener(); listener; listener = entry.next_listener()) {
        seen.push_back(listener);
        if (listener != &b)
            entry.remove_listener(listener);
    }
    EXPECT_EQ(seen, (std::vector<VyrSignalListener *>{&a, &b, &c}));
    EXPECT_EQ(entry.listener_count(), 1);
    EXPECT_EQ(entry.first_listener(), &b);
}

TEST(VyrSignalEntryTest, DestroyedListenerLeavesItsEntry)
{
    std::vector<std::string> log;
    LoggingListener kept("kept", &log);
    VyrSignalEntry entry;
    entry.add_listener(&kept);
    {
        LoggingListener brief("brief", &log);
        entry.add_listener(&brief);
    }
    SignalValue value;
    value.set_int(1);
    entry.notify_listeners(value);
    EXPECT_EQ(log, std::vector<std::string>{"kept=1"});
}

TEST(VyrSignalEntryTest, ListenerAddedToAnotherEntryLeavesTheFirst)
{
    std::vector<std::string> log;
    LoggingListener a("a", &log), moved("moved", &log), c("c", &log);
    VyrSignalEntry first, second;
    first.add_listener(&a);
    first.add_listener(&moved);
    first.add_listener(&c);
    second.add_listener(&moved);
    EXPECT_EQ(moved.entry(), &second);
    EXPECT_EQ(first.listener_count(), 2);
    EXPECT_EQ(second.listener_count(), 1);

    SignalValue value;
    value.set_int(3);
    first.notify_listeners(value);
    second.notify_listeners(value);
    EXPECT_EQ(log, (std::vector<std::string>{"a=3", "c=3", "moved=3"}));
}

TEST(VyrSignalEntryTest, ResetClearsEverythingAndDeletesThePollingTimer)
{
    int timers_deleted = 0;
    std::vector<std::string> log;
    LoggingListener listener("l", &log);
    SignalRecord signal;
    VyrSignalEntry other;
    VyrSignalEntry entry;
    entry.bind(&signal);
    entry.add_listener(&listener);
    entry.polling_timer = std::make_unique<CountedTimer>(&timers_deleted);
    entry.pending.set_int(9);

    entry.reset();
    EXPECT_EQ(timers_deleted, 1);
    EXPECT_EQ(entry.polling_timer, nullptr);
    EXPECT_EQ(entry.signal(), nullptr);
    EXPECT_EQ(signal.entry(), nullptr);
    EXPECT_EQ(entry.listener_count(), 0);
    EXPECT_EQ(entry.first_listener(), nullptr);
    EXPECT_EQ(listener.entry(), nullptr);
    EXPECT_EQ(entry.pending.type, 0u);

    // The listener can follow another signal afterwards.
    other.add_listener(&listener);
    EXPECT_EQ(other.listener_count(), 1);
}

} // namespace
