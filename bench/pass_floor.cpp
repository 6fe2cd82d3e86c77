#include "pass_floor.h"

#include "constants.h"
#include "kernel_census.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#if THREEBODY_X86
#include <immintrin.h>
#endif

using threebody::Scheme;

namespace passfloor {

namespace {

using Clock = std::chrono::steady_clock;

// The best of several timings, in ns per `per` operations.
template <class Body>
double bestNs(Body body, double per)
{
    double best = 1e300;
    for (int trial = 0; trial < 7; ++trial) {
        const auto t0 = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / per);
    }
    return best;
}

// Eight independent chains keep the unit busy: each instruction waits only
// for its own chain's last one. a = 3 / a and a = 1.9 * sqrt(a) keep the
// values normal. The loop sits in the function itself, which carries the
// instruction set (a lambda would not).
constexpr int kRounds = 4000;

#define UNIT_KERNEL(name, attributes, Vector, sqrtCall)                                              \
    attributes double name(bool root)                                                               \
    {                                                                                               \
        Vector a0, a1, a2, a3, a4, a5, a6, a7, three, scale;                                        \
        for (unsigned i = 0; i < sizeof(Vector) / 8; ++i) {                                         \
            three[i] = 3.0, scale[i] = 1.9;                                                         \
            a0[i] = 1.5, a1[i] = 1.6, a2[i] = 1.7, a3[i] = 1.8, a4[i] = 1.9, a5[i] = 2.0, a6[i] = 2.1; \
            a7[i] = 2.2;                                                                            \
        }                                                                                           \
        double best = 1e300;                                                                        \
        for (int trial = 0; trial < 7; ++trial) {                                                   \
            const auto t0 = Clock::now();                                                           \
            if (root)                                                                               \
                for (int k = 0; k < kRounds; ++k) {                                                 \
                    a0 = sqrtCall(a0) * scale, a1 = sqrtCall(a1) * scale;                           \
                    a2 = sqrtCall(a2) * scale, a3 = sqrtCall(a3) * scale;                           \
                    a4 = sqrtCall(a4) * scale, a5 = sqrtCall(a5) * scale;                           \
                    a6 = sqrtCall(a6) * scale, a7 = sqrtCall(a7) * scale;                           \
                }                                                                                   \
            else                                                                                    \
                for (int k = 0; k < kRounds; ++k) {                                                 \
                    a0 = three / a0, a1 = three / a1, a2 = three / a2, a3 = three / a3;             \
                    a4 = three / a4, a5 = three / a5, a6 = three / a6, a7 = three / a7;             \
                }                                                                                   \
            const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();  \
            best = std::min(best, ns / (8.0 * kRounds));                                            \
        }                                                                                           \
        volatile double sink = (((a0 + a1) + (a2 + a3)) + ((a4 + a5) + (a6 + a7)))[0];              \
        (void)sink;                                                                                 \
        return best;                                                                                \
    }

typedef double V2 __attribute__((vector_size(16)));
__attribute__((always_inline)) inline V2 sqrt128(V2 a) { return V2{__builtin_sqrt(a[0]), __builtin_sqrt(a[1])}; }
UNIT_KERNEL(unit128, , V2, sqrt128)

#if THREEBODY_X86
typedef double V4 __attribute__((vector_size(32)));
__attribute__((target("avx2"), always_inline)) inline V4 sqrt256(V4 a) { return _mm256_sqrt_pd(a); }
UNIT_KERNEL(unit256, __attribute__((target("avx2"))), V4, sqrt256)
#endif

// The loop-carried chain of one pair lane in scalars: a body moving about a
// fixed one of unit mass, with the kernel's operations in its order. Only
// what the next pass's positions wait on is here.
struct Lane {
    double x, y, vx, vy;
};

// Keeps the compiler from merging the three compares of equal ratios.
inline double opaque(double v)
{
#if THREEBODY_X86
    asm("" : "+x"(v));
#elif defined(__aarch64__)
    asm("" : "+w"(v));
#endif
    return v;
}

struct Accel {
    double x, y;
};

inline Accel accelerations(double dx, double dy, double r)
{
    const double rr = r * r;
    const double f = -1.0 / rr;
    const double ax = (dx * f) / r, ay = (dy * f) / r;
    // Row sums: the pair's term among the diagonal's zero and a third term.
    return {((0.0 + ax) + 0.0) + 0.0, ((0.0 + ay) + 0.0) + 0.0};
}

// The fixed body sits at `at` (0, from memory, so that the subtractions stay).
inline Accel gravity(double px, double py, double at)
{
    const double dx = px - at, dy = py - at;
    return accelerations(dx, dy, std::sqrt(dx * dx + dy * dy));
}

template <Scheme scheme>
Lane pass(Lane s, double twoPi, double at)
{
    const double dx = s.x - at, dy = s.y - at, dvx = s.vx - at, dvy = s.vy - at;
    const double r = std::sqrt(dx * dx + dy * dy), v = std::sqrt(dvx * dvx + dvy * dvy);
    const double ratio = r / v;
    double dtmin = threebody::kLargestRatio;
    for (int p = 0; p < 3; ++p)
        if (opaque(ratio) < dtmin)
            dtmin = ratio;
    const double dt = (twoPi * dtmin) * threebody::kStepFraction;
    const Accel a1 = accelerations(dx, dy, r);
    if constexpr (scheme == Scheme::Euler) {
        return {(dt * s.vx) + s.x, (dt * s.vy) + s.y, s.vx + (a1.x * dt), s.vy + (a1.y * dt)};
    } else if constexpr (scheme == Scheme::Midpoint) {
        const double h = 0.5 * dt;
        const Accel a2 = gravity((s.vx * h) + s.x, (s.vy * h) + s.y, at);
        const double vxh = s.vx + (a1.x * h), vyh = s.vy + (a1.y * h);
        return {(dt * vxh) + s.x, (dt * vyh) + s.y, (a2.x * dt) + s.vx, (a2.y * dt) + s.vy};
    } else {
        const double h = 0.5 * dt;
        const double v2x = (a1.x * h) + s.vx, v2y = (a1.y * h) + s.vy;
        const Accel a2 = gravity((s.vx * h) + s.x, (s.vy * h) + s.y, at);
        const double v3x = (a2.x * h) + s.vx, v3y = (a2.y * h) + s.vy;
        const Accel a3 = gravity((v2x * h) + s.x, (v2y * h) + s.y, at);
        const double v4x = (a3.x * dt) + s.vx, v4y = (a3.y * dt) + s.vy;
        const Accel a4 = gravity((v3x * dt) + s.x, (v3y * dt) + s.y, at);
        return {((((s.vx / 6.0) + (v2x / 3.0)) + (v3x / 3.0)) + (v4x / 6.0)) * dt + s.x,
                ((((s.vy / 6.0) + (v2y / 3.0)) + (v3y / 3.0)) + (v4y / 6.0)) * dt + s.y,
                ((((a1.x / 6.0) + (a2.x / 3.0)) + (a3.x / 3.0)) + (a4.x / 6.0)) * dt + s.vx,
                ((((a1.y / 6.0) + (a2.y / 3.0)) + (a3.y / 3.0)) + (a4.y / 6.0)) * dt + s.vy};
    }
}

template <Scheme scheme>
double chain()
{
    constexpr int kPasses = 20000;
    Lane s{1.0, 0.0, 0.0, 1.0};
    volatile double origin = 0.0;
    const double at = origin;
    const double ns = bestNs(
        [&] {
            for (int k = 0; k < kPasses; ++k)
                s = pass<scheme>(s, threebody::kPi + threebody::kPi, at);
        },
        kPasses);
    volatile double sink = s.x;
    (void)sink;
    return ns;
}

}  // namespace

