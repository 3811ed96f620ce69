#pragma once
// One environment variable: a named int, double or string value shared by all
// interfaces, with the interfaces that declare it and the script triggers to
// run when its value changes.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class ScriptTrigger;
class VyrDefiner;

// Values are read and written from interface threads and the GUI at once: ints
// and doubles are atomic, the string and the lists are guarded by the
// variable's own mutex, and texts are handed out as copies.
class EnvVarRecord
{
public:
    enum Kind { Int = 1, Double = 2, String = 3 };

    // kind 1 int, 2 double, 3 string (other kinds hold no value); owner is the
    // definer of a declaration without extern, or null. Takes the next id.
    EnvVarRecord(int kind, const std::string &name, VyrDefiner *owner);
    EnvVarRecord(const EnvVarRecord &) = delete;
    EnvVarRecord &operator=(const EnvVarRecord &) = delete;

    // h := 2 h + c over the name's bytes as signed 8-bit values, 32 bits wrapping.
    static uint32_t hash_name(const std::string &name);

    int kind() const { return m_kind; }
    const std::string &name() const { return m_name; }
    uint32_t name_hash() const { return m_name_hash; }
    // Counted from 1 over the whole program run, never reused.
    int id() const { return m_id; }
    VyrDefiner *owner() const;
    void set_owner(VyrDefiner *owner);

    // An int as it is, a double truncated, a string read as a decimal number.
    int value_int() const;
    double value_double() const;
    // An int as "%d", a double as "%lf", the string itself; none for a string
    // variable that was never set and for variables of other kinds.
    std::optional<std::string> value_string() const;

    // The setters post the actions when the value changed; a string variable
    // posts them on every set. Other kinds convert and store as their kind.
    void set_value_int(int value);
    void set_value_double(double value);
    void set_value_string(const char *text);

    // The trigger is posted to its definer's output sink on every change.
    void add_action(ScriptTrigger *trigger, VyrDefiner *definer);
    void add_definer(VyrDefiner *definer);
    bool has_definer(VyrDefiner *definer) const;
    // Drops the definer's actions and the definer, and the owner when it was it.
    void remove_definer(VyrDefiner *definer);
    int definer_count() const;

private:
    struct Action {
        ScriptTrigger *trigger;
        VyrDefiner *definer;
    };

    void notify();

    const int m_kind;
    const std::string m_name;
    const uint32_t m_name_hash;
    const int m_id;

    mutable std::mutex m_mutex; // guards everything below but the atomics
    VyrDefiner *m_owner;
    std::vector<Action> m_actions;
    std::vector<VyrDefiner *> m_definers;
    std::atomic<int> m_int{0};
    std::atomic<double> m_double{0.0};
    std::optional<std::string> m_string;
};
