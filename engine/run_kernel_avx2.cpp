// The run loop for processors with AVX2: four doubles an instruction.
#include "kernel_entries.h"

#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace {

typedef double Lanes __attribute__((vector_size(32)));
typedef long long LaneMask __attribute__((vector_size(32)));

struct LanesPair {
    Lanes first, second;
};

#define LANES_INLINE inline __attribute__((always_inline))

LANES_INLINE Lanes splat(double d) { return Lanes{d, d, d, d}; }
LANES_INLINE double lane(Lanes v, int i) { return v[i]; }
LANES_INLINE Lanes load3(const double a[3]) { return Lanes{a[0], a[1], a[2], 0.0}; }
LANES_INLINE void store3(double a[3], Lanes v)
{
    a[0] = v[0];
    a[1] = v[1];
    a[2] = v[2];
}

// Body lanes {0, 1, 2} -> pair lanes (0,1), (0,2), (1,2): target, source.
LANES_INLINE Lanes pairTarget(Lanes body) { return __builtin_shufflevector(body, body, 1, 2, 2, 3); }
LANES_INLINE Lanes pairSource(Lanes body) { return __builtin_shufflevector(body, body, 0, 0, 1, 3); }

// Keeps the lanes whose mask is set and makes the others +0 exactly.
LANES_INLINE Lanes keep(Lanes a, LaneMask mask) { return (Lanes)((LaneMask)a & mask); }

// Column j of the acceleration table in body lanes, from the pair lanes
// fwd = {A10, A20, A21} and rev = {A01, A02, A12}; diagonal and padding +0.
LANES_INLINE Lanes column0(Lanes fwd, Lanes rev)
{
    return keep(__builtin_shufflevector(fwd, rev, 0, 0, 1, 3), LaneMask{0, -1, -1, 0});
}
LANES_INLINE Lanes column1(Lanes fwd, Lanes rev)
{
    return keep(__builtin_shufflevector(fwd, rev, 4, 0, 2, 3), LaneMask{-1, 0, -1, 0});
}
LANES_INLINE Lanes column2(Lanes fwd, Lanes rev)
{
    return keep(__builtin_shufflevector(fwd, rev, 5, 6, 2, 3), LaneMask{-1, -1, 0, 0});
}

LANES_INLINE Lanes vsqrt(Lanes a) { return _mm256_sqrt_pd(a); }
LANES_INLINE LanesPair sqrtBoth(Lanes a, Lanes b) { return {vsqrt(a), vsqrt(b)}; }
LANES_INLINE LanesPair divideBoth(Lanes a, Lanes b, Lanes c, Lanes d) { return {a / b, c / d}; }

}  // namespace

#include "run_kernel.h"

namespace threebody::detail {
void runAvx2(Scheme scheme, RunState &state) { runScheme(scheme, state); }
}  // namespace threebody::detail

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
