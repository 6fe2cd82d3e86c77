// The run loop that every processor runs, two doubles an instruction: SSE2
// on x86, NEON on arm64, VSX on POWER, the vector facility (or pairs of
// scalar operations) on z. Written with the compiler's vector extensions
// only, whose + - * / and square roots are the IEEE operations everywhere.
//
// Four lanes are two registers, lanes {0, 1} and {2, 3}, held as a pair of
// two-lane vectors so that the compiler keeps them in registers.
#include "kernel_entries.h"

namespace {

typedef double Half __attribute__((vector_size(16)));

struct Lanes {
    Half lo, hi;
};

struct LanesPair {
    Lanes first, second;
};

#define LANES_INLINE inline __attribute__((always_inline))

LANES_INLINE Lanes operator+(Lanes a, Lanes b) { return {a.lo + b.lo, a.hi + b.hi}; }
LANES_INLINE Lanes operator-(Lanes a, Lanes b) { return {a.lo - b.lo, a.hi - b.hi}; }
LANES_INLINE Lanes operator*(Lanes a, Lanes b) { return {a.lo * b.lo, a.hi * b.hi}; }
LANES_INLINE Lanes operator/(Lanes a, Lanes b) { return {a.lo / b.lo, a.hi / b.hi}; }

LANES_INLINE Lanes splat(double d) { return {Half{d, d}, Half{d, d}}; }
LANES_INLINE double lane(Lanes v, int i) { return i < 2 ? v.lo[i] : v.hi[i - 2]; }
LANES_INLINE Lanes load3(const double a[3]) { return {Half{a[0], a[1]}, Half{a[2], 0.0}}; }
LANES_INLINE void store3(double a[3], Lanes v)
{
    a[0] = v.lo[0];
    a[1] = v.lo[1];
    a[2] = v.hi[0];
}

// Body lanes {0, 1, 2} -> pair lanes (0,1), (0,2), (1,2): target, source.
LANES_INLINE Lanes pairTarget(Lanes b) { return {__builtin_shufflevector(b.lo, b.hi, 1, 2), b.hi}; }
LANES_INLINE Lanes pairSource(Lanes b)
{
    return {__builtin_shufflevector(b.lo, b.lo, 0, 0), __builtin_shufflevector(b.lo, b.hi, 1, 3)};
}

// Column j of the acceleration table in body lanes, from the pair lanes
// fwd = {A10, A20, A21} and rev = {A01, A02, A12}; diagonal and padding +0.
LANES_INLINE Lanes column0(Lanes fwd, Lanes)
{
    const Half zero{0.0, 0.0};
    return {__builtin_shufflevector(zero, fwd.lo, 0, 2), __builtin_shufflevector(fwd.lo, zero, 1, 2)};
}
LANES_INLINE Lanes column1(Lanes fwd, Lanes rev)
{
    const Half zero{0.0, 0.0};
    return {__builtin_shufflevector(rev.lo, zero, 0, 2), __builtin_shufflevector(fwd.hi, zero, 0, 2)};
}
LANES_INLINE Lanes column2(Lanes, Lanes rev)
{
    return {__builtin_shufflevector(rev.lo, rev.hi, 1, 2), Half{0.0, 0.0}};
}

// Element by element; the compiler makes one two-lane root of it
// (sqrtpd, fsqrt .2d, xvsqrtdp).
LANES_INLINE Half sqrt2(Half a) { return Half{__builtin_sqrt(a[0]), __builtin_sqrt(a[1])}; }

LANES_INLINE Lanes vsqrt(Lanes a) { return {sqrt2(a.lo), sqrt2(a.hi)}; }

// Two operations' lane 2 share one register (padding +0): three
// instructions on the busy root/division unit instead of four.
LANES_INLINE Half lane2s(Lanes a, Lanes b) { return __builtin_shufflevector(a.hi, b.hi, 0, 2); }
LANES_INLINE LanesPair unpackLane2s(Half first, Half second, Half lane2s)
{
    const Half zero{0.0, 0.0};
    return {{first, __builtin_shufflevector(lane2s, zero, 0, 2)}, {second, __builtin_shufflevector(lane2s, zero, 1, 2)}};
}

LANES_INLINE LanesPair sqrtBoth(Lanes a, Lanes b)
{
    return unpackLane2s(sqrt2(a.lo), sqrt2(b.lo), sqrt2(lane2s(a, b)));
}
LANES_INLINE LanesPair divideBoth(Lanes a, Lanes b, Lanes c, Lanes d)
{
    return unpackLane2s(a.lo / b.lo, c.lo / d.lo, lane2s(a, c) / lane2s(b, d));
}

}  // namespace

#include "run_kernel.h"

namespace threebody::detail {
void runBaseline(Scheme scheme, RunState &state) { runScheme(scheme, state); }
}  // namespace threebody::detail
