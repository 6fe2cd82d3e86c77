// The floor's chain: the engine's own kernel run with every lane collapsed
// into one double, so that a pass is the kernel's operations in its order on
// a single pair, planet 1 about a fixed star. No vector width, no shuffles,
// no padding lanes: what is left is the one-lane program of the kernel's
// operations, divisions and roots included, and it changes whenever the
// kernel does. It is compiled with the kernels' options (bench/CMakeLists.txt).
#include "constants.h"
#include "pass_floor.h"
#include "run_state.h"

#include <cmath>

namespace {

// A value the compiler cannot see through, so that it keeps every operation
// the kernel asks for (x - 0 would fold to x). The value stays in a
// floating-point register: no instruction is added.
#if THREEBODY_X86
#define FLOATING_REGISTER "+x"
#elif defined(__aarch64__) || defined(__arm__)
#define FLOATING_REGISTER "+w"
#elif defined(__powerpc__)
#define FLOATING_REGISTER "+d"
#elif defined(__s390x__) || defined(__riscv)
#define FLOATING_REGISTER "+f"
#else
#error "name this processor's floating-point register constraint (FLOATING_REGISTER)"
#endif
inline double opaque(double v)
{
    asm("" : FLOATING_REGISTER(v));
    return v;
}
// Lane p of a value: a value of its own for each p, so that the three
// lanes' compares stay three, and the same for two reads of one lane, as
// a lane of a vector is, so that a compare and its assignment can be one
// minimum, as in the kernels.
inline double opaqueLane(double v, int p)
{
    asm("" : FLOATING_REGISTER(v) : "g"(p));
    return v;
}

}  // namespace
namespace passfloor {
[[gnu::error("a value the compiler knows reaches an operation of the floor's chain, which it may fold: "
             "pass it through opaque()")]] void knownOperand();
}  // namespace passfloor
namespace {
[[gnu::always_inline]] inline void unknown(double v)
{
    if (__builtin_constant_p(v))
        passfloor::knownOperand();
}

struct Lanes {
    double v;
};
#define CHAIN_OPERATOR(op)                                          \
    [[gnu::always_inline]] inline Lanes operator op(Lanes a, Lanes b) \
    {                                                               \
        unknown(a.v);                                               \
        unknown(b.v);                                               \
        return {a.v op b.v};                                        \
    }
CHAIN_OPERATOR(+)
CHAIN_OPERATOR(-)
CHAIN_OPERATOR(*)
CHAIN_OPERATOR(/)

struct LanesPair {
    Lanes first, second;
};

Lanes splat(double d) { return {opaque(d)}; }
double lane(Lanes v, int p) { return opaqueLane(v.v, p); }
// Planet 1's values stand for every body's; the masses' lane 1 is the star's
// pull on it (forward) and planet 2's (reverse). Its row sums the star's
// pull (column 0) and the pair's reverse (column 2), so that the reverse
// direction's roots, divisions and products, which the kernels do for every
// pair, are not dead code that the compiler drops.
Lanes load3(const double a[3]) { return {a[1]}; }
void store3(double a[3], Lanes v) { a[1] = v.v; }
// The pair's target is planet 1, its source the star, fixed at the origin.
Lanes pairTarget(Lanes b) { return b; }
Lanes pairSource(Lanes) { return {opaque(0.0)}; }
Lanes column0(Lanes fwd, Lanes) { return fwd; }
Lanes column1(Lanes, Lanes) { return {opaque(0.0)}; }
Lanes column2(Lanes, Lanes rev) { return rev; }
Lanes vsqrt(Lanes a)
{
    unknown(a.v);
    return {std::sqrt(a.v)};
}
LanesPair sqrtBoth(Lanes a, Lanes b) { return {vsqrt(a), vsqrt(b)}; }
LanesPair divideBoth(Lanes a, Lanes b, Lanes c, Lanes d) { return {a / b, c / d}; }

}  // namespace

#include "run_kernel.h"

namespace passfloor {

void runChain(threebody::Scheme scheme, threebody::RunState &state) { runScheme(scheme, state); }

}  // namespace passfloor
