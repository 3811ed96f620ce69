#include "script/script_host_objects.h"

#include "script/pcode_machine.h"
#include "script/pcode_ops.h"

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

