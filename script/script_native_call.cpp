#include "script/script_native_call.h"

#include "script/pcode_machine.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

ScriptNativeCall::ScriptNativeCall(PCodeMachine &machine, int params, bool bounds_check, const char *native)
    : ScriptNativeCall(machine, params, 0, bounds_check, native)
{
}

ScriptNativeCall::ScriptNativeCall(PCodeMachine &machine, int count, int count_cells, bool bounds_check,
                                   const char *native)
    : machine_(machine), count_(count), count_cells_(count_cells), bounds_check_(bounds_check), native_(native)
{
}

ScriptNativeCall ScriptNativeCall::variadic(PCodeMachine &machine, bool bounds_check, const char *native)
{
    // A count that the stack cannot hold (a corrupted call) reads as no
    // arguments; the accesses themselves are checked by the machine anyway.
    int count = machine.stack_int(0);
    if (count < 0 || count > machine.stack_pointer() - 2)
        count = 0;
    return ScriptNativeCall(machine, count, 1, bounds_check, native);
}

int32_t ScriptNativeCall::int_arg(int i) const
{
    return machine_.stack_int(depth(i));
}

double ScriptNativeCall::double_arg(int i) const
{
    return machine_.stack_double(depth(i));
}

int32_t ScriptNativeCall::address_arg(int i) const
{
    return machine_.stack_int(depth(i));
}

int64_t ScriptNativeCall::bound(int i) const
{
    if (!bounds_check_)
        return -1;
    const int32_t size = machine_.stack_size_bound(depth(i));
    return size > 0 ? size : -1;
}

void ScriptNativeCall::report_bounds() const
{
    char text[128];
    std::snprintf(text, sizeof text, "%s: Array bounds violated\n", native_);
    machine_.report_error(text);
}

const char *ScriptNativeCall::text_arg(int i) const
{
    return text_arg(i, -1);
}

const char *ScriptNativeCall::text_arg(int i, int64_t max_length) const
{
    const int32_t address = address_arg(i);
    if (address < 0 || address >= machine_.data_capacity())
        return reinterpret_cast<const char *>(machine_.data_pointer(address, 1)); // reports
    const int64_t in_memory = int64_t(machine_.data_capacity()) - address;
    const int64_t bounded = bound(i);
    const int64_t reach = bounded >= 0 ? std::min(in_memory, bounded) : in_memory;
    const char *text = reinterpret_cast<const char *>(machine_.data_pointer(address, int32_t(reach)));
    if (text && (std::memchr(text, 0, size_t(reach)) || (max_length >= 0 && max_length <= reach)))
        return text;
    if (reach < in_memory)
        report_bounds();
    else
        machine_.data_pointer(address, int32_t(std::min<int64_t>(in_memory + 1, INT32_MAX))); // reports
    return nullptr;
}

uint8_t *ScriptNativeCall::array_arg(int i, int64_t bytes) const
{
    const int64_t bounded = bound(i);
    if (bounded >= 0 && bytes > bounded) {
        report_bounds();
        return nullptr;
    }
    return machine_.data_pointer(address_arg(i), int32_t(std::clamp<int64_t>(bytes, -1, INT32_MAX)));
}

void ScriptNativeCall::set_int_result(int32_t value) const
{
    machine_.set_stack_int(count_ + count_cells_, value);
}

void ScriptNativeCall::set_double_result(double value) const
{
    machine_.set_stack_double(count_ + count_cells_, value);
}
