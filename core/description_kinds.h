#pragma once
// The kinds of description node: each fixes the roles of its record's words
// (see DescriptionNode::WordRole) and names the words the importers, the link
// pass and the diagnostics code use. Words not named here keep the roles the
// layouts give; the importers fix their meaning.
#include "core/description_node.h"
#include "core/description_value.h"

class DescriptionLogSink;

// 2: w0 memory type, w1 memory attribute, w2 segment type, w3 size, w4 address.
class DescriptionMemorySegment : public DescriptionNode
{
public:
    static constexpr int kind_number = 2;
    DescriptionMemorySegment() : DescriptionNode(kind_number, "NNNRR") {}
    DescriptionNode *size() const { return data_ref(3); }
    DescriptionNode *address() const { return data_ref(4); }
};

class DescriptionParamSet;
class DescriptionProtocolParams;

// 3: w0 transport type, w1 text, w4 parameter set (made here), w5 list, w6-w11
// references (w11 the transport's own protocol parameters, made on first use).
class DescriptionTransport : public DescriptionNode
{
public:
    static constexpr int kind_number = 3;
    static constexpr int param_set_word = 4;
    static constexpr int protocol_params_word = 11;
    DescriptionTransport();
    int32_t transport_type() const { return data_word(0); }
    DescriptionParamSet *param_set() const;
    DescriptionProtocolParams *protocol_params();
    void set_int(const char *name, int32_t value);
    void set_string(const char *name, const DescriptionString &text);
};

// 4: w0-w2 numbers (w2 starts at -1), w3-w6 references, six flag bytes in
// place of w7 and w8, w9-w13 numbers.
class DescriptionXcpOnFlexray : public DescriptionNode
{
public:
    static constexpr int kind_number = 4;
    DescriptionXcpOnFlexray() : DescriptionNode(kind_number, "NNNRRRRNNNNNNN") { set_data_word(2, -1); }
};

// 5: w0 protocol type, w1 parameter node (made here), w2 transport list.
class DescriptionProtocol : public DescriptionNode
{
public:
    static constexpr int kind_number = 5;
    static constexpr int params_word = 1;
    static constexpr int transports_word = 2;
    DescriptionProtocol();
    DescriptionProtocolParams *params() const;
    // The first transport whose type (w0) is `type`, else null.
    DescriptionTransport *find_transport(int32_t type) const;
    int32_t byte_order() const;
    DescriptionList *events() const;
    DescriptionList *daq_lists() const;
};

// 6: w0 timestamp event, w1 byte order, w2 parameter set (made here), w3 event
// groups, w4 DAQ lists, w5-w10 codes, w11-w14 limits (values), then the
// prescaler, resume and timestamp flag bytes.
class DescriptionProtocolParams : public DescriptionNode
{
public:
    static constexpr int kind_number = 6;
    static constexpr int byte_order_word = 1;
    static constexpr int param_set_word = 2;
    static constexpr int events_word = 3;
    static constexpr int daq_lists_word = 4;
    DescriptionProtocolParams();
    DescriptionParamSet *param_set() const;
    void set_int(const char *name, int32_t value);
    void set_string(const char *name, const DescriptionString &text);
    void set_list(const char *name, DescriptionList *list);
    // The first DAQ list whose number (w1) is `number`, else null.
    DescriptionNode *find_daq_list(int32_t number) const;
};

// 7: the record is the unit's display name.
class DescriptionUnit : public DescriptionNode
{
public:
    static constexpr int kind_number = 7;
    DescriptionUnit() : DescriptionNode(kind_number, "T") {}
    DescriptionString data() const { return data_text(0); }
    void set_data(const DescriptionString &display_name) { set_data_text(0, display_name); }
};

// 8: w0 base type, w1 byte order, w2 bit length, w3 shift, w4 bit mask, w7
// unit, w8 conversion.
class DescriptionDataType : public DescriptionNode
{
public:
    static constexpr int kind_number = 8;
    static constexpr int unit_word = 7;
    static constexpr int conversion_word = 8;
    DescriptionDataType() : DescriptionNode(kind_number, "NNNNRRRRRR") {}
    DescriptionNode *unit() const { return data_ref(unit_word); }
    DescriptionNode *conversion() const { return data_ref(conversion_word); }
};

