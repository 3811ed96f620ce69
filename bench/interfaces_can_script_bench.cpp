// The CAN interface's script binding: compiling the CAN prelude with the
// J1939 formatter and the J1939 DBC of the shared test data (time, and the
// code and data it leaves in the machine), and an "on CanMessage" handler
// that reads five signal members of every frame (frames per second).
#include "core/candb_cluster.h"
#include "core/vyr_signal_if_type.h"
#include "description/dbc/dbc_file_io.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/vyr_can_if.h"
#include "script/pcode_machine.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "tests/common/test_paths.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

const std::string dbc_dir = vyr_test::configured_testdata_dir().toStdString() + "/dbc/cantools/tests/files/dbc/";

std::unique_ptr<VyrCanIf> make_can(const std::string &dbc, const char *formatter, const char *script,
                                   const QTemporaryDir &dir)
{
    std::unique_ptr<VyrSignalIf> made = create_signal_if("CAN", nullptr, nullptr, nullptr);
    std::unique_ptr<VyrCanIf> can(dynamic_cast<VyrCanIf *>(made.release()));
    auto databases = std::make_unique<CANdbCluster>();
    auto network = std::make_unique<CANdbNetwork>();
    DbcFileIo reader(dbc.c_str());
    if (reader.read(network.get()) != 0)
        return nullptr;
    databases->add_network(std::move(network));
    can->set_databases(std::move(databases));
    can->set_protocol_plugin_name(QString::fromLatin1(formatter));
    const QString path = dir.filePath(QStringLiteral("bench.vys"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return nullptr;
    file.write(script);
    file.close();
    can->set_script_file(path);
    return can;
}

void BM_CompilePreludeWithJ1939Dbc(benchmark::State &state)
{
    QTemporaryDir dir;
    std::unique_ptr<VyrCanIf> can = make_can(dbc_dir + "j1939.dbc", "J1939", "on start { }\n", dir);
    if (!can) {
        state.SkipWithError("the J1939 DBC of the shared test data could not be read");
        return;
    }
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(can.get());
    for (auto _ : state) {
        runtime->reset();
        if (can->sclib_init() != 0) {
            state.SkipWithError("the prelude did not compile");
            return;
        }
    }
    state.counters["code_bytes"] = runtime->machine()->code_length();
    state.counters["data_bytes"] = runtime->machine()->data_top();
    state.counters["symbols"] = runtime->symbols()->count();
}
BENCHMARK(BM_CompilePreludeWithJ1939Dbc)->Unit(benchmark::kMillisecond);

void BM_HandlerReadsFiveSignalMembers(benchmark::State &state)
{
    QTemporaryDir dir;
    std::unique_ptr<VyrCanIf> can =
        make_can(dbc_dir + "motohawk.dbc", "",
                 "variables { int sum; double phys; }\n"
                 "on CanMessage ExampleMessage {\n"
                 "  sum = this.Temperature.Raw + this.AverageRadius.Raw + this.Enable.Raw;\n"
                 "  phys = this.Temperature.Phys + this.AverageRadius.Phys;\n"
                 "}\n",
                 dir);
    if (!can || can->sclib_init() != 0) {
        state.SkipWithError("the handler could not be compiled against the motohawk DBC");
        return;
    }
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(can.get());
    PCodeMachine *machine = runtime->machine();
    const ScriptTrigger *handler = runtime->find_script_trigger(VyrCanScriptBinding::can_message_trigger, 0x1F0);
    const int32_t message = can->script_binding()->this_message();
    uint8_t *data = machine->data_pointer(message + VyrCanScriptBinding::message_data_at, 64);
    uint8_t counter = 0;
    for (auto _ : state) {
        // As the receive loop hands a frame to its handler.
        data[0] = counter++;
        data[1] = 0x5A;
        VyrSignalIf::ScriptRunLock lock(*can);
        machine->run(&runtime->context(), handler->function_id());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_HandlerReadsFiveSignalMembers);

} // namespace

BENCHMARK_MAIN();
