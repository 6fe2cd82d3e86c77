// The engine's outcome of a run, taken once and compared bit for bit: the
// one way the tests, the fuzzer and the fingerprint capture and compare it.
// Any NaN matches any NaN: IEEE 754 leaves a NaN result's sign and payload
// open, and compilers may pick either operand's.
#ifndef ENGINE_STATE_H
#define ENGINE_STATE_H

#include "plain_passes.h"
#include "three_bodycalc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct Outcome {
    threebody::RunState state;  // its sample pointer is not followed
    std::vector<DATA_LIST> samples;
    double am_list[4] = {};  // the statistics, where taken from the engine

    // A run made on `state`, with a copy of its samples.
    static Outcome of(const threebody::RunState &state)
    {
        Outcome o;
        o.state = state;
        o.samples.assign(state.samples, state.samples + state.count);
        return o;
    }
    // The engine's class-wide state and statistics.
    static Outcome ofEngine()
    {
        Outcome o = of(CCalcEngine::runState());
        std::memcpy(o.am_list, CCalcEngine::am_list, sizeof o.am_list);
        return o;
    }

    // What a run writes, in a fixed order: the bodies' positions and
    // speeds, the statistics, time, dt, dtmin and vp; then the samples.
    std::vector<double> stateValues() const
    {
        std::vector<double> v;
        for (const double *a : {state.bodies.xp, state.bodies.yp, state.bodies.vx, state.bodies.vy})
            v.insert(v.end(), a, a + 3);
        v.insert(v.end(), am_list, am_list + 4);
        v.insert(v.end(), {state.time, state.dt, state.dtmin, state.vp});
        return v;
    }
    std::vector<double> sampleValues() const
    {
        std::vector<double> v;
        for (const DATA_LIST &d : samples)
            for (const double *a : {d.x, d.y, d.am})
                v.insert(v.end(), a, a + 3);
        return v;
    }

    // A double's bits, every NaN as one and the same.
    static std::uint64_t bitsOf(double d)
    {
        std::uint64_t bits = 0x7ff8000000000000;
        if (!std::isnan(d))
            std::memcpy(&bits, &d, sizeof bits);
        return bits;
    }

    // Empty when `got` wrote what this did, else where they first differ.
    std::string differenceTo(const Outcome &got) const
    {
        if (state.count != got.state.count)
            return "count " + std::to_string(got.state.count) + " instead of " + std::to_string(state.count);
        for (auto part : {&Outcome::stateValues, &Outcome::sampleValues}) {
            const std::vector<double> want = (this->*part)(), have = (got.*part)();
            for (size_t i = 0; i < want.size(); ++i)
                if (bitsOf(want[i]) != bitsOf(have[i]))
                    return (part == &Outcome::stateValues ? "value " : "sample value ") + std::to_string(i) + ": " +
                           std::to_string(have[i]) + " instead of " + std::to_string(want[i]);
        }
        return {};
    }
};

// The engine object of a scheme.
inline std::unique_ptr<CCalcEngine> engineFor(threebody::Scheme scheme)
{
    switch (scheme) {
    case threebody::Scheme::Euler: return std::make_unique<CThreeBodyEuler>();
    case threebody::Scheme::Midpoint: return std::make_unique<CThreeBodyRK2>();
    case threebody::Scheme::RungeKutta4: return std::make_unique<CThreeBodyRK4>();
    }
    return nullptr;
}

using reference::schemeName;

// A whole run of the scheme through its engine, from setParam(xp3, factor).
inline Outcome runEngine(threebody::Scheme scheme, int nstep, double xp3 = threebody::kStartXp3,
                         double factor = threebody::kStartFactor)
{
    const auto engine = engineFor(scheme);  // constructing one resets nstep
    CCalcEngine::setParam(xp3, factor);
    CCalcEngine::nstep = nstep;
    engine->Calculation();
    return Outcome::ofEngine();
}

#endif
