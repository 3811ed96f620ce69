// Expressions, variable access, calls and assignments.
#include "script/script_code_gen.h"
#include "script/script_code_gen_private.h"

#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_compiler.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"

#include <cstring>

using namespace script_code_gen;


namespace {

bool is_integer_only(int op)
{
    return op == T_LSHIFT || op == T_RSHIFT || op == '|' || op == '^' || op == '&';
}

bool is_comparison_or_logical(int op)
{
    return op == T_EQ || op == T_NE || op == T_GE || op == T_GT || op == T_LE || op == T_LT ||
           op == T_LOGICAL_AND || op == T_LOGICAL_OR;
}

bool is_number(uint32_t type)
{
    return is_int_kind(type) || type == TYPE_DOUBLE;
}

// void wins, then string, then double, then int (for int, char and byte).
uint32_t binary_result_type(uint32_t a, uint32_t b)
{
    if (a == TYPE_VOID || b == TYPE_VOID)
        return TYPE_VOID;
    if (a == TYPE_STRING || b == TYPE_STRING)
        return TYPE_STRING;
    if (a == TYPE_DOUBLE || b == TYPE_DOUBLE)
        return TYPE_DOUBLE;
    if (is_int_kind(a) || is_int_kind(b))
        return TYPE_INT;
    return TYPE_UNDEFINED;
}

int binary_opcode(int op, bool on_doubles)
{
    switch (op) {
    case '+': return on_doubles ? OP_D_ADD : OP_I_ADD;
    case '-': return on_doubles ? OP_D_SUB : OP_I_SUB;
    case '*': return on_doubles ? OP_D_MUL : OP_I_MUL;
    case '/': return on_doubles ? OP_D_DIV : OP_I_DIV;
    case '%': return on_doubles ? OP_D_MOD : OP_I_MOD;
    case T_EQ: return on_doubles ? OP_D_EQ : OP_I_EQ;
    case T_NE: return on_doubles ? OP_D_NE : OP_I_NE;
    case T_GE: return on_doubles ? OP_D_GE : OP_I_GE;
    case T_GT: return on_doubles ? OP_D_GT : OP_I_GT;
    case T_LE: return on_doubles ? OP_D_LE : OP_I_LE;
    case T_LT: return on_doubles ? OP_D_LT : OP_I_LT;
    case T_LOGICAL_AND: return on_doubles ? OP_D_LAND : OP_I_LAND;
    case T_LOGICAL_OR: return on_doubles ? OP_D_LOR : OP_I_LOR;
    case T_LSHIFT: return OP_I_SHL;
    case T_RSHIFT: return OP_I_SHR;
    case '|': return OP_I_OR;
    case '^': return OP_I_XOR;
    case '&': return OP_I_AND;
    }
    return 0;
}

bool is_array_or_struct(uint32_t type)
{
    return type == TYPE_STRUCT || type == TYPE_ARRAY;
}

// Bytes of what a struct or array operand designates: an element of an array
// of structs is one struct, a row one row, a variable all its storage.
int designated_size(const ScriptParseValue &operand)
{
    const ScriptVariable *variable = operand.variable;
    if (operand.indexes == 0)
        return variable->storage_size();
    if (operand.type == TYPE_STRUCT)
        return operand.struct_type ? operand.struct_type->size : 0;
    return variable->element_size() * variable->dim2;
}

} // namespace

void ScriptCodeGen::computed(uint32_t type, ScriptParseValue *out) const
{
    *out = ScriptParseValue{};
    out->type = type;
    out->end_position = code_position();
}

// ---------------------------------------------------------------- constants and names

void ScriptCodeGen::push_int_constant(int32_t value, ScriptParseValue *out)
{
    push_int(value);
    computed(TYPE_INT, out);
    out->value_only = true;
}

void ScriptCodeGen::push_double_constant(double value, ScriptParseValue *out)
{
    push_double(value);
    computed(TYPE_DOUBLE, out);
    out->value_only = true;
}

void ScriptCodeGen::push_char_constant(const char *text, ScriptParseValue *out)
{
    push_int_constant(int8_t(text[0]), out);
}

