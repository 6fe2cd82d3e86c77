// libFuzzer target for the engine: arbitrary bytes become xp3, factor, the
// scheme, the instruction-set path and a short run length. Every run must
// match the plain evaluation bit for bit, keep count within its bounds and
// leave the records past it alone; the sanitizers catch the rest.
//
// Input: xp3 (8 bytes), factor (8), selector (1: scheme and path),
// run length (2, signed, folded into -3000..3000). Short inputs are padded.
#include "plain_passes.h"
#include "simd_path.h"
#include "three_bodycalc.h"

#include <cmath>
#include <iterator>
#include <cstdint>
#include <cstring>
#include <initializer_list>

using E = CCalcEngine;

namespace {

constexpr int kCanaryRecords = 4;
constexpr double kCanary = -123456.75;

struct Snapshot {
    double values[3 * 4 + 4 + 4 + 9];
    int count;
};

Snapshot take()
{
    Snapshot s{};
    int n = 0;
    for (const double *a : {E::xp, E::yp, E::vx, E::vy})
        for (int i = 0; i < 3; ++i)
            s.values[n++] = a[i];
    for (double v : {E::time, E::dt, E::dtmin, E::vp})
        s.values[n++] = v;
    for (double v : E::am_list)
        s.values[n++] = v;
    for (const double *a : {E::data_list[0].x, E::data_list[0].y, E::data_list[0].am})
        for (int i = 0; i < 3; ++i)
            s.values[n++] = a[i];
    s.count = E::count;
    return s;
}

bool same(const Snapshot &a, const Snapshot &b)
{
    if (a.count != b.count)
        return false;
    for (size_t i = 0; i < sizeof a.values / sizeof a.values[0]; ++i) {
        const double x = a.values[i], y = b.values[i];
        if (std::isnan(x) && std::isnan(y))
            continue;  // IEEE leaves a NaN's sign and payload open
        if (std::memcmp(&x, &y, sizeof x) != 0)
            return false;
    }
    return true;
}

void setUp(double xp3, double factor, int nstep)
{
    E::setParam(xp3, factor);
    E::nstep = nstep;
    E::dtmin = 0.5;
    E::vp = 0.25;
    for (int r = 0; r < kCanaryRecords; ++r)
        for (int c = 0; c < 3; ++c)
            E::data_list[r].x[c] = E::data_list[r].y[c] = E::data_list[r].am[c] = kCanary;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::uint8_t bytes[19] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    double xp3, factor;
    std::memcpy(&xp3, bytes, 8);
    std::memcpy(&factor, bytes + 8, 8);
    const auto scheme = threebody::Scheme(bytes[16] % 3);
    const auto path = threebody::kPaths[(bytes[16] / 3) % std::size(threebody::kPaths)];
    std::int16_t length;
    std::memcpy(&length, bytes + 17, 2);
    const int nstep = length % 3001;

    setUp(xp3, factor, nstep);
    threebody::runPasses(path, scheme, 3.1415926535898);
    E::CalcStDeviation();
    const Snapshot fast = take();

    const int expected = nstep <= 1 ? 0 : (nstep - 2) / 10000 + 1;
    if (E::count != expected)
        __builtin_trap();
    for (int r = E::count; r < kCanaryRecords; ++r)
        for (int c = 0; c < 3; ++c)
            if (E::data_list[r].x[c] != kCanary || E::data_list[r].y[c] != kCanary ||
                E::data_list[r].am[c] != kCanary)
                __builtin_trap();

    setUp(xp3, factor, nstep);
    reference::runPlainPasses(scheme, 3.1415926535898);
    E::CalcStDeviation();
    if (!same(fast, take()))
        __builtin_trap();
    return 0;
}
