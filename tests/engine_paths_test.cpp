// The instruction-set paths: every one gives the plain pair-by-pair
// evaluation's results bit for bit, and each scheme runs the one measured
// fastest, which paths of known cost and a clock of the test's pin down.
#include "engine_state.h"
#include "plain_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <random>

using E = CCalcEngine;
using threebody::kSchemes;
using threebody::Path;
using threebody::PathChooser;
using threebody::RunState;
using threebody::Scheme;
using threebody::Start;

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// A start, set up in the class-wide state as setParam leaves it, or field
// by field: so a path and the plain evaluation start from a state that
// threebody::runFrom did not build, and it cannot hide a field it loses.
struct Case {
    std::string name;
    std::function<void()> setUp;
};

const std::pair<double, double> setParamStarts[] = {
    {2, 1}, {0.5, 1}, {-2, 1}, {1, 1}, {0, 1}, {2, 0}, {2, -3},
    {2, -1 / (threebody::kPlanet1Mass + threebody::kPlanet2Mass)}, {1e150, 1}, {inf, 1}, {nan, 1}};

Case fromSetParam(const std::string &name, double xp3, double factor)
{
    return {name, [=] { E::setParam(xp3, factor); }};
}

Case given(const std::string &name, std::vector<std::vector<double>> rows)
{
    return {name, [=] {
                double *fields[] = {E::xp, E::yp, E::vx, E::vy, E::mp};
                for (int f = 0; f < 5; ++f)
                    std::copy(rows[f].begin(), rows[f].end(), fields[f]);
            }};
}

std::vector<Case> startingStates()
{
    std::vector<Case> cases;
    for (auto [xp3, factor] : setParamStarts)
        cases.push_back(fromSetParam("xp3 " + std::to_string(xp3) + ", factor " + std::to_string(factor), xp3, factor));
    for (const Case &c : std::initializer_list<Case>{
        given("all at rest", {{-1, 0, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}}),
        given("signed zeros", {{-0.0, 0.0, -0.0}, {0.0, -0.0, 1}, {-0.0, 0.0, 0.5}, {0.0, -0.0, -0.0}, {1, 0.5, -0.0}}),
        given("two at rest together", {{0, 1, 1}, {0, 0, 0}, {0, 0.3, 0.3}, {0, 1, 1}, {1, 1e-3, 1e-3}}),
        given("all on one spot", {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1, -1, 0}, {0, 0, 0}, {1, 1, 1}}),
        given("negative zero mass", {{0, 1, 2}, {0, 0, 0}, {0, 0, 0}, {0, 1, 0.7}, {-0.0, -0.0, -0.0}}),
        given("infinite speed", {{0, 1, 2}, {0, 0, 0}, {0, 0, 0}, {0, inf, -inf}, {1, 1e-3, 1e-3}}),
        given("NaN speed of one", {{0, 1, 2}, {0, 0, 0}, {nan, 0, 0}, {0, 1, 0.7}, {1, 1e-3, 1e-3}}),
        given("NaN position of one", {{0, nan, 2}, {0, 0, -nan}, {0, 0, 0}, {0, 1, 0.7}, {1, 1e-3, 1e-3}}),
        given("huge and tiny",
              {{0, 1e-300, 1e300}, {0, 4e-320, -1e-310}, {1e-300, 0, 1e200}, {0, 1, 1e-200}, {1, 1e300, 1e-300}})})
        cases.push_back(c);
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> position(-3, 3), speed(-1.5, 1.5), mass(-0.05, 1.2);
    for (int i = 0; i < 40; ++i) {
        std::vector<std::vector<double>> rows(5);
        for (int b = 0; b < 3; ++b)
            for (auto [f, d] : {std::pair{0, &position}, {1, &position}, {2, &speed}, {3, &speed}, {4, &mass}})
                rows[f].push_back((*d)(random));
        cases.push_back(given("random " + std::to_string(i), rows));
    }
    return cases;
}

// A run on `path` from `c`, with the values a run without passes keeps.
Outcome runCase(const Case &c, int nstep, Scheme scheme, const Path &path)
{
    c.setUp();
    E::time = 0.25;
    E::dt = 0.125;
    E::dtmin = -7;
    E::vp = -9;
    E::count = 5;
    reference::runOn(path, scheme, nstep);
    return Outcome::ofEngine();
}

void expectAllPathsMatchPlain(const Case &c, int nstep)
{
    for (Scheme scheme : kSchemes) {
        const Outcome want = runCase(c, nstep, scheme, reference::plainPath());
        for (const Path &path : threebody::enginePaths().supported()) {
            const std::string difference = want.differenceTo(runCase(c, nstep, scheme, path));
            EXPECT_EQ(difference, "") << c.name << ", " << schemeName(scheme) << ", " << path.name << ", nstep "
                                      << nstep;
        }
    }
}

}  // namespace

