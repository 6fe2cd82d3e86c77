#include "three_bodycalc.h"

#include "simd_path.h"

#include <cmath>

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
DATA_LIST CCalcEngine::data_list[CCalcEngine::kMaxSamples] = {};

CCalcEngine::CCalcEngine() : pi(3.1415926535898)
{
    nstep = 1000000;
    maxtime = 300000;
}

void CCalcEngine::Calculation() {}

void CCalcEngine::setParam(double xp3, double factor_)
{
    factor = factor_;
    time = 0;

    xp[0] = 0;
    xp[1] = 1;
    xp[2] = xp3;
    yp[0] = yp[1] = yp[2] = 0;
    vx[0] = vx[1] = vx[2] = 0;
    vy[0] = 0;

    mp[0] = 1;
    mp[1] = factor_ * 0.00095479;
    mp[2] = factor_ * 0.0002859;

    // Circular speed about the star for the planet's real distance.
    vy[1] = std::sqrt(mp[0] + mp[1]) / std::sqrt(std::fabs(xp[1]));
    vy[2] = std::sqrt(mp[0] + mp[2]) / std::sqrt(std::fabs(xp[2]));

    double m = 0, sx = 0, sy = 0, svx = 0, svy = 0;
    for (int i = 0; i < 3; ++i) {
        m += mp[i];
        sx += mp[i] * xp[i];
        sy += mp[i] * yp[i];
        svx += mp[i] * vx[i];
        svy += mp[i] * vy[i];
    }
    xg = sx / m;
    yg = sy / m;
    vxg = svx / m;
    vyg = svy / m;

    for (int i = 0; i < 3; ++i) {
        xp[i] -= xg;
        yp[i] -= yg;
        vx[i] -= vxg;
        vy[i] -= vyg;
    }
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

void CThreeBodyEuler::Calculation()
{
    threebody::runPasses(threebody::activePath(threebody::Scheme::Euler), threebody::Scheme::Euler, pi);
    CalcStDeviation();
}

void CThreeBodyRK2::Calculation()
{
    threebody::runPasses(threebody::activePath(threebody::Scheme::Midpoint), threebody::Scheme::Midpoint, pi);
    CalcStDeviation();
}

void CThreeBodyRK4::Calculation()
{
    threebody::runPasses(threebody::activePath(threebody::Scheme::RungeKutta4), threebody::Scheme::RungeKutta4, pi);
    CalcStDeviation();
}
