// Load speed of the DBC reader in MB/s: the largest DBC file of the test data,
// a generated file of 5,000 messages, and generated files of the shapes where
// name lookups dominate (many attribute values and value tables, extended
// multiplexing over one wide message, many environment variables). Writing
// the generated network is measured too.
#include "core/candb_network.h"
#include "description/dbc/dbc_file_io.h"
#include "tests/common/test_paths.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string largest_testdata_dbc()
{
    std::string best;
    std::uintmax_t best_size = 0;
    std::error_code ec;
    const fs::path root = fs::path(vyr_test::configured_testdata_dir().toStdString()) / "dbc";
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".dbc")
            continue;
        const std::uintmax_t size = it->file_size(ec);
        if (!ec && size > best_size) {
            best_size = size;
            best = it->path().string();
        }
    }
    return best;
}

// 5,000 messages of 8 signals each, mixed byte orders, with comments, value
// descriptions and attributes, as a large vehicle database has them.
std::string generated_dbc_text()
{
    std::string text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\nBS_:\n\nBU_: Engine Gateway Body\n\n";
    for (int m = 0; m < 5000; ++m) {
        const unsigned id = m < 2000 ? 0x100 + m : 0x80000000u | (0x18F00000u + m);
        text += "BO_ " + std::to_string(id) + " Message_" + std::to_string(m) + ": 8 Engine\n";
        for (int s = 0; s < 8; ++s)
            text += " SG_ Signal_" + std::to_string(m) + "_" + std::to_string(s) + " : " +
                    std::to_string(s % 2 ? s * 8 + 7 : s * 8) + "|8@" + (s % 2 ? "0" : "1") + (s % 3 ? "+" : "-") +
                    " (0.5,-40) [-40|87.5] \"km/h\" Gateway,Body\n";
        text += "\n";
    }
    text += "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\nBA_DEF_DEF_ \"GenMsgCycleTime\" 100;\n";
    for (int m = 0; m < 5000; ++m) {
        const unsigned id = m < 2000 ? 0x100 + m : 0x80000000u | (0x18F00000u + m);
        text += "CM_ BO_ " + std::to_string(id) + " \"Message number " + std::to_string(m) + "\";\n";
        text += "BA_ \"GenMsgCycleTime\" BO_ " + std::to_string(id) + " 20;\n";
        text += "VAL_ " + std::to_string(id) + " Signal_" + std::to_string(m) + "_0 0 \"Off\" 1 \"On\" 2 \"Error\" ;\n";
    }
    return text;
}

// 7,000 attribute values over 300 definitions and 771 value tables, as a
// database exported with every attribute spelt out has them.
std::string attribute_heavy_dbc_text()
{
    std::string text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\nBS_:\n\nBU_: Engine\n\n";
    for (int t = 0; t < 771; ++t)
        text += "VAL_TABLE_ Table_" + std::to_string(t) + " 2 \"Error\" 1 \"On\" 0 \"Off\" ;\n";
    for (int m = 0; m < 700; ++m) {
        text += "BO_ " + std::to_string(0x100 + m) + " Message_" + std::to_string(m) + ": 8 Engine\n";
        text += " SG_ Signal_" + std::to_string(m) + " : 0|8@1+ (1,0) [0|255] \"\" Engine\n\n";
    }
    for (int a = 0; a < 300; ++a) {
        const std::string name = "\"GenMsgAttribute_" + std::to_string(a) + "\"";
        text += "BA_DEF_ BO_ " + name + " INT 0 1000;\nBA_DEF_DEF_ " + name + " 0;\n";
    }
    for (int v = 0; v < 7000; ++v)
        text += "BA_ \"GenMsgAttribute_" + std::to_string((v * 7) % 300) + "\" BO_ " + std::to_string(0x100 + v % 700) +
                " " + std::to_string(v % 1000) + ";\n";
    return text;
}

