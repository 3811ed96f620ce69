// The writer half of DbcFileIo: a CANdbNetwork as a DBC file, in the order
// and number format that the reader reads back.
#include "description/dbc/dbc_file_io.h"

#include "core/candb_mux_group.h"
#include "core/candb_network.h"
#include "settings/save_file.h"
#include "settings/text_util.h"

#include <QFile>

#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kNoNode[] = "Vector__XXX";

const char *const kNewSymbols[] = {
    "NS_DESC_",       "CM_",         "BA_DEF_",          "BA_",         "VAL_",         "CAT_DEF_",     "CAT_",
    "FILTER",         "BA_DEF_DEF_", "EV_DATA_",         "ENVVAR_DATA_", "SGTYPE_",     "SGTYPE_VAL_",  "BA_DEF_SGTYPE_",
    "BA_SGTYPE_",     "SIG_TYPE_REF_", "VAL_TABLE_",     "SIG_GROUP_",  "SIG_VALTYPE_", "SIGTYPE_VALTYPE_", "BO_TX_BU_",
    "BA_DEF_REL_",    "BA_REL_",     "BA_DEF_DEF_REL_",  "BU_SG_REL_",  "BU_EV_REL_",   "BU_BO_REL_",   "SG_MUL_VAL_",
};

int64_t floor_div(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int64_t floor_mod(int64_t a, int64_t b)
{
    return a - b * floor_div(a, b);
}

// The DBC start bit of a Motorola signal: its most significant bit. Computed
// in 64 bits like the reader's conversion, so that any stored field converts
// without overflow; written as the 32-bit number the reader takes back.
int32_t motorola_msb_start(int32_t lsb_start, int32_t length)
{
    const int64_t y = 8 * floor_div(lsb_start, 8) + 8 - floor_mod(lsb_start, 8) - int64_t(length);
    return static_cast<int32_t>(8 * floor_div(y, 8) - floor_mod(y, 8) + 7);
}

// The text of the file, built in memory and stored in one go.
class DbcText {
public:
    DbcText &operator<<(const char *text)
    {
        out_ += text;
        return *this;
    }
    DbcText &operator<<(const std::string &text)
    {
        out_ += text;
        return *this;
    }
    DbcText &operator<<(char c)
    {
        out_ += c;
        return *this;
    }
    DbcText &integer(long long value)
    {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        out_.append(buffer, result.ptr);
        return *this;
    }
    // 32-bit numbers as "%u" and "%d" write them.
    DbcText &u32(uint32_t value) { return integer(value); }
    DbcText &i32(int32_t value) { return integer(value); }
    // "%.11lg": 11 significant digits, the shorter of fixed and exponent
    // notation, no trailing zeros; independent of the process locale.
    DbcText &write_number(double value)
    {
        // "inf" and "nan" are no DBC numbers: an infinite value is written as
        // the largest double, which reads back as infinite; NaN as 0.
        if (std::isnan(value))
            value = 0.0;
        else if (std::isinf(value))
            value = value > 0 ? DBL_MAX : -DBL_MAX;
        char buffer[40];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 11);
        out_.append(buffer, result.ptr);
        return *this;
    }
    DbcText &write_quoted(const std::string &text)
    {
        out_ += '"';
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            // A backslash at the end would escape the closing quote and run
            // the string on into the statements after it; it is written like
            // a control byte and reads back as those three characters.
            if (c == '\\' && i + 1 == text.size()) {
                out_ += "\\5c";
                continue;
            }
            switch (c) {
            case '\n':
                out_ += '\n';
                break;
            case '\t':
                out_ += "\\t";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '"':
                out_ += "\\\"";
                break;
            default:
                if (c < 0x20) {
                    out_ += '\\' + hex_string(c, 2);
                } else {
                    out_ += static_cast<char>(c);
                }
            }
        }
        out_ += '"';
        return *this;
    }
    const std::string &str() const { return out_; }

private:
    std::string out_;
};

