// The built-in function library, driven through the machine: each native is
// bound to a function number and called by the calling convention from
// assembled byte code, with its arguments in data memory.
#include "script/pcode_machine.h"
#include "script/script_compiler.h"
#include "script/script_library.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "tests/script/pcode_assembler.h"
#include "tests/script/script_test_host.h"
#include "tests/common/test_support.h"

#include "settings/text_util.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

namespace {

class RecordingMachine : public PCodeMachine
{
public:
    std::vector<std::string> errors;
    void report_error(const char *text) override { errors.push_back(text); }
};

// One argument cell: an int, a double, or a data address with its size bound.
struct Arg {
    enum Kind { Int, Double, Address } kind;
    int32_t i = 0;
    double d = 0.0;
    int32_t bound = 0;
};
Arg I(int32_t v) { return {Arg::Int, v, 0.0, 0}; }
Arg D(double v) { return {Arg::Double, 0, v, 0}; }
Arg A(int32_t address, int32_t bound = 0) { return {Arg::Address, address, 0.0, bound}; }

class ScriptLibraryTest : public testing::Test
{
protected:
    ScriptLibraryTest() : library(&machine)
    {
        machine.allocate_data(kDataSize);
        PCodeAssembler settle; // the first run adds the reserve for locals
        settle("END");
        machine.run(&library, settle.load(machine));
        int count = 0;
        const ScriptBuiltin *builtins = script_builtins(&count);
        for (int k = 0; k < count; ++k)
            machine.bind_native(k + 1, builtins[k].native);
        library.print_callback = [this](const char *text) { printed.push_back(text); };
        library.sleeper = [this](int64_t ms) { slept.push_back(ms); };
        library.clock = [] { return std::time_t(1000000000); }; // 2001-09-09 01:46:40 UTC
    }

    static int number_of(const std::string &name)
    {
        int count = 0;
        const ScriptBuiltin *builtins = script_builtins(&count);
        for (int k = 0; k < count; ++k)
            if (name == builtins[k].name)
                return k + 1;
        throw std::runtime_error("no native " + name);
    }

    // Calls the native by the calling convention and answers its result cell;
    // `run_result` receives what run answered.
    PCodeCell call(const std::string &name, const std::vector<Arg> &args, bool variadic = false,
                   int *run_result = nullptr)
    {
        PCodeAssembler code;
        code("PUSH_I 0");
        for (const Arg &arg : args) {
            char line[64];
            switch (arg.kind) {
            case Arg::Int:
                std::snprintf(line, sizeof line, "PUSH_I %d", arg.i);
                code(line);
                break;
            case Arg::Double:
                std::snprintf(line, sizeof line, "PUSH_D %.17g", arg.d);
                code(line);
                break;
            case Arg::Address:
                std::snprintf(line, sizeof line, "PUSH_GADDR %d", arg.i);
                code(line);
                std::snprintf(line, sizeof line, "SET_SIZE %d", arg.bound);
                code(line);
                break;
            }
        }
        const int cells = int(args.size()) + (variadic ? 1 : 0);
        if (variadic)
            code("PUSH_I " + std::to_string(args.size()));
        code("PUSH_I " + std::to_string(number_of(name)));
        code("CALL");
        code("POPN " + std::to_string(cells));
        code("END");
        const int result = machine.run(&library, code.load(machine));
        if (run_result)
            *run_result = result;
        PCodeCell cell;
        if (machine.stack_pointer() > 0) {
            cell.set_d(machine.stack_double(0));
            PCodeAssembler pop;
            pop("POP");
            machine.run(&library, pop.load(machine));
        }
        return cell;
    }

    int32_t call_int(const std::string &name, const std::vector<Arg> &args, bool variadic = false)
    {
        return call(name, args, variadic).i;
    }
    double call_double(const std::string &name, const std::vector<Arg> &args)
    {
        return call(name, args).d();
    }

    void put_text(int32_t address, const std::string &text)
    {
        std::memcpy(machine.data_pointer(address, int32_t(text.size()) + 1), text.c_str(), text.size() + 1);
    }
    std::string text_at(int32_t address) { return reinterpret_cast<const char *>(machine.data_pointer(address, 1)); }
    void put_int(int32_t address, int32_t v) { machine.set_data_int(address, v); }
    int32_t int_at(int32_t address) { return machine.data_int(address); }

    std::string all_printed() const
    {
        std::string all;
        for (const std::string &text : printed)
            all += text;
        return all;
    }

    static constexpr int32_t kDataSize = 16384;
    // Data addresses the tests use for their texts and arrays.
    static constexpr int32_t kFormat = 0, kText = 2000, kTarget = 4000, kOther = 6000, kValues = 8000;

