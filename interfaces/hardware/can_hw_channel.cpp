#include "interfaces/hardware/can_hw_channel.h"

CANhwChannel::~CANhwChannel() = default;

bool CANhwChannel::is_driver_backed()
{
    return false;
}

bool CANhwChannel::is_fd_capable()
{
    return false;
}

CANhwStatus CANhwChannel::set_fd_mode(bool, int)
{
    return canhwErrorNotImplemented;
}

CANhwStatus CANhwChannel::reserved_query(uint32_t, uint32_t)
{
    return canhwErrorNotImplemented;
}

CANhwStatus CANhwChannel::set_bus_params_fd(long, unsigned, unsigned, unsigned)
{
    return canhwErrorNotImplemented;
}

bool CANhwChannel::take_lost_frames(uint32_t *)
{
    return false;
}

CANhwStatus CANhwChannel::get_connection_handle(platform::WaitHandle *handle)
{
    if (handle)
        *handle = platform::WaitHandle{};
    return canhwErrorNotImplemented;
}

CANhwStatus CANhwChannel::write_frames(VyrCanMessage *messages, unsigned count, unsigned *written)
{
    *written = 0;
    for (; *written < count; ++*written) {
        const CANhwStatus status = write(messages[*written]);
        if (status != canhwSuccess)
            return status;
    }
    return canhwSuccess;
}
