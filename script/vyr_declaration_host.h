#pragma once
// The compiler of an interface's script: it reports errors through the
// interface's notification object with the source line, and defines the
// interface's signals, environment variables and hooks as the script declares
// them.
#include "script/script_compiler.h"

#include <string>

class ScriptStructType;
class VyrScriptRuntime;
class VyrSignalIf;
class VyrSignalIfNotification;

class VyrDeclarationHost : public ScriptCompiler
{
public:
    VyrDeclarationHost(VyrScriptRuntime *runtime, VyrSignalIf *signal_if, VyrSignalIfNotification *notification);

    // "file:line: text\n" and "file:line: warning: text\n" at level 2, with
    // the file the line is in (an included one, too).
    void error(const char *format, ...) override __attribute__((format(printf, 2, 3)));
    void warning(const char *format, ...) override __attribute__((format(printf, 2, 3)));
    int hook_detected(const char *name) override;
    int declare_io(const char *name, int input, int output, int handler) override;
    int declare_envvar(int type, const char *name, int is_extern) override;
    int envvar_range(double min, double max) override;
    int envvar_attributes(int rate, const char *type, const char *mode) override;

    // Declares "this" for the handler that follows, at the address of a
    // predefined variable (int, double, or a struct of that type).
    void make_this_visible(int32_t address, uint32_t type, ScriptStructType *struct_type = nullptr);

private:
    void log_line(const std::string &text);
    int action_hook();
    int key_hook();
    int envvar_hook();
    int timer_hook();

    VyrScriptRuntime *m_runtime;
    VyrSignalIf *m_signal_if;
    VyrSignalIfNotification *m_notification;
    // The attributes of the signal being declared.
    double m_min = 0.0;
    double m_max = 0.0;
    int m_characteristic = 1;
    int m_rate = 0;
    int m_mode = 0;
};
