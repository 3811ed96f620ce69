#include "interfaces/can/script_member_binding.h"

#include "core/candb_signal.h"
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"

#include <cmath>

void ScriptMemberBinding::init_variable(PCodeMachine &, int32_t) {}
void ScriptMemberBinding::write_int(PCodeMachine &, int32_t, int, int32_t) {}
void ScriptMemberBinding::write_double(PCodeMachine &, int32_t, int, double) {}

int32_t ScriptMemberBinding::read_int(PCodeMachine &, int32_t, int)
{
    return 0;
}

double ScriptMemberBinding::read_double(PCodeMachine &, int32_t, int)
{
    return 0.0;
}

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

// --- Tags and machine hooks ---------------------------------------------------------------

uint32_t ScriptMemberBindings::add(std::unique_ptr<ScriptMemberBinding> binding)
{
    m_bindings.push_back(std::move(binding));
    return uint32_t(m_bindings.size()) * 2;
}

ScriptMemberBinding *ScriptMemberBindings::find(uint32_t tag) const
{
    const uint32_t index = tag / 2;
    return index >= 1 && index <= m_bindings.size() ? m_bindings[index - 1].get() : nullptr;
}

void ScriptMemberBindings::install(PCodeMachine *machine)
{
    m_machine = machine;
    if (machine)
        machine->set_hooks(PCodeHooks{this, address_notify, int_store, double_store, int_read, double_read});
}

void ScriptMemberBindings::address_notify(void *context, int32_t address, int32_t tag)
{
    auto *self = static_cast<ScriptMemberBindings *>(context);
    if (ScriptMemberBinding *binding = self->find(uint32_t(tag)))
        binding->init_variable(*self->m_machine, address);
}

void ScriptMemberBindings::int_store(void *context, int32_t address, int32_t tag, int32_t value)
{
    auto *self = static_cast<ScriptMemberBindings *>(context);
    if (ScriptMemberBinding *binding = self->find(uint32_t(tag)))
        binding->write_int(*self->m_machine, address, tag & 1, value);
}

void ScriptMemberBindings::double_store(void *context, int32_t address, int32_t tag, double value)
{
    auto *self = static_cast<ScriptMemberBindings *>(context);
    if (ScriptMemberBinding *binding = self->find(uint32_t(tag)))
        binding->write_double(*self->m_machine, address, tag & 1, value);
}

namespace {

// Increments and decrements change the raw value (view 0) by one; the
// expression yields the member's own view before (post forms) or after (pre
// forms) the change.
template <typename T, typename Read>
T read_with_access(ScriptMemberBinding *binding, PCodeMachine &machine, int32_t address, int32_t kind, int view,
                   Read read)
{
    if (kind == PCODE_ACCESS_READ)
        return read(view);
    const T before = read(view);
    const int32_t step = kind == PCODE_ACCESS_PRE_INCREMENT || kind == PCODE_ACCESS_POST_INCREMENT ? 1 : -1;
    // In unsigned arithmetic: the raw value steps past the int range as its low bits do.
    binding->write_int(machine, address, 0, int32_t(uint32_t(binding->read_int(machine, address, 0)) + uint32_t(step)));
    return kind == PCODE_ACCESS_POST_INCREMENT || kind == PCODE_ACCESS_POST_DECREMENT ? before : read(view);
}

} // namespace

int32_t ScriptMemberBindings::int_read(void *context, int32_t address, int32_t kind, int32_t tag)
{
    auto *self = static_cast<ScriptMemberBindings *>(context);
    ScriptMemberBinding *binding = self->find(uint32_t(tag));
    if (!binding)
        return 0;
    PCodeMachine &machine = *self->m_machine;
    return read_with_access<int32_t>(binding, machine, address, kind, tag & 1,
                                     [&](int view) { return binding->read_int(machine, address, view); });
}

double ScriptMemberBindings::double_read(void *context, int32_t address, int32_t kind, int32_t tag)
{
    auto *self = static_cast<ScriptMemberBindings *>(context);
    ScriptMemberBinding *binding = self->find(uint32_t(tag));
    if (!binding)
        return 0.0;
    PCodeMachine &machine = *self->m_machine;
    return read_with_access<double>(binding, machine, address, kind, tag & 1,
                                    [&](int view) { return binding->read_double(machine, address, view); });
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
