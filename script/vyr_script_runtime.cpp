#include "script/vyr_script_runtime.h"

#include "settings/debug_trace.h"
#include "core/script_trigger.h"
#include "core/signal_record.h"
#include "core/timer_wheel.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_message_log.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "script/pcode_ops.h"
#include "script/script_file_source.h"
#include "script/script_hook_trigger.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_declaration_host.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

void register_common_script_natives(VyrScriptRuntime &runtime);

namespace {

std::atomic<VyrPanelScriptApi> g_panel_script_api{nullptr};

std::unique_ptr<VyrScriptHosting> make_runtime(VyrSignalIf *signal_if)
{
    return std::make_unique<VyrScriptRuntime>(signal_if);
}

// Every interface built after the script engine is linked in hosts a script.
const bool g_factory_installed = [] {
    set_script_hosting_factory(make_runtime);
    return true;
}();

// A name the header can declare as a script variable.
bool is_identifier(const QString &name)
{
    if (name.isEmpty() || name.at(0).isDigit())
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == '_') || c.unicode() > 127)
            return false;
    return true;
}

} // namespace

void set_panel_script_api(VyrPanelScriptApi api)
{
    g_panel_script_api = api;
}

// --- Machine --------------------------------------------------------------------------------

void VyrScriptMachine::report_error(const char *text)
{
    if (!m_signal_if)
        return;
    // The machine's texts end with a line end; the position follows on the same line.
    std::string message = text ? text : "";
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    char line[600];
    std::snprintf(line, sizeof line, "%s: %s @%d\n", m_signal_if->name().c_str(), message.c_str(),
                  program_counter() - 1);
    if (VyrSignalIfNotification *notification = m_signal_if->notification())
        notification->log(VyrMessageLog::error, line);
    post_vyr_event(m_signal_if->owner(), new VyrCustomEvent(vyr_event_stop));
}

// --- Common library header -------------------------------------------------------------------

