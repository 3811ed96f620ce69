#pragma once
// The bit timing rule of the CAN interfaces and their settings dialogs: the
// bitrate a controller clock gives with a prescaler and two time segments,
// where in the bit the sample is taken, the search for segments that reach a
// bitrate, the coding of the SJA1000-style bus timing registers, and the
// bit patterns that show an acceptance filter bit by bit.
#include <QString>

#include <cstdint>
#include <vector>

// (clock / prescaler) / (tseg1 + tseg2 + 1) in integer division; a prescaler
// of 0 counts as 1. 0 for segments that give no bit time.
long can_bitrate_from_timing(long clock, int prescaler, int tseg1, int tseg2);
// (tseg1 + 1) / (tseg1 + tseg2 + 1) in percent, rounded to the nearest
// integer; 0 for segments that give no bit time.
int can_sample_point(int tseg1, int tseg2);

// The bitrates the search takes, inclusive.
constexpr int can_min_search_bitrate = 5000;
constexpr int can_max_search_bitrate = 1000000;

struct CanTimingLimits
{
    int tseg1_max;
    int tseg2_max;
    int prescaler_max;
};
// Classic controllers: tseg1 1..16, tseg2 1..8, prescaler 1..64; CAN FD
// controllers: tseg1 and tseg2 1..64, prescaler 1..8.
CanTimingLimits can_timing_limits(bool canfd);

struct CanTimingSearch
{
    // A combination reaches the bitrate exactly (to 1/64 of a quantum count).
    bool found = false;
    int tseg1 = 0;
    int tseg2 = 0;
    int prescaler = 0;
    // The bitrate reached with the segments found.
    int bitrate = 0;
    // Truncated percent.
    int sample_point = 0;
    // The sample points of every exact combination from 50 % up, ascending.
    std::vector<int> sample_points;
    // The prescalers of every exact combination, ascending.
    std::vector<int> prescalers;
};

// Searches the segments that reach the bitrate at the clock, tseg1 from its
// largest down and within it tseg2 from its largest down; the first
// combination whose truncated sample point lies nearest the target wins.
// prescaler 0 takes any prescaler. A bitrate outside 5000..1000000 finds
// nothing and lists nothing.
CanTimingSearch can_find_timing(uint32_t clock, int bitrate, int prescaler, int target_sample_point, bool canfd);

// Bus timing registers: BTR0 holds SJW - 1 (bits 6..7) and prescaler - 1
// (bits 0..5), BTR1 three samples (bit 7), tseg2 - 1 (bits 4..6) and tseg1 -
// 1 (bits 0..3).
struct CanBusTiming
{
    int prescaler = 0;
    int sjw = 0;
    int tseg1 = 0;
    int tseg2 = 0;
    int samples = 1;
};
CanBusTiming can_decode_btr(unsigned btr0, unsigned btr1);
void can_encode_btr(const CanBusTiming &timing, unsigned &btr0, unsigned &btr1);

// The empty patterns: "xxx xxxx xxxx" and "x xxxx xxxx xxxx xxxx xxxx xxxx xxxx".
QString can_empty_bit_pattern(bool extended);
// Reads a pattern of 11 or 29 bits, most significant first, blanks skipped:
// '0' compares a clear bit, '1' a set bit, anything else leaves the bit out.
void can_parse_bit_pattern(const QString &pattern, bool extended, uint32_t &code, uint32_t &mask);
// Writes code and mask into the pattern, keeping its blanks: 'x' where the
// mask bit is clear, else the code bit. A pattern of the wrong length is
// replaced by the empty one first.
QString can_format_bit_pattern(const QString &pattern, uint32_t code, uint32_t mask, bool extended);
