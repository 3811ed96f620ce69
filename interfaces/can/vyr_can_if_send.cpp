#include "interfaces/can/vyr_can_if.h"

int VyrCanIf::send_message(VyrCanMessage *message, bool)
{
    if (!message || !m_channel)
        return -1;
    if (!m_transmit_allowed) {
        warning("Transmission of CAN packets not allowed");
        return -1;
    }
    // A LIN frame identifier without the cable's command bits is 6 bits wide.
    if (m_lin_mode && (message->id & 0x700) == 0)
        message->id &= 0x3F;
    return m_channel->write(*message) == canhwSuccess ? 0 : -1;
}
