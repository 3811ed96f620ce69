#include "platform/process_tuning.h"

#include "settings/debug_trace.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/timex.h>
#include <vector>

namespace platform {

int process_nice()
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return errno ? 0 : nice;
}

bool set_process_nice(int nice)
{
    return setpriority(PRIO_PROCESS, 0, nice) == 0;
}

namespace {

int resolution_ms(clockid_t clock)
{
    timespec resolution{};
    if (clock_getres(clock, &resolution) != 0)
        return 1;
    const long long ns = resolution.tv_sec * 1000000000LL + resolution.tv_nsec;
    const long long ms = (ns + 999999) / 1000000;
    return ms < 1 ? 1 : int(ms);
}

struct Mapping
{
    uintptr_t start;
    uintptr_t end;
    bool executable;
    bool writable;
};

std::vector<Mapping> read_mappings(size_t max_regions)
{
    std::vector<Mapping> mappings;
    FILE *maps = std::fopen("/proc/self/maps", "re");
    if (!maps)
        return mappings;
    char line[512];
    while (mappings.size() < max_regions && std::fgets(line, sizeof line, maps)) {
        unsigned long start = 0, end = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &start, &end, perms) != 3)
            continue;
        mappings.push_back({start, end, perms[2] == 'x', perms[1] == 'w'});
    }
    std::fclose(maps);
    return mappings;
}

} // namespace

TimerCaps timer_caps()
{
    return {resolution_ms(CLOCK_MONOTONIC), resolution_ms(CLOCK_MONOTONIC_COARSE)};
}

unsigned long timer_slack_ns()
{
    const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    return slack < 0 ? 0 : static_cast<unsigned long>(slack);
}

int set_timer_slack_ns(unsigned long slack_ns)
{
    return prctl(PR_SET_TIMERSLACK, slack_ns, 0, 0, 0) == 0 ? 0 : errno;
}

TimeAdjustment time_adjustment()
{
    timex state{};
    state.modes = 0; // read only
    const int result = adjtimex(&state);
    if (result < 0)
        return {-1, 0, 0, 1};
    // freq is in ppm with a 16-bit fraction.
    return {result, unsigned(state.tick), unsigned(state.freq >> 16), (state.status & STA_PLL) ? 0u : 1u};
}

int lock_code_mappings(size_t max_regions)
{
    const std::vector<Mapping> mappings = read_mappings(max_regions);
    size_t code = 0, data = 0;
    for (const Mapping &mapping : mappings) {
        if (mapping.executable)
            code += mapping.end - mapping.start;
        else if (mapping.writable)
            data += mapping.end - mapping.start;
    }
    debug_trace("platform::lock_code_mappings: Sizes: code=%zu, data=%zu", code, data);

    rlimit limit{};
    if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0) {
        debug_trace("platform::lock_code_mappings: WSizes1: min=%llu, max=%llu", (unsigned long long)limit.rlim_cur,
                    (unsigned long long)limit.rlim_max);
        const rlim_t wanted = rlim_t(2 * (code + data));
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
            limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || wanted < limit.rlim_max ? wanted : limit.rlim_max;
            debug_trace("platform::lock_code_mappings: setrlimit (RLIMIT_MEMLOCK) -> %d",
                        setrlimit(RLIMIT_MEMLOCK, &limit));
        }
        if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0)
            debug_trace("platform::lock_code_mappings: WSizes2: min=%llu, max=%llu", (unsigned long long)limit.rlim_cur,
                        (unsigned long long)limit.rlim_max);
    }

    int locked = 0;
    for (const Mapping &mapping : mappings) {
        if (!mapping.executable)
            continue;
        const size_t size = mapping.end - mapping.start;
        if (mlock(reinterpret_cast<void *>(mapping.start), size) == 0)
            ++locked;
        else
            debug_trace("platform::lock_code_mappings: mlock (@%p,%zu) -> FAILED (%s)",
                        reinterpret_cast<void *>(mapping.start), size, std::strerror(errno));
    }
    return locked;
}

} // namespace platform
