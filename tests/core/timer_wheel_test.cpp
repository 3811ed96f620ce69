#include "core/timer_wheel.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Firing
{
    std::string name;
    uint32_t slot;
    uint32_t target;
    bool operator==(const Firing &o) const { return name == o.name && slot == o.slot && target == o.target; }
};

std::ostream &operator<<(std::ostream &out, const Firing &f)
{
    return out << f.name << '@' << f.slot << "->" << f.target;
}

// An entry that records its firings and runs an optional action after that.
class RecordingEntry : public TimerEntry
{
public:
    RecordingEntry(std::string name, std::vector<Firing> &log) : name_(std::move(name)), log_(log) {}
    void fire(uint32_t slot_time, uint32_t target_time) override
    {
        log_.push_back({name_, slot_time, target_time});
        if (action)
            action();
    }
    std::function<void()> action;

private:
    std::string name_;
    std::vector<Firing> &log_;
};

// Each test declares its entries before the wheel: they must outlive it,
// since the wheel's destructor disarms the entries still scheduled.
class TimerWheelTest : public ::testing::Test
{
protected:
    std::vector<Firing> log;
};

TEST_F(TimerWheelTest, FiresInSlotOrderAcrossTheBucketWrap)
{
    RecordingEntry a("a", log), b("b", log), c("c", log), d("d", log);
    TimerWheel wheel(1024, 1020, 1, 0); // bucket 1020: the chain wraps to bucket 0 soon
    wheel.schedule(&a, 10);
    wheel.schedule(&b, 2);
    wheel.schedule(&c, 5);
    wheel.schedule(&d, 3);
    wheel.advance(1040);
    const std::vector<Firing> expected = {{"b", 1022, 1040}, {"d", 1023, 1040}, {"c", 1025, 1040}, {"a", 1030, 1040}};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(a.armed());
    EXPECT_EQ(wheel.current_time(), 1040u);
}

TEST_F(TimerWheelTest, DelayZeroFiresAtTheNextStep)
{
    RecordingEntry e("e", log);
    TimerWheel wheel(1024, 100, 1, 0);
    wheel.schedule(&e, 0);
    wheel.advance(100);
    EXPECT_TRUE(log.empty());
    wheel.advance(101);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], (Firing{"e", 101, 101}));

    // With a coarser resolution the slot is one resolution later.
    RecordingEntry f("f", log), g("g", log);
    TimerWheel coarse(1024, 1005, 10, 0);
    EXPECT_EQ(coarse.current_time(), 1000u);
    coarse.schedule(&f, 0);
    coarse.schedule(&g, 25);
    EXPECT_EQ(f.slot_time(), 1010u);
    EXPECT_EQ(g.due_time(), 1025u);
    EXPECT_EQ(g.slot_time(), 1020u);
    coarse.advance(1019);
    coarse.advance(1029);
    const std::vector<Firing> expected = {{"e", 101, 101}, {"f", 1010, 1010}, {"g", 1020, 1020}};
    EXPECT_EQ(log, expected);
}

TEST_F(TimerWheelTest, ReschedulingAnArmedEntryKeepsItsDueTimeUntilCancelled)
{
    RecordingEntry e("e", log), other("other", log);
    TimerWheel wheel(1024, 0, 1, 0);
    wheel.schedule(&e, 5);
    wheel.schedule(&e, 50);
    EXPECT_EQ(e.due_time(), 5u);

    EXPECT_EQ(wheel.cancel(&e), 0);
    EXPECT_FALSE(e.armed());
    EXPECT_EQ(wheel.cancel(&e), 0);     // not armed: nothing happens
    EXPECT_EQ(wheel.cancel(&other), 0); // never scheduled
    wheel.schedule(&e, 50);
    EXPECT_EQ(e.due_time(), 50u);
    // The cancel emptied the bucket of slot 5: an entry scheduled there still fires.
    wheel.schedule(&other, 5);

    wheel.advance(49);
    EXPECT_EQ(log, (std::vector<Firing>{{"other", 5, 49}}));
    wheel.advance(50);
    EXPECT_EQ(log, (std::vector<Firing>{{"other", 5, 49}, {"e", 50, 50}}));
}

// One bucket holds x (a later turn), a, b and d (all due at 5). a's expiry
// cancels x, which sits before it in the chain, and b, which is due in the
// same step, schedules c with delay 0 and reschedules itself; d still fires
// in that step.
TEST_F(TimerWheelTest, AnExpiryMayScheduleAndCancelOnTheSameWheel)
{
    RecordingEntry x("x", log), a("a", log), b("b", log), c("c", log), d("d", log);
    TimerWheel wheel(1024, 0, 1, 0);
    wheel.schedule(&x, 5 + 1024);
    wheel.schedule(&a, 5);
    wheel.schedule(&b, 5);
    wheel.schedule(&d, 5);
    int runs = 0;
    a.action = [&] {
        wheel.cancel(&x);
        wheel.cancel(&b);
        wheel.schedule(&c, 0);
        if (++runs < 3)
            wheel.schedule(&a, 2);
    };
    wheel.advance(20);
    const std::vector<Firing> expected = {{"a", 5, 20}, {"d", 5, 20}, {"c", 6, 20}, {"a", 7, 20},
                                          {"c", 8, 20}, {"a", 9, 20}, {"c", 10, 20}};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(x.armed());
    EXPECT_FALSE(b.armed());
    EXPECT_FALSE(d.armed());
    wheel.advance(5000);
    EXPECT_EQ(log.size(), expected.size());
}

