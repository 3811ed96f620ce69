// Types, constants, constant expressions, variable declarations and initializers.
#include "script/script_code_gen.h"
#include "script/script_code_gen_private.h"

#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_compiler.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

using namespace script_code_gen;

namespace {

// Running number of the unnamed struct types of all compilations.
int g_internal_struct_number = 0;

// The message types of a CAN database are named after this prefix.
constexpr const char *kMessageTypePrefix = "CanMessage_";

bool is_channel_prefix(const char *name)
{
    return (std::strncmp(name, "can", 3) == 0 || std::strncmp(name, "CAN", 3) == 0) && name[3] >= '1' &&
           name[3] <= '4' && name[4] == '\0';
}

} // namespace

// ---------------------------------------------------------------- types

void ScriptCodeGen::base_type(uint32_t type, ScriptParseValue *out)
{
    *out = ScriptParseValue{};
    out->type = type;
}

ScriptStructType *ScriptCodeGen::visible_struct_type(const char *name) const
{
    for (int level = compiler_->scope_level; level >= 0; --level) {
        ScriptSymbol *symbol = compiler_->symbols->find(name, level);
        if (symbol && symbol->kind() == SYMBOL_STRUCT_TYPE)
            return static_cast<ScriptStructType *>(symbol);
    }
    // A type the prelude declares on first use (a database message's).
    ScriptSymbol *declared = compiler_->symbols->find_or_declare(name);
    return declared && declared->kind() == SYMBOL_STRUCT_TYPE ? static_cast<ScriptStructType *>(declared) : nullptr;
}

bool ScriptCodeGen::struct_type_named(const char *name, ScriptParseValue *out)
{
    ScriptStructType *type = visible_struct_type(name);
    if (!type)
        return error("Ident '%s' not found\n", name);
    *out = ScriptParseValue{};
    out->type = TYPE_STRUCT;
    out->struct_type = type;
    return true;
}

// "message" name: the database message's struct type when there is one,
// else the generic CanMessage, and the name becomes the declared variable's.
// This runs before the parser reads the token after the name.
bool ScriptCodeGen::message_type(const char *name, ScriptParseValue *out)
{
    const char *message = name;
    if (is_channel_prefix(name)) {
        ScriptTokenValue token;
        if (compiler_->next_token(&token) != '.')
            return error("Expected '.' after 'can*'\n");
        if (compiler_->next_token(&token) != T_IDENT)
            return error("Expected identifier after 'can*.'\n");
        message = keep(token.text);
    }
    *out = ScriptParseValue{};
    out->type = TYPE_STRUCT;
    out->struct_type = visible_struct_type((std::string(kMessageTypePrefix) + message).c_str());
    if (out->struct_type)
        return true;

    ScriptTokenValue again;
    again.text = message;
    compiler_->push_back_token(again, T_IDENT);
    ScriptSymbol *generic = compiler_->symbols->find("CanMessage", 0);
    if (!generic)
        return error("Message '%s' not found\n", "CanMessage");
    if (generic->kind() != SYMBOL_STRUCT_TYPE)
        return error("Userdefined type expected\n");
    out->struct_type = static_cast<ScriptStructType *>(generic);
    return true;
}

void ScriptCodeGen::set_datatype(const ScriptParseValue &type)
{
    decl_type_ = type.type;
    decl_struct_ = type.struct_type;
}

void ScriptCodeGen::set_void_datatype()
{
    decl_type_ = TYPE_VOID;
    decl_struct_ = nullptr;
}

void ScriptCodeGen::begin_struct()
{
    struct_definition_ = std::make_unique<ScriptStructType>();
    struct_definition_->level = compiler_->scope_level;
}

bool ScriptCodeGen::dimension(const ScriptParseValue &value, int *dimension)
{
    if (value.type != TYPE_DOUBLE && !is_int_kind(value.type))
        return error("Array dimension must be > 0.");
    *dimension = constant_as_int(value);
    if (*dimension <= 0)
        return error("Array dimension must be > 0.");
    return true;
}

