// The description model's lookups and link pass at the sizes of a large
// calibration description: an indexed list of 50,000 real element names
// beside a standard hash map of the same names, searches through three layers, and the link
// pass over 60,000 objects of which 10,000 still name their data type.
#include "core/description_kinds.h"
#include "core/description_list.h"
#include "tests/common/test_paths.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int list_size = 50000;

std::vector<std::string> names(int count, const char *prefix)
{
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i)
        result.push_back(std::string(prefix) + std::to_string(i * 7919 % 100003));
    return result;
}

// Real element names: the signal names of the shared DBC files, each also
// with the suffixes "_1" to "_5" (as per-instance copies are named) until
// there are `count`; generated names where the files are absent.
std::vector<std::string> real_names(int count)
{
    std::set<std::string> signal_names;
    std::error_code error;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(vyr_test::configured_testdata_dir().toStdString() + "/dbc", error)) {
        if (entry.path().extension() != ".dbc")
            continue;
        std::ifstream file(entry.path());
        std::string line;
        while (std::getline(file, line)) {
            std::istringstream words(line);
            std::string keyword, name;
            if (words >> keyword >> name && keyword == "SG_")
                signal_names.insert(name);
        }
    }
    if (signal_names.empty())
        return names(count, "Signal_");
    std::vector<std::string> result;
    for (int copy = 0; int(result.size()) < count; ++copy) {
        for (const std::string &name : signal_names) {
            if (int(result.size()) == count)
                break;
            result.push_back(copy ? name + "_" + std::to_string(copy) : name);
        }
    }
    return result;
}

DescriptionNode *named_unit(const std::string &name)
{
    auto *unit = new DescriptionUnit;
    unit->set_name(name.c_str());
    return unit;
}

void BM_DescriptionListFindByName(benchmark::State &state)
{
    const std::vector<std::string> keys = real_names(list_size);
    DescriptionList list;
    for (const std::string &key : keys)
        list.append(named_unit(key));
    list.build_index();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.find_by_name(keys[i].c_str()));
        i = (i + 1) % keys.size();
    }
}
BENCHMARK(BM_DescriptionListFindByName);

void BM_UnorderedMapFindByName(benchmark::State &state)
{
    const std::vector<std::string> keys = real_names(list_size);
    DescriptionList owner;
    std::unordered_map<std::string, DescriptionNode *> map;
    for (const std::string &key : keys) {
        DescriptionNode *node = named_unit(key);
        owner.append(node);
        map.emplace(key, node);
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(keys[i]));
        i = (i + 1) % keys.size();
    }
}
BENCHMARK(BM_UnorderedMapFindByName);

void BM_DescriptionLayerChainSearch(benchmark::State &state)
{
    // A name in the root found from the grandchild: three indexed lists searched.
    DescriptionWorkspace workspace;
    std::vector<DescriptionLayer *> layers;
    for (int depth = 0; depth < 3; ++depth) {
        auto *layer = new DescriptionLayer;
        for (const std::string &name : names(2000, depth == 0 ? "ROOT_" : depth == 1 ? "MID_" : "LEAF_"))
            layer->append_to_list(DescriptionLayer::units_word, named_unit(name));
        layer->data_list(DescriptionLayer::units_word)->build_index();
        if (layers.empty())
            workspace.append_to_list(DescriptionWorkspace::layers_word, layer);
        else
            layers.back()->append_to_list(DescriptionLayer::child_layers_word, layer);
        layers.push_back(layer);
    }
    const std::vector<std::string> keys = names(2000, "ROOT_");
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(layers.back()->find_in_chain(DescriptionLayer::units_word, keys[i].c_str()));
        i = (i + 1) % keys.size();
    }
}
BENCHMARK(BM_DescriptionLayerChainSearch);

// 60,000 objects on 1,000 data types (each with a conversion and a unit);
// 10,000 of the objects hold a placeholder for their data type.
void BM_DescriptionResolveReferences(benchmark::State &state)
{
    constexpr int objects = 60000, placeholders = 10000, data_types = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        auto *workspace = new DescriptionWorkspace;
        auto *layer = new DescriptionLayer;
        workspace->append_to_list(DescriptionWorkspace::layers_word, layer);
        auto *unit = new DescriptionUnit;
        unit->set_name("rpm");
        layer->append_to_list(DescriptionLayer::units_word, unit);
        std::vector<DescriptionNode *> types;
        for (int t = 0; t < data_types; ++t) {
            const std::string name = "TYPE_" + std::to_string(t);
            auto *conversion = new DescriptionConversion;
            conversion->set_name(("CONV_" + std::to_string(t)).c_str());
            conversion->set_data_ref(DescriptionConversion::unit_word, unit);
            layer->append_to_list(DescriptionLayer::conversions_word, conversion);
            auto *type = new DescriptionDataType;
            type->set_name(name.c_str());
            type->set_data_ref(DescriptionDataType::conversion_word, conversion);
            layer->append_to_list(DescriptionLayer::data_types_word, type);
            types.push_back(type);
        }
        for (int o = 0; o < objects; ++o) {
            auto *object = new DescriptionObject;
            DescriptionNode *type = types[size_t(o % data_types)];
            if (o < placeholders) {
                auto *placeholder = new DescriptionDataType;
                placeholder->set_name(type->name());
                placeholder->set_placeholder();
                type = placeholder;
            }
            object->set_data_ref(DescriptionObject::data_type_word, type);
            layer->append_to_list(DescriptionLayer::objects_word, object);
        }
        layer->data_list(DescriptionLayer::data_types_word)->build_index();
        layer->data_list(DescriptionLayer::conversions_word)->build_index();
        state.ResumeTiming();

        workspace->resolve_references();

        state.PauseTiming();
        DescriptionNode::release(workspace);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DescriptionResolveReferences)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

BENCHMARK_MAIN();
