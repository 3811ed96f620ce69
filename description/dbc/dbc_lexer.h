#pragma once
// The lexer of DBC files: statement keywords, identifiers, numbers, strings
// and single characters, with line ends as tokens of their own.
//
// It works on the bytes of the whole file, independently of the process
// locale. A carriage return before a line feed is dropped, so files with
// CR LF line ends read like the others; every byte value is an ordinary byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

class CANdbFileIo;

enum DbcToken : int {
    // 0..255: a single character, the byte's value.
    kDbcEof = 256,
    kDbcError,
    kDbcEol,
    kDbcIdent,
    kDbcInt,
    kDbcFloat,
    kDbcString,
    // Statement keywords.
    kDbcNs,          // NS_
    kDbcBu,          // BU_
    kDbcBo,          // BO_
    kDbcSg,          // SG_
    kDbcEv,          // EV_
    kDbcEnvVarData,  // ENVVAR_DATA_
    kDbcCm,          // CM_
    kDbcBaDef,       // BA_DEF_
    kDbcBaDefDef,    // BA_DEF_DEF_
    kDbcBa,          // BA_
    kDbcVal,         // VAL_
    kDbcValTable,    // VAL_TABLE_
    kDbcCat,         // CAT_
    kDbcSigValType,  // SIG_VALTYPE_
    kDbcSgMulVal,    // SG_MUL_VAL_
};

class DbcLexer {
public:
    // Longest string text kept; the rest of a longer string is read and dropped.
    static constexpr size_t kMaxStringLength = 999;
    // Longest identifier or number; a longer one is an error.
    static constexpr size_t kMaxWordLength = 1009;

    // Lexes [begin, end); line is the reader's line counter, raised at every
    // line feed; errors go to io.
    DbcLexer(const char *begin, const char *end, int &line, CANdbFileIo &io);

    // The next token. With minus_is_char, "-" is always a character token
    // (for ranges such as 1-5).
    int next_token(bool minus_is_char = false);

    // Of the last identifier or string token.
    const std::string &text() const { return text_; }
    // Of the last integer token: its value, cut to 64 bits. Fields of 32 bits
    // take the low 32 bits of it.
    int64_t int_value() const { return static_cast<int64_t>(negative_ ? 0 - magnitude_ : magnitude_); }
    // Of the last integer or floating-point token, for fields that hold a
    // double: integers keep their full value (4294967295 stays 4294967295,
    // 18446744073709552000 does not wrap).
    double number() const;

    // The keyword token of a word, or kDbcIdent.
    static int keyword(const char *word);

private:
    // The next byte (-1 at the end); CR LF gives LF.
    int get()
    {
        if (pos_ >= end_)
            return -1;
        const unsigned char c = static_cast<unsigned char>(*pos_++);
        if (c == '\r' && pos_ < end_ && *pos_ == '\n')
            return static_cast<unsigned char>(*pos_++);
        return c;
    }
    int peek() const
    {
        if (pos_ >= end_)
            return -1;
        if (*pos_ == '\r' && pos_ + 1 < end_ && pos_[1] == '\n')
            return '\n';
        return static_cast<unsigned char>(*pos_);
    }
    // Steps back over the byte that get() returned (nothing at the end).
    void unget(int c)
    {
        if (c >= 0)
            --pos_;
    }
    // True when the word at `word` (which begins with a digit) is a name:
    // its run of letters, digits and "_" holds a letter or "_" and is no
    // hexadecimal number or number with an exponent.
    bool begins_name(const char *word) const;
    // An identifier or keyword.
    int lex_word();
    int lex_number();
    int lex_string();
    bool skip_block_comment();

    const char *pos_;
    const char *end_;
    int &line_;
    CANdbFileIo &io_;
    bool eof_seen_ = false;
    std::string text_;
    // The names that begin with a digit, each warned about once.
    std::unordered_set<std::string> digit_names_;
    uint64_t magnitude_ = 0; // of an integer token
    bool negative_ = false;  // of an integer token
    double float_value_ = 0.0;
    bool is_int_ = false;
};
