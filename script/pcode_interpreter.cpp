// The dispatch loop of PCodeMachine::run.
//
// Every instruction checks what it touches: its operands against the end of
// the code, its stack cells against the stack pointer and the stack capacity,
// its data addresses against the data memory. Those checks are the only tests
// on the hot path; the opcode fetch itself needs none, because the loop only
// fetches while the program counter lies inside the code and every jump target
// is checked for a negative address.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

int32_t read_int(const uint8_t *p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

double read_double(const uint8_t *p)
{
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
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
    const uint8_t *code = code_.data();
    int32_t code_length = code_length_;
    PCodeCell *const stack = stack_.data();
    uint8_t *data = data_.data();
    uint64_t data_size = data_.size();
    PCodeFrame *const frames = frames_.data();
    PCodeFrame *frame = frames + current_frame_;
    uint32_t cycles = cycle_counter_;
    int32_t pc = pc_;
    int sp = sp_;
    int32_t op_pc = pc;               // address of the instruction being executed
    int32_t fault_address = 0;        // data access that failed
    int64_t fault_size = 0;

    // Hands the registers back to the object: before natives, hooks and reports.
    // A report sees the program counter just after the failing opcode.
#define SYNC()                                                                                      \
    (pc_ = pc, sp_ = sp, current_frame_ = int(frame - frames), cycle_counter_ = cycles)
#define SYNC_FAULT()                                                                                \
    (pc_ = op_pc + 1, sp_ = sp, current_frame_ = int(frame - frames), cycle_counter_ = cycles)
    // Takes back what a native or hook may have changed.
#define RELOAD()                                                                                    \
    (code = code_.data(), code_length = code_length_, data = data_.data(), data_size = data_.size(), \
     sp = sp_, cycles = cycle_counter_)
#define OPERANDS(n)                                                                                 \
    if (int64_t(code_length) - pc < (n))                                                            \
    goto truncated
#define NEED(n)                                                                                     \
    if (sp < (n))                                                                                   \
    goto underflow
#define ROOM(n)                                                                                     \
    if (sp > stack_capacity - (n))                                                                  \
    goto overflow
#define DATA(address, n)                                                                            \
    if (uint64_t(uint32_t(address)) + uint64_t(n) > data_size || (n) < 0) {                       \
        fault_address = (address);                                                                  \
        fault_size = (n);                                                                           \
        goto data_fault;                                                                            \
    }
#define JUMP(target)                                                                                \
    do {                                                                                            \
        const int32_t t_ = (target);                                                                \
        if (t_ < 0) {                                                                               \
            SYNC_FAULT();                                                                           \
            return abort_run("Error: Jump to invalid code address %d\n", t_);                      \
        }                                                                                           \
        pc = t_;                                                                                    \
    } while (0)
#define TOP stack[sp - 1]
#define SECOND stack[sp - 2]
#define LOCAL(offset) add_wrapping(frame->data_base, (offset))
    // Two-operand operators: a = second, b = top, result into second, pop once.
#define INT_BINARY(expr)                                                                            \
    {                                                                                               \
        NEED(2);                                                                                    \
        const int32_t a = SECOND.i, b = TOP.i;                                                      \
        SECOND.i = (expr);                                                                          \
        --sp;                                                                                       \
        break;                                                                                      \
    }
#define DOUBLE_BINARY(expr)                                                                         \
    {                                                                                               \
        NEED(2);                                                                                    \
        const double a = SECOND.d(), b = TOP.d();                                                   \
        SECOND.set_d(expr);                                                                         \
        --sp;                                                                                       \
        break;                                                                                      \
    }
#define DOUBLE_COMPARE(expr)                                                                        \
    {                                                                                               \
        NEED(2);                                                                                    \
        const double a = SECOND.d(), b = TOP.d();                                                   \
        SECOND.i = (expr) ? 1 : 0;                                                                  \
        --sp;                                                                                       \
        break;                                                                                      \
    }
#define DOUBLE_UNARY(expr)                                                                          \
    {                                                                                               \
        NEED(1);                                                                                    \
        const double x = TOP.d();                                                                   \
        TOP.set_d(expr);                                                                            \
        break;                                                                                      \
    }
#define PUSH_INT(value)                                                                             \
    {                                                                                               \
        ROOM(1);                                                                                    \
        stack[sp++].i = (value);                                                                    \
        break;                                                                                      \
    }
    // Increments of a value in data memory; T is the memory type, the cell
    // receives the new (pre) or old (post) value.
#define INT_STEP(T, delta, post)                                                                    \
    {                                                                                               \
        NEED(1);                                                                                    \
        const int32_t address = TOP.i;                                                              \
        DATA(address, int64_t(sizeof(T)));                                                          \
        T old;                                                                                      \
        std::memcpy(&old, data + address, sizeof old);                                              \
        const T now = T(uint32_t(old) + uint32_t(delta));                                           \
        std::memcpy(data + address, &now, sizeof now);                                              \
        TOP.i = int32_t(post ? old : now);                                                          \
        break;                                                                                      \
    }
#define DOUBLE_STEP(delta, post)                                                                    \
    {                                                                                               \
        NEED(1);                                                                                    \
        const int32_t address = TOP.i;                                                              \
        DATA(address, 8);                                                                           \
        const double old = read_double(data + address);                                            \
        const double now = old + (delta);                                                           \
        std::memcpy(data + address, &now, sizeof now);                                              \
        TOP.set_d(post ? old : now);                                                                \
        break;                                                                                      \
    }
    // Hooked int and double reads of an address popped from the stack.
#define INT_READ_HOOK(kind)                                                                         \
    {                                                                                               \
        OPERANDS(4);                                                                                \
        NEED(1);                                                                                    \
        const int32_t operand = read_int(code + pc);                                                \
        pc += 4;                                                                                    \
        const int32_t address = stack[--sp].i;                                                      \
        if (hooks_.int_read) {                                                                      \
            SYNC();                                                                                 \
            const int32_t v = hooks_.int_read(hooks_.context, address, (kind), operand);            \
            RELOAD();                                                                               \
            if (fault_)                                                                             \
                return -1;                                                                          \
            stack[sp++].i = v;                                                                      \
        }                                                                                           \
        break;                                                                                      \
    }
#define DOUBLE_READ_HOOK(kind)                                                                      \
    {                                                                                               \
        OPERANDS(4);                                                                                \
        NEED(1);                                                                                    \
        const int32_t operand = read_int(code + pc);                                                \
        pc += 4;                                                                                    \
        const int32_t address = stack[--sp].i;                                                      \
        if (hooks_.double_read) {                                                                   \
            SYNC();                                                                                 \
            const double v = hooks_.double_read(hooks_.context, address, (kind), operand);          \
            RELOAD();                                                                               \
            if (fault_)                                                                             \
                return -1;                                                                          \
            stack[sp++].set_d(v);                                                                   \
        }                                                                                           \
        break;                                                                                      \
    }

    for (;;) {
        if (pc >= code_length) {
            SYNC();
            return 0;
        }
        op_pc = pc;
        const uint8_t op = code[pc++];
        // Every instruction counts, no-ops and OP_END included; the limit
        // all-bits-set can never be exceeded.
        if (++cycles > cycle_limit_) {
            SYNC();
            return abort_run("Error: Too many cylces in script interpreter - aborted execution.\n");
        }

        switch (op) {
        // --- constants
        case OP_PUSH_I: {
            OPERANDS(4);
            ROOM(1);
            stack[sp++].i = read_int(code + pc);
            pc += 4;
            break;
        }
        case OP_PUSH_D: {
            OPERANDS(8);
            ROOM(1);
            stack[sp++].set_d(read_double(code + pc));
            pc += 8;
            break;
        }
        case OP_PUSH_I0: PUSH_INT(0)
        case OP_PUSH_I1: PUSH_INT(1)
        case OP_PUSH_I2: PUSH_INT(2)
        case OP_PUSH_I3: PUSH_INT(3)
        case OP_PUSH_I4: PUSH_INT(4)
        case OP_PUSH_I8: PUSH_INT(8)
        case OP_PUSH_IM1: PUSH_INT(-1)
        case OP_PUSH_B: {
            OPERANDS(1);
            ROOM(1);
            stack[sp++].i = code[pc++];
            break;
        }
        case OP_PUSH_NEG_B: {
            OPERANDS(1);
            ROOM(1);
            stack[sp++].i = -int32_t(code[pc++]);
            break;
        }
        case OP_PUSH_W: {
            OPERANDS(2);
            ROOM(1);
            int16_t w;
            std::memcpy(&w, code + pc, sizeof w);
            stack[sp++].i = w;
            pc += 2;
            break;
        }
        case OP_PUSH_D0: {
            ROOM(1);
            stack[sp++].set_d(0.0);
            break;
        }
        case OP_PUSH_D1: {
            ROOM(1);
            stack[sp++].set_d(1.0);
            break;
        }

        // --- addresses and size bounds
        case OP_PUSH_LADDR: {
            OPERANDS(4);
            ROOM(1);
            stack[sp++] = PCodeCell{LOCAL(read_int(code + pc)), 0};
            pc += 4;
            break;
        }
        case OP_PUSH_GADDR: {
            OPERANDS(4);
            ROOM(1);
            stack[sp++] = PCodeCell{read_int(code + pc), 0};
            pc += 4;
            break;
        }
        case OP_PUSH_LADDR_B: {
            OPERANDS(1);
            ROOM(1);
            stack[sp++] = PCodeCell{LOCAL(code[pc]), 0};
            ++pc;
            break;
        }
        case OP_PUSH_GADDR_B: {
            OPERANDS(1);
            ROOM(1);
            stack[sp++] = PCodeCell{code[pc], 0};
            ++pc;
            break;
        }
        case OP_SET_SIZE: {
            OPERANDS(4);
            NEED(1);
            TOP.high = read_int(code + pc);
            pc += 4;
            break;
        }
        case OP_SET_SIZE_B: {
            OPERANDS(1);
            NEED(1);
            TOP.high = code[pc++];
            break;
        }
        case OP_LOAD_SIZE: {
            NEED(1);
            const int32_t address = add_wrapping(TOP.i, 4);
            DATA(address, 4);
            TOP.high = read_int(data + address);
            break;
        }
        case OP_SIZE_CHK_I_ADD: {
            NEED(2);
            uint32_t index = uint32_t(TOP.i);
            if (index >= uint32_t(SECOND.high)) {
                SYNC();
                report_error("OP_SIZE_CHK_I_ADD: Array bounds violated\n");
                index = 0;
            }
            SECOND.i = add_wrapping(SECOND.i, int32_t(index));
            --sp;
            break;
        }
        case OP_INIT_LOCAL:
        case OP_INIT_GLOBAL: {
            OPERANDS(8);
            const int32_t where = read_int(code + pc);
            const int32_t n = read_int(code + pc + 4);
            OPERANDS(8 + int64_t(n));
            ROOM(1);
            const int32_t address = op == OP_INIT_LOCAL ? LOCAL(where) : where;
            DATA(address, int64_t(n));
            std::memcpy(data + address, code + pc + 8, size_t(n));
            stack[sp++].i = address;
            pc += 8 + n;
            break;
        }

        // --- loads, stores and increments
        case OP_LOAD_LI:
        case OP_LOAD_GI: {
            OPERANDS(4);
            ROOM(1);
            const int32_t operand = read_int(code + pc);
            const int32_t address = op == OP_LOAD_LI ? LOCAL(operand) : operand;
            DATA(address, 4);
            stack[sp++].i = read_int(data + address);
            pc += 4;
            break;
        }
        case OP_LOAD_I: {
            NEED(1);
            const int32_t address = TOP.i;
            DATA(address, 4);
            TOP.i = read_int(data + address);
            break;
        }
        case OP_LOAD_B: {
            NEED(1);
            const int32_t address = TOP.i;
            DATA(address, 1);
            TOP.i = data[address];
            break;
        }
        case OP_LOAD_C: {
            NEED(1);
            const int32_t address = TOP.i;
            DATA(address, 1);
            TOP.i = int8_t(data[address]);
            break;
        }
        case OP_LOAD_D: {
            NEED(1);
            const int32_t address = TOP.i;
            DATA(address, 8);
            TOP.set_d(read_double(data + address));
            break;
        }
        case OP_STORE_I: {
            NEED(2);
            const int32_t address = TOP.i;
            DATA(address, 4);
            std::memcpy(data + address, &SECOND.i, 4);
            sp -= 2;
            break;
        }
        case OP_STORE_B: {
            NEED(2);
            const int32_t address = TOP.i;
            DATA(address, 1);
            data[address] = uint8_t(SECOND.i);
            sp -= 2;
            break;
        }
        case OP_STORE_D: {
            NEED(2);
            const int32_t address = TOP.i;
            DATA(address, 8);
            const double v = SECOND.d();
            std::memcpy(data + address, &v, 8);
            sp -= 2;
            break;
        }
        case OP_STORE_REF: {
            NEED(2);
            const int32_t address = TOP.i;
            DATA(address, 8);
            std::memcpy(data + address, &SECOND.i, 4);
            std::memcpy(data + address + 4, &SECOND.high, 4);
            sp -= 2;
            break;
        }
        case OP_PREINC_I: INT_STEP(int32_t, 1, false)
        case OP_PREDEC_I: INT_STEP(int32_t, -1, false)
        case OP_POSTINC_I: INT_STEP(int32_t, 1, true)
        case OP_POSTDEC_I: INT_STEP(int32_t, -1, true)
        case OP_PREINC_B: INT_STEP(uint8_t, 1, false)
        case OP_PREDEC_B: INT_STEP(uint8_t, -1, false)
        case OP_POSTINC_B: INT_STEP(uint8_t, 1, true)
        case OP_POSTDEC_B: INT_STEP(uint8_t, -1, true)
        case OP_PREINC_C: INT_STEP(int8_t, 1, false)
        case OP_PREDEC_C: INT_STEP(int8_t, -1, false)
        case OP_POSTINC_C: INT_STEP(int8_t, 1, true)
        case OP_POSTDEC_C: INT_STEP(int8_t, -1, true)
        case OP_PREINC_D: DOUBLE_STEP(1.0, false)
        case OP_PREDEC_D: DOUBLE_STEP(-1.0, false)
        case OP_POSTINC_D: DOUBLE_STEP(1.0, true)
        case OP_POSTDEC_D: DOUBLE_STEP(-1.0, true)
        case OP_COPY:
        case OP_COPY_S: {
            OPERANDS(4);
            NEED(2);
            const int32_t n = read_int(code + pc);
            const int32_t destination = TOP.i, source = SECOND.i;
            DATA(destination, int64_t(n));
            DATA(source, int64_t(n));
            std::memmove(data + destination, data + source, size_t(n));
            sp -= 2;
            pc += 4;
            break;
        }

        // --- hooked access to outside variables
        case OP_LOAD_LI_HOOK:
        case OP_LOAD_GI_HOOK: {
            OPERANDS(8);
            const int32_t where = read_int(code + pc);
            const int32_t operand = read_int(code + pc + 4);
            pc += 8;
            if (hooks_.int_read) {
                ROOM(1);
                const int32_t address = op == OP_LOAD_LI_HOOK ? LOCAL(where) : where;
                SYNC();
                const int32_t v = hooks_.int_read(hooks_.context, address, PCODE_ACCESS_READ, operand);
                RELOAD();
                if (fault_)
                    return -1;
                stack[sp++].i = v;
            }
            break;
        }
        case OP_LOAD_I_HOOK: INT_READ_HOOK(PCODE_ACCESS_READ)
        case OP_PREINC_I_HOOK: INT_READ_HOOK(PCODE_ACCESS_PRE_INCREMENT)
        case OP_PREDEC_I_HOOK: INT_READ_HOOK(PCODE_ACCESS_PRE_DECREMENT)
        case OP_POSTINC_I_HOOK: INT_READ_HOOK(PCODE_ACCESS_POST_INCREMENT)
        case OP_POSTDEC_I_HOOK: INT_READ_HOOK(PCODE_ACCESS_POST_DECREMENT)
        case OP_LOAD_D_HOOK: DOUBLE_READ_HOOK(PCODE_ACCESS_READ)
        case OP_PREINC_D_HOOK: DOUBLE_READ_HOOK(PCODE_ACCESS_PRE_INCREMENT)
        case OP_PREDEC_D_HOOK: DOUBLE_READ_HOOK(PCODE_ACCESS_PRE_DECREMENT)
        case OP_POSTINC_D_HOOK: DOUBLE_READ_HOOK(PCODE_ACCESS_POST_INCREMENT)
        case OP_POSTDEC_D_HOOK: DOUBLE_READ_HOOK(PCODE_ACCESS_POST_DECREMENT)
        case OP_STORE_I_HOOK:
        case OP_STORE_D_HOOK: {
            OPERANDS(4);
            NEED(1);
            const int32_t operand = read_int(code + pc);
            pc += 4;
            const int32_t address = stack[--sp].i;
            // Without the hook the value stays on the stack.
            const bool is_int = op == OP_STORE_I_HOOK;
            if (is_int ? hooks_.int_store != nullptr : hooks_.double_store != nullptr) {
                NEED(1);
                const PCodeCell value = stack[--sp];
                SYNC();
                if (is_int)
                    hooks_.int_store(hooks_.context, address, operand, value.i);
                else
                    hooks_.double_store(hooks_.context, address, operand, value.d());
                RELOAD();
                if (fault_)
                    return -1;
            }
            break;
        }
        case OP_NOTIFY_HOOK: {
            OPERANDS(4);
            NEED(1);
            const int32_t operand = read_int(code + pc);
            pc += 4;
            const int32_t address = stack[--sp].i;
            if (hooks_.address_notify) {
                SYNC();
                hooks_.address_notify(hooks_.context, address, operand);
                RELOAD();
                if (fault_)
                    return -1;
            }
            break;
        }

        // --- integer operators
        case OP_I_ADD: INT_BINARY(add_wrapping(a, b))
        case OP_I_SUB: INT_BINARY(int32_t(uint32_t(a) - uint32_t(b)))
        case OP_I_MUL: INT_BINARY(int32_t(uint32_t(a) * uint32_t(b)))
        case OP_I_DIV:
        case OP_I_MOD: {
            NEED(2);
            const int32_t a = SECOND.i, b = TOP.i;
            if (b == 0) {
                SYNC_FAULT();
                return abort_run(op == OP_I_DIV ? "Error: Integer division by zero\n"
                                                : "Error: Integer modulo by zero\n");
            }
            if (a == INT32_MIN && b == -1) {
                if (op == OP_I_DIV) {
                    SYNC_FAULT();
                    return abort_run("Error: Integer overflow in division %d / -1\n", a);
                }
                SECOND.i = 0; // the remainder is 0; the processor would trap on it
            } else {
                SECOND.i = op == OP_I_DIV ? a / b : a % b;
            }
            --sp;
            break;
        }
        case OP_I_AND: INT_BINARY(a & b)
        case OP_I_OR: INT_BINARY(a | b)
        case OP_I_XOR: INT_BINARY(a ^ b)
        case OP_I_SHL: INT_BINARY(int32_t(uint32_t(a) << (b & 31)))
        case OP_I_SHR: INT_BINARY(a >> (b & 31))
        case OP_I_LAND: INT_BINARY(a != 0 && b != 0)
        case OP_I_LOR: INT_BINARY(a != 0 || b != 0)
        case OP_I_EQ: INT_BINARY(a == b)
        case OP_I_NE: INT_BINARY(a != b)
        case OP_I_GT: INT_BINARY(a > b)
        case OP_I_GE: INT_BINARY(a >= b)
        case OP_I_LT: INT_BINARY(a < b)
        case OP_I_LE: INT_BINARY(a <= b)
        case OP_I_NOT: {
            NEED(1);
            TOP.i = TOP.i == 0;
            break;
        }
        case OP_I_COMPL: {
            NEED(1);
            TOP.i = ~TOP.i;
            break;
        }

        // --- double operators
        case OP_D_ADD: DOUBLE_BINARY(a + b)
        case OP_D_SUB: DOUBLE_BINARY(a - b)
        case OP_D_MUL: DOUBLE_BINARY(a * b)
        case OP_D_DIV: DOUBLE_BINARY(a / b)
        case OP_D_MOD: DOUBLE_BINARY(std::fmod(a, b))
        case OP_D_POW: DOUBLE_BINARY(std::pow(a, b))
        case OP_D_LAND: DOUBLE_COMPARE(a != 0.0 && b != 0.0)
        case OP_D_LOR: DOUBLE_COMPARE(a != 0.0 || b != 0.0)
        case OP_D_EQ: DOUBLE_COMPARE(a == b)
        case OP_D_NE: DOUBLE_COMPARE(a != b)
        case OP_D_GT: DOUBLE_COMPARE(a > b)
        case OP_D_GE: DOUBLE_COMPARE(a >= b)
        case OP_D_LT: DOUBLE_COMPARE(a < b)
        case OP_D_LE: DOUBLE_COMPARE(a <= b)
        case OP_D_NOT: {
            NEED(1);
            TOP.i = TOP.d() == 0.0;
            break;
        }
        case OP_I2D: {
            NEED(1);
            TOP.set_d(double(TOP.i));
            break;
        }
        case OP_D2I: {
            NEED(1);
            TOP.i = double_to_int(TOP.d()); // the high word keeps the double's upper bits
            break;
        }
        case OP_D_ABS:
        case OP_D_ABS2: DOUBLE_UNARY(std::fabs(x))
        case OP_D_SIN: DOUBLE_UNARY(std::sin(x))
        case OP_D_COS: DOUBLE_UNARY(std::cos(x))
        case OP_D_TAN: DOUBLE_UNARY(std::tan(x))
        case OP_D_ASIN: DOUBLE_UNARY(std::asin(x))
        case OP_D_ACOS: DOUBLE_UNARY(std::acos(x))
        case OP_D_ATAN: DOUBLE_UNARY(std::atan(x))
        case OP_D_SIGN: DOUBLE_UNARY(x < 0 ? -1.0 : x > 0 ? 1.0 : 0.0)
        case OP_D_STEP: DOUBLE_UNARY(x < 0 ? 0.0 : 1.0)
        case OP_D_LOG10: DOUBLE_UNARY(std::log10(x))
        case OP_D_LOG: DOUBLE_UNARY(std::log(x))
        case OP_D_EXP: DOUBLE_UNARY(std::exp(x))
        case OP_D_SQRT: DOUBLE_UNARY(std::sqrt(x))

        // --- stack handling
        case OP_POP:
        case OP_POP2:
        case OP_POP3:
        case OP_POP4:
        case OP_POP5: {
            const int n = op == OP_POP ? 1 : op - OP_POP2 + 2;
            NEED(n);
            sp -= n;
            break;
        }
        case OP_POPN: {
            OPERANDS(1);
            const int n = code[pc++];
            NEED(n);
            sp -= n;
            break;
        }
        case OP_SWAP: {
            NEED(2);
            std::swap(TOP, SECOND);
            break;
        }
        case OP_DUP: {
            NEED(1);
            ROOM(1);
            stack[sp] = stack[sp - 1];
            ++sp;
            break;
        }
        case OP_OVER: {
            NEED(2);
            ROOM(1);
            stack[sp] = stack[sp - 2];
            ++sp;
            break;
        }

        // --- control flow
        case OP_JMP: {
            OPERANDS(4);
            JUMP(read_int(code + pc));
            break;
        }
        case OP_JZ:
        case OP_JNZ: {
            OPERANDS(4);
            NEED(1);
            const bool zero = stack[--sp].i == 0;
            if (zero == (op == OP_JZ))
                JUMP(read_int(code + pc));
            else
                pc += 4;
            break;
        }
        case OP_JMP_IND: {
            NEED(1);
            JUMP(stack[--sp].i);
            break;
        }
        case OP_JZ_IND:
        case OP_JNZ_IND: {
            NEED(2);
            const bool zero = TOP.i == 0;
            const int32_t target = SECOND.i;
            sp -= 2;
            if (zero == (op == OP_JZ_IND))
                JUMP(target);
            break;
        }
        case OP_SWITCH: {
            OPERANDS(4);
            NEED(1);
            const int32_t value = stack[--sp].i;
            const int32_t table = read_int(code + pc);
            pc += 4;
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
                if (read_int(pair) == value) {
                    JUMP(read_int(pair + 4));
                    break;
                }
            }
            break;
        }
        case OP_CALL: {
            NEED(1);
            const int32_t number = stack[--sp].i;
            if (frame - frames >= frame_capacity - 1) {
                SYNC_FAULT();
                return abort_run("Error: Too many function calls in script interpreter\n");
            }
            const PCodeFunction *entry = function(number);
            if (!entry || !entry->bound()) {
                SYNC_FAULT();
                return abort_run("Error: Call of undefined function %d\n", number);
            }
            if (entry->kind == PCodeFunction::native) {
                SYNC();
                entry->entry(context);
                RELOAD();
                if (fault_)
                    return -1; // the native's failed access has been reported
                break;
            }
            PCodeFrame *next = frame + 1;
            *next = PCodeFrame{add_wrapping(frame->data_base, frame->size), 0, pc, sp};
            frame = next;
            JUMP(entry->code_address);
            break;
        }
        case OP_RET: {
            if (frame == frames) {
                SYNC_FAULT();
                return abort_run("Error: Return without a call in script interpreter\n");
            }
            pc = frame->return_address;
            --frame;
            break;
        }
        case OP_END:
            SYNC();
            return 0;
        case OP_FRAME: {
            OPERANDS(4);
            frame->size = read_int(code + pc);
            pc += 4;
            break;
        }
        case OP_ARG: {
            NEED(1);
            const int64_t index = int64_t(frame->stack_at_call) - TOP.i - 1;
            if (index < 0 || index >= sp) {
                SYNC_FAULT();
                return abort_run("Error: Argument %d outside the operand stack\n", TOP.i);
            }
            TOP = stack[index];
            break;
        }
        case OP_SET_RESULT: {
            NEED(2);
            const int64_t index = int64_t(frame->stack_at_call) - TOP.i;
            if (index < 0 || index >= sp) {
                SYNC_FAULT();
                return abort_run("Error: Result cell %d outside the operand stack\n", TOP.i);
            }
            stack[index] = SECOND;
            sp -= 2;
            break;
        }

        // Unresolved label jumps and switch tables are one-byte no-ops when
        // executed, like the opcodes without a meaning.
        default:
            break;
        }
    }

underflow:
    SYNC_FAULT();
    return abort_run("Error: Stack underflow in script interpreter\n");
overflow:
    SYNC_FAULT();
    return abort_run("Error: Stack overflow in script interpreter\n");
truncated:
    SYNC_FAULT();
    return abort_run("Error: Instruction at code address %d runs past the end of the code\n", op_pc);
data_fault:
    SYNC_FAULT();
    return abort_run("Error: Access to data address %d (%lld bytes) outside the data memory of %d bytes\n",
                     fault_address, static_cast<long long>(fault_size), data_capacity());

#undef SYNC
#undef SYNC_FAULT
#undef RELOAD
#undef OPERANDS
#undef NEED
#undef ROOM
#undef DATA
#undef JUMP
#undef TOP
#undef SECOND
#undef LOCAL
#undef INT_BINARY
#undef DOUBLE_BINARY
#undef DOUBLE_COMPARE
#undef DOUBLE_UNARY
#undef PUSH_INT
#undef INT_STEP
#undef DOUBLE_STEP
#undef INT_READ_HOOK
#undef DOUBLE_READ_HOOK
}
