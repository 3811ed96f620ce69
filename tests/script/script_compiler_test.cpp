#include "script/pcode_machine.h"
#include "script/pcode_ops.h"
#include "script/script_compiler.h"
#include "script/script_keywords.h"
#include "script/script_source.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"
#include "tests/script/script_test_host.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

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

namespace {

// The shared recording compiler with the grammar's parameter collection.
class RecordingCompiler : public script_test::RecordingCompiler {
public:
    // Collects a parameter as the grammar does.
    void add_param(uint32_t type, const char *name, ScriptStructType *struct_type = nullptr)
    {
        params[param_count].type = type;
        params[param_count].name = name;
        params[param_count].struct_type = struct_type;
        ++param_count;
    }
};

} // namespace

TEST(ScriptCompilerDeclare, GlobalsAreAlignedToFourBytes)
{
    RecordingCompiler c;
    ScriptVariable *ch = c.declare_variable("c", TYPE_CHAR, nullptr, 0, 0, true);
    ScriptVariable *grid = c.declare_variable("grid", TYPE_INT, nullptr, 3, 4, true);
    ScriptVariable *d = c.declare_variable("d", TYPE_DOUBLE, nullptr, -1, 0, true);
    ASSERT_TRUE(ch && grid && d);
    EXPECT_EQ(ch->address, 0u);
    EXPECT_EQ(grid->address, 4u);
    EXPECT_EQ(grid->size(), 48);
    EXPECT_EQ(d->address, 52u);
    EXPECT_EQ(d->dim1, 0);
    EXPECT_EQ(c.vm.data_top(), 60);
    EXPECT_EQ(d->local, 0u);

    // An array whose length comes from its initializer gets its storage later.
    ScriptVariable *late = c.declare_variable("late", TYPE_BYTE, nullptr, 0, 0, true);
    c.allocate_variable(late, 10);
    EXPECT_EQ(late->dim1, 10);
    EXPECT_EQ(late->address, 60u);
    EXPECT_EQ(c.vm.data_top(), 60 + 1 + 10);
    EXPECT_TRUE(c.errors.empty());
}

TEST(ScriptCompilerDeclare, LocalsLiveInTheFrame)
{
    RecordingCompiler c;
    c.function_depth = 1;
    c.scope_level = 1;
    c.frame_size = 6;
    ScriptVariable *i = c.declare_variable("i", TYPE_INT, nullptr, 0, 0, true);
    ScriptStructType s;
    s.add_member("a", TYPE_BYTE, 3);
    ScriptVariable *v = c.declare_variable("v", TYPE_STRUCT, &s, 2, 0, true);
    EXPECT_EQ(i->address, 8u);
    EXPECT_EQ(i->local, 1u);
    EXPECT_EQ(v->address, 12u);
    EXPECT_EQ(v->struct_type, &s);
    EXPECT_EQ(c.frame_size, 18);
    EXPECT_EQ(c.vm.data_top(), 0);
}

TEST(ScriptCompilerDeclare, RedefinitionAndHiding)
{
    RecordingCompiler c;
    ASSERT_NE(c.declare_variable("x", TYPE_INT, nullptr, 0, 0, true), nullptr);
    EXPECT_EQ(c.declare_variable("x", TYPE_DOUBLE, nullptr, 0, 0, true), nullptr);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0], "Symbol \"x\" already defined");
    EXPECT_EQ(c.table.count(), 1);

    // One level deeper the name may be declared again and shadows the outer one.
    c.scope_level = 1;
    ScriptVariable *inner = c.declare_variable("x", TYPE_DOUBLE, nullptr, 0, 0, true);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(c.find_value_symbol("x"), inner);

    // A local that takes the name of a parameter of the current function.
    c.scope_level = 0;
    c.add_param(TYPE_INT, "p");
    c.result_type = TYPE_VOID;
    ASSERT_EQ(c.declare_function("f", true), 0);
    c.function_depth = 1;
    c.scope_level = 2;
    EXPECT_NE(c.declare_variable("p", TYPE_INT, nullptr, 0, 0, true), nullptr);
    ASSERT_EQ(c.warnings.size(), 1u);
    EXPECT_EQ(c.warnings[0], "Definition of variable \"p\" hides local parameter");
    EXPECT_EQ(c.errors.size(), 1u);
}

