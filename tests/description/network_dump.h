#pragma once
// Everything a DBC file can carry of a network, as text, one item a line, so
// that two networks compare with one EXPECT_EQ and a difference shows as the
// lines that differ. Attribute definitions without a value type (a type word
// the format does not know) and their values carry nothing a DBC file can
// hold, so they are left out.
#include "core/candb_mux_group.h"
#include "core/candb_network.h"

#include <cstdio>
#include <string>
#include <vector>

namespace network_dump {

// At the 11 significant digits that DBC files carry.
inline std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.11g", value);
    return buffer;
}

inline std::string attributes(const CANdbAttributeValueList &list)
{
    std::string out;
    for (const CANdbAttributeValue *v : list) {
        if (v->value_type == CANdbAttrNone)
            continue;
        out += " [" + v->definition->name + "=";
        switch (v->value_type) {
        case CANdbAttrFloat:
            out += number(v->double_value);
            break;
        case CANdbAttrString:
            out += "\"" + v->string_value + "\"";
            break;
        default:
            out += std::to_string(v->int_value);
        }
        out += "]";
    }
    return out;
}

inline std::string descriptions(const CANdbValueDescriptionList &list)
{
    std::string out;
    for (const CANdbValueDescription &d : list)
        out += " " + std::to_string(d.value) + "=\"" + d.text + "\"";
    return out;
}

inline std::string nodes(const std::vector<CANdbNode *> &list)
{
    std::string out;
    for (const CANdbNode *node : list)
        out += " " + (node ? node->name : std::string("(null)"));
    return out;
}

inline std::string message(const CANdbMessage &m)
{
    std::string out = "message " + m.name + " id=" + std::to_string(m.id) + " ext=" + std::to_string(m.extended) +
                      " dlc=" + std::to_string(m.dlc) + " fd=" + std::to_string(m.can_fd) +
                      " brs=" + std::to_string(m.bit_rate_switch) + " j1939=" + std::to_string(m.j1939_mode) +
                      " tx=" + (m.transmitter ? m.transmitter->name : std::string("-")) + " comment=\"" + m.comment +
                      "\"" + attributes(m.attributes) + "\n";
    for (const CANdbSignal *s : m.signal_list) {
        out += "  signal " + s->name + " start=" + std::to_string(s->start_bit) + " length=" + std::to_string(s->length) +
               " order=" + std::to_string(s->byte_order) + " type=" + std::to_string(s->value_type) +
               " kind=" + std::to_string(s->value_kind) + " factor=" + number(s->factor) + " offset=" +
               number(s->offset) + " min=" + number(s->minimum) + " max=" + number(s->maximum) + " unit=\"" + s->unit +
               "\" mux=" + std::to_string(s->mux_value) + " multiplexor=" + std::to_string(s->is_multiplexor) +
               " sign=" + (s->sign_signal ? s->sign_signal->name : std::string("-")) + " comment=\"" + s->comment +
               "\" receivers:" + nodes(s->receivers) + " values:" + descriptions(s->value_table.descriptions) +
               attributes(s->attributes) + "\n";
        if (const CANdbMuxGroup *g = s->mux_group()) {
            out += "    mux_group of " +
                   (g->multiplexor ? g->multiplexor->name : "(unbound " + g->multiplexor_name + ")") + ":";
            for (const CANdbMuxRange &r : g->ranges)
                out += " " + std::to_string(r.low) + "-" + std::to_string(r.high);
            out += "\n";
        }
    }
    return out;
}

inline std::string network(const CANdbNetwork &net)
{
    std::string out = "comment=\"" + net.comment + "\" fd=" + std::to_string(net.can_fd) +
                      " j1939=" + std::to_string(net.j1939_network) + std::to_string(net.j1939_frames) +
                      attributes(net.attributes) + "\n";
    for (const CANdbNode *n : net.nodes)
        out += "node " + n->name + " comment=\"" + n->comment + "\"" + attributes(n->attributes) + "\n";
    for (const CANdbValueTable *t : net.value_tables)
        if (!t->descriptions.empty()) // an empty table is not written
            out += "table " + t->name + descriptions(t->descriptions) + "\n";
    for (const CANdbAttributeDef *d : net.attribute_defs) {
        if (d->value_type == CANdbAttrNone)
            continue;
        out += "definition " + d->name + " type=" + std::to_string(d->value_type) +
               " kind=" + std::to_string(d->object_kind) + " int=" + std::to_string(d->int_min) + "," +
               std::to_string(d->int_max) + "," + std::to_string(d->int_default) + " float=" + number(d->float_min) +
               "," + number(d->float_max) + "," + number(d->float_default) + " string=\"" + d->default_string + "\"";
        for (const CANdbEnumValue &e : d->enum_values)
            out += " " + std::to_string(e.index) + ":" + e.name;
        out += "\n";
    }
    if (net.pseudo_message)
        out += "pseudo " + message(*net.pseudo_message);
    for (const CANdbMessage *m : net.messages)
        out += message(*m);
    for (const CANdbEnvVar *v : net.env_vars)
        out += "envvar " + v->name + " type=" + std::to_string(v->type) + " access=" + v->access_text + "/" +
               std::to_string(v->access_code) + " min=" + number(v->minimum) + " max=" + number(v->maximum) +
               " initial=" + number(v->initial_value) + " id=" + std::to_string(v->identifier) + " unit=\"" + v->unit +
               "\" data=" + std::to_string(v->has_data) + ":" + number(v->data_size) + " comment=\"" + v->comment +
               "\" nodes:" + nodes(v->access_nodes) + " values:" + descriptions(v->values) + attributes(v->attributes) +
               "\n";
    return out;
}

} // namespace network_dump
