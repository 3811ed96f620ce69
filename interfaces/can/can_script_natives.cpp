// The natives of the CAN prelude: sending, bus and channel control, the
// filter flag, channel lookup, the LIN cable commands and the transport
// channels of scripts.
#include "core/script_trigger.h"
#include "settings/debug_trace.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/vyr_can_if.h"
#include "script/pcode_machine.h"
#include "script/vyr_native_context.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr int32_t filter_flag = VyrCanMessage::Filter;
// Flags of a script message that a sent frame keeps.
constexpr uint32_t sendable_flags = 0x3893D;
constexpr int max_tp_data = 4096;

VyrCanIf *can_of(Native &n)
{
    return VyrCanIf::of(&n.signal_if());
}

VyrCanScriptBinding *binding_of(Native &n)
{
    VyrCanIf *can = can_of(n);
    return can ? can->script_binding() : nullptr;
}

// Runs body(native, interface, channel) for a native that needs the
// interface's hardware channel; -1 without one.
template <typename Body> int channel_native(void *context, int params, const char *name, Body body)
{
    return native(context, params, name, [&body](Native &n) {
        VyrCanIf *can = can_of(n);
        CANhwChannel *channel = can ? can->channel() : nullptr;
        n.call.set_int_result(channel ? body(n, *can, *channel) : -1);
        return 0;
    });
}

int status_result(CANhwStatus status)
{
    return status == canhwSuccess ? 0 : -1;
}

// The script message at the address as a frame to send: bit 31 of the
// identifier marks an extended one; the frame counts as sent by this program.
VyrCanMessage frame_of(PCodeMachine &machine, int32_t address)
{
    VyrCanMessage frame;
    const uint32_t id = uint32_t(machine.data_int(address + VyrCanScriptBinding::message_id_at));
    frame.id = id & 0x7FFFFFFF;
    const uint8_t *bytes = machine.data_pointer(address, VyrCanScriptBinding::message_size);
    if (!bytes)
        return frame;
    frame.dlc = std::min<uint8_t>(bytes[VyrCanScriptBinding::message_dlc_at], VyrCanMessage::max_data);
    frame.flags = (uint32_t(machine.data_int(address + VyrCanScriptBinding::message_flags_at)) & sendable_flags) |
        VyrCanMessage::TxAck;
    if (id & 0x80000000u)
        frame.flags |= VyrCanMessage::Extended;
    std::memcpy(frame.data, bytes + VyrCanScriptBinding::message_data_at, VyrCanMessage::max_data);
    return frame;
}

int send_script_message(Native &n, VyrCanIf *target, int message_arg)
{
    if (!target)
        return -1;
    VyrCanMessage frame = frame_of(n.call.machine(), n.call.address_arg(message_arg));
    const int result = target->send_message(&frame, true);
    if (result != 0)
        n.signal_if().error_printf("canSendMessage() failed, res=%d.", result);
    return result;
}

int can_send_message(void *context)
{
    return native(context, 1, "canSendMessage", [](Native &n) {
        n.call.set_int_result(send_script_message(n, can_of(n), 0));
        return 0;
    });
}

int can_channel_send_message(void *context)
{
    return native(context, 2, "canChannelSendMessage", [](Native &n) {
        VyrCanIf *target = can_interface_by_channel(n.call.int_arg(0));
        if (target && target->type_name() != "CAN")
            target = nullptr;
        n.call.set_int_result(send_script_message(n, target, 1));
        return 0;
    });
}

int can_set_bit_rate(void *context)
{
    return channel_native(context, 5, "canSetBitRate", [](Native &n, VyrCanIf &, CANhwChannel &channel) {
        const ScriptNativeCall &c = n.call;
        return status_result(channel.set_bus_params(c.int_arg(0), unsigned(c.int_arg(1)), unsigned(c.int_arg(2)),
                                                    unsigned(c.int_arg(4)), unsigned(c.int_arg(3)), 0));
    });
}

