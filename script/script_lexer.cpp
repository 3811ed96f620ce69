// The lexer of ScriptCompiler: characters of the source to tokens, with
// comments, "#include" lines and the joining of adjacent string constants.
#include "script/script_compiler.h"

#include "script/script_keywords.h"
#include "script/script_source.h"
#include "script/script_tokens.h"

#include "settings/text_util.h"

#include <cstdlib>

namespace {

constexpr int kEnd = ScriptSource::kEnd;
// Characters kept of a "#" line.
constexpr size_t kDirectiveKept = 299;
// A string constant keeps one character less than the buffers hold.
constexpr int kMaxStringLength = ScriptCompiler::kTextBufferSize - 2;
constexpr int kMaxTextLength = ScriptCompiler::kTextBufferSize - 1;

// Chooses the identifier buffer; process-wide, as compilations run one at a time.
unsigned g_identifier_buffer = 0;

bool is_letter(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool is_digit(int c)
{
    return c >= '0' && c <= '9';
}

bool is_hex_digit(int c)
{
    return hex_digit_value(c) >= 0;
}

// Space and control characters.
bool is_blank(int c)
{
    return c >= 0 && c < 33;
}

// Integer literals wrap to 32 bits, so 0xFFFFFFFF is -1.
int32_t to_int32(unsigned long long value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

// The character of an escape sequence, or -1 when c makes none. quote is the
// delimiter of the constant being read.
int escaped(int c, int quote)
{
    switch (c) {
    case 'n': return '\n';
    case 't': return '\t';
    case 'r': return '\r';
    case '\\': return '\\';
    default: return c == quote ? quote : -1;
    }
}

} // namespace

// The end of the source is kEnd only: a byte 255 in the text is an ordinary
// character (inside a comment or a string it is kept, elsewhere it is a token
// the grammar refuses), so that a stray 0xFF cannot silently cut off the rest
// of a script.
int ScriptCompiler::read_char()
{
    const int c = source->get_char();
    if (c != kEnd)
        token_text += static_cast<char>(c);
    return c;
}

void ScriptCompiler::unread_char(int c)
{
    if (c == kEnd)
        return;
    unget_char(c);
    if (!token_text.empty())
        token_text.pop_back();
}

int ScriptCompiler::push_back_token(const ScriptTokenValue &value, int code)
{
    has_pushed_token_ = true;
    pushed_code_ = code;
    pushed_value_ = value;
    return 0;
}

int ScriptCompiler::next_token(ScriptTokenValue *value)
{
    if (has_pushed_token_) {
        has_pushed_token_ = false;
        *value = pushed_value_;
        return pushed_code_;
    }
    *value = ScriptTokenValue();
    for (;;) {
        int c = read_char();
        while (is_blank(c)) {
            if (c == '\n')
                ++line;
            c = read_char();
        }
        // The token's text starts here; read_char adds the rest of it.
        token_text.clear();
        if (c != kEnd)
            token_text += static_cast<char>(c);
        if (c == kEnd) {
            // The end of an included file goes on in the file that included it.
            if (source->pop_include(&line) >= 0)
                continue;
            return T_END_OF_INPUT;
        }
        if (c == '/') {
            const int d = read_char();
            if (d == '*') {
                if (skip_block_comment() < 0)
                    return T_LEX_ERROR;
                continue;
            }
            if (d == '/') {
                skip_line();
                continue;
            }
            unread_char(d);
            return operator_token(c);
        }
        if (c == '#') {
            if (read_directive() < 0)
                return T_LEX_ERROR;
            continue;
        }
        if (is_letter(c))
            return identifier_token(c, value);
        if (c == '.') {
            const int d = read_char();
            if (d == '.') {
                const int e = read_char();
                if (e == '.')
                    return T_VARARG;
                unread_char(e);
                unread_char(d);
                return '.';
            }
            unread_char(d);
            if (is_digit(d))
                return number_token(c, value);
            return '.';
        }
        if (is_digit(c))
            return number_token(c, value);
        if (c == '"')
            return string_token(value);
        if (c == '\'')
            return char_token(value);
        return operator_token(c);
    }
}

int ScriptCompiler::skip_block_comment()
{
    int c = read_char();
    for (;;) {
        if (c == kEnd) {
            error("Error: Unexpected eof in comment");
            return -1;
        }
        if (c == '\n')
            ++line;
        if (c == '*') {
            c = read_char();
            if (c == '/')
                return 0;
            continue;
        }
        c = read_char();
    }
}

void ScriptCompiler::skip_line()
{
    int c;
    while ((c = read_char()) != kEnd && c != '\n') {
    }
    if (c == '\n')
        ++line;
}

// A "#" line: an include opens the named file in the source, anything else
// is ignored. 0, or -1 after an error.
int ScriptCompiler::read_directive()
{
    const int directive_line = line;
    std::string text;
    int c;
    while ((c = read_char()) != kEnd && c != '\n')
        if (text.size() < kDirectiveKept)
            text += static_cast<char>(c);
    if (c == '\n')
        ++line;

    size_t i = 0;
    while (i < text.size() && is_blank(static_cast<unsigned char>(text[i])))
        ++i;
    if (text.compare(i, 7, "include") != 0)
        return 0;
    i += 7;
    while (i < text.size() && is_blank(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == text.size() || text[i] != '"')
        return 0;
    // The name runs up to the line's last double quote.
    const size_t last = text.rfind('"');
    const std::string name = last > i ? text.substr(i + 1, last - i - 1) : std::string();

    if (source->push_include(line) < 0) {
        line = directive_line;
        error("Can not include file '%s' - no more than %d files can be recursively included.", name.c_str(),
              kMaxIncludeDepth);
        return -1;
    }
    line = 1;
    source->set_file_name(name.c_str());
    if (source->open() != 0) {
        line = directive_line; // report the line of the include, not of the missing file
        error("Can not open include file '%s'", name.c_str());
        return -1;
    }
    return 0;
}

int ScriptCompiler::identifier_token(int c, ScriptTokenValue *value)
{
    char *text = identifier_buffers[g_identifier_buffer];
    g_identifier_buffer ^= 1;
    int n = 0;
    bool too_long = false;
    while (is_letter(c) || is_digit(c)) {
        if (n < kMaxTextLength)
            text[n++] = static_cast<char>(c);
        else
            too_long = true;
        c = read_char();
    }
    unread_char(c);
    text[n] = 0;
    if (too_long) {
        error("Identifier too long.");
        return T_LEX_ERROR;
    }
    const int keyword = script_keyword_lookup(text);
    if (keyword > 0)
        return keyword;
    value->text = text;
    return T_IDENT;
}

// Decimal and hexadecimal ints and doubles; c is the first digit or the "."
// before the first digit.
int ScriptCompiler::number_token(int c, ScriptTokenValue *value)
{
    number_text.clear();
    while (is_digit(c)) {
        number_text += static_cast<char>(c);
        c = read_char();
    }
    if (c == 'x' || c == 'X') {
        int d = read_char();
        if (is_hex_digit(d)) {
            if (number_text != "0") // "12x5"
                return T_LEX_ERROR;
            number_text.clear();
            while (is_hex_digit(d)) {
                number_text += static_cast<char>(d);
                d = read_char();
            }
            unread_char(d);
            value->int_value = to_int32(std::strtoull(number_text.c_str(), nullptr, 16));
            return T_INT_CONST;
        }
        // An "x" without a hex digit after it is not part of the number.
        unread_char(d);
        unread_char(c);
        value->int_value = to_int32(std::strtoull(number_text.c_str(), nullptr, 10));
        return T_INT_CONST;
    }
    bool is_double = false;
    if (c == '.') {
        is_double = true;
        number_text += '.';
        c = read_char();
        while (is_digit(c)) {
            number_text += static_cast<char>(c);
            c = read_char();
        }
    }
    if (c == 'e' || c == 'E') {
        is_double = true;
        number_text += 'e';
        c = read_char();
        if (c == '+' || c == '-') {
            number_text += static_cast<char>(c);
            c = read_char();
        }
        if (!is_digit(c)) {
            unread_char(c);
            return T_LEX_ERROR;
        }
        while (is_digit(c)) {
            number_text += static_cast<char>(c);
            c = read_char();
        }
    }
    unread_char(c);
    if (is_double) {
        value->double_value = c_locale_atof(number_text.c_str()); // "2.5" whatever LC_NUMERIC says
        return T_DOUBLE_CONST;
    }
    // A leading 0 does not mean octal.
    value->int_value = to_int32(std::strtoull(number_text.c_str(), nullptr, 10));
    return T_INT_CONST;
}

// The text between double quotes; constants separated only by blanks are
// joined into one.
int ScriptCompiler::string_token(ScriptTokenValue *value)
{
    char *text = literal_buffer;
    int n = 0;
    for (;;) {
        int c = read_char();
        if (c == kEnd) {
            error("Error: Unexpected eof in string constant");
            return T_LEX_ERROR;
        }
        if (c == '"') {
            int d = read_char();
            while (is_blank(d)) {
                if (d == '\n')
                    ++line;
                d = read_char();
            }
            if (d == '"')
                continue;
            unread_char(d);
            break;
        }
        if (c == '\\') {
            const int d = read_char();
            const int e = escaped(d, '"');
            if (e >= 0)
                c = e;
            else
                unread_char(d); // the backslash stays, the next character is read as usual
        } else if (c == '\n') {
            warning("Line break in string constant.");
            ++line;
        }
        if (n == kMaxStringLength) {
            error("String constant too long.");
            // The grammar gets the text so far, but the compilation fails.
            lexical_error_ = true;
            skip_string_rest();
            break;
        }
        text[n++] = static_cast<char>(c);
    }
    text[n] = 0;
    value->text = text;
    return T_STRING_CONST;
}

// Skips what is left of a string constant up to its closing quote, so that
// the rest is not read as code; an escaped quote does not close it.
void ScriptCompiler::skip_string_rest()
{
    int c;
    while ((c = read_char()) != kEnd && c != '"') {
        if (c == '\\')
            c = read_char();
        if (c == '\n')
            ++line;
        if (c == kEnd)
            return;
    }
}

// The text between single quotes; "''" inside stands for one quote.
int ScriptCompiler::char_token(ScriptTokenValue *value)
{
    char *text = literal_buffer;
    int n = 0;
    bool too_long = false;
    for (;;) {
        int c = read_char();
        if (c == kEnd) {
            error("Error: Unexpected eof in character constant");
            return T_LEX_ERROR;
        }
        if (c == '\'') {
            const int d = read_char();
            if (d != '\'') {
                unread_char(d);
                break;
            }
        } else if (c == '\\') {
            const int d = read_char();
            const int e = escaped(d, '\'');
            if (e >= 0)
                c = e;
            else
                unread_char(d);
        } else if (c == '\n') {
            ++line;
        }
        if (n < kMaxTextLength)
            text[n++] = static_cast<char>(c);
        else
            too_long = true;
    }
    text[n] = 0;
    if (too_long) {
        error("Character constant too long.");
        return T_LEX_ERROR;
    }
    value->text = text;
    return T_CHAR_CONST;
}

// Two- and three-character operators, matched greedily; any other character
// is its own token.
int ScriptCompiler::operator_token(int c)
{
    const int d = read_char();
    switch (c) {
    case '=':
        if (d == '=')
            return T_EQ;
        break;
    case '!':
        if (d == '=')
            return T_NE;
        break;
    case '<':
    case '>': {
        const bool less = c == '<';
        if (d == '=')
            return less ? T_LE : T_GE;
        if (d == c) {
            const int e = read_char();
            if (e == '=')
                return less ? T_LSHIFT_ASSIGN : T_RSHIFT_ASSIGN;
            unread_char(e);
            return less ? T_LSHIFT : T_RSHIFT;
        }
        break;
    }
    case '|':
        if (d == '|')
            return T_LOGICAL_OR;
        if (d == '=')
            return T_OR_ASSIGN;
        break;
    case '&':
        if (d == '&')
            return T_LOGICAL_AND;
        if (d == '=')
            return T_AND_ASSIGN;
        break;
    case '+':
        if (d == '+')
            return T_INC;
        if (d == '=')
            return T_ADD_ASSIGN;
        break;
    case '-':
        if (d == '-')
            return T_DEC;
        if (d == '=')
            return T_SUB_ASSIGN;
        break;
    case '*':
        if (d == '=')
            return T_MUL_ASSIGN;
        break;
    case '/':
        if (d == '=')
            return T_DIV_ASSIGN;
        break;
    case '%':
        if (d == '=')
            return T_MOD_ASSIGN;
        break;
    case '^':
        if (d == '=')
            return T_XOR_ASSIGN;
        break;
    default:
        break;
    }
    unread_char(d);
    return c;
}
