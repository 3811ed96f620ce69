#pragma once
// Transport channels: one transport-protocol connection each (protocol chosen
// by name, receive and transmit identifiers, parameters set by name). The CAN
// interface feeds a channel its frames and sends the frames its protocol
// makes; scripts and the diagnostics interface open channels and transmit
// packets through them. Protocols register by name before main() runs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ScriptTrigger;
class TransportChannel;

// One protocol instance, owned by its channel.
class TransportProtocol
{
public:
    explicit TransportProtocol(TransportChannel *channel) : m_channel(channel) {}
    virtual ~TransportProtocol() = default;
    TransportProtocol(const TransportProtocol &) = delete;
    TransportProtocol &operator=(const TransportProtocol &) = delete;

    // A received frame of the channel's receive identifier (key: identifier,
    // bit 31 for extended).
    virtual void on_frame_received(const uint8_t *data, int length, uint32_t key) = 0;
    // A frame of the channel's transmit identifier was sent.
    virtual void on_tx_confirmed(uint32_t key) = 0;
    virtual void abort() = 0;
    // Starts sending a packet.
    virtual void transmit(const uint8_t *data, int length) = 0;
    // Neither idle nor finished.
    virtual bool is_busy() const = 0;
    // The protocol's own integer parameters; false for a name it does not know.
    virtual bool set_parameter(const char *name, int value);
    virtual bool get_parameter(const char *name, int &value) const;

protected:
    TransportChannel *channel() const { return m_channel; }

private:
    TransportChannel *m_channel;
};

using TransportProtocolFactory = std::unique_ptr<TransportProtocol> (*)(TransportChannel *channel);

// Registers a protocol under its name; a later registration of the name wins.
void register_transport_protocol(const char *name, TransportProtocolFactory factory);
void unregister_transport_protocol(const char *name);

class TransportChannel
{
public:
    // Builds the protocol registered under protocol_name; protocol() is null
    // when the name is not registered. Identifiers carry bit 31 when extended.
    TransportChannel(const char *protocol_name, uint32_t rx_id, uint32_t tx_id, const char *channel_name);
    virtual ~TransportChannel();
    TransportChannel(const TransportChannel &) = delete;
    TransportChannel &operator=(const TransportChannel &) = delete;

    TransportProtocol *protocol() const { return m_protocol.get(); }
    const std::string &protocol_name() const { return m_protocol_name; }
    const std::string &channel_name() const { return m_channel_name; }
    uint32_t rx_id() const { return m_rx_id; }
    uint32_t tx_id() const { return m_tx_id; }
    bool is_rx_id(uint32_t key) const { return key == m_rx_id; }
    bool is_tx_id(uint32_t key) const { return key == m_tx_id; }

    void on_frame_received(const uint8_t *data, int length, uint32_t key);
    void on_tx_confirmed(uint32_t key);
    // Starts sending a packet; it is kept as the channel's last sent packet.
    void transmit(const uint8_t *data, int length);
    void abort();
    bool is_busy() const;
    bool is_listen_only() const { return m_listen_only; }

    // "listen_only", "rxid" and "txid" belong to every channel, the other
    // names to its protocol; *ok is false for a name neither knows.
    void set_attr_int(const char *name, int value, bool *ok);
    int get_attr_int(const char *name, bool *ok) const;

    // The last complete received packet; null and 0 when there is none.
    const uint8_t *packet_data() const { return m_packet.empty() ? nullptr : m_packet.data(); }
    int packet_length() const { return int(m_packet.size()); }
    const std::vector<uint8_t> &received_packet() const { return m_packet; }
    const std::vector<uint8_t> &sent_packet() const { return m_sent; }

    // --- Called by the protocol -------------------------------------------------
    // A packet is complete: it becomes the last packet, then packet_received.
    void deliver_packet(const uint8_t *data, int length);
    // The last transmission is complete: packet_sent.
    void transmission_done() { packet_sent(); }
    // Sends one frame: the identifier (negative for an extended one, whose
    // low 31 bits are the identifier), 64 data bytes and the length used.
    virtual int send_frame(int32_t id, const uint8_t *data, int length) = 0;
    virtual void on_error(const char *text) = 0;

    // Handle and kind given by the owner of the channel list.
    int handle = -1;
    int kind = 0;
    ScriptTrigger *message_hook = nullptr;
    ScriptTrigger *transmit_notification = nullptr;
    ScriptTrigger *receive_notification = nullptr;

protected:
    virtual void packet_received() = 0;
    virtual void packet_sent() = 0;

private:
    std::string m_protocol_name;
    std::string m_channel_name;
    uint32_t m_rx_id;
    uint32_t m_tx_id;
    bool m_listen_only = false;
    std::vector<uint8_t> m_packet;
    std::vector<uint8_t> m_sent;
    std::unique_ptr<TransportProtocol> m_protocol;
};
