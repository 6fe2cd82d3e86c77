// Time per pass of each scheme, and the whole start-up run.
#include "three_bodycalc.h"

#include <benchmark/benchmark.h>

using E = CCalcEngine;

namespace {

constexpr int kPasses = 100000;

template <class Engine>
void BM_Pass(benchmark::State &state)
{
    Engine engine;
    for (auto _ : state) {
        E::setParam(2, 1);
        E::nstep = kPasses + 1;
        engine.Calculation();
        benchmark::DoNotOptimize(E::xp[1]);
    }
    // Reported per pass: items/s is passes per second.
    state.SetItemsProcessed(state.iterations() * kPasses);
    state.counters["ns_per_pass"] = benchmark::Counter(
        double(state.iterations()) * kPasses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_StartupRun(benchmark::State &state)
{
    CThreeBodyRK2 engine;
    for (auto _ : state) {
        E::setParam(2, 1);
        E::nstep = 1000000;
        engine.Calculation();
        benchmark::DoNotOptimize(E::am_list[3]);
    }
}

}  // namespace

BENCHMARK_TEMPLATE(BM_Pass, CThreeBodyEuler)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Pass, CThreeBodyRK2)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Pass, CThreeBodyRK4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupRun)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
