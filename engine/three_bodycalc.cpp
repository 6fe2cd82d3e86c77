#include "three_bodycalc.h"

#include "simd_path.h"

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
    bodies = s.bodies;
    xg = s.xg;
    yg = s.yg;
    vxg = s.vxg;
    vyg = s.vyg;
}

threebody::RunState CCalcEngine::runState()
{
    return threebody::RunState{bodies, time, dt, dtmin, vp, nstep, count, data_list, threebody::kMaxSamples};
}

void CCalcEngine::setRunState(const threebody::RunState &r)
{
    bodies = r.bodies;
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
    state.pi = pi;
    threebody::enginePaths().run(scheme, state);
    setRunState(state);
    CalcStDeviation();
}

void CThreeBodyEuler::Calculation() { run(threebody::Scheme::Euler); }

void CThreeBodyRK2::Calculation() { run(threebody::Scheme::Midpoint); }

void CThreeBodyRK4::Calculation() { run(threebody::Scheme::RungeKutta4); }
