#include "windows/send/send_cell_syntax.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "core/candb_network.h"
#include "core/frames/vyr_can_message.h"

#include <QRegularExpression>

namespace send_cell {

IdParts split_id_text(const QString &text)
{
    IdParts parts;
    QString head = text;
    const int comma = text.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        head = text.left(comma);
        parts.assignments = text.mid(comma + 1);
    }
    const int colon = head.indexOf(QLatin1Char(':'));
    parts.has_colon = colon >= 0;
    parts.name = parts.has_colon ? head.left(colon) : head;
    parts.number = parts.has_colon ? head.mid(colon + 1) : head;
    return parts;
}

bool is_numeric_id(const QString &number)
{
    static const QRegularExpression literal(QStringLiteral("^[0-9a-fA-F]*[hH]?[xX]?[rR]?[wW]?[sS]?[lL]?[\\+]?$"));
    if (number.isEmpty() || !literal.match(number).hasMatch())
        return false;
    // The expression lets decimal literals hold hex digits ("1FFx"); the
    // number is only one when it reads up to its suffix letters.
    VyrCanMessage scratch;
    return VyrCanMessage::parse_whole_id(scratch, number.toLatin1().constData()) == 0 &&
        !(scratch.flags & VyrCanMessage::ErrorFrame);
}

bool names_error_frame(const QString &text)
{
    static const QString word = QStringLiteral("error frame");
    return !text.isEmpty() && text.size() <= word.size() && word.startsWith(text.toLower());
}

CANdbMessage *find_message(CANdbCluster *cluster, const QString &name)
{
    if (!cluster || name.isEmpty())
        return nullptr;
    return cluster->find_message(name.toLatin1().constData());
}

bool id_text_acceptable(const QString &text, CANdbCluster *cluster)
{
    const IdParts parts = split_id_text(text);
    const bool numeric = is_numeric_id(parts.number);
    const bool named = find_message(cluster, parts.name) != nullptr;
    if (parts.has_colon ? (numeric && named) : (numeric || named))
        return true;
    return names_error_frame(text);
}

QStringList message_names(CANdbCluster *cluster)
{
    QStringList names;
    if (!cluster)
        return names;
    for (CANdbNetwork *network = cluster->first_network(); network; network = cluster->next_network())
        for (CANdbMessage *message = network->first_message(); message; message = network->next_message())
            names << QString::fromStdString(message->name);
    return names;
}

bool starts_message_name(const QString &text, CANdbCluster *cluster)
{
    if (text.isEmpty())
        return false;
    for (const QString &name : message_names(cluster))
        if (name.size() > text.size() && name.startsWith(text))
            return true;
    return false;
}

namespace {

bool read_value(QString text, int64_t &value)
{
    text = text.trimmed();
    bool ok = false;
    if (text.endsWith(QLatin1Char('h'), Qt::CaseInsensitive))
        value = text.left(text.size() - 1).toLongLong(&ok, 16);
    else
        value = text.toLongLong(&ok, 10);
    return ok;
}

} // namespace

int apply_assignments(CANdbMessage &message, const QString &assignments, uint8_t *data, int length)
{
    int set = 0;
    for (const QString &piece : assignments.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int equals = piece.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        int64_t value = 0;
        if (!read_value(piece.mid(equals + 1), value))
            continue;
        CANdbSignal *signal = message.find_signal(piece.left(equals).trimmed().toLatin1().constData());
        if (signal && signal->encode_raw(data, length, uint64_t(value)) == 0)
            ++set;
    }
    return set;
}

int data_text_length(int dlc)
{
    return dlc > 0 ? dlc * 3 - 1 : 0;
}

QString resize_data_text(const QString &text, int dlc)
{
    const int length = data_text_length(dlc);
    QString resized = text;
    while (resized.size() < length)
        resized += resized.isEmpty() ? QStringLiteral("00") : QStringLiteral(" 00");
    resized.truncate(length);
    return resized;
}

int parse_data_text(const QString &text, uint8_t *data)
{
    int count = 0;
    for (const QString &byte : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (count == VyrCanMessage::max_data)
            break;
        data[count++] = uint8_t(byte.toUInt(nullptr, 16));
    }
    return count;
}

QString format_data(const uint8_t *data, int length)
{
    QStringList bytes;
    for (int i = 0; i < length; ++i)
        bytes << QStringLiteral("%1").arg(data[i], 2, 16, QLatin1Char('0'));
    return bytes.join(QLatin1Char(' '));
}

QStringList dlc_choices(bool can_fd)
{
    QStringList choices;
    for (int n = 0; n <= 8; ++n)
        choices << QString::number(n);
    if (can_fd)
        for (int n : {12, 16, 20, 24, 32, 48, 64})
            choices << QString::number(n);
    return choices;
}

} // namespace send_cell
