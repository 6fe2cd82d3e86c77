// The run loop and the gravity evaluation, shaped for speed.
//
// Included by one source file per instruction set, inside a region that
// compiles it for that set, after that file has defined the four-lane type
// Lanes (lane 3 is padding) with + - * /, and the lane operations splat,
// lane, load3, store3, pairTarget, pairSource, column0..2, vsqrt, and
// sqrtBoth/divideBoth (two independent operations, results in a LanesPair).
// Nothing here has external linkage, so no instruction set leaks into
// another's code.
//
// Why this shape: roots and divisions are a pass's costliest operations, and they share
// one unit. Lanes are bodies (x, y, vx, vy) or body pairs (0,1), (0,2), (1,2);
// each pair's distance and relative speed is computed once and serves both
// directions, and independent roots and divisions share one instruction. The
// state stays in registers between samples. Every lane does exactly the
// operations, in the order, of the pair-by-pair evaluation, so the results
// are bit-identical to it.

#include "constants.h"
#include "run_state.h"

namespace {

#define KERNEL_INLINE inline __attribute__((always_inline))

struct BodyLanes {
    Lanes x, y, vx, vy;
};

// Pair-lane constants of a run: -mp of the source of j -> b and of b -> j.
struct Masses {
    Lanes negSourceForward, negSourceReverse;
};

struct Sums {
    Lanes x, y;  // body lanes
};

// Row sums ((0 + A[b][0]) + A[b][1]) + A[b][2], the diagonal zero included,
// from the pair-lane accelerations toward (fwd) and from (rev) the target.
KERNEL_INLINE Lanes rowSums(Lanes fwd, Lanes rev)
{
    return ((splat(0.0) + column0(fwd, rev)) + column1(fwd, rev)) + column2(fwd, rev);
}

// The three pairs at px, py: dx = P[b] - P[j], its reverse by subtraction
// (so zeros keep their signs), and r = sqrt(dx*dx + dy*dy).
struct PairGeometry {
    Lanes dx, dy, dxr, dyr, r;
};

KERNEL_INLINE PairGeometry differences(Lanes px, Lanes py)
{
    const Lanes tx = pairTarget(px), sx = pairSource(px);
    const Lanes ty = pairTarget(py), sy = pairSource(py);
    return PairGeometry{tx - sx, ty - sy, sx - tx, sy - ty, Lanes{}};
}

KERNEL_INLINE PairGeometry geometry(Lanes px, Lanes py)
{
    PairGeometry g = differences(px, py);
    g.r = vsqrt(g.dx * g.dx + g.dy * g.dy);
    return g;
}

// Stage 1's geometry with the step search: the ratio r / v of each pair
// lowers dtmin, and v of pair (1,2), the last one visited, is the pass's vp.
KERNEL_INLINE PairGeometry searchStep(const BodyLanes &s, double &dtmin, double &vp)
{
    PairGeometry g = differences(s.x, s.y);
    const Lanes dvx = pairTarget(s.vx) - pairSource(s.vx);
    const Lanes dvy = pairTarget(s.vy) - pairSource(s.vy);
    const LanesPair roots = sqrtBoth(g.dx * g.dx + g.dy * g.dy, dvx * dvx + dvy * dvy);
    g.r = roots.first;
    const Lanes v = roots.second;
    const Lanes ratio = g.r / v;
    vp = lane(v, 2);
    // Strict "<" as one pair at a time would: NaN and +inf ratios (bodies
    // at rest relative to each other) never win.
    for (int p = 0; p < 3; ++p)
        if (lane(ratio, p) < dtmin)
            dtmin = lane(ratio, p);
    return g;
}

// Accelerations A = (dx*f) / r with f = -mp / (r*r), summed into rows.
KERNEL_INLINE Sums accelerations(const PairGeometry &g, const Masses &m)
{
    const Lanes rr = g.r * g.r;
    const LanesPair f = divideBoth(m.negSourceForward, rr, m.negSourceReverse, rr);
    const LanesPair forward = divideBoth(g.dx * f.first, g.r, g.dy * f.first, g.r);
    const LanesPair reverse = divideBoth(g.dxr * f.second, g.r, g.dyr * f.second, g.r);
    return Sums{rowSums(forward.first, reverse.first), rowSums(forward.second, reverse.second)};
}

// Gravity at px, py for the stages after the first.
KERNEL_INLINE Sums gravity(Lanes px, Lanes py, const Masses &m) { return accelerations(geometry(px, py), m); }

// Each update gets stage 1's geometry and forms its accelerations itself,
// so that the midpoint scheme can put them after stage 2: the next pass
// waits for stage 2, and the unit that roots and divisions share serves the
// older instructions first.
struct EulerUpdate {
    KERNEL_INLINE static void apply(BodyLanes &s, const PairGeometry &g1, double dtScalar, const Masses &m)
    {
        const Sums s1 = accelerations(g1, m);
        const Lanes dt = splat(dtScalar);
        s.x = (dt * s.vx) + s.x;
        s.y = (dt * s.vy) + s.y;
        s.vx = s.vx + (s1.x * dt);
        s.vy = s.vy + (s1.y * dt);
    }
};

struct MidpointUpdate {
    KERNEL_INLINE static void apply(BodyLanes &s, const PairGeometry &g1, double dtScalar, const Masses &m)
    {
        const Lanes dt = splat(dtScalar);
        const Lanes h = splat(0.5 * dtScalar);
        // Stage 2 at the half-step positions, which do not need stage 1's sums.
        const Sums s2 = gravity((s.vx * h) + s.x, (s.vy * h) + s.y, m);
        const Sums s1 = accelerations(g1, m);
        const Lanes vxh = s.vx + (s1.x * h);
        const Lanes vyh = s.vy + (s1.y * h);
        s.x = (dt * vxh) + s.x;
        s.y = (dt * vyh) + s.y;
        s.vx = (s2.x * dt) + s.vx;
        s.vy = (s2.y * dt) + s.vy;
    }
};

// Classical fourth-order Runge-Kutta on (position, velocity).
struct RungeKutta4Update {
    KERNEL_INLINE static void apply(BodyLanes &s, const PairGeometry &g1, double dtScalar, const Masses &m)
    {
        const Lanes dt = splat(dtScalar);
        const Lanes h = splat(0.5 * dtScalar);
        const Sums s1 = accelerations(g1, m);
        // k2 = f(x + h k1)
        const Lanes v2x = (s1.x * h) + s.vx, v2y = (s1.y * h) + s.vy;
        const Sums s2 = gravity((s.vx * h) + s.x, (s.vy * h) + s.y, m);
        // k3 = f(x + h k2)
        const Lanes v3x = (s2.x * h) + s.vx, v3y = (s2.y * h) + s.vy;
        const Sums s3 = gravity((v2x * h) + s.x, (v2y * h) + s.y, m);
        // k4 = f(x + dt k3)
        const Lanes v4x = (s3.x * dt) + s.vx, v4y = (s3.y * dt) + s.vy;
        const Sums s4 = gravity((v3x * dt) + s.x, (v3y * dt) + s.y, m);
        // x += dt (k1 + 2 k2 + 2 k3 + k4) / 6, weights as divisions, x and y
        // side by side
        const Lanes six = splat(6.0), three = splat(3.0);
        const LanesPair w1 = divideBoth(s.vx, six, s.vy, six), w2 = divideBoth(v2x, three, v2y, three);
        const LanesPair w3 = divideBoth(v3x, three, v3y, three), w4 = divideBoth(v4x, six, v4y, six);
        const LanesPair a1 = divideBoth(s1.x, six, s1.y, six), a2 = divideBoth(s2.x, three, s2.y, three);
        const LanesPair a3 = divideBoth(s3.x, three, s3.y, three), a4 = divideBoth(s4.x, six, s4.y, six);
        s.x = (((w1.first + w2.first) + w3.first) + w4.first) * dt + s.x;
        s.y = (((w1.second + w2.second) + w3.second) + w4.second) * dt + s.y;
        s.vx = (((a1.first + a2.first) + a3.first) + a4.first) * dt + s.vx;
        s.vy = (((a1.second + a2.second) + a3.second) + a4.second) * dt + s.vy;
    }
};

KERNEL_INLINE void takeSample(DATA_LIST &d, const BodyLanes &s)
{
    const LanesPair roots = sqrtBoth(s.x * s.x + s.y * s.y, s.vx * s.vx + s.vy * s.vy);
    const Lanes am = roots.first * roots.second;
    store3(d.x, s.x);
    store3(d.y, s.y);
    store3(d.am, am);
}

// The run loop: nstep - 1 passes, each: dtmin reset, stage-1 gravity with
// the step search, dt, the scheme's update, time, and a sample every
// kSampleEvery passes from the first. The statistics follow in the caller.
template <class Update>
KERNEL_INLINE void runLoop(threebody::RunState &st)
{
    st.dt = 0;
    st.count = 0;
    if (st.nstep <= 1)
        return;

    BodyLanes s{load3(st.bodies.xp), load3(st.bodies.yp), load3(st.bodies.vx), load3(st.bodies.vy)};
    const double forward[3] = {-st.bodies.mp[0], -st.bodies.mp[0], -st.bodies.mp[1]};
    const double reverse[3] = {-st.bodies.mp[1], -st.bodies.mp[2], -st.bodies.mp[2]};
    const Masses m{load3(forward), load3(reverse)};
    const double twoPi = st.pi + st.pi;
    double time = st.time;
    double dt = 0, dtmin = st.dtmin, vp = st.vp;
    const int nstep = st.nstep, capacity = st.capacity;
    DATA_LIST *const samples = st.samples;
    int count = 0;
    int untilSample = 1;  // passes until the next sampling pass

    for (int k = 1; k < nstep; ++k) {
        dtmin = threebody::kLargestRatio;
        const PairGeometry g1 = searchStep(s, dtmin, vp);
        dt = (twoPi * dtmin) * threebody::kStepFraction;
        Update::apply(s, g1, dt, m);
        time = time + dt;
        if (--untilSample == 0) {
            untilSample = threebody::kSampleEvery;
            if (count < capacity)
                takeSample(samples[count++], s);
        }
    }

    store3(st.bodies.xp, s.x);
    store3(st.bodies.yp, s.y);
    store3(st.bodies.vx, s.vx);
    store3(st.bodies.vy, s.vy);
    st.time = time;
    st.dt = dt;
    st.dtmin = dtmin;
    st.vp = vp;
    st.count = count;
}

KERNEL_INLINE void runScheme(threebody::Scheme scheme, threebody::RunState &state)
{
    switch (scheme) {
    case threebody::Scheme::Euler: runLoop<EulerUpdate>(state); break;
    case threebody::Scheme::Midpoint: runLoop<MidpointUpdate>(state); break;
    case threebody::Scheme::RungeKutta4: runLoop<RungeKutta4Update>(state); break;
    }
}

}  // namespace
