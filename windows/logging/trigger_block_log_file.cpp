#include "windows/logging/trigger_block_log_file.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "forms/dialog_log_to_file_ascii_parameters.h"
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/qtb_config.h"
#include "windows/logging/ascii_parameters_dialog.h"
#include "windows/logging/log_text.h"

#include <QCheckBox>
#include <QRadioButton>

#include <algorithm>
#include <memory>

using namespace log_text;

namespace {

// Room in the output buffer for one line: the longest (a CAN FD line of 64
// decimal bytes with a message name) takes about 420 characters.
constexpr size_t line_room = 512;
// Classic layout: identifier and its "x" fill this width.
constexpr int classic_id_width = 16;
// CAN FD layout: the identifier is right-aligned in this width; a message
// name is cut to and padded to its width.
constexpr int fd_id_width = 10;
constexpr int fd_name_width = 32;
// Flags word of a CAN FD line.
constexpr uint32_t fd_flag_edl = 0x1000;
constexpr uint32_t fd_flag_brs = 0x2000;
constexpr uint32_t fd_flag_esi = 0x4000;
// A channel index of this or more is read as the one this far below it.
constexpr int channel_fold = 3;
// A classic frame carries at most this many data bytes, whatever its DLC code.
constexpr uint32_t classic_max_data = 8;

bool starts_with(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// "Tx" or "Rx", "Rq" or "rq" directly after "Tx" making it a transmit
// request; false for any other word.
bool parse_direction(const char *&cursor, uint32_t &flags)
{
    if (starts_with(cursor, "Tx")) {
        cursor += 2;
        if (starts_with(cursor, "Rq") || starts_with(cursor, "rq")) {
            cursor += 2;
            flags |= VyrCanMessage::TxRequest;
        } else {
            flags |= VyrCanMessage::TxAck;
        }
        return true;
    }
    if (starts_with(cursor, "Rx")) {
        cursor += 2;
        return true;
    }
    return false;
}

// The channel number, in decimal whatever the base: 1 for the first channel
// (0 taken as the first as well); false for none or one beyond the record's.
bool parse_channel(const char *&cursor, VyrCanMessage &message)
{
    uint32_t number = 0;
    const char *c = cursor;
    for (; is_digit(*c); ++c) {
        number = number * 10 + uint32_t(*c - '0');
        if (number > UINT8_MAX + 1u)
            return false;
    }
    if (c == cursor)
        return false;
    message.channel = uint8_t(number == 0 ? 0 : number - 1);
    cursor = c;
    return true;
}

// A data byte in the base; false for no number or a value above 255.
bool parse_byte(const char *&cursor, int base, uint8_t &byte)
{
    cursor = skip_blanks(cursor);
    uint32_t value = 0;
    if (!parse_number(cursor, base, value) || value > 0xFF)
        return false;
    byte = uint8_t(value);
    return true;
}

} // namespace

TriggerBlockLogFile::TriggerBlockLogFile() = default;

std::string TriggerBlockLogFile::date_text(time_t time)
{
    tm local{};
    localtime_r(&time, &local);
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char text[64];
    snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d %s %d", week_days[local.tm_wday], months[local.tm_mon],
             local.tm_mday, hour12, local.tm_min, local.tm_sec, local.tm_hour < 12 ? "am" : "pm", local.tm_year + 1900);
    return text;
}

int TriggerBlockLogFile::dlc_code(int length)
{
    if (length <= 8)
        return std::max(length, 0);
    if (length <= 24)
        return 9 + (length - 9) / 4;
    return length <= 32 ? 13 : length <= 48 ? 14 : 15;
}

bool TriggerBlockLogFile::write_line(const char *text)
{
    return write_text(text, strlen(text)) && write_text("\r\n", 2);
}

int TriggerBlockLogFile::open()
{
    if (const int result = LogFile::open())
        return result;
    m_first_message = true;
    if (write_mode() == ReadMode) {
        m_data_hex = true;
        m_abs_time = false;
        m_header_mode = true;
        m_accumulated_ms = 0;
        m_accumulated_us = 0;
        return Success;
    }
    const std::string date = "date " + date_text(::time(nullptr));
    const std::string base =
        std::string("base ") + (m_data_hex ? "hex" : "dec") + " timestamps " + (m_abs_time ? "absolute" : "relative");
    const bool written = write_line(date.c_str()) && write_line(base.c_str()) && write_line("Begin Triggerblock");
    return written ? Success : WriteError;
}

