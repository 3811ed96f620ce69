#include "core/description_kinds.h"
#include "core/description_list.h"
#include "core/description_string.h"
#include "core/description_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

TEST(DescriptionStringTest, SharedTextNullAndOrder)
{
    DescriptionString a("engine");
    DescriptionString b(a);
    b = "gearbox"; // b shared a's record: a keeps its text
    EXPECT_STREQ(a.c_str(), "engine");
    EXPECT_STREQ(b.c_str(), "gearbox");
    b.append(a);
    EXPECT_STREQ(b.c_str(), "gearboxengine");
    EXPECT_STREQ(a.c_str(), "engine");
    b.append(b);
    EXPECT_STREQ(b.c_str(), "gearboxenginegearboxengine");

    const DescriptionString null_text, other_null, empty("");
    EXPECT_LT(null_text.compare(empty), 0);
    EXPECT_EQ(null_text.compare(other_null), 0);
    EXPECT_TRUE(null_text == other_null);
    EXPECT_LT(empty.compare(a), 0);
    EXPECT_GT(empty.compare(static_cast<const char *>(nullptr)), 0);
    EXPECT_TRUE(null_text.is_empty());
    EXPECT_FALSE(empty.is_empty());
    EXPECT_EQ(null_text.c_str(), nullptr);
    EXPECT_EQ((a + DescriptionString(" 1")), "engine 1");
    DescriptionString released("x");
    released = static_cast<const char *>(nullptr);
    EXPECT_TRUE(released.is_empty());
}

TEST(DescriptionNodeTest, TextTablesGrowAndFallBackToSlotZero)
{
    DescriptionUnit node;
    node.set_long_name("seven", 7);
    EXPECT_EQ(node.long_names().capacity(), 12);
    EXPECT_EQ(node.long_name(7), "seven");
    EXPECT_EQ(node.long_name(3), ""); // never set: slot 0
    node.set_long_name("zero", 0);
    EXPECT_EQ(node.long_name(3), "zero");
    EXPECT_EQ(node.long_name(-1), "zero"); // the default index
    EXPECT_EQ(node.long_name(40), "");
    node.set_long_name("ignored", -2);
    EXPECT_EQ(node.long_names().capacity(), 12);
    DescriptionString description("old");
    node.set_description("text", 1);
    node.description(description, 1);
    EXPECT_EQ(description, "text");
}

// Counts the destructors of a chain of nodes.
int destroyed = 0;
class CountedNode : public DescriptionNode
{
public:
    CountedNode() : DescriptionNode(99, "RL") {}
    ~CountedNode() override { ++destroyed; }
};

TEST(DescriptionNodeTest, CountingAndReleaseCascade)
{
    destroyed = 0;
    DescriptionNode::release(new CountedNode); // never referenced: goes at once
    EXPECT_EQ(destroyed, 1);

    // head -> middle -> tail through reference words, plus a list entry.
    destroyed = 0;
    auto *head = new CountedNode, *middle = new CountedNode, *tail = new CountedNode, *listed = new CountedNode;
    head->set_data_ref(0, middle);
    middle->set_data_ref(0, tail);
    middle->append_to_list(1, listed);
    EXPECT_EQ(middle->ref_count(), 1);
    EXPECT_EQ(listed->ref_count(), 1);
    head->add_ref();
    head->set_data_ref(0, middle); // storing the same node keeps it
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(middle->ref_count(), 1);
    tail->drop_ref();
    tail->drop_ref(); // never below 0, never deletes
    EXPECT_EQ(tail->ref_count(), 0);
    tail->add_ref(); // middle's reference again
    DescriptionNode::release(head);
    EXPECT_EQ(destroyed, 4);
    DescriptionNode::release(nullptr);
}

