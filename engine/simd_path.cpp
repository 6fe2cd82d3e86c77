#include "simd_path.h"

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

SimdPath widestSupported()
{
    if (pathSupported(SimdPath::Avx2))
        return SimdPath::Avx2;
    return SimdPath::Baseline;
}

SimdPath &chosenPath()
{
    static SimdPath path = widestSupported();
    return path;
}

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

SimdPath activePath() { return chosenPath(); }

SimdPath lastPathRun() { return detail::pathRun; }

void usePath(SimdPath path)
{
    if (pathSupported(path))
        chosenPath() = path;
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
