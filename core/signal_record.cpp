#include "core/signal_record.h"

#include "core/description_node.h"
#include "core/time_base.h"
#include "core/vyr_signal_entry.h"

#include <cstring>

SignalRecord::SignalRecord() = default;

SignalRecord::~SignalRecord()
{
    // The entry must not keep following a signal that is gone.
    if (m_entry)
        m_entry->bind(nullptr);
}

uint32_t SignalRecord::hash_name(const char *name)
{
    uint32_t hash = 0;
    for (const char *p = name; p && *p; ++p) {
        hash ^= uint32_t(int32_t(static_cast<signed char>(*p)));
        hash = (hash << 1) | (hash >> 31);
    }
    return hash;
}

double SignalRecord::factor() const
{
    return 1.0;
}

double SignalRecord::offset() const
{
    return 0.0;
}

DescriptionNode *SignalRecord::description_ref() const
{
    return m_description ? m_description->data_word0() : nullptr;
}

int SignalRecord::direction() const
{
    return m_direction;
}

const char *SignalRecord::value_text(int) const
{
    return nullptr;
}

namespace {

SignalValue stamped_now()
{
    const TimeValue now = get_current_time();
    SignalValue value;
    value.seconds = now.seconds;
    value.microseconds = now.microseconds;
    return value;
}

} // namespace

SignalValue SignalValue::SignalValue_double(double value)
{
    SignalValue record = stamped_now();
    record.set_double(value);
    return record;
}

SignalValue SignalValue::SignalValue_int(int32_t value)
{
    SignalValue record = stamped_now();
    record.set_int(value);
    return record;
}

int SignalRecord::get_value(SignalValue &out)
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    out = m_value;
    const int previous = m_state;
    if (m_state == NewValue)
        m_state = ValueRead;
    return previous;
}

int SignalRecord::peek_value(SignalValue &out) const
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    out = m_value;
    return m_state;
}

void SignalRecord::set_value(const SignalValue &value)
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    m_value = value;
    m_state = NewValue;
}

void SignalRecord::set_double(double value)
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    m_value.set_double(value);
    m_state = NewValue;
}

void SignalRecord::set_int(int32_t value)
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    m_value.set_int(value);
    m_state = NewValue;
}

void SignalRecord::clear_state()
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    m_state = NoValue;
}

int SignalRecord::state() const
{
    std::lock_guard<std::mutex> lock(m_value_mutex);
    return m_state;
}

void SignalRecord::set_name(const char *name)
{
    const bool same = name ? (m_has_name && m_name == name) : !m_has_name;
    if (!same)
        m_flags |= Changed;
    m_has_name = name != nullptr;
    m_name = name ? name : "";
    m_name_parts.clear();
    if (!name)
        return;
    size_t begin = 0;
    for (;;) {
        const size_t dot = m_name.find('.', begin);
        m_name_parts.push_back(m_name.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin));
        if (dot == std::string::npos)
            break;
        begin = dot + 1;
    }
}

const char *SignalRecord::name_part(int index) const
{
    if (index < 0)
        index = 0;
    return size_t(index) < m_name_parts.size() ? m_name_parts[size_t(index)].c_str() : nullptr;
}

void SignalRecord::set_min(double min)
{
    if (min != m_min)
        m_flags |= Changed;
    m_min = min;
}

void SignalRecord::set_max(double max)
{
    if (max != m_max)
        m_flags |= Changed;
    m_max = max;
}