// Addresses and sizes are 32-bit ints: storage that would pass INT32_MAX bytes
// would wrap around and overlap the variables after it.
static bool storage_fits(int64_t bytes_before, int element_size, int dim1, int dim2)
{
    const int64_t limit = std::numeric_limits<int32_t>::max();
    int64_t bytes = element_size;
    for (const int dim : {dim1, dim2}) {
        if (dim > 1 && bytes > limit / dim)
            return false;
        bytes *= std::max(dim, 1);
    }
    return bytes <= limit - bytes_before;
}

bool ScriptCodeGen::add_struct_component(const ScriptParseValue &type, const char *name,
                                         const ScriptParseValue *dimension_value)
{
    int count = 0;
    if (dimension_value && !dimension(*dimension_value, &count))
        return false;
    const int element_size = script_element_size(type.type, type.type == TYPE_STRUCT ? type.struct_type : nullptr);
    if (!storage_fits(struct_definition_->size, element_size, count, 0))
        return error("Array too large.");
    if (struct_definition_->find_member(name))
        return error("Component with name '%s' already defined.", name);
    if (type.type == TYPE_STRUCT)
        struct_definition_->add_struct_member(name, type.struct_type, count);
    else
        struct_definition_->add_member(name, type.type, count);
    return true;
}

// The type becomes visible only now, so it cannot refer to itself.
void ScriptCodeGen::end_struct(const char *name)
{
    ScriptStructType *type = struct_definition_.release();
    type->set_name(name, true);
    compiler_->symbols->insert(type);
    decl_type_ = TYPE_STRUCT;
    decl_struct_ = type;
}

// ---------------------------------------------------------------- constants

bool ScriptCodeGen::define_constant(const char *name, const ScriptParseValue &value)
{
    if (value.type != TYPE_DOUBLE && !is_int_kind(value.type))
        return error("Data type '%s' not supported for const-definition", script_type_name(value.type));
    if (compiler_->symbols->find(name, compiler_->scope_level))
        return error("Symbol \"%s\" already defined", name);
    if (hides_parameter(name))
        warning("Definition of const value \"%s\" hides local parameter", name);
    auto *constant = new ScriptConstant;
    constant->set_name(name, true);
    constant->level = compiler_->scope_level;
    if (value.type == TYPE_DOUBLE)
        constant->set_double(value.double_value);
    else
        constant->set_int(value.int_value);
    compiler_->symbols->insert(constant);
    return true;
}

bool ScriptCodeGen::enum_value(const char *name, const ScriptParseValue *value)
{
    if (value) {
        if (value->type != TYPE_DOUBLE && !is_int_kind(value->type))
            return error("Data type '%s' not supported for enum-definition", script_type_name(value->type));
        enum_counter_ = constant_as_int(*value);
    }
    ScriptParseValue constant{};
    constant.type = TYPE_INT;
    constant.int_value = enum_counter_;
    // Counts on in 32 bits like the constant arithmetic: past INT32_MAX it wraps.
    enum_counter_ = int32_t(uint32_t(enum_counter_) + 1u);
    return define_constant(name, constant);
}

void ScriptCodeGen::const_int(int32_t value, ScriptParseValue *out)
{
    *out = ScriptParseValue{};
    out->type = TYPE_INT;
    out->int_value = value;
}

void ScriptCodeGen::const_double(double value, ScriptParseValue *out)
{
    *out = ScriptParseValue{};
    out->type = TYPE_DOUBLE;
    out->double_value = value;
}

void ScriptCodeGen::const_char(const char *text, ScriptParseValue *out)
{
    *out = ScriptParseValue{};
    out->type = TYPE_CHAR;
    out->int_value = int8_t(text[0]);
}