const char *VyrScriptRuntime::common_header()
{
    return "__pragma_internal;\n"
           "struct timer { int timeout; };\n"
           "struct trigger { int dummy; };\n"
           "struct ControlItemInfo { int id; int state; char name [64]; };\n"
           "const int KEY_SHIFT = 0x00200000;\n"
           "const int KEY_CTRL = 0x00400000;\n"
           "const int KEY_ALT = 0x00800000;\n"
           "const int KEY_0 = 0x0030; const int KEY_1 = 0x0031; const int KEY_2 = 0x0032;\n"
           "const int KEY_3 = 0x0033; const int KEY_4 = 0x0034; const int KEY_5 = 0x0035;\n"
           "const int KEY_6 = 0x0036; const int KEY_7 = 0x0037; const int KEY_8 = 0x0038;\n"
           "const int KEY_9 = 0x0039;\n"
           "const int KEY_A = 0x0041; const int KEY_B = 0x0042; const int KEY_C = 0x0043;\n"
           "const int KEY_D = 0x0044; const int KEY_E = 0x0045; const int KEY_F = 0x0046;\n"
           "const int KEY_G = 0x0047; const int KEY_H = 0x0048; const int KEY_I = 0x0049;\n"
           "const int KEY_J = 0x004a; const int KEY_K = 0x004b; const int KEY_L = 0x004c;\n"
           "const int KEY_M = 0x004d; const int KEY_N = 0x004e; const int KEY_O = 0x004f;\n"
           "const int KEY_P = 0x0050; const int KEY_Q = 0x0051; const int KEY_R = 0x0052;\n"
           "const int KEY_S = 0x0053; const int KEY_T = 0x0054; const int KEY_U = 0x0055;\n"
           "const int KEY_V = 0x0056; const int KEY_W = 0x0057; const int KEY_X = 0x0058;\n"
           "const int KEY_Y = 0x0059; const int KEY_Z = 0x005a;\n"
           "const int KEY_F1 = 0x1030; const int KEY_F2 = 0x1031; const int KEY_F3 = 0x1032;\n"
           "const int KEY_F4 = 0x1033; const int KEY_F5 = 0x1034; const int KEY_F6 = 0x1035;\n"
           "const int KEY_F7 = 0x1036; const int KEY_F8 = 0x1037; const int KEY_F9 = 0x1038;\n"
           "const int KEY_F10 = 0x1039; const int KEY_F11 = 0x103a; const int KEY_F12 = 0x103b;\n"
           "const int KEY_RETURN = 0x1004; const int KEY_INS = 0x1006; const int KEY_DEL = 0x1007;\n"
           "const int KEY_HOME = 0x1010; const int KEY_END = 0x1011; const int KEY_PGUP = 0x1016;\n"
           "const int KEY_PGDOWN = 0x1017; const int KEY_BACKSP = 0x1003; const int KEY_LEFT = 0x1012;\n"
           "const int KEY_RIGHT = 0x1014;\n"
           "const int SYS_LOG_SAVE = 1; const int SYS_LOG_SAVE_AND_CLEAR = 2; const int SYS_LOG_CLEAR = 3;\n"
           "int this_value_i;\n"
           "double this_value_d;\n"
           "ControlItemInfo this_value_control_item_info;\n"
           "int timerStart (timer t);\n"
           "int timerCancel (timer t);\n"
           "int timerIsPending (timer t);\n"
           "int getSimulationTime ();\n"
           "int resetCycleCounter ();\n"
           "int seedkeyLoadDll (char dll_name []);\n"
           "int seedkeyComputeKey (char inbuf [], int inbuf_len, char outbuf [], int outbuf_len);\n"
           "int envvarSetValueInt (int envvar_id, int value);\n"
           "int envvarSetValueDouble (int envvar_id, double value);\n"
           "int envvarSetValueString (int envvar_id, char value []);\n"
           "int envvarGetValueInt (int envvar_id);\n"
           "double envvarGetValueDouble (int envvar_id);\n"
           "void envvarGetValueString (int envvar_id, char dest [], int maxlen);\n"
           "int signalResetValue (int signal_id);\n"
           "int signalSetValueInt (int signal_id, int value);\n"
           "int signalSetValueDouble (int signal_id, double value);\n"
           "int signalSetValueIntWithTimestamp (int signal_id, int value, int timestamp);\n"
           "int signalSetValueDoubleWithTimestamp (int signal_id, double value, int timestamp);\n"
           "int triggerSet (trigger t);\n"
           "int triggerReset (trigger t);\n"
           "void sysGetInterfaceName (char dest [], int maxlen);\n"
           "void sysStopMeasurement ();\n"
           "void sysRestartMeasurement (int delay_sec);\n"
           "void sysExitProgram (int exitCode);\n"
           "void sysMinimizeProgram ();\n"
           "void sysRestoreProgram ();\n"
           "void sysBeep (int freq, int duration);\n"
           "void _sysSetWorkspace (int ws);\n"
           "void sysShutdownPC (int code);\n"
           "void sysSaveLog (int action, char filename []);\n";
}

// --- Life -------------------------------------------------------------------------------------

VyrScriptRuntime::VyrScriptRuntime(VyrSignalIf *signal_if) : m_signal_if(signal_if), m_context(this)
{
    reset();
    m_context.print_callback = [signal_if](const char *text) { signal_if->message_printf("%s", text); };
}

VyrScriptRuntime::~VyrScriptRuntime()
{
    if (VyrEnvVarList *variables = VyrEnvVarList::instance())
        variables->remove_definer(m_signal_if->definer());
    remove_script_triggers(~0u);
}

VyrScriptRuntime *VyrScriptRuntime::of(VyrSignalIf *signal_if)
{
    return signal_if ? dynamic_cast<VyrScriptRuntime *>(signal_if->script_hosting()) : nullptr;
}

void VyrScriptRuntime::reset()
{
    m_machine = std::make_unique<VyrScriptMachine>(m_signal_if);
    m_symbols = std::make_unique<ScriptSymbolTable>();
    m_context.machine = m_machine.get();
    m_entries.clear();
    m_this_value_i = m_this_value_d = m_this_value_control_item_info = -1;
}

