#include "driver/card_model.h"

#include <algorithm>

namespace {

constexpr uint32_t kStandardIdMask = 0x7FF;

bool is_extended(uint32_t id)
{
    return (id & vrbus::record::kExtendedId) != 0;
}

} // namespace

bool dev_handle::accepts(uint32_t id) const
{
    if (is_extended(id))
        return !extended_filter || (id & extended_mask & 0x7FFFFFFF) == extended_code;
    return !acceptance || id > kStandardIdMask || acceptance->test(id);
}

void dev_handle::set_acceptance(uint32_t mask, uint32_t code)
{
    if (!is_extended(mask) && !is_extended(code)) {
        if (!acceptance)
            acceptance = std::make_unique<std::bitset<2048>>();
        if (mask == 0xFFFF && code == 0xFFFF) {
            acceptance->reset();
            return;
        }
        const uint32_t m = mask & kStandardIdMask;
        for (uint32_t id = 0; id <= kStandardIdMask; ++id) {
            if ((id & m) == (code & m))
                acceptance->set(id);
        }
    } else {
        extended_filter = true;
        extended_mask = mask & 0x7FFFFFFF;
        extended_code = code & extended_mask;
    }
}

void dev_handle::count_overrun()
{
    ++overrun_count;
    overrun_pending = true;
    if (queue)
        queue->count_overrun();
}

void dev_handle::count_frame(const MessageRecord &record)
{
    handle_counters &c = counters;
    const bool sent = record.flags & vrbus::record::kTxAcknowledge;
    if (record.flags & vrbus::record::kErrorFrame) {
        ++(sent ? c.error_frames_sent : c.error_frames_received);
        load_bits += 16;
        return;
    }
    const bool remote = record.flags & vrbus::record::kRemote;
    const uint32_t data_bits = remote ? 0 : 10 * std::min<uint32_t>(record.length, 8);
    if (is_extended(record.id)) {
        if (remote)
            ++(sent ? c.ext_remote_sent : c.ext_remote_received);
        else
            ++(sent ? c.ext_data_sent : c.ext_data_received);
        load_bits += 70 + data_bits;
    } else {
        if (remote)
            ++(sent ? c.std_remote_sent : c.std_remote_received);
        else
            ++(sent ? c.std_data_sent : c.std_data_received);
        load_bits += 50 + data_bits;
    }
}

void dev_handle::update_bus_load(uint32_t bitrate, uint32_t now)
{
    const uint32_t elapsed = now - load_time;
    if (elapsed == 0 || bitrate == 0) {
        bus_load = 0;
    } else {
        // Bits over the bits the period could carry (bit rate × elapsed 10 µs
        // units / 100,000), in 0.01 %; multiplied out before the one division,
        // so that a light load over a long period does not round to 0.
        const uint64_t load = uint64_t((unsigned __int128)load_bits * 1000000000u / (uint64_t(bitrate) * elapsed));
        bus_load = uint32_t(std::min<uint64_t>(load, 10000));
    }
    load_bits = 0;
    load_time = now;
}

uint8_t dev_handle::match_auto_responses(const MessageRecord &record) const
{
    if (!auto_responses)
        return 0;
    uint8_t marked = 0;
    for (size_t slot = 0; slot < auto_responses->size(); ++slot) {
        const auto_response &response = (*auto_responses)[slot];
        if (!response.in_use || !response.enabled || (record.id & response.mask) != response.code)
            continue;
        if ((response.flags & 1) && !(record.flags & vrbus::record::kRemote))
            continue;
        marked |= uint8_t(1u << slot);
    }
    return marked;
}
