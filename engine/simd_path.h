// Which instruction set runs a scheme's passes. Every path gives
// bit-identical results; they differ only in how many operations share one
// instruction, so the fastest one on this processor is measured, not assumed.
#ifndef SIMD_PATH_H
#define SIMD_PATH_H

#include "run_state.h"

#include <chrono>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace threebody {

struct Path {
    const char *name;
    int lanes;            // doubles that one of its vector instructions holds
    bool (*supported)();  // whether this processor can run it
    // The passes of one run (everything but the statistics); call it only
    // where supported.
    void (*run)(Scheme scheme, RunState &state);
};

// The paths built into this program: first the two-lane one that every
// processor runs, then the wider ones that some processors have.
const std::vector<Path> &builtPaths();

// Picks each scheme's path: the fastest supported one, timed on a short
// stretch of the start-up run the first time the scheme runs, and kept;
// or the one that use() names. With one supported path nothing is timed.
class PathChooser {
public:
    using Clock = std::function<std::chrono::nanoseconds()>;
    static constexpr int kMeasuredPasses = 400;
    static constexpr int kRounds = 3;

    explicit PathChooser(const std::vector<Path> &paths, Clock now = steadyNow);
    // It points into its own list of paths.
    PathChooser(const PathChooser &) = delete;
    PathChooser &operator=(const PathChooser &) = delete;

    const Path &pathFor(Scheme scheme);
    // Every scheme runs the named path from now on; a path that this
    // processor lacks, or that is not there, is not taken (false).
    bool use(const std::string &name);
    // Forgets use()'s choice and every measurement.
    void forget();
    // Runs the scheme's passes on pathFor(scheme).
    void run(Scheme scheme, RunState &state);
    // The path of the latest run(), or none.
    const Path *lastRun() const { return lastRun_; }
    const std::vector<Path> &supported() const { return supported_; }

    static std::chrono::nanoseconds steadyNow();

private:
    const Path &fastest(Scheme scheme);

    std::vector<Path> supported_;
    Clock now_;
    const Path *chosen_ = nullptr;
    const Path *measured_[std::size(kSchemes)] = {};
    const Path *lastRun_ = nullptr;
};

// The chooser that CCalcEngine::Calculation runs through: this program's
// paths and the steady clock.
PathChooser &enginePaths();

}  // namespace threebody

#endif
