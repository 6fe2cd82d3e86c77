// Time per pass of each scheme on every path this processor runs, against
// the plain pair-by-pair evaluation in the same process, and the whole
// start-up run, the first one with the path measurement included. After the
// usual table it prints each path's ratio to plain, and its ratio to the
// floor that this processor sets (pass_floor.h).
#include "pass_floor.h"
#include "plain_passes.h"
#include "simd_path.h"
#include "three_bodycalc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using E = CCalcEngine;
using threebody::Scheme;

namespace {

constexpr int kPasses = 100000;

// Path index -1 is the plain evaluation, the others index the supported paths.
const threebody::Path &pathAt(int path)
{
    return path < 0 ? reference::plainPath() : threebody::enginePaths().supported()[size_t(path)];
}
const char *pathName(int path) { return pathAt(path).name; }

void runOnce(Scheme scheme, int path, int nstep)
{
    E::setParam(threebody::kStartXp3, threebody::kStartFactor);
    reference::runOn(pathAt(path), scheme, nstep);
}

void BM_Pass(benchmark::State &state, Scheme scheme, int path)
{
    for (auto _ : state) {
        runOnce(scheme, path, kPasses + 1);
        benchmark::DoNotOptimize(E::xp[1]);
    }
    state.counters["ns_per_pass"] = benchmark::Counter(
        double(state.iterations()) * kPasses, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The floor's chain, timed as the passes are: as many passes from the same start.
void BM_Chain(benchmark::State &state, Scheme scheme)
{
    DATA_LIST samples[threebody::samplesOfRun(kPasses + 1)];
    const threebody::RunState start =
        threebody::beforeFirstPass(threebody::startOf(threebody::kStartXp3, threebody::kStartFactor), kPasses + 1,
                                   samples, int(std::size(samples)));
    for (auto _ : state) {
        threebody::RunState run = start;
        passfloor::runChain(scheme, run);
        benchmark::DoNotOptimize(run.bodies.xp[1]);
    }
}

void BM_StartupRun(benchmark::State &state, int path)
{
    for (auto _ : state) {
        runOnce(Scheme::Midpoint, path, threebody::kStartNstep);
        benchmark::DoNotOptimize(E::am_list[3]);
    }
}

// The program's first run: the midpoint path measured, then the run on it.
void BM_FirstRun(benchmark::State &state)
{
    CThreeBodyRK2 engine;
    for (auto _ : state) {
        threebody::enginePaths().forget();
        E::setParam(threebody::kStartXp3, threebody::kStartFactor);
        E::nstep = threebody::kStartNstep;
        engine.Calculation();
        benchmark::DoNotOptimize(E::am_list[3]);
    }
}

// Collects the median of each benchmark's repetitions (or its only run).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median")
                continue;
            const std::string name = run.run_name.function_name;
            if (!aggregate && medians.count(name))
                continue;
            medians[name] = run.GetAdjustedCPUTime();  // as the ns_per_pass counter
        }
    }
    std::map<std::string, double> medians;
};

std::string passName(int scheme, int path)
{
    return std::string("Pass/") + reference::schemeName(Scheme(scheme)) + "/" + pathName(path);
}
std::string chainName(int scheme) { return std::string("Chain/") + reference::schemeName(Scheme(scheme)); }

}  // namespace