bool ScriptCodeGen::name_operand(const char *name, ScriptParseValue *out)
{
    ScriptSymbol *symbol = compiler_->find_value_symbol(name);
    if (!symbol)
        return error("Symbol '%s' not found.", name);
    if (symbol->kind() == SYMBOL_CONSTANT) {
        const auto *constant = static_cast<ScriptConstant *>(symbol);
        if (constant->type == TYPE_DOUBLE)
            push_double_constant(constant->double_value, out);
        else
            push_int_constant(constant->int_value, out);
        out->text = name;
        return true;
    }
    auto *variable = static_cast<ScriptVariable *>(symbol);
    *out = ScriptParseValue{};
    out->text = name;
    out->variable = variable;
    out->type = variable->dim1 >= 1 ? TYPE_ARRAY : variable->type;
    out->struct_type = variable->struct_type;
    out->address = variable->address;
    out->tag = variable->tag;
    out->local = variable->local != 0;
    out->reference = variable->reference;
    out->end_position = code_position();
    return true;
}

// ---------------------------------------------------------------- members and elements

bool ScriptCodeGen::member(const ScriptParseValue &base, const char *name, ScriptParseValue *out)
{
    if (base.type != TYPE_STRUCT || !base.struct_type)
        return error("Operator '.' is only valid on right side of struct.");
    ScriptVariable *component = base.struct_type->find_member(name);
    if (!component)
        return error("Component '%s' not found in struct '%s'.", name, base.struct_type->name());

    ScriptParseValue result = base;
    result.text = name;
    result.variable = component;
    result.type = component->dim1 >= 1 ? TYPE_ARRAY : component->type;
    result.struct_type = component->struct_type;
    result.tag = base.tag + component->tag;
    result.indexes = 0;
    if (base.address_on_stack || base.reference) {
        // The struct's address is known only at run time: add the offset there.
        if (!base.address_on_stack) {
            push_address(base.address, base.local);
            emit(OP_LOAD_I);
        }
        if (component->address != 0) {
            push_int(int32_t(component->address));
            emit(OP_I_ADD);
            optimise();
        }
        result.address = 0;
        result.address_on_stack = true;
        result.reference = false;
    } else {
        result.address = base.address + component->address;
        result.reference = component->reference;
    }
    result.end_position = code_position();
    *out = result;
    return true;
}

// The address of an array, with its size bound when bounds are checked.
void ScriptCodeGen::push_pointer(const ScriptParseValue &operand)
{
    push_address(operand.address, operand.local);
    if (operand.reference) {
        if (bounds_check())
            emit(OP_LOAD_SIZE);
        emit(OP_LOAD_I);
    } else if (bounds_check()) {
        set_size(operand.variable->storage_size());
    }
}

// An array member whose address was computed at run time (through a
// reference or an element of an array of structs) gets its own size bound:
// the address it was computed from carries none that fits it.
void ScriptCodeGen::bound_member_array(const ScriptParseValue &array)
{
    if (bounds_check() && array.address_on_stack && array.indexes == 0)
        set_size(array.variable->storage_size());
}

bool ScriptCodeGen::index_base(const ScriptParseValue &array)
{
    if (array.type != TYPE_ARRAY || !array.variable)
        return error("Left side of [] must be of array type");
    if (array.address_on_stack)
        bound_member_array(array);
    else
        push_pointer(array);
    return true;
}

bool ScriptCodeGen::index(const ScriptParseValue &array, const ScriptParseValue &offset, ScriptParseValue *out)
{
    // A second index needs the row of a two-dimensional array.
    if (array.type != TYPE_ARRAY)
        return error("Left side of [] must be of array type");
    if (!is_int_kind(offset.type))
        return error("Array offset must be of type integer.");
    const ScriptVariable *variable = array.variable;
    // The first index of a two-dimensional array selects a row.
    const bool row = array.indexes == 0 && variable->dim2 >= 1;
    const int scale = row ? variable->element_size() * variable->dim2 : variable->element_size();
    if (scale != 1) {
        push_int(scale);
        emit(OP_I_MUL);
        optimise();
    }
    emit(bounds_check() ? OP_SIZE_CHK_I_ADD : OP_I_ADD);
    const bool folded = optimise(true) != 0;
    // A row selected at run time still carries the whole array's bound, from
    // which a second index could reach past the array: it gets the row's own.
    // (A constant row index folded into the address leaves the rest of the
    // array as the bound already.)
    if (row && bounds_check() && !folded)
        set_size(scale);

    ScriptParseValue result = array;
    result.type = row ? TYPE_ARRAY : variable->type;
    result.struct_type = variable->struct_type;
    result.address = 0;
    result.address_on_stack = true;
    result.reference = false;
    result.indexes = array.indexes + 1;
    result.end_position = code_position();
    *out = result;
    return true;
}

