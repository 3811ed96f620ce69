// Parser plumbing, handlers, functions, blocks and statements.
#include "script/script_code_gen.h"
#include "script/script_code_gen_private.h"

#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_compiler.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

using namespace script_code_gen;

ScriptCodeGen::ScriptCodeGen(ScriptCompiler *compiler)
    : compiler_(compiler), machine_(compiler->machine), start_scope_level_(compiler->scope_level),
      start_function_depth_(compiler->function_depth)
{
}

ScriptCodeGen::~ScriptCodeGen() = default;

// A parse that ended on an error leaves its blocks, function and loop body
// open: close them, so that the compiler serves its next compilation as it
// served this one.
void ScriptCodeGen::end_parse()
{
    while (compiler_->scope_level > start_scope_level_) {
        compiler_->symbols->remove_scope(compiler_->scope_level);
        --compiler_->scope_level;
    }
    compiler_->function_depth = start_function_depth_;
    if (compiler_->function_depth == 0) {
        compiler_->current_function = nullptr;
        compiler_->frame_size = 0;
    }
    machine_->set_insert_position(machine_->code_length());
}

// ---------------------------------------------------------------- plumbing

int ScriptCodeGen::next_token(ScriptParseValue *value)
{
    ScriptTokenValue token;
    const int code = compiler_->next_token(&token);
    *value = ScriptParseValue{};
    value->int_value = token.int_value;
    value->double_value = token.double_value;
    if (token.text)
        value->text = keep(token.text);
    return code;
}

const char *ScriptCodeGen::keep(const char *text)
{
    texts_.emplace_back(text);
    return texts_.back().c_str();
}

void ScriptCodeGen::syntax_error(const char *message)
{
    compiler_->error("%s", message);
}

std::string ScriptCodeGen::error_position() const
{
    // Long string constants are cut, and line breaks in them shown as blanks,
    // so that the message stays on one line.
    constexpr size_t kShownChars = 40;
    const std::string &text = compiler_->token_text;
    if (text.empty())
        return "at the end of the input";
    std::string shown = text.substr(0, kShownChars);
    for (char &c : shown)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    if (text.size() > kShownChars)
        shown += "...";
    return "near `" + shown + "'";
}

bool ScriptCodeGen::error(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = string_vprintf(format, args);
    va_end(args);
    compiler_->error("%s", text.c_str());
    return false;
}

void ScriptCodeGen::warning(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = string_vprintf(format, args);
    va_end(args);
    compiler_->warning("%s", text.c_str());
}

bool ScriptCodeGen::in_function() const
{
    return compiler_->function_depth > 0;
}

bool ScriptCodeGen::hides_parameter(const char *name) const
{
    return in_function() && compiler_->current_function && compiler_->current_function->find_param(name) >= 0;
}

// ---------------------------------------------------------------- emitting

int32_t ScriptCodeGen::code_position() const
{
    return machine_->code_position();
}

bool ScriptCodeGen::bounds_check() const
{
    return compiler_->bounds_check;
}

void ScriptCodeGen::emit(int opcode)
{
    machine_->emit_opcode(opcode);
}

void ScriptCodeGen::emit_with_int(int opcode, int32_t operand)
{
    machine_->emit_opcode(opcode);
    machine_->emit_int(operand);
}

void ScriptCodeGen::insert(int opcode, int32_t position)
{
    machine_->emit_opcode(opcode, position);
}

void ScriptCodeGen::push_int(int32_t value)
{
    machine_->emit_push_int(value, compiler_->optimise);
}

void ScriptCodeGen::push_double(double value)
{
    machine_->emit_push_double(value, compiler_->optimise);
}

void ScriptCodeGen::push_address(uint32_t address, bool local)
{
    machine_->emit_push_address(int32_t(address), local, compiler_->optimise);
}

void ScriptCodeGen::set_size(int32_t size)
{
    machine_->emit_set_size(size, compiler_->optimise);
}

