#include "core/description_kinds.h"
#include "core/description_list.h"
#include "core/description_log_sink.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class RecordingSink : public DescriptionLogSink
{
public:
    void debug(const char *, ...) override {}
    void info(const char *, ...) override {}
    void warning(const char *format, ...) override
    {
        char text[512];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        warnings.push_back(text);
    }
    void error(const char *, ...) override {}
    std::vector<std::string> warnings;
};

template <typename Kind>
Kind *node(const char *name, const char *id = nullptr)
{
    auto *n = new Kind;
    n->set_name(name);
    n->set_id(id);
    return n;
}

template <typename Kind>
Kind *placeholder(const char *name, const char *id = nullptr)
{
    Kind *n = node<Kind>(name, id);
    n->set_placeholder();
    return n;
}

// A workspace whose two layers reach every step of the pass, with one
// unresolved reference for each of the eight messages.
class LinkPassTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        workspace.set_sink(&sink);
        base = node<DescriptionLayer>("base");
        variant = node<DescriptionLayer>("variant");
        workspace.append_to_list(DescriptionWorkspace::layers_word, base);
        base->append_to_list(DescriptionLayer::child_layers_word, variant);

        // base: a unit, a conversion with that unit, a data type without unit.
        kmh = node<DescriptionUnit>("km/h");
        base->append_to_list(DescriptionLayer::units_word, kmh);
        speed_conversion = node<DescriptionConversion>("speed", "CONV_SPEED");
        speed_conversion->set_data_ref(DescriptionConversion::unit_word, placeholder<DescriptionUnit>("km/h"));
        base->append_to_list(DescriptionLayer::conversions_word, speed_conversion);
        speed_type = node<DescriptionDataType>("SpeedType");
        speed_type->set_data_ref(DescriptionDataType::conversion_word, placeholder<DescriptionConversion>(nullptr, "CONV_SPEED"));
        base->append_to_list(DescriptionLayer::data_types_word, speed_type);

        // variant: a sub-conversion loop A -> B -> A, and an unknown unit.
        auto *a = node<DescriptionConversion>("A");
        auto *b = node<DescriptionConversion>("B");
        a->set_data_ref(DescriptionConversion::sub_conversion_word, placeholder<DescriptionConversion>("B"));
        b->set_data_ref(DescriptionConversion::sub_conversion_word, placeholder<DescriptionConversion>("A"));
        b->set_data_ref(DescriptionConversion::unit_word, placeholder<DescriptionUnit>("furlong"));
        variant->append_to_list(DescriptionLayer::conversions_word, a);
        variant->append_to_list(DescriptionLayer::conversions_word, b);
        conversion_a = a;

        // An object with a data type from the parent layer and a missing one.
        object = node<DescriptionObject>("Vehicle_Speed");
        object->set_data_ref(DescriptionObject::data_type_word, placeholder<DescriptionDataType>("SpeedType"));
        object->set_data_ref(DescriptionObject::record_layout_word, placeholder<DescriptionRecordLayout>("RL_MISSING"));
        variant->append_to_list(DescriptionLayer::objects_word, object);
        auto *lost = node<DescriptionObject>("Lost");
        lost->set_data_ref(DescriptionObject::data_type_word, placeholder<DescriptionDataType>("NoSuchType"));
        variant->append_to_list(DescriptionLayer::objects_word, lost);
        auto *layout = node<DescriptionRecordLayout>("RL_OK");
        layout->set_data_ref(0, placeholder<DescriptionDataType>("SpeedType"));
        variant->append_to_list(DescriptionLayer::record_layouts_word, layout);

        // A structure whose parameters refer on: one through an owner in w8,
        // one with id and name that nothing matches, one to a missing data
        // object (by id).
        target = node<DescriptionParameter>("Target", "PARAM_T");
        auto *owner = node<DescriptionService>("Owner", "OWNER_1"); // its word 0 names the parameter
        owner->set_data_ref(0, target);
        variant->append_to_list(DescriptionLayer::parameter_owners_word, owner);
        structure = node<DescriptionStructure>("Request");
        via_owner = node<DescriptionParameter>("p1");
        via_owner->set_data_ref(DescriptionParameter::referenced_parameter_word, placeholder<DescriptionParameter>(nullptr, "OWNER_1"));
        auto *nowhere = node<DescriptionParameter>("p2");
        nowhere->set_data_ref(DescriptionParameter::referenced_parameter_word, placeholder<DescriptionParameter>("GhostName", "GHOST_ID"));
        auto *no_object = node<DescriptionParameter>("p3");
        no_object->set_data_ref(DescriptionParameter::data_object_word, placeholder<DescriptionParameter>("DOP_NAME", "DOP_ID"));
        structure->append_to_list(DescriptionStructure::parameters_word, via_owner);
        structure->append_to_list(DescriptionStructure::parameters_word, nowhere);
        structure->append_to_list(DescriptionStructure::parameters_word, no_object);
        variant->append_to_list(DescriptionLayer::structures_word, structure);

        // A frame group whose user names a frame id that is not there.
        auto *group = node<DescriptionService>("group");
        auto *user = node<DescriptionService>("user");
        user->set_data_ref(0, placeholder<DescriptionStructure>(nullptr, "FRAME_9"));
        group->append_to_list(1, user);
        variant->append_to_list(DescriptionLayer::frame_groups_word, group);
    }

    void TearDown() override
    {
        // Resolved, A and B refer to each other: counting frees no loop.
        conversion_a->set_data_ref(DescriptionConversion::sub_conversion_word, nullptr);
    }

    RecordingSink sink;
    DescriptionWorkspace workspace;
    DescriptionLayer *base, *variant;
    DescriptionUnit *kmh;
    DescriptionConversion *speed_conversion, *conversion_a;
    DescriptionDataType *speed_type;
    DescriptionObject *object;
    DescriptionStructure *structure;
    DescriptionParameter *target, *via_owner;
};

