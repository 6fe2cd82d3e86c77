// The plain, obviously correct evaluation of a run's passes.
#ifndef PLAIN_PASSES_H
#define PLAIN_PASSES_H

#include "simd_path.h"

namespace reference {

// The passes of one run on CCalcEngine's shared state, without the statistics.
void runPlainPasses(threebody::Scheme scheme, double pi);

}  // namespace reference

#endif
