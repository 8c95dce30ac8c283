// The ink point list: control entries, bounds in pixels and the loop test.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ink/InkPointList.h"
#include "ink_points.h"

namespace {

using inktest::Points;
using inktest::quarterPoints;
using inktest::withSeparator;

TEST(InkPointTest, EntryIsOne32BitValueWithXInTheLowHalf) {
    EXPECT_EQ(inkPointValue(kInkSeparator), 0xFFFF7530u);
    EXPECT_EQ(inkPointValue(kInkFinishMarker), 0xFFFE7530u);
    EXPECT_EQ(inkPointValue(kInkLiveInkMarker), 0xFFFD7530u);
}

TEST(InkPointTest, OnlyTheSeparatorIsASeparator) {
    struct Case {
        InkPoint point;
        bool separator, finish, liveInk;
    };
    const Case cases[] = {
        {kInkSeparator, true, false, false},
        {kInkFinishMarker, false, true, false},
        {kInkLiveInkMarker, false, false, true},
        {makeInkPoint(30000, 0xFFFC), false, false, false},
        {makeInkPoint(29999, 0xFFFF), false, false, false},  // y = -1 alone is no separator
        {makeInkPoint(0, 0), false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y);
        EXPECT_EQ(isSeparator(c.point), c.separator);
        EXPECT_EQ(isFinishMarker(c.point), c.finish);
        EXPECT_EQ(isLiveInkMarker(c.point), c.liveInk);
    }
}

struct BoundsCase {
    std::string name;
    Points points;
    int marginX, marginY;
    bool found;
    InkRect rect;
};

std::ostream& operator<<(std::ostream& os, const BoundsCase& c) { return os << c.name; }

class PointListBoundsTest : public testing::TestWithParam<BoundsCase> {};

TEST_P(PointListBoundsTest, GivesPixelBoxWithExclusiveEdges) {
    const BoundsCase& c = GetParam();
    InkRect rect{-7, -7, -7, -7};
    ASSERT_EQ(pointListBounds(c.points.empty() ? nullptr : c.points.data(), int(c.points.size()),
                              c.marginX, c.marginY, &rect),
              c.found);
    if (!c.found) return;
    EXPECT_EQ(rect.left, c.rect.left);
    EXPECT_EQ(rect.top, c.rect.top);
    EXPECT_EQ(rect.right, c.rect.right);
    EXPECT_EQ(rect.bottom, c.rect.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PointListBoundsTest,
    testing::Values(
        BoundsCase{"Empty", {}, 0, 0, false, {}},
        BoundsCase{"FirstIsSeparatorHasNoBoundsEvenWithPointsAfter",
                   {kInkSeparator, makeInkPoint(40, 40), makeInkPoint(80, 80)},
                   0,
                   0,
                   false,
                   {}},
        BoundsCase{"OnePointIsOnePixel", quarterPoints({{40, 80}}), 0, 0, true, {10, 20, 11, 21}},
        BoundsCase{"QuarterPixelsFloorToPixels",
                   quarterPoints({{43, 81}, {47, 87}}),
                   0,
                   0,
                   true,
                   {10, 20, 12, 22}},
        BoundsCase{"NegativeCoordinatesShiftArithmetically",
                   quarterPoints({{-3, -4}, {-1, -5}}),
                   0,
                   0,
                   true,
                   {-1, -2, 0, 0}},
        BoundsCase{"SeparatorsInsideAreSkipped",
                   withSeparator(withSeparator(quarterPoints({{40, 40}, {0, 100}}))),
                   0,
                   0,
                   true,
                   {0, 10, 11, 26}},
        BoundsCase{"MarginsInflateEachSide",
                   quarterPoints({{40, 40}, {80, 80}}),
                   8,
                   3,
                   true,
                   {2, 7, 29, 24}},
        BoundsCase{
            "OneMarginAloneStillInflates", quarterPoints({{40, 40}}), 0, 2, true, {10, 8, 11, 13}}),
    [](const auto& info) { return info.param.name; });

struct LoopCase {
    std::string name;
    Points points;
    bool loop;
};

std::ostream& operator<<(std::ostream& os, const LoopCase& c) { return os << c.name; }

class ClosedLoopTest : public testing::TestWithParam<LoopCase> {};

TEST_P(ClosedLoopTest, JudgesTheFirstStroke) {
    const LoopCase& c = GetParam();
    EXPECT_EQ(isClosedLoop(c.points.data(), int(c.points.size())), c.loop);
}

Points straightLine() {
    Points out;
    for (int i = 0; i <= 40; ++i) out.push_back(makeInkPoint(100 + 10 * i, 100 + 5 * i));
    return out;
}

// Travels like a loop on both axes, but its two lobes cancel out.
Points figureEight() {
    Points out;
    for (int i = 0; i < 48; ++i) {
        const double t = inktest::kTurn * i / 48;
        out.push_back(makeInkPoint(400 + int(std::lround(200 * std::cos(t))),
                                   400 + int(std::lround(200 * std::sin(2 * t)))));
    }
    return out;
}

Points circleThenMore() {
    Points out = withSeparator(inktest::circle(400, 400, 200, 36));
    Points tail = straightLine();
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Strokes, ClosedLoopTest,
    testing::Values(
        LoopCase{"CircleDrawnOnce", withSeparator(inktest::circle(400, 400, 200, 36)), true},
        LoopCase{"CircleWithoutSeparator", inktest::circle(400, 400, 200, 36), true},
        LoopCase{"OnlyTheFirstStrokeCounts", circleThenMore(), true},
        LoopCase{"StraightLine", withSeparator(straightLine()), false},
        LoopCase{"TwoPointsBeforeSeparator", withSeparator(quarterPoints({{0, 0}, {100, 100}})),
                 false},
        LoopCase{"ThreePointsOpenTriangle",
                 withSeparator(quarterPoints({{0, 0}, {100, 0}, {50, 80}})), false},
        LoopCase{"SquareWalkedOnce",
                 withSeparator(
                     quarterPoints({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}, {100, 0}})),
                 true},
        LoopCase{"TinyLoopUnderFiveQuarterPixels",
                 withSeparator(quarterPoints({{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}})), false},
        LoopCase{"FirstEntryIsASeparator",
                 [] {
                     Points p = inktest::circle(400, 400, 200, 36);
                     p.insert(p.begin(), kInkSeparator);
                     return p;
                 }(),
                 false},
        LoopCase{"FigureEightEnclosesNothing", withSeparator(figureEight()), false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
