// The grammar and its code generation, end to end: scripts are compiled by
// the real lexer and grammar into a machine and their handlers are run.
#include "test_paths.h"
#include "tests/script/pcode_assembler.h"
#include "tests/script/script_test_host.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include <string>

using script_test::TestHost;

namespace {

std::string read_file(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::string();
    return file.readAll().toStdString();
}

// What compiling the script and running its start handlers writes.
std::string transcript_of(const std::string &script, bool bounds_check)
{
    TestHost host;
    host.bounds_check = bounds_check;
    const int result = host.compile_script(script);
    if (result == 0)
        host.run_start_handlers();
    else
        host.transcript += "--- result " + std::to_string(result) + "\n";
    return host.transcript;
}

} // namespace

// Every tests/script/grammar/NAME.vys is compiled and run, with and without
// bounds checking; its transcript must equal NAME.expected.
TEST(ScriptGrammarGolden, ScriptsCompileAndRunAsExpected)
{
    const QDir dir(vyr_test::source_dir() + "/tests/script/grammar");
    const QStringList scripts = dir.entryList({QStringLiteral("*.vys")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(scripts.isEmpty());
    for (const QString &name : scripts) {
        SCOPED_TRACE(name.toStdString());
        const std::string expected = read_file(dir.filePath(QString(name).replace(".vys", ".expected")));
        EXPECT_FALSE(expected.empty()) << "no expected transcript";
        const std::string script = read_file(dir.filePath(name));
        EXPECT_EQ(transcript_of(script, false), expected);
        EXPECT_EQ(transcript_of(script, true), expected) << "with bounds checking";
    }
}

namespace {

struct ErrorCase {
    const char *script;
    const char *message; // the first error line of the transcript
    int result;          // of compile
};

std::string first_error(const std::string &transcript)
{
    const size_t start = transcript.find("Error (line ");
    if (start == std::string::npos)
        return std::string();
    return transcript.substr(start, transcript.find('\n', start) - start);
}

// A function with 65 parameters and a call nested 65 deep.
std::string many_parameters()
{
    std::string text = "int f (";
    for (int i = 0; i < 65; ++i)
        text += (i ? ", int p" : "int p") + std::to_string(i);
    return text + ") { return 0; }\n";
}

std::string nested(const std::string &open, const std::string &inner, const std::string &close, int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += open;
    text += inner;
    for (int i = 0; i < depth; ++i)
        text += close;
    return text;
}

} // namespace

TEST(ScriptGrammarErrors, MessagesAndLines)
{
    const std::string deep_calls =
        "int f (int x) { return x; }\non start\n{\n    put(" + nested("f(", "1", ")", 65) + ");\n}\n";
    const std::string deep_ifs = "on start\n{\n" + nested("if (1) ", "put(1);", "", 65) + "\n}\n";
    const std::string deep_initializer =
        "variables\n{\n"
        "    struct A { int v; };\n    struct B { struct A a; };\n    struct C { struct B b; };\n"
        "    struct D { struct C c; };\n    struct E { struct D d; };\n    struct F { struct E e; };\n"
        "    struct F x = { e = { d = { c = { b = { a = { 1 } } } } } };\n}\n";
    const std::string too_many_parameters = many_parameters();

    const ErrorCase cases[] = {
        // Statements.
        {"on start\n{\n    break;\n}\n", "Error (line 3): 'break' is not allowed outside of loops.", -1},
        {"on start\n{\n    switch (1) {\n    case 1:\n        continue;\n    }\n}\n",
         "Error (line 5): 'continue' is not allowed outside of loops.", -1},
        {"on start\n{\n    switch (1) {\n    default: put(1);\n    default: put(2);\n    }\n}\n",
         "Error (line 5): 'default' must not be defined twice in switch-statement.", -1},
        {"on start\n{\n    return 1;\n}\n", "Error (line 3): Return not allowed in startup code", -1},
        {"void f ()\n{\n    return 1.5;\n}\n",
         "Error (line 3): Attempt to return type 'double' from function with return type 'void'.", -1},
        {"on start\n{\n    int f (int a) { return a; }\n}\n",
         "Error (line 3): Definition of function only possible on top level.", -1},
        {"string f () { }\n", "Error (line 1): Type 'string' is not allowed as function return type.", -1},
        {too_many_parameters.c_str(), "Error (line 1): Too many function parameter.", -1},
        // Calls.
        {"int f (int a, int b, int c) { return a; }\non start\n{\n    put(f(1, 2));\n}\n",
         "Error (line 4): Invalid parameter count in function call", -1},
        {"on start\n{\n    nothing(1);\n}\n", "Error (line 3): Function \"nothing\" not defined.", -1},
        {"on start\n{\n    output(1);\n}\n", "Error (line 3): Function \"canSendMessage\" not defined.", -1},
        {"void f (int &x) { }\non start\n{\n    f(1);\n}\n",
         "Error (line 4): Parameter 1 is a reference parameter; use '&' before it", -1},
        {"void f (int &x) { }\nvariables\n{\n    double d;\n}\non start\n{\n    f(&d);\n    put(1);\n}\n",
         "Error (line 8): Type of reference parameter 1 is double; expected int", -1},
        {"void f (int &x) { }\nvariables\n{\n    const int K = 1;\n}\non start\n{\n    f(&K);\n}\n",
         "Error (line 8): Symbol 'K' cannot be passed as a reference.", -1},
        {"void f (int &x) { }\non start\n{\n    f(&zz);\n}\n", "Error (line 4): Symbol 'zz' not found.", -1},
        {"void f (int x) { }\non start\n{\n    f(\"text\");\n}\n",
         "Error (line 4): Function parameter 1 must be of type char[]", -1},
        // Values and operators.
        {"on start\n{\n    put(x);\n}\n", "Error (line 3): Symbol 'x' not found.", -1},
        {"variables\n{\n    string s;\n    string t;\n}\non start\n{\n    put(s + t);\n}\n",
         "Error (line 8): Invalid data types (string,string) for binary operator", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    put(s == 1);\n}\n",
         "Error (line 7): Invalid data types (string,int) for binary operator", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    put(s | 1.5);\n}\n",
         "Error (line 7): Invalid data types (string,double) for binary integer-operator", -1},
        {"variables\n{\n    string s;\n    string t;\n}\non start\n{\n    put(s | t);\n}\n",
         "Error (line 8): Invalid data types (string,string) for binary integer-operator", -1},
        {"variables\n{\n    char a[4];\n}\non start\n{\n    put(a << a);\n}\n",
         "Error (line 7): Invalid data types (array,array) for binary integer-operator", -1},
        {"void f () { }\non start\n{\n    put(f() + 1);\n}\n",
         "Error (line 4): 'void' type not allowed in binary operation", -1},
        {"void f () { }\non start\n{\n    put(-f());\n}\n", "Error (line 4): 'void' type not allowed for '-'", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    put(-s);\n}\n", "Error (line 7): Unary '-' not allowed", -1},
        {"on start\n{\n    put(~1.5);\n}\n", "Error (line 3): '~' not allowed for type 'double'.", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    putd((double) s);\n}\n",
         "Error (line 7): Invalid type for casting to 'double'", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    put((int) s);\n}\n",
         "Error (line 7): Invalid type for casting to 'int'", -1},
        {"variables\n{\n    int a;\n}\non start\n{\n    a[1] = 2;\n}\n",
         "Error (line 7): Left side of [] must be of array type", -1},
        {"variables\n{\n    int a[3];\n}\non start\n{\n    a[1][1] = 2;\n}\n",
         "Error (line 7): Left side of [] must be of array type", -1},
        {"variables\n{\n    struct P { int x; };\n    struct P a[3];\n}\non start\n{\n    a[1][1].x = 2;\n}\n",
         "Error (line 8): Left side of [] must be of array type", -1},
        {"variables\n{\n    int a[3];\n}\non start\n{\n    a[1.5] = 2;\n}\n",
         "Error (line 7): Array offset must be of type integer.", -1},
        {"variables\n{\n    char a[3];\n}\non start\n{\n    puts(a + 1.5);\n}\n",
         "Error (line 7): Array offset must be of type integer.", -1},
        {"variables\n{\n    struct P { int x; };\n    struct P p;\n}\non start\n{\n    put(p.byte(1));\n}\n",
         "Error (line 8): Component 'byte' not found in struct 'P'.", -1},
        {"variables\n{\n    struct P { int data; };\n    struct P p;\n}\non start\n{\n    put(p.byte(1));\n}\n",
         "Error (line 8): Left side of [] must be of array type", -1},
        {"variables\n{\n    int a;\n}\non start\n{\n    a.x = 2;\n}\n",
         "Error (line 7): Operator '.' is only valid on right side of struct.", -1},
        {"variables\n{\n    struct Point { int x; };\n    struct Point p;\n}\non start\n{\n    p.z = 2;\n}\n",
         "Error (line 8): Component 'z' not found in struct 'Point'.", -1},
        {"variables\n{\n    const int K = 1;\n}\non start\n{\n    K++;\n}\n",
         "Error (line 7): Non lvalue not allowed for ++ operator.", -1},
        {"variables\n{\n    const int K = 1;\n}\non start\n{\n    --K;\n}\n",
         "Error (line 7): Non lvalue not allowed for -- operator.", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    --s;\n}\n", "Error (line 7): '--' not allowed for type 'string'.",
         -1},
        {"variables\n{\n    int a;\n}\non start\n{\n    put(elCount(a));\n}\n",
         "Error (line 7): elCount() is not known for this type.", -1},
        {"on start\n{\n    put(sizeof(zz));\n}\n", "Error (line 3): sizeof(zz) is not known because zz is undefined.", -1},
        {"void f () { }\non start\n{\n    put(sizeof(f));\n}\n", "Error (line 4): sizeof(f) is not known for this type.",
         -1},
        // Assignments.
        {"variables\n{\n    const int K = 1;\n}\non start\n{\n    K = 2;\n}\n",
         "Error (line 7): Constant 'K' not allowed on left side of assignment.", -1},
        {"variables\n{\n    const int K = 1;\n}\non start\n{\n    K += 2;\n}\n",
         "Error (line 7): Non lvalue not allowed for += operator.", -1},
        {"void f () { }\nvariables\n{\n    int a;\n}\non start\n{\n    a = f();\n}\n",
         "Error (line 8): 'void' type not allowed in assignment", -1},
        {"variables\n{\n    double d;\n}\non start\n{\n    d %= 2;\n}\n", "Error (line 7): lvalue of type 'int' required",
         -1},
        {"variables\n{\n    struct Point { int x; };\n    struct Point p;\n    int a;\n}\non start\n{\n    a = p;\n}\n",
         "Error (line 9): Structs or array types are not allowed in assignments", -1},
        {"variables\n{\n    struct Point { int x; };\n    struct Point p;\n    int a;\n}\non start\n{\n    a += p;\n}\n",
         "Error (line 9): structs and arrays types are not allowed in assignments", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    s = 1;\n}\n",
         "Error (line 7): Invalid type 6 on left side of assignment.", -1},
        {"variables\n{\n    string s;\n}\non start\n{\n    s += 1;\n}\n",
         "Error (line 7): Invalid data type - no suited operator available.", -1},
        // Declarations.
        {"variables\n{\n    int a;\n    double a;\n}\n", "Error (line 4): Symbol \"a\" already defined", -1},
        {"variables\n{\n    int a;\n}\nenvvar\n{\n    int a;\n}\n", "Error (line 7): Symbol \"a\" already defined", -1},
        {"variables\n{\n    Foo x;\n}\n", "Error (line 3): Ident 'Foo' not found", -1},
        {"variables\n{\n    int CanMessage;\n    message Engine m;\n}\n", "Error (line 4): Userdefined type expected",
         -1},
        {"variables\n{\n    message can1 Engine;\n}\n", "Error (line 3): Expected '.' after 'can*'", -1},
        {"variables\n{\n    message can1.;\n}\n", "Error (line 3): Expected identifier after 'can*.'", -1},
        {"variables\n{\n    struct S { int a; char a; };\n}\n",
         "Error (line 3): Component with name 'a' already defined.", -1},
        {"variables\n{\n    int a[0];\n}\n", "Error (line 3): Array dimension must be > 0.", -1},
        {"variables\n{\n    const int A = 1 / 0;\n}\n", "Error (line 3): Division by zero in integer constant expression",
         -1},
        {"variables\n{\n    int v;\n    const int A = v;\n}\n", "Error (line 4): Symbol 'v' must be a constant", -1},
        {"variables\n{\n    int a[2] = {1, 2, 3};\n}\n", "Error (line 3): Too many initializers for array", -1},
        {"variables\n{\n    char a[3] = \"abc\";\n}\n", "Error (line 3): Too many characters in initializing string", -1},
        {"variables\n{\n    int a[2] = {{1}};\n}\n", "Error (line 3): Too many levels of initializers", -1},
        {"variables\n{\n    struct P { int x; };\n    struct P p = {1, 2};\n}\n",
         "Error (line 4): Too many 'struct' initializers", -1},
        {"variables\n{\n    struct P { int x; };\n    struct P p = {{1}};\n}\n",
         "Error (line 4): Internal Error: Variable in initializer missing", -1},
        {"variables\n{\n    struct P { int x; };\n    struct P p = {y = 1};\n}\n", "Error (line 4): Component 'y' not found",
         -1},
        {"variables\n{\n    char a[2][4] = \"abc\";\n}\n",
         "Error (line 3): Two-dimensional array needs two-dimensional initializer", -1},
        {"variables\n{\n    int a[4] = \"abc\";\n}\n",
         "Error (line 3): Only arrays of 'byte' and 'char' can be initialized in this way", -1},
        {"variables\n{\n    struct P { int x; };\n    struct P p = \"abc\";\n}\n",
         "Error (line 4): String initializer not allowed for 'struct type'", -1},
        {"variables\n{\n    char a[2][3] = {\"abc\"};\n}\n", "Error (line 3): Too many characters in initializing string",
         -1},
        {"variables\n{\n    char a[2][3] = {{\"ab\"}};\n}\n", "Error (line 3): Array initializer nested too deep", -1},
        {"variables\n{\n    int a[2] = {x = 1};\n}\n", "Error (line 3): No 'struct' definition", -1},
        {"variables\n{\n    struct P { string s; };\n    struct P p = {1};\n}\n",
         "Error (line 4): Illegal type for initialized 'struct'", -1},
        // Nesting tables.
        {deep_calls.c_str(), "Error (line 4): Nesting too deep", -1},
        {deep_ifs.c_str(), "Error (line 3): Nesting too deep", -1},
        {deep_initializer.c_str(), "Error (line 9): Nesting too deep", -1},
        // Syntax.
        {"on start\n{\n    int ;\n}\n", "Error (line 3): parse error near `;', expecting `T_IDENT'", 1},
        {"on start\n{\n    for (; 1; )\n        put(1);\n}\n",
         "Error (line 3): parse error near `;', expecting `T_IDENT' or `T_INC' or `T_DEC' or `T_OUTPUT'", 1},
        {"on start\n{\n    put(1)\n}\n", "Error (line 4): parse error near `}', expecting `';''", 1},
        {"variables\n{\n    int x;\n}\non start\n{\n    x = ;\n}\n", "Error (line 7): parse error near `;'", 1},
        {"on start\n{\n    put(1e);\n}\n", "Error (line 3): parse error near `1e'", 1},
        {"int x;\n", "Error (line 1): parse error near `;', expecting `'(''", 1},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.script);
        TestHost host;
        EXPECT_EQ(host.compile_script(c.script), c.result);
        EXPECT_EQ(first_error(host.transcript), c.message);
    }
}

