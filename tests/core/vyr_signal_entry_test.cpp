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

// Removes the listeners it is given from its entry when it is told a value.
class RemovingListener : public LoggingListener
{
public:
    using LoggingListener::LoggingListener;
    void value_changed(const SignalValue &value) override
    {
        LoggingListener::value_changed(value);
        VyrSignalEntry *own_entry = entry();
        for (VyrSignalListener *listener : to_remove)
            own_entry->remove_listener(listener);
    }
    std::vector<VyrSignalListener *> to_remove;
};

TEST(VyrSignalEntryTest, ListenerThatRemovesListenersWhileNotifiedLeavesTheOthersNotified)
{
    struct Case
    {
        const char *what;
        std::vector<int> removed; // positions among the five listeners; the remover is 2
        std::vector<std::string> notified;
    };
    const Case cases[] = {
        {"itself", {2}, {"l0=7", "l1=7", "l2=7", "l3=7", "l4=7"}},
        {"the next", {3}, {"l0=7", "l1=7", "l2=7", "l4=7"}},
        {"the previous", {1}, {"l0=7", "l1=7", "l2=7", "l3=7", "l4=7"}},
        {"itself, then the next", {2, 3}, {"l0=7", "l1=7", "l2=7", "l4=7"}},
        {"the next, then itself", {3, 2}, {"l0=7", "l1=7", "l2=7", "l4=7"}},
        {"all five", {0, 1, 2, 3, 4}, {"l0=7", "l1=7", "l2=7"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> log;
        LoggingListener l0("l0", &log), l1("l1", &log), l3("l3", &log), l4("l4", &log);
        RemovingListener l2("l2", &log);
        VyrSignalListener *listeners[] = {&l0, &l1, &l2, &l3, &l4};
        VyrSignalEntry entry;
        for (VyrSignalListener *listener : listeners)
            entry.add_listener(listener);
        for (int position : c.removed)
            l2.to_remove.push_back(listeners[position]);

        SignalValue value;
        value.set_int(7);
        entry.notify_listeners(value);
        EXPECT_EQ(log, c.notified);
        EXPECT_EQ(entry.listener_count(), 5 - int(c.removed.size()));

        // The list stays whole: the next notification reaches exactly the rest.
        for (VyrSignalListener *listener : l2.to_remove)
            if (listener != &l2)
                entry.add_listener(listener);
        l2.to_remove.clear();
        log.clear();
        entry.notify_listeners(value);
        EXPECT_EQ(log.size(), size_t(entry.listener_count()));
    }
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
