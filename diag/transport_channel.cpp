#include "diag/transport_channel.h"

#include <cstring>
#include <map>
#include <mutex>

namespace {

struct ProtocolRegistry
{
    std::mutex mutex;
    std::map<std::string, TransportProtocolFactory> factories;
};

// Built on first use: registration runs during static initialisation.
ProtocolRegistry &registry()
{
    static ProtocolRegistry instance;
    return instance;
}

TransportProtocolFactory find_protocol(const std::string &name)
{
    ProtocolRegistry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.factories.find(name);
    return it == r.factories.end() ? nullptr : it->second;
}

} // namespace

bool TransportProtocol::set_parameter(const char *, int)
{
    return false;
}

bool TransportProtocol::get_parameter(const char *, int &) const
{
    return false;
}

void register_transport_protocol(const char *name, TransportProtocolFactory factory)
{
    ProtocolRegistry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.factories[name] = factory;
}

void unregister_transport_protocol(const char *name)
{
    ProtocolRegistry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.factories.erase(name);
}

TransportChannel::TransportChannel(const char *protocol_name, uint32_t rx_id, uint32_t tx_id, const char *channel_name)
    : m_protocol_name(protocol_name ? protocol_name : ""), m_channel_name(channel_name ? channel_name : ""),
      m_rx_id(rx_id), m_tx_id(tx_id)
{
    if (TransportProtocolFactory factory = find_protocol(m_protocol_name))
        m_protocol = factory(this);
}

TransportChannel::~TransportChannel() = default;

void TransportChannel::on_frame_received(const uint8_t *data, int length, uint32_t key)
{
    if (m_protocol)
        m_protocol->on_frame_received(data, length, key);
}

void TransportChannel::on_tx_confirmed(uint32_t key)
{
    if (m_protocol)
        m_protocol->on_tx_confirmed(key);
}

void TransportChannel::transmit(const uint8_t *data, int length)
{
    if (!m_protocol || length < 0)
        return;
    m_sent.assign(data, data + length);
    m_protocol->transmit(data, length);
}

void TransportChannel::abort()
{
    if (m_protocol)
        m_protocol->abort();
}

bool TransportChannel::is_busy() const
{
    return m_protocol && m_protocol->is_busy();
}

void TransportChannel::set_attr_int(const char *name, int value, bool *ok)
{
    bool known = true;
    if (std::strcmp(name, "listen_only") == 0)
        m_listen_only = value != 0;
    else if (std::strcmp(name, "rxid") == 0)
        m_rx_id = uint32_t(value);
    else if (std::strcmp(name, "txid") == 0)
        m_tx_id = uint32_t(value);
    else
        known = m_protocol && m_protocol->set_parameter(name, value);
    if (ok)
        *ok = known;
}

int TransportChannel::get_attr_int(const char *name, bool *ok) const
{
    int value = 0;
    bool known = true;
    if (std::strcmp(name, "listen_only") == 0)
        value = m_listen_only ? 1 : 0;
    else if (std::strcmp(name, "rxid") == 0)
        value = int(m_rx_id);
    else if (std::strcmp(name, "txid") == 0)
        value = int(m_tx_id);
    else
        known = m_protocol && m_protocol->get_parameter(name, value);
    if (ok)
        *ok = known;
    return known ? value : 0;
}

void TransportChannel::deliver_packet(const uint8_t *data, int length)
{
    m_packet.assign(data, data + (length > 0 ? length : 0));
    packet_received();
}