int can_get_bit_rate(void *context)
{
    return channel_native(context, 5, "canGetBitRate", [](Native &n, VyrCanIf &, CANhwChannel &channel) {
        long bitrate = 0;
        unsigned tseg1 = 0, tseg2 = 0, sjw = 0, samples = 0, sync_mode = 0;
        if (channel.get_bus_params(&bitrate, &tseg1, &tseg2, &sjw, &samples, &sync_mode) != canhwSuccess)
            return -1;
        PCodeMachine &machine = n.call.machine();
        const int32_t values[] = {int32_t(bitrate), int32_t(tseg1), int32_t(tseg2), int32_t(samples), int32_t(sjw)};
        for (int i = 0; i < 5; ++i)
            machine.set_data_int(n.call.address_arg(i), values[i]);
        return 0;
    });
}

int can_bus_off(void *context)
{
    return channel_native(context, 0, "canBusOff", [](Native &, VyrCanIf &can, CANhwChannel &channel) {
        can.set_bus_state(canhwBusOff);
        return status_result(channel.busoff());
    });
}

int can_bus_on(void *context)
{
    return channel_native(context, 0, "canBusOn", [](Native &, VyrCanIf &can, CANhwChannel &channel) {
        can.set_bus_state(canhwBusErrorActive);
        return status_result(channel.buson());
    });
}

int can_reset(void *context)
{
    return channel_native(context, 0, "canReset", [](Native &, VyrCanIf &can, CANhwChannel &channel) {
        can.set_bus_state(canhwBusOff);
        const CANhwStatus off = channel.busoff();
        can.set_bus_state(canhwBusErrorActive);
        const CANhwStatus on = channel.buson();
        return off == canhwSuccess || on == canhwSuccess ? 0 : -1;
    });
}

int can_set_silent_mode(void *context)
{
    return channel_native(context, 1, "canSetSilentMode", [](Native &n, VyrCanIf &, CANhwChannel &channel) {
        return status_result(channel.set_output_mode(n.call.int_arg(0) != 0));
    });
}

int can_get_silent_mode(void *context)
{
    return channel_native(context, 1, "canGetSilentMode", [](Native &n, VyrCanIf &, CANhwChannel &channel) {
        bool silent = false;
        if (channel.get_output_mode(&silent) != canhwSuccess)
            return -1;
        n.call.machine().set_data_int(n.call.address_arg(0), silent ? 1 : 0);
        return 0;
    });
}

int can_set_line_mode(void *context)
{
    return channel_native(context, 1, "canSetLineMode", [](Native &n, VyrCanIf &, CANhwChannel &channel) {
        return status_result(channel.set_transceiver_mode(n.call.int_arg(0)));
    });
}

int can_get_line_mode(void *context)
{
    return channel_native(context, 1, "canGetLineMode", [](Native &n, VyrCanIf &, CANhwChannel &channel) {
        int mode = 0;
        if (channel.get_transceiver_mode(&mode) != canhwSuccess)
            return -1;
        n.call.machine().set_data_int(n.call.address_arg(0), mode);
        return 0;
    });
}

int can_get_bus_status(void *context)
{
    return native(context, 1, "canGetBusStatus", [](Native &n) {
        VyrCanIf *can = can_of(n);
        if (!can)
            return -1;
        n.call.machine().set_data_int(n.call.address_arg(0), can->bus_state());
        n.call.set_int_result(0);
        return 0;
    });
}

// The counters of the channel's last chip-state report.
int can_get_error_counters(void *context)
{
    return native(context, 2, "canGetErrorCounters", [](Native &n) {
        VyrCanIf *can = can_of(n);
        if (!can)
            return -1;
        n.call.machine().set_data_int(n.call.address_arg(0), can->rx_error_counter());
        n.call.machine().set_data_int(n.call.address_arg(1), can->tx_error_counter());
        n.call.set_int_result(0);
        return 0;
    });
}

