#include "simd_path.h"

#include "constants.h"
#include "kernel_entries.h"

namespace threebody {

namespace {

// The two-lane vectors that the baseline path compiles to here.
constexpr const char *kBaselineName =
#if THREEBODY_X86
    "SSE2";
#elif defined(__aarch64__)
    "NEON";
#elif defined(__powerpc64__)
    "VSX";
#elif defined(__s390x__)
    "z";
#else
    "portable";
#endif

bool always() { return true; }

#if THREEBODY_X86
bool hasAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

const std::vector<Path> &builtPaths()
{
    static const std::vector<Path> paths = {
        {kBaselineName, 2, always, detail::runBaseline},
#if THREEBODY_X86
        {"AVX2", 4, hasAvx2, detail::runAvx2},
#endif
    };
    return paths;
}

std::chrono::nanoseconds PathChooser::steadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

PathChooser::PathChooser(const std::vector<Path> &paths, Clock now) : now_(std::move(now))
{
    for (const Path &path : paths)
        if (path.supported())
            supported_.push_back(path);
}

const Path &PathChooser::pathFor(Scheme scheme)
{
    if (chosen_)
        return *chosen_;
    const Path *&measured = measured_[int(scheme)];
    if (!measured)
        measured = &fastest(scheme);
    return *measured;
}

// Each path runs the same short stretch of the start-up run a few times, in
// turn, on a copy of its start; the shortest time any round gave decides.
const Path &PathChooser::fastest(Scheme scheme)
{
    if (supported_.size() == 1)
        return supported_.front();
    DATA_LIST sample[1];
    const RunState start = beforeFirstPass(startOf(kStartXp3, kStartFactor), kMeasuredPasses + 1, sample, 1);
    const Path *best = &supported_.front();
    auto bestTime = std::chrono::nanoseconds::max();
    for (int round = 0; round < kRounds; ++round)
        for (const Path &path : supported_) {
            RunState state = start;
            const auto t0 = now_();
            path.run(scheme, state);
            const auto t = now_() - t0;
            if (t < bestTime)
                bestTime = t, best = &path;
        }
    return *best;
}

bool PathChooser::use(const std::string &name)
{
    for (const Path &path : supported_)
        if (name == path.name) {
            chosen_ = &path;
            return true;
        }
    return false;
}

void PathChooser::forget()
{
    chosen_ = nullptr;
    for (const Path *&measured : measured_)
        measured = nullptr;
}

void PathChooser::run(Scheme scheme, RunState &state)
{
    const Path &path = pathFor(scheme);
    path.run(scheme, state);
    lastRun_ = &path;
}

PathChooser &enginePaths()
{
    static PathChooser chooser(builtPaths());
    return chooser;
}

}  // namespace threebody
