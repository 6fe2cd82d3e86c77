// The instruction-set paths' entry points. Each is defined in its own file
// (run_kernel_*.cpp), which includes this header, so that the compiler holds
// every definition to the declaration that simd_path.cpp calls.
#ifndef THREEBODY_KERNEL_ENTRIES_H
#define THREEBODY_KERNEL_ENTRIES_H

#include "run_state.h"

namespace threebody::detail {

// The passes of one run on the two-lane vectors that every processor has.
void runBaseline(Scheme scheme, RunState &state);
#if THREEBODY_X86
// The passes of one run on AVX2's four lanes.
void runAvx2(Scheme scheme, RunState &state);
#endif

}  // namespace threebody::detail

#endif
