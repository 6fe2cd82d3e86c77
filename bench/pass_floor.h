// The least time a pass can take on this processor: the larger of
//  (a) the latency of its loop-carried chain, from one pass's positions to
//      the next's: the engine's kernel run on one lane (kernel_chain.cpp), and
//  (b) the time the unit that does square roots and divisions needs for the
//      pass's roots and divisions, from measured times per instruction.
#ifndef PASS_FLOOR_H
#define PASS_FLOOR_H

#include "simd_path.h"

namespace passfloor {

// Nanoseconds per independent instruction at 128 and 256 bits, the widths
// that the paths use (0 where the processor has no such width).
struct UnitCosts {
    double divide[2] = {}, root[2] = {};
};

UnitCosts measureUnit();
double chainNs(threebody::Scheme scheme);
double unitNs(threebody::Scheme scheme, const threebody::Path &path, const UnitCosts &costs);

}  // namespace passfloor

#endif
