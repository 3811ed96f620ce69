#include "interfaces/can/can_script_binding.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "interfaces/can/id_formatter.h"
#include "settings/debug_trace.h"
#include "core/time_base.h"
#include "interfaces/can/vyr_can_if.h"
#include "script/pcode_machine.h"
#include "script/script_hook_trigger.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/script_tokens.h"
#include "script/vyr_declaration_host.h"
#include "script/vyr_script_runtime.h"

#include <map>
#include <string>
#include <string_view>

void bind_can_natives(PCodeMachine *machine, ScriptSymbolTable *symbols);

namespace {

// The CAN prelude: flags, modes and states, the natives and the struct types
// of transport packets and LIN exceptions with their globals.
const char can_prelude[] = "__pragma_internal;\n"
                           "CanMessage this_message;\n"
                           "const int CANMSG_FLAG_REMOTE = 0x0001;\n"
                           "const int CANMSG_FLAG_FLAG_FILTER = 0x0002;\n"
                           "const int CANMSG_FLAG_EXT_ID = 0x0004;\n"
                           "const int CANMSG_FLAG_WAKEUP = 0x0008;\n"
                           "const int CANMSG_FLAG_NERR = 0x0010;\n"
                           "const int CANMSG_FLAG_ERROR = 0x0020;\n"
                           "const int CANMSG_FLAG_TXACK = 0x0040;\n"
                           "const int CANMSG_FLAG_TXRQ = 0x0080;\n"
                           "const int CANMSG_FLAG_ONE_SHOT = 0x0100;\n"
                           "const int CANMSG_FLAG_HEADER = 0x0800;\n"
                           "const int CANMSG_FLAG_EDL = 0x00010000;\n"
                           "const int CANMSG_FLAG_FDF = 0x00010000;\n"
                           "const int CANMSG_FLAG_BRS = 0x00020000;\n"
                           "const int CANMSG_FLAG_ESI = 0x00040000;\n"
                           "const int CANMSG_FLAG_CSUM = 0x8000;\n"
                           "const int LIN_MSGMODE_DISTURB_CSUM = 0x01;\n"
                           "const int LIN_MSGMODE_DISTURB_PARITY = 0x02;\n"
                           "const int LIN_MSGMODE_USE_STANDARD_PARITY = 0x04;\n"
                           "const int LIN_MSGMODE_USE_ENHANCED_PARITY = 0x08;\n"
                           "const int LIN_PARAMID_SYNC_FIELD = 0x10;\n"
                           "const int LIN_PARAMID_BREAK_LENGTH = 0x11;\n"
                           "const int LIN_PARAMID_CSUM = 0x12;\n"
                           "const int LIN_PARAM_ID_DELAY_AFTER_BREAK = 0x13;\n"
                           "const int LIN_PARAM_ID_DELAY_AFTER_SYNC = 0x14;\n"
                           "const int LIN_PARAM_ID_DELAY_AFTER_ID = 0x15;\n"
                           "const int vivOZOZAV_MODE_NORMAL = 4;\n"
                           "const int vivOZOZAV_MODE_SILENT = 1;\n"
                           "const int canLINE_MODE_SWC_SLEEP = 4;\n"
                           "const int canLINE_MODE_SWC_NORMAL = 5;\n"
                           "const int canLINE_MODE_SWC_FAST = 6;\n"
                           "const int canLINE_MODE_SWC_WAKEUP = 7;\n"
                           "const int canLINE_MODE_SLEEP = 8;\n"
                           "const int canLINE_MODE_NORMAL = 9;\n"
                           "const int canLINE_MODE_STDBY = 10;\n"
                           "const int canLINE_MODE_TT_CAN_H = 11;\n"
                           "const int canLINE_MODE_TT_CAN_L = 12;\n"
                           "const int canLINE_MODE_OEM1 = 13;\n"
                           "const int canLINE_MODE_OEM2 = 14;\n"
                           "const int canLINE_MODE_OEM3 = 15;\n"
                           "const int canLINE_MODE_OEM4 = 16;\n"
                           "const int canSTATUS_BUS_OFF = 0;\n"
                           "const int canSTATUS_BUS_ERROR_PASSIVE = 1;\n"
                           "const int canSTATUS_BUS_ERROR_WARNING = 2;\n"
                           "const int canSTATUS_BUS_ON = 3;\n"
                           "int canSendMessage (CanMessage msg);\n"
                           "int canChannelSendMessage (int chan, CanMessage msg);\n"
                           "int canSetBitRate (int freq, int tseg1, int tseg2, int samples, int sjw);\n"
                           "int canGetBitRate (int &freq, int &t1, int &t2, int &samples, int &sjw);\n"
                           "int canBusOff ();\n"
                           "int canBusOn ();\n"
                           "int canReset ();\n"
                           "int canSetSilentMode (int silent_mode);\n"
                           "int canGetSilentMode (int &silent_mode);\n"
                           "int canSetLineMode (int line_mode);\n"
                           "int canGetLineMode (int &lineMode);\n"
                           "int canGetBusStatus (int &status);\n"
                           "int canGetErrorCounters (int &rxErr, int &txErr);\n"
                           "int canSetFilterFlag (CanMessage msg, int flag);\n"
                           "int canGetFilterFlag (CanMessage msg);\n"
                           "int canGetChannelIndexByName (char name[]);\n"
                           "int canGetChannelIndexByHardwareName (char name[]);\n"
                           "int vivOzozavSendBlock (int command, char data[], int length);\n"
                           "int vivOzozavSendCommand (int command, int arg1, int arg2);\n"
                           "int linSelectScheduleTableByName (char name[]);\n"
                           "int linSetExtraBreakTime (int break_time);\n"
                           "int linSetBitrate (int bitrate);\n"
                           "int linSetIllegalMesageFlags (int id, int flags);\n"
                           "int linSetParameter (int param_id, int param_value);\n"
                           "int linResetParameter (int param_id);\n"
                           "int linCheckReferencePower ();\n"
                           "int canTpOpen (int rxid, int txid, char name[]);\n"
                           "int canTpClose (int handle);\n"
                           "int canTpTransmit (int handle, int len, byte data[]);\n"
                           "int canTpAbort (int handle);\n"
                           "int canTpSetTransmitNotification (int handle, char hook[]);\n"
                           "int canTpSetReceiveNotification (int handle, char hook[]);\n"
                           "int canTpGetData (int handle, byte data [], int length);\n"
                           "int canTpGetPacketLength (int handle);\n"
                           "int canTpSetAttrInt (int handle, char name[], int value);\n"
                           "int canTpGetAttrInt (int handle, char name[]);\n"
                           "struct CanTpMessage { int handle; int length; int txid; int rxid; byte data [4096]; };\n"
                           "CanTpMessage this_can_tp_message;\n"
                           "const int LIN_SYNCHERROR_UNDEF = 0;\n"
                           "const int LIN_SYNCHERROR_SYNCH_BREAK = 1;\n"
                           "const int LIN_SYNCHERROR_NO_SYNCH_FIELD = 2;\n"
                           "const int LIN_SYNCHERROR_SYNCH_FIELD = 3;\n"
                           "const int LIN_SYNCHERROR_SHORT_SYNCH_BREAK = 4;\n"
                           "struct LinException { int code; int break_length; int timestamp; int timestamp_us; };\n"
                           "LinException this_lin_exception;\n";

// The members of CanMessage, in their order.
void add_can_message_members(ScriptStructType *type)
{
    type->add_member("id", TYPE_INT, 0);
    type->add_member("timestamp", TYPE_INT, 0);
    type->add_alias_member("time_stamp");
    type->add_member("timestamp_us", TYPE_INT, 0);
    type->add_member("channel", TYPE_BYTE, 0);
    type->add_member("dlc", TYPE_BYTE, 0);
    type->add_member("reserved_1", TYPE_BYTE, 0);
    type->add_member("reserved_2", TYPE_BYTE, 0);
    type->add_member("flags", TYPE_INT, 0);
    type->add_member("data", TYPE_BYTE, VyrCanMessage::max_data);
}

// The handler key of a database message: its identifier as the interface's
// formatter shows it, bit 31 marking an extended one.
uint32_t message_key(const VyrCanIf &can, const CANdbMessage &message)
{
    VyrCanMessage frame;
    frame.id = message.id;
    frame.flags = message.extended ? uint32_t(VyrCanMessage::Extended) : 0u;
    return can.id_formatter() ? can.id_formatter()->display_id(frame) : message.key_id();
}

// A message struct initialised from its database message: the identifier
// (as the formatter enters it when one is configured), its length, the
// extended flag; channel 0, data zeroed.
class CanMessageBinding : public ScriptMemberBinding
{
public:
    CanMessageBinding(const CANdbMessage *message, const VyrCanIf *can) : m_message(message), m_can(can) {}

