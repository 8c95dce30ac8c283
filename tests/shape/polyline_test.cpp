// Polyline approximation: splitting, the refine, merge and end-hook passes,
// and the measures that tell polylines from curves.
#include <gtest/gtest.h>

#include <memory>

#include "Polyline.h"
#include "ShapeRecords.h"
#include "Shaper.h"
#include "strokes.h"

using namespace vexa;
using strokes::P;

namespace {

struct ShapeDeleter {
    void operator()(Shape* s) const { freeShape(s); }
};
using ShapePtr = std::unique_ptr<Shape, ShapeDeleter>;

ShapePtr approximated(const strokes::Points& pts) {
    ShapePtr s(makeShapeFromPoints(static_cast<int>(pts.size() / 2), pts.data(), 1024));
    EXPECT_TRUE(s && approximatePolyline(s.get()));
    return s;
}

std::vector<Point16> positions(const Shape* s) {
    std::vector<Point16> out;
    for (int i = 0; i < vertexCount(s); ++i) out.push_back(vertexAt(s, i)->pos);
    return out;
}

TEST(Approximation, TwoPointsGiveTwoLinkedVertices) {
    ShapePtr s = approximated({0, 0, 40, 30});
    ASSERT_EQ(vertexCount(s.get()), 2);
    const Vertex* a = vertexAt(s.get(), 0);
    const Vertex* b = vertexAt(s.get(), 1);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->prev, a);
    EXPECT_EQ(a->outDeviation, 0);
    EXPECT_EQ(a->outLength, 50 * 1024);
    EXPECT_EQ(b->inLength, 50 * 1024);
    EXPECT_EQ(a->pointIndex, 0);
    EXPECT_EQ(b->pointIndex, 1);
}

TEST(Approximation, OnePointIsOneVertexAndNoPointsFail) {
    ShapePtr s = approximated({5, 5});
    EXPECT_EQ(vertexCount(s.get()), 1);
    ShapePtr empty(newShape());
    EXPECT_FALSE(approximatePolyline(empty.get()));
    EXPECT_EQ(empty->error, 100);
}

TEST(Approximation, StraightStrokesKeepTheirEnds) {
    // A straight stroke and one with a slight wobble (below the split threshold)
    // both come out as one segment.
    const strokes::Points cases[] = {
        strokes::polyline({{0, 0}, {300, 80}}),
        strokes::toPoints(strokes::jitter(strokes::sample({{0, 0}, {400, 0}}), 2.0, 11)),
        strokes::polyline({{0, 0}, {0, -250}}, 1),
    };
    for (const auto& pts : cases) {
        ShapePtr s = approximated(pts);
        ASSERT_EQ(vertexCount(s.get()), 2);
        EXPECT_EQ(vertexAt(s.get(), 0)->pointIndex, 0);
        EXPECT_EQ(vertexAt(s.get(), 1)->pointIndex, s->points->count - 1);
        EXPECT_LT(s->deviation, 15) << "a straight stroke is no curve";
    }
}

TEST(Approximation, CornersBecomeVertices) {
    const struct {
        std::vector<P> corners;
    } cases[] = {
        {{{0, 0}, {200, 0}, {200, 150}}},
        {{{0, 0}, {200, 0}, {200, 150}, {0, 150}}},
        {{{0, 0}, {150, 260}, {300, 0}, {450, 260}}},
    };
    for (const auto& c : cases) {
        ShapePtr s = approximated(strokes::polyline(c.corners));
        const auto v = positions(s.get());
        ASSERT_EQ(v.size(), c.corners.size());
        for (size_t i = 0; i < v.size(); ++i) {
            EXPECT_NEAR(v[i].x, c.corners[i].x, 3) << i;
            EXPECT_NEAR(v[i].y, c.corners[i].y, 3) << i;
        }
        EXPECT_LE(s->deviation, 15);
        EXPECT_GE(s->deviation, 11) << "3 or more vertices never measure below 11";
    }
}

TEST(Approximation, ArcsMeasureAsCurves) {
    for (double r : {60.0, 200.0, 400.0}) {
        const auto arc = strokes::ellipse(0, 0, r, r, 0, static_cast<int>(r), 0, 4.0);
        ShapePtr s = approximated(strokes::toPoints(arc));
        EXPECT_GT(s->deviation, 15) << r;
    }
}

TEST(Approximation, ShortStrokesSkipTheMergePass) {
    // A 31-unit figure keeps its 7-unit last segment: no merging below size 32.
    ShapePtr s = approximated(strokes::polyline({{0, 0}, {0, 31}, {31, 31}, {31, 24}}, 1));
    EXPECT_EQ(vertexCount(s.get()), 4);
    // At size 40 the same segment is short (below 180/1024 of the size) and goes.
    ShapePtr big = approximated(strokes::polyline({{0, 0}, {0, 40}, {40, 40}, {40, 33}}, 1));
    EXPECT_EQ(vertexCount(big.get()), 3);
}

