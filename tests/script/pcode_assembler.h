#pragma once
// A small assembler for tests: builds byte code from lines of opcode names and
// operands, so that a test reads like the program it runs.
//
//   "loop:"                  defines a label at the current position
//   "PUSH_I 5"               opcode name with or without "OP_"; operands follow
//   "JZ @done"               an int operand may name a label
//   "PUSH_D nan"             double operands as strtod reads them
//   "INIT_GLOBAL 64 1 2 3"   address, then the data bytes (n is counted)
//   "SWITCH_TABLE 1 @a 7 @b" case value / target pairs (n is counted)
//   "3"                      a bare number is the opcode byte itself
//
// Labels resolve against the address at which the code is loaded.
#include "script/pcode_machine.h"
#include "script/pcode_ops.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

class PCodeAssembler
{
public:
    PCodeAssembler &operator()(const std::string &line)
    {
        std::istringstream in(line);
        std::string word;
        if (!(in >> word))
            return *this;
        if (word.back() == ':') {
            labels_[word.substr(0, word.size() - 1)] = int32_t(bytes_.size());
            return *this;
        }
        const int opcode = opcode_of(word);
        bytes_.push_back(uint8_t(opcode));
        std::vector<std::string> operands;
        while (in >> word)
            operands.push_back(word);
        switch (pcode_operands(opcode)) {
        case PCodeOperands::none:
            break;
        case PCodeOperands::byte:
            bytes_.push_back(uint8_t(number(operands, 0)));
            break;
        case PCodeOperands::word: {
            const int16_t w = int16_t(number(operands, 0));
            append(&w, sizeof w);
            break;
        }
        case PCodeOperands::int32:
            int_operand(operands, 0);
            break;
        case PCodeOperands::float64: {
            const double d = std::strtod(operands.at(0).c_str(), nullptr);
            append(&d, sizeof d);
            break;
        }
        case PCodeOperands::two_ints:
            int_operand(operands, 0);
            int_operand(operands, 1);
            break;
        case PCodeOperands::init_bytes: {
            int_operand(operands, 0);
            append_int(int32_t(operands.size() - 1));
            for (size_t k = 1; k < operands.size(); ++k)
                bytes_.push_back(uint8_t(number(operands, k)));
            break;
        }
        case PCodeOperands::switch_table:
            append_int(int32_t(operands.size() / 2));
            for (size_t k = 0; k < operands.size(); ++k)
                int_operand(operands, k);
            break;
        }
        return *this;
    }

    // Several instructions separated by ';'.
    PCodeAssembler &lines(const std::string &text)
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line, ';'))
            (*this)(line);
        return *this;
    }

    // Appends the code to the machine, resolving labels; answers its address.
    int32_t load(PCodeMachine &machine)
    {
        origin_ = machine.code_length();
        std::vector<uint8_t> code = bytes_;
        for (const auto &fixup : fixups_) {
            const auto label = labels_.find(fixup.second);
            if (label == labels_.end())
                throw std::runtime_error("undefined label " + fixup.second);
            const int32_t target = origin_ + label->second;
            std::memcpy(code.data() + fixup.first, &target, sizeof target);
        }
        machine.append_code(code.data(), int32_t(code.size()));
        return origin_;
    }

    int32_t address(const std::string &label) const { return origin_ + labels_.at(label); }
    const std::vector<uint8_t> &bytes() const { return bytes_; }

private:
    static int opcode_of(const std::string &word)
    {
        if (std::isdigit(static_cast<unsigned char>(word[0])))
            return std::atoi(word.c_str());
        const std::string name = word.compare(0, 3, "OP_") == 0 ? word : "OP_" + word;
        for (int op = 0; op < 256; ++op)
            if (const char *n = pcode_op_name(op); n && name == n)
                return op;
        throw std::runtime_error("unknown opcode " + word);
    }

    static long long number(const std::vector<std::string> &operands, size_t k)
    {
        return std::strtoll(operands.at(k).c_str(), nullptr, 0);
    }

    void append(const void *p, size_t n)
    {
        const auto *b = static_cast<const uint8_t *>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }

    void append_int(int32_t v) { append(&v, sizeof v); }

    void int_operand(const std::vector<std::string> &operands, size_t k)
    {
        const std::string &word = operands.at(k);
        if (word[0] == '@') {
            fixups_.emplace_back(bytes_.size(), word.substr(1));
            append_int(0);
        } else {
            append_int(int32_t(number(operands, k)));
        }
    }

    std::vector<uint8_t> bytes_;
    std::map<std::string, int32_t> labels_;
    std::vector<std::pair<size_t, std::string>> fixups_;
    int32_t origin_ = 0;
};
