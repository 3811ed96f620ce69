#pragma once
// The value of a hexadecimal digit character, for every reader of
// hexadecimal text. Header-only, so that the dependency-free frame record and
// the settings layer below everything share it; a table, because readers of
// log files look up every character of their identifiers and data.
namespace hex_digit_detail {

struct Table
{
    signed char value[256];
    constexpr Table() : value()
    {
        for (int c = 0; c < 256; ++c)
            value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                       : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                       : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                                              : static_cast<signed char>(-1);
    }
};

inline constexpr Table table{};

} // namespace hex_digit_detail

// 0 to 15 for a hexadecimal digit (either case), else -1 (also for values
// outside 0 to 255, such as EOF or a negative char).
constexpr int hex_digit_value(int c)
{
    return c >= 0 && c < 256 ? hex_digit_detail::table.value[c] : -1;
}
