#include "interfaces/can/j1939_id_formatter.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "core/candb_network.h"
#include "interfaces/can/vyr_can_if.h"
#include "script/pcode_machine.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_native_context.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <strings.h>

namespace {

// Layout of J1939Message.
constexpr int32_t id_at = 0;
constexpr int32_t max_dlc_at = 4;
constexpr int32_t dlc_at = 8;
constexpr int32_t timestamp_at = 12;
constexpr int32_t flags_at = 16;
constexpr int32_t data_at = 20;
constexpr int j1939_data_size = 1785;
constexpr int view_size = 64;

constexpr uint32_t extended_bit = 0x80000000u;

uint32_t pdu_format(uint32_t id)
{
    return (id >> 16) & 0xFF;
}

uint32_t replace_bits(uint32_t word, int shift, uint32_t mask, uint32_t value)
{
    return (word & ~(mask << shift)) | ((value & mask) << shift);
}

const struct
{
    const char *name;
    uint32_t kind;
} identifier_views[] = {
    {"pf", J1939MemberBinding::PduFormat},
    {"pri", J1939MemberBinding::Priority},
    {"pgn", J1939MemberBinding::Pgn},
    {"sa", J1939MemberBinding::SourceAddress},
    {"da", J1939MemberBinding::DestinationAddress},
    {"dp", J1939MemberBinding::DataPage},
};

void add_identifier_views(ScriptStructType *type, ScriptMemberBindings &bindings, int size)
{
    for (const auto &view : identifier_views)
        type->add_tagged_member(view.name, TYPE_INT,
                                bindings.add(std::make_unique<J1939MemberBinding>(view.kind, nullptr, size)));
}

// The members of J1939Message from "id" to "data", with the time stamp's name
// and the data array's length.
void add_message_members(ScriptStructType *type, const char *timestamp_name, int data_size)
{
    type->add_member("id", TYPE_INT, 0);
    type->add_member("max_dlc", TYPE_INT, 0);
    type->add_member("dlc", TYPE_INT, 0);
    type->add_member(timestamp_name, TYPE_INT, 0);
    type->add_member("flags", TYPE_BYTE, 0);
    type->add_member("reserved_byte_1", TYPE_BYTE, 0);
    type->add_member("reserved_byte_2", TYPE_BYTE, 0);
    type->add_member("reserved_byte_3", TYPE_BYTE, 0);
    type->add_member("data", TYPE_BYTE, data_size);
}

// int j1939SendMessage (J1939Message msg): sends the message with its
// extended identifier and its length through the interface; the send result.
int j1939_send_message(void *context)
{
    return native(context, 1, "j1939SendMessage", [](Native &n) {
        VyrCanIf *can = VyrCanIf::of(&n.signal_if());
        PCodeMachine &machine = n.call.machine();
        const int32_t address = n.call.address_arg(0);
        VyrCanMessage message;
        message.id = uint32_t(machine.data_int(address + id_at)) & 0x1FFFFFFF;
        const int32_t dlc = std::clamp(machine.data_int(address + dlc_at), 0, VyrCanMessage::max_data);
        const int32_t max_dlc = std::clamp(machine.data_int(address + max_dlc_at), 0, VyrCanMessage::max_data);
        message.dlc = uint8_t(dlc);
        message.flags = VyrCanMessage::Extended | VyrCanMessage::TxAck;
        // A message struct holds as many data bytes as its message.
        if (const uint8_t *data = machine.data_pointer(address + data_at, std::min(dlc, max_dlc)))
            std::memcpy(message.data, data, size_t(std::min(dlc, max_dlc)));
        n.call.set_int_result(can ? can->send_message(&message, true) : -1);
        return 0;
    });
}

} // namespace

// --- Member bindings ------------------------------------------------------------------------

J1939MemberBinding::J1939MemberBinding(uint32_t kind, const void *object, int size) : m_kind(kind), m_size(size)
{
    if (kind == Message)
        m_message = static_cast<const CANdbMessage *>(object);
    else if (kind == Signal)
        m_signal = std::make_unique<SignalMemberBinding>(static_cast<const CANdbSignal *>(object), size);
}

void J1939MemberBinding::init_variable(PCodeMachine &machine, int32_t address)
{
    if (m_kind != Message || !m_message)
        return;
    uint32_t id = ((m_message->id & 0x1FFFF) | 0xC0000) << 8;
    if (m_message->extended)
        id |= extended_bit;
    machine.set_data_int(address + id_at, int32_t(id));
    machine.set_data_int(address + max_dlc_at, m_size);
    machine.set_data_int(address + dlc_at, m_message->dlc);
    machine.set_data_int(address + timestamp_at, 0);
    machine.set_data_byte(address + flags_at, 0);
    if (uint8_t *data = machine.data_pointer(address + data_at, m_size))
        std::memset(data, 0, size_t(m_size));
}

