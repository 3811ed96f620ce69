#include "settings/debug_trace.h"

#include "settings/text_util.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool switch_from_environment()
{
    const char *value = std::getenv("VYR_DEBUG");
    return value && *value && std::strcmp(value, "0") != 0;
}

std::atomic<bool> &debug_switch()
{
    static std::atomic<bool> on{switch_from_environment()};
    return on;
}

} // namespace

bool debug_trace_enabled()
{
    return debug_switch().load(std::memory_order_relaxed);
}

void set_debug_trace_enabled(bool on)
{
    debug_switch().store(on, std::memory_order_relaxed);
}

void debug_trace(const char *format, ...)
{
    if (!debug_trace_enabled() || !format)
        return;
    va_list args;
    va_start(args, format);
    std::string text = string_vprintf(format, args);
    va_end(args);
    if (text.empty() || text.back() != '\n')
        text += '\n';
    // One write per line so that lines of several threads do not interleave.
    std::fputs(text.c_str(), stderr);
}
