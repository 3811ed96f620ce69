// The code emitter: encodings, insertion and patches, labels, and the
// peephole optimiser with its trace lines.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_compiler.h"
#include "tests/script/pcode_assembler.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes code_of(const PCodeMachine &m, int32_t from = 0)
{
    return Bytes(m.code() + from, m.code() + m.code_length());
}

// The bytes of an int or double operand, little-endian.
Bytes le(int32_t v)
{
    return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(uint32_t(v) >> 24)};
}
Bytes le(double v)
{
    Bytes b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
}
Bytes cat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---------------------------------------------------------------------------
// Encodings

struct EncodingCase {
    const char *name;
    std::function<void(PCodeMachine &)> emit;
    Bytes expected;
    int logical;   // recorded opcode
    int32_t value; // recorded int operand
};

void PrintTo(const EncodingCase &c, std::ostream *out)
{
    *out << c.name;
}

class EncodingTest : public testing::TestWithParam<EncodingCase>
{
};

TEST_P(EncodingTest, EmitsTheExpectedBytesAndRecordsTheLongForm)
{
    const EncodingCase &c = GetParam();
    PCodeMachine m;
    m.emit_opcode(OP_END); // something before, so that positions are not 0
    c.emit(m);
    EXPECT_EQ(code_of(m, 1), c.expected);
    EXPECT_EQ(m.window_entry(0).position, 1);
    EXPECT_EQ(m.window_entry(0).opcode, c.logical);
    EXPECT_EQ(m.window_entry(0).int_operand, c.value);
    EXPECT_EQ(m.window_entry(1).opcode, OP_END);
}

EncodingCase push_int(int32_t v, bool optimise, Bytes expected)
{
    return {"push int", [=](PCodeMachine &m) { m.emit_push_int(v, optimise); }, expected, OP_PUSH_I, v};
}

EncodingCase push_address(int32_t a, bool local, bool optimise, Bytes expected)
{
    return {"push address", [=](PCodeMachine &m) { m.emit_push_address(a, local, optimise); }, expected,
            local ? OP_PUSH_LADDR : OP_PUSH_GADDR, a};
}

EncodingCase set_size(int32_t n, bool optimise, Bytes expected)
{
    return {"set size", [=](PCodeMachine &m) { m.emit_set_size(n, optimise); }, expected, OP_SET_SIZE, n};
}

EncodingCase pop(int32_t n, bool optimise, Bytes expected)
{
    return {"pop", [=](PCodeMachine &m) { m.emit_pop(n, optimise); }, expected, OP_POP, n};
}

INSTANTIATE_TEST_SUITE_P(
    PushInt, EncodingTest,
    testing::Values(push_int(-1, true, {OP_PUSH_IM1}), push_int(0, true, {OP_PUSH_I0}),
                    push_int(3, true, {OP_PUSH_I3}), push_int(4, true, {OP_PUSH_I4}), push_int(8, true, {OP_PUSH_I8}),
                    push_int(5, true, {OP_PUSH_B, 5}), push_int(255, true, {OP_PUSH_B, 255}),
                    push_int(-2, true, {OP_PUSH_NEG_B, 2}), push_int(-255, true, {OP_PUSH_NEG_B, 255}),
                    push_int(-256, true, {OP_PUSH_W, 0x00, 0xFF}), push_int(256, true, {OP_PUSH_W, 0x00, 0x01}),
                    push_int(32767, true, {OP_PUSH_W, 0xFF, 0x7F}), push_int(-32768, true, {OP_PUSH_W, 0x00, 0x80}),
                    push_int(32768, true, cat({OP_PUSH_I}, le(32768))),
                    push_int(-32769, true, cat({OP_PUSH_I}, le(-32769))),
                    push_int(40000, true, cat({OP_PUSH_I}, le(40000))),
                    push_int(0, false, cat({OP_PUSH_I}, le(0))), push_int(8, false, cat({OP_PUSH_I}, le(8)))));

