#include "script/script_compiler.h"

#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
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

std::string ScriptCompiler::located(const std::string &text) const
{
    const std::string file = source ? source->file_name() : std::string();
    return (file.empty() ? "line " : file + ":") + std::to_string(line) + ": " + text;
}

int ScriptCompiler::compile()
{
    if (!symbols || !machine || !source)
        return -3;
    if (script_keywords_build(compatibility) != 0)
        return -3;
    line = 1;
    token_text.clear();
    has_pushed_token_ = false;
    lexical_error_ = false;
    if (source->open() != 0) {
        error("Unable to open source");
        script_keywords_free();
        return -2;
    }
    int result = script_parse(this);
    if (result == 0 && lexical_error_)
        result = -1;
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
    const std::string kind = name ? name : "";
    printf("hook_detected: %s\n", kind.c_str());
    ScriptTokenValue value;
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
    return symbols->find_or_declare(name);
}

ScriptVariable *ScriptCompiler::declare_variable(const char *name, uint32_t type, ScriptStructType *struct_type,
                                                 int dim1, int dim2, bool copy_name)
{
    if (symbols->find(name, scope_level)) {
        error("Symbol \"%s\" already defined", name);
        return nullptr;
    }
    if (function_depth > 0 && current_function && current_function->find_param(name) >= 0)
        warning("Definition of variable \"%s\" hides local parameter", name);

    auto *variable = new ScriptVariable;
    variable->level = scope_level;
    variable->set_name(name, copy_name);
    variable->type = type;
    variable->dim1 = dim1 > 0 ? dim1 : 0;
    variable->dim2 = dim2 > 0 ? dim2 : 0;
    if (type == TYPE_STRUCT)
        variable->struct_type = struct_type;

    const int64_t start = (storage_start() + 3) & ~int64_t(3);
    if (!reserve_storage(start, variable->size())) {
        delete variable;
        return nullptr;
    }
    variable->address = static_cast<uint32_t>(start);
    variable->local = function_depth == 0 ? 0 : 1;

    // A struct type with a binding initialises each new variable through
    // the machine's address-notify hook.
    if (variable->struct_type && variable->struct_type->tag != 0) {
        const uint32_t struct_tag = variable->struct_type->tag;
        machine->emit_push_address(static_cast<int32_t>(variable->address), variable->local != 0, optimise);
        init_struct_hook(struct_tag);
        machine->emit_opcode(OP_NOTIFY_HOOK);
        machine->emit_int(static_cast<int32_t>(struct_tag));
    }

    symbols->insert(variable);
    return variable;
}

bool ScriptCompiler::allocate_variable(ScriptVariable *variable, int dim1)
{
    if (dim1 > 0)
        variable->dim1 = dim1;
    return reserve_storage(function_depth == 0 ? machine->data_top() : frame_size, variable->size());
}

int64_t ScriptCompiler::storage_start() const
{
    if (function_depth > 0)
        return frame_size;
    return scope_level == 0 ? machine->data_high_water() : machine->data_top();
}

bool ScriptCompiler::reserve_storage(int64_t start, int64_t bytes)
{
    const int64_t end = start + bytes;
    if (end > INT32_MAX) {
        error("Array too large.");
        return false;
    }
    if (function_depth > 0) {
        frame_size = int(end);
        return true;
    }
    if (machine->allocate_data(int32_t(end - machine->data_top())) != 0) {
        error("Not enough memory for the variables.");
        return false;
    }
    return true;
}

int ScriptCompiler::declare_function(const char *name, bool copy_name)
{
    if (ScriptSymbol *existing = symbols->find(name, 0)) {
        if (existing->kind() != SYMBOL_FUNCTION) {
            error("Function name \"%s\" already defined", name);
            return -1;
        }
        auto *function = static_cast<ScriptFunction *>(existing);
        if (function->param_count() != param_count) {
            error("Function \"%s\" previously defined with different count of paramters", name);
            return -1;
        }
        if (function->result_type != result_type) {
            error("Different return type in redifinition of function \"%s\"", name);
            return -1;
        }
        for (int i = 0; i < param_count; ++i) {
            if (function->param_type(i) != params[i].type) {
                error("Type of parameter %d differs from the earlier declaration of function \"%s\"", i + 1, name);
                return -1;
            }
        }
        // A prototype followed by its definition.
        current_function = function;
        return 0;
    }

    auto *function = new ScriptFunction;
    function->level = 0;
    function->set_name(name, copy_name);
    function->result_type = result_type;
    function->variadic = variadic;
    function->set_param_count(param_count);
    for (int i = 0; i < param_count; ++i) {
        const ScriptParamDecl &p = params[i];
        function->set_param_type(i, p.type);
        function->set_param_struct_type(i, p.struct_type);
        // Structs are always passed by reference.
        function->set_param_reference(i, p.reference || p.type == TYPE_STRUCT);
        function->set_param_array(i, p.array);
        function->set_param_name(i, p.name, true);
    }
    function->index = static_cast<uint32_t>(machine->next_function_number());
    symbols->insert(function);
    current_function = function;
    return 0;
}

