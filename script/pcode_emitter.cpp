// The code emitter of PCodeMachine: appends or inserts instructions, chooses
// the short encodings, resolves labels, patches operands and runs the
// peephole optimiser over a window of the last eight logical instructions.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_compiler.h"

#include <algorithm>
#include <cstdio>

// ---------------------------------------------------------------------------
// Plain emitters

PCodeMachine::Placement PCodeMachine::place_code(const void *bytes, int32_t count, int32_t position)
{
    if (position == -1)
        position = insert_position_;
    if (count < 0 || !ensure_code_room(count))
        return Placement::failed;
    code_changed();
    uint8_t *code = code_.data();
    if (position >= 0 && position < code_length_) {
        std::memmove(code + position + count, code + position, size_t(code_length_ - position));
        std::memcpy(code + position, bytes, size_t(count));
        code_length_ += count;
        if (insert_position_ != -1 && position <= insert_position_)
            insert_position_ += count;
        return Placement::inserted;
    }
    std::memcpy(code + code_length_, bytes, size_t(count));
    code_length_ += count;
    return Placement::appended;
}

void PCodeMachine::shift_window()
{
    std::copy_backward(window_, window_ + window_size - 1, window_ + window_size);
    window_[0] = PCodeWindowEntry{};
}

void PCodeMachine::set_window_int(int32_t value)
{
    if (recording_suspended_ == 0)
        window_[0].int_operand = value;
}

int PCodeMachine::emit_opcode(int opcode, int32_t position)
{
    const int32_t before = code_length_;
    const uint8_t byte = uint8_t(opcode);
    switch (place_code(&byte, 1, position)) {
    case Placement::failed:
        return -1;
    case Placement::inserted:
        clear_window(); // an insertion ends every pattern that spans it
        return 0;
    case Placement::appended:
        if (recording_suspended_ == 0) {
            shift_window();
            window_[0].position = before;
            window_[0].opcode = byte;
        }
        return 0;
    }
    return 0;
}

int PCodeMachine::emit_int(int32_t value, int32_t position)
{
    const Placement placed = place_code(&value, sizeof value, position);
    if (placed == Placement::appended)
        set_window_int(value);
    return placed == Placement::failed ? -1 : 0;
}

int PCodeMachine::emit_bytes(int32_t value, int n, int32_t position)
{
    if (n < 1 || n > 2)
        return -1;
    const Placement placed = place_code(&value, n, position); // little-endian: the low bytes come first
    if (placed == Placement::appended)
        set_window_int(value);
    return placed == Placement::failed ? -1 : 0;
}

int PCodeMachine::emit_double(double value, int32_t position)
{
    const Placement placed = place_code(&value, sizeof value, position);
    if (placed == Placement::appended && recording_suspended_ == 0)
        window_[0].double_operand = value;
    return placed == Placement::failed ? -1 : 0;
}

int PCodeMachine::emit_string(const char *text, int32_t position)
{
    return place_code(text, int32_t(std::strlen(text)) + 1, position) == Placement::failed ? -1 : 0;
}

int PCodeMachine::reserve_code(int32_t n, int32_t position)
{
    if ((position >= 0 && position < code_length_) || n <= 0)
        return 0;
    if (!ensure_code_room(n))
        return -1;
    code_changed();
    std::memset(code_.data() + code_length_, 0, size_t(n));
    code_length_ += n;
    return 0;
}

// ---------------------------------------------------------------------------
// Positions and patches

void PCodeMachine::set_insert_position(int32_t position)
{
    insert_position_ = position == code_length_ ? -1 : position;
}

int PCodeMachine::patch_bytes(int32_t value, int n, int32_t position)
{
    if (n < 1 || n > 4 || position < 0 || int64_t(position) + n > code_length_)
        return -1;
    code_changed();
    std::memcpy(code_.data() + position, &value, size_t(n));
    return 0;
}

int PCodeMachine::patch_int(int32_t value, int32_t position)
{
    return patch_bytes(value, 4, position);
}

int PCodeMachine::patch_double(double value, int32_t position)
{
    if (position < 0 || int64_t(position) + 8 > code_length_)
        return -1;
    code_changed();
    std::memcpy(code_.data() + position, &value, sizeof value);
    return 0;
}

int PCodeMachine::or_opcode(int bits, int32_t position)
{
    if (position == -1)
        position = code_length_ - 1;
    if (position < 0 || position >= code_length_)
        return -1;
    code_changed();
    code_[size_t(position)] |= uint8_t(bits);
    return 0;
}

