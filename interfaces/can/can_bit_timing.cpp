#include "interfaces/can/can_bit_timing.h"

#include <cmath>
#include <cstdlib>
#include <set>

long can_bitrate_from_timing(long clock, int prescaler, int tseg1, int tseg2)
{
    const long quanta = long(tseg1) + tseg2 + 1;
    if (quanta <= 0)
        return 0;
    if (prescaler == 0)
        prescaler = 1;
    return (clock / prescaler) / quanta;
}

int can_sample_point(int tseg1, int tseg2)
{
    const long quanta = long(tseg1) + tseg2 + 1;
    if (quanta <= 0)
        return 0;
    return int(std::lround(double(tseg1 + 1) / double(quanta) * 100.0));
}

CanTimingLimits can_timing_limits(bool canfd)
{
    return canfd ? CanTimingLimits{64, 64, 8} : CanTimingLimits{16, 8, 64};
}

CanTimingSearch can_find_timing(uint32_t clock, int bitrate, int prescaler, int target_sample_point, bool canfd)
{
    CanTimingSearch result;
    if (bitrate < can_min_search_bitrate || bitrate > can_max_search_bitrate)
        return result;
    const CanTimingLimits limits = can_timing_limits(canfd);
    int best_deviation = 100;
    std::set<int> sample_points;
    std::set<int> prescalers;
    for (int tseg1 = limits.tseg1_max; tseg1 >= 1; --tseg1) {
        for (int tseg2 = limits.tseg2_max; tseg2 >= 1; --tseg2) {
            const uint64_t quanta = uint64_t(1 + tseg1 + tseg2);
            // The quanta per prescaler step in 64ths: a whole number when
            // the clock divides into this bit time without remainder.
            const uint64_t q = (uint64_t(clock) * 64) / (uint64_t(bitrate) * quanta);
            const uint64_t p = q / 64;
            if (q % 64 != 0 || p < 1 || p > uint64_t(limits.prescaler_max))
                continue;
            if (prescaler != 0 && uint64_t(prescaler) != p)
                continue;
            const int sample_point = int(((tseg1 + 1) * 100) / int(quanta));
            const int deviation = std::abs(sample_point - target_sample_point);
            if (deviation < best_deviation) {
                best_deviation = deviation;
                result.tseg1 = tseg1;
                result.tseg2 = tseg2;
            }
            sample_points.insert(sample_point);
            prescalers.insert(int(p));
        }
    }
    for (int sample_point : sample_points)
        if (sample_point >= 50)
            result.sample_points.push_back(sample_point);
    result.prescalers.assign(prescalers.begin(), prescalers.end());
    if (best_deviation >= 100)
        return result;
    const uint64_t quanta = uint64_t(result.tseg1 + result.tseg2 + 1);
    result.found = true;
    result.prescaler = int(uint64_t(clock) / (uint64_t(bitrate) * quanta));
    result.bitrate = int((uint64_t(clock) / uint64_t(result.prescaler)) / quanta);
    result.sample_point = int(((result.tseg1 + 1) * 100) / int(quanta));
    return result;
}

CanBusTiming can_decode_btr(unsigned btr0, unsigned btr1)
{
    CanBusTiming timing;
    timing.prescaler = int(btr0 & 0x3F) + 1;
    timing.sjw = int((btr0 >> 6) & 3) + 1;
    timing.tseg1 = int(btr1 & 0x0F) + 1;
    timing.tseg2 = int((btr1 >> 4) & 7) + 1;
    timing.samples = (btr1 & 0x80) ? 3 : 1;
    return timing;
}

void can_encode_btr(const CanBusTiming &timing, unsigned &btr0, unsigned &btr1)
{
    btr0 = (unsigned(timing.sjw * 64 - 1) & 0xC0) | (unsigned(timing.prescaler - 1) & 0x3F);
    btr1 = (unsigned(timing.tseg2 * 16 - 1) & 0x70) | (unsigned(timing.tseg1 - 1) & 0x0F) |
        (timing.samples == 3 ? 0x80u : 0u);
}

namespace {

int pattern_bits(bool extended)
{
    return extended ? 29 : 11;
}

} // namespace

QString can_empty_bit_pattern(bool extended)
{
    return extended ? QStringLiteral("x xxxx xxxx xxxx xxxx xxxx xxxx xxxx") : QStringLiteral("xxx xxxx xxxx");
}

void can_parse_bit_pattern(const QString &pattern, bool extended, uint32_t &code, uint32_t &mask)
{
    code = 0;
    mask = 0;
    int bit = pattern_bits(extended) - 1;
    for (QChar c : pattern) {
        if (bit < 0)
            break;
        if (c == QLatin1Char(' '))
            continue;
        if (c == QLatin1Char('0')) {
            mask |= 1u << bit;
        } else if (c == QLatin1Char('1')) {
            mask |= 1u << bit;
            code |= 1u << bit;
        }
        --bit;
    }
}

QString can_format_bit_pattern(const QString &pattern, uint32_t code, uint32_t mask, bool extended)
{
    QString text = pattern;
    if (text.length() != can_empty_bit_pattern(extended).length())
        text = can_empty_bit_pattern(extended);
    int bit = pattern_bits(extended) - 1;
    for (int i = 0; i < text.length() && bit >= 0; ++i) {
        if (text.at(i) == QLatin1Char(' '))
            continue;
        const uint32_t bit_mask = 1u << bit;
        text[i] = !(mask & bit_mask) ? QLatin1Char('x') : (code & bit_mask) ? QLatin1Char('1') : QLatin1Char('0');
        --bit;
    }
    return text;
}
