#include "pass_floor.h"

#include "kernel_census.h"

#include <algorithm>
#include <chrono>

#if THREEBODY_X86
#include <immintrin.h>
#endif

using threebody::Scheme;

namespace passfloor {

namespace {

using Clock = std::chrono::steady_clock;

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
