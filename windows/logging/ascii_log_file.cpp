#include "windows/logging/ascii_log_file.h"

#include "forms/dialog_log_to_file_ascii_parameters.h"
#include "core/candb_cluster.h"
#include "core/frames/hex_digit.h"
#include "settings/qtb_config.h"
#include "interfaces/can/id_formatter.h"
#include "windows/logging/ascii_parameters_dialog.h"
#include "windows/logging/log_text.h"

#include <QCheckBox>
#include <QRadioButton>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

using namespace log_text;

namespace {

constexpr int separator_length = 88;
constexpr int hex_data_width = 25;
constexpr int decimal_data_width = 33;
constexpr uint32_t extended_key_bit = 0x80000000u;

// A header line that records a setting: the flag is set by the first word
// and cleared by the second.
void read_setting(const char *line, const char *key, const char *on_word, const char *off_word, bool &flag)
{
    if (!strstr(line, key))
        return;
    if (strstr(line, on_word))
        flag = true;
    else if (strstr(line, off_word))
        flag = false;
}

// The number that fills [begin, end) in the base; false for any other
// character or a value above the maximum.
bool parse_whole_number(const char *begin, const char *end, int base, uint32_t maximum, uint32_t &value)
{
    if (begin == end)
        return false;
    uint64_t number = 0;
    for (const char *c = begin; c != end; ++c) {
        const int digit = hex_digit_value(*c);
        if (digit < 0 || digit >= base)
            return false;
        number = number * uint64_t(base) + uint64_t(digit);
        if (number > maximum)
            return false;
    }
    value = uint32_t(number);
    return true;
}

// A frame identifier has at most 29 bits.
constexpr uint32_t max_identifier = 0x1FFFFFFF;
// The identifier field is this wide: numbers right-aligned, names left-aligned
// (a longer name widens it).
constexpr int identifier_width = 20;
// Between the identifier and the formatter's first column: two blanks, the
// five flag letters, two blanks.
constexpr int flag_field_offset = 2;
constexpr int flag_field_width = 5;
constexpr int flags_to_columns = flag_field_offset + flag_field_width + 2;

// The flag of a letter of the flag field; false for a character that is none.
bool flag_of_letter(char c, uint32_t &flag)
{
    switch (c) {
    case 'T': flag = VyrCanMessage::TxAck; return true;
    case 'Q': flag = VyrCanMessage::TxRequest; return true;
    case 'X': flag = VyrCanMessage::Extended; return true;
    case 'W': flag = VyrCanMessage::WakeUp; return true;
    case 'R': flag = VyrCanMessage::Remote; return true;
    case '+': flag = VyrCanMessage::BitRateSwitch; return true;
    case 'L': flag = VyrCanMessage::FdFrame; return true;
    // Written, but not kept on reading.
    case 'E': case 'o': case '#': flag = 0; return true;
    default: return false;
    }
}

// The text of a formatter column that starts at the cursor and is `width`
// characters wide (a longer text runs on to the next blank; without a width
// the column is the next word), blanks removed. The cursor moves past it.
std::string column_text_at(const char *&cursor, int width)
{
    const char *end = cursor;
    if (width > 0) {
        for (int i = 0; i < width && !is_line_end(*end); ++i)
            ++end;
        if (end > cursor && !is_blank(end[-1]))
            end = word_end(end);
    } else {
        end = word_end(skip_blanks(cursor));
    }
    const char *first = std::min(skip_blanks(cursor), end);
    std::string text(first, size_t(end - first));
    cursor = end;
    return text;
}

// A decimal number that ends at a blank or the line's end; false for any
// other character or a value above the maximum. The cursor moves past it.
bool parse_decimal_word(const char *&cursor, uint32_t maximum, uint32_t &value)
{
    uint64_t number = 0;
    const char *c = cursor;
    for (; is_digit(*c); ++c) {
        number = number * 10 + uint64_t(*c - '0');
        if (number > maximum)
            return false;
    }
    if (c == cursor || !(is_blank(*c) || is_line_end(*c)))
        return false;
    value = uint32_t(number);
    cursor = c;
    return true;
}

// The counter and channel after the data: both are optional (hand-made lines
// end after the data), a channel needs a counter before it.
int parse_counter_and_channel(const char *&cursor, VyrCanMessage &message)
{
    cursor = skip_blanks(cursor);
    if (is_line_end(*cursor))
        return LogFile::Success;
    uint32_t counter = 0;
    if (!parse_decimal_word(cursor, UINT32_MAX, counter))
        return LogFile::InvalidContents;
    cursor = skip_blanks(cursor);
    if (is_line_end(*cursor))
        return LogFile::Success;
    uint32_t channel = 0;
    if (!parse_decimal_word(cursor, UINT8_MAX, channel))
        return LogFile::InvalidContents;
    message.channel = uint8_t(channel);
    return LogFile::Success;
}

} // namespace