int can_set_filter_flag(void *context)
{
    return native(context, 2, "canSetFilterFlag", [](Native &n) {
        PCodeMachine &machine = n.call.machine();
        const int32_t at = n.call.address_arg(0) + VyrCanScriptBinding::message_flags_at;
        const int32_t flags = machine.data_int(at);
        machine.set_data_int(at, n.call.int_arg(1) ? flags | filter_flag : flags & ~filter_flag);
        n.call.set_int_result(0);
        return 0;
    });
}

int can_get_filter_flag(void *context)
{
    return native(context, 1, "canGetFilterFlag", [](Native &n) {
        const int32_t flags = n.call.machine().data_int(n.call.address_arg(0) + VyrCanScriptBinding::message_flags_at);
        n.call.set_int_result(flags & filter_flag ? 1 : 0);
        return 0;
    });
}

// The channel number of the first CAN (not LIN) interface whose display
// name (unless hardware_only) or hardware channel name is the text.
template <bool hardware_only> int channel_index_by_name(void *context)
{
    return native(context, 1, hardware_only ? "canGetChannelIndexByHardwareName" : "canGetChannelIndexByName",
                  [](Native &n) {
                      const char *name = n.call.text_arg(0);
                      if (!name)
                          return -1;
                      int found = -1;
                      for (int i = 0; i < can_channel_count() && found < 0; ++i) {
                          VyrCanIf *can = can_interface_by_channel(i);
                          if (!can || can->lin_mode())
                              continue;
                          if ((!hardware_only && can->name() == name) || can->channel_name() == QString::fromUtf8(name))
                              found = can->message_channel_number();
                      }
                      n.call.set_int_result(found);
                      return 0;
                  });
}

// The two driver operations give no result of their own.
int viv_ozozav_send_block(void *context)
{
    return native(context, 3, "vivOzozavSendBlock", [](Native &n) {
        VyrCanIf *can = can_of(n);
        if (!can || !can->channel()) {
            n.call.set_int_result(-1);
            return 0;
        }
        can->channel()->driver_send_block(uint32_t(n.call.int_arg(0)), uint32_t(n.call.address_arg(1)),
                                          uint32_t(n.call.int_arg(2)));
        return 0;
    });
}

int viv_ozozav_send_command(void *context)
{
    return native(context, 3, "vivOzozavSendCommand", [](Native &n) {
        VyrCanIf *can = can_of(n);
        if (!can || !can->channel()) {
            n.call.set_int_result(-1);
            return 0;
        }
        can->channel()->driver_send_command(uint32_t(n.call.int_arg(0)), uint32_t(n.call.int_arg(1)),
                                            uint32_t(n.call.int_arg(2)), 0);
        return 0;
    });
}

// The LIN cable protocol and the schedule tables are not part of this build:
// the LIN natives fail.
template <int Params> int lin_unavailable(void *context)
{
    return native(context, Params, "lin", [](Native &n) {
        n.call.set_int_result(-1);
        return 0;
    });
}

// --- Transport channels ---------------------------------------------------------------------

int can_tp_open(void *context)
{
    return native(context, 3, "canTpOpen", [](Native &n) {
        VyrCanScriptBinding *binding = binding_of(n);
        const char *protocol = n.call.text_arg(2);
        if (!binding || !protocol)
            return -1;
        const int32_t rxid = n.call.int_arg(0);
        const int32_t txid = n.call.int_arg(1);
        n.signal_if().message_printf("canTpOpen: rxid=%d, txid=%d, protocol='%s'", rxid, txid, protocol);
        const std::string name =
            n.signal_if().name() + "::" + protocol + "_" + std::to_string(binding->tp_channels().count() + 1);
        auto channel =
            std::make_unique<VyrCanTpChannel>(binding, protocol, uint32_t(rxid), uint32_t(txid), name.c_str());
        channel->kind = VyrCanTpChannel::opened_channel;
        channel->handle = binding->next_tp_handle();
        const int handle = channel->handle;
        binding->tp_channels().add(std::move(channel));
        n.call.set_int_result(handle);
        return 0;
    });
}

