// The run loop: step size, one pass of each scheme, sampling, continuation
// and the largest step (the fingerprint pins degenerate runs' results).
#include "engine_state.h"
#include "printed_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using E = CCalcEngine;
using threebody::kSchemes;
using threebody::Scheme;

TEST(OnePass, EachSchemeTakesTheSameStepAndMovesPlanet1AsExpected)
{
    struct Expected {
        Scheme scheme;
        const char *xp1, *yp1, *vx1, *vy1;
    };
    const Expected table[] = {
        {Scheme::Euler, "0.9984753017", "0.006282201322", "-0.006284670779", "0.9993212789"},
        {Scheme::Midpoint, "0.9984555475", "0.006282201322", "-0.006284577529", "0.9993015083"},
        {Scheme::RungeKutta4, "0.9984555476", "0.006282159892", "-0.006284629336", "0.9993015080"},
    };
    for (const Expected &e : table) {
        SCOPED_TRACE(schemeName(e.scheme));
        runEngine(e.scheme, 2);
        EXPECT_TRUE(MatchesPrinted(E::dtmin, "0.9995229466"));
        EXPECT_TRUE(MatchesPrinted(E::dt, "0.006286468080"));
        EXPECT_EQ(E::time, E::dt);
        EXPECT_TRUE(MatchesPrinted(E::xp[1], e.xp1));
        EXPECT_TRUE(MatchesPrinted(E::yp[1], e.yp1));
        EXPECT_TRUE(MatchesPrinted(E::vx[1], e.vx1));
        EXPECT_TRUE(MatchesPrinted(E::vy[1], e.vy1));
        // The one sample holds the state after the pass, and each body's |r| |v|.
        ASSERT_EQ(E::count, 1);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(E::data_list[0].x[c], E::xp[c]);
            EXPECT_EQ(E::data_list[0].y[c], E::yp[c]);
            EXPECT_EQ(E::data_list[0].am[c], std::sqrt(E::xp[c] * E::xp[c] + E::yp[c] * E::yp[c]) *
                                                 std::sqrt(E::vx[c] * E::vx[c] + E::vy[c] * E::vy[c]));
        }
    }
}

TEST(NoPass, NstepOfOneOrLessLeavesTheStateAlone)
{
    for (Scheme s : kSchemes) {
        for (int nstep : {1, 0, -1, std::numeric_limits<int>::min()}) {
            SCOPED_TRACE(std::string(schemeName(s)) + " nstep " + std::to_string(nstep));
            const auto engine = engineFor(s);
            E::setParam(2, 1);
            E::time = 3.5, E::dt = 9, E::dtmin = 0.125, E::vp = 0.25;
            E::data_list[0].x[0] = 77;
            E::nstep = nstep;
            // Only dt and count are reset; no sample, so every variance is NaN.
            Outcome expected = Outcome::ofEngine();
            expected.state.dt = 0;
            expected.state.count = 0;
            expected.samples.clear();
            std::fill(std::begin(expected.am_list), std::end(expected.am_list), std::nan(""));
            engine->Calculation();
            EXPECT_EQ(expected.differenceTo(Outcome::ofEngine()), "");
            EXPECT_EQ(E::data_list[0].x[0], 77.0);
        }
    }
}

TEST(Sampling, OneSampleEveryTenThousandPassesFromTheFirst)
{
    const struct {
        int nstep;
        int samples;
    } table[] = {{2, 1}, {3, 1}, {10001, 1}, {10002, 2}, {20001, 2}, {20002, 3}, {1000000, 100}};
    for (const auto &row : table) {
        SCOPED_TRACE(row.nstep);
        E::data_list[row.samples].x[0] = -123;  // must survive the run
        runEngine(Scheme::Euler, row.nstep);
        EXPECT_EQ(E::count, row.samples);
        EXPECT_EQ(E::data_list[row.samples].x[0], -123.0);
    }
}

TEST(Continuation, ASecondRunGoesOnFromTheFirst)
{
    for (Scheme s : kSchemes) {
        SCOPED_TRACE(schemeName(s));
        Outcome whole = runEngine(s, 20002);  // 20001 passes

        runEngine(s, 10001);  // 10000 passes ...
        const auto engine = engineFor(s);
        E::nstep = 10002;  // ... then 10001 more, without setParam
        engine->Calculation();
        // The same state; counting restarted, so the samples are the last two.
        whole.samples.erase(whole.samples.begin());
        whole.state.count = 2;
        std::copy(E::am_list, E::am_list + 4, whole.am_list);
        EXPECT_EQ(whole.differenceTo(Outcome::ofEngine()), "");
    }
}

TEST(BaseEngine, CalculationChangesNothing)
{
    const Outcome before = runEngine(Scheme::Midpoint, 30000);
    CCalcEngine base;
    E::nstep = 30000;
    base.Calculation();
    EXPECT_EQ(before.differenceTo(Outcome::ofEngine()), "");
}

TEST(StartupRun, MidpointFromTheDefaultStart)
{
    runEngine(Scheme::Midpoint, threebody::kStartNstep);
    EXPECT_EQ(E::count, 100);
    EXPECT_TRUE(MatchesPrinted(E::time, "6286.1"));
    EXPECT_TRUE(MatchesPrinted(E::am_list[0], "2.6085e-13"));
    EXPECT_TRUE(MatchesPrinted(E::am_list[1], "2.8916e-07"));
    EXPECT_TRUE(MatchesPrinted(E::am_list[2], "1.6734e-08"));
    EXPECT_TRUE(MatchesPrinted(E::am_list[3], "3.2976e-07"));

    // Planet 1, seen from the star, moves on by about 3.62 degrees a sample.
    auto angle = [](int s) {
        const DATA_LIST &d = E::data_list[s];
        return std::atan2(d.y[1] - d.y[0], d.x[1] - d.x[0]);
    };
    const double fullPi = std::acos(-1.0);
    for (int s = 1; s < 100; ++s) {
        double step = angle(s) - angle(s - 1);
        if (step < 0)
            step += 2 * fullPi;
        EXPECT_NEAR(step * 180 / fullPi, 3.62, 0.01) << "sample " << s;
    }
    // Fourth order takes other steps to about the same time.
    EXPECT_TRUE(MatchesPrinted(runEngine(Scheme::RungeKutta4, threebody::kStartNstep).state.time, "6284.998945"));
    EXPECT_EQ(E::count, 100);
}

TEST(DegenerateInputs, BodiesAtRestGiveTheLargestStep)
{
    E::setParam(2, 1);
    for (int c = 0; c < 3; ++c)
        E::vx[c] = E::vy[c] = 0;
    CThreeBodyEuler euler;
    E::nstep = 2;
    euler.Calculation();
    EXPECT_EQ(E::dtmin, threebody::kLargestRatio);
    EXPECT_TRUE(MatchesPrinted(E::dt, "628946849.2"));
}
