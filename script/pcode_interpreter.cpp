// The interpreter of PCodeMachine::run.
//
// The byte code is not run as it stands but from a decoded form that is built
// for the code as it runs and dropped when the code changes: runs of slots in
// code order, so that the slot after a slot is its successor in the code and
// reaching it needs no look-up. A run is decoded from an address when control
// first reaches it and goes on until an instruction that never falls through
// (a jump, a return, the end), the end of the code, or an address that has a
// slot already, to which a link slot leads. A table of one entry per code
// byte gives the slot of every address decoded, so that a jump to any
// address, even into the operands of another instruction, finds or decodes
// the instruction that starts there. A slot holds the handler, its code
// address, the operands already read and widened, the target of a jump (the
// target's slot is looked up once, when the jump is first taken) and the
// number of instructions it stands for: a few common sequences (an address
// push with a load, store or increment; a constant with an operator; a
// comparison with a conditional jump) become one slot that does the work of
// all of them. The end of the code has a slot that ends the run.
// Each slot charges the cycle counter with the instructions it stands for.
//
// Every instruction keeps its checks: operands inside the code (settled when
// the slot is decoded), stack cells against the stack pointer and capacity,
// data addresses against the data memory; they are marked unlikely. A fused
// slot makes all the checks of its instructions before any effect. When one
// fails, or when the cycle limit falls inside it, the slot turns into a link
// to its instructions decoded one by one, which run from there, so that every
// failure is reported exactly as when the instructions run one by one.
//
// Dispatch is a computed goto where the compiler has labels as values, and a
// switch elsewhere.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <vector>

#if defined(__GNUC__)
#define VYR_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define VYR_UNLIKELY(x) (x)
#endif
// A build may choose the switch to test it.
#if !defined(VYR_COMPUTED_GOTO)
#if defined(__GNUC__)
#define VYR_COMPUTED_GOTO 1
#else
#define VYR_COMPUTED_GOTO 0
#endif
#endif

// Handlers with a body of their own; operators and comparisons follow below.
// In the fused sequences "address" is an address push (OP_PUSH_GADDR or
// OP_PUSH_LADDR, long or short) and "constant" any int constant push; each
// comes in a GLOBAL and a LOCAL form.
#define VYR_HANDLERS(X)                                                                             \
    X(LINK) /* goes on at the slot of its target, counting nothing */                               \
    X(END_OF_CODE) X(TRUNCATED) X(NOP)                                                              \
    X(PUSH_INT) X(PUSH_DOUBLE) X(PUSH_LADDR) X(PUSH_GADDR)                                          \
    X(SET_SIZE) X(LOAD_SIZE) X(SIZE_CHK_I_ADD) X(INIT_LOCAL) X(INIT_GLOBAL)                         \
    X(LOAD_LI) X(LOAD_GI) X(LOAD_I) X(LOAD_B) X(LOAD_C) X(LOAD_D)                                   \
    X(STORE_I) X(STORE_B) X(STORE_D) X(STORE_REF)                                                   \
    X(STEP_I_PRE) X(STEP_I_POST) X(STEP_B_PRE) X(STEP_B_POST)                                       \
    X(STEP_C_PRE) X(STEP_C_POST) X(STEP_D_PRE) X(STEP_D_POST) X(COPY)                               \
    X(LOAD_LI_HOOK) X(LOAD_GI_HOOK) X(INT_READ_HOOK) X(DOUBLE_READ_HOOK)                            \
    X(STORE_I_HOOK) X(STORE_D_HOOK) X(NOTIFY_HOOK)                                                  \
    X(I_DIV) X(I_MOD) X(I_NOT) X(I_COMPL)                                                           \
    X(D_ADD) X(D_SUB) X(D_MUL) X(D_DIV) X(D_MOD) X(D_POW)                                           \
    X(D_LAND) X(D_LOR) X(D_EQ) X(D_NE) X(D_GT) X(D_GE) X(D_LT) X(D_LE) X(D_NOT)                     \
    X(I2D) X(D2I) X(D_ABS) X(D_SIN) X(D_COS) X(D_TAN) X(D_ASIN) X(D_ACOS) X(D_ATAN)                 \
    X(D_SIGN) X(D_STEP) X(D_LOG10) X(D_LOG) X(D_EXP) X(D_SQRT)                                      \
    X(POP) X(SWAP) X(DUP) X(OVER)                                                                   \
    X(JMP) X(JZ) X(JNZ) X(JMP_IND) X(JZ_IND) X(JNZ_IND) X(SWITCH)                                   \
    X(CALL) X(RET) X(END) X(FRAME) X(ARG) X(SET_RESULT)                                             \
    /* fused sequences */                                                                           \
    X(SCALE_ADD)    /* constant, OP_I_MUL, OP_I_ADD */                                              \
    X(SWAP_STORE_I) /* OP_SWAP, OP_STORE_I */                                                       \
    X(ARG_K)        /* constant, OP_ARG */                                                          \
    X(SET_RESULT_K) /* constant, OP_SET_RESULT */                                                   \
    X(CALL_K)       /* constant, OP_CALL */                                                         \
    X(ARG_TO_LOCAL) /* constant, OP_ARG, local address, OP_STORE_I */                               \
    X(ARG_TO_LOCAL_FRAME) /* the same and OP_FRAME, whose size is in c */                           \
    X(RETURN_K)     /* constant, OP_SET_RESULT, OP_RET */                                           \
    VYR_VARIABLE_HANDLERS(X, GLOBAL) VYR_VARIABLE_HANDLERS(X, LOCAL)

