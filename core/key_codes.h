#pragma once
// Key codes in the program's own numbering, as configurations, scripts and
// trigger conditions store them: the key in the low 16 bits (letters and
// digits as their characters, special keys in the 0x1000 range) and one
// modifier bit.
#include <QtCore/qnamespace.h>

#include <string>

constexpr int key_modifier_shift = 0x200000;
constexpr int key_modifier_ctrl = 0x400000;
constexpr int key_modifier_alt = 0x800000;

// The code of a key name of the key table ("SPACE", "RETURN", "A".."Z",
// "0".."9", "F1".."F12"); exact and case-sensitive; 0 for any other text.
int key_name_to_code(const std::string &name);

// The code of a key text: an optional modifier "SHIFT"/"Shift"/"shift",
// "CTRL"/"Ctrl"/"ctrl" or "ALT"/"Alt"/"alt", then one optional separator
// "+", "-" or a blank, then a key name. The modifier bit plus the key code,
// or 0 when the key name is not in the table.
int key_text_to_code(const std::string &text);

// The name of the key in the low 16 bits of the code, or null when the key
// table has none.
const char *key_code_to_name(int code);

// "SHIFT", "CTRL" or "ALT" by the modifier bit, "+" and the key name, or the
// key name alone without a modifier; empty when the key has no name.
std::string key_code_to_text(int code);

// The key table in its order, for the key selector: the rows' names and codes.
int key_table_size();
const char *key_table_name(int row);
int key_table_code(int row);

// The older toolkit's modifier state bits of a key event, as the global
// accelerators take them.
constexpr unsigned key_state_shift = 0x100;
constexpr unsigned key_state_ctrl = 0x200;
constexpr unsigned key_state_alt = 0x400;

// A key press in the program's numbering: the key without modifiers and the
// modifier state bits.
struct VyrKeyPress
{
    unsigned key;
    unsigned state;
};

// The one translation of a Qt 5 key event (its key() and modifiers()):
// character keys below 0x1000 keep their code, Qt's special keys
// 0x01000000 + n become 0x1000 + n, every other key is 0xFFFF (unknown).
VyrKeyPress key_press_from_qt(int qt_key, Qt::KeyboardModifiers modifiers);

// The key plus the modifier bits (0x200000 Shift, ...) of the state bits.
unsigned key_code_with_state(unsigned key, unsigned state);