INSTANTIATE_TEST_SUITE_P(
    AddressSizePop, EncodingTest,
    testing::Values(push_address(255, true, true, {OP_PUSH_LADDR_B, 255}),
                    push_address(256, true, true, cat({OP_PUSH_LADDR}, le(256))),
                    push_address(0, false, true, {OP_PUSH_GADDR_B, 0}),
                    push_address(-1, false, true, cat({OP_PUSH_GADDR}, le(-1))),
                    push_address(3, false, false, cat({OP_PUSH_GADDR}, le(3))),
                    set_size(255, true, {OP_SET_SIZE_B, 255}), set_size(256, true, cat({OP_SET_SIZE}, le(256))),
                    set_size(-1, true, cat({OP_SET_SIZE}, le(-1))), set_size(7, false, cat({OP_SET_SIZE}, le(7))),
                    pop(0, true, {}), pop(1, true, {OP_POP}), pop(2, true, {OP_POP2}), pop(5, true, {OP_POP5}),
                    pop(6, true, {OP_POPN, 6}), pop(255, true, {OP_POPN, 255}),
                    pop(256, true, {OP_POPN, 255, OP_POPN, 1}),
                    pop(600, true, {OP_POPN, 255, OP_POPN, 255, OP_POPN, 90}),
                    pop(3, false, {OP_POP, OP_POP, OP_POP})));

TEST(PCodeEmitter, DoubleEncodings)
{
    struct Case {
        double v;
        bool optimise;
        Bytes expected;
    };
    const Case cases[] = {{0.0, true, {OP_PUSH_D0}},
                          {-0.0, true, {OP_PUSH_D0}},
                          {1.0, true, {OP_PUSH_D1}},
                          {2.5, true, cat({OP_PUSH_D}, le(2.5))},
                          {1.0, false, cat({OP_PUSH_D}, le(1.0))}};
    for (const Case &c : cases) {
        PCodeMachine m;
        m.emit_push_double(c.v, c.optimise);
        EXPECT_EQ(code_of(m), c.expected) << c.v;
        EXPECT_EQ(m.window_entry(0).opcode, OP_PUSH_D);
        EXPECT_EQ(m.window_entry(0).double_operand, c.v);
    }
}

TEST(PCodeEmitter, RawEmitsRecordTheirOperands)
{
    PCodeMachine m;
    m.emit_opcode(OP_PUSH_I);
    m.emit_int(1234);
    m.emit_opcode(OP_PUSH_D);
    m.emit_double(0.5);
    m.emit_opcode(OP_PUSH_W);
    m.emit_bytes(0x1234, 2);
    m.emit_string("ab");
    EXPECT_EQ(code_of(m), cat(cat(cat({OP_PUSH_I}, le(1234)), cat({OP_PUSH_D}, le(0.5))),
                              {OP_PUSH_W, 0x34, 0x12, 'a', 'b', 0}));
    EXPECT_EQ(m.window_entry(0).opcode, OP_PUSH_W);
    EXPECT_EQ(m.window_entry(0).int_operand, 0x1234);
    EXPECT_EQ(m.window_entry(1).double_operand, 0.5);
    EXPECT_EQ(m.window_entry(2).int_operand, 1234);
    EXPECT_EQ(m.window_entry(2).position, 0);
}

TEST(PCodeEmitter, CodeGrowsInStepsKeepingOneByteSpare)
{
    PCodeMachine m;
    for (int k = 0; k < 1499; ++k)
        m.emit_opcode(OP_END);
    EXPECT_EQ(m.code_capacity(), 1500);
    m.emit_opcode(OP_END);
    EXPECT_EQ(m.code_capacity(), 2500);
    m.emit_string(std::string(2500, 'x').c_str());
    EXPECT_EQ(m.code_capacity(), 4500);
    EXPECT_EQ(m.code_length(), 1500 + 2501);
}

// ---------------------------------------------------------------------------
// Insertion, patches, labels