TEST(DescriptionListTest, IndexOrderRemovalAndIterator)
{
    DescriptionList list;
    auto named = [](const char *name, const char *id = nullptr) {
        auto *node = new DescriptionUnit;
        node->set_name(name);
        node->set_id(id);
        return node;
    };
    DescriptionNode *first = named("twin", "ID1");
    DescriptionNode *second = named("twin", "ID2");
    list.append(first);
    list.append(nullptr);
    list.append(named("other"));
    list.append(second);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.find_by_name("twin"), first); // without an index: from the front
    list.build_index();
    EXPECT_EQ(list.find_by_name("twin"), second); // the node entered last
    EXPECT_EQ(list.find_by_name("missing"), nullptr);
    EXPECT_EQ(list.find_by_id("ID2"), second);
    EXPECT_EQ(list.at(1)->name(), "other");
    EXPECT_EQ(list.at(3), nullptr);
    EXPECT_EQ(list.last(), second);

    list.append(named("late")); // entered into the existing index
    EXPECT_NE(list.find_by_name("late"), nullptr);
    second->set_name("renamed"); // the index keeps the name it was entered with
    EXPECT_EQ(list.find_by_name("twin"), second);

    DescriptionListIterator it(&list);
    EXPECT_EQ(it.last()->name(), "late");
    EXPECT_EQ(it.prev(), second);
    EXPECT_EQ(it.remove_current()->name(), "late"); // removed from the index too
    EXPECT_EQ(list.find_by_name("twin"), first);
    EXPECT_EQ(it.next(), nullptr);
    EXPECT_EQ(it.next(), nullptr);
    EXPECT_EQ(list.count(), 3);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(DescriptionListIterator(nullptr).first(), nullptr);
}

TEST(DescriptionListTest, NameHash)
{
    EXPECT_EQ(description_name_hash(nullptr), 0u);
    EXPECT_EQ(description_name_hash(""), 0u);
    EXPECT_EQ(description_name_hash("ab"), 2u * 'a' + 'b');
    EXPECT_EQ(description_name_hash("\xff"), 255u); // bytes taken unsigned
}

TEST(IntHashMapTest, FindInsertClearAndDestroy)
{
    IntHashMap map(7);
    map.insert(3, 30);
    map.insert(10, 100); // the same bucket as 3
    map.insert(3, 31);   // newest first
    EXPECT_EQ(map.find(3), 31u);
    EXPECT_EQ(map.find(10), 100u);
    EXPECT_EQ(map.find(4), 0u);
    map.clear();
    EXPECT_EQ(map.find(3), 0u);
    EXPECT_EQ(map.bucket_count(), 7u);
    map.destroy();
    EXPECT_EQ(map.bucket_count(), 0u);
    EXPECT_EQ(map.find(3), 0u); // no division by a bucket count of 0
    map.insert(3, 5);
    EXPECT_EQ(map.find(3), 5u);
}

