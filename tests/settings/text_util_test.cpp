#include "settings/text_util.h"

#include <QBuffer>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <gtest/gtest.h>

namespace {

struct ParseCase
{
    const char *text;
    int value;
    bool ok;
};

TEST(ParseIntText, ReadsEveryBaseAndStopsAtBadDigits)
{
    const ParseCase cases[] = {
        {"0x1A", 26, true},   {"0X1a", 26, true},   {"1Ah", 26, true},   {"1Fh", 31, true},
        {"101b", 5, true},    {"12b", 1, false},    {"", 0, false},      {"   ", 0, false},
        {"-12", -12, true},   {" - 12", -12, true}, {"42 rest", 42, true}, {"4x2", 4, false},
        {"-1g", -1, false},   {"0xFFFFFFFF", -1, true}, {"-", 0, false}, {"0x", 0, false},
        {"h", 0, false},      {"0x1Bh", 27, false}, {"1b", 1, true},
    };
    for (const ParseCase &c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(parse_int_text(c.text, &ok), c.value) << '"' << c.text << '"';
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
    }
    bool ok = true;
    EXPECT_EQ(parse_int_text(nullptr, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(parse_int_text("7"), 7); // the flag is optional
}

TEST(FormatIntText, WritesBaseSuffixAndCutsToSize)
{
    struct Case
    {
        int value, base;
        size_t size;
        const char *text;
    };
    const Case cases[] = {
        {0, 10, 99, "0"},          {-12, 10, 99, "-12"},
        {-2147483647 - 1, 10, 99, "-2147483648"},
        {255, 16, 99, "ffH"},      {5, 2, 99, "101B"},
        {-1, 16, 99, "ffffffffH"}, {12345, 10, 3, "123"},
        {77, 8, 99, "77"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(format_int_text(c.value, c.base, c.size), c.text) << c.value << " base " << c.base;
}

TEST(HexDigitValue, DigitsOfEitherCaseAndNothingElse)
{
    const std::pair<int, int> cases[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'F', 15}, {'f', 15},       {'g', -1},
                                         {'/', -1}, {'@', -1}, {-1, -1},  {256, -1}, {char(0xE6), -1}};
    for (const auto &[c, value] : cases)
        EXPECT_EQ(hex_digit_value(c), value) << c;
}

TEST(FormatNumber, RightAlignsPadsSignsAndCutsFromTheFront)
{
    char text[8];
    format_number(text, 6, 0xBEEF, 16, '0');
    EXPECT_EQ(std::string(text, 6), "00beef");
    format_number(text, 6, 42, 10, ' ', true);
    EXPECT_EQ(std::string(text, 6), "   -42");
    format_number(text, 3, 123456, 10, ' ');
    EXPECT_EQ(std::string(text, 3), "456");

    const struct
    {
        uint32_t value;
        int width;
        char fill;
        int base;
        const char *text;
    } cases[] = {
        {42, 5, ' ', 10, "   42"}, {0, 3, '0', 10, "000"}, {255, 4, '0', 16, "00ff"}, {123456, 3, ' ', 10, "456"},
        {5, 0, ' ', 10, ""},       {5, -2, ' ', 10, ""},   {5, 4, '.', 2, ".101"},    {0xABCDEF, 6, ' ', 16, "abcdef"},
        {1239, 4, ' ', 10, "1239"}, // the last digit below the letters
        {35, 1, ' ', 36, "z"},      {35, 2, ' ', 37, "35"}, {7, 1, ' ', 1, "7"}, // bases out of range count as 10
    };
    for (const auto &c : cases)
        EXPECT_EQ(padded_number(c.value, c.width, c.base, c.fill), c.text) << c.value << " in " << c.width;
}

TEST(HexString, PadsToWidth)
{
    EXPECT_EQ(hex_string(255, 4), "00ff");
    EXPECT_EQ(hex_string(0, 0), "0");
    EXPECT_EQ(hex_string(0x1234, 2), "1234");
    EXPECT_EQ(hex_string(0xABCDEF0123456789ull, 16), "abcdef0123456789");
    EXPECT_EQ(hex_string(1, 40), "0000000000000001");
}

TEST(XmlEscaped, EscapesControlHighAndMarkupBytes)
{
    EXPECT_EQ(xml_escaped("a b<c>/&d\xE4"), "a&#32;b&#60;c&#62;&#47;&#38;d&#228;");
    EXPECT_EQ(xml_escaped(nullptr), "");
    // Control characters that XML cannot hold, even as references, stand as
    // private-use characters that the reader turns back; tab, line feed and
    // carriage return are references of their own.
    EXPECT_EQ(xml_escaped("a\x01\t\n\r\x1A\x1F"), "a&#57345;&#9;&#10;&#13;&#57370;&#57375;");
    const QString read_back = QString::fromUtf16(u"a\uE001\t\n\r\uE01A\uE01F\uE009\uE020");
    EXPECT_EQ(xml_restored_controls(read_back), QString::fromUtf16(u"a\x01\t\n\r\x1A\x1F\uE009\uE020"));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    write_xml_escaped(buffer, "x\n");
    EXPECT_EQ(buffer.data(), QByteArray("x&#10;"));
}

struct Utf8Case
{
    const char *bytes;
    std::u16string text;
};

TEST(Utf8ToUtf16, DecodesLenientlyWithSurrogates)
{
    const Utf8Case cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA4", u"\u00E4"},
        {"\xC3" "A", std::u16string{0xC3, 'A'}},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}},
        {"\xF0\x9F", std::u16string{0xF0, 0}}, // lead stands alone, lone continuation is 0
        {"\x80x", std::u16string{0, 'x'}},
        {"\xFFy", std::u16string{0, 'y'}},
        {"\xF7\xBF\xBF\xBF", u"\uFFFD"},
    };
    for (const Utf8Case &c : cases) {
        char16_t out[16];
        const size_t n = utf8_to_utf16(c.bytes, out, 16);
        EXPECT_EQ(std::u16string(out, n), c.text) << c.bytes;
        EXPECT_EQ(out[n], 0);
        const QString q = utf8_to_utf16(c.bytes);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(q.utf16()), size_t(q.size())), c.text);
    }
}

