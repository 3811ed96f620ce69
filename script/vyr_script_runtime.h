#pragma once
// The script runtime of an interface: the machine and symbol table its script
// compiles into, the common script library every interface offers, the
// script triggers that bind hooks (timers, keys, actions, environment
// variables) to script code, the script-defined signals, reload after a change
// on disk and the trigger map of the script's "trigger" variables.
#include "core/vyr_script_hosting.h"
#include "script/pcode_machine.h"
#include "script/script_host_objects.h"
#include "script/script_library.h"

#include <QObject>

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class ScriptSymbolTable;
class ScriptTrigger;
class VyrDeclarationHost;
class VyrSignalIf;
class VyrSignalIfNotification;
class VyrTrigger;
class VyrScriptRuntime;

// The machine of an interface: a run-time error is logged with the
// interface's name and the code position, and stops the measurement.
class VyrScriptMachine : public PCodeMachine
{
public:
    explicit VyrScriptMachine(VyrSignalIf *signal_if) : m_signal_if(signal_if) {}
    void report_error(const char *text) override;

private:
    VyrSignalIf *m_signal_if;
};

// The context every native of an interface's script receives.
class VyrScriptContext : public ScriptLibrary
{
public:
    explicit VyrScriptContext(VyrScriptRuntime *runtime) : runtime(runtime) {}
    VyrScriptRuntime *const runtime;
};

// Registers the panel functions of the script language for an interface's
// script while its preludes compile (through compile_prelude) and answers the
// compiler's result; installed by the panel windows (none: nothing is
// registered).
using VyrPanelScriptApi = int (*)(VyrScriptRuntime *runtime);
void set_panel_script_api(VyrPanelScriptApi api);

class VyrScriptRuntime : public VyrScriptHosting
{
public:
    explicit VyrScriptRuntime(VyrSignalIf *signal_if);
    ~VyrScriptRuntime() override;

    // The runtime of an interface, or null when it has none.
    static VyrScriptRuntime *of(VyrSignalIf *signal_if);
    // The text compiled before every interface's own prelude.
    static const char *common_header();

    // VyrScriptHosting
    int sclib_init() override;
    int after_reload() override;
    int check_script_file_modified(QWidget *parent) override;
    bool has_machine() const override { return m_machine != nullptr; }
    int read_script_signal(VyrSignalEntry *entry, SignalValue &value) override;
    int write_script_signal(VyrSignalEntry *entry, const SignalValue &value) override;
    void store_argument(const ScriptTrigger &item, uint32_t argument) override;
    int run_function(int function_id) override;
    void drop_run_state() override;

    // New empty machine and symbol table (the script triggers stay).
    void reset();
    // While sclib_init runs: compiles a prelude text into the machine (the
    // interfaces' basic_definitions use it). -3 outside a compile.
    int compile_prelude(const char *text);

    // Host objects of tagged struct members that the preludes declare: an
    // entry appended here answers its tag. After the compile the machine's
    // five host callbacks are pointed at this list, which dispatches by tag;
    // reset empties it.
    uint32_t append_entry(std::unique_ptr<ScriptMemberBinding> entry) { return m_entries.add(std::move(entry)); }
    ScriptMemberBindings &entries() { return m_entries; }

    // Script triggers, owned: added by the hooks and by the interfaces' own
    // event handlers; found by kind and address from any thread.
    ScriptTrigger *add_script_trigger(std::unique_ptr<ScriptTrigger> trigger);
    ScriptTrigger *find_script_trigger(uint32_t type, uintptr_t address) const;
    // The triggers of one type, in the order they were added.
    std::vector<ScriptTrigger *> script_triggers(uint32_t type) const;
    // An action by its name (the panels and menus fire actions by name).
    ScriptTrigger *find_script_trigger_by_name(uint32_t type, const std::string &name) const;
    // The action that a panel item's event runs: among the triggers of the
    // script action types (action, internal_base, script_action_type_ext),
    // the last one of that name in trigger order; null when none.
    static constexpr uint32_t script_action_type_ext = 0x80000;
    ScriptTrigger *find_script_action(const std::string &name) const;
    // Removes (and deletes) the triggers whose type shares a bit with the mask:
    // timers cancelled, keys unregistered, queued runs dropped first.
    void remove_script_triggers(uint32_t mask);
    int script_trigger_count() const;

    // The global trigger of a script "trigger" variable, by the variable's address.
    VyrTrigger *mapped_trigger(int32_t address) const;

    // The data address of a global variable of the script; -1 when there is none.
    int32_t variable_address(const char *name) const;

    VyrSignalIf *signal_if() const { return m_signal_if; }
    PCodeMachine *machine() const { return m_machine.get(); }
    ScriptSymbolTable *symbols() const { return m_symbols.get(); }
    VyrScriptContext &context() { return m_context; }
    int32_t this_value_i() const { return m_this_value_i; }
    int32_t this_value_d() const { return m_this_value_d; }
    int32_t this_value_control_item_info() const { return m_this_value_control_item_info; }
    // The wheel time in ms (0 without a wheel) as seconds and microseconds.
    void stamp_with_wheel_time(SignalValue &value, uint32_t ms) const;
    uint32_t wheel_time() const;

private:
    friend class VyrDeclarationHost;
    struct FileTime {
        std::time_t seconds = 0;
        long nanoseconds = 0;
        bool operator==(const FileTime &o) const { return seconds == o.seconds && nanoseconds == o.nanoseconds; }
        bool operator<(const FileTime &o) const
        {
            return seconds < o.seconds || (seconds == o.seconds && nanoseconds < o.nanoseconds);
        }
    };
    static bool read_file_time(const QString &path, FileTime &time);
    int compile_headers(VyrDeclarationHost &host);
    void map_script_triggers();
    void bind_natives();
    void trigger_removed(VyrTrigger *trigger);
    // The script variable of a trigger's name, when it is a "trigger" variable;
    // otherwise logs why not and answers -1.
    int32_t trigger_variable_address(const char *name, bool as_error);
    void report_reloaded_signals();

    VyrSignalIf *m_signal_if;
    std::unique_ptr<VyrScriptMachine> m_machine;
    std::unique_ptr<ScriptSymbolTable> m_symbols;
    VyrScriptContext m_context;
    ScriptMemberBindings m_entries;
    VyrDeclarationHost *m_host = nullptr; // while sclib_init compiles

    mutable std::mutex m_triggers_mutex;
    std::vector<std::unique_ptr<ScriptTrigger>> m_triggers;
    mutable std::mutex m_map_mutex;
    std::map<int32_t, VyrTrigger *> m_trigger_map;
    // Receives trigger_removed of the program's trigger list.
    QObject m_trigger_remove_handler;
    QMetaObject::Connection m_trigger_removed_connection;

    int32_t m_this_value_i = -1;
    int32_t m_this_value_d = -1;
    int32_t m_this_value_control_item_info = -1;
    FileTime m_script_time;
    bool m_has_script_time = false;
};