TEST_F(TimerWheelTest, ExactlyOneTurnFiresInOrderAndKeepsLaterTurns)
{
    RecordingEntry a("a", log), b("b", log), c("c", log), d("d", log), e("e", log);
    TimerWheel wheel(1024, 0, 1, 0);
    wheel.schedule(&c, 1024);
    wheel.schedule(&e, 2048);
    wheel.schedule(&d, 1025);
    wheel.schedule(&b, 512);
    wheel.schedule(&a, 1);
    wheel.advance(1024);
    const std::vector<Firing> expected = {{"a", 1, 1024}, {"b", 512, 1024}, {"c", 1024, 1024}};
    EXPECT_EQ(log, expected);
    EXPECT_TRUE(d.armed());
    EXPECT_TRUE(e.armed());
    wheel.advance(1025);
    EXPECT_EQ(log.back(), (Firing{"d", 1025, 1025}));
    EXPECT_TRUE(e.armed());
}

// A jump over more than one turn fires what is due in slot order, with its
// own slot time, and keeps later entries armed.
TEST_F(TimerWheelTest, ALongJumpFiresOnlyDueEntriesInSlotOrder)
{
    RecordingEntry early("early", log), mid("mid", log), late("late", log), after("after", log), tick("tick", log);
    TimerWheel wheel(1024, 0, 1, 0);
    wheel.schedule(&after, 3000);
    wheel.schedule(&late, 1500);
    wheel.schedule(&mid, 700);
    wheel.schedule(&early, 5);
    wheel.schedule(&tick, 1000);
    tick.action = [&] { wheel.schedule(&tick, 1000); };

    wheel.advance(2000); // 2000 steps: 1024 stepped, the rest jumped
    const std::vector<Firing> expected = {{"early", 5, 2000}, {"mid", 700, 2000}, {"tick", 1000, 2000},
                                          {"late", 1500, 2000}, {"tick", 2000, 2000}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(wheel.current_time(), 2000u);
    EXPECT_TRUE(after.armed());
    EXPECT_TRUE(tick.armed());
    EXPECT_EQ(tick.slot_time(), 3000u);

    log.clear();
    wheel.advance(3000);
    const std::vector<Firing> next = {{"after", 3000, 3000}, {"tick", 3000, 3000}};
    EXPECT_EQ(log, next);
}

// The advancing thread sleeps between advances, so the wheel's time lags its
// clock. A periodic entry started then counts its first period from the
// clock, not from the lagging wheel time (which would fire its missed periods
// at once, as a burst); re-armed from its expiry it keeps its schedule and a
// late wheel catches up on its periods in order.
TEST_F(TimerWheelTest, AnEntryScheduledWhileTheWheelLagsCountsFromTheClock)
{
    RecordingEntry periodic("p", log), early("early", log);
    TimerWheel wheel(1024, 0, 1, 0);
    uint32_t clock = 50;
    wheel.set_clock([](void *context) { return *static_cast<uint32_t *>(context); }, &clock);
    periodic.action = [&] { wheel.schedule(&periodic, 10); };
    wheel.schedule(&periodic, 10);
    EXPECT_EQ(periodic.due_time(), 60u);
    wheel.advance(59);
    EXPECT_TRUE(log.empty());
    clock = 95;
    wheel.advance(95); // one late advance: the periods due on the way fire in order
    const std::vector<Firing> expected = {{"p", 60, 95}, {"p", 70, 95}, {"p", 80, 95}, {"p", 90, 95}};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(periodic.due_time(), 100u);

    // A clock behind the wheel (the wheel never goes back) leaves the wheel's time.
    clock = 20;
    wheel.schedule(&early, 3);
    EXPECT_EQ(early.due_time(), 98u);
}

// Expiries of one step hand their work on to its end (frames that go out in
// one write): the task runs once per step, after all of that step's
// expiries, at the step's time, so what it schedules keeps the schedule.
TEST_F(TimerWheelTest, WorkHandedToTheStepEndRunsOnceAfterTheStepsExpiries)
{
    RecordingEntry a("a", log), b("b", log), late("late", log);
    struct Task : StepEndTask
    {
        std::function<void()> action;
        void step_end() override { action(); }
    } task;
    TimerWheel wheel(1024, 0, 1, 0);
    task.action = [&] {
        log.push_back({"end", wheel.current_time(), 0});
        if (!a.armed())
            wheel.schedule(&a, 10);
    };
    a.action = [&] { wheel.at_step_end(&task); };
    b.action = a.action;
    wheel.schedule(&a, 5);
    wheel.schedule(&b, 5);
    wheel.schedule(&late, 7);
    wheel.advance(20);
    const std::vector<Firing> expected = {{"a", 5, 20}, {"b", 5, 20}, {"end", 5, 0}, {"late", 7, 20},
                                          {"a", 15, 20}, {"end", 15, 0}};
    EXPECT_EQ(log, expected);

    // Outside an advance no step runs: the task runs at once.
    log.clear();
    wheel.at_step_end(&task);
    EXPECT_EQ(log, (std::vector<Firing>{{"end", 20, 0}}));
}

TEST_F(TimerWheelTest, ClearAndDestructionDisarmWithoutFiring)
{
    RecordingEntry a("a", log), b("b", log);
    {
        TimerWheel wheel(1024, 0, 1, 0);
        wheel.schedule(&a, 3);
        wheel.clear();
        EXPECT_FALSE(a.armed());
        wheel.advance(10);
        wheel.schedule(&b, 3);
    }
    EXPECT_FALSE(b.armed());
    EXPECT_TRUE(log.empty());
}

} // namespace
