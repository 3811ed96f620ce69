#include "core/timer_wheel.h"

#include <algorithm>
#include <vector>

namespace {

// Holds the wheel's mutex for one operation.
class WheelLock
{
public:
    explicit WheelLock(TimerWheel &wheel) : wheel_(wheel) { wheel_.lock(); }
    ~WheelLock() { wheel_.unlock(); }

private:
    TimerWheel &wheel_;
};

// Signed distance from `to` to `time`; works across the 32-bit wrap.
int32_t distance(uint32_t time, uint32_t to)
{
    return int32_t(time - to);
}

} // namespace

TimerWheel::TimerWheel(uint32_t, uint32_t start_time, uint32_t resolution, uint32_t user_word)
    : user_word_(user_word), resolution_(resolution ? resolution : 1)
{
    current_time_ = round_down(start_time);
    index_ = bucket_of(current_time_);
}

TimerWheel::~TimerWheel()
{
    clear();
}

void TimerWheel::schedule(TimerEntry *entry, uint32_t delay_ms)
{
    WheelLock guard(*this);
    if (!entry || entry->armed_)
        return;
    uint32_t now = current_time_;
    if (clock_ && !advancing_) {
        const uint32_t clock_time = clock_(clock_context_);
        if (distance(clock_time, now) > 0)
            now = clock_time;
    }
    const uint32_t due = now + delay_ms;
    uint32_t slot = round_down(due);
    if (slot == current_time_)
        slot += resolution_; // never in the step that is running now
    entry->due_time_ = due;
    entry->slot_time_ = slot;
    entry->next_ = nullptr;
    entry->armed_ = true;

    Bucket &bucket = buckets_[bucket_of(slot)];
    if (bucket.tail)
        bucket.tail->next_ = entry;
    else
        bucket.head = entry;
    bucket.tail = entry;

    if (watching_ && wake_hook_ && (!watched_slot_valid_ || distance(slot, watched_slot_) < 0)) {
        watched_slot_valid_ = true;
        watched_slot_ = slot;
        wake_hook_(wake_context_);
    }
}

int TimerWheel::cancel(TimerEntry *entry)
{
    WheelLock guard(*this);
    if (entry && entry->armed_ && unlink(entry)) {
        entry->armed_ = false;
        ++removals_;
    }
    return 0;
}

void TimerWheel::set_time(uint32_t time)
{
    WheelLock guard(*this);
    current_time_ = round_down(time);
    index_ = bucket_of(current_time_);
}

void TimerWheel::clear()
{
    WheelLock guard(*this);
    for (Bucket &bucket : buckets_) {
        for (TimerEntry *entry = bucket.head; entry;) {
            TimerEntry *next = entry->next_;
            entry->next_ = nullptr;
            entry->armed_ = false;
            entry = next;
        }
        bucket = Bucket();
    }
    ++removals_;
}

bool TimerWheel::watch_next_slot(uint32_t &slot)
{
    WheelLock guard(*this);
    watching_ = true;
    watched_slot_valid_ = earliest_slot(watched_slot_);
    slot = watched_slot_;
    return watched_slot_valid_;
}

void TimerWheel::set_wake_hook(void (*hook)(void *context), void *context)
{
    WheelLock guard(*this);
    wake_hook_ = hook;
    wake_context_ = context;
}

void TimerWheel::set_clock(uint32_t (*clock)(void *context), void *context)
{
    WheelLock guard(*this);
    clock_ = clock;
    clock_context_ = context;
}

void TimerWheel::at_step_end(StepEndTask *task)
{
    WheelLock guard(*this);
    if (!task || task->queued_)
        return;
    if (!advancing_) {
        task->step_end(); // no step is running: its end is now
        return;
    }
    task->queued_ = true;
    task->next_ = step_end_tasks_;
    step_end_tasks_ = task;
}

void TimerWheel::run_step_end_tasks()
{
    while (StepEndTask *task = step_end_tasks_) {
        step_end_tasks_ = task->next_;
        task->next_ = nullptr;
        task->queued_ = false;
        task->step_end();
    }
}

void TimerWheel::advance(uint32_t time)
{
    WheelLock guard(*this);
    watching_ = false; // the advancing thread is awake and asks again before it sleeps
    const uint32_t target = round_down(time);
    if (current_time_ == target)
        return;
    advancing_ = true;
    step_to(target);
    advancing_ = false;
}

