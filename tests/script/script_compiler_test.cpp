#include "script/script_compiler.h"
#include "script/script_keywords.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"

#include <gtest/gtest.h>

#include <string>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(ScriptCompilerBase, OnlyTheFirstErrorIsPrintedWarningsAlways)
{
    ScriptCompiler compiler;
    compiler.line = 12;
    CaptureStdout();
    compiler.error("Symbol \"%s\" already defined", "x");
    compiler.warning("Line break in string constant.");
    compiler.line = 14;
    compiler.error("second %d", 2);
    compiler.warning("again");
    EXPECT_EQ(GetCapturedStdout(), "Error (line 12): Symbol \"x\" already defined\n"
                                   "Warning (line 12): Line break in string constant.\n"
                                   "Warning (line 14): again\n");
    EXPECT_TRUE(compiler.error_reported);
}

TEST(ScriptCompilerBase, MessagesAreCutAt200Characters)
{
    ScriptCompiler compiler;
    const std::string name(300, 'n');
    CaptureStdout();
    compiler.error("%s", name.c_str());
    EXPECT_EQ(GetCapturedStdout(), "Error (line 1): " + std::string(200, 'n') + "\n");
}

TEST(ScriptCompilerBase, HookDetectedReadsTheHandlerHead)
{
    ASSERT_EQ(script_keywords_build(true), 0);
    ScriptStringSource source;
    ScriptCompiler compiler;
    compiler.source = &source;
    ScriptTokenValue value;

    const struct {
        const char *kind;
        const char *head;
        const char *printed;
    } cases[] = {
        {"key", "shift+ctrl+F1 {", "hook_detected: key\nkey=shift+ctrl+F1\n"},
        {"key", "'a' {", "hook_detected: key\nkey='a'\n"},
        {"key", "F2 {", "hook_detected: key\nkey=F2\n"},
        {"message", "0x100 {", "hook_detected: message\nmessage=256\n"},
        {"message", "EngineData {", "hook_detected: message\nmessage=EngineData\n"},
        {"timer", "t1 {", "hook_detected: timer\ntimer=t1\n"},
        {"start", "{", "hook_detected: start\nSTART\n"},
        {"stopped", "{", "hook_detected: stopped\nSTOPPED\n"},
        {"CanMessage", "{", "hook_detected: CanMessage\n"},
    };
    for (const auto &c : cases) {
        source.set_text(c.head);
        CaptureStdout();
        EXPECT_EQ(compiler.hook_detected(c.kind), 0);
        EXPECT_EQ(GetCapturedStdout(), c.printed) << c.kind << " " << c.head;
        // The block's brace is left for the grammar.
        EXPECT_EQ(compiler.next_token(&value), '{') << c.kind << " " << c.head;
    }
    script_keywords_free();
}

TEST(ScriptCompilerBase, DeclarationHostOperations)
{
    ScriptCompiler a, b;
    CaptureStdout();
    const int first = a.declare_envvar(T_INT, "speed", 0);
    const int second = b.declare_envvar(T_DOUBLE, "rpm", 1);
    EXPECT_EQ(a.declare_io("sig", 1, 1, 1), 0);
    EXPECT_EQ(a.declare_io("sig", 1, 0, 1), 0);
    EXPECT_EQ(a.declare_io("sig", 0, 0, 0), 0);
    EXPECT_EQ(a.envvar_range(-10.0, 2.5), 0);
    EXPECT_EQ(a.envvar_attributes(100, "continuous", "polling"), 0);
    const std::string printed = GetCapturedStdout();
    // One running number for all compilers.
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(printed, "EnvVar: name=speed, type=268, extern=0\n"
                       "EnvVar: name=rpm, type=267, extern=1\n"
                       "Output: sig\nInput: sig\nInOutput: sig\n"
                       "Range: min=-10, max=2.5\n"
                       "Attributes: rate=100, type=continuous, mode=polling\n");
}

namespace {

ScriptSymbol *add(ScriptSymbolTable &table, ScriptSymbol *s, const char *name, int level)
{
    s->set_name(name, true);
    s->level = level;
    table.insert(s);
    return s;
}

} // namespace

TEST(ScriptCompilerLookup, ValuesAreFoundFromTheInnermostLevelOutward)
{
    ScriptSymbolTable table;
    ScriptCompiler compiler;
    compiler.symbols = &table;
    ScriptSymbol *global = add(table, new ScriptVariable, "x", 0);
    ScriptSymbol *constant = add(table, new ScriptConstant, "k", 1);
    ScriptSymbol *type = add(table, new ScriptStructType, "x", 2);
    ScriptSymbol *inner = add(table, new ScriptVariable, "k", 3);

    compiler.scope_level = 3;
    // A struct type on level 2 does not end the search for a value.
    EXPECT_EQ(compiler.find_value_symbol("x"), global);
    EXPECT_EQ(compiler.find_symbol("x"), type);
    EXPECT_EQ(compiler.find_value_symbol("k"), inner);
    compiler.scope_level = 2;
    EXPECT_EQ(compiler.find_value_symbol("k"), constant);
    compiler.scope_level = 0;
    EXPECT_EQ(compiler.find_value_symbol("k"), nullptr);
    EXPECT_EQ(compiler.find_symbol("missing"), nullptr);
}
