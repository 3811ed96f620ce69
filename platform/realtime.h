#pragma once
// Realtime scheduling and a locked working set. Both need a right that a
// normal process often lacks (CAP_SYS_NICE / RLIMIT_RTPRIO, CAP_IPC_LOCK /
// RLIMIT_MEMLOCK): they are tried, and a refusal is reported once by the
// caller and otherwise skipped.

namespace platform {

// Puts the calling thread under SCHED_FIFO (realtime) or back under
// SCHED_OTHER. Answers 0, or the errno value of the refusal.
int set_thread_realtime(bool realtime);
// True when the calling thread runs under SCHED_FIFO.
bool thread_is_realtime();

// Locks every present and future page of the process into memory
// (mlockall), or unlocks them. Answers 0, or the errno value of the refusal.
int lock_working_set();
int unlock_working_set();

enum class Privilege { realtime_priority, locked_working_set };

// To be called on each refusal: true only for the first refusal of that
// privilege in this process, so that its warning appears once.
bool first_refusal(Privilege privilege);
// Forgets earlier refusals (for tests).
void forget_refusals();

} // namespace platform
