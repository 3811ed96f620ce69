#include "core/vyr_signal_if_timers.h"

#include "core/vyr_signal_if.h"

void VyrPollingTimer::fire(uint32_t, uint32_t)
{
    m_signal_if->queue_poll(m_entry);
}

void VyrScriptTimer::fire(uint32_t, uint32_t)
{
    m_signal_if->post_output(m_trigger);
}

void VyrReconnectTimer::fire(uint32_t, uint32_t)
{
    m_signal_if->request_reconnect();
}