bool ScriptCodeGen::byte_base(const ScriptParseValue &base, ScriptParseValue *out)
{
    if (base.type != TYPE_STRUCT || !base.struct_type)
        return error("Operator '.' is only valid on right side of struct.");
    if (!base.struct_type->find_member("data"))
        return error("Component 'byte' not found in struct '%s'.", base.struct_type->name());
    return member(base, "data", out) && index_base(*out);
}

// ---------------------------------------------------------------- values

// With the compatibility flag a database signal struct stands for its member "Raw".
void ScriptCodeGen::signal_struct_raw(ScriptParseValue *operand)
{
    if (!compiler_->compatibility || operand->type != TYPE_STRUCT || !operand->struct_type)
        return;
    const char *name = operand->struct_type->name();
    if (!name || (std::strcmp(name, "structCandbSignalInt") != 0 && std::strcmp(name, "structCandbSignalFloat") != 0))
        return;
    ScriptVariable *raw = operand->struct_type->find_member("Raw");
    if (!raw)
        return;
    operand->variable = raw;
    operand->tag += raw->tag;
    operand->type = raw->type;
    operand->struct_type = raw->struct_type;
    if (!operand->address_on_stack)
        operand->address += raw->address;
}

bool ScriptCodeGen::load(const ScriptParseValue &operand, ScriptParseValue *out)
{
    if (operand.value_only) {
        *out = operand;
        return true;
    }
    ScriptParseValue value = operand;
    signal_struct_raw(&value);
    if (value.type == TYPE_ARRAY) {
        // An array's value is its address.
        if (value.address_on_stack)
            bound_member_array(value);
        else
            push_pointer(value);
    } else {
        const uint32_t type = compiler_->emit_load(value.address, value.type, value.local, ACCESS_READ,
                                                   value.address_on_stack, value.reference, value.tag);
        if (type == TYPE_UNDEFINED)
            return error("Cannot compute the value of type '%s'.", script_type_name(value.type));
        value.type = type;
    }
    value.end_position = code_position();
    *out = value;
    return true;
}

bool ScriptCodeGen::increment(const ScriptParseValue &operand, int access, ScriptParseValue *out)
{
    const char *op = access == ACCESS_PRE_INCREMENT || access == ACCESS_POST_INCREMENT ? "++" : "--";
    if (operand.value_only)
        return error("Non lvalue not allowed for %s operator.", op);
    if (operand.type == TYPE_ARRAY)
        return error("'%s' not allowed for type '%s'.", op, script_type_name(operand.type));
    const uint32_t type = compiler_->emit_load(operand.address, operand.type, operand.local, access,
                                               operand.address_on_stack, operand.reference, operand.tag);
    if (type != TYPE_INT && type != TYPE_DOUBLE)
        return error("'%s' not allowed for type '%s'.", op, script_type_name(operand.type));
    computed(type, out);
    return true;
}

bool ScriptCodeGen::element_count(const ScriptParseValue &operand, ScriptParseValue *out)
{
    if (operand.type != TYPE_ARRAY || !operand.variable)
        return error("elCount() is not known for this type.");
    if (operand.reference)
        warning("elCount() with reference not implemented");
    // A row of a two-dimensional array counts its elements; its address,
    // computed already, is not needed.
    if (operand.address_on_stack)
        pop(1);
    push_int_constant(operand.indexes > 0 ? operand.variable->dim2 : operand.variable->dim1, out);
    return true;
}

bool ScriptCodeGen::size_of_name(const char *name, ScriptParseValue *out)
{
    const ScriptSymbol *symbol = compiler_->find_symbol(name);
    if (!symbol)
        return error("sizeof(%s) is not known because %s is undefined.", name, name);
    int size = 0;
    switch (symbol->kind()) {
    case SYMBOL_CONSTANT:
        size = static_cast<const ScriptConstant *>(symbol)->type == TYPE_INT ? 4 : 8;
        break;
    case SYMBOL_VARIABLE:
        size = static_cast<const ScriptVariable *>(symbol)->size();
        break;
    case SYMBOL_STRUCT_TYPE:
        size = static_cast<const ScriptStructType *>(symbol)->size;
        break;
    default:
        return error("sizeof(%s) is not known for this type.", name);
    }
    push_int_constant(size, out);
    return true;
}

// ---------------------------------------------------------------- operators