bool ScriptCodeGen::const_name(const char *name, ScriptParseValue *out)
{
    const ScriptSymbol *symbol = compiler_->find_value_symbol(name);
    if (!symbol)
        return error("Symbol '%s' not found.", name);
    if (symbol->kind() != SYMBOL_CONSTANT)
        return error("Symbol '%s' must be a constant", name);
    const auto *constant = static_cast<const ScriptConstant *>(symbol);
    if (constant->type == TYPE_INT)
        const_int(constant->int_value, out);
    else if (constant->type == TYPE_DOUBLE)
        const_double(constant->double_value, out);
    else
        return error("Illegal type for '%s' in constant integer expression", name);
    return true;
}

bool ScriptCodeGen::const_unary(int op, const ScriptParseValue &a, ScriptParseValue *out)
{
    if (op == '-') {
        if (a.type == TYPE_DOUBLE)
            const_double(-a.double_value, out);
        else
            const_int(int32_t(0u - uint32_t(a.int_value)), out);
        return true;
    }
    const int32_t value = constant_as_int(a);
    const_int(op == '~' ? ~value : !value, out);
    return true;
}

bool ScriptCodeGen::const_binary(int op, const ScriptParseValue &a_in, const ScriptParseValue &b_in,
                                 ScriptParseValue *out)
{
    ScriptParseValue a = a_in;
    ScriptParseValue b = b_in;
    if (op == '+' || op == '-' || op == '*' || op == '/') {
        for (ScriptParseValue *v : {&a, &b}) {
            if (is_int_kind(v->type))
                v->type = TYPE_INT;
            else if (v->type != TYPE_DOUBLE)
                return error("Unable to handle type '%s' in const-expression", script_type_name(v->type));
        }
        if (a.type == TYPE_DOUBLE || b.type == TYPE_DOUBLE) {
            const double x = constant_as_double(a);
            const double y = constant_as_double(b);
            if (op == '/' && y == 0.0)
                return error("Division by zero in double constant expression");
            const_double(op == '+' ? x + y : op == '-' ? x - y : op == '*' ? x * y : x / y, out);
            return true;
        }
        // 32-bit arithmetic that wraps.
        const uint32_t x = uint32_t(a.int_value);
        const uint32_t y = uint32_t(b.int_value);
        int32_t result = 0;
        if (op == '+') {
            result = int32_t(x + y);
        } else if (op == '-') {
            result = int32_t(x - y);
        } else if (op == '*') {
            result = int32_t(x * y);
        } else {
            if (b.int_value == 0)
                return error("Division by zero in integer constant expression");
            result = b.int_value == -1 ? int32_t(0u - x) : a.int_value / b.int_value;
        }
        const_int(result, out);
        return true;
    }

    for (ScriptParseValue *v : {&a, &b}) {
        if (v->type == TYPE_DOUBLE) {
            v->int_value = clamp_to_int32(v->double_value);
            v->type = TYPE_INT;
        }
        if (v->type != TYPE_INT)
            return error("Const-expression requires integer type.");
    }
    const int32_t x = a.int_value;
    const int32_t y = b.int_value;
    int32_t result = 0;
    switch (op) {
    case '%':
        if (y == 0)
            return error("Modulo zero in constant-expression not allowed");
        result = y == -1 ? 0 : x % y;
        break;
    case T_LSHIFT:
        result = int32_t(uint32_t(x) << (y & 31));
        break;
    case T_RSHIFT:
        result = x >> (y & 31);
        break;
    case '|':
        result = x | y;
        break;
    case '^':
        result = x ^ y;
        break;
    default:
        result = x & y;
        break;
    }
    const_int(result, out);
    return true;
}

// ---------------------------------------------------------------- variables

bool ScriptCodeGen::declare_variable(const char *name)
{
    current_variable_ = compiler_->declare_variable(name, decl_type_, decl_struct_, 0, 0, true);
    return current_variable_ != nullptr;
}