// 12: w4 rows (scales), w5 parameters.
class DescriptionStructure : public DescriptionNode
{
public:
    static constexpr int kind_number = 12;
    static constexpr int rows_word = 4;
    static constexpr int parameters_word = 5;
    DescriptionStructure() : DescriptionNode(kind_number, "NNRRLLR") {}
};

// 13: w4-w6 matrix dimensions (start at 1), w11 lower and w12 upper limit,
// w13 data type, w16 text, w17 record layout, w18 virtual source objects.
class DescriptionObject : public DescriptionNode
{
public:
    static constexpr int kind_number = 13;
    static constexpr int data_type_word = 13;
    static constexpr int record_layout_word = 17;
    DescriptionObject();
    DescriptionNode *data_type() const { return data_ref(data_type_word); }
    DescriptionNode *record_layout() const { return data_ref(record_layout_word); }
};

// 14: w0-w3 references.
class DescriptionRaster : public DescriptionNode
{
public:
    static constexpr int kind_number = 14;
    DescriptionRaster() : DescriptionNode(kind_number, "RRRR") {}
    // A new raster of this name with the same w0-w2 (w3 left empty).
    DescriptionRaster *clone() const;
};

// 16: w0 data type.
class DescriptionRecordLayout : public DescriptionNode
{
public:
    static constexpr int kind_number = 16;
    DescriptionRecordLayout() : DescriptionNode(kind_number, "R") {}
};

// 17: w0 conversion type, w1 unit, w2 scales, w3 numerator and w4
// denominator coefficients (values), w5 sub-conversion.
class DescriptionConversion : public DescriptionNode
{
public:
    static constexpr int kind_number = 17;
    static constexpr int unit_word = 1;
    static constexpr int scales_word = 2;
    static constexpr int numerators_word = 3;
    static constexpr int denominators_word = 4;
    static constexpr int sub_conversion_word = 5;
    enum Type { identity = 1, rational = 2, linear = 3, table = 4, formula = 5, code = 6, interpolation = 7, scale = 8 };
    DescriptionConversion() : DescriptionNode(kind_number, "NRLLLR") {}
    int32_t conversion_type() const { return data_word(0); }

    // True with factor and offset when the conversion maps x to
    // factor * x + offset; false otherwise, also when an interpolation's two
    // points share their x (no finite slope).
    bool linear_coefficients(double &factor, double &offset) const;
    // Copies `in` to `out` and applies the linear mapping when there is one.
    void apply_linear(const DescriptionValue &in, DescriptionValue &out) const;
};

// 19: bytes 0 STIM and 1 DAQ, w1 short name, w2 channel number, w4 priority,
// w5 maximum DAQ lists, w6 cycle event.
class DescriptionEventGroup : public DescriptionNode
{
public:
    static constexpr int kind_number = 19;
    DescriptionEventGroup() : DescriptionNode(kind_number, "NTRRRRR") {}
};

// 20: w0 time unit and w1 cycle or ticks (both start at 1), w2 reference, one
// flag byte (fixed, for a timestamp).
class DescriptionEvent : public DescriptionNode
{
public:
    static constexpr int kind_number = 20;
    DescriptionEvent();
};

// 21: bytes 0 STIM and 1 DAQ, w1 number, w2 maximum ODT count, w3 maximum
// ODT entries, w4 fixed event, w5 first PID (values), w6 reference.
class DescriptionDaqList : public DescriptionNode
{
public:
    static constexpr int kind_number = 21;
    static constexpr int number_word = 1;
    DescriptionDaqList() : DescriptionNode(kind_number, "NRRRRRR") {}
};

// 22: bytes 0 and 1 lower and upper limit closed, four values (lower limit,
// upper limit, result value, fourth value), the row parameter (w1, set when
// the scale is a table row) and one more reference (w2).
class DescriptionScale : public DescriptionNode
{
public:
    static constexpr int kind_number = 22;
    static constexpr int row_parameter_word = 1;
    DescriptionScale() : DescriptionNode(kind_number, "NRR") {}
    const DescriptionValue &lower_limit() const { return m_values[0]; }
    const DescriptionValue &upper_limit() const { return m_values[1]; }
    const DescriptionValue &value() const { return m_values[2]; }
    const DescriptionValue &fourth_value() const { return m_values[3]; }
    void set_lower_limit(const DescriptionValue &v) { m_values[0].copy_from(v); }
    void set_upper_limit(const DescriptionValue &v) { m_values[1].copy_from(v); }
    void set_value(const DescriptionValue &v) { m_values[2].copy_from(v); }
    void set_fourth_value(const DescriptionValue &v) { m_values[3].copy_from(v); }
    bool lower_closed() const { return data_byte(0); }
    bool upper_closed() const { return data_byte(1); }
    DescriptionNode *row_parameter() const { return data_ref(row_parameter_word); }

private:
    DescriptionValue m_values[4];
};

