// Declarations compiled by the real grammar: the initial bytes that
// initializers leave in data memory, their errors and warnings, and the
// values and errors of constant expressions.
#include "script/pcode_machine.h"
#include "script/script_compiler.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "tests/script/script_test_host.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Compiles a script and runs its "variables" blocks, collecting messages.
class DeclarationHost : public script_test::RecordingCompiler {
public:
    int compile_text(const std::string &text)
    {
        ScriptStringSource script;
        script.set_text(text.c_str());
        source = &script;
        const int result = compile();
        source = nullptr;
        return result;
    }

    // Runs the blocks over data memory filled with `fill`, so that bytes the
    // initializers leave alone show.
    void run_variables(uint8_t fill)
    {
        std::memset(vm.data_pointer(0, vm.data_capacity()), fill, size_t(vm.data_capacity()));
        for (int32_t block : blocks)
            ASSERT_EQ(vm.run(nullptr, block), 0);
    }

    const ScriptVariable &variable(const char *name)
    {
        const ScriptSymbol *symbol = table.find(name, 0);
        EXPECT_TRUE(symbol && symbol->kind() == SYMBOL_VARIABLE) << name;
        return *static_cast<const ScriptVariable *>(symbol);
    }

    std::vector<int32_t> ints(const char *name)
    {
        const ScriptVariable &v = variable(name);
        std::vector<int32_t> values;
        for (int k = 0; k < v.storage_size() / 4; ++k)
            values.push_back(vm.data_int(int32_t(v.address) + 4 * k));
        return values;
    }

    std::vector<uint8_t> bytes(const char *name)
    {
        const ScriptVariable &v = variable(name);
        const uint8_t *p = vm.data_pointer(int32_t(v.address), v.storage_size());
        return std::vector<uint8_t>(p, p + v.storage_size());
    }

    int hook_detected(const char *name) override
    {
        if (std::strcmp(name, "variables") == 0)
            blocks.push_back(vm.code_position());
        return 0;
    }

    std::vector<int32_t> blocks;
};

// Compiles "variables { <declarations> }" and runs it over 0xEE bytes.
struct Compiled {
    DeclarationHost host;
    int result;

    explicit Compiled(const std::string &declarations)
    {
        result = host.compile_text("variables {\n" + declarations + "\n}\n");
        if (result == 0)
            host.run_variables(0xEE);
    }
};

TEST(ScriptInitializer, NestedListsGiveTheRowsAndPadThem)
{
    Compiled c("int table[2][3] = {{1}, {4, 5}};");
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.host.ints("table"), (std::vector<int32_t>{1, 0, 0, 4, 5, 0}));
}

TEST(ScriptInitializer, AnOpenDimensionComesFromTheList)
{
    Compiled c("int open[] = {1, 2, 3};\nint after;");
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.host.variable("open").dim1, 3);
    EXPECT_EQ(c.host.ints("open"), (std::vector<int32_t>{1, 2, 3}));
    // Its storage was given: the next variable lies behind its 12 bytes.
    EXPECT_GE(c.host.variable("after").address, c.host.variable("open").address + 12);

    // With a second dimension it counts the rows; values given without
    // braces fill rows, the last one padded with zeros.
    Compiled rows("int nested[][2] = {{1}, {2, 3}, {4}};\nint flat[][2] = {1, 2, 3};\nint behind;");
    ASSERT_EQ(rows.result, 0);
    EXPECT_EQ(rows.host.variable("nested").dim1, 3);
    EXPECT_EQ(rows.host.ints("nested"), (std::vector<int32_t>{1, 0, 2, 3, 4, 0}));
    EXPECT_EQ(rows.host.variable("flat").dim1, 2);
    EXPECT_EQ(rows.host.ints("flat"), (std::vector<int32_t>{1, 2, 3, 0}));
    EXPECT_GE(rows.host.variable("behind").address, rows.host.variable("flat").address + 16);

    // An open array of structs counts its braced elements.
    Compiled structs("struct P { int x; char y; };\nstruct P points[] = {{4, 5}, {y = 6}};\nint last;");
    ASSERT_EQ(structs.result, 0);
    EXPECT_EQ(structs.host.variable("points").dim1, 2);
    EXPECT_EQ(structs.host.bytes("points"), (std::vector<uint8_t>{4, 0, 0, 0, 5, 0, 0, 0, 0, 6}));
    EXPECT_GE(structs.host.variable("last").address, structs.host.variable("points").address + 10);
}

