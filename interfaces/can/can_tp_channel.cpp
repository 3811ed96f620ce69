#include "interfaces/can/can_tp_channel.h"

#include "settings/debug_trace.h"
#include "core/script_trigger.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/vyr_can_if.h"

#include <algorithm>
#include <cstring>

namespace {

void put_u32(std::vector<uint8_t> &buffer, size_t at, uint32_t value)
{
    std::memcpy(buffer.data() + at, &value, sizeof value);
}

} // namespace

VyrCanTpChannel::VyrCanTpChannel(VyrCanScriptBinding *binding, const char *protocol_name, uint32_t rx_id,
                                 uint32_t tx_id, const char *channel_name)
    : TransportChannel(protocol_name, rx_id, tx_id, channel_name), m_binding(binding)
{}

int VyrCanTpChannel::send_frame(int32_t id, const uint8_t *data, int length)
{
    VyrCanMessage frame;
    frame.id = uint32_t(id) & 0x7FFFFFFF;
    frame.flags = id < 0 ? uint32_t(VyrCanMessage::Extended) : 0u;
    frame.dlc = uint8_t(std::clamp(length, 0, VyrCanMessage::max_data));
    std::memcpy(frame.data, data, VyrCanMessage::max_data);
    return m_binding->can()->send_message(&frame, false);
}

void VyrCanTpChannel::on_error(const char *text)
{
    debug_trace("Transport Error: %s", text);
}

void VyrCanTpChannel::packet_received()
{
    m_binding->add_transport_packet(*this, false);
    VyrSignalIf *can = m_binding->can();
    const int32_t address = m_binding->this_can_tp_message();
    if (message_hook && address >= 0) {
        const int length = std::min(packet_length(), int(VyrCanScriptBinding::tp_data_size));
        std::vector<uint8_t> message(size_t(VyrCanScriptBinding::tp_data_at + VyrCanScriptBinding::tp_data_size));
        put_u32(message, VyrCanScriptBinding::tp_handle_at, uint32_t(handle));
        put_u32(message, VyrCanScriptBinding::tp_length_at, uint32_t(packet_length()));
        put_u32(message, VyrCanScriptBinding::tp_txid_at, tx_id());
        put_u32(message, VyrCanScriptBinding::tp_rxid_at, rx_id());
        if (length > 0)
            std::memcpy(message.data() + VyrCanScriptBinding::tp_data_at, packet_data(), size_t(length));
        message_hook->set_argument_buffer(std::move(message), uint32_t(address));
        can->post_output(message_hook);
    }
    if (receive_notification) {
        receive_notification->set_argument(uint32_t(handle));
        can->post_output(receive_notification);
    }
}

void VyrCanTpChannel::packet_sent()
{
    m_binding->add_transport_packet(*this, true);
    if (transmit_notification) {
        transmit_notification->set_argument(uint32_t(handle));
        m_binding->can()->post_output(transmit_notification);
    }
}

// --- Channel list -----------------------------------------------------------------------

VyrCanTpChannelList::~VyrCanTpChannelList() = default;

void VyrCanTpChannelList::add(std::unique_ptr<TransportChannel> channel)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_channels.push_back(std::move(channel));
    m_count = int(m_channels.size());
}

bool VyrCanTpChannelList::remove(int handle)
{
    std::unique_ptr<TransportChannel> removed;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const auto it = std::find_if(m_channels.begin(), m_channels.end(),
                                 [handle](const auto &channel) { return channel->handle == handle; });
    if (it == m_channels.end())
        return false;
    removed = std::move(*it);
    m_channels.erase(it);
    m_count = int(m_channels.size());
    return true;
}

TransportChannel *VyrCanTpChannelList::find(int handle)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (const auto &channel : m_channels)
        if (channel->handle == handle)
            return channel.get();
    return nullptr;
}

void VyrCanTpChannelList::delete_kind(int kind)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_channels.erase(std::remove_if(m_channels.begin(), m_channels.end(),
                                    [kind](const auto &channel) { return channel->kind == kind; }),
                     m_channels.end());
    m_count = int(m_channels.size());
}

int VyrCanTpChannelList::count()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return int(m_channels.size());
}

void VyrCanTpChannelList::feed(const VyrCanMessage &frame, uint32_t key)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const bool echo = frame.flags & VyrCanMessage::TxAck;
    // By index: a protocol may open or close channels from inside.
    for (size_t i = 0; i < m_channels.size(); ++i) {
        TransportChannel *channel = m_channels[i].get();
        if (echo && channel->is_tx_id(key))
            channel->on_tx_confirmed(key);
        if (!echo && channel->is_rx_id(key))
            channel->on_frame_received(frame.data, frame.dlc, key);
    }
}
