#include "core/description_value.h"

#include "core/description_list.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr uint32_t number_and_infinity_flags = DescriptionValue::int_flag | DescriptionValue::double_flag |
                                               DescriptionValue::plus_inf_flag | DescriptionValue::minus_inf_flag;
}

DescriptionValue::DescriptionValue() : DescriptionNode(kind_number) {}

DescriptionValue::DescriptionValue(int32_t value) : DescriptionValue()
{
    set_int(value);
}

DescriptionValue::DescriptionValue(double value) : DescriptionValue()
{
    set_double(value);
}

DescriptionValue::DescriptionValue(const char *text) : DescriptionValue()
{
    set_string(text);
}

DescriptionValue::DescriptionValue(DescriptionList *list) : DescriptionValue()
{
    set_list(list);
}

DescriptionValue::~DescriptionValue() = default;

bool DescriptionValue::is_zero() const
{
    return (is_int() && m_int == 0) || (is_double() && m_double == 0.0);
}

bool DescriptionValue::is_one() const
{
    return (is_int() && m_int == 1) || (is_double() && m_double == 1.0);
}

void DescriptionValue::set_int(int32_t value)
{
    m_int = value;
    m_value_flags = (m_value_flags & ~number_and_infinity_flags) | int_flag;
}

void DescriptionValue::set_double(double value)
{
    m_double = value;
    m_value_flags = (m_value_flags & ~number_and_infinity_flags) | double_flag;
}

void DescriptionValue::set_string(const DescriptionString &text)
{
    m_string = text;
    m_value_flags = (m_value_flags & ~number_and_infinity_flags) | string_flag;
}

void DescriptionValue::set_list(DescriptionList *list)
{
    m_list.reset(list);
    m_value_flags = (m_value_flags & ~number_and_infinity_flags) | list_flag;
}

void DescriptionValue::set_data(const std::vector<uint8_t> &bytes, uint32_t count)
{
    m_data = bytes;
    m_data_count = count;
    m_value_flags |= data_flag;
}

void DescriptionValue::set_infinity(int sign)
{
    m_value_flags = sign == 0 ? uint32_t(plus_inf_flag) : sign == 1 ? uint32_t(minus_inf_flag) : 0u;
}

bool DescriptionValue::set_from_text(const char *text)
{
    if (!text)
        return false;
    if (std::strchr(text, '.'))
        set_double(std::strtod(text, nullptr));
    else
        set_int(int32_t(std::strtol(text, nullptr, 10)));
    return true;
}

int32_t DescriptionValue::to_int() const
{
    if (is_int())
        return m_int;
    if (is_double()) {
        // Truncated toward zero; out of range and NaN are held at the limits.
        if (!(m_double > double(INT32_MIN)))
            return m_double != m_double ? 0 : INT32_MIN;
        if (m_double >= double(INT32_MAX))
            return INT32_MAX;
        return int32_t(m_double);
    }
    return 0;
}

double DescriptionValue::to_double() const
{
    if (is_double())
        return m_double;
    if (is_int())
        return m_int;
    return 0.0;
}

void DescriptionValue::negate()
{
    if (is_int())
        m_int = int32_t(0u - uint32_t(m_int));
    if (is_double())
        m_double = -m_double;
}

void DescriptionValue::add(const DescriptionValue &other)
{
    if (other.is_zero())
        return;
    if (is_int() && other.is_int() && !is_double() && !other.is_double())
        m_int = int32_t(uint32_t(m_int) + uint32_t(other.m_int)); // wraps as 32-bit words do
    else
        set_double(to_double() + other.to_double());
}

void DescriptionValue::multiply(const DescriptionValue &other)
{
    if (other.is_one())
        return;
    if (is_int() && other.is_int() && !is_double() && !other.is_double())
        m_int = int32_t(uint32_t(m_int) * uint32_t(other.m_int));
    else
        set_double(to_double() * other.to_double());
}

void DescriptionValue::copy_from(const DescriptionValue &other)
{
    if (this == &other)
        return;
    m_value_flags = other.m_value_flags & ~uint32_t(list_flag);
    m_string = other.m_string;
    m_double = other.m_double;
    m_int = other.m_int;
    m_data = other.m_data;
    m_data_count = other.m_data_count;
    m_list.reset();
}