// 23: w0 semantic, w1 number, w2 structure, w3 data type, w4 data object, w5
// referenced parameter, w6 default value, w7 constant value, w8 byte
// position, w9 bit position, w10 reference, w11 bit length.
class DescriptionParameter : public DescriptionNode
{
public:
    static constexpr int kind_number = 23;
    static constexpr int structure_word = 2;
    static constexpr int data_object_word = 4;
    static constexpr int referenced_parameter_word = 5;
    DescriptionParameter() : DescriptionNode(kind_number, "NNRRRRRRRRRR") {}
};

// 25: w0 reference, w1 list.
class DescriptionService : public DescriptionNode
{
public:
    static constexpr int kind_number = 25;
    DescriptionService() : DescriptionNode(kind_number, "RL") {}
};

// 26: w0 layer type, w1 parent layer (not counted), w2 reference, w3-w22
// lists, w23 child layers.
class DescriptionLayer : public DescriptionNode
{
public:
    static constexpr int kind_number = 26;
    enum ListWord {
        memory_segments_word = 3,
        protocols_word = 4,
        units_word = 5,
        data_types_word = 6,
        parameter_targets_word = 7,
        parameter_owners_word = 8,
        structures_word = 9,
        data_objects_word = 10,
        structure_users_word = 11,
        services_word = 12,
        frames_word = 13,
        conversions_word = 14,
        objects_word = 15,
        record_layouts_word = 16,
        id_list_a_word = 17,
        id_list_b_word = 18,
        frame_groups_word = 21,
        child_layers_word = 23,
    };
    DescriptionLayer();
    ~DescriptionLayer() override;
    DescriptionLayer *parent() const { return static_cast<DescriptionLayer *>(plain_pointer(1)); }
    // Appending to the child layers also makes this layer the child's parent.
    void append_to_list(int word, DescriptionNode *node) override;
    // The list word of this layer, then of each parent up to the root; the
    // first node of the name (or id) wins.
    DescriptionNode *find_in_chain(int word, const char *name) const;
    DescriptionNode *find_id_in_chain(int word, const char *id) const;
};

// 27: w0 layers, w1 the message sink (not owned).
class DescriptionWorkspace : public DescriptionNode
{
public:
    static constexpr int kind_number = 27;
    static constexpr int layers_word = 0;
    DescriptionWorkspace() : DescriptionNode(kind_number, "LP") {}
    DescriptionLogSink *sink() const { return static_cast<DescriptionLogSink *>(plain_pointer(1)); }
    void set_sink(DescriptionLogSink *sink) { set_plain_pointer(1, sink); }
    // Replaces every placeholder by the node it names, layer by layer, and
    // reports each reference it cannot resolve once through the sink. 0.
    int resolve_references();
};

// 42: w0 list of named values.
class DescriptionParamSet : public DescriptionNode
{
public:
    static constexpr int kind_number = 42;
    DescriptionParamSet();
    // Sets the value of that name, or appends a new one.
    void set_int(const char *name, int32_t value);
    void set_string(const char *name, const DescriptionString &text);
    void set_list(const char *name, DescriptionList *list);
    DescriptionValue *find(const char *name) const;

private:
    DescriptionValue *value_named(const char *name);
};

// The texts of the model's enumerations; a code outside a table gives
// "*Undefined*" (the transport code 9, FlexRay, among them).
const char *description_byte_order_text(int code);
const char *description_layer_type_text(int code);
const char *description_parameter_semantic_text(int code);
const char *description_memory_type_text(int code);
const char *description_segment_type_text(int code);
const char *description_memory_attribute_text(int code);
const char *description_protocol_type_text(int code);
const char *description_transport_type_text(int code);
const char *description_base_type_text(int code);
const char *description_conversion_type_text(int code);
