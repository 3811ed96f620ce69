#include "settings/text_util.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <thread>

#include <QIODevice>

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}


bool is_continuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Decodes one character at `s`, of which `available` bytes (at least one)
// belong to the text. Sets `length` to the bytes used and answers the code
// point.
uint32_t decode_one(const unsigned char *s, size_t available, size_t &length)
{
    const unsigned char lead = s[0];
    length = 1;
    if (lead < 0x80)
        return lead;
    size_t needed = 0;
    uint32_t value = 0;
    if ((lead & 0xE0) == 0xC0) {
        needed = 1;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        needed = 2;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        needed = 3;
        value = lead & 0x07;
    } else {
        return 0; // lone continuation byte or 0xF8..0xFF
    }
    for (size_t i = 1; i <= needed; ++i) {
        if (i == available || !is_continuation(s[i]))
            return lead; // incomplete sequence: the lead byte stands for itself
        value = (value << 6) | (s[i] & 0x3F);
    }
    length = needed + 1;
    return value;
}

// Decodes `size` bytes; a zero byte among them is the character 0.
template <typename Sink>
void decode_utf8(const char *source, size_t size, Sink sink)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(source);
    const unsigned char *const end = s + size;
    while (s < end) {
        size_t length = 0;
        uint32_t code = decode_one(s, size_t(end - s), length);
        if (code > 0x10FFFF)
            code = 0xFFFD;
        if (!sink(code))
            return;
        s += length;
    }
}

} // namespace

int parse_int_text(const char *text, bool *ok)
{
    bool dummy;
    bool &good = ok ? *ok : dummy;
    good = false;
    if (!text)
        return 0;

    const char *p = text;
    while (is_blank(*p))
        ++p;
    const bool negative = *p == '-';
    if (negative) {
        ++p;
        while (is_blank(*p))
            ++p;
    }
    const char *end = p;
    while (*end && !is_blank(*end))
        ++end;

    unsigned base = 10;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (end > p) {
        const char last = end[-1];
        if (last == 'h' || last == 'H') {
            base = 16;
            --end;
        } else if (last == 'b' || last == 'B') {
            base = 2;
            --end;
        }
    }
    if (p == end)
        return 0;

    // Unsigned arithmetic: wraps at 32 bits instead of overflowing.
    uint32_t value = 0;
    bool complete = true;
    for (; p < end; ++p) {
        const int digit = hex_digit_value(static_cast<unsigned char>(*p));
        if (digit < 0 || unsigned(digit) >= base) {
            complete = false;
            break;
        }
        value = value * base + unsigned(digit);
    }
    good = complete;
    return int(negative ? 0u - value : value);
}

void format_number(char *out, int width, uint64_t magnitude, int base, char pad, bool negative)
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    if (base < 2 || base > 36)
        base = 10;
    int at = width - 1;
    do {
        if (at < 0)
            return; // the leading digits do not fit
        out[at--] = digits[magnitude % unsigned(base)];
        magnitude /= unsigned(base);
    } while (magnitude);
    for (int i = at; i >= 0; --i)
        out[i] = pad;
    if (negative && at >= 0)
        out[at] = '-';
}

std::string padded_number(uint64_t magnitude, int width, int base, char pad, bool negative)
{
    std::string text(size_t(std::max(width, 0)), pad);
    format_number(text.data(), width, magnitude, base, pad, negative);
    return text;
}

namespace {

// The digits of the magnitude in the base, with a "-" in front when negative.
std::string unpadded_number(uint64_t magnitude, int base, bool negative)
{
    char text[66]; // 64 binary digits and a sign
    format_number(text, int(sizeof text), magnitude, base, ' ', negative);
    const char *first = text;
    while (*first == ' ')
        ++first;
    return std::string(first, size_t(text + sizeof text - first));
}

} // namespace

std::string format_int_text(int value, int base, size_t max_length)
{
    if (base != 2 && base != 16)
        base = 10;
    const bool negative = base == 10 && value < 0;
    const uint32_t magnitude = negative ? 0u - uint32_t(value) : uint32_t(value);
    std::string text = unpadded_number(magnitude, base, negative);
    if (base == 16)
        text += 'H';
    else if (base == 2)
        text += 'B';
    if (text.size() > max_length)
        text.resize(max_length);
    return text;
}

namespace {

// The first of the private-use characters that stand for the control bytes XML cannot hold.
constexpr char16_t xml_control_stand_in = 0xE000;

bool xml_holds_control(unsigned code)
{
    return code == '\t' || code == '\n' || code == '\r';
}

} // namespace