AsciiLogFile::AsciiLogFile() = default;
AsciiLogFile::~AsciiLogFile() = default;

std::string AsciiLogFile::date_time_text(time_t time)
{
    tm local {};
    localtime_r(&time, &local);
    char text[64];
    snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d %d", week_days[local.tm_wday], months[local.tm_mon],
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}

bool AsciiLogFile::write_line(const char *text, size_t length)
{
    return write_text(text, length) && write_text("\r\n", 2);
}

int AsciiLogFile::open()
{
    if (const int result = LogFile::open())
        return result;
    m_counter = 0;
    m_first_message = true;
    if (write_mode() == ReadMode) {
        m_data_hex = true;
        m_id_hex = true;
        m_use_candb_for_id = true;
        m_abs_time = false;
        m_header_mode = true;
        m_line_counter = 0;
        m_accumulated_ms = 0;
        m_accumulated_us = 0;
        m_plugin_name.clear();
        m_column_formatter = nullptr;
        m_own_formatter.reset();
        m_columns_unknown = false;
        return Success;
    }
    return write_header();
}

std::string AsciiLogFile::separator() const
{
    int length = separator_length;
    if (const IdFormatter *formatter = id_formatter())
        for (int column = 0; column < formatter->column_count(); ++column)
            length += std::max(formatter->column_width(column), 0);
    return std::string(size_t(length), '=');
}

int AsciiLogFile::write_header()
{
    const IdFormatter *formatter = id_formatter();
    std::vector<std::string> lines = {
        std::string(33, ' ') + "Vyr CAN Log",
        std::string(33, ' ') + "===========",
        "",
        "Created: " + date_time_text(time(nullptr)),
        "",
        "Settings:",
        std::string("   Format of data field: ") + (m_data_hex ? "HEX" : "DEC"),
        std::string("   Format of id field: ") + (m_id_hex ? "HEX" : "DEC"),
        std::string("   Time: ") + (m_abs_time ? "Absolute" : "Relative"),
        std::string("   CAN Database for Id: ") + (m_use_candb_for_id ? "ON" : "OFF"),
    };
    if (formatter && !formatter->name().empty())
        lines.push_back("   Plugin: " + formatter->name());
    lines.push_back("");
    // The titles of the formatter's columns before the data and after the counter.
    std::string titles[2];
    if (formatter) {
        for (int column = 0; column < formatter->column_count(); ++column) {
            std::string title = formatter->column_title(column) ? formatter->column_title(column) : "";
            title.resize(std::max(title.size(), size_t(std::max(formatter->column_width(column), 0))), ' ');
            titles[formatter->column_after_counter(column)] += title;
        }
    }
    lines.push_back("        Time        CAN Identifier  Flags  " + titles[0]
                    + " DLC Data                          Counter Ch" + titles[1]);
    lines.push_back(separator());
    for (const std::string &line : lines)
        if (!write_line(line.data(), line.size()))
            return WriteError;
    return Success;
}

int AsciiLogFile::close()
{
    bool footer_written = true;
    if (file() && write_mode() != ReadMode) {
        const std::string footer = separator() + "\r\n\r\n";
        footer_written = write_text(footer.data(), footer.size());
    }
    const int result = LogFile::close();
    return result == Success && !footer_written ? WriteError : result;
}

int AsciiLogFile::write_comment(const char *text)
{
    if (!file())
        return Success;
    const std::string line = std::string("# ") + text + " (" + date_time_text(time(nullptr)) + ")";
    return write_line(line.data(), line.size()) ? Success : WriteError;
}