int TriggerBlockLogFile::close()
{
    if (is_open() && write_mode() != ReadMode && !write_line("End Triggerblock")) {
        LogFile::close();
        return WriteError;
    }
    return LogFile::close();
}

int TriggerBlockLogFile::write_message(const VyrCanMessage &message, uint32_t &bytes_written)
{
    bytes_written = 0;
    if (!file())
        return Success;
    if (m_first_message) {
        m_base_time = message.time;
        m_base_fraction = message.time_fraction;
        m_first_message = false;
    }
    // Relative stamps are the difference of the whole times, fraction
    // included; a frame older than the one before is written at 0.
    uint32_t ms = message.time;
    uint32_t fraction = std::min<uint32_t>(message.time_fraction, 99);
    if (!m_abs_time) {
        const uint64_t time = uint64_t(ms) * 100 + fraction;
        const uint64_t base = uint64_t(m_base_time) * 100 + std::min<uint32_t>(m_base_fraction, 99);
        const uint64_t difference = time > base ? time - base : 0;
        ms = uint32_t(difference / 100);
        fraction = uint32_t(difference % 100);
    }
    m_base_time = message.time;
    m_base_fraction = message.time_fraction;

    char *const line = output_space(line_room + max_blank_run);
    if (!line)
        return WriteError;
    char *out = line;

    const uint32_t seconds = ms / 1000;
    int width = 4;
    for (uint32_t bound = 10000; bound <= 1000000000 && seconds >= bound; bound *= 10)
        ++width;
    out = put_decimal(out, seconds, width);
    *out++ = '.';
    out = put_three_digits(out, ms % 1000);
    out = put_three_digits(out, fraction * 10);

    const uint32_t flags = message.flags;
    const bool hex = m_data_hex;
    const bool error_frame = flags & VyrCanMessage::ErrorFrame;
    const bool remote = flags & VyrCanMessage::Remote;
    const bool extended = flags & VyrCanMessage::Extended;
    const bool fd_mode = can_interface() && can_interface()->canfd_enabled();
    // Every line of the CAN FD layout carries the keyword, or no reader takes
    // it back; CAN FD frames need that layout for their length whatever the
    // interface's mode. It has no remote frames.
    const bool fd_layout = !error_frame && !remote && (fd_mode || (flags & VyrCanMessage::FdFrame));
    if (fd_layout)
        out = put_text(out, " CANFD ");
    out = put_decimal(out, uint32_t(message.channel) + 1, 3);
    *out++ = ' ';

    if (error_frame) {
        out = put_text(out, "ErrorFrame");
    } else if (!fd_layout) {
        char *const id_start = out;
        out = hex ? put_hex(out, message.id, 0) : put_decimal(out, message.id, 0);
        *out++ = extended ? 'x' : ' ';
        out = put_blanks(out, classic_id_width - int(out - id_start));
        out = put_text(out, flags & VyrCanMessage::TxAck ? "Tx  " : flags & VyrCanMessage::TxRequest ? "TxRq" : "Rx  ");
        *out++ = ' ';
        *out++ = remote ? 'r' : 'd';
        const int length = std::min<int>(message.dlc, 8);
        out = put_decimal(out, uint32_t(length), 2);
        if (!remote) {
            for (int i = 0; i < length; ++i) {
                if (hex) {
                    *out++ = ' ';
                    out = put_hex_byte(out, message.data[i]);
                } else {
                    out = put_decimal(out, message.data[i], 4);
                }
            }
        }
    } else {
        out = put_text(out, flags & (VyrCanMessage::TxAck | VyrCanMessage::TxRequest) ? "Tx " : "Rx ");
        out = hex ? put_hex(out, message.id, fd_id_width) : put_decimal(out, message.id, fd_id_width);
        *out++ = extended ? 'x' : ' ';
        *out++ = ' ';
        if (const CANdbCluster *names = database()) {
            const CANdbMessage *found = names->find_message_by_id(message.id | (extended ? kCANdbExtendedBit : 0));
            if (!found && id_formatter())
                found = names->find_message_by_id(id_formatter()->display_id(message));
            if (found && !found->name.empty()) {
                const size_t length = std::min<size_t>(found->name.size(), fd_name_width);
                out = put_text(out, found->name.data(), length);
                out = put_blanks(out, fd_name_width - int(length));
            }
        }
        *out++ = ' ';
        const bool brs = flags & VyrCanMessage::BitRateSwitch;
        const bool esi = flags & VyrCanMessage::ErrorStateIndicator;
        *out++ = brs ? '1' : '0';
        *out++ = ' ';
        *out++ = esi ? '1' : '0';
        *out++ = ' ';
        const int length = std::min<int>(message.dlc, VyrCanMessage::max_data);
        *out++ = hex_digits[dlc_code(length)];
        *out++ = ' ';
        out = put_decimal(out, uint32_t(length), 2);
        for (int i = 0; i < length; ++i) {
            if (hex) {
                *out++ = ' ';
                out = put_hex_byte(out, message.data[i]);
            } else {
                out = put_decimal(out, message.data[i], 4);
            }
        }
        // Message duration and length, flags, CRC and four bit-timing words.
        const uint32_t fd_flags =
            (flags & VyrCanMessage::FdFrame ? fd_flag_edl : 0) | (brs ? fd_flag_brs : 0) | (esi ? fd_flag_esi : 0);
        out = put_text(out, "        0    0 ");
        out = put_hex(out, fd_flags, 8);
        for (int field = 0; field < 5; ++field)
            out = put_text(out, "        0");
    }
    *out++ = '\r';
    *out++ = '\n';
    bytes_written = uint32_t(out - line);
    commit_output(bytes_written);
    return Success;
}

