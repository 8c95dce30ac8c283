// The guard against hardware faults in outside code: a fault inside the
// guarded call is stopped there and reported, the thread goes on (also with
// further guarded calls and with guards nested), and what is no fault (a
// call that returns, a C++ exception) goes its usual way.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "win/FaultGuard.h"

namespace {

// Kept out of the optimiser's sight, so that the faults really happen.
int* volatile g_nowhere = nullptr;
volatile int g_zero = 0;

__attribute__((noinline)) void writeNowhere() { *g_nowhere = 1; }

// A fault a few calls deep, with locals in the frames above it.
__attribute__((noinline)) int deepFault(int depth) {
    volatile int local[16] = {depth};
    if (depth == 0) {
        writeNowhere();
        return 0;
    }
    return deepFault(depth - 1) + local[0];
}

TEST(FaultGuard, FaultsInsideTheCallAreStoppedAndReported) {
    const struct {
        const char* what;
        void (*call)();
        DWORD code;
    } cases[] = {
        {"a write through a null pointer", [] { writeNowhere(); }, EXCEPTION_ACCESS_VIOLATION},
        {"a fault four calls deep", [] { deepFault(4); }, EXCEPTION_ACCESS_VIOLATION},
        {"an integer division by zero", [] { g_zero = 7 / g_zero; }, EXCEPTION_INT_DIVIDE_BY_ZERO},
    };
    for (const auto& c : cases) {
        DWORD fault = 0;
        bool after = false;
        EXPECT_FALSE(win::guarded(
            [&] {
                c.call();
                after = true;
            },
            &fault))
            << c.what;
        EXPECT_EQ(fault, c.code) << c.what;
        EXPECT_FALSE(after) << c.what << ": the rest of the call is abandoned";
    }
}

TEST(FaultGuard, ACallThatReturnsIsAnsweredTrue) {
    int runs = 0;
    DWORD fault = 123;
    EXPECT_TRUE(win::guarded([&] { ++runs; }, &fault));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(fault, 0u);
}

TEST(FaultGuard, TheThreadGoesOnAndGuardsAgain) {
    // After a fault the guard is gone: the next guarded calls work as new.
    for (int i = 0; i < 50; ++i) ASSERT_FALSE(win::guarded([] { writeNowhere(); }));
    EXPECT_TRUE(win::guarded([] {}));
    // The last error is the one the call left when it faulted.
    win::guarded([] {
        SetLastError(1234);
        writeNowhere();
    });
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(FaultGuard, GuardsNestAndTheInnerOneTakesItsFault) {
    bool innerFaulted = false, outerWentOn = false;
    EXPECT_TRUE(win::guarded([&] {
        innerFaulted = !win::guarded([] { writeNowhere(); });
        outerWentOn = true;
    }));
    EXPECT_TRUE(innerFaulted);
    EXPECT_TRUE(outerWentOn);
    // A fault after the inner guard ended belongs to the outer one.
    bool outerFaulted = !win::guarded([] {
        win::guarded([] {});
        writeNowhere();
    });
    EXPECT_TRUE(outerFaulted);
}

TEST(FaultGuard, CppExceptionsAreNoFaults) {
    bool caughtInside = false;
    EXPECT_TRUE(win::guarded([&] {
        try {
            throw std::runtime_error("inside");
        } catch (const std::exception&) {
            caughtInside = true;
        }
    }));
    EXPECT_TRUE(caughtInside);
    bool caughtOutside = false;
    try {
        win::guarded([] { throw std::runtime_error("through"); });
    } catch (const std::runtime_error&) {
        caughtOutside = true;
    }
    EXPECT_TRUE(caughtOutside) << "the guard lets it pass";
}

TEST(FaultGuard, EachThreadHasItsOwnRecoveryPoint) {
    bool otherFaulted = false, thisFaulted = false;
    std::thread other([&] { otherFaulted = !win::guarded([] { writeNowhere(); }); });
    thisFaulted = !win::guarded([] { writeNowhere(); });
    other.join();
    EXPECT_TRUE(otherFaulted);
    EXPECT_TRUE(thisFaulted);
}

}  // namespace