bool ScriptCodeGen::unary(int op, const ScriptParseValue &a, ScriptParseValue *out)
{
    if (op == '~') {
        if (!is_int_kind(a.type))
            return error("'~' not allowed for type '%s'.", script_type_name(a.type));
        emit(OP_I_COMPL);
        computed(TYPE_INT, out);
        return true;
    }
    if (a.type == TYPE_VOID)
        return error("'void' type not allowed for '-'");
    if (!is_number(a.type))
        return error("Unary '-' not allowed");
    const bool on_double = a.type == TYPE_DOUBLE;
    if (op == '-') {
        if (on_double)
            push_double(0.0);
        else
            push_int(0);
        emit(OP_SWAP);
        emit(on_double ? OP_D_SUB : OP_I_SUB);
        optimise();
        computed(on_double ? TYPE_DOUBLE : TYPE_INT, out);
    } else {
        emit(on_double ? OP_D_NOT : OP_I_NOT);
        computed(TYPE_INT, out);
    }
    return true;
}

bool ScriptCodeGen::cast(uint32_t type, const ScriptParseValue &a, ScriptParseValue *out)
{
    if (!is_number(a.type))
        return error(type == TYPE_DOUBLE ? "Invalid type for casting to 'double'" : "Invalid type for casting to 'int'");
    if (type == TYPE_DOUBLE && a.type != TYPE_DOUBLE)
        insert(OP_I2D, a.end_position);
    else if (type == TYPE_INT && a.type == TYPE_DOUBLE)
        insert(OP_D2I, a.end_position);
    computed(type, out);
    return true;
}

bool ScriptCodeGen::binary(int op, const ScriptParseValue &a, const ScriptParseValue &b, ScriptParseValue *out)
{
    // An array plus or minus an int is an address further on.
    if (a.type == TYPE_ARRAY && a.variable && (op == '+' || op == '-')) {
        if (!is_int_kind(b.type))
            return error("Array offset must be of type integer.");
        const int size = a.variable->element_size();
        if (size != 1) {
            push_int(size);
            emit(OP_I_MUL);
            optimise();
        }
        emit(op == '+' ? OP_I_ADD : OP_I_SUB);
        optimise();
        *out = a;
        out->address_on_stack = true;
        out->end_position = code_position();
        return true;
    }

    const uint32_t result = binary_result_type(a.type, b.type);
    if (result == TYPE_VOID)
        return error("'void' type not allowed in binary operation");

    if (is_integer_only(op)) {
        // Only ints and doubles convert to int: strings, structs and arrays
        // are refused even in pairs, as by the other operators.
        if (!is_number(a.type) || !is_number(b.type))
            return error("Invalid data types (%s,%s) for binary integer-operator", script_type_name(a.type),
                         script_type_name(b.type));
        // The left operand's conversion goes right after its own code.
        if (a.type == TYPE_DOUBLE)
            insert(OP_D2I, a.end_position);
        if (b.type == TYPE_DOUBLE)
            emit(OP_D2I);
        emit(binary_opcode(op, false));
        optimise();
        computed(TYPE_INT, out);
        return true;
    }

    const bool same_kind = a.type == b.type || (is_int_kind(a.type) && is_int_kind(b.type));
    if (!same_kind) {
        if (result != TYPE_DOUBLE || !is_number(a.type) || !is_number(b.type))
            return error("Invalid data types (%s,%s) for binary operator", script_type_name(a.type),
                         script_type_name(b.type));
        if (a.type != TYPE_DOUBLE)
            insert(OP_I2D, a.end_position);
        if (b.type != TYPE_DOUBLE)
            emit(OP_I2D);
    }
    // Only ints and doubles have operators: two strings, structs or arrays are refused.
    if (!is_number(result))
        return error("Invalid data types (%s,%s) for binary operator", script_type_name(a.type),
                     script_type_name(b.type));
    const bool on_doubles = result == TYPE_DOUBLE;
    emit(binary_opcode(op, on_doubles));
    optimise();
    computed(is_comparison_or_logical(op) ? TYPE_INT : (on_doubles ? TYPE_DOUBLE : TYPE_INT), out);
    return true;
}

// ---------------------------------------------------------------- calls