    RecordingMachine machine;
    ScriptLibrary library;
    std::vector<std::string> printed;
    std::vector<int64_t> slept;
};

// ---------------------------------------------------------------------------
// Output

TEST_F(ScriptLibraryTest, PrintAndWriteHandTheirTextOnAtOnce)
{
    call("print", {I(-42)});
    put_text(kText, "no newline");
    call("write", {A(kText)});
    EXPECT_EQ(printed, (std::vector<std::string>{"-42", "no newline"}));
}

TEST_F(ScriptLibraryTest, PrintfKeepsTheLinePendingUntilItEnds)
{
    put_text(kFormat, "a=%d");
    call("printf", {A(kFormat), I(1)}, true);
    EXPECT_TRUE(printed.empty());
    put_text(kFormat, ", b=%d\nrest");
    call("printf", {A(kFormat), I(2)}, true);
    EXPECT_EQ(printed, (std::vector<std::string>{"a=1, b=2\n"}));
    put_text(kFormat, "!\n");
    call("printf", {A(kFormat)}, true);
    EXPECT_EQ(printed.back(), "rest!\n");
}

TEST_F(ScriptLibraryTest, PrintfHandsOnALineLongerThan1005Characters)
{
    put_text(kFormat, std::string(1006, 'x'));
    call("printf", {A(kFormat)}, true);
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0].size(), 1006u);
}

TEST_F(ScriptLibraryTest, OneLongConversionNeverOverrunsThePendingLine)
{
    const std::string long_text(3000, 'y');
    put_text(kText, long_text);
    put_text(kFormat, "%s\n");
    call("printf", {A(kFormat), A(kText)}, true);
    EXPECT_EQ(all_printed(), long_text + "\n");
    for (const std::string &chunk : printed)
        EXPECT_LT(chunk.size(), size_t(PCodeMachine::print_line_size));
    put_text(kFormat, "%09999d\n");
    call("printf", {A(kFormat), I(7)}, true);
    EXPECT_EQ(all_printed(), long_text + "\n" + std::string(9998, '0') + "7\n");
}

TEST_F(ScriptLibraryTest, SprintfReplacesItsTarget)
{
    put_text(kTarget, "old content that is long");
    put_text(kFormat, "n=%d");
    call("sprintf", {A(kTarget), A(kFormat), I(5)}, true);
    EXPECT_EQ(text_at(kTarget), "n=5");
    EXPECT_TRUE(printed.empty());
    // With a single argument it formats like printf.
    put_text(kFormat, "plain\n");
    call("sprintf", {A(kFormat)}, true);
    EXPECT_EQ(printed, (std::vector<std::string>{"plain\n"}));
}

// The script's conversions against the C library's.
TEST_F(ScriptLibraryTest, FormatsAgreeWithTheCLibrary)
{
    struct Case {
        const char *script;
        const char *c;
        Arg arg;
    };
    put_text(kText, "ab");
    const Case cases[] = {
        {"%d", "%d", I(-42)},          {"%5d", "%5d", I(42)},          {"%05d", "%05d", I(42)},
        {"%05d", "%05d", I(-42)},      {"%d", "%d", I(INT32_MIN)},     {"%u", "%u", I(-1)},
        {"%8u", "%8u", I(123)},        {"%x", "%x", I(255)},           {"%08x", "%08x", I(0xBEEF)},
        {"%x", "%x", I(-1)},           {"%c", "%c", I(65)},            {"%c", "%c", I(0x141)},
        {"%g", "%lg", D(3.5)},         {"%f", "%lg", D(0.1)},          {"%10f", "%lg", D(1e20)},
        {"%g", "%lg", D(-0.000012345)}, {"%s", "%s", A(kText)},        {"%4s", "%4s", A(kText)},
        {"%04s", "%4s", A(kText)},     {"[%%]", "[%%]", I(0)},         {"x%dy", "x%dy", I(7)},
    };
    for (const Case &c : cases) {
        put_text(kFormat, c.script);
        call("sprintf", {A(kTarget), A(kFormat), c.arg}, true);
        char expected[128];
        if (c.arg.kind == Arg::Double)
            std::snprintf(expected, sizeof expected, c.c, c.arg.d);
        else if (c.arg.kind == Arg::Address)
            std::snprintf(expected, sizeof expected, c.c, "ab");
        else
            std::snprintf(expected, sizeof expected, c.c, c.arg.i);
        EXPECT_EQ(text_at(kTarget), expected) << c.script;
    }
}

TEST_F(ScriptLibraryTest, UnknownDirectivesAreCopiedAndMissingArgumentsWriteNothing)
{
    put_text(kFormat, "%q %5z [%d] 100%");
    call("sprintf", {A(kTarget), A(kFormat)}, true);
    EXPECT_EQ(text_at(kTarget), "%q %5z [] 100%");
}

// ---------------------------------------------------------------------------
// Waiting and mathematics

TEST_F(ScriptLibraryTest, SleepWaitsThroughTheLibrarysSleeper)
{
    call("sleep", {I(2)});
    call("sleep_1ms", {I(5)});
    call("sleep", {I(-1)});
    call("sleep_1ms", {I(0)});
    EXPECT_EQ(slept, (std::vector<int64_t>{2000, 5}));
}