UnitCosts measureUnit()
{
    UnitCosts c;
    c.divide[0] = unit128(false);
    c.root[0] = unit128(true);
#if THREEBODY_X86
    for (const threebody::Path &path : threebody::enginePaths().supported())
        if (path.lanes == 4)
            c.divide[1] = unit256(false), c.root[1] = unit256(true);
#endif
    return c;
}

double chainNs(Scheme scheme)
{
    switch (scheme) {
    case Scheme::Euler: return chain<Scheme::Euler>();
    case Scheme::Midpoint: return chain<Scheme::Midpoint>();
    case Scheme::RungeKutta4: return chain<Scheme::RungeKutta4>();
    }
    return 0;
}

// On four-lane paths a pair is two instructions and a single one one; the
// two-lane paths need two for a single, and three for a pair, whose third
// lanes share one register.
double unitNs(Scheme scheme, const threebody::Path &path, const UnitCosts &c)
{
    const Issued n = issuedPerPass(scheme);
    if (path.lanes == 4)
        return (2 * n.rootPairs + n.singleRoots) * c.root[1] + (2 * n.divisionPairs + n.singleDivisions) * c.divide[1];
    return (3 * n.rootPairs + 2 * n.singleRoots) * c.root[0] + (3 * n.divisionPairs + 2 * n.singleDivisions) * c.divide[0];
}

}  // namespace passfloor
