// The top of the engine: planar three-body simulation (star, planet 1,
// planet 2; G = 1) as the user interface sees it.
//
// All simulation state is class-wide so that the three scheme objects work on
// one and the same system and the user interface can read it by name. A run
// takes it as a RunState, runs the passes on that, and gives it back.
// Every floating-point operation and its order are fixed: results are
// reproducible to the last bit (build with -ffp-contract=off).
#ifndef THREE_BODYCALC_H
#define THREE_BODYCALC_H

#include "constants.h"
#include "run_state.h"

class CCalcEngine {
public:
    CCalcEngine();
    // Schemes are held and deleted through this class too.
    virtual ~CCalcEngine() = default;
    // Runs one whole simulation from the current state; the base does nothing.
    virtual void Calculation();

    static void setParam(double xp3, double factor);
    static void CalcStDeviation();

    // The class-wide members that a run reads and writes, as one value.
    static threebody::RunState runState();
    static void setRunState(const threebody::RunState &state);

    double pi;

    // Zero until a run or setParam sets them.
    static inline int maxtime = 0, nstep = 0, count = 0;
    static inline double dtmin = 0, dt = 0, time = 0;
    // The bodies as one value, which a run's state takes and gives back in
    // one assignment; every reader uses the names of its arrays.
    static inline threebody::Bodies bodies = {};
    static inline double (&xp)[3] = bodies.xp, (&yp)[3] = bodies.yp, (&vx)[3] = bodies.vx, (&vy)[3] = bodies.vy,
                         (&mp)[3] = bodies.mp;
    static inline double xg = 0, yg = 0;
    static inline double vxg = 0, vyg = 0;
    static inline double vp = 0;
    static inline double am_list[4] = {};
    static inline double factor = 0;
    static inline DATA_LIST data_list[threebody::kMaxSamples] = {};

protected:
    // The passes on the path chosen for the scheme, then the statistics.
    void run(threebody::Scheme scheme);
};

class CThreeBodyEuler : public CCalcEngine {
public:
    void Calculation() override;
};

class CThreeBodyRK2 : public CCalcEngine {
public:
    void Calculation() override;
};

class CThreeBodyRK4 : public CCalcEngine {
public:
    void Calculation() override;
};

#endif