// The message pass of every section that names messages: the pseudo-message
// first when it holds signals, then the list. Signals that belong to no frame
// keep their attributes, value descriptions, value types and multiplexing
// records, which the reader reads back through the pseudo-message's id.
template <typename Visit> void for_each_message_with_pseudo(const CANdbNetwork &net, Visit visit)
{
    if (net.pseudo_message && !net.pseudo_message->signal_list.empty())
        visit(net.pseudo_message.get());
    for (const CANdbMessage *m : net.messages)
        visit(m);
}

// The access word of an environment variable: as read, or made from its
// access code and type for a variable built in code.
std::string access_word(const CANdbEnvVar &var)
{
    if (!var.access_text.empty())
        return var.access_text;
    const int code = var.access_code >= 1 && var.access_code <= 4 ? var.access_code - 1 : 0;
    return std::string(var.type == CANdbEnvVarString ? "DUMMY_NODE_VECTOR800" : "DUMMY_NODE_VECTOR") +
           static_cast<char>('0' + code);
}

// A definition without a value type has no form the reader accepts, so it is
// left out with its default and values.
bool is_writable(const CANdbAttributeDef *def)
{
    return def && def->value_type >= CANdbAttrInt && def->value_type <= CANdbAttrString;
}

void write_value(DbcText &out, const CANdbAttributeValue &value)
{
    switch (value.value_type) {
    case CANdbAttrFloat:
        out.write_number(value.double_value);
        break;
    case CANdbAttrString:
        out.write_quoted(value.string_value);
        break;
    default:
        out.i32(value.int_value);
        break;
    }
}

void write_values(DbcText &out, const CANdbAttributeValueList &list, const std::string &object_part)
{
    for (const CANdbAttributeValue *v : list) {
        if (!is_writable(v->definition))
            continue;
        out << "BA_ ";
        out.write_quoted(v->definition->name);
        out << object_part;
        write_value(out, *v);
        out << ";\n";
    }
}

std::string message_id_text(const CANdbMessage *m)
{
    return std::to_string(m->id == kCANdbPseudoMessageId ? m->id : m->key_id());
}

// The value-text pairs of a VAL_ or VAL_TABLE_ line and its end.
void write_value_pairs(DbcText &out, const CANdbValueDescriptionList &list)
{
    for (const CANdbValueDescription &d : list) {
        out << " ";
        out.i32(d.value) << " ";
        out.write_quoted(d.text);
    }
    out << " ;\n";
}

// Node names separated by commas.
void write_names(DbcText &out, const std::vector<CANdbNode *> &nodes)
{
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (i)
            out << ",";
        out << nodes[i]->name;
    }
}

void write_signal(DbcText &out, const CANdbSignal *s)
{
    out << " SG_ " << s->name;
    if (s->is_multiplexor) {
        out << " M";
    } else if (s->has_dependents()) {
        if (s->mux_value == -1)
            out << " M";
        else
            out << " m" << std::to_string(s->mux_value) << "M";
    } else if (s->mux_value != -1) {
        out << " m" << std::to_string(s->mux_value);
    }
    if (s->byte_order == CANdbMotorola)
        out << " : " << std::to_string(motorola_msb_start(s->start_bit, s->length)) << "|" << std::to_string(s->length)
            << "@0";
    else
        out << " : " << std::to_string(s->start_bit) << "|" << std::to_string(s->length) << "@1";
    out << (s->value_type == CANdbRawUnsigned ? "+" : "-");
    out << " (";
    out.write_number(s->factor) << ",";
    out.write_number(s->offset) << ") [";
    out.write_number(s->minimum) << "|";
    out.write_number(s->maximum) << "] ";
    out.write_quoted(s->unit);
    if (!s->receivers.empty()) {
        out << "  ";
        write_names(out, s->receivers);
    } else {
        out << " " << kNoNode;
    }
    out << "\n";
}