// The outermost list is padded with zeros like the nested ones, whatever
// memory held before.
TEST(ScriptInitializer, TheOutermostListIsPaddedWithZeros)
{
    Compiled c("int a[5] = {1, 2};\n"
               "int rows[3][2] = {{7}};\n"
               "double d[3] = {1.5};\n"
               "char c[4] = {'x'};\n"
               "struct P { int x; char y; };\n"
               "struct P points[3] = {{1, 2}};");
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.host.ints("a"), (std::vector<int32_t>{1, 2, 0, 0, 0}));
    EXPECT_EQ(c.host.ints("rows"), (std::vector<int32_t>{7, 0, 0, 0, 0, 0}));
    std::vector<uint8_t> expected(24, 0);
    const double one_and_a_half = 1.5;
    std::memcpy(expected.data(), &one_and_a_half, 8);
    EXPECT_EQ(c.host.bytes("d"), expected);
    EXPECT_EQ(c.host.bytes("c"), (std::vector<uint8_t>{'x', 0, 0, 0}));
    EXPECT_EQ(c.host.bytes("points"), (std::vector<uint8_t>{1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ScriptInitializer, StructMembersInOrderAndByName)
{
    Compiled c("struct P { int x; char tag; int y; };\n"
               "struct P first = {3, 'o', 4};\n"
               "struct P named = {y = 9};");
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.host.bytes("first"), (std::vector<uint8_t>{3, 0, 0, 0, 'o', 4, 0, 0, 0}));
    EXPECT_EQ(c.host.bytes("named"), (std::vector<uint8_t>{0, 0, 0, 0, 0, 9, 0, 0, 0}));
}

TEST(ScriptInitializer, TextsIntoCharArrays)
{
    Compiled fits("char s[4] = \"abc\";\nchar rows[2][4] = {\"ab\", \"xyz\"};\nbyte open[] = \"hi\";");
    ASSERT_EQ(fits.result, 0);
    EXPECT_EQ(fits.host.bytes("s"), (std::vector<uint8_t>{'a', 'b', 'c', 0}));
    EXPECT_EQ(fits.host.bytes("rows"), (std::vector<uint8_t>{'a', 'b', 0, 0, 'x', 'y', 'z', 0}));
    EXPECT_EQ(fits.host.variable("open").dim1, 3);
}

TEST(ScriptInitializer, RefusedInitializers)
{
    const struct {
        const char *declaration;
        const char *error;
    } cases[] = {
        {"char s[3] = \"abc\";", "Too many characters in initializing string"},
        {"char rows[2][2] = {\"ab\"};", "Too many characters in initializing string"},
        {"int a[2] = {1, 2, 3};", "Too many initializers for array"},
        {"int a[2][2] = {{1}, {2}, {3}};", "Too many initializers for array"},
        {"int a[2] = {{1}};", "Too many levels of initializers"},
        {"int a[4] = \"abc\";", "Only arrays of 'byte' and 'char' can be initialized in this way"},
        {"char a[2][4] = \"abc\";", "Two-dimensional array needs two-dimensional initializer"},
        {"struct P { int x; };\nstruct P p = {1, 2};", "Too many 'struct' initializers"},
        {"struct P { int x; };\nstruct P p = {z = 1};", "Component 'z' not found"},
        {"struct P { int x; };\nstruct P open[] = {1, 2};", "Illegal type for initialized array"},
        {"int a[0];", "Array dimension must be > 0."},
        // Sizes past the int range would wrap and overlap the variables after them.
        {"int a[1073741824];", "Array too large."},
        {"double g[65536][4096];", "Array too large."},
        {"int g[][1073741824] = {1};", "Array too large."},
        {"struct S { byte a[2000000000]; byte b[2000000000]; };", "Array too large."},
    };
    for (const auto &c : cases) {
        Compiled compiled(c.declaration);
        EXPECT_EQ(compiled.result, -1) << c.declaration;
        ASSERT_FALSE(compiled.host.errors.empty()) << c.declaration;
        EXPECT_EQ(compiled.host.errors[0], c.error) << c.declaration;
    }
}

TEST(ScriptDeclaration, StoragePastTheIntRangeIsRefused)
{
    // Each array fits alone; the running total of a frame or of the data
    // memory does not, or the memory cannot grow to hold it.
    const struct {
        const char *script;
        const char *error;
    } cases[] = {
        {"void f()\n{\n  char a[2147483647];\n  char b[2147483644];\n  int c;\n}\n", "Array too large."},
        {"void f()\n{\n  int x;\n  byte a[2147483644];\n}\n", "Array too large."},
        {"variables {\n  char a[2147483000];\n}\n", "Not enough memory for the variables."},
        {"variables {\n  int x;\n  char open[] = \"abc\";\n  char a[2147483600];\n}\n",
         "Not enough memory for the variables."},
    };
    // A text argument is written into the frame too.
    const std::string text_argument = "void g(char s[])\n{\n}\nvoid f()\n{\n  char a[2147483600];\n  g(\"" +
                                      std::string(100, 'x') + "\");\n}\n";
    std::vector<std::pair<std::string, std::string>> all = {{text_argument, "Array too large."}};
    for (const auto &c : cases)
        all.emplace_back(c.script, c.error);
    for (const auto &[script, error] : all) {
        DeclarationHost host;
        EXPECT_EQ(host.compile_text(script), -1) << script;
        ASSERT_FALSE(host.errors.empty()) << script;
        EXPECT_EQ(host.errors[0], error) << script;
    }

    DeclarationHost fits;
    EXPECT_EQ(fits.compile_text("void f()\n{\n  char a[2147483000];\n  int c;\n}\n"), 0);
}

TEST(ScriptInitializer, FloatingPointValuesForIntegersAreTruncatedWithAWarning)
{
    Compiled c("int a[2] = {1.7, -1.7};\nstruct P { char c; double d; };\nstruct P p = {65.9, 2};");
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.host.ints("a"), (std::vector<int32_t>{1, -1}));
    EXPECT_EQ(c.host.warnings, (std::vector<std::string>{"Floating-point array initializer truncated",
                                                          "Floating-point array initializer truncated",
                                                          "Floating-point 'struct' initializer truncated"}));
    const std::vector<uint8_t> p = c.host.bytes("p");
    double d = 0.0;
    std::memcpy(&d, p.data() + 1, sizeof d);
    EXPECT_EQ(p[0], 65);
    EXPECT_EQ(d, 2.0);
}