bool ScriptCodeGen::declare_array(const char *name, const ScriptParseValue &dim1, const ScriptParseValue &dim2)
{
    int first = 0;
    int second = 0;
    if (!dimension(dim1, &first) || (dim2.token && !dimension(dim2, &second)))
        return false;
    if (!storage_fits(0, script_element_size(decl_type_, decl_struct_), first, second))
        return error("Array too large.");
    current_variable_ = compiler_->declare_variable(name, decl_type_, decl_struct_, first, second, true);
    return current_variable_ != nullptr;
}

// The first dimension comes from the initializer, and the storage with it.
bool ScriptCodeGen::declare_open_array(const char *name, const ScriptParseValue &dim2)
{
    int second = 0;
    if (dim2.token && !dimension(dim2, &second))
        return false;
    if (!storage_fits(0, script_element_size(decl_type_, decl_struct_), 1, second))
        return error("Array too large.");
    current_variable_ = compiler_->declare_variable(name, decl_type_, decl_struct_, 0, second, true);
    if (!current_variable_)
        return false;
    open_array_ = true;
    return true;
}

bool ScriptCodeGen::declare_anonymous_struct_variable(const char *name)
{
    end_struct(keep(("___internal_struct___" + std::to_string(++g_internal_struct_number)).c_str()));
    return declare_variable(name);
}

bool ScriptCodeGen::initialize_with_value(const ScriptParseValue &value)
{
    ScriptVariable *variable = current_variable_;
    if (value.type == TYPE_STRUCT || value.type == TYPE_ARRAY ||
        compiler_->emit_store(variable->address, value.type, variable->type, variable->local != 0, false,
                              variable->tag, false) == TYPE_UNDEFINED)
        return error("Invalid type %d on left side of assignment.", variable->type);
    optimise();
    return true;
}

bool ScriptCodeGen::end_variable()
{
    current_variable_ = nullptr;
    open_array_ = false;
    return true;
}

// ---------------------------------------------------------------- initializers
//
// An initializer compiles to one OP_INIT_LOCAL or OP_INIT_GLOBAL whose data
// bytes are the variable's initial bytes. Array levels append their
// elements; a struct reserves its bytes in zeros first and its members are
// then patched in at their offsets.


namespace {

bool is_scalar_initializable(uint32_t type)
{
    return is_int_kind(type) || type == TYPE_DOUBLE;
}

} // namespace

bool ScriptCodeGen::begin_initializer()
{
    ScriptVariable *variable = current_variable_;
    if (!variable)
        return error("$1.s.var == NULL");
    emit_with_int(variable->local ? OP_INIT_LOCAL : OP_INIT_GLOBAL, int32_t(variable->address));
    count_operand_ = code_position();
    machine_->emit_int(0);
    appended_ = 0;
    init_levels_.clear();

    InitLevel level;
    if (variable->type == TYPE_STRUCT && variable->dim1 < 1 && !open_array_) {
        // The struct's bytes are reserved in zeros; its members are patched in.
        level.struct_type = variable->struct_type;
        level.append = false;
        level.position = code_position();
        emit_zero_bytes(variable->struct_type->size);
        appended_ = 1;
    } else {
        level.element_type = variable->type;
        level.element_struct = variable->struct_type;
        level.element_size = variable->element_size();
        // An open array takes as many elements as it gets; a scalar takes one.
        if (variable->dim1 >= 1)
            level.dimension = variable->dim1;
        else
            level.dimension = open_array_ ? 0 : 1;
    }
    init_levels_.push_back(level);
    return true;
}

void ScriptCodeGen::emit_zero_bytes(int count)
{
    for (int i = 0; i < count; ++i)
        machine_->emit_bytes(0, 1);
}

