#pragma once
// The shared text of the description model: a handle to a counted record, so
// that the many nodes naming the same element share one copy; a handle that
// changes shared text takes a private copy first. A null handle is a text that
// was never given and sorts before every other text, "" included.
#include <cstddef>
#include <string>
#include <vector>

class DescriptionString
{
public:
    DescriptionString() = default;
    // A null argument gives a null handle.
    DescriptionString(const char *text);
    DescriptionString(const DescriptionString &other);
    DescriptionString(DescriptionString &&other) noexcept;
    ~DescriptionString();

    DescriptionString &operator=(const DescriptionString &other);
    DescriptionString &operator=(DescriptionString &&other) noexcept;
    // Null releases the handle to a null handle.
    DescriptionString &operator=(const char *text);

    // Empty and null texts append nothing.
    void append(const char *text);
    void append(const DescriptionString &text);

    size_t length() const;
    // Null for a null handle.
    const char *c_str() const;
    // True for a null handle only: "" is a text that was given.
    bool is_empty() const { return !m_record; }

    // Negative, 0 or positive as strcmp; a null handle (or argument) sorts first.
    int compare(const DescriptionString &other) const;
    int compare(const char *text) const;
    bool operator==(const DescriptionString &other) const { return compare(other) == 0; }
    bool operator!=(const DescriptionString &other) const { return compare(other) != 0; }
    bool operator==(const char *text) const { return compare(text) == 0; }
    bool operator!=(const char *text) const { return compare(text) != 0; }
    DescriptionString operator+(const DescriptionString &other) const;

private:
    struct Record {
        int references;
        std::string characters;
    };
    void release();
    // Makes the record this handle's own before it changes.
    void detach();

    Record *m_record = nullptr;
};

// The texts of one kind that a node keeps per language index (long names,
// descriptions). Slot 0 holds "" from the start; a slot that was never set
// reads as slot 0.
class DescriptionTextTable
{
public:
    static constexpr int initial_capacity = 5;

    DescriptionTextTable();

    // A negative index does nothing; an index beyond the table grows it to
    // index + 5 slots.
    void set(const DescriptionString &text, int index);
    // A negative index reads the default index (0: no language is selected);
    // an index beyond the table gives "".
    DescriptionString get(int index) const;
    int capacity() const { return int(m_slots.size()); }

private:
    std::vector<DescriptionString> m_slots;
};