    void init_variable(PCodeMachine &machine, int32_t address) override
    {
        const uint32_t flags = m_message->extended ? uint32_t(VyrCanMessage::Extended) : 0u;
        const uint32_t id = message_key(*m_can, *m_message);
        machine.set_data_int(address + VyrCanScriptBinding::message_id_at, int32_t(id));
        machine.set_data_byte(address + VyrCanScriptBinding::message_channel_at, 0);
        machine.set_data_byte(address + VyrCanScriptBinding::message_dlc_at,
                              uint8_t(std::min(m_message->dlc, VyrCanMessage::max_data)));
        machine.set_data_int(address + VyrCanScriptBinding::message_flags_at, int32_t(flags));
        if (uint8_t *data =
                machine.data_pointer(address + VyrCanScriptBinding::message_data_at, VyrCanMessage::max_data))
            std::memset(data, 0, VyrCanMessage::max_data);
    }

private:
    const CANdbMessage *m_message;
    const VyrCanIf *m_can;
};

// The fields of a "Transport Layer" packet.
const VyrPacketLayout &transport_layout()
{
    static const VyrPacketLayout layout = [] {
        VyrPacketLayout fields(5);
        fields.define_field(0, "Socket Name", "Name of Communication Handle", VyrPacketLayout::Text, 32);
        fields.define_field(1, "TX Node", "Transmit Node", VyrPacketLayout::Int2, -1);
        fields.define_field(2, "RX Node", "Receive Node", VyrPacketLayout::Int2, -1);
        fields.define_field(3, "Length", "Packet Length", VyrPacketLayout::Int2, -1);
        fields.define_field(4, "Data", "Contents of the Packet", VyrPacketLayout::Bytes, 4096);
        return fields;
    }();
    return layout;
}

} // namespace

