// The message view's contents as column-aligned text for people (the trace
// window puts it on the clipboard); never read back.
#include "windows/trace/vyr_message_view.h"

#include "core/candb_message.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QDateTime>
#include <QTextStream>

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

// Five letters, a space where a flag is clear.
std::string flag_field(const VyrCanMessage &message)
{
    const uint32_t f = message.flags;
    std::string text(5, ' ');
    text[0] = f & VyrCanMessage::Extended ? 'X' : ' ';
    text[1] = f & VyrCanMessage::WakeUp       ? 'W'
        : f & VyrCanMessage::TransceiverError ? 'E'
        : f & VyrCanMessage::LinHeader        ? 'H'
        : f & VyrCanMessage::LinChecksum      ? 'C'
                                              : ' ';
    text[2] = f & VyrCanMessage::Remote ? 'R' : ' ';
    text[3] = f & VyrCanMessage::TxAck ? 'T' : f & VyrCanMessage::TxRequest ? 'Q' : ' ';
    text[4] = f & VyrCanMessage::SoftwareOverrun ? '+' : f & VyrCanMessage::HardwareOverrun ? '#' : ' ';
    return text;
}

// The data bytes, always hexadecimal, filled with spaces to the field width.
std::string data_field(const VyrCanMessage &message)
{
    std::string text;
    char byte[4];
    for (int i = 0; i < trace_text::data_length(message); ++i) {
        std::snprintf(byte, sizeof byte, "%02x ", message.data[i]);
        text += byte;
    }
    if (int(text.size()) < data_field_width)
        text.append(size_t(data_field_width) - text.size(), ' ');
    return text;
}

const std::string error_frame_text = std::string(36, ' ') + "ERROR FRAME" + std::string(15, ' ');

QString creation_date()
{
    return QDateTime::currentDateTime().toString(Qt::TextDate);
}

} // namespace

std::string VyrMessageView::export_identifier(const VyrCanMessage &message) const
{
    const CANdbMessage *found = m_database_mode ? database_message(message) : nullptr;
    std::string text;
    if (found) {
        text = found->name.substr(0, identifier_field_width);
        text.append(size_t(identifier_field_width) - text.size(), ' ');
    } else {
        text.assign(identifier_field_width, ' ');
        trace_text::format_number(text.data(), identifier_field_width, message.id, false, m_formats.id_hex ? 16 : 10,
                                  ' ');
    }
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
        for (const CANdbSignal *signal : found->signal_list) {
            std::string name = std::string(50, ' ') + signal->name;
            if (!signal->unit.empty())
                name += '[' + signal->unit + ']';
            if (int(name.size()) < signal_name_field_width)
                name.append(size_t(signal_name_field_width) - name.size(), ' ');
            out << QString::fromStdString(
                       name + " = " + trace_text::signal_value(*signal, message.data, trace_text::data_length(message)))
                << "\n";
        }
        out << "\n";
    }
    out << table_separator << "\n";
}
