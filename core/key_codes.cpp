#include "core/key_codes.h"

#include <cstring>

namespace {

struct KeyRow
{
    const char *name;
    int code;
};

// The key table in its fixed order; the key selector lists it this way.
const KeyRow key_table[] = {
    {"SPACE", 0x20},  {"RETURN", 0x1004},
    {"A", 0x41},      {"B", 0x42},      {"C", 0x43},  {"D", 0x44},  {"E", 0x45},  {"F", 0x46},  {"G", 0x47},
    {"H", 0x48},      {"I", 0x49},      {"J", 0x4A},  {"K", 0x4B},  {"L", 0x4C},  {"M", 0x4D},  {"N", 0x4E},
    {"O", 0x4F},      {"P", 0x50},      {"Q", 0x51},  {"R", 0x52},  {"S", 0x53},  {"T", 0x54},  {"U", 0x55},
    {"V", 0x56},      {"W", 0x57},      {"X", 0x58},  {"Y", 0x59},  {"Z", 0x5A},
    {"0", 0x30},      {"1", 0x31},      {"2", 0x32},  {"3", 0x33},  {"4", 0x34},  {"5", 0x35},  {"6", 0x36},
    {"7", 0x37},      {"8", 0x38},      {"9", 0x39},
    {"F1", 0x1030},   {"F2", 0x1031},   {"F3", 0x1032}, {"F4", 0x1033}, {"F5", 0x1034}, {"F6", 0x1035},
    {"F7", 0x1036},   {"F8", 0x1037},   {"F9", 0x1038}, {"F10", 0x1039}, {"F11", 0x103A}, {"F12", 0x103B},
};

struct ModifierRow
{
    const char *names[3];
    int bit;
};

const ModifierRow modifier_table[] = {
    {{"SHIFT", "Shift", "shift"}, key_modifier_shift},
    {{"CTRL", "Ctrl", "ctrl"}, key_modifier_ctrl},
    {{"ALT", "Alt", "alt"}, key_modifier_alt},
};

} // namespace

int key_name_to_code(const std::string &name)
{
    for (const KeyRow &row : key_table)
        if (name == row.name)
            return row.code;
    return 0;
}

int key_text_to_code(const std::string &text)
{
    size_t pos = 0;
    int modifier = 0;
    for (const ModifierRow &row : modifier_table) {
        for (const char *name : row.names) {
            if (text.compare(0, std::strlen(name), name) == 0) {
                modifier = row.bit;
                pos = std::strlen(name);
                break;
            }
        }
        if (modifier)
            break;
    }
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-' || text[pos] == ' '))
        ++pos;
    const int code = key_name_to_code(text.substr(pos));
    return code ? code + modifier : 0;
}

const char *key_code_to_name(int code)
{
    const int key = code & 0xFFFF;
    for (const KeyRow &row : key_table)
        if (row.code == key)
            return row.name;
    return nullptr;
}

std::string key_code_to_text(int code)
{
    const char *name = key_code_to_name(code);
    if (!name)
        return std::string();
    for (const ModifierRow &row : modifier_table)
        if ((code & 0xF00000) == row.bit)
            return std::string(row.names[0]) + "+" + name;
    return name;
}

int key_table_size()
{
    return int(sizeof key_table / sizeof key_table[0]);
}

const char *key_table_name(int row)
{
    return row >= 0 && row < key_table_size() ? key_table[row].name : nullptr;
}

int key_table_code(int row)
{
    return row >= 0 && row < key_table_size() ? key_table[row].code : 0;
}

VyrKeyPress key_press_from_qt(int qt_key, Qt::KeyboardModifiers modifiers)
{
    constexpr unsigned unknown_key = 0xFFFF;
    constexpr unsigned qt_special_base = 0x01000000;
    constexpr unsigned special_base = 0x1000;
    const unsigned key = unsigned(qt_key);
    VyrKeyPress press{unknown_key, 0};
    if (key < special_base)
        press.key = key;
    else if (key >= qt_special_base && key < qt_special_base + special_base)
        press.key = special_base + (key - qt_special_base);
    if (modifiers & Qt::ShiftModifier)
        press.state |= key_state_shift;
    if (modifiers & Qt::ControlModifier)
        press.state |= key_state_ctrl;
    if (modifiers & Qt::AltModifier)
        press.state |= key_state_alt;
    return press;
}

unsigned key_code_with_state(unsigned key, unsigned state)
{
    if (state & key_state_shift)
        key += key_modifier_shift;
    if (state & key_state_ctrl)
        key += key_modifier_ctrl;
    if (state & key_state_alt)
        key += key_modifier_alt;
    return key;
}
