// Every vectorised path against the plain pair-by-pair evaluation: every
// state value and every sample must be the same double, bit for bit.
// (Any NaN matches any NaN: IEEE 754 leaves a NaN result's sign and payload
// open, and compilers may pick either operand's.)
#include "plain_passes.h"
#include "simd_path.h"
#include "three_bodycalc.h"

#include <gtest/gtest.h>


#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using E = CCalcEngine;
using threebody::Scheme;
using threebody::SimdPath;

namespace {

const double kPi = 3.1415926535898;
const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

struct Start {
    std::string name;
    double xp[3], yp[3], vx[3], vy[3], mp[3];
};

// Everything a run writes, for comparison.
struct Outcome {
    std::vector<double> values;
    int count = 0;
};

void apply(const Start &s)
{
    std::memcpy(E::xp, s.xp, sizeof E::xp);
    std::memcpy(E::yp, s.yp, sizeof E::yp);
    std::memcpy(E::vx, s.vx, sizeof E::vx);
    std::memcpy(E::vy, s.vy, sizeof E::vy);
    std::memcpy(E::mp, s.mp, sizeof E::mp);
    E::time = 0.25;
    E::dtmin = -7;  // kept when no pass runs
    E::vp = -9;
}

Outcome collect()
{
    Outcome o;
    for (const double *a : {E::xp, E::yp, E::vx, E::vy})
        o.values.insert(o.values.end(), a, a + 3);
    o.values.insert(o.values.end(), {E::time, E::dt, E::dtmin, E::vp});
    o.count = E::count;
    for (int i = 0; i < E::count; ++i) {
        const DATA_LIST &d = E::data_list[i];
        for (const double *a : {d.x, d.y, d.am})
            o.values.insert(o.values.end(), a, a + 3);
    }
    return o;
}

bool sameDouble(double a, double b)
{
    if (std::isnan(a) && std::isnan(b))
        return true;
    std::uint64_t ia, ib;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    return ia == ib;
}

::testing::AssertionResult sameOutcome(const Outcome &want, const Outcome &got)
{
    if (want.count != got.count)
        return ::testing::AssertionFailure() << "count " << got.count << " instead of " << want.count;
    for (size_t i = 0; i < want.values.size(); ++i)
        if (!sameDouble(want.values[i], got.values[i]))
            return ::testing::AssertionFailure()
                   << "value " << i << ": " << got.values[i] << " instead of " << want.values[i];
    return ::testing::AssertionSuccess();
}

Start fromSetParam(const std::string &name, double xp3, double factor)
{
    E::setParam(xp3, factor);
    Start s{name, {}, {}, {}, {}, {}};
    std::memcpy(s.xp, E::xp, sizeof s.xp);
    std::memcpy(s.yp, E::yp, sizeof s.yp);
    std::memcpy(s.vx, E::vx, sizeof s.vx);
    std::memcpy(s.vy, E::vy, sizeof s.vy);
    std::memcpy(s.mp, E::mp, sizeof s.mp);
    return s;
}

std::vector<Start> startingStates()
{
    std::vector<Start> starts = {
        fromSetParam("default", 2, 1),
        fromSetParam("inside planet 1", 0.5, 1),
        fromSetParam("retrograde", -2, 1),
        fromSetParam("planet 2 on planet 1", 1, 1),
        fromSetParam("planet 2 on the star", 0, 1),
        fromSetParam("massless", 2, 0),
        fromSetParam("negative masses", 2, -3),
        fromSetParam("zero total mass", 2, -1 / (0.00095479 + 0.0002859)),
        fromSetParam("far away", 1e150, 1),
        fromSetParam("infinite", inf, 1),
        fromSetParam("NaN", nan, 1),
        {"all at rest", {-1, 0, 1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}},
        {"signed zeros", {-0.0, 0.0, -0.0}, {0.0, -0.0, 1}, {-0.0, 0.0, 0.5}, {0.0, -0.0, -0.0}, {1, 0.5, -0.0}},
        {"two at rest together", {0, 1, 1}, {0, 0, 0}, {0, 0.3, 0.3}, {0, 1, 1}, {1, 1e-3, 1e-3}},
        {"all on one spot", {0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}, {1, -1, 0}, {0, 0, 0}, {1, 1, 1}},
        {"negative zero mass", {0, 1, 2}, {0, 0, 0}, {0, 0, 0}, {0, 1, 0.7}, {-0.0, -0.0, -0.0}},
        {"infinite speed", {0, 1, 2}, {0, 0, 0}, {0, 0, 0}, {0, inf, -inf}, {1, 1e-3, 1e-3}},
        {"NaN speed of one", {0, 1, 2}, {0, 0, 0}, {nan, 0, 0}, {0, 1, 0.7}, {1, 1e-3, 1e-3}},
        {"NaN position of one", {0, nan, 2}, {0, 0, -nan}, {0, 0, 0}, {0, 1, 0.7}, {1, 1e-3, 1e-3}},
        {"huge and tiny", {0, 1e-300, 1e300}, {0, 4e-320, -1e-310}, {1e-300, 0, 1e200}, {0, 1, 1e-200}, {1, 1e300, 1e-300}},
    };
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> position(-3, 3), speed(-1.5, 1.5), mass(-0.05, 1.2);
    for (int i = 0; i < 40; ++i) {
        Start s{"random " + std::to_string(i), {}, {}, {}, {}, {}};
        for (int b = 0; b < 3; ++b) {
            s.xp[b] = position(random);
            s.yp[b] = position(random);
            s.vx[b] = speed(random);
            s.vy[b] = speed(random);
            s.mp[b] = mass(random);
        }
        starts.push_back(s);
    }
    return starts;
}

std::vector<SimdPath> runnablePaths()
{
    std::vector<SimdPath> paths;
    for (SimdPath p : threebody::kPaths)
        if (threebody::pathSupported(p))
            paths.push_back(p);
    return paths;
}

const Scheme kSchemes[] = {Scheme::Euler, Scheme::Midpoint, Scheme::RungeKutta4};
const char *kSchemeNames[] = {"Euler", "midpoint", "fourth order"};

void expectAllPathsMatchPlain(const Start &start, int nstep)
{
    for (Scheme scheme : kSchemes) {
        E::nstep = nstep;
        apply(start);
        reference::runPlainPasses(scheme, kPi);
        const Outcome want = collect();
        for (SimdPath path : runnablePaths()) {
            apply(start);
            threebody::runPasses(path, scheme, kPi);
            EXPECT_TRUE(sameOutcome(want, collect()))
                << start.name << ", " << kSchemeNames[int(scheme)] << ", " << threebody::pathName(path)
                << ", nstep " << nstep;
        }
    }
}

}  // namespace