TEST(EndHooks, AShortHookAtTheStartIsDropped) {
    // A 20-unit hairpin hook before a 200-unit run: three vertices, the first dropped.
    ShapePtr s = approximated(strokes::polyline({{20, 4}, {0, 0}, {200, 0}}, 2));
    ASSERT_EQ(vertexCount(s.get()), 3);
    trimEndHooks(s.get());
    ASSERT_EQ(vertexCount(s.get()), 2);
    EXPECT_NEAR(vertexAt(s.get(), 0)->pos.x, 0, 2);
    // The same hook at the end.
    ShapePtr t = approximated(strokes::polyline({{0, 0}, {200, 0}, {180, 3}}, 2));
    ASSERT_EQ(vertexCount(t.get()), 3);
    trimEndHooks(t.get());
    EXPECT_EQ(vertexCount(t.get()), 2);
    // A real corner stays.
    ShapePtr l = approximated(strokes::polyline({{0, 100}, {0, 0}, {200, 0}}, 2));
    trimEndHooks(l.get());
    EXPECT_EQ(vertexCount(l.get()), 3);
}

TEST(Measures, ChordDeviationCases) {
    ShapePtr s(
        makeShapeFromPoints(5, strokes::Points{0, 0, 10, 5, 20, 0, 10, -20, 0, 0}.data(), 1024));
    const PointList* l = s->points;
    int32_t chord = -1;
    EXPECT_EQ(chordDeviation(l, 2, 2, &chord), -1);
    EXPECT_EQ(chordDeviation(l, 0, 1, &chord), 0);
    EXPECT_EQ(chord, distance(l->points[0], l->points[1]));
    EXPECT_EQ(chordDeviation(l, 0, 4, &chord), 100) << "the ends coincide";
    EXPECT_EQ(chordDeviation(l, 0, 2, &chord), 5);
    EXPECT_EQ(chord, 20 * 1024);
    // Points beyond the chord's ends measure to the nearer end.
    int32_t largest = 0;
    chordStats(l, 1, 3, nullptr, nullptr, &largest, &chord);
    EXPECT_EQ(chordStats(l, 3, 1, nullptr, nullptr, &largest, &chord), 0) << "empty range";
}

TEST(Measures, StraightnessAndAreas) {
    ShapePtr line(makeShapeFromPoints(3, strokes::Points{0, 0, 50, 0, 100, 0}.data(), 1024));
    EXPECT_EQ(straightnessMeasure(line->points, 0, 2), 0);
    ShapePtr arc = approximated(strokes::toPoints(strokes::ellipse(0, 0, 100, 100, 0, 40, 0, 3.0)));
    EXPECT_GT(straightnessMeasure(arc->points, 0, arc->points->count - 1), 20);
    ShapePtr sq = approximated(strokes::polyline({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}));
    computeAreaAndOrientation(sq.get());
    EXPECT_EQ(sq->area, 10000);
    EXPECT_EQ(sq->orientation, 1u) << "counter-clockwise with y up";
    EXPECT_NEAR(sq->points->sweptArea, 10000, 200);
    ShapePtr cw = approximated(strokes::polyline({{0, 0}, {0, 100}, {100, 100}, {100, 0}, {0, 0}}));
    computeAreaAndOrientation(cw.get());
    EXPECT_EQ(cw->orientation, 0u);
}

TEST(Measures, SmoothnessOfReadyLists) {
    const Point16 line[4] = {{0, 0}, {10, 0}, {20, 1}, {30, 0}};
    EXPECT_TRUE(isSmoothPointList(line, 4));
    const Point16 zigzag[4] = {{0, 0}, {100, 1}, {0, 2}, {100, 3}};
    EXPECT_FALSE(isSmoothPointList(zigzag, 4)) << "hairpins at every inner point";
    EXPECT_TRUE(isSmoothPointList(zigzag, 2));
}

}  // namespace

namespace {

// The bend at a kink that turns against the stroke's overall turn: the main
// side value is doubled before the rings compare theirs with it, so no ring
// (of side 1) ever reads as turning against it, and a kink either way
// measures the same.
TEST(BendMeasure, KinksEitherWayMeasureAlike) {
    auto bendAt = [](int16_t kink) {
        const int16_t xy[] = {0,    0,  10, 0,  20, 0,  30, 0,  40, 0,  48, 0,   50,
                              kink, 52, 0,  60, 0,  70, 5,  80, 10, 90, 15, 100, 20};
        PointList* list = makePointList(13, xy, 10);
        const int16_t m = bendMeasure(list, 0, 6, 12);
        freePointList(list);
        return m;
    };
    EXPECT_GT(bendAt(3), 0);
    EXPECT_EQ(bendAt(3), bendAt(-3));
}

}  // namespace
