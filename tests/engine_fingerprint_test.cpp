// One digest of the results of a fixed grid of runs, made on x86-64. Every
// processor architecture and every path must reproduce it to the bit: the
// promise that a run gives the same numbers on every machine.
#include "engine_state.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint64_t kFingerprint = 0xfad4546f5fd0896b;

// FNV-1a over 64-bit words taken by value, so byte order does not matter.
class Digest {
public:
    void add(std::uint64_t word)
    {
        for (int i = 0; i < 8; ++i) {
            hash ^= (word >> (8 * i)) & 0xff;
            hash *= 0x100000001b3;
        }
    }
    void add(double d) { add(Outcome::bitsOf(d)); }  // every NaN as one: IEEE leaves its bits open
    std::uint64_t hash = 0xcbf29ce484222325;
};

// Ordinary and degenerate starts (planet 2 on planet 1 or on the star, far
// away, behind the star; massless, negative and heavy planets), every
// scheme, three samples a run (nstep 20002).
std::uint64_t gridDigest()
{
    const double xp3s[] = {2.0, 2.5, 0.5, 3.0, -2.0, 1.0, 0.0, 1e6};
    const double factors[] = {1.0, 0.5, 0.0, 10.0, -1.0};

    Digest digest;
    for (threebody::Scheme scheme : threebody::kSchemes)
        for (double xp3 : xp3s)
            for (double factor : factors) {
                const Outcome run = runEngine(scheme, 20002, xp3, factor);
                for (double v : run.stateValues())
                    digest.add(v);
                digest.add(std::uint64_t(run.state.count));
                for (double v : run.sampleValues())
                    digest.add(v);
            }
    return digest.hash;
}

std::string hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
    return text;
}

}  // namespace

TEST(Fingerprint, EveryPathGivesTheGridsDigestMadeOnX86_64)
{
    for (const threebody::Path &path : threebody::enginePaths().supported()) {
        threebody::enginePaths().use(path.name);
        EXPECT_EQ(hex(gridDigest()), hex(kFingerprint))
            << path.name << " path; a deliberate change of results needs a new digest, made on x86-64";
    }
    threebody::enginePaths().forget();
}
