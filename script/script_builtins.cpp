// The natives of the built-in function library. Each reads its arguments
// through a ScriptNativeCall, which checks every address against the data
// memory and, with bounds checking, against the argument's size bound; a
// native whose memory check fails writes nothing and leaves a zero result.
#include "script/script_library.h"

#include "settings/qtb_config.h"
#include "settings/text_util.h"
#include "script/pcode_machine.h"
#include "script/script_native_call.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <string>
#include <utility>

namespace {

ScriptLibrary &library(void *context)
{
    return *static_cast<ScriptLibrary *>(context);
}

ScriptNativeCall fixed_call(ScriptLibrary &lib, int params, const char *native)
{
    return ScriptNativeCall(*lib.machine, params, lib.bounds_check, native);
}

ScriptNativeCall variadic_call(ScriptLibrary &lib, const char *native)
{
    return ScriptNativeCall::variadic(*lib.machine, lib.bounds_check, native);
}

// Truncation toward zero as the machine's own conversion does it: NaN and
// values outside the int range give INT32_MIN.
int32_t double_to_int(double v)
{
    if (!(v > -2147483649.0 && v < 2147483648.0))
        return INT32_MIN;
    return int32_t(v);
}

// Script numbers are written and read with a decimal point, whatever numeric
// locale the GUI toolkit installed from the environment at start-up.

// The double as "%lg" formats it in the C locale.
std::string format_double(double value)
{
    const locale_t previous = uselocale(c_locale());
    std::string text = string_printf("%lg", value);
    uselocale(previous);
    return text;
}

double parse_double(const char *text, char **end = nullptr)
{
    return c_locale_strtod(text, end);
}

// ---------------------------------------------------------------------------
// Formatting shared by printf, sprintf and filePrintf

// Receives the output of one formatting run chunk by chunk.
class FormatOutput {
public:
    virtual ~FormatOutput() = default;
    virtual void put(const char *text, size_t length) = 0;
    // Asked before each character of the format; false stops the formatting.
    virtual bool wants_more() { return true; }
    // Told after each character (or conversion) of the format is processed.
    virtual void format_char_done() {}
};

// A width far beyond any line or array; it keeps a stray "%99999999d" from
// asking for gigabytes of padding.
constexpr int kMaxFormatWidth = 65535;

void convert(const ScriptNativeCall &call, int arg, char letter, bool zero, int width, FormatOutput &out)
{
    std::string text;
    switch (letter) {
    case 'c': {
        const char c = char(call.int_arg(arg));
        if (c) // a zero byte would end the text
            text.assign(1, c);
        break;
    }
    case 'd':
        text = string_printf(zero ? "%0*d" : "%*d", width, call.int_arg(arg));
        break;
    case 'u':
        text = string_printf(zero ? "%0*u" : "%*u", width, unsigned(call.int_arg(arg)));
        break;
    case 'x':
        text = string_printf(zero ? "%0*x" : "%*x", width, unsigned(call.int_arg(arg)));
        break;
    case 'f':
    case 'g':
        text = format_double(call.double_arg(arg));
        break;
    case 's':
        if (const char *s = call.text_arg(arg))
            text = string_printf("%*s", width, s);
        break;
    }
    out.put(text.data(), text.size());
}

// Copies the format (argument `format_arg`) to the output, converting each
// "%" directive with the next argument. A directive whose letter is none of
// c, d, u, x, f, g, s is copied unchanged and takes no argument; a
// conversion without an argument left writes nothing.
void format_script_text(const ScriptNativeCall &call, int format_arg, FormatOutput &out)
{
    const char *p = call.text_arg(format_arg);
    if (!p)
        return;
    int next_arg = format_arg + 1;
    while (*p) {
        if (!out.wants_more())
            return;
        if (*p != '%') {
            out.put(p++, 1);
            out.format_char_done();
            continue;
        }
        const char *directive = p++;
        if (*p == '%') {
            out.put(p++, 1);
            out.format_char_done();
            continue;
        }
        const bool zero = *p == '0';
        if (zero)
            ++p;
        int width = 0;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            width = std::min(width * 10 + (*p++ - '0'), kMaxFormatWidth);
        const char letter = *p;
        if (letter && std::strchr("cduxfgs", letter)) {
            ++p;
            if (next_arg < call.count())
                convert(call, next_arg++, letter, zero, width, out);
        } else {
            if (letter)
                ++p;
            out.put(directive, size_t(p - directive));
        }
        out.format_char_done();
    }
}

// printf output: appended to the machine's pending print line, which is
// handed on whenever it ends with a newline or grows longer than 1005
// characters, and whenever one conversion would fill it beyond its size.
class PrintLineOutput : public FormatOutput {
public:
    explicit PrintLineOutput(ScriptLibrary &lib)
        : lib_(lib), line_(lib.machine->print_line()), length_(strnlen(line_, kCapacity))
    {
        line_[length_] = 0;
    }

