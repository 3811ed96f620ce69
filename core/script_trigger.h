#pragma once
// A script hook bound to a script function, as the output queue of an
// interface carries it to the realtime thread: a key, timer, action or
// environment-variable hook, or (type above 65535) an internal trigger of
// the interface itself. Script hosting creates the triggers of a script.
#include "core/intrusive_list.h"

#include <cstdint>
#include <string>
#include <vector>

class ScriptTrigger
{
public:
    // Kinds in the low 16 bits of the type.
    enum Kind : uint32_t { key = 1, timer = 2, message = 4, action = 16, envvar = 64 };
    static constexpr uint32_t internal_base = 0x10000;

    ScriptTrigger(uint32_t type, uintptr_t address, std::string name = std::string())
        : m_type(type), m_address(address), m_name(std::move(name))
    {
    }
    virtual ~ScriptTrigger() = default;
    ScriptTrigger(const ScriptTrigger &) = delete;
    ScriptTrigger &operator=(const ScriptTrigger &) = delete;

    uint32_t type() const { return m_type; }
    // Key code, timer variable address, action number or variable id; for
    // an internal trigger the address of the object it acts on.
    uintptr_t address() const { return m_address; }
    const std::string &name() const { return m_name; }

    // The script function the trigger runs; not positive: none.
    int function_id() const { return m_function_id; }
    void set_function_id(int id) { m_function_id = id; }

    // What the script function receives: the 32-bit argument in this_value_i,
    // or, when the buffer is not empty, the buffer copied into script data at
    // data_offset.
    uint32_t argument() const { return m_argument; }
    void set_argument(uint32_t argument) { m_argument = argument; }
    const std::vector<uint8_t> &argument_buffer() const { return m_argument_buffer; }
    uint32_t data_offset() const { return m_data_offset; }
    void set_argument_buffer(std::vector<uint8_t> buffer, uint32_t data_offset)
    {
        m_argument_buffer = std::move(buffer);
        m_data_offset = data_offset;
    }

    // Set while a timer of the trigger is running; cleared when it is served.
    bool pending() const { return m_pending; }
    void set_pending(bool pending) { m_pending = pending; }

private:
    friend class VyrSignalIf; // the output queue links its items
    const uint32_t m_type;
    const uintptr_t m_address;
    const std::string m_name;
    int m_function_id = 0;
    uint32_t m_argument = 0;
    std::vector<uint8_t> m_argument_buffer;
    uint32_t m_data_offset = 0;
    bool m_pending = false;
    IntrusiveLink<ScriptTrigger> m_output_link;
};
