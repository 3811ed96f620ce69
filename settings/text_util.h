#pragma once
// Small text and number helpers shared by the program and the editor.
#include "core/frames/hex_digit.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <locale.h>
#include <string>

#include <QString>

class QIODevice;

// Truncation toward zero that stays defined for every double: NaN gives 0 and
// values beyond the int range are held to its ends (a plain cast is undefined).
int32_t clamp_to_int32(double value);

// The "C" locale, and atof/strtod and printf "%lf" in it: "." is the decimal
// point whatever LC_NUMERIC says (the toolkit takes the user's locale, where
// it may be ","). Texts that scripts, settings and description files exchange
// keep one notation that way.
locale_t c_locale();
double c_locale_atof(const char *text);
double c_locale_strtod(const char *text, char **end);
std::string c_locale_format_lf(double value);

// The text of a printf-style format as an owned string.
std::string string_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string string_vprintf(const char *format, va_list args);

// Reads a signed integer. Leading blanks, an optional "-" and blanks after it
// are skipped; the number ends at the first blank or the end of the text.
// "0x"/"0X" in front selects hexadecimal; otherwise a last character "h"/"H"
// selects hexadecimal and "b"/"B" binary (the suffix is not a digit); else
// decimal. A character that is no digit of the base stops the reading with
// *ok false and the value read so far (with its sign). A null or empty text,
// or one without digits, gives 0 with *ok false. `ok` may be null.
// Values wrap at 32 bits, so "0xFFFFFFFF" reads as -1.
int parse_int_text(const char *text, bool *ok = nullptr);

// Writes the magnitude right-aligned into `width` characters of out (no
// terminating zero; a width of 0 or less writes nothing): its digits in the
// base (2 to 36, letters in lower case; any other base counts as 10), at
// least one, least significant last; the positions before them get the pad
// character, the last of them a "-" for a negative value. Digits that do not
// fit are lost from the front, and then neither pad nor sign is written.
void format_number(char *out, int width, uint64_t magnitude, int base, char pad = ' ', bool negative = false);
// The same as a string of `width` characters (none for a width below 1).
std::string padded_number(uint64_t magnitude, int width, int base = 10, char pad = ' ', bool negative = false);

// Formats a value: base 10 with a leading "-" for negative values, base 16
// with the suffix "H", base 2 with the suffix "B" (both showing the 32-bit
// pattern), lower-case digits. Any other base counts as 10. The text is cut
// to at most `max_length` characters.
std::string format_int_text(int value, int base, size_t max_length = 99);

// The text with every byte below 33 or from 127 up and every "<", ">", "/"
// and "&" written as the character reference "&#%d;" of its byte value. XML
// holds no control character but tab, line feed and carriage return, not
// even as a reference: each other byte below 32 is written as the reference
// of the private-use character U+E000 + byte, which xml_restored_controls
// turns back.
std::string xml_escaped(const char *text);
// The text read from an element written by xml_escaped, with the control
// characters that it wrote as U+E000 + byte in place again.
QString xml_restored_controls(const QString &text);
// Writes xml_escaped(text); a null or empty text writes nothing.
void write_xml_escaped(FILE *file, const char *text);
void write_xml_escaped(QIODevice &device, const char *text);

// Lower-case hexadecimal of the value, left-padded with "0" to `width`
// characters (width up to 16; a longer value keeps all its digits).
std::string hex_string(uint64_t value, int width);

// Lenient UTF-8 decoder. Decodes `source` up to its terminating zero into
// `destination`, which holds `capacity` 16-bit units including the
// terminating 0 that is always written (when capacity > 0); returns the
// number of units written before it. Bytes below 128 stand for themselves;
// complete two-, three- and four-byte sequences give their code point, one
// above 0xFFFF as a surrogate pair (never split: when only one unit is left
// the decoding stops), one above 0x10FFFF as U+FFFD. A lead byte whose
// continuation bytes are missing stands for its own value; any other byte
// from 128 up (a lone continuation byte, 0xF8 to 0xFF) gives the character 0.
size_t utf8_to_utf16(const char *source, char16_t *destination, size_t capacity);
// The same decoding of the whole text into an owned string.
QString utf8_to_utf16(const char *source);
// The same decoding of `size` bytes, zero bytes among them decoded as the
// character 0: texts of the settings files may hold them.
QString utf8_to_utf16(const char *source, size_t size);

// Owned 8-bit string fields of records: frees the old string of the slot and
// stores a copy of `text` there (a null text leaves the slot null). The
// strings are allocated with malloc; free them with std::free.
void set_owned_cstring(char *&slot, const char *text);

// 0.0 for x below 0, else 1.0 (also for NaN).
double step_function(double x);

// Suspends the calling thread.
void sleep_ms(unsigned milliseconds);

// Word helpers for line-oriented input that is cut in place.
// Ends the first word at the first ";" or blank (overwritten with the
// terminator) and returns the text after it; without one, the terminator.
char *cut_token(char *text);
// The text after the first ";", tab, line feed or blank, unchanged; without
// one, its terminator.
const char *skip_token(const char *text);
// Skips leading tabs, carriage returns, line feeds and blanks and cuts the
// trailing ones off in place; returns the first other character.
char *trim_blanks(char *text);
// When the text begins with a decimal digit, stores atoi of it (held within
// the int range) in *out and returns 0; otherwise returns -1 and leaves *out
// as it was.
int parse_decimal(const char *text, int *out);
