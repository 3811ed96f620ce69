#pragma once
// Typed named parameters (int, bool, double, string) that an interface keeps
// in a list, stores in its configuration group and lets the user edit in a
// QPropertyTable.
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QtbConfigGroup;

class VyrProperty
{
public:
    enum Type { NoType = 0, Int = 1, Bool = 2, Double = 3, String = 4 };

    // An entry of an int property's list of named values.
    struct Choice
    {
        QString text;
        int32_t value;
    };

    // The typed constructors: each starts from an empty record with the name
    // (values 0, 0.0, false, empty text) and sets the type and the value.
    static std::unique_ptr<VyrProperty> VyrProperty_int(const QString &name, int32_t value);
    static std::unique_ptr<VyrProperty> VyrProperty_bool(const QString &name, bool value);
    static std::unique_ptr<VyrProperty> VyrProperty_double(const QString &name, double value);
    static std::unique_ptr<VyrProperty> VyrProperty_string(const QString &name, const QString &value);

    Type type() const { return m_type; }
    const QString &name() const { return m_name; }
    const QString &unit() const { return m_unit; }
    const QString &description() const { return m_description; }
    void set_unit(const QString &unit) { m_unit = unit; }
    void set_description(const QString &description) { m_description = description; }

    int32_t int_value() const { return m_int_value; }
    bool bool_value() const { return m_bool_value; }
    double double_value() const { return m_double_value; }
    const QString &string_value() const { return m_string_value; }
    void set_int_value(int32_t value) { m_int_value = value; }
    void set_bool_value(bool value) { m_bool_value = value; }
    void set_double_value(double value) { m_double_value = value; }
    // A text value makes the property a string property.
    void set_string_value(const QString &value);

    // An int property with at least two choices is edited as a choice.
    void add_choice(const QString &text, int32_t value) { m_choices.push_back({text, value}); }
    const std::vector<Choice> &choices() const { return m_choices; }
    bool is_choice() const { return m_type == Int && m_choices.size() >= 2; }

private:
    explicit VyrProperty(const QString &name) : m_name(name) {}

    Type m_type = NoType;
    QString m_name;
    QString m_unit;
    QString m_description;
    QString m_string_value;
    int32_t m_int_value = 0;
    double m_double_value = 0.0;
    bool m_bool_value = false;
    std::vector<Choice> m_choices;
};

// An ordered list that owns its properties.
class VyrPropertyList
{
public:
    // Deletes the list with its properties and clears the pointer.
    static void destroy(VyrPropertyList *&list);

    void append(std::unique_ptr<VyrProperty> property);
    // The first property of exactly that name, or null.
    VyrProperty *find(const QString &name) const;
    int count() const { return int(m_properties.size()); }
    VyrProperty *at(int index) const { return m_properties.at(size_t(index)).get(); }

    // Stores each property's value under its name, by its type.
    void write_configuration(QtbConfigGroup *group) const;
    // Reads each listed property's value back under its name, keeping the
    // present value where the group has none; the types stay as they are and
    // entries that name no property are ignored.
    void read_configuration(QtbConfigGroup *group);

private:
    std::vector<std::unique_ptr<VyrProperty>> m_properties;
};
