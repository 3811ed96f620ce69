#pragma once
// Small helpers shared by the sources of ScriptCodeGen.
#include "script/script_code_gen.h"

#include "settings/text_util.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace script_code_gen {

inline int32_t align4(int32_t value)
{
    return (value + 3) & ~3;
}

// int, char and byte values all travel as ints.
inline bool is_int_kind(uint32_t type)
{
    return type == TYPE_INT || type == TYPE_CHAR || type == TYPE_BYTE;
}

inline double constant_as_double(const ScriptParseValue &value)
{
    return value.type == TYPE_DOUBLE ? value.double_value : double(value.int_value);
}

inline int32_t constant_as_int(const ScriptParseValue &value)
{
    return value.type == TYPE_DOUBLE ? clamp_to_int32(value.double_value) : value.int_value;
}

} // namespace script_code_gen
