#pragma once
// The texts of the send table's cells: identifier literals with their
// suffix letters, message names of the interface's databases, error-frame
// names, signal assignments, and the fixed-length hex text of the data cell.
#include <QString>
#include <QStringList>

#include <cstdint>

class CANdbCluster;
class CANdbMessage;
struct VyrCanMessage;

namespace send_cell {

// The identifier cell split into its parts: the text before the first ","
// split at its first ":" (without ":" both parts are that whole text), and
// the signal assignments after the ",".
struct IdParts
{
    QString name;
    QString number;
    bool has_colon = false;
    QString assignments;
};
IdParts split_id_text(const QString &text);

// A number with its suffix letters in the order h, x, r, w, s, l, + that
// reads whole: "1FFhx" is one, "1FFx" (decimal digits stop at F) and "" are not.
bool is_numeric_id(const QString &number);
// A non-empty leading part of "ERROR FRAME", compared without regard to case.
bool names_error_frame(const QString &text);
// The first message of that name in any network of the cluster, or null.
CANdbMessage *find_message(CANdbCluster *cluster, const QString &name);
// The identifier editor's rule: a number or a message name, both when the
// text has ":", or an error-frame name; what follows "," is not looked at.
bool id_text_acceptable(const QString &text, CANdbCluster *cluster);
// The names of the cluster's messages, network by network in database order.
QStringList message_names(CANdbCluster *cluster);
// The text is the start of a message name, not yet a whole one: typing
// goes on through it.
bool starts_message_name(const QString &text, CANdbCluster *cluster);

// Assignments "name = value" separated by ","; the value is decimal, or
// hexadecimal with a trailing "h". Each one sets that signal's raw value in
// the data; pieces that name no signal of the message or hold no number are
// left out. Answers the number of signals set.
int apply_assignments(CANdbMessage &message, const QString &assignments, uint8_t *data, int length);

// The data text of `dlc` bytes: two hex digits per byte, single blanks between.
int data_text_length(int dlc);
// Extends the text by " 00" groups and cuts it to the length of `dlc` bytes.
QString resize_data_text(const QString &text, int dlc);
// Reads blank-separated hex bytes, at most 64, into data; answers their number.
int parse_data_text(const QString &text, uint8_t *data);
// "%02x" per byte, blank-separated.
QString format_data(const uint8_t *data, int length);

// The lengths the DLC editor offers: 0 to 8, with CAN FD up to 64.
QStringList dlc_choices(bool can_fd);

} // namespace send_cell
