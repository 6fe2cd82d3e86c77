#include "simd_path.h"

#include "three_bodycalc.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>

// Processor features are asked for, and the AVX2 path exists, only on x86.
#if defined(__x86_64__) || defined(__i386__)
#define THREEBODY_X86 1
#else
#define THREEBODY_X86 0
#endif

namespace threebody {

namespace detail {
SimdPath pathRun = SimdPath::Baseline;
void runBaseline(Scheme scheme, double pi);
#if THREEBODY_X86
void runAvx2(Scheme scheme, double pi);
#endif
}  // namespace detail

namespace {

using E = CCalcEngine;

constexpr int kSchemes = 3;
constexpr int kNoChoice = -1;
// usePath's choice, and each scheme's measured path.
int chosen = kNoChoice;
int measured[kSchemes] = {kNoChoice, kNoChoice, kNoChoice};

// The two-lane vectors that the baseline path compiles to here.
const char *baselineName()
{
#if THREEBODY_X86
    return "SSE2";
#elif defined(__aarch64__)
    return "NEON";
#elif defined(__powerpc64__)
    return "VSX";
#elif defined(__s390x__)
    return "z";
#else
    return "portable";
#endif
}

// Everything that setParam and the passes write, so that a measurement can
// put it back.
struct EngineState {
    double xp[3], yp[3], vx[3], vy[3], mp[3];
    double time, dt, dtmin, vp, factor, xg, yg, vxg, vyg;
    int nstep, count;
    DATA_LIST firstSample;

    static EngineState save()
    {
        EngineState s;
        std::memcpy(s.xp, E::xp, sizeof s.xp);
        std::memcpy(s.yp, E::yp, sizeof s.yp);
        std::memcpy(s.vx, E::vx, sizeof s.vx);
        std::memcpy(s.vy, E::vy, sizeof s.vy);
        std::memcpy(s.mp, E::mp, sizeof s.mp);
        s.time = E::time, s.dt = E::dt, s.dtmin = E::dtmin, s.vp = E::vp, s.factor = E::factor;
        s.xg = E::xg, s.yg = E::yg, s.vxg = E::vxg, s.vyg = E::vyg;
        s.nstep = E::nstep, s.count = E::count;
        s.firstSample = E::data_list[0];
        return s;
    }
    void restore() const
    {
        std::memcpy(E::xp, xp, sizeof xp);
        std::memcpy(E::yp, yp, sizeof yp);
        std::memcpy(E::vx, vx, sizeof vx);
        std::memcpy(E::vy, vy, sizeof vy);
        std::memcpy(E::mp, mp, sizeof mp);
        E::time = time, E::dt = dt, E::dtmin = dtmin, E::vp = vp, E::factor = factor;
        E::xg = xg, E::yg = yg, E::vxg = vxg, E::vyg = vyg;
        E::nstep = nstep, E::count = count;
        E::data_list[0] = firstSample;
    }
};

// Each supported path runs the same short stretch of the default start a
// few times, in turn; the shortest time any round gave decides. A stretch
// writes one sample, which the state put back restores.
SimdPath fastestPath(Scheme scheme)
{
    constexpr int kPasses = 400, kRounds = 3;
    const EngineState before = EngineState::save();
    E::setParam(2.0, 1.0);
    const EngineState start = EngineState::save();
    SimdPath best = SimdPath::Baseline;
    std::chrono::steady_clock::duration bestTime = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < kRounds; ++round)
        for (SimdPath path : kPaths) {
            if (!pathSupported(path))
                continue;
            start.restore();
            E::nstep = kPasses + 1;
            const auto t0 = std::chrono::steady_clock::now();
            runPasses(path, scheme, 3.1415926535898);
            const auto t = std::chrono::steady_clock::now() - t0;
            if (t < bestTime)
                bestTime = t, best = path;
        }
    before.restore();
    return best;
}

}  // namespace

const char *pathName(SimdPath path)
{
    switch (path) {
    case SimdPath::Baseline: return baselineName();
    case SimdPath::Avx2: return "AVX2";
    }
    return "?";
}

bool pathSupported(SimdPath path)
{
    switch (path) {
    case SimdPath::Baseline: return true;
    case SimdPath::Avx2:
#if THREEBODY_X86
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
#else
        return false;
#endif
    }
    return false;
}

SimdPath activePath(Scheme scheme)
{
    if (chosen != kNoChoice)
        return SimdPath(chosen);
    int &path = measured[int(scheme)];
    if (path == kNoChoice)
        path = int(fastestPath(scheme));
    return SimdPath(path);
}

SimdPath lastPathRun() { return detail::pathRun; }

void usePath(SimdPath path)
{
    if (pathSupported(path))
        chosen = int(path);
}

void choosePathsAgain()
{
    chosen = kNoChoice;
    std::fill(std::begin(measured), std::end(measured), kNoChoice);
}

void runPasses(SimdPath path, Scheme scheme, double pi)
{
    if (!pathSupported(path))
        path = SimdPath::Baseline;
    switch (path) {
    case SimdPath::Baseline: detail::runBaseline(scheme, pi); break;
    case SimdPath::Avx2:
#if THREEBODY_X86
        detail::runAvx2(scheme, pi);
#endif
        break;
    }
}

}  // namespace threebody
