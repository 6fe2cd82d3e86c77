// The roots and divisions that the engine's kernel issues in one pass.
#ifndef KERNEL_CENSUS_H
#define KERNEL_CENSUS_H

#include "simd_path.h"

namespace passfloor {

// A pair is two independent operations on four lanes (sqrtBoth,
// divideBoth); a single one is one.
struct Issued {
    int rootPairs, singleRoots, divisionPairs, singleDivisions;
};

Issued issuedPerPass(threebody::Scheme scheme);

}  // namespace passfloor

#endif
