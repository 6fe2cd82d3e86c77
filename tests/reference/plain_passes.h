// The plain, obviously correct evaluation of a run's passes.
#ifndef PLAIN_PASSES_H
#define PLAIN_PASSES_H

#include "run_state.h"
#include "simd_path.h"

namespace reference {

// The passes of one run, without the statistics.
void runPlainPasses(threebody::Scheme scheme, threebody::RunState &state);

// The plain evaluation as a path, so that it runs wherever a path does.
const threebody::Path &plainPath();

// A run of nstep on `path` from the class-wide state, stored back with its
// statistics as Calculation() stores a run on its own path: the one way the
// tests, the fuzzer and the benchmark run a scheme on a path of their choice.
void runOn(const threebody::Path &path, threebody::Scheme scheme, int nstep);

// The one spelling of the schemes in test and benchmark names.
const char *schemeName(threebody::Scheme scheme);

}  // namespace reference

#endif
