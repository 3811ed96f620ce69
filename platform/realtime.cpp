#include "platform/realtime.h"

#include <atomic>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <cerrno>

namespace platform {

namespace {

std::atomic<bool> refused[2];

// Time-critical, yet below the kernel's interrupt threads (priority 50), so
// that a spinning measurement thread cannot starve device interrupts.
int realtime_priority()
{
    return sched_get_priority_min(SCHED_FIFO) + 48;
}

} // namespace

int set_thread_realtime(bool realtime)
{
    sched_param param{};
    param.sched_priority = realtime ? realtime_priority() : 0;
    return pthread_setschedparam(pthread_self(), realtime ? SCHED_FIFO : SCHED_OTHER, &param);
}

bool thread_is_realtime()
{
    int policy = SCHED_OTHER;
    sched_param param{};
    return pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy == SCHED_FIFO;
}

int lock_working_set()
{
    return mlockall(MCL_CURRENT | MCL_FUTURE) == 0 ? 0 : errno;
}

int unlock_working_set()
{
    return munlockall() == 0 ? 0 : errno;
}

bool first_refusal(Privilege privilege)
{
    return !refused[int(privilege)].exchange(true);
}

void forget_refusals()
{
    for (auto &flag : refused)
        flag.store(false);
}

} // namespace platform
