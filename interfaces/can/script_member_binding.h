#pragma once
// Bindings of tagged struct members and struct types of a CAN interface's
// script: database signals read and written in the data bytes of a message
// struct, the parts of an identifier, and message structs initialised from
// their database message. The script machine reaches them through its hooks;
// the tag of a member names its binding and view.
#include <cstdint>
#include <memory>
#include <vector>

class CANdbSignal;
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

// A database signal in the data bytes of a message struct (from byte 20 on).
class SignalMemberBinding : public ScriptMemberBinding
{
public:
    static constexpr int data_offset = 20;

    SignalMemberBinding(const CANdbSignal *signal, int size) : m_signal(signal), m_size(size) {}
    void write_int(PCodeMachine &machine, int32_t address, int view, int32_t value) override;
    void write_double(PCodeMachine &machine, int32_t address, int view, double value) override;
    int32_t read_int(PCodeMachine &machine, int32_t address, int view) override;
    double read_double(PCodeMachine &machine, int32_t address, int view) override;

private:
    uint8_t *data(PCodeMachine &machine, int32_t address) const;
    bool integer_coded() const;
    double value(PCodeMachine &machine, int32_t address, int view) const;
    // The physical value's raw counterpart: (value - offset) / factor.
    double raw_of(double physical) const;
    // A raw value written as a double: integer signals take it by the
    // coder's truncation rule (held to 64 bits, low bits kept).
    void encode_double(PCodeMachine &machine, int32_t address, double raw) const;

    const CANdbSignal *m_signal;
    int m_size; // data bytes of the struct
};

// The bindings of one script machine, owned, each known by its tag. A
// binding's tag is even; a member's tag adds its view (0 raw, 1 physical).
class ScriptMemberBindings
{
public:
    uint32_t add(std::unique_ptr<ScriptMemberBinding> binding);
    ScriptMemberBinding *find(uint32_t tag) const;
    // Points the machine's hooks at these bindings.
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

class ScriptStructType;
class ScriptSymbolTable;

// A new struct type of that name in the symbol table; null when the name is taken.
ScriptStructType *declare_struct_type(ScriptSymbolTable *symbols, const char *name);
// The member types of database signals, "structCandbSignalInt" { int Raw;
// double Phys } and "structCandbSignalFloat" { double Raw; double Phys },
// declared unless they exist.
void declare_signal_struct_types(ScriptSymbolTable *symbols);
// The member type of the signal: the float one for float and double signals.
ScriptStructType *signal_struct_type(ScriptSymbolTable *symbols, const CANdbSignal &signal);
