#pragma once
// A compilation host for tests: it compiles a small output header and then a
// script into one machine, records every announcement the grammar makes (with
// its arguments) and every message, and runs the "start" handlers. Everything
// goes into one transcript that golden files can be compared with.
#include "script/pcode_machine.h"
#include "script/script_compiler.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace script_test {

// Natives the scripts print with, each followed by a line break.
inline const char *output_header()
{
    return "__pragma_internal;\n"
           "void put (int i);\n"
           "void putd (double d);\n"
           "void puts (char text[]);\n"
           "int total (...);\n";
}

// A compiler over its own machine and symbol table that keeps its messages
// instead of printing them.
class RecordingCompiler : public ScriptCompiler {
public:
    RecordingCompiler()
    {
        machine = &vm;
        symbols = &table;
    }
    void error(const char *format, ...) override
    {
        va_list args;
        va_start(args, format);
        errors.push_back(format_message(500, format, args));
        va_end(args);
    }
    void warning(const char *format, ...) override
    {
        va_list args;
        va_start(args, format);
        warnings.push_back(format_message(500, format, args));
        va_end(args);
    }

    PCodeMachine vm;
    ScriptSymbolTable table;
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
};

class TestHost : public ScriptCompiler {
public:
    TestHost()
    {
        machine = &vm;
        symbols = &table;
    }

    // Compiles the output header and the script; answers the script's result.
    int compile_script(const std::string &text)
    {
        ScriptStringSource header;
        header.set_text(output_header());
        source = &header;
        const int header_result = compile();
        if (header_result != 0)
            return header_result;
        bind("put", &TestHost::put);
        bind("putd", &TestHost::putd);
        bind("puts", &TestHost::print_text);
        bind("total", &TestHost::total);
        handlers.clear();

        ScriptStringSource script;
        script.set_text(text.c_str());
        source = &script;
        const int result = compile();
        source = nullptr;
        return result;
    }

    // Runs the "variables" handlers, whose initializers set the globals, and
    // then the "start" handlers, each kind in the order of announcement.
    void run_start_handlers()
    {
        for (const char *kind : {"variables", "start"}) {
            for (const auto &handler : handlers) {
                if (handler.first != kind)
                    continue;
                transcript += std::string("--- ") + kind + "\n";
                if (vm.run(this, handler.second) != 0)
                    transcript += "--- aborted\n";
            }
        }
    }

    void error(const char *format, ...) override
    {
        if (error_reported)
            return;
        error_reported = true;
        va_list args;
        va_start(args, format);
        transcript += "Error (line " + std::to_string(line) + "): " + format_message(500, format, args) + "\n";
        va_end(args);
    }

    void warning(const char *format, ...) override
    {
        va_list args;
        va_start(args, format);
        transcript += "Warning (line " + std::to_string(line) + "): " + format_message(500, format, args) + "\n";
        va_end(args);
    }

    // Records the handler's entry; reads the head of "message" and "timer" handlers.
    int hook_detected(const char *name) override
    {
        std::string entry = std::string("hook ") + name;
        const std::string kind = name;
        if (kind == "message" || kind == "timer") {
            ScriptTokenValue value;
            const int token = next_token(&value);
            if (token == T_INT_CONST)
                entry += " " + std::to_string(value.int_value);
            else if (token == T_IDENT)
                entry += std::string(" ") + value.text;
            else
                push_back_token(value, token);
        }
        transcript += entry + "\n";
        handlers.emplace_back(kind, machine->code_position());
        return kind == refused_hook ? 1 : 0;
    }

    int declare_io(const char *name, int input, int output, int handler) override
    {
        transcript += "io " + std::string(name) + " input=" + std::to_string(input) +
                      " output=" + std::to_string(output) + " handler=" + std::to_string(handler) + "\n";
        return std::string(name) == refused_hook ? 1 : 0;
    }

    int declare_envvar(int type, const char *name, int is_extern) override
    {
        transcript += "envvar " + std::string(name) + " type=" + std::to_string(type) +
                      " extern=" + std::to_string(is_extern) + " id=" + std::to_string(next_envvar_id) + "\n";
        return next_envvar_id++;
    }

    int envvar_range(double min, double max) override
    {
        char text[80];
        std::snprintf(text, sizeof text, "range %g %g\n", min, max);
        transcript += text;
        return 0;
    }

    int envvar_attributes(int rate, const char *type, const char *mode) override
    {
        transcript += "attributes " + std::to_string(rate) + " " + type + " " + mode + "\n";
        return attributes_result;
    }

    PCodeMachine vm;
    ScriptSymbolTable table;
    std::string transcript;
    std::vector<std::pair<std::string, int32_t>> handlers; // kind, code position
    std::string refused_hook;    // hook_detected and declare_io refuse this name
    int attributes_result = 0;   // what envvar_attributes answers
    int next_envvar_id = 100;

private:
    void bind(const char *name, PCodeNative native) { vm.bind_native_by_name(table, name, native); }

    static TestHost &host(void *context) { return *static_cast<TestHost *>(context); }

    static int put(void *context)
    {
        TestHost &h = host(context);
        h.transcript += std::to_string(h.vm.stack_int(0)) + "\n";
        return 0;
    }

    static int putd(void *context)
    {
        TestHost &h = host(context);
        char text[64];
        std::snprintf(text, sizeof text, "%g\n", h.vm.stack_double(0));
        h.transcript += text;
        return 0;
    }

    static int print_text(void *context)
    {
        TestHost &h = host(context);
        const int32_t address = h.vm.stack_int(0);
        for (int32_t a = address; a < h.vm.data_capacity(); ++a) {
            const uint8_t *c = h.vm.data_pointer(a, 1);
            if (!c || *c == 0)
                break;
            h.transcript += char(*c);
        }
        h.transcript += "\n";
        return 0;
    }

    // The sum of its int arguments; the argument count is the top cell.
    static int total(void *context)
    {
        TestHost &h = host(context);
        const int count = h.vm.stack_int(0);
        int sum = 0;
        for (int j = 0; j < count; ++j)
            sum += h.vm.stack_int(count - j);
        h.vm.set_stack_int(count + 1, sum);
        return 0;
    }
};

} // namespace script_test
