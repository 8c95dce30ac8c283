// The template list and the steps that prepare a closed polygon and fit a
// template to it.
#include <gtest/gtest.h>

#include <cmath>

#include "Polyline.h"
#include "Templates.h"
#include "shape_builders.h"

using namespace vexa;
using shapetest::OwnedShape;
using shapetest::polygonShape;
using strokes::P;

namespace {

struct TemplateList {
    PtrList* list = createShapeTemplates();
    ~TemplateList() { destroyShapeTemplates(list); }
    const ShapeTemplate* at(int i) const { return templateAt(list, static_cast<int16_t>(i)); }
};

TEST(ShapeTemplates, ListHoldsTriangleSquareCircle) {
    TemplateList t;
    ASSERT_EQ(templateCount(t.list), 3);
    EXPECT_EQ(templateAt(t.list, 3), nullptr);
    const struct {
        int16_t kind, count;
        Point16 first;
    } expected[] = {{1, 3, {512, -298}}, {2, 4, {512, 512}}, {3, 32, {512, 0}}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.at(i)->kind, expected[i].kind);
        ASSERT_EQ(t.at(i)->points->count, expected[i].count);
        EXPECT_EQ(t.at(i)->points->points[0], expected[i].first);
    }
    // The circle: radius 512 all round, counter-clockwise from (512, 0).
    const PointList* c = t.at(2)->points;
    EXPECT_EQ(c->points[8], (Point16{0, 512}));
    EXPECT_EQ(c->points[17], (Point16{-502, -100}));
    for (int k = 0; k < 32; ++k) EXPECT_NEAR(std::hypot(c->points[k].x, c->points[k].y), 512, 1);
    destroyShapeTemplates(nullptr);
}

// A square whose corners follow the square template's order.
OwnedShape templateSquare(double side, double x = 0, double y = 0) {
    return polygonShape(
        {{x + side, y + side}, {x, y + side}, {x, y}, {x + side, y}, {x + side, y + side}});
}

TEST(TemplateMatch, ExactSquareFitsWithTheIdentity) {
    TemplateList t;
    OwnedShape s = templateSquare(200, 40, -30);
    computeAreaAndOrientation(s.get());
    normalizeShape(s.get());
    EXPECT_EQ(s->scale, 200);
    EXPECT_EQ(vertexAt(s.get(), 0)->pos, (Point16{512, 512}));
    int32_t mismatch = -1;
    EXPECT_EQ(matchTemplateDistance(t.at(1), s.get(), &mismatch), 0);
    EXPECT_EQ(s->fit[0], 1024);
    EXPECT_EQ(s->fit[1], 0);
    EXPECT_EQ(s->fit[2], 0);
    EXPECT_EQ(s->fit[3], 1024);
    EXPECT_LT(mismatch, 40);
    EXPECT_EQ(vertexAt(s.get(), 4)->adjusted, vertexAt(s.get(), 0)->adjusted);
    denormalizeShape(s.get());
    EXPECT_EQ(vertexAt(s.get(), 2)->adjusted, (Point16{40, -30}));
    EXPECT_EQ(s->scale, 1);
}

TEST(TemplateMatch, WrongVertexCountLeavesTheFitUntouched) {
    TemplateList t;
    OwnedShape s = polygonShape({{0, 0}, {100, 0}, {50, 80}, {0, 0}});
    for (int i = 0; i < vertexCount(s.get()); ++i) vertexAt(s.get(), i)->adjusted = {7, 7};
    normalizeShape(s.get());
    EXPECT_EQ(matchTemplateDistance(t.at(1), s.get(), nullptr), -1);
    EXPECT_EQ(matchTemplateDistance(t.at(2), s.get(), nullptr), -1);
    for (int i = 0; i < vertexCount(s.get()); ++i)
        EXPECT_EQ(vertexAt(s.get(), i)->adjusted, (Point16{7, 7}));
    EXPECT_GE(matchTemplateDistance(t.at(0), s.get(), nullptr), 0);
}

TEST(TemplateMatch, LinearImagesFitOtherOutlinesDoNot) {
    TemplateList t;
    // A sheared, unevenly scaled square fits the square template closely...
    OwnedShape para = polygonShape({{260, 120}, {60, 120}, {0, 0}, {200, 0}, {260, 120}});
    normalizeShape(para.get());
    EXPECT_LT(matchTemplateDistance(t.at(1), para.get(), nullptr) >> 10, 4);
    // ...a kite of four corners does not.
    OwnedShape kite = polygonShape({{200, 100}, {100, 120}, {0, 100}, {100, 0}, {200, 100}});
    normalizeShape(kite.get());
    EXPECT_GT(matchTemplateDistance(t.at(1), kite.get(), nullptr) >> 10, 60);
}