namespace {

// The instructions that read or change a value of one element type, by
// access kind, and the type of the value they leave on the stack.
struct AccessOps {
    uint32_t type;
    int ops[5]; // by ScriptAccessKind: read, post-increment, post-decrement, pre-increment, pre-decrement
    uint32_t result;
    // The int and double instructions have a hooked twin at opcode + 1 that
    // reaches an outside variable; the byte and char ones have none.
    bool hookable;
};

const AccessOps kAccessOps[] = {
    {TYPE_INT, {OP_LOAD_I, OP_POSTINC_I, OP_POSTDEC_I, OP_PREINC_I, OP_PREDEC_I}, TYPE_INT, true},
    {TYPE_CHAR, {OP_LOAD_C, OP_POSTINC_C, OP_POSTDEC_C, OP_PREINC_C, OP_PREDEC_C}, TYPE_INT, false},
    {TYPE_BYTE, {OP_LOAD_B, OP_POSTINC_B, OP_POSTDEC_B, OP_PREINC_B, OP_PREDEC_B}, TYPE_INT, false},
    {TYPE_DOUBLE, {OP_LOAD_D, OP_POSTINC_D, OP_POSTDEC_D, OP_PREINC_D, OP_PREDEC_D}, TYPE_DOUBLE, true},
    // A string variable holds a data address; it can only be read.
    {TYPE_STRING, {OP_LOAD_I, 0, 0, 0, 0}, TYPE_STRING, true},
};

const AccessOps *access_ops(uint32_t type)
{
    for (const AccessOps &a : kAccessOps)
        if (a.type == type)
            return &a;
    return nullptr;
}

bool is_integer_type(uint32_t type)
{
    return type == TYPE_INT || type == TYPE_CHAR || type == TYPE_BYTE;
}

} // namespace

uint32_t ScriptCompiler::emit_load(uint32_t address, uint32_t type, bool local, int access, bool address_on_stack,
                                   bool reference, uint32_t tag)
{
    if (tag != 0)
        load_hook(tag);
    if (!address_on_stack)
        machine->emit_push_address(static_cast<int32_t>(address), local, optimise);
    if (reference)
        machine->emit_opcode(OP_LOAD_I);

    uint32_t result = TYPE_UNDEFINED;
    if (type == TYPE_STRUCT) {
        // A struct value is its address; nothing is loaded.
        if (access == ACCESS_READ)
            result = TYPE_STRUCT;
    } else if (const AccessOps *ops = access_ops(type)) {
        const int opcode = access >= ACCESS_READ && access <= ACCESS_PRE_DECREMENT ? ops->ops[access] : 0;
        if (opcode != 0) {
            // Where the instruction goes: ahead of later code while inserting.
            const int32_t at = machine->code_position();
            machine->emit_opcode(opcode);
            if (tag != 0 && ops->hookable) {
                machine->or_opcode(1, at);
                machine->emit_int(static_cast<int32_t>(tag));
            }
            result = ops->result;
        }
    }
    if (tag != 0 && result != TYPE_UNDEFINED)
        result = load_type(result, tag);
    return result;
}

uint32_t ScriptCompiler::emit_store(uint32_t address, uint32_t value_type, uint32_t target_type, bool local,
                                    bool address_on_stack, uint32_t tag, bool reference)
{
    if (value_type == TYPE_STRUCT || value_type == TYPE_ARRAY)
        return 0;
    if (tag != 0)
        store_hook(value_type, target_type, tag);

    int opcode;
    bool hookable;
    switch (target_type) {
    case TYPE_INT: opcode = OP_STORE_I; hookable = true; break;
    case TYPE_DOUBLE: opcode = OP_STORE_D; hookable = true; break;
    case TYPE_CHAR:
    case TYPE_BYTE: opcode = OP_STORE_B; hookable = false; break;
    default:
        error("Invalid type %d on left side of assignment.", static_cast<int>(target_type));
        return 0;
    }

    if (value_type == TYPE_DOUBLE && target_type != TYPE_DOUBLE)
        machine->emit_opcode(OP_D2I);
    else if (is_integer_type(value_type) && target_type == TYPE_DOUBLE)
        machine->emit_opcode(OP_I2D);
    // The store takes the address from the top with the value below it.
    if (address_on_stack)
        machine->emit_opcode(OP_SWAP);
    else
        machine->emit_push_address(static_cast<int32_t>(address), local, optimise);
    if (reference)
        machine->emit_opcode(OP_LOAD_I);
    const int32_t at = machine->code_position();
    machine->emit_opcode(opcode);
    if (tag != 0 && hookable) {
        machine->or_opcode(1, at);
        machine->emit_int(static_cast<int32_t>(tag));
    }
    return target_type;
}
