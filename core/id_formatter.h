#pragma once
// Message-identifier formatters: a CAN interface can be given one by name. It
// decides how identifiers are shown and entered, adds columns to the trace of
// that interface, lets scripts set named parts of an identifier and adds its
// own declarations to the interface's scripts. Formatters register with the
// global registry before main() runs.
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
    IdFormatter() = default;
    IdFormatter(const IdFormatter &) = delete;
    IdFormatter &operator=(const IdFormatter &) = delete;
    virtual ~IdFormatter() = default;

    const std::string &name() const { return m_name; }
    void set_name(const char *name) { m_name = name ? name : ""; }

    // The identifier shown for a frame (identifier and flags of its record;
    // flag 0x4 marks an extended identifier).
    virtual uint32_t display_id(uint32_t id, uint32_t flags) const;
    // The frame identifier of an identifier as shown.
    virtual uint32_t raw_id(uint32_t id) const { return id; }
    // Sets the named part of *id (when id is not null) to value; false for a
    // name the formatter does not know.
    virtual bool set_id_field(uint32_t *id, const char *field, uint32_t value) const;

    // Script support: struct types declared before the interface's prelude,
    // declarations compiled with it, natives bound after it, and members of
    // the formatter added to a message struct type.
    virtual int script_struct_types(ScriptSymbolTable *symbols, CANdbCluster *databases,
                                    ScriptMemberBindings &bindings);
    virtual const char *script_header() const { return nullptr; }
    virtual int bind_natives(PCodeMachine *machine, ScriptSymbolTable *symbols);
    virtual void add_j1939_members(ScriptStructType *type, ScriptMemberBindings &bindings);

    // Trace columns of the formatter.
    virtual int column_count() const { return 0; }
    virtual const char *column_title(int index) const;
    // Writes the column's text for a frame into buffer (at least 16 bytes);
    // answers its length.
    virtual int column_text(uint32_t id, uint32_t flags, int index, char *buffer) const;
    virtual int column_width(int index) const;

private:
    std::string m_name;
};

using IdFormatterFactory = IdFormatter *(*)();

// Appends an entry; the name is not copied.
void register_id_formatter(const char *name, IdFormatterFactory factory);
// A new formatter of the first entry named exactly so; null for a null or
// unknown name or when the factory makes none.
std::unique_ptr<IdFormatter> create_id_formatter(const char *name);
// Iteration over the registered names with one global cursor; null at the end.
const char *first_id_formatter_name();
const char *next_id_formatter_name();
int id_formatter_count();
