#pragma once
// A message listener of a CAN interface: a growable queue of CAN message
// records that the interface's receive thread fills and one reader (a trace
// window, a plug-in library channel) empties, without a lock between them.
#include "core/vyr_message_ring.h"
#include "core/frames/vyr_can_message.h"

#include <cstdint>

class VyrMessageQueue
{
public:
    // A queue made with block size 0 (as the plug-in library channels ask
    // for) grows in blocks of this many records.
    static constexpr uint32_t default_block_size = 5000;

    // Starts with one block and adds blocks until it holds initial_capacity
    // records; grows by block_size records when full, up to maximum_capacity.
    VyrMessageQueue(uint32_t initial_capacity, uint32_t block_size, uint32_t maximum_capacity);
    virtual ~VyrMessageQueue() = default;
    VyrMessageQueue(const VyrMessageQueue &) = delete;
    VyrMessageQueue &operator=(const VyrMessageQueue &) = delete;

    // Receive thread: appends a copy; -1 when the queue is at its maximum and full.
    virtual int put(const VyrCanMessage &message) { return m_ring.put(message); }
    // Reader: copies the oldest record and consumes it; -1 when empty.
    int get(VyrCanMessage &message);
    // Reader: drops every record.
    void clear() { m_ring.discard_all(); }

    const VyrMessageRing<VyrCanMessage> &ring() const { return m_ring; }
    // Reader: walks the records without consuming them (a trace's view).
    VyrMessageRing<VyrCanMessage> &ring() { return m_ring; }

private:
    VyrMessageRing<VyrCanMessage> m_ring;
};