// Returns 1 when a definition of an unknown object kind stops the writing.
int write_attribute_defs(DbcText &out, const CANdbNetwork &net)
{
    for (const CANdbAttributeDef *def : net.attribute_defs) {
        const char *object = nullptr;
        switch (def->object_kind) {
        case CANdbObjectNetwork:
            object = "";
            break;
        case CANdbObjectMessage:
            object = "BO_ ";
            break;
        case CANdbObjectNode:
            object = "BU_ ";
            break;
        case CANdbObjectSignal:
            object = "SG_ ";
            break;
        case CANdbObjectEnvVar:
            object = "EV_ ";
            break;
        default:
            return 1;
        }
        if (!is_writable(def))
            continue;
        out << "BA_DEF_ " << object << " ";
        out.write_quoted(def->name);
        out << " ";
        switch (def->value_type) {
        case CANdbAttrInt:
            out << "INT ";
            out.i32(def->int_min) << " ";
            out.i32(def->int_max);
            break;
        case CANdbAttrHex:
            out << "HEX ";
            out.i32(def->int_min) << " ";
            out.i32(def->int_max);
            break;
        case CANdbAttrFloat:
            out << "FLOAT ";
            out.write_number(def->float_min) << " ";
            out.write_number(def->float_max);
            break;
        case CANdbAttrString:
            out << "STRING ";
            break;
        case CANdbAttrEnum:
            out << "ENUM  ";
            for (int index = 0; const char *entry = def->enum_name(index); ++index) {
                if (index)
                    out << ",";
                out.write_quoted(entry);
            }
            break;
        }
        out << ";\n";
    }
    return 0;
}

// The reader gives an enumeration the default 0 without a BA_DEF_DEF_ line
// and -1 for a default text that names no entry; a default index without an
// entry is written in the form that reads back as it (others become -1).
bool has_default_line(const CANdbAttributeDef *def)
{
    return def->value_type != CANdbAttrEnum || def->enum_name(def->int_default) || def->int_default != 0;
}

void write_attribute_defaults(DbcText &out, const CANdbNetwork &net)
{
    for (const CANdbAttributeDef *def : net.attribute_defs) {
        if (!is_writable(def) || !has_default_line(def))
            continue;
        out << "BA_DEF_DEF_  ";
        out.write_quoted(def->name);
        out << " ";
        switch (def->value_type) {
        case CANdbAttrInt:
        case CANdbAttrHex:
            out.i32(def->int_default);
            break;
        case CANdbAttrFloat:
            out.write_number(def->float_default);
            break;
        case CANdbAttrEnum: {
            const char *entry = def->enum_name(def->int_default);
            out.write_quoted(entry ? entry : "");
            break;
        }
        case CANdbAttrString:
            out.write_quoted(def->default_string);
            break;
        }
        out << ";\n";
    }
}