void ScriptCodeGen::pop(int cells)
{
    machine_->emit_pop(cells, compiler_->optimise);
}

int ScriptCodeGen::optimise(bool report_bounds)
{
    return machine_->optimise(compiler_->optimise, report_bounds ? compiler_ : nullptr);
}

int ScriptCodeGen::new_label()
{
    return ++compiler_->last_label;
}

void ScriptCodeGen::resolve(int32_t start, int label)
{
    machine_->resolve_label(start, label, code_position());
}

// ---------------------------------------------------------------- handlers

bool ScriptCodeGen::announce(const char *name, const char *refusal)
{
    if (compiler_->hook_detected(name) != 0)
        return error(refusal, name);
    return true;
}

void ScriptCodeGen::announce_variables()
{
    // Its initializers run as a handler; the host's answer is not looked at.
    compiler_->hook_detected("variables");
    in_variables_ = true;
}

void ScriptCodeGen::end_handler()
{
    emit(OP_END);
    in_variables_ = false;
}

void ScriptCodeGen::default_hook_range()
{
    compiler_->envvar_range(-10.0, 10.0);
}

void ScriptCodeGen::hook_range(const ScriptParseValue &min, const ScriptParseValue &max)
{
    compiler_->envvar_range(constant_as_double(min), constant_as_double(max));
}

bool ScriptCodeGen::default_hook_attributes()
{
    return compiler_->envvar_attributes(100, "continuous", "polling") == 0;
}

void ScriptCodeGen::hook_attributes(int rate, const char *unit, const char *type, const char *mode)
{
    // The rate is handed over in milliseconds.
    int64_t factor = 1000;
    if (unit && std::strcmp(unit, "us") == 0)
        factor = 1;
    else if (unit && std::strcmp(unit, "s") == 0)
        factor = 1000000;
    compiler_->envvar_attributes(int32_t(int64_t(rate) * factor / 1000), type, mode);
}

bool ScriptCodeGen::signal_attributes(const char *type)
{
    return compiler_->envvar_attributes(0, type ? type : "continuous", "event") == 0;
}

bool ScriptCodeGen::declare_io(const char *name, int input, int output, int handler, const char *refusal)
{
    if (compiler_->declare_io(name, input, output, handler) != 0)
        return error("%s", refusal);
    return true;
}

bool ScriptCodeGen::define_envvar(int type_token, const char *name, bool is_extern)
{
    const int id = compiler_->declare_envvar(type_token, name, is_extern ? 1 : 0);
    if (compiler_->symbols->find(name, compiler_->scope_level))
        return error("Symbol \"%s\" already defined", name);
    // Scripts name the variable; the environment-variable functions take its id.
    auto *constant = new ScriptConstant;
    constant->set_name(name, true);
    constant->level = compiler_->scope_level;
    constant->set_int(id);
    compiler_->symbols->insert(constant);
    return true;
}

// ---------------------------------------------------------------- functions

bool ScriptCodeGen::begin_function_declaration(const char *name)
{
    if (compiler_->scope_level > 0)
        return error("Definition of function only possible on top level.");
    const uint32_t type = decl_type_;
    if (!internal_ && !in_variables_ && type != TYPE_INT && type != TYPE_CHAR && type != TYPE_BYTE &&
        type != TYPE_DOUBLE && type != TYPE_VOID)
        return error("Type '%s' is not allowed as function return type.", script_type_name(type));
    function_name_ = name;
    compiler_->result_type = type;
    compiler_->param_count = 0;
    compiler_->variadic = false;
    return true;
}

bool ScriptCodeGen::add_parameter(const ScriptParseValue &type, const char *name, bool array)
{
    if (compiler_->param_count >= kMaxParameters)
        return error("Too many function parameter.");
    ScriptParamDecl &param = compiler_->params[compiler_->param_count++];
    param.type = type.type;
    param.struct_type = type.struct_type;
    param.reference = type.reference || array;
    param.array = array;
    param.name = name;
    return true;
}

