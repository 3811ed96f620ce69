#include "core/description_kinds.h"

#include "core/description_list.h"

#include <cmath>
#include <iterator>

DescriptionTransport::DescriptionTransport() : DescriptionNode(kind_number, "NTNNRLRRRRRR")
{
    set_data_ref(param_set_word, new DescriptionParamSet);
}

DescriptionParamSet *DescriptionTransport::param_set() const
{
    return static_cast<DescriptionParamSet *>(data_ref(param_set_word));
}

DescriptionProtocolParams *DescriptionTransport::protocol_params()
{
    if (!data_ref(protocol_params_word))
        set_data_ref(protocol_params_word, new DescriptionProtocolParams);
    return static_cast<DescriptionProtocolParams *>(data_ref(protocol_params_word));
}

void DescriptionTransport::set_int(const char *name, int32_t value)
{
    param_set()->set_int(name, value);
}

void DescriptionTransport::set_string(const char *name, const DescriptionString &text)
{
    param_set()->set_string(name, text);
}

DescriptionProtocol::DescriptionProtocol() : DescriptionNode(kind_number, "NRL")
{
    set_data_ref(params_word, new DescriptionProtocolParams);
}

DescriptionProtocolParams *DescriptionProtocol::params() const
{
    return static_cast<DescriptionProtocolParams *>(data_ref(params_word));
}

DescriptionTransport *DescriptionProtocol::find_transport(int32_t type) const
{
    DescriptionListIterator it(data_list(transports_word));
    for (DescriptionNode *node = it.first(); node; node = it.next()) {
        if (node->data_word(0) == type)
            return static_cast<DescriptionTransport *>(node);
    }
    return nullptr;
}

int32_t DescriptionProtocol::byte_order() const
{
    return params() ? params()->data_word(DescriptionProtocolParams::byte_order_word) : 0;
}

DescriptionList *DescriptionProtocol::events() const
{
    return params() ? params()->data_list(DescriptionProtocolParams::events_word) : nullptr;
}

DescriptionList *DescriptionProtocol::daq_lists() const
{
    return params() ? params()->data_list(DescriptionProtocolParams::daq_lists_word) : nullptr;
}

DescriptionProtocolParams::DescriptionProtocolParams() : DescriptionNode(kind_number, "RNRLLNNNNNNRRRR")
{
    set_data_ref(param_set_word, new DescriptionParamSet);
}

DescriptionParamSet *DescriptionProtocolParams::param_set() const
{
    return static_cast<DescriptionParamSet *>(data_ref(param_set_word));
}

void DescriptionProtocolParams::set_int(const char *name, int32_t value)
{
    param_set()->set_int(name, value);
}

void DescriptionProtocolParams::set_string(const char *name, const DescriptionString &text)
{
    param_set()->set_string(name, text);
}

void DescriptionProtocolParams::set_list(const char *name, DescriptionList *list)
{
    param_set()->set_list(name, list);
}

DescriptionNode *DescriptionProtocolParams::find_daq_list(int32_t number) const
{
    DescriptionListIterator it(data_list(daq_lists_word));
    for (DescriptionNode *daq = it.first(); daq; daq = it.next()) {
        const DescriptionNode *value = daq->data_ref(DescriptionDaqList::number_word);
        if (value && value->kind() == DescriptionValue::kind_number &&
            static_cast<const DescriptionValue *>(value)->to_int() == number)
            return daq;
    }
    return nullptr;
}

DescriptionObject::DescriptionObject() : DescriptionNode(kind_number, "NNNNNNNRRRRRRRRRTRL")
{
    for (int dimension = 4; dimension <= 6; ++dimension)
        set_data_word(dimension, 1);
}

DescriptionRaster *DescriptionRaster::clone() const
{
    DescriptionRaster *copy = new DescriptionRaster;
    copy->set_name(name());
    for (int word = 0; word < 3; ++word)
        copy->set_data_ref(word, data_ref(word));
    return copy;
}