char *AsciiLogFile::put_identifier(char *out, const VyrCanMessage &message) const
{
    const bool extended = message.flags & VyrCanMessage::Extended;
    if (m_use_candb_for_id && database()) {
        const CANdbMessage *found = database()->find_message_by_id(message.id | (extended ? extended_key_bit : 0));
        if (!found && id_formatter())
            found = database()->find_message_by_id(id_formatter()->display_id(message));
        const int length = found ? int(found->name.size()) : 0;
        if (length > 0 && length <= max_name_length && name_gives_id(*found, message)) {
            memcpy(out, found->name.data(), size_t(length));
            return put_blanks(out + length, identifier_width - length);
        }
    }
    return m_id_hex ? put_hex(out, message.id, identifier_width) : put_decimal(out, message.id, identifier_width);
}

bool AsciiLogFile::name_gives_id(const CANdbMessage &found, const VyrCanMessage &message) const
{
    if (found.id == message.id)
        return true;
    // Found through the formatter's view of the identifier: the reader
    // applies the line's columns to the named message's identifier.
    const IdFormatter *formatter = id_formatter();
    if (!formatter || formatter->name().empty())
        return false;
    uint32_t id = found.id;
    for (int column = 0; column < formatter->column_count(); ++column) {
        char text[IdFormatter::max_column_text + 1];
        formatter->column_text(message, column, text);
        const char *first = skip_blanks(text);
        const std::string word(first, size_t(word_end(first) - first));
        if (!word.empty() && !formatter->read_column_text(id, column, word.c_str()))
            return false;
    }
    return id == message.id;
}

char *AsciiLogFile::put_columns(char *out, const char *end, const VyrCanMessage &message, bool after_counter) const
{
    const IdFormatter *formatter = id_formatter();
    for (int column = 0; column < formatter->column_count(); ++column) {
        if (formatter->column_after_counter(column) != after_counter)
            continue;
        char text[IdFormatter::max_column_text + 1];
        const int length = std::min(formatter->column_text(message, column, text), IdFormatter::max_column_text);
        if (out + 1 + std::max(formatter->column_width(column), length) > end)
            break; // the line is full
        if (after_counter)
            *out++ = ' ';
        for (int pad = formatter->column_width(column) - length; pad > 0; --pad)
            *out++ = ' ';
        memcpy(out, text, size_t(length));
        out += length;
    }
    return out;
}

int AsciiLogFile::write_message(const VyrCanMessage &message, uint32_t &bytes_written)
{
    bytes_written = 0;
    if (!file())
        return Success;
    if (m_first_message) {
        m_base_time = message.time;
        m_first_message = false;
    }
    ++m_counter;
    const uint32_t t = m_abs_time ? message.time : message.time - m_base_time;
    m_base_time = message.time;
    // The line is built in place; blank runs may reach past its end.
    char *const line = output_space(line_size + 2 + max_blank_run);
    if (!line)
        return WriteError;
    char *out = line;

    if (m_time_format == HoursMinutesSeconds) {
        // The hours take as many digits as they need: a measurement may run past 99 hours.
        out = put_decimal(out, t / 3600000, 2);
        *out++ = ':';
        out = put_two_digits(out, t / 60000 % 60);
        *out++ = ':';
        out = put_two_digits(out, t / 1000 % 60);
        *out++ = '.';
        out = put_three_digits(out, t % 1000);
    } else if (m_time_format == Seconds) {
        out = put_decimal(out, t / 1000 % 100000000, 8);
        *out++ = '.';
        out = put_three_digits(out, t % 1000);
    }
    out = put_blanks(out, 2);

    const uint32_t flags = message.flags;
    const bool error_frame = flags & VyrCanMessage::ErrorFrame;
    out = error_frame ? put_blanks(out, 20) : put_identifier(out, message);

    out = put_blanks(out, 2);
    *out++ = flags & VyrCanMessage::Extended ? 'X' : ' ';
    *out++ = flags & VyrCanMessage::WakeUp             ? 'W'
             : flags & VyrCanMessage::TransceiverError ? 'E'
             : flags & VyrCanMessage::FdFrame          ? 'L'
                                                       : ' ';
    *out++ = flags & VyrCanMessage::Remote ? 'R' : flags & VyrCanMessage::BitRateSwitch ? '+' : ' ';
    *out++ = flags & VyrCanMessage::TxAck ? 'T' : flags & VyrCanMessage::TxRequest ? 'Q' : ' ';
    *out++ = flags & VyrCanMessage::SoftwareOverrun ? 'o' : flags & VyrCanMessage::HardwareOverrun ? '#' : ' ';
    out = put_blanks(out, 2);

    const IdFormatter *formatter = id_formatter();
    if (formatter)
        out = put_columns(out, line + line_size, message, false);

    char *data;
    if (error_frame) {
        out = put_blanks(out, 5);
        data = out;
        out = put_text(out, "ERROR FRAME");
    } else {
        const int length = message.dlc > VyrCanMessage::max_data ? VyrCanMessage::max_data : message.dlc;
        out = put_decimal(out, uint32_t(length), 3);
        out = put_blanks(out, 2);
        data = out;
        for (int i = 0; i < length; ++i) {
            if (i)
                *out++ = ' ';
            if (m_data_hex) {
                *out++ = hex_digits[message.data[i] >> 4];
                *out++ = hex_digits[message.data[i] & 0xF];
            } else {
                out = put_decimal(out, message.data[i], 3);
            }
        }
    }
    out = put_blanks(out, int(data - out) + (m_data_hex ? hex_data_width : decimal_data_width));
    out = put_decimal(out, m_counter, 12);
    // A blank keeps a channel of three digits apart from the counter.
    out = put_decimal(out, message.channel, message.channel >= 100 ? 4 : 3);
    if (formatter)
        out = put_columns(out, line + line_size, message, true);

    *out++ = '\r';
    *out++ = '\n';
    bytes_written = uint32_t(out - line);
    commit_output(bytes_written);
    return Success;
}