// Writes one value of the given type, converted, at the position or appended.
void ScriptCodeGen::write_initial_value(uint32_t type, const ScriptParseValue &value, bool append, int32_t position,
                                       const char *truncation_warning)
{
    if (value.type == TYPE_DOUBLE && is_int_kind(type))
        warning("%s", truncation_warning);
    if (type == TYPE_DOUBLE) {
        const double v = constant_as_double(value);
        if (append)
            machine_->emit_double(v);
        else
            machine_->patch_double(v, position);
        return;
    }
    const int32_t v = constant_as_int(value);
    if (type == TYPE_INT) {
        if (append)
            machine_->emit_int(v);
        else
            machine_->patch_int(v, position);
    } else {
        if (append)
            machine_->emit_bytes(v, 1);
        else
            machine_->patch_bytes(v, 1, position);
    }
}

bool ScriptCodeGen::initializer_value(const ScriptParseValue &value)
{
    InitLevel &level = init_levels_.back();
    if (level.struct_type) {
        ScriptVariable *member = level.struct_type->member_at(level.next_member++);
        if (!member)
            return error("Too many 'struct' initializers");
        if (!is_scalar_initializable(member->type))
            return error("Illegal type for initialized 'struct'");
        write_initial_value(member->type, value, false, level.position + int32_t(member->address),
                            "Floating-point 'struct' initializer truncated");
        return true;
    }
    if (level.dimension && level.count >= level.dimension)
        return error("Too many initializers for array");
    if (!is_scalar_initializable(level.element_type))
        return error("Illegal type for initialized array");
    const int32_t position = level.position + level.count * level.element_size;
    ++level.count;
    if (level.append)
        ++appended_;
    write_initial_value(level.element_type, value, level.append, position,
                        "Floating-point array initializer truncated");
    return true;
}

bool ScriptCodeGen::initializer_member_value(const char *name, const ScriptParseValue &value)
{
    const InitLevel &level = init_levels_.back();
    if (!level.struct_type)
        return error("No 'struct' definition");
    ScriptVariable *member = level.struct_type->find_member(name);
    if (!member)
        return error("Component '%s' not found", name);
    if (!is_scalar_initializable(member->type))
        return error("Illegal type for initialized 'struct'");
    write_initial_value(member->type, value, false, level.position + int32_t(member->address),
                        "Floating-point 'struct' initializer truncated");
    return true;
}

// A text inside the outermost braces: one row of a two-dimensional char or byte array.
bool ScriptCodeGen::initializer_text(const char *text)
{
    if (init_levels_.size() != 1)
        return error("Array initializer nested too deep");
    InitLevel &level = init_levels_.back();
    const ScriptVariable *variable = current_variable_;
    if (level.struct_type || variable->dim2 < 1 ||
        (variable->type != TYPE_CHAR && variable->type != TYPE_BYTE))
        return error("Only arrays of 'byte' and 'char' can be initialized in this way");
    if (level.dimension && level.count >= level.dimension)
        return error("Too many initializers for array");
    const int length = int(std::strlen(text)) + 1;
    if (length > variable->dim2)
        return error("Too many characters in initializing string");
    machine_->emit_string(text);
    emit_zero_bytes(variable->dim2 - length);
    ++level.count;
    appended_ += variable->dim2;
    return true;
}

bool ScriptCodeGen::initialize_with_text(const char *text)
{
    ScriptVariable *variable = current_variable_;
    if (variable->type == TYPE_STRUCT)
        return error("String initializer not allowed for 'struct type'");
    if (variable->dim2 >= 1)
        return error("Two-dimensional array needs two-dimensional initializer");
    if (variable->type != TYPE_CHAR && variable->type != TYPE_BYTE)
        return error("Only arrays of 'byte' and 'char' can be initialized in this way");
    const int length = int(std::strlen(text)) + 1;
    if (!open_array_ && length > (variable->dim1 >= 1 ? variable->dim1 : 1))
        return error("Too many characters in initializing string");
    emit_with_int(variable->local ? OP_INIT_LOCAL : OP_INIT_GLOBAL, int32_t(variable->address));
    machine_->emit_int(length);
    machine_->emit_string(text);
    pop(1);
    optimise();
    return !open_array_ || compiler_->allocate_variable(variable, length);
}

