#pragma once
// Helpers of the text log formats: fields put into a line buffer and the
// scanning of a line read back. Header-only, for the writers' hot paths.
#include "core/frames/hex_digit.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace log_text {

// Blank runs in a line are at most this long. They are copied whole into
// the line buffer, which has room beyond any line, and the line goes on
// after the run: one fixed-size copy instead of a loop.
constexpr int max_blank_run = 40;
inline constexpr char blanks[max_blank_run + 1] = "                                        ";
inline constexpr char hex_digits[] = "0123456789abcdef";
// Dates in log files use the English names whatever the locale says.
inline constexpr const char *week_days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
inline constexpr const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

inline char *put_text(char *out, const char *text, size_t length)
{
    memcpy(out, text, length);
    return out + length;
}

inline char *put_text(char *out, const char *text)
{
    return put_text(out, text, strlen(text));
}

inline char *put_blanks(char *out, int count)
{
    memcpy(out, blanks, max_blank_run);
    return count > 0 ? out + count : out;
}

// value in hexadecimal (lower case), right-aligned in `width` characters filled with blanks.
inline char *put_hex(char *out, uint32_t value, int width)
{
    char digits[8];
    int count = 0;
    do {
        digits[count++] = hex_digits[value & 0xF];
        value >>= 4;
    } while (value);
    out = put_blanks(out, width - count);
    while (count)
        *out++ = digits[--count];
    return out;
}

inline char *put_hex_byte(char *out, uint8_t value)
{
    *out++ = hex_digits[value >> 4];
    *out++ = hex_digits[value & 0xF];
    return out;
}

// "00" to "99": decimal numbers are written two digits per division.
struct TwoDigits
{
    char text[200];
    constexpr TwoDigits() : text()
    {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = char('0' + i / 10);
            text[2 * i + 1] = char('0' + i % 10);
        }
    }
};
inline constexpr TwoDigits two_digits;

// value below 100 as two digits.
inline char *put_two_digits(char *out, uint32_t value)
{
    memcpy(out, two_digits.text + 2 * value, 2);
    return out + 2;
}

// value below 1000 as three digits.
inline char *put_three_digits(char *out, uint32_t value)
{
    *out++ = char('0' + value / 100);
    return put_two_digits(out, value % 100);
}

// value in decimal, right-aligned in `width` characters filled with blanks.
inline char *put_decimal(char *out, uint32_t value, int width)
{
    char digits[12];
    char *const end = digits + sizeof digits;
    char *first = end;
    while (value >= 100) {
        first -= 2;
        memcpy(first, two_digits.text + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        first -= 2;
        memcpy(first, two_digits.text + 2 * value, 2);
    } else {
        *--first = char('0' + value);
    }
    const int count = int(end - first);
    out = put_blanks(out, width - count);
    memcpy(out, first, size_t(count));
    return out + count;
}

inline bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

inline bool is_line_end(char c)
{
    return c == '\0' || c == '\r' || c == '\n';
}

inline const char *skip_blanks(const char *cursor)
{
    while (is_blank(*cursor))
        ++cursor;
    return cursor;
}

// The end of the word that starts at the cursor: the next blank or line end.
inline const char *word_end(const char *cursor)
{
    while (!is_line_end(*cursor) && !is_blank(*cursor))
        ++cursor;
    return cursor;
}

// A number that begins with a hexadecimal digit and ends at the first
// character that is not one; false when it has a digit its base lacks.
inline bool parse_number(const char *&cursor, int base, uint32_t &value)
{
    int digit = hex_digit_value(*cursor);
    if (digit < 0)
        return false;
    value = 0;
    for (; digit >= 0; digit = hex_digit_value(*++cursor)) {
        if (digit >= base)
            return false;
        value = value * uint32_t(base) + uint32_t(digit);
    }
    return true;
}

// How reading a line of a text log ended.
enum class LineRead { EndOfFile, Line, TooLong, NotText };

// The next line, with its line feed, into the buffer. A line longer than the
// buffer is read to its end and its start kept (TooLong). A line that holds
// a zero byte is no text (NotText): the file is of another kind.
inline LineRead read_line(FILE *file, char *line, size_t size)
{
    // The last place of the buffer tells whether the line filled it.
    line[size - 2] = '\0';
    if (!fgets_unlocked(line, int(size), file))
        return LineRead::EndOfFile;
    if (line[size - 2] == '\0' || line[size - 2] == '\n') {
        // fgets stops at a line feed or the end of the file; a line that
        // ends before both held a zero byte.
        const size_t length = strlen(line);
        const bool ended = length > 0 && line[length - 1] == '\n';
        return ended || feof_unlocked(file) ? LineRead::Line : LineRead::NotText;
    }
    char rest[1024];
    while (fgets_unlocked(rest, sizeof rest, file)) {
        const size_t part = strlen(rest);
        if (part > 0 && rest[part - 1] == '\n')
            break;
    }
    return LineRead::TooLong;
}

} // namespace log_text
