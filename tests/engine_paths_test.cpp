// The instruction-set paths: every one gives the plain pair-by-pair
// evaluation's results bit for bit, and each scheme runs the one measured
// fastest, which paths of known cost and a clock of the test's pin down.
#include "engine_state.h"
#include "plain_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
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

struct Case {
    std::string name;
    Start start;
};

Case fromSetParam(const std::string &name, double xp3, double factor)
{
    return {name, threebody::startOf(xp3, factor)};
}

Case given(const std::string &name, std::initializer_list<std::initializer_list<double>> rows)
{
    Case c{name, {}};
    double *fields[] = {c.start.xp, c.start.yp, c.start.vx, c.start.vy, c.start.mp};
    int f = 0;
    for (const auto &row : rows)
        std::copy(row.begin(), row.end(), fields[f++]);
    return c;
}

std::vector<Case> startingStates()
{
    std::vector<Case> cases = {
        fromSetParam("default", 2, 1),
        fromSetParam("inside planet 1", 0.5, 1),
        fromSetParam("retrograde", -2, 1),
        fromSetParam("planet 2 on planet 1", 1, 1),
        fromSetParam("planet 2 on the star", 0, 1),
        fromSetParam("massless", 2, 0),
        fromSetParam("negative masses", 2, -3),
        fromSetParam("zero total mass", 2, -1 / (threebody::kPlanet1Mass + threebody::kPlanet2Mass)),
        fromSetParam("far away", 1e150, 1),
        fromSetParam("infinite", inf, 1),
        fromSetParam("NaN", nan, 1),
        given("all at rest", {{-1, 0, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}}),
        given("signed zeros", {{-0.0, 0.0, -0.0}, {0.0, -0.0, 1}, {-0.0, 0.0, 0.5}, {0.0, -0.0, -0.0}, {1, 0.5, -0.0}}),
        given("two at rest together", {{0, 1, 1}, {0, 0, 0}, {0, 0.3, 0.3}, {0, 1, 1}, {1, 1e-3, 1e-3}}),
        given("all on one spot", {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1, -1, 0}, {0, 0, 0}, {1, 1, 1}}),
        given("negative zero mass", {{0, 1, 2}, {0, 0, 0}, {0, 0, 0}, {0, 1, 0.7}, {-0.0, -0.0, -0.0}}),
        given("infinite speed", {{0, 1, 2}, {0, 0, 0}, {0, 0, 0}, {0, inf, -inf}, {1, 1e-3, 1e-3}}),
        given("NaN speed of one", {{0, 1, 2}, {0, 0, 0}, {nan, 0, 0}, {0, 1, 0.7}, {1, 1e-3, 1e-3}}),
        given("NaN position of one", {{0, nan, 2}, {0, 0, -nan}, {0, 0, 0}, {0, 1, 0.7}, {1, 1e-3, 1e-3}}),
        given("huge and tiny",
              {{0, 1e-300, 1e300}, {0, 4e-320, -1e-310}, {1e-300, 0, 1e200}, {0, 1, 1e-200}, {1, 1e300, 1e-300}}),
    };
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> position(-3, 3), speed(-1.5, 1.5), mass(-0.05, 1.2);
    for (int i = 0; i < 40; ++i) {
        Case c{"random " + std::to_string(i), {}};
        for (int b = 0; b < 3; ++b) {
            c.start.xp[b] = position(random);
            c.start.yp[b] = position(random);
            c.start.vx[b] = speed(random);
            c.start.vy[b] = speed(random);
            c.start.mp[b] = mass(random);
        }
        cases.push_back(c);
    }
    return cases;
}

std::vector<DATA_LIST> samples(threebody::kMaxSamples);

// A run's state from `start`, field by field and apart from the engine's
// runFrom: both sides of a comparison start here, so a runFrom that lost a
// field (the masses, say) cannot hide in them. runFrom is checked against it.
RunState stateOf(const Start &start, int nstep)
{
    RunState r{};
    for (int b = 0; b < 3; ++b) {
        r.xp[b] = start.xp[b];
        r.yp[b] = start.yp[b];
        r.vx[b] = start.vx[b];
        r.vy[b] = start.vy[b];
        r.mp[b] = start.mp[b];
    }
    r.nstep = nstep;
    r.samples = samples.data();
    r.capacity = threebody::kMaxSamples;
    return r;
}

// A run on `run` from `c`, with the values a run without passes keeps.
template <class Run>
Outcome runFrom(const Case &c, int nstep, Run run)
{
    RunState state = stateOf(c.start, nstep);
    state.time = 0.25;
    state.dtmin = -7;
    state.vp = -9;
    run(state);
    return Outcome::of(state);
}