// The same outline at any size gives the same area mismatch: the stroke's
// area is carried into the template frame with the outline.
TEST(TemplateMatch, AreaMismatchIsScaleFree) {
    TemplateList t;
    int32_t first = -1;
    for (double side : {40.0, 120.0, 400.0, 1600.0}) {
        OwnedShape s = templateSquare(side);
        computeAreaAndOrientation(s.get());
        normalizeShape(s.get());
        int32_t mismatch = -1;
        matchTemplateDistance(t.at(1), s.get(), &mismatch);
        EXPECT_LT(mismatch, 60) << side;
        if (first < 0) first = mismatch;
        EXPECT_NEAR(mismatch, first, 25) << side;
    }
    // The triangle template on three corners of a square stroke covers half
    // its area, at any size.
    for (double side : {60.0, 600.0}) {
        OwnedShape s = templateSquare(side);
        computeAreaAndOrientation(s.get());
        removeVertex(s.get(), 3);
        normalizeShape(s.get());
        int32_t mismatch = -1;
        matchTemplateDistance(t.at(0), s.get(), &mismatch);
        EXPECT_NEAR(mismatch, 512, 40) << side;
    }
}

TEST(ClosedOutlines, EndOverlapWithinTwentyDegreesIsMerged) {
    // Started part-way along the top side, around, and on past the start.
    const struct {
        double endX, endY;
        int merged;
    } cases[] = {
        {140, 105, 1},  // along the first side (about 3 degrees off)
        {60, 160, 0},   // 45 degrees off
    };
    for (const auto& c : cases) {
        OwnedShape s =
            polygonShape({{100, 100}, {200, 100}, {200, 0}, {0, 0}, {0, 100}, {c.endX, c.endY}});
        int32_t cos = 0;
        EXPECT_EQ(mergeEndOverlap(s.get(), &cos), c.merged) << c.endY;
        if (c.merged) {
            EXPECT_GT(cos, 960);
            ASSERT_EQ(vertexCount(s.get()), 5);
            EXPECT_EQ(vertexAt(s.get(), 0)->pos, (Point16{200, 100}));
            EXPECT_EQ(vertexAt(s.get(), 4)->pos, (Point16{200, 100}));
        } else {
            EXPECT_EQ(vertexCount(s.get()), 6);
        }
    }
    OwnedShape small = polygonShape({{0, 0}, {100, 0}, {100, 100}, {0, 0}});
    EXPECT_EQ(mergeEndOverlap(small.get(), nullptr), 0) << "fewer than 5 vertices";
}

TEST(ClosedOutlines, SelfCrossing) {
    OwnedShape eight = polygonShape({{0, 0}, {100, 100}, {100, 0}, {0, 100}, {0, 0}});
    EXPECT_EQ(hasSelfCrossing(eight.get()), 1);
    OwnedShape square = polygonShape({{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}});
    EXPECT_EQ(hasSelfCrossing(square.get()), 0);
    // Two loops that touch only at a vertex do not cross.
    OwnedShape touching =
        polygonShape({{0, 0}, {50, 50}, {100, 0}, {100, 100}, {50, 50}, {0, 100}, {0, 0}});
    EXPECT_EQ(hasSelfCrossing(touching.get()), 0);
}

// A square with a notch in its top side.
OwnedShape notched(double depth, double halfWidth) {
    return polygonShape({{0, 0},
                         {300, 0},
                         {300, 300},
                         {150 + halfWidth, 300},
                         {150, 300 - depth},
                         {150 - halfWidth, 300},
                         {0, 300},
                         {0, 0}});
}

TEST(ClosedOutlines, ConcaveNotchesAreRemovedOrRejectedBySharpness) {
    // Find notches whose spikes measure 67 and 68.
    double found[2][2] = {{-1, -1}, {-1, -1}};
    for (double depth = 4; depth <= 60; ++depth) {
        for (double half = 8; half <= 40; ++half) {
            OwnedShape s = notched(depth, half);
            const int32_t spike = spikeMeasure(s.get(), 3, 4, 5);
            if (spike == 67 || spike == 68) {
                found[spike - 67][0] = depth;
                found[spike - 67][1] = half;
            }
        }
    }
    ASSERT_GT(found[0][0], 0);
    ASSERT_GT(found[1][0], 0);
    OwnedShape removed = notched(found[0][0], found[0][1]);
    computeAreaAndOrientation(removed.get());
    EXPECT_EQ(removeConcaveVertices(removed.get()), 0);
    EXPECT_EQ(vertexCount(removed.get()), 7) << "the notch's inner vertex is gone";
    OwnedShape rejected = notched(found[1][0], found[1][1]);
    computeAreaAndOrientation(rejected.get());
    EXPECT_EQ(removeConcaveVertices(rejected.get()), 1);
    // Short arms measure 0.
    OwnedShape tiny = polygonShape({{0, 0}, {2, 0}, {4, 0}, {0, 0}});
    EXPECT_EQ(spikeMeasure(tiny.get(), 0, 1, 2), 0);
}

