// Merging the ranges of an identifier filter list: 10,000 ranges in orders
// that defeat a merge by repeated pairwise passes.
#include "interfaces/can/vyr_id_filter_list.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr uint32_t range_count = 10000;

// Every even identifier listed from the top down, then the odd ones between
// them: only the last range joins each pair, and all end in one range.
void BM_OptimizeInterleaved(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        VyrIdFilterList list;
        for (uint32_t i = range_count / 2; i > 0; --i)
            list.add_id(2 * i);
        for (uint32_t i = 0; i < range_count / 2; ++i)
            list.add_id(2 * i + 1);
        state.ResumeTiming();
        list.optimize();
        benchmark::DoNotOptimize(list.count());
    }
}
BENCHMARK(BM_OptimizeInterleaved)->Unit(benchmark::kMillisecond);

// Ranges apart from each other in shuffled order: nothing merges.
void BM_OptimizeDisjointShuffled(benchmark::State &state)
{
    std::vector<uint32_t> starts(range_count);
    for (uint32_t i = 0; i < range_count; ++i)
        starts[i] = 3 * i;
    std::shuffle(starts.begin(), starts.end(), std::mt19937(20));
    for (auto _ : state) {
        state.PauseTiming();
        VyrIdFilterList list;
        for (uint32_t start : starts)
            list.add_range(start, start + 1);
        state.ResumeTiming();
        list.optimize();
        benchmark::DoNotOptimize(list.count());
    }
}
BENCHMARK(BM_OptimizeDisjointShuffled)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