int main(int argc, char **argv)
{
    std::vector<int> paths = {-1};
    for (size_t p = 0; p < threebody::enginePaths().supported().size(); ++p)
        paths.push_back(int(p));

    for (int s = 0; s < 3; ++s) {
        for (int p : paths)
            benchmark::RegisterBenchmark(passName(s, p).c_str(), BM_Pass, Scheme(s), p)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(chainName(s).c_str(), BM_Chain, Scheme(s))->Unit(benchmark::kMillisecond);
    }
    for (int p : paths)
        benchmark::RegisterBenchmark(
            (std::string("StartupRun/") + pathName(p)).c_str(),
            BM_StartupRun, p)
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("StartupRun/first, path measured", BM_FirstRun)->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nTime per pass as a ratio to the plain evaluation (medians of this run, processor time):\n");
    for (int s = 0; s < 3; ++s) {
        const auto plain = reporter.medians.find(passName(s, -1));
        if (plain == reporter.medians.end())
            continue;
        std::printf("  %-12s", reference::schemeName(Scheme(s)));
        for (int p : paths)
            if (p >= 0 && reporter.medians.count(passName(s, p)))
                std::printf("  %s %.3f", pathName(p),
                            reporter.medians[passName(s, p)] / plain->second);
        std::printf("\n");
    }

    const passfloor::UnitCosts unit = passfloor::measureUnit();
    std::printf("\nRoot and division unit, ns per independent instruction at 128/256 bits:\n"
                "  division %.2f / %.2f, root %.2f / %.2f\n",
                unit.divide[0], unit.divide[1], unit.root[0], unit.root[1]);
    // The chain per pass, where this run timed it (a filter may leave it out).
    double chain[3] = {};
    for (int s = 0; s < 3; ++s)
        if (reporter.medians.count(chainName(s)))
            chain[s] = reporter.medians[chainName(s)] * 1e6 / kPasses;
    auto floorOf = [&](int s, const threebody::Path &path) {
        return std::max(chain[s], passfloor::unitNs(Scheme(s), path, unit));
    };
    // A pass faster than the floor means the floor is wrong, not the pass fast.
    int floorFaults = 0;
    std::printf("Floor per pass: the larger of the chain's time and the unit's time (ns):\n");
    for (int s = 0; s < 3; ++s) {
        if (!chain[s])
            continue;
        std::printf("  %-12s chain %.1f\n", reference::schemeName(Scheme(s)), chain[s]);
        for (int p : paths) {
            if (p < 0 || !reporter.medians.count(passName(s, p)))
                continue;
            const double floor = floorOf(s, pathAt(p));
            const double ns = reporter.medians[passName(s, p)] * 1e6 / kPasses;  // ms per run
            std::printf("    %-8s %.1f ns per pass, unit %.1f, floor %.1f, ratio %.2f\n", pathName(p), ns,
                        passfloor::unitNs(Scheme(s), pathAt(p), unit), floor, ns / floor);
            if (ns < floor) {
                std::printf("floor fault: %s on %s took %.1f ns per pass, less than its floor of %.1f\n",
                            reference::schemeName(Scheme(s)), pathName(p), ns, floor);
                ++floorFaults;
            }
        }
    }
    // The engine's own choice, checked against this run's times side by side:
    // a pick clearly slower than the fastest path fails. Paths within the
    // margin are a tie that the short measurement may settle either way.
    constexpr double kClearlySlower = 1.2;
    int wrongPicks = 0;
    threebody::enginePaths().forget();
    for (int s = 0; s < 3; ++s) {
        const threebody::Path &picked = threebody::enginePaths().pathFor(Scheme(s));
        const int p = int(&picked - threebody::enginePaths().supported().data());
        if (!reporter.medians.count(passName(s, p)))
            continue;
        const double ns = reporter.medians[passName(s, p)] * 1e6 / kPasses;
        if (chain[s])
            std::printf("floor: %s %s picked: %.1f ns per pass, floor %.1f ns, ratio %.2f\n",
                        reference::schemeName(Scheme(s)), picked.name, ns, floorOf(s, picked),
                        ns / floorOf(s, picked));
        for (int q : paths)
            if (q >= 0 && reporter.medians.count(passName(s, q))) {
                const double other = reporter.medians[passName(s, q)] * 1e6 / kPasses;
                if (ns > kClearlySlower * other) {
                    std::printf("path choice: %s picked %s at %.1f ns per pass, but %s took %.1f\n",
                                reference::schemeName(Scheme(s)), picked.name, ns, pathName(q), other);
                    ++wrongPicks;
                }
            }
    }
    benchmark::Shutdown();
    return wrongPicks == 0 && floorFaults == 0 ? 0 : 1;
}
