// Per-frame cost of the network database: decoding a 64-signal multiplexed
// message with observers (frames and signals per second), the bit coder per
// signal kind, and name lookups in networks of the sizes where readers do
// thousands of them.
#include "core/candb_network.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

void count_value(void *context, const CANdbSignalValue *value, void *)
{
    *static_cast<int64_t *>(context) += value->int_value;
}

// A 64-byte CAN FD message: a 4-bit multiplexor, 15 plain signals and 48
// signals on 4 multiplexer pages, mixed byte orders and raw types.
void build_network(CANdbNetwork &net, int64_t *sink)
{
    auto m = std::make_unique<CANdbMessage>("Wide");
    m->id = 0x321;
    m->dlc = 64;
    auto add = [&](const char *name, int start, int length, uint8_t order, uint8_t type, int mux) {
        auto s = std::make_unique<CANdbSignal>(name);
        s->start_bit = start;
        s->length = length;
        s->byte_order = order;
        s->value_type = type;
        s->mux_value = mux;
        s->factor = (start % 3) ? 0.5 : 1.0;
        s->update_value_kind();
        s->add_observer(count_value, sink);
        return m->insert_signal(std::move(s));
    };
    add("Selector", 0, 4, CANdbIntel, CANdbRawUnsigned, -1)->is_multiplexor = true;
    for (int i = 0; i < 15; ++i)
        add("Plain", 8 + i * 16, 12, i % 2 ? CANdbMotorola : CANdbIntel, i % 3 ? CANdbRawUnsigned : CANdbRawSigned, -1);
    for (int i = 0; i < 48; ++i)
        add("Paged", 256 + (i % 12) * 20, 16, i % 2 ? CANdbIntel : CANdbMotorola, CANdbRawUnsigned, i / 12);
    net.insert_message(std::move(m));
}

void BM_DecodeFrame64Signals(benchmark::State &state)
{
    CANdbNetwork net;
    int64_t sink = 0;
    build_network(net, &sink);
    uint8_t data[64];
    for (int i = 0; i < 64; ++i)
        data[i] = static_cast<uint8_t>(i * 37);
    data[0] = 2; // page 2
    // Every decoded signal calls its observer once: count them on one frame.
    int64_t signals_per_frame = 0;
    CANdbMessage *message = net.find_message("Wide");
    for (CANdbSignal *s = message->first_signal(); s; s = message->next_signal()) {
        s->clear_observers();
        s->add_observer([](void *count, const CANdbSignalValue *, void *) { ++*static_cast<int64_t *>(count); },
                        &signals_per_frame);
    }
    net.decode_frame(0x321, data, 64, nullptr);
    for (CANdbSignal *s = message->first_signal(); s; s = message->next_signal()) {
        s->clear_observers();
        s->add_observer(count_value, &sink);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(net.decode_frame(0x321, data, 64, nullptr));
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations());
    state.counters["signals"] =
        benchmark::Counter(static_cast<double>(state.iterations() * signals_per_frame), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeFrame64Signals);

void BM_DecodeFrameUnknownId(benchmark::State &state)
{
    CANdbNetwork net;
    int64_t sink = 0;
    build_network(net, &sink);
    uint8_t data[8] = {};
    for (auto _ : state)
        benchmark::DoNotOptimize(net.decode_frame(0x322, data, 8, nullptr));
}
BENCHMARK(BM_DecodeFrameUnknownId);

struct Layout {
    uint8_t order;
    int start;
    int length;
    uint8_t type;
};

// Arguments select the layout: 0 Intel 12 bits, 1 Motorola 12 bits, 2 signed 16 bits,
// 3 float, 4 Intel 64 bits, 5 double.
const Layout kLayouts[] = {
    {CANdbIntel, 4, 12, CANdbRawUnsigned},  {CANdbMotorola, 20, 12, CANdbRawUnsigned},
    {CANdbIntel, 8, 16, CANdbRawSigned},    {CANdbIntel, 0, 32, CANdbRawFloat},
    {CANdbIntel, 0, 64, CANdbRawUnsigned},  {CANdbIntel, 0, 64, CANdbRawDouble},
};

void shape(CANdbSignal &s, const Layout &layout)
{
    s.byte_order = layout.order;
    s.start_bit = layout.start;
    s.length = layout.length;
    s.value_type = layout.type;
    s.update_value_kind();
}

void BM_ExtractRaw(benchmark::State &state)
{
    CANdbSignal s("s");
    shape(s, kLayouts[state.range(0)]);
    uint8_t data[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    uint64_t out = 0;
    for (auto _ : state) {
        s.extract_raw(data, 8, s.value_type == CANdbRawSigned, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_ExtractRaw)->DenseRange(0, 4);

void BM_EncodeRaw(benchmark::State &state)
{
    CANdbSignal s("s");
    shape(s, kLayouts[state.range(0)]);
    uint8_t data[8] = {};
    uint64_t value = 0x0123456789ABCDEFull;
    for (auto _ : state) {
        s.encode_raw(data, 8, value++);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_EncodeRaw)->DenseRange(0, 4);

void BM_DecodeAndNotify(benchmark::State &state)
{
    CANdbSignal s("s");
    shape(s, kLayouts[state.range(0)]);
    int64_t sink = 0;
    s.add_observer(count_value, &sink);
    uint8_t data[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0x30};
    for (auto _ : state)
        benchmark::DoNotOptimize(s.decode_and_notify(data, 8, nullptr));
    benchmark::DoNotOptimize(sink);
}
BENCHMARK(BM_DecodeAndNotify)->DenseRange(0, 5);

// Name lookups, each over every name of the list in turn. Arguments select
// the list: 0 the 8,000 signals of one message, 1 5,000 environment
// variables, 2 771 value tables, 3 300 attribute definitions.
void BM_FindByName(benchmark::State &state)
{
    static const int kCounts[] = {8000, 5000, 771, 300};
    const int kind = static_cast<int>(state.range(0));
    const int count = kCounts[kind];
    CANdbNetwork net;
    CANdbMessage *message = net.insert_message(std::make_unique<CANdbMessage>("Wide"));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back("Name_" + std::to_string(i));
        const char *name = names.back().c_str();
        switch (kind) {
        case 0:
            message->insert_signal(std::make_unique<CANdbSignal>(name));
            break;
        case 1:
            net.add_env_var(std::make_unique<CANdbEnvVar>(name));
            break;
        case 2:
            net.add_value_table(std::make_unique<CANdbValueTable>(name));
            break;
        default:
            net.add_attribute_def(std::make_unique<CANdbAttributeDef>(name, CANdbAttrInt, CANdbObjectMessage));
            break;
        }
    }
    size_t next = 0;
    for (auto _ : state) {
        const char *name = names[next].c_str();
        next = next + 1 == names.size() ? 0 : next + 1;
        switch (kind) {
        case 0:
            benchmark::DoNotOptimize(message->find_signal(name));
            break;
        case 1:
            benchmark::DoNotOptimize(net.find_env_var(name));
            break;
        case 2:
            benchmark::DoNotOptimize(net.find_value_table(name));
            break;
        default:
            benchmark::DoNotOptimize(net.find_attribute_def(name));
            break;
        }
    }
}
BENCHMARK(BM_FindByName)->DenseRange(0, 3);

} // namespace

BENCHMARK_MAIN();