TEST(ScriptCompilerDeclare, FunctionsAndTheirPrototypes)
{
    RecordingCompiler c;
    ScriptStructType msg;
    msg.set_name("Msg", false);
    c.result_type = TYPE_INT;
    c.add_param(TYPE_INT, "a");
    c.add_param(TYPE_STRUCT, "m", &msg);
    c.variadic = true;
    ASSERT_EQ(c.declare_function("send", true), 0);
    auto *f = static_cast<ScriptFunction *>(c.table.find("send", 0));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(c.current_function, f);
    EXPECT_EQ(f->index, 1u);
    EXPECT_EQ(c.vm.function_count(), 1);
    EXPECT_EQ(f->param_count(), 2);
    EXPECT_TRUE(f->param_reference(1)); // structs always go by reference
    EXPECT_FALSE(f->param_reference(0));
    EXPECT_EQ(f->param_struct_type(1), &msg);
    EXPECT_TRUE(f->variadic);
    EXPECT_EQ(f->result_type, TYPE_INT);

    // The definition after its prototype finds the same symbol.
    c.current_function = nullptr;
    ASSERT_EQ(c.declare_function("send", true), 0);
    EXPECT_EQ(c.current_function, f);
    EXPECT_EQ(c.table.count(), 1);
    EXPECT_EQ(c.vm.function_count(), 1);

    // The next function is numbered on.
    c.param_count = 0;
    c.result_type = TYPE_VOID;
    ASSERT_EQ(c.declare_function("other", true), 0);
    EXPECT_EQ(static_cast<ScriptFunction *>(c.table.find("other", 0))->index, 2u);
    EXPECT_TRUE(c.errors.empty());
}

// A prototype outlives the parse whose texts it was declared from: the
// function keeps its own copies of the parameter names.
TEST(ScriptCompilerDeclare, FunctionsOwnTheirParameterNames)
{
    RecordingCompiler c;
    char name[] = "value";
    c.result_type = TYPE_INT;
    c.add_param(TYPE_INT, name);
    ASSERT_EQ(c.declare_function("twice", true), 0);
    std::strcpy(name, "xxxxx");
    const auto *f = static_cast<ScriptFunction *>(c.table.find("twice", 0));
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->param_name(0), "value");
    EXPECT_EQ(f->find_param("value"), 0);
}

TEST(ScriptCompilerDeclare, FunctionRedeclarationErrors)
{
    RecordingCompiler c;
    c.declare_variable("v", TYPE_INT, nullptr, 0, 0, true);
    c.result_type = TYPE_INT;
    c.add_param(TYPE_INT, "a");
    ASSERT_EQ(c.declare_function("f", true), 0);

    struct Case {
        const char *name;
        uint32_t result;
        std::vector<uint32_t> params;
        const char *message;
    };
    const Case cases[] = {
        {"v", TYPE_INT, {TYPE_INT}, "Function name \"v\" already defined"},
        {"f", TYPE_INT, {TYPE_INT, TYPE_INT},
         "Function \"f\" previously defined with different count of paramters"},
        {"f", TYPE_DOUBLE, {TYPE_INT}, "Different return type in redifinition of function \"f\""},
        {"f", TYPE_INT, {TYPE_DOUBLE},
         "Type of parameter 1 differs from the earlier declaration of function \"f\""},
    };
    for (const Case &k : cases) {
        c.errors.clear();
        c.param_count = 0;
        for (uint32_t t : k.params)
            c.add_param(t, "p");
        c.result_type = k.result;
        EXPECT_EQ(c.declare_function(k.name, true), -1) << k.message;
        ASSERT_EQ(c.errors.size(), 1u) << k.message;
        EXPECT_EQ(c.errors[0], k.message);
    }
    EXPECT_EQ(c.table.count(), 2);
}

