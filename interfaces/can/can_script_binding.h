#pragma once
// The script binding of a CAN or LIN interface: the CAN prelude compiled
// before every script of the interface, the struct types CanMessage and
// CanMessage_<name> of each database message a script names, with its signal
// members, the CAN natives, the message-identifier formatter's script
// support, the event hooks CanMessage, LinMessage, CanTpMessage, LinSynchError
// and LinWakeup, and the interface's transport channels.
#include "core/script_trigger.h"
#include "core/vyr_packet.h"
#include "interfaces/can/can_tp_channel.h"
#include "interfaces/can/script_member_binding.h"

#include <cstdint>
#include <memory>

class IdFormatter;
class ScriptCompiler;
class VyrCanIf;
struct VyrCanMessage;

class VyrCanScriptBinding
{
public:
    // Script trigger kinds of the interface's events.
    static constexpr uint32_t can_message_trigger = ScriptTrigger::message;
    static constexpr uint32_t tp_message_trigger = 32;
    static constexpr uint32_t lin_exception_trigger = 128;
    // Handler keys besides the message keys.
    static constexpr uint32_t error_frame_key = 0xFFFFFFFFu;
    static constexpr uint32_t catch_all_key = 0x7FFF0000u;
    static constexpr uint32_t lin_synch_error_key = 1;
    static constexpr uint32_t lin_wakeup_key = 2;

    // Layout of the script's CanMessage.
    static constexpr int32_t message_id_at = 0;
    static constexpr int32_t message_timestamp_at = 4;
    static constexpr int32_t message_timestamp_us_at = 8;
    static constexpr int32_t message_channel_at = 12;
    static constexpr int32_t message_dlc_at = 13;
    static constexpr int32_t message_flags_at = 16;
    static constexpr int32_t message_data_at = 20;
    static constexpr int32_t message_size = 84;
    // Layout of CanTpMessage.
    static constexpr int32_t tp_handle_at = 0;
    static constexpr int32_t tp_length_at = 4;
    static constexpr int32_t tp_txid_at = 8;
    static constexpr int32_t tp_rxid_at = 12;
    static constexpr int32_t tp_data_at = 16;
    static constexpr int tp_data_size = 4096;

    explicit VyrCanScriptBinding(VyrCanIf *can);
    ~VyrCanScriptBinding();

    // The prelude text.
    static const char *prelude();

    // Declares the struct types, compiles the prelude with the formatter's
    // declarations and binds the natives; 0, else the compile result.
    int basic_definitions();
    // Resolves an event hook for the compiler; -1 for a name that is not this
    // interface's.
    int script_struct_type(const char *name, ScriptCompiler *compiler);

    // Data addresses of this_message, this_can_tp_message and
    // this_lin_exception; -1 until a script compiled.
    int32_t this_message() const { return m_this_message; }
    int32_t this_can_tp_message() const { return m_this_can_tp_message; }
    int32_t this_lin_exception() const { return m_this_lin_exception; }

    // The handler key of a frame: its message key, or the key that the
    // formatter derives from it.
    uint32_t handler_key(const VyrCanMessage &frame) const;

    VyrCanTpChannelList &tp_channels() { return m_tp_channels; }
    // The "Transport Layer" packets: one per message a transport channel
    // received or sent, with the channel's name, its identifiers (the sending
    // node's first), the length and the data.
    VyrPacketSource &transport_packets() { return m_transport_source; }
    void add_transport_packet(const TransportChannel &channel, bool sent);
    // The handle of the next transport channel (handles count from 0).
    int next_tp_handle() { return m_next_tp_handle++; }

    VyrCanIf *can() const { return m_can; }

private:
    int can_message_hook(ScriptCompiler &compiler, const char *hook_name);
    int can_tp_message_hook(ScriptCompiler &compiler);
    int lin_exception_hook(ScriptCompiler &compiler, const char *hook_name, uint32_t key);
    // Declares the struct type CanMessage_<message> of a database message
    // (signals named like a member of CanMessage are left out) when a script
    // first names it; other names go to the identifier formatter.
    void declare_message_type(ScriptSymbolTable &symbols, const char *name);
    // Declares "this" of the struct type for the handler that follows.
    void make_this_visible(ScriptCompiler &compiler, const char *struct_name, int32_t address);
    // The identifier of a hook text: a database message name or an identifier
    // literal. 0, or -1 when the text is neither.
    int hook_id(const char *text, VyrCanMessage &message) const;

    VyrCanIf *m_can;
    VyrCanTpChannelList m_tp_channels;
    VyrPacketSource m_transport_source;
    // Written on the receive loop's thread only.
    VyrPacket m_transport_packet;
    uint32_t m_transport_counter = 0;
    int m_next_tp_handle = 0;
    int32_t m_this_message = -1;
    int32_t m_this_can_tp_message = -1;
    int32_t m_this_lin_exception = -1;
};
