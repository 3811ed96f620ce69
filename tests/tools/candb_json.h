#pragma once
// A network of the network database as JSON, for comparisons with other
// readers of the same description file:
// {"messages": [{"name", "id", "extended", "dlc", "signals": [{"name",
// "start_bit", "length", "byte_order": "intel"|"motorola", "signed", "float",
// "factor", "offset", "min", "max", "unit", "multiplexer", "multiplex_value",
// "values": {"raw": "text"}}]}]}
// start_bit is the model's: the least significant bit in both byte orders.
// Texts are taken as Latin-1, as DBC files are usually written. The
// pseudo-message that holds signals without a frame is not listed.
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "core/candb_network.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

namespace candb_json {

inline QString text(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<int>(bytes.size()));
}

inline QJsonObject signal_json(const CANdbSignal &s)
{
    QJsonObject values;
    for (const CANdbValueDescription &d : s.value_table.descriptions)
        values.insert(QString::number(d.value), text(d.text));
    return QJsonObject{
        {"name", text(s.name)},
        {"start_bit", s.start_bit},
        {"length", s.length},
        {"byte_order", s.byte_order == CANdbMotorola ? "motorola" : "intel"},
        // IEEE values carry their sign.
        {"signed", s.value_type == CANdbRawSigned || s.value_type == CANdbRawFloat || s.value_type == CANdbRawDouble},
        {"float", s.value_type == CANdbRawFloat || s.value_type == CANdbRawDouble},
        {"factor", s.factor},
        {"offset", s.offset},
        {"min", s.minimum},
        {"max", s.maximum},
        {"unit", text(s.unit)},
        // A multiplexor of extended multiplexing loses its plain flag but
        // still selects the signals that depend on it.
        {"multiplexer", s.is_multiplexor || s.has_dependents()},
        {"multiplex_value", s.mux_value == -1 ? QJsonValue() : QJsonValue(s.mux_value)},
        {"values", values},
    };
}

inline QJsonObject network_json(const CANdbNetwork &net)
{
    QJsonArray messages;
    for (const CANdbMessage *m : net.messages) {
        QJsonArray signal_array;
        for (const CANdbSignal *s : m->signal_list)
            signal_array.append(signal_json(*s));
        messages.append(QJsonObject{
            {"name", text(m->name)},
            {"id", static_cast<double>(m->id)},
            {"extended", m->extended},
            {"dlc", m->dlc},
            {"signals", signal_array},
        });
    }
    return QJsonObject{{"messages", messages}};
}

// Collects the reader's messages as "line N: text".
class Collector : public CANdbFileIoReporter {
public:
    QStringList errors, warnings;
    void info(int, const char *, const char *) override {}
    void error(int line, const char *, const char *text) override { errors << entry(line, text); }
    void warning(int line, const char *, const char *text) override { warnings << entry(line, text); }

private:
    static QString entry(int line, const char *text)
    {
        return QStringLiteral("line %1: %2").arg(line).arg(QString::fromLatin1(text).trimmed());
    }
};

// Loads a description file the way an interface does: the format by the
// file's last extension (ignoring case), the reader through the registry.
// Returns the reader's result, or -2 when no format or reader fits.
inline int load(const std::string &path, CANdbNetwork &net, Collector *collector = nullptr)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    const std::string extension =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? "dbc" : path.substr(dot + 1);
    const CANdbFileFormat *format = CANdbFileFormat::find_by_extension(extension.c_str());
    if (!format || !(format->flags() & CANdbFileFormat::kRead))
        return -2;
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io(format->name());
    if (!io)
        return -2;
    io->set_file_name(path.c_str());
    io->set_source_name(&net);
    io->set_reporter(collector);
    return io->read(&net);
}

} // namespace candb_json
