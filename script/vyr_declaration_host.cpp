#include "script/vyr_declaration_host.h"

#include "core/env_var_record.h"
#include "core/key_codes.h"
#include "core/signal_record.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_message_log.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_list.h"
#include "script/pcode_machine.h"
#include "script/script_hook_trigger.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"
#include "script/vyr_script_runtime.h"

#include <QString>

#include <atomic>
#include <cstring>
#include <strings.h>

namespace {

// Numbers of the action hooks, counted over all interfaces.
std::atomic<int> g_action_counter{0};

bool starts_with(const char *text, const char *prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// 1 continuous, 2 digital, 3 sample; 0 for another word.
int characteristic_of(const char *word)
{
    if (starts_with(word, "digital"))
        return SignalRecord::Digital;
    if (starts_with(word, "cont"))
        return SignalRecord::Continuous;
    if (starts_with(word, "sample"))
        return SignalRecord::Sample;
    return 0;
}

// 1 polling, 128 event, 64 cyclic1; 0 for another word.
int mode_of(const char *word)
{
    if (std::strcmp(word, "polling") == 0)
        return SignalRecord::Polling;
    if (std::strcmp(word, "event") == 0)
        return SignalRecord::Event;
    if (std::strcmp(word, "cyclic1") == 0)
        return SignalRecord::Cyclic;
    return 0;
}

} // namespace

VyrDeclarationHost::VyrDeclarationHost(VyrScriptRuntime *runtime, VyrSignalIf *signal_if,
                                       VyrSignalIfNotification *notification)
    : m_runtime(runtime), m_signal_if(signal_if), m_notification(notification)
{
    machine = runtime->machine();
    symbols = runtime->symbols();
}

void VyrDeclarationHost::log_line(const std::string &text)
{
    if (m_notification)
        m_notification->log(VyrMessageLog::info, located(text) + "\n");
}

void VyrDeclarationHost::error(const char *format, ...)
{
    error_reported = true;
    va_list args;
    va_start(args, format);
    const std::string text = format_message(500, format, args);
    va_end(args);
    log_line(text);
}

void VyrDeclarationHost::warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = format_message(500, format, args);
    va_end(args);
    log_line("warning: " + text);
}

void VyrDeclarationHost::make_this_visible(int32_t address, uint32_t type, ScriptStructType *struct_type)
{
    if (address < 0)
        return;
    auto *variable = new ScriptVariable;
    variable->set_name("this", false);
    variable->level = scope_level + 1; // the handler's block
    variable->address = uint32_t(address);
    variable->type = type;
    variable->struct_type = struct_type;
    symbols->insert(variable);
}

int VyrDeclarationHost::hook_detected(const char *name)
{
    const std::string kind = name;
    const int entry = machine->code_position();
    if (kind == "action")
        return action_hook();
    if (kind == "key")
        return key_hook();
    if (kind == "envvar")
        return envvar_hook();
    if (kind == "timer")
        return timer_hook();
    if (kind == "start" || kind == "init" || kind == "variables" || kind == "stop" || kind == "stopped") {
        std::vector<int> &list = kind == "start"       ? m_signal_if->start_functions()
                                 : kind == "init"      ? m_signal_if->init_functions()
                                 : kind == "variables" ? m_signal_if->variables_functions()
                                                       : m_signal_if->stop_functions();
        list.push_back(entry);
        return 0;
    }
    // Message and event hooks belong to the interface.
    return m_signal_if->script_struct_type(name, this) < 0 ? -1 : 0;
}

int VyrDeclarationHost::action_hook()
{
    ScriptTokenValue value;
    if (next_token(&value) != T_STRING_CONST) {
        error("Expected string after a action hook");
        return -1;
    }
    auto trigger = std::make_unique<ScriptHookTrigger>(m_signal_if, ScriptTrigger::action, uintptr_t(++g_action_counter),
                                                       value.text);
    trigger->set_function_id(machine->code_position());
    m_runtime->add_script_trigger(std::move(trigger));
    make_this_visible(m_runtime->this_value_i(), TYPE_INT);
    return 0;
}