TEST(DescriptionValueTest, ArithmeticAndFlags)
{
    DescriptionValue sum(int32_t(2));
    sum.add(DescriptionValue(0.5));
    EXPECT_TRUE(sum.is_double());
    EXPECT_FALSE(sum.is_int());
    EXPECT_DOUBLE_EQ(sum.to_double(), 2.5);

    DescriptionValue integers(int32_t(6));
    integers.multiply(DescriptionValue(int32_t(7)));
    EXPECT_TRUE(integers.is_int());
    EXPECT_EQ(integers.to_int(), 42);
    integers.add(DescriptionValue(int32_t(0)));
    EXPECT_EQ(integers.to_int(), 42);

    DescriptionValue text("km/h");
    text.multiply(DescriptionValue(int32_t(1)));
    EXPECT_TRUE(text.is_string());
    EXPECT_FALSE(text.is_double());
    EXPECT_EQ(text.string_value(), "km/h");

    DescriptionValue infinite(int32_t(5));
    infinite.set_infinity(1);
    EXPECT_EQ(infinite.value_flags(), uint32_t(DescriptionValue::minus_inf_flag));
    infinite.set_infinity(0);
    EXPECT_TRUE(infinite.is_plus_inf());
    infinite.set_infinity(2);
    EXPECT_FALSE(infinite.is_set());
    infinite.set_double(1.5);
    EXPECT_FALSE(infinite.is_plus_inf());

    DescriptionValue parsed;
    EXPECT_FALSE(parsed.set_from_text(nullptr));
    EXPECT_TRUE(parsed.set_from_text("-3.75"));
    EXPECT_EQ(parsed.to_int(), -3);
    parsed.negate();
    EXPECT_DOUBLE_EQ(parsed.to_double(), 3.75);
    EXPECT_TRUE(parsed.set_from_text("12"));
    EXPECT_TRUE(parsed.is_int());
    EXPECT_FALSE(parsed.is_double());
    EXPECT_EQ(parsed.to_double(), 12.0);
    EXPECT_TRUE(DescriptionValue(1.0).is_one());
    EXPECT_TRUE(DescriptionValue(0.0).is_zero());
    EXPECT_FALSE(DescriptionValue().is_zero());
    EXPECT_EQ(DescriptionValue(std::numeric_limits<double>::quiet_NaN()).to_int(), 0);
    EXPECT_EQ(DescriptionValue(1e12).to_int(), INT32_MAX);

    DescriptionValue copy;
    DescriptionValue source("x");
    source.set_data({1, 2, 3}, 9);
    source.set_list(new DescriptionList);
    copy.copy_from(source);
    EXPECT_TRUE(copy.is_data());
    EXPECT_FALSE(copy.is_list());
    EXPECT_EQ(copy.data_bytes().size(), 3u);
    EXPECT_EQ(copy.data_count(), 9u);
}

