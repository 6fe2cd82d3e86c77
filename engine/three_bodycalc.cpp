#include "three_bodycalc.h"

#include <cmath>
#include <cstring>

int CCalcEngine::maxtime = 0;
int CCalcEngine::nstep = 0;
int CCalcEngine::count = 0;
double CCalcEngine::dtmin = 0;
double CCalcEngine::dt = 0;
double CCalcEngine::time = 0;
double CCalcEngine::xp[3] = {};
double CCalcEngine::yp[3] = {};
double CCalcEngine::vx[3] = {};
double CCalcEngine::vy[3] = {};
double CCalcEngine::mp[3] = {};
double CCalcEngine::xg = 0;
double CCalcEngine::yg = 0;
double CCalcEngine::vxg = 0;
double CCalcEngine::vyg = 0;
double CCalcEngine::vp = 0;
double CCalcEngine::am_list[4] = {};
double CCalcEngine::factor = 0;
DATA_LIST CCalcEngine::data_list[threebody::kMaxSamples] = {};

namespace threebody {

Start startOf(double xp3, double factor)
{
    Start s{};
    s.xp[0] = 0;
    s.xp[1] = kPlanet1Distance;
    s.xp[2] = xp3;

    s.mp[0] = kStarMass;
    s.mp[1] = factor * kPlanet1Mass;
    s.mp[2] = factor * kPlanet2Mass;

    // Circular speed about the star for the planet's real distance.
    s.vy[1] = std::sqrt(s.mp[0] + s.mp[1]) / std::sqrt(std::fabs(s.xp[1]));
    s.vy[2] = std::sqrt(s.mp[0] + s.mp[2]) / std::sqrt(std::fabs(s.xp[2]));

    double m = 0, sx = 0, sy = 0, svx = 0, svy = 0;
    for (int i = 0; i < 3; ++i) {
        m += s.mp[i];
        sx += s.mp[i] * s.xp[i];
        sy += s.mp[i] * s.yp[i];
        svx += s.mp[i] * s.vx[i];
        svy += s.mp[i] * s.vy[i];
    }
    s.xg = sx / m;
    s.yg = sy / m;
    s.vxg = svx / m;
    s.vyg = svy / m;

    for (int i = 0; i < 3; ++i) {
        s.xp[i] -= s.xg;
        s.yp[i] -= s.yg;
        s.vx[i] -= s.vxg;
        s.vy[i] -= s.vyg;
    }
    return s;
}

RunState runFrom(const Start &start, int nstep, DATA_LIST *samples, int capacity)
{
    RunState r{};
    std::memcpy(r.xp, start.xp, sizeof r.xp);
    std::memcpy(r.yp, start.yp, sizeof r.yp);
    std::memcpy(r.vx, start.vx, sizeof r.vx);
    std::memcpy(r.vy, start.vy, sizeof r.vy);
    std::memcpy(r.mp, start.mp, sizeof r.mp);
    r.nstep = nstep;
    r.samples = samples;
    r.capacity = capacity;
    return r;
}

}  // namespace threebody

CCalcEngine::CCalcEngine() : pi(threebody::kPi)
{
    nstep = threebody::kStartNstep;
    maxtime = 300000;
}

void CCalcEngine::Calculation() {}

void CCalcEngine::setParam(double xp3, double factor_)
{
    const threebody::Start s = threebody::startOf(xp3, factor_);
    factor = factor_;
    time = 0;
    std::memcpy(xp, s.xp, sizeof xp);
    std::memcpy(yp, s.yp, sizeof yp);
    std::memcpy(vx, s.vx, sizeof vx);
    std::memcpy(vy, s.vy, sizeof vy);
    std::memcpy(mp, s.mp, sizeof mp);
    xg = s.xg;
    yg = s.yg;
    vxg = s.vxg;
    vyg = s.vyg;
}

threebody::RunState CCalcEngine::runState()
{
    threebody::RunState r{};
    std::memcpy(r.xp, xp, sizeof r.xp);
    std::memcpy(r.yp, yp, sizeof r.yp);
    std::memcpy(r.vx, vx, sizeof r.vx);
    std::memcpy(r.vy, vy, sizeof r.vy);
    std::memcpy(r.mp, mp, sizeof r.mp);
    r.time = time;
    r.dt = dt;
    r.dtmin = dtmin;
    r.vp = vp;
    r.nstep = nstep;
    r.count = count;
    r.samples = data_list;
    r.capacity = threebody::kMaxSamples;
    return r;
}

void CCalcEngine::setRunState(const threebody::RunState &r)
{
    std::memcpy(xp, r.xp, sizeof xp);
    std::memcpy(yp, r.yp, sizeof yp);
    std::memcpy(vx, r.vx, sizeof vx);
    std::memcpy(vy, r.vy, sizeof vy);
    std::memcpy(mp, r.mp, sizeof mp);
    time = r.time;
    dt = r.dt;
    dtmin = r.dtmin;
    vp = r.vp;
    nstep = r.nstep;
    count = r.count;
}

void CCalcEngine::CalcStDeviation()
{
    const double n = count;
    double s0 = 0, s1 = 0, s2 = 0;
    for (int i = 0; i < count; ++i) {
        s0 += data_list[i].am[0];
        s1 += data_list[i].am[1];
        s2 += data_list[i].am[2];
    }
    const double m0 = s0 / n;
    const double m1 = s1 / n;
    const double m2 = s2 / n;
    const double mt = ((s0 + s1) + s2) / n;

    double q0 = 0, q1 = 0, q2 = 0, qt = 0;
    for (int i = 0; i < count; ++i) {
        const double *am = data_list[i].am;
        const double d0 = m0 - am[0];
        const double d1 = m1 - am[1];
        const double d2 = m2 - am[2];
        const double dt_ = mt - ((am[0] + am[1]) + am[2]);
        q0 += d0 * d0;
        q1 += d1 * d1;
        q2 += d2 * d2;
        qt += dt_ * dt_;
    }
    am_list[0] = q0 / n;
    am_list[1] = q1 / n;
    am_list[2] = q2 / n;
    am_list[3] = qt / n;
}

void CCalcEngine::run(threebody::Scheme scheme)
{
    threebody::RunState state = runState();
    threebody::enginePaths().run(scheme, pi, state);
    setRunState(state);
    CalcStDeviation();
}

void CThreeBodyEuler::Calculation() { run(threebody::Scheme::Euler); }

void CThreeBodyRK2::Calculation() { run(threebody::Scheme::Midpoint); }

void CThreeBodyRK4::Calculation() { run(threebody::Scheme::RungeKutta4); }
