// Physical soundness of the schemes over a whole default-length run.
#include "three_bodycalc.h"

#include <gtest/gtest.h>

#include <cmath>

using E = CCalcEngine;

namespace {

double totalEnergy()
{
    double kinetic = 0;
    for (int i = 0; i < 3; ++i)
        kinetic += 0.5 * E::mp[i] * (E::vx[i] * E::vx[i] + E::vy[i] * E::vy[i]);
    double potential = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            potential -= E::mp[i] * E::mp[j] / std::hypot(E::xp[i] - E::xp[j], E::yp[i] - E::yp[j]);
    return kinetic + potential;
}

double relativeEnergyDrift(CCalcEngine &&engine)
{
    E::setParam(2, 1);
    const double before = totalEnergy();
    E::nstep = 1000000;
    engine.Calculation();
    return std::fabs((totalEnergy() - before) / before);
}

}  // namespace

TEST(EnergyConservation, RungeKutta4IsTheMostAccurateScheme)
{
    const double rk4 = relativeEnergyDrift(CThreeBodyRK4());
    const double midpoint = relativeEnergyDrift(CThreeBodyRK2());
    const double euler = relativeEnergyDrift(CThreeBodyEuler());
    EXPECT_LT(rk4, 1e-8);
    EXPECT_LT(rk4 * 1000, midpoint);
    EXPECT_LT(midpoint, euler);
}