void AsciiLogFile::find_column_formatter()
{
    if (m_plugin_name.empty())
        return;
    const IdFormatter *own = id_formatter();
    if (own && own->name() == m_plugin_name) {
        m_column_formatter = own;
        return;
    }
    m_own_formatter = create_id_formatter(m_plugin_name.c_str());
    m_column_formatter = m_own_formatter.get();
    // Lines with columns that no formatter can read are refused one by one.
    m_columns_unknown = !m_column_formatter;
}

int AsciiLogFile::read_message(VyrCanMessage &message)
{
    message = VyrCanMessage();
    if (!file())
        return NoFilename;
    // Room for a line of line_size characters with its line end.
    char line[line_size + 3];
    const char *cursor;
    LineRead read;
    for (;;) {
        read = log_text::read_line(file(), line, sizeof line);
        if (read == LineRead::EndOfFile)
            return EndOfFile;
        if (read == LineRead::NotText)
            return InvalidContents;
        cursor = skip_blanks(line);
        if (m_header_mode) {
            if (strstr(cursor, "Converted from Archivant"))
                m_abs_time = true;
            read_setting(cursor, "Format of data field:", "HEX", "DEC", m_data_hex);
            read_setting(cursor, "Format of id field:", "HEX", "DEC", m_id_hex);
            read_setting(cursor, "Time:", "Absolute", "Relative", m_abs_time);
            read_setting(cursor, "CAN Database for Id:", "ON", "OFF", m_use_candb_for_id);
            static const char plugin_key[] = "Plugin:";
            if (strncmp(cursor, plugin_key, sizeof plugin_key - 1) == 0) {
                const char *name = skip_blanks(cursor + sizeof plugin_key - 1);
                m_plugin_name.assign(name, size_t(word_end(name) - name));
            }
            if (is_digit(*cursor)) {
                m_header_mode = false;
                find_column_formatter();
            }
        }
        if (is_digit(*cursor))
            break;
    }
    ++m_line_counter;
    // A message line is refused as a whole.
    if (read == LineRead::TooLong)
        return InvalidContents;

    // Time stamp: [[hours:]minutes:]seconds[.fraction], up to six fraction digits.
    uint64_t number = 0, hours = 0, minutes = 0, seconds = 0;
    uint32_t microseconds = 0, weight = 100000;
    int colons = 0;
    bool fraction = false;
    for (;; ++cursor) {
        const char c = *cursor;
        if (is_digit(c)) {
            if (fraction) {
                microseconds += uint32_t(c - '0') * weight;
                weight /= 10;
            } else {
                number = number * 10 + uint64_t(c - '0');
            }
        } else if (c == ':') {
            if (fraction || colons == 2)
                return InvalidTimestamp;
            if (colons++ == 1)
                hours = minutes;
            minutes = number;
            number = 0;
        } else if (c == '.') {
            if (fraction)
                return InvalidTimestamp;
            fraction = true;
            seconds = number;
        } else {
            break;
        }
    }
    if (!fraction)
        seconds = number;
    message.time = uint32_t((seconds + minutes * 60 + hours * 3600) * 1000 + microseconds / 1000);
    message.time_fraction = uint8_t(microseconds % 1000 / 10);

    const int result = parse_after_time(cursor, message);
    if (result == Success)
        accumulate_relative_time(message);
    return result;
}