bool DescriptionConversion::linear_coefficients(double &factor, double &offset) const
{
    factor = 1.0;
    offset = 0.0;
    auto coefficient = [](const DescriptionNode *node) {
        return node && node->kind() == DescriptionValue::kind_number
                   ? static_cast<const DescriptionValue *>(node)->to_double()
                   : 0.0;
    };
    switch (conversion_type()) {
    case identity:
        return true;
    case interpolation: {
        const DescriptionNode *sub = data_ref(sub_conversion_word);
        const DescriptionList *scales = sub ? sub->data_list(scales_word) : nullptr;
        if (!scales || scales->count() != 2)
            return false;
        const auto *first = static_cast<const DescriptionScale *>(scales->first());
        const auto *second = static_cast<const DescriptionScale *>(scales->last());
        const double x0 = first->lower_limit().to_double(), y0 = first->value().to_double();
        const double x1 = second->lower_limit().to_double(), y1 = second->value().to_double();
        // Two points at one x give no slope: not linear, rather than an
        // infinite factor that would reach every value converted.
        if (x1 == x0)
            return false;
        factor = (y1 - y0) / (x1 - x0);
        offset = y0 - x0 * factor;
        return std::isfinite(factor) && std::isfinite(offset);
    }
    case rational:
    case linear: {
        const DescriptionList *numerators = data_list(numerators_word);
        const int count = numerators ? numerators->count() : 0;
        if (count > 2)
            return false;
        const DescriptionList *denominators = data_list(denominators_word);
        if (conversion_type() == rational && denominators && denominators->count() > 1)
            return false;
        if (count == 1) {
            offset = coefficient(numerators->first());
        } else if (count == 2) {
            factor = coefficient(numerators->first());
            offset = coefficient(numerators->last());
        }
        if (conversion_type() == rational && denominators && denominators->count() == 1) {
            const double denominator = coefficient(denominators->first());
            if (denominator != 0.0) {
                factor /= denominator;
                offset /= denominator;
            }
        }
        return true;
    }
    default:
        return false;
    }
}

void DescriptionConversion::apply_linear(const DescriptionValue &in, DescriptionValue &out) const
{
    out.copy_from(in);
    double factor, offset;
    if (conversion_type() == identity || !linear_coefficients(factor, offset))
        return;
    out.multiply(DescriptionValue(factor));
    out.add(DescriptionValue(offset));
}

DescriptionEvent::DescriptionEvent() : DescriptionNode(kind_number, "NNR")
{
    set_data_word(0, 1);
    set_data_word(1, 1);
}

DescriptionLayer::DescriptionLayer()
    : DescriptionNode(kind_number, "NPRLLLLLLLLLLLLLLLLLLLLL")
{
}

DescriptionLayer::~DescriptionLayer()
{
    // The children may outlive this layer through other references.
    DescriptionListIterator it(data_list(child_layers_word));
    for (DescriptionNode *child = it.first(); child; child = it.next())
        static_cast<DescriptionLayer *>(child)->set_plain_pointer(1, nullptr);
}

void DescriptionLayer::append_to_list(int word, DescriptionNode *node)
{
    DescriptionNode::append_to_list(word, node);
    if (word == child_layers_word && node && node->kind() == kind_number)
        static_cast<DescriptionLayer *>(node)->set_plain_pointer(1, this);
}

namespace {
// The list of `word` in this layer, then in each parent up to the root; the
// first node the list's `find` answers wins.
template <typename Find>
DescriptionNode *find_up_the_chain(const DescriptionLayer *layer, int word, const Find &find)
{
    for (; layer; layer = layer->parent()) {
        if (const DescriptionList *list = layer->data_list(word)) {
            if (DescriptionNode *found = find(*list))
                return found;
        }
    }
    return nullptr;
}
}

DescriptionNode *DescriptionLayer::find_in_chain(int word, const char *name) const
{
    return find_up_the_chain(this, word, [name](const DescriptionList &list) { return list.find_by_name(name); });
}

