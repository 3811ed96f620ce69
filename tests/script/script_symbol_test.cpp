#include "script/script_symbol.h"
#include "script/script_symbol_table.h"

#include <gtest/gtest.h>
#include <string>

TEST(ScriptTypes, NamesOfTheTypeCodes)
{
    EXPECT_STREQ(script_type_name(0), "(undefined)");
    EXPECT_STREQ(script_type_name(TYPE_BYTE), "byte");
    EXPECT_STREQ(script_type_name(TYPE_ARRAY), "array");
    EXPECT_STREQ(script_type_name(9), "(unknown)");
}

TEST(ScriptVariable, SizesOfScalarsArraysAndReferences)
{
    struct Case {
        uint32_t type;
        int dim1, dim2;
        bool reference;
        int size, storage;
    };
    const Case cases[] = {
        {TYPE_INT, 0, 0, false, 4, 4},     {TYPE_DOUBLE, 0, 0, false, 8, 8},
        {TYPE_CHAR, 10, 0, false, 10, 10}, {TYPE_STRING, 0, 0, false, 4, 4},
        {TYPE_INT, 3, 4, false, 48, 48},   {TYPE_BYTE, -1, 5, false, 5, 5},
        {TYPE_DOUBLE, 8, 0, true, 4, 64},  {TYPE_VOID, 3, 0, false, 0, 0},
    };
    for (const Case &c : cases) {
        ScriptVariable v;
        v.type = c.type;
        v.dim1 = c.dim1;
        v.dim2 = c.dim2;
        v.reference = c.reference;
        EXPECT_EQ(v.size(), c.size) << script_type_name(c.type) << " [" << c.dim1 << "][" << c.dim2 << "]";
        EXPECT_EQ(v.storage_size(), c.storage) << script_type_name(c.type);
    }
}

TEST(ScriptStructType, MembersArePackedWithoutGaps)
{
    ScriptStructType s;
    s.set_name("Packed", false);
    s.level = 2;
    EXPECT_EQ(s.add_member("i", TYPE_INT, 0), 0);
    EXPECT_EQ(s.add_member("c", TYPE_CHAR, 0), 0);
    EXPECT_EQ(s.add_member("d", TYPE_DOUBLE, 0), 0);
    EXPECT_EQ(s.size, 13);
    EXPECT_EQ(s.find_member("d")->address, 5u);
    EXPECT_EQ(s.find_member("c")->level, 2);

    // A taken name adds nothing.
    EXPECT_EQ(s.add_member("c", TYPE_INT, 4), -1);
    EXPECT_EQ(s.size, 13);
    EXPECT_EQ(s.member_count(), 3);

    // A struct member takes the inner struct's size per element.
    ScriptStructType outer;
    EXPECT_EQ(outer.add_member("b", TYPE_BYTE, 3), 0);
    EXPECT_EQ(outer.add_struct_member("rows", &s, 2), 0);
    EXPECT_EQ(outer.size, 3 + 2 * 13);
    EXPECT_EQ(outer.member_at(1)->address, 3u);
    EXPECT_EQ(outer.member_at(2), nullptr);
    EXPECT_EQ(outer.find_member("missing"), nullptr);
}

TEST(ScriptStructType, TaggedViewsTakeNoStorage)
{
    ScriptStructType signal;
    EXPECT_EQ(signal.add_tagged_member("Raw", TYPE_INT, 0), 0);
    EXPECT_EQ(signal.add_tagged_member("Phys", TYPE_DOUBLE, 1), 0);
    EXPECT_EQ(signal.size, 0);
    EXPECT_EQ(signal.find_member("Phys")->tag, 1u);
    EXPECT_EQ(signal.find_member("Phys")->address, 0u);

    ScriptStructType message;
    message.add_member("id", TYPE_INT, 0);
    EXPECT_EQ(message.add_tagged_struct_member("Speed", &signal, 77), 0);
    message.add_member("data", TYPE_BYTE, 8);
    EXPECT_EQ(message.size, 12);
    EXPECT_EQ(message.find_member("Speed")->address, 4u);
    EXPECT_EQ(message.find_member("data")->address, 4u);
}

TEST(ScriptStructType, AliasOfTimestamp)
{
    ScriptStructType plain;
    plain.add_member("id", TYPE_INT, 0);
    EXPECT_EQ(plain.add_alias_member("time_stamp"), -1);

    ScriptStructType message;
    message.add_member("id", TYPE_INT, 0);
    message.add_member("timestamp", TYPE_INT, 0);
    EXPECT_EQ(message.add_alias_member("time_stamp"), 0);
    const ScriptVariable *alias = message.find_member("time_stamp");
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(alias->address, 4u);
    EXPECT_EQ(alias->type, TYPE_INT);
    EXPECT_EQ(message.size, 8);

    // An array member's alias is typed as an array.
    ScriptStructType stamped;
    stamped.add_member("timestamp", TYPE_BYTE, 6);
    stamped.add_alias_member("time_stamp");
    EXPECT_EQ(stamped.find_member("time_stamp")->type, TYPE_ARRAY);
    EXPECT_EQ(stamped.find_member("time_stamp")->dim1, 6);
}

