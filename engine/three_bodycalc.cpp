#include "three_bodycalc.h"

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

namespace {

using E = CCalcEngine;

// Acceleration sums of the three bodies from one gravity evaluation.
struct Sums {
    double x[3];
    double y[3];
};

// Gravity at positions px, py: every ordered pair (source j outer, target b
// inner) by itself, rows summed from zero in body order. With Search it is
// stage 1 of a pass and also lowers dtmin by each pair's distance/speed ratio.
template <bool Search>
inline Sums gravity(const double px[3], const double py[3])
{
    double ax[3][3];
    double ay[3][3];
    for (int j = 0; j < 3; ++j) {
        for (int b = 0; b < 3; ++b) {
            if (b == j) {
                ax[b][b] = 0;
                ay[b][b] = 0;
                continue;
            }
            const double dx = px[b] - px[j];
            const double dy = py[b] - py[j];
            const double r = std::sqrt(dx * dx + dy * dy);
            const double f = -E::mp[j] / (r * r);
            ax[b][j] = (dx * f) / r;
            ay[b][j] = (dy * f) / r;
            if (Search) {
                const double dvx = E::vx[b] - E::vx[j];
                const double dvy = E::vy[b] - E::vy[j];
                const double v = std::sqrt(dvx * dvx + dvy * dvy);
                E::vp = v;
                // Strict "<": NaN and +inf ratios never become the step.
                if (r / v < E::dtmin)
                    E::dtmin = r / v;
            }
        }
    }
    Sums s;
    for (int b = 0; b < 3; ++b) {
        s.x[b] = ((0.0 + ax[b][0]) + ax[b][1]) + ax[b][2];
        s.y[b] = ((0.0 + ay[b][0]) + ay[b][1]) + ay[b][2];
    }
    return s;
}

// Explicit Euler: positions move with the start velocities.
struct EulerStep {
    static void update(const Sums &s1)
    {
        const double dt = E::dt;
        for (int b = 0; b < 3; ++b) {
            E::xp[b] = (dt * E::vx[b]) + E::xp[b];
            E::yp[b] = (dt * E::vy[b]) + E::yp[b];
            E::vx[b] = E::vx[b] + (s1.x[b] * dt);
            E::vy[b] = E::vy[b] + (s1.y[b] * dt);
        }
    }
};

// Midpoint: advance with the velocity and acceleration at the half step.
struct MidpointStep {
    static void update(const Sums &s1)
    {
        const double dt = E::dt;
        const double h = 0.5 * dt;
        double xh[3], yh[3], vxh[3], vyh[3];
        for (int b = 0; b < 3; ++b) {
            xh[b] = (E::vx[b] * h) + E::xp[b];
            yh[b] = (E::vy[b] * h) + E::yp[b];
            vxh[b] = E::vx[b] + (s1.x[b] * h);
            vyh[b] = E::vy[b] + (s1.y[b] * h);
        }
        const Sums s2 = gravity<false>(xh, yh);
        for (int b = 0; b < 3; ++b) {
            E::xp[b] = (dt * vxh[b]) + E::xp[b];
            E::yp[b] = (dt * vyh[b]) + E::yp[b];
            E::vx[b] = (s2.x[b] * dt) + E::vx[b];
            E::vy[b] = (s2.y[b] * dt) + E::vy[b];
        }
    }
};

// Classical fourth-order Runge-Kutta on (position, velocity).
struct RungeKutta4Step {
    static void update(const Sums &s1)
    {
        const double dt = E::dt;
        const double h = 0.5 * dt;
        double qx[3], qy[3];
        double v2x[3], v2y[3], v3x[3], v3y[3], v4x[3], v4y[3];

        // k2 = f(x + h k1)
        for (int b = 0; b < 3; ++b) {
            qx[b] = (E::vx[b] * h) + E::xp[b];
            qy[b] = (E::vy[b] * h) + E::yp[b];
            v2x[b] = (s1.x[b] * h) + E::vx[b];
            v2y[b] = (s1.y[b] * h) + E::vy[b];
        }
        const Sums s2 = gravity<false>(qx, qy);

        // k3 = f(x + h k2)
        for (int b = 0; b < 3; ++b) {
            qx[b] = (v2x[b] * h) + E::xp[b];
            qy[b] = (v2y[b] * h) + E::yp[b];
            v3x[b] = (s2.x[b] * h) + E::vx[b];
            v3y[b] = (s2.y[b] * h) + E::vy[b];
        }
        const Sums s3 = gravity<false>(qx, qy);

        // k4 = f(x + dt k3)
        for (int b = 0; b < 3; ++b) {
            qx[b] = (v3x[b] * dt) + E::xp[b];
            qy[b] = (v3y[b] * dt) + E::yp[b];
            v4x[b] = (s3.x[b] * dt) + E::vx[b];
            v4y[b] = (s3.y[b] * dt) + E::vy[b];
        }
        const Sums s4 = gravity<false>(qx, qy);

        // x += dt (k1 + 2 k2 + 2 k3 + k4) / 6, weights as divisions
        for (int b = 0; b < 3; ++b) {
            const double vx0 = E::vx[b];
            const double vy0 = E::vy[b];
            E::xp[b] = ((((vx0 / 6) + (v2x[b] / 3)) + (v3x[b] / 3)) + (v4x[b] / 6)) * dt + E::xp[b];
            E::yp[b] = ((((vy0 / 6) + (v2y[b] / 3)) + (v3y[b] / 3)) + (v4y[b] / 6)) * dt + E::yp[b];
            E::vx[b] = ((((s1.x[b] / 6) + (s2.x[b] / 3)) + (s3.x[b] / 3)) + (s4.x[b] / 6)) * dt + vx0;
            E::vy[b] = ((((s1.y[b] / 6) + (s2.y[b] / 3)) + (s3.y[b] / 3)) + (s4.y[b] / 6)) * dt + vy0;
        }
    }
};

void takeSample(DATA_LIST &d)
{
    for (int c = 0; c < 3; ++c) {
        d.x[c] = E::xp[c];
        d.y[c] = E::yp[c];
        d.am[c] = std::sqrt(E::xp[c] * E::xp[c] + E::yp[c] * E::yp[c]) *
                  std::sqrt(E::vx[c] * E::vx[c] + E::vy[c] * E::vy[c]);
    }
}

}  // namespace

template <class Step>
void CCalcEngine::runWith()
{
    dt = 0;
    count = 0;
    // nstep - 1 passes; k never overflows since it stops at nstep.
    for (int k = 1; k < nstep; ++k) {
        dtmin = 1e11;
        const Sums s1 = gravity<true>(xp, yp);
        dt = ((pi + pi) * dtmin) * 0.001001;
        Step::update(s1);
        time = time + dt;
        if (k % kSampleEvery == 1 && count < kMaxSamples) {
            takeSample(data_list[count]);
            ++count;
        }
    }
    CalcStDeviation();
}

void CThreeBodyEuler::Calculation() { runWith<EulerStep>(); }
void CThreeBodyRK2::Calculation() { runWith<MidpointStep>(); }
void CThreeBodyRK4::Calculation() { runWith<RungeKutta4Step>(); }
