// Which instruction set the run loop uses. Every path gives bit-identical
// results; they differ only in how many operations share one instruction.
#ifndef SIMD_PATH_H
#define SIMD_PATH_H

namespace threebody {

enum class Scheme { Euler, Midpoint, RungeKutta4 };

enum class SimdPath { Baseline, Avx2 };

const char *pathName(SimdPath path);
bool pathSupported(SimdPath path);

// The path that CCalcEngine::Calculation uses: the widest one this
// processor runs, unless usePath chose another (tests, benchmark).
SimdPath activePath();
void usePath(SimdPath path);

// The passes of one run (everything but the statistics) on one path; a path
// this processor lacks runs the baseline instead.
void runPasses(SimdPath path, Scheme scheme, double pi);

// The path whose kernel ran the latest passes, as the kernel itself records
// it: chosen is not yet run.
SimdPath lastPathRun();

}  // namespace threebody

#endif