// One message of 8,000 signals, each selected by an SG_MUL_VAL_ line through
// the same multiplexor.
std::string wide_multiplexed_dbc_text()
{
    std::string text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\nBS_:\n\nBU_: Engine\n\n";
    text += "BO_ 2566914048 Wide: 64 Engine\n SG_ Selector M : 0|16@1+ (1,0) [0|0] \"\" Engine\n";
    for (int s = 0; s < 8000; ++s)
        text += " SG_ Signal_" + std::to_string(s) + " m" + std::to_string(s) + " : 16|8@1+ (1,0) [0|255] \"\" Engine\n";
    text += "\n";
    for (int s = 0; s < 8000; ++s)
        text += "SG_MUL_VAL_ 2566914048 Signal_" + std::to_string(s) + " Selector " + std::to_string(s) + "-" +
                std::to_string(s) + ";\n";
    return text;
}

// 5,000 environment variables, each with value descriptions, an attribute
// value and a data size; 500 environment-variable attributes with defaults.
std::string env_var_heavy_dbc_text()
{
    std::string text = "VERSION \"\"\n\nNS_ :\n\tCM_\n\nBS_:\n\nBU_: Engine\n\n";
    for (int v = 0; v < 5000; ++v)
        text += "EV_ EnvVar_" + std::to_string(v) + ": 0 [0|100] \"\" 0 " + std::to_string(v + 1) +
                " DUMMY_NODE_VECTOR0 Engine;\n";
    for (int v = 0; v < 5000; ++v)
        text += "ENVVAR_DATA_ EnvVar_" + std::to_string(v) + ": 4;\n";
    for (int a = 0; a < 500; ++a) {
        const std::string name = "\"EnvVarAttribute_" + std::to_string(a) + "\"";
        text += "BA_DEF_ EV_ " + name + " INT 0 1000;\nBA_DEF_DEF_ " + name + " 1;\n";
    }
    for (int v = 0; v < 5000; ++v) {
        const std::string var = "EnvVar_" + std::to_string(v);
        text += "BA_ \"EnvVarAttribute_" + std::to_string(v % 500) + "\" EV_ " + var + " 7;\n";
        text += "VAL_ " + var + " 0 \"Off\" 1 \"On\" ;\n";
    }
    return text;
}

std::string temp_file_with(const std::string &text)
{
    char name[] = "/tmp/description_dbc_bench_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return std::string();
    close(fd);
    std::ofstream(name, std::ios::binary) << text;
    return name;
}

void load(benchmark::State &state, const std::string &path)
{
    if (path.empty()) {
        state.SkipWithError("no DBC file to read (is the shared test data there?)");
        return;
    }
    const auto bytes = fs::file_size(path);
    for (auto _ : state) {
        CANdbNetwork network;
        DbcFileIo reader(path.c_str());
        if (reader.read(&network) != 0) {
            state.SkipWithError("the file could not be read");
            return;
        }
        benchmark::DoNotOptimize(network.messages.count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_LoadLargestTestDataDbc(benchmark::State &state)
{
    static const std::string path = largest_testdata_dbc();
    state.SetLabel(fs::path(path).filename().string());
    load(state, path);
}
BENCHMARK(BM_LoadLargestTestDataDbc)->Unit(benchmark::kMillisecond);

struct GeneratedFile {
    explicit GeneratedFile(const std::string &text) : path(temp_file_with(text)) {}
    ~GeneratedFile() { std::remove(path.c_str()); }
    std::string path;
};

// The file that Text makes, written once.
template <std::string (*Text)()> const std::string &generated_path()
{
    static const GeneratedFile file(Text());
    return file.path;
}

template <std::string (*Text)()> void BM_LoadGenerated(benchmark::State &state)
{
    load(state, generated_path<Text>());
}
BENCHMARK_TEMPLATE(BM_LoadGenerated, generated_dbc_text)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LoadGenerated, attribute_heavy_dbc_text)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LoadGenerated, wide_multiplexed_dbc_text)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_LoadGenerated, env_var_heavy_dbc_text)->Unit(benchmark::kMillisecond);

void BM_WriteGenerated5000Messages(benchmark::State &state)
{
    const std::string &path = generated_path<generated_dbc_text>();
    CANdbNetwork network;
    DbcFileIo reader(path.c_str());
    reader.read(&network);
    const std::string out = path + ".out";
    DbcFileIo writer(out.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(writer.write(&network));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(out)));
    std::remove(out.c_str());
}
BENCHMARK(BM_WriteGenerated5000Messages)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
