// The instruction-set paths: every one gives the plain pair-by-pair
// evaluation's results bit for bit, and each scheme runs the one measured
// fastest, which paths of known cost and a clock of the test's pin down.
#include "engine_state.h"
#include "plain_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstring>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>

using E = CCalcEngine;
using threebody::kSchemes;
using threebody::Path;
using threebody::PathChooser;
using threebody::RunState;
using threebody::Scheme;

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// A start, set up in the class-wide state as setParam leaves it, or field
// by field: so a path and the plain evaluation start from a state that
// threebody::beforeFirstPass did not build, and it cannot hide a field it loses.
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

// Paths of known cost for the chooser: a run moves the test's clock on by the
// path's cost for the scheme (Euler, midpoint, fourth order) and is logged
// with the state it got. Each scheme is fastest on another path, never the
// first; "missing" costs nothing, but this processor lacks it.
struct Ran {
    std::string path;
    Scheme scheme;
    RunState state;
};
std::vector<Ran> ran;
std::chrono::nanoseconds fakeNow{0};

void fakeRun(const char *path, const int (&ns)[3], Scheme scheme, RunState &state)
{
    ran.push_back({path, scheme, state});
    fakeNow += std::chrono::nanoseconds(ns[int(scheme)]);
    state.bodies.xp[0] += 1;  // as a real run does: a timing on this state again would start elsewhere
}
bool yes() { return true; }
bool no() { return false; }
const Path kA{"A", 2, yes, [](Scheme s, RunState &st) { fakeRun("A", {30, 30, 15}, s, st); }};
const Path kB{"B", 2, yes, [](Scheme s, RunState &st) { fakeRun("B", {10, 50, 40}, s, st); }};
const Path kC{"C", 2, yes, [](Scheme s, RunState &st) { fakeRun("C", {20, 5, 25}, s, st); }};
const Path kMissing{"missing", 4, no, [](Scheme s, RunState &st) { fakeRun("missing", {0, 0, 0}, s, st); }};

PathChooser chooserOf(const std::vector<Path> &paths)
{
    ran.clear();
    return PathChooser(paths, [] { return fakeNow; });
}

// The path that a run of the scheme took, by the log and by lastRun(); the
// run is taken off the log.
std::string ranOn(PathChooser &c, Scheme scheme)
{
    RunState state{};
    state.time = -1;  // no timing starts here
    c.run(scheme, state);
    const Ran last = ran.back();
    ran.pop_back();
    const bool named = c.lastRun() && last.path == c.lastRun()->name;
    return last.state.time == -1 && named ? last.path : "not the run's path";
}

}  // namespace

TEST(PathChoice, EachSchemeRunsItsFastestPathTimedOnceOnAStretchOfTheStartUpRun)
{
    const struct {
        std::vector<Path> paths;
        std::string picks[3];
    } rows[] = {{{kA, kB, kC, kMissing}, {"B", "C", "A"}}, {{kA, kB}, {"B", "A", "A"}}, {{kMissing, kA}, {"A", "A", "A"}}};
    // The caller's state is another run's: the timings must not use it.
    E::setParam(0.5, 3);
    E::nstep = 77;
    const Outcome before = Outcome::ofEngine();
    const threebody::Bodies startUp = threebody::startOf(threebody::kStartXp3, threebody::kStartFactor).bodies;
    for (const auto &row : rows) {
        PathChooser c = chooserOf(row.paths);
        const size_t offered = c.supported().size();
        for (Scheme scheme : kSchemes) {
            ran.clear();
            EXPECT_EQ(ranOn(c, scheme), row.picks[int(scheme)]) << schemeName(scheme);
            // Each offered path timed as often as the others and more than
            // once (with one path, none), each time on a fresh copy of one
            // stretch of the start-up run.
            std::map<std::string, size_t> timings;
            for (const Ran &r : ran) {
                timings[r.path] += 1;
                EXPECT_TRUE(r.scheme == scheme && r.state.nstep >= 100 && r.state.time == 0.0);
                EXPECT_EQ(std::memcmp(&r.state.bodies, &startUp, sizeof startUp), 0) << r.path;
                EXPECT_TRUE(r.state.samples != E::data_list && r.state.capacity >= 1);
            }
            EXPECT_EQ(timings.size(), offered > 1 ? offered : 0) << schemeName(scheme);
            for (auto [path, n] : timings)
                EXPECT_TRUE(n > 1 && n == timings.begin()->second) << path;
        }
        // Kept: later runs time nothing.
        ran.clear();
        for (Scheme scheme : kSchemes)
            EXPECT_EQ(ranOn(c, scheme), row.picks[int(scheme)]);
        EXPECT_TRUE(ran.empty());
    }
    EXPECT_EQ(before.differenceTo(Outcome::ofEngine()), "");
}

TEST(PathChoice, UseTakesAnOfferedPathAndForgetTimesAgain)
{
    PathChooser c = chooserOf({kA, kB, kC, kMissing});
    EXPECT_EQ(ranOn(c, Scheme::Euler), "B");
    EXPECT_FALSE(c.use("missing"));
    EXPECT_FALSE(c.use("no such path"));
    ASSERT_TRUE(c.use("C"));
    ran.clear();
    for (Scheme scheme : kSchemes)
        EXPECT_EQ(ranOn(c, scheme), "C");
    EXPECT_TRUE(ran.empty());
    c.forget();
    EXPECT_EQ(ranOn(c, Scheme::Euler), "B");
    EXPECT_GE(ran.size(), 6u);  // each of the three timed again
}
