#pragma once
// Bindings of tagged struct members and struct types of a CAN interface's
// script: database signals read and written in the data bytes of a message
// struct, the parts of an identifier, and message structs initialised from
// their database message. They are entries of the script runtime's host
// objects; the tag of a member names its binding and view.
#include "script/script_host_objects.h"

#include <cstdint>
#include <memory>
#include <vector>

class CANdbSignal;
class PCodeMachine;

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