int TriggerBlockLogFile::read_message(VyrCanMessage &message)
{
    message = VyrCanMessage();
    if (!file())
        return NoFilename;
    char line[line_size + 2];
    for (;;) {
        message = VyrCanMessage();
        const LineRead read = log_text::read_line(file(), line, sizeof line);
        if (read == LineRead::EndOfFile)
            return EndOfFile;
        if (read == LineRead::NotText)
            return InvalidContents;
        // No frame is that long: the line is passed over.
        if (read == LineRead::TooLong)
            continue;
        const char *cursor = skip_blanks(line);
        if (m_header_mode) {
            if (strstr(cursor, "base dec"))
                m_data_hex = false;
            else if (strstr(cursor, "base hex"))
                m_data_hex = true;
            if (strstr(cursor, "timestamps absolute") || strstr(cursor, "timestamp absolute"))
                m_abs_time = true;
            else if (strstr(cursor, "timestamps relative") || strstr(cursor, "timestamp relative"))
                m_abs_time = false;
            if (is_digit(*cursor))
                m_header_mode = false;
        }
        if (!is_digit(*cursor))
            continue;

        // Seconds, "." or ",", up to six digits of the fraction (more are ignored).
        uint64_t seconds = 0;
        for (; is_digit(*cursor); ++cursor)
            seconds = seconds * 10 + uint64_t(*cursor - '0');
        uint32_t microseconds = 0;
        if (*cursor == '.' || *cursor == ',') {
            uint32_t weight = 100000;
            for (++cursor; is_digit(*cursor); ++cursor) {
                microseconds += uint32_t(*cursor - '0') * weight;
                weight /= 10;
            }
        }
        message.time = uint32_t(seconds * 1000 + microseconds / 1000);
        message.time_fraction = uint8_t(microseconds % 1000 / 10);
        // Relative stamps add up over every line that carries one, frames
        // that are skipped or refused included.
        if (!m_abs_time) {
            m_accumulated_ms += message.time;
            m_accumulated_us += uint32_t(message.time_fraction) * 10;
            m_accumulated_ms += m_accumulated_us / 1000;
            m_accumulated_us %= 1000;
            message.time = m_accumulated_ms;
            message.time_fraction = uint8_t(m_accumulated_us / 10);
        }

        cursor = skip_blanks(cursor);
        if (starts_with(cursor, "CANFD")) {
            if (!parse_fd(cursor + 5, message))
                continue;
        } else {
            const int result = parse_classic(cursor, message);
            if (result == InvalidContents)
                continue;
            if (result != Success)
                return result;
        }
        if (message.flags & VyrCanMessage::TxRequest)
            continue;
        if (message.channel >= channel_fold)
            message.channel = uint8_t(message.channel - channel_fold);
        return Success;
    }
}