// Fused sequences on an int variable.
#define VYR_VARIABLE_HANDLERS(X, WHERE)                                                             \
    X(WHERE##_LOAD)       /* address, OP_LOAD_I */                                                  \
    X(WHERE##_STORE)      /* address, OP_STORE_I */                                                 \
    X(WHERE##_ADD)        /* address, OP_LOAD_I, OP_I_ADD */                                        \
    X(WHERE##_ADD_INTO)   /* address, OP_LOAD_I, OP_I_ADD, the same address, OP_STORE_I */          \
    X(WHERE##_SCALE_ADD)  /* address, OP_LOAD_I, constant, OP_I_MUL, OP_I_ADD */                    \
    X(WHERE##_PRE_STEP)   /* address, an int pre-increment or pre-decrement, OP_POP */              \
    X(WHERE##_POST_STEP)  /* address, an int post-increment or post-decrement, OP_POP */            \
    X(WHERE##_PRE_STEP_JUMP)  /* the same and OP_JMP */                                             \
    X(WHERE##_POST_STEP_JUMP)

// Y(name, expression of a and b, X): integer operators that cannot fail.
// Each has a plain handler, one fused with a constant b before it, and one
// for each kind of variable a loaded before that (address, OP_LOAD_I).
#define VYR_INT_OPERATORS(Y, X)                                                                     \
    Y(I_ADD, add_wrapping(a, b), X)                                                                 \
    Y(I_SUB, int32_t(uint32_t(a) - uint32_t(b)), X)                                                 \
    Y(I_MUL, int32_t(uint32_t(a) * uint32_t(b)), X)                                                 \
    Y(I_AND, a & b, X)                                                                              \
    Y(I_OR, a | b, X)                                                                               \
    Y(I_XOR, a ^ b, X)                                                                              \
    Y(I_SHL, int32_t(uint32_t(a) << (b & 31)), X)                                                   \
    Y(I_SHR, a >> (b & 31), X)                                                                      \
    Y(I_LAND, a != 0 && b != 0, X)                                                                  \
    Y(I_LOR, a != 0 || b != 0, X)
#define VYR_OPERATOR_NAMES(name, expression, X) X(name) X(name##_K) X(GLOBAL_##name##_K) X(LOCAL_##name##_K)

// Y(name, operator, X): integer comparisons. Besides the plain handler and
// the one with a constant, each is fused with the conditional jump after it:
// alone, after a constant, and after a variable and a constant. JUMP_IF jumps
// when the comparison holds (OP_JNZ), JUMP_UNLESS when it fails (OP_JZ).
#define VYR_INT_COMPARISONS(Y, X)                                                                   \
    Y(I_EQ, ==, X)                                                                                  \
    Y(I_NE, !=, X)                                                                                  \
    Y(I_GT, >, X)                                                                                   \
    Y(I_GE, >=, X)                                                                                  \
    Y(I_LT, <, X)                                                                                   \
    Y(I_LE, <=, X)
#define VYR_COMPARISON_NAMES(name, op, X)                                                           \
    X(name) X(name##_K) VYR_COMPARISON_JUMP_NAMES(IF, name, X) VYR_COMPARISON_JUMP_NAMES(UNLESS, name, X)
#define VYR_COMPARISON_JUMP_NAMES(SENSE, name, X)                                                   \
    X(JUMP_##SENSE##_##name) X(JUMP_##SENSE##_##name##_K) X(JUMP_##SENSE##_GLOBAL_##name##_K)       \
    X(JUMP_##SENSE##_LOCAL_##name##_K)

#define VYR_EACH_HANDLER(X)                                                                         \
    VYR_HANDLERS(X) VYR_INT_OPERATORS(VYR_OPERATOR_NAMES, X) VYR_INT_COMPARISONS(VYR_COMPARISON_NAMES, X)

namespace {

enum Handler : uint16_t {
#define VYR_HANDLER_ENUM(name) H_##name,
    VYR_EACH_HANDLER(VYR_HANDLER_ENUM)
#undef VYR_HANDLER_ENUM
        handler_count
};

// Offsets from the plain handler of an operator or comparison, in the order
// of the name lists above; a LOCAL handler follows its GLOBAL twin.
constexpr int with_constant = 1;
constexpr int global_with_constant = 2; // operators
constexpr int jump_if = 2;              // comparisons
constexpr int jump_if_constant = 3;
constexpr int jump_if_global_constant = 4;
constexpr int jump_unless = 4; // from a JUMP_IF handler to its JUMP_UNLESS twin
static_assert(H_I_ADD_K - H_I_ADD == with_constant && H_LOCAL_I_ADD_K - H_GLOBAL_I_ADD_K == 1, "operator order");
static_assert(H_JUMP_UNLESS_LOCAL_I_LT_K - H_I_LT == jump_if_global_constant + 1 + jump_unless, "comparison order");

int32_t read_int(const uint8_t *p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Copies a cell word by word: the cell copied was often just given a new low
// word alone, and the processor cannot hand a whole-cell read the word it is
// still storing, so that such a read waits for the store to finish. The
// empty statement keeps the compiler from joining the two reads into one.
void copy_cell(PCodeCell &to, const PCodeCell &from)
{
    int32_t low = from.i;
#if defined(__GNUC__)
    asm("" : "+r"(low));
#endif
    const int32_t high = from.high;
    to.i = low;
    to.high = high;
}

void swap_cells(PCodeCell &a, PCodeCell &b)
{
    PCodeCell t;
    copy_cell(t, a);
    copy_cell(a, b);
    copy_cell(b, t);
}

// Wrapping address arithmetic: data and frame addresses are 32-bit offsets.
int32_t add_wrapping(int32_t a, int32_t b)
{
    return int32_t(uint32_t(a) + uint32_t(b));
}

// Truncation toward zero; NaN and values outside the int range give INT32_MIN,
// the value the processor's own conversion gives, instead of undefined behaviour.
int32_t double_to_int(double v)
{
    if (!(v > -2147483649.0 && v < 2147483648.0))
        return INT32_MIN;
    return int32_t(v);
}

} // namespace

// One decoded instruction or fused sequence.
struct PCodeSlot {
    uint16_t handler; // a Handler
    uint8_t length;   // its code bytes (the initialisers' own count is in b)
    uint8_t cycles;   // instructions it stands for
    int32_t address;  // code address of its first instruction
    int32_t a;        // first operand
    int32_t b;        // second operand; the constant of a fused sequence
    int32_t c;        // code address that a jump leads to
    int32_t target;   // index of the slot of c, -1 until the jump is first taken
    const void *label = nullptr; // the handler's label, with the computed goto
};

namespace {

// The handlers' labels, set by every run before it decodes (machines may run
// on several threads); a slot carries its handler's label, so that dispatch
// reads it from the slot at hand.
std::atomic<const void *const *> handler_labels{nullptr};

PCodeSlot labelled(PCodeSlot slot)
{
    const void *const *labels = handler_labels.load(std::memory_order_relaxed);
    slot.label = labels ? labels[slot.handler] : nullptr;
    return slot;
}

} // namespace

// The decoded form of the code.
struct PCodeDecoded {
    std::vector<int32_t> entry;   // per code address and the end: its slot's index, -1 while not decoded
    std::vector<PCodeSlot> slots; // runs of straight-line code
};

void PCodeDecodedDeleter::operator()(PCodeDecoded *decoded) const
{
    delete decoded;
}

namespace {

// One instruction as read from the code, its operands widened.
struct Instruction {
    int opcode = -1;      // -1: none, the code ends here
    bool cut_off = false; // its operands run past the end of the code
    int32_t length = 0;   // 0 for the initialisers, whose handlers step over their data bytes
    int32_t a = 0;
    int32_t b = 0;
};

Instruction read_instruction(const uint8_t *code, int32_t code_length, int32_t at)
{
    Instruction in;
    if (at >= code_length)
        return in;
    in.opcode = code[at];
    const int32_t available = code_length - at - 1; // operand bytes
    const uint8_t *operands = code + at + 1;
    switch (in.opcode) {
    // Executed, unresolved label jumps and switch tables are one-byte no-ops.
    case OP_JMP_LABEL:
    case OP_JZ_LABEL:
    case OP_JNZ_LABEL:
    case OP_SWITCH_TABLE:
        in.length = 1;
        return in;
    // The data bytes are copied when the instruction runs; a negative count
    // is left to the data check.
    case OP_INIT_LOCAL:
    case OP_INIT_GLOBAL:
        in.cut_off = available < 8;
        if (!in.cut_off) {
            in.a = read_int(operands);
            in.b = read_int(operands + 4);
            in.cut_off = in.b > available - 8;
        }
        return in;
    default:
        break;
    }
    switch (pcode_operands(in.opcode)) {
    case PCodeOperands::none:
        in.length = 1;
        break;
    case PCodeOperands::byte:
        in.length = 2;
        if (available >= 1)
            in.a = operands[0];
        break;
    case PCodeOperands::word: {
        in.length = 3;
        int16_t w = 0;
        if (available >= 2)
            std::memcpy(&w, operands, sizeof w);
        in.a = w;
        break;
    }
    case PCodeOperands::int32:
        in.length = 5;
        if (available >= 4)
            in.a = read_int(operands);
        break;
    case PCodeOperands::float64:
    case PCodeOperands::two_ints:
        in.length = 9;
        if (available >= 8) {
            in.a = read_int(operands);
            in.b = read_int(operands + 4);
        }
        break;
    case PCodeOperands::init_bytes:
    case PCodeOperands::switch_table:
        break; // handled above
    }
    in.cut_off = in.length - 1 > available;
    return in;
}

bool int_constant(const Instruction &in, int32_t *value)
{
    switch (in.opcode) {
    case OP_PUSH_I:
    case OP_PUSH_B:
    case OP_PUSH_W:
        *value = in.a;
        return true;
    case OP_PUSH_NEG_B:
        *value = -in.a;
        return true;
    case OP_PUSH_I0:
    case OP_PUSH_I1:
    case OP_PUSH_I2:
    case OP_PUSH_I3:
        *value = in.opcode - OP_PUSH_I0;
        return true;
    case OP_PUSH_I4:
        *value = 4;
        return true;
    case OP_PUSH_I8:
        *value = 8;
        return true;
    case OP_PUSH_IM1:
        *value = -1;
        return true;
    default:
        return false;
    }
}

bool global_address(const Instruction &in)
{
    return in.opcode == OP_PUSH_GADDR || in.opcode == OP_PUSH_GADDR_B;
}

bool local_address(const Instruction &in)
{
    return in.opcode == OP_PUSH_LADDR || in.opcode == OP_PUSH_LADDR_B;
}

// The change that an int increment or decrement makes, or 0.
int32_t int_step(int opcode)
{
    switch (opcode) {
    case OP_PREINC_I:
    case OP_POSTINC_I:
        return 1;
    case OP_PREDEC_I:
    case OP_POSTDEC_I:
        return -1;
    default:
        return 0;
    }
}

int operator_handler(int opcode)
{
    switch (opcode) {
#define VYR_OPERATOR_CASE(name, expression, X)                                                      \
    case OP_##name:                                                                                 \
        return H_##name;
        VYR_INT_OPERATORS(VYR_OPERATOR_CASE, _)
#undef VYR_OPERATOR_CASE
    default:
        return -1;
    }
}

int comparison_handler(int opcode)
{
    switch (opcode) {
#define VYR_COMPARISON_CASE(name, op, X)                                                            \
    case OP_##name:                                                                                 \
        return H_##name;
        VYR_INT_COMPARISONS(VYR_COMPARISON_CASE, _)
#undef VYR_COMPARISON_CASE
    default:
        return -1;
    }
}

// Fused jumps lead to a slot: their target lies inside the code or at its end.
bool jump_inside(const Instruction &in, int32_t code_length)
{
    return in.a >= 0 && in.a <= code_length;
}

bool conditional_jump(const Instruction &in, int32_t code_length)
{
    return (in.opcode == OP_JZ || in.opcode == OP_JNZ) && jump_inside(in, code_length);
}

// The offset to the JUMP_UNLESS handler for OP_JZ.
int unless(const Instruction &jump)
{
    return jump.opcode == OP_JZ ? jump_unless : 0;
}

// The handler of one instruction alone.
PCodeSlot single_slot(const Instruction &in)
{
    PCodeSlot slot{H_NOP, uint8_t(in.length), 1, 0, in.a, in.b, 0, -1};
    if (in.cut_off) {
        slot.handler = H_TRUNCATED;
        return slot;
    }
    int32_t constant;
    if (int_constant(in, &constant)) {
        slot.handler = H_PUSH_INT;
        slot.a = constant;
        return slot;
    }
    const int op = operator_handler(in.opcode);
    if (op >= 0) {
        slot.handler = uint16_t(op);
        return slot;
    }
    const int comparison = comparison_handler(in.opcode);
    if (comparison >= 0) {
        slot.handler = uint16_t(comparison);
        return slot;
    }
    const auto double_bits = [&slot](double v) {
        std::memcpy(&slot.a, &v, 4);
        std::memcpy(&slot.b, reinterpret_cast<const uint8_t *>(&v) + 4, 4);
    };
    switch (in.opcode) {
    case OP_PUSH_D:
        slot.handler = H_PUSH_DOUBLE;
        break;
    case OP_PUSH_D0:
        slot.handler = H_PUSH_DOUBLE;
        double_bits(0.0);
        break;
    case OP_PUSH_D1:
        slot.handler = H_PUSH_DOUBLE;
        double_bits(1.0);
        break;
    case OP_PUSH_LADDR:
    case OP_PUSH_LADDR_B: slot.handler = H_PUSH_LADDR; break;
    case OP_PUSH_GADDR:
    case OP_PUSH_GADDR_B: slot.handler = H_PUSH_GADDR; break;
    case OP_SET_SIZE:
    case OP_SET_SIZE_B: slot.handler = H_SET_SIZE; break;
    case OP_LOAD_SIZE: slot.handler = H_LOAD_SIZE; break;
    case OP_SIZE_CHK_I_ADD: slot.handler = H_SIZE_CHK_I_ADD; break;
    case OP_INIT_LOCAL: slot.handler = H_INIT_LOCAL; break;
    case OP_INIT_GLOBAL: slot.handler = H_INIT_GLOBAL; break;
    case OP_LOAD_LI: slot.handler = H_LOAD_LI; break;
    case OP_LOAD_GI: slot.handler = H_LOAD_GI; break;
    case OP_LOAD_I: slot.handler = H_LOAD_I; break;
    case OP_LOAD_B: slot.handler = H_LOAD_B; break;
    case OP_LOAD_C: slot.handler = H_LOAD_C; break;
    case OP_LOAD_D: slot.handler = H_LOAD_D; break;
    case OP_STORE_I: slot.handler = H_STORE_I; break;
    case OP_STORE_B: slot.handler = H_STORE_B; break;
    case OP_STORE_D: slot.handler = H_STORE_D; break;
    case OP_STORE_REF: slot.handler = H_STORE_REF; break;
    case OP_PREINC_I: slot = {H_STEP_I_PRE, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_PREDEC_I: slot = {H_STEP_I_PRE, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_POSTINC_I: slot = {H_STEP_I_POST, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_POSTDEC_I: slot = {H_STEP_I_POST, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_PREINC_B: slot = {H_STEP_B_PRE, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_PREDEC_B: slot = {H_STEP_B_PRE, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_POSTINC_B: slot = {H_STEP_B_POST, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_POSTDEC_B: slot = {H_STEP_B_POST, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_PREINC_C: slot = {H_STEP_C_PRE, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_PREDEC_C: slot = {H_STEP_C_PRE, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_POSTINC_C: slot = {H_STEP_C_POST, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_POSTDEC_C: slot = {H_STEP_C_POST, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_PREINC_D: slot = {H_STEP_D_PRE, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_PREDEC_D: slot = {H_STEP_D_PRE, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_POSTINC_D: slot = {H_STEP_D_POST, 1, 1, 0, 0, 1, 0, -1}; break;
    case OP_POSTDEC_D: slot = {H_STEP_D_POST, 1, 1, 0, 0, -1, 0, -1}; break;
    case OP_COPY:
    case OP_COPY_S: slot.handler = H_COPY; break;
    case OP_LOAD_LI_HOOK: slot.handler = H_LOAD_LI_HOOK; break;
    case OP_LOAD_GI_HOOK: slot.handler = H_LOAD_GI_HOOK; break;
    // The read hooks get the operand in a and the access kind in b.
    case OP_LOAD_I_HOOK: slot = {H_INT_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_READ, 0, -1}; break;
    case OP_PREINC_I_HOOK: slot = {H_INT_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_PRE_INCREMENT, 0, -1}; break;
    case OP_PREDEC_I_HOOK: slot = {H_INT_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_PRE_DECREMENT, 0, -1}; break;
    case OP_POSTINC_I_HOOK: slot = {H_INT_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_POST_INCREMENT, 0, -1}; break;
    case OP_POSTDEC_I_HOOK: slot = {H_INT_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_POST_DECREMENT, 0, -1}; break;
    case OP_LOAD_D_HOOK: slot = {H_DOUBLE_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_READ, 0, -1}; break;
    case OP_PREINC_D_HOOK: slot = {H_DOUBLE_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_PRE_INCREMENT, 0, -1}; break;
    case OP_PREDEC_D_HOOK: slot = {H_DOUBLE_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_PRE_DECREMENT, 0, -1}; break;
    case OP_POSTINC_D_HOOK: slot = {H_DOUBLE_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_POST_INCREMENT, 0, -1}; break;
    case OP_POSTDEC_D_HOOK: slot = {H_DOUBLE_READ_HOOK, 5, 1, 0, in.a, PCODE_ACCESS_POST_DECREMENT, 0, -1}; break;
    case OP_STORE_I_HOOK: slot.handler = H_STORE_I_HOOK; break;
    case OP_STORE_D_HOOK: slot.handler = H_STORE_D_HOOK; break;
    case OP_NOTIFY_HOOK: slot.handler = H_NOTIFY_HOOK; break;
    case OP_I_DIV: slot.handler = H_I_DIV; break;
    case OP_I_MOD: slot.handler = H_I_MOD; break;
    case OP_I_NOT: slot.handler = H_I_NOT; break;
    case OP_I_COMPL: slot.handler = H_I_COMPL; break;
    case OP_D_ADD: slot.handler = H_D_ADD; break;
    case OP_D_SUB: slot.handler = H_D_SUB; break;
    case OP_D_MUL: slot.handler = H_D_MUL; break;
    case OP_D_DIV: slot.handler = H_D_DIV; break;
    case OP_D_MOD: slot.handler = H_D_MOD; break;
    case OP_D_POW: slot.handler = H_D_POW; break;
    case OP_D_LAND: slot.handler = H_D_LAND; break;
    case OP_D_LOR: slot.handler = H_D_LOR; break;
    case OP_D_EQ: slot.handler = H_D_EQ; break;
    case OP_D_NE: slot.handler = H_D_NE; break;
    case OP_D_GT: slot.handler = H_D_GT; break;
    case OP_D_GE: slot.handler = H_D_GE; break;
    case OP_D_LT: slot.handler = H_D_LT; break;
    case OP_D_LE: slot.handler = H_D_LE; break;
    case OP_D_NOT: slot.handler = H_D_NOT; break;
    case OP_I2D: slot.handler = H_I2D; break;
    case OP_D2I: slot.handler = H_D2I; break;
    case OP_D_ABS:
    case OP_D_ABS2: slot.handler = H_D_ABS; break;
    case OP_D_SIN: slot.handler = H_D_SIN; break;
    case OP_D_COS: slot.handler = H_D_COS; break;
    case OP_D_TAN: slot.handler = H_D_TAN; break;
    case OP_D_ASIN: slot.handler = H_D_ASIN; break;
    case OP_D_ACOS: slot.handler = H_D_ACOS; break;
    case OP_D_ATAN: slot.handler = H_D_ATAN; break;
    case OP_D_SIGN: slot.handler = H_D_SIGN; break;
    case OP_D_STEP: slot.handler = H_D_STEP; break;
    case OP_D_LOG10: slot.handler = H_D_LOG10; break;
    case OP_D_LOG: slot.handler = H_D_LOG; break;
    case OP_D_EXP: slot.handler = H_D_EXP; break;
    case OP_D_SQRT: slot.handler = H_D_SQRT; break;
    // The pops carry their count in a.
    case OP_POP: slot = {H_POP, 1, 1, 0, 1, 0, 0, -1}; break;
    case OP_POP2:
    case OP_POP3:
    case OP_POP4:
    case OP_POP5: slot = {H_POP, 1, 1, 0, in.opcode - OP_POP2 + 2, 0, 0, -1}; break;
    case OP_POPN: slot.handler = H_POP; break;
    case OP_SWAP: slot.handler = H_SWAP; break;
    case OP_DUP: slot.handler = H_DUP; break;
    case OP_OVER: slot.handler = H_OVER; break;
    // Jumps carry their target in c, as the fused ones do.
    case OP_JMP: slot = {H_JMP, 5, 1, 0, in.a, 0, in.a, -1}; break;
    case OP_JZ: slot = {H_JZ, 5, 1, 0, in.a, 0, in.a, -1}; break;
    case OP_JNZ: slot = {H_JNZ, 5, 1, 0, in.a, 0, in.a, -1}; break;
    case OP_JMP_IND: slot.handler = H_JMP_IND; break;
    case OP_JZ_IND: slot.handler = H_JZ_IND; break;
    case OP_JNZ_IND: slot.handler = H_JNZ_IND; break;
    case OP_SWITCH: slot.handler = H_SWITCH; break;
    case OP_CALL: slot.handler = H_CALL; break;
    case OP_RET: slot.handler = H_RET; break;
    case OP_END: slot.handler = H_END; break;
    case OP_FRAME: slot.handler = H_FRAME; break;
    case OP_ARG: slot.handler = H_ARG; break;
    case OP_SET_RESULT: slot.handler = H_SET_RESULT; break;
    default: break; // no-ops
    }
    return slot;
}

// The instructions from an address on, as far as the longest fused sequence
// reaches; the end of the code, a cut-off instruction or an initialiser ends
// them.
struct Sequence {
    static constexpr int longest = 5;
    Instruction in[longest];
    int count = 0;

    Sequence(const uint8_t *code, int32_t code_length, int32_t at)
    {
        while (count < longest) {
            in[count] = read_instruction(code, code_length, at);
            if (in[count].opcode < 0 || in[count].cut_off || in[count].length == 0)
                break;
            at += in[count++].length;
        }
    }
    // The opcode of instruction k, or -1.
    int op(int k) const { return k < count ? in[k].opcode : -1; }
};

// The fused slot for the sequence, or false. Global variables are fused only
// when they lie in the data memory, which never shrinks; their slots need no
// data check.
bool fused_slot(const Sequence &seq, int32_t code_length, uint64_t data_size, PCodeSlot *slot)
{
    if (seq.count < 2)
        return false;
    const Instruction &first = seq.in[0];
    const auto make = [&](int handler, int count, int32_t a, int32_t b, int32_t c) {
        int32_t length = 0;
        for (int k = 0; k < count; ++k)
            length += seq.in[k].length;
        *slot = PCodeSlot{uint16_t(handler), uint8_t(length), uint8_t(count), 0, a, b, c, -1};
        return true;
    };
    int32_t constant;
    const bool local = local_address(first);
    if (local || (global_address(first) && uint64_t(uint32_t(first.a)) + 4 <= data_size)) {
        const int32_t at = first.a;
        const int where = local ? 1 : 0; // LOCAL handlers follow their GLOBAL twins
        const auto variable = [where](int global_handler, int local_handler) {
            return where ? local_handler : global_handler;
        };
        if (seq.op(1) == OP_LOAD_I) {
            if (seq.count >= 5 && int_constant(seq.in[2], &constant)) {
                const int comparison = comparison_handler(seq.op(3));
                if (comparison >= 0 && conditional_jump(seq.in[4], code_length))
                    return make(comparison + jump_if_global_constant + where + unless(seq.in[4]), 5, at, constant,
                                seq.in[4].a);
                if (seq.op(3) == OP_I_MUL && seq.op(4) == OP_I_ADD)
                    return make(variable(H_GLOBAL_SCALE_ADD, H_LOCAL_SCALE_ADD), 5, at, constant, 0);
            }
            if (seq.count >= 4 && int_constant(seq.in[2], &constant) && operator_handler(seq.op(3)) >= 0)
                return make(operator_handler(seq.op(3)) + global_with_constant + where, 4, at, constant, 0);
            if (seq.op(2) == OP_I_ADD) {
                if (seq.op(4) == OP_STORE_I && local_address(seq.in[3]) == local
                    && (local || global_address(seq.in[3])) && seq.in[3].a == at)
                    return make(variable(H_GLOBAL_ADD_INTO, H_LOCAL_ADD_INTO), 5, at, 0, 0);
                return make(variable(H_GLOBAL_ADD, H_LOCAL_ADD), 3, at, 0, 0);
            }
            return make(variable(H_GLOBAL_LOAD, H_LOCAL_LOAD), 2, at, 0, 0);
        }
        if (seq.op(1) == OP_STORE_I)
            return make(variable(H_GLOBAL_STORE, H_LOCAL_STORE), 2, at, 0, 0);
        if (int_step(seq.op(1)) != 0 && seq.op(2) == OP_POP) {
            const bool post = seq.op(1) == OP_POSTINC_I || seq.op(1) == OP_POSTDEC_I;
            if (seq.op(3) == OP_JMP && jump_inside(seq.in[3], code_length))
                return make(post ? variable(H_GLOBAL_POST_STEP_JUMP, H_LOCAL_POST_STEP_JUMP)
                                 : variable(H_GLOBAL_PRE_STEP_JUMP, H_LOCAL_PRE_STEP_JUMP),
                            4, at, int_step(seq.op(1)), seq.in[3].a);
            return make(post ? variable(H_GLOBAL_POST_STEP, H_LOCAL_POST_STEP)
                             : variable(H_GLOBAL_PRE_STEP, H_LOCAL_PRE_STEP),
                        3, at, int_step(seq.op(1)), 0);
        }
        return false;
    }
    if (int_constant(first, &constant)) {
        const int comparison = comparison_handler(seq.op(1));
        if (comparison >= 0) {
            if (seq.count >= 3 && conditional_jump(seq.in[2], code_length))
                return make(comparison + jump_if_constant + unless(seq.in[2]), 3, 0, constant, seq.in[2].a);
            return make(comparison + with_constant, 2, 0, constant, 0);
        }
        if (seq.op(1) == OP_I_MUL && seq.op(2) == OP_I_ADD)
            return make(H_SCALE_ADD, 3, 0, constant, 0);
        if (operator_handler(seq.op(1)) >= 0)
            return make(operator_handler(seq.op(1)) + with_constant, 2, 0, constant, 0);
        if (seq.op(1) == OP_ARG) {
            if (seq.count >= 4 && local_address(seq.in[2]) && seq.op(3) == OP_STORE_I) {
                if (seq.op(4) == OP_FRAME)
                    return make(H_ARG_TO_LOCAL_FRAME, 5, seq.in[2].a, constant, seq.in[4].a);
                return make(H_ARG_TO_LOCAL, 4, seq.in[2].a, constant, 0);
            }
            return make(H_ARG_K, 2, 0, constant, 0);
        }
        if (seq.op(1) == OP_SET_RESULT) {
            if (seq.op(2) == OP_RET)
                return make(H_RETURN_K, 3, 0, constant, 0);
            return make(H_SET_RESULT_K, 2, 0, constant, 0);
        }
        if (seq.op(1) == OP_CALL)
            return make(H_CALL_K, 2, 0, constant, 0);
        return false;
    }
    if (comparison_handler(first.opcode) >= 0 && conditional_jump(seq.in[1], code_length))
        return make(comparison_handler(first.opcode) + jump_if + unless(seq.in[1]), 2, 0, 0, seq.in[1].a);
    if (first.opcode == OP_SWAP && seq.op(1) == OP_STORE_I)
        return make(H_SWAP_STORE_I, 2, 0, 0, 0);
    return false;
}

} // namespace

namespace {

// Whether control can go on from the slot to the instruction after it.
bool falls_through(int handler)
{
    switch (handler) {
    case H_LINK:
    case H_END_OF_CODE:
    case H_TRUNCATED:
    case H_JMP:
    case H_JMP_IND:
    case H_RET:
    case H_RETURN_K:
    case H_END:
    case H_GLOBAL_PRE_STEP_JUMP:
    case H_GLOBAL_POST_STEP_JUMP:
    case H_LOCAL_PRE_STEP_JUMP:
    case H_LOCAL_POST_STEP_JUMP:
        return false;
    default:
        return true;
    }
}

} // namespace

PCodeDecoded *PCodeMachine::decoded_code()
{
    if (!decoded_) {
        try {
            decoded_.reset(new PCodeDecoded);
            decoded_->entry.assign(size_t(code_length_) + 1, -1);
        } catch (const std::bad_alloc &) {
            decoded_.reset();
        }
    }
    return decoded_.get();
}

int32_t PCodeMachine::decode_run(int32_t address, bool fuse_first)
{
    PCodeDecoded &decoded = *decoded_;
    const int32_t first = int32_t(decoded.slots.size());
    try {
        bool fuse = fuse_first;
        for (int32_t at = address;; fuse = true) {
            int32_t &entry = decoded.entry[size_t(at)];
            if (at != address && entry >= 0) {
                decoded.slots.push_back(labelled(PCodeSlot{H_LINK, 0, 0, at, 0, 0, at, entry}));
                return first;
            }
            if (entry < 0)
                entry = int32_t(decoded.slots.size());
            if (at == code_length_) {
                decoded.slots.push_back(labelled(PCodeSlot{H_END_OF_CODE, 0, 0, at, 0, 0, 0, -1}));
                return first;
            }
            PCodeSlot slot;
            if (!fuse || !fused_slot(Sequence(code_.data(), code_length_, at), code_length_, data_.size(), &slot))
                slot = single_slot(read_instruction(code_.data(), code_length_, at));
            slot.address = at;
            decoded.slots.push_back(labelled(slot));
            if (!falls_through(slot.handler))
                return first;
            // An initialiser's data bytes follow its two operands.
            const bool initialiser = slot.handler == H_INIT_LOCAL || slot.handler == H_INIT_GLOBAL;
            at += initialiser ? 9 + slot.b : slot.length;
        }
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int32_t PCodeMachine::slot_at(int32_t address)
{
    const int32_t index = decoded_->entry[size_t(address)];
    return index >= 0 ? index : decode_run(address, true);
}

int32_t PCodeMachine::defuse(int32_t index)
{
    const int32_t address = decoded_->slots[size_t(index)].address;
    const int32_t unfused = decode_run(address, false);
    if (unfused >= 0)
        decoded_->slots[size_t(index)] = labelled(PCodeSlot{H_LINK, 0, 0, address, 0, 0, address, unfused});
    return unfused;
}

int PCodeMachine::abort_run(const char *format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    report_error(text);
    return -1;
}

int PCodeMachine::run(void *context, int32_t start)
{
    const int start_sp = sp_;
    pc_ = start;
    current_frame_ = 0;
    cycle_counter_ = 0;
    fault_ = false;
    frames_[0] = PCodeFrame{data_high_water_, 0, 0, 0};
    // Reserve room above the globals for the locals of every frame of the run.
    if (int64_t(data_high_water_) + run_data_reserve > data_capacity())
        grow_data_to(std::max<int64_t>(int64_t(data_capacity()) + run_data_reserve,
                                       int64_t(data_top_) + run_data_reserve));

    int result;
    if (start < 0) {
        pc_ = start + 1;
        result = abort_run("Error: Invalid start address %d\n", start);
    } else {
        running_ = true;
        result = execute(context);
        running_ = false;
    }
    // An aborted run leaves the stack as the run found it, so that repeated
    // aborts cannot walk off the stack.
    if (result != 0)
        sp_ = start_sp;
    return result;
}

int PCodeMachine::execute(void *context)
{
    PCodeDecoded *decoded = decoded_code();
    if (!decoded)
        return abort_run("Error: Not enough memory to run the script\n");
    PCodeSlot *slots = decoded->slots.data(); // moves when a run is decoded
    const int32_t *slot_of = decoded->entry.data();
    bool code_kept = true; // by the last native or hook
    uint32_t generation = code_generation_;
    const uint8_t *code = code_.data();
    int32_t code_length = code_length_;
    PCodeCell *const stack = stack_.data();
    uint8_t *data = data_.data();
    uint64_t data_size = data_.size();
    PCodeFrame *const frames = frames_.data();
    PCodeFrame *frame = frames + current_frame_;
    // The current frame's fields that instructions read, kept at hand.
    int32_t local_base = frame->data_base;
    int32_t arg_base = frame->stack_at_call;
    int32_t return_address = frame->return_address;
    PCodeCell *sp = stack + sp_; // the next free cell
    PCodeCell *const stack_end = stack + stack_capacity;
    // Instructions that may still run: the limit less the counter. The
    // counter is the limit less the budget, in 32 bits.
    int64_t limit = cycle_limit_;
    int64_t budget = limit - int64_t(cycle_counter_);
    PCodeSlot *s = nullptr;
    int32_t fault_address = 0; // data access that failed
    int64_t fault_size = 0;

#if VYR_COMPUTED_GOTO
    static const void *const labels[] = {
#define VYR_HANDLER_LABEL(name) &&L_##name,
        VYR_EACH_HANDLER(VYR_HANDLER_LABEL)
#undef VYR_HANDLER_LABEL
    };
    static_assert(sizeof labels / sizeof labels[0] == handler_count, "one label per handler");
    handler_labels.store(labels, std::memory_order_relaxed);
#define HANDLER(name) L_##name:
#define DISPATCH() goto *s->label
#else
#define HANDLER(name) case H_##name:
#define DISPATCH() goto dispatch
#endif

#define HERE s->address
    // Counts the slot's instructions against the limit and runs it.
#define NEXT_AT(slot)                                                                               \
    do {                                                                                            \
        s = (slot);                                                                                 \
        budget -= s->cycles;                                                                        \
        if (VYR_UNLIKELY(budget < 0))                                                               \
            goto out_of_cycles;                                                                     \
        DISPATCH();                                                                                 \
    } while (0)
#define NEXT() NEXT_AT(s + 1)
    // A jump to any address; at or past the end of the code the run ends
    // with the program counter there.
#define JUMP(target)                                                                                \
    do {                                                                                            \
        const int32_t t_ = (target);                                                                \
        if (VYR_UNLIKELY(uint32_t(t_) >= uint32_t(code_length))) {                                  \
            if (t_ < 0) {                                                                           \
                SYNC_FAULT();                                                                       \
                return abort_run("Error: Jump to invalid code address %d\n", t_);                  \
            }                                                                                       \
            SYNC_AT(t_);                                                                            \
            return 0;                                                                               \
        }                                                                                           \
        int32_t i_ = slot_of[t_];                                                                   \
        if (VYR_UNLIKELY(i_ < 0)) {                                                                 \
            i_ = decode_run(t_, true);                                                              \
            if (i_ < 0)                                                                             \
                goto out_of_memory;                                                                 \
            slots = decoded->slots.data();                                                          \
        }                                                                                           \
        NEXT_AT(slots + i_);                                                                        \
    } while (0)
    // The jump of a slot to its target c, whose slot is looked up when the
    // jump is first taken.
#define TAKE_JUMP()                                                                                 \
    do {                                                                                            \
        if (VYR_UNLIKELY(s->target < 0))                                                            \
            goto resolve_jump;                                                                      \
        NEXT_AT(slots + s->target);                                                                 \
    } while (0)
    // A fused slot whose check failed runs again instruction by instruction.
#define DEFUSE() goto defuse

    // Hands the registers back to the object: before natives, hooks and
    // reports. A report sees the program counter just after the failing opcode.
#define SYNC_AT(address)                                                                            \
    (pc_ = (address), sp_ = int(sp - stack), current_frame_ = int(frame - frames), cycle_counter_ = uint32_t(limit - budget))
#define SYNC_FAULT() SYNC_AT(HERE + 1)
    // Takes back what a native or hook may have changed; code that changed is
    // decoded afresh.
#define RELOAD()                                                                                    \
    do {                                                                                            \
        code = code_.data();                                                                        \
        code_length = code_length_;                                                                 \
        data = data_.data();                                                                        \
        data_size = data_.size();                                                           \
        sp = stack + sp_;                                                                                 \
        limit = cycle_limit_;                                                                       \
        budget = limit - int64_t(cycle_counter_);                                                   \
        if (fault_)                                                                                 \
            return -1; /* the failed access has been reported */                                   \
        code_kept = code_generation_ == generation;                                                 \
        if (VYR_UNLIKELY(!code_kept)) {                                                             \
            generation = code_generation_;                                                          \
            for (PCodeFrame *f = frames; f <= frame; ++f)                                           \
                f->return_slot = -1; /* slots of the old decoded form */                            \
            decoded = decoded_code();                                                               \
            if (!decoded)                                                                           \
                return abort_run("Error: Not enough memory to run the script\n");                   \
            slot_of = decoded->entry.data();                                                        \
        }                                                                                           \
        slots = decoded->slots.data();                                                              \
    } while (0)
    // The frame of a script function called from here; the return goes on
    // at the slot after this one.
#define ENTER_FRAME(next)                                                                           \
    do {                                                                                            \
        local_base = add_wrapping(local_base, frame->size);                                         \
        arg_base = int(sp - stack);                                                                 \
        return_address = (next);                                                                    \
        *++frame = PCodeFrame{local_base, 0, return_address, arg_base, int32_t(s - slots) + 1};     \
    } while (0)
    // Leaves the current frame for the caller's.
#define RETURN()                                                                                    \
    do {                                                                                            \
        const int32_t back = return_address;                                                        \
        const int32_t back_slot = frame->return_slot;                                               \
        --frame;                                                                                    \
        local_base = frame->data_base;                                                              \
        arg_base = frame->stack_at_call;                                                            \
        return_address = frame->return_address;                                                     \
        if (VYR_UNLIKELY(back_slot < 0))                                                            \
            JUMP(back);                                                                             \
        NEXT_AT(slots + back_slot);                                                                 \
    } while (0)
    // Goes on after a native or hook: with the slot after this one while the
    // code is unchanged, else at the code address after the instruction.
#define RESUME(next)                                                                                \
    do {                                                                                            \
        if (VYR_UNLIKELY(!code_kept))                                                               \
            JUMP(next);                                                                             \
        NEXT();                                                                                     \
    } while (0)
#define NEED(n)                                                                                     \
    if (VYR_UNLIKELY(sp - stack < (n)))                                                                     \
    goto underflow
#define ROOM(n)                                                                                     \
    if (VYR_UNLIKELY(sp > stack_end - (n)))                                                    \
    goto overflow
#define DATA_OK(address, n) (uint64_t(uint32_t(address)) + uint64_t(n) <= data_size && (n) >= 0)
#define DATA(address, n)                                                                            \
    if (VYR_UNLIKELY(!DATA_OK(address, n))) {                                                       \
        fault_address = (address);                                                                  \
        fault_size = (n);                                                                           \
        goto data_fault;                                                                            \
    }
#define TOP sp[-1]
#define SECOND sp[-2]
#define LOCAL(offset) add_wrapping(local_base, (offset))
    // The variable of a fused slot: a global one was found inside the data
    // memory when the slot was decoded, a local one is checked each time.
#define GLOBAL_ADDRESS s->a
#define GLOBAL_FITS(address) true
#define LOCAL_ADDRESS LOCAL(s->a)
#define LOCAL_FITS(address) DATA_OK(address, 4)
#define LOAD_INT(address) read_int(data + (address))
#define STORE_INT(address, value)                                                                   \
    do {                                                                                            \
        const int32_t v_ = (value);                                                                 \
        std::memcpy(data + (address), &v_, 4);                                                      \
    } while (0)
#define DOUBLE_BINARY(expression)                                                                   \
    {                                                                                               \
        NEED(2);                                                                                    \
        const double a = SECOND.d(), b = TOP.d();                                                   \
        SECOND.set_d(expression);                                                                   \
        --sp;                                                                                       \
        NEXT();                                                                                     \
    }
#define DOUBLE_COMPARE(expression)                                                                  \
    {                                                                                               \
        NEED(2);                                                                                    \
        const double a = SECOND.d(), b = TOP.d();                                                   \
        SECOND.i = (expression) ? 1 : 0;                                                            \
        --sp;                                                                                       \
        NEXT();                                                                                     \
    }
#define DOUBLE_UNARY(expression)                                                                    \
    {                                                                                               \
        NEED(1);                                                                                    \
        const double x = TOP.d();                                                                   \
        TOP.set_d(expression);                                                                      \
        NEXT();                                                                                     \
    }
    // Increments of a value in data memory; T is the memory type, the cell
    // receives the new (pre) or old (post) value.
#define INT_STEP(T, post)                                                                           \
    {                                                                                               \
        NEED(1);                                                                                    \
        const int32_t address = TOP.i;                                                              \
        DATA(address, int64_t(sizeof(T)));                                                          \
        T old;                                                                                      \
        std::memcpy(&old, data + address, sizeof old);                                              \
        const T now = T(uint32_t(old) + uint32_t(s->b));                                            \
        std::memcpy(data + address, &now, sizeof now);                                              \
        TOP.i = int32_t(post ? old : now);                                                          \
        NEXT();                                                                                     \
    }
#define DOUBLE_STEP(post)                                                                           \
    {                                                                                               \
        NEED(1);                                                                                    \
        const int32_t address = TOP.i;                                                              \
        DATA(address, 8);                                                                           \
        double old;                                                                                 \
        std::memcpy(&old, data + address, sizeof old);                                              \
        const double now = old + s->b;                                                              \
        std::memcpy(data + address, &now, sizeof now);                                              \
        TOP.set_d(post ? old : now);                                                                \
        NEXT();                                                                                     \
    }

    JUMP(pc_);

#if !VYR_COMPUTED_GOTO
dispatch:
    switch (s->handler) {
#endif
    HANDLER(LINK)
    {
        NEXT_AT(slots + s->target);
    }
    HANDLER(END_OF_CODE)
    {
        SYNC_AT(HERE);
        return 0;
    }
    HANDLER(TRUNCATED)
    {
        SYNC_FAULT();
        return abort_run("Error: Instruction at code address %d runs past the end of the code\n", HERE);
    }
    HANDLER(NOP)
    {
        NEXT();
    }

    // --- constants and addresses
    HANDLER(PUSH_INT)
    {
        ROOM(1);
        (*sp++).i = s->a;
        NEXT();
    }
    HANDLER(PUSH_DOUBLE)
    {
        ROOM(1);
        std::memcpy(&(*sp).i, &s->a, 4);
        std::memcpy(&(*sp).high, &s->b, 4);
        ++sp;
        NEXT();
    }
    HANDLER(PUSH_LADDR)
    {
        ROOM(1);
        (*sp++) = PCodeCell{LOCAL(s->a), 0};
        NEXT();
    }
    HANDLER(PUSH_GADDR)
    {
        ROOM(1);
        (*sp++) = PCodeCell{s->a, 0};
        NEXT();
    }
    HANDLER(SET_SIZE)
    {
        NEED(1);
        TOP.high = s->a;
        NEXT();
    }
    HANDLER(LOAD_SIZE)
    {
        NEED(1);
        const int32_t address = add_wrapping(TOP.i, 4);
        DATA(address, 4);
        TOP.high = LOAD_INT(address);
        NEXT();
    }
    HANDLER(SIZE_CHK_I_ADD)
    {
        NEED(2);
        uint32_t index = uint32_t(TOP.i);
        if (VYR_UNLIKELY(index >= uint32_t(SECOND.high))) {
            SYNC_AT(HERE + 1);
            report_error("OP_SIZE_CHK_I_ADD: Array bounds violated\n");
            index = 0;
        }
        SECOND.i = add_wrapping(SECOND.i, int32_t(index));
        --sp;
        NEXT();
    }
    HANDLER(INIT_LOCAL)
    HANDLER(INIT_GLOBAL)
    {
        ROOM(1);
        const int32_t n = s->b;
        const int32_t address = s->handler == H_INIT_LOCAL ? LOCAL(s->a) : s->a;
        DATA(address, int64_t(n));
        std::memcpy(data + address, code + HERE + 9, size_t(n));
        (*sp++).i = address;
        NEXT();
    }

    // --- loads, stores and increments
    HANDLER(LOAD_LI)
    HANDLER(LOAD_GI)
    {
        ROOM(1);
        const int32_t address = s->handler == H_LOAD_LI ? LOCAL(s->a) : s->a;
        DATA(address, 4);
        (*sp++).i = LOAD_INT(address);
        NEXT();
    }
    HANDLER(LOAD_I)
    {
        NEED(1);
        const int32_t address = TOP.i;
        DATA(address, 4);
        TOP.i = LOAD_INT(address);
        NEXT();
    }
    HANDLER(LOAD_B)
    {
        NEED(1);
        const int32_t address = TOP.i;
        DATA(address, 1);
        TOP.i = data[address];
        NEXT();
    }
    HANDLER(LOAD_C)
    {
        NEED(1);
        const int32_t address = TOP.i;
        DATA(address, 1);
        TOP.i = int8_t(data[address]);
        NEXT();
    }
    HANDLER(LOAD_D)
    {
        NEED(1);
        const int32_t address = TOP.i;
        DATA(address, 8);
        double v;
        std::memcpy(&v, data + address, sizeof v);
        TOP.set_d(v);
        NEXT();
    }
    HANDLER(STORE_I)
    {
        NEED(2);
        const int32_t address = TOP.i;
        DATA(address, 4);
        STORE_INT(address, SECOND.i);
        sp -= 2;
        NEXT();
    }
    HANDLER(STORE_B)
    {
        NEED(2);
        const int32_t address = TOP.i;
        DATA(address, 1);
        data[address] = uint8_t(SECOND.i);
        sp -= 2;
        NEXT();
    }
    HANDLER(STORE_D)
    {
        NEED(2);
        const int32_t address = TOP.i;
        DATA(address, 8);
        const double v = SECOND.d();
        std::memcpy(data + address, &v, 8);
        sp -= 2;
        NEXT();
    }
    HANDLER(STORE_REF)
    {
        NEED(2);
        const int32_t address = TOP.i;
        DATA(address, 8);
        STORE_INT(address, SECOND.i);
        STORE_INT(address + 4, SECOND.high);
        sp -= 2;
        NEXT();
    }
    HANDLER(STEP_I_PRE) INT_STEP(int32_t, false)
    HANDLER(STEP_I_POST) INT_STEP(int32_t, true)
    HANDLER(STEP_B_PRE) INT_STEP(uint8_t, false)
    HANDLER(STEP_B_POST) INT_STEP(uint8_t, true)
    HANDLER(STEP_C_PRE) INT_STEP(int8_t, false)
    HANDLER(STEP_C_POST) INT_STEP(int8_t, true)
    HANDLER(STEP_D_PRE) DOUBLE_STEP(false)
    HANDLER(STEP_D_POST) DOUBLE_STEP(true)
    HANDLER(COPY)
    {
        NEED(2);
        const int32_t n = s->a;
        const int32_t destination = TOP.i, source = SECOND.i;
        DATA(destination, int64_t(n));
        DATA(source, int64_t(n));
        std::memmove(data + destination, data + source, size_t(n));
        sp -= 2;
        NEXT();
    }

    // --- hooked access to outside variables
    HANDLER(LOAD_LI_HOOK)
    HANDLER(LOAD_GI_HOOK)
    {
        if (hooks_.int_read) {
            ROOM(1);
            const int32_t address = s->handler == H_LOAD_LI_HOOK ? LOCAL(s->a) : s->a;
            const int32_t next = HERE + s->length;
            SYNC_AT(next);
            const int32_t v = hooks_.int_read(hooks_.context, address, PCODE_ACCESS_READ, s->b);
            RELOAD();
            (*sp++).i = v;
            RESUME(next);
        }
        NEXT();
    }
    HANDLER(INT_READ_HOOK)
    {
        NEED(1);
        const int32_t address = (*--sp).i;
        if (hooks_.int_read) {
            const int32_t next = HERE + s->length;
            SYNC_AT(next);
            const int32_t v = hooks_.int_read(hooks_.context, address, s->b, s->a);
            RELOAD();
            (*sp++).i = v;
            RESUME(next);
        }
        NEXT();
    }
    HANDLER(DOUBLE_READ_HOOK)
    {
        NEED(1);
        const int32_t address = (*--sp).i;
        if (hooks_.double_read) {
            const int32_t next = HERE + s->length;
            SYNC_AT(next);
            const double v = hooks_.double_read(hooks_.context, address, s->b, s->a);
            RELOAD();
            (*sp++).set_d(v);
            RESUME(next);
        }
        NEXT();
    }
    HANDLER(STORE_I_HOOK)
    HANDLER(STORE_D_HOOK)
    {
        NEED(1);
        const int32_t address = (*--sp).i;
        // Without the hook the value stays on the stack.
        const bool is_int = s->handler == H_STORE_I_HOOK;
        if (is_int ? hooks_.int_store != nullptr : hooks_.double_store != nullptr) {
            NEED(1);
            const PCodeCell value = (*--sp);
            const int32_t next = HERE + s->length;
            SYNC_AT(next);
            if (is_int)
                hooks_.int_store(hooks_.context, address, s->a, value.i);
            else
                hooks_.double_store(hooks_.context, address, s->a, value.d());
            RELOAD();
            RESUME(next);
        }
        NEXT();
    }
    HANDLER(NOTIFY_HOOK)
    {
        NEED(1);
        const int32_t address = (*--sp).i;
        if (hooks_.address_notify) {
            const int32_t next = HERE + s->length;
            SYNC_AT(next);
            hooks_.address_notify(hooks_.context, address, s->a);
            RELOAD();
            RESUME(next);
        }
        NEXT();
    }

    // --- integer operators
#define VYR_OPERATOR_HANDLERS(name, expression, X)                                                  \
    HANDLER(name)                                                                                   \
    {                                                                                               \
        NEED(2);                                                                                    \
        const int32_t a = SECOND.i, b = TOP.i;                                                      \
        SECOND.i = (expression);                                                                    \
        --sp;                                                                                       \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(name##_K)                                                                               \
    {                                                                                               \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1))                                     \
            DEFUSE();                                                                               \
        const int32_t a = TOP.i, b = s->b;                                                          \
        TOP.i = (expression);                                                                       \
        sp->i = b;                                                                                  \
        NEXT();                                                                                     \
    }                                                                                               \
    VYR_VARIABLE_OPERATOR(GLOBAL, name, expression)                                                 \
    VYR_VARIABLE_OPERATOR(LOCAL, name, expression)
    // The loaded value's cell keeps the address push's high word 0.
#define VYR_VARIABLE_OPERATOR(WHERE, name, expression)                                              \
    HANDLER(WHERE##_##name##_K)                                                                     \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp > stack_end - 2 || !WHERE##_FITS(address)))                             \
            DEFUSE();                                                                               \
        const int32_t a = LOAD_INT(address), b = s->b;                                              \
        sp[1].i = b;                                                                                \
        *sp++ = PCodeCell{(expression), 0};                                                         \
        NEXT();                                                                                     \
    }
    VYR_INT_OPERATORS(VYR_OPERATOR_HANDLERS, _)
#undef VYR_OPERATOR_HANDLERS
#undef VYR_VARIABLE_OPERATOR
#define VYR_COMPARISON_HANDLERS(name, op, X)                                                        \
    HANDLER(name)                                                                                   \
    {                                                                                               \
        NEED(2);                                                                                    \
        SECOND.i = SECOND.i op TOP.i;                                                               \
        --sp;                                                                                       \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(name##_K)                                                                               \
    {                                                                                               \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1))                                     \
            DEFUSE();                                                                               \
        TOP.i = TOP.i op s->b;                                                                      \
        sp->i = s->b;                                                                               \
        NEXT();                                                                                     \
    }                                                                                               \
    VYR_COMPARISON_JUMPS(IF, true, name, op)                                                        \
    VYR_COMPARISON_JUMPS(UNLESS, false, name, op)
    // The comparison's result stays in the cell that the jump popped.
#define VYR_COMPARISON_JUMPS(SENSE, jump_when, name, op)                                            \
    HANDLER(JUMP_##SENSE##_##name)                                                                  \
    {                                                                                               \
        if (VYR_UNLIKELY(sp - stack < 2))                                                           \
            DEFUSE();                                                                               \
        const bool result = SECOND.i op TOP.i;                                                      \
        SECOND.i = result;                                                                          \
        sp -= 2;                                                                                    \
        if (result == jump_when)                                                                    \
            TAKE_JUMP();                                                                            \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(JUMP_##SENSE##_##name##_K)                                                              \
    {                                                                                               \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1))                                     \
            DEFUSE();                                                                               \
        const bool result = TOP.i op s->b;                                                          \
        TOP.i = result;                                                                             \
        sp->i = s->b;                                                                               \
        --sp;                                                                                       \
        if (result == jump_when)                                                                    \
            TAKE_JUMP();                                                                            \
        NEXT();                                                                                     \
    }                                                                                               \
    VYR_VARIABLE_COMPARISON(SENSE, jump_when, GLOBAL, name, op)                                     \
    VYR_VARIABLE_COMPARISON(SENSE, jump_when, LOCAL, name, op)
#define VYR_VARIABLE_COMPARISON(SENSE, jump_when, WHERE, name, op)                                  \
    HANDLER(JUMP_##SENSE##_##WHERE##_##name##_K)                                                    \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp > stack_end - 2 || !WHERE##_FITS(address)))                             \
            DEFUSE();                                                                               \
        const bool result = LOAD_INT(address) op s->b;                                              \
        *sp = PCodeCell{result, 0};                                                                 \
        sp[1].i = s->b;                                                                             \
        if (result == jump_when)                                                                    \
            TAKE_JUMP();                                                                            \
        NEXT();                                                                                     \
    }
    VYR_INT_COMPARISONS(VYR_COMPARISON_HANDLERS, _)
#undef VYR_COMPARISON_HANDLERS
#undef VYR_COMPARISON_JUMPS
#undef VYR_VARIABLE_COMPARISON
    HANDLER(I_DIV)
    HANDLER(I_MOD)
    {
        NEED(2);
        const bool divide = s->handler == H_I_DIV;
        const int32_t a = SECOND.i, b = TOP.i;
        if (VYR_UNLIKELY(b == 0)) {
            SYNC_FAULT();
            return abort_run(divide ? "Error: Integer division by zero\n" : "Error: Integer modulo by zero\n");
        }
        if (VYR_UNLIKELY(a == INT32_MIN && b == -1)) {
            if (divide) {
                SYNC_FAULT();
                return abort_run("Error: Integer overflow in division %d / -1\n", a);
            }
            SECOND.i = 0; // the remainder is 0; the processor would trap on it
        } else {
            SECOND.i = divide ? a / b : a % b;
        }
        --sp;
        NEXT();
    }
    HANDLER(I_NOT)
    {
        NEED(1);
        TOP.i = TOP.i == 0;
        NEXT();
    }
    HANDLER(I_COMPL)
    {
        NEED(1);
        TOP.i = ~TOP.i;
        NEXT();
    }

    // --- double operators
    HANDLER(D_ADD) DOUBLE_BINARY(a + b)
    HANDLER(D_SUB) DOUBLE_BINARY(a - b)
    HANDLER(D_MUL) DOUBLE_BINARY(a * b)
    HANDLER(D_DIV) DOUBLE_BINARY(a / b)
    HANDLER(D_MOD) DOUBLE_BINARY(std::fmod(a, b))
    HANDLER(D_POW) DOUBLE_BINARY(std::pow(a, b))
    HANDLER(D_LAND) DOUBLE_COMPARE(a != 0.0 && b != 0.0)
    HANDLER(D_LOR) DOUBLE_COMPARE(a != 0.0 || b != 0.0)
    HANDLER(D_EQ) DOUBLE_COMPARE(a == b)
    HANDLER(D_NE) DOUBLE_COMPARE(a != b)
    HANDLER(D_GT) DOUBLE_COMPARE(a > b)
    HANDLER(D_GE) DOUBLE_COMPARE(a >= b)
    HANDLER(D_LT) DOUBLE_COMPARE(a < b)
    HANDLER(D_LE) DOUBLE_COMPARE(a <= b)
    HANDLER(D_NOT)
    {
        NEED(1);
        TOP.i = TOP.d() == 0.0;
        NEXT();
    }
    HANDLER(I2D)
    {
        NEED(1);
        TOP.set_d(double(TOP.i));
        NEXT();
    }
    HANDLER(D2I)
    {
        NEED(1);
        TOP.i = double_to_int(TOP.d()); // the high word keeps the double's upper bits
        NEXT();
    }
    HANDLER(D_ABS) DOUBLE_UNARY(std::fabs(x))
    HANDLER(D_SIN) DOUBLE_UNARY(std::sin(x))
    HANDLER(D_COS) DOUBLE_UNARY(std::cos(x))
    HANDLER(D_TAN) DOUBLE_UNARY(std::tan(x))
    HANDLER(D_ASIN) DOUBLE_UNARY(std::asin(x))
    HANDLER(D_ACOS) DOUBLE_UNARY(std::acos(x))
    HANDLER(D_ATAN) DOUBLE_UNARY(std::atan(x))
    HANDLER(D_SIGN) DOUBLE_UNARY(x < 0 ? -1.0 : x > 0 ? 1.0 : 0.0)
    HANDLER(D_STEP) DOUBLE_UNARY(x < 0 ? 0.0 : 1.0)
    HANDLER(D_LOG10) DOUBLE_UNARY(std::log10(x))
    HANDLER(D_LOG) DOUBLE_UNARY(std::log(x))
    HANDLER(D_EXP) DOUBLE_UNARY(std::exp(x))
    HANDLER(D_SQRT) DOUBLE_UNARY(std::sqrt(x))

    // --- stack handling
    HANDLER(POP)
    {
        NEED(s->a);
        sp -= s->a;
        NEXT();
    }
    HANDLER(SWAP)
    {
        NEED(2);
        swap_cells(TOP, SECOND);
        NEXT();
    }
    HANDLER(DUP)
    {
        NEED(1);
        ROOM(1);
        copy_cell(*sp, sp[-1]);
        ++sp;
        NEXT();
    }
    HANDLER(OVER)
    {
        NEED(2);
        ROOM(1);
        copy_cell(*sp, sp[-2]);
        ++sp;
        NEXT();
    }

    // --- control flow
    HANDLER(JMP)
    {
        TAKE_JUMP();
    }
    HANDLER(JZ)
    HANDLER(JNZ)
    {
        NEED(1);
        const bool zero = (*--sp).i == 0;
        if (zero == (s->handler == H_JZ))
            TAKE_JUMP();
        NEXT();
    }
    HANDLER(JMP_IND)
    {
        NEED(1);
        JUMP((*--sp).i);
    }
    HANDLER(JZ_IND)
    HANDLER(JNZ_IND)
    {
        NEED(2);
        const bool zero = TOP.i == 0;
        const int32_t target = SECOND.i;
        sp -= 2;
        if (zero == (s->handler == H_JZ_IND))
            JUMP(target);
        NEXT();
    }
    HANDLER(SWITCH)
    {
        NEED(1);
        const int32_t value = (*--sp).i;
        const int32_t table = s->a;
        const int table_length = table >= 0 && table < code_length && code[table] == OP_SWITCH_TABLE
                                     ? pcode_instruction_length(code + table, code_length - table)
                                     : -1;
        if (table_length < 0 || int64_t(table) + table_length > code_length) {
            SYNC_FAULT();
            return abort_run("Error: No switch table at code address %d\n", table);
        }
        const int32_t n = read_int(code + table + 1);
        for (int32_t k = 0; k < n; ++k) {
            const uint8_t *pair = code + table + 5 + 8 * k;
            if (read_int(pair) == value)
                JUMP(read_int(pair + 4));
        }
        NEXT();
    }
    HANDLER(CALL)
    {
        NEED(1);
        const int32_t number = (*--sp).i;
        if (frame - frames >= frame_capacity - 1) {
            SYNC_FAULT();
            return abort_run("Error: Too many function calls in script interpreter\n");
        }
        const PCodeFunction *entry = function(number);
        if (!entry || !entry->bound()) {
            SYNC_FAULT();
            return abort_run("Error: Call of undefined function %d\n", number);
        }
        const int32_t next = HERE + s->length;
        if (entry->kind == PCodeFunction::native) {
            SYNC_AT(next);
            entry->entry(context);
            RELOAD();
            RESUME(next);
        }
        ENTER_FRAME(next);
        JUMP(entry->code_address);
    }
    HANDLER(CALL_K)
    {
        // Everything that can fail is checked before the call.
        if (VYR_UNLIKELY(sp > stack_end - 1 || frame - frames >= frame_capacity - 1))
            DEFUSE();
        const PCodeFunction *entry = uint32_t(s->b) < functions_.size() ? &functions_[size_t(s->b)] : nullptr;
        if (VYR_UNLIKELY(!entry || !entry->bound()))
            DEFUSE();
        sp->i = s->b;
        const int32_t next = HERE + s->length;
        if (entry->kind == PCodeFunction::native) {
            SYNC_AT(next);
            entry->entry(context);
            RELOAD();
            RESUME(next);
        }
        ENTER_FRAME(next);
        // The slot of the function's code is kept with the address it was
        // found for, so that binding the number anew finds the new code.
        if (VYR_UNLIKELY(s->target < 0 || s->c != entry->code_address))
            goto resolve_call;
        NEXT_AT(slots + s->target);
    }
    HANDLER(RET)
    {
        if (frame == frames) {
            SYNC_FAULT();
            return abort_run("Error: Return without a call in script interpreter\n");
        }
        RETURN();
    }
    HANDLER(END)
    {
        SYNC_AT(HERE + 1);
        return 0;
    }
    HANDLER(FRAME)
    {
        frame->size = s->a;
        NEXT();
    }
    HANDLER(ARG)
    {
        NEED(1);
        const int64_t index = int64_t(arg_base) - TOP.i - 1;
        if (index < 0 || index >= sp - stack) {
            SYNC_FAULT();
            return abort_run("Error: Argument %d outside the operand stack\n", TOP.i);
        }
        copy_cell(TOP, stack[index]);
        NEXT();
    }
    HANDLER(SET_RESULT)
    {
        NEED(2);
        const int64_t index = int64_t(arg_base) - TOP.i;
        if (index < 0 || index >= sp - stack) {
            SYNC_FAULT();
            return abort_run("Error: Result cell %d outside the operand stack\n", TOP.i);
        }
        copy_cell(stack[index], SECOND);
        sp -= 2;
        NEXT();
    }

    // --- fused sequences. They leave in the cells above the stack what their
    // instructions leave there: an aborted run hands back cells that it popped,
    // and later pushes of the low word alone keep the high word.
#define VYR_VARIABLE_FUSED(WHERE)                                                                   \
    HANDLER(WHERE##_LOAD)                                                                           \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp > stack_end - 1 || !WHERE##_FITS(address)))                             \
            DEFUSE();                                                                               \
        *sp++ = PCodeCell{LOAD_INT(address), 0};                                                    \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(WHERE##_STORE)                                                                          \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1 || !WHERE##_FITS(address)))           \
            DEFUSE();                                                                               \
        STORE_INT(address, TOP.i);                                                                  \
        *sp-- = PCodeCell{address, 0};                                                              \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(WHERE##_ADD)                                                                            \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1 || !WHERE##_FITS(address)))           \
            DEFUSE();                                                                               \
        const int32_t v = LOAD_INT(address);                                                        \
        *sp = PCodeCell{v, 0};                                                                      \
        TOP.i = add_wrapping(TOP.i, v);                                                             \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(WHERE##_ADD_INTO)                                                                       \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1 || !WHERE##_FITS(address)))           \
            DEFUSE();                                                                               \
        const int32_t sum = add_wrapping(TOP.i, LOAD_INT(address));                                 \
        STORE_INT(address, sum);                                                                    \
        TOP.i = sum;                                                                                \
        *sp-- = PCodeCell{address, 0};                                                              \
        NEXT();                                                                                     \
    }                                                                                               \
    HANDLER(WHERE##_SCALE_ADD)                                                                      \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 2 || !WHERE##_FITS(address)))           \
            DEFUSE();                                                                               \
        const int32_t product = int32_t(uint32_t(LOAD_INT(address)) * uint32_t(s->b));              \
        *sp = PCodeCell{product, 0};                                                                \
        sp[1].i = s->b;                                                                             \
        TOP.i = add_wrapping(TOP.i, product);                                                       \
        NEXT();                                                                                     \
    }                                                                                               \
    VYR_VARIABLE_STEP(WHERE, WHERE##_PRE_STEP, false, NEXT())                                              \
    VYR_VARIABLE_STEP(WHERE, WHERE##_POST_STEP, true, NEXT())                                              \
    VYR_VARIABLE_STEP(WHERE, WHERE##_PRE_STEP_JUMP, false, TAKE_JUMP())                          \
    VYR_VARIABLE_STEP(WHERE, WHERE##_POST_STEP_JUMP, true, TAKE_JUMP())
    // The popped cell held the new (pre) or old (post) value.
#define VYR_VARIABLE_STEP(WHERE, name, post, next)                                                    \
    HANDLER(name)                                                                                   \
    {                                                                                               \
        const int32_t address = WHERE##_ADDRESS;                                                    \
        if (VYR_UNLIKELY(sp > stack_end - 1 || !WHERE##_FITS(address)))                             \
            DEFUSE();                                                                               \
        const int32_t old = LOAD_INT(address), now = add_wrapping(old, s->b);                       \
        STORE_INT(address, now);                                                                    \
        *sp = PCodeCell{post ? old : now, 0};                                                       \
        next;                                                                                       \
    }
    VYR_VARIABLE_FUSED(GLOBAL)
    VYR_VARIABLE_FUSED(LOCAL)
#undef VYR_VARIABLE_FUSED
#undef VYR_VARIABLE_STEP
    HANDLER(SCALE_ADD)
    {
        if (VYR_UNLIKELY(sp - stack < 2 || sp > stack_end - 1))
            DEFUSE();
        const int32_t product = int32_t(uint32_t(TOP.i) * uint32_t(s->b));
        SECOND.i = add_wrapping(SECOND.i, product);
        TOP.i = product;
        sp->i = s->b;
        --sp;
        NEXT();
    }
    HANDLER(SWAP_STORE_I)
    {
        if (VYR_UNLIKELY(sp - stack < 2 || !DATA_OK(SECOND.i, 4)))
            DEFUSE();
        swap_cells(TOP, SECOND);
        STORE_INT(TOP.i, SECOND.i);
        sp -= 2;
        NEXT();
    }
    HANDLER(ARG_K)
    {
        const int64_t index = int64_t(arg_base) - s->b - 1;
        if (VYR_UNLIKELY(sp > stack_end - 1 || index < 0 || index > sp - stack))
            DEFUSE();
        (*sp).i = s->b; // the constant's cell, which the argument may be
        copy_cell(*sp, stack[index]);
        ++sp;
        NEXT();
    }
    HANDLER(ARG_TO_LOCAL)
    HANDLER(ARG_TO_LOCAL_FRAME)
    {
        const int64_t index = int64_t(arg_base) - s->b - 1;
        const int32_t address = LOCAL_ADDRESS;
        if (VYR_UNLIKELY(sp > stack_end - 2 || index < 0 || index > sp - stack || !LOCAL_FITS(address)))
            DEFUSE();
        (*sp).i = s->b;
        copy_cell(*sp, stack[index]);
        STORE_INT(address, sp->i);
        sp[1] = PCodeCell{address, 0};
        if (s->handler == H_ARG_TO_LOCAL_FRAME)
            frame->size = s->c;
        NEXT();
    }
    HANDLER(RETURN_K)
    {
        const int64_t index = int64_t(arg_base) - s->b;
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1 || index < 0 || index > sp - stack
                         || frame == frames))
            DEFUSE();
        sp->i = s->b;
        copy_cell(stack[index], TOP);
        --sp;
        RETURN();
    }
    HANDLER(SET_RESULT_K)
    {
        const int64_t index = int64_t(arg_base) - s->b;
        if (VYR_UNLIKELY(sp - stack < 1 || sp > stack_end - 1 || index < 0 || index > sp - stack))
            DEFUSE();
        sp->i = s->b;
        copy_cell(stack[index], TOP);
        --sp;
        NEXT();
    }
#if !VYR_COMPUTED_GOTO
    default:
        NEXT(); // not reached: every slot holds a handler
    }
#endif

resolve_jump:
{
    const int32_t target = s->c;
    if (VYR_UNLIKELY(target < 0 || target > code_length))
        JUMP(target); // ends the run as any jump there does
    const int32_t from = int32_t(s - slots);
    const int32_t index = slot_at(target);
    if (index < 0)
        goto out_of_memory;
    slots = decoded->slots.data();
    slots[from].target = index;
    NEXT_AT(slots + index);
}
resolve_call:
{
    const int32_t target = functions_[size_t(s->b)].code_address;
    if (VYR_UNLIKELY(target >= code_length))
        JUMP(target); // ends the run as any jump there does
    const int32_t from = int32_t(s - slots);
    const int32_t index = slot_at(target);
    if (index < 0)
        goto out_of_memory;
    slots = decoded->slots.data();
    slots[from].c = target;
    slots[from].target = index;
    NEXT_AT(slots + index);
}
defuse:
    budget += s->cycles;
unfuse:
{
    const int32_t index = defuse(int32_t(s - slots));
    if (index < 0)
        goto out_of_memory;
    slots = decoded->slots.data();
    NEXT_AT(slots + index);
}
out_of_cycles:
    budget += s->cycles; // not charged: the slot has not run
    // Links and the end of the code count nothing.
    if (s->cycles == 0)
        DISPATCH();
    if (limit == no_cycle_limit) {
        budget += int64_t(1) << 32; // the counter wraps around and never passes the limit
        NEXT_AT(s);
    }
    if (s->cycles > 1)
        goto unfuse; // the limit falls inside the sequence
    // Every instruction counts, no-ops and OP_END included; this one would
    // pass the limit and is not executed.
    SYNC_AT(HERE + 1);
    cycle_counter_ = uint32_t(limit - budget + 1);
    return abort_run("Error: Too many cylces in script interpreter - aborted execution.\n");
out_of_memory:
    SYNC_AT(s ? HERE : pc_); // no slot yet when the first run could not be decoded
    return abort_run("Error: Not enough memory to run the script\n");
underflow:
    SYNC_FAULT();
    return abort_run("Error: Stack underflow in script interpreter\n");
overflow:
    SYNC_FAULT();
    return abort_run("Error: Stack overflow in script interpreter\n");
data_fault:
    SYNC_FAULT();
    return abort_run("Error: Access to data address %d (%lld bytes) outside the data memory of %d bytes\n",
                     fault_address, static_cast<long long>(fault_size), data_capacity());

#undef HANDLER
#undef DISPATCH
#undef HERE
#undef NEXT_AT
#undef NEXT
#undef JUMP
#undef TAKE_JUMP
#undef DEFUSE
#undef SYNC_AT
#undef SYNC_FAULT
#undef RELOAD
#undef ENTER_FRAME
#undef RETURN
#undef RESUME
#undef NEED
#undef ROOM
#undef DATA_OK
#undef DATA
#undef TOP
#undef SECOND
#undef LOCAL
#undef GLOBAL_ADDRESS
#undef GLOBAL_FITS
#undef LOCAL_ADDRESS
#undef LOCAL_FITS
#undef LOAD_INT
#undef STORE_INT
#undef DOUBLE_BINARY
#undef DOUBLE_COMPARE
#undef DOUBLE_UNARY
#undef INT_STEP
#undef DOUBLE_STEP
}
