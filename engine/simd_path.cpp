#include "simd_path.h"

namespace threebody {

namespace detail {
void runBaseline(Scheme scheme, double pi);
void runAvx2(Scheme scheme, double pi);
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

}  // namespace

const char *pathName(SimdPath path)
{
    switch (path) {
    case SimdPath::Baseline: return "SSE2";
    case SimdPath::Avx2: return "AVX2";
    }
    return "?";
}

bool pathSupported(SimdPath path)
{
    __builtin_cpu_init();
    switch (path) {
    case SimdPath::Baseline: return true;
    case SimdPath::Avx2: return __builtin_cpu_supports("avx2");
    }
    return false;
}

SimdPath activePath() { return chosenPath(); }

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
    case SimdPath::Avx2: detail::runAvx2(scheme, pi); break;
    }
}

}  // namespace threebody
