// The interpreter runs common instruction sequences as one step. Here
// generated programs run twice, each time on a fresh machine: as they are, and
// with a no-op after every instruction, which keeps any two instructions from
// running as one step. Both runs must agree in everything a script or the
// machine's owner can see: the result, the reports, the instruction that
// failed, the stack, the data memory, and the high words of the cells above
// the stack, which a later push of an int keeps. The variables lie at the
// last bytes of the data memory and the stack is filled to its edge, where the
// checks of the combined steps decide.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "tests/script/pcode_assembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <malloc.h>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

class RecordingMachine : public PCodeMachine
{
public:
    std::vector<std::string> errors;
    int depth_at_last_error = -1;
    void report_error(const char *text) override
    {
        errors.push_back(text);
        depth_at_last_error = stack_pointer();
    }
};

constexpr int32_t global_bytes = 64;
constexpr int stack_cells = PCodeMachine::stack_capacity;
// Where the cells above the stack are written, away from the programs' variables.
constexpr int32_t probe_address = 1024;
constexpr int native_number = 1;   // bound to a native that does nothing
constexpr int unbound_number = 2;

int do_nothing(void *)
{
    return 0;
}

void append_byte(std::vector<uint8_t> &code, int opcode)
{
    code.push_back(uint8_t(opcode));
}

void append_bytes(std::vector<uint8_t> &code, const void *value, size_t size)
{
    const auto *bytes = static_cast<const uint8_t *>(value);
    code.insert(code.end(), bytes, bytes + size);
}

// Runs raw code appended to the machine; the reports it makes are dropped.
int run_raw(RecordingMachine &machine, const std::vector<uint8_t> &code)
{
    const int32_t start = machine.code_length();
    machine.append_code(code.data(), int32_t(code.size()));
    const int result = machine.run(nullptr, start);
    machine.errors.clear();
    machine.depth_at_last_error = -1;
    return result;
}

// The data memory of a run: its size and where frame 0's locals begin.
struct Layout
{
    int32_t capacity;
    int32_t frame_base;
};

Layout run_layout()
{
    RecordingMachine machine;
    machine.allocate_data(global_bytes);
    machine.run(nullptr, machine.code_length());
    return {machine.data_capacity(), machine.data_high_water()};
}

// A program: lines of the test assembler, each instruction marked so that an
// address of either form leads back to it.
struct Program
{
    std::vector<std::string> lines; // instructions, and labels ending in ':'
    int stack_depth = 0;            // cells on the stack when the program starts
    std::vector<std::pair<int32_t, int32_t>> data; // int values written before the run
    std::vector<std::pair<int32_t, uint8_t>> bytes;

    std::string text() const
    {
        std::ostringstream out;
        out << "stack depth " << stack_depth << "; data";
        for (const auto &[address, value] : data)
            out << " [" << address << "]=" << value;
        for (const auto &[address, value] : bytes)
            out << " [" << address << "]b=" << int(value);
        out << "\n";
        for (const std::string &line : lines)
            out << "  " << line << "\n";
        return out.str();
    }
};

class ProgramGenerator
{
public:
    ProgramGenerator(uint32_t seed, Layout layout) : m_random(seed), m_layout(layout) {}

