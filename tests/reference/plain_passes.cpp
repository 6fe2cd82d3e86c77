// The plain evaluation of the passes: every ordered pair by itself, one
// double at a time, in the order the engine's arithmetic is defined. It is
// the yardstick for the engine's vectorised paths, in tests and benchmark.
#include "plain_passes.h"

#include "three_bodycalc.h"

#include <cmath>

namespace reference {

using threebody::RunState;

// Acceleration sums of the three bodies from one gravity evaluation.
struct Sums {
    double x[3];
    double y[3];
};

// Gravity at positions px, py: every ordered pair (source j outer, target b
// inner) by itself, rows summed from zero in body order. With Search it is
// stage 1 of a pass and also lowers dtmin by each pair's distance/speed ratio.
template <bool Search>
inline Sums gravity(RunState &run, const double px[3], const double py[3])
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
            const double f = -run.bodies.mp[j] / (r * r);
            ax[b][j] = (dx * f) / r;
            ay[b][j] = (dy * f) / r;
            if (Search) {
                const double dvx = run.bodies.vx[b] - run.bodies.vx[j];
                const double dvy = run.bodies.vy[b] - run.bodies.vy[j];
                const double v = std::sqrt(dvx * dvx + dvy * dvy);
                run.vp = v;
                // Strict "<": NaN and +inf ratios never become the step.
                if (r / v < run.dtmin)
                    run.dtmin = r / v;
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
    static void update(RunState &run, const Sums &s1)
    {
        const double dt = run.dt;
        for (int b = 0; b < 3; ++b) {
            run.bodies.xp[b] = (dt * run.bodies.vx[b]) + run.bodies.xp[b];
            run.bodies.yp[b] = (dt * run.bodies.vy[b]) + run.bodies.yp[b];
            run.bodies.vx[b] = run.bodies.vx[b] + (s1.x[b] * dt);
            run.bodies.vy[b] = run.bodies.vy[b] + (s1.y[b] * dt);
        }
    }
};

// A stage's input: positions moved by w times the velocities v, and
// velocities by w times the accelerations a.
struct Stage {
    double x[3], y[3], vx[3], vy[3];
};

Stage stage(const RunState &run, const double vx[3], const double vy[3], const Sums &a, double w)
{
    Stage s;
    for (int b = 0; b < 3; ++b) {
        s.x[b] = (vx[b] * w) + run.bodies.xp[b];
        s.y[b] = (vy[b] * w) + run.bodies.yp[b];
        s.vx[b] = (a.x[b] * w) + run.bodies.vx[b];
        s.vy[b] = (a.y[b] * w) + run.bodies.vy[b];
    }
    return s;
}

// Midpoint: advance with the velocity and acceleration at the half step.
struct MidpointStep {
    static void update(RunState &run, const Sums &s1)
    {
        const double dt = run.dt;
        const Stage half = stage(run, run.bodies.vx, run.bodies.vy, s1, 0.5 * dt);
        const Sums s2 = gravity<false>(run, half.x, half.y);
        for (int b = 0; b < 3; ++b) {
            run.bodies.xp[b] = (dt * half.vx[b]) + run.bodies.xp[b];
            run.bodies.yp[b] = (dt * half.vy[b]) + run.bodies.yp[b];
            run.bodies.vx[b] = (s2.x[b] * dt) + run.bodies.vx[b];
            run.bodies.vy[b] = (s2.y[b] * dt) + run.bodies.vy[b];
        }
    }
};

// Classical fourth-order Runge-Kutta on (position, velocity).
struct RungeKutta4Step {
    static void update(RunState &run, const Sums &s1)
    {
        const double dt = run.dt;
        const double h = 0.5 * dt;
        // k2 = f(x + h k1)
        const Stage k2 = stage(run, run.bodies.vx, run.bodies.vy, s1, h);
        const Sums s2 = gravity<false>(run, k2.x, k2.y);
        // k3 = f(x + h k2)
        const Stage k3 = stage(run, k2.vx, k2.vy, s2, h);
        const Sums s3 = gravity<false>(run, k3.x, k3.y);
        // k4 = f(x + dt k3)
        const Stage k4 = stage(run, k3.vx, k3.vy, s3, dt);
        const Sums s4 = gravity<false>(run, k4.x, k4.y);

        // x += dt (k1 + 2 k2 + 2 k3 + k4) / 6, weights as divisions
        for (int b = 0; b < 3; ++b) {
            const double vx0 = run.bodies.vx[b];
            const double vy0 = run.bodies.vy[b];
            run.bodies.xp[b] = ((((vx0 / 6) + (k2.vx[b] / 3)) + (k3.vx[b] / 3)) + (k4.vx[b] / 6)) * dt + run.bodies.xp[b];
            run.bodies.yp[b] = ((((vy0 / 6) + (k2.vy[b] / 3)) + (k3.vy[b] / 3)) + (k4.vy[b] / 6)) * dt + run.bodies.yp[b];
            run.bodies.vx[b] = ((((s1.x[b] / 6) + (s2.x[b] / 3)) + (s3.x[b] / 3)) + (s4.x[b] / 6)) * dt + vx0;
            run.bodies.vy[b] = ((((s1.y[b] / 6) + (s2.y[b] / 3)) + (s3.y[b] / 3)) + (s4.y[b] / 6)) * dt + vy0;
        }
    }
};

void takeSample(const RunState &run, DATA_LIST &d)
{
    for (int c = 0; c < 3; ++c) {
        d.x[c] = run.bodies.xp[c];
        d.y[c] = run.bodies.yp[c];
        d.am[c] = std::sqrt(run.bodies.xp[c] * run.bodies.xp[c] + run.bodies.yp[c] * run.bodies.yp[c]) *
                  std::sqrt(run.bodies.vx[c] * run.bodies.vx[c] + run.bodies.vy[c] * run.bodies.vy[c]);
    }
}

template <class Step>
void runLoop(RunState &run)
{
    run.dt = 0;
    run.count = 0;
    for (int k = 1; k < run.nstep; ++k) {
        run.dtmin = threebody::kLargestRatio;
        const Sums s1 = gravity<true>(run, run.bodies.xp, run.bodies.yp);
        run.dt = ((run.pi + run.pi) * run.dtmin) * threebody::kStepFraction;
        Step::update(run, s1);
        run.time = run.time + run.dt;
        if (k % threebody::kSampleEvery == 1 && run.count < run.capacity) {
            takeSample(run, run.samples[run.count]);
            ++run.count;
        }
    }
}

void runPlainPasses(threebody::Scheme scheme, RunState &state)
{
    switch (scheme) {
    case threebody::Scheme::Euler: runLoop<EulerStep>(state); break;
    case threebody::Scheme::Midpoint: runLoop<MidpointStep>(state); break;
    case threebody::Scheme::RungeKutta4: runLoop<RungeKutta4Step>(state); break;
    }
}

const threebody::Path &plainPath()
{
    static const threebody::Path plain{"plain", 1, [] { return true; }, runPlainPasses};
    return plain;
}

void runOn(const threebody::Path &path, threebody::Scheme scheme, int nstep)
{
    CCalcEngine::nstep = nstep;
    RunState state = CCalcEngine::runState();
    path.run(scheme, state);
    CCalcEngine::setRunState(state);
    CCalcEngine::CalcStDeviation();
}

const char *schemeName(threebody::Scheme scheme)
{
    static const char *const names[] = {"Euler", "Midpoint", "RungeKutta4"};
    return names[int(scheme)];
}

}  // namespace reference