DescriptionNode *DescriptionLayer::find_id_in_chain(int word, const char *id) const
{
    return find_up_the_chain(this, word, [id](const DescriptionList &list) { return list.find_by_id(id); });
}

DescriptionParamSet::DescriptionParamSet() : DescriptionNode(kind_number, "L") {}

DescriptionValue *DescriptionParamSet::find(const char *name) const
{
    const DescriptionList *values = data_list(0);
    return values ? static_cast<DescriptionValue *>(values->find_by_name(name)) : nullptr;
}

DescriptionValue *DescriptionParamSet::value_named(const char *name)
{
    if (DescriptionValue *value = find(name))
        return value;
    DescriptionValue *value = new DescriptionValue;
    value->set_name(name);
    append_to_list(0, value);
    return value;
}

void DescriptionParamSet::set_int(const char *name, int32_t value)
{
    value_named(name)->set_int(value);
}

void DescriptionParamSet::set_string(const char *name, const DescriptionString &text)
{
    value_named(name)->set_string(text);
}

void DescriptionParamSet::set_list(const char *name, DescriptionList *list)
{
    value_named(name)->set_list(list);
}

namespace {
template <size_t N>
const char *enumeration_text(const char *const (&texts)[N], int code)
{
    return code >= 0 && size_t(code) < N ? texts[code] : "*Undefined*";
}
}

const char *description_byte_order_text(int code)
{
    static const char *const texts[] = {"Undefined", "BigEndian", "LittleEndian"};
    return enumeration_text(texts, code);
}

const char *description_layer_type_text(int code)
{
    static const char *const texts[] = {"Undefined", "Doc",        "Library",    "Variant", "BaseVariant",
                                        "Protocol",  "Functional", "Project",    "Module"};
    return enumeration_text(texts, code);
}

const char *description_parameter_semantic_text(int code)
{
    static const char *const texts[] = {"Undefined", "Case",        "LocalId", "DataId",     "DataPackageId", "ServiceId",
                                        "ServiceIdRq", "Data",      "AccessMode", "Address", "SubFunction",   "ParameterId"};
    return enumeration_text(texts, code);
}

const char *description_memory_type_text(int code)
{
    static const char *const texts[] = {"Undefined", "Ram", "Rom", "Eprom", "Eeprom", "Flash", "Register"};
    return enumeration_text(texts, code);
}

const char *description_segment_type_text(int code)
{
    static const char *const texts[] = {"Undefined", "Reserved", "Code", "Variables", "Data", "Parameters"};
    return enumeration_text(texts, code);
}

const char *description_memory_attribute_text(int code)
{
    static const char *const texts[] = {"Undefined", "Intern", "Extern"};
    return enumeration_text(texts, code);
}

const char *description_protocol_type_text(int code)
{
    static const char *const texts[] = {"Undefined", "KWP", "CCP", "XCP"};
    return enumeration_text(texts, code);
}

const char *description_transport_type_text(int code)
{
    static const char *const texts[] = {"Undefined", "CAN", "CAN-ISO15765", "CAN-VWTP2", "CAN-IVLAN",
                                        "UDP",       "TCP", "SPI",          "SCI"};
    return enumeration_text(texts, code);
}

const char *description_base_type_text(int code)
{
    static const char *const texts[] = {"BtUndefined",     "BtInteger",       "BtUInteger",  "BtIeee32",
                                        "BtIeee64",        "BtStringAscii",   "BtStringUtf8", "BtStringUnicode",
                                        "BtBytefield",     "BtBitfield",      "BtBoolean"};
    return enumeration_text(texts, code);
}

const char *description_conversion_type_text(int code)
{
    static const char *const texts[] = {"CtUndefined", "CtIdentity", "CtRational",      "CtLinear", "CtTable",
                                        "CtFormula",   "CtCode",     "CtInterpolation", "CtScale"};
    return enumeration_text(texts, code);
}
