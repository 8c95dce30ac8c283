// The integer arithmetic of the shape recognizer: roots, ratios, angles,
// ramps, boxes, ellipse polygons, the alignment geometry and the pointer list.
#include <gtest/gtest.h>

#include <cmath>

#include "AlignGeometry.h"
#include "FixedMath.h"
#include "PtrList.h"

using namespace vexa;

namespace {

struct RootCase {
    uint64_t v;
    uint32_t root;
};

TEST(FixedMath, IsqrtRoundsToNearest) {
    const RootCase cases[] = {{0, 0},       {1, 1},    {2, 1},    {3, 2},       {6, 2},
                              {7, 3},       {255, 16}, {256, 16}, {25600, 160}, {32766, 181},
                              {32767, 181}, {240, 15}, {241, 16}};
    for (const RootCase& c : cases) EXPECT_EQ(isqrt(static_cast<uint32_t>(c.v)), c.root) << c.v;
    // Every input of the table range against the exact rounded root.
    for (uint32_t v = 0; v <= 32767; ++v)
        ASSERT_EQ(isqrt(v), static_cast<uint32_t>(std::lround(std::sqrt(static_cast<double>(v)))))
            << v;
}

TEST(FixedMath, IsqrtLargeIsCoarseButBounded) {
    // Above 32767 the value is quartered until it fits, so the root is coarse.
    const RootCase cases[] = {{0, 0},
                              {32767, 181},
                              {32768, 182},
                              {1048576, 1024},
                              {1000000, 1000},
                              {0xFFFFFFFFull, 65536},
                              {0xFFFFFFFFFFFFull, 16777216}};
    for (const RootCase& c : cases) {
        EXPECT_EQ(isqrtLarge(c.v), c.root) << c.v;
        const double exact = std::sqrt(static_cast<double>(c.v));
        EXPECT_NEAR(isqrtLarge(c.v), exact, exact / 64 + 1) << c.v;
    }
}

TEST(FixedMath, Log2RoundTurnsScalesIntoShifts) {
    const struct {
        int64_t v;
        int32_t shift;
    } cases[] = {{0, -1},   {-5, -1}, {1, 0},   {2, 1},   {3, 2},      {1024, 10},
                 {768, 10}, {546, 9}, {512, 9}, {273, 8}, {16384, 14}, {2048, 11}};
    for (const auto& c : cases) EXPECT_EQ(log2Round(c.v), c.shift) << c.v;
}

TEST(FixedMath, Ratio1024KeepsRangesAndNeverDividesByZero) {
    const struct {
        int64_t x, m;
        int32_t r;
    } cases[] = {
        {1, 1, 1024},
        {-3, 2, -1536},
        {3, -2, -1536},
        {-3, -2, 1536},
        {1, 3, 341},  // truncation toward zero on both signs
        {-1, 3, -341},
        {5, 0, 0},                      // zero divisor: the empty result
        {0x3FFFFF, 1024, 0x3FFFFF},     // first range: (x << 10) / m
        {0x400000, 1024, 0x400000},     // second range: (x << 5) / (m >> 5)
        {0x400000, 33, 0x400000 << 5},  // m >> 5 = 1: the range's own coarse rounding
        {0x400000, 31, 138547332},      // m >> 5 = 0: taken exactly, no division by 0
        {0x8000000, 0x100000, 131072},  // third range: x / (m >> 10)
        {0x8000000, 1000, 137438953},   // m >> 10 = 0: exact
        {-0x8000000, 1000, -137438953},
        {0x40000000, 3, INT32_MAX},  // saturates
        {-0x40000000, 3, -INT32_MAX},
    };
    for (const auto& c : cases) EXPECT_EQ(ratio1024(c.x, c.m), c.r) << c.x << " / " << c.m;
}

TEST(FixedMath, DistancesAndCross) {
    const Point16 o = {0, 0}, p = {3, 4};
    EXPECT_EQ(distance(o, p), 5120);
    const int16_t a[3] = {1, 2, 3}, b[3] = {1, 2, 3};
    EXPECT_EQ(distance(a, b, 3), 0);
    EXPECT_EQ(squaredDistance(a, b, 3), 0);
    // The ends of the coordinate range do not overflow.
    const Point16 lo = {-32768, -32768}, hi = {32767, 32767};
    EXPECT_NEAR(distance(lo, hi) / 1024.0, 65535 * std::sqrt(2.0), 65535 * std::sqrt(2.0) / 64);
    EXPECT_EQ(cross(lo, hi, hi, lo), 0);
    EXPECT_EQ(cross({0, 0}, {10, 0}, {0, 0}, {0, 10}), 100);
    EXPECT_EQ(sameSide({0, 0}, {10, 0}, {1, 1}, {5, 3}), 1);
    EXPECT_EQ(sameSide({0, 0}, {10, 0}, {1, 1}, {5, -3}), 0);
    EXPECT_EQ(sameSide({0, 0}, {10, 0}, {1, 0}, {5, 3}), 0) << "on the line is no side";
    EXPECT_EQ(pointsClose({0, 0}, {1, 1}, 2), 1);
    EXPECT_EQ(pointsClose({0, 0}, {2, 1}, 2), 0);
}

TEST(FixedMath, AnglesAndTheirDegenerateSides) {
    int32_t c = 77, s = 77, la = 0, lb = 0;
    EXPECT_EQ(angleCosSin(&c, &s, &la, &lb, {0, 0}, {0, 0}, {10, 0}), 0);
    EXPECT_EQ(c, 77) << "cos and sin stay unset";
    EXPECT_EQ(angleCosSin(&c, &s, &la, &lb, {0, 0}, {100, 0}, {0, 100}), 1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(s, 1024);
    EXPECT_EQ(la, 102400);
    int sign = 0;
    EXPECT_EQ(angleCos({0, 0}, {100, 0}, {200, 0}, 102400, 102400, &sign), -1024);
    EXPECT_EQ(sign, 0);
    EXPECT_EQ(angleCos({0, 0}, {100, 0}, {100, 100}, 102400, 102400, &sign), 0);
    EXPECT_EQ(sign, 1) << "a left turn with y up";
    EXPECT_EQ(angleCos({0, 0}, {100, 0}, {100, -100}, 102400, 102400, &sign), 0);
    EXPECT_EQ(sign, -1);
    EXPECT_EQ(segmentCos({0, 0}, {10, 0}, 0, {0, 0}, {10, 0}, 10240), 0) << "zero length";
    EXPECT_EQ(segmentCos({0, 0}, {10, 0}, 10240, {5, 5}, {15, 5}, 10240), 1024);
    EXPECT_EQ(
        nearlyParallel({0, 0}, {100, 0}, 102400, {0, 0}, {100, 5}, distance({0, 0}, {100, 5}), 16),
        1);
    EXPECT_EQ(nearlyParallel({0, 0}, {100, 0}, 102400, {0, 0}, {100, 30},
                             distance({0, 0}, {100, 30}), 16),
              0);
    int32_t dx = 5, dy = 5;
    EXPECT_EQ(direction(&dx, &dy, {0, 0}, {3, 4}, 0), 0);
    EXPECT_EQ(dx, 5);
    EXPECT_EQ(direction(&dx, &dy, {0, 0}, {3, 4}, 5), 1);
    EXPECT_EQ(dx, 614);
    EXPECT_EQ(dy, 819);
}

TEST(FixedMath, TrigonometryWrapsAroundTheTurn) {
    const struct {
        int32_t a, cos, sin;
    } cases[] = {
        {0, 1024, 0},        {1608, 0, 1024},   {3217, -1024, 0},  {4825, 0, -1024},
        {6434, 1024, 0},     {-1608, 0, -1024}, {-3217, -1024, 0}, {6434 * 3 + 1608, 0, 1024},
        {-6434 * 2, 1024, 0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(cosFixed(c.a), c.cos, 7) << c.a;
        EXPECT_NEAR(sinFixed(c.a), c.sin, 7) << c.a;
    }
    EXPECT_EQ(cosFixed(0), 1024);
    EXPECT_EQ(cosFixed(1608), 0);
    EXPECT_EQ(cosFixed(3217), -1024);
    for (int32_t a = -7000; a <= 7000; a += 37) {
        EXPECT_NEAR(cosFixed(a), 1024 * std::cos(a / 1024.0), 8) << a;
        EXPECT_NEAR(sinFixed(a), 1024 * std::sin(a / 1024.0), 8) << a;
    }
}

TEST(FixedMath, RotateTurnsAboutTheCentre) {
    Point16 p = {110, 100};
    const Point16 c = {100, 100};
    rotate(&c, &p, 0, 1024);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 110);
    Point16 q = {10, 0};
    rotate(nullptr, &q, -1024, 0);
    EXPECT_EQ(q.x, -10);
}

TEST(FixedMath, RampsClampAndInterpolate) {
    EXPECT_EQ(lerpClamped(333, 1024, 0, 1775, 1024), 1775);
    EXPECT_EQ(lerpClamped(333, 1024, 0, 1775, 333), 0);
    EXPECT_EQ(lerpClamped(333, 1024, 0, 1775, 0), 0);
    EXPECT_EQ(lerpClamped(333, 1024, 0, 1775, 5000), 1775);
    EXPECT_EQ(lerpClamped(0, 128, 0, 128, 64), 64);
    EXPECT_EQ(lerpClamped(5, 12, 6, 10, 12), 10);
    EXPECT_EQ(lerpClamped(3, 13, 100, 0, 8), 50);
    const int32_t xs[4] = {10, 30, 100, 110}, ys[4] = {70, 25, 10, 10};
    EXPECT_EQ(lerp4(xs, ys, 0), 70);
    EXPECT_EQ(lerp4(xs, ys, 30), 25);
    EXPECT_EQ(lerp4(xs, ys, 20), 47);
    EXPECT_EQ(lerp4(xs, ys, 200), 10);
}

TEST(FixedMath, BoxesAndIntervals) {
    Box b;
    boxClear(&b);
    EXPECT_TRUE(boxIsEmpty(&b));
    boxExtend(&b, 5, -3);
    EXPECT_EQ(b.minX, 5);
    EXPECT_EQ(b.maxY, -3);
    boxExtend(&b, -2, 7);
    EXPECT_EQ(boxWidth(&b), 7);
    EXPECT_EQ(boxHeight(&b), 10);
    int32_t cx, cy;
    boxCentre(&b, &cx, &cy);
    EXPECT_EQ(cx, 1);
    EXPECT_EQ(cy, 2);
    const struct {
        Box a, b, u;
    } unions[] = {
        {{0, 10, 0, 10}, {5, 20, -5, 3}, {0, 20, -5, 10}},
        {{0, 0, 0, 0}, {5, 20, -5, 3}, {5, 20, -5, 3}},  // empty and a box
        {{1, 2, 3, 4}, {0, 0, 0, 0}, {1, 2, 3, 4}},      // a box and empty
        {{-9, -1, -9, -1}, {1, 9, 1, 9}, {-9, 9, -9, 9}},
    };
    for (const auto& c : unions) {
        Box u = c.a;
        boxUnion(&u, &c.b);
        EXPECT_EQ(u.minX, c.u.minX);
        EXPECT_EQ(u.maxX, c.u.maxX);
        EXPECT_EQ(u.minY, c.u.minY);
        EXPECT_EQ(u.maxY, c.u.maxY);
    }
    EXPECT_EQ(intervalGap(0, 10, 15, 20), 5);
    EXPECT_EQ(intervalGap(0, 10, 5, 20), 0);
    EXPECT_EQ(intervalGap(20, 15, 10, 0), 5) << "ends in either order";
    EXPECT_EQ(intervalGap(0, 10, 10, 20), 0) << "touching";
    EXPECT_EQ(boxMeanSize(0, 0, 10, 20), 15);
    const int16_t v[8] = {0, 0, 10, 0, 10, 20, 0, 20};
    EXPECT_EQ(endBoxMeanSize(4, v), 15);
    EXPECT_EQ(endBoxMeanSize(1, v), 4);
}

TEST(FixedMath, BoxSimilarity) {
    const Box a = {0, 100, 0, 50}, same = {0, 100, 0, 50}, far = {300, 400, 0, 50};
    const Box flat = {0, 100, 5, 5};
    int32_t out = -1;
    EXPECT_EQ(boxSimilarity(&a, &flat, 0, &out), 0) << "zero height";
    EXPECT_EQ(boxSimilarity(&a, &far, 0, &out), 0) << "apart on x";
    EXPECT_GT(boxSimilarity(&a, &same, 2, &out), 0);
    EXPECT_EQ(out, 512);
    // Equal boxes: base 1024, no shape term in mode 2, full edge term.
    EXPECT_EQ(boxSimilarity(&a, &same, 2, &out), (1024 + 1024) / 2);
    EXPECT_EQ(boxSimilarity(&a, &same, 1, &out), (1024 + 1775 + 1024) / 2);
}

TEST(FixedMath, CircleAndEllipsePolygonsCloseOnTheFirstPoint) {
    int16_t pts[2 * 33];
    circlePoints(33, pts, 100, 50, 40, 10);
    EXPECT_EQ(pts[0], 140);
    EXPECT_EQ(pts[1], 50);
    EXPECT_EQ(pts[64], pts[0]);
    EXPECT_EQ(pts[65], pts[1]);
    for (int k = 0; k < 32; ++k)
        EXPECT_NEAR(std::hypot(pts[2 * k] - 100, pts[2 * k + 1] - 50), 40, 1.5) << k;
    // At shift 9 the same circle comes out at twice the size (caller units at scale 546).
    circlePoints(33, pts, 100, 50, 40, 9);
    EXPECT_EQ(pts[0], 280);
    const int32_t params[6] = {0, 0, 100, 50, 0, 1024};  // first axis vertical
    ellipsePoints(33, pts, params, 10);
    EXPECT_EQ(pts[0], 0);
    EXPECT_EQ(pts[1], 100);
    EXPECT_EQ(pts[64], pts[0]);
}

TEST(FixedMath, FitEllipseTellsCirclesFromEllipses) {
    int16_t pts[2 * 33];
    circlePoints(33, pts, 200, -100, 80, 10);
    int32_t centre[2], radii[2] = {0, 0}, dir[2] = {0, 0};
    EXPECT_EQ(fitEllipse(pts, 33, centre, radii, dir, 2), 1);
    EXPECT_EQ(centre[0], 200) << "the centre is the mean of the distinct points";
    EXPECT_EQ(centre[1], -100);
    EXPECT_NEAR(radii[0], 80, 1);
    const int32_t params[6] = {50, 60, 120, 40, 724, 724};
    ellipsePoints(33, pts, params, 10);
    EXPECT_EQ(fitEllipse(pts, 33, centre, radii, dir, 2), 0);
    EXPECT_EQ(centre[0], 50);
    EXPECT_EQ(centre[1], 60);
    EXPECT_NEAR(radii[0], 120, 2);
    EXPECT_NEAR(radii[1], 40, 2);
    EXPECT_NEAR(dir[0], 724, 16);
    EXPECT_NEAR(dir[1], 724, 16);
    const int16_t same[6] = {5, 5, 5, 5, 5, 5};
    EXPECT_EQ(fitEllipse(same, 3, centre, radii, dir, 2), 0) << "all points at the centre";
}

TEST(AlignGeometry, ParallelogramClosingErrorIsShared) {
    // Closing error 8 on x: every corner moves by 2.
    int32_t v[10] = {0, 0, 100, 0, 108, 50, 0, 50, 0, 0};
    regularizeParallelogram(v, false);
    EXPECT_EQ(v[0], -2);
    EXPECT_EQ(v[2], 102);
    EXPECT_EQ(v[4], 106);
    EXPECT_EQ(v[6], 2);
    EXPECT_EQ(v[0] - v[2] + v[4] - v[6], 0);
    EXPECT_EQ(v[8], v[0]);
    EXPECT_EQ(v[9], v[1]);
    // A small error in strict mode moves only corners not level with a neighbour.
    int32_t w[10] = {0, 0, 100, 0, 103, 50, 0, 50, 0, 0};  // e = 3, q = 1
    regularizeParallelogram(w, true);
    EXPECT_EQ(w[0], 0) << "level with x3";
    EXPECT_EQ(w[2], 101);
    EXPECT_EQ(w[4], 102);
    EXPECT_EQ(w[6], 0) << "level with the new x0";
}

TEST(AlignGeometry, EquilateralTriangles) {
    // Base (0,0)-(104,0), apex above: e1 = 15*(2*52-104) + 26*0 = 0, e2 = 15*2*90 - 26*104.
    int32_t t[8] = {0, 0, 104, 0, 52, 90, 0, 0};
    EXPECT_EQ(equilateralOrientation(t), 2);
    int32_t flat[8] = {0, 0, 100, 0, 50, 40, 0, 0};
    EXPECT_EQ(equilateralOrientation(flat), 0);
    int32_t near[8] = {0, 0, 104, 0, 55, 86, 0, 0};
    snapEquilateral(near, 2, false);
    const double a = std::hypot(near[2] - near[0], near[3] - near[1]);
    const double b = std::hypot(near[4] - near[2], near[5] - near[3]);
    const double c = std::hypot(near[0] - near[4], near[1] - near[5]);
    EXPECT_NEAR(a, b, 2.5);
    EXPECT_NEAR(b, c, 2.5);
    EXPECT_EQ(near[6], near[0]);
}

TEST(AlignGeometry, SegmentIntersectionAndRays) {
    const int32_t p0[2] = {0, 0}, p1[2] = {100, 0}, q0[2] = {50, -50}, q1[2] = {50, 50};
    int32_t out[2];
    EXPECT_EQ(segmentIntersection(p0, p1, q0, q1, out), 1);
    EXPECT_EQ(out[0], 50);
    EXPECT_EQ(out[1], 0);
    const int32_t r0[2] = {0, 10}, r1[2] = {100, 10};
    EXPECT_EQ(segmentIntersection(p0, p1, r0, r1, out), 0) << "parallel";
    const int32_t s0[2] = {150, -50}, s1[2] = {150, 50};
    EXPECT_EQ(segmentIntersection(p0, p1, s0, s1, out), 0) << "beyond the segment";
    int32_t x, y;
    EXPECT_EQ(rayEllipse(0, 0, 100, 50, 1024, 0, &x, &y), 1);
    EXPECT_NEAR(x, 100, 2);
    EXPECT_NEAR(y, 0, 1);
    EXPECT_EQ(rayEllipse(0, 0, 100, 50, 0, 1024, &x, &y), 1);
    EXPECT_NEAR(y, 50, 2);
}

TEST(AlignGeometry, ArrowHeadFollowsItsShaft) {
    // E, T, S1, T, S2 with the shaft along x.
    const int32_t in[10] = {0, 0, 100, 0, 90, 10, 100, 0, 90, -10};
    int32_t out[10] = {0, 0, 100, 0, 0, 0, 0, 0, 0, 0};
    rebuildArrowHead(in, out, 5, false);
    for (int i = 4; i < 10; ++i) EXPECT_EQ(out[i], in[i]) << "same shaft: copied";
    int32_t turned[10] = {0, 0, 0, 100, 0, 0, 0, 0, 0, 0};  // shaft now along y
    rebuildArrowHead(in, turned, 5, false);
    EXPECT_EQ(turned[4], -10);
    EXPECT_EQ(turned[5], 90);
    EXPECT_EQ(turned[6], 0);
    EXPECT_EQ(turned[7], 100);
    EXPECT_EQ(turned[8], 10);
    EXPECT_EQ(turned[9], 90);
}

TEST(AlignGeometry, SidesAndCostCodes) {
    const int32_t roles[4] = {0, 1, 2, 3};
    EXPECT_EQ(sideOfCorners(roles, 1, 0), 0);
    EXPECT_EQ(sideOfCorners(roles, 3, 0), 3);
    EXPECT_EQ(sideOfCorners(roles, 0, 2), 0xFFFF);
    int32_t row[12] = {};
    setArrowCodes(row, 2, 10, true, true);
    EXPECT_EQ(row[2], 100);
    EXPECT_EQ(row[3], 16);
    EXPECT_EQ(row[6], 16);
    EXPECT_EQ(row[9], 100);
    int32_t one[6] = {};
    setArrowCodes(one, 0, 5, false, false);
    EXPECT_EQ(one[0], 10);
    EXPECT_EQ(one[1], 10);
    EXPECT_EQ(one[4], 100);
    setTriangleCodes(row, 0);
    EXPECT_EQ(row[2], 13);
    setParallelogramCodes(row, 4);
    EXPECT_EQ(row[7], 14);
}

TEST(PtrList, GrowsByEightAndIterates) {
    PtrList list;
    ptrListInit(&list);
    int items[20];
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(ptrListAppend(&list, &items[i]), i + 1);
        EXPECT_EQ(list.capacity, (i / 8 + 1) * 8) << i;
    }
    EXPECT_EQ(ptrListGet(&list, 20), nullptr);
    EXPECT_EQ(ptrListGet(&list, -1), nullptr);
    EXPECT_EQ(ptrListSet(&list, 20, nullptr), -1);
    EXPECT_EQ(ptrListFirst(&list), &items[0]);
    EXPECT_EQ(ptrListNext(&list), &items[1]);
    EXPECT_EQ(ptrListCurrent(&list), &items[1]);
    EXPECT_EQ(ptrListRemoveCurrent(&list), &items[1]);
    EXPECT_EQ(ptrListCurrent(&list), &items[0]) << "the cursor moves back one";
    EXPECT_EQ(ptrListIndexOf(&list, &items[1]), -1);
    EXPECT_TRUE(ptrListInsertAt(&list, 1, &items[1]));
    EXPECT_EQ(ptrListGet(&list, 1), &items[1]);
    EXPECT_EQ(ptrListAppendUnique(&list, &items[3]), 3);
    EXPECT_EQ(list.count, 20);
    EXPECT_EQ(ptrListLast(&list), &items[19]);
    EXPECT_EQ(ptrListNext(&list), nullptr);
    EXPECT_EQ(ptrListPrevious(&list), &items[19]);
    ptrListFree(&list);
    EXPECT_EQ(list.capacity, 0);
    EXPECT_EQ(list.cursor, -1);
}

TEST(PtrList, RemovingTheOnlyItemKeepsTheCapacity) {
    PtrList list;
    ptrListInit(&list);
    int item;
    ptrListAppend(&list, &item);
    EXPECT_TRUE(ptrListRemove(&list, &item));
    EXPECT_FALSE(ptrListRemove(&list, &item));
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.capacity, 8);
    EXPECT_EQ(ptrListFirst(&list), nullptr);
    EXPECT_EQ(ptrListIndexOf(&list, &item), -1);
    ptrListFree(&list);
}

TEST(PtrList, LinkNodes) {
    LinkNode* a = linkNodeCreate();
    LinkNode* b = linkNodeCreate();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->partner, 0xFFFF);
    EXPECT_EQ(a->from, 2048);
    const int16_t pts[4] = {1, 2, 3, 4};
    linkNodeSetPoint(a, pts, 1);
    EXPECT_EQ(a->x, 3);
    linkNodesLink(a, 0, b, 5);
    EXPECT_EQ(a->other, b);
    EXPECT_EQ(b->partner, 0);
    EXPECT_EQ(a->partner, 5);
    a->from = 1;
    linkNodeSwapEnds(a);
    EXPECT_EQ(a->to, 1);
    LinkNode* c = linkNodeCopy(a);
    EXPECT_EQ(c->x, 3);
    linkNodeFree(a);
    linkNodeFree(b);
    linkNodeFree(c);
}

}  // namespace
