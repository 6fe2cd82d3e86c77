// How far each scheme's run is from the true motion of the same start, and
// how the Euler run's energy goes, pass by pass.
//
//   scheme_accuracy [--check] [NSTEP [SCHEME...]]   (the start-up run's 1000000, every scheme)
//
// --check fails unless the fourth-order run and the truth agree (planet 1
// within 1e-6, each variance within 1e-4 of the truth's, the truth within 1e-9
// of itself): two integrations that share no code, so a fault in either shows.
//
// The program's passes are made one at a time on its own path, so that each
// can be looked at; they must end bit for bit where the program's run does.
// The truth is an independent integration of the same start: the classical
// fourth-order Runge-Kutta method in long double with a fixed step of at most
// 2 pi / 4000, landing on each sample's time, made twice more with half and a
// quarter of that step, so that it states its own error.
#include "plain_passes.h"
#include "simd_path.h"
#include "three_bodycalc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using threebody::Scheme;
using Real = long double;

namespace {

struct Bodies {
    Real x[3], y[3], vx[3], vy[3];
};

const double *masses() { return CCalcEngine::mp; }

void accelerations(const Real x[3], const Real y[3], Real ax[3], Real ay[3])
{
    for (int b = 0; b < 3; ++b) {
        ax[b] = ay[b] = 0;
        for (int j = 0; j < 3; ++j) {
            if (j == b)
                continue;
            const Real dx = x[j] - x[b], dy = y[j] - y[b];
            const Real r2 = dx * dx + dy * dy;
            const Real f = Real(masses()[j]) / (r2 * std::sqrt(r2));
            ax[b] += f * dx;
            ay[b] += f * dy;
        }
    }
}

// One classical Runge-Kutta step of the whole system.
void truthStep(Bodies &s, Real h)
{
    Bodies k[4], at = s;
    const Real weights[4] = {0, h / 2, h / 2, h};
    for (int stage = 0; stage < 4; ++stage) {
        if (stage > 0)
            for (int b = 0; b < 3; ++b) {
                at.x[b] = s.x[b] + weights[stage] * k[stage - 1].x[b];
                at.y[b] = s.y[b] + weights[stage] * k[stage - 1].y[b];
                at.vx[b] = s.vx[b] + weights[stage] * k[stage - 1].vx[b];
                at.vy[b] = s.vy[b] + weights[stage] * k[stage - 1].vy[b];
            }
        std::memcpy(k[stage].x, at.vx, sizeof at.vx);
        std::memcpy(k[stage].y, at.vy, sizeof at.vy);
        accelerations(at.x, at.y, k[stage].vx, k[stage].vy);
    }
    for (int b = 0; b < 3; ++b) {
        s.x[b] += h / 6 * (k[0].x[b] + 2 * k[1].x[b] + 2 * k[2].x[b] + k[3].x[b]);
        s.y[b] += h / 6 * (k[0].y[b] + 2 * k[1].y[b] + 2 * k[2].y[b] + k[3].y[b]);
        s.vx[b] += h / 6 * (k[0].vx[b] + 2 * k[1].vx[b] + 2 * k[2].vx[b] + k[3].vx[b]);
        s.vy[b] += h / 6 * (k[0].vy[b] + 2 * k[1].vy[b] + 2 * k[2].vy[b] + k[3].vy[b]);
    }
}

Bodies bodiesOf(const threebody::RunState &r)
{
    Bodies s;
    for (int b = 0; b < 3; ++b)
        s.x[b] = r.bodies.xp[b], s.y[b] = r.bodies.yp[b], s.vx[b] = r.bodies.vx[b], s.vy[b] = r.bodies.vy[b];
    return s;
}

Real energy(const Bodies &s)
{
    Real e = 0;
    for (int b = 0; b < 3; ++b) {
        e += Real(masses()[b]) * (s.vx[b] * s.vx[b] + s.vy[b] * s.vy[b]) / 2;
        for (int j = b + 1; j < 3; ++j)
            e -= Real(masses()[b]) * Real(masses()[j]) / std::hypot(s.x[j] - s.x[b], s.y[j] - s.y[b]);
    }
    return e;
}

// Planet 1's direction as seen from the star, in turns.
Real planet1Turns(const Bodies &s)
{
    return std::atan2(s.y[1] - s.y[0], s.x[1] - s.x[0]) / (2 * std::acos(Real(-1)));
}

// The run's samples, as the program records them (|r| |v| about the origin).
struct Track {
    std::vector<Real> times;
    std::vector<Bodies> samples;
    Bodies end;
};

// The variances of |r| |v| over the samples, as CalcStDeviation forms them.
void variances(const std::vector<Bodies> &samples, Real out[4])
{
    std::vector<Real> am[4];
    for (const Bodies &s : samples) {
        Real total = 0;
        for (int b = 0; b < 3; ++b) {
            const Real v = std::hypot(s.x[b], s.y[b]) * std::hypot(s.vx[b], s.vy[b]);
            am[b].push_back(v);
            total += v;
        }
        am[3].push_back(total);
    }
    for (int i = 0; i < 4; ++i) {
        Real mean = 0, sum = 0;
        for (Real v : am[i])
            mean += v / Real(am[i].size());
        for (Real v : am[i])
            sum += (v - mean) * (v - mean);
        out[i] = sum / Real(am[i].size());
    }
}

// Planet 1's lag behind the truth at the end, in turns: each track's angle
// unwrapped over its samples (a sample moves it a few degrees).
Real lagInTurns(const Track &run, const Track &truth)
{
    auto unwrapped = [](const Track &t) {
        Real turns = planet1Turns(t.samples.front()), last = turns;
        auto follow = [&](const Bodies &s) {
            Real now = planet1Turns(s), step = now - last;
            step -= std::round(step);
            turns += step;
            last = now;
        };
        for (const Bodies &s : t.samples)
            follow(s);
        follow(t.end);
        return turns;
    };
    return unwrapped(truth) - unwrapped(run);
}

Track truthAt(const Bodies &start, const std::vector<Real> &times, Real endTime, Real largestStep)
{
    Track t{{}, {}, start};
    Real now = 0;
    auto advanceTo = [&](Real until) {
        const long steps = std::max(1L, long(std::ceil((until - now) / largestStep)));
        const Real h = (until - now) / Real(steps);
        for (long i = 0; i < steps; ++i)
            truthStep(t.end, h);
        now = until;
    };
    for (Real when : times) {
        advanceTo(when);
        t.samples.push_back(t.end);
    }
    advanceTo(endTime);
    return t;
}

Real distance(const Bodies &a, const Bodies &b, int body)
{
    return std::hypot(a.x[body] - b.x[body], a.y[body] - b.y[body]);
}

// Whether the run and the truth agree as closely as a fourth-order run should.
bool report(Scheme scheme, int nstep)
{
    CCalcEngine::setParam(threebody::kStartXp3, threebody::kStartFactor);
    CCalcEngine::nstep = nstep;
    const Bodies start = bodiesOf(CCalcEngine::runState());

    // The passes one at a time; every pass records into a scratch sample.
    DATA_LIST scratch{};
    threebody::RunState pass = CCalcEngine::runState();
    pass.nstep = 2;
    pass.samples = &scratch;
    pass.capacity = 1;
    Track run{{}, {}, start};
    long notRising = 0, falling = 0, firstNotRising = 0;
    double firstDt = 0, dtAt10000 = 0;
    Real e = energy(start);
    for (int k = 1; k < nstep; ++k) {
        threebody::enginePaths().run(scheme, pass);
        run.end = bodiesOf(pass);
        const Real next = energy(run.end);
        if (!(next > e)) {
            notRising += 1;
            firstNotRising = firstNotRising ? firstNotRising : k;
        }
        falling += next < e - std::fabs(e) * Real(1e-12);
        e = next;
        firstDt = k == 1 ? pass.dt : firstDt;
        dtAt10000 = k == 10000 ? pass.dt : dtAt10000;
        if (k % threebody::kSampleEvery == 1 && run.samples.size() < size_t(threebody::kMaxSamples)) {
            run.times.push_back(pass.time);
            run.samples.push_back(run.end);
        }
    }

    // The program's own run, from the same start.
    CCalcEngine::setParam(threebody::kStartXp3, threebody::kStartFactor);
    CCalcEngine::nstep = nstep;
    reference::runOn(threebody::enginePaths().pathFor(scheme), scheme, nstep);
    const threebody::RunState whole = CCalcEngine::runState();
    if (std::memcmp(whole.bodies.xp, pass.bodies.xp, sizeof whole.bodies.xp) || std::memcmp(whole.bodies.vy, pass.bodies.vy, sizeof whole.bodies.vy) ||
        whole.time != pass.time || whole.count != int(run.samples.size())) {
        std::fprintf(stderr, "scheme_accuracy: the passes one at a time end elsewhere than the program's run\n");
        std::exit(1);
    }

    std::printf("%s, nstep %d: %d samples, time %.6g\n", reference::schemeName(scheme), nstep, whole.count,
                whole.time);
    std::printf("  energy: %ld of %d passes do not raise it (the first is pass %ld), %ld lower it by more than "
                "1e-12 of its size; from %.10Lg to %.10Lg\n",
                notRising, nstep - 1, firstNotRising, falling, energy(start), energy(run.end));
    std::printf("  step: %.3g times the first by pass 10000, %.3g times at the end\n", dtAt10000 / firstDt,
                pass.dt / firstDt);
    const char *names[4] = {"star", "planet 1", "planet 2", "total"};
    if (scheme == Scheme::Euler) {  // its time runs away with its step: no truth that far
        for (int i = 0; i < 4; ++i)
            std::printf("  variance, %-8s: %.5g\n", names[i], CCalcEngine::am_list[i]);
        return false;
    }

    const Real step = 2 * std::acos(Real(-1)) / 4000;
    const Track truth = truthAt(start, run.times, pass.time, step);
    const Track half = truthAt(start, run.times, pass.time, step / 2);
    const Track quarter = truthAt(start, run.times, pass.time, step / 4);
    Real trueVariances[4], halfVariances[4];
    variances(quarter.samples, trueVariances);
    variances(half.samples, halfVariances);

    std::printf("  the truth's own error: planet 1 %.2Lg apart at step / 2 and step / 4 (%.2Lg at step and step / 2)\n",
                distance(half.end, quarter.end, 1), distance(truth.end, half.end, 1));
    std::printf("  planet 1 at the end: %.3Lg from the truth, %.4Lg turns behind it (%.1Lf degrees)\n",
                distance(run.end, quarter.end, 1), lagInTurns(run, quarter), lagInTurns(run, quarter) * 360);
    std::printf("  planet 2 at the end: %.3Lg from the truth\n", distance(run.end, quarter.end, 2));
    Real widestGap = 0;
    for (int i = 0; i < 4; ++i) {
        const Real gap = Real(CCalcEngine::am_list[i]) / trueVariances[i] - 1;
        widestGap = std::max(widestGap, std::fabs(gap));
        std::printf("  variance, %-8s: %.5g, the truth's %.5Lg (%+.2Lf %%; the truth's at step / 2 %+.1Lg %%)\n",
                    names[i], CCalcEngine::am_list[i], trueVariances[i], gap * 100,
                    (halfVariances[i] / trueVariances[i] - 1) * 100);
    }
    return distance(run.end, quarter.end, 1) < 1e-6 && widestGap < 1e-4 && distance(half.end, quarter.end, 1) < 1e-9;
}

}  // namespace

int main(int argc, char **argv)
{
    const bool check = argc > 1 && std::string(argv[1]) == "--check";
    argc -= check, argv += check;
    const int nstep = argc > 1 ? std::atoi(argv[1]) : threebody::kStartNstep;
    bool agreed = true;
    for (Scheme scheme : threebody::kSchemes) {
        bool wanted = argc <= 2;
        for (int i = 2; i < argc; ++i)
            wanted |= std::string(argv[i]) == reference::schemeName(scheme);
        if (wanted) {
            const bool close = report(scheme, nstep);
            agreed &= close || scheme != Scheme::RungeKutta4;
        }
    }
    if (check && !agreed) {
        std::fprintf(stderr, "scheme_accuracy: the fourth-order run and the truth disagree (or the truth with itself)\n");
        return 1;
    }
}