TEST_F(ScriptLibraryTest, RoundSendsHalvesUp)
{
    const std::pair<double, int> cases[] = {{2.5, 3}, {-2.5, -2}, {-2.6, -3}, {2.4999, 2}, {0.5, 1}, {-0.5, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(call_int("round", {D(c.first)}), c.second) << c.first;
    EXPECT_EQ(call_int("round", {D(std::nan(""))}), INT32_MIN);
    EXPECT_EQ(call_int("floor", {D(-2.5)}), -3);
    EXPECT_EQ(call_int("ceil", {D(-2.5)}), -2);
    EXPECT_EQ(call_int("ceil", {D(1e12)}), INT32_MIN); // out of the int range, as the machine converts
}

TEST_F(ScriptLibraryTest, SignTestsAndNaN)
{
    const double nan = std::nan("");
    struct Case {
        double x;
        int sign, negative, positive;
    };
    const Case cases[] = {{0.0, 0, 0, 1}, {-0.0, 0, 0, 1}, {3.0, 1, 0, 1}, {-0.1, -1, 1, 0}, {nan, 0, 0, 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(call_int("sign", {D(c.x)}), c.sign) << c.x;
        EXPECT_EQ(call_int("is_negative", {D(c.x)}), c.negative) << c.x;
        EXPECT_EQ(call_int("is_positive", {D(c.x)}), c.positive) << c.x;
    }
    EXPECT_EQ(call_double("abs", {D(-2.25)}), 2.25);
    EXPECT_DOUBLE_EQ(call_double("sin", {D(M_PI / 2)}), 1.0);
    EXPECT_DOUBLE_EQ(call_double("log10", {D(1000.0)}), 3.0);
    EXPECT_DOUBLE_EQ(call_double("sqrt", {D(2.0)}), std::sqrt(2.0));
    EXPECT_TRUE(std::isnan(call_double("sqrt", {D(-1.0)})));
}

TEST_F(ScriptLibraryTest, RandomStaysInsideItsBoundAndNeverDividesByZero)
{
    EXPECT_EQ(call_int("random", {I(0)}), 0);
    EXPECT_EQ(call_int("random", {I(-5)}), 0);
    bool negative = false, positive = false;
    for (int k = 0; k < 200; ++k) {
        const int32_t r = call_int("random", {I(10)});
        ASSERT_GE(r, -9);
        ASSERT_LE(r, 9);
        negative |= r < 0;
        positive |= r > 0;
    }
    EXPECT_TRUE(negative && positive); // the product's sign carries through
    // randomize seeds from the clock: the same time gives the same sequence.
    call("randomize", {});
    const int32_t first = call_int("random", {I(1000000)});
    call("randomize", {});
    EXPECT_EQ(call_int("random", {I(1000000)}), first);
}

// ---------------------------------------------------------------------------
// IEEE conversions

TEST_F(ScriptLibraryTest, IeeeConversionsWriteTheMachineBytes)
{
    call("convertDoubleToIEEE32", {D(1.5), A(kValues)});
    EXPECT_EQ(uint32_t(int_at(kValues)), 0x3FC00000u);
    call("convertDoubleToIEEE32", {D(1e300), A(kValues)});
    EXPECT_EQ(uint32_t(int_at(kValues)), 0x7F800000u); // beyond the float range: infinity
    call("convertDoubleToIEEE64", {D(-2.0), A(kValues), A(kValues + 8)});
    EXPECT_EQ(int_at(kValues), 0);
    EXPECT_EQ(uint32_t(int_at(kValues + 8)), 0xC0000000u);
    put_int(kValues, 0x40490FDB); // pi as a float
    EXPECT_DOUBLE_EQ(call_double("convertIEEE32ToDouble", {A(kValues)}), double(3.14159274f));
}

// ---------------------------------------------------------------------------
// Strings and memory: the first argument is the destination.

TEST_F(ScriptLibraryTest, StringFunctionsWorkOnDataMemory)
{
    put_text(kText, "hello");
    call("strcpy", {A(kTarget), A(kText)});
    EXPECT_EQ(text_at(kTarget), "hello");
    call("strcat", {A(kTarget), A(kText)});
    EXPECT_EQ(text_at(kTarget), "hellohello");
    call("strcat", {A(kTarget), A(kTarget)}); // appending a text to itself
    EXPECT_EQ(text_at(kTarget), "hellohellohellohello");
    call("strncat", {A(kText), A(kTarget), I(3)});
    EXPECT_EQ(text_at(kText), "hellohel");
    EXPECT_EQ(call_int("strlen", {A(kText)}), 8);

    std::memset(machine.data_pointer(kOther, 8), 'z', 8);
    call("strncpy", {A(kOther), A(kText), I(3)}); // no terminating zero, as the C library does
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(machine.data_pointer(kOther, 8)), 8), "helzzzzz");
    put_text(kText, "ab");
    call("strncpy", {A(kOther), A(kText), I(6)}); // padded with zeros up to the count
    EXPECT_EQ(std::memcmp(machine.data_pointer(kOther, 8), "ab\0\0\0\0zz", 8), 0);

    put_text(kOther, "abcdef");
    call("memcpy", {A(kOther + 2), A(kOther), I(4)}); // overlapping copy
    EXPECT_EQ(text_at(kOther), "ababcd");

    put_text(kText, "abc");
    put_text(kOther, "abd");
    EXPECT_LT(call_int("strcmp", {A(kText), A(kOther)}), 0);
    EXPECT_GT(call_int("strcmp", {A(kOther), A(kText)}), 0);
    EXPECT_EQ(call_int("strcmp", {A(kText), A(kText)}), 0);
}

TEST_F(ScriptLibraryTest, NumbersFromAndToText)
{
    const std::pair<const char *, int> ints[] = {{"  -12", -12}, {"0x1F", 31}, {"1Fh", 31}, {"101b", 5}, {"", 0}};
    for (const auto &c : ints) {
        put_text(kText, c.first);
        EXPECT_EQ(call_int("atoi", {A(kText)}), c.second) << c.first;
    }
    put_text(kText, "2.5e3xyz");
    EXPECT_EQ(call_double("atod", {A(kText)}), 2500.0);

    const struct {
        int number, base, max_length;
    } formats[] = {{-1234, 10, 20}, {255, 16, 20}, {5, 2, 20}, {123456, 10, 3}};
    for (const auto &c : formats) {
        EXPECT_EQ(call_int("int_to_ascii", {I(c.number), A(kTarget), I(c.base), I(c.max_length)}), 0);
        EXPECT_EQ(text_at(kTarget), format_int_text(c.number, c.base, size_t(c.max_length)));
    }
}

// ---------------------------------------------------------------------------
// Splitting

TEST_F(ScriptLibraryTest, SplitFunctionsOnEdgeInputs)
{
    struct Case {
        const char *native;
        const char *text;
        int max;
        std::vector<int32_t> values;
    };
    const Case cases[] = {
        {"splitHexString2", "0102 3 AB", 10, {1, 2, 3, 171}},
        {"splitHexString2", "1", 10, {}},
        {"splitHexString2", "1 ", 10, {1}},
        {"splitHexString2", "\t\r\n ff\n0a", 10, {255, 10}},
        {"splitHexString2", "12 3g 45", 10, {0x12}}, // "g" ends the scan, "3" is dropped
        {"splitHexString2", "010203", 2, {1, 2}},
        {"splitHexString2", "0102", 0, {}},
        {"splitHexString2", "", 10, {}},
        {"splitHexString4", "12345 6 ab", 10, {0x1234, 5, 6}}, // "ab" at the very end is short
        {"splitHexString4", "beef", 10, {0xBEEF}},
        {"splitIntString", "1234567 89 ", 10, {1234, 567, 89}},
        {"splitIntString", "1A ", 10, {20}}, // letters count 10 to 15 in base 10
        {"splitIntString", "12-3", 10, {}},
    };
    for (const Case &c : cases) {
        put_text(kText, c.text);
        for (int k = 0; k < 10; ++k)
            put_int(kValues + 4 * k, -7);
        const int32_t stored = call_int(c.native, {A(kText), A(kValues), I(c.max)});
        std::vector<int32_t> values;
        for (int k = 0; k < stored; ++k)
            values.push_back(int_at(kValues + 4 * k));
        EXPECT_EQ(values, c.values) << c.native << " \"" << c.text << "\"";
        EXPECT_EQ(int_at(kValues + 4 * stored), -7) << "nothing written past the values";
    }
}

// ---------------------------------------------------------------------------
// INI files

class ScriptLibraryIniTest : public ScriptLibraryTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath("settings.ini").toStdString();
        put_text(kFile, file);
        put_text(kSection, "Section");
        put_text(kEntry, "Entry");
    }

    static constexpr int32_t kFile = 10000, kSection = 11000, kEntry = 11100, kDefault = 11200;
    QTemporaryDir dir;
    std::string file;
};

