#include "interfaces/can/vyr_message_queue.h"

VyrMessageQueue::VyrMessageQueue(uint32_t initial_capacity, uint32_t block_size, uint32_t maximum_capacity,
                                 uint32_t minimum_reserve)
    : m_ring(initial_capacity, block_size ? block_size : default_block_size, maximum_capacity, minimum_reserve)
{}

int VyrMessageQueue::get(VyrCanMessage &message)
{
    if (m_ring.is_rp_at_wp()) {
        m_ring.make_room();
        return -1;
    }
    message = m_ring.read_record();
    m_ring.move_read_pointer(1);
    return 0;
}