TEST(Paths, EveryPathMatchesThePlainEvaluationBitForBit)
{
    for (const Case &c : startingStates())
        expectAllPathsMatchPlain(c, 20003);
}

TEST(Paths, RunFromStartsWhereSetParamPlacesTheBodies)
{
    for (auto [xp3, factor] : setParamStarts) {
        E::setParam(xp3, factor);
        E::dt = E::dtmin = E::vp = 0;
        E::count = 0;
        E::nstep = 123;
        const RunState want = E::runState();
        const RunState got = threebody::runFrom(threebody::startOf(xp3, factor), 123, E::data_list, threebody::kMaxSamples);
        EXPECT_EQ(std::memcmp(&want, &got, offsetof(RunState, samples)), 0) << xp3 << ", " << factor;
        EXPECT_TRUE(got.samples == want.samples && got.capacity == want.capacity);
    }
}

TEST(Paths, RunLengthsAroundTheSamplingBoundariesToTheStartUpRun)
{
    for (int nstep : {-5, 0, 1, 2, 3, 10001, 10002, threebody::kStartNstep})
        expectAllPathsMatchPlain(fromSetParam("start-up", threebody::kStartXp3, threebody::kStartFactor), nstep);
}

// Every path this processor has is built and offered; under emulation of a
// processor without AVX2 (THREEBODY_EXPECT_MISSING names those paths), that
// one is neither offered nor taken, and the engine runs on what is left.
TEST(Paths, TheProcessorsPathsAreOfferedAndNoOther)
{
    std::vector<std::string> built, offered;
    for (const Path &path : threebody::builtPaths())
        built.push_back(path.name);
    for (const Path &path : threebody::enginePaths().supported())
        offered.push_back(path.name);
#if THREEBODY_X86
    EXPECT_EQ(built, (std::vector<std::string>{"SSE2", "AVX2"}));
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        EXPECT_NE(std::find(offered.begin(), offered.end(), "AVX2"), offered.end());
    }
#else
    EXPECT_EQ(built.size(), 1u);
#endif
    if (const char *missing = std::getenv("THREEBODY_EXPECT_MISSING")) {
        EXPECT_EQ(std::find(offered.begin(), offered.end(), missing), offered.end()) << missing << " is offered";
        EXPECT_FALSE(threebody::enginePaths().use(missing)) << missing << " is taken";
    }
    // Measured with the program's clock, here too (the path choice's own
    // tests below measure fake paths by a fake clock): what is offered.
    threebody::enginePaths().forget();
    for (Scheme scheme : kSchemes) {
        const char *name = threebody::enginePaths().pathFor(scheme).name;
        EXPECT_NE(std::find(offered.begin(), offered.end(), name), offered.end()) << name;
    }
}

TEST(Paths, CalculationRunsTheChosenPath)
{
    for (const Path &path : threebody::enginePaths().supported()) {
        ASSERT_TRUE(threebody::enginePaths().use(path.name));
        for (Scheme scheme : kSchemes) {
            runEngine(scheme, 2);
            ASSERT_TRUE(threebody::enginePaths().lastRun());
            EXPECT_STREQ(threebody::enginePaths().lastRun()->name, path.name) << schemeName(scheme);
            EXPECT_EQ(E::count, 1);
        }
    }
    threebody::enginePaths().forget();
}

namespace {

// Paths of known cost for the chooser: a run moves the test's clock on by
// the path's cost for the scheme, and records the scheme and state it got.
struct FakePath {
    bool supported;
    int cost[3];  // ns per run, by scheme
    std::vector<std::pair<Scheme, RunState>> runs;
};
FakePath fakes[4];
std::chrono::nanoseconds fakeTime{0};

template <int N>
Path fakePath()
{
    static const char *const names[] = {"fake0", "fake1", "fake2", "fake3"};
    return {names[N], 2, [] { return fakes[N].supported; },
            [](Scheme scheme, double, RunState &state) {
                fakes[N].runs.emplace_back(scheme, state);
                fakeTime += std::chrono::nanoseconds(fakes[N].cost[int(scheme)]);
                // As a real run does: a stretch timed on this state would start elsewhere.
                state.xp[0] += 1;
                state.time += 1;
            }};
}

// Each scheme is fastest on another path, never the first; fake 3 costs
// nothing, but this processor lacks it.
PathChooser chooserOf(const std::vector<bool> &supported)
{
    fakes[0] = {true, {30, 30, 15}, {}};
    fakes[1] = {true, {10, 50, 40}, {}};
    fakes[2] = {true, {20, 5, 25}, {}};
    fakes[3] = {false, {0, 0, 0}, {}};
    int n = 0;
    for (bool s : supported)
        fakes[n++].supported = s;
    return PathChooser({fakePath<0>(), fakePath<1>(), fakePath<2>(), fakePath<3>()}, [] { return fakeTime; });
}
void clearRuns()
{
    for (FakePath &f : fakes)
        f.runs.clear();
}
size_t allRuns() { return fakes[0].runs.size() + fakes[1].runs.size() + fakes[2].runs.size() + fakes[3].runs.size(); }

// The fake that a run of the scheme ran on and that lastRun() names; the run
// itself is taken off its record.
int ranOn(PathChooser &c, Scheme scheme)
{
    static double mark = 0;
    RunState state{};
    state.time = ++mark;
    c.run(scheme, threebody::kPi, state);
    for (int n = 0; n < 4; ++n)
        if (!fakes[n].runs.empty() && fakes[n].runs.back().second.time == mark) {
            fakes[n].runs.pop_back();
            return c.lastRun() && c.lastRun()->name == std::string("fake") + char('0' + n) ? n : -2;
        }
    return -1;
}

}  // namespace