int VyrDeclarationHost::key_hook()
{
    ScriptTokenValue value;
    const int token = next_token(&value);
    std::string key_text;
    int code = 0;
    if (token == '*') {
        key_text = "*";
        code = int(VyrGlobalAccel::any_key);
    } else if (token == T_STRING_CONST || token == T_CHAR_CONST) {
        key_text = value.text ? value.text : "";
    } else if (token == T_IDENT) {
        key_text = value.text;
        for (const char *modifier : {"shift", "ctrl", "alt"}) {
            if (strcasecmp(value.text, modifier) != 0)
                continue;
            ScriptTokenValue plus, key;
            if (next_token(&plus) == '+' && next_token(&key) == T_IDENT)
                key_text += std::string("+") + key.text;
            break;
        }
    }
    if (key_text != "*")
        code = key_text_to_code(key_text);
    if (code == 0) {
        error("Invalid key code '%s'.", key_text.c_str());
        return -1;
    }
    auto trigger = std::make_unique<ScriptHookTrigger>(m_signal_if, ScriptTrigger::key, uintptr_t(unsigned(code)),
                                                       key_text);
    trigger->set_function_id(machine->code_position());
    trigger->add_key(VyrGlobalAccel::instance(), unsigned(code));
    m_runtime->add_script_trigger(std::move(trigger));
    make_this_visible(m_runtime->this_value_i(), TYPE_INT);
    return 0;
}

int VyrDeclarationHost::envvar_hook()
{
    ScriptTokenValue value;
    const int token = next_token(&value);
    VyrEnvVarList *variables = VyrEnvVarList::instance();
    EnvVarRecord *variable = token == T_IDENT && variables ? variables->find_by_name(value.text) : nullptr;
    if (!variable) {
        error("EnvVar '%s' not found", token == T_IDENT ? value.text : "");
        return -1;
    }
    auto trigger = std::make_unique<ScriptHookTrigger>(m_signal_if, ScriptTrigger::envvar,
                                                       uintptr_t(unsigned(variable->id())), variable->name());
    trigger->set_function_id(machine->code_position());
    ScriptTrigger *added = m_runtime->add_script_trigger(std::move(trigger));
    variable->add_action(added, m_signal_if->definer());
    variable->add_definer(m_signal_if->definer());
    return 0;
}

int VyrDeclarationHost::timer_hook()
{
    ScriptTokenValue value;
    const int token = next_token(&value);
    const char *name = token == T_IDENT ? value.text : "";
    ScriptSymbol *symbol = find_value_symbol(name);
    if (!symbol) {
        error("Timer %s not defined", name);
        return -1;
    }
    if (symbol->kind() != SYMBOL_VARIABLE) {
        error("Timer %s is not a variable", name);
        return -1;
    }
    ScriptSymbol *timer_type = symbols->find("timer", 0);
    if (!timer_type || timer_type->kind() != SYMBOL_STRUCT_TYPE) {
        error("Internal timer struct not defined");
        return -1;
    }
    auto *variable = static_cast<ScriptVariable *>(symbol);
    if (variable->type != TYPE_STRUCT || variable->struct_type != timer_type) {
        error("Variable '%s' is not of type 'timer'", name);
        return -1;
    }
    auto trigger = std::make_unique<ScriptHookTrigger>(m_signal_if, ScriptTrigger::timer, uintptr_t(variable->address),
                                                       name);
    trigger->set_function_id(machine->code_position());
    trigger->add_timer();
    m_runtime->add_script_trigger(std::move(trigger));
    return 0;
}

