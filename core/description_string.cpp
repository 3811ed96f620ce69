#include "core/description_string.h"

#include <cstring>

DescriptionString::DescriptionString(const char *text)
{
    if (text)
        m_record = new Record{1, text};
}

DescriptionString::DescriptionString(const DescriptionString &other) : m_record(other.m_record)
{
    if (m_record)
        ++m_record->references;
}

DescriptionString::DescriptionString(DescriptionString &&other) noexcept : m_record(other.m_record)
{
    other.m_record = nullptr;
}

DescriptionString::~DescriptionString()
{
    release();
}

DescriptionString &DescriptionString::operator=(const DescriptionString &other)
{
    if (other.m_record)
        ++other.m_record->references;
    release();
    m_record = other.m_record;
    return *this;
}

DescriptionString &DescriptionString::operator=(DescriptionString &&other) noexcept
{
    if (this != &other) {
        release();
        m_record = other.m_record;
        other.m_record = nullptr;
    }
    return *this;
}

DescriptionString &DescriptionString::operator=(const char *text)
{
    if (!text) {
        release();
    } else if (m_record && m_record->references == 1) {
        m_record->characters.assign(text); // the record is ours alone: reuse it
    } else {
        release();
        m_record = new Record{1, text};
    }
    return *this;
}

void DescriptionString::append(const char *text)
{
    if (!text || !*text)
        return;
    if (!m_record) {
        m_record = new Record{1, text};
        return;
    }
    detach();
    m_record->characters.append(text);
}

void DescriptionString::append(const DescriptionString &text)
{
    if (!text.m_record)
        return;
    // Appending a handle to itself: keep the text before this handle changes.
    const std::string copy = text.m_record->characters;
    append(copy.c_str());
}

size_t DescriptionString::length() const
{
    return m_record ? m_record->characters.size() : 0;
}

const char *DescriptionString::c_str() const
{
    return m_record ? m_record->characters.c_str() : nullptr;
}

int DescriptionString::compare(const DescriptionString &other) const
{
    if (m_record == other.m_record)
        return 0;
    return compare(other.c_str());
}

int DescriptionString::compare(const char *text) const
{
    const char *own = c_str();
    if (!own || !text)
        return (own ? 1 : 0) - (text ? 1 : 0);
    return std::strcmp(own, text);
}

DescriptionString DescriptionString::operator+(const DescriptionString &other) const
{
    DescriptionString sum(*this);
    sum.append(other);
    return sum;
}

void DescriptionString::release()
{
    if (m_record && --m_record->references == 0)
        delete m_record;
    m_record = nullptr;
}

void DescriptionString::detach()
{
    if (m_record && m_record->references > 1) {
        --m_record->references;
        m_record = new Record{1, m_record->characters};
    }
}

DescriptionTextTable::DescriptionTextTable() : m_slots(initial_capacity)
{
    m_slots[0] = "";
}

void DescriptionTextTable::set(const DescriptionString &text, int index)
{
    if (index < 0)
        return;
    if (index >= capacity())
        m_slots.resize(size_t(index) + initial_capacity);
    m_slots[size_t(index)] = text;
}

DescriptionString DescriptionTextTable::get(int index) const
{
    if (index < 0)
        index = 0; // the default language index
    if (index >= capacity())
        return DescriptionString("");
    const DescriptionString &slot = m_slots[size_t(index)];
    return slot.is_empty() ? m_slots[0] : slot;
}
