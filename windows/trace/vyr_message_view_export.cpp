// The message view's contents as column-aligned text for people (the trace
// window puts it on the clipboard); never read back.
#include "windows/trace/vyr_message_view.h"

#include "core/candb_message.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/text_util.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QDateTime>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int identifier_field_width = 20;
constexpr int data_field_width = 26;
constexpr int signal_name_field_width = 65;
const char *const table_separator =
    " ==================================================================================";

// Absolute time in seconds with three decimals and two spaces.
std::string time_field(const VyrCanMessage &message)
{
    char text[32];
    std::snprintf(text, sizeof text, "%12.3lf  ", double(message.time) * 0.001);
    return text;
}

// Five of the identifier column's flag letters: extended, the line state,
// remote, transmit and overrun.
std::string flag_field(const VyrCanMessage &message)
{
    char letters[trace_text::flag_letter_count];
    trace_text::flag_letters(message, letters);
    return {letters[0], letters[1], letters[2], letters[6], letters[7]};
}

// The data bytes, always hexadecimal, filled with spaces to the field width.
std::string data_field(const VyrCanMessage &message)
{
    std::string text;
    char byte[4];
    for (int i = 0; i < VyrCanMessage::data_length(message); ++i) {
        std::snprintf(byte, sizeof byte, "%02x ", message.data[i]);
        text += byte;
    }
    if (int(text.size()) < data_field_width)
        text.append(size_t(data_field_width) - text.size(), ' ');
    return text;
}

const std::string error_frame_text = std::string(36, ' ') + "ERROR FRAME" + std::string(15, ' ');

// A text padded with spaces to the width (0 or less: as it is).
std::string padded_to(std::string text, int width)
{
    if (int(text.size()) < width)
        text.append(size_t(width) - text.size(), ' ');
    return text;
}

// The message number in the log text: millions and the rest when it has more
// than six digits, else right-aligned in nine characters; then a space.
std::string counter_field(uint64_t number)
{
    char text[48];
    if (number >= 1000000)
        std::snprintf(text, sizeof text, "%llu.%06llu ", (unsigned long long)(number / 1000000),
                      (unsigned long long)(number % 1000000));
    else
        std::snprintf(text, sizeof text, "%9llu ", (unsigned long long)number);
    return text;
}

QString creation_date()
{
    return QDateTime::currentDateTime().toString(Qt::TextDate);
}

} // namespace

std::string VyrMessageView::export_identifier(const VyrCanMessage &message) const
{
    const CANdbMessage *found = m_database_mode ? database_message(message) : nullptr;
    if (!found)
        return padded_number(message.id, identifier_field_width, m_formats.id_hex ? 16 : 10);
    std::string text = found->name.substr(0, identifier_field_width);
    text.append(size_t(identifier_field_width) - text.size(), ' ');
    return text;
}

void VyrMessageView::write_fixed_text(QTextStream &out, bool selected_only) const
{
    out << "Vyr CAN-Messages, fixed position mode\n"
        << "=====================================\n"
        << "\n"
        << "Created: " << creation_date() << "\n"
        << "\n"
        << "        Time        CAN Identifier Flags     DLC  Data                      Counter\n"
        << table_separator << "\n";
    const TraceLineTable &lines = m_store->lines();
    for (int line = 1; line <= lines.line_count(); ++line) {
        if (selected_only && !lines.selected(line))
            continue;
        const VyrCanMessage message = lines.read_line(line).message;
        std::string text = time_field(message);
        const CANdbMessage *found = nullptr;
        if (message.flags & VyrCanMessage::ErrorFrame) {
            text += error_frame_text;
        } else {
            found = m_database_mode ? database_message(message) : nullptr;
            text += export_identifier(message) + "  " + flag_field(message) + "      " + std::to_string(message.dlc) +
                "  " + data_field(message);
        }
        out << QString::fromStdString(text) << "\n";
        if (!found)
            continue;
        const int length = VyrCanMessage::data_length(message);
        for (const CANdbSignal *signal : found->present_signals(message.data, length)) {
            std::string name = std::string(50, ' ') + signal->name;
            if (!signal->unit.empty())
                name += '[' + signal->unit + ']';
            if (int(name.size()) < signal_name_field_width)
                name.append(size_t(signal_name_field_width) - name.size(), ' ');
            out << QString::fromStdString(name + " = " + trace_text::signal_value(*signal, message.data, length))
                << "\n";
        }
        out << "\n";
    }
    out << table_separator << "\n";
}

void VyrMessageView::write_log_text(QTextStream &out, bool selected_only)
{
    const IdFormatter *formatter = m_interface ? m_interface->id_formatter() : nullptr;
    std::string titles_before;
    std::string titles_after;
    int extra_width = 0;
    const int extra_count = formatter ? formatter->column_count() : 0;
    for (int column = 0; column < extra_count; ++column) {
        const char *title = formatter->column_title(column);
        std::string text = title ? title : "";
        if (!text.empty() && text[0] == ' ')
            text.erase(0, 1);
        const int width = formatter->column_width(column);
        extra_width += std::max(width, 0);
        (formatter->column_after_counter(column) ? titles_after : titles_before) += padded_to(text, width);
    }
    const std::string separator = table_separator + std::string(size_t(extra_width), '=');
    out << "                                 Vyr CAN Log\n"
        << "                                 ===========\n"
        << "\n"
        << "Created: " << creation_date() << "\n"
        << "\n"
        << "        Time        CAN Identifier Flags     " << QString::fromStdString(titles_before)
        << "DLC Data                      Counter " << QString::fromStdString(titles_after) << "\n"
        << QString::fromStdString(separator) << "\n";

    // The formatter's texts of one side of the counter, each padded to its width.
    const auto extra_texts = [&](const VyrCanMessage &message, bool after_counter) {
        std::string text;
        char cell[IdFormatter::max_column_text + 1];
        for (int column = 0; column < extra_count; ++column) {
            if (formatter->column_after_counter(column) != after_counter)
                continue;
            const int length = formatter->column_text(message, column, cell);
            text += padded_to(std::string(cell, size_t(std::max(length, 0))), formatter->column_width(column));
        }
        return text;
    };
    if (m_shown_count > 0) {
        visit_shown(oldest_shown(), m_message_number, [&](VyrCanMessage &message, uint64_t number) {
            if (selected_only && !(message.flags & selected_flag))
                return true;
            std::string text = time_field(message);
            if (message.flags & VyrCanMessage::ErrorFrame)
                text += error_frame_text;
            else
                text += export_identifier(message) + "  " + flag_field(message) + "   " + extra_texts(message, false) +
                    "  " + std::to_string(message.dlc) + "  " + data_field(message);
            text += counter_field(number) + extra_texts(message, true);
            out << QString::fromStdString(text) << "\n";
            return true;
        });
    }
    out << QString::fromStdString(separator) << "\n";
}

void VyrMessageView::write_text(QTextStream &out, bool selected_only)
{
    if (m_scroll_mode)
        write_log_text(out, selected_only);
    else
        write_fixed_text(out, selected_only);
}
