#pragma once
// The value node of the description model (kind 18): an integer, a double, a
// text, a list of nodes, DATA bytes or an infinity, with the arithmetic that
// conversions apply to values.
#include "core/description_node.h"

#include <cstdint>
#include <memory>
#include <vector>

class DescriptionValue : public DescriptionNode
{
public:
    static constexpr int kind_number = 18;
    enum ValueFlag : uint32_t {
        int_flag = 1u << 0,
        double_flag = 1u << 1,
        string_flag = 1u << 2,
        data_flag = 1u << 3,
        list_flag = 1u << 4,
        plus_inf_flag = 1u << 5,
        minus_inf_flag = 1u << 6,
    };

    DescriptionValue();
    explicit DescriptionValue(int32_t value);
    explicit DescriptionValue(double value);
    explicit DescriptionValue(const char *text);
    // Owns the list.
    explicit DescriptionValue(DescriptionList *list);
    ~DescriptionValue() override;

    uint32_t value_flags() const { return m_value_flags; }
    bool is_set() const { return m_value_flags != 0; }
    bool is_int() const { return m_value_flags & int_flag; }
    bool is_double() const { return m_value_flags & double_flag; }
    bool is_string() const { return m_value_flags & string_flag; }
    bool is_data() const { return m_value_flags & data_flag; }
    bool is_list() const { return m_value_flags & list_flag; }
    bool is_plus_inf() const { return m_value_flags & plus_inf_flag; }
    bool is_minus_inf() const { return m_value_flags & minus_inf_flag; }
    // Integer 0 or double 0.0.
    bool is_zero() const;
    // Integer 1 or double 1.0.
    bool is_one() const;

    int32_t int_value() const { return m_int; }
    double double_value() const { return m_double; }
    const DescriptionString &string_value() const { return m_string; }
    DescriptionList *list_value() const { return m_list.get(); }
    const std::vector<uint8_t> &data_bytes() const { return m_data; }
    uint32_t data_count() const { return m_data_count; }

    void set_int(int32_t value);
    void set_double(double value);
    void set_string(const DescriptionString &text);
    // Sets LIST, owns the new list and deletes the one before.
    void set_list(DescriptionList *list);
    void set_data(const std::vector<uint8_t> &bytes, uint32_t count);
    // 0: plus infinity only; 1: minus infinity only; otherwise no infinity.
    void set_infinity(int sign);
    // A text with "." reads as a double, any other as an integer; false for null.
    bool set_from_text(const char *text);

    // The integer, or the double truncated toward zero, else 0.
    int32_t to_int() const;
    // The double, or the integer, else 0.0.
    double to_double() const;
    void negate();
    // Nothing when `other` is zero (or one, for multiply); two integers stay
    // integers; otherwise the receiver becomes the double result.
    void add(const DescriptionValue &other);
    void multiply(const DescriptionValue &other);
    // Flags, text, double, integer and DATA bytes; a list is not copied.
    void copy_from(const DescriptionValue &other);

private:
    uint32_t m_value_flags = 0;
    int32_t m_int = 0;
    double m_double = 0.0;
    DescriptionString m_string;
    std::unique_ptr<DescriptionList> m_list;
    std::vector<uint8_t> m_data;
    uint32_t m_data_count = 0;
};
