#pragma once
// Host objects that a script reaches through tagged struct members: each
// entry is known by its tag, and the machine's five hooks (notify, store int,
// store double, read int, read double) are dispatched to the entry of the
// tag. A runtime keeps one list per machine; the preludes of the interfaces
// append their entries while they compile.
#include <cstdint>
#include <memory>
#include <vector>

class PCodeMachine;

class ScriptMemberBinding
{
public:
    virtual ~ScriptMemberBinding() = default;
    // address: the data address of the struct variable; view: 0 raw, 1 physical.
    virtual void init_variable(PCodeMachine &machine, int32_t address);
    virtual void write_int(PCodeMachine &machine, int32_t address, int view, int32_t value);
    virtual void write_double(PCodeMachine &machine, int32_t address, int view, double value);
    virtual int32_t read_int(PCodeMachine &machine, int32_t address, int view);
    virtual double read_double(PCodeMachine &machine, int32_t address, int view);
};

// The entries of one script machine, owned, each known by its tag. An entry's
// tag is even; a member's tag adds its view (0 raw, 1 physical).
class ScriptMemberBindings
{
public:
    uint32_t add(std::unique_ptr<ScriptMemberBinding> binding);
    ScriptMemberBinding *find(uint32_t tag) const;
    // Points the machine's hooks at these entries.
    void install(PCodeMachine *machine);
    void clear() { m_bindings.clear(); }
    int count() const { return int(m_bindings.size()); }

private:
    static void address_notify(void *context, int32_t address, int32_t tag);
    static void int_store(void *context, int32_t address, int32_t tag, int32_t value);
    static void double_store(void *context, int32_t address, int32_t tag, double value);
    static int32_t int_read(void *context, int32_t address, int32_t kind, int32_t tag);
    static double double_read(void *context, int32_t address, int32_t kind, int32_t tag);

    PCodeMachine *m_machine = nullptr;
    std::vector<std::unique_ptr<ScriptMemberBinding>> m_bindings;
};
