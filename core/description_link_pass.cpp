// The link pass of a description workspace: every placeholder that an
// importer left for a reference by name or id is replaced by the node it
// names, searched in the layer where the reference occurs and then up its
// parent layers. A reference that stays unresolved is marked and reported
// once, so a second pass is silent.
#include "core/description_kinds.h"
#include "core/description_list.h"
#include "core/description_log_sink.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {

enum class Lookup {
    name,            // by name only
    name_else_id,    // by name, by id when the placeholder has no name
    id_else_name,    // by id when the placeholder has one, else by name
    id,              // by id only
};

class LayerPass
{
public:
    LayerPass(DescriptionLayer *layer, DescriptionLogSink *sink) : m_layer(layer), m_sink(sink) {}

    void run()
    {
        for (DescriptionNode *child : nodes(DescriptionLayer::child_layers_word))
            LayerPass(static_cast<DescriptionLayer *>(child), m_sink).run();
        for (DescriptionNode *object : nodes(DescriptionLayer::objects_word))
            object_step(object);
        for (DescriptionNode *structure : nodes(DescriptionLayer::structures_word))
            structure_step(structure);
        for (DescriptionNode *frame : nodes(DescriptionLayer::frames_word))
            structure_step(frame->data_ref(1));
        for (DescriptionNode *conversion : nodes(DescriptionLayer::conversions_word))
            conversion_step(conversion);
        for (DescriptionNode *data_type : nodes(DescriptionLayer::data_types_word))
            data_type_step(data_type);
        for (DescriptionNode *node : nodes(DescriptionLayer::parameter_targets_word))
            type_reference_step(node);
        for (DescriptionNode *layout : nodes(DescriptionLayer::record_layouts_word))
            type_reference_step(layout);
        for (DescriptionNode *group : nodes(DescriptionLayer::frame_groups_word)) {
            for (DescriptionNode *user : nodes_of(group->data_list(1)))
                frame_reference_step(user);
        }
        for (DescriptionNode *data_object : nodes(DescriptionLayer::data_objects_word))
            data_object_step(data_object);
        for (DescriptionNode *user : nodes(DescriptionLayer::structure_users_word)) {
            for (DescriptionNode *entry : nodes_of(user->data_list(2)))
                structure_step(entry->data_ref(1));
            for (DescriptionNode *entry : nodes_of(user->data_list(1)))
                structure_step(entry->data_ref(1));
        }
    }

private:
    // The nodes of a list as they are now: a step replaces reference words,
    // never list entries, but a copy keeps the walk independent of that.
    static std::vector<DescriptionNode *> nodes_of(const DescriptionList *list)
    {
        std::vector<DescriptionNode *> result;
        if (list) {
            result.reserve(size_t(list->count()));
            for (DescriptionList::Entry *entry = list->first_entry(); entry; entry = entry->next)
                result.push_back(entry->node);
        }
        return result;
    }
    std::vector<DescriptionNode *> nodes(int word) const { return nodes_of(m_layer->data_list(word)); }

    static bool has_text(const DescriptionString &text) { return text.length() > 0; }

    DescriptionNode *search(int list_word, Lookup lookup, const DescriptionNode *placeholder) const
    {
        const bool has_name = has_text(placeholder->name());
        const bool has_id = has_text(placeholder->id());
        switch (lookup) {
        case Lookup::name:
            return m_layer->find_in_chain(list_word, placeholder->name().c_str());
        case Lookup::name_else_id:
            return has_name || !has_id ? m_layer->find_in_chain(list_word, placeholder->name().c_str())
                                       : m_layer->find_id_in_chain(list_word, placeholder->id().c_str());
        case Lookup::id_else_name:
            return has_id ? m_layer->find_id_in_chain(list_word, placeholder->id().c_str())
                          : m_layer->find_in_chain(list_word, placeholder->name().c_str());
        case Lookup::id:
            return m_layer->find_id_in_chain(list_word, placeholder->id().c_str());
        }
        return nullptr;
    }

    void report(const char *message, const DescriptionString &text) const
    {
        if (m_sink)
            m_sink->warning(message, text.c_str() ? text.c_str() : "");
    }

    // One resolving step on a reference word: answers the node to follow up
    // (the kept or the found node), or null when there is nothing to follow.
    // `unresolved` reports a placeholder that no search found.
    template <typename Search, typename Report>
    DescriptionNode *resolve(DescriptionNode *owner, int word, const Search &find, const Report &unresolved)
    {
        DescriptionNode *current = owner ? owner->data_ref(word) : nullptr;
        if (!current)
            return nullptr;
        if (!current->is_placeholder() || current->is_marked())
            return current;
        DescriptionNode *hit = find(current);
        if (!hit || hit == current) {
            current->set_marked();
            unresolved(current);
            return nullptr;
        }
        owner->set_data_ref(word, hit); // releases the placeholder
        return hit;
    }

    DescriptionNode *resolve(DescriptionNode *owner, int word, int list_word, Lookup lookup, const char *message)
    {
        return resolve(
            owner, word, [&](const DescriptionNode *placeholder) { return search(list_word, lookup, placeholder); },
            [&](const DescriptionNode *placeholder) {
                report(message, has_text(placeholder->name()) ? placeholder->name() : placeholder->id());
            });
    }

    void report_parameter(const DescriptionNode *placeholder) const
    {
        if (has_text(placeholder->id()))
            report("Parameter, Id='%s' unresolved.\n", placeholder->id());
        if (has_text(placeholder->name()))
            report("Parameter, Name='%s' unresolved.\n", placeholder->name());
    }

