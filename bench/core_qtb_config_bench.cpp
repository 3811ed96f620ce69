// Settings file store with one large section: 10,000 keys, as a generated
// configuration with many signals or rows can hold. Reading the file looks up
// every key before it stores it, and so does every write of a new key.
#include "settings/qtb_config.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr int section_keys = 10000;

std::vector<std::string> key_names()
{
    std::vector<std::string> names;
    for (int i = 0; i < section_keys; ++i)
        names.push_back("signal_" + std::to_string(i) + "_value");
    return names;
}

void BM_ReadSectionOf10000Keys(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.vyr"));
    {
        QtbConfig config(path);
        QtbConfigGroup *section = config.add_group("rows");
        for (const std::string &name : key_names())
            section->write_int(name.c_str(), 1);
        if (config.write() != 0)
            state.SkipWithError("cannot write the settings file");
    }
    for (auto _ : state) {
        QtbConfig config(path);
        benchmark::DoNotOptimize(config.read());
    }
    state.SetItemsProcessed(state.iterations() * section_keys);
}
BENCHMARK(BM_ReadSectionOf10000Keys)->Unit(benchmark::kMillisecond);

void BM_WriteAndReadBack10000Keys(benchmark::State &state)
{
    const std::vector<std::string> names = key_names();
    for (auto _ : state) {
        QtbConfigGroup group;
        for (const std::string &name : names)
            group.write_int(name.c_str(), 1);
        int32_t sum = 0;
        for (const std::string &name : names)
            sum += group.read_int(name.c_str(), 0);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * section_keys);
}
BENCHMARK(BM_WriteAndReadBack10000Keys)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