void ScriptCodeGen::set_variadic()
{
    compiler_->variadic = true;
}

bool ScriptCodeGen::declare_function()
{
    return compiler_->declare_function(function_name_, true) == 0;
}

void ScriptCodeGen::end_prototype()
{
    compiler_->current_function = nullptr;
}

bool ScriptCodeGen::begin_function_body()
{
    ScriptFunction *function = compiler_->current_function;
    if (in_variables_) {
        // The block's initializers run as a handler: they go around the body.
        skip_body_label_ = new_label();
        skip_body_start_ = code_position();
        emit_with_int(OP_JMP_LABEL, skip_body_label_);
    } else if (compiler_->function_bodies++ == 0) {
        // Top-level code of a predefined header that comes before the first body ends here.
        emit(OP_END);
    }
    ++compiler_->function_depth;
    machine_->bind_script_function(int(function->index), code_position());

    // The parameters become locals one level deeper, which the body's block
    // shares; each is copied from the caller's argument cell.
    compiler_->frame_size = 0;
    largest_frame_ = 0;
    const int count = compiler_->param_count;
    const int level = compiler_->scope_level + 1;
    for (int i = 0; i < count; ++i) {
        const ScriptParamDecl &param = compiler_->params[i];
        if (compiler_->symbols->find(param.name, level))
            return error("Symbol \"%s\" already defined", param.name);
        auto *variable = new ScriptVariable;
        variable->set_name(param.name, true);
        variable->level = level;
        variable->local = 1;
        variable->type = param.type;
        variable->struct_type = param.struct_type;
        variable->reference = param.reference || param.type == TYPE_STRUCT;
        if (param.array)
            variable->dim1 = 1;
        variable->address = uint32_t(align4(compiler_->frame_size));
        compiler_->frame_size = int(variable->address) + variable->size();
        compiler_->symbols->insert(variable);

        if (function->variadic) {
            // Below the extra arguments: parameter i lies at the depth of the
            // argument count (the top cell at the call) minus i.
            push_count_argument();
            push_int(i);
            emit(OP_I_SUB);
        } else {
            push_int(count - 1 - i);
        }
        emit(OP_ARG);
        push_address(variable->address, true);
        if (variable->reference) {
            if (bounds_check()) {
                // The pointer with its size bound.
                emit(OP_STORE_REF);
                compiler_->frame_size += 4;
            } else {
                emit(OP_STORE_I);
            }
        } else if (param.type == TYPE_CHAR || param.type == TYPE_BYTE) {
            emit(OP_STORE_B);
        } else if (param.type == TYPE_DOUBLE) {
            emit(OP_STORE_D);
        } else {
            // int, and a string's data address
            emit(OP_STORE_I);
        }
    }
    machine_->emit_opcode(OP_FRAME);
    frame_operand_ = code_position();
    machine_->emit_int(0);
    return true;
}

// The argument count that the caller of a "..." function pushed last.
void ScriptCodeGen::push_count_argument()
{
    push_int(0);
    emit(OP_ARG);
}

void ScriptCodeGen::end_function_body()
{
    emit(OP_RET);
    if (compiler_->frame_size > largest_frame_)
        largest_frame_ = compiler_->frame_size;
    machine_->patch_int(largest_frame_, frame_operand_);
    if (skip_body_label_) {
        resolve(skip_body_start_, skip_body_label_);
        skip_body_label_ = 0;
    }
    --compiler_->function_depth;
    compiler_->current_function = nullptr;
    compiler_->frame_size = 0;
}

// ---------------------------------------------------------------- blocks

void ScriptCodeGen::open_block()
{
    ++compiler_->scope_level;
    block_marks_.push_back(in_function() ? compiler_->frame_size : machine_->data_top());
}

