// Instructions per second of the byte-code interpreter on four kinds of work,
// so that the cost of its access checks shows.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// Emits raw instructions; jump targets are code addresses.
class Code
{
public:
    int32_t here() const { return int32_t(bytes.size()); }
    Code &op(uint8_t opcode)
    {
        bytes.push_back(opcode);
        return *this;
    }
    Code &byte_op(uint8_t opcode, uint8_t operand)
    {
        bytes.push_back(opcode);
        bytes.push_back(operand);
        return *this;
    }
    Code &op(uint8_t opcode, int32_t operand)
    {
        bytes.push_back(opcode);
        const auto *p = reinterpret_cast<const uint8_t *>(&operand);
        bytes.insert(bytes.end(), p, p + 4);
        return *this;
    }
    void patch(int32_t at, int32_t value) { std::memcpy(bytes.data() + at + 1, &value, 4); }
    std::vector<uint8_t> bytes;
};

constexpr int32_t counter = 0; // global int: loop counter
constexpr int32_t sum = 4;     // global int: accumulator
constexpr int32_t array = 8;   // global int[64]

void run_program(benchmark::State &state, const Code &code, int32_t start, PCodeNative native = nullptr)
{
    PCodeMachine machine;
    machine.allocate_data(array + 64 * 4);
    machine.set_cycle_limit(PCodeMachine::no_cycle_limit);
    machine.append_code(code.bytes.data(), int32_t(code.bytes.size()));
    machine.bind_script_function(1, 0); // the recursive function, when there is one
    machine.bind_native(2, native);
    int64_t instructions = 0;
    for (auto _ : state) {
        machine.set_data_int(counter, int32_t(state.range(0)));
        if (machine.run(&machine, start) != 0)
            state.SkipWithError("run aborted");
        instructions += machine.cycle_counter();
    }
    state.counters["instructions/s"] = benchmark::Counter(double(instructions), benchmark::Counter::kIsRate);
}

// while (--counter) sum += counter;
void BM_IntegerLoop(benchmark::State &state)
{
    Code c;
    const int32_t loop = c.here();
    c.op(OP_LOAD_GI, sum).op(OP_LOAD_GI, counter).op(OP_I_ADD).op(OP_PUSH_GADDR, sum).op(OP_STORE_I);
    c.op(OP_PUSH_GADDR, counter).op(OP_PREDEC_I).op(OP_JNZ, loop).op(OP_END);
    run_program(state, c, 0);
}

// while (--counter) array[counter & 63] = counter;  with the bound check
void BM_ArrayLoopWithBoundCheck(benchmark::State &state)
{
    Code c;
    const int32_t loop = c.here();
    c.op(OP_LOAD_GI, counter);
    c.op(OP_PUSH_GADDR, array).op(OP_SET_SIZE, 64 * 4);
    c.op(OP_LOAD_GI, counter).op(OP_PUSH_I, 63).op(OP_I_AND).op(OP_PUSH_I4).op(OP_I_MUL).op(OP_SIZE_CHK_I_ADD);
    c.op(OP_STORE_I);
    c.op(OP_PUSH_GADDR, counter).op(OP_PREDEC_I).op(OP_JNZ, loop).op(OP_END);
    run_program(state, c, 0);
}

// int f(int n) { return n ? f(n - 1) + 1 : 0; }  called with depth 400, repeated
void BM_RecursiveCalls(benchmark::State &state)
{
    Code c;
    // f at address 0: copy the parameter into local 0, set the frame size.
    c.op(OP_PUSH_I0).op(OP_ARG).byte_op(OP_PUSH_LADDR_B, 0).op(OP_STORE_I).op(OP_FRAME, 4);
    c.op(OP_LOAD_LI, 0);
    const int32_t jz = c.here();
    c.op(OP_JZ, 0);
    c.op(OP_PUSH_I0).op(OP_LOAD_LI, 0).op(OP_PUSH_I1).op(OP_I_SUB).op(OP_PUSH_I1).op(OP_CALL).op(OP_POP);
    c.op(OP_PUSH_I1).op(OP_I_ADD).op(OP_PUSH_I2).op(OP_SET_RESULT).op(OP_RET);
    c.patch(jz, c.here());
    c.op(OP_PUSH_I0).op(OP_PUSH_I2).op(OP_SET_RESULT).op(OP_RET);
    // handler: repeat counter times: f(400)
    const int32_t handler = c.here();
    c.op(OP_PUSH_I0).op(OP_PUSH_I, 400).op(OP_PUSH_I1).op(OP_CALL).op(OP_POP2);
    c.op(OP_PUSH_GADDR, counter).op(OP_PREDEC_I).op(OP_JNZ, handler).op(OP_END);
    run_program(state, c, handler);
}

int add_native(void *context)
{
    auto *machine = static_cast<PCodeMachine *>(context);
    // Wraps like the machine's own integer add: the sum passes the int range.
    machine->set_stack_int(2, int32_t(uint32_t(machine->stack_int(1)) + uint32_t(machine->stack_int(0))));
    return 0;
}

// while (--counter) sum = add(sum, counter);  add being a native
void BM_NativeCalls(benchmark::State &state)
{
    Code c;
    const int32_t loop = c.here();
    c.op(OP_PUSH_I0).op(OP_LOAD_GI, sum).op(OP_LOAD_GI, counter).op(OP_PUSH_I2).op(OP_CALL).op(OP_POP2);
    c.op(OP_PUSH_GADDR, sum).op(OP_STORE_I);
    c.op(OP_PUSH_GADDR, counter).op(OP_PREDEC_I).op(OP_JNZ, loop).op(OP_END);
    run_program(state, c, 0, &add_native);
}

} // namespace

BENCHMARK(BM_IntegerLoop)->Arg(100000);
BENCHMARK(BM_ArrayLoopWithBoundCheck)->Arg(100000);
BENCHMARK(BM_RecursiveCalls)->Arg(100);
BENCHMARK(BM_NativeCalls)->Arg(100000);

BENCHMARK_MAIN();