TEST(ScriptCompilerCompile, ResultsOfCompile)
{
    ScriptStringSource source;
    RecordingCompiler c;
    EXPECT_EQ(c.compile(), -3); // no source
    c.source = &source;
    c.symbols = nullptr;
    EXPECT_EQ(c.compile(), -3);
    c.symbols = &c.table;

    source.set_text("__pragma_internal;\nint x;\n");
    c.line = 40;
    EXPECT_EQ(c.compile(), 0);
    EXPECT_EQ(c.line, 3); // counted from 1 again
    EXPECT_FALSE(script_keywords_present());

    // The grammar gets the first 511 characters of a string that is too
    // long, but the compilation fails.
    c.errors.clear();
    const std::string long_text = "__pragma_internal;\nchar s[700] = \"" + std::string(600, 's') + "\";\n";
    source.set_text(long_text.c_str());
    EXPECT_EQ(c.compile(), -1);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0], "String constant too long.");

    c.errors.clear();
    source.set_text("__pragma_internal; /* open");
    EXPECT_NE(c.compile(), 0);
    ASSERT_FALSE(c.errors.empty()); // the grammar adds its parse error
    EXPECT_EQ(c.errors[0], "Error: Unexpected eof in comment");
}

TEST(ScriptCompilerCompile, AliasWordsDeclareIntsAndDoubles)
{
    ScriptStringSource source;
    RecordingCompiler c;
    c.source = &source;
    source.set_text("__pragma_internal;\nlong a; word b; dword c; float d; int Int;\n");
    ASSERT_EQ(c.compile(), 0);
    const struct {
        const char *name;
        uint32_t type;
    } cases[] = {{"a", TYPE_INT}, {"b", TYPE_INT}, {"c", TYPE_INT}, {"d", TYPE_DOUBLE}, {"Int", TYPE_INT}};
    for (const auto &k : cases) {
        const auto *v = dynamic_cast<const ScriptVariable *>(c.table.find(k.name, 0));
        ASSERT_NE(v, nullptr) << k.name;
        EXPECT_EQ(v->type, k.type) << k.name;
    }
    EXPECT_TRUE(c.errors.empty());
}

namespace {

class UnopenableSource : public ScriptStringSource {
public:
    int open() override { return -1; }
};

} // namespace

TEST(ScriptCompilerCompile, SourceThatCannotBeOpened)
{
    UnopenableSource source;
    RecordingCompiler c;
    c.source = &source;
    EXPECT_EQ(c.compile(), -2);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0], "Unable to open source");
    EXPECT_FALSE(script_keywords_present());
}

namespace {

// Records the calls of the code-generation hooks; a store hook may redirect
// the target to a double.
class HookedCompiler : public RecordingCompiler {
public:
    void load_hook(uint32_t tag) override { calls.push_back("load_hook " + std::to_string(tag)); }
    uint32_t load_type(uint32_t type, uint32_t tag) override
    {
        calls.push_back("load_type " + std::to_string(type) + " " + std::to_string(tag));
        return type == TYPE_INT ? TYPE_DOUBLE : type;
    }
    void store_hook(uint32_t &value_type, uint32_t &target_type, uint32_t &tag) override
    {
        calls.push_back("store_hook " + std::to_string(target_type) + " " + std::to_string(tag));
        if (redirect_to_double) {
            target_type = TYPE_DOUBLE;
            tag += 1;
        }
    }
    void init_struct_hook(uint32_t tag) override { calls.push_back("init_struct_hook " + std::to_string(tag)); }

    std::vector<uint8_t> code() const { return {vm.code(), vm.code() + vm.code_length()}; }

    std::vector<std::string> calls;
    bool redirect_to_double = false;
};

} // namespace