// ---------------------------------------------------------------------------
// Constants

const ScriptConstant *constant(DeclarationHost &host, const char *name)
{
    const ScriptSymbol *symbol = host.table.find(name, 0);
    return symbol && symbol->kind() == SYMBOL_CONSTANT ? static_cast<const ScriptConstant *>(symbol) : nullptr;
}

TEST(ScriptConstants, IntegerExpressionsFoldAtCompileTime)
{
    const struct {
        const char *expression;
        int32_t value;
    } cases[] = {
        {"7 * 3 + 10 % 4", 23},
        {"-7 / 2", -3},           // truncated toward zero
        {"-7 % 3", -1},           // with the sign of the dividend
        {"1 << 4 | 1", 32},       // "|" binds tighter than the shift
        {"6 & 3 ^ 1", 3},         // "&" binds tighter than "^"
        {"-16 >> 2", -4},         // arithmetic shift
        {"~0", -1},
        {"!5 + !0", 1},
        {"'A' + 1", 66},
        {"2147483647 + 1", INT32_MIN}, // 32-bit wrapping
        {"7.9 % 4", 3},           // doubles truncated for the integer operators
        {"(2 + 3) * 4", 20},
        {"BASE * 2", 20},
    };
    for (const auto &c : cases) {
        DeclarationHost host;
        ASSERT_EQ(host.compile_text(std::string("variables {\nconst BASE = 10;\nconst X = ") + c.expression +
                                    ";\n}\n"),
                  0)
            << c.expression;
        const ScriptConstant *x = constant(host, "X");
        ASSERT_NE(x, nullptr);
        EXPECT_EQ(x->type, TYPE_INT) << c.expression;
        EXPECT_EQ(x->int_value, c.value) << c.expression;
    }
}

