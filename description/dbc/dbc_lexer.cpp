#include "description/dbc/dbc_lexer.h"

#include "core/candb_file_io.h"
#include "core/keyword_hash.h"
#include "core/settings/text_util.h"

#include <cstdlib>
#include <cstring>

namespace {

bool is_letter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_digit(int c)
{
    return c >= '0' && c <= '9';
}

// Control characters, the blank and every byte from 0x80 on separate tokens.
bool is_blank(int c)
{
    return c <= 0x20 || c >= 0x80;
}

// The statement keywords in a table of 2n + 1 slots placed with keyword_hash
// and linear probing; built once, read only afterwards.
class KeywordTable {
public:
    KeywordTable()
    {
        static const struct {
            const char *word;
            int token;
        } words[] = {
            {"NS_", kDbcNs},         {"BU_", kDbcBu},         {"BO_", kDbcBo},
            {"SG_", kDbcSg},         {"EV_", kDbcEv},         {"ENVVAR_DATA_", kDbcEnvVarData},
            {"CM_", kDbcCm},         {"BA_DEF_", kDbcBaDef},  {"BA_DEF_DEF_", kDbcBaDefDef},
            {"BA_", kDbcBa},         {"VAL_", kDbcVal},       {"VAL_TABLE_", kDbcValTable},
            {"CAT_", kDbcCat},       {"SIG_VALTYPE_", kDbcSigValType}, {"SG_MUL_VAL_", kDbcSgMulVal},
        };
        for (const auto &w : words) {
            const uint32_t hash = keyword_hash(w.word);
            size_t slot = hash % kSlots;
            while (slots_[slot].word)
                slot = (slot + 1) % kSlots;
            slots_[slot] = {w.word, hash, w.token};
        }
    }

    int find(const char *word) const
    {
        const uint32_t hash = keyword_hash(word);
        for (size_t slot = hash % kSlots; slots_[slot].word; slot = (slot + 1) % kSlots)
            if (slots_[slot].hash == hash && std::strcmp(slots_[slot].word, word) == 0)
                return slots_[slot].token;
        return kDbcIdent;
    }

private:
    static constexpr size_t kSlots = 2 * 15 + 1;
    struct Slot {
        const char *word = nullptr;
        uint32_t hash = 0;
        int token = kDbcIdent;
    };
    Slot slots_[kSlots];
};

} // namespace

DbcLexer::DbcLexer(const char *begin, const char *end, int &line, CANdbFileIo &io)
    : pos_(begin), end_(end), line_(line), io_(io)
{
    text_.reserve(kMaxWordLength + 1);
}

int DbcLexer::keyword(const char *word)
{
    static const KeywordTable table;
    return table.find(word);
}

double DbcLexer::number() const
{
    if (!is_int_)
        return float_value_;
    const double magnitude = static_cast<double>(magnitude_);
    return negative_ ? -magnitude : magnitude;
}

int DbcLexer::get()
{
    if (pos_ >= end_)
        return -1;
    const unsigned char c = static_cast<unsigned char>(*pos_++);
    if (c == '\r' && pos_ < end_ && *pos_ == '\n')
        return static_cast<unsigned char>(*pos_++);
    return c;
}

int DbcLexer::peek() const
{
    if (pos_ >= end_)
        return -1;
    if (*pos_ == '\r' && pos_ + 1 < end_ && pos_[1] == '\n')
        return '\n';
    return static_cast<unsigned char>(*pos_);
}

bool DbcLexer::skip_block_comment()
{
    for (int c = get(); c >= 0; c = get()) {
        if (c == '\n')
            ++line_;
        else if (c == '*' && peek() == '/') {
            get();
            return true;
        }
    }
    return false;
}

