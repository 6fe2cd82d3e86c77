// The roots and divisions that a pass issues, counted by running the
// engine's own kernel on lanes that count them instead of computing: the
// floor's unit time follows the kernel whenever it changes.
#include "kernel_census.h"

#include "constants.h"
#include "run_state.h"

namespace {

passfloor::Issued counted;

struct Lanes {
    double v[4];
};

struct LanesPair {
    Lanes first, second;
};

template <class Op>
Lanes each(Lanes a, Lanes b, Op op)
{
    return {{op(a.v[0], b.v[0]), op(a.v[1], b.v[1]), op(a.v[2], b.v[2]), op(a.v[3], b.v[3])}};
}
Lanes operator+(Lanes a, Lanes b) { return each(a, b, [](double x, double y) { return x + y; }); }
Lanes operator-(Lanes a, Lanes b) { return each(a, b, [](double x, double y) { return x - y; }); }
Lanes operator*(Lanes a, Lanes b) { return each(a, b, [](double x, double y) { return x * y; }); }
Lanes operator/(Lanes a, Lanes)
{
    ++counted.singleDivisions;
    return a;
}

Lanes splat(double d) { return {{d, d, d, d}}; }
double lane(Lanes v, int i) { return v.v[i]; }
Lanes load3(const double a[3]) { return {{a[0], a[1], a[2], 0.0}}; }
void store3(double a[3], Lanes v)
{
    for (int i = 0; i < 3; ++i)
        a[i] = v.v[i];
}
Lanes pairTarget(Lanes b) { return b; }
Lanes pairSource(Lanes b) { return b; }
Lanes column0(Lanes fwd, Lanes) { return fwd; }
Lanes column1(Lanes fwd, Lanes) { return fwd; }
Lanes column2(Lanes fwd, Lanes) { return fwd; }

Lanes vsqrt(Lanes a)
{
    ++counted.singleRoots;
    return a;
}
LanesPair sqrtBoth(Lanes a, Lanes b)
{
    ++counted.rootPairs;
    return {a, b};
}
LanesPair divideBoth(Lanes a, Lanes, Lanes c, Lanes)
{
    ++counted.divisionPairs;
    return {a, c};
}

}  // namespace

#include "run_kernel.h"

namespace passfloor {

Issued issuedPerPass(threebody::Scheme scheme)
{
    // Two passes less one: the first pass also takes a sample.
    Issued runs[2];
    for (int passes = 1; passes <= 2; ++passes) {
        counted = {};
        const threebody::Start start = threebody::startOf(threebody::kStartXp3, threebody::kStartFactor);
        DATA_LIST sample[1];
        threebody::RunState state = threebody::beforeFirstPass(start, passes + 1, sample, 1);
        runScheme(scheme, state);
        runs[passes - 1] = counted;
    }
    return {runs[1].rootPairs - runs[0].rootPairs, runs[1].singleRoots - runs[0].singleRoots,
            runs[1].divisionPairs - runs[0].divisionPairs, runs[1].singleDivisions - runs[0].singleDivisions};
}

}  // namespace passfloor