TEST_F(ScriptLibraryIniTest, ValuesSurviveARoundTripThroughTheFile)
{
    put_text(kText, "a \"quoted\" = text");
    EXPECT_EQ(call_int("iniFileWriteString", {A(kFile), A(kSection), A(kEntry), A(kText)}), 1);
    put_text(kOther, "Count");
    EXPECT_EQ(call_int("iniFileWriteInt", {A(kFile), A(kSection), A(kOther), I(-17)}), 1);
    put_text(kOther + 100, "Ratio");
    EXPECT_EQ(call_int("iniFileWriteDouble", {A(kFile), A(kSection), A(kOther + 100), D(0.125)}), 1);

    // Dropping the cache makes the reads come from the file.
    EXPECT_EQ(call_int("iniFileReset", {}), 0);
    put_text(kDefault, "default");
    EXPECT_EQ(call_int("iniFileReadString", {A(kFile), A(kSection), A(kEntry), A(kDefault), A(kTarget), I(100)}), 1);
    EXPECT_EQ(text_at(kTarget), "a \"quoted\" = text");
    EXPECT_EQ(call_int("iniFileReadInt", {A(kFile), A(kSection), A(kOther), I(5)}), -17);
    EXPECT_EQ(call_double("iniFileReadDouble", {A(kFile), A(kSection), A(kOther + 100), D(9.0)}), 0.125);
    // The string entry is no number: the default.
    EXPECT_EQ(call_double("iniFileReadDouble", {A(kFile), A(kSection), A(kEntry), D(9.0)}), 9.0);
}