TEST(PCodeEmitter, InsertPositionPlacesCodeAheadAndMovesUp)
{
    PCodeMachine m;
    m.emit_opcode(OP_PUSH_I1);
    m.emit_opcode(OP_PUSH_I2);
    m.emit_opcode(OP_END);
    m.set_insert_position(1);
    EXPECT_EQ(m.code_position(), 1);
    m.emit_push_int(1000, true); // inserted between the two pushes
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_I1, OP_PUSH_W, 0xE8, 0x03, OP_PUSH_I2, OP_END}));
    EXPECT_EQ(m.insert_position(), 4);
    EXPECT_EQ(m.window_entry(0).opcode, 0); // an insertion clears the window
    // Explicit positions: before the insert position moves it, after does not.
    m.emit_opcode(OP_DUP, 0);
    EXPECT_EQ(m.insert_position(), 5);
    m.emit_opcode(OP_POP, 6);
    EXPECT_EQ(m.insert_position(), 5);
    EXPECT_EQ(code_of(m), (Bytes{OP_DUP, OP_PUSH_I1, OP_PUSH_W, 0xE8, 0x03, OP_PUSH_I2, OP_POP, OP_END}));
    // Back to appending.
    m.set_insert_position(m.code_length());
    EXPECT_EQ(m.insert_position(), -1);
    EXPECT_EQ(m.code_position(), m.code_length());
    m.emit_opcode(OP_SWAP);
    EXPECT_EQ(m.code()[m.code_length() - 1], OP_SWAP);
    EXPECT_EQ(m.window_entry(0).opcode, OP_SWAP);
}

TEST(PCodeEmitter, ReserveAppendsZerosOnlyAtTheEnd)
{
    PCodeMachine m;
    m.emit_opcode(OP_END);
    m.set_insert_position(0); // reserve ignores the insert position
    m.reserve_code(3);
    EXPECT_EQ(code_of(m), (Bytes{OP_END, 0, 0, 0}));
    m.reserve_code(3, 1);
    EXPECT_EQ(m.code_length(), 4);
}

TEST(PCodeEmitter, PatchesOverwriteInPlace)
{
    PCodeMachine m;
    m.emit_opcode(OP_FRAME);
    m.emit_int(0);
    m.emit_opcode(OP_PUSH_D);
    m.emit_double(0.0);
    m.emit_opcode(OP_PUSH_W);
    m.emit_bytes(0, 2);
    m.emit_opcode(OP_LOAD_I);
    EXPECT_EQ(m.patch_int(48, 1), 0);
    EXPECT_EQ(m.patch_double(2.5, 6), 0);
    EXPECT_EQ(m.patch_bytes(-2, 2, 15), 0);
    EXPECT_EQ(m.or_opcode(1), 0);       // the last byte: OP_LOAD_I becomes OP_LOAD_I_HOOK
    EXPECT_EQ(m.or_opcode(1, 0), 0);    // OP_FRAME (26) becomes 27
    EXPECT_EQ(code_of(m), cat(cat(cat({27}, le(48)), cat({OP_PUSH_D}, le(2.5))), {OP_PUSH_W, 0xFE, 0xFF, 115}));
    // Nothing outside the code is written.
    EXPECT_EQ(m.patch_int(1, m.code_length() - 3), -1);
    EXPECT_EQ(m.patch_int(1, -1), -1);
    EXPECT_EQ(m.patch_double(1.0, m.code_length() - 7), -1);
    EXPECT_EQ(m.or_opcode(1, m.code_length()), -1);
    PCodeMachine empty;
    EXPECT_EQ(empty.or_opcode(1), -1);
}

TEST(PCodeEmitter, LabelsResolveFromTheStartPosition)
{
    PCodeMachine m;
    PCodeAssembler code;
    code.lines("JMP_LABEL 1;start:;JZ_LABEL 1;JNZ_LABEL 2;"
               "INIT_GLOBAL 0 97 1 0 0 0;"         // data that looks like a label jump
               "SWITCH_TABLE 97 1;"                // so does this pair
               "3;JNZ_LABEL 1;JMP_LABEL 1");
    code.load(m);
    const Bytes before = code_of(m);
    EXPECT_EQ(m.resolve_label(code.address("start"), 1, 77), 0);
    Bytes expected = before;
    auto set_jump = [&](size_t at, uint8_t op, int32_t operand) {
        expected[at] = op;
        std::memcpy(expected.data() + at + 1, &operand, 4);
    };
    set_jump(5, OP_JZ, 77);                          // after the start
    const size_t tail = 5 + 5 + 5 + 9 + 5 + 5 + 8 + 1; // past init, table and the no-op
    set_jump(tail, OP_JNZ, 77);
    set_jump(tail + 5, OP_JMP, 77);
    EXPECT_EQ(code_of(m), expected);                 // label 2, the data and the jump before start untouched
    EXPECT_EQ(m.resolve_label(m.code_length(), 2, 5), 0);
    EXPECT_EQ(m.resolve_label(m.code_length() + 10, 2, 5), 0);
    EXPECT_EQ(code_of(m), expected);
}

