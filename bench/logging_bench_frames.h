#pragma once
// The one million frames that the log-format benchmarks write and read, and
// that bench/logging_ascii_peer.py builds step for step for python-can:
// standard and extended identifiers, 0 to 8 data bytes, one frame per ms.
#include "core/frames/vyr_can_message.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace logging_bench {

constexpr int frame_count = 1000000;

inline std::vector<VyrCanMessage> make_frames()
{
    std::vector<VyrCanMessage> frames(frame_count);
    uint64_t state = 1;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 32;
    };
    for (int i = 0; i < frame_count; ++i) {
        VyrCanMessage &message = frames[size_t(i)];
        const uint64_t r = next();
        const bool extended = r & 1;
        message.id = uint32_t(extended ? (r >> 1) & 0x1FFFFFFF : (r >> 1) & 0x7FF);
        message.flags = extended ? uint32_t(VyrCanMessage::Extended) : 0u;
        message.dlc = uint8_t(next() % 9);
        for (int b = 0; b < message.dlc; ++b)
            message.data[b] = uint8_t(next());
        message.time = uint32_t(i);
    }
    return frames;
}

} // namespace logging_bench