TEST(DescriptionKindsTest, EnumerationTexts)
{
    struct Case {
        const char *(*text)(int);
        int code;
        const char *expected;
    } cases[] = {
        {description_byte_order_text, 2, "LittleEndian"},
        {description_layer_type_text, 8, "Module"},
        {description_parameter_semantic_text, 11, "ParameterId"},
        {description_memory_type_text, 6, "Register"},
        {description_segment_type_text, 5, "Parameters"},
        {description_memory_attribute_text, 1, "Intern"},
        {description_protocol_type_text, 3, "XCP"},
        {description_transport_type_text, 2, "CAN-ISO15765"},
        {description_transport_type_text, 9, "*Undefined*"}, // FlexRay has no text
        {description_transport_type_text, -1, "*Undefined*"},
        {description_base_type_text, 0, "BtUndefined"},
        {description_base_type_text, 10, "BtBoolean"},
        {description_conversion_type_text, 0, "CtUndefined"},
        {description_conversion_type_text, 8, "CtScale"},
        {description_conversion_type_text, 9, "*Undefined*"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(c.text(c.code), c.expected) << c.code;
}

TEST(DescriptionKindsTest, ProtocolsTransportsAndParameterSets)
{
    DescriptionProtocol protocol;
    auto *can = new DescriptionTransport;
    can->set_data_word(0, 1);
    auto *udp = new DescriptionTransport;
    udp->set_data_word(0, 5);
    protocol.append_to_list(DescriptionProtocol::transports_word, can);
    protocol.append_to_list(DescriptionProtocol::transports_word, udp);
    EXPECT_EQ(protocol.find_transport(5), udp);
    EXPECT_EQ(protocol.find_transport(3), nullptr);

    can->set_int("BAUDRATE", 500000);
    can->set_int("BAUDRATE", 250000); // the same value again, not a second one
    can->set_string("NAME", "bus");
    EXPECT_EQ(can->param_set()->data_list(0)->count(), 2);
    EXPECT_EQ(can->param_set()->find("BAUDRATE")->to_int(), 250000);
    EXPECT_EQ(can->protocol_params(), can->protocol_params()); // made once

    DescriptionProtocolParams *params = protocol.params();
    params->set_data_word(DescriptionProtocolParams::byte_order_word, 2);
    EXPECT_EQ(protocol.byte_order(), 2);
    auto *daq = new DescriptionDaqList;
    daq->set_data_ref(DescriptionDaqList::number_word, new DescriptionValue(int32_t(4)));
    params->append_to_list(DescriptionProtocolParams::daq_lists_word, daq);
    EXPECT_EQ(params->find_daq_list(4), daq);
    EXPECT_EQ(params->find_daq_list(5), nullptr);
    EXPECT_EQ(protocol.daq_lists()->count(), 1);
    EXPECT_EQ(protocol.events(), nullptr);

    DescriptionObject object;
    EXPECT_EQ(object.data_word(4) * object.data_word(5) * object.data_word(6), 1);
    EXPECT_EQ(DescriptionXcpOnFlexray().data_word(2), -1);
    EXPECT_EQ(DescriptionEvent().data_word(1), 1);

    DescriptionRaster raster;
    raster.set_name("10ms");
    raster.set_data_ref(2, new DescriptionUnit);
    raster.set_data_ref(3, new DescriptionUnit);
    DescriptionRaster *copy = raster.clone();
    EXPECT_EQ(copy->name(), "10ms");
    EXPECT_EQ(copy->data_ref(2), raster.data_ref(2));
    EXPECT_EQ(copy->data_ref(3), nullptr);
    DescriptionNode::release(copy);
}

DescriptionValue *value(double v)
{
    return new DescriptionValue(v);
}

DescriptionScale *scale(double x, double y)
{
    auto *s = new DescriptionScale;
    s->set_lower_limit(DescriptionValue(x));
    s->set_value(DescriptionValue(y));
    return s;
}

TEST(DescriptionConversionTest, LinearCoefficientsAndApply)
{
    struct Case {
        const char *what;
        int type;
        std::vector<double> numerators, denominators;
        std::vector<std::pair<double, double>> points; // interpolation scales
        bool linear;
        double factor, offset;
    } cases[] = {
        {"identity", DescriptionConversion::identity, {}, {}, {}, true, 1.0, 0.0},
        {"interpolation, two points", DescriptionConversion::interpolation, {}, {}, {{0, 10}, {10, 30}}, true, 2.0, 10.0},
        {"interpolation, three points", DescriptionConversion::interpolation, {}, {}, {{0, 0}, {1, 1}, {2, 4}}, false, 1, 0},
        {"interpolation, equal x", DescriptionConversion::interpolation, {}, {}, {{5, 1}, {5, 2}}, false, 1, 0},
        {"rational, one numerator", DescriptionConversion::rational, {3}, {}, {}, true, 1.0, 3.0},
        {"rational, two numerators", DescriptionConversion::rational, {4, 6}, {}, {}, true, 4.0, 6.0},
        {"rational, denominator 0.0", DescriptionConversion::rational, {4, 6}, {0.0}, {}, true, 4.0, 6.0},
        {"rational, denominator 2.0", DescriptionConversion::rational, {4, 6}, {2.0}, {}, true, 2.0, 3.0},
        {"rational, two denominators", DescriptionConversion::rational, {4, 6}, {1, 2}, {}, false, 1, 0},
        {"rational, three numerators", DescriptionConversion::rational, {1, 2, 3}, {}, {}, false, 1, 0},
        {"linear", DescriptionConversion::linear, {0.5, -1}, {}, {}, true, 0.5, -1.0},
        {"table", DescriptionConversion::table, {}, {}, {}, false, 1, 0},
    };
    for (const Case &c : cases) {
        DescriptionConversion conversion;
        conversion.set_data_word(0, c.type);
        for (double n : c.numerators)
            conversion.append_to_list(DescriptionConversion::numerators_word, value(n));
        for (double d : c.denominators)
            conversion.append_to_list(DescriptionConversion::denominators_word, value(d));
        if (!c.points.empty()) {
            auto *sub = new DescriptionConversion;
            for (auto point : c.points)
                sub->append_to_list(DescriptionConversion::scales_word, scale(point.first, point.second));
            conversion.set_data_ref(DescriptionConversion::sub_conversion_word, sub);
        }
        double factor = 0, offset = 0;
        EXPECT_EQ(conversion.linear_coefficients(factor, offset), c.linear) << c.what;
        if (c.linear) {
            EXPECT_DOUBLE_EQ(factor, c.factor) << c.what;
            EXPECT_DOUBLE_EQ(offset, c.offset) << c.what;
        }

        // An integer and a double input through apply_linear.
        DescriptionValue out;
        conversion.apply_linear(DescriptionValue(int32_t(4)), out);
        EXPECT_TRUE(std::isfinite(out.to_double())) << c.what;
        EXPECT_DOUBLE_EQ(out.to_double(), c.linear ? c.factor * 4 + c.offset : 4.0) << c.what;
        conversion.apply_linear(DescriptionValue(1.5), out);
        EXPECT_DOUBLE_EQ(out.to_double(), c.linear ? c.factor * 1.5 + c.offset : 1.5) << c.what;
    }
    // Identity leaves an integer an integer.
    DescriptionConversion identity;
    identity.set_data_word(0, DescriptionConversion::identity);
    DescriptionValue out;
    identity.apply_linear(DescriptionValue(int32_t(7)), out);
    EXPECT_TRUE(out.is_int());
}

TEST(DescriptionLayerTest, ChainSearchesAndRecursiveFind)
{
    DescriptionWorkspace workspace;
    auto *parent = new DescriptionLayer;
    parent->set_name("base");
    workspace.append_to_list(DescriptionWorkspace::layers_word, parent);
    auto unit = [](const char *name) {
        auto *u = new DescriptionUnit;
        u->set_name(name);
        u->set_id(name);
        return u;
    };
    DescriptionNode *parent_rpm = unit("rpm");
    DescriptionNode *parent_kmh = unit("km/h");
    parent->append_to_list(DescriptionLayer::units_word, parent_rpm);
    parent->append_to_list(DescriptionLayer::units_word, parent_kmh);

    auto *child = new DescriptionLayer;
    child->set_name("variant");
    DescriptionNode *child_rpm = unit("rpm");
    child->append_to_list(DescriptionLayer::units_word, child_rpm);
    EXPECT_EQ(child->find_in_chain(DescriptionLayer::units_word, "km/h"), nullptr); // no parent yet
    parent->append_to_list(DescriptionLayer::child_layers_word, child);
    EXPECT_EQ(child->parent(), parent);
    EXPECT_EQ(child->find_in_chain(DescriptionLayer::units_word, "km/h"), parent_kmh);
    EXPECT_EQ(child->find_in_chain(DescriptionLayer::units_word, "rpm"), child_rpm);
    EXPECT_EQ(child->find_id_in_chain(DescriptionLayer::units_word, "km/h"), parent_kmh);
    EXPECT_EQ(parent->find_in_chain(DescriptionLayer::units_word, "rpm"), parent_rpm);

    auto *grandchild = new DescriptionLayer;
    grandchild->set_name("deep");
    grandchild->set_id("L3");
    child->append_to_list(DescriptionLayer::child_layers_word, grandchild);
    EXPECT_EQ(workspace.find_by_name_recursive("deep"), grandchild);
    EXPECT_EQ(workspace.find_by_id_recursive("L3"), grandchild);
    EXPECT_EQ(workspace.find_child("base"), parent);
    EXPECT_EQ(workspace.find_child("deep"), nullptr);

    // A child held elsewhere outlives its parent without a dangling parent.
    grandchild->add_ref();
    workspace.data_list(DescriptionWorkspace::layers_word)->clear();
    EXPECT_EQ(grandchild->parent(), nullptr);
    DescriptionNode::release(grandchild);
}

} // namespace