int AsciiLogFile::parse_identifier(const char *&cursor, bool left_aligned, bool &by_name, uint32_t &id) const
{
    const char *const end = word_end(cursor);
    const bool is_number = parse_whole_number(cursor, end, m_id_hex ? 16 : 10, UINT32_MAX, id);
    // A name that looks like a number ("ACC", "123") is a name where names
    // stand, when the database knows it.
    const CANdbMessage *found = nullptr;
    if (database() && (!is_number || left_aligned))
        found = database()->find_message(std::string(cursor, size_t(end - cursor)).c_str());
    cursor = end;
    by_name = found != nullptr;
    if (found) {
        id = found->id;
        return Success;
    }
    if (!is_number)
        return database() ? IdLookupError : InvalidId;
    // Wider identifiers would wrap or set the marker bits of other fields.
    return id <= max_identifier ? Success : InvalidId;
}

int AsciiLogFile::parse_fixed_fields(const char *time_end, const char *id_end, const char *&cursor,
                                     VyrCanMessage &message, std::string *column_texts) const
{
    // The identifier field starts two blanks after the time stamp.
    const char *const field_end = std::max(time_end + 2 + identifier_width, id_end);
    const size_t needed = size_t(field_end - time_end) + flags_to_columns;
    if (strnlen(time_end, needed) < needed)
        return InvalidFlags;
    const char *const flags = field_end + flag_field_offset;
    if (!is_blank(field_end[0]) || !is_blank(field_end[1]) || !is_blank(flags[flag_field_width]) ||
        !is_blank(flags[flag_field_width + 1]))
        return InvalidFlags;
    for (int i = 0; i < flag_field_width; ++i) {
        uint32_t flag = 0;
        if (!is_blank(flags[i]) && !flag_of_letter(flags[i], flag))
            return InvalidFlags;
        message.flags |= flag;
    }
    cursor = field_end + flags_to_columns;
    for (int column = 0; column < m_column_formatter->column_count(); ++column)
        if (!m_column_formatter->column_after_counter(column))
            column_texts[column] = column_text_at(cursor, m_column_formatter->column_width(column));
    return Success;
}

int AsciiLogFile::parse_after_time(const char *time_end, VyrCanMessage &message)
{
    if (m_columns_unknown)
        return InvalidContents;
    const char *cursor = skip_blanks(time_end);
    if (const char *error_frame = strstr(cursor, "ERROR FRAME")) {
        message.flags = VyrCanMessage::ErrorFrame;
        cursor = error_frame + strlen("ERROR FRAME");
        return parse_counter_and_channel(cursor, message);
    }

    // Names stand left-aligned after the time stamp's two blanks, numbers
    // right-aligned in the identifier field.
    const char *const id_start = cursor;
    bool by_name = false;
    uint32_t id = 0;
    if (const int result = parse_identifier(cursor, id_start - time_end <= 3, by_name, id))
        return result;

    // The formatter's column texts by column; the writer puts the flags and
    // the columns before the length at fixed places then.
    const IdFormatter *const formatter = m_column_formatter;
    std::vector<std::string> column_texts(size_t(formatter ? formatter->column_count() : 0));
    if (formatter) {
        const bool aligned = by_name ? id_start == time_end + 2 : cursor == time_end + 2 + identifier_width;
        if (!aligned)
            return InvalidContents;
        if (const int result = parse_fixed_fields(time_end, cursor, cursor, message, column_texts.data()))
            return result;
        cursor = skip_blanks(cursor);
    } else {
        for (cursor = skip_blanks(cursor);; cursor = skip_blanks(cursor + 1)) {
            uint32_t flag = 0;
            if (!flag_of_letter(*cursor, flag))
                break;
            message.flags |= flag;
        }
    }

    if (!is_digit(*cursor))
        return InvalidFlags;
    int length = *cursor++ - '0';
    if (is_digit(*cursor))
        length = length * 10 + (*cursor++ - '0');
    if (length > VyrCanMessage::max_data)
        length = VyrCanMessage::max_data;
    message.dlc = uint8_t(length);

    const int base = m_data_hex ? 16 : 10;
    for (int i = 0; i < length; ++i) {
        cursor = skip_blanks(cursor);
        uint32_t value;
        if (!parse_number(cursor, base, value) || value > 0xFF)
            return InvalidData;
        message.data[i] = uint8_t(value);
    }
    if (const int result = parse_counter_and_channel(cursor, message))
        return result;

    if (formatter) {
        // The columns after the counter, each after a blank.
        for (int column = 0; column < formatter->column_count(); ++column) {
            if (!formatter->column_after_counter(column))
                continue;
            if (!is_line_end(*cursor))
                ++cursor;
            column_texts[size_t(column)] = column_text_at(cursor, formatter->column_width(column));
        }
        // The columns give a named message's identifier the frame's own
        // parts; a number must agree with them.
        uint32_t from_columns = id;
        for (int column = 0; column < formatter->column_count(); ++column) {
            const std::string &text = column_texts[size_t(column)];
            if (!text.empty() && !formatter->read_column_text(from_columns, column, text.c_str()))
                return InvalidId;
        }
        if (!by_name && from_columns != id)
            return InvalidId;
        id = from_columns;
    }
    message.id = id;
    return Success;
}