bool ScriptCodeGen::begin_call(const char *name)
{
    ScriptSymbol *symbol = compiler_->symbols->find(name, 0);
    if (!symbol || symbol->kind() != SYMBOL_FUNCTION)
        return error("Function \"%s\" not defined.", name);
    if (int(calls_.size()) >= kMaxOpenCalls)
        return error("Nesting too deep");
    OpenCall call;
    call.function = static_cast<ScriptFunction *>(symbol);
    calls_.push_back(call);
    push_int(0); // the result cell
    return true;
}

bool ScriptCodeGen::argument_value(const ScriptParseValue &value)
{
    OpenCall &call = calls_.back();
    const ScriptFunction *function = call.function;
    const int i = call.arguments++;
    if (i >= function->param_count())
        return true; // further arguments of a "..." function go as they are
    if (function->param_reference(i) && !function->param_array(i) && value.type != TYPE_STRUCT)
        return error("Parameter %d is a reference parameter; use '&' before it", i + 1);
    const uint32_t type = function->param_type(i);
    if (function->param_array(i))
        return true;
    if (is_int_kind(type) && value.type == TYPE_DOUBLE)
        emit(OP_D2I);
    else if (type == TYPE_DOUBLE && is_int_kind(value.type))
        emit(OP_I2D);
    return true;
}

bool ScriptCodeGen::argument_reference(const char *name)
{
    OpenCall &call = calls_.back();
    const ScriptFunction *function = call.function;
    const int i = call.arguments++;
    ScriptSymbol *symbol = compiler_->find_value_symbol(name);
    if (!symbol)
        return error("Symbol '%s' not found.", name);
    if (symbol->kind() != SYMBOL_VARIABLE || symbol->tag != 0)
        return error("Symbol '%s' cannot be passed as a reference.", name);
    const auto *variable = static_cast<const ScriptVariable *>(symbol);
    push_address(variable->address, variable->local != 0);
    if (variable->reference) {
        // A reference parameter handed on passes the pointer it holds.
        if (bounds_check())
            emit(OP_LOAD_SIZE);
        emit(OP_LOAD_I);
    } else if (bounds_check() && variable->dim1 >= 1) {
        // An array keeps its size bound, against which the callee's indexes are checked.
        set_size(variable->storage_size());
    }
    if (i < function->param_count() && function->param_type(i) != variable->type) {
        // Reported, and the parse goes on; the compilation still fails.
        error("Type of reference parameter %d is %s; expected %s", i + 1, script_type_name(variable->type),
              script_type_name(function->param_type(i)));
        reference_type_error_ = true;
    }
    return true;
}

bool ScriptCodeGen::argument_text(const char *text)
{
    OpenCall &call = calls_.back();
    const ScriptFunction *function = call.function;
    const int i = call.arguments++;
    if (i < function->param_count() && !(function->param_type(i) == TYPE_CHAR && function->param_array(i)))
        return error("Function parameter %d must be of type char[]", i + 1);
    const int32_t length = int32_t(std::strlen(text)) + 1;
    // The text is written into fresh data each time the call runs.
    const int64_t start = compiler_->storage_start();
    if (!compiler_->reserve_storage(start, length))
        return false;
    emit_with_int(in_function() ? OP_INIT_LOCAL : OP_INIT_GLOBAL, int32_t(start));
    machine_->emit_int(length);
    machine_->emit_string(text);
    if (bounds_check())
        set_size(length);
    return true;
}

bool ScriptCodeGen::end_call(ScriptParseValue *out)
{
    const OpenCall call = calls_.back();
    calls_.pop_back();
    const ScriptFunction *function = call.function;
    const int fixed = function->param_count();
    if (function->variadic ? call.arguments < fixed : call.arguments != fixed)
        return error("Invalid parameter count in function call");
    if (function->variadic)
        push_int(call.arguments);
    // The function number always in the long form.
    emit_with_int(OP_PUSH_I, int32_t(function->index));
    emit(OP_CALL);
    pop(call.arguments + (function->variadic ? 1 : 0));
    optimise();
    computed(function->result_type, out);
    return true;
}

// ---------------------------------------------------------------- assignments

