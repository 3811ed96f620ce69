#pragma once
// PCodeMachine: the byte-code virtual machine of the script language.
//
// One object holds what a compiled script needs at run time: the code buffer
// the compiler emits into, the data memory with the script's global and local
// variables, the operand stack, the call frames, the function table that maps
// function numbers to script functions or natives, the cycle limit and five
// hooks through which the owner lets scripts reach variables that live outside
// the machine. A machine is used by one thread at a time and holds no lock.
//
// Every access a script or a native makes is checked: data addresses against
// the data memory, stack depths against the stack, call depth against the frame
// table, function numbers against the function table. A violation is reported
// through report_error and aborts the current run; outside a run the access
// reads 0 or writes nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

class ScriptCompiler;
class ScriptSymbolTable;
struct PCodeDecoded;
struct PCodeDecodedDeleter {
    void operator()(PCodeDecoded *decoded) const;
};

// One operand stack cell: a double in all 8 bytes, or an int in the low word
// plus a high word. For an address the high word is its size bound, the number
// of bytes that may be indexed from it.
struct PCodeCell {
    int32_t i = 0;
    int32_t high = 0;

    double d() const
    {
        double v;
        std::memcpy(&v, this, sizeof v);
        return v;
    }
    void set_d(double v) { std::memcpy(this, &v, sizeof v); }
};
static_assert(sizeof(PCodeCell) == 8, "a stack cell is 8 bytes");

struct PCodeFrame {
    int32_t data_base = 0;      // data address where the frame's locals begin
    int32_t size = 0;           // bytes of locals (OP_FRAME)
    int32_t return_address = 0; // code address after the call
    int32_t stack_at_call = 0;  // stack pointer after the function number was popped
    int32_t return_slot = -1;   // decoded slot of the return address, -1 when not known
};

// A native takes the context handed to run (normally the script library) and
// answers 0 for success; its result travels in the result cell on the stack.
using PCodeNative = int (*)(void *context);

struct PCodeFunction {
    enum Kind : uint8_t { script = 0, native = 1 };
    Kind kind = script;
    int32_t code_address = -1; // script function; -1 while nothing is bound
    PCodeNative entry = nullptr;

    bool bound() const { return kind == native ? entry != nullptr : code_address >= 0; }
};

// The five hooks of the owner; each gets the context first.
struct PCodeHooks {
    void *context = nullptr;
    void (*address_notify)(void *context, int32_t address, int32_t operand) = nullptr;
    void (*int_store)(void *context, int32_t address, int32_t operand, int32_t value) = nullptr;
    void (*double_store)(void *context, int32_t address, int32_t operand, double value) = nullptr;
    int32_t (*int_read)(void *context, int32_t address, int32_t kind, int32_t operand) = nullptr;
    double (*double_read)(void *context, int32_t address, int32_t kind, int32_t operand) = nullptr;
};

// One logical instruction in the emitter's peephole window. Constant pushes,
// address pushes, size settings and pops are recorded in their long form
// (1, 2, 4 or 5, 139, 30) whatever encoding was emitted.
struct PCodeWindowEntry {
    int32_t position = 0; // code position of the instruction
    int32_t opcode = 0;
    int32_t int_operand = 0;
    double double_operand = 0.0;
};

class PCodeMachine
{
public:
    static constexpr int initial_code_capacity = 1500;
    static constexpr int code_growth = 1000;
    static constexpr int stack_capacity = 1500;
    static constexpr int frame_capacity = 500;
    static constexpr int function_growth = 1500;
    static constexpr int data_growth = 1024;
    static constexpr int run_data_reserve = 65536;
    static constexpr uint32_t default_cycle_limit = 250000;
    static constexpr uint32_t no_cycle_limit = 0xFFFFFFFFu;
    static constexpr int print_line_size = 1027;
    static constexpr int window_size = 8;

    PCodeMachine();
    virtual ~PCodeMachine();
    PCodeMachine(const PCodeMachine &) = delete;
    PCodeMachine &operator=(const PCodeMachine &) = delete;

    // Reports a run-time error; the base writes "PCode ERROR: <text>" to
    // standard output. The owner's machine replaces it with its own report.
    virtual void report_error(const char *text);

    // Runs from the code address `start` until OP_END, the end of the code or
    // an abort; 0 for a normal end, -1 for an abort. `context` is handed to
    // every native. After an abort the stack pointer is back where it was.
    int run(void *context, int32_t start);

