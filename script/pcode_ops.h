#pragma once
// The instruction set of the script byte code, shared by the code emitter and
// the interpreter of PCodeMachine.
//
// An instruction is one opcode byte followed by its operands, packed with no
// alignment, little-endian: an int operand is 4 bytes (two's complement), a
// double 8 bytes (IEEE 754 binary64), a byte operand unsigned, the word operand
// of OP_PUSH_W a signed 16-bit number. Opcodes run from 1 to 149; 0, the gaps
// (3, 29, 57, 94, 95) and everything above 149 are one-byte no-ops.
#include <cstdint>

// Operand layout of an instruction; it fixes the instruction's length.
enum class PCodeOperands : uint8_t {
    none,         // 1 byte
    byte,         // 2 bytes: unsigned byte
    word,         // 3 bytes: signed 16-bit
    int32,        // 5 bytes: one int
    float64,      // 9 bytes: one double
    two_ints,     // 9 bytes: two ints
    init_bytes,   // 9 + n bytes: int address, int n, then n data bytes
    switch_table, // 5 + 8n bytes: int n, then n pairs (int case value, int target)
};

// X(name, opcode, operands): every opcode of the instruction set.
#define VYR_PCODE_OPS(X)                        \
    X(OP_PUSH_I, 1, int32)                      \
    X(OP_PUSH_D, 2, float64)                    \
    X(OP_PUSH_LADDR, 4, int32)                  \
    X(OP_PUSH_GADDR, 5, int32)                  \
    X(OP_LOAD_LI, 6, int32)                     \
    X(OP_LOAD_LI_HOOK, 7, two_ints)             \
    X(OP_LOAD_GI, 8, int32)                     \
    X(OP_LOAD_GI_HOOK, 9, two_ints)             \
    X(OP_PREINC_I, 10, none)                    \
    X(OP_PREINC_I_HOOK, 11, int32)              \
    X(OP_PREDEC_I, 12, none)                    \
    X(OP_PREDEC_I_HOOK, 13, int32)              \
    X(OP_POSTINC_I, 14, none)                   \
    X(OP_POSTINC_I_HOOK, 15, int32)             \
    X(OP_POSTDEC_I, 16, none)                   \
    X(OP_POSTDEC_I_HOOK, 17, int32)             \
    X(OP_PUSH_LADDR_B, 18, byte)                \
    X(OP_PUSH_GADDR_B, 19, byte)                \
    X(OP_JMP_IND, 20, none)                     \
    X(OP_JZ_IND, 21, none)                      \
    X(OP_JNZ_IND, 22, none)                     \
    X(OP_CALL, 23, none)                        \
    X(OP_RET, 24, none)                         \
    X(OP_END, 25, none)                         \
    X(OP_FRAME, 26, int32)                      \
    X(OP_ARG, 27, none)                         \
    X(OP_SET_RESULT, 28, none)                  \
    X(OP_POP, 30, none)                         \
    X(OP_SWAP, 31, none)                        \
    X(OP_DUP, 32, none)                         \
    X(OP_OVER, 33, none)                        \
    X(OP_I2D, 34, none)                         \
    X(OP_D2I, 35, none)                         \
    X(OP_PUSH_I0, 36, none)                     \
    X(OP_PUSH_I1, 37, none)                     \
    X(OP_PUSH_I2, 38, none)                     \
    X(OP_PUSH_I3, 39, none)                     \
    X(OP_I_ADD, 40, none)                       \
    X(OP_I_SUB, 41, none)                       \
    X(OP_I_MUL, 42, none)                       \
    X(OP_I_DIV, 43, none)                       \
    X(OP_I_MOD, 44, none)                       \
    X(OP_I_AND, 45, none)                       \
    X(OP_I_OR, 46, none)                        \
    X(OP_I_LAND, 47, none)                      \
    X(OP_I_LOR, 48, none)                       \
    X(OP_I_XOR, 49, none)                       \
    X(OP_I_EQ, 50, none)                        \
    X(OP_I_GT, 51, none)                        \
    X(OP_I_GE, 52, none)                        \
    X(OP_I_LT, 53, none)                        \
    X(OP_I_LE, 54, none)                        \
    X(OP_I_NE, 55, none)                        \
    X(OP_I_NOT, 56, none)                       \
    X(OP_I_SHL, 58, none)                       \
    X(OP_I_SHR, 59, none)                       \
    X(OP_D_ADD, 60, none)                       \
    X(OP_D_SUB, 61, none)                       \
    X(OP_D_MUL, 62, none)                       \
    X(OP_D_DIV, 63, none)                       \
    X(OP_D_MOD, 64, none)                       \
    X(OP_D_LAND, 65, none)                      \
    X(OP_D_LOR, 66, none)                       \
    X(OP_D_EQ, 67, none)                        \
    X(OP_D_GT, 68, none)                        \
    X(OP_D_GE, 69, none)                        \
    X(OP_D_LT, 70, none)                        \
    X(OP_D_LE, 71, none)                        \
    X(OP_D_NE, 72, none)                        \
    X(OP_D_NOT, 73, none)                       \
    X(OP_D_POW, 74, none)                       \
    X(OP_PUSH_I4, 75, none)                     \
    X(OP_PUSH_I8, 76, none)                     \
    X(OP_PUSH_IM1, 77, none)                    \
    X(OP_PUSH_NEG_B, 78, byte)                  \
    X(OP_PUSH_W, 79, word)                      \
    X(OP_D_ABS, 80, none)                       \
    X(OP_D_ABS2, 81, none) /* same as 80 */     \
    X(OP_D_SIN, 82, none)                       \
    X(OP_D_COS, 83, none)                       \
    X(OP_D_TAN, 84, none)                       \
    X(OP_D_ASIN, 85, none)                      \
    X(OP_D_ACOS, 86, none)                      \
    X(OP_D_ATAN, 87, none)                      \
    X(OP_D_SIGN, 88, none)                      \
    X(OP_D_STEP, 89, none)                      \
    X(OP_D_LOG10, 90, none)                     \
    X(OP_D_LOG, 91, none)                       \
    X(OP_D_EXP, 92, none)                       \
    X(OP_D_SQRT, 93, none)                      \
    X(OP_JMP, 96, int32)                        \
    X(OP_JMP_LABEL, 97, int32)                  \
    X(OP_JZ, 98, int32)                         \
    X(OP_JZ_LABEL, 99, int32)                   \
    X(OP_JNZ, 100, int32)                       \
    X(OP_JNZ_LABEL, 101, int32)                 \
    X(OP_STORE_B, 102, none)                    \
    X(OP_LOAD_B, 103, none)                     \
    X(OP_PREINC_B, 104, none)                   \
    X(OP_PREDEC_B, 105, none)                   \
    X(OP_POSTINC_B, 106, none)                  \
    X(OP_POSTDEC_B, 107, none)                  \
    X(OP_LOAD_C, 108, none)                     \
    X(OP_PREINC_C, 109, none)                   \
    X(OP_PREDEC_C, 110, none)                   \
    X(OP_POSTINC_C, 111, none)                  \
    X(OP_POSTDEC_C, 112, none)                  \
    X(OP_PUSH_B, 113, byte)                     \
    X(OP_LOAD_I, 114, none)                     \
    X(OP_LOAD_I_HOOK, 115, int32)               \
    X(OP_STORE_I, 116, none)                    \
    X(OP_STORE_I_HOOK, 117, int32)              \
    X(OP_STORE_D, 118, none)                    \
    X(OP_STORE_D_HOOK, 119, int32)              \
    X(OP_LOAD_D, 120, none)                     \
    X(OP_LOAD_D_HOOK, 121, int32)               \
    X(OP_PREINC_D, 122, none)                   \
    X(OP_PREINC_D_HOOK, 123, int32)             \
    X(OP_PREDEC_D, 124, none)                   \
    X(OP_PREDEC_D_HOOK, 125, int32)             \
    X(OP_POSTINC_D, 126, none)                  \
    X(OP_POSTINC_D_HOOK, 127, int32)            \
    X(OP_POSTDEC_D, 128, none)                  \
    X(OP_POSTDEC_D_HOOK, 129, int32)            \
    X(OP_NOTIFY_HOOK, 130, int32)               \
    X(OP_SWITCH, 131, int32)                    \
    X(OP_SWITCH_TABLE, 132, switch_table)       \
    X(OP_INIT_LOCAL, 133, init_bytes)           \
    X(OP_INIT_GLOBAL, 134, init_bytes)          \
    X(OP_PUSH_D0, 135, none)                    \
    X(OP_PUSH_D1, 136, none)                    \
    X(OP_COPY, 137, int32)                      \
    X(OP_I_COMPL, 138, none)                    \
    X(OP_SET_SIZE, 139, int32)                  \
    X(OP_SET_SIZE_B, 140, byte)                 \
    X(OP_LOAD_SIZE, 141, none)                  \
    X(OP_SIZE_CHK_I_ADD, 142, none)             \
    X(OP_COPY_S, 143, int32)                    \
    X(OP_STORE_REF, 144, none)                  \
    X(OP_POP2, 145, none)                       \
    X(OP_POP3, 146, none)                       \
    X(OP_POP4, 147, none)                       \
    X(OP_POP5, 148, none)                       \
    X(OP_POPN, 149, byte)

enum PCodeOp : uint8_t {
#define VYR_PCODE_ENUM(name, code, operands) name = code,
    VYR_PCODE_OPS(VYR_PCODE_ENUM)
#undef VYR_PCODE_ENUM
};

// Access kinds handed to the read hooks by the hooked increments and loads.
enum PCodeAccessKind : int32_t {
    PCODE_ACCESS_READ = 0,
    PCODE_ACCESS_PRE_DECREMENT = 1,
    PCODE_ACCESS_PRE_INCREMENT = 2,
    PCODE_ACCESS_POST_DECREMENT = 3,
    PCODE_ACCESS_POST_INCREMENT = 4,
};

// Operand layout of any opcode byte (none for the no-ops).
PCodeOperands pcode_operands(int opcode);

// "OP_..." name of an opcode, or nullptr for the no-ops without a name.
const char *pcode_op_name(int opcode);

// Length in bytes of the instruction at code[0], opcode included, as the
// emitter and the label resolver walk the code. `available` is the number of
// bytes readable at code; the variable forms read their count from there.
// Answers -1 when the count is missing or negative or the length overflows.
int pcode_instruction_length(const uint8_t *code, int available);
