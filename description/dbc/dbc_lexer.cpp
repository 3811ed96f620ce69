#include "description/dbc/dbc_lexer.h"

#include "core/candb_file_io.h"
#include "core/keyword_hash.h"
#include "settings/text_util.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

constexpr bool is_letter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool is_digit(int c)
{
    return c >= '0' && c <= '9';
}

// What each byte value can be, looked up once per byte in the loops that
// skip blanks and scan identifiers.
enum ByteClass : uint8_t {
    kBlank = 1,    // control characters, the blank and every byte from 0x80 on separate tokens
    kWordByte = 2, // the bytes an identifier continues with
};

struct ByteClasses
{
    uint8_t of[256] = {};
    constexpr ByteClasses()
    {
        for (int c = 0; c < 256; ++c) {
            if (c <= 0x20 || c >= 0x80)
                of[c] = kBlank;
            else if (is_letter(c) || is_digit(c) || c == '-' || c == '_')
                of[c] = kWordByte;
        }
    }
};
constexpr ByteClasses byte_classes;

bool is_blank(unsigned char c)
{
    return byte_classes.of[c] & kBlank;
}

// The bytes of a run that decides whether a word that begins with a digit
// is a number or a name.
bool is_name_byte(int c)
{
    return is_letter(c) || is_digit(c) || c == '_';
}

bool is_word_byte(unsigned char c)
{
    return byte_classes.of[c] & kWordByte;
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
        // Blanks, the carriage return of CR LF among them; a run of them
        // that crosses a line end is one line-end token.
        bool crossed_line_end = false;
        for (; pos_ < end_; ++pos_) {
            const unsigned char b = static_cast<unsigned char>(*pos_);
            if (b == '\n') {
                ++line_;
                crossed_line_end = true;
            } else if (!is_blank(b)) {
                break;
            }
        }
        if (crossed_line_end)
            return kDbcEol;
        const int c = get();
        if (c < 0) {
            if (eof_seen_)
                return kDbcEof;
            eof_seen_ = true;
            return kDbcEol;
        }
        if (c == '/' && peek() == '*') {
            get();
            if (!skip_block_comment()) {
                io_.error("Unexpected eof in comment");
                return kDbcError;
            }
            continue;
        }
        if (is_letter(c) || c == '_' || (is_digit(c) && begins_name(pos_ - 1)))
            return lex_word();
        if (minus_is_char && c == '-')
            return c;
        if (is_digit(c) || ((c == '.' || c == '-' || c == '+') && is_digit(peek())))
            return lex_number();
        if (c == '"')
            return lex_string();
        return c;
    }
}

bool DbcLexer::begins_name(const char *word) const
{
    auto at = [this](const char *q) { return q < end_ ? static_cast<unsigned char>(*q) : -1; };
    const char *end = word;
    bool letters = false;
    for (; is_name_byte(at(end)); ++end)
        letters = letters || !is_digit(at(end));
    if (!letters)
        return false;
    // Numbers with letters: hexadecimal ones and exponents.
    const char *p = word;
    if (at(p) == '0' && (at(p + 1) == 'x' || at(p + 1) == 'X') && end > p + 2) {
        for (p += 2; p < end && hex_digit_value(at(p)) >= 0; ++p) {
        }
        return p != end;
    }
    while (is_digit(at(p)))
        ++p;
    if (at(p) != 'e' && at(p) != 'E')
        return true;
    ++p;
    if (p == end) // "1e-5": the sign breaks the run
        return !((at(p) == '-' || at(p) == '+') && is_digit(at(p + 1)));
    while (p < end && is_digit(at(p)))
        ++p;
    return p != end;
}

// The word starts at the byte before pos_.
int DbcLexer::lex_word()
{
    const char *word = pos_ - 1;
    const char *after = pos_;
    while (after < end_ && is_word_byte(static_cast<unsigned char>(*after)))
        ++after;
    pos_ = after;
    const size_t length = static_cast<size_t>(after - word);
    if (length > kMaxWordLength) {
        io_.error("Identifier too long");
        return kDbcError;
    }
    text_.assign(word, length);
    if (is_digit(*word)) {
        // Peer readers take names that begin with a digit ("2017_5"), which
        // the format does not allow: read as names, each one said once.
        if (digit_names_.insert(text_).second)
            io_.warning("The name '%s' begins with a digit; it is read as a name", text_.c_str());
        return kDbcIdent;
    }
    // Every statement keyword ends with "_": other words need no look-up.
    return word[length - 1] == '_' ? keyword(text_.c_str()) : kDbcIdent;
}

