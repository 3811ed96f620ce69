#pragma once
// The J1939 message-identifier formatter: identifiers shown as parameter
// group numbers, the trace columns PGN, SA, DA and PRI, and the J1939 view of
// CAN messages in scripts: the struct type J1939Message, one struct type per
// J1939 database message, the tagged identifier views "pf", "pri", "pgn",
// "sa", "da", "dp", and the native j1939SendMessage.
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/script_member_binding.h"

class CANdbMessage;

// A tagged member or struct type of the J1939 view.
class J1939MemberBinding : public ScriptMemberBinding
{
public:
    enum Kind : uint32_t {
        Signal = 1,
        Message = 2,
        PduFormat = 3,
        Pgn = 4,
        SourceAddress = 5,
        DestinationAddress = 6,
        DataPage = 7,
        Priority = 8
    };

    // object: the database message (kind 2) or signal (kind 1); size: the
    // message's data length, or 64 for views added to other structs.
    J1939MemberBinding(uint32_t kind, const void *object, int size);

    void init_variable(PCodeMachine &machine, int32_t address) override;
    void write_int(PCodeMachine &machine, int32_t address, int view, int32_t value) override;
    void write_double(PCodeMachine &machine, int32_t address, int view, double value) override;
    int32_t read_int(PCodeMachine &machine, int32_t address, int view) override;
    double read_double(PCodeMachine &machine, int32_t address, int view) override;

    uint32_t kind() const { return m_kind; }

private:
    uint32_t m_kind;
    const CANdbMessage *m_message = nullptr;
    int m_size;
    std::unique_ptr<SignalMemberBinding> m_signal;
};

class J1939IdFormatter : public IdFormatter
{
public:
    explicit J1939IdFormatter(const char *name) : IdFormatter(name) {}

    uint32_t display_id(const VyrCanMessage &message) const override;
    uint32_t raw_id(uint32_t pgn) const override;
    // The field names after leading blanks, ignoring case: "pgn" or "id", "sa", "da", "pri".
    bool set_id_field(uint32_t &id, const char *field, uint32_t value) const override;

    int script_struct_types(ScriptSymbolTable *symbols, CANdbCluster *databases,
                            ScriptMemberBindings &bindings) override;
    void declare_message_type(ScriptSymbolTable *symbols, CANdbCluster *databases, ScriptMemberBindings &bindings,
                              const char *name) override;
    const char *script_header() const override;
    int bind_natives(PCodeMachine *machine, ScriptSymbolTable *symbols) override;
    void add_j1939_members(ScriptStructType *type, ScriptMemberBindings &bindings) override;

    int column_count() const override { return 4; }
    const char *column_title(int index) const override;
    int column_text(const VyrCanMessage &message, int index, char *buffer) const override;
    // PGN, SA and DA in hexadecimal, PRI in decimal, each within its field's range.
    bool read_column_text(uint32_t &id, int index, const char *text) const override;
    int column_width(int index) const override;
};
