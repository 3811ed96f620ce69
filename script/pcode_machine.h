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
#include <cstring>
#include <vector>

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
    int stack_pointer() const { return sp_; }

    // Function table. Numbers at or beyond the capacity grow the table in
    // steps of 1500 entries; a negative number is refused with -1.
    int bind_native(int number, PCodeNative function);
    int bind_script_function(int number, int32_t code_address);
    const PCodeFunction *function(int number) const;
    int function_capacity() const { return int(functions_.size()); }
    int function_count() const { return function_count_; }
    // Numbers the next script function: raises the count and answers it.
    int next_function_number() { return ++function_count_; }

    // Data allocation during compilation; -1 when the memory could not grow.
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
    int append_code(const void *bytes, int32_t count);

    // Collects printf output until a line is complete.
    char *print_line() { return print_line_; }

private:
    int execute(void *context);
    bool ensure_code_room(int32_t extra);
    bool grow_data_to(int64_t size);
    int bind(int number, const PCodeFunction &entry);
    // Reports a fault of an access made by a native or the owner; inside a
    // run it makes the run abort once the native returns.
    void access_fault(const char *format, ...) __attribute__((format(printf, 2, 3)));
    int abort_run(const char *format, ...) __attribute__((format(printf, 2, 3)));
    bool stack_depth_ok(int depth);

    std::vector<uint8_t> data_;
    std::vector<uint8_t> code_;
    std::vector<PCodeCell> stack_;
    std::vector<PCodeFrame> frames_;
    std::vector<PCodeFunction> functions_;

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
    char print_line_[print_line_size] = {};
};