TEST(ScriptCompilerAccess, LoadsByTypeAccessAndPlace)
{
    using Bytes = std::vector<uint8_t>;
    struct Case {
        const char *what;
        uint32_t address, type;
        bool local;
        int access;
        bool on_stack, reference;
        Bytes code;
        uint32_t result;
    };
    const Case cases[] = {
        {"global int", 8, TYPE_INT, false, ACCESS_READ, false, false, {OP_PUSH_GADDR_B, 8, OP_LOAD_I}, TYPE_INT},
        {"local char reference", 300, TYPE_CHAR, true, ACCESS_READ, false, true,
         {OP_PUSH_LADDR, 0x2C, 1, 0, 0, OP_LOAD_I, OP_LOAD_C}, TYPE_INT},
        {"byte element, post-increment", 0, TYPE_BYTE, false, ACCESS_POST_INCREMENT, true, false, {OP_POSTINC_B},
         TYPE_INT},
        {"double pre-decrement", 16, TYPE_DOUBLE, false, ACCESS_PRE_DECREMENT, false, false,
         {OP_PUSH_GADDR_B, 16, OP_PREDEC_D}, TYPE_DOUBLE},
        {"int post-decrement", 4, TYPE_INT, true, ACCESS_POST_DECREMENT, false, false,
         {OP_PUSH_LADDR_B, 4, OP_POSTDEC_I}, TYPE_INT},
        {"string", 12, TYPE_STRING, false, ACCESS_READ, false, false, {OP_PUSH_GADDR_B, 12, OP_LOAD_I}, TYPE_STRING},
        {"string increment", 12, TYPE_STRING, false, ACCESS_PRE_INCREMENT, false, false, {OP_PUSH_GADDR_B, 12}, 0},
        {"struct", 20, TYPE_STRUCT, false, ACCESS_READ, false, false, {OP_PUSH_GADDR_B, 20}, TYPE_STRUCT},
        {"struct increment", 20, TYPE_STRUCT, false, ACCESS_POST_INCREMENT, true, false, {}, 0},
    };
    for (const Case &k : cases) {
        HookedCompiler c;
        EXPECT_EQ(c.emit_load(k.address, k.type, k.local, k.access, k.on_stack, k.reference, 0), k.result) << k.what;
        EXPECT_EQ(c.code(), k.code) << k.what;
        EXPECT_TRUE(c.calls.empty()) << k.what;
    }
}

// The grammar passes the access kind as a number: 1 post-increment,
// 2 post-decrement, 3 pre-increment, 4 pre-decrement.
TEST(ScriptCompilerAccess, AccessKindNumbers)
{
    const int expected[] = {OP_LOAD_I, OP_POSTINC_I, OP_POSTDEC_I, OP_PREINC_I, OP_PREDEC_I};
    for (int access = 0; access <= 4; ++access) {
        HookedCompiler c;
        EXPECT_EQ(c.emit_load(0, TYPE_INT, false, access, true, false, 0), TYPE_INT) << access;
        EXPECT_EQ(c.code(), (std::vector<uint8_t>{uint8_t(expected[access])})) << access;
    }
}

TEST(ScriptCompilerAccess, TaggedLoadsUseTheHookedTwins)
{
    HookedCompiler c;
    // An int read through the hook: the int-read twin carries the tag, and
    // the host's load_type decides the value's type.
    EXPECT_EQ(c.emit_load(24, TYPE_INT, false, ACCESS_READ, false, false, 0x101), TYPE_DOUBLE);
    EXPECT_EQ(c.code(), (std::vector<uint8_t>{OP_PUSH_GADDR_B, 24, OP_LOAD_I_HOOK, 0x01, 0x01, 0, 0}));
    EXPECT_EQ(c.calls, (std::vector<std::string>{"load_hook 257", "load_type 3 257"}));

    HookedCompiler d;
    EXPECT_EQ(d.emit_load(0, TYPE_DOUBLE, false, ACCESS_POST_INCREMENT, true, false, 3), TYPE_DOUBLE);
    EXPECT_EQ(d.code(), (std::vector<uint8_t>{OP_POSTINC_D_HOOK, 3, 0, 0, 0}));

    // Byte instructions have no twin: the plain one is emitted.
    HookedCompiler e;
    EXPECT_EQ(e.emit_load(0, TYPE_BYTE, false, ACCESS_READ, true, false, 3), TYPE_DOUBLE);
    EXPECT_EQ(e.code(), (std::vector<uint8_t>{OP_LOAD_B}));
}

