// The byte-code machine: instruction set, calls and frames, natives, hooks,
// limits and the checks that keep a script inside its machine.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "tests/script/pcode_assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace {

class RecordingMachine : public PCodeMachine
{
public:
    std::vector<std::string> errors;
    int depth_at_last_error = -1; // the stack pointer the last report saw
    void report_error(const char *text) override
    {
        errors.push_back(text);
        depth_at_last_error = stack_pointer();
    }
};

class PCodeMachineTest : public testing::Test
{
protected:
    // Loads the program (instructions separated by ';') and runs it from its start.
    int run(const std::string &program, void *context = nullptr)
    {
        PCodeAssembler code;
        code.lines(program);
        return machine.run(context, code.load(machine));
    }

    void expect_error(const std::string &text)
    {
        ASSERT_EQ(machine.errors.size(), 1u);
        EXPECT_EQ(machine.errors[0], text);
    }

    RecordingMachine machine;
};

bool starts_with(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// ---------------------------------------------------------------------------
// Instruction lengths

TEST(PCodeOps, InstructionLengthsOfEveryOpcode)
{
    const std::vector<int> two = {18, 19, 78, 113, 140, 149};
    const std::vector<int> three = {79};
    const std::vector<int> five = {1,   4,   5,   6,   8,   11,  13,  15,  17,  26,  96,  97,  98,  99, 100,
                                   101, 115, 117, 119, 121, 123, 125, 127, 129, 130, 131, 137, 139, 143};
    const std::vector<int> nine = {2, 7, 9};
    auto in = [](const std::vector<int> &list, int op) {
        return std::find(list.begin(), list.end(), op) != list.end();
    };
    for (int op = 0; op < 256; ++op) {
        if (op >= 132 && op <= 134)
            continue;
        const int expected = in(two, op) ? 2 : in(three, op) ? 3 : in(five, op) ? 5 : in(nine, op) ? 9 : 1;
        uint8_t code[16] = {uint8_t(op)};
        EXPECT_EQ(pcode_instruction_length(code, sizeof code), expected) << "opcode " << op;
    }
    // Variable lengths: 9 + n for the two initialisers, 5 + 8n for a switch table.
    const uint8_t init[] = {OP_INIT_GLOBAL, 0, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_EQ(pcode_instruction_length(init, sizeof init), 12);
    const uint8_t local[] = {OP_INIT_LOCAL, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(pcode_instruction_length(local, sizeof local), 9);
    const uint8_t table[] = {OP_SWITCH_TABLE, 2, 0, 0, 0};
    EXPECT_EQ(pcode_instruction_length(table, sizeof table), 21);
    const uint8_t negative[] = {OP_SWITCH_TABLE, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(pcode_instruction_length(negative, sizeof negative), -1);
    EXPECT_EQ(pcode_instruction_length(table, 3), -1); // count cut off
}

TEST(PCodeOps, NamesFollowTheNumbers)
{
    EXPECT_STREQ(pcode_op_name(1), "OP_PUSH_I");
    EXPECT_STREQ(pcode_op_name(142), "OP_SIZE_CHK_I_ADD");
    EXPECT_STREQ(pcode_op_name(149), "OP_POPN");
    for (int op : {0, 3, 29, 57, 94, 95, 150, 255})
        EXPECT_EQ(pcode_op_name(op), nullptr) << op;
}

// ---------------------------------------------------------------------------
// Operators

struct ValueCase {
    const char *program;
    bool is_double;
    double expected;
};

void PrintTo(const ValueCase &c, std::ostream *out)
{
    *out << c.program;
}

class PCodeValueTest : public PCodeMachineTest, public testing::WithParamInterface<ValueCase>
{
};

TEST_P(PCodeValueTest, LeavesTheResultOnTop)
{
    const ValueCase &c = GetParam();
    ASSERT_EQ(run(std::string(c.program) + ";END"), 0) << (machine.errors.empty() ? "" : machine.errors[0]);
    EXPECT_TRUE(machine.errors.empty());
    ASSERT_EQ(machine.stack_pointer(), 1);
    if (c.is_double) {
        const double v = machine.stack_double(0);
        EXPECT_DOUBLE_EQ(v, c.expected);
        EXPECT_EQ(std::signbit(v), std::signbit(c.expected));
    } else {
        EXPECT_EQ(machine.stack_int(0), int32_t(c.expected));
    }
}

const double nan_value = std::nan("");

INSTANTIATE_TEST_SUITE_P(
    Constants, PCodeValueTest,
    testing::Values(ValueCase{"PUSH_I -123456", false, -123456}, ValueCase{"PUSH_I0", false, 0},
                    ValueCase{"PUSH_I3", false, 3}, ValueCase{"PUSH_I4", false, 4}, ValueCase{"PUSH_I8", false, 8},
                    ValueCase{"PUSH_IM1", false, -1}, ValueCase{"PUSH_B 255", false, 255},
                    ValueCase{"PUSH_NEG_B 255", false, -255}, ValueCase{"PUSH_W -32768", false, -32768},
                    ValueCase{"PUSH_W 32767", false, 32767}, ValueCase{"PUSH_D -2.5", true, -2.5},
                    ValueCase{"PUSH_D0", true, 0.0}, ValueCase{"PUSH_D1", true, 1.0}));

INSTANTIATE_TEST_SUITE_P(
    IntOperators, PCodeValueTest,
    testing::Values(ValueCase{"PUSH_I 2;PUSH_I 3;I_ADD", false, 5},
                    ValueCase{"PUSH_I 2147483647;PUSH_I1;I_ADD", false, INT_MIN},
                    ValueCase{"PUSH_I 2;PUSH_I 5;I_SUB", false, -3},
                    ValueCase{"PUSH_I 65536;PUSH_I 65537;I_MUL", false, 65536},
                    ValueCase{"PUSH_I -7;PUSH_I2;I_DIV", false, -3}, ValueCase{"PUSH_I -7;PUSH_I2;I_MOD", false, -1},
                    ValueCase{"PUSH_I 7;PUSH_I -2;I_MOD", false, 1},
                    ValueCase{"PUSH_I -2147483648;PUSH_IM1;I_MOD", false, 0},
                    ValueCase{"PUSH_I1;PUSH_I 33;I_SHL", false, 2}, ValueCase{"PUSH_I1;PUSH_I 31;I_SHL", false, INT_MIN},
                    ValueCase{"PUSH_I -16;PUSH_I2;I_SHR", false, -4}, ValueCase{"PUSH_I -16;PUSH_I 33;I_SHR", false, -8},
                    ValueCase{"PUSH_I 12;PUSH_I 10;I_AND", false, 8}, ValueCase{"PUSH_I 12;PUSH_I 10;I_OR", false, 14},
                    ValueCase{"PUSH_I 12;PUSH_I 10;I_XOR", false, 6}, ValueCase{"PUSH_I 5;PUSH_I0;I_LAND", false, 0},
                    ValueCase{"PUSH_I 5;PUSH_IM1;I_LAND", false, 1}, ValueCase{"PUSH_I0;PUSH_I 9;I_LOR", false, 1},
                    ValueCase{"PUSH_I0;PUSH_I0;I_LOR", false, 0}, ValueCase{"PUSH_I 4;PUSH_I 4;I_EQ", false, 1},
                    ValueCase{"PUSH_I 4;PUSH_I 4;I_NE", false, 0}, ValueCase{"PUSH_IM1;PUSH_I1;I_GT", false, 0},
                    ValueCase{"PUSH_I 4;PUSH_I 4;I_GE", false, 1}, ValueCase{"PUSH_IM1;PUSH_I1;I_LT", false, 1},
                    ValueCase{"PUSH_I 5;PUSH_I 4;I_LE", false, 0}, ValueCase{"PUSH_I 7;I_NOT", false, 0},
                    ValueCase{"PUSH_I0;I_NOT", false, 1}, ValueCase{"PUSH_I0;I_COMPL", false, -1}));

INSTANTIATE_TEST_SUITE_P(
    DoubleOperators, PCodeValueTest,
    testing::Values(ValueCase{"PUSH_D 1.5;PUSH_D 2.25;D_ADD", true, 3.75},
                    ValueCase{"PUSH_D 1.5;PUSH_D 2.25;D_SUB", true, -0.75},
                    ValueCase{"PUSH_D 1.5;PUSH_D 4;D_MUL", true, 6.0}, ValueCase{"PUSH_D 1;PUSH_D 4;D_DIV", true, 0.25},
                    ValueCase{"PUSH_D -7.5;PUSH_D 2;D_MOD", true, -1.5},
                    ValueCase{"PUSH_D 2;PUSH_D 10;D_POW", true, 1024.0}, ValueCase{"PUSH_D -2.7;D2I", false, -2},
                    ValueCase{"PUSH_D 2.7;D2I", false, 2}, ValueCase{"PUSH_D nan;D2I", false, INT_MIN},
                    ValueCase{"PUSH_D 1e12;D2I", false, INT_MIN}, ValueCase{"PUSH_I -3;I2D", true, -3.0},
                    ValueCase{"PUSH_D 1;PUSH_D 2;D_LT", false, 1}, ValueCase{"PUSH_D 2;PUSH_D 2;D_GE", false, 1},
                    ValueCase{"PUSH_D nan;PUSH_D nan;D_EQ", false, 0}, ValueCase{"PUSH_D nan;PUSH_D nan;D_NE", false, 1},
                    ValueCase{"PUSH_D nan;PUSH_D 1;D_LT", false, 0}, ValueCase{"PUSH_D nan;PUSH_D 1;D_LE", false, 0},
                    ValueCase{"PUSH_D 1;PUSH_D nan;D_GT", false, 0}, ValueCase{"PUSH_D 1;PUSH_D nan;D_GE", false, 0},
                    ValueCase{"PUSH_D nan;PUSH_D1;D_LAND", false, 1}, ValueCase{"PUSH_D0;PUSH_D nan;D_LOR", false, 1},
                    ValueCase{"PUSH_D0;PUSH_D1;D_LAND", false, 0}, ValueCase{"PUSH_D nan;D_NOT", false, 0},
                    ValueCase{"PUSH_D -0.0;D_NOT", false, 1}, ValueCase{"PUSH_D -0.0;D_SIGN", true, 0.0},
                    ValueCase{"PUSH_D -3;D_SIGN", true, -1.0}, ValueCase{"PUSH_D nan;D_SIGN", true, 0.0},
                    ValueCase{"PUSH_D nan;D_STEP", true, 1.0}, ValueCase{"PUSH_D -0.5;D_STEP", true, 0.0},
                    ValueCase{"PUSH_D -2;D_ABS", true, 2.0}, ValueCase{"PUSH_D -2;81", true, 2.0},
                    ValueCase{"PUSH_D 9;D_SQRT", true, 3.0}, ValueCase{"PUSH_D 100;D_LOG10", true, 2.0},
                    ValueCase{"PUSH_D0;D_EXP", true, 1.0}, ValueCase{"PUSH_D1;D_ATAN", true, M_PI / 4}));

INSTANTIATE_TEST_SUITE_P(
    StackHandling, PCodeValueTest,
    testing::Values(ValueCase{"PUSH_I1;PUSH_I2;SWAP;POP", false, 2}, ValueCase{"PUSH_I 6;DUP;I_MUL", false, 36},
                    ValueCase{"PUSH_I 7;PUSH_I2;OVER;I_SUB;I_ADD", false, 2},
                    ValueCase{"PUSH_I 9;PUSH_I0;PUSH_I0;PUSH_I0;POPN 3", false, 9},
                    ValueCase{"PUSH_I 9;PUSH_I0;PUSH_I0;PUSH_I0;PUSH_I0;PUSH_I0;POP5", false, 9},
                    ValueCase{"PUSH_I 9;PUSH_I0;PUSH_I0;POP2", false, 9},
                    // no-ops, unresolved label jumps and an executed switch table are one byte each
                    ValueCase{"PUSH_I 9;3;29;57;94;95;0;150;255", false, 9}, ValueCase{"PUSH_I 9;97 0", false, 9}));

// The high word of a cell: address pushes clear it, int results leave it.
// OP_STORE_REF writes both words to memory, which makes it visible.
TEST_F(PCodeMachineTest, HighWordOfCells)
{
    struct Case {
        const char *program;
        int32_t low, high;
    };
    const Case cases[] = {
        {"PUSH_GADDR 100;SET_SIZE 77", 100, 77},
        {"PUSH_GADDR_B 100;SET_SIZE_B 200", 100, 200},
        {"PUSH_GADDR 0;SET_SIZE 77;POP;PUSH_I 5", 5, 77},            // int push keeps the high word
        {"PUSH_GADDR 0;SET_SIZE 77;POP;PUSH_GADDR 8", 8, 0},         // address push clears it
        {"PUSH_GADDR 16;SET_SIZE 9;PUSH_I 4;I_ADD", 20, 9},          // int result keeps it
        {"PUSH_D 1.5;D2I", 1, 0x3FF80000},                           // D2I keeps the double's upper bits
        {"PUSH_I 2;PUSH_GADDR 4;STORE_I;PUSH_GADDR 0;LOAD_SIZE", 0, 2}, // size read from address + 4
    };
    for (const Case &c : cases) {
        machine.errors.clear();
        ASSERT_EQ(run(std::string(c.program) + ";PUSH_GADDR 200;STORE_REF;END"), 0) << c.program;
        EXPECT_EQ(machine.data_int(200), c.low) << c.program;
        EXPECT_EQ(machine.data_int(204), c.high) << c.program;
        EXPECT_EQ(machine.stack_pointer(), 0);
    }
}

TEST_F(PCodeMachineTest, LoadsStoresAndIncrements)
{
    machine.allocate_data(100);
    ASSERT_EQ(run("INIT_GLOBAL 40 0xFF 0x7F 0x80 0;POP;"
                  "PUSH_GADDR 40;LOAD_B;PUSH_GADDR 41;LOAD_C;PUSH_GADDR 42;LOAD_C;" // 255, 127, -128
                  "PUSH_GADDR 40;PREINC_B;"                                          // 0, byte wraps
                  "PUSH_GADDR 41;POSTINC_C;"                                         // old 127, memory -128
                  "PUSH_GADDR 41;LOAD_C;"                                            // -128
                  "PUSH_D 2.5;PUSH_GADDR 48;STORE_D;PUSH_GADDR 48;PREDEC_D;"         // 1.5
                  "PUSH_GADDR 48;POSTINC_D;"                                         // 1.5, memory 2.5
                  "PUSH_I 41;PUSH_GADDR 56;STORE_I;PUSH_GADDR 56;POSTDEC_I;"         // 41, memory 40
                  "PUSH_LADDR 0;PUSH_I0;PUSH_GADDR 60;STORE_I;PUSH_GADDR 60;LOAD_I;" // frame base, 0
                  "END"),
              0);
    EXPECT_TRUE(machine.errors.empty());
    ASSERT_EQ(machine.stack_pointer(), 11);
    EXPECT_EQ(machine.stack_int(10), 255);
    EXPECT_EQ(machine.stack_int(9), 127);
    EXPECT_EQ(machine.stack_int(8), -128);
    EXPECT_EQ(machine.stack_int(7), 0);
    EXPECT_EQ(machine.stack_int(6), 127);
    EXPECT_EQ(machine.stack_int(5), -128);
    EXPECT_DOUBLE_EQ(machine.stack_double(4), 1.5);
    EXPECT_DOUBLE_EQ(machine.stack_double(3), 1.5);
    EXPECT_EQ(machine.stack_int(2), 41);
    EXPECT_EQ(machine.stack_int(1), machine.data_high_water()); // frame 0 begins above the globals
    EXPECT_EQ(machine.stack_int(0), 0);
    EXPECT_DOUBLE_EQ(machine.data_double(48), 2.5);
    EXPECT_EQ(machine.data_int(56), 40);
}

TEST_F(PCodeMachineTest, CopyMovesOverlappingBytes)
{
    ASSERT_EQ(run("INIT_GLOBAL 10 1 2 3 4 5;PUSH_GADDR 12;COPY 3;END"), 0);
    EXPECT_EQ(std::vector<uint8_t>(machine.data_pointer(10, 5), machine.data_pointer(10, 5) + 5),
              (std::vector<uint8_t>{1, 2, 1, 2, 3}));
}

// ---------------------------------------------------------------------------
// Control flow

TEST_F(PCodeMachineTest, Jumps)
{
    PCodeAssembler code;
    code.lines("PUSH_I0;JZ @a;PUSH_I 99;a:;PUSH_I1;JZ @b;PUSH_I 7;b:;PUSH_I1;JNZ @c;PUSH_I 99;c:;"
               "PUSH_I 0;JNZ @d;PUSH_I 8;d:;PUSH_I @e;JMP_IND;PUSH_I 99;e:;"
               "PUSH_I @f;PUSH_I0;JZ_IND;PUSH_I 99;f:;PUSH_I 99;PUSH_I1;JZ_IND;JMP @g;PUSH_I 99;g:;END");
    ASSERT_EQ(machine.run(nullptr, code.load(machine)), 0);
    ASSERT_EQ(machine.stack_pointer(), 2);
    EXPECT_EQ(machine.stack_int(1), 7);
    EXPECT_EQ(machine.stack_int(0), 8);
}

TEST_F(PCodeMachineTest, SwitchTables)
{
    struct Case {
        int value;
        const char *table;
        int expected;
    };
    const Case cases[] = {
        {2, "SWITCH_TABLE 1 @one 2 @two", 2},
        {5, "SWITCH_TABLE 1 @one 2 @two", 0},   // no match: on after the switch
        {1, "SWITCH_TABLE", 0},                 // empty table
        {1, "SWITCH_TABLE 1 @two 1 @one", 2},   // equal cases: the first wins
    };
    for (const Case &c : cases) {
        RecordingMachine m;
        PCodeAssembler code;
        code.lines("PUSH_I " + std::to_string(c.value) + ";SWITCH @table;PUSH_I0;END;" +
                   "one:;PUSH_I1;END;two:;PUSH_I2;END;table:;" + c.table);
        ASSERT_EQ(m.run(nullptr, code.load(m)), 0) << c.table;
        EXPECT_EQ(m.stack_int(0), c.expected) << c.value << " in " << c.table;
    }
}

TEST_F(PCodeMachineTest, EndOfCodeEndsTheRun)
{
    ASSERT_EQ(run("PUSH_I 5"), 0);
    EXPECT_EQ(machine.stack_int(0), 5);
    // A start at the end of the code runs nothing but still prepares the run.
    EXPECT_EQ(machine.run(nullptr, machine.code_length()), 0);
    EXPECT_EQ(machine.stack_pointer(), 1);
    EXPECT_GE(machine.data_capacity(), machine.data_high_water() + PCodeMachine::run_data_reserve);
}

// ---------------------------------------------------------------------------
// Script functions and frames

// R(n) keeps n in a local, recurses with n - 1 until 0, optionally calls a
// native there, and returns n + 100 through its result cell.
class RecursionTest : public PCodeMachineTest
{
protected:
    static int leaf(void *) { return 0; }

    // Runs R(calls - 1) from a handler: `calls` script calls in all.
    int recurse(int calls, bool native_at_the_bottom)
    {
        const int r = 1, native = 2;
        machine.bind_native(native, &leaf);
        machine.allocate_data(16);
        machine.set_data_int(0, calls - 1);
        PCodeAssembler code;
        code.lines("PUSH_I0;LOAD_GI 0;PUSH_I 1;CALL;POP;END;"
                   "R:;PUSH_I0;ARG;PUSH_LADDR 0;STORE_I;FRAME 4;"
                   "PUSH_LADDR 0;LOAD_I;JZ @base;"
                   "PUSH_I0;PUSH_LADDR 0;LOAD_I;PUSH_I1;I_SUB;PUSH_I 1;CALL;POP2;JMP @done;"
                   "base:;" + std::string(native_at_the_bottom ? "PUSH_I 2;CALL;" : "") +
                   "done:;PUSH_LADDR 0;LOAD_I;PUSH_I 100;I_ADD;PUSH_I2;SET_RESULT;RET");
        const int32_t start = code.load(machine);
        machine.bind_script_function(r, code.address("R"));
        return machine.run(nullptr, start);
    }
};

TEST_F(RecursionTest, ResultTravelsBackThroughTheFrames)
{
    ASSERT_EQ(recurse(10, false), 0);
    ASSERT_EQ(machine.stack_pointer(), 1);
    EXPECT_EQ(machine.stack_int(0), 109); // R(9) = 9 + 100
    EXPECT_TRUE(machine.errors.empty());
}

TEST_F(RecursionTest, FourHundredNinetyNineCallsRun)
{
    EXPECT_EQ(recurse(499, false), 0);
    EXPECT_TRUE(machine.errors.empty());
}

TEST_F(RecursionTest, TheFiveHundredthCallAborts)
{
    EXPECT_EQ(recurse(500, false), -1);
    expect_error("Error: Too many function calls in script interpreter\n");
    EXPECT_EQ(machine.stack_pointer(), 0);
}

TEST_F(RecursionTest, ANativeCalledFromTheDeepestFrameAborts)
{
    EXPECT_EQ(recurse(499, true), -1);
    expect_error("Error: Too many function calls in script interpreter\n");
    machine.errors.clear();
    EXPECT_EQ(recurse(498, true), 0);
    EXPECT_TRUE(machine.errors.empty());
}

// What the natives below change: the address of an int operand to patch, and
// the function to bind anew.
int32_t operand_to_patch = 0;
int32_t rebound_address = 0;

int patch_operand(void *context)
{
    static_cast<PCodeMachine *>(context)->patch_int(7, operand_to_patch);
    return 0;
}

int rebind_function(void *context)
{
    static_cast<PCodeMachine *>(context)->bind_script_function(1, rebound_address);
    return 0;
}

TEST_F(PCodeMachineTest, AReturnAfterTheCodeChangedGoesOnInTheChangedCode)
{
    // F calls a native that changes the caller's code after the call.
    machine.bind_native(2, &patch_operand);
    PCodeAssembler code;
    code.lines("PUSH_I 1;CALL;back:;PUSH_I 5;END;F:;PUSH_I 2;CALL;RET");
    const int32_t start = code.load(machine);
    machine.bind_script_function(1, code.address("F"));
    operand_to_patch = code.address("back") + 1;
    ASSERT_EQ(machine.run(&machine, start), 0);
    ASSERT_EQ(machine.stack_pointer(), 1);
    EXPECT_EQ(machine.stack_int(0), 7);
}

TEST_F(PCodeMachineTest, ACallGoesToTheFunctionBoundAtThatTime)
{
    // Twice the same call of function 1, rebound in between from F to G.
    machine.bind_native(2, &rebind_function);
    machine.allocate_data(4);
    PCodeAssembler code;
    code.lines("again:;PUSH_I0;PUSH_I 1;CALL;PUSH_I0;PUSH_I 2;CALL;POP;"
               "PUSH_GADDR 0;PREINC_I;PUSH_I2;I_LT;JNZ @again;END;"
               "F:;PUSH_I 11;PUSH_I1;SET_RESULT;RET;G:;PUSH_I 22;PUSH_I1;SET_RESULT;RET");
    const int32_t start = code.load(machine);
    machine.bind_script_function(1, code.address("F"));
    rebound_address = code.address("G");
    ASSERT_EQ(machine.run(&machine, start), 0);
    ASSERT_EQ(machine.stack_pointer(), 2);
    EXPECT_EQ(machine.stack_int(1), 11);
    EXPECT_EQ(machine.stack_int(0), 22);
}

// ---------------------------------------------------------------------------
// Natives

struct NativeContext {
    PCodeMachine *machine = nullptr;
    std::vector<int32_t> seen;
};

int three_args(void *context)
{
    auto *c = static_cast<NativeContext *>(context);
    for (int depth = 0; depth < 3; ++depth)
        c->seen.push_back(c->machine->stack_int(depth));
    c->machine->set_stack_int(3, 1000 + c->machine->stack_int(2)); // result cell at depth k
    return 0;
}

int variadic(void *context)
{
    auto *c = static_cast<NativeContext *>(context);
    const int n = c->machine->stack_int(0);
    c->seen.push_back(n);
    for (int i = 0; i < n; ++i)
        c->seen.push_back(c->machine->stack_int(n - i)); // argument i at depth n - i
    c->machine->set_stack_double(n + 1, 2.5);
    return 0;
}

TEST_F(PCodeMachineTest, NativeWithFixedArgumentsReadsThemAtTheirDepths)
{
    NativeContext context{&machine, {}};
    machine.bind_native(5, &three_args);
    ASSERT_EQ(run("PUSH_I0;PUSH_I1;PUSH_I2;PUSH_I3;PUSH_I 5;CALL;POP3;END", &context), 0);
    EXPECT_EQ(context.seen, (std::vector<int32_t>{3, 2, 1}));
    ASSERT_EQ(machine.stack_pointer(), 1);
    EXPECT_EQ(machine.stack_int(0), 1001);
}

TEST_F(PCodeMachineTest, VariadicNativeFindsTheCountOnTop)
{
    NativeContext context{&machine, {}};
    machine.bind_native(6, &variadic);
    ASSERT_EQ(run("PUSH_I0;PUSH_I 10;PUSH_I 11;PUSH_I2;PUSH_I 6;CALL;POP3;END", &context), 0);
    EXPECT_EQ(context.seen, (std::vector<int32_t>{2, 10, 11}));
    ASSERT_EQ(machine.stack_pointer(), 1);
    EXPECT_DOUBLE_EQ(machine.stack_double(0), 2.5);
}

int overwrite_low_word(void *context)
{
    static_cast<NativeContext *>(context)->machine->set_stack_int(0, 7);
    return 0;
}

TEST_F(PCodeMachineTest, SetStackIntChangesOnlyTheLowWord)
{
    NativeContext context{&machine, {}};
    machine.bind_native(1, &overwrite_low_word);
    ASSERT_EQ(run("PUSH_D 1.5;PUSH_I1;CALL;PUSH_GADDR 0;STORE_REF;END", &context), 0);
    EXPECT_EQ(machine.data_int(0), 7);
    EXPECT_EQ(machine.data_int(4), 0x3FF80000);
}

TEST(PCodeMachineBinding, FunctionTableGrowsInSteps)
{
    PCodeMachine machine;
    EXPECT_EQ(machine.function_capacity(), 1500);
    ASSERT_EQ(machine.bind_script_function(1, 10), 0);
    ASSERT_EQ(machine.bind_native(1499, &three_args), 0);
    EXPECT_EQ(machine.function_capacity(), 1500);
    ASSERT_EQ(machine.bind_native(1500, &variadic), 0);
    EXPECT_EQ(machine.function_capacity(), 3000);
    EXPECT_EQ(machine.function(1)->kind, PCodeFunction::script);
    EXPECT_EQ(machine.function(1)->code_address, 10);
    EXPECT_EQ(machine.function(1499)->entry, &three_args);
    EXPECT_EQ(machine.function(1500)->entry, &variadic);
    // A number far beyond one step still fits; a negative one is refused.
    ASSERT_EQ(machine.bind_native(7000, &variadic), 0);
    EXPECT_EQ(machine.function_capacity(), 7500);
    EXPECT_EQ(machine.bind_native(-1, &variadic), -1);
}

TEST(PCodeMachineBinding, NativesAreBoundByTheirDeclaredName)
{
    ScriptSymbolTable symbols;
    auto declare = [&](ScriptSymbol *symbol, const char *name, int level) {
        symbol->set_name(name, false);
        symbol->level = level;
        symbols.insert(symbol);
    };
    auto *print = new ScriptFunction;
    print->index = 7;
    declare(print, "print", 0);
    auto *inner = new ScriptFunction;
    inner->index = 8;
    declare(inner, "inner", 1);
    declare(new ScriptVariable, "counter", 0);

    PCodeMachine machine;
    EXPECT_EQ(machine.bind_native_by_name(symbols, "print", &three_args), 0);
    EXPECT_EQ(machine.function(7)->kind, PCodeFunction::native);
    EXPECT_EQ(machine.function(7)->entry, &three_args);
    EXPECT_EQ(machine.bind_native_by_name(symbols, "missing", &three_args), -1);
    EXPECT_EQ(machine.bind_native_by_name(symbols, "inner", &three_args), -1); // only level 0 counts
    EXPECT_EQ(machine.bind_native_by_name(symbols, "counter", &three_args), -1); // not a function
    EXPECT_EQ(machine.bind_native_if_declared(symbols, "missing", &three_args), 0);
    EXPECT_EQ(machine.bind_native_if_declared(symbols, "counter", &three_args), -1);
    for (int number = 0; number < machine.function_capacity(); ++number)
        EXPECT_EQ(machine.function(number)->bound(), number == 7) << number;
}

TEST(PCodeMachineData, AllocationGrowsTheDataMemory)
{
    PCodeMachine machine;
    EXPECT_EQ(machine.data_capacity(), 0);
    machine.allocate_data(10);
    EXPECT_EQ(machine.data_capacity(), 1034);
    machine.align_data();
    EXPECT_EQ(machine.data_top(), 12);
    machine.allocate_data(1030);
    EXPECT_EQ(machine.data_capacity(), 2066); // max(1034 + 1024, 1042 + 1024)
    EXPECT_EQ(machine.data_high_water(), 1042);
    machine.set_data_double(1030, 4.25);
    EXPECT_DOUBLE_EQ(machine.data_double(1030), 4.25);
    // A run reserves 64 KB above the globals for locals.
    machine.run(nullptr, 0);
    EXPECT_EQ(machine.data_capacity(), 2066 + 65536);
}

TEST(PCodeMachineData, TheRunReserveKeepsLargeDataMemoryInPlace)
{
    // A large global array is neither copied nor held twice when the run
    // adds its 64 KB for locals; its contents stay.
    PCodeMachine machine;
    ASSERT_EQ(machine.allocate_data(16 << 20), 0);
    machine.set_data_int((16 << 20) - 4, 77);
    const uint8_t *before = machine.data_pointer(0, 1);
    machine.run(nullptr, 0);
    EXPECT_EQ(machine.data_capacity(), (16 << 20) + 1024 + 65536);
    EXPECT_EQ(machine.data_pointer(0, 1), before);
    EXPECT_EQ(machine.data_int((16 << 20) - 4), 77);
}

TEST(PCodeMachineData, TheDataTopStaysInTheIntRange)
{
    PCodeMachine machine;
    EXPECT_EQ(machine.allocate_data(INT32_MAX - 100), -1); // the memory cannot grow past the int range
    EXPECT_EQ(machine.allocate_data(200), -1);             // nor can the top
    EXPECT_EQ(machine.data_top(), INT32_MAX - 100);
}

// ---------------------------------------------------------------------------
// Hooks

struct HookLog {
    std::vector<std::string> calls;
};

void notify_hook(void *c, int32_t address, int32_t operand)
{
    static_cast<HookLog *>(c)->calls.push_back("notify " + std::to_string(address) + " " + std::to_string(operand));
}
void int_store_hook(void *c, int32_t address, int32_t operand, int32_t value)
{
    static_cast<HookLog *>(c)->calls.push_back("istore " + std::to_string(address) + " " + std::to_string(operand) +
                                              " " + std::to_string(value));
}
void double_store_hook(void *c, int32_t address, int32_t operand, double value)
{
    static_cast<HookLog *>(c)->calls.push_back("dstore " + std::to_string(address) + " " + std::to_string(operand) +
                                              " " + std::to_string(value));
}
int32_t int_read_hook(void *c, int32_t address, int32_t kind, int32_t operand)
{
    static_cast<HookLog *>(c)->calls.push_back("iread " + std::to_string(address) + " " + std::to_string(kind) + " " +
                                              std::to_string(operand));
    return address + kind;
}
double double_read_hook(void *c, int32_t address, int32_t kind, int32_t operand)
{
    static_cast<HookLog *>(c)->calls.push_back("dread " + std::to_string(address) + " " + std::to_string(kind) + " " +
                                              std::to_string(operand));
    return address + kind + 0.5;
}

TEST_F(PCodeMachineTest, HookedInstructionsCallTheHooks)
{
    HookLog log;
    machine.set_hooks(PCodeHooks{&log, notify_hook, int_store_hook, double_store_hook, int_read_hook,
                                 double_read_hook});
    ASSERT_EQ(run("LOAD_GI_HOOK 100 7;PUSH_GADDR 200;PREINC_I_HOOK 8;PUSH_GADDR 300;POSTDEC_I_HOOK 9;"
                  "PUSH_GADDR 400;PREDEC_D_HOOK 10;PUSH_GADDR 500;NOTIFY_HOOK 11;"
                  "PUSH_I 42;PUSH_GADDR 600;STORE_I_HOOK 12;PUSH_D 1.5;PUSH_GADDR 700;STORE_D_HOOK 13;END"),
              0);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"iread 100 0 7", "iread 200 2 8", "iread 300 3 9",
                                                   "dread 400 1 10", "notify 500 11", "istore 600 12 42",
                                                   "dstore 700 13 1.500000"}));
    ASSERT_EQ(machine.stack_pointer(), 4);
    EXPECT_EQ(machine.stack_int(3), 100);
    EXPECT_EQ(machine.stack_int(2), 202);
    EXPECT_EQ(machine.stack_int(1), 303);
    EXPECT_DOUBLE_EQ(machine.stack_double(0), 401.5);
}

TEST_F(PCodeMachineTest, MissingHooksPopTheAddressOnly)
{
    ASSERT_EQ(run("LOAD_GI_HOOK 100 7;PUSH_I 5;PUSH_GADDR 200;LOAD_I_HOOK 8;"
                  "PUSH_GADDR 300;LOAD_D_HOOK 9;PUSH_GADDR 500;NOTIFY_HOOK 11;"
                  "PUSH_GADDR 600;STORE_I_HOOK 12;END"),
              0);
    ASSERT_EQ(machine.stack_pointer(), 1); // the store left its value
    EXPECT_EQ(machine.stack_int(0), 5);
}

// ---------------------------------------------------------------------------
// Limits

TEST_F(PCodeMachineTest, The250000thInstructionRunsAndTheNextAborts)
{
    std::vector<uint8_t> noops(249999, 3);
    noops.push_back(OP_END);
    machine.append_code(noops.data(), int32_t(noops.size()));
    EXPECT_EQ(machine.run(nullptr, 0), 0);
    EXPECT_EQ(machine.cycle_counter(), 250000u);
    EXPECT_TRUE(machine.errors.empty());
    EXPECT_EQ(machine.run(nullptr, 1), 0); // one instruction fewer

    RecordingMachine longer;
    std::vector<uint8_t> more(250000, 3);
    more.push_back(OP_END);
    longer.append_code(more.data(), int32_t(more.size()));
    EXPECT_EQ(longer.run(nullptr, 0), -1);
    ASSERT_EQ(longer.errors.size(), 1u);
    EXPECT_EQ(longer.errors[0], "Error: Too many cylces in script interpreter - aborted execution.\n");
    EXPECT_EQ(longer.program_counter() - 1, 250000); // the END that did not run
}

TEST_F(PCodeMachineTest, CycleLimitAllBitsSetMeansNoLimit)
{
    machine.set_cycle_limit(PCodeMachine::no_cycle_limit);
    // 300000 rounds of a four-instruction loop.
    ASSERT_EQ(run("PUSH_I 300000;PUSH_GADDR 0;STORE_I;loop:;PUSH_GADDR 0;PREDEC_I;JNZ @loop;END"), 0);
    EXPECT_TRUE(machine.errors.empty());
    EXPECT_EQ(machine.data_int(0), 0);
}

// The interpreter runs common sequences of instructions as one step; the
// limit still falls on the exact instruction. Each limit gets a fresh machine,
// so that the sequence is met whole.
TEST(PCodeMachineCycles, TheLimitFallsOnTheExactInstructionOfASequence)
{
    // A variable compared with a constant and a conditional jump; then END.
    const std::string program = "PUSH_GADDR_B 0;LOAD_I;PUSH_I 5;I_LT;JZ @end;end:;END";
    const int32_t addresses[] = {0, 2, 3, 8, 9, 14};
    for (uint32_t limit = 0; limit < 6; ++limit) {
        RecordingMachine machine;
        machine.allocate_data(8);
        machine.set_cycle_limit(limit);
        PCodeAssembler code;
        code.lines(program);
        EXPECT_EQ(machine.run(nullptr, code.load(machine)), -1) << limit;
        ASSERT_EQ(machine.errors.size(), 1u) << limit;
        EXPECT_EQ(machine.errors[0], "Error: Too many cylces in script interpreter - aborted execution.\n");
        EXPECT_EQ(machine.program_counter() - 1, addresses[limit]) << limit;
        EXPECT_EQ(machine.cycle_counter(), limit + 1);
    }
    RecordingMachine enough;
    enough.allocate_data(8);
    enough.set_cycle_limit(6);
    PCodeAssembler code;
    code.lines(program);
    EXPECT_EQ(enough.run(nullptr, code.load(enough)), 0);
    EXPECT_EQ(enough.cycle_counter(), 6u);
}

// A sequence cut by the limit runs instruction by instruction from then on;
// a later run on the same machine still runs it whole and counts it right.
TEST(PCodeMachineCycles, ASequenceCutByTheLimitRunsWholeInALaterRun)
{
    RecordingMachine machine;
    machine.allocate_data(8);
    machine.set_data_int(0, 3);
    PCodeAssembler code;
    code.lines("loop:;PUSH_GADDR_B 0;LOAD_I;PUSH_I 0;I_GT;JZ @end;PUSH_GADDR_B 0;PREDEC_I;POP;JMP @loop;end:;END");
    const int32_t start = code.load(machine);
    machine.set_cycle_limit(2);
    EXPECT_EQ(machine.run(nullptr, start), -1);
    EXPECT_EQ(machine.program_counter() - 1, start + 3); // the constant push
    machine.errors.clear();
    machine.set_cycle_limit(1000);
    ASSERT_EQ(machine.run(nullptr, start), 0);
    EXPECT_TRUE(machine.errors.empty());
    EXPECT_EQ(machine.data_int(0), 0);
    EXPECT_EQ(machine.cycle_counter(), 3u * 9u + 6u);
}

TEST_F(PCodeMachineTest, FailuresInsideSequencesAreReportedAtTheirInstruction)
{
    const struct {
        const char *program;
        const char *message;
        int32_t address; // of the failing instruction
    } cases[] = {
        {"PUSH_LADDR -2147483647;LOAD_I;END", "Error: Access to data address", 5},
        {"PUSH_GADDR 0;LOAD_I;I_ADD;PUSH_GADDR 0;STORE_I;END", "Error: Stack underflow", 6},
        {"PUSH_I 1;PUSH_I -4;PUSH_I 9;SWAP;STORE_I;END", "Error: Access to data address -4", 16},
        {"loop:;PUSH_GADDR_B 0;LOAD_I;JMP @loop", "Error: Stack overflow", 0},
        {"PUSH_I 7777;CALL;END", "Error: Call of undefined function 7777", 5},
    };
    machine.allocate_data(8);
    for (const auto &c : cases) {
        machine.errors.clear();
        PCodeAssembler code;
        code.lines(c.program);
        const int32_t start = code.load(machine);
        EXPECT_EQ(machine.run(nullptr, start), -1) << c.program;
        ASSERT_EQ(machine.errors.size(), 1u) << c.program;
        EXPECT_TRUE(starts_with(machine.errors[0], c.message)) << machine.errors[0];
        EXPECT_EQ(machine.program_counter() - 1, start + c.address) << c.program;
    }
}

TEST_F(PCodeMachineTest, AJumpIntoTheMiddleOfASequenceRunsFromThere)
{
    machine.allocate_data(16);
    machine.set_data_int(4, 44);
    machine.set_data_int(8, 88);
    PCodeAssembler code;
    code.lines("PUSH_I 8;JMP @mid;start:;PUSH_GADDR 4;mid:;LOAD_I;END");
    const int32_t begin = code.load(machine);
    ASSERT_EQ(machine.run(nullptr, begin), 0);
    ASSERT_EQ(machine.run(nullptr, code.address("start")), 0);
    ASSERT_EQ(machine.stack_pointer(), 2);
    EXPECT_EQ(machine.stack_int(1), 88);
    EXPECT_EQ(machine.stack_int(0), 44);
}

TEST_F(PCodeMachineTest, AJumpIntoTheOperandOfAnInstructionRunsItsBytesAsCode)
{
    // The operand 0x19000025 holds OP_PUSH_I1, two no-ops and OP_END.
    PCodeAssembler code;
    code.lines("PUSH_I @x;PUSH_I1;I_ADD;JMP_IND;x:;PUSH_I 419430437;END");
    code.load(machine);
    ASSERT_EQ(machine.run(nullptr, code.address("x")), 0);
    ASSERT_EQ(machine.run(nullptr, 0), 0);
    ASSERT_EQ(machine.stack_pointer(), 2);
    EXPECT_EQ(machine.stack_int(1), 419430437);
    EXPECT_EQ(machine.stack_int(0), 1);
    EXPECT_EQ(machine.program_counter(), code.address("x") + 5); // after the OP_END of the operand
}

TEST_F(PCodeMachineTest, ChangedCodeRunsAsChanged)
{
    PCodeAssembler code;
    code.lines("PUSH_I 5;END");
    const int32_t start = code.load(machine);
    ASSERT_EQ(machine.run(nullptr, start), 0);
    machine.patch_int(7, start + 1);
    ASSERT_EQ(machine.run(nullptr, start), 0);
    EXPECT_EQ(machine.stack_int(1), 5);
    EXPECT_EQ(machine.stack_int(0), 7);
}

int append_push(void *context)
{
    auto *machine = static_cast<PCodeMachine *>(context);
    const uint8_t push[] = {OP_PUSH_B, 42};
    machine->append_code(push, sizeof push);
    return 0;
}

TEST_F(PCodeMachineTest, CodeThatANativeAppendsRunsInTheSameRun)
{
    machine.bind_native(1, &append_push);
    ASSERT_EQ(run("PUSH_I0;PUSH_I1;CALL", &machine), 0);
    ASSERT_EQ(machine.stack_pointer(), 2);
    EXPECT_EQ(machine.stack_int(0), 42);
}

TEST_F(PCodeMachineTest, ArrayBoundsAreReportedAndTheRunContinues)
{
    // An 8-byte array at 16: index 7 is inside, 10 and -1 are outside and become 0.
    ASSERT_EQ(run("PUSH_GADDR 16;SET_SIZE_B 8;PUSH_I 7;SIZE_CHK_I_ADD;"
                  "PUSH_GADDR 16;SET_SIZE_B 8;PUSH_I 10;SIZE_CHK_I_ADD;"
                  "PUSH_GADDR 16;SET_SIZE_B 8;PUSH_IM1;SIZE_CHK_I_ADD;PUSH_I 3;END"),
              0);
    ASSERT_EQ(machine.errors.size(), 2u);
    EXPECT_EQ(machine.errors[0], "OP_SIZE_CHK_I_ADD: Array bounds violated\n");
    EXPECT_EQ(machine.errors[1], "OP_SIZE_CHK_I_ADD: Array bounds violated\n");
    ASSERT_EQ(machine.stack_pointer(), 4);
    EXPECT_EQ(machine.stack_int(3), 23);
    EXPECT_EQ(machine.stack_int(2), 16);
    EXPECT_EQ(machine.stack_int(1), 16);
    EXPECT_EQ(machine.stack_int(0), 3);
}

// ---------------------------------------------------------------------------
// Mended faults: every one aborts the run with a message and leaves the stack
// where the run found it.

struct FaultCase {
    const char *program;
    const char *message; // the start of the report
    int depth = -1;      // the stack depth the report sees, where the case checks it
};

void PrintTo(const FaultCase &c, std::ostream *out)
{
    *out << c.program;
}

class PCodeFaultTest : public PCodeMachineTest, public testing::WithParamInterface<FaultCase>
{
};

TEST_P(PCodeFaultTest, AbortsWithAMessage)
{
    const FaultCase &c = GetParam();
    machine.allocate_data(64);
    machine.run(nullptr, machine.code_length()); // settles the data memory at its run size
    const int32_t capacity = machine.data_capacity();
    std::string program = c.program;
    for (size_t at; (at = program.find("CAP")) != std::string::npos;)
        program.replace(at, 3, std::to_string(capacity));
    EXPECT_EQ(run("PUSH_I 1;PUSH_I 2;" + program + ";PUSH_I 99;END"), -1);
    ASSERT_EQ(machine.errors.size(), 1u);
    EXPECT_TRUE(starts_with(machine.errors[0], c.message)) << machine.errors[0];
    EXPECT_EQ(machine.errors[0].back(), '\n');
    if (c.depth >= 0) {
        EXPECT_EQ(machine.depth_at_last_error, c.depth);
    }
    EXPECT_EQ(machine.stack_pointer(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Mended, PCodeFaultTest,
    testing::Values(
        FaultCase{"PUSH_I 5;PUSH_I0;I_DIV", "Error: Integer division by zero"},
        FaultCase{"PUSH_I 5;PUSH_I0;I_MOD", "Error: Integer modulo by zero"},
        FaultCase{"PUSH_I -2147483648;PUSH_IM1;I_DIV", "Error: Integer overflow in division -2147483648 / -1"},
        FaultCase{"LOAD_GI CAP", "Error: Access to data address"},
        FaultCase{"LOAD_GI -4", "Error: Access to data address -4 (4 bytes)"},
        FaultCase{"PUSH_I 1;PUSH_I CAP;PUSH_I 2;I_SUB;STORE_I", "Error: Access to data address"},
        FaultCase{"PUSH_D 1;PUSH_I CAP;PUSH_I 7;I_SUB;STORE_D", "Error: Access to data address"},
        FaultCase{"PUSH_I -1;LOAD_B", "Error: Access to data address -1 (1 bytes)"},
        FaultCase{"PUSH_I0;PUSH_I -1;STORE_REF", "Error: Access to data address"},
        FaultCase{"PUSH_I -1;PREINC_I", "Error: Access to data address"},
        FaultCase{"PUSH_I -8;LOAD_SIZE", "Error: Access to data address"},
        FaultCase{"PUSH_I 0;PUSH_I CAP;COPY 1", "Error: Access to data address"},
        FaultCase{"PUSH_I 0;PUSH_I 0;COPY -1", "Error: Access to data address"},
        FaultCase{"LOAD_LI -2147483647", "Error: Access to data address"},
        FaultCase{"INIT_GLOBAL CAP 1", "Error: Access to data address"},
        FaultCase{"POP3", "Error: Stack underflow in script interpreter"},
        FaultCase{"POPN 200", "Error: Stack underflow in script interpreter"},
        FaultCase{"POP2;I_ADD", "Error: Stack underflow in script interpreter"},
        FaultCase{"loop:;PUSH_I0;JMP @loop", "Error: Stack overflow in script interpreter",
                  PCodeMachine::stack_capacity},
        FaultCase{"PUSH_I 7777;CALL", "Error: Call of undefined function 7777"},
        FaultCase{"PUSH_IM1;CALL", "Error: Call of undefined function -1"},
        FaultCase{"PUSH_I 4;CALL", "Error: Call of undefined function 4"},
        FaultCase{"RET", "Error: Return without a call in script interpreter"},
        FaultCase{"JMP -5", "Error: Jump to invalid code address -5"},
        FaultCase{"PUSH_IM1;JMP_IND", "Error: Jump to invalid code address -1"},
        FaultCase{"PUSH_I0;SWITCH 0", "Error: No switch table at code address 0"},
        FaultCase{"PUSH_I0;SWITCH -3", "Error: No switch table at code address -3"},
        FaultCase{"PUSH_I 5;ARG", "Error: Argument 5 outside the operand stack"},
        FaultCase{"PUSH_I -9;ARG", "Error: Argument -9 outside the operand stack"},
        FaultCase{"PUSH_I 1;PUSH_I -5;SET_RESULT", "Error: Result cell -5 outside the operand stack"}));

TEST_F(PCodeMachineTest, TruncatedInstructionAborts)
{
    const uint8_t code[] = {OP_PUSH_I1, OP_PUSH_I, 1, 2};
    machine.append_code(code, sizeof code);
    EXPECT_EQ(machine.run(nullptr, 0), -1);
    expect_error("Error: Instruction at code address 1 runs past the end of the code\n");
    EXPECT_EQ(machine.stack_pointer(), 0);
}

TEST_F(PCodeMachineTest, InvalidStartAddressAborts)
{
    EXPECT_EQ(machine.run(nullptr, -1), -1);
    expect_error("Error: Invalid start address -1\n");
}

TEST_F(PCodeMachineTest, RepeatedAbortsDoNotWalkOffTheStack)
{
    PCodeAssembler code;
    code.lines("PUSH_I 1;PUSH_I 2;PUSH_I 3;PUSH_I0;I_DIV;END");
    const int32_t start = code.load(machine);
    for (int k = 0; k < 2000; ++k)
        ASSERT_EQ(machine.run(nullptr, start), -1);
    EXPECT_EQ(machine.stack_pointer(), 0);
    EXPECT_EQ(machine.errors.size(), 2000u);
    EXPECT_EQ(machine.errors.back(), "Error: Integer division by zero\n");
}

int bad_data_access(void *context)
{
    auto *c = static_cast<NativeContext *>(context);
    c->seen.push_back(c->machine->data_int(-4));
    c->seen.push_back(c->machine->data_pointer(c->machine->data_capacity() - 1, 2) == nullptr);
    return 0;
}

int bad_stack_depth(void *context)
{
    auto *c = static_cast<NativeContext *>(context);
    c->seen.push_back(c->machine->stack_int(c->machine->stack_pointer()));
    return 0;
}

TEST_F(PCodeMachineTest, NativeAccessFaultsAbortTheRun)
{
    NativeContext context{&machine, {}};
    machine.bind_native(1, &bad_data_access);
    machine.bind_native(2, &bad_stack_depth);
    EXPECT_EQ(run("PUSH_I 5;PUSH_I1;CALL;PUSH_I 6;END", &context), -1);
    EXPECT_EQ(context.seen, (std::vector<int32_t>{0, 1}));
    ASSERT_EQ(machine.errors.size(), 2u);
    EXPECT_TRUE(starts_with(machine.errors[0], "Error: Access to data address -4 (4 bytes)"));
    EXPECT_EQ(machine.stack_pointer(), 0);

    machine.errors.clear();
    context.seen.clear();
    EXPECT_EQ(run("PUSH_I 5;PUSH_I2;CALL;END", &context), -1);
    EXPECT_EQ(context.seen, (std::vector<int32_t>{0}));
    expect_error("Error: Stack depth 1 outside the 1 cells in use\n");
}

TEST_F(PCodeMachineTest, AccessFaultsOutsideARunReadZero)
{
    EXPECT_EQ(machine.data_int(0), 0); // no data memory yet
    EXPECT_EQ(machine.stack_int(0), 0);
    machine.set_data_int(0, 5);
    EXPECT_EQ(machine.errors.size(), 3u);
    EXPECT_EQ(machine.run(nullptr, 0), 0); // an earlier fault does not abort a later run
}

} // namespace