void AsciiLogFile::accumulate_relative_time(VyrCanMessage &message)
{
    if (m_abs_time)
        return;
    m_accumulated_ms += message.time;
    m_accumulated_us += uint32_t(message.time_fraction) * 10;
    if (m_accumulated_us >= 1000) {
        m_accumulated_ms += m_accumulated_us / 1000;
        m_accumulated_us %= 1000;
    }
    message.time = m_accumulated_ms;
    message.time_fraction = uint8_t(m_accumulated_us / 10);
}

bool AsciiLogFile::setup_dialog(QWidget *parent)
{
    const std::unique_ptr<DialogLogToFileAsciiParameters> dialog(make_ascii_parameters_dialog(false, parent));
    if (!dialog)
        return false;
    (m_time_format == HoursMinutesSeconds ? dialog->rb_time_hhmmss_msec : dialog->rb_time_sec_msec)->setChecked(true);
    (m_data_hex ? dialog->rb_data_hex : dialog->rb_data_dec)->setChecked(true);
    (m_id_hex ? dialog->rb_id_hex : dialog->rb_id_dec)->setChecked(true);
    (m_abs_time ? dialog->rb_abs_time : dialog->rb_rel_time)->setChecked(true);
    dialog->cb_candb->setChecked(m_use_candb_for_id);
    if (dialog->exec() != QDialog::Accepted)
        return false;

    const int time_format = dialog->rb_time_hhmmss_msec->isChecked() ? HoursMinutesSeconds : Seconds;
    const bool data_hex = dialog->rb_data_hex->isChecked();
    const bool id_hex = dialog->rb_id_hex->isChecked();
    const bool abs_time = dialog->rb_abs_time->isChecked();
    const bool use_candb = dialog->cb_candb->isChecked();
    const bool changed = time_format != m_time_format || data_hex != m_data_hex || id_hex != m_id_hex ||
                         abs_time != m_abs_time || use_candb != m_use_candb_for_id;
    m_time_format = time_format;
    m_data_hex = data_hex;
    m_id_hex = id_hex;
    m_abs_time = abs_time;
    m_use_candb_for_id = use_candb;
    return changed;
}

void AsciiLogFile::write_options(QtbConfigGroup *group)
{
    LogFile::write_options(group);
    group->write_int("time_format", m_time_format);
    group->write_bool("data_hex", m_data_hex);
    group->write_bool("id_hex", m_id_hex);
    group->write_bool("use_candb_for_id", m_use_candb_for_id);
    group->write_bool("abs_time", m_abs_time);
}

void AsciiLogFile::read_options(QtbConfigGroup *group)
{
    LogFile::read_options(group);
    m_time_format = group->read_int("time_format", Seconds);
    m_data_hex = group->read_bool("data_hex", true);
    m_id_hex = group->read_bool("id_hex", true);
    m_use_candb_for_id = group->read_bool("use_candb_for_id", false);
    m_abs_time = group->read_bool("abs_time", true);
}