// Returns 1 when the network has a definition of an unknown object kind.
int build_text(DbcText &out, const CANdbNetwork &net)
{
    out << "VERSION \"\"\n\n\nNS_ : \n";
    for (const char *word : kNewSymbols)
        out << "\t" << word << "\n";
    out << "\nBS_:\n\n";

    out << "BU_:";
    for (const CANdbNode *n : net.nodes)
        out << " " << n->name;
    out << "\n\n\n";

    bool table_written = false;
    for (const CANdbValueTable *t : net.value_tables) {
        if (t->descriptions.empty())
            continue;
        out << "VAL_TABLE_ " << t->name;
        write_value_pairs(out, t->descriptions);
        table_written = true;
    }
    if (table_written)
        out << "\n\n\n";

    for_each_message_with_pseudo(net, [&](const CANdbMessage *m) {
        out << "BO_ " << message_id_text(m) << " " << m->name << ": ";
        out.i32(m->dlc);
        out << " " << (m->transmitter && !m->transmitter->name.empty() ? m->transmitter->name : kNoNode) << "\n";
        for (const CANdbSignal *s : m->signal_list)
            write_signal(out, s);
        out << "\n";
    });
    out << "\n";

    for (const CANdbEnvVar *v : net.env_vars) {
        out << "\nEV_ " << v->name << ": " << (v->type == CANdbEnvVarFloat ? "1" : "0") << " [";
        out.write_number(v->minimum) << "|";
        out.write_number(v->maximum) << "] ";
        out.write_quoted(v->unit) << " ";
        out.write_number(v->initial_value) << " ";
        out.i32(static_cast<int32_t>(v->identifier)) << " " << access_word(*v) << "  ";
        if (v->access_nodes.empty())
            out << kNoNode;
        write_names(out, v->access_nodes);
        out << ";\n";
    }
    for (const CANdbEnvVar *v : net.env_vars) {
        if (!v->has_data)
            continue;
        out << "ENVVAR_DATA_ " << v->name << ": ";
        out.write_number(v->data_size) << ";\n";
    }
    out << "\n";

    if (!net.comment.empty()) {
        out << "CM_ ";
        out.write_quoted(net.comment) << ";\n";
    }
    for (const CANdbNode *n : net.nodes) {
        if (n->comment.empty())
            continue;
        out << "CM_ BU_ " << n->name << " ";
        out.write_quoted(n->comment) << ";\n";
    }
    for_each_message_with_pseudo(net, [&](const CANdbMessage *m) {
        if (!m->comment.empty()) {
            out << "CM_ BO_ " << message_id_text(m) << " ";
            out.write_quoted(m->comment) << ";\n";
        }
        for (const CANdbSignal *s : m->signal_list) {
            if (s->comment.empty())
                continue;
            out << "CM_ SG_ " << message_id_text(m) << " " << s->name << " ";
            out.write_quoted(s->comment) << ";\n";
        }
    });
    for (const CANdbEnvVar *v : net.env_vars) {
        if (v->comment.empty())
            continue;
        out << "CM_ EV_ " << v->name << " ";
        out.write_quoted(v->comment) << ";\n";
    }

    if (write_attribute_defs(out, net))
        return 1;
    write_attribute_defaults(out, net);

    write_values(out, net.attributes, " ");
    for_each_message_with_pseudo(net, [&](const CANdbMessage *m) {
        const std::string id = message_id_text(m);
        write_values(out, m->attributes, " BO_ " + id + " ");
        for (const CANdbSignal *s : m->signal_list)
            write_values(out, s->attributes, " SG_ " + id + " " + s->name + " ");
    });
    for (const CANdbNode *n : net.nodes)
        write_values(out, n->attributes, " BU_ " + n->name + " ");
    for (const CANdbEnvVar *v : net.env_vars)
        write_values(out, v->attributes, " EV_ " + v->name + " ");

    for_each_message_with_pseudo(net, [&](const CANdbMessage *m) {
        for (const CANdbSignal *s : m->signal_list) {
            if (s->value_table.descriptions.empty())
                continue;
            out << "VAL_ " << message_id_text(m) << " " << s->name;
            write_value_pairs(out, s->value_table.descriptions);
        }
    });
    for (const CANdbEnvVar *v : net.env_vars) {
        if (v->values.empty())
            continue;
        out << "VAL_ " << v->name;
        write_value_pairs(out, v->values);
    }

    for_each_message_with_pseudo(net, [&](const CANdbMessage *m) {
        for (const CANdbSignal *s : m->signal_list)
            if (s->value_type == CANdbRawFloat || s->value_type == CANdbRawDouble)
                out << "SIG_VALTYPE_ " << message_id_text(m) << " " << s->name << " : "
                    << (s->value_type == CANdbRawFloat ? "1" : "2") << ";\n";
    });
    out << "\n";

    bool multiplexing_written = false;
    for_each_message_with_pseudo(net, [&](const CANdbMessage *m) {
        for (const CANdbSignal *s : m->signal_list) {
            const CANdbMuxGroup *group = s->mux_group();
            if (!group)
                continue;
            // A record whose multiplexor the file lacked keeps the name it gave.
            const std::string &multiplexor = group->multiplexor ? group->multiplexor->name : group->multiplexor_name;
            if (!group->multiplexor && multiplexor.empty())
                continue;
            out << "SG_MUL_VAL_ " << message_id_text(m) << " " << s->name << " "
                << (multiplexor.empty() ? std::string("UNDEF") : multiplexor);
            for (size_t i = 0; i < group->ranges.size(); ++i) {
                if (i)
                    out << ",";
                out << " ";
                out.u32(group->ranges[i].low) << "-";
                out.u32(group->ranges[i].high);
            }
            out << ";\n";
            multiplexing_written = true;
        }
    });
    if (multiplexing_written)
        out << "\n";
    return 0;
}

} // namespace

int DbcFileIo::write(CANdbNetwork *network)
{
    if (!network || !file_name())
        return -1;
    DbcText text;
    if (build_text(text, *network))
        return 1;
    return save_file(QFile::decodeName(file_name()), text.str());
}