int VyrScriptRuntime::compile_prelude(const char *text)
{
    if (!m_host)
        return -3;
    ScriptStringSource source;
    source.set_text(text);
    m_host->source = &source;
    const int result = m_host->compile();
    m_host->source = nullptr;
    return result;
}

// --- Script triggers ------------------------------------------------------------------------------

ScriptTrigger *VyrScriptRuntime::add_script_trigger(std::unique_ptr<ScriptTrigger> trigger)
{
    std::lock_guard<std::mutex> lock(m_triggers_mutex);
    m_triggers.push_back(std::move(trigger));
    return m_triggers.back().get();
}

ScriptTrigger *VyrScriptRuntime::find_script_trigger(uint32_t type, uintptr_t address) const
{
    std::lock_guard<std::mutex> lock(m_triggers_mutex);
    for (const auto &trigger : m_triggers)
        if (trigger->type() == type && trigger->address() == address)
            return trigger.get();
    return nullptr;
}

std::vector<ScriptTrigger *> VyrScriptRuntime::script_triggers(uint32_t type) const
{
    std::lock_guard<std::mutex> lock(m_triggers_mutex);
    std::vector<ScriptTrigger *> found;
    for (const auto &trigger : m_triggers)
        if (trigger->type() == type)
            found.push_back(trigger.get());
    return found;
}

ScriptTrigger *VyrScriptRuntime::find_script_trigger_by_name(uint32_t type, const std::string &name) const
{
    std::lock_guard<std::mutex> lock(m_triggers_mutex);
    for (const auto &trigger : m_triggers)
        if (trigger->type() == type && trigger->name() == name)
            return trigger.get();
    return nullptr;
}

ScriptTrigger *VyrScriptRuntime::find_script_action(const std::string &name) const
{
    std::lock_guard<std::mutex> lock(m_triggers_mutex);
    ScriptTrigger *found = nullptr;
    for (const auto &trigger : m_triggers) {
        const uint32_t type = trigger->type();
        const bool action_type = type == ScriptTrigger::action || type == ScriptTrigger::internal_base ||
                                 type == script_action_type_ext;
        if (action_type && trigger->name() == name)
            found = trigger.get();
    }
    return found;
}

void VyrScriptRuntime::remove_script_triggers(uint32_t mask)
{
    std::vector<std::unique_ptr<ScriptTrigger>> removed;
    {
        std::lock_guard<std::mutex> lock(m_triggers_mutex);
        auto keep = std::stable_partition(m_triggers.begin(), m_triggers.end(),
                                          [mask](const auto &trigger) { return (trigger->type() & mask) == 0; });
        std::move(keep, m_triggers.end(), std::back_inserter(removed));
        m_triggers.erase(keep, m_triggers.end());
    }
    // Deleted outside the lock: a trigger waits for a timer firing on the wheel.
    removed.clear();
}

int VyrScriptRuntime::script_trigger_count() const
{
    std::lock_guard<std::mutex> lock(m_triggers_mutex);
    return int(m_triggers.size());
}

VyrTrigger *VyrScriptRuntime::mapped_trigger(int32_t address) const
{
    std::lock_guard<std::mutex> lock(m_map_mutex);
    const auto it = m_trigger_map.find(address);
    return it == m_trigger_map.end() ? nullptr : it->second;
}

// --- Compiling ---------------------------------------------------------------------------------------

bool VyrScriptRuntime::read_file_time(const QString &path, FileTime &time)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    time.seconds = info.st_mtim.tv_sec;
    time.nanoseconds = info.st_mtim.tv_nsec;
    return true;
}

int32_t VyrScriptRuntime::trigger_variable_address(const char *name, bool as_error)
{
    auto fail = [this, as_error](const QString &text) {
        const QByteArray line = text.toUtf8();
        if (as_error)
            m_signal_if->error_printf("%s\n", line.constData());
        else
            m_signal_if->message_printf("%s\n", line.constData());
        return -1;
    };
    ScriptSymbol *symbol = m_symbols->find(name, 0);
    if (!symbol)
        return fail(QString("Trigger %1 not available in symbol table").arg(name));
    if (symbol->kind() != SYMBOL_VARIABLE)
        return fail(QString("Trigger %1 is not a variable").arg(name));
    ScriptSymbol *type = m_symbols->find("trigger", 0);
    if (!type || type->kind() != SYMBOL_STRUCT_TYPE)
        return fail("Internal 'trigger' struct not defined");
    auto *variable = static_cast<ScriptVariable *>(symbol);
    if (variable->type != TYPE_STRUCT || variable->struct_type != type)
        return fail(QString("Variable '%1' is not of type 'trigger'").arg(name));
    return int32_t(variable->address);
}