bool TriggerBlockLogFile::parse_identifier(const char *&cursor, VyrCanMessage &message) const
{
    const int base = m_data_hex ? 16 : 10;
    uint32_t id = 0;
    if (!parse_number(cursor, base, id))
        return false;
    if (*cursor == 'x') {
        message.flags |= VyrCanMessage::Extended;
        ++cursor;
    }
    if (!is_blank(*cursor))
        return false;
    message.id = id;
    return true;
}

bool TriggerBlockLogFile::take_database_name(const char *name, size_t length, VyrCanMessage &message) const
{
    const CANdbCluster *names = database();
    const CANdbMessage *found = names ? names->find_message(std::string(name, length).c_str()) : nullptr;
    if (!found)
        return false;
    message.id = found->id;
    message.flags = (message.flags & ~uint32_t(VyrCanMessage::Extended)) |
        (found->extended ? uint32_t(VyrCanMessage::Extended) : 0u);
    return true;
}

int TriggerBlockLogFile::parse_classic(const char *cursor, VyrCanMessage &message) const
{
    if (!parse_channel(cursor, message))
        return InvalidContents;
    if (strstr(cursor, "ErrorFrame")) {
        message.flags = VyrCanMessage::ErrorFrame;
        return Success;
    }
    cursor = skip_blanks(cursor);
    // A number, else a message name (also one that begins like a hexadecimal number).
    const char *const word = cursor;
    if (!parse_identifier(cursor, message)) {
        const char *const end = word_end(word);
        if (!take_database_name(word, size_t(end - word), message)) {
            // "Status:...", "Statistic:" and the like are events, no frames.
            return memchr(word, ':', size_t(end - word)) ? InvalidContents : InvalidId;
        }
        cursor = end;
    }

    cursor = skip_blanks(cursor);
    if (!parse_direction(cursor, message.flags))
        return InvalidFlags;
    cursor = skip_blanks(cursor);
    if (*cursor == 'r')
        message.flags |= VyrCanMessage::Remote;
    else if (*cursor != 'd' && *cursor != 'D')
        return InvalidFlags;
    cursor = skip_blanks(cursor + 1);

    const int base = m_data_hex ? 16 : 10;
    uint32_t length = 0;
    if (message.flags & VyrCanMessage::Remote) {
        // Some tools write a remote frame without its DLC: it requests none.
        if (parse_number(cursor, base, length))
            message.dlc = uint8_t(std::min(length, classic_max_data));
        return Success;
    }
    if (!parse_number(cursor, base, length))
        return InvalidDlc;
    // DLC codes 9 to 15 stand for 8 bytes on a classic bus; bytes beyond
    // the eighth are not the frame's.
    message.dlc = uint8_t(std::min(length, classic_max_data));
    for (int i = 0; i < message.dlc; ++i)
        if (!parse_byte(cursor, base, message.data[i]))
            return InvalidData;
    return Success;
}