// Runs body(native, binding, channel) for the transport channel of the
// handle in argument 0; `missing` without one.
template <typename Body> int tp_native(void *context, int params, const char *name, int missing, Body body)
{
    return native(context, params, name, [&body, missing](Native &n) {
        VyrCanScriptBinding *binding = binding_of(n);
        if (!binding)
            return -1;
        TransportChannel *channel = binding->tp_channels().find(n.call.int_arg(0));
        n.call.set_int_result(channel ? body(n, *binding, *channel) : missing);
        return 0;
    });
}

int can_tp_close(void *context)
{
    return native(context, 1, "canTpClose", [](Native &n) {
        VyrCanScriptBinding *binding = binding_of(n);
        if (!binding)
            return -1;
        n.call.set_int_result(binding->tp_channels().remove(n.call.int_arg(0)) ? 0 : -1);
        return 0;
    });
}

int can_tp_transmit(void *context)
{
    return native(context, 3, "canTpTransmit", [](Native &n) {
        VyrCanScriptBinding *binding = binding_of(n);
        if (!binding)
            return -1;
        const int32_t handle = n.call.int_arg(0);
        TransportChannel *channel = binding->tp_channels().find(handle);
        int result = 0;
        if (!channel) {
            n.signal_if().error_printf("canTpTransmit() failed - unknown handle (%d).", handle);
            result = -1;
        } else if (channel->is_busy()) {
            n.signal_if().error_printf("canTpTransmit() failed - transport handle is busy.");
            result = -2;
        } else if (channel->is_listen_only()) {
            n.signal_if().error_printf("canTpTransmit() failed - transport handle is in 'listen only' mode.");
            result = -3;
        } else {
            const int32_t length = std::max(n.call.int_arg(1), 0);
            const uint8_t *data = n.call.array_arg(2, length);
            if (!data)
                return -1;
            channel->transmit(data, length);
        }
        n.call.set_int_result(result);
        return 0;
    });
}

int can_tp_abort(void *context)
{
    return tp_native(context, 1, "canTpAbort", -1, [](Native &, VyrCanScriptBinding &, TransportChannel &channel) {
        channel.abort();
        return 0;
    });
}

// Binds the script's action of that name as a notification of the channel.
template <bool transmit> int can_tp_set_notification(void *context)
{
    return tp_native(context, 2, transmit ? "canTpSetTransmitNotification" : "canTpSetReceiveNotification", -1,
                     [](Native &n, VyrCanScriptBinding &, TransportChannel &channel) {
                         const char *hook = n.call.text_arg(1);
                         ScriptTrigger *trigger =
                             hook ? n.runtime.find_script_trigger_by_name(ScriptTrigger::action, hook) : nullptr;
                         if (!trigger)
                             return -1;
                         (transmit ? channel.transmit_notification : channel.receive_notification) = trigger;
                         return 0;
                     });
}

int can_tp_get_data(void *context)
{
    return tp_native(context, 3, "canTpGetData", -1, [](Native &n, VyrCanScriptBinding &, TransportChannel &channel) {
        const int length = std::min({std::max(n.call.int_arg(2), 0), max_tp_data, channel.packet_length()});
        if (length > 0) {
            uint8_t *target = n.call.array_arg(1, length);
            if (!target)
                return -1;
            std::memcpy(target, channel.packet_data(), size_t(length));
        }
        return 0;
    });
}

int can_tp_get_packet_length(void *context)
{
    return tp_native(
        context, 1, "canTpGetPacketLength", -1,
        [](Native &, VyrCanScriptBinding &, TransportChannel &channel) { return channel.packet_length(); });
}

