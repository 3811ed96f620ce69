#pragma once
// A signal: one named value of an interface (computed or consumed by its
// script, decoded from a bus message, or a statistic of the bus) with its
// time-stamped value record, range and attributes.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class DescriptionNode;
class VyrSignalEntry;
class VyrSignalIf;
class VyrSignalList;

// The value record, 24 bytes, copied as a whole.
struct SignalValue
{
    enum Type : uint32_t { Int = 2, Double = 3 };

    uint32_t seconds = 0;      // time stamp on the measurement clock
    uint32_t microseconds = 0; // 0..999999
    uint32_t type = 0;         // Int or Double
    uint32_t reserved = 0;
    union {
        int32_t int_value; // type Int: the low half of the 8 bytes
        double double_value = 0.0;
    };

    void set_int(int32_t value)
    {
        double_value = 0.0;
        int_value = value;
        type = Int;
    }
    void set_double(double value)
    {
        double_value = value;
        type = Double;
    }

    // Records of values set from outside the realtime side (automation,
    // panel items), stamped with the current time of the time base.
    static SignalValue SignalValue_double(double value);
    static SignalValue SignalValue_int(int32_t value);
};
static_assert(sizeof(SignalValue) == 24, "the value record is 24 bytes");

class SignalRecord
{
public:
    enum Direction { Input = 1, Output = 2, InputOutput = 3 };
    enum Characteristic { Continuous = 1, Digital = 2, Sample = 3 };
    enum Mode { Polling = 1, Cyclic = 64, Event = 128 };
    enum State { NoValue = 0, NewValue = 1, ValueRead = 2 };
    enum Flag : uint32_t {
        DefinedByCompile = 0x1,      // defined by the current script compile
        Predefined = 0x2,            // predefined by the interface; a script may not define it again
        ScriptFunction = 0x4,        // backed by a script function
        DatabaseBound = 0x8,         // bound to a network-database signal
        KeptForWindows = 0x8000,     // kept only because windows use it ("dummy_signals")
        HasValueDescriptions = 0x10000, // the bound database signal has value descriptions
        CreatedByScript = 0x20000,   // created by a script definition
        Changed = 0x80000,           // a property (the name included) changed since the last reload
    };

    SignalRecord();
    // Detaches the entry that follows the signal.
    virtual ~SignalRecord();
    SignalRecord(const SignalRecord &) = delete;
    SignalRecord &operator=(const SignalRecord &) = delete;

    // Rotate-left-by-1 of (h XOR c) over the name's bytes as signed 8-bit values.
    static uint32_t hash_name(const char *name);

    virtual double factor() const;
    virtual double offset() const;
    // The node that the signal's description node refers to, or null.
    virtual DescriptionNode *description_ref() const;
    virtual int direction() const;
    // A text for the value (a value description, a state name), or null.
    virtual const char *value_text(int value) const;

    // Copies the value record out; a new value becomes read. Returns the state
    // before the call, so a reader sees NewValue exactly once per new value.
    int get_value(SignalValue &out);
    // Copies the value record out and answers the state, leaving it as it is.
    int peek_value(SignalValue &out) const;
    // The setters store the value and make it new.
    void set_value(const SignalValue &value);
    void set_double(double value);
    void set_int(int32_t value);
    // Makes the signal "no value" (at measurement start).
    void clear_state();
    int state() const;

    // Null when none. Sets the Changed flag when the name differs from the old one.
    const char *name() const { return m_has_name ? m_name.c_str() : nullptr; }
    void set_name(const char *name);
    // Part of the dotted name; a negative index counts as 0; null past the last part.
    const char *name_part(int index) const;
    int name_part_count() const { return int(m_name_parts.size()); }

    VyrSignalIf *owner() const { return m_owner; }
    void set_owner(VyrSignalIf *owner) { m_owner = owner; }
    int script_function() const { return m_script_function; }
    void set_script_function(int id) { m_script_function = id; }
    void set_direction(int direction) { m_direction = direction; }
    int value_type() const { return m_value_type; }
    void set_value_type(int type) { m_value_type = type; }
    int characteristic() const { return m_characteristic; }
    void set_characteristic(int characteristic) { m_characteristic = characteristic; }
    double min() const { return m_min; }
    double max() const { return m_max; }
    // Both set the Changed flag when the value differs.
    void set_min(double min);
    void set_max(double max);
    int rate() const { return m_rate; }
    void set_rate(int ms) { m_rate = ms; }
    int mode() const { return m_mode; }
    void set_mode(int mode) { m_mode = mode; }
    uint32_t flags() const { return m_flags; }
    void set_flags(uint32_t flags) { m_flags = flags; }
    void add_flags(uint32_t flags) { m_flags |= flags; }
    void remove_flags(uint32_t flags) { m_flags &= ~flags; }
    bool has_flag(uint32_t flag) const { return (m_flags & flag) != 0; }

    // Windows, panel items and trigger conditions that refer to the signal.
    int use_count() const { return m_use_count.load(); }
    void add_use() { ++m_use_count; }
    void release_use() { --m_use_count; }

    // The entry that follows this signal (set by VyrSignalEntry::bind).
    VyrSignalEntry *entry() const { return m_entry; }
    DescriptionNode *description() const { return m_description; }
    void set_description(DescriptionNode *node) { m_description = node; }

    // Place in the owning list: -1 when in none.
    int slot() const { return m_slot; }
    uint32_t hash() const { return m_hash; }

private:
    friend class VyrSignalList;
    friend class VyrSignalEntry;

    std::string m_name;
    bool m_has_name = false;
    std::vector<std::string> m_name_parts;
    VyrSignalIf *m_owner = nullptr;
    int m_script_function = 0;
    int m_direction = Input;
    int m_value_type = SignalValue::Int;
    int m_characteristic = 0;
    double m_min = 0.0;
    double m_max = 0.0;
    int m_rate = 0;
    int m_mode = 0;
    uint32_t m_flags = 0;
    std::atomic<int> m_use_count{0};

    // The value is written by one thread and read by others (windows, scripts,
    // the automation interface): value and state change together under a lock.
    mutable std::mutex m_value_mutex;
    SignalValue m_value;
    int m_state = NoValue;

    VyrSignalEntry *m_entry = nullptr;
    SignalRecord *m_hash_next = nullptr;
    SignalRecord *m_list_next = nullptr;
    int m_slot = -1;
    uint32_t m_hash = 0;
    DescriptionNode *m_description = nullptr;
};