TEST(PCodeEmitter, DropInstructionsCutsCodeAndWindow)
{
    PCodeMachine m;
    for (int k = 0; k < 9; ++k)
        m.emit_push_int(10 + k, true); // nine 2-byte pushes (OP_PUSH_B)
    EXPECT_EQ(m.code_length(), 18);
    m.drop_instructions(2);
    EXPECT_EQ(m.code_length(), 14);
    EXPECT_EQ(m.window_entry(0).int_operand, 16);
    EXPECT_EQ(m.window_entry(5).int_operand, 11);
    EXPECT_EQ(m.window_entry(6).opcode, 0);
    EXPECT_EQ(m.window_entry(7).opcode, 0);
    m.emit_push_int(19, true);
    m.emit_push_int(20, true);
    m.drop_instructions(20); // counts as 7: back to the push of 12
    EXPECT_EQ(m.code_length(), 4);
    EXPECT_EQ(m.window_entry(0).int_operand, 11);
    EXPECT_EQ(m.window_entry(1).opcode, 0);
}

// ---------------------------------------------------------------------------
// Peephole rules

class PeepholeTest : public testing::Test
{
protected:
    PeepholeTest() { m.set_trace(true); }

    // Runs the optimiser once; answers what it printed.
    std::string optimise(bool optimise = true, int expected_result = 1)
    {
        testing::internal::CaptureStdout();
        const int result = m.optimise(optimise);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, expected_result);
        return out;
    }

    PCodeMachine m;
};

TEST_F(PeepholeTest, TwoPopsMerge)
{
    m.emit_pop(2, true);
    m.emit_pop(3, true);
    EXPECT_EQ(optimise(), "REDUCE DROPS 5\n");
    EXPECT_EQ(code_of(m), Bytes{OP_POP5});
    EXPECT_EQ(m.window_entry(0).opcode, OP_POP);
    EXPECT_EQ(m.window_entry(0).int_operand, 5);
    EXPECT_EQ(m.window_entry(1).opcode, 0);
}

TEST_F(PeepholeTest, PopsStaySeparateBeyond255OrWithoutOptimising)
{
    m.emit_pop(200, true);
    m.emit_pop(200, true);
    EXPECT_EQ(optimise(true, 0), "");
    EXPECT_EQ(code_of(m), (Bytes{OP_POPN, 200, OP_POPN, 200}));

    PCodeMachine plain;
    plain.emit_pop(2, false);
    plain.emit_pop(3, false);
    EXPECT_EQ(plain.optimise(false), 0);
    EXPECT_EQ(plain.code_length(), 5);
}