VyrCanScriptBinding::VyrCanScriptBinding(VyrCanIf *can)
    : m_can(can), m_transport_source("Transport Layer", &transport_layout()), m_transport_packet(&transport_layout())
{}

VyrCanScriptBinding::~VyrCanScriptBinding() = default;

const char *VyrCanScriptBinding::prelude()
{
    return can_prelude;
}

uint32_t VyrCanScriptBinding::handler_key(const VyrCanMessage &frame) const
{
    if (const IdFormatter *formatter = m_can->id_formatter())
        return formatter->display_id(frame);
    return frame.flags & VyrCanMessage::Extended ? frame.id | 0x80000000u : frame.id;
}

void VyrCanScriptBinding::add_transport_packet(const TransportChannel &channel, bool sent)
{
    const std::vector<uint8_t> &data = sent ? channel.sent_packet() : channel.received_packet();
    const TimeValue now = get_current_time();
    m_transport_packet.clear();
    m_transport_packet.set_time_ms(now.seconds * 1000 + now.microseconds / 1000);
    m_transport_packet.set_counter(++m_transport_counter);
    m_transport_packet.set_flags(VyrPacket::TimeValid | VyrPacket::CounterValid);
    m_transport_packet.set_string_field(0, channel.channel_name().c_str());
    m_transport_packet.set_int_field(1, sent ? channel.tx_id() : channel.rx_id());
    m_transport_packet.set_int_field(2, sent ? channel.rx_id() : channel.tx_id());
    m_transport_packet.set_int_field(3, uint32_t(data.size()));
    m_transport_packet.set_data_field(4, data.data(), int(data.size()));
    m_transport_source.notify_listeners(m_transport_packet);
}

