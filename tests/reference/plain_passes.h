// The plain, obviously correct evaluation of a run's passes.
#ifndef PLAIN_PASSES_H
#define PLAIN_PASSES_H

#include "run_state.h"
#include "simd_path.h"

namespace reference {

// The passes of one run, without the statistics.
void runPlainPasses(threebody::Scheme scheme, double pi, threebody::RunState &state);

}  // namespace reference

#endif
