#pragma once
// Script hosting of an interface: what compiles the interface's script and
// runs its functions. The interface base owns one hosting object, made by the
// factory that the script engine installs; without one an interface runs no
// script (its script operations answer as the base does).
#include <memory>

class QWidget;
class ScriptTrigger;
class VyrSignalEntry;
class VyrSignalIf;
struct SignalValue;

class VyrScriptHosting
{
public:
    virtual ~VyrScriptHosting() = default;

    // Compiles the common library, the interface's prelude and the script file.
    virtual int sclib_init() = 0;
    // Compiles the script again and reports changed and removed signals.
    virtual int after_reload() = 0;
    // Asks what to do about a script file changed on disk; 1 abandons the start.
    virtual int check_script_file_modified(QWidget *parent) = 0;
    virtual bool has_machine() const = 0;
    // Run a script-defined signal's function (under the interface's script lock).
    virtual int read_script_signal(VyrSignalEntry *entry, SignalValue &value) = 0;
    virtual int write_script_signal(VyrSignalEntry *entry, const SignalValue &value) = 0;
    // For the output queue, which holds the script lock around both; the
    // argument is the one the queue took with the item.
    virtual void store_argument(const ScriptTrigger &item, uint32_t argument) = 0;
    virtual int run_function(int function_id) = 0;
    // The interface stopped: forget the state of the last run.
    virtual void drop_run_state() = 0;
};

using VyrScriptHostingFactory = std::unique_ptr<VyrScriptHosting> (*)(VyrSignalIf *signal_if);
// Interfaces built afterwards get their hosting from the factory.
void set_script_hosting_factory(VyrScriptHostingFactory factory);