bool ScriptCodeGen::open_initializer_level()
{
    if (int(init_levels_.size()) >= kMaxInitLevels)
        return error("Nesting too deep");
    InitLevel &outer = init_levels_.back();
    if (outer.struct_type)
        return error("Internal Error: Variable in initializer missing");
    const ScriptVariable *variable = current_variable_;
    const int dimensions = variable->dim2 >= 1 ? 2 : 1;
    const bool row = outer.dimension_index + 1 < dimensions;
    if (!row && outer.element_type != TYPE_STRUCT)
        return error("Too many levels of initializers");
    if (outer.dimension && outer.count >= outer.dimension)
        return error("Too many initializers for array");

    InitLevel level;
    level.append = outer.append;
    level.position = outer.position + outer.count * (row ? outer.element_size * variable->dim2 : outer.element_size);
    ++outer.count;
    if (row) {
        level.element_type = outer.element_type;
        level.element_struct = outer.element_struct;
        level.element_size = outer.element_size;
        level.dimension = variable->dim2;
        level.dimension_index = outer.dimension_index + 1;
    } else {
        // One element of an array of structs.
        level.struct_type = outer.element_struct;
        if (level.append) {
            level.position = code_position();
            emit_zero_bytes(outer.element_size);
            ++appended_;
            level.append = false;
        }
    }
    init_levels_.push_back(level);
    return true;
}

bool ScriptCodeGen::open_member_initializer(const char *name)
{
    if (int(init_levels_.size()) >= kMaxInitLevels)
        return error("Nesting too deep");
    const InitLevel &outer = init_levels_.back();
    if (!outer.struct_type)
        return error("No 'struct' definition");
    const ScriptVariable *member = outer.struct_type->find_member(name);
    if (!member)
        return error("Component '%s' not found", name);
    InitLevel level;
    level.append = false;
    level.position = outer.position + int32_t(member->address);
    if (member->type == TYPE_STRUCT && member->dim1 < 1) {
        level.struct_type = member->struct_type;
    } else {
        level.element_type = member->type;
        level.element_struct = member->struct_type;
        level.element_size = member->element_size();
        level.dimension = member->dim1 >= 1 ? member->dim1 : 1;
    }
    init_levels_.push_back(level);
    return true;
}

bool ScriptCodeGen::close_initializer_level()
{
    const InitLevel level = init_levels_.back();
    init_levels_.pop_back();
    // A nested list pads the rest of its dimension with zero elements.
    if (!level.struct_type && level.append && level.dimension > level.count) {
        emit_zero_bytes((level.dimension - level.count) * level.element_size);
        appended_ += level.dimension - level.count;
    }
    return true;
}

bool ScriptCodeGen::end_initializer()
{
    ScriptVariable *variable = current_variable_;
    const InitLevel level = init_levels_.front();
    init_levels_.clear();
    // An open first dimension holds what the list gave: its elements, or the
    // rows they fill.
    const int element_size = variable->element_size();
    if (open_array_) {
        const int row = variable->dim2 >= 1 ? variable->dim2 : 1;
        if (!compiler_->allocate_variable(variable, (appended_ + row - 1) / row))
            return false;
    }
    // The outermost list is padded with zero elements up to the variable's
    // size like the nested lists, so no element keeps what memory held
    // before.
    if (!level.struct_type && element_size > 0) {
        const int missing = variable->storage_size() / element_size - appended_;
        if (missing > 0) {
            emit_zero_bytes(missing * element_size);
            appended_ += missing;
        }
    }
    machine_->patch_int(element_size * appended_, count_operand_);
    pop(1);
    optimise();
    return true;
}