    void put(const char *text, size_t length) override
    {
        while (length > 0) {
            if (length_ == kCapacity)
                flush();
            const size_t n = std::min(length, kCapacity - length_);
            std::memcpy(line_ + length_, text, n);
            length_ += n;
            line_[length_] = 0;
            text += n;
            length -= n;
        }
    }

    void format_char_done() override
    {
        if (length_ > 0 && (line_[length_ - 1] == '\n' || length_ > 1005))
            flush();
    }

private:
    static constexpr size_t kCapacity = PCodeMachine::print_line_size - 1;

    void flush()
    {
        lib_.print(line_);
        length_ = 0;
        line_[0] = 0;
    }

    ScriptLibrary &lib_;
    char *line_;
    size_t length_;
};

class StringOutput : public FormatOutput {
public:
    explicit StringOutput(size_t stop_after = std::string::npos) : stop_after_(stop_after) {}
    void put(const char *text, size_t length) override { text_.append(text, length); }
    bool wants_more() override { return text_.size() < stop_after_; }
    const std::string &text() const { return text_; }

private:
    size_t stop_after_;
    std::string text_;
};

// Writes the text and its terminating zero to the array of argument `arg`.
void store_text(const ScriptNativeCall &call, int arg, const std::string &text)
{
    if (uint8_t *target = call.array_arg(arg, int64_t(text.size()) + 1))
        std::memcpy(target, text.c_str(), text.size() + 1);
}

// ---------------------------------------------------------------------------
// Output

int native_print(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    lib.print(string_printf("%d", call.int_arg(0)).c_str());
    return 0;
}

int native_write(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    if (const char *text = call.text_arg(0))
        lib.print(text);
    return 0;
}

int native_printf(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    if (call.count() >= 1) {
        PrintLineOutput out(lib);
        format_script_text(call, 0, out);
    }
    return 0;
}

int native_sprintf(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    if (call.count() >= 2) {
        uint8_t *target = call.array_arg(0, 1);
        if (!target)
            return 0;
        target[0] = 0; // emptied before the format is read: the target may be an argument too
        StringOutput out;
        format_script_text(call, 1, out);
        store_text(call, 0, out.text());
    } else if (call.count() == 1) {
        PrintLineOutput out(lib);
        format_script_text(call, 0, out);
    }
    return 0;
}

int native_file_printf(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    std::FILE *file = call.count() >= 1 ? lib.file(call.int_arg(0)) : nullptr;
    if (!file || call.count() < 2) {
        call.set_int_result(-1);
        return 0;
    }
    StringOutput out(1004);
    format_script_text(call, 1, out);
    call.set_int_result(std::fputs(out.text().c_str(), file));
    return 0;
}

// ---------------------------------------------------------------------------
// Waiting

int native_sleep(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const int32_t seconds = call.int_arg(0);
    if (seconds > 0)
        lib.sleeper(int64_t(seconds) * 1000);
    return 0;
}

int native_sleep_1ms(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const int32_t milliseconds = call.int_arg(0);
    if (milliseconds > 0)
        lib.sleeper(milliseconds);
    return 0;
}

// ---------------------------------------------------------------------------
// Mathematics

template <double (*F)(double)>
int double_function(ScriptLibrary &, const ScriptNativeCall &call)
{
    call.set_double_result(F(call.double_arg(0)));
    return 0;
}

template <int32_t (*F)(double)>
int int_of_double(ScriptLibrary &, const ScriptNativeCall &call)
{
    call.set_int_result(F(call.double_arg(0)));
    return 0;
}

double d_sin(double x) { return std::sin(x); }
double d_cos(double x) { return std::cos(x); }
double d_tan(double x) { return std::tan(x); }
double d_asin(double x) { return std::asin(x); }
double d_acos(double x) { return std::acos(x); }
double d_atan(double x) { return std::atan(x); }
double d_sqrt(double x) { return std::sqrt(x); }
double d_exp(double x) { return std::exp(x); }
double d_log10(double x) { return std::log10(x); }
double d_log(double x) { return std::log(x); }
double d_abs(double x) { return x < 0 ? -x : x; }

int32_t i_sign(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }
int32_t i_is_negative(double x) { return x < 0 ? 1 : 0; }
int32_t i_is_positive(double x) { return x >= 0 ? 1 : 0; }
int32_t i_floor(double x) { return double_to_int(std::floor(x)); }
int32_t i_ceil(double x) { return double_to_int(std::ceil(x)); }
// Halves go up: round(2.5) is 3, round(-2.5) is -2.
int32_t i_round(double x)
{
    const double down = std::floor(x);
    return double_to_int(x - down < 0.5 ? down : std::ceil(x));
}

int native_random(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const int32_t bound = call.int_arg(0);
    if (bound <= 0) { // no range to draw from (and no division by zero)
        call.set_int_result(0);
        return 0;
    }
    uint32_t product = uint32_t(lib.next_random());
    product *= uint32_t(lib.next_random());
    product *= uint32_t(lib.next_random());
    call.set_int_result(int32_t(product) % bound); // the remainder keeps the product's sign
    return 0;
}

int native_randomize(ScriptLibrary &lib, const ScriptNativeCall &)
{
    lib.seed_random(unsigned(lib.clock()));
    return 0;
}

// ---------------------------------------------------------------------------
// IEEE conversions

int native_double_to_ieee32(ScriptLibrary &, const ScriptNativeCall &call)
{
    const double x = call.double_arg(0);
    // Beyond the float range the conversion is an infinity, not undefined.
    const float f = std::isfinite(x) && std::fabs(x) > FLT_MAX ? (x > 0 ? HUGE_VALF : -HUGE_VALF) : float(x);
    if (uint8_t *dest = call.array_arg(1, sizeof f))
        std::memcpy(dest, &f, sizeof f);
    return 0;
}

int native_double_to_ieee64(ScriptLibrary &, const ScriptNativeCall &call)
{
    const double x = call.double_arg(0);
    uint8_t bytes[8];
    std::memcpy(bytes, &x, sizeof bytes);
    if (uint8_t *low = call.array_arg(1, 4))
        std::memcpy(low, bytes, 4);
    if (uint8_t *high = call.array_arg(2, 4))
        std::memcpy(high, bytes + 4, 4);
    return 0;
}

int native_ieee32_to_double(ScriptLibrary &, const ScriptNativeCall &call)
{
    float f = 0.0f;
    if (const uint8_t *src = call.array_arg(0, sizeof f))
        std::memcpy(&f, src, sizeof f);
    call.set_double_result(f);
    return 0;
}

// ---------------------------------------------------------------------------
// Strings and memory: argument 0 is the destination, argument 1 the source.

int native_strcpy(ScriptLibrary &, const ScriptNativeCall &call)
{
    const char *source = call.text_arg(1);
    if (!source)
        return 0;
    const size_t length = std::strlen(source) + 1;
    if (uint8_t *dest = call.array_arg(0, int64_t(length)))
        std::memmove(dest, source, length);
    return 0;
}

int native_strncpy(ScriptLibrary &, const ScriptNativeCall &call)
{
    const int32_t count = call.int_arg(2);
    // The source needs no terminating zero within its first `count` bytes.
    const char *source = count > 0 ? call.text_arg(1, count) : nullptr;
    if (!source)
        return 0;
    uint8_t *dest = call.array_arg(0, count);
    if (!dest)
        return 0;
    // As the C library's strncpy: the text, then zeros up to the count.
    const size_t length = strnlen(source, size_t(count));
    std::memmove(dest, source, length);
    std::memset(dest + length, 0, size_t(count) - length);
    return 0;
}

int native_memcpy(ScriptLibrary &, const ScriptNativeCall &call)
{
    const int32_t length = call.int_arg(2);
    if (length <= 0)
        return 0;
    const uint8_t *source = call.array_arg(1, length);
    uint8_t *dest = source ? call.array_arg(0, length) : nullptr;
    if (dest)
        std::memmove(dest, source, size_t(length));
    return 0;
}

// Appends argument 1's text to argument 0's; with a limit (not negative) at
// most that many characters, and then the source needs no terminating zero
// within them.
void append_text(const ScriptNativeCall &call, int32_t limit)
{
    const char *dest_text = call.text_arg(0);
    const char *source = dest_text ? call.text_arg(1, limit) : nullptr;
    if (!source)
        return;
    const size_t start = std::strlen(dest_text);
    const size_t length = limit >= 0 ? strnlen(source, size_t(limit)) : std::strlen(source);
    uint8_t *dest = call.array_arg(0, int64_t(start + length) + 1);
    if (!dest)
        return;
    std::memmove(dest + start, source, length);
    dest[start + length] = 0;
}

int native_strcat(ScriptLibrary &, const ScriptNativeCall &call)
{
    append_text(call, -1);
    return 0;
}

int native_strncat(ScriptLibrary &, const ScriptNativeCall &call)
{
    const int32_t limit = call.int_arg(2);
    if (limit > 0)
        append_text(call, limit);
    return 0;
}

int native_strcmp(ScriptLibrary &, const ScriptNativeCall &call)
{
    const char *a = call.text_arg(0);
    const char *b = a ? call.text_arg(1) : nullptr;
    call.set_int_result(b ? std::strcmp(a, b) : 0);
    return 0;
}

int native_strlen(ScriptLibrary &, const ScriptNativeCall &call)
{
    const char *text = call.text_arg(0);
    call.set_int_result(text ? int32_t(std::strlen(text)) : 0);
    return 0;
}

int native_atoi(ScriptLibrary &, const ScriptNativeCall &call)
{
    const char *text = call.text_arg(0);
    call.set_int_result(text ? parse_int_text(text) : 0);
    return 0;
}

int native_atod(ScriptLibrary &, const ScriptNativeCall &call)
{
    const char *text = call.text_arg(0);
    call.set_double_result(text ? parse_double(text) : 0.0);
    return 0;
}

int native_int_to_ascii(ScriptLibrary &, const ScriptNativeCall &call)
{
    const int32_t max_length = std::max(call.int_arg(3), 0);
    store_text(call, 1, format_int_text(call.int_arg(0), call.int_arg(2), size_t(max_length)));
    call.set_int_result(0);
    return 0;
}

// ---------------------------------------------------------------------------
// Splitting

bool is_split_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads groups of at most `group` digits (0-9, a-f, A-F) in `base` from the
// text of argument 0 into the int array of argument 1, at most argument 2
// values. Blanks are skipped before each group; a group ends when it is full
// or at a blank. Anything else, and the end of the text, ends the scan and
// drops a group still short of its full size.
template <int group, int base>
int split_text(ScriptLibrary &, const ScriptNativeCall &call)
{
    const int32_t max_values = call.int_arg(2);
    const char *p = max_values > 0 ? call.text_arg(0) : nullptr;
    int32_t stored = 0;
    while (p && stored < max_values) {
        while (is_split_blank(*p))
            ++p;
        int digits = 0;
        int32_t value = 0;
        for (int d; digits < group && (d = hex_digit_value(static_cast<unsigned char>(*p))) >= 0; ++p, ++digits)
            value = value * base + d;
        if (digits == 0 || (digits < group && !is_split_blank(*p)))
            break;
        uint8_t *values = call.array_arg(1, (int64_t(stored) + 1) * 4);
        if (!values)
            break;
        std::memcpy(values + stored * 4, &value, 4);
        ++stored;
    }
    call.set_int_result(stored);
    return 0;
}


// ---------------------------------------------------------------------------
// INI files

// The file, section and entry texts of arguments 0 to 2; false when one of
// them cannot be read.
struct IniKey {
    const char *file = nullptr;
    const char *section = nullptr;
    const char *entry = nullptr;

