// The shared geometry of the bars: the animation curve, stroke bounds, and
// keeping rectangles in the desktop and in an area.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "ui/bars/BarGeometry.h"

namespace {

TEST(AnimationCurve, EasedAndLinearValues) {
    const double total = 100;
    struct Case {
        int mode, steps, i;
        double expected;
    } cases[] = {
        {2, 10, 0, 0},
        {2, 10, 4, total * std::sqrt(0.2)},
        {2, 10, 5, total - total * std::sqrt(0.2)},
        {2, 10, 9, total},
        {1, 10, 4, 40},
        {1, 10, 10, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " i " << c.i);
        AnimationCurve curve{total, c.steps, c.mode};
        EXPECT_NEAR(curve.valueAt(c.i), c.expected, 1e-9);
    }
}

TEST(AnimationCurve, StepDueForAValue) {
    struct Case {
        int mode;
        double v;
        int expected;
    } cases[] = {
        {2, 100, 9},
        {2, 150, 9},
        {2, 0, 0},
        {2, 25, 1} /* 2*10*625/10000 */,
        {2, 75, 8} /* 10 - 2*10*625/10000 = 8.75 */,
        {1, 45, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " v " << c.v);
        AnimationCurve curve{100, 10, c.mode};
        EXPECT_EQ(curve.stepAt(c.v), c.expected);
    }
}

TEST(StrokeBounds, SkipsMarkersAndInflates) {
    const InkPoint points[] = {makeInkPoint(40, 80), kInkSeparator, makeInkPoint(403, 16),
                               kInkFinishMarker};
    RECT r = strokeBounds(points, 4, 0, 0);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 4);
    EXPECT_EQ(r.right, 101);
    EXPECT_EQ(r.bottom, 21);
    r = strokeBounds(points, 4, 2, 3);
    EXPECT_EQ(r.left, 8);
    EXPECT_EQ(r.bottom, 24);
    EXPECT_TRUE(pointIsMarker(kInkSeparator));
    EXPECT_FALSE(pointIsMarker(kInkFinishMarker));
}

TEST(FitRectIn, ShiftsInsideOrCentres) {
    const RECT area = {0, 0, 100, 100};
    struct Case {
        const char* name;
        RECT in;
        bool centre;
        RECT out;
        bool moved;
    } cases[] = {
        {"inside", {10, 10, 20, 20}, false, {10, 10, 20, 20}, false},
        {"past right and bottom", {95, 95, 115, 105}, false, {80, 90, 100, 100}, true},
        {"left of area", {-5, 10, 5, 20}, false, {0, 10, 10, 20}, true},
        {"wider than area: left wins", {10, 10, 130, 20}, false, {0, 10, 120, 20}, true},
        {"centred", {0, 0, 20, 10}, true, {40, 45, 60, 55}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT r = c.in;
        EXPECT_EQ(fitRectIn(&r, area, c.centre), c.moved);
        EXPECT_TRUE(rectsEqual(r, c.out))
            << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(KeepRectInDesktop, LeftAndTopWin) {
    const RECT d = desktopRect();
    RECT r = {d.left - 30, d.bottom - 5, d.left - 10, d.bottom + 15};
    EXPECT_TRUE(keepRectInDesktop(&r));
    EXPECT_EQ(r.left, d.left);
    EXPECT_EQ(r.bottom, d.bottom);
    RECT inside = {d.left + 1, d.top + 1, d.left + 2, d.top + 2};
    EXPECT_FALSE(keepRectInDesktop(&inside));
}

TEST(PostDelayed, PostsAfterTheDelay) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(postDelayed(window, WM_APP + 5, 1, 2, 150));
    MSG m;
    bool got = false;
    while (GetTickCount() - start < 3000 && !got) {
        if (PeekMessageW(&m, window, WM_APP + 5, WM_APP + 5, PM_REMOVE))
            got = true;
        else
            Sleep(5);
    }
    EXPECT_TRUE(got);
    EXPECT_GE(GetTickCount() - start, 140u);
    EXPECT_EQ(m.lParam, 2);
    DestroyWindow(window);
}

// The idle tick counts the program's own typing only when it is later than the
// user's input and not in the future, across the wrap of the tick counter.
TEST(IdleSinceTick, TakesTheProgramsOwnInputOnlyWhenLaterAndNotInTheFuture) {
    struct IdleCase {
        const char* name;
        DWORD user;
        bool hasOwn;
        DWORD own;
        DWORD now;
        DWORD expected;
    };
    const IdleCase cases[] = {
        {"no own input", 1000, false, 0, 5000, 1000},
        {"own input later", 1000, true, 3000, 5000, 3000},
        {"own input now", 1000, true, 5000, 5000, 5000},
        {"own input earlier", 3000, true, 1000, 5000, 3000},
        {"own input at the same tick", 3000, true, 3000, 5000, 3000},
        {"own input in the future", 1000, true, 6000, 5000, 1000},
        {"own input after the counter wrapped", 0xFFFFFF00u, true, 0x10, 0x20, 0x10},
        {"user input after the counter wrapped", 0x10, true, 0xFFFFFF00u, 0x20, 0x10},
    };
    for (const IdleCase& c : cases)
        EXPECT_EQ(c.expected, laterInputTick(c.user, c.hasOwn ? &c.own : nullptr, c.now))
            << c.name;

    // Live: a key the program sent just now is the latest input; one noted in
    // the future never is.
    const DWORD now = GetTickCount();
    noteSyntheticInputTick(now);
    EXPECT_GE(static_cast<LONG>(idleSinceTick() - now), 0);
    noteSyntheticInputTick(now + 600000);
    EXPECT_NE(now + 600000, idleSinceTick());
    clearSyntheticInputTick();
}

}  // namespace