// The stacks double from 200 up to 10000 entries: deep nesting still parses,
// one level beyond the limit overflows.
TEST(ScriptGrammarErrors, ParserStackOverflow)
{
    {
        TestHost host;
        const std::string script = "on start\n{\n    put(" + nested("(", "1", ")", 5000) + ");\n}\n";
        EXPECT_EQ(host.compile_script(script), 0);
        host.run_start_handlers();
        EXPECT_EQ(host.transcript, "hook start\n--- start\n1\n");
    }
    TestHost host;
    const std::string script = "on start\n{\n    put(" + nested("(", "1", ")", 10000) + ");\n}\n";
    EXPECT_EQ(host.compile_script(script), 2);
    EXPECT_EQ(first_error(host.transcript), "Error (line 3): parser stack overflow");
}

// A host that refuses a handler or a signal ends the parse with the construct's message.
TEST(ScriptGrammarErrors, RefusedHandlersAndSignals)
{
    const struct {
        const char *refused;
        const char *script;
        const char *message;
    } cases[] = {
        {"start", "on start { }", "Error (line 1): Invalid 'on start' hook detected"},
        {"envvar", "on envvar { }", "Error (line 1): Invalid 'on envvar' hook detected"},
        {"message", "on message 5 { }", "Error (line 1): Invalid 'on message' hook detected"},
        {"key", "on key { }", "Error (line 1): Invalid 'on key' hook detected"},
        {"init", "init { }", "Error (line 1): Invalid 'init' hook detected"},
        {"startup", "startup { }", "Error (line 1): Invalid 'startup' hook detected"},
        {"stop", "stop { }", "Error (line 1): Invalid 'stop' hook detected"},
        {"thread", "thread { }", "Error (line 1): Invalid 'thread' hook detected"},
        {"Volts", "signal \"Volts\";", "Error (line 1): Invalid 'signal' definition detected"},
        {"Speed", "input \"Speed\" { }", "Error (line 1): Invalid 'input' hook detected"},
        {"Brake", "on signal \"Brake\" { }", "Error (line 1): Invalid 'on signal' hook detected"},
        {"Torque", "output \"Torque\" { }", "Error (line 1): Invalid 'output' hook detected"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        TestHost host;
        host.refused_hook = c.refused;
        EXPECT_EQ(host.compile_script(c.script), -1);
        EXPECT_EQ(first_error(host.transcript), c.message);
    }

    // "variables" is announced, but the host's answer is not looked at.
    TestHost host;
    host.refused_hook = "variables";
    EXPECT_EQ(host.compile_script("variables { int a; }"), 0);
}

// A refused default or signal attribute set ends the parse without a message;
// explicit handler attributes are not looked at.
TEST(ScriptGrammarErrors, RefusedAttributes)
{
    const struct {
        const char *script;
        int result;
    } cases[] = {
        {"signal \"Volts\";", -1},
        {"signal (digital) \"Volts\";", -1},
        {"input \"Speed\" { }", -1},
        {"input (10 ms, digital, event) \"Speed\" { }", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        TestHost host;
        host.attributes_result = -1;
        EXPECT_EQ(host.compile_script(c.script), c.result);
        EXPECT_EQ(first_error(host.transcript), "");
    }
}

namespace {

// The code from `start` to the end, and what the assembly text assembles to
// at that address (labels included).
struct CodeComparison {
    std::vector<uint8_t> compiled;
    std::vector<uint8_t> expected;
};

CodeComparison compare_code(const PCodeMachine &vm, int32_t start, const std::string &assembly)
{
    PCodeMachine scratch;
    scratch.append_code(vm.code(), start);
    PCodeAssembler assembler;
    assembler.lines(assembly);
    assembler.load(scratch);
    return {std::vector<uint8_t>(vm.code() + start, vm.code() + vm.code_length()),
            std::vector<uint8_t>(scratch.code() + start, scratch.code() + scratch.code_length())};
}

} // namespace

// The code each statement compiles to (globals a at 0, b at 4, d at 8).
TEST(ScriptGrammarCode, StatementLayout)
{
    const struct {
        const char *statement;
        const char *assembly;
    } cases[] = {
        {"if (a) b = 1; else b = 2;",
         "PUSH_GADDR_B 0; LOAD_I; JZ @else; PUSH_I1; PUSH_GADDR_B 4; STORE_I; JMP @end;"
         "else:; PUSH_I2; PUSH_GADDR_B 4; STORE_I; end:"},
        {"while (a < 3) a++;",
         "top:; PUSH_GADDR_B 0; LOAD_I; PUSH_I3; I_LT; JZ @end; PUSH_GADDR_B 0; POSTINC_I; POP; JMP @top; end:"},
        {"do { a++; continue; } while (a < 3);",
         "top:; PUSH_GADDR_B 0; POSTINC_I; POP; JMP @test; test:; PUSH_GADDR_B 0; LOAD_I; PUSH_I3; I_LT; JNZ @top"},
        // init, test, jump out, body, step, jump back to the test
        {"for (a = 0; a < 3; a++) { b += a; if (b) continue; }",
         "PUSH_I0; PUSH_GADDR_B 0; STORE_I;"
         "test:; PUSH_GADDR_B 0; LOAD_I; PUSH_I3; I_LT; JZ @end;"
         "PUSH_GADDR_B 0; LOAD_I; PUSH_GADDR_B 4; LOAD_I; I_ADD; PUSH_GADDR_B 4; STORE_I;"
         "PUSH_GADDR_B 4; LOAD_I; JZ @skip; JMP @step; skip:;"
         "step:; PUSH_GADDR_B 0; POSTINC_I; POP; JMP @test; end:"},
        // the table follows the cases, where control never falls into it
        {"switch (a) { case 1: b = 1; break; default: b = 0; case 5: b = 5; }",
         "PUSH_GADDR_B 0; LOAD_I; SWITCH @table; JMP @default;"
         "one:; PUSH_I1; PUSH_GADDR_B 4; STORE_I; JMP @end;"
         "default:; PUSH_I0; PUSH_GADDR_B 4; STORE_I;"
         "five:; PUSH_B 5; PUSH_GADDR_B 4; STORE_I; JMP @end;"
         "table:; SWITCH_TABLE 1 @one 5 @five; end:"},
        {"switch (d) { case 2: b = 2; }",
         "PUSH_GADDR_B 8; LOAD_D; D2I; SWITCH @table; JMP @end; two:; PUSH_I2; PUSH_GADDR_B 4; STORE_I; JMP @end;"
         "table:; SWITCH_TABLE 2 @two; end:"},
        {"if (d) b = 1;", "PUSH_GADDR_B 8; LOAD_D; PUSH_D0; D_NE; JZ @end; PUSH_I1; PUSH_GADDR_B 4; STORE_I; end:"},
        // the conversion of a left operand goes right after its own code
        {"d = a / 2.0;", "PUSH_GADDR_B 0; LOAD_I; I2D; PUSH_D 2.0; D_DIV; PUSH_GADDR_B 8; STORE_D"},
        {"d = a / 2;", "PUSH_GADDR_B 0; LOAD_I; PUSH_I2; I_DIV; I2D; PUSH_GADDR_B 8; STORE_D"},
        // negations and products of constants fold, sums do not
        {"b = -5 * 3 + 1;", "PUSH_NEG_B 15; PUSH_I1; I_ADD; PUSH_GADDR_B 4; STORE_I"},
        {"b = 'A';", "PUSH_B 65; PUSH_GADDR_B 4; STORE_I"},
        // result cell, arguments, count, function number in the long form, pops
        {"b = total(1, a);", "PUSH_I0; PUSH_I1; PUSH_GADDR_B 0; LOAD_I; PUSH_I2; PUSH_I 4; CALL; POP3;"
                             "PUSH_GADDR_B 4; STORE_I"},
        {"putd(a);", "PUSH_I0; PUSH_GADDR_B 0; LOAD_I; I2D; PUSH_I 2; CALL; POP2"},
        {"return;", "END"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.statement);
        TestHost host;
        const std::string script =
            std::string("variables { int a; int b; double d; }\non start\n{\n") + c.statement + "\n}\n";
        ASSERT_EQ(host.compile_script(script), 0) << host.transcript;
        ASSERT_EQ(host.handlers.back().first, "start");
        const CodeComparison code = compare_code(host.vm, host.handlers.back().second, std::string(c.assembly) + "; END");
        EXPECT_EQ(code.compiled, code.expected);
    }
}

// A function body: the end of the code before the first body, each parameter
// copied from its argument cell, the frame size patched in, the result set.
TEST(ScriptGrammarCode, FunctionLayout)
{
    TestHost host;
    ASSERT_EQ(host.compile_script("double scale (int n, double f, char c, int &r)\n{\n    return n * f;\n}\n"
                                  "int one () { return 1; }\n"),
              0)
        << host.transcript;
    const ScriptFunction *scale = static_cast<ScriptFunction *>(host.table.find("scale", 0));
    const ScriptFunction *one = static_cast<ScriptFunction *>(host.table.find("one", 0));
    const int32_t entry = host.vm.function(int(scale->index))->code_address;
    ASSERT_GT(entry, 0);
    EXPECT_EQ(host.vm.code()[entry - 1], OP_END);
    const CodeComparison code = compare_code(
        host.vm, entry,
        "PUSH_I3; ARG; PUSH_LADDR_B 0; STORE_I;"
        "PUSH_I2; ARG; PUSH_LADDR_B 4; STORE_D;"
        "PUSH_I1; ARG; PUSH_LADDR_B 12; STORE_B;"
        "PUSH_I0; ARG; PUSH_LADDR_B 16; STORE_I;"
        "FRAME 20;"
        "PUSH_LADDR_B 0; LOAD_I; I2D; PUSH_LADDR_B 4; LOAD_D; D_MUL; PUSH_B 5; SET_RESULT; RET; RET;"
        "one:; FRAME 0; PUSH_I1; PUSH_I1; SET_RESULT; RET; RET");
    EXPECT_EQ(code.compiled, code.expected);
    EXPECT_EQ(host.vm.function(int(one->index))->code_address, entry + int32_t(code.expected.size()) - 10);
}

// Top-level code of a predefined header ends before the first function body.
TEST(ScriptGrammarCode, HeaderCodeEndsBeforeTheFirstBody)
{
    TestHost host;
    ScriptStringSource header;
    header.set_text("__pragma_internal;\nint x;\nx = 5;\nint f () { return 1; }\nx = 7;\n");
    host.source = &header;
    const int32_t start = host.vm.code_length();
    ASSERT_EQ(host.compile(), 0) << host.transcript;
    EXPECT_EQ(host.vm.run(&host, start), 0);
    const ScriptVariable *x = static_cast<ScriptVariable *>(host.table.find("x", 0));
    EXPECT_EQ(host.vm.data_int(int32_t(x->address)), 5);
}

// A parse that fails inside a function, a block or a loop body leaves the
// compiler ready for its next compilation.
TEST(ScriptGrammarErrors, FailedParseLeavesTheCompilerReady)
{
    const char *failing[] = {
        "int f (int a)\n{\n    {\n        x = 1;\n    }\n}\n",
        "on start\n{\n    int i;\n    for (i = 0; i < 2; i++) {\n        x = 1;\n    }\n}\n",
    };
    for (const char *script : failing) {
        SCOPED_TRACE(script);
        TestHost host;
        EXPECT_EQ(host.compile_script(script), -1);
        EXPECT_EQ(host.scope_level, 0);
        EXPECT_EQ(host.function_depth, 0);
        EXPECT_EQ(host.current_function, nullptr);
        EXPECT_EQ(host.vm.insert_position(), -1);
        EXPECT_EQ(host.table.find("a", 1), nullptr);
        EXPECT_EQ(host.table.find("i", 1), nullptr);

        host.transcript.clear();
        ASSERT_EQ(host.compile_script("on start\n{\n    int i;\n    for (i = 0; i < 2; i++)\n        put(i);\n}\n"), 0);
        host.run_start_handlers();
        EXPECT_EQ(host.transcript, "hook start\n--- start\n0\n1\n");
    }
}

// With bounds checking, array addresses carry their size bound: a constant
// index beyond it is a compile-time warning, a computed one is caught at run
// time (reported, index 0), also through an array parameter.
TEST(ScriptGrammarBounds, IndexesAreChecked)
{
    TestHost host;
    host.bounds_check = true;
    ASSERT_EQ(host.compile_script("variables\n{\n    byte small[8];\n    int arr[4];\n    int i;\n}\n"
                                  "void set (int a[], int k)\n{\n    a[k] = 7;\n}\n"
                                  "on start\n{\n"
                                  "    small[10] = 1;\n"
                                  "    i = 4;\n"
                                  "    arr[i] = 5;\n"
                                  "    put(arr[0]);\n"
                                  "    set(arr, 3);\n"
                                  "    put(arr[3]);\n"
                                  "    set(arr, 4);\n"
                                  "    put(arr[0]);\n"
                                  "    put(i);\n"
                                  "}\n"),
              0);
    testing::internal::CaptureStdout();
    host.run_start_handlers();
    const std::string reports = testing::internal::GetCapturedStdout();
    EXPECT_EQ(host.transcript, "hook variables\nhook start\nWarning (line 13): Array bounds violated\n"
                               "--- variables\n--- start\n5\n7\n7\n4\n");
    EXPECT_EQ(reports, "PCode ERROR: OP_SIZE_CHK_I_ADD: Array bounds violated\n"
                       "PCode ERROR: OP_SIZE_CHK_I_ADD: Array bounds violated\n");

    // An array member reached through a reference is bounded by its own size.
    TestHost member_host;
    member_host.bounds_check = true;
    ASSERT_EQ(member_host.compile_script("variables { struct S { int id; byte data[4]; }; struct S s; }\n"
                                         "int get (struct S m, int k) { return m.data[k]; }\n"
                                         "on start { s.data[2] = 9; put(get(s, 2)); put(get(s, 4)); }\n"),
              0);
    testing::internal::CaptureStdout();
    member_host.run_start_handlers();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "PCode ERROR: OP_SIZE_CHK_I_ADD: Array bounds violated\n");
    EXPECT_EQ(member_host.transcript, "hook variables\nhook start\n--- variables\n--- start\n9\n0\n");

    // The array parameter is stored with its size bound and takes 8 bytes.
    const ScriptFunction *set = static_cast<ScriptFunction *>(host.table.find("set", 0));
    const int32_t entry = host.vm.function(int(set->index))->code_address;
    const CodeComparison code = compare_code(
        host.vm, entry,
        "PUSH_I1; ARG; PUSH_LADDR_B 0; STORE_REF; PUSH_I0; ARG; PUSH_LADDR_B 8; STORE_I; FRAME 12;"
        "PUSH_LADDR_B 0; LOAD_SIZE; LOAD_I; PUSH_LADDR_B 8; LOAD_I; PUSH_I4; I_MUL; SIZE_CHK_I_ADD;"
        "PUSH_B 7; SWAP; STORE_I; RET");
    EXPECT_EQ(std::vector<uint8_t>(code.compiled.begin(), code.compiled.begin() + long(code.expected.size())),
              code.expected);
}

// A row selected at run time is bounded by the row, not by the rest of the
// array, so a second index cannot reach the variables behind it (and a
// constant one past the row is reported when compiled); an array
// passed with '&' takes its size bound along.
TEST(ScriptGrammarBounds, RowsAndArraysPassedWithTheirOwnBound)
{
    TestHost host;
    host.bounds_check = true;
    ASSERT_EQ(host.compile_script("variables\n{\n    int grid[3][4];\n    int after;\n    int i;\n    int arr[3];\n}\n"
                                  "void fill (int a[], int n)\n{\n    int k;\n"
                                  "    for (k = 0; k < n; k++)\n        a[k] = k + 1;\n}\n"
                                  "on start\n{\n"
                                  "    i = 2;\n"
                                  "    grid[i][4] = 7;\n"
                                  "    put(after);\n"
                                  "    grid[i][3] = 8;\n"
                                  "    put(grid[2][3]);\n"
                                  "    fill(&arr, 3);\n"
                                  "    put(arr[0] + arr[1] + arr[2]);\n"
                                  "    for (i = 2; i < 3; i++)\n"
                                  "        grid[i][4] = 9;\n"
                                  "    put(after);\n"
                                  "}\n"),
              0)
        << host.transcript;
    testing::internal::CaptureStdout();
    host.run_start_handlers();
    // Also in a for body, whose code is inserted ahead of the step.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "PCode ERROR: OP_SIZE_CHK_I_ADD: Array bounds violated\n"
                                                      "PCode ERROR: OP_SIZE_CHK_I_ADD: Array bounds violated\n");
    // The constant index past the row is reported when compiled as well.
    EXPECT_EQ(host.transcript, "hook variables\nhook start\nWarning (line 17): Array bounds violated\n"
                               "--- variables\n--- start\n0\n8\n6\n0\n");
}

// Only the compiler's first function body is preceded by OP_END, over all its compilations.
TEST(ScriptGrammarCode, OnlyTheFirstBodyOfTheCompilerEndsTheCodeBeforeIt)
{
    TestHost host;
    ASSERT_EQ(host.compile_script("int f () { return 1; }\n"), 0);
    const int32_t second = host.vm.code_length();
    ScriptStringSource source;
    source.set_text("int g () { return 2; }\n");
    host.source = &source;
    ASSERT_EQ(host.compile(), 0);
    const ScriptFunction *f = static_cast<ScriptFunction *>(host.table.find("f", 0));
    const ScriptFunction *g = static_cast<ScriptFunction *>(host.table.find("g", 0));
    EXPECT_EQ(host.vm.code()[host.vm.function(int(f->index))->code_address - 1], OP_END);
    EXPECT_EQ(host.vm.function(int(g->index))->code_address, second);
}