int VyrScriptRuntime::compile_headers(VyrDeclarationHost &host)
{
    register_script_builtins(&host);
    std::string header = common_header();
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            if (is_identifier(trigger->name()))
                header += "trigger " + trigger->name().toStdString() + ";\n";
    return compile_prelude(header.c_str());
}

void VyrScriptRuntime::map_script_triggers()
{
    VyrTriggerList *triggers = VyrTriggerList::instance();
    if (!triggers)
        return;
    std::lock_guard<std::mutex> lock(m_map_mutex);
    for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next()) {
        if (!is_identifier(trigger->name()))
            continue;
        const int32_t address = trigger_variable_address(trigger->name().toUtf8().constData(), true);
        if (address < 0)
            return;
        m_trigger_map[address] = trigger;
    }
}

void VyrScriptRuntime::trigger_removed(VyrTrigger *trigger)
{
    const QByteArray name = trigger->name().toUtf8();
    m_signal_if->message_printf("Script::trigger '%s' removed\n", name.constData());
    const int32_t address = trigger_variable_address(name.constData(), false);
    if (address >= 0) {
        std::lock_guard<std::mutex> lock(m_map_mutex);
        if (m_trigger_map.erase(address))
            m_signal_if->message_printf("Address %d removed from map\n", address);
        else
            m_signal_if->message_printf("Address %d not found in map\n", address);
    }
    m_signal_if->set_script_ok(0);
}

void VyrScriptRuntime::bind_natives()
{
    register_common_script_natives(*this);
    m_this_value_i = variable_address("this_value_i");
    m_this_value_d = variable_address("this_value_d");
    m_this_value_control_item_info = variable_address("this_value_control_item_info");
}

int32_t VyrScriptRuntime::variable_address(const char *name) const
{
    ScriptSymbol *symbol = m_symbols->find(name, 0);
    return symbol && symbol->kind() == SYMBOL_VARIABLE ? int32_t(static_cast<ScriptVariable *>(symbol)->address) : -1;
}

