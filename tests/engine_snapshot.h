// Everything that a run may change in the engine's shared state, for
// before/after and this-run/that-run comparisons, bit for bit.
#ifndef ENGINE_SNAPSHOT_H
#define ENGINE_SNAPSHOT_H

#include "three_bodycalc.h"

#include <cstring>

struct EngineSnapshot {
    double xp[3], yp[3], vx[3], vy[3], mp[3];
    double time, dt, dtmin, vp;
    int count;

    static EngineSnapshot take()
    {
        using E = CCalcEngine;
        EngineSnapshot s;
        std::memcpy(s.xp, E::xp, sizeof s.xp);
        std::memcpy(s.yp, E::yp, sizeof s.yp);
        std::memcpy(s.vx, E::vx, sizeof s.vx);
        std::memcpy(s.vy, E::vy, sizeof s.vy);
        std::memcpy(s.mp, E::mp, sizeof s.mp);
        s.time = E::time;
        s.dt = E::dt;
        s.dtmin = E::dtmin;
        s.vp = E::vp;
        s.count = E::count;
        return s;
    }

    // Positions, velocities and masses identical to the bit.
    bool bodiesEqual(const EngineSnapshot &o) const
    {
        return std::memcmp(xp, o.xp, sizeof xp) == 0 && std::memcmp(yp, o.yp, sizeof yp) == 0 &&
               std::memcmp(vx, o.vx, sizeof vx) == 0 && std::memcmp(vy, o.vy, sizeof vy) == 0 &&
               std::memcmp(mp, o.mp, sizeof mp) == 0;
    }
};

#endif