TEST_F(PeepholeTest, NegateFoldsZeroMinusConstant)
{
    // "-5": push 5, push 0, swap, subtract
    m.emit_push_int(5, true);
    m.emit_push_int(0, true);
    m.emit_opcode(OP_SWAP);
    m.emit_opcode(OP_I_SUB);
    EXPECT_EQ(optimise(), "REDUCE NEGATE -5\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_NEG_B, 5}));
    // The result folds further: -5 * 3.
    m.emit_push_int(3, true);
    m.emit_opcode(OP_I_MUL);
    EXPECT_EQ(optimise(), "REDUCE IMUL -15\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_NEG_B, 15}));
}

TEST_F(PeepholeTest, FoldingRulesApplyWithoutOptimisingInLongForm)
{
    m.emit_push_int(6, false);
    m.emit_push_int(7, false);
    m.emit_opcode(OP_I_MUL);
    EXPECT_EQ(optimise(false), "REDUCE IMUL 42\n");
    EXPECT_EQ(code_of(m), cat({OP_PUSH_I}, le(42)));
}

TEST_F(PeepholeTest, ConstantIndexInsideTheArray)
{
    m.emit_push_address(100, false, true);
    m.emit_set_size(8, true);
    m.emit_push_int(3, true);
    m.emit_opcode(OP_SIZE_CHK_I_ADD);
    EXPECT_EQ(optimise(), "REDUCE CHK_I_ADD, size=8, offs=3, addr=100\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_GADDR_B, 103, OP_SET_SIZE_B, 5}));
}

TEST_F(PeepholeTest, ConstantIndexOutOfBoundsWarns)
{
    struct Case {
        int32_t index;
        const char *output;
        uint8_t address;
    };
    const Case cases[] = {
        {10, "REDUCE CHK_I_ADD, size=8, offs=10, addr=100\nArray bounds violated\n", 110},
        {8, "REDUCE CHK_I_ADD, size=8, offs=8, addr=100\nArray bounds violated\n", 108},
        // A negative index would have been refused by the check at run time.
        {-1, "REDUCE CHK_I_ADD, size=8, offs=-1, addr=100\nArray bounds violated\n", 99},
    };
    for (const Case &c : cases) {
        PCodeMachine machine;
        machine.set_trace(true);
        machine.emit_push_address(100, false, true);
        machine.emit_set_size(8, true);
        machine.emit_push_int(c.index, true);
        machine.emit_opcode(OP_SIZE_CHK_I_ADD);
        testing::internal::CaptureStdout();
        EXPECT_EQ(machine.optimise(true), 1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(code_of(machine), (Bytes{OP_PUSH_GADDR_B, c.address, OP_SET_SIZE_B, 0})) << c.index;
    }
}

TEST_F(PeepholeTest, ConstantIndexOutOfBoundsGoesToTheCompilersWarning)
{
    ScriptCompiler compiler;
    compiler.line = 12;
    m.set_trace(false);
    m.emit_push_address(100, false, true);
    m.emit_set_size(8, true);
    m.emit_push_int(10, true);
    m.emit_opcode(OP_SIZE_CHK_I_ADD);
    testing::internal::CaptureStdout();
    EXPECT_EQ(m.optimise(true, &compiler), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning (line 12): Array bounds violated\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_GADDR_B, 110, OP_SET_SIZE_B, 0}));
}

TEST_F(PeepholeTest, ConstantIndexOnALocalArrayStaysButIsStillChecked)
{
    // No rewrite and no trace line, but an index outside the array is
    // reported at compile time just as for a global one.
    struct Case {
        int32_t index;
        const char *output;
    };
    const Case cases[] = {{3, ""}, {10, "Array bounds violated\n"}, {-1, "Array bounds violated\n"}};
    for (const Case &c : cases) {
        PCodeMachine machine;
        machine.set_trace(true);
        machine.emit_push_address(100, true, true);
        machine.emit_set_size(8, true);
        machine.emit_push_int(c.index, true);
        machine.emit_opcode(OP_SIZE_CHK_I_ADD);
        const Bytes before = code_of(machine);
        testing::internal::CaptureStdout();
        EXPECT_EQ(machine.optimise(true), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output) << c.index;
        EXPECT_EQ(code_of(machine), before) << c.index;
    }

    ScriptCompiler compiler;
    compiler.line = 7;
    m.set_trace(false);
    m.emit_push_address(100, true, true);
    m.emit_set_size(8, true);
    m.emit_push_int(8, true);
    m.emit_opcode(OP_SIZE_CHK_I_ADD);
    testing::internal::CaptureStdout();
    EXPECT_EQ(m.optimise(false, &compiler), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning (line 7): Array bounds violated\n");
}

TEST_F(PeepholeTest, ConstantOffsetOfAGlobal)
{
    m.emit_push_address(300, false, true);
    m.emit_push_int(4, true);
    m.emit_opcode(OP_I_ADD);
    EXPECT_EQ(optimise(), "REDUCE I_ADD, offs=4, addr=300\n");
    EXPECT_EQ(code_of(m), cat({OP_PUSH_GADDR}, le(304)));
}

TEST_F(PeepholeTest, ByteCopy)
{
    m.emit_push_address(20, false, true);
    m.emit_push_address(30, false, true);
    m.emit_opcode(OP_LOAD_B);
    m.emit_opcode(OP_SWAP);
    m.emit_opcode(OP_STORE_B);
    EXPECT_EQ(optimise(), "REDUCE byte-copy, daddr=20, saddr=30\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_GADDR_B, 30, OP_LOAD_B, OP_PUSH_GADDR_B, 20, OP_STORE_B}));
}

TEST_F(PeepholeTest, ByteArrayCopy)
{
    m.emit_push_address(20, false, true);
    m.emit_set_size(4, true);
    m.emit_push_address(30, false, true);
    m.emit_set_size(4, true);
    m.emit_opcode(OP_LOAD_B);
    m.emit_opcode(OP_SWAP);
    m.emit_opcode(OP_STORE_B);
    EXPECT_EQ(optimise(), "REDUCE byte[]-copy, daddr=20, saddr=30\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_GADDR_B, 30, OP_LOAD_B, OP_PUSH_GADDR_B, 20, OP_STORE_B}));
}

TEST_F(PeepholeTest, ByteAssign)
{
    m.emit_push_address(20, false, true);
    m.emit_push_int(7, true);
    m.emit_opcode(OP_SWAP);
    m.emit_opcode(OP_STORE_B);
    EXPECT_EQ(optimise(), "REDUCE byte-assign, daddr=20, value=7, gol=1\n");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_B, 7, OP_PUSH_GADDR_B, 20, OP_STORE_B}));
}

TEST_F(PeepholeTest, ByteArrayAssignWithoutOptimising)
{
    m.emit_push_address(20, false, false);
    m.emit_set_size(4, false);
    m.emit_push_int(7, false);
    m.emit_opcode(OP_SWAP);
    m.emit_opcode(OP_STORE_B);
    EXPECT_EQ(optimise(false), "REDUCE byte[]-assign, daddr=20, value=7, gol=0\n");
    EXPECT_EQ(code_of(m), cat(cat(cat({OP_PUSH_I}, le(7)), cat({OP_PUSH_GADDR}, le(20))), {OP_STORE_B}));
}

TEST_F(PeepholeTest, RewrittenCodeRuns)
{
    // buffer[2] = 'A' with a constant index; then copy it to 40.
    m.allocate_data(64);
    m.emit_push_address(16, false, true);
    m.emit_set_size(8, true);
    m.emit_push_int(2, true);
    m.emit_opcode(OP_SIZE_CHK_I_ADD);
    m.optimise(true);
    m.emit_push_int('A', true);
    m.emit_opcode(OP_SWAP);
    m.emit_opcode(OP_STORE_B);
    EXPECT_EQ(optimise(), "REDUCE byte[]-assign, daddr=18, value=65, gol=1\n");
    m.emit_opcode(OP_END);
    ASSERT_EQ(m.run(nullptr, 0), 0);
    EXPECT_EQ(m.data_pointer(18, 1)[0], 'A');
    EXPECT_EQ(m.stack_pointer(), 0);
}

TEST_F(PeepholeTest, TraceIsSilentWhenOff)
{
    m.set_trace(false);
    m.emit_push_int(6, true);
    m.emit_push_int(7, true);
    m.emit_opcode(OP_I_MUL);
    EXPECT_EQ(optimise(), "");
    EXPECT_EQ(code_of(m), (Bytes{OP_PUSH_B, 42}));
}

TEST_F(PeepholeTest, NothingMatchesAnEmptyOrUnrelatedWindow)
{
    EXPECT_EQ(optimise(true, 0), "");
    m.emit_push_int(1, true);
    m.emit_opcode(OP_I_ADD);
    EXPECT_EQ(optimise(true, 0), "");
}

} // namespace