// --- Prelude ------------------------------------------------------------------------------

void VyrCanScriptBinding::declare_message_type(ScriptSymbolTable &symbols, const char *name)
{
    static constexpr std::string_view prefix = "CanMessage_";
    CANdbCluster *databases = m_can->databases();
    if (!databases)
        return;
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(m_can);
    if (!runtime)
        return;
    ScriptMemberBindings &bindings = runtime->entries();
    if (std::string_view(name).substr(0, prefix.size()) != prefix) {
        if (IdFormatter *formatter = m_can->id_formatter())
            formatter->declare_message_type(&symbols, databases, bindings, name);
        return;
    }
    const CANdbMessage *message = databases->find_message(name + prefix.size());
    ScriptSymbol *can_message = symbols.find("CanMessage", 0);
    if (!message || !can_message || can_message->kind() != SYMBOL_STRUCT_TYPE)
        return;
    ScriptStructType *type = declare_struct_type(&symbols, name);
    if (!type)
        return;
    for (CANdbSignal *signal : message->signal_list)
        // A signal named like a member of CanMessage would move the data.
        if (!static_cast<ScriptStructType *>(can_message)->find_member(signal->name.c_str()))
            type->add_tagged_struct_member(
                signal->name.c_str(), signal_struct_type(&symbols, *signal),
                bindings.add(std::make_unique<SignalMemberBinding>(signal, VyrCanMessage::max_data)));
    add_can_message_members(type);
    if (IdFormatter *formatter = m_can->id_formatter())
        formatter->add_j1939_members(type, bindings);
    type->tag = bindings.add(std::make_unique<CanMessageBinding>(message, m_can));
}

int VyrCanScriptBinding::basic_definitions()
{
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(m_can);
    if (!runtime)
        return 0;
    PCodeMachine *machine = runtime->machine();
    ScriptSymbolTable *symbols = runtime->symbols();
    m_this_message = m_this_can_tp_message = m_this_lin_exception = -1;
    ScriptMemberBindings &bindings = runtime->entries();
    IdFormatter *formatter = m_can->id_formatter();

    declare_signal_struct_types(symbols);
    ScriptStructType *can_message = declare_struct_type(symbols, "CanMessage");
    if (!can_message) {
        m_can->error_printf("VyrCanIf:: r=%d", -1);
        return -1;
    }
    add_can_message_members(can_message);
    symbols->set_declarer([this](ScriptSymbolTable &table, const char *name) { declare_message_type(table, name); });
    std::string text = can_prelude;
    if (formatter) {
        formatter->script_struct_types(symbols, m_can->databases(), bindings);
        if (const char *header = formatter->script_header())
            text += header;
    }
    const int r = runtime->compile_prelude(text.c_str());
    if (r != 0) {
        m_can->error_printf("VyrCanIf:: r=%d", r);
        return r;
    }
    bind_can_natives(machine, symbols);
    if (formatter)
        formatter->bind_natives(machine, symbols);

    m_this_message = runtime->variable_address("this_message");
    m_this_can_tp_message = runtime->variable_address("this_can_tp_message");
    m_this_lin_exception = runtime->variable_address("this_lin_exception");
    return 0;
}

// --- Hooks ----------------------------------------------------------------------------------

int VyrCanScriptBinding::script_struct_type(const char *name, ScriptCompiler *compiler)
{
    const std::string hook = name ? name : "";
    const bool lin = m_can->lin_mode() != 0;
    if (hook == "CanMessage" || (lin && hook == "LinMessage"))
        return can_message_hook(*compiler, name);
    if (hook == "CanTpMessage")
        return can_tp_message_hook(*compiler);
    if (lin && hook == "LinSynchError")
        return lin_exception_hook(*compiler, name, lin_synch_error_key);
    if (lin && hook == "LinWakeup")
        return lin_exception_hook(*compiler, name, lin_wakeup_key);
    return -1;
}

