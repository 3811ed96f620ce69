#pragma once
// How a CAN interface shows and takes message identifiers. The base shows the
// raw identifier and adds nothing; a formatter of a protocol (J1939 shows the
// parameter group) adds columns to the trace and the logs of its interface,
// takes named parts of an identifier and adds its own declarations to the
// interface's scripts. Formatters register by name before main() runs; an
// interface is given one by that name.
#include "core/frames/vyr_can_message.h"

#include <cstdint>
#include <memory>
#include <string>

class CANdbCluster;
class PCodeMachine;
class ScriptMemberBindings;
class ScriptStructType;
class ScriptSymbolTable;

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
    // The frame identifier of an identifier as shown.
    virtual uint32_t raw_id(uint32_t id) const { return id; }
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
    // Takes a cell text as column_text writes it (the blanks around it
    // removed) back into the identifier; false when the column shows no such
    // text. Log readers rebuild identifiers with it.
    virtual bool read_column_text(uint32_t &id, int index, const char *text) const { return false; }
    // Width in characters; 0 or less: no padding.
    virtual int column_width(int index) const { return 0; }
    // True when the column stands after the counter of a log line, false
    // when it stands before the data length.
    virtual bool column_after_counter(int index) const { return false; }

    // Script support: struct types declared before the interface's prelude
    // (with the bindings of their tagged members), the struct type of a
    // database message declared when a script first names it (`name` is the
    // type's name; nothing when it is not one of the formatter's),
    // declarations compiled with the prelude, natives bound after it, and the
    // formatter's members added to a message struct type.
    virtual int script_struct_types(ScriptSymbolTable *symbols, CANdbCluster *databases, ScriptMemberBindings &bindings)
    {
        return 0;
    }
    virtual void declare_message_type(ScriptSymbolTable *symbols, CANdbCluster *databases,
                                      ScriptMemberBindings &bindings, const char *name)
    {
    }
    virtual const char *script_header() const { return nullptr; }
    virtual int bind_natives(PCodeMachine *machine, ScriptSymbolTable *symbols) { return 0; }
    virtual void add_j1939_members(ScriptStructType *type, ScriptMemberBindings &bindings) {}

private:
    std::string m_name;
};

// Makes a formatter that carries the name it is created under.
using IdFormatterFactory = IdFormatter *(*)(const char *name);

// Appends an entry; the name is not copied.
void register_id_formatter(const char *name, IdFormatterFactory factory);
// A new formatter of the first entry named exactly so; null for a null or
// unknown name or when the factory makes none.
std::unique_ptr<IdFormatter> create_id_formatter(const char *name);
// Iteration over the registered names with one global cursor; null at the end.
const char *first_id_formatter_name();
const char *next_id_formatter_name();
int id_formatter_count();