bool ScriptCodeGen::assign(const ScriptParseValue &target_in, const ScriptParseValue &value)
{
    if (target_in.value_only)
        return error("Constant '%s' not allowed on left side of assignment.", target_in.text);
    if (value.type == TYPE_VOID)
        return error("'void' type not allowed in assignment");

    if (is_array_or_struct(target_in.type) && is_array_or_struct(value.type)) {
        const ScriptVariable *to = target_in.variable;
        const ScriptVariable *from = value.variable;
        if (!to || !from)
            return error("Structs or array types are not allowed in assignments");
        // Copy the smaller of the two; the source address is on the stack.
        if (target_in.address_on_stack) {
            emit(OP_SWAP);
        } else {
            push_address(target_in.address, target_in.local);
            if (target_in.reference)
                emit(OP_LOAD_I);
        }
        const int to_size = designated_size(target_in);
        const int from_size = designated_size(value);
        emit_with_int(OP_COPY, to_size < from_size ? to_size : from_size);
        warning("Check assign ('%s', '%s', %d, %d, %06x, %06x, al(%d, %d), ref(%d, %d))", to->name(), from->name(),
                to_size, from_size, target_in.address, value.address, target_in.address_on_stack,
                value.address_on_stack, target_in.reference, value.reference);
        optimise();
        return true;
    }
    if (is_array_or_struct(value.type))
        return error("Structs or array types are not allowed in assignments");

    ScriptParseValue target = target_in;
    signal_struct_raw(&target);
    if (compiler_->emit_store(target.address, value.type, target.type, target.local, target.address_on_stack,
                              target.tag, target.reference) == TYPE_UNDEFINED)
        return error("Invalid type %d on left side of assignment.", target.type);
    optimise();
    return true;
}

bool ScriptCodeGen::compound_assign(const ScriptParseValue &target, int op, const ScriptParseValue &value)
{
    if (target.value_only)
        return error("Non lvalue not allowed for += operator.");
    if (value.type == TYPE_VOID)
        return error("'void' type not allowed in assignment");
    if (is_array_or_struct(value.type))
        return error("structs and arrays types are not allowed in assignments");

    const bool integer_only = op == T_MOD_ASSIGN || op == T_OR_ASSIGN || op == T_XOR_ASSIGN ||
                              op == T_AND_ASSIGN || op == T_LSHIFT_ASSIGN || op == T_RSHIFT_ASSIGN;
    if (integer_only) {
        if (target.type == TYPE_DOUBLE)
            return error("lvalue of type 'int' required");
        if (value.type == TYPE_DOUBLE)
            emit(OP_D2I);
    } else if (target.type == TYPE_DOUBLE && is_int_kind(value.type)) {
        emit(OP_I2D);
    } else if (is_int_kind(target.type) && value.type == TYPE_DOUBLE) {
        emit(OP_D2I);
    }

    if (target.address_on_stack)
        emit(OP_OVER);
    const uint32_t loaded = compiler_->emit_load(target.address, target.type, target.local, ACCESS_READ,
                                                 target.address_on_stack, target.reference, target.tag);
    // The target's value goes left of the operator.
    if (op == T_SUB_ASSIGN || op == T_DIV_ASSIGN || op == T_MOD_ASSIGN || op == T_LSHIFT_ASSIGN ||
        op == T_RSHIFT_ASSIGN)
        emit(OP_SWAP);

    static const struct {
        int token;
        int int_op;
        int double_op;
    } kOperators[] = {
        {T_ADD_ASSIGN, OP_I_ADD, OP_D_ADD}, {T_MUL_ASSIGN, OP_I_MUL, OP_D_MUL}, {T_SUB_ASSIGN, OP_I_SUB, OP_D_SUB},
        {T_DIV_ASSIGN, OP_I_DIV, OP_D_DIV}, {T_MOD_ASSIGN, OP_I_MOD, 0},        {T_OR_ASSIGN, OP_I_OR, 0},
        {T_XOR_ASSIGN, OP_I_XOR, 0},        {T_AND_ASSIGN, OP_I_AND, 0},        {T_LSHIFT_ASSIGN, OP_I_SHL, 0},
        {T_RSHIFT_ASSIGN, OP_I_SHR, 0},
    };
    int opcode = 0;
    for (const auto &entry : kOperators)
        if (entry.token == op)
            opcode = loaded == TYPE_INT ? entry.int_op : loaded == TYPE_DOUBLE ? entry.double_op : 0;
    if (opcode == 0)
        return error("Invalid data type - no suited operator available.");
    emit(opcode);
    optimise();

    if (compiler_->emit_store(target.address, target.type, target.type, target.local, target.address_on_stack,
                              target.tag, target.reference) == TYPE_UNDEFINED)
        return error("Invalid type %d on left side of assignment.", target.type);
    optimise();
    return true;
}

void ScriptCodeGen::discard_value()
{
    pop(1);
    optimise();
}
