#pragma once
// The texts of the message view's cells: one function per column, each
// given the column's width in characters. The view paints them and the
// search of the scrolling list reads them, so both see the same text.
#include "core/frames/vyr_can_message.h"

#include <cstdint>
#include <string>

class CANdbMessage;
class CANdbSignal;

namespace trace_text {

// Number formats of the view, switched by clicks on the column titles.
struct Formats
{
    bool id_hex = false;
    bool data_hex = true;
    int time_format = 0; // 0 s.ms, 1 s.ms.usec, 2 h:m:s.ms
};

constexpr int flag_letter_count = 8;
// The eight flag letters of the identifier column, a space where a flag is clear.
void flag_letters(const VyrCanMessage &message, char *letters);

std::string channel_cell(const VyrCanMessage &message, int width);
// database_name: the message's name when the database mode found it, else null.
std::string identifier_cell(const VyrCanMessage &message, int width, bool hex, const char *database_name);
std::string dlc_cell(const VyrCanMessage &message);
std::string data_cell(const VyrCanMessage &message, int width, bool hex);
// A time in microseconds (negative for a delta), with a leading space
// dropped where another follows, at most twice.
std::string time_cell(int64_t microseconds, int width, int time_format);
std::string counter_cell(uint64_t counter, int width);
std::string ascii_cell(const VyrCanMessage &message, int width);
// A signal's physical value decoded from the data ("%g"): "---" when it
// cannot be decoded, "0" for a value type without a decoding.
std::string signal_value(const CANdbSignal &signal, const uint8_t *data, int length);
// The message's signals that the record holds (multiplexed ones as its
// multiplexor selects them), decoded; empty without a message.
std::string signals_cell(const VyrCanMessage &message, const CANdbMessage *database_message, int width);

// A record's time in microseconds.
inline int64_t record_time_us(const VyrCanMessage &message)
{
    return int64_t(message.time) * 1000 + message.time_fraction * 10;
}

} // namespace trace_text
