#pragma once
// The timer wheel: entries scheduled at a time in milliseconds, kept in 1024
// buckets by their slot time and fired by the thread that advances the wheel.
// The main window owns one wheel; one interface thread drives it.
#include <array>
#include <atomic>
#include <cstdint>

#include "core/locks.h"

class TimerWheel;

// Base of everything the wheel schedules. Entries belong to their users, never
// to the wheel: an owner cancels its entry before destroying it.
class TimerEntry
{
public:
    TimerEntry() = default;
    virtual ~TimerEntry() = default;

    TimerEntry(const TimerEntry &) = delete;
    TimerEntry &operator=(const TimerEntry &) = delete;

    // Called by the advancing thread with the wheel's mutex held, after the
    // entry was unlinked and disarmed (so it may schedule itself again).
    // `slot_time` is the time the entry was due at (rounded to the wheel's
    // resolution), `target_time` the time the wheel is advancing to.
    virtual void fire(uint32_t slot_time, uint32_t target_time) = 0;

    bool armed() const { return armed_; }
    uint32_t due_time() const { return due_time_; }
    uint32_t slot_time() const { return slot_time_; }

private:
    friend class TimerWheel;
    uint32_t due_time_ = 0;
    uint32_t slot_time_ = 0;
    TimerEntry *next_ = nullptr;
    bool armed_ = false;
};

// Work that the expiries of one step hand on, to be done once all of them
// ran: frames that several entries send go out together, in one write.
class StepEndTask
{
public:
    StepEndTask() = default;
    virtual ~StepEndTask() = default;

    StepEndTask(const StepEndTask &) = delete;
    StepEndTask &operator=(const StepEndTask &) = delete;

    // Called by the advancing thread with the wheel's mutex held, the current
    // time still that of the step (what it schedules keeps the step's schedule).
    virtual void step_end() = 0;

private:
    friend class TimerWheel;
    StepEndTask *next_ = nullptr;
    bool queued_ = false;
};

class TimerWheel
{
public:
    static constexpr uint32_t bucket_count = 1024;

    // The bucket count argument is kept for the callers' sake; the wheel
    // always has 1024 buckets. A resolution of 0 counts as 1.
    TimerWheel(uint32_t buckets, uint32_t start_time, uint32_t resolution, uint32_t user_word);
    // Disarms the entries still scheduled; they stay with their owners.
    ~TimerWheel();

    TimerWheel(const TimerWheel &) = delete;
    TimerWheel &operator=(const TimerWheel &) = delete;

    // Arms the entry to fire `delay_ms` after the current time, never in the
    // current step. An entry that is armed already keeps its due time. From
    // an expiry the current time is the slot being fired, so a periodic entry
    // keeps its schedule; from anywhere else it is the clock's time when the
    // clock is ahead of the wheel (the advancing thread catches up later).
    void schedule(TimerEntry *entry, uint32_t delay_ms);
    // Unlinks and disarms an armed entry; an entry not in its bucket stays
    // untouched. Returns 0.
    int cancel(TimerEntry *entry);
    // Sets the current time without firing anything.
    void set_time(uint32_t time);
    // Moves the current time to `time`, firing every entry that falls due on
    // the way, in slot order. Expiries run in this thread with the mutex held.
    void advance(uint32_t time);
    // Unlinks and disarms every entry.
    void clear();

    // Sleeping until the next due entry. The advancing thread asks for the
    // slot time of the earliest armed entry before it waits (false: none is
    // armed); until its next advance(), an entry scheduled to fall due before
    // that slot calls the wake hook, so the wait ends in time for it. The
    // hook runs in the scheduling thread with the mutex held; null: none.
    bool watch_next_slot(uint32_t &slot);
    void set_wake_hook(void (*hook)(void *context), void *context);
    // The clock the advancing thread moves the wheel to, in milliseconds of
    // wheel time. Between two advances the wheel's own time lags it; a delay
    // counted from the lagging time would fall due at once and, for a
    // periodic entry, fire a burst of its missed periods. Null: none.
    void set_clock(uint32_t (*clock)(void *context), void *context);

    // From an expiry: runs the task once when the expiries of the current
    // step are done; a task queued already for the step is not queued twice.
    // The task's owner keeps it until then (it is called under the mutex).
    // Outside an advance the task runs at once.
    void at_step_end(StepEndTask *task);

    // For users that walk their own entries under the wheel's mutex.
    int lock() { return mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

    uint32_t current_time() const { return current_time_; }
    uint32_t resolution() const { return resolution_; }
    uint32_t user_word() const { return user_word_; }

private:
    struct Bucket
    {
        TimerEntry *head = nullptr;
        TimerEntry *tail = nullptr;
    };

    uint32_t round_down(uint32_t time) const { return time - time % resolution_; }
    uint32_t bucket_of(uint32_t time) const { return (time / resolution_) & (bucket_count - 1); }
    bool unlink(TimerEntry *entry);
    void step_to(uint32_t target);
    void run_step_end_tasks();
    void fire_current_step(uint32_t target);
    void fire_overdue(uint32_t target);
    bool earliest_slot(uint32_t &slot) const;

    std::array<Bucket, bucket_count> buckets_;
    uint32_t user_word_;
    uint32_t resolution_;
    // Written under the mutex; read without it by the time base.
    std::atomic<uint32_t> current_time_;
    uint32_t index_;
    // Counts cancels and clears, which may unlink entries that a firing walk
    // still points at; the walk starts over when it changed.
    uint32_t removals_ = 0;
    void (*wake_hook_)(void *) = nullptr;
    void *wake_context_ = nullptr;
    uint32_t (*clock_)(void *) = nullptr;
    void *clock_context_ = nullptr;
    // Set while advance() runs: schedules then come from expiries.
    bool advancing_ = false;
    StepEndTask *step_end_tasks_ = nullptr;
    // Set by watch_next_slot() until the next advance(): the slot the
    // advancing thread sleeps until, or none.
    bool watching_ = false;
    bool watched_slot_valid_ = false;
    uint32_t watched_slot_ = 0;
    MutexLock mutex_;
};