int32_t J1939MemberBinding::read_int(PCodeMachine &machine, int32_t address, int view)
{
    if (m_kind == Signal)
        return m_signal->read_int(machine, address, view);
    const uint32_t id = uint32_t(machine.data_int(address + id_at));
    switch (m_kind) {
    case SourceAddress:
        return int32_t(id & 0xFF);
    case DestinationAddress:
        return int32_t((id >> 8) & 0xFF);
    case PduFormat:
        return int32_t(pdu_format(id));
    case DataPage:
        return int32_t((id >> 24) & 1);
    case Priority:
        return int32_t((id >> 26) & 7);
    case Pgn: {
        const uint32_t pgn = (id >> 8) & 0x1FFFF;
        return int32_t(pdu_format(id) < 240 ? pgn & ~0xFFu : pgn);
    }
    default:
        return 0;
    }
}

double J1939MemberBinding::read_double(PCodeMachine &machine, int32_t address, int view)
{
    return m_kind == Signal ? m_signal->read_double(machine, address, view) : double(read_int(machine, address, view));
}

void J1939MemberBinding::write_int(PCodeMachine &machine, int32_t address, int view, int32_t value)
{
    if (m_kind == Signal) {
        m_signal->write_int(machine, address, view, value);
        return;
    }
    const uint32_t id = uint32_t(machine.data_int(address + id_at));
    const uint32_t v = uint32_t(value);
    uint32_t changed = id;
    switch (m_kind) {
    case SourceAddress:
        changed = replace_bits(id, 0, 0xFF, v);
        break;
    case DestinationAddress:
        changed = replace_bits(id, 8, 0xFF, v);
        break;
    case DataPage:
        changed = replace_bits(id, 24, 1, v);
        break;
    case Priority:
        changed = replace_bits(id, 26, 7, v);
        break;
    case Pgn:
        changed = replace_bits(id, 8, 0x1FFFF, v);
        break;
    case PduFormat:
        // PDU2 formats bring their group extension along.
        changed = v < 240 ? replace_bits(id, 16, 0xFF, v) : replace_bits(id, 8, 0xFFFF, v);
        break;
    default:
        return;
    }
    machine.set_data_int(address + id_at, int32_t(changed));
}

void J1939MemberBinding::write_double(PCodeMachine &machine, int32_t address, int view, double value)
{
    if (m_kind == Signal)
        m_signal->write_double(machine, address, view, value);
}

// --- Identifiers and trace columns ----------------------------------------------------------

uint32_t J1939IdFormatter::display_id(const VyrCanMessage &message) const
{
    const uint32_t id = message.id;
    if (!(message.flags & VyrCanMessage::Extended))
        return id;
    return ((((id & 0xFF0000) < 0xF00000) ? id & 0x1FF0000 : id & 0x1FFFF00) >> 8) | extended_bit;
}

uint32_t J1939IdFormatter::raw_id(uint32_t pgn) const
{
    return ((pgn & 0x1FFFF) << 8) | extended_bit;
}

bool J1939IdFormatter::set_id_field(uint32_t &id, const char *field, uint32_t value) const
{
    if (!field)
        return false;
    while (*field == ' ' || *field == '\t')
        ++field;
    uint32_t changed = id;
    if (strcasecmp(field, "pgn") == 0 || strcasecmp(field, "id") == 0) {
        if ((value & 0xFF00) < 0xF000)
            changed = replace_bits(changed, 16, 0x1FF, value >> 8);
        else
            changed = replace_bits(changed, 8, 0x1FFFF, value);
    } else if (strcasecmp(field, "sa") == 0) {
        changed = replace_bits(changed, 0, 0xFF, value);
    } else if (strcasecmp(field, "da") == 0) {
        changed = replace_bits(changed, 8, 0xFF, value);
    } else if (strcasecmp(field, "pri") == 0) {
        changed = replace_bits(changed, 26, 7, value);
    } else {
        return false;
    }
    id = changed;
    return true;
}

const char *J1939IdFormatter::column_title(int index) const
{
    static const char *const titles[] = {" PGN", " SA", " DA", " PRI"};
    return index >= 0 && index < 4 ? titles[index] : nullptr;
}

int J1939IdFormatter::column_width(int index) const
{
    static const int widths[] = {6, 3, 3, 4};
    return index >= 0 && index < 4 ? widths[index] : 0;
}

