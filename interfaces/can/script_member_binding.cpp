#include "interfaces/can/script_member_binding.h"

#include "core/candb_signal.h"
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"

#include <cmath>

// --- Database signals ---------------------------------------------------------------------

uint8_t *SignalMemberBinding::data(PCodeMachine &machine, int32_t address) const
{
    return machine.data_pointer(address + data_offset, m_size);
}

bool SignalMemberBinding::integer_coded() const
{
    return m_signal->value_type != CANdbRawFloat && m_signal->value_type != CANdbRawDouble;
}

double SignalMemberBinding::value(PCodeMachine &machine, int32_t address, int view) const
{
    const uint8_t *bytes = data(machine, address);
    if (!bytes)
        return 0.0;
    double raw = 0.0;
    switch (m_signal->value_type) {
    case CANdbRawSigned: {
        int64_t v = 0;
        m_signal->decode_signed(bytes, m_size, v);
        raw = double(v);
        break;
    }
    case CANdbRawFloat:
        m_signal->decode_float(bytes, m_size, raw);
        break;
    case CANdbRawDouble:
        m_signal->decode_double(bytes, m_size, raw);
        break;
    default: {
        uint64_t v = 0;
        m_signal->decode_unsigned(bytes, m_size, v);
        raw = double(v);
        break;
    }
    }
    return view == 0 ? raw : raw * m_signal->factor + m_signal->offset;
}

double SignalMemberBinding::raw_of(double physical) const
{
    return (physical - m_signal->offset) / m_signal->factor;
}

void SignalMemberBinding::encode_double(PCodeMachine &machine, int32_t address, double raw) const
{
    if (uint8_t *bytes = data(machine, address))
        m_signal->encode_double(bytes, m_size, raw);
}

int32_t SignalMemberBinding::read_int(PCodeMachine &machine, int32_t address, int view)
{
    // A raw integer keeps its low 32 bits, as an int takes a wider integer
    // (through a double a 64-bit value would lose them); the rest follows the
    // coder's rule for doubles.
    const uint8_t *bytes = data(machine, address);
    if (view == 0 && integer_coded() && bytes) {
        uint64_t raw = 0;
        m_signal->extract_raw(bytes, m_size, m_signal->value_type == CANdbRawSigned, raw);
        return int32_t(uint32_t(raw));
    }
    return truncate_to_int32(value(machine, address, view));
}

double SignalMemberBinding::read_double(PCodeMachine &machine, int32_t address, int view)
{
    return value(machine, address, view);
}

void SignalMemberBinding::write_int(PCodeMachine &machine, int32_t address, int view, int32_t value)
{
    if (view == 0) {
        if (uint8_t *bytes = data(machine, address))
            m_signal->encode_int(bytes, m_size, value);
        return;
    }
    // The integer part of the offset value, scaled and truncated.
    encode_double(machine, address, std::trunc(double(value) - m_signal->offset) / m_signal->factor);
}

void SignalMemberBinding::write_double(PCodeMachine &machine, int32_t address, int view, double value)
{
    encode_double(machine, address, view == 0 ? value : raw_of(value));
}

// --- Struct types -----------------------------------------------------------------------

ScriptStructType *declare_struct_type(ScriptSymbolTable *symbols, const char *name)
{
    if (symbols->find(name, 0))
        return nullptr;
    auto *type = new ScriptStructType;
    type->set_name(name, true);
    symbols->insert(type);
    return type;
}

void declare_signal_struct_types(ScriptSymbolTable *symbols)
{
    if (ScriptStructType *type = declare_struct_type(symbols, "structCandbSignalInt")) {
        type->add_tagged_member("Raw", TYPE_INT, 0);
        type->add_tagged_member("Phys", TYPE_DOUBLE, 1);
    }
    if (ScriptStructType *type = declare_struct_type(symbols, "structCandbSignalFloat")) {
        type->add_tagged_member("Raw", TYPE_DOUBLE, 0);
        type->add_tagged_member("Phys", TYPE_DOUBLE, 1);
    }
}

ScriptStructType *signal_struct_type(ScriptSymbolTable *symbols, const CANdbSignal &signal)
{
    const bool floating = signal.value_type == CANdbRawFloat || signal.value_type == CANdbRawDouble;
    ScriptSymbol *type = symbols->find(floating ? "structCandbSignalFloat" : "structCandbSignalInt", 0);
    return type && type->kind() == SYMBOL_STRUCT_TYPE ? static_cast<ScriptStructType *>(type) : nullptr;
}
