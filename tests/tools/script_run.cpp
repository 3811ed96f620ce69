// Compiles one script file with the built-in library, runs its "variables"
// blocks (their initializers) and its "on start" handler, and prints what the
// script prints. Tests run golden scripts
// through it; with --no-cycle-limit it also times long-running scripts.
//
//   script_run [--no-cycle-limit] FILE
//
// Exit status: 0 when the run ended normally, 1 when it was aborted, 2 when
// the file could not be read or compiled or has no start handler.
#include "script/pcode_machine.h"
#include "script/script_compiler.h"
#include "script/script_library.h"
#include "script/script_source.h"
#include "script/script_symbol_table.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Records where the start handler and the "variables" blocks begin; other
// handlers are announced and read as the base compiler does.
class RunCompiler : public ScriptCompiler {
public:
    int hook_detected(const char *name) override
    {
        if (std::strcmp(name, "start") == 0)
            start = machine->code_position();
        else if (std::strcmp(name, "variables") == 0)
            variables.push_back(machine->code_position());
        else
            return ScriptCompiler::hook_detected(name);
        return 0;
    }

    int32_t start = -1;
    std::vector<int32_t> variables;
};

int usage()
{
    std::fprintf(stderr, "usage: script_run [--no-cycle-limit] FILE\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    bool unlimited = false;
    const char *path = nullptr;
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--no-cycle-limit") == 0)
            unlimited = true;
        else if (!path && argv[k][0] != '-')
            path = argv[k];
        else
            return usage();
    }
    if (!path)
        return usage();

    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "script_run: cannot read %s\n", path);
        return 2;
    }
    std::ostringstream text;
    text << file.rdbuf();

    PCodeMachine machine;
    ScriptSymbolTable symbols;
    RunCompiler compiler;
    compiler.machine = &machine;
    compiler.symbols = &symbols;
    register_script_builtins(&compiler);
    ScriptStringSource source;
    source.set_text(text.str().c_str());
    compiler.source = &source;
    if (compiler.error_reported || compiler.compile() != 0)
        return 2;
    if (compiler.start < 0) {
        std::fprintf(stderr, "script_run: %s has no 'on start' handler\n", path);
        return 2;
    }

    ScriptLibrary library(&machine);
    library.print_callback = [](const char *printed) {
        std::fputs(printed, stdout);
        std::fflush(stdout);
    };
    if (unlimited)
        machine.set_cycle_limit(PCodeMachine::no_cycle_limit);
    int result = 0;
    for (const int32_t block : compiler.variables)
        if (result == 0)
            result = machine.run(&library, block);
    if (result == 0)
        result = machine.run(&library, compiler.start);
    // Text the script left pending after its last line end.
    library.print(machine.print_line());
    return result == 0 ? 0 : 1;
}
