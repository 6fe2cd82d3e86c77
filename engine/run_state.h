// The bottom of the engine, which every layer above reads and writes: a
// trajectory sample, the schemes' names, the bodies, and a run's state. A
// run's passes take a RunState and nothing else, so that a run can be made
// on a copy (the path measurement, the tests) that leaves the program's
// class-wide state alone.
#ifndef THREEBODY_RUN_STATE_H
#define THREEBODY_RUN_STATE_H

#include "constants.h"

// One trajectory sample.
struct DATA_LIST {
    double x[3];
    double y[3];
    double am[3];  // distance from the origin times speed, per body
};

namespace threebody {

enum class Scheme { Euler, Midpoint, RungeKutta4 };
inline constexpr Scheme kSchemes[] = {Scheme::Euler, Scheme::Midpoint, Scheme::RungeKutta4};

// Positions, velocities and masses of the star (0) and the planets (1, 2).
struct Bodies {
    double xp[3], yp[3], vx[3], vy[3], mp[3];
};

// The bodies as setParam places them, and the centre of mass it took away.
struct Start {
    Bodies bodies;
    double xg, yg, vxg, vyg;
};

struct RunState {
    Bodies bodies;
    double time, dt, dtmin, vp;
    int nstep, count;
    DATA_LIST *samples;  // room for `capacity` records
    int capacity;
    double pi = kPi;  // each pass's dt is ((pi + pi) * dtmin) * kStepFraction
};

Start startOf(double xp3, double factor);

// The state of a run of nstep from `start` before its first pass: time 0,
// recording into `samples`.
RunState beforeFirstPass(const Start &start, int nstep, DATA_LIST *samples, int capacity);

}  // namespace threebody

#endif