int DbcLexer::next_token(bool minus_is_char)
{
    for (;;) {
        bool crossed_line_end = false;
        int c;
        for (c = get(); c >= 0; c = get()) {
            if (c == '\n') {
                ++line_;
                crossed_line_end = true;
            } else if (!is_blank(c)) {
                break;
            }
        }
        if (crossed_line_end) {
            unget(c);
            return kDbcEol;
        }
        if (c < 0) {
            if (eof_seen_)
                return kDbcEof;
            eof_seen_ = true;
            return kDbcEol;
        }
        if (c == '/' && peek() == '*') {
            get();
            if (!skip_block_comment()) {
                io_.error("Error: Unexpected eof in comment");
                return kDbcError;
            }
            continue;
        }
        if (is_letter(c) || c == '_') {
            text_.clear();
            for (; is_letter(c) || is_digit(c) || c == '-' || c == '_'; c = get()) {
                if (text_.size() == kMaxWordLength) {
                    io_.error("Identifier too long");
                    return kDbcError;
                }
                text_ += static_cast<char>(c);
            }
            unget(c);
            return keyword(text_.c_str());
        }
        if (minus_is_char && c == '-')
            return c;
        if (is_digit(c) || ((c == '.' || c == '-' || c == '+') && is_digit(peek())))
            return lex_number(c);
        if (c == '"')
            return lex_string();
        return c;
    }
}

int DbcLexer::lex_number(int c)
{
    text_.clear();
    negative_ = false;
    magnitude_ = 0;
    auto append = [this](int ch) {
        if (text_.size() == kMaxWordLength)
            return false;
        text_ += static_cast<char>(ch);
        return true;
    };
    if (c == '-' || c == '+') {
        negative_ = c == '-';
        append(c);
        c = get();
    }
    if (c == '0' && (peek() == 'x' || peek() == 'X')) {
        append(c);
        append(get());
        for (c = get(); hex_digit_value(c) >= 0; c = get()) {
            if (!append(c)) {
                io_.error("Number too long");
                return kDbcError;
            }
            magnitude_ = magnitude_ * 16 + static_cast<uint64_t>(hex_digit_value(c));
        }
        unget(c);
        is_int_ = true;
        return kDbcInt;
    }
    bool is_float = false;
    bool too_long = false;
    for (; is_digit(c); c = get()) {
        too_long |= !append(c);
        magnitude_ = magnitude_ * 10 + static_cast<uint64_t>(c - '0');
    }
    if (c == '.') {
        is_float = true;
        too_long |= !append(c);
        for (c = get(); is_digit(c); c = get())
            too_long |= !append(c);
    }
    if (c == 'e' || c == 'E') {
        is_float = true;
        too_long |= !append(c);
        c = get();
        if (c == '-' || c == '+') {
            too_long |= !append(c);
            c = get();
        }
        if (!is_digit(c)) {
            // The error token ends the reading; said, so that the cut is not silent.
            io_.error("Exponent digits expected");
            unget(c);
            return kDbcError;
        }
        for (; is_digit(c); c = get())
            too_long |= !append(c);
    }
    unget(c);
    if (too_long) {
        io_.error("Number too long");
        return kDbcError;
    }
    is_int_ = !is_float;
    if (is_float)
        float_value_ = c_locale_atof(text_.c_str()); // "C" locale: "." whatever LC_NUMERIC says
    return is_float ? kDbcFloat : kDbcInt;
}

int DbcLexer::lex_string()
{
    text_.clear();
    auto append = [this](int ch) {
        if (text_.size() < kMaxStringLength)
            text_ += static_cast<char>(ch);
    };
    for (;;) {
        int c = get();
        if (c < 0) {
            io_.error("Error: EOF in string detected");
            return kDbcString;
        }
        if (c == '"') {
            if (peek() != '"')
                return kDbcString;
            get();
            append('"');
            continue;
        }
        if (c == '\\') {
            const int escaped = get();
            switch (escaped) {
            case 'n':
                append('\n');
                continue;
            case 't':
                append('\t');
                continue;
            case 'r':
                append('\r');
                continue;
            case '"':
                append('"');
                continue;
            default:
                // Any other escape keeps its backslash; the byte after it is
                // read as usual.
                append('\\');
                unget(escaped);
                continue;
            }
        }
        if (c == '\n')
            ++line_;
        append(c);
    }
}