TEST_F(ScriptLibraryIniTest, MissingFilesSectionsAndEntriesGiveTheDefault)
{
    EXPECT_EQ(call_int("iniFileReadInt", {A(kFile), A(kSection), A(kEntry), I(42)}), 42);
    EXPECT_EQ(call_double("iniFileReadDouble", {A(kFile), A(kSection), A(kEntry), D(1.5)}), 1.5);
    // Without the section the default is copied but the result is 0.
    put_text(kDefault, "fallback");
    put_text(kTarget, "unchanged");
    EXPECT_EQ(call_int("iniFileReadString", {A(kFile), A(kSection), A(kEntry), A(kDefault), A(kTarget), I(3)}), 0);
    EXPECT_EQ(text_at(kTarget), "falhanged"); // strncpy limited to the buffer length
    // With the section and an empty default the buffer stays as it was.
    put_text(kOther, "Other");
    put_text(kText, "x");
    call("iniFileWriteString", {A(kFile), A(kSection), A(kOther), A(kText)});
    put_text(kDefault, "");
    EXPECT_EQ(call_int("iniFileReadString", {A(kFile), A(kSection), A(kEntry), A(kDefault), A(kTarget), I(100)}), 0);
    EXPECT_EQ(text_at(kTarget), "falhanged");
    // Reading did not create the missing section: the next write does not
    // bring it into the file.
    put_text(kSection + 50, "Nowhere");
    EXPECT_EQ(call_int("iniFileReadInt", {A(kFile), A(kSection + 50), A(kEntry), I(3)}), 3);
    call("iniFileWriteString", {A(kFile), A(kSection), A(kEntry), A(kText)});
    FILE *f = std::fopen(file.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char content[512] = {};
    std::fread(content, 1, sizeof content - 1, f);
    std::fclose(f);
    EXPECT_EQ(std::string(content).find("Nowhere"), std::string::npos);
}

TEST_F(ScriptLibraryIniTest, ASecondFileNameReplacesTheCachedFile)
{
    put_text(kText, "one");
    call("iniFileWriteString", {A(kFile), A(kSection), A(kEntry), A(kText)});
    const std::string second = dir.filePath("second.ini").toStdString();
    put_text(kOther, second);
    put_text(kText, "two");
    call("iniFileWriteString", {A(kOther), A(kSection), A(kEntry), A(kText)});
    put_text(kDefault, "");
    call("iniFileReadString", {A(kFile), A(kSection), A(kEntry), A(kDefault), A(kTarget), I(10)});
    EXPECT_EQ(text_at(kTarget), "one");
    call("iniFileReadString", {A(kOther), A(kSection), A(kEntry), A(kDefault), A(kTarget), I(10)});
    EXPECT_EQ(text_at(kTarget), "two");
}

TEST_F(ScriptLibraryIniTest, AFileThatCannotBeWrittenReportsFailure)
{
    put_text(kFile, dir.filePath("missing/dir/settings.ini").toStdString());
    put_text(kText, "x");
    EXPECT_EQ(call_int("iniFileWriteString", {A(kFile), A(kSection), A(kEntry), A(kText)}), 0);
    EXPECT_EQ(call_int("iniFileWriteInt", {A(kFile), A(kSection), A(kEntry), I(1)}), 0);
}

// The GUI toolkit installs the environment's locale at start-up; scripts still
// write and read numbers with a decimal point.
TEST_F(ScriptLibraryIniTest, NumbersIgnoreTheNumericLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!vyr_test::use_decimal_comma_locale(dir.path()))
        GTEST_SKIP() << "no locale with a decimal comma is available";
    put_text(kFormat, "%g %f");
    call("sprintf", {A(kTarget), A(kFormat), D(2.5), D(-0.75)}, true);
    const std::string formatted = text_at(kTarget);
    put_text(kText, "1.25");
    const double parsed = call_double("atod", {A(kText)});
    call("iniFileWriteDouble", {A(kFile), A(kSection), A(kEntry), D(0.125)});
    call("iniFileReset", {});
    const double read_back = call_double("iniFileReadDouble", {A(kFile), A(kSection), A(kEntry), D(9.0)});
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(formatted, "2.5 -0.75");
    EXPECT_EQ(parsed, 1.25);
    EXPECT_EQ(read_back, 0.125);
    QFile written(QString::fromStdString(file));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("0.125"));
}

// ---------------------------------------------------------------------------
// Files

class ScriptLibraryFileTest : public ScriptLibraryTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("data.txt").toStdString();
        put_text(kName, path);
    }

    int32_t open(const char *native) { return call_int(native, {A(kName)}); }
    std::string content()
    {
        std::string all;
        if (FILE *f = std::fopen(path.c_str(), "rb")) {
            char buffer[256];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
                all.append(buffer, n);
            std::fclose(f);
        }
        return all;
    }

    static constexpr int32_t kName = 10000;
    QTemporaryDir dir;
    std::string path;
};

