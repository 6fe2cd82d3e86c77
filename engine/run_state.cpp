#include "run_state.h"

#include "constants.h"

#include <cmath>

namespace threebody {

Start startOf(double xp3, double factor)
{
    Start s{};
    Bodies &b = s.bodies;
    b.xp[0] = 0;
    b.xp[1] = kPlanet1Distance;
    b.xp[2] = xp3;

    b.mp[0] = kStarMass;
    b.mp[1] = factor * kPlanet1Mass;
    b.mp[2] = factor * kPlanet2Mass;

    // Circular speed about the star for the planet's real distance.
    b.vy[1] = std::sqrt(b.mp[0] + b.mp[1]) / std::sqrt(std::fabs(b.xp[1]));
    b.vy[2] = std::sqrt(b.mp[0] + b.mp[2]) / std::sqrt(std::fabs(b.xp[2]));

    double m = 0, sx = 0, sy = 0, svx = 0, svy = 0;
    for (int i = 0; i < 3; ++i) {
        m += b.mp[i];
        sx += b.mp[i] * b.xp[i];
        sy += b.mp[i] * b.yp[i];
        svx += b.mp[i] * b.vx[i];
        svy += b.mp[i] * b.vy[i];
    }
    s.xg = sx / m;
    s.yg = sy / m;
    s.vxg = svx / m;
    s.vyg = svy / m;

    for (int i = 0; i < 3; ++i) {
        b.xp[i] -= s.xg;
        b.yp[i] -= s.yg;
        b.vx[i] -= s.vxg;
        b.vy[i] -= s.vyg;
    }
    return s;
}

RunState beforeFirstPass(const Start &start, int nstep, DATA_LIST *samples, int capacity)
{
    return RunState{start.bodies, 0, 0, 0, 0, nstep, 0, samples, capacity};
}

}  // namespace threebody