int PCodeMachine::resolve_label(int32_t start, int32_t label, int32_t target)
{
    uint8_t *code = code_.data();
    for (int32_t pc = std::max(start, 0); pc < code_length_;) {
        const int length = pcode_instruction_length(code + pc, code_length_ - pc);
        if (length < 0 || int64_t(pc) + length > code_length_)
            break; // a cut-off instruction ends the walk
        const uint8_t op = code[pc];
        if (op == OP_JMP_LABEL || op == OP_JZ_LABEL || op == OP_JNZ_LABEL) {
            int32_t operand;
            std::memcpy(&operand, code + pc + 1, sizeof operand);
            if (operand == label) {
                code_changed();
                code[pc] = uint8_t(op & ~1);
                std::memcpy(code + pc + 1, &target, sizeof target);
            }
        }
        pc += length;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Window control

void PCodeMachine::clear_window()
{
    std::fill(window_, window_ + window_size, PCodeWindowEntry{});
    recording_suspended_ = 0;
}

void PCodeMachine::record_instruction(int opcode)
{
    shift_window();
    window_[0].position = code_length_;
    window_[0].opcode = opcode;
}

void PCodeMachine::record_instruction(int opcode, int32_t operand)
{
    record_instruction(opcode);
    window_[0].int_operand = operand;
}

void PCodeMachine::record_instruction(int opcode, double operand)
{
    record_instruction(opcode);
    window_[0].double_operand = operand;
}

void PCodeMachine::resume_recording()
{
    if (recording_suspended_ > 0)
        --recording_suspended_;
}

void PCodeMachine::drop_instructions(int n)
{
    if (n < 1)
        return;
    n = std::min(n, window_size - 1);
    code_changed();
    code_length_ = std::clamp(window_[n - 1].position, 0, code_length_);
    std::copy(window_ + n, window_ + window_size, window_);
    std::fill(window_ + window_size - n, window_ + window_size, PCodeWindowEntry{});
}

// ---------------------------------------------------------------------------
// Encodings

int PCodeMachine::emit_push_int(int32_t v, bool optimise)
{
    record_instruction(OP_PUSH_I, v);
    suspend_recording();
    int result;
    if (!optimise || (v > 32767 || v < -32768))
        result = emit_opcode(OP_PUSH_I) | emit_int(v);
    else if (v == -1)
        result = emit_opcode(OP_PUSH_IM1);
    else if (v >= 0 && v <= 3)
        result = emit_opcode(OP_PUSH_I0 + v);
    else if (v == 4)
        result = emit_opcode(OP_PUSH_I4);
    else if (v == 8)
        result = emit_opcode(OP_PUSH_I8);
    else if (v >= -255 && v <= -2)
        result = emit_opcode(OP_PUSH_NEG_B) | emit_bytes(-v, 1);
    else if (v >= 5 && v <= 255)
        result = emit_opcode(OP_PUSH_B) | emit_bytes(v, 1);
    else
        result = emit_opcode(OP_PUSH_W) | emit_bytes(v, 2);
    resume_recording();
    return result;
}

int PCodeMachine::emit_push_double(double v, bool optimise)
{
    record_instruction(OP_PUSH_D, v);
    suspend_recording();
    int result;
    if (optimise && v == 0.0) // -0.0 compares equal
        result = emit_opcode(OP_PUSH_D0);
    else if (optimise && v == 1.0)
        result = emit_opcode(OP_PUSH_D1);
    else
        result = emit_opcode(OP_PUSH_D) | emit_double(v);
    resume_recording();
    return result;
}

int PCodeMachine::emit_push_address(int32_t address, bool local, bool optimise)
{
    record_instruction(local ? OP_PUSH_LADDR : OP_PUSH_GADDR, address);
    suspend_recording();
    int result;
    if (optimise && uint32_t(address) <= 255)
        result = emit_opcode(local ? OP_PUSH_LADDR_B : OP_PUSH_GADDR_B) | emit_bytes(address, 1);
    else
        result = emit_opcode(local ? OP_PUSH_LADDR : OP_PUSH_GADDR) | emit_int(address);
    resume_recording();
    return result;
}

int PCodeMachine::emit_set_size(int32_t size, bool optimise)
{
    record_instruction(OP_SET_SIZE, size);
    suspend_recording();
    int result;
    if (optimise && uint32_t(size) <= 255)
        result = emit_opcode(OP_SET_SIZE_B) | emit_bytes(size, 1);
    else
        result = emit_opcode(OP_SET_SIZE) | emit_int(size);
    resume_recording();
    return result;
}

int PCodeMachine::emit_pop(int32_t cells, bool optimise)
{
    record_instruction(OP_POP, cells);
    suspend_recording();
    int result = 0;
    if (!optimise) {
        for (int32_t k = 0; k < cells; ++k)
            result |= emit_opcode(OP_POP);
    } else if (cells == 1) {
        result = emit_opcode(OP_POP);
    } else if (cells >= 2 && cells <= 5) {
        result = emit_opcode(OP_POP2 + cells - 2);
    } else {
        for (int32_t rest = cells; rest > 0; rest -= 255)
            result |= emit_opcode(OP_POPN) | emit_bytes(std::min(rest, 255), 1);
    }
    resume_recording();
    return result;
}

// ---------------------------------------------------------------------------
// Peephole optimiser

int PCodeMachine::optimise(bool optimise, ScriptCompiler *reporter)
{
    const PCodeWindowEntry *w = window_;
    auto is = [w](int i, int opcode) { return w[i].opcode == opcode; };
    auto trace = [this](const char *format, auto... args) {
        if (trace_) {
            std::printf(format, args...);
            std::fflush(stdout);
        }
    };

    // Two pops in a row become one, as long as one OP_POPN can take them.
    if (is(0, OP_POP) && is(1, OP_POP)) {
        const int32_t cells = w[0].int_operand + w[1].int_operand;
        if (!optimise || cells > 255)
            return 0;
        trace("REDUCE DROPS %d\n", cells);
        drop_instructions(2);
        emit_pop(cells, optimise);
        return 1;
    }
    // a, b, swap, subtract: a negative constant written as 0 - a.
    if (is(0, OP_I_SUB) && is(1, OP_SWAP) && is(2, OP_PUSH_I) && is(3, OP_PUSH_I)) {
        const int32_t value = int32_t(uint32_t(w[2].int_operand) - uint32_t(w[3].int_operand));
        trace("REDUCE NEGATE %d\n", value);
        drop_instructions(4);
        emit_push_int(value, optimise);
        return 1;
    }
    if (is(0, OP_I_MUL) && is(1, OP_PUSH_I) && is(2, OP_PUSH_I)) {
        const int32_t value = int32_t(uint32_t(w[2].int_operand) * uint32_t(w[1].int_operand));
        trace("REDUCE IMUL %d\n", value);
        drop_instructions(3);
        emit_push_int(value, optimise);
        return 1;
    }
    // A constant index: out of bounds it is reported now, whatever the base;
    // into a global array the address is known now as well.
    if (is(0, OP_SIZE_CHK_I_ADD) && is(1, OP_PUSH_I) && is(2, OP_SET_SIZE)) {
        const int32_t offset = w[1].int_operand, size = w[2].int_operand, address = w[3].int_operand;
        // A negative index is out of bounds as much as one past the end: the
        // check at run time refuses it too.
        const bool outside = offset >= size || offset < 0;
        auto report_outside = [&] {
            if (!outside)
                return;
            if (reporter) {
                reporter->warning("%s", "Array bounds violated");
            } else {
                std::printf("Array bounds violated\n");
                std::fflush(stdout);
            }
        };
        if (!is(3, OP_PUSH_GADDR)) {
            report_outside(); // the run-time check stays in the code
            return 0;
        }
        trace("REDUCE CHK_I_ADD, size=%d, offs=%d, addr=%d\n", size, offset, address);
        report_outside();
        drop_instructions(4);
        emit_push_address(int32_t(uint32_t(address) + uint32_t(offset)), false, optimise);
        emit_set_size(outside ? 0 : size - offset, optimise);
        return 1;
    }
    if (is(0, OP_I_ADD) && is(1, OP_PUSH_I) && is(2, OP_PUSH_GADDR)) {
        const int32_t offset = w[1].int_operand, address = w[2].int_operand;
        trace("REDUCE I_ADD, offs=%d, addr=%d\n", offset, address);
        drop_instructions(3);
        emit_push_address(int32_t(uint32_t(address) + uint32_t(offset)), false, optimise);
        return 1;
    }
    // Byte assignments: load or push the value first, so that no swap is needed.
    if (is(0, OP_STORE_B) && is(1, OP_SWAP)) {
        auto store_byte = [&](int drop, bool value_is_load, int32_t value, int32_t destination) {
            drop_instructions(drop);
            if (value_is_load) {
                emit_push_address(value, false, optimise);
                emit_opcode(OP_LOAD_B);
            } else {
                emit_push_int(value, optimise);
            }
            emit_push_address(destination, false, optimise);
            emit_opcode(OP_STORE_B);
            return 1;
        };
        if (is(2, OP_LOAD_B) && is(3, OP_PUSH_GADDR) && is(4, OP_PUSH_GADDR)) {
            trace("REDUCE byte-copy, daddr=%d, saddr=%d\n", w[4].int_operand, w[3].int_operand);
            return store_byte(5, true, w[3].int_operand, w[4].int_operand);
        }
        if (is(2, OP_LOAD_B) && is(3, OP_SET_SIZE) && is(4, OP_PUSH_GADDR) && is(5, OP_SET_SIZE)
            && is(6, OP_PUSH_GADDR)) {
            trace("REDUCE byte[]-copy, daddr=%d, saddr=%d\n", w[6].int_operand, w[4].int_operand);
            return store_byte(7, true, w[4].int_operand, w[6].int_operand);
        }
        if (is(2, OP_PUSH_I) && is(3, OP_PUSH_GADDR)) {
            trace("REDUCE byte-assign, daddr=%d, value=%d, gol=%d\n", w[3].int_operand, w[2].int_operand,
                  int(optimise));
            return store_byte(4, false, w[2].int_operand, w[3].int_operand);
        }
        if (is(2, OP_PUSH_I) && is(3, OP_SET_SIZE) && is(4, OP_PUSH_GADDR)) {
            trace("REDUCE byte[]-assign, daddr=%d, value=%d, gol=%d\n", w[4].int_operand, w[2].int_operand,
                  int(optimise));
            return store_byte(5, false, w[2].int_operand, w[4].int_operand);
        }
    }
    return 0;
}