TEST_F(ScriptLibraryFileTest, WriteAppendAndReadLines)
{
    EXPECT_EQ(open("fileOpenRead"), 0); // not there yet
    int32_t file = open("fileOpenWrite");
    ASSERT_GT(file, 0);
    put_text(kText, "first\n");
    EXPECT_EQ(call_int("fileWriteLine", {I(file), A(kText)}), 0);
    put_text(kFormat, "%d-%s\n");
    put_text(kOther, "two");
    EXPECT_GE(call_int("filePrintf", {I(file), A(kFormat), I(2), A(kOther)}, true), 0);
    call("fileClose", {I(file)});
    EXPECT_EQ(call_int("fileWriteLine", {I(file), A(kText)}), 1); // closed: invalid

    file = open("fileOpenAppend");
    put_text(kText, "last");
    call("fileWriteLine", {I(file), A(kText)});
    call("fileClose", {I(file)});
    EXPECT_EQ(content(), "first\n2-two\nlast");

    file = open("fileOpenRead");
    std::vector<std::string> lines;
    while (call_int("fileReadLine", {I(file), A(kTarget), I(100)}) == 1)
        lines.push_back(text_at(kTarget));
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "2-two", "last"}));
    call("fileClose", {I(file)});

    // A short buffer reads the line in chunks of size - 1 characters.
    file = open("fileOpenRead");
    EXPECT_EQ(call_int("fileReadLine", {I(file), A(kTarget), I(4)}), 1);
    EXPECT_EQ(text_at(kTarget), "fir");
    call("fileClose", {I(file)});
}

TEST_F(ScriptLibraryFileTest, BinaryBlocksAndSeeking)
{
    int32_t file = open("fileOpenWriteBinary");
    ASSERT_GT(file, 0);
    std::memcpy(machine.data_pointer(kText, 6), "ab\0cd\n", 6);
    EXPECT_EQ(call_int("fileWriteBlock", {I(file), A(kText), I(6)}), 1);
    EXPECT_EQ(call_int("fileWriteBlock", {I(file), A(kText), I(0)}), 0);
    call("fileClose", {I(file)});
    file = open("fileOpenAppendBinary");
    call("fileWriteBlock", {I(file), A(kText), I(2)});
    call("fileClose", {I(file)});
    EXPECT_EQ(content(), std::string("ab\0cd\nab", 8));

    file = open("fileOpenReadBinary");
    EXPECT_EQ(call_int("fileSeek", {I(file), I(-3), I(2)}), 0); // from the end
    EXPECT_EQ(call_int("fileReadBlock", {I(file), A(kTarget), I(100)}), 3);
    EXPECT_EQ(std::memcmp(machine.data_pointer(kTarget, 3), "\nab", 3), 0);
    EXPECT_EQ(call_int("fileSeek", {I(file), I(3), I(7)}), 0); // any other whence: from the start
    EXPECT_EQ(call_int("fileReadBlock", {I(file), A(kTarget), I(2)}), 2);
    EXPECT_EQ(std::memcmp(machine.data_pointer(kTarget, 2), "cd", 2), 0);
    EXPECT_EQ(call_int("fileSeek", {I(file), I(-1), I(1)}), 0); // from the current position
    EXPECT_EQ(call_int("fileReadBlock", {I(file), A(kTarget), I(1)}), 1);
    EXPECT_EQ(text_at(kTarget).substr(0, 1), "d");
    EXPECT_EQ(call_int("fileReadBlock", {I(file), A(kTarget), I(0)}), -1);
    call("fileClose", {I(file)});

    call("fileDelete", {A(kName)});
    EXPECT_EQ(open("fileOpenRead"), 0);
}

TEST_F(ScriptLibraryFileTest, InvalidHandlesAreRefused)
{
    for (int32_t handle : {0, -1, INT32_MIN, 12345}) {
        EXPECT_EQ(call_int("fileReadLine", {I(handle), A(kTarget), I(10)}), 0);
        EXPECT_EQ(call_int("fileWriteLine", {I(handle), A(kText)}), 1);
        EXPECT_EQ(call_int("fileReadBlock", {I(handle), A(kTarget), I(10)}), -1);
        EXPECT_EQ(call_int("fileWriteBlock", {I(handle), A(kTarget), I(10)}), 0);
        EXPECT_EQ(call_int("fileSeek", {I(handle), I(0), I(0)}), -1);
        EXPECT_EQ(call_int("filePrintf", {I(handle), A(kFormat)}, true), -1);
        call("fileClose", {I(handle)});
    }
    EXPECT_TRUE(machine.errors.empty());
}

