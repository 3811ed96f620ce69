#include "core/env_var_record.h"

#include "settings/text_util.h"
#include "core/vyr_definer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<int> next_env_var_id{1};

// Reads a decimal number the way atoi does, held to the int range.
int text_to_int(const char *text)
{
    const long value = std::strtol(text, nullptr, 10);
    return int(std::clamp<long>(value, INT_MIN, INT_MAX));
}

std::string print_int(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

} // namespace

EnvVarRecord::EnvVarRecord(int kind, const std::string &name, VyrDefiner *owner)
    : m_kind(kind), m_name(name), m_name_hash(hash_name(name)), m_id(next_env_var_id++), m_owner(owner)
{
}

uint32_t EnvVarRecord::hash_name(const std::string &name)
{
    uint32_t hash = 0;
    for (char c : name)
        hash = 2 * hash + uint32_t(int32_t(static_cast<signed char>(c)));
    return hash;
}

VyrDefiner *EnvVarRecord::owner() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_owner;
}

void EnvVarRecord::set_owner(VyrDefiner *owner)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_owner = owner;
}

int EnvVarRecord::value_int() const
{
    switch (m_kind) {
    case Int:
        return m_int.load();
    case Double:
        return clamp_to_int32(m_double.load());
    case String: {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_string ? text_to_int(m_string->c_str()) : 0;
    }
    default:
        return 0;
    }
}

double EnvVarRecord::value_double() const
{
    switch (m_kind) {
    case Int:
        return m_int.load();
    case Double:
        return m_double.load();
    case String: {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_string ? c_locale_atof(m_string->c_str()) : 0.0;
    }
    default:
        return 0.0;
    }
}

std::optional<std::string> EnvVarRecord::value_string() const
{
    switch (m_kind) {
    case Int:
        return print_int(m_int.load());
    case Double:
        return c_locale_format_lf(m_double.load());
    case String: {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_string;
    }
    default:
        return std::nullopt;
    }
}

void EnvVarRecord::set_value_int(int value)
{
    switch (m_kind) {
    case Int:
        if (m_int.exchange(value) != value)
            notify();
        break;
    case Double:
        if (m_double.exchange(double(value)) != double(value))
            notify();
        break;
    case String:
        set_value_string(print_int(value).c_str());
        break;
    default:
        break;
    }
}

void EnvVarRecord::set_value_double(double value)
{
    switch (m_kind) {
    case Int:
        // Changed when the double differs from the old int, even when the
        // truncated value is the same.
        if (double(m_int.exchange(clamp_to_int32(value))) != value)
            notify();
        break;
    case Double:
        if (m_double.exchange(value) != value)
            notify();
        break;
    case String:
        set_value_string(c_locale_format_lf(value).c_str());
        break;
    default:
        break;
    }
}

void EnvVarRecord::set_value_string(const char *text)
{
    switch (m_kind) {
    case Int:
        set_value_int(text ? text_to_int(text) : 0);
        break;
    case Double:
        set_value_double(c_locale_atof(text));
        break;
    case String: {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_string = text ? text : "";
        }
        notify();
        break;
    }
    default:
        break;
    }
}

void EnvVarRecord::add_action(ScriptTrigger *trigger, VyrDefiner *definer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_actions.push_back({trigger, definer});
}

void EnvVarRecord::add_definer(VyrDefiner *definer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::find(m_definers.begin(), m_definers.end(), definer) == m_definers.end())
        m_definers.push_back(definer);
}

bool EnvVarRecord::has_definer(VyrDefiner *definer) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::find(m_definers.begin(), m_definers.end(), definer) != m_definers.end();
}

void EnvVarRecord::remove_definer(VyrDefiner *definer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_actions.erase(std::remove_if(m_actions.begin(), m_actions.end(),
                                   [definer](const Action &action) { return action.definer == definer; }),
                    m_actions.end());
    m_definers.erase(std::remove(m_definers.begin(), m_definers.end(), definer), m_definers.end());
    if (m_owner == definer)
        m_owner = nullptr;
}

int EnvVarRecord::definer_count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_definers.size());
}

void EnvVarRecord::notify()
{
    // Posted outside the lock: an output sink takes its own queue lock.
    std::vector<Action> actions;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        actions = m_actions;
    }
    for (const Action &action : actions)
        if (action.definer && action.definer->owner())
            action.definer->owner()->post_output(action.trigger);
}