int VyrDeclarationHost::declare_io(const char *name, int input, int output, int handler)
{
    VyrSignalList *signal_list = m_signal_if->signal_list();
    SignalRecord *signal = signal_list->find(name);
    const bool existed = signal != nullptr;
    if (signal && signal->has_flag(SignalRecord::Predefined)) {
        error("Signal '%s' is pre defined", name);
        return -1;
    }
    if (signal && signal->has_flag(SignalRecord::DefinedByCompile)) {
        error("Signal '%s' is already defined", name);
        return -1;
    }
    if (signal) {
        signal->add_flags(SignalRecord::Changed);
    } else {
        signal = m_signal_if->new_signal(name, SignalRecord::CreatedByScript);
        signal->set_owner(m_signal_if);
    }
    auto set_changed = [signal](int current, int wanted, auto setter) {
        if (current != wanted) {
            setter(wanted);
            signal->add_flags(SignalRecord::Changed);
        }
    };
    set_changed(signal->value_type(), SignalValue::Double, [signal](int v) { signal->set_value_type(v); });
    signal->set_flags((signal->flags() & ~uint32_t(SignalRecord::KeptForWindows)) | SignalRecord::DefinedByCompile |
                      SignalRecord::ScriptFunction);
    const int direction = input && output ? SignalRecord::InputOutput
                          : input         ? SignalRecord::Input
                          : output        ? SignalRecord::Output
                                          : signal->direction();
    set_changed(signal->direction(), direction, [signal](int v) { signal->set_direction(v); });
    set_changed(signal->rate(), m_rate, [signal](int v) { signal->set_rate(v); });
    set_changed(signal->mode(), m_mode == 0 ? SignalRecord::Polling : m_mode, [signal](int v) { signal->set_mode(v); });
    set_changed(signal->characteristic(), m_characteristic, [signal](int v) { signal->set_characteristic(v); });
    signal->set_min(m_min);
    signal->set_max(m_max);
    if (!existed)
        signal_list->insert(signal);
    signal->set_script_function(handler ? machine->code_position() : 0);

    // Scripts name the signal by its slot.
    if (symbols->find(name, scope_level)) {
        error("Unable to reserve a symbolic id for signal '%s' -  symbol does already exist.", name);
        return -1;
    }
    auto *constant = new ScriptConstant;
    constant->set_name(name, true);
    constant->level = scope_level;
    constant->set_int(signal->slot());
    symbols->insert(constant);
    if (handler)
        make_this_visible(m_runtime->this_value_d(), TYPE_DOUBLE);
    if (existed && signal->use_count() > 0 && m_notification)
        m_notification->notify_signal_changed(QString::fromStdString(m_signal_if->make_id()), name);
    return 0;
}

int VyrDeclarationHost::declare_envvar(int type, const char *name, int is_extern)
{
    const int kind = type == T_INT ? EnvVarRecord::Int : type == T_DOUBLE ? EnvVarRecord::Double
                                                     : type == T_STRING ? EnvVarRecord::String
                                                                        : 0;
    VyrEnvVarList *variables = VyrEnvVarList::instance();
    if (!variables)
        return -1;
    VyrDefiner *definer = m_signal_if->definer();
    EnvVarRecord *variable = variables->find_by_name(name);
    if (!variable) {
        variable = variables->insert(std::make_unique<EnvVarRecord>(kind, name, is_extern ? nullptr : definer));
    } else if (variable->kind() != kind) {
        error("EnvVar '%s' already defined with different type.", name);
    } else if (variable->owner()) {
        if (is_extern) {
            variable->add_definer(definer);
            return variable->id();
        }
        error("EnvVar '%s' defined twice (use 'extern' keyword).", name);
    } else if (!is_extern) {
        variable->set_owner(definer);
    }
    variable->add_definer(definer);
    return variable->id();
}

int VyrDeclarationHost::envvar_range(double min, double max)
{
    m_min = min < max ? min : max;
    m_max = min < max ? max : min;
    return 0;
}

int VyrDeclarationHost::envvar_attributes(int rate, const char *type, const char *mode)
{
    // The two words may come in either order.
    if (characteristic_of(mode) && mode_of(type))
        std::swap(type, mode);
    m_rate = rate;
    const int characteristic = characteristic_of(type);
    if (!characteristic) {
        error("Invalid signal type '%s'", type);
        return -1;
    }
    const int signal_mode = mode_of(mode);
    if (!signal_mode) {
        error("Invalid signal mode '%s'", mode);
        return -1;
    }
    m_characteristic = characteristic;
    m_mode = signal_mode;
    return 0;
}