    Program next()
    {
        Program program;
        m_lines = &program.lines;
        const int fragments = pick(2, 14);
        if (pick(0, 1))
            program.stack_depth = pick(0, 4);
        else
            program.stack_depth = stack_cells - pick(0, 3);
        for (int k = pick(0, 6); k > 0; --k)
            program.data.emplace_back(any_of(data_addresses()), any_of(constants()));
        for (int k = pick(0, 6); k > 0; --k)
            program.bytes.emplace_back(m_layout.capacity - pick(1, 8), uint8_t(pick(0, 255)));
        m_fragments = fragments;
        for (m_fragment = 0; m_fragment < fragments; ++m_fragment) {
            emit("b" + std::to_string(m_fragment) + ":");
            fragment();
        }
        emit("b" + std::to_string(fragments) + ":");
        emit("END");
        return program;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    template <typename T> T any_of(const std::vector<T> &values)
    {
        return values[size_t(pick(0, int(values.size()) - 1))];
    }

    void emit(const std::string &line) { m_lines->push_back(line); }

    // Forward jumps only: every program ends.
    std::string forward_jump(const char *opcode)
    {
        return std::string(opcode) + " @b" + std::to_string(pick(m_fragment + 1, std::min(m_fragment + 3, m_fragments)));
    }

    static std::vector<int32_t> constants()
    {
        return {0, 1, -1, 2, 3, 4, 5, 8, 31, 32, 255, 256, -255, 32767, -32768, 100000, INT_MAX, INT_MIN};
    }

    std::vector<int32_t> data_addresses() const
    {
        const int32_t end = m_layout.capacity;
        return {0, 4, 60, m_layout.frame_base, m_layout.frame_base + 4, end - 8, end - 6, end - 5, end - 4};
    }

    // Global addresses inside the memory, in its last bytes and beyond it.
    std::vector<int32_t> global_addresses() const
    {
        const int32_t end = m_layout.capacity;
        return {0,       4,       60,      end - 8, end - 7, end - 6, end - 5, end - 4, end - 3,
                end - 2, end - 1, end,     end + 3, -1,      -4,      INT_MIN};
    }

    // Offsets from frame 0's locals to the same places.
    std::vector<int32_t> local_offsets() const
    {
        const int32_t base = m_layout.frame_base;
        std::vector<int32_t> offsets;
        for (int32_t address : global_addresses())
            offsets.push_back(int32_t(uint32_t(address) - uint32_t(base)));
        return offsets;
    }

    std::string address_push()
    {
        const bool local = pick(0, 1);
        const int32_t at = local ? any_of(local_offsets()) : any_of(global_addresses());
        const bool short_form = at >= 0 && at < 256 && pick(0, 1);
        const char *opcode = local ? (short_form ? "PUSH_LADDR_B" : "PUSH_LADDR")
                                   : (short_form ? "PUSH_GADDR_B" : "PUSH_GADDR");
        return std::string(opcode) + " " + std::to_string(at);
    }

    // The constant in one of the encodings that can hold it.
    std::string constant_push(int32_t value)
    {
        std::vector<std::string> forms = {"PUSH_I " + std::to_string(value)};
        if (value >= 0 && value <= 255)
            forms.push_back("PUSH_B " + std::to_string(value));
        if (value >= -32768 && value <= 32767)
            forms.push_back("PUSH_W " + std::to_string(value));
        if (value >= -255 && value <= 0)
            forms.push_back("PUSH_NEG_B " + std::to_string(-value));
        if (value >= 0 && value <= 3)
            forms.push_back("PUSH_I" + std::to_string(value));
        if (value == 4 || value == 8)
            forms.push_back("PUSH_I" + std::to_string(value));
        if (value == -1)
            forms.push_back("PUSH_IM1");
        return any_of(forms);
    }

    std::string constant_push() { return constant_push(any_of(constants())); }

    std::string int_operator()
    {
        return any_of(std::vector<std::string>{"I_ADD", "I_SUB", "I_MUL", "I_AND", "I_OR", "I_XOR", "I_SHL",
                                               "I_SHR", "I_LAND", "I_LOR"});
    }

    std::string comparison()
    {
        return any_of(std::vector<std::string>{"I_EQ", "I_NE", "I_GT", "I_GE", "I_LT", "I_LE"});
    }

    std::string conditional_jump() { return forward_jump(pick(0, 1) ? "JZ" : "JNZ"); }

    std::string step()
    {
        return any_of(std::vector<std::string>{"PREINC_I", "PREDEC_I", "POSTINC_I", "POSTDEC_I"});
    }

    // One sequence that the interpreter may run as one step, or a single
    // instruction between them.
    void fragment()
    {
        switch (pick(0, 19)) {
        case 0: // a variable loaded
            emit(address_push());
            emit("LOAD_I");
            break;
        case 1: // stored
            emit(address_push());
            emit("STORE_I");
            break;
        case 2: // added
            emit(address_push());
            emit("LOAD_I");
            emit("I_ADD");
            break;
        case 3: { // added into itself, or stored elsewhere
            const std::string address = address_push();
            emit(address);
            emit("LOAD_I");
            emit("I_ADD");
            emit(pick(0, 3) ? address : address_push());
            emit("STORE_I");
            break;
        }
        case 4: // scaled and added
            emit(address_push());
            emit("LOAD_I");
            emit(constant_push());
            emit("I_MUL");
            emit("I_ADD");
            break;
        case 5: // stepped, the result dropped, and maybe a jump
            emit(address_push());
            emit(step());
            emit("POP");
            if (pick(0, 1))
                emit(forward_jump("JMP"));
            break;
        case 6: // with a constant operand
            emit(address_push());
            emit("LOAD_I");
            emit(constant_push());
            emit(int_operator());
            break;
        case 7: // compared with a constant, then a conditional jump
            emit(address_push());
            emit("LOAD_I");
            emit(constant_push());
            emit(comparison());
            emit(conditional_jump());
            break;
        case 8:
            emit(constant_push());
            emit(comparison());
            if (pick(0, 1))
                emit(conditional_jump());
            break;
        case 9:
            emit(constant_push());
            emit("I_MUL");
            emit("I_ADD");
            break;
        case 10:
            emit(constant_push());
            emit(int_operator());
            break;
        case 11: // frame 0's arguments and result cells are the stack's first cells
            emit(constant_push(pick(-4, 1)));
            emit(pick(0, 1) ? "ARG" : "SET_RESULT");
            break;
        case 12:
            emit(constant_push(any_of(std::vector<int32_t>{native_number, unbound_number, 7777})));
            emit("CALL");
            break;
        case 13:
            emit(comparison());
            emit(conditional_jump());
            break;
        case 14: // a value stored through an address under it
            emit(constant_push(any_of(global_addresses())));
            emit(constant_push());
            emit("SWAP");
            emit("STORE_I");
            break;
        case 15: // the value to store or add
            emit(constant_push());
            break;
        case 16: // an argument copied into a local, as a function begins
            emit(constant_push(pick(-4, 1)));
            emit("ARG");
            emit(pick(0, 1) ? "PUSH_LADDR_B " + std::to_string(4 * pick(0, 2))
                            : "PUSH_LADDR " + std::to_string(any_of(local_offsets())));
            emit("STORE_I");
            if (pick(0, 1))
                emit("FRAME " + std::to_string(any_of(std::vector<int32_t>{0, 4, 8, 100000})));
            break;
        case 17: // a result set and returned, which frame 0 cannot
            emit(constant_push(pick(-2, 1)));
            emit("SET_RESULT");
            emit("RET");
            break;
        case 18: { // a loop from 0 up or down to a constant, its variable tested then stepped
            const std::string address = address_push(), top = "t" + std::to_string(m_fragment),
                              after = "x" + std::to_string(m_fragment);
            const bool up = pick(0, 1), jump_if_false = pick(0, 1);
            emit("PUSH_I0");
            emit(address);
            emit("STORE_I");
            emit(top + ":");
            emit(address);
            emit("LOAD_I");
            emit(constant_push(up ? pick(1, 3) : -pick(1, 3)));
            if (up)
                emit(jump_if_false ? "I_LT" : "I_GE");
            else
                emit(jump_if_false ? "I_GT" : "I_LE");
            emit(std::string(jump_if_false ? "JZ" : "JNZ") + " @" + after);
            if (pick(0, 1))
                emit(constant_push());
            emit(address);
            emit(up ? (pick(0, 1) ? "PREINC_I" : "POSTINC_I") : (pick(0, 1) ? "PREDEC_I" : "POSTDEC_I"));
            emit("POP");
            emit("JMP @" + top);
            emit(after + ":");
            break;
        }
        default:
            emit(any_of(std::vector<std::string>{"POP", "DUP", "OVER", "SWAP", "PUSH_D 2.5", "I2D", "D2I"}));
            break;
        }
    }

    std::mt19937 m_random;
    Layout m_layout;
    std::vector<std::string> *m_lines = nullptr;
    int m_fragment = 0;
    int m_fragments = 0;
};

// What a run leaves that anyone can see.
struct Outcome
{
    int result = 0;
    std::vector<std::string> errors;
    int depth_at_error = -1;
    int instruction = -1; // the one that failed, or the END that ended the run
    int stack_pointer = 0;
    std::vector<std::pair<int32_t, int32_t>> stack; // low and high word of every cell in use
    const uint8_t *data = nullptr; // the machine's data memory
    int32_t data_size = 0;
    std::vector<int32_t> high_words_above; // of the cells above the stack