TEST_F(LinkPassTest, ResolvesThroughTheChainAndReportsEachMessageOnce)
{
    EXPECT_EQ(workspace.resolve_references(), 0);
    const std::vector<std::string> expected = {
        // the variant layer first (depth first), in step order
        "RecordLayout 'RL_MISSING' unresolved.\n",
        "Type 'NoSuchType' unresolved.\n",
        "Parameter, Id='GHOST_ID' unresolved.\n",
        "Parameter, Name='GhostName' unresolved.\n",
        "Datatype 'DOP_NAME' unresolved.\n",
        "Unit 'furlong' unresolved.\n",
        "Frame, Id='FRAME_9' unresolved.\n",
    };
    EXPECT_EQ(sink.warnings, expected);

    // Found in the parent layer; the data type took its conversion's unit.
    EXPECT_EQ(object->data_type(), speed_type);
    EXPECT_EQ(speed_type->conversion(), speed_conversion);
    EXPECT_EQ(speed_conversion->data_ref(DescriptionConversion::unit_word), kmh);
    EXPECT_EQ(speed_type->unit(), kmh);
    EXPECT_EQ(kmh->ref_count(), 3); // the list, the conversion, the data type
    // An owner hit stands for the node in its word 0.
    EXPECT_EQ(via_owner->data_ref(DescriptionParameter::referenced_parameter_word), target);
    // The loop A -> B -> A resolved and was followed once.
    EXPECT_EQ(conversion_a->data_ref(DescriptionConversion::sub_conversion_word)->name(), "B");
    EXPECT_FALSE(conversion_a->data_ref(DescriptionConversion::sub_conversion_word)->is_placeholder());

    sink.warnings.clear();
    workspace.resolve_references();
    EXPECT_TRUE(sink.warnings.empty()); // a second pass is silent
}

TEST_F(LinkPassTest, ConversionMessageAndChildDefinitionWins)
{
    // The child's own unit of the parent's name wins over the parent's.
    auto *child_kmh = node<DescriptionUnit>("km/h");
    variant->append_to_list(DescriptionLayer::units_word, child_kmh);
    auto *local = node<DescriptionConversion>("local");
    local->set_data_ref(DescriptionConversion::unit_word, placeholder<DescriptionUnit>("km/h"));
    variant->append_to_list(DescriptionLayer::conversions_word, local);
    auto *broken = node<DescriptionDataType>("Broken");
    broken->set_data_ref(DescriptionDataType::conversion_word, placeholder<DescriptionConversion>("NoConversion"));
    variant->append_to_list(DescriptionLayer::data_types_word, broken);

    workspace.set_sink(nullptr); // nothing is reported without a sink
    workspace.resolve_references();
    EXPECT_TRUE(sink.warnings.empty());
    EXPECT_EQ(local->data_ref(DescriptionConversion::unit_word), child_kmh);
    EXPECT_TRUE(broken->conversion()->is_marked());

    workspace.set_sink(&sink);
    auto *broken_again = node<DescriptionDataType>("BrokenToo");
    broken_again->set_data_ref(DescriptionDataType::conversion_word, placeholder<DescriptionConversion>("NoConversion"));
    variant->append_to_list(DescriptionLayer::data_types_word, broken_again);
    workspace.resolve_references();
    EXPECT_EQ(sink.warnings, std::vector<std::string>{"Conversion 'NoConversion' unresolved.\n"});
}

} // namespace