    // Follows a node once while it is on the way: reference loops (a
    // sub-conversion leading back, a structure whose parameter's data object
    // has that structure) end there.
    template <typename Step>
    void follow(DescriptionNode *node, const Step &step)
    {
        if (!node || std::find(m_on_the_way.begin(), m_on_the_way.end(), node) != m_on_the_way.end())
            return;
        m_on_the_way.push_back(node);
        step(node);
        m_on_the_way.pop_back();
    }

    // A data type or conversion stepped once in this layer gives the same on
    // every later step here (its words are resolved or marked), so the many
    // objects that share one are stepped through it once.
    template <typename Step>
    void follow_once(DescriptionNode *node, const Step &step)
    {
        if (node && m_stepped.insert(node).second)
            follow(node, step);
    }

    void conversion_step(DescriptionNode *conversion)
    {
        follow_once(conversion, [this](DescriptionNode *node) {
            DescriptionNode *sub = resolve(node, DescriptionConversion::sub_conversion_word, DescriptionLayer::conversions_word,
                                           Lookup::name, "Conversion '%s' unresolved.\n");
            conversion_step(sub);
            resolve(node, DescriptionConversion::unit_word, DescriptionLayer::units_word, Lookup::name,
                    "Unit '%s' unresolved.\n");
        });
    }

    void data_type_step(DescriptionNode *data_type)
    {
        follow_once(data_type, [this](DescriptionNode *node) {
            DescriptionNode *conversion = resolve(node, DescriptionDataType::conversion_word, DescriptionLayer::conversions_word,
                                                  Lookup::name_else_id, "Conversion '%s' unresolved.\n");
            if (!conversion)
                return;
            conversion_step(conversion);
            if (!node->data_ref(DescriptionDataType::unit_word))
                node->set_data_ref(DescriptionDataType::unit_word, conversion->data_ref(DescriptionConversion::unit_word));
        });
    }

    void type_reference_step(DescriptionNode *node)
    {
        data_type_step(resolve(node, 0, DescriptionLayer::data_types_word, Lookup::name, "Type '%s' unresolved.\n"));
    }

    void object_step(DescriptionNode *object)
    {
        data_type_step(resolve(object, DescriptionObject::data_type_word, DescriptionLayer::data_types_word, Lookup::name,
                               "Type '%s' unresolved.\n"));
        resolve(object, DescriptionObject::record_layout_word, DescriptionLayer::record_layouts_word, Lookup::name,
                "RecordLayout '%s' unresolved.\n");
    }

    void parameter_step(DescriptionNode *parameter)
    {
        // The referenced parameter: in the parameter targets, then in the
        // owners, where a hit stands for the node in its own word 0.
        resolve(
            parameter, DescriptionParameter::referenced_parameter_word,
            [this](const DescriptionNode *placeholder) {
                if (DescriptionNode *target = search(DescriptionLayer::parameter_targets_word, Lookup::id_else_name, placeholder))
                    return target;
                DescriptionNode *owner = search(DescriptionLayer::parameter_owners_word, Lookup::id_else_name, placeholder);
                return owner ? owner->data_ref(0) : nullptr;
            },
            [this](const DescriptionNode *placeholder) { report_parameter(placeholder); });
        resolve(
            parameter, DescriptionParameter::structure_word,
            [this](const DescriptionNode *placeholder) {
                return search(DescriptionLayer::structures_word, Lookup::name_else_id, placeholder);
            },
            [this](const DescriptionNode *placeholder) { report_parameter(placeholder); });
        DescriptionNode *data_object = resolve(
            parameter, DescriptionParameter::data_object_word,
            [this](const DescriptionNode *placeholder) { return search(DescriptionLayer::data_objects_word, Lookup::id, placeholder); },
            [this](const DescriptionNode *placeholder) { report("Datatype '%s' unresolved.\n", placeholder->name()); });
        data_object_step(data_object);
    }

    void data_object_step(DescriptionNode *data_object)
    {
        follow(data_object, [this](DescriptionNode *node) {
            data_type_step(resolve(node, 1, DescriptionLayer::data_types_word, Lookup::name, "Type '%s' unresolved.\n"));
            DescriptionNode *structure = resolve(
                node, 2,
                [this](const DescriptionNode *placeholder) {
                    return search(DescriptionLayer::structures_word, Lookup::name_else_id, placeholder);
                },
                [this](const DescriptionNode *placeholder) { report_parameter(placeholder); });
            structure_step(structure);
        });
    }

    void structure_step(DescriptionNode *structure)
    {
        follow(structure, [this](DescriptionNode *node) {
            for (DescriptionNode *parameter : nodes_of(node->data_list(DescriptionStructure::parameters_word)))
                parameter_step(parameter);
            for (DescriptionNode *row : nodes_of(node->data_list(DescriptionStructure::rows_word))) {
                if (DescriptionNode *row_parameter = row->data_ref(DescriptionScale::row_parameter_word))
                    parameter_step(row_parameter);
            }
        });
    }

    void frame_reference_step(DescriptionNode *user)
    {
        resolve(
            user, 0,
            [this](const DescriptionNode *placeholder) { return search(DescriptionLayer::frames_word, Lookup::name_else_id, placeholder); },
            [this](const DescriptionNode *placeholder) { report("Frame, Id='%s' unresolved.\n", placeholder->id()); });
    }

    DescriptionLayer *m_layer;
    DescriptionLogSink *m_sink;
    // The nodes being stepped, outermost first: a few deep at most.
    std::vector<DescriptionNode *> m_on_the_way;
    std::unordered_set<DescriptionNode *> m_stepped;
};

} // namespace

int DescriptionWorkspace::resolve_references()
{
    for (DescriptionList::Entry *entry = data_list(layers_word) ? data_list(layers_word)->first_entry() : nullptr; entry;
         entry = entry->next)
        LayerPass(static_cast<DescriptionLayer *>(entry->node), sink()).run();
    return 0;
}
