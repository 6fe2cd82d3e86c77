// What a run does with memory: it allocates nothing, and the sample store
// never grows past its 10000 records however long the run.
#include "engine_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

// Counts every allocation of the process; the test looks at a run's share.
// Every form of new and delete is replaced, so that whatever form a library
// uses (GoogleTest 1.16 uses the nothrow one), allocation and release meet
// in malloc and free.
void *operator new(std::size_t size)
{
    ++allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    ++allocations;
    return std::malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept { return operator new(size, tag); }
// Out of line, so that the compiler does not pair a new expression with free.
__attribute__((noinline)) void operator delete(void *p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void *p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void *p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }

using E = CCalcEngine;

TEST(Memory, ARunAllocatesNothing)
{
    {
        const long before = allocations.load();
        int *volatile probe = new int(1);  // the counter does see allocations
        delete probe;
        ASSERT_EQ(allocations.load(), before + 1);
    }
    // First with each scheme's path measured on the way, then on each path.
    threebody::enginePaths().forget();
    std::vector<const char *> paths = {nullptr};
    for (const threebody::Path &path : threebody::enginePaths().supported())
        paths.push_back(path.name);
    for (const char *path : paths) {
        if (path)
            threebody::enginePaths().use(path);
        for (threebody::Scheme scheme : threebody::kSchemes) {
            const auto engine = engineFor(scheme);
            E::setParam(2, 1);
            E::nstep = 30003;
            const long before = allocations.load();
            engine->Calculation();
            EXPECT_EQ(allocations.load(), before) << (path ? path : "measured");
            EXPECT_EQ(E::count, 4);
        }
    }
    threebody::enginePaths().forget();
}

// A long run: about two seconds optimised (labelled "slow").
TEST(Memory, TheFullSampleStoreStopsAtTenThousand)
{
    CThreeBodyEuler euler;
    E::setParam(2, 1);
    E::nstep = 99990002;  // the smallest bound that fills the store
    euler.Calculation();
    ASSERT_EQ(E::count, 10000);
    const DATA_LIST last = E::data_list[9999];

    E::setParam(2, 1);
    E::nstep = 100010003;  // two more sampling passes, both dropped
    euler.Calculation();
    EXPECT_EQ(E::count, 10000);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(E::data_list[9999].x[c], last.x[c]);
        EXPECT_EQ(E::data_list[9999].y[c], last.y[c]);
        EXPECT_EQ(E::data_list[9999].am[c], last.am[c]);
    }
}