int J1939IdFormatter::column_text(const VyrCanMessage &message, int index, char *buffer) const
{
    buffer[0] = '\0';
    const uint32_t id = message.id;
    if (!(message.flags & VyrCanMessage::Extended))
        return 0;
    switch (index) {
    case 0: {
        uint32_t pgn = (id >> 8) & 0x1FFFF;
        if ((pgn & 0xFF00) < 0xF000)
            pgn &= ~0xFFu;
        return std::snprintf(buffer, 16, " %5x", pgn);
    }
    case 1:
        return std::snprintf(buffer, 16, " %02lx", (unsigned long)(id & 0xFF));
    case 2:
        if (pdu_format(id) >= 240)
            return 0;
        return std::snprintf(buffer, 16, " %02lx", (unsigned long)((id >> 8) & 0xFF));
    case 3:
        return std::snprintf(buffer, 16, " %ld", long((id >> 26) & 7));
    default:
        return 0;
    }
}

bool J1939IdFormatter::read_column_text(uint32_t &id, int index, const char *text) const
{
    static const struct
    {
        const char *field;
        int base;
        unsigned long maximum;
    } columns[] = {{"pgn", 16, 0x1FFFF}, {"sa", 16, 0xFF}, {"da", 16, 0xFF}, {"pri", 10, 7}};
    if (index < 0 || index >= 4 || !text || !std::isxdigit(static_cast<unsigned char>(*text)))
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, columns[index].base);
    if (*end || errno || value > columns[index].maximum)
        return false;
    return set_id_field(id, columns[index].field, uint32_t(value));
}

// --- Script support -------------------------------------------------------------------------

const char *J1939IdFormatter::script_header() const
{
    return "\nint j1939SendMessage (J1939Message msg);\n\n";
}

int J1939IdFormatter::script_struct_types(ScriptSymbolTable *symbols, CANdbCluster *, ScriptMemberBindings &bindings)
{
    declare_signal_struct_types(symbols);
    if (ScriptStructType *type = declare_struct_type(symbols, "J1939Message")) {
        add_message_members(type, "timestamp", j1939_data_size);
        add_identifier_views(type, bindings, view_size);
    }
    return 0;
}

void J1939IdFormatter::declare_message_type(ScriptSymbolTable *symbols, CANdbCluster *databases,
                                            ScriptMemberBindings &bindings, const char *name)
{
    static constexpr std::string_view prefix = "J1939Message_";
    if (!databases || std::string_view(name).substr(0, prefix.size()) != prefix)
        return;
    // The first J1939 message of the name in any network.
    const CANdbMessage *message = nullptr;
    for (const CANdbNetwork *network : databases->networks) {
        message = network->find_message(name + prefix.size());
        if (message && message->is_j1939())
            break;
        message = nullptr;
    }
    ScriptSymbol *base = symbols->find("J1939Message", 0);
    if (!message || !base || base->kind() != SYMBOL_STRUCT_TYPE)
        return;
    const auto &j1939_message = *static_cast<ScriptStructType *>(base);
    // A signal named like a member of a message struct would move its storage.
    auto clashes = [&j1939_message](const std::string &signal_name) {
        return signal_name == "time_stamp" ||
               (signal_name != "timestamp" && j1939_message.find_member(signal_name.c_str()));
    };
    ScriptStructType *type = declare_struct_type(symbols, name);
    if (!type)
        return;
    const int size = message->dlc;
    type->tag = bindings.add(std::make_unique<J1939MemberBinding>(J1939MemberBinding::Message, message, size));
    for (CANdbSignal *signal : message->signal_list)
        if (!clashes(signal->name))
            type->add_tagged_struct_member(
                signal->name.c_str(), signal_struct_type(symbols, *signal),
                bindings.add(std::make_unique<J1939MemberBinding>(J1939MemberBinding::Signal, signal, size)));
    add_message_members(type, "time_stamp", size);
    add_identifier_views(type, bindings, size);
}

int J1939IdFormatter::bind_natives(PCodeMachine *machine, ScriptSymbolTable *symbols)
{
    return machine->bind_native_if_declared(*symbols, "j1939SendMessage", j1939_send_message);
}

void J1939IdFormatter::add_j1939_members(ScriptStructType *type, ScriptMemberBindings &bindings)
{
    add_identifier_views(type, bindings, view_size);
}

namespace {

IdFormatter *make_j1939_formatter(const char *name)
{
    return new J1939IdFormatter(name);
}

// The formatters of the program, in their order.
const bool formatters_registered = [] {
    register_id_formatter("J1939", make_j1939_formatter);
    return true;
}();

} // namespace
