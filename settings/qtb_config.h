#pragma once
// Settings file store: a configuration kept as a tree of typed values, read from
// and written to a line-oriented text file of [sections] and key=value lines.
// Every interface, window and dialog persists through it. Plain data: no locking,
// one owner at a time.

#include <QRect>
#include <QString>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QtbConfigGroup;

// The rectangle of a stored geometry with each number held within ±32767:
// window systems place windows within 16-bit coordinates, and held there the
// rectangle's far edges cannot overflow, whatever a file says.
QRect clamped_screen_rect(int x, int y, int width, int height);

// A tagged value: empty, 8-bit string, int, bool, double or an owned nested group.
// Setting a value drops the previous payload.
class QtbConfigValue
{
public:
    enum Type { Empty = 0, String = 1, Int = 2, Bool = 3, Double = 4, Group = 5 };

    QtbConfigValue();
    explicit QtbConfigValue(const char *text);
    explicit QtbConfigValue(std::string text);
    explicit QtbConfigValue(int32_t value);
    explicit QtbConfigValue(bool value);
    explicit QtbConfigValue(double value);
    explicit QtbConfigValue(std::unique_ptr<QtbConfigGroup> group);
    ~QtbConfigValue();
    QtbConfigValue(QtbConfigValue &&other) noexcept;
    QtbConfigValue &operator=(QtbConfigValue &&other) noexcept;
    QtbConfigValue(const QtbConfigValue &) = delete;
    QtbConfigValue &operator=(const QtbConfigValue &) = delete;

    int type() const { return m_type; }

    void set_string(std::string text);
    void set_int(int32_t value);
    void set_bool(bool value);
    void set_double(double value);
    void set_group(std::unique_ptr<QtbConfigGroup> group);
    void set_empty();

    // Payload access; meaningful only for the matching type.
    const std::string &string_value() const { return m_string; }
    int32_t int_value() const { return m_int; }
    bool bool_value() const { return m_bool; }
    double double_value() const { return m_double; }
    QtbConfigGroup *group() const { return m_group.get(); }

    // Conversions to the other kinds (a group converts to a null text, 0, 0.0, false).
    QString to_string() const;      // strings as 8-bit (Latin-1) text
    QString to_string_utf8() const; // strings decoded from UTF-8
    int32_t to_int() const;
    double to_double() const;
    bool to_bool() const;

private:
    int m_type = Empty;
    std::string m_string;
    int32_t m_int = 0;
    bool m_bool = false;
    double m_double = 0.0;
    std::unique_ptr<QtbConfigGroup> m_group;
};

// One entry of a group: the name (empty for an unnamed entry) and the owned value.
struct QtbConfigEntry
{
    std::string name;
    QtbConfigValue value;
};

// An ordered list of entries. Names need not be unique; lookups take the first
// match. The cursor is the entry the last lookup or iteration step found, and
// reads with a null name read the entry at the cursor.
class QtbConfigGroup
{
public:
    QtbConfigGroup() = default;
    virtual ~QtbConfigGroup();
    QtbConfigGroup(const QtbConfigGroup &) = delete;
    QtbConfigGroup &operator=(const QtbConfigGroup &) = delete;

    int count() const { return int(m_entries.size()); }

    // Appends a new entry holding the value; an empty or null name makes it unnamed.
    // Returns the stored value.
    QtbConfigValue *append_entry(QtbConfigValue value, const char *name);
    // First entry with that name (case-sensitive); the cursor goes to it, or to null.
    QtbConfigValue *find_entry(const char *name);

    // Cursor access and iteration over all entries.
    const char *current_name() const; // null for an unnamed entry or no cursor
    QtbConfigValue *current_value() const;
    QtbConfigValue *first_value();
    QtbConfigValue *next_value();

    // The nested group of the named entry when it holds one, else null.
    QtbConfigGroup *get_group(const char *name);
    // Walk over the entries holding groups: the first one, the next after the
    // cursor, the first from the cursor on. Null at the end.
    QtbConfigGroup *first_group();
    QtbConfigGroup *next_group();
    QtbConfigGroup *current_or_next_group();

    // Typed reads: the named entry converted, or the default when it is missing.
    QString read_string(const char *name, const QString &def);
    QString read_string_utf8(const char *name, const QString &def);
    int32_t read_int(const char *name, int32_t def);
    double read_double(const char *name, double def);
    bool read_bool(const char *name, bool def);
    // A group of exactly four numbers x, y, width, height, each held within
    // ±32767 (the coordinates window systems take); otherwise the default.
    QRect read_rect(const char *name, const QRect &def);

    // Writes replace the value of the first entry of that name, else append one.
    // A null name does nothing.
    void write_cstring(const char *name, const char *text);
    void write_string(const char *name, const QString &text); // stored as Latin-1
    void write_string_utf8(const char *name, const QString &text);
    void write_int(const char *name, int32_t value);
    void write_double(const char *name, double value);
    void write_bool(const char *name, bool value);
    void write_rect(const char *name, const QRect &rect);

    // Appends a new empty nested group under the name (even when the name exists).
    QtbConfigGroup *add_group(const char *name);
    QtbConfigGroup *get_or_add_group(const char *name);

    // Unlinks and frees the entry holding the value; a cursor on it moves to the
    // following entry. -1 when not found, else 0.
    int remove_value(const QtbConfigValue *value);
    void clear();

    // The entries in order, for writers walking them without moving the cursor.
    const std::list<QtbConfigEntry> &entries() const { return m_entries; }

private:
    using Position = std::list<QtbConfigEntry>::iterator;

    // The value a read addresses: the cursor's for a null name, else the named one.
    QtbConfigValue *value_for_read(const char *name);
    // The value of the named entry, appended empty when missing.
    QtbConfigValue *value_for_write(const char *name);
    QtbConfigGroup *group_from(Position position);

    std::list<QtbConfigEntry> m_entries;
    Position m_cursor = m_entries.end(); // end(): no cursor
    // The first entry of every name, so that a lookup in a large section
    // takes constant time; the keys view the names inside the entries.
    std::unordered_map<std::string_view, Position> m_first_of_name;
};

// A whole settings file: the entries are its sections, each a named group.
class QtbConfig : public QtbConfigGroup
{
public:
    explicit QtbConfig(const QString &file_name = QString());
    ~QtbConfig() override;

    // Naming another file forgets the warnings of the last read.
    void set_file_name(const QString &file_name);
    const QString &file_name() const { return m_file_name; }
    // Line number the reader reached (counts from 1).
    int line_number() const { return m_line; }

    // Parses the file and appends its sections. The reader takes whatever it
    // can; what it has to skip, drop or cut is listed in warnings(), one text
    // "file:line: what" each. -1 when the file cannot be opened, else the
    // number of warnings (0 for a clean file).
    int read();
    const std::vector<std::string> &warnings() const { return m_warnings; }
    // Writes every section through save_file: the old file is replaced only
    // once the new one is whole on the disc. -1 when it cannot be written.
    int write_file(const QString &path);
    // Writes the file of file_name(); once it is written, the warnings of
    // the last read no longer describe it and are forgotten.
    int write();

private:
    QString m_file_name;
    int m_line = 1;
    std::vector<std::string> m_warnings;
};