TEST(ClosedOutlines, ReduceDropsTheStraightestVertexFirst) {
    OwnedShape s = polygonShape({{0, 0}, {100, 0}, {200, 4}, {200, 200}, {0, 200}, {0, 0}});
    // Turns as the deviation measure leaves them: cosines at the inner vertices.
    for (int i = 1; i + 1 < vertexCount(s.get()); ++i) {
        Vertex* v = vertexAt(s.get(), i);
        v->turn = angleCos(vertexAt(s.get(), i - 1)->pos, v->pos, vertexAt(s.get(), i + 1)->pos,
                           v->inLength, v->outLength, nullptr);
        v->corner = 100;
    }
    vertexAt(s.get(), 1)->corner = 10;  // a weak corner costs its removal
    const int32_t straightest = vertexAt(s.get(), 1)->turn;
    EXPECT_LT(straightest, -1000);
    const int16_t cost = reduceToVertexCount(s.get(), 5);
    ASSERT_EQ(vertexCount(s.get()), 5);
    EXPECT_EQ(vertexAt(s.get(), 1)->pos, (Point16{200, 4}));
    EXPECT_EQ(cost, (straightest + 1024) >> 2);
    // A strong corner costs nothing, however straight.
    vertexAt(s.get(), 1)->turn = -1000;
    EXPECT_EQ(reduceToVertexCount(s.get(), 4), 0);
    EXPECT_EQ(vertexCount(s.get()), 4);
    EXPECT_EQ(reduceToVertexCount(s.get(), 5), 0) << "nothing to remove";
}

TEST(ClosedOutlines, ResamplingGivesEqualArcs) {
    OwnedShape s = polygonShape({{0, 0}, {320, 0}, {320, 320}, {0, 320}, {0, 0}}, 1.0);
    ASSERT_EQ(resampleClosedStroke(s.get(), 33), 1);
    ASSERT_EQ(vertexCount(s.get()), 33);
    EXPECT_EQ(vertexAt(s.get(), 0)->pos, (Point16{0, 0}));
    EXPECT_EQ(vertexAt(s.get(), 32)->pos, (Point16{0, 0}));
    EXPECT_EQ(vertexAt(s.get(), 32)->pointIndex, s->points->count - 1);
    for (int k = 1; k < 32; ++k) {
        const double d = std::hypot(vertexAt(s.get(), k)->pos.x - vertexAt(s.get(), k - 1)->pos.x,
                                    vertexAt(s.get(), k)->pos.y - vertexAt(s.get(), k - 1)->pos.y);
        EXPECT_NEAR(d, 40, 1.5) << k;
    }
    EXPECT_EQ(vertexAt(s.get(), 8)->pos, (Point16{320, 0}));
    const int16_t one[2] = {5, 5};
    OwnedShape dot(makeShapeFromPoints(1, one, 1024));
    EXPECT_EQ(resampleClosedStroke(dot.get(), 33), 0) << "no length to step along";
}

TEST(ClosedOutlines, NormalisingAndBackRestoresThePolygon) {
    OwnedShape s = polygonShape({{10, 20}, {310, 50}, {150, 260}, {10, 20}});
    const auto before = shapetest::positionsOf(s.get());
    normalizeShape(s.get());
    EXPECT_EQ(s->matchX, (10 + 310 + 150) / 3);
    EXPECT_EQ(s->matchY, (20 + 50 + 260) / 3);
    EXPECT_NEAR(pointSize(s->points), 1024, 1);
    for (int i = 0; i < vertexCount(s.get()); ++i)
        vertexAt(s.get(), i)->adjusted = vertexAt(s.get(), i)->pos;
    denormalizeShape(s.get());
    for (int i = 0; i < vertexCount(s.get()); ++i) {
        EXPECT_NEAR(vertexAt(s.get(), i)->adjusted.x, before[i].x, 1);
        EXPECT_NEAR(vertexAt(s.get(), i)->adjusted.y, before[i].y, 1);
    }
}

TEST(ClosedOutlines, CloseNearlyClosedStrokes) {
    shapetest::OwnedShaper shaper(createShaper());
    const struct {
        const char* label;
        std::vector<P> corners;
        int closed;
    } cases[] = {
        {"small gap", {{0, 0}, {200, 0}, {200, 150}, {0, 150}, {0, 12}}, 1},
        {"overshoot", {{0, 0}, {200, 0}, {200, 150}, {0, 150}, {0, -20}}, 1},
        {"gap of 85", {{0, 0}, {200, 0}, {200, 150}, {0, 150}, {0, 85}}, 0},
        {"gap against size", {{0, 0}, {60, 0}, {60, 40}, {0, 40}, {0, 25}}, 0},
        {"open L", {{0, 0}, {200, 0}, {200, 150}}, 0},
    };
    for (const auto& c : cases) {
        OwnedShape s = polygonShape(c.corners, 2.0, shaper.get());
        EXPECT_EQ(closeNearlyClosedStroke(s.get()), c.closed) << c.label;
        EXPECT_EQ(s->closed, static_cast<uint32_t>(c.closed)) << c.label;
        if (c.closed) {
            EXPECT_EQ(vertexAt(s.get(), vertexCount(s.get()) - 1)->pos, vertexAt(s.get(), 0)->pos)
                << c.label;
            EXPECT_EQ(vertexCount(s.get()), 5)
                << c.label << ": no vertex just short of the closure";
        }
    }
}

}  // namespace
