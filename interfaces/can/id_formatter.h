#pragma once
// How a CAN interface shows and takes message identifiers. The base shows the
// raw identifier and adds nothing; a formatter of a protocol (J1939 shows the
// parameter group) adds columns to the trace and the logs of its interface
// and takes named parts of an identifier.
#include "interfaces/hardware/vyr_can_message.h"

#include <cstdint>
#include <string>

class IdFormatter
{
public:
    // A column text is at most this long.
    static constexpr int max_column_text = 63;

    explicit IdFormatter(const char *name) : m_name(name ? name : "") {}
    virtual ~IdFormatter() = default;
    IdFormatter(const IdFormatter &) = delete;
    IdFormatter &operator=(const IdFormatter &) = delete;

    const std::string &name() const { return m_name; }

    // The identifier shown for a frame: bit 31 marks an extended identifier.
    virtual uint32_t display_id(const VyrCanMessage &message) const
    {
        return message.flags & VyrCanMessage::Extended ? message.id | 0x80000000u : message.id;
    }
    // Stores the value of the named field into the identifier; false when the
    // formatter does not take that field.
    virtual bool set_id_field(uint32_t &id, const char *field, uint32_t value) const { return false; }

    // Extra columns of the trace and the text logs.
    virtual int column_count() const { return 0; }
    virtual const char *column_title(int index) const { return nullptr; }
    // Writes the cell text (at most max_column_text characters and a zero)
    // into the buffer; its length.
    virtual int column_text(const VyrCanMessage &message, int index, char *buffer) const
    {
        buffer[0] = '\0';
        return 0;
    }
    // Width in characters; 0 or less: no padding.
    virtual int column_width(int index) const { return 0; }
    // True when the column stands after the counter of a log line, false
    // when it stands before the data length.
    virtual bool column_after_counter(int index) const { return false; }

private:
    std::string m_name;
};