    // Data memory, for natives and the owner (addresses are byte offsets).
    int32_t data_int(int32_t address);
    double data_double(int32_t address);
    void set_data_int(int32_t address, int32_t value);
    void set_data_byte(int32_t address, uint8_t value);
    void set_data_double(int32_t address, double value);
    // The bytes address .. address + size - 1, or nullptr (reported) when they
    // do not all lie in the data memory.
    uint8_t *data_pointer(int32_t address, int32_t size);
    int32_t data_capacity() const { return int32_t(data_.size()); }

    // Operand stack, for natives (depth 0 = top cell).
    int32_t stack_int(int depth);
    double stack_double(int depth);
    void set_stack_int(int depth, int32_t value); // low word only
    void set_stack_double(int depth, double value);
    // High word of the cell: the size bound of an address argument.
    int32_t stack_size_bound(int depth);
    int stack_pointer() const { return sp_; }

    // Function table. Numbers at or beyond the capacity grow the table in
    // steps of 1500 entries; a negative number is refused with -1.
    int bind_native(int number, PCodeNative function);
    int bind_script_function(int number, int32_t code_address);
    // Binds the native to the function that the table declares under this
    // name at scope level 0: -1 when the name is not declared as a function.
    int bind_native_by_name(const ScriptSymbolTable &symbols, const char *name, PCodeNative function);
    // The same, but a name that is not declared at all is no failure (0).
    int bind_native_if_declared(const ScriptSymbolTable &symbols, const char *name, PCodeNative function);
    const PCodeFunction *function(int number) const;
    int function_capacity() const { return int(functions_.size()); }
    int function_count() const { return function_count_; }
    // Numbers the next script function: raises the count and answers it.
    int next_function_number() { return ++function_count_; }

    // Data allocation during compilation; -1 when the memory could not grow
    // or the data top would leave the int range.
    int allocate_data(int32_t bytes);
    int align_data();
    int32_t data_top() const { return data_top_; }
    int32_t data_high_water() const { return data_high_water_; }

    void set_hooks(const PCodeHooks &hooks) { hooks_ = hooks; }

    uint32_t cycle_limit() const { return cycle_limit_; }
    void set_cycle_limit(uint32_t limit) { cycle_limit_ = limit; }
    uint32_t cycle_counter() const { return cycle_counter_; }
    void reset_cycle_counter() { cycle_counter_ = 0; }

    // Code address of the next instruction; the failing one is at - 1.
    int32_t program_counter() const { return pc_; }
    const uint8_t *code() const { return code_.data(); }
    int32_t code_length() const { return code_length_; }
    int32_t code_capacity() const { return int32_t(code_.size()); }
    int current_frame() const { return current_frame_; }

    // Appends raw bytes to the code, growing the buffer in steps of 1000
    // bytes so that one byte always stays spare; -1 when it cannot grow.
    // The peephole window is not touched.
    int append_code(const void *bytes, int32_t count);

    // --- Code emitter (pcode_emitter.cpp)
    // A position of -1 means: at the insert position when one is set, else
    // at the end. A position inside the code inserts there, moving the
    // following bytes up. Each answers 0, or -1 when the code cannot grow.
    int emit_opcode(int opcode, int32_t position = -1);
    int emit_int(int32_t value, int32_t position = -1);
    int emit_bytes(int32_t value, int n, int32_t position = -1); // n low bytes, 1 or 2
    int emit_double(double value, int32_t position = -1);
    int emit_string(const char *text, int32_t position = -1); // with its terminating zero
    // n zero bytes at the end, unless the position lies inside the code.
    int reserve_code(int32_t n, int32_t position = -1);

    // The insert position when one is set, else the code length.
    int32_t code_position() const { return insert_position_ != -1 ? insert_position_ : code_length_; }
    int32_t insert_position() const { return insert_position_; }
    // The code length itself means appending (-1).
    void set_insert_position(int32_t position);

    // Overwrite operands already emitted; -1 when they lie outside the code.
    int patch_int(int32_t value, int32_t position);
    int patch_bytes(int32_t value, int n, int32_t position);
    int patch_double(double value, int32_t position);
    // ORs bits into the opcode at the position (-1: the last code byte); the
    // front end turns an instruction into its hooked twin with bit 0.
    int or_opcode(int bits, int32_t position = -1);
    // Resolves every label jump of this label from `start` to the end of the
    // code into a plain jump to the target. 0.
    int resolve_label(int32_t start, int32_t label, int32_t target);

