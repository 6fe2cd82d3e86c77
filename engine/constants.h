// The numbers that fix the simulation's results, each written once. The
// program, the plain evaluation, the tests, the fuzzer and the benchmark
// all take them from here.
#ifndef THREEBODY_CONSTANTS_H
#define THREEBODY_CONSTANTS_H

namespace threebody {

// Pi to 14 digits, not to full precision: every result is fixed to it.
inline constexpr double kPi = 3.1415926535898;

// Masses relative to the star's: Jupiter's and Saturn's to the Sun's,
// before the user's factor.
inline constexpr double kStarMass = 1.0;
inline constexpr double kPlanet1Mass = 0.00095479;
inline constexpr double kPlanet2Mass = 0.0002859;
// Planet 1's starting distance from the star.
inline constexpr double kPlanet1Distance = 1.0;

// The step rule: each pass starts its search for the smallest ratio of
// distance to relative speed at kLargestRatio, and
// dt = ((pi + pi) * that ratio) * kStepFraction.
inline constexpr double kLargestRatio = 1e11;
inline constexpr double kStepFraction = 0.001001;

// The sampling rule: passes are numbered from 1, and pass k records a sample
// when k % kSampleEvery == 1, until the store of kMaxSamples is full.
inline constexpr int kSampleEvery = 10000;
inline constexpr int kMaxSamples = 10000;

// The samples that a run of nstep (nstep - 1 passes) records.
constexpr int samplesOfRun(int nstep)
{
    if (nstep <= 1)
        return 0;
    const int samples = (nstep - 2) / kSampleEvery + 1;
    return samples < kMaxSamples ? samples : kMaxSamples;
}

// The start-up run: planet 2 at distance 2, the masses as they are, and the
// run length that constructing an engine sets.
inline constexpr double kStartXp3 = 2.0;
inline constexpr double kStartFactor = 1.0;
inline constexpr int kStartNstep = 1000000;

}  // namespace threebody

#endif