    explicit IniKey(const ScriptNativeCall &call)
    {
        file = call.text_arg(0);
        section = file ? call.text_arg(1) : nullptr;
        entry = section ? call.text_arg(2) : nullptr;
    }
    bool ok() const { return entry != nullptr; }
};

// Writes the value into the section (created when missing) and the whole
// file; 1 when the file was written, else 0.
template <typename Write>
int32_t write_ini(ScriptLibrary &lib, const IniKey &key, Write write)
{
    QtbConfig &ini = lib.ini_file(key.file);
    QtbConfigGroup *section = ini.get_or_add_group(key.section);
    if (!section)
        return 0;
    write(*section, key.entry);
    return ini.write() == 0 ? 1 : 0;
}

int native_ini_reset(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    lib.reset_ini_file();
    call.set_int_result(0);
    return 0;
}

int native_ini_write_string(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const IniKey key(call);
    const char *value = key.ok() ? call.text_arg(3) : nullptr;
    call.set_int_result(value ? write_ini(lib, key, [value](QtbConfigGroup &section, const char *entry) {
        section.write_cstring(entry, value);
    })
                              : 0);
    return 0;
}

int native_ini_write_int(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const IniKey key(call);
    const int32_t value = call.int_arg(3);
    call.set_int_result(key.ok() ? write_ini(lib, key, [value](QtbConfigGroup &section, const char *entry) {
        section.write_int(entry, value);
    })
                                 : 0);
    return 0;
}

int native_ini_write_double(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const IniKey key(call);
    const std::string value = format_double(call.double_arg(3));
    call.set_int_result(key.ok() ? write_ini(lib, key, [&value](QtbConfigGroup &section, const char *entry) {
        section.write_cstring(entry, value.c_str());
    })
                                 : 0);
    return 0;
}

// The entry's value, or null when the section or the entry is missing. The
// section is not created.
QtbConfigValue *find_ini_value(ScriptLibrary &lib, const IniKey &key)
{
    QtbConfigGroup *section = lib.ini_file(key.file).get_group(key.section);
    return section ? section->find_entry(key.entry) : nullptr;
}

int native_ini_read_string(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const IniKey key(call);
    const char *def = key.ok() ? call.text_arg(3) : nullptr;
    if (!def) {
        call.set_int_result(0);
        return 0;
    }
    const bool has_section = lib.ini_file(key.file).get_group(key.section) != nullptr;
    std::string text = def;
    if (const QtbConfigValue *value = find_ini_value(lib, key))
        text = value->to_string().toLatin1().toStdString();
    call.set_int_result(has_section && !text.empty() ? 1 : 0);
    const int32_t buffer_length = call.int_arg(5);
    if (text.empty() || buffer_length <= 0)
        return 0;
    // As strncpy limited to the buffer's length.
    if (uint8_t *buffer = call.array_arg(4, buffer_length)) {
        const size_t length = std::min(text.size(), size_t(buffer_length));
        std::memcpy(buffer, text.data(), length);
        std::memset(buffer + length, 0, size_t(buffer_length) - length);
    }
    return 0;
}

int native_ini_read_int(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const IniKey key(call);
    const int32_t def = call.int_arg(3);
    const QtbConfigValue *value = key.ok() ? find_ini_value(lib, key) : nullptr;
    call.set_int_result(value ? value->to_int() : def);
    return 0;
}

int native_ini_read_double(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const IniKey key(call);
    double result = call.double_arg(3);
    if (const QtbConfigValue *value = key.ok() ? find_ini_value(lib, key) : nullptr) {
        if (value->type() == QtbConfigValue::Int || value->type() == QtbConfigValue::Double) {
            result = value->to_double();
        } else if (value->type() == QtbConfigValue::String) {
            const char *text = value->string_value().c_str();
            char *end = nullptr;
            const double number = parse_double(text, &end);
            if (end != text) // not a number: the default
                result = number;
        }
    }
    call.set_double_result(result);
    return 0;
}

// ---------------------------------------------------------------------------
// Files

int open_file(ScriptLibrary &lib, const ScriptNativeCall &call, const char *mode)
{
    const char *name = call.text_arg(0);
    call.set_int_result(name ? lib.open_file(name, mode) : 0);
    return 0;
}

int native_file_open_read(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    return open_file(lib, call, "r");
}

int native_file_open_read_binary(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    return open_file(lib, call, "rb");
}

int native_file_open_write(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    return open_file(lib, call, "w");
}

int native_file_open_write_binary(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    return open_file(lib, call, "wb");
}

int native_file_open_append(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    return open_file(lib, call, "a");
}

int native_file_open_append_binary(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    return open_file(lib, call, "ab");
}

int native_file_close(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    lib.close_file(call.int_arg(0));
    return 0;
}

int native_file_read_line(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    std::FILE *file = lib.file(call.int_arg(0));
    const int32_t size = call.int_arg(2);
    char *buffer = file && size > 0 ? reinterpret_cast<char *>(call.array_arg(1, size)) : nullptr;
    if (!buffer || !std::fgets(buffer, size, file)) {
        call.set_int_result(0);
        return 0;
    }
    const size_t length = std::strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\n')
        buffer[length - 1] = 0;
    call.set_int_result(1);
    return 0;
}

int native_file_write_line(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    std::FILE *file = lib.file(call.int_arg(0));
    const char *text = file ? call.text_arg(1) : nullptr;
    call.set_int_result(text && std::fputs(text, file) >= 0 ? 0 : 1);
    return 0;
}

int native_file_read_block(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    std::FILE *file = lib.file(call.int_arg(0));
    const int32_t size = call.int_arg(2);
    uint8_t *buffer = file && size > 0 ? call.array_arg(1, size) : nullptr;
    call.set_int_result(buffer ? int32_t(std::fread(buffer, 1, size_t(size), file)) : -1);
    return 0;
}

int native_file_write_block(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    std::FILE *file = lib.file(call.int_arg(0));
    const int32_t size = call.int_arg(2);
    const uint8_t *buffer = file && size > 0 ? call.array_arg(1, size) : nullptr;
    call.set_int_result(buffer && std::fwrite(buffer, 1, size_t(size), file) > 0 ? 1 : 0);
    return 0;
}

int native_file_seek(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    std::FILE *file = lib.file(call.int_arg(0));
    const int32_t whence = call.int_arg(2);
    const int origin = whence == 1 ? SEEK_CUR : whence == 2 ? SEEK_END : SEEK_SET;
    call.set_int_result(file ? std::fseek(file, call.int_arg(1), origin) : -1);
    return 0;
}

int native_file_delete(ScriptLibrary &, const ScriptNativeCall &call)
{
    if (const char *name = call.text_arg(0))
        std::remove(name);
    return 0;
}

// ---------------------------------------------------------------------------
// Time

std::tm local_time(ScriptLibrary &lib)
{
    const std::time_t now = lib.clock();
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm;
}

int native_time_get_local(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    const std::tm tm = local_time(lib);
    const int32_t fields[9] = {tm.tm_sec,  tm.tm_min,  tm.tm_hour, tm.tm_mday, tm.tm_mon,
                               tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst};
    if (uint8_t *time = call.array_arg(0, sizeof fields))
        std::memcpy(time, fields, sizeof fields);
    return 0;
}

int native_time_get_local_string(ScriptLibrary &lib, const ScriptNativeCall &call)
{
    static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::tm tm = local_time(lib);
    // The layout of the C library's asctime, cut to its first 24 characters.
    std::string text = string_printf("%.3s %.3s%3d %.2d:%.2d:%.2d %d", days[tm.tm_wday % 7], months[tm.tm_mon % 12],
                                     tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
    text.resize(std::min<size_t>(text.size(), 24));
    if (uint8_t *s = call.array_arg(0, 25)) {
        std::memset(s, 0, 25);
        std::memcpy(s, text.data(), text.size());
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The library: one row per function, its declaration as the predefined
// header declares it and its body. The header's text, the name and the
// parameter count each native reads its call with, and the binding table
// are all made from these rows.

using NativeBody = int (*)(ScriptLibrary &lib, const ScriptNativeCall &call);

struct BuiltinRow {
    const char *declaration;
    NativeBody body;
};

// In the header's order, which gives the functions their numbers.
constexpr BuiltinRow kBuiltinRows[] = {
    {"void print (int i)", native_print},
    {"void printf (char fmt[], ...)", native_printf},
    {"void sprintf (char buffer [], char fmt[], ...)", native_sprintf},
    {"void write (char fmt [])", native_write},
    {"void sleep (int i)", native_sleep},
    {"void sleep_1ms (int i)", native_sleep_1ms},
    {"double sin (double x)", double_function<d_sin>},
    {"double cos (double x)", double_function<d_cos>},
    {"double tan (double x)", double_function<d_tan>},
    {"double asin (double x)", double_function<d_asin>},
    {"double acos (double x)", double_function<d_acos>},
    {"double atan (double x)", double_function<d_atan>},
    {"double abs (double x)", double_function<d_abs>},
    {"int sign (double x)", int_of_double<i_sign>},
    {"int is_negative (double x)", int_of_double<i_is_negative>},
    {"int is_positive (double x)", int_of_double<i_is_positive>},
    {"int floor (double x)", int_of_double<i_floor>},
    {"int ceil (double x)", int_of_double<i_ceil>},
    {"int round (double x)", int_of_double<i_round>},
    {"int random (int x)", native_random},
    {"void randomize ()", native_randomize},
    {"double sqrt (double x)", double_function<d_sqrt>},
    {"double exp (double x)", double_function<d_exp>},
    {"double log10 (double x)", double_function<d_log10>},
    {"double log (double x)", double_function<d_log>},
    {"void convertDoubleToIEEE32 (double x, int &dest)", native_double_to_ieee32},
    {"void convertDoubleToIEEE64 (double x, int &dest_low, int &dest_high)", native_double_to_ieee64},
    {"double convertIEEE32ToDouble (char src_ieee32[])", native_ieee32_to_double},
    {"void strcpy (char source[], char dest[])", native_strcpy},
    {"void strncpy (char source[], char dest[], int maxlen)", native_strncpy},
    {"void memcpy (char source[], char dest[], int len)", native_memcpy},
    {"void strcat (char source[], char dest[])", native_strcat},
    {"void strncat (char source[], char dest[], int maxlen)", native_strncat},
    {"int strcmp (char source[], char dest[])", native_strcmp},
    {"int strlen (char str[])", native_strlen},
    {"int atoi (char str[])", native_atoi},
    {"double atod (char str[])", native_atod},
    {"int splitHexString2 (char str[], int result[], int max_elem)", split_text<2, 16>},
    {"int splitHexString4 (char str[], int result[], int max_elem)", split_text<4, 16>},
    {"int splitIntString (char str[], int result[], int max_elem)", split_text<4, 10>},
    {"int int_to_ascii (int number, char str[], int base, int max_length)", native_int_to_ascii},
    {"int iniFileReset ()", native_ini_reset},
    {"int iniFileWriteString (char filename[], char section[], char entry[], char val[])", native_ini_write_string},
    {"int iniFileWriteDouble (char filename[], char section[], char entry[], double val)", native_ini_write_double},
    {"int iniFileWriteInt (char filename[], char section[], char entry[], int val)", native_ini_write_int},
    {"int iniFileReadString (char filename[], char section[], char entry[], char defVal[], char buffer[], "
     "int bufferlen)",
     native_ini_read_string},
    {"int iniFileReadInt (char filename[], char section[], char entry[], int defVal)", native_ini_read_int},
    {"double iniFileReadDouble (char filename[], char section[], char entry[], double defVal)", native_ini_read_double},
    {"int  fileOpenRead (char filename[])", native_file_open_read},
    {"int  fileOpenReadBinary (char filename[])", native_file_open_read_binary},
    {"int  fileOpenWrite (char filename[])", native_file_open_write},
    {"int  fileOpenWriteBinary (char filename[])", native_file_open_write_binary},
    {"int  fileOpenAppend (char filename[])", native_file_open_append},
    {"int  fileOpenAppendBinary (char filename[])", native_file_open_append_binary},
    {"void fileClose(int file)", native_file_close},
    {"int  fileReadLine(int file, char buffer[], int bufferSize)", native_file_read_line},
    {"int  fileWriteLine(int file, char buffer[])", native_file_write_line},
    {"int  fileWriteBlock (int file, char buffer[], int block_size)", native_file_write_block},
    {"int  fileReadBlock (int file, char buffer[], int block_size)", native_file_read_block},
    {"int  fileSeek (int file, int offset, int whence)", native_file_seek},
    {"int  filePrintf(int file, char fmt[], ...)", native_file_printf},
    {"void fileDelete(char filename[])", native_file_delete},
    {"void timeGetLocal(int time[])", native_time_get_local},
    {"void timeGetLocalString(char s[])", native_time_get_local_string},
};
constexpr size_t kBuiltinCount = sizeof kBuiltinRows / sizeof kBuiltinRows[0];

// What a native reads off its declaration: its name, and its parameter
// count or that it takes "...".
struct BuiltinSignature {
    static constexpr size_t max_name = 31;
    char name[max_name + 1]{};
    int params = 0;
    bool variadic = false;
};

constexpr bool is_name_char(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

constexpr BuiltinSignature signature_of(const char *declaration)
{
    BuiltinSignature signature;
    size_t open = 0;
    while (declaration[open] != '(')
        ++open;
    size_t end = open;
    while (end > 0 && declaration[end - 1] == ' ')
        --end;
    size_t begin = end;
    while (begin > 0 && is_name_char(declaration[begin - 1]))
        --begin;
    for (size_t i = begin; i < end && i - begin < BuiltinSignature::max_name; ++i)
        signature.name[i - begin] = declaration[i];
    bool empty = true;
    for (size_t i = open + 1; declaration[i] && declaration[i] != ')'; ++i) {
        if (declaration[i] != ' ')
            empty = false;
        if (declaration[i] == ',')
            ++signature.params;
        if (declaration[i] == '.')
            signature.variadic = true;
    }
    if (!empty)
        ++signature.params;
    return signature;
}

template <size_t Row>
constexpr BuiltinSignature kSignature = signature_of(kBuiltinRows[Row].declaration);

// The native of a row: reads the call as the declaration says and runs the body.
template <size_t Row>
int bound_native(void *context)
{
    constexpr const BuiltinSignature &signature = kSignature<Row>;
    static_assert(signature.name[0] && !signature.name[BuiltinSignature::max_name - 1], "a name of 1 to 30 characters");
    ScriptLibrary &lib = library(context);
    const ScriptNativeCall call = signature.variadic ? variadic_call(lib, signature.name)
                                                     : fixed_call(lib, signature.params, signature.name);
    return kBuiltinRows[Row].body(lib, call);
}

template <size_t... Rows>
constexpr std::array<ScriptBuiltin, kBuiltinCount> make_builtins(std::index_sequence<Rows...>)
{
    return {{{kBuiltinRows[Rows].declaration, kSignature<Rows>.name, bound_native<Rows>}...}};
}

constexpr std::array<ScriptBuiltin, kBuiltinCount> kBuiltins = make_builtins(std::make_index_sequence<kBuiltinCount>());

} // namespace

const ScriptBuiltin *script_builtins(int *count)
{
    *count = int(kBuiltins.size());
    return kBuiltins.data();
}
