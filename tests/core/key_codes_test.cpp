#include "core/key_codes.h"

#include <gtest/gtest.h>

TEST(KeyCodes, KeyTextsGiveModifierPlusKeyCode)
{
    const struct {
        const char *text;
        int code;
    } cases[] = {
        {"Ctrl+F5", 0x400000 + 0x1034},
        {"ctrl-a", 0}, // key names are upper case
        {"+A", 0x41},
        {"F13", 0},
        {"SHIFT A", 0x200000 + 0x41},
        {"alt-SPACE", 0x800000 + 0x20},
        {"Alt+9", 0x800000 + 0x39},
        {"RETURN", 0x1004},
        {"F12", 0x103B},
        {"CTRL", 0}, // a modifier without a key
        {"", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(key_text_to_code(c.text), c.code) << c.text;
}

TEST(KeyCodes, KeyCodesGiveTheirTexts)
{
    const struct
    {
        int code;
        const char *text;
    } cases[] = {
        {0x800000 + 0x20, "ALT+SPACE"},
        {0x400000 + 0x1034, "CTRL+F5"},
        {0x200000 + 0x5A, "SHIFT+Z"},
        {0x1004, "RETURN"},
        {0x600000 + 0x41, "A"}, // no single modifier
        {0x1005, ""},           // no key of the table
        {0x400000, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(key_code_to_text(c.code), c.text) << std::hex << c.code;
}

TEST(KeyCodes, EveryKeyOfTheTableTakesItsTextBack)
{
    ASSERT_EQ(key_table_size(), 50);
    for (int row = 0; row < key_table_size(); ++row)
        for (int modifier : {0, key_modifier_shift, key_modifier_ctrl, key_modifier_alt}) {
            const int code = key_table_code(row) + modifier;
            EXPECT_EQ(key_text_to_code(key_code_to_text(code)), code) << key_table_name(row);
        }
    EXPECT_EQ(key_code_to_name(0x41), std::string("A"));
    EXPECT_EQ(key_code_to_name(0x1005), nullptr);
    EXPECT_STREQ(key_table_name(0), "SPACE");
    EXPECT_EQ(key_table_code(0), 0x20);
    EXPECT_STREQ(key_table_name(key_table_size() - 1), "F12");
    EXPECT_EQ(key_table_code(key_table_size() - 1), 0x103B);
    for (int outside : {-1, key_table_size()}) {
        EXPECT_EQ(key_table_name(outside), nullptr) << outside;
        EXPECT_EQ(key_table_code(outside), 0) << outside;
    }
}