// The number starts at the byte before pos_ (a digit, or a sign or "."
// before one). Its bytes are scanned in place.
int DbcLexer::lex_number()
{
    const char *start = pos_ - 1;
    const char *p = start;
    auto at = [this](const char *q) { return q < end_ ? static_cast<unsigned char>(*q) : -1; };
    negative_ = false;
    magnitude_ = 0;
    if (*p == '-' || *p == '+')
        negative_ = *p++ == '-';
    bool is_float = false;
    // A decimal integer beyond 64 bits: its value as a double is the exact one.
    bool wide = false;
    if (at(p) == '0' && (at(p + 1) == 'x' || at(p + 1) == 'X')) {
        for (p += 2; hex_digit_value(at(p)) >= 0; ++p)
            magnitude_ = magnitude_ * 16 + static_cast<uint64_t>(hex_digit_value(at(p)));
    } else {
        for (; is_digit(at(p)); ++p) {
            const uint64_t digit = static_cast<uint64_t>(*p - '0');
            wide = wide || magnitude_ > (UINT64_MAX - digit) / 10;
            magnitude_ = magnitude_ * 10 + digit;
        }
        if (at(p) == '.') {
            is_float = true;
            for (++p; is_digit(at(p)); ++p) {
            }
        }
        if (at(p) == 'e' || at(p) == 'E') {
            is_float = true;
            ++p;
            if (at(p) == '-' || at(p) == '+')
                ++p;
            if (!is_digit(at(p))) {
                // The error token ends the reading; said, so that the cut is not silent.
                pos_ = p;
                io_.error("Exponent digits expected");
                return kDbcError;
            }
            for (; is_digit(at(p)); ++p) {
            }
        }
    }
    pos_ = p;
    const size_t length = static_cast<size_t>(p - start);
    if (length > kMaxWordLength) {
        io_.error("Number too long");
        return kDbcError;
    }
    is_int_ = !is_float && !wide;
    if (!is_int_) {
        // from_chars is the "C" locale's strtod without its leading "+"; out
        // of range it leaves the value, and strtod gives the infinity or zero.
        const char *digits = *start == '+' ? start + 1 : start;
        if (std::from_chars(digits, p, float_value_).ec != std::errc())
            float_value_ = c_locale_atof(std::string(start, length).c_str());
    }
    return is_float ? kDbcFloat : kDbcInt;
}

int DbcLexer::lex_string()
{
    text_.clear();
    auto append = [this](const char *bytes, size_t count) {
        text_.append(bytes, std::min(count, kMaxStringLength - text_.size()));
    };
    auto append_byte = [&append](int ch) {
        const char byte = static_cast<char>(ch);
        append(&byte, 1);
    };
    for (;;) {
        // A run of plain bytes goes in at once.
        const char *run = pos_;
        while (pos_ < end_ && *pos_ != '"' && *pos_ != '\\' && *pos_ != '\n' && *pos_ != '\r')
            ++pos_;
        append(run, static_cast<size_t>(pos_ - run));
        const int c = get();
        if (c < 0) {
            io_.error("EOF in string detected");
            return kDbcString;
        }
        if (c == '"') {
            if (peek() != '"')
                return kDbcString;
            get();
            append_byte('"');
            continue;
        }
        if (c == '\\') {
            const int escaped = get();
            switch (escaped) {
            case 'n':
                append_byte('\n');
                continue;
            case 't':
                append_byte('\t');
                continue;
            case 'r':
                append_byte('\r');
                continue;
            case '"':
                append_byte('"');
                continue;
            default:
                // Any other escape keeps its backslash; the byte after it is
                // read as usual.
                append_byte('\\');
                unget(escaped);
                continue;
            }
        }
        if (c == '\n')
            ++line_;
        append_byte(c);
    }
}