void expectAllPathsMatchPlain(const Case &c, int nstep)
{
    for (Scheme scheme : kSchemes) {
        const Outcome want =
            runFrom(c, nstep, [&](RunState &s) { reference::runPlainPasses(scheme, threebody::kPi, s); });
        for (const Path &path : threebody::enginePaths().supported()) {
            const std::string difference =
                want.differenceTo(runFrom(c, nstep, [&](RunState &s) { path.run(scheme, threebody::kPi, s); }));
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

TEST(Paths, RunFromStartsWhereTheStartIs)
{
    for (const Case &c : startingStates()) {
        const RunState want = stateOf(c.start, 123), got = threebody::runFrom(c.start, 123, samples.data(),
                                                                              threebody::kMaxSamples);
        EXPECT_EQ(std::memcmp(&want, &got, offsetof(RunState, samples)), 0) << c.name;
        EXPECT_TRUE(got.samples == want.samples && got.capacity == want.capacity) << c.name;
    }
}

TEST(Paths, RunLengthsAroundTheSamplingBoundaries)
{
    for (int nstep : {-5, 0, 1, 2, 3, 10001, 10002})
        expectAllPathsMatchPlain(fromSetParam("default", 2, 1), nstep);
}

TEST(Paths, TheStartUpRunMatchesToTheEnd)
{
    expectAllPathsMatchPlain(fromSetParam("start-up", threebody::kStartXp3, threebody::kStartFactor),
                             threebody::kStartNstep);
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
    // Measured with the program's clock: a supported path, kept, and the
    // engine's state as it was.
    threebody::enginePaths().forget();
    E::setParam(0.5, 3);
    E::nstep = 77;
    const Outcome before = Outcome::ofEngine();
    for (Scheme scheme : kSchemes) {
        const Path &path = threebody::enginePaths().pathFor(scheme);
        EXPECT_NE(std::find(offered.begin(), offered.end(), path.name), offered.end()) << path.name;
        EXPECT_EQ(&threebody::enginePaths().pathFor(scheme), &path);
    }
    EXPECT_EQ(before.differenceTo(Outcome::ofEngine()), "");
    EXPECT_EQ(E::nstep, 77);
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
// the path's cost for the scheme and records what it was given.
struct FakePath {
    bool supported;
    int cost[3];  // ns per run, by scheme
    std::vector<Scheme> schemes;
    std::vector<RunState> given;
};
FakePath fakes[4];
std::chrono::nanoseconds fakeTime{0};

template <int N>
Path fakePath()
{
    static const char *const names[] = {"fake0", "fake1", "fake2", "fake3"};
    return {names[N], 2, [] { return fakes[N].supported; },
            [](Scheme scheme, double, RunState &state) {
                fakes[N].schemes.push_back(scheme);
                fakes[N].given.push_back(state);
                fakeTime += std::chrono::nanoseconds(fakes[N].cost[int(scheme)]);
                // As a real run does: a stretch timed on this state would start elsewhere.
                state.xp[0] += 1;
                state.time += 1;
            }};
}

class PathChoice : public ::testing::Test {
protected:
    // Each scheme is fastest on another path, and not on the first; path 3
    // costs nothing, but this processor lacks it.
    void SetUp() override
    {
        fakes[0] = {true, {30, 30, 15}, {}, {}};
        fakes[1] = {true, {10, 50, 40}, {}, {}};
        fakes[2] = {true, {20, 5, 25}, {}, {}};
        fakes[3] = {false, {0, 0, 0}, {}, {}};
    }
    static PathChooser chooser()
    {
        return PathChooser({fakePath<0>(), fakePath<1>(), fakePath<2>(), fakePath<3>()}, [] { return fakeTime; });
    }
    static int runs(int n) { return int(fakes[n].schemes.size()); }
    static int allRuns() { return runs(0) + runs(1) + runs(2) + runs(3); }
    // The fake that a run of the scheme ran on, and that lastRun() names.
    static int ranOn(PathChooser &c, Scheme scheme)
    {
        static double mark = 0;
        RunState state{};
        state.time = ++mark;
        c.run(scheme, threebody::kPi, state);
        for (int n = 0; n < 4; ++n)
            if (runs(n) > 0 && fakes[n].given.back().time == mark)
                return c.lastRun() && c.lastRun()->name == std::string("fake") + char('0' + n) ? n : -2;
        return -1;
    }
};

}  // namespace

TEST_F(PathChoice, EachSchemeRunsItsFastestPathMeasuredOnceOnTheStartUpRun)
{
    // The caller's state is another run's: the measurement must not use it.
    E::setParam(0.5, 3);
    E::nstep = 77;
    const Outcome before = Outcome::ofEngine();
    const Start startUp = threebody::startOf(threebody::kStartXp3, threebody::kStartFactor);
    PathChooser c = chooser();
    const int fastest[3] = {1, 2, 0};
    for (Scheme scheme : kSchemes) {
        for (FakePath &f : fakes)
            f.schemes.clear(), f.given.clear();
        const int ran = ranOn(c, scheme);
        EXPECT_EQ(ran, fastest[int(scheme)]) << schemeName(scheme);
        if (ran >= 0)
            fakes[ran].schemes.pop_back(), fakes[ran].given.pop_back();  // the run itself
        // Each supported path timed the same number of times, more than
        // once, on this scheme and one state: a stretch of the start-up run
        // that has passes.
        const RunState first = fakes[0].given.empty() ? RunState{} : fakes[0].given.front();
        EXPECT_GE(first.nstep, 100) << schemeName(scheme);
        EXPECT_GT(runs(0), 1) << schemeName(scheme);
        for (int n = 0; n < 3; ++n) {
            EXPECT_EQ(runs(n), runs(0)) << schemeName(scheme) << ", fake " << n;
            for (size_t i = 0; i < fakes[n].given.size(); ++i) {
                const RunState &given = fakes[n].given[i];
                EXPECT_EQ(fakes[n].schemes[i], scheme);
                EXPECT_EQ(std::memcmp(&given, &first, offsetof(RunState, samples)), 0)
                    << schemeName(scheme) << ", fake " << n << ", timing " << i;
                EXPECT_TRUE(given.samples != E::data_list && given.capacity >= 1);
            }
        }
        EXPECT_EQ(std::memcmp(first.xp, startUp.xp, sizeof first.xp), 0);
        EXPECT_EQ(std::memcmp(first.vy, startUp.vy, sizeof first.vy), 0);
        EXPECT_EQ(std::memcmp(first.mp, startUp.mp, sizeof first.mp), 0);
        EXPECT_EQ(first.time, 0.0);
        EXPECT_EQ(runs(3), 0);
    }
    // Kept: later runs measure nothing.
    const int runsBefore = allRuns();
    for (Scheme scheme : kSchemes)
        EXPECT_EQ(ranOn(c, scheme), fastest[int(scheme)]);
    EXPECT_EQ(allRuns() - runsBefore, 3);
    EXPECT_EQ(before.differenceTo(Outcome::ofEngine()), "");
}

TEST_F(PathChoice, UseTakesASupportedPathAndForgetMeasuresAgain)
{
    PathChooser c = chooser();
    EXPECT_EQ(ranOn(c, Scheme::Euler), 1);
    EXPECT_EQ(c.supported().size(), 3u);
    fakes[3].supported = true;  // too late: the chooser asked when it was made
    EXPECT_FALSE(c.use("fake3"));
    EXPECT_FALSE(c.use("no such path"));
    EXPECT_EQ(ranOn(c, Scheme::Euler), 1);

    const int runsBefore = allRuns();
    ASSERT_TRUE(c.use("fake2"));
    for (Scheme scheme : kSchemes)
        EXPECT_EQ(ranOn(c, scheme), 2);
    EXPECT_EQ(allRuns() - runsBefore, 3);

    c.forget();
    const int runsBeforeForget = allRuns();
    EXPECT_EQ(ranOn(c, Scheme::Euler), 1);
    EXPECT_GE(allRuns() - runsBeforeForget, 3 + 1);  // each path timed again, then the run
}

TEST_F(PathChoice, OfTwoSupportedPathsTheFasterIsTaken)
{
    fakes[2].supported = false;
    PathChooser c = chooser();
    const int faster[3] = {1, 0, 0};
    for (Scheme scheme : kSchemes)
        EXPECT_EQ(ranOn(c, scheme), faster[int(scheme)]) << schemeName(scheme);
}

TEST_F(PathChoice, OneSupportedPathIsTakenWithoutMeasuring)
{
    fakes[1].supported = fakes[2].supported = false;
    PathChooser c = chooser();
    for (Scheme scheme : kSchemes)
        EXPECT_EQ(ranOn(c, scheme), 0);
    EXPECT_EQ(allRuns(), 3);
}
