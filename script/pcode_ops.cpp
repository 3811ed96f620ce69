#include "script/pcode_ops.h"

#include <climits>
#include <cstring>

namespace {

struct OpInfo {
    const char *name = nullptr;
    PCodeOperands operands = PCodeOperands::none;
};

struct OpTable {
    OpInfo ops[256];
    OpTable()
    {
#define VYR_PCODE_INFO(op, code, kind) ops[code] = OpInfo{#op, PCodeOperands::kind};
        VYR_PCODE_OPS(VYR_PCODE_INFO)
#undef VYR_PCODE_INFO
    }
};

const OpTable &op_table()
{
    static const OpTable table;
    return table;
}

int32_t read_int(const uint8_t *p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

PCodeOperands pcode_operands(int opcode)
{
    if (opcode < 0 || opcode > 255)
        return PCodeOperands::none;
    return op_table().ops[opcode].operands;
}

const char *pcode_op_name(int opcode)
{
    if (opcode < 0 || opcode > 255)
        return nullptr;
    return op_table().ops[opcode].name;
}

int pcode_instruction_length(const uint8_t *code, int available)
{
    if (available < 1)
        return -1;
    switch (pcode_operands(code[0])) {
    case PCodeOperands::none:
        return 1;
    case PCodeOperands::byte:
        return 2;
    case PCodeOperands::word:
        return 3;
    case PCodeOperands::int32:
        return 5;
    case PCodeOperands::float64:
    case PCodeOperands::two_ints:
        return 9;
    case PCodeOperands::init_bytes: {
        if (available < 9)
            return -1;
        const int32_t n = read_int(code + 5);
        if (n < 0 || n > INT_MAX - 9)
            return -1;
        return 9 + n;
    }
    case PCodeOperands::switch_table: {
        if (available < 5)
            return -1;
        const int32_t n = read_int(code + 1);
        if (n < 0 || n > (INT_MAX - 5) / 8)
            return -1;
        return 5 + 8 * n;
    }
    }
    return 1;
}
