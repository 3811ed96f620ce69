#include "windows/trace/trace_cell_text.h"

#include "core/candb_message.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/text_util.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace trace_text {

namespace {

constexpr int max_name_chars = 500;
constexpr int max_signals_chars = 480;

std::string padded(std::string text, int width)
{
    if (int(text.size()) < width)
        text.append(size_t(width - int(text.size())), ' ');
    return text;
}

// Drops a leading space that another one follows, at most twice.
std::string squeezed(std::string text)
{
    for (int i = 0; i < 2 && text.size() >= 2 && text[0] == ' ' && text[1] == ' '; ++i)
        text.erase(0, 1);
    return text;
}

} // namespace

void flag_letters(const VyrCanMessage &message, char *letters)
{
    const uint32_t f = message.flags;
    letters[0] = f & VyrCanMessage::Extended ? 'X' : ' ';
    letters[1] = f & VyrCanMessage::WakeUp    ? 'W'
        : f & VyrCanMessage::TransceiverError ? 'E'
        : f & VyrCanMessage::LinHeader        ? 'H'
        : f & VyrCanMessage::LinChecksum      ? 'C'
                                              : ' ';
    letters[2] = f & VyrCanMessage::Remote ? 'R' : ' ';
    letters[3] = f & VyrCanMessage::FdFrame ? 'L' : ' ';
    letters[4] = f & VyrCanMessage::BitRateSwitch ? '+' : ' ';
    letters[5] = f & VyrCanMessage::ErrorStateIndicator ? 'E' : ' ';
    letters[6] = f & VyrCanMessage::TxAck ? 'T' : f & VyrCanMessage::TxRequest ? 'Q' : ' ';
    letters[7] = f & VyrCanMessage::SoftwareOverrun ? '+' : f & VyrCanMessage::HardwareOverrun ? '#' : ' ';
}

std::string channel_cell(const VyrCanMessage &message, int width)
{
    std::string text;
    if (const VyrCanIf *owner = can_interface_by_channel(message.channel)) {
        text = owner->name();
    } else {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "CAN?-%d", message.channel);
        text = buffer;
    }
    return padded(std::move(text), width);
}

std::string identifier_cell(const VyrCanMessage &message, int width, bool hex, const char *database_name)
{
    char letters[flag_letter_count];
    flag_letters(message, letters);
    const int letter_count = std::min(flag_letter_count, width);
    if (message.flags & VyrCanMessage::ErrorFrame)
        return "- " + std::string(letters, size_t(letter_count));

    std::string text;
    if (width > flag_letter_count) {
        const int id_width = width - flag_letter_count;
        if (database_name)
            text = padded(
                std::string(database_name,
                            std::min<size_t>(std::strlen(database_name), size_t(std::min(id_width, max_name_chars)))),
                id_width);
        else
            text = padded_number(message.id, id_width, hex ? 16 : 10);
    }
    text += ' ';
    text.append(letters, size_t(letter_count));
    return text;
}

std::string dlc_cell(const VyrCanMessage &message)
{
    return padded_number(message.dlc, 2);
}

std::string data_cell(const VyrCanMessage &message, int width, bool hex)
{
    if (message.flags & VyrCanMessage::ErrorFrame)
        return std::string("ERROR FRAME").substr(0, size_t(std::max(width, 0)));
    const int length = VyrCanMessage::data_length(message);
    std::string text;
    char byte[4];
    for (int i = 0; i < length; ++i) {
        if (i)
            text += ' ';
        format_number(byte, hex ? 2 : 3, message.data[i], hex ? 16 : 10, hex ? '0' : ' ');
        text.append(byte, hex ? 2 : 3);
    }
    const int cut = length > 8 && width >= 24 ? width - 2 : width;
    if (int(text.size()) > cut)
        text.resize(size_t(std::max(cut, 0)));
    return text;
}

std::string time_cell(int64_t microseconds, int width, int time_format)
{
    const bool negative = microseconds < 0;
    const uint64_t magnitude = negative ? uint64_t(-microseconds) : uint64_t(microseconds);
    const uint64_t seconds = magnitude / 1000000;
    const uint64_t milliseconds = magnitude / 1000 % 1000;
    std::string text;
    // The leading field, left out with its separator when it has no room.
    const auto leading = [&](uint64_t value, int field_width, char separator) {
        if (field_width < 1)
            return;
        text = padded_number(value, field_width, 10, ' ', negative);
        text += separator;
    };
    switch (time_format) {
    case 1:
        leading(seconds, width - 7, '.');
        text += padded_number(magnitude % 1000000, 6, 10, '0');
        break;
    case 2:
        leading(seconds / 3600, width - 10, ':');
        text += padded_number(seconds / 60 % 60, 2, 10, '0') + ':' + padded_number(seconds % 60, 2, 10, '0') + '.' +
            padded_number(milliseconds, 3, 10, '0');
        break;
    default:
        leading(seconds, width - 4, '.');
        text += padded_number(milliseconds, 3, 10, '0');
        break;
    }
    return squeezed(std::move(text));
}

std::string signal_value(const CANdbSignal &signal, const uint8_t *data, int length)
{
    double raw = 0.0;
    int result = 0;
    switch (signal.value_type) {
    case CANdbRawSigned: {
        int64_t value = 0;
        result = signal.decode_signed(data, length, value);
        raw = double(value);
        break;
    }
    case CANdbRawUnsigned: {
        uint64_t value = 0;
        result = signal.decode_unsigned(data, length, value);
        raw = double(value);
        break;
    }
    case CANdbRawFloat:
        result = signal.decode_float(data, length, raw);
        break;
    case CANdbRawDouble:
        result = signal.decode_double(data, length, raw);
        break;
    default:
        return "0";
    }
    if (result != 0)
        return "---";
    char text[64];
    std::snprintf(text, sizeof text, "%g", raw * signal.factor + signal.offset);
    return text;
}

std::string counter_cell(uint64_t counter, int width)
{
    if (width < 1)
        return std::string();
    std::string text = std::to_string(counter);
    if (text.size() > 6)
        text.insert(text.size() - 6, 1, '.');
    // Right-aligned; what does not fit is lost at the left.
    if (int(text.size()) > width)
        return text.substr(text.size() - size_t(width));
    return std::string(size_t(width) - text.size(), ' ') + text;
}

std::string ascii_cell(const VyrCanMessage &message, int width)
{
    const int length = std::min(width, VyrCanMessage::data_length(message));
    std::string text;
    for (int i = 0; i < length; ++i)
        text += message.data[i] >= 32 && message.data[i] <= 127 ? char(message.data[i]) : '.';
    return text;
}

std::string signals_cell(const VyrCanMessage &message, const CANdbMessage *database_message, int width)
{
    if (!database_message)
        return std::string();
    const int limit = std::min(width, max_signals_chars);
    const int length = VyrCanMessage::data_length(message);
    std::string text = " ";
    bool first = true;
    for (const CANdbSignal *signal : database_message->present_signals(message.data, length)) {
        std::string entry = first ? std::string() : std::string(", ");
        entry += signal->name;
        if (!signal->unit.empty())
            entry += '[' + signal->unit + ']';
        entry += '=' + signal_value(*signal, message.data, length);
        if (int(text.size() + entry.size()) > limit) {
            text += "...";
            break;
        }
        text += entry;
        first = false;
    }
    return text;
}

} // namespace trace_text
