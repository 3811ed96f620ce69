#include "script/script_compiler.h"

#include "script/script_keywords.h"
#include "script/script_parser.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Longest message text of the base error and warning.
constexpr size_t kMessageLimit = 200;

// Ids that the base declare_envvar hands out, shared by all compilers.
int g_next_envvar_id = 0;

} // namespace

ScriptCompiler::ScriptCompiler() = default;

std::string ScriptCompiler::format_message(size_t limit, const char *format, va_list args)
{
    std::vector<char> buffer(limit + 1);
    vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data());
}

int ScriptCompiler::compile()
{
    if (!symbols || !machine || !source)
        return -3;
    if (script_keywords_build(compatibility) != 0)
        return -3;
    line = 1;
    has_pushed_token_ = false;
    if (source->open() != 0) {
        error("Unable to open source");
        script_keywords_free();
        return -2;
    }
    const int result = script_parse(this);
    source->close();
    script_keywords_free();
    return result;
}

void ScriptCompiler::error(const char *format, ...)
{
    if (error_reported)
        return;
    va_list args;
    va_start(args, format);
    const std::string text = format_message(kMessageLimit, format, args);
    va_end(args);
    printf("Error (line %d): %s\n", line, text.c_str());
    fflush(stdout);
    error_reported = true;
}

void ScriptCompiler::warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = format_message(kMessageLimit, format, args);
    va_end(args);
    printf("Warning (line %d): %s\n", line, text.c_str());
    fflush(stdout);
}

void ScriptCompiler::load_hook(uint32_t)
{
}

uint32_t ScriptCompiler::load_type(uint32_t type, uint32_t)
{
    return type;
}

void ScriptCompiler::store_hook(uint32_t &, uint32_t &, uint32_t &)
{
}

void ScriptCompiler::init_struct_hook(uint32_t)
{
}

void ScriptCompiler::unget_char(int c)
{
    if (source)
        source->unget_char(c);
}

// Prints the handler kind and what follows it in the head.
int ScriptCompiler::hook_detected(const char *name)
{
    printf("hook_detected: %s\n", name);
    ScriptTokenValue value;
    const std::string kind = name ? name : "";
    if (kind == "key") {
        int token = next_token(&value);
        if (token == T_CHAR_CONST) {
            printf("key='%s'\n", value.text);
        } else if (token == T_IDENT) {
            // A key name, with "shift", "ctrl" or "alt" and "+" before it.
            std::string key = value.text;
            std::string last = key;
            while (last == "shift" || last == "ctrl" || last == "alt") {
                token = next_token(&value);
                if (token != '+') {
                    push_back_token(value, token);
                    break;
                }
                token = next_token(&value);
                if (token != T_IDENT) {
                    push_back_token(value, token);
                    break;
                }
                last = value.text;
                key += "+" + last;
            }
            printf("key=%s\n", key.c_str());
        } else {
            push_back_token(value, token);
        }
    } else if (kind == "message") {
        const int token = next_token(&value);
        if (token == T_IDENT)
            printf("message=%s\n", value.text);
        else if (token == T_INT_CONST)
            printf("message=%d\n", value.int_value);
        else
            push_back_token(value, token);
    } else if (kind == "timer") {
        const int token = next_token(&value);
        if (token == T_IDENT)
            printf("timer=%s\n", value.text);
        else
            push_back_token(value, token);
    } else {
        static const struct {
            const char *kind;
            const char *line;
        } kLines[] = {
            {"start", "START\n"},     {"preStart", "preStart\n"}, {"startup", "STARTUP\n"},
            {"stopped", "STOPPED\n"}, {"init", "INIT\n"},         {"stop", "STOP\n"},
            {"input", "INPUT\n"},     {"output", "OUTPUT\n"},
        };
        for (const auto &entry : kLines)
            if (kind == entry.kind)
                fputs(entry.line, stdout);
    }
    fflush(stdout);
    return 0;
}

int ScriptCompiler::declare_io(const char *name, int input, int output, int)
{
    if (output)
        printf("Output: %s\n", name);
    else if (input)
        printf("Input: %s\n", name);
    else
        printf("InOutput: %s\n", name);
    return 0;
}

int ScriptCompiler::declare_envvar(int type, const char *name, int is_extern)
{
    printf("EnvVar: name=%s, type=%d, extern=%d\n", name, type, is_extern);
    return g_next_envvar_id++;
}

int ScriptCompiler::envvar_range(double min, double max)
{
    printf("Range: min=%lg, max=%lg\n", min, max);
    return 0;
}

int ScriptCompiler::envvar_attributes(int rate, const char *type, const char *mode)
{
    printf("Attributes: rate=%d, type=%s, mode=%s\n", rate, type, mode);
    return 0;
}

ScriptSymbol *ScriptCompiler::find_value_symbol(const char *name) const
{
    for (int level = scope_level; level >= 0; --level) {
        ScriptSymbol *s = symbols->find(name, level);
        if (s && (s->kind() == SYMBOL_VARIABLE || s->kind() == SYMBOL_CONSTANT))
            return s;
    }
    return nullptr;
}

ScriptSymbol *ScriptCompiler::find_symbol(const char *name) const
{
    for (int level = scope_level; level >= 0; --level)
        if (ScriptSymbol *s = symbols->find(name, level))
            return s;
    return nullptr;
}