TEST(ScriptConstants, DoublesAndTheTypeWordThatHasNoEffect)
{
    DeclarationHost host;
    ASSERT_EQ(host.compile_text("variables {\nconst double ONE = 1;\nconst HALF = 1 / 2.0, MIXED = 3 * 0.5;\n"
                                "const int D = 2.5;\n}\n"),
              0);
    EXPECT_EQ(constant(host, "ONE")->type, TYPE_INT);
    EXPECT_EQ(constant(host, "HALF")->type, TYPE_DOUBLE);
    EXPECT_EQ(constant(host, "HALF")->double_value, 0.5);
    EXPECT_EQ(constant(host, "MIXED")->double_value, 1.5);
    EXPECT_EQ(constant(host, "D")->type, TYPE_DOUBLE);
}

TEST(ScriptConstants, ErrorsOfConstantExpressions)
{
    const struct {
        const char *definition;
        const char *error;
    } cases[] = {
        {"const X = 1 / 0;", "Division by zero in integer constant expression"},
        {"const X = 1.0 / 0.0;", "Division by zero in double constant expression"},
        {"const X = 1 / 0.0;", "Division by zero in double constant expression"},
        {"const X = 5 % 0;", "Modulo zero in constant-expression not allowed"},
        {"const X = 5 % 0.5;", "Modulo zero in constant-expression not allowed"},
        {"const X = UNKNOWN + 1;", "Symbol 'UNKNOWN' not found."},
        {"int v;\nconst X = v;", "Symbol 'v' must be a constant"},
        {"const X = 1;\nconst X = 2;", "Symbol \"X\" already defined"},
        {"enum E { A, B, A };", "Symbol \"A\" already defined"},
    };
    for (const auto &c : cases) {
        DeclarationHost host;
        EXPECT_EQ(host.compile_text(std::string("variables {\n") + c.definition + "\n}\n"), -1) << c.definition;
        ASSERT_FALSE(host.errors.empty()) << c.definition;
        EXPECT_EQ(host.errors[0], c.error) << c.definition;
    }
}

TEST(ScriptConstants, EnumsCountOnFromTheirLastValue)
{
    DeclarationHost host;
    ASSERT_EQ(host.compile_text("variables {\nenum E { A, B = 5, C, D = 2.9, F };\nenum G { H };\n"
                                "enum M { LAST = 2147483647, WRAPPED };\n}\n"),
              0);
    const std::pair<const char *, int32_t> expected[] = {{"A", 0}, {"B", 5}, {"C", 6}, {"D", 2},
                                                         {"F", 3}, {"H", 0}, {"WRAPPED", INT32_MIN}};
    for (const auto &e : expected) {
        const ScriptConstant *c = constant(host, e.first);
        ASSERT_NE(c, nullptr) << e.first;
        EXPECT_EQ(c->int_value, e.second) << e.first;
    }
    EXPECT_EQ(host.table.find("E", 0), nullptr); // the enum's own name is not declared
}

} // namespace
