#pragma once
// A message listener of a CAN interface: a queue of CAN message records that
// the interface's receive thread appends to and one reader (a trace window,
// a log writer, a plug-in library channel) empties, without a lock between
// them. The receive thread never allocates: the reader makes the room ahead
// (make_room, and every get that finds the queue empty); what finds no room
// is counted, exactly, as lost.
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
    // records; grows by block_size records when full, up to maximum_capacity,
    // from the room the reader made ahead: at least minimum_reserve records
    // (0: one block), more while the receive thread adds more.
    VyrMessageQueue(uint32_t initial_capacity, uint32_t block_size, uint32_t maximum_capacity,
                    uint32_t minimum_reserve = 0);
    VyrMessageQueue(const VyrMessageQueue &) = delete;
    VyrMessageQueue &operator=(const VyrMessageQueue &) = delete;

    // Receive thread: appends a copy; -1 when the queue had no room (lost).
    int put(const VyrCanMessage &message) { return m_ring.put(message); }
    // Reader: makes room ahead for the receive thread, on the reader's tick.
    void make_room() { m_ring.make_room(); }
    // Reader: copies the oldest record and consumes it; -1 when empty (the
    // reader has caught up: it makes room ahead).
    int get(VyrCanMessage &message);
    // Reader: drops every record.
    void clear() { m_ring.discard_all(); }
    // Frames put and frames that found no room, since the queue was made:
    // exact counts, from any thread.
    uint64_t put_count() const { return m_ring.put_count(); }
    uint64_t lost_count() const { return m_ring.dropped_count(); }

    const VyrMessageRing<VyrCanMessage> &ring() const { return m_ring; }
    // Reader: walks the records without consuming them.
    VyrMessageRing<VyrCanMessage> &ring() { return m_ring; }

private:
    VyrMessageRing<VyrCanMessage> m_ring;
};
