// Initial conditions and the conservation statistics.
#include "printed_value.h"
#include "three_bodycalc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

using E = CCalcEngine;

namespace {

struct StartCase {
    const char *name;
    double xp3;
    double factor;
    const char *xp[3];
    const char *vy[3];
};

class SetParamTest : public ::testing::TestWithParam<StartCase> {};

}  // namespace

TEST_P(SetParamTest, PlacesBodiesInTheCentreOfMassFrame)
{
    const StartCase &c = GetParam();
    E::setParam(c.xp3, c.factor);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(MatchesPrinted(E::xp[i], c.xp[i])) << "xp[" << i << "]";
        EXPECT_TRUE(MatchesPrinted(E::vy[i], c.vy[i])) << "vy[" << i << "]";
        EXPECT_EQ(E::yp[i], 0.0);
        EXPECT_EQ(E::vx[i], 0.0);
    }
    EXPECT_EQ(E::time, 0.0);
    EXPECT_EQ(E::factor, c.factor);
    // The centre of mass the bodies were shifted by (the star starts at rest at 0).
    EXPECT_TRUE(E::xg == -E::xp[0] && E::yg == 0 && E::vxg == 0 && E::vyg == -E::vy[0]);
    // The shift leaves zero total momentum.
    const double momentum = E::mp[0] * E::vy[0] + E::mp[1] * E::vy[1] + E::mp[2] * E::vy[2];
    EXPECT_NEAR(momentum, 0.0, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(
    Starts, SetParamTest,
    ::testing::Values(
        StartCase{"Default", 2, 1, {"-0.0015246983", "0.9984753017", "1.9984753017"},
                  {"-0.0011560022", "0.9993212789", "0.7060518527"}},
        // A distance with a fraction: planet 2 starts at 1/sqrt(2.5), less the centre of mass's speed.
        StartCase{"HalfwayDistance", 2.5, 1, {"-0.001667471185", "0.9983325288", "2.498332529"},
                  {"-0.001134682796", "0.9993425983", "0.6314112523"}},
        StartCase{"InsidePlanet1", 0.5, 1, {"-0.001096379733", "0.9989036203", "0.4989036203"},
                  {"-0.001357942369", "0.9991193387", "1.413057767"}},
        // Behind the star: planet 2 circles the other way.
        StartCase{"NegativeDistance", -2, 1, {"-0.0003825154169", "0.9996174846", "-2.000382515"},
                  {"-0.001156002189", "0.9993212789", "0.7060518527"}},
        StartCase{"Massless", 2, 0, {"0", "1", "2"}, {"0", "1", "1"}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SetParam, TouchesNothingButTheBodiesAndTime)
{
    E::nstep = 1234;
    E::count = 7;
    E::dt = 0.5;
    E::dtmin = 0.25;
    E::vp = 3;
    E::am_list[0] = 42;
    E::data_list[0].x[0] = 99;
    E::setParam(2, 1);
    EXPECT_EQ(E::nstep, 1234);
    EXPECT_EQ(E::count, 7);
    EXPECT_EQ(E::dt, 0.5);
    EXPECT_EQ(E::dtmin, 0.25);
    EXPECT_EQ(E::vp, 3.0);
    EXPECT_EQ(E::am_list[0], 42.0);
    EXPECT_EQ(E::data_list[0].x[0], 99.0);
}

TEST(SetParam, DegenerateInputsGiveIeeeValues)
{
    // Planet 2 on the star: infinite speed, every velocity non-finite.
    E::setParam(0, 1);
    EXPECT_TRUE(std::isinf(E::vyg));
    for (double v : E::vy)
        EXPECT_FALSE(std::isfinite(v));

    // A negative factor large enough to make the root for planet 1 negative.
    E::setParam(2, -2000);
    EXPECT_TRUE(std::isnan(E::vy[1]));

    E::setParam(std::numeric_limits<double>::infinity(), 1);
    EXPECT_FALSE(std::isfinite(E::xp[0]));
    E::setParam(std::numeric_limits<double>::quiet_NaN(), 1);
    EXPECT_TRUE(std::isnan(E::xp[2]));
}

TEST(Statistics, PopulationVariancesPerBodyAndOfTheTotalOverTheFirstCountSamples)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::vector<std::array<double, 3>> samples;
        int count;
        std::array<double, 4> variances;
    } table[] = {
        {{{1, 2, 3}, {3, 2, 1}}, 2, {1, 0, 1, 0}},
        {{{0.5, 7, -3}}, 1, {0, 0, 0, 0}},
        {{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}, 4, {1.25, 0, 0, 1.25}},  // divisor n, not n - 1
        {{{1, 1, 1}, {1, 1, 1}, {50, -9, 1e9}}, 2, {0, 0, 0, 0}},               // only the first count
        {{}, 0, {nan, nan, nan, nan}},
    };
    for (const auto &row : table) {
        for (size_t n = 0; n < row.samples.size(); ++n)
            std::copy(row.samples[n].begin(), row.samples[n].end(), E::data_list[n].am);
        E::count = row.count;
        E::CalcStDeviation();
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(std::isnan(row.variances[i]) ? std::isnan(E::am_list[i]) : E::am_list[i] == row.variances[i])
                << "variance " << i << " of " << row.count << " samples: " << E::am_list[i];
    }
}