TEST(ScriptFunction, ParametersAndTheirBounds)
{
    ScriptFunction f;
    f.set_param_count(2);
    f.set_param_type(0, TYPE_INT);
    f.set_param_name(0, "count", true);
    f.set_param_type(1, TYPE_CHAR);
    f.set_param_array(1, true);
    f.set_param_reference(1, true);
    f.set_param_name(1, "text", false);
    f.set_param_type(2, TYPE_DOUBLE); // outside: ignored
    f.set_param_name(-1, "x", true);
    EXPECT_EQ(f.find_param("text"), 1);
    EXPECT_EQ(f.find_param("Text"), -1);
    EXPECT_EQ(f.param_type(2), TYPE_UNDEFINED);
    EXPECT_EQ(f.param_name(5), nullptr);

    // A name may be set again from its own owned copy.
    f.set_param_name(0, f.param_name(0), true);
    EXPECT_STREQ(f.param_name(0), "count");
    f.set_name("f", true);
    f.set_name(f.name(), true);
    EXPECT_STREQ(f.name(), "f");

    f.set_param_count(1);
    EXPECT_EQ(f.param_type(0), TYPE_UNDEFINED);
    EXPECT_EQ(f.find_param("count"), -1);
}

TEST(ScriptSymbol, PrintedForms)
{
    ScriptStructType s;
    s.set_name("Msg", false);
    s.add_member("id", TYPE_INT, 0);
    s.add_member("data", TYPE_BYTE, 8);

    ScriptVariable v;
    v.type = TYPE_STRUCT;
    v.struct_type = &s;
    v.dim1 = 2;
    v.tag = 5;
    v.address = 0x20;
    std::string text;
    v.print(text);
    EXPECT_EQ(text, "struct {Msg}[2] <5> / @0x0020, size=24");

    text.clear();
    s.print(text);
    EXPECT_EQ(text, "struct: (size=12)\n\tid: int / @0x0000, size=4;\n\tdata: byte[8] / @0x0004, size=8;\n");

    ScriptFunction f;
    f.set_param_count(2);
    f.set_param_type(0, TYPE_STRUCT);
    f.set_param_struct_type(0, &s);
    f.set_param_reference(0, true);
    f.set_param_name(0, "m", false);
    f.set_param_type(1, TYPE_INT);
    f.set_param_name(1, "n", false);
    f.variadic = true;
    f.result_type = TYPE_INT;
    f.index = 7;
    text.clear();
    f.print(text);
    EXPECT_EQ(text, "(struct {Msg}&  m,undef   n, ...) -> int @7");

    ScriptConstant k;
    k.set_double(2.5);
    text.clear();
    k.print(text);
    EXPECT_EQ(text, "double=2.500000");

    ScriptSymbol base;
    text.clear();
    base.print(text);
    EXPECT_EQ(text, " *** printf undefined *** ");
}

TEST(ScriptSymbolTable, HashOfNames)
{
    EXPECT_EQ(script_name_hash(""), 0u);
    EXPECT_EQ(script_name_hash("A"), 130u);         // rotl(65)
    EXPECT_EQ(script_name_hash("AB"), 0x180u);      // rotl(130 ^ 66)
    EXPECT_EQ(script_name_hash("\xFF"), 0xFFFFFFFFu); // -1 sign-extended
}

namespace {

ScriptVariable *variable(const char *name, int level)
{
    auto *v = new ScriptVariable;
    v->set_name(name, true);
    v->level = level;
    return v;
}

} // namespace

TEST(ScriptSymbolTable, LevelsTellEqualNamesApart)
{
    ScriptSymbolTable table;
    ScriptVariable *outer = variable("x", 0);
    ScriptVariable *inner = variable("x", 1);
    EXPECT_EQ(table.insert(outer), 0);
    EXPECT_EQ(table.insert(inner), 0);
    EXPECT_EQ(table.insert(nullptr), 0);
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.find("x", 0), outer);
    EXPECT_EQ(table.find("x", 1), inner);
    EXPECT_EQ(table.find("x", 2), nullptr);
    EXPECT_EQ(table.find("X", 0), nullptr);
    EXPECT_EQ(table.find(nullptr, 0), nullptr);
    EXPECT_EQ(outer->sequence, 1u);
    EXPECT_EQ(inner->sequence, 2u);

    // Two names with the same hash on different levels.
    ASSERT_EQ(script_name_hash("ab"), script_name_hash("bd"));
    ScriptVariable *a = variable("ab", 0);
    ScriptVariable *b = variable("bd", 3);
    table.insert(a);
    table.insert(b);
    EXPECT_EQ(table.find("ab", 3), nullptr);
    EXPECT_EQ(table.find("bd", 0), nullptr);
    EXPECT_EQ(table.find("ab", 0), a);
    EXPECT_EQ(table.find("bd", 3), b);

    table.remove_scope(1);
    EXPECT_EQ(table.find("x", 1), nullptr);
    EXPECT_EQ(table.find("x", 0), outer);
    EXPECT_EQ(table.count(), 3);

    // Sequence numbers only grow.
    ScriptVariable *again = variable("x", 1);
    table.insert(again);
    EXPECT_EQ(again->sequence, 5u);
}