TEST(PathChoice, EachSchemeRunsItsFastestPathMeasuredOnceOnTheStartUpRun)
{
    const struct {
        std::vector<bool> supported;
        int picks[3];
    } rows[] = {{{true, true, true}, {1, 2, 0}}, {{true, true, false}, {1, 0, 0}}, {{true, false, false}, {0, 0, 0}}};
    // The caller's state is another run's: the measurement must not use it.
    E::setParam(0.5, 3);
    E::nstep = 77;
    const Outcome before = Outcome::ofEngine();
    const Start startUp = threebody::startOf(threebody::kStartXp3, threebody::kStartFactor);
    for (const auto &row : rows) {
        PathChooser c = chooserOf(row.supported);
        const bool measures = row.supported.size() - std::count(row.supported.begin(), row.supported.end(), false) > 1;
        for (Scheme scheme : kSchemes) {
            clearRuns();
            EXPECT_EQ(ranOn(c, scheme), row.picks[int(scheme)]) << schemeName(scheme);
            // Each supported path timed as often as the others, more than once,
            // on this scheme and one state, a stretch of the start-up run with
            // passes; with one path, nothing timed.
            const size_t timings = fakes[0].runs.size();
            EXPECT_EQ(timings > 1, measures) << schemeName(scheme);
            for (int n = 0; n < 4; ++n) {
                EXPECT_EQ(fakes[n].runs.size(), fakes[n].supported ? timings : 0) << "fake " << n;
                for (const auto &[s, given] : fakes[n].runs)
                    EXPECT_TRUE(s == scheme && std::memcmp(&given, &fakes[0].runs[0].second, offsetof(RunState, samples)) == 0);
            }
            if (timings == 0)
                continue;
            const RunState &timed = fakes[0].runs[0].second;
            EXPECT_GE(timed.nstep, 100);
            EXPECT_EQ(timed.time, 0.0);
            EXPECT_TRUE(timed.samples != E::data_list && timed.capacity >= 1);
            EXPECT_EQ(std::memcmp(timed.xp, startUp.xp, sizeof timed.xp), 0);
            EXPECT_EQ(std::memcmp(timed.vy, startUp.vy, sizeof timed.vy), 0);
            EXPECT_EQ(std::memcmp(timed.mp, startUp.mp, sizeof timed.mp), 0);
        }
        // Kept: later runs measure nothing.
        clearRuns();
        for (Scheme scheme : kSchemes)
            EXPECT_EQ(ranOn(c, scheme), row.picks[int(scheme)]);
        EXPECT_EQ(allRuns(), 0u);
    }
    EXPECT_EQ(before.differenceTo(Outcome::ofEngine()), "");
}

TEST(PathChoice, UseTakesASupportedPathAndForgetMeasuresAgain)
{
    PathChooser c = chooserOf({true, true, true});
    EXPECT_EQ(ranOn(c, Scheme::Euler), 1);
    EXPECT_EQ(c.supported().size(), 3u);
    fakes[3].supported = true;  // too late: the chooser asked when it was made
    EXPECT_FALSE(c.use("fake3"));
    EXPECT_FALSE(c.use("no such path"));
    EXPECT_EQ(ranOn(c, Scheme::Euler), 1);
    ASSERT_TRUE(c.use("fake2"));
    clearRuns();
    for (Scheme scheme : kSchemes)
        EXPECT_EQ(ranOn(c, scheme), 2);
    EXPECT_EQ(allRuns(), 0u);
    c.forget();
    EXPECT_EQ(ranOn(c, Scheme::Euler), 1);
    EXPECT_GE(allRuns(), 3u);  // each path timed again
}