void ScriptCodeGen::close_block()
{
    compiler_->symbols->remove_scope(compiler_->scope_level);
    --compiler_->scope_level;
    const int32_t mark = block_marks_.back();
    block_marks_.pop_back();
    // Sibling blocks share the bytes of their variables.
    if (in_function()) {
        if (compiler_->frame_size > largest_frame_)
            largest_frame_ = compiler_->frame_size;
        compiler_->frame_size = mark;
    } else {
        // Back to the data top of the block's start; the high-water mark stays.
        machine_->allocate_data(mark - machine_->data_top());
    }
}

// ---------------------------------------------------------------- statements


bool ScriptCodeGen::push_control(int kind)
{
    if (int(controls_.size()) >= kMaxControlDepth)
        return error("Nesting too deep");
    Control control;
    control.kind = kind;
    control.end_label = new_label();
    control.second_label = new_label();
    control.start = code_position();
    controls_.push_back(control);
    return true;
}

ScriptCodeGen::Control *ScriptCodeGen::innermost(bool (*accept)(int kind))
{
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if (accept(it->kind))
            return &*it;
    return nullptr;
}

// Jumps test the int in the low word of a cell: a double condition is
// compared with 0.0 first.
void ScriptCodeGen::convert_condition(const ScriptParseValue &condition)
{
    if (condition.type == TYPE_DOUBLE) {
        push_double(0.0);
        emit(OP_D_NE);
    }
}

bool ScriptCodeGen::begin_if(const ScriptParseValue &condition)
{
    convert_condition(condition);
    if (!push_control(T_IF))
        return false;
    emit_with_int(OP_JZ_LABEL, controls_.back().second_label);
    return true;
}

void ScriptCodeGen::begin_else()
{
    const Control &control = controls_.back();
    emit_with_int(OP_JMP_LABEL, control.end_label);
    resolve(control.start, control.second_label);
}

void ScriptCodeGen::end_if()
{
    const Control &control = controls_.back();
    resolve(control.start, control.second_label);
    resolve(control.start, control.end_label);
    controls_.pop_back();
}

bool ScriptCodeGen::begin_while(int32_t start, const ScriptParseValue &condition)
{
    convert_condition(condition);
    if (!push_control(T_WHILE))
        return false;
    Control &control = controls_.back();
    control.start = start;
    control.loop_start = start;
    emit_with_int(OP_JZ_LABEL, control.end_label);
    return true;
}

void ScriptCodeGen::end_while()
{
    const Control &control = controls_.back();
    emit_with_int(OP_JMP, control.loop_start);
    resolve(control.start, control.end_label);
    controls_.pop_back();
}

bool ScriptCodeGen::begin_do()
{
    if (!push_control(T_DO))
        return false;
    controls_.back().loop_start = controls_.back().start;
    return true;
}

void ScriptCodeGen::do_condition()
{
    const Control &control = controls_.back();
    resolve(control.start, control.second_label);
}

bool ScriptCodeGen::end_do(const ScriptParseValue &condition)
{
    convert_condition(condition);
    const Control &control = controls_.back();
    emit_with_int(OP_JNZ, control.loop_start);
    resolve(control.start, control.end_label);
    controls_.pop_back();
    return true;
}

// Layout: init, test, jump out, body, step, jump to the test. The step is
// compiled before the body; the body is then inserted ahead of it.
bool ScriptCodeGen::for_condition(int32_t test, const ScriptParseValue &condition)
{
    convert_condition(condition);
    if (!push_control(T_FOR))
        return false;
    Control &control = controls_.back();
    control.start = test;
    control.loop_start = test;
    emit_with_int(OP_JZ_LABEL, control.end_label);
    control.step_start = code_position();
    return true;
}

void ScriptCodeGen::begin_for_body()
{
    Control &control = controls_.back();
    control.step_length = code_position() - control.step_start;
    machine_->set_insert_position(control.step_start);
}

void ScriptCodeGen::end_for()
{
    const Control &control = controls_.back();
    // The body ends where the step begins: "continue" goes there.
    resolve(control.start, control.second_label);
    machine_->set_insert_position(code_position() + control.step_length);
    emit_with_int(OP_JMP, control.loop_start);
    resolve(control.start, control.end_label);
    controls_.pop_back();
}

