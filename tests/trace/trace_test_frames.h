#pragma once
// A received frame as the trace's store takes it, for the message-view tests.
#include "core/frames/vyr_can_message.h"

#include <cstdint>
#include <vector>

inline VyrCanMessage frame(uint32_t id, uint32_t flags = 0, uint32_t time = 0, std::vector<uint8_t> data = {})
{
    VyrCanMessage message;
    message.id = id;
    message.flags = flags;
    message.time = time;
    message.dlc = uint8_t(data.size());
    for (size_t i = 0; i < data.size(); ++i)
        message.data[i] = data[i];
    return message;
}