bool TriggerBlockLogFile::parse_fd(const char *cursor, VyrCanMessage &message) const
{
    cursor = skip_blanks(cursor);
    if (!parse_channel(cursor, message))
        return false;
    cursor = skip_blanks(cursor);
    if (!parse_direction(cursor, message.flags))
        return false;
    cursor = skip_blanks(cursor);
    if (*cursor == 'r' && is_blank(cursor[1])) {
        message.flags |= VyrCanMessage::Remote;
        cursor = skip_blanks(cursor + 1);
    }
    if (strstr(cursor, "ErrorFrame")) {
        message.flags |= VyrCanMessage::ErrorFrame;
        return true;
    }
    if (!parse_identifier(cursor, message))
        return false;

    // A word other than the bit-rate-switch digit is a message name; the
    // database's message of that name gives the identifier.
    cursor = skip_blanks(cursor);
    const char *const end = word_end(cursor);
    const bool digit_field = end - cursor == 1 && is_digit(*cursor);
    if (!digit_field) {
        take_database_name(cursor, size_t(end - cursor), message);
        cursor = skip_blanks(end);
    }

    // Bit-rate switch and error-state indicator, each "0" or "1".
    for (const uint32_t flag : {uint32_t(VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch),
                                uint32_t(VyrCanMessage::ErrorStateIndicator)}) {
        if ((*cursor != '0' && *cursor != '1') || !is_blank(cursor[1]))
            return false;
        if (*cursor == '1')
            message.flags |= flag;
        cursor = skip_blanks(cursor + 1);
    }
    // The DLC code is one hexadecimal digit in either base.
    if (hex_digit_value(*cursor) < 0 || !is_blank(cursor[1]))
        return false;
    cursor = skip_blanks(cursor + 1);
    if (!is_digit(*cursor))
        return false;
    uint32_t length = uint32_t(*cursor++ - '0');
    if (is_digit(*cursor))
        length = length * 10 + uint32_t(*cursor++ - '0');
    message.dlc = uint8_t(std::min<uint32_t>(length, VyrCanMessage::max_data));
    const int base = m_data_hex ? 16 : 10;
    if (!(message.flags & VyrCanMessage::Remote)) {
        for (int i = 0; i < message.dlc; ++i)
            if (!parse_byte(cursor, base, message.data[i]))
                return false;
    }
    // A frame is CAN FD by its bit-rate switch, its length or the EDL bit
    // of the flags word, the third field after the data.
    if (message.dlc > 8)
        message.flags |= VyrCanMessage::FdFrame;
    cursor = skip_blanks(cursor);
    for (int field = 0; field < 2 && !is_line_end(*cursor); ++field)
        cursor = skip_blanks(word_end(cursor));
    uint32_t fd_flags = 0;
    if (parse_number(cursor, 16, fd_flags) && (fd_flags & fd_flag_edl))
        message.flags |= VyrCanMessage::FdFrame;
    return true;
}

bool TriggerBlockLogFile::setup_dialog(QWidget *parent)
{
    const std::unique_ptr<DialogLogToFileAsciiParameters> dialog(make_ascii_parameters_dialog(true, parent));
    if (!dialog)
        return false;
    (m_data_hex ? dialog->rb_id_hex : dialog->rb_id_dec)->setChecked(true);
    (m_abs_time ? dialog->rb_abs_time : dialog->rb_rel_time)->setChecked(true);
    // What this format does not offer shows disabled: seconds, no data format, no names.
    dialog->rb_time_sec_msec->setChecked(true);
    for (QRadioButton *button : {dialog->rb_data_hex, dialog->rb_data_dec}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
    }
    dialog->cb_candb->setChecked(false);
    for (QWidget *widget : std::initializer_list<QWidget *>{dialog->rb_time_sec_msec, dialog->rb_time_hhmmss_msec,
                                                            dialog->rb_data_hex, dialog->rb_data_dec, dialog->cb_candb})
        widget->setEnabled(false);
    if (dialog->exec() != QDialog::Accepted)
        return false;
    const bool hex = dialog->rb_id_hex->isChecked();
    const bool abs_time = dialog->rb_abs_time->isChecked();
    const bool changed = hex != m_data_hex || abs_time != m_abs_time;
    m_data_hex = hex;
    m_abs_time = abs_time;
    return changed;
}

void TriggerBlockLogFile::write_options(QtbConfigGroup *group)
{
    LogFile::write_options(group);
    group->write_bool("data_hex", m_data_hex);
    group->write_bool("abs_time", m_abs_time);
}

void TriggerBlockLogFile::read_options(QtbConfigGroup *group)
{
    LogFile::read_options(group);
    m_data_hex = group->read_bool("data_hex", true);
    m_abs_time = group->read_bool("abs_time", true);
}
