// What a CAN interface's script sees of its frames: the CanMessage type and
// this_message, the message handlers ("on CanMessage 0x100", "on CanMessage *"),
// and the runs of those handlers for each received frame.
#include "core/script_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"
#include "script/script_types.h"
#include "script/vyr_declaration_host.h"
#include "script/vyr_script_runtime.h"

#include <QString>

#include <cstring>

namespace {

const char can_prelude[] = "__pragma_internal;\n"
                           "struct CanMessage { int id; int timestamp; int timestamp_us; byte channel; byte dlc;\n"
                           "    byte reserved_1; byte reserved_2; int flags; byte data [64]; };\n"
                           "CanMessage this_message;\n";

// Byte offsets of the members of CanMessage.
namespace this_message {
constexpr int id = 0;
constexpr int timestamp = 4;
constexpr int timestamp_us = 8;
constexpr int channel = 12;
constexpr int dlc = 13;
constexpr int flags = 16;
constexpr int data = 20;
constexpr int size = 84;
} // namespace this_message

void put_int(uint8_t *at, uint32_t value)
{
    std::memcpy(at, &value, sizeof value);
}

} // namespace

int VyrCanIf::basic_definitions()
{
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(this);
    m_this_message = -1;
    if (!runtime)
        return 0;
    if (const int r = runtime->compile_prelude(can_prelude)) {
        error(QStringLiteral("VyrCanIf:: r=%1").arg(r).toStdString());
        return r;
    }
    ScriptSymbol *symbol = runtime->symbols()->find("this_message", 0);
    if (symbol && symbol->kind() == SYMBOL_VARIABLE)
        m_this_message = int32_t(static_cast<ScriptVariable *>(symbol)->address);
    return 0;
}

int VyrCanIf::script_struct_type(const char *name, void *parser_context)
{
    if (std::strcmp(name, "CanMessage") != 0)
        return -1;
    auto *host = static_cast<VyrDeclarationHost *>(parser_context);
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(this);
    if (!runtime)
        return -1;

    // The hook: "*", a database message name or identifier literal, or a
    // number that a name may follow with the literal's letters (0x100 x).
    ScriptTokenValue token;
    const int code = host->next_token(&token);
    std::string hook;
    uint32_t key = catch_all_key;
    if (code == '*') {
        hook = "*";
    } else {
        if (code == T_INT_CONST) {
            const std::string digits = host->number_text;
            const int32_t value = token.int_value;
            ScriptTokenValue letters;
            const int next = host->next_token(&letters);
            std::string suffix;
            if (next == T_IDENT)
                suffix = letters.text;
            else if (next == '{')
                host->push_back_token(letters, next);
            else {
                host->error("Expected flags or '{' after a numeric CanMessage hook");
                return -1;
            }
            const bool hexadecimal = suffix.find_first_of("hH") != std::string::npos;
            hook = (hexadecimal ? digits : std::to_string(uint32_t(value))) + suffix;
        } else if (code == T_IDENT) {
            hook = token.text;
        } else {
            host->error("Expected flags or '{' after a numeric CanMessage hook");
            return -1;
        }
        VyrCanMessage message;
        if (id_by_database_name(this, hook.c_str(), message) != 0) {
            host->error("Invalid CAN identifier '%s'", hook.c_str());
            return -1;
        }
        key = message.flags & VyrCanMessage::ErrorFrame ? error_frame_key : message_key(message);
    }

    // "this" of the handler is this_message.
    ScriptSymbol *type = runtime->symbols()->find("CanMessage", 0);
    if (m_this_message >= 0 && type && type->kind() == SYMBOL_STRUCT_TYPE) {
        auto *variable = new ScriptVariable;
        variable->set_name("this", false);
        variable->level = host->scope_level + 1;
        variable->address = uint32_t(m_this_message);
        variable->type = TYPE_STRUCT;
        variable->struct_type = static_cast<ScriptStructType *>(type);
        host->symbols->insert(variable);
    }
    auto trigger = std::make_unique<ScriptTrigger>(ScriptTrigger::message, uintptr_t(key), hook);
    trigger->set_function_id(host->machine->code_position());
    runtime->add_script_trigger(std::move(trigger));
    return 0;
}

int VyrCanIf::prepare_start()
{
    if (VyrScriptRuntime *runtime = VyrScriptRuntime::of(this)) {
        PCodeMachine *machine = runtime->machine();
        if (uint8_t *data = machine->data_pointer(0, machine->data_capacity()))
            std::memset(data, 0, size_t(machine->data_capacity()));
    }
    run_script_functions(variables_functions());
    run_script_functions(init_functions());
    return 0;
}

int VyrCanIf::read_script_signal(VyrSignalEntry *entry, SignalValue &value)
{
    VyrSignalIf::read_script_signal(entry, value);
    return 0;
}

void VyrCanIf::collect_message_handlers()
{
    m_message_handlers.clear();
    if (VyrScriptRuntime *runtime = VyrScriptRuntime::of(this))
        for (ScriptTrigger *trigger : runtime->script_triggers(ScriptTrigger::message))
            m_message_handlers.emplace(uint32_t(trigger->address()), trigger->function_id());
}

int VyrCanIf::message_handler(uint32_t key) const
{
    const auto found = m_message_handlers.find(key);
    return found == m_message_handlers.end() ? 0 : found->second;
}

bool VyrCanIf::run_message_handlers(const VyrCanMessage &frame, uint32_t key)
{
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(this);
    if (!runtime || m_this_message < 0 || m_message_handlers.empty())
        return false;
    if (frame.flags & VyrCanMessage::ErrorFrame) {
        const int handler = message_handler(error_frame_key);
        return handler && run_message_handler(*runtime, handler, frame, 0);
    }
    bool filtered = false;
    // A protocol's formatter decides which identifier a handler is written for.
    if (m_id_formatter)
        key = m_id_formatter->display_id(frame);
    if (const int handler = message_handler(key))
        filtered = run_message_handler(*runtime, handler, frame, VyrCanMessage::Extended);
    if (const int handler = message_handler(catch_all_key))
        filtered = run_message_handler(*runtime, handler, frame, 0);
    return filtered;
}

bool VyrCanIf::run_message_handler(VyrScriptRuntime &runtime, int function, const VyrCanMessage &frame,
                                   uint32_t hidden_flags)
{
    PCodeMachine *machine = runtime.machine();
    uint8_t *target = machine->data_pointer(m_this_message, this_message::size);
    if (!target)
        return false;
    const bool error_frame = frame.flags & VyrCanMessage::ErrorFrame;
    std::memset(target, 0, this_message::size);
    if (error_frame) {
        put_int(target + this_message::flags, VyrCanMessage::ErrorFrame);
    } else {
        put_int(target + this_message::id, frame.id);
        target[this_message::dlc] = frame.dlc;
        put_int(target + this_message::flags, frame.flags & ~(VyrCanMessage::Filter | hidden_flags));
        std::memcpy(target + this_message::data, frame.data, VyrCanMessage::max_data);
    }
    target[this_message::channel] = frame.channel;
    put_int(target + this_message::timestamp, frame.time);
    put_int(target + this_message::timestamp_us, (frame.time * 100 + frame.time_fraction) * 10);

    ScriptRunLock lock(*this);
    runtime.run_function(function);
    return machine->data_int(m_this_message + this_message::flags) & VyrCanMessage::Filter;
}