void TimerWheel::step_to(uint32_t target)
{
    for (uint32_t step = 0; step < bucket_count; ++step) {
        current_time_ += resolution_;
        index_ = (index_ + 1) & (bucket_count - 1);
        fire_current_step(target);
        if (current_time_ == target)
            return;
    }
    // More than one full turn behind: jump, then fire what is overdue.
    current_time_ = target;
    index_ = bucket_of(target);
    fire_overdue(target);
}

bool TimerWheel::unlink(TimerEntry *entry)
{
    Bucket &bucket = buckets_[bucket_of(entry->slot_time_)];
    TimerEntry *previous = nullptr;
    for (TimerEntry *e = bucket.head; e; previous = e, e = e->next_) {
        if (e != entry)
            continue;
        (previous ? previous->next_ : bucket.head) = e->next_;
        if (bucket.tail == e)
            bucket.tail = previous;
        e->next_ = nullptr;
        return true;
    }
    return false;
}

// The earliest slot after the current time. Walking the buckets from the
// next step on, the first entry whose slot is that step's time is the
// earliest; entries of later turns count only when no step of this turn has
// one. Entries left behind the current time by set_time() never fire by
// stepping and are skipped.
bool TimerWheel::earliest_slot(uint32_t &slot) const
{
    bool found = false;
    int32_t nearest = 0;
    const uint32_t now = current_time_;
    for (uint32_t step = 1; step <= bucket_count; ++step) {
        const uint32_t step_time = now + step * resolution_;
        for (const TimerEntry *e = buckets_[(index_ + step) & (bucket_count - 1)].head; e; e = e->next_) {
            if (e->slot_time_ == step_time) {
                slot = step_time;
                return true;
            }
            const int32_t ahead = distance(e->slot_time_, now);
            if (ahead > 0 && (!found || ahead < nearest)) {
                found = true;
                nearest = ahead;
            }
        }
    }
    if (found)
        slot = now + uint32_t(nearest);
    return found;
}

// Fires the entries of the current bucket whose slot is the current time;
// entries of later turns stay.
void TimerWheel::fire_current_step(uint32_t target)
{
    Bucket &bucket = buckets_[index_];
    const uint32_t now = current_time_;
    TimerEntry *previous = nullptr;
    TimerEntry *entry = bucket.head;
    while (entry) {
        if (entry->slot_time_ != now) {
            previous = entry;
            entry = entry->next_;
            continue;
        }
        (previous ? previous->next_ : bucket.head) = entry->next_;
        if (bucket.tail == entry)
            bucket.tail = previous;
        entry->next_ = nullptr;
        entry->armed_ = false;

        const uint32_t removals = removals_;
        entry->fire(now, target);
        // The expiry may have cancelled the entry before it: start over then.
        if (removals_ != removals)
            previous = nullptr;
        entry = previous ? previous->next_ : bucket.head;
    }
    run_step_end_tasks();
}

// After a jump over more than one turn: fires every entry whose slot is at or
// before the target, in slot order; later entries stay armed.
void TimerWheel::fire_overdue(uint32_t target)
{
    std::vector<TimerEntry *> due;
    for (;;) {
        due.clear();
        for (uint32_t i = 0; i < bucket_count; ++i) {
            for (TimerEntry *e = buckets_[(index_ + i) & (bucket_count - 1)].head; e; e = e->next_) {
                if (distance(e->slot_time_, target) <= 0)
                    due.push_back(e);
            }
        }
        if (due.empty())
            return;
        std::stable_sort(due.begin(), due.end(), [target](const TimerEntry *a, const TimerEntry *b) {
            return distance(a->slot_time_, target) < distance(b->slot_time_, target);
        });

        const uint32_t removals = removals_;
        bool changed = false;
        for (TimerEntry *entry : due) {
            unlink(entry);
            entry->armed_ = false;
            entry->fire(entry->slot_time_, target);
            // Anything the expiry scheduled lies after the target; a cancel
            // may have unlinked entries of the list, so collect again.
            if (removals_ != removals) {
                changed = true;
                break;
            }
        }
        run_step_end_tasks();
        if (!changed)
            return;
    }
}