std::string xml_escaped(const char *text)
{
    std::string out;
    if (!text)
        return out;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        const unsigned char c = *p;
        if (c < 32 && !xml_holds_control(c))
            out += "&#" + std::to_string(xml_control_stand_in + c) + ';';
        else if (c < 33 || c >= 127 || c == '<' || c == '>' || c == '/' || c == '&')
            out += "&#" + std::to_string(c) + ';';
        else
            out += char(c);
    }
    return out;
}

QString xml_restored_controls(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const unsigned control = unsigned(c.unicode()) - xml_control_stand_in;
        if (control < 32 && !xml_holds_control(control))
            c = QChar(control);
    }
    return out;
}

void write_xml_escaped(FILE *file, const char *text)
{
    const std::string out = xml_escaped(text);
    if (file && !out.empty())
        std::fwrite(out.data(), 1, out.size(), file);
}

void write_xml_escaped(QIODevice &device, const char *text)
{
    const std::string out = xml_escaped(text);
    if (!out.empty())
        device.write(out.data(), qint64(out.size()));
}

std::string hex_string(uint64_t value, int width)
{
    std::string text = unpadded_number(value, 16, false);
    if (int(text.size()) < std::min(width, 16))
        text.insert(text.begin(), size_t(std::min(width, 16)) - text.size(), '0');
    return text;
}

size_t utf8_to_utf16(const char *source, char16_t *destination, size_t capacity)
{
    if (!destination || capacity == 0)
        return 0;
    size_t count = 0;
    if (source) {
        const size_t room = capacity - 1; // one unit stays for the terminating 0
        decode_utf8(source, std::strlen(source), [&](uint32_t code) {
            if (code > 0xFFFF) {
                if (room - count < 2)
                    return false;
                code -= 0x10000;
                destination[count++] = char16_t(0xD800 + (code >> 10));
                destination[count++] = char16_t(0xDC00 + (code & 0x3FF));
            } else {
                if (count == room)
                    return false;
                destination[count++] = char16_t(code);
            }
            return true;
        });
    }
    destination[count] = 0;
    return count;
}

QString utf8_to_utf16(const char *source)
{
    return source ? utf8_to_utf16(source, std::strlen(source)) : QString();
}

QString utf8_to_utf16(const char *source, size_t size)
{
    QString text;
    decode_utf8(source, size, [&](uint32_t code) {
        if (code > 0xFFFF) {
            code -= 0x10000;
            text += QChar(ushort(0xD800 + (code >> 10)));
            text += QChar(ushort(0xDC00 + (code & 0x3FF)));
        } else {
            text += QChar(ushort(code));
        }
        return true;
    });
    return text;
}

void set_owned_cstring(char *&slot, const char *text)
{
    // Copy before freeing: the new text may be the old string or a part of it.
    char *copy = nullptr;
    if (text) {
        const size_t size = std::strlen(text) + 1;
        copy = static_cast<char *>(std::malloc(size));
        if (copy)
            std::memcpy(copy, text, size);
    }
    std::free(slot);
    slot = copy;
}

double step_function(double x)
{
    return x < 0.0 ? 0.0 : 1.0;
}

void sleep_ms(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int32_t clamp_to_int32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

locale_t c_locale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

double c_locale_atof(const char *text)
{
    return text ? strtod_l(text, nullptr, c_locale()) : 0.0;
}

double c_locale_strtod(const char *text, char **end)
{
    return strtod_l(text, end, c_locale());
}

std::string c_locale_format_lf(double value)
{
    // "%lf" is fixed notation with six decimals; to_chars never looks at the locale.
    char buffer[400]; // the largest double has 309 digits before the point
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string string_vprintf(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return std::string();
    std::string text(size_t(length), '\0');
    std::vsnprintf(&text[0], text.size() + 1, format, args);
    return text;
}

std::string string_printf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = string_vprintf(format, args);
    va_end(args);
    return text;
}

char *cut_token(char *text)
{
    char *end = text + std::strcspn(text, "; ");
    if (*end == '\0')
        return end;
    *end = '\0';
    return end + 1;
}

const char *skip_token(const char *text)
{
    const char *end = text + std::strcspn(text, ";\t\n ");
    return *end == '\0' ? end : end + 1;
}

char *trim_blanks(char *text)
{
    auto blank = [](char c) { return c == '\t' || c == '\r' || c == '\n' || c == ' '; };
    while (blank(*text))
        ++text;
    for (size_t length = std::strlen(text); length > 0 && blank(text[length - 1]); --length)
        text[length - 1] = '\0';
    return text;
}

int parse_decimal(const char *text, int *out)
{
    if (*text < '0' || *text > '9')
        return -1;
    // atoi is undefined beyond the int range: the number is held to its ends.
    *out = int(std::clamp<long long>(std::strtoll(text, nullptr, 10), INT32_MIN, INT32_MAX));
    return 0;
}
