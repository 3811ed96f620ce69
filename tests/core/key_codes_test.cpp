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