int can_tp_set_attr_int(void *context)
{
    return native(context, 3, "canTpSetAttrInt", [context](Native &n) {
        const char *name = n.call.text_arg(1);
        if (!name)
            return -1;
        n.signal_if().message_printf("canTpSetAttrInt: handle=%d, name='%s', value=%d", n.call.int_arg(0), name,
                                     n.call.int_arg(2));
        return tp_native(context, 3, "canTpSetAttrInt", -1,
                         [name](Native &n, VyrCanScriptBinding &, TransportChannel &channel) {
                             if (channel.is_busy())
                                 return -2;
                             bool ok = false;
                             channel.set_attr_int(name, n.call.int_arg(2), &ok);
                             return ok ? 0 : -3;
                         });
    });
}

int can_tp_get_attr_int(void *context)
{
    return native(context, 2, "canTpGetAttrInt", [context](Native &n) {
        const char *name = n.call.text_arg(1);
        if (!name)
            return -1;
        n.signal_if().message_printf("canTpGetAttrInt: handle=%d, name='%s'", n.call.int_arg(0), name);
        return tp_native(context, 2, "canTpGetAttrInt", -1,
                         [name](Native &n, VyrCanScriptBinding &, TransportChannel &channel) {
                             if (channel.is_busy())
                                 return -2;
                             bool ok = false;
                             const int value = channel.get_attr_int(name, &ok);
                             return ok ? value : -3;
                         });
    });
}

const struct
{
    const char *name;
    PCodeNative native;
} can_natives[] = {
    {"canSendMessage", can_send_message},
    {"canChannelSendMessage", can_channel_send_message},
    {"canSetBitRate", can_set_bit_rate},
    {"canGetBitRate", can_get_bit_rate},
    {"canBusOff", can_bus_off},
    {"canBusOn", can_bus_on},
    {"canReset", can_reset},
    {"canSetSilentMode", can_set_silent_mode},
    {"canGetSilentMode", can_get_silent_mode},
    {"canSetLineMode", can_set_line_mode},
    {"canGetLineMode", can_get_line_mode},
    {"canGetBusStatus", can_get_bus_status},
    {"canGetErrorCounters", can_get_error_counters},
    {"canSetFilterFlag", can_set_filter_flag},
    {"canGetFilterFlag", can_get_filter_flag},
    {"canGetChannelIndexByName", channel_index_by_name<false>},
    {"canGetChannelIndexByHardwareName", channel_index_by_name<true>},
    {"vivOzozavSendBlock", viv_ozozav_send_block},
    {"vivOzozavSendCommand", viv_ozozav_send_command},
    {"linSelectScheduleTableByName", lin_unavailable<1>},
    {"linSetExtraBreakTime", lin_unavailable<1>},
    {"linSetBitrate", lin_unavailable<1>},
    {"linSetIllegalMesageFlags", lin_unavailable<2>},
    {"linSetParameter", lin_unavailable<2>},
    {"linResetParameter", lin_unavailable<1>},
    {"linCheckReferencePower", lin_unavailable<0>},
    {"canTpOpen", can_tp_open},
    {"canTpClose", can_tp_close},
    {"canTpTransmit", can_tp_transmit},
    {"canTpAbort", can_tp_abort},
    {"canTpSetTransmitNotification", can_tp_set_notification<true>},
    {"canTpSetReceiveNotification", can_tp_set_notification<false>},
    {"canTpGetData", can_tp_get_data},
    {"canTpGetPacketLength", can_tp_get_packet_length},
    {"canTpSetAttrInt", can_tp_set_attr_int},
    {"canTpGetAttrInt", can_tp_get_attr_int},
};

} // namespace

void bind_can_natives(PCodeMachine *machine, ScriptSymbolTable *symbols)
{
    for (const auto &entry : can_natives)
        machine->bind_native_by_name(*symbols, entry.name, entry.native);
}