TEST(ScriptCompilerAccess, StoresConvertAndStore)
{
    using Bytes = std::vector<uint8_t>;
    struct Case {
        const char *what;
        uint32_t value_type, target_type;
        bool local, on_stack, reference;
        Bytes code;
        uint32_t result;
    };
    const Case cases[] = {
        {"double into int", TYPE_DOUBLE, TYPE_INT, false, false, false, {OP_D2I, OP_PUSH_GADDR_B, 40, OP_STORE_I},
         TYPE_INT},
        {"int into double", TYPE_INT, TYPE_DOUBLE, true, false, false, {OP_I2D, OP_PUSH_LADDR_B, 40, OP_STORE_D},
         TYPE_DOUBLE},
        {"double into byte", TYPE_DOUBLE, TYPE_BYTE, false, true, false, {OP_D2I, OP_SWAP, OP_STORE_B}, TYPE_BYTE},
        {"int into char element", TYPE_INT, TYPE_CHAR, false, true, false, {OP_SWAP, OP_STORE_B}, TYPE_CHAR},
        {"int through a reference", TYPE_INT, TYPE_INT, true, false, true,
         {OP_PUSH_LADDR_B, 40, OP_LOAD_I, OP_STORE_I}, TYPE_INT},
        {"struct value", TYPE_STRUCT, TYPE_STRUCT, false, false, false, {}, 0},
        {"array value", TYPE_ARRAY, TYPE_INT, false, false, false, {}, 0},
    };
    for (const Case &k : cases) {
        HookedCompiler c;
        EXPECT_EQ(c.emit_store(40, k.value_type, k.target_type, k.local, k.on_stack, 0, k.reference), k.result)
            << k.what;
        EXPECT_EQ(c.code(), k.code) << k.what;
        EXPECT_TRUE(c.errors.empty()) << k.what;
    }
}

TEST(ScriptCompilerAccess, StoreIntoAStringIsRefused)
{
    HookedCompiler c;
    EXPECT_EQ(c.emit_store(0, TYPE_INT, TYPE_STRING, false, false, 0, false), 0u);
    EXPECT_EQ(c.vm.code_length(), 0);
    ASSERT_EQ(c.errors.size(), 1u);
    EXPECT_EQ(c.errors[0], "Invalid type 6 on left side of assignment.");
}

TEST(ScriptCompilerAccess, TaggedStoreGoesThroughTheStoreHook)
{
    HookedCompiler c;
    c.redirect_to_double = true;
    EXPECT_EQ(c.emit_store(8, TYPE_DOUBLE, TYPE_INT, false, false, 6, false), TYPE_DOUBLE);
    EXPECT_EQ(c.calls, (std::vector<std::string>{"store_hook 3 6"}));
    // The hook made the target a double with tag 7: no conversion.
    EXPECT_EQ(c.code(), (std::vector<uint8_t>{OP_PUSH_GADDR_B, 8, OP_STORE_D_HOOK, 7, 0, 0, 0}));
}

TEST(ScriptCompilerAccess, VariablesOfABoundStructAreInitialised)
{
    HookedCompiler c;
    ScriptStructType bound;
    bound.add_member("id", TYPE_INT, 0);
    bound.tag = 0x20;
    c.declare_variable("plain", TYPE_INT, nullptr, 0, 0, true);
    ScriptVariable *v = c.declare_variable("m", TYPE_STRUCT, &bound, 0, 0, true);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(c.code(), (std::vector<uint8_t>{OP_PUSH_GADDR_B, 4, OP_NOTIFY_HOOK, 0x20, 0, 0, 0}));
    EXPECT_EQ(c.calls, (std::vector<std::string>{"init_struct_hook 32"}));
}
