// Planar three-body simulation (star, planet 1, planet 2; G = 1).
//
// All simulation state is class-wide so that the three scheme objects work on
// one and the same system and the user interface can read it by name.
// Every floating-point operation and its order are fixed: results are
// reproducible to the last bit (build with -ffp-contract=off).
#ifndef THREE_BODYCALC_H
#define THREE_BODYCALC_H

#include "constants.h"
#include "run_state.h"
#include "simd_path.h"

struct DATA_LIST {
    double x[3];
    double y[3];
    double am[3];  // distance from the origin times speed, per body
};

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

    static int maxtime;
    static int nstep;
    static int count;
    static double dtmin;
    static double dt;
    static double time;
    static double xp[3];
    static double yp[3];
    static double vx[3];
    static double vy[3];
    static double mp[3];
    static double xg, yg;
    static double vxg, vyg;
    static double vp;
    static double am_list[4];
    static double factor;
    static DATA_LIST data_list[threebody::kMaxSamples];

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