int VyrScriptRuntime::sclib_init()
{
    // The compile redefines the interface's signals: whoever lists them lets go first.
    if (VyrSignalIfNotification *notification = m_signal_if->notification())
        notification->notify_signal_reload_start(QString::fromStdString(m_signal_if->make_id()));
    m_signal_if->set_script_ok(1);
    m_signal_if->variables_functions().clear();
    m_signal_if->init_functions().clear();
    m_signal_if->start_functions().clear();
    m_signal_if->stop_functions().clear();
    {
        std::lock_guard<std::mutex> lock(m_map_mutex);
        m_trigger_map.clear();
    }
    const QString path = m_signal_if->script_file();
    if (path.isEmpty())
        return 0;
    if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
        m_signal_if->error(QString("Unable to open script file '%1'").arg(path).toStdString());
        m_signal_if->set_script_ok(0);
        return -1;
    }
    m_has_script_time = read_file_time(path, m_script_time);

    VyrDeclarationHost host(this, m_signal_if, m_signal_if->notification());
    // Array arguments carry their size bound when the natives check it.
    host.bounds_check = m_context.bounds_check;
    m_host = &host;
    struct HostReset {
        VyrDeclarationHost *&host;
        ~HostReset() { host = nullptr; }
    } host_reset{m_host};

    // The entries of an earlier compile into this machine name tags of its old code.
    m_entries.clear();
    int r = compile_headers(host);
    if (r == -3) {
        m_signal_if->set_script_ok(0);
        m_signal_if->error_printf("parse() failed in sclib_init() - check syntax (INTERNAL ERROR).\n");
        return -1;
    }
    if (r != 0) {
        m_signal_if->error_printf("VyrSignalIf::basic definitions failed: r = %d\n", r);
        m_signal_if->set_script_ok(0);
        return r;
    }
    // Handlers are found by their code address, and 0 means none: the code
    // starts with an end instruction, so that no handler begins there.
    if (m_machine->code_length() == 0)
        m_machine->emit_opcode(OP_END);
    map_script_triggers();
    QObject::disconnect(m_trigger_removed_connection);
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        m_trigger_removed_connection =
            QObject::connect(triggers, &VyrTriggerList::trigger_removed, &m_trigger_remove_handler,
                             [this](VyrTrigger *trigger) { trigger_removed(trigger); });
    bind_natives();

    r = m_signal_if->basic_definitions();
    if (r != 0) {
        m_signal_if->error_printf("VyrSignalIf::basic definitions failed: r = %d\n", r);
        m_signal_if->set_script_ok(0);
        return r;
    }
    if (VyrPanelScriptApi panel_api = g_panel_script_api.load()) {
        // A panel header that fails is logged by the panels; the script compiles on.
        const bool error_reported = host.error_reported;
        panel_api(this);
        host.error_reported = error_reported;
    }

    ScriptFileSource source(QFile::encodeName(path).toStdString());
    host.source = &source;
    r = host.compile();
    host.source = nullptr;
    // Some errors leave the parse going (an environment variable of another
    // type, refused signal attributes): the script still failed.
    if (r == 0 && host.error_reported)
        r = -1;
    if (r != 0) {
        m_signal_if->error_printf("Failed to compile script file (r=%d)\n", r);
        m_signal_if->set_script_ok(0);
    }
    // Host callbacks: the tagged members of every prelude reach their entries.
    m_entries.install(m_machine.get());
    return r;
}

// --- Reload ---------------------------------------------------------------------------------------------

int VyrScriptRuntime::after_reload()
{
    VyrSignalList *signal_list = m_signal_if->signal_list();
    for (SignalRecord *signal = signal_list->first(); signal; signal = signal_list->next()) {
        if (!signal->has_flag(SignalRecord::ScriptFunction))
            continue;
        signal->remove_flags(SignalRecord::DefinedByCompile);
        if (signal->script_function() != 0)
            signal->add_flags(SignalRecord::Changed);
        signal->set_script_function(0);
    }
    // Nothing may run the old code once it goes: the triggers leave the wheel,
    // the accelerator table and the output queue first, and a run in progress
    // on the interface's thread ends before the machine is replaced.
    if (VyrEnvVarList *variables = VyrEnvVarList::instance())
        variables->remove_definer(m_signal_if->definer());
    remove_script_triggers(0xFFFF);
    {
        VyrSignalIf::ScriptRunLock lock(*m_signal_if);
        reset();
    }
    m_signal_if->before_reload();
    const int r = m_signal_if->sclib_init();
    report_reloaded_signals();
    return r;
}

void VyrScriptRuntime::report_reloaded_signals()
{
    VyrSignalList *signal_list = m_signal_if->signal_list();
    VyrSignalIfNotification *notification = m_signal_if->notification();
    const QString id = QString::fromStdString(m_signal_if->make_id());
    for (SignalRecord *signal = signal_list->first(); signal; signal = signal_list->next()) {
        if (!signal->has_flag(SignalRecord::ScriptFunction))
            continue;
        const QString name = QString::fromLatin1(signal->name() ? signal->name() : "");
        if (signal->has_flag(SignalRecord::DefinedByCompile)) {
            if (!signal->has_flag(SignalRecord::Changed | SignalRecord::CreatedByScript))
                continue;
            debug_trace("Notify signal changed [%s] after reload - detected by flag", signal->name());
            signal->remove_flags(SignalRecord::Changed | SignalRecord::CreatedByScript);
            if (notification)
                notification->notify_signal_changed(id, name);
        } else if (signal->use_count() > 0) {
            debug_trace("Notify signal changed [%s] after reload", signal->name());
            if (notification)
                notification->notify_signal_changed(id, name);
        } else {
            debug_trace("Removing signal [%s] after reload", signal->name());
            if (!signal->has_flag(SignalRecord::KeptForWindows))
                signal_list->remove(signal);
        }
    }
}