void VyrCanScriptBinding::make_this_visible(ScriptCompiler &compiler, const char *struct_name, int32_t address)
{
    ScriptSymbol *type = compiler.symbols->find_or_declare(struct_name);
    if (!type || type->kind() != SYMBOL_STRUCT_TYPE) {
        debug_trace("VyrCanScriptBinding::make_this_visible: no struct type '%s'", struct_name);
        return;
    }
    if (auto *host = dynamic_cast<VyrDeclarationHost *>(&compiler))
        host->make_this_visible(address, TYPE_STRUCT, static_cast<ScriptStructType *>(type));
}

int VyrCanScriptBinding::hook_id(const char *text, VyrCanMessage &message) const
{
    return id_by_database_name(m_can, text, message);
}

namespace {

// The number token just read with the letters of a name token right after
// it ("0x100" followed by "x"), as an identifier literal: with an "h" among
// the letters the digits as written, else the value in decimal. Any other
// following token is handed back.
std::string numeric_literal(ScriptCompiler &compiler, int32_t value, bool *bad_follower)
{
    const std::string digits = compiler.number_text;
    ScriptTokenValue next;
    const int token = compiler.next_token(&next);
    if (token != T_IDENT) {
        if (bad_follower)
            *bad_follower = token != '{';
        compiler.push_back_token(next, token);
        return std::to_string(uint32_t(value));
    }
    const std::string letters = next.text;
    const bool hexadecimal = letters.find_first_of("hH") != std::string::npos;
    return (hexadecimal ? digits : std::to_string(uint32_t(value))) + letters;
}

} // namespace

int VyrCanScriptBinding::can_message_hook(ScriptCompiler &compiler, const char *hook_name)
{
    ScriptTokenValue value;
    const int token = compiler.next_token(&value);
    std::string text;
    uint32_t key = 0;
    std::string struct_name = "CanMessage";
    if (token == '*') {
        text = "*";
        key = catch_all_key;
    } else {
        if (token == T_INT_CONST) {
            bool bad_follower = false;
            text = numeric_literal(compiler, value.int_value, &bad_follower);
            if (bad_follower) {
                compiler.error("Expected flags or '{' after a numeric CanMessage hook");
                return -1;
            }
        } else if (token == T_IDENT) {
            text = value.text;
        }
        const CANdbMessage *message =
            m_can->databases() && token == T_IDENT ? m_can->databases()->find_message(text.c_str()) : nullptr;
        VyrCanMessage literal;
        if (message) {
            key = message_key(*m_can, *message);
            struct_name = "CanMessage_" + message->name;
        } else if (VyrCanMessage::parse_id(literal, text.c_str()) != 0) {
            compiler.error("Invalid %s hook '%s'", hook_name, text.c_str());
            return -1;
        } else if (literal.flags & VyrCanMessage::ErrorFrame) {
            key = error_frame_key;
        } else {
            key = literal.flags & VyrCanMessage::Extended ? literal.id | 0x80000000u : literal.id;
        }
    }
    make_this_visible(compiler, struct_name.c_str(), m_this_message);
    auto trigger = std::make_unique<ScriptHookTrigger>(m_can, can_message_trigger, uintptr_t(key), text);
    trigger->set_function_id(compiler.machine->code_position());
    VyrScriptRuntime::of(m_can)->add_script_trigger(std::move(trigger));
    return 0;
}

int VyrCanScriptBinding::lin_exception_hook(ScriptCompiler &compiler, const char *hook_name, uint32_t key)
{
    make_this_visible(compiler, "LinException", m_this_lin_exception);
    auto trigger = std::make_unique<ScriptHookTrigger>(m_can, lin_exception_trigger, uintptr_t(key), hook_name);
    trigger->set_function_id(compiler.machine->code_position());
    VyrScriptRuntime::of(m_can)->add_script_trigger(std::move(trigger));
    return 0;
}

