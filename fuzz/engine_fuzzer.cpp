// libFuzzer target for the engine: arbitrary bytes become xp3, factor, the
// scheme, the instruction-set path and a short run length. Every run must
// match the plain evaluation bit for bit, take the samples its length
// gives and leave the records past them alone; the sanitizers catch the rest.
//
// Input: xp3 (8 bytes), factor (8), selector (1: scheme and path),
// run length (2, signed, folded into -3000..3000). Short inputs are padded.
#include "engine_state.h"

#include <cstdint>
#include <cstring>

using E = CCalcEngine;

namespace {

constexpr int kCanaryRecords = 4;
constexpr double kCanary = -123456.75;

// A run on `path`, with the records it may write set to a canary first.
Outcome runWithCanaries(double xp3, double factor, int nstep, threebody::Scheme scheme, const threebody::Path &path)
{
    E::setParam(xp3, factor);
    E::dtmin = 0.5;
    E::vp = 0.25;
    for (DATA_LIST *d = E::data_list; d < E::data_list + kCanaryRecords; ++d)
        for (double *a : {d->x, d->y, d->am})
            std::fill(a, a + 3, kCanary);
    reference::runOn(path, scheme, nstep);
    for (DATA_LIST *d = E::data_list + E::count; d < E::data_list + kCanaryRecords; ++d)
        for (const double *a : {d->x, d->y, d->am})
            if (a[0] != kCanary || a[1] != kCanary || a[2] != kCanary)
                __builtin_trap();
    return Outcome::ofEngine();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::uint8_t bytes[19] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    double xp3, factor;
    std::memcpy(&xp3, bytes, 8);
    std::memcpy(&factor, bytes + 8, 8);
    const threebody::Scheme scheme = threebody::kSchemes[bytes[16] % 3];
    const auto &paths = threebody::enginePaths().supported();
    const threebody::Path &path = paths[(bytes[16] / 3) % paths.size()];
    std::int16_t length;
    std::memcpy(&length, bytes + 17, 2);
    const int nstep = length % 3001;

    const Outcome fast = runWithCanaries(xp3, factor, nstep, scheme, path);
    if (fast.state.count != threebody::samplesOfRun(nstep))
        __builtin_trap();
    if (!fast.differenceTo(runWithCanaries(xp3, factor, nstep, scheme, reference::plainPath())).empty())
        __builtin_trap();
    return 0;
}
