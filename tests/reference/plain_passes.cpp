// The plain evaluation of the passes: every ordered pair by itself, one
// double at a time, in the order the engine's arithmetic is defined. It is
// the yardstick for the engine's vectorised paths, in tests and benchmark.
#include "plain_passes.h"

#include "three_bodycalc.h"

#include <cmath>

namespace reference {

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



template <class Step>
void runLoop(double pi)
{
    E::dt = 0;
    E::count = 0;
    for (int k = 1; k < E::nstep; ++k) {
        E::dtmin = 1e11;
        const Sums s1 = gravity<true>(E::xp, E::yp);
        E::dt = ((pi + pi) * E::dtmin) * 0.001001;
        Step::update(s1);
        E::time = E::time + E::dt;
        if (k % E::kSampleEvery == 1 && E::count < E::kMaxSamples) {
            takeSample(E::data_list[E::count]);
            ++E::count;
        }
    }
}

void runPlainPasses(threebody::Scheme scheme, double pi)
{
    switch (scheme) {
    case threebody::Scheme::Euler: runLoop<EulerStep>(pi); break;
    case threebody::Scheme::Midpoint: runLoop<MidpointStep>(pi); break;
    case threebody::Scheme::RungeKutta4: runLoop<RungeKutta4Step>(pi); break;
    }
}

}  // namespace reference
