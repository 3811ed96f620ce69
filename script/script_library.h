#pragma once
// The built-in function library of every script: text output, formatted
// text, waiting, mathematics, IEEE conversions, string and memory functions,
// number parsing and formatting, INI files, files and local time.
//
// A ScriptLibrary is the context that the owner hands to PCodeMachine::run;
// every native of the library receives it and reaches the machine through it.
// register_script_builtins compiles the predefined header that declares the
// natives and binds each declared name to its native.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>

class PCodeMachine;
class QtbConfig;
class ScriptCompiler;

// The predefined header that declares the built-in functions.
const char *script_builtin_header();

// Compiles the header into the compiler's machine and symbol table and binds
// its natives. The result is always 0: a header that fails to compile is
// reported through the compiler's error operation only. The compiler is left
// without a source, so the caller sets its own before the next compile.
int register_script_builtins(ScriptCompiler *compiler);

// One function of the library: its declaration in the predefined header
// (without the ";"), its name and its native.
struct ScriptBuiltin {
    const char *declaration;
    const char *name;
    int (*native)(void *library);
};
// The functions in the header's order; *count receives their number.
const ScriptBuiltin *script_builtins(int *count);

class ScriptLibrary {
public:
    using PrintCallback = std::function<void(const char *text)>;

    explicit ScriptLibrary(PCodeMachine *machine = nullptr);
    ~ScriptLibrary(); // drops the cached INI file and closes the scripts' files
    ScriptLibrary(const ScriptLibrary &) = delete;
    ScriptLibrary &operator=(const ScriptLibrary &) = delete;

    // Set by the owner.
    PCodeMachine *machine = nullptr;
    PrintCallback print_callback; // when empty, text goes to standard output
    // The script was compiled with bounds checking: array arguments carry
    // their size bound, and the natives respect it.
    bool bounds_check = false;
    // Waiting and the clock, replaceable so that tests neither sleep nor
    // depend on the date.
    std::function<void(int64_t milliseconds)> sleeper;
    std::function<std::time_t()> clock;

    // Hands the text to the print callback, or writes it to standard output.
    void print(const char *text);

    // The cached INI file for this file name: a different name (compared
    // case-sensitively) drops the cached one and reads the new file; a file
    // that does not exist gives an empty configuration.
    QtbConfig &ini_file(const char *file_name);
    void reset_ini_file();

    // Script file handles: positive numbers below 0x80000000 that name an
    // open stream. 0 when the file cannot be opened.
    int open_file(const char *file_name, const char *mode);
    // The stream of a handle, or null when the handle names none.
    std::FILE *file(int32_t handle) const;
    void close_file(int32_t handle);

    // The pseudo-random generator behind random and randomize: each value
    // lies between 0 and 32767.
    int next_random();
    void seed_random(unsigned seed) { random_state_ = seed; }

private:
    std::unique_ptr<QtbConfig> ini_;
    std::string ini_name_;
    std::map<int32_t, std::FILE *> files_;
    int32_t next_handle_ = 1;
    uint32_t random_state_ = 1;
};