int VyrScriptRuntime::check_script_file_modified(QWidget *parent)
{
    const QString path = m_signal_if->script_file();
    if (path.isEmpty() || !m_has_script_time)
        return 0;
    auto reload = [this] { return after_reload() == 0 ? 0 : -1; };
    if (!m_signal_if->script_ok()) {
        m_signal_if->message(QString("Reload script file '%1'.").arg(path).toStdString());
        return reload();
    }
    FileTime now;
    if (!read_file_time(path, now) || !(m_script_time < now))
        return 0;
    if (vyr_user_preferences().reload_changed_files)
        return reload();
    const int answer =
        vyr_ask_question(parent, "Warning",
                         QString("Script file '%1' has been altered on disk.\nDo you want to reload ?").arg(path),
                         {"YES", "No", "Cancel"});
    if (answer == 0)
        return reload();
    if (answer == 1) {
        m_script_time = now;
        return 0;
    }
    return 1;
}

// --- Running -------------------------------------------------------------------------------------------

uint32_t VyrScriptRuntime::wheel_time() const
{
    TimerWheel *wheel = m_signal_if->timer_wheel();
    return wheel ? wheel->current_time() : 0;
}

void VyrScriptRuntime::stamp_with_wheel_time(SignalValue &value, uint32_t ms) const
{
    value.seconds = ms / 1000;
    value.microseconds = (ms % 1000) * 1000;
}

int VyrScriptRuntime::run_function(int function_id)
{
    return m_machine->run(&m_context, function_id);
}

void VyrScriptRuntime::store_argument(const ScriptTrigger &item, uint32_t argument)
{
    const std::vector<uint8_t> &buffer = item.argument_buffer();
    if (!buffer.empty()) {
        if (uint8_t *target = m_machine->data_pointer(int32_t(item.data_offset()), int32_t(buffer.size())))
            std::memcpy(target, buffer.data(), buffer.size());
        return;
    }
    if (m_this_value_i >= 0)
        m_machine->set_data_int(m_this_value_i, int32_t(argument));
}

void VyrScriptRuntime::drop_run_state()
{
    m_context.reset_ini_file();
    m_machine->print_line()[0] = '\0';
}

int VyrScriptRuntime::read_script_signal(VyrSignalEntry *entry, SignalValue &value)
{
    SignalRecord *signal = entry ? entry->signal() : nullptr;
    if (!signal || !signal->has_flag(SignalRecord::ScriptFunction) || m_this_value_i < 0)
        return -1;
    VyrSignalIf::ScriptRunLock lock(*m_signal_if);
    int r = 0;
    if (signal->value_type() == SignalValue::Int) {
        m_machine->set_data_int(m_this_value_i, 0);
        if (signal->script_function() > 0)
            r = run_function(signal->script_function());
        value.set_int(m_machine->data_int(m_this_value_i));
    } else {
        m_machine->set_data_double(m_this_value_d, 0.0);
        if (signal->script_function() > 0)
            r = run_function(signal->script_function());
        value.set_double(m_machine->data_double(m_this_value_d));
    }
    stamp_with_wheel_time(value, wheel_time());
    return r;
}

int VyrScriptRuntime::write_script_signal(VyrSignalEntry *entry, const SignalValue &value)
{
    SignalRecord *signal = entry ? entry->signal() : nullptr;
    if (!signal)
        return -1;
    if (!signal->has_flag(SignalRecord::ScriptFunction))
        return -2;
    if (m_this_value_i < 0)
        return -1;
    VyrSignalIf::ScriptRunLock lock(*m_signal_if);
    if (signal->value_type() == SignalValue::Int)
        m_machine->set_data_int(m_this_value_i, value.type == SignalValue::Int ? value.int_value
                                                                               : int32_t(value.double_value));
    else
        m_machine->set_data_double(m_this_value_d, value.type == SignalValue::Double ? value.double_value
                                                                                     : double(value.int_value));
    return signal->script_function() > 0 ? run_function(signal->script_function()) : 0;
}