TEST_F(ScriptLibraryFileTest, BuffersAreCheckedBeforeAnythingIsRead)
{
    FILE *f = std::fopen(path.c_str(), "w");
    std::fputs("0123456789abcdef\nnext\n", f);
    std::fclose(f);
    const int32_t file = open("fileOpenRead");
    library.bounds_check = true;
    put_text(kTarget, "keep");
    EXPECT_EQ(call_int("fileReadBlock", {I(file), A(kTarget, 8), I(16)}), -1);
    EXPECT_EQ(call_int("fileReadLine", {I(file), A(kTarget, 8), I(100)}), 0);
    EXPECT_EQ(call_int("fileWriteBlock", {I(file), A(kTarget, 8), I(16)}), 0);
    EXPECT_EQ(machine.errors.size(), 3u);
    EXPECT_EQ(text_at(kTarget), "keep");
    // Nothing was consumed: the next read starts at the beginning.
    EXPECT_EQ(call_int("fileReadLine", {I(file), A(kTarget, 100), I(100)}), 1);
    EXPECT_EQ(text_at(kTarget), "0123456789abcdef");

    // Past the data memory the run is aborted.
    machine.errors.clear();
    int result = 0;
    call("fileReadLine", {I(file), A(machine.data_capacity() - 2), I(10)}, false, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(machine.errors.size(), 1u);
    call("fileClose", {I(file)});
}

TEST_F(ScriptLibraryFileTest, FilePrintfStopsAfter1004Characters)
{
    const int32_t file = open("fileOpenWrite");
    put_text(kText, std::string(1000, 'a'));
    put_text(kFormat, "%s%s-tail");
    put_text(kOther, "0123456789");
    call("filePrintf", {I(file), A(kFormat), A(kText), A(kOther)}, true);
    call("fileClose", {I(file)});
    EXPECT_EQ(content(), std::string(1000, 'a') + "0123456789"); // formatting stopped before "-tail"
}

// ---------------------------------------------------------------------------
// Time

class ScriptLibraryTimeTest : public ScriptLibraryTest
{
protected:
    void SetUp() override
    {
        const char *tz = std::getenv("TZ");
        saved_tz = tz ? tz : "";
        had_tz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (had_tz)
            setenv("TZ", saved_tz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string saved_tz;
    bool had_tz = false;
};

TEST_F(ScriptLibraryTimeTest, LocalTimeAsFieldsAndAsText)
{
    call("timeGetLocal", {A(kValues)});
    std::vector<int32_t> fields;
    for (int k = 0; k < 9; ++k)
        fields.push_back(int_at(kValues + 4 * k));
    EXPECT_EQ(fields, (std::vector<int32_t>{40, 46, 1, 9, 8, 101, 0, 251, 0}));
    std::memset(machine.data_pointer(kTarget, 30), 'x', 30);
    call("timeGetLocalString", {A(kTarget)});
    EXPECT_EQ(text_at(kTarget), "Sun Sep  9 01:46:40 2001");
    EXPECT_EQ(*machine.data_pointer(kTarget + 25, 1), 'x'); // 25 bytes written, no more
}

// ---------------------------------------------------------------------------
// Destinations are checked

TEST_F(ScriptLibraryTest, WithBoundsCheckingASizeBoundStopsTheWrite)
{
    library.bounds_check = true;
    put_text(kText, "too long for it");
    put_text(kTarget, "keep");
    int result = 0;
    call("strcpy", {A(kTarget, 8), A(kText, 16)}, false, &result);
    EXPECT_EQ(result, 0); // reported, and the run goes on
    EXPECT_EQ(text_at(kTarget), "keep");
    ASSERT_EQ(machine.errors.size(), 1u);
    EXPECT_EQ(machine.errors[0], "strcpy: Array bounds violated\n");

    // Each native respects the bound of its destination.
    machine.errors.clear();
    put_text(kFormat, "%s");
    call("sprintf", {A(kTarget, 8), A(kFormat, 3), A(kText, 16)}, true);
    call("memcpy", {A(kTarget, 8), A(kText, 16), I(9)});
    call("strcat", {A(kTarget, 8), A(kText, 16)});
    call("strncpy", {A(kTarget, 8), A(kText, 16), I(9)});
    call("int_to_ascii", {I(123456789), A(kTarget, 8), I(10), I(20)});
    call("timeGetLocalString", {A(kTarget, 24)});
    call("timeGetLocal", {A(kValues, 32)});
    EXPECT_EQ(machine.errors.size(), 7u);
    EXPECT_EQ(text_at(kTarget), ""); // only sprintf's emptying reached it

    // Splitting stores what fits and stops at the bound.
    machine.errors.clear();
    put_text(kText, "01 02 03");
    put_int(kValues + 8, -7);
    EXPECT_EQ(call_int("splitHexString2", {A(kText, 9), A(kValues, 8), I(10)}), 2);
    EXPECT_EQ(int_at(kValues + 8), -7);
    EXPECT_EQ(machine.errors.size(), 1u);

    // A text without its terminating zero inside the bound is not read past it.
    machine.errors.clear();
    std::memcpy(machine.data_pointer(kText, 4), "abcd", 4);
    EXPECT_EQ(call_int("strlen", {A(kText, 4)}), 0);
    EXPECT_EQ(machine.errors.size(), 1u);

    // A bound of 0 (an address passed with "&") is limited by the data memory only.
    machine.errors.clear();
    call("convertDoubleToIEEE32", {D(1.0), A(kValues, 0)});
    EXPECT_TRUE(machine.errors.empty());
}

// strncpy and strncat read at most their count from the source, as the C
// library does: a full char array without a terminating zero is a valid
// source, also at the very end of the data memory.
TEST_F(ScriptLibraryTest, CountedCopiesNeedNoZeroWithinTheirCount)
{
    library.bounds_check = true;
    std::memcpy(machine.data_pointer(kText, 4), "abcd", 4);
    call("strncpy", {A(kTarget, 8), A(kText, 4), I(4)});
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(machine.data_pointer(kTarget, 4)), 4), "abcd");
    put_text(kTarget, "xy");
    call("strncat", {A(kTarget, 8), A(kText, 4), I(4)});
    EXPECT_EQ(text_at(kTarget), "xyabcd");
    EXPECT_TRUE(machine.errors.empty());
    // A count beyond the source's bound still reads past it: reported.
    call("strncpy", {A(kTarget, 8), A(kText, 4), I(6)});
    EXPECT_EQ(machine.errors, (std::vector<std::string>{"strncpy: Array bounds violated\n"}));

    library.bounds_check = false;
    machine.errors.clear();
    const int32_t end = machine.data_capacity();
    std::memset(machine.data_pointer(end - 3, 3), 'z', 3);
    put_text(kTarget, "abcd");
    int result = 0;
    call("strncpy", {A(kTarget), A(end - 3), I(3)}, false, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(text_at(kTarget), "zzzd"); // three bytes copied, no zero added
    EXPECT_TRUE(machine.errors.empty());
}

TEST_F(ScriptLibraryTest, WithoutBoundsCheckingTheSizeBoundIsIgnored)
{
    put_text(kText, "longer than eight");
    call("strcpy", {A(kTarget, 8), A(kText, 3)});
    EXPECT_EQ(text_at(kTarget), "longer than eight");
    EXPECT_TRUE(machine.errors.empty());
}

TEST_F(ScriptLibraryTest, AccessBeyondTheDataMemoryAbortsTheRun)
{
    const int32_t end = machine.data_capacity();
    put_text(kText, "abc");
    put_text(kOther, "12 ");
    struct Case {
        const char *native;
        std::vector<Arg> args;
        bool variadic;
    };
    const Case cases[] = {
        {"strcpy", {A(end - 2), A(kText)}, false},
        {"memcpy", {A(kTarget), A(end - 4), I(8)}, false},
        {"strlen", {A(-1)}, false},
        {"sprintf", {A(end), A(kText)}, true},
        {"splitIntString", {A(kOther), A(end - 2), I(1)}, false},
        {"fileReadLine", {I(0), A(end), I(4)}, false},
        {"timeGetLocal", {A(end - 8)}, false},
        {"convertDoubleToIEEE64", {D(1.0), A(kValues), A(end - 2)}, false},
    };
    for (const Case &c : cases) {
        machine.errors.clear();
        int result = 0;
        call(c.native, c.args, c.variadic, &result);
        // fileReadLine with an invalid handle never touches its buffer.
        const bool touches = std::string(c.native) != "fileReadLine";
        EXPECT_EQ(result, touches ? -1 : 0) << c.native;
        EXPECT_EQ(machine.errors.size(), touches ? 1u : 0u) << c.native;
    }
    // A text that runs to the end of the data memory without a zero.
    std::memset(machine.data_pointer(end - 4, 4), 'x', 4);
    machine.errors.clear();
    int result = 0;
    call("strlen", {A(end - 4)}, false, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(machine.errors.size(), 1u);
}

// ---------------------------------------------------------------------------
// Registration: the header compiled by the real compiler

using script_test::RecordingCompiler;

TEST(ScriptBuiltinRegistration, EveryDeclaredNameIsBoundToItsNative)
{
    RecordingCompiler compiler;
    EXPECT_EQ(register_script_builtins(&compiler), 0);
    EXPECT_TRUE(compiler.errors.empty());
    EXPECT_EQ(compiler.source, nullptr);
    int count = 0;
    const ScriptBuiltin *builtins = script_builtins(&count);
    EXPECT_EQ(count, 64);
    for (int k = 0; k < count; ++k) {
        const ScriptSymbol *symbol = compiler.table.find(builtins[k].name, 0);
        ASSERT_TRUE(symbol && symbol->kind() == SYMBOL_FUNCTION) << builtins[k].name;
        const PCodeFunction *entry = compiler.vm.function(int(static_cast<const ScriptFunction *>(symbol)->index));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->kind, PCodeFunction::native) << builtins[k].name;
        EXPECT_EQ(entry->entry, builtins[k].native) << builtins[k].name;
    }
    const auto *pi = static_cast<const ScriptConstant *>(compiler.table.find("M_PI", 0));
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(pi->double_value, 3.14159265359);
    EXPECT_EQ(static_cast<const ScriptConstant *>(compiler.table.find("SEEK_END", 0))->int_value, 2);
    EXPECT_TRUE(static_cast<const ScriptFunction *>(compiler.table.find("printf", 0))->variadic);
}

TEST(ScriptBuiltinRegistration, AHeaderThatFailsToCompileBindsNothingAndStillAnswers0)
{
    RecordingCompiler compiler;
    ScriptStringSource prelude;
    prelude.set_text("__pragma_internal;\nint strlen;\n");
    compiler.source = &prelude;
    ASSERT_EQ(compiler.compile(), 0);
    EXPECT_EQ(register_script_builtins(&compiler), 0);
    ASSERT_FALSE(compiler.errors.empty());
    EXPECT_EQ(compiler.source, nullptr);
    // Functions declared before the failure are left without their natives.
    const auto *print = static_cast<const ScriptFunction *>(compiler.table.find("print", 0));
    ASSERT_NE(print, nullptr);
    const PCodeFunction *entry = compiler.vm.function(int(print->index));
    EXPECT_TRUE(!entry || !entry->bound());
}

} // namespace
