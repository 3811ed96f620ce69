#pragma once
// Small helpers shared by the sources of ScriptCodeGen.
#include "script/script_code_gen.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace script_code_gen {

inline std::string format_text(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string text(size_t(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(size_t(length));
    return text;
}

inline int32_t align4(int32_t value)
{
    return (value + 3) & ~3;
}

// int, char and byte values all travel as ints.
inline bool is_int_kind(uint32_t type)
{
    return type == TYPE_INT || type == TYPE_CHAR || type == TYPE_BYTE;
}

// Truncation toward zero that stays defined for every double.
inline int32_t truncate_to_int(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

inline double constant_as_double(const ScriptParseValue &value)
{
    return value.type == TYPE_DOUBLE ? value.double_value : double(value.int_value);
}

inline int32_t constant_as_int(const ScriptParseValue &value)
{
    return value.type == TYPE_DOUBLE ? truncate_to_int(value.double_value) : value.int_value;
}

} // namespace script_code_gen
