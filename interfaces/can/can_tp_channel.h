#pragma once
// The CAN side of a transport channel: its protocol's frames go out through
// the CAN interface, complete packets run the channel's script hooks. And the
// interface's list of transport channels, which the receive loop feeds.
#include "diag/transport_channel.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class VyrCanIf;
class VyrCanScriptBinding;
struct VyrCanMessage;

class VyrCanTpChannel : public TransportChannel
{
public:
    // Kinds: declared by a CanTpMessage hook, or opened by canTpOpen.
    enum Kind { hook_channel = 1, opened_channel = 2 };

    VyrCanTpChannel(VyrCanScriptBinding *binding, const char *protocol_name, uint32_t rx_id, uint32_t tx_id,
                    const char *channel_name);

    int send_frame(int32_t id, const uint8_t *data, int length) override;
    void on_error(const char *text) override;

protected:
    // The packet goes to the "Transport Layer" packets; the message hook
    // gets it in this_can_tp_message, then the receive notification runs
    // with the handle.
    void packet_received() override;
    // The packet goes to the "Transport Layer" packets; the transmit
    // notification runs with the handle.
    void packet_sent() override;

private:
    VyrCanScriptBinding *m_binding;
};

// The transport channels of one interface, in the order they were added. The
// list owns its channels; its mutex may be taken again by the thread that
// holds it (a protocol that sends from inside a frame it was fed).
class VyrCanTpChannelList
{
public:
    ~VyrCanTpChannelList();

    void add(std::unique_ptr<TransportChannel> channel);
    // Unlinks and deletes the channel of that handle; false when there is none.
    bool remove(int handle);
    // The first channel with that handle, or null. The channel stays valid
    // until it is removed: only the script of the interface removes them.
    TransportChannel *find(int handle);
    void delete_kind(int kind);
    int count();
    // Without taking the lock: the receive loop asks for every frame.
    bool empty() const { return m_count.load(std::memory_order_relaxed) == 0; }
    // Feeds a frame that is no remote, error or transmit-request frame: a
    // channel's echoed frame confirms its transmission, a received frame of
    // its receive identifier goes to its protocol.
    void feed(const VyrCanMessage &frame, uint32_t key);

private:
    std::recursive_mutex m_mutex;
    std::vector<std::unique_ptr<TransportChannel>> m_channels;
    std::atomic<int> m_count{0};
};
