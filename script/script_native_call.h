#pragma once
// The arguments and the result cell of one native call, read from the
// machine's operand stack by the calling convention: the caller pushed the
// result cell, then the arguments in order, then (for a "..." function) their
// count. A native with k declared parameters finds argument i at depth
// k-1-i and its result at depth k; a "..." native called with n arguments
// finds the count at depth 0, argument i at depth n-i and its result at n+1.
//
// Array, string and reference arguments are data addresses. Every access to
// the memory behind them is checked: against the data memory always (a
// violation is reported by the machine and aborts the run), and, when the
// script was compiled with bounds checking, against the size bound that the
// argument cell carries in its high word (a violation is reported as
// "<native>: Array bounds violated" and the native writes nothing). A bound
// of 0 means that the address came without one (a "&" argument) and only the
// data memory limits it.
#include <cstdint>

class PCodeMachine;

class ScriptNativeCall {
public:
    // A native declared with `params` fixed parameters.
    ScriptNativeCall(PCodeMachine &machine, int params, bool bounds_check, const char *native);
    // A "..." native: the argument count is read from the top cell.
    static ScriptNativeCall variadic(PCodeMachine &machine, bool bounds_check, const char *native);

    PCodeMachine &machine() const { return machine_; }
    int count() const { return count_; }

    int32_t int_arg(int i) const;
    double double_arg(int i) const;
    int32_t address_arg(int i) const;

    // The zero-terminated text at the address of argument i, or null
    // (reported) when no terminating zero lies within its reach. The pointer
    // is valid until the data memory grows (never during a native).
    const char *text_arg(int i) const;
    // The same for a reader of at most `max_length` characters (strncpy,
    // strncat): the text may also end without a zero when its first
    // max_length bytes lie within reach. Read it with strnlen.
    const char *text_arg(int i, int64_t max_length) const;
    // The `bytes` bytes at the address of argument i, or null (reported) when
    // they do not all lie within the argument's reach. A negative count fails.
    uint8_t *array_arg(int i, int64_t bytes) const;

    void set_int_result(int32_t value) const;
    void set_double_result(double value) const;

private:
    ScriptNativeCall(PCodeMachine &machine, int count, int count_cells, bool bounds_check, const char *native);
    int depth(int i) const { return count_ + count_cells_ - 1 - i; }
    // Bytes from the address of argument i that the size bound allows, or -1
    // when no bound applies.
    int64_t bound(int i) const;
    void report_bounds() const;

    PCodeMachine &machine_;
    int count_;
    int count_cells_; // 1 for the count cell of a "..." call
    bool bounds_check_;
    const char *native_;
};