// Each scheme runs a path that this processor has, measured once and kept.
TEST(Paths, EachSchemeRunsASupportedPathItKeeps)
{
    const auto paths = runnablePaths();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.front(), SimdPath::Baseline);
    threebody::choosePathsAgain();
    E::setParam(0.5, 3);
    E::nstep = 77;
    E::count = 1;
    const Outcome before = collect();
    for (Scheme scheme : kSchemes) {
        const SimdPath path = threebody::activePath(scheme);
        EXPECT_TRUE(threebody::pathSupported(path)) << threebody::pathName(path);
        // The measurement leaves the engine's state as it found it.
        EXPECT_TRUE(sameOutcome(before, collect()));
        EXPECT_EQ(E::nstep, 77);
        for (int again = 0; again < 3; ++again)
            EXPECT_EQ(threebody::activePath(scheme), path);
    }
}

TEST(Paths, EveryPathMatchesThePlainEvaluationBitForBit)
{
    for (const Start &start : startingStates())
        expectAllPathsMatchPlain(start, 20003);
}

TEST(Paths, RunLengthsAroundTheSamplingBoundaries)
{
    const Start start = fromSetParam("default", 2, 1);
    for (int nstep : {-5, 0, 1, 2, 3, 10001, 10002})
        expectAllPathsMatchPlain(start, nstep);
}

TEST(Paths, TheDefaultRunMatchesToTheEnd)
{
    expectAllPathsMatchPlain(fromSetParam("default", 2, 1), 1000000);
}

TEST(Paths, CalculationUsesTheChosenPath)
{
    // The results agree on every path; what must hold is that each one runs.
    for (SimdPath path : runnablePaths()) {
        threebody::usePath(path);
        for (Scheme scheme : kSchemes)
            EXPECT_EQ(threebody::activePath(scheme), path);
        CThreeBodyRK4 engine;
        E::setParam(2, 1);
        E::nstep = 2;
        engine.Calculation();
        EXPECT_EQ(E::count, 1);
        EXPECT_EQ(threebody::lastPathRun(), path) << threebody::pathName(path);
    }
    // What ran, not what is chosen.
    for (SimdPath chosen : runnablePaths()) {
        threebody::usePath(chosen);
        for (SimdPath path : runnablePaths()) {
            threebody::runPasses(path, Scheme::Euler, kPi);
            EXPECT_EQ(threebody::lastPathRun(), path) << threebody::pathName(path) << " chosen "
                                                      << threebody::pathName(chosen);
        }
    }
}

// The test command runs this also under qemu-x86_64 on a processor without
// AVX2, naming in THREEBODY_EXPECT_MISSING (comma-separated) the paths that
// the processor must lack; the fuzzer asks for every path wherever it runs.
TEST(Paths, APathTheProcessorLacksRunsTheBaseline)
{
    const std::string missing = std::getenv("THREEBODY_EXPECT_MISSING") ? std::getenv("THREEBODY_EXPECT_MISSING") : "";
    const Start start = fromSetParam("default", 2, 1);
    E::nstep = 20003;
    apply(start);
    reference::runPlainPasses(Scheme::Midpoint, kPi);
    const Outcome want = collect();
    for (SimdPath path : threebody::kPaths) {
        const bool supported = threebody::pathSupported(path);
        const std::string name = threebody::pathName(path);
        if (("," + missing + ",").find("," + name + ",") != std::string::npos) {
            ASSERT_FALSE(supported) << "this processor has " << name << ": the fallback is not tested";
        }
        apply(start);
        threebody::runPasses(path, Scheme::Midpoint, kPi);
        EXPECT_TRUE(sameOutcome(want, collect())) << name;
        EXPECT_EQ(threebody::lastPathRun(), supported ? path : SimdPath::Baseline) << name;
        // Nor can it be chosen.
        threebody::usePath(SimdPath::Baseline);
        threebody::usePath(path);
        EXPECT_EQ(threebody::activePath(Scheme::Midpoint), supported ? path : SimdPath::Baseline) << name;
    }
    threebody::choosePathsAgain();
}