int VyrCanScriptBinding::can_tp_message_hook(ScriptCompiler &compiler)
{
    std::string txid = "0";
    std::string rxid = "0";
    std::string protocol = "ISO-15765";
    std::string channel_name;
    std::map<std::string, int> protocol_attributes;
    std::vector<std::string> attribute_order;

    ScriptTokenValue value;
    int token = compiler.next_token(&value);
    if (token == '(') {
        for (;;) {
            token = compiler.next_token(&value);
            if (token != T_IDENT) {
                compiler.error("Expected parameter field (t=%d,'%c')", token, token > 0 && token < 256 ? token : ' ');
                return -1;
            }
            const std::string attribute = value.text;
            if (compiler.next_token(&value) != '=') {
                compiler.error("Expected assignment ('=')");
                return -1;
            }
            token = compiler.next_token(&value);
            if (attribute == "txid" || attribute == "rxid") {
                std::string &target = attribute == "txid" ? txid : rxid;
                if (token == T_INT_CONST)
                    target = numeric_literal(compiler, value.int_value, nullptr);
                else
                    target = token == T_IDENT ? value.text : "";
            } else if (attribute == "protocol" || attribute == "name") {
                if (token != T_STRING_CONST) {
                    compiler.error("Attribute '%s' must be of type 'string'", attribute.c_str());
                    return -1;
                }
                (attribute == "protocol" ? protocol : channel_name) = value.text;
            } else {
                if (token != T_INT_CONST) {
                    compiler.error("Protocol defined attributes must be of type 'int'");
                    return -1;
                }
                if (!protocol_attributes.count(attribute))
                    attribute_order.push_back(attribute);
                protocol_attributes[attribute] = value.int_value;
            }
            token = compiler.next_token(&value);
            if (token == ')')
                break;
            if (token != ',') {
                compiler.error("Expected parameter field (t=%d,'%c')", token, token > 0 && token < 256 ? token : ' ');
                return -1;
            }
        }
    } else if (token != '*') {
        compiler.error("Expected parameter field");
        return -1;
    }

    uint32_t ids[2] = {};
    const std::string *texts[2] = {&rxid, &txid};
    for (int i = 0; i < 2; ++i) {
        VyrCanMessage message;
        if (hook_id(texts[i]->c_str(), message) != 0) {
            compiler.error("Invalid identifier '%s' for CanTpMessage", texts[i]->c_str());
            return -1;
        }
        if (message.flags & VyrCanMessage::ErrorFrame) {
            compiler.error("Error frame not allowed for CanTpMessage");
            return -1;
        }
        if (message.flags & VyrCanMessage::Remote) {
            compiler.error("Remote frame not allowed for CanTpMessage");
            return -1;
        }
        ids[i] = message.flags & VyrCanMessage::Extended ? message.id | 0x80000000u : message.id;
    }
    if (channel_name.empty())
        channel_name = m_can->name() + "::" + protocol + "_" + std::to_string(m_tp_channels.count() + 1);

    make_this_visible(compiler, "CanTpMessage", m_this_can_tp_message);
    const int handle = next_tp_handle();
    auto trigger = std::make_unique<ScriptHookTrigger>(m_can, tp_message_trigger, uintptr_t(handle), "CanTpMessage");
    trigger->set_function_id(compiler.machine->code_position());
    ScriptTrigger *hook = VyrScriptRuntime::of(m_can)->add_script_trigger(std::move(trigger));

    auto channel = std::make_unique<VyrCanTpChannel>(this, protocol.c_str(), ids[0], ids[1], channel_name.c_str());
    if (!channel->protocol()) {
        compiler.error("Protocol type '%s' is not valid", protocol.c_str());
        return -1;
    }
    for (const std::string &attribute : attribute_order) {
        bool ok = false;
        channel->set_attr_int(attribute.c_str(), protocol_attributes[attribute], &ok);
        if (!ok) {
            compiler.error("Attribute '%s' is not accepted by protocol type '%s'", attribute.c_str(), protocol.c_str());
            return -1;
        }
    }
    channel->kind = VyrCanTpChannel::hook_channel;
    channel->handle = handle;
    channel->message_hook = hook;
    m_tp_channels.add(std::move(channel));
    return 0;
}
