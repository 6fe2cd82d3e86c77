// Which instruction set the run loop uses. Every path gives bit-identical
// results; they differ only in how many operations share one instruction.
#ifndef SIMD_PATH_H
#define SIMD_PATH_H

namespace threebody {

enum class Scheme { Euler, Midpoint, RungeKutta4 };

enum class SimdPath { Baseline, Avx2 };
inline constexpr SimdPath kPaths[] = {SimdPath::Baseline, SimdPath::Avx2};

const char *pathName(SimdPath path);
bool pathSupported(SimdPath path);

// The path that CCalcEngine::Calculation uses for a scheme: the fastest
// one on this processor, measured on a short stretch of the default start
// the first time the scheme runs and kept from then on, unless usePath
// chose one (tests, benchmark). The measurement leaves the engine's state
// as it found it.
SimdPath activePath(Scheme scheme);
// A path this processor lacks is not taken.
void usePath(SimdPath path);
// Forgets usePath's choice and the measurements (benchmark).
void choosePathsAgain();

// The passes of one run (everything but the statistics) on one path; a path
// this processor lacks runs the baseline instead.
void runPasses(SimdPath path, Scheme scheme, double pi);

// The path whose kernel ran the latest passes, as the kernel itself records
// it: chosen is not yet run.
SimdPath lastPathRun();

}  // namespace threebody

#endif