    // Encodings: each records the logical instruction and emits the shortest
    // form when optimising, the long form otherwise.
    int emit_push_int(int32_t value, bool optimise);
    int emit_push_double(double value, bool optimise);
    int emit_push_address(int32_t address, bool local, bool optimise);
    int emit_set_size(int32_t size, bool optimise);
    int emit_pop(int32_t cells, bool optimise);

    // Peephole window: entry 0 is the newest instruction.
    const PCodeWindowEntry &window_entry(int i) const { return window_[i]; }
    void clear_window();
    void record_instruction(int opcode);
    void record_instruction(int opcode, int32_t operand);
    void record_instruction(int opcode, double operand);
    // While suspended (counted), emits leave the window alone.
    void suspend_recording() { ++recording_suspended_; }
    void resume_recording();
    // Removes the newest n instructions (1 to 7; more counts as 7) from the
    // code and the window.
    void drop_instructions(int n);
    // Applies the first peephole rule that matches the window; 1 when it
    // rewrote the code, else 0. A constant index out of bounds is reported
    // through the reporter's warning, or as a line on standard output.
    int optimise(bool optimise, ScriptCompiler *reporter = nullptr);
    // When on, each rewrite prints its trace line.
    void set_trace(bool on) { trace_ = on; }

    // Collects printf output until a line is complete.
    char *print_line() { return print_line_; }

private:
    int execute(void *context);
    // The decoded form of the code that the interpreter runs (in
    // pcode_interpreter.cpp): runs of slots in code order, decoded from an
    // address when control first reaches it and kept until the code changes.
    PCodeDecoded *decoded_code();
    // Decodes the run that starts at the address and answers the index of
    // its first slot, or -1 when there is no memory for it. fuse_first false
    // decodes the first instruction alone, even where a sequence starts.
    int32_t decode_run(int32_t address, bool fuse_first);
    // The index of the slot of a code address from 0 to the end of the code,
    // decoded when needed; -1 when there is no memory for it.
    int32_t slot_at(int32_t address);
    // Makes the fused slot run its instructions one by one from now on and
    // answers the index of the slot of its first instruction, or -1.
    int32_t defuse(int32_t index);
    void code_changed()
    {
        decoded_.reset();
        ++code_generation_;
    }
    bool ensure_code_room(int32_t extra);
    bool grow_data_to(int64_t size);
    int bind(int number, const PCodeFunction &entry);
    // Reports a fault of an access made by a native or the owner; inside a
    // run it makes the run abort once the native returns.
    void access_fault(const char *format, ...) __attribute__((format(printf, 2, 3)));
    int abort_run(const char *format, ...) __attribute__((format(printf, 2, 3)));
    bool stack_depth_ok(int depth);
    enum class Placement { appended, inserted, failed };
    Placement place_code(const void *bytes, int32_t count, int32_t position);
    void shift_window();
    void set_window_int(int32_t value);

    std::vector<uint8_t> data_;
    std::vector<uint8_t> code_;
    std::vector<PCodeCell> stack_;
    std::vector<PCodeFrame> frames_;
    std::vector<PCodeFunction> functions_;
    std::unique_ptr<PCodeDecoded, PCodeDecodedDeleter> decoded_;
    // Counts the changes of the code, so that a run sees a change made by a
    // native even when the new decoded form lies where the old one lay.
    uint32_t code_generation_ = 0;

    int32_t pc_ = 0;
    int sp_ = 0;
    int current_frame_ = 0;
    int32_t data_top_ = 0;
    int32_t data_high_water_ = 0;
    int32_t code_length_ = 0;
    int function_count_ = 0;
    uint32_t cycle_limit_ = default_cycle_limit;
    uint32_t cycle_counter_ = 0;
    bool running_ = false;
    bool fault_ = false; // an access of a native failed during this run
    PCodeHooks hooks_;
    int32_t insert_position_ = -1;
    PCodeWindowEntry window_[window_size];
    int recording_suspended_ = 0;
    bool trace_ = false;
    char print_line_[print_line_size] = {};
};