    std::string differences(const Outcome &other) const
    {
        std::ostringstream out;
        if (result != other.result)
            out << "result " << result << " / " << other.result << "\n";
        if (errors != other.errors) {
            out << "reports:";
            for (const auto *list : {&errors, &other.errors}) {
                out << " [";
                for (const std::string &e : *list)
                    out << e;
                out << "]";
            }
            out << "\n";
        }
        if (depth_at_error != other.depth_at_error)
            out << "stack pointer at the report " << depth_at_error << " / " << other.depth_at_error << "\n";
        if (instruction != other.instruction)
            out << "instruction " << instruction << " / " << other.instruction << "\n";
        if (stack_pointer != other.stack_pointer)
            out << "stack pointer " << stack_pointer << " / " << other.stack_pointer << "\n";
        else if (stack != other.stack)
            out << "stack cells differ\n";
        for (int32_t k = 0; k < data_size && k < other.data_size; ++k) {
            if (data[k] != other.data[k]) {
                out << "data byte " << k << ": " << int(data[k]) << " / " << int(other.data[k]) << "\n";
                break;
            }
        }
        for (size_t k = 0; k < high_words_above.size() && k < other.high_words_above.size(); ++k) {
            if (high_words_above[k] != other.high_words_above[k]) {
                out << "high word of cell " << stack_pointer + int(k) << " above the stack: " << std::hex
                    << high_words_above[k] << " / " << other.high_words_above[k] << std::dec << "\n";
                break;
            }
        }
        return out.str();
    }
};

// Runs the program on a fresh machine, with a no-op after each instruction
// when `one_by_one`.
Outcome run_program(RecordingMachine &machine, const Program &program, bool one_by_one, uint32_t seed)
{
    machine.allocate_data(global_bytes);
    machine.bind_native(native_number, &do_nothing);

    // Every cell of the stack gets a high word of its own: a growing double
    // is pushed until the stack overflows, and the aborted run leaves the
    // cells behind.
    const double first = 1.0 + seed % 1000, factor = 1.5 + (seed % 7) * 0.001;
    std::vector<uint8_t> code;
    append_byte(code, OP_PUSH_D);
    append_bytes(code, &first, sizeof first);
    const int32_t loop = machine.code_length() + int32_t(code.size());
    append_byte(code, OP_DUP);
    append_byte(code, OP_PUSH_D);
    append_bytes(code, &factor, sizeof factor);
    append_byte(code, OP_D_MUL);
    append_byte(code, OP_JMP);
    append_bytes(code, &loop, sizeof loop);
    run_raw(machine, code);
    // Ints keep those high words.
    code.assign(size_t(program.stack_depth), OP_PUSH_I0);
    append_byte(code, OP_END);
    run_raw(machine, code);
    for (const auto &[address, value] : program.data)
        machine.set_data_int(address, value);
    for (const auto &[address, value] : program.bytes)
        machine.set_data_byte(address, value);

    PCodeAssembler assembler;
    int instructions = 0;
    for (const std::string &line : program.lines) {
        if (line.back() == ':') {
            assembler(line);
            continue;
        }
        assembler("i" + std::to_string(instructions++) + ":");
        assembler(line);
        if (one_by_one)
            assembler("3");
    }
    const int32_t start = assembler.load(machine);
    std::map<int32_t, int> instruction_at;
    for (int k = 0; k < instructions; ++k)
        instruction_at[assembler.address("i" + std::to_string(k))] = k;

    Outcome outcome;
    outcome.result = machine.run(nullptr, start);
    outcome.errors = machine.errors;
    outcome.depth_at_error = machine.depth_at_last_error;
    const auto found = instruction_at.find(machine.program_counter() - 1);
    outcome.instruction = found == instruction_at.end() ? -1 : found->second;
    outcome.stack_pointer = machine.stack_pointer();
    for (int depth = outcome.stack_pointer - 1; depth >= 0; --depth)
        outcome.stack.emplace_back(machine.stack_int(depth), machine.stack_size_bound(depth));

    // Ints pushed over the cells above the stack keep their high words;
    // OP_STORE_REF writes each cell to memory, high word included.
    const int above = std::min(stack_cells - 1 - outcome.stack_pointer, program.stack_depth + 3 * instructions + 4 -
                                                                            outcome.stack_pointer);
    if (above > 0) {
        code.assign(size_t(above), OP_PUSH_I0);
        for (int k = above - 1; k >= 0; --k) {
            append_byte(code, OP_PUSH_GADDR);
            const int32_t address = probe_address + 8 * k;
            append_bytes(code, &address, sizeof address);
            append_byte(code, OP_STORE_REF);
        }
        append_byte(code, OP_END);
        run_raw(machine, code);
        for (int k = 0; k < above; ++k)
            outcome.high_words_above.push_back(machine.data_int(probe_address + 8 * k + 4));
    }
    outcome.data = machine.data_pointer(0, machine.data_capacity());
    outcome.data_size = machine.data_capacity();
    return outcome;
}

TEST(PCodeFusedSequences, RunAsTheirInstructionsOneByOne)
{
    // Every program runs on two machines of its own; without this, the
    // allocator hands the top of the heap back to the system each time a
    // pair goes, and the test spends most of its time on that.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    const Layout layout = run_layout();
    ProgramGenerator generator(20261210, layout);
    for (uint32_t k = 0; k < 4000; ++k) {
        const Program program = generator.next();
        RecordingMachine fused_machine, alone_machine;
        const Outcome fused = run_program(fused_machine, program, false, k);
        const Outcome alone = run_program(alone_machine, program, true, k);
        const std::string differences = fused.differences(alone);
        if (!differences.empty()) {
            ADD_FAILURE() << "program " << k << " (as it is / one instruction at a time):\n"
                          << differences << program.text();
            return;
        }
    }
}

} // namespace
