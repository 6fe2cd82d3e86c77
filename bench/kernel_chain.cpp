// The floor's chain: the engine's own kernel run with every lane collapsed
// into one double, so that a pass is the kernel's operations in its order on
// a single pair, planet 1 about a fixed star. No vector width, no shuffles,
// no padding lanes: what is left is bound by the chain from one pass's
// positions to the next's, and it changes whenever the kernel does.
#include "constants.h"
#include "pass_floor.h"
#include "run_state.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

using Lanes = double;

struct LanesPair {
    Lanes first, second;
};

// A value the compiler cannot see through, so that it keeps every operation
// the kernel asks for (x - 0 would fold to x, three equal compares to one).
inline double opaque(double v)
{
#if THREEBODY_X86
    asm("" : "+x"(v));
#elif defined(__aarch64__)
    asm("" : "+w"(v));
#endif
    return v;
}

Lanes splat(double d) { return d; }
double lane(Lanes v, int) { return opaque(v); }
// Planet 1's values stand for every body's; the masses' lane 1 is the star's
// pull on it (forward) and planet 2's (reverse).
Lanes load3(const double a[3]) { return a[1]; }
void store3(double a[3], Lanes v) { a[1] = v; }
// The pair's target is planet 1, its source the star, fixed at the origin.
Lanes pairTarget(Lanes b) { return b; }
Lanes pairSource(Lanes) { return opaque(0.0); }
Lanes column0(Lanes fwd, Lanes) { return fwd; }
Lanes column1(Lanes, Lanes) { return 0.0; }
Lanes column2(Lanes, Lanes) { return 0.0; }
Lanes vsqrt(Lanes a) { return std::sqrt(a); }
LanesPair sqrtBoth(Lanes a, Lanes b) { return {std::sqrt(a), std::sqrt(b)}; }
LanesPair divideBoth(Lanes a, Lanes b, Lanes c, Lanes d) { return {a / b, c / d}; }

}  // namespace

#include "run_kernel.h"

namespace passfloor {

double chainNs(threebody::Scheme scheme)
{
    constexpr int kPasses = 20000;
    DATA_LIST samples[2];
    const threebody::RunState start = threebody::beforeFirstPass(
        threebody::startOf(threebody::kStartXp3, threebody::kStartFactor), kPasses + 1, samples, 2);
    double best = 1e300;
    for (int trial = 0; trial < 7; ++trial) {
        threebody::RunState state = start;
        const auto t0 = std::chrono::steady_clock::now();
        runScheme(scheme, state);
        const std::chrono::duration<double, std::nano> ns = std::chrono::steady_clock::now() - t0;
        best = std::min(best, ns.count() / kPasses);
    }
    return best;
}

}  // namespace passfloor
