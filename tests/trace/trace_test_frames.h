#pragma once
// A received frame as the trace's store takes it, for the message-view tests.
#include "core/frames/vyr_can_message.h"
#include "windows/trace/vyr_trace_message_queue.h"

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

// A frame as the receive thread appends it and the window's next tick takes it over.
inline void receive(VyrTraceMessageQueue &store, const VyrCanMessage &message)
{
    store.intake().put(message);
    store.take_over();
}
