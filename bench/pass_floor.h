// The least time a pass can take on this processor: the larger of
//  (a) the one-lane program of the kernel's operations, divisions and roots
//      included, in their order: the engine's kernel run on one lane
//      (kernel_chain.cpp), timed as the passes are, and
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
// The passes of a run on the one-lane kernel.
void runChain(threebody::Scheme scheme, threebody::RunState &state);
double unitNs(threebody::Scheme scheme, const threebody::Path &path, const UnitCosts &costs);

}  // namespace passfloor

#endif