bool ScriptCodeGen::begin_switch(const ScriptParseValue &value)
{
    // OP_SWITCH compares the int of the cell: a double value is converted.
    if (value.type == TYPE_DOUBLE)
        emit(OP_D2I);
    if (!push_control(T_SWITCH))
        return false;
    Control &control = controls_.back();
    machine_->emit_opcode(OP_SWITCH);
    control.table_operand = code_position();
    machine_->emit_int(0);
    emit_with_int(OP_JMP_LABEL, control.second_label);
    return true;
}

// Case labels stand directly in a switch body: its switch is the innermost context.
ScriptCodeGen::Control *ScriptCodeGen::open_switch()
{
    return !controls_.empty() && controls_.back().kind == T_SWITCH ? &controls_.back() : nullptr;
}

bool ScriptCodeGen::case_label(const ScriptParseValue &value)
{
    Control *control = open_switch();
    if (!control)
        return error("'case' is not allowed outside of switch-statement.");
    control->cases.emplace_back(constant_as_int(value), code_position());
    return true;
}

bool ScriptCodeGen::default_label()
{
    Control *control = open_switch();
    if (!control)
        return error("'default' is not allowed outside of switch-statement.");
    if (control->default_seen)
        return error("'default' must not be defined twice in switch-statement.");
    control->default_seen = true;
    resolve(control->start, control->second_label);
    return true;
}

void ScriptCodeGen::end_switch()
{
    const Control &control = controls_.back();
    emit_with_int(OP_JMP_LABEL, control.end_label);
    // The table lies where control never falls into it.
    machine_->patch_int(code_position(), control.table_operand);
    machine_->emit_opcode(OP_SWITCH_TABLE);
    machine_->emit_int(int32_t(control.cases.size()));
    for (const auto &entry : control.cases) {
        machine_->emit_int(entry.first);
        machine_->emit_int(entry.second);
    }
    resolve(control.start, control.end_label);
    if (!control.default_seen)
        resolve(control.start, control.second_label);
    controls_.pop_back();
}

static bool is_breakable(int kind)
{
    return kind != T_IF;
}

static bool is_loop(int kind)
{
    return kind == T_WHILE || kind == T_DO || kind == T_FOR;
}

bool ScriptCodeGen::break_statement()
{
    const Control *control = innermost(is_breakable);
    if (!control)
        return error("'break' is not allowed outside of loops.");
    emit_with_int(OP_JMP_LABEL, control->end_label);
    return true;
}

bool ScriptCodeGen::continue_statement()
{
    const Control *control = innermost(is_loop);
    if (!control)
        return error("'continue' is not allowed outside of loops.");
    if (control->kind == T_WHILE)
        emit_with_int(OP_JMP, control->loop_start);
    else
        emit_with_int(OP_JMP_LABEL, control->second_label);
    return true;
}

bool ScriptCodeGen::return_value(const ScriptParseValue &value)
{
    const ScriptFunction *function = compiler_->current_function;
    if (!in_function() || !function)
        return error("Return not allowed in startup code");
    const uint32_t result = function->result_type;
    if (is_int_kind(result) && value.type == TYPE_DOUBLE)
        emit(OP_D2I);
    else if (result == TYPE_DOUBLE && is_int_kind(value.type))
        emit(OP_I2D);
    else if (!(is_int_kind(result) && is_int_kind(value.type)) && (result != value.type || result == TYPE_VOID))
        return error("Attempt to return type '%s' from function with return type '%s'.",
                     script_type_name(value.type), script_type_name(result));
    if (function->variadic) {
        // The result cell lies below every argument and the count.
        push_count_argument();
        push_int(2);
        emit(OP_I_ADD);
    } else {
        push_int(function->param_count() + 1);
    }
    emit(OP_SET_RESULT);
    emit(OP_RET);
    return true;
}

void ScriptCodeGen::return_void()
{
    emit(in_function() ? OP_RET : OP_END);
}
