// What a run's passes read and write, held apart from CCalcEngine's
// class-wide members: Calculation() loads it from them once and stores it
// back once, so that a run can also be made on a copy (the path
// measurement, the tests) that leaves the program's state alone.
#ifndef THREEBODY_RUN_STATE_H
#define THREEBODY_RUN_STATE_H

struct DATA_LIST;

namespace threebody {

struct RunState {
    double xp[3], yp[3], vx[3], vy[3], mp[3];
    double time, dt, dtmin, vp;
    int nstep, count;
    DATA_LIST *samples;  // room for `capacity` records
    int capacity;
};

// The bodies as setParam places them, and the centre of mass it took away.
struct Start {
    double xp[3], yp[3], vx[3], vy[3], mp[3];
    double xg, yg, vxg, vyg;
};

Start startOf(double xp3, double factor);

// A run of nstep from `start` at time 0, recording into `samples`.
RunState runFrom(const Start &start, int nstep, DATA_LIST *samples, int capacity);

}  // namespace threebody

#endif
