#include "script/pcode_machine.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>

PCodeMachine::PCodeMachine()
    : code_(initial_code_capacity),
      stack_(stack_capacity),
      frames_(frame_capacity),
      functions_(function_growth)
{
}

PCodeMachine::~PCodeMachine() = default;

void PCodeMachine::report_error(const char *text)
{
    std::printf("PCode ERROR: %s", text);
    std::fflush(stdout);
}

void PCodeMachine::access_fault(const char *format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (running_)
        fault_ = true;
    report_error(text);
}

// ---------------------------------------------------------------------------
// Data memory

uint8_t *PCodeMachine::data_pointer(int32_t address, int32_t size)
{
    if (address < 0 || size < 0 || int64_t(address) + size > int64_t(data_.size())) {
        access_fault("Error: Access to data address %d (%d bytes) outside the data memory of %d bytes\n",
                     address, size, data_capacity());
        return nullptr;
    }
    return data_.data() + address;
}

int32_t PCodeMachine::data_int(int32_t address)
{
    int32_t v = 0;
    if (const uint8_t *p = data_pointer(address, sizeof v))
        std::memcpy(&v, p, sizeof v);
    return v;
}

double PCodeMachine::data_double(int32_t address)
{
    double v = 0.0;
    if (const uint8_t *p = data_pointer(address, sizeof v))
        std::memcpy(&v, p, sizeof v);
    return v;
}

void PCodeMachine::set_data_int(int32_t address, int32_t value)
{
    if (uint8_t *p = data_pointer(address, sizeof value))
        std::memcpy(p, &value, sizeof value);
}

void PCodeMachine::set_data_byte(int32_t address, uint8_t value)
{
    if (uint8_t *p = data_pointer(address, 1))
        *p = value;
}

void PCodeMachine::set_data_double(int32_t address, double value)
{
    if (uint8_t *p = data_pointer(address, sizeof value))
        std::memcpy(p, &value, sizeof value);
}

// The data memory only ever grows: the interpreter checks a global address of
// its decoded code once, when it decodes it.
bool PCodeMachine::grow_data_to(int64_t size)
{
    if (size > INT32_MAX)
        return false;
    try {
        // The room that a run adds for its locals comes with every new
        // buffer, so that the run neither copies large data memory again nor
        // needs it twice over; the new bytes are zeroed once, by the resize.
        if (size_t(size) > data_.capacity())
            data_.reserve(std::max(size_t(size) + run_data_reserve, data_.capacity() + data_.capacity() / 2));
        data_.resize(size_t(size));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

int PCodeMachine::allocate_data(int32_t bytes)
{
    const int64_t top = int64_t(data_top_) + bytes;
    if (top < 0 || top > INT32_MAX)
        return -1;
    data_top_ = int32_t(top);
    data_high_water_ = std::max(data_high_water_, data_top_);
    if (data_top_ >= data_capacity()
        && !grow_data_to(std::max<int64_t>(int64_t(data_capacity()) + data_growth, int64_t(data_top_) + data_growth)))
        return -1;
    return 0;
}

int PCodeMachine::align_data()
{
    return allocate_data((4 - (data_top_ & 3)) & 3);
}

// ---------------------------------------------------------------------------
// Operand stack

bool PCodeMachine::stack_depth_ok(int depth)
{
    if (depth >= 0 && depth < sp_)
        return true;
    access_fault("Error: Stack depth %d outside the %d cells in use\n", depth, sp_);
    return false;
}

int32_t PCodeMachine::stack_int(int depth)
{
    return stack_depth_ok(depth) ? stack_[sp_ - 1 - depth].i : 0;
}

double PCodeMachine::stack_double(int depth)
{
    return stack_depth_ok(depth) ? stack_[sp_ - 1 - depth].d() : 0.0;
}

int32_t PCodeMachine::stack_size_bound(int depth)
{
    return stack_depth_ok(depth) ? stack_[sp_ - 1 - depth].high : 0;
}

void PCodeMachine::set_stack_int(int depth, int32_t value)
{
    if (stack_depth_ok(depth))
        stack_[sp_ - 1 - depth].i = value;
}

void PCodeMachine::set_stack_double(int depth, double value)
{
    if (stack_depth_ok(depth))
        stack_[sp_ - 1 - depth].set_d(value);
}

// ---------------------------------------------------------------------------
// Function table

int PCodeMachine::bind(int number, const PCodeFunction &entry)
{
    if (number < 0)
        return -1;
    if (number >= function_capacity()) {
        // One step of growth is enough for numbers given out one by one;
        // a number further out grows the table until it fits.
        const int steps = (number - function_capacity()) / function_growth + 1;
        try {
            functions_.resize(size_t(functions_.size()) + size_t(steps) * function_growth);
        } catch (const std::bad_alloc &) {
            return -1;
        }
    }
    functions_[size_t(number)] = entry;
    return 0;
}

int PCodeMachine::bind_native(int number, PCodeNative function)
{
    PCodeFunction entry;
    entry.kind = PCodeFunction::native;
    entry.entry = function;
    return bind(number, entry);
}

int PCodeMachine::bind_script_function(int number, int32_t code_address)
{
    PCodeFunction entry;
    entry.kind = PCodeFunction::script;
    entry.code_address = code_address;
    return bind(number, entry);
}

int PCodeMachine::bind_native_by_name(const ScriptSymbolTable &symbols, const char *name, PCodeNative function)
{
    const ScriptSymbol *symbol = symbols.find(name, 0);
    if (!symbol || symbol->kind() != SYMBOL_FUNCTION)
        return -1;
    return bind_native(int(static_cast<const ScriptFunction *>(symbol)->index), function);
}

int PCodeMachine::bind_native_if_declared(const ScriptSymbolTable &symbols, const char *name, PCodeNative function)
{
    if (!symbols.find(name, 0))
        return 0;
    return bind_native_by_name(symbols, name, function);
}

const PCodeFunction *PCodeMachine::function(int number) const
{
    if (number < 0 || number >= function_capacity())
        return nullptr;
    return &functions_[size_t(number)];
}

// ---------------------------------------------------------------------------
// Code buffer

bool PCodeMachine::ensure_code_room(int32_t extra)
{
    int64_t capacity = code_capacity();
    while (int64_t(code_length_) + extra >= capacity)
        capacity += code_growth;
    if (capacity == code_capacity())
        return true;
    if (capacity > INT32_MAX)
        return false;
    try {
        code_.resize(size_t(capacity));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

int PCodeMachine::append_code(const void *bytes, int32_t count)
{
    if (count < 0 || !ensure_code_room(count))
        return -1;
    code_changed();
    std::memcpy(code_.data() + code_length_, bytes, size_t(count));
    code_length_ += count;
    return 0;
}