TEST(Utf8ToUtf16, RespectsCapacityAndNeverSplitsAPair)
{
    char16_t out[4] = {1, 1, 1, 1};
    // "a" + U+1F600: room for 2 units + terminator is enough for "a" only.
    EXPECT_EQ(utf8_to_utf16("a\xF0\x9F\x98\x80", out, 3), 1u);
    EXPECT_EQ(out[0], u'a');
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 1); // untouched

    EXPECT_EQ(utf8_to_utf16("abcdef", out, 4), 3u);
    EXPECT_EQ(std::u16string(out), u"abc");
    EXPECT_EQ(utf8_to_utf16("abc", out, 0), 0u);
    EXPECT_EQ(utf8_to_utf16(nullptr, out, 4), 0u);
    EXPECT_EQ(out[0], 0);
}

TEST(SetOwnedCstring, CopiesReplacesAndClears)
{
    char *slot = nullptr;
    char text[] = "first";
    set_owned_cstring(slot, text);
    text[0] = 'X';
    EXPECT_STREQ(slot, "first");
    set_owned_cstring(slot, "second");
    EXPECT_STREQ(slot, "second");
    // The new text may be the old string itself or a part of it.
    set_owned_cstring(slot, "a name longer than the allocator's own words");
    set_owned_cstring(slot, slot);
    EXPECT_STREQ(slot, "a name longer than the allocator's own words");
    set_owned_cstring(slot, slot + 7);
    EXPECT_STREQ(slot, "longer than the allocator's own words");
    set_owned_cstring(slot, nullptr);
    EXPECT_EQ(slot, nullptr);
}

TEST(StepFunction, IsZeroOnlyBelowZero)
{
    EXPECT_EQ(step_function(-0.5), 0.0);
    EXPECT_EQ(step_function(0.0), 1.0);
    EXPECT_EQ(step_function(std::nan("")), 1.0);
}

TEST(WordHelpers, CutSkipAndTrimInPlace)
{
    char tokens[] = "ab;cd ef";
    char *rest = cut_token(tokens);
    EXPECT_STREQ(tokens, "ab");
    EXPECT_STREQ(rest, "cd ef");
    rest = cut_token(rest);
    EXPECT_STREQ(rest, "ef");
    char *last = cut_token(rest);
    EXPECT_EQ(*last, '\0') << "no separator: the terminator";
    EXPECT_STREQ(rest, "ef");

    const char *line = "key\tvalue";
    EXPECT_STREQ(skip_token(line), "value");
    EXPECT_STREQ(skip_token("a\nb"), "b");
    const char *single = "word";
    EXPECT_EQ(skip_token(single), single + 4);

    char padded[] = "  x \r\n";
    EXPECT_STREQ(trim_blanks(padded), "x");
    char blank[] = " \t\r\n";
    EXPECT_STREQ(trim_blanks(blank), "");
}

TEST(WordHelpers, ParseDecimalOnlyFromADigit)
{
    struct Case { const char *text; int result; int value; };
    const Case cases[] = {{"12ab", 0, 12}, {"-5", -1, 99}, {"", -1, 99}, {" 7", -1, 99}, {"0", 0, 0},
                          {"99999999999", 0, INT32_MAX}};
    for (const Case &c : cases) {
        int value = 99;
        EXPECT_EQ(parse_decimal(c.text, &value), c.result) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

} // namespace
