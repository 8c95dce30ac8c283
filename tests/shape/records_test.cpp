// Shapes, point lists, vertices and answer records: conversion into internal
// units, copies, answer order, output points, editing and reversal.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Polyline.h"
#include "ShapeAnswer.h"
#include "ShapeRecords.h"
#include "strokes.h"

using namespace vexa;

namespace {

struct ShapeDeleter {
    void operator()(Shape* s) const { freeShape(s); }
};
using ShapePtr = std::unique_ptr<Shape, ShapeDeleter>;

struct AnswerDeleter {
    void operator()(VSANSWER* a) const { freeShapeAnswer(a); }
};
using AnswerPtr = std::unique_ptr<VSANSWER, AnswerDeleter>;

ShapePtr shapeOf(const strokes::Points& pts, int32_t scale = 1024) {
    return ShapePtr(makeShapeFromPoints(static_cast<int>(pts.size() / 2), pts.data(), scale));
}

TEST(PointList, ConvertsCallerPointsAtTheScale) {
    const struct {
        int32_t scale;
        int16_t in, out;
    } cases[] = {
        {1024, 100, 100},
        {1024, -7, -7},
        {768, 100, 100},
        {546, 100, 50},
        {546, -3, -2},
        {546, -1, -1},
        {546, -4, -2},
        {512, 101, 50},
        {273, 100, 25},
        {2048, 100, 200},
        // Larger scales saturate instead of wrapping.
        {16384, 30000, 32767},
        {16384, -30000, -32768},
    };
    for (const auto& c : cases) {
        const int16_t xy[2] = {c.in, c.in};
        ShapePtr s(makeShapeFromPoints(1, xy, c.scale));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->points->points[0].x, c.out) << "scale " << c.scale << " point " << c.in;
        EXPECT_EQ(s->scale, c.scale);
    }
}

TEST(PointList, DropsRepeatedPointsAndMeasuresItsArc) {
    const strokes::Points pts = {0, 0, 0, 0, 3, 4, 3, 4, 3, 4, 6, 8, 0, 0};
    ShapePtr s = shapeOf(pts);
    ASSERT_TRUE(s);
    const PointList* l = s->points;
    ASSERT_EQ(l->count, 4);
    EXPECT_EQ(l->arc[0], 0);
    EXPECT_EQ(l->arc[1], 5120);
    EXPECT_EQ(l->arc[2], 10240);
    EXPECT_EQ(l->arc[3], 20480);
    EXPECT_EQ(l->box.minX, 0);
    EXPECT_EQ(l->box.maxX, 6);
    EXPECT_EQ(l->box.maxY, 8);
    EXPECT_EQ(pointSize(l), 8);
    EXPECT_EQ(quickDistance(l, 0, 2), 9) << "(6 + 8) * 683 / 1024 beats max(6, 8)";
    EXPECT_EQ(pointDistance(l, 0, 2), 10240);
    EXPECT_EQ(arcBetween(l, 1, 3), 15360);
}

TEST(PointList, AllEqualPointsGiveOnePoint) {
    const strokes::Points pts(200, 77);
    ShapePtr s = shapeOf(pts);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->points->count, 1);
    EXPECT_EQ(s->points->arc[0], 0);
    // Converted at scale 546, 1 and 2 (and 3 and 2) meet at 1: one point.
    const strokes::Points close = {1, 1, 2, 2, 3, 3};
    ShapePtr t = shapeOf(close, 546);
    EXPECT_EQ(t->points->count, 2) << "1 -> 0, 2 -> 1, 3 -> 1";
}

TEST(PointList, JoinsReversesAndAppends) {
    ShapePtr a = shapeOf({0, 0, 10, 0});
    ShapePtr b = shapeOf({20, 0, 30, 0});
    ASSERT_TRUE(joinPointLists(a->points, b->points, false));
    ASSERT_EQ(a->points->count, 4);
    EXPECT_EQ(a->points->arc[2], 20480) << "continues by the gap between the touching points";
    EXPECT_EQ(a->points->arc[3], 30720);
    ShapePtr c = shapeOf({0, 0, 10, 0});
    ASSERT_TRUE(joinPointLists(c->points, b->points, true));
    EXPECT_EQ(c->points->points[0].x, 20);
    EXPECT_EQ(c->points->points[3].x, 10);
    reversePointList(a->points);
    EXPECT_EQ(a->points->points[0].x, 30);
    EXPECT_EQ(a->points->arc[0], 0);
    EXPECT_EQ(a->points->arc[3], 30720);
    EXPECT_EQ(a->points->arc[1], 10240);
    ASSERT_TRUE(pointListAppend(a->points, {30, 40}));
    EXPECT_EQ(a->points->box.maxY, 40);
    EXPECT_EQ(a->points->arc[4], 30720 + 51200);
}

TEST(PointList, LineIntersection) {
    int32_t t = 0, u = 0;
    EXPECT_TRUE(lineIntersection({0, 0}, {100, 0}, {50, -10}, {50, 10}, &t, &u));
    EXPECT_EQ(t, 512);
    EXPECT_EQ(u, 512);
    EXPECT_TRUE(lineIntersection({0, 0}, {100, 0}, {200, -10}, {200, 10}, &t, &u));
    EXPECT_EQ(t, 2048) << "beyond the first segment";
    EXPECT_FALSE(lineIntersection({0, 0}, {100, 0}, {0, 5}, {100, 5}, &t, &u));
}

TEST(ShapeAnswers, StaySortedAndKeepArrivalOrderOnTies) {
    ShapePtr s = shapeOf({0, 0, 10, 10});
    const int16_t scores[] = {5, -1, 5, 3, 5};
    std::vector<VSANSWER*> made;
    for (int16_t score : scores) {
        VSANSWER* a = newShapeAnswer();
        a->score = score;
        made.push_back(a);
        ASSERT_TRUE(addAnswerSorted(s.get(), a));
    }
    const VSANSWER* order[] = {made[1], made[3], made[0], made[2], made[4]};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(answerAt(s.get(), i), order[i]) << i;
    made[2]->kind = 7;
    made[4]->kind = 7;
    VSANSWER* taken = takeAnswerOfKind(s.get(), 7);
    EXPECT_EQ(taken, made[2]) << "the first of the kind";
    freeShapeAnswer(taken);
    EXPECT_EQ(takeAnswerOfKind(s.get(), 4), nullptr);
    EXPECT_EQ(s->answers.count, 4);
}

TEST(ShapeAnswers, CopyOutNeedsAnAnswerAndLeavesTheRecordOtherwise) {
    ShapePtr s = shapeOf({0, 0, 10, 10});
    VSANSWER out;
    std::memset(&out, 0x5A, sizeof(out));
    EXPECT_EQ(getShapeAnswerAt(s.get(), 0, &out), 0);
    unsigned char expected[sizeof(out)];
    std::memset(expected, 0x5A, sizeof(expected));
    EXPECT_EQ(std::memcmp(&out, expected, sizeof(out)), 0) << "untouched";
}

TEST(ShapeAnswers, HandedOutInCallerUnitsWithStrokes) {
    const int16_t xy[2] = {200, -100};
    ShapePtr s(makeShapeFromPoints(1, xy, 546));
    s->strokeCount = 2;
    s->internalNumbers[0] = 3;
    s->internalNumbers[1] = 4;
    s->callerIds[0] = 70;
    s->callerIds[1] = -1;
    VSANSWER* a = newShapeAnswer();
    const Point16 v[2] = {{100, -50}, {-1, 3}};
    setAnswerPoints(a, v, 2);
    a->kind = kKindPolyline;
    a->score = 9;
    a->alignId = 4;
    a->tableValue = 2;
    std::memset(a->name, 'N', 32);  // a full name has no terminator
    addAnswerSorted(s.get(), a);
    AnswerPtr out(newShapeAnswer());
    ASSERT_EQ(getShapeAnswerAt(s.get(), 0, out.get()), 1);
    EXPECT_EQ(out->vertices[0], 200);
    EXPECT_EQ(out->vertices[1], -100);
    EXPECT_EQ(out->vertices[2], -2);
    EXPECT_EQ(out->vertices[3], 6);
    EXPECT_EQ(out->size, 2 * a->size);
    EXPECT_EQ(std::memcmp(out->name, a->name, 32), 0);
    EXPECT_EQ(out->strokeCount, 2);
    EXPECT_EQ(out->strokes[1], 4);
    EXPECT_EQ(out->aliases[0], 70);
    EXPECT_EQ(out->aliases[1], 0xFFFF);
    EXPECT_EQ(out->alignId, 4);
    EXPECT_EQ(out->tableValue, 2);
    EXPECT_EQ(out->fresh, 1);
    EXPECT_EQ(a->fresh, 0) << "the shape's own answer is no longer fresh";
    EXPECT_EQ(out->alignedVertices, nullptr);
}

TEST(ShapeAnswers, CircleAnswersAreRedrawnFromTheirParameters) {
    const int16_t xy[2] = {0, 0};
    ShapePtr s(makeShapeFromPoints(1, xy, 546));
    VSANSWER* a = newShapeAnswer();
    a->kind = kKindEllipse;
    setAnswerName(a, "ELLI_c");
    std::vector<Point16> pts(33, Point16{0, 0});
    setAnswerPoints(a, pts.data(), 33);
    const int16_t params[3] = {100, 50, 40};
    setAnswerParams(a, params, 3);
    addAnswerSorted(s.get(), a);
    AnswerPtr out(newShapeAnswer());
    ASSERT_EQ(getShapeAnswerAt(s.get(), 0, out.get()), 1);
    EXPECT_EQ(out->vertices[0], 280) << "(100 + 40) in caller units at scale 546";
    EXPECT_EQ(out->vertices[1], 100);
    EXPECT_EQ(out->paramLength, 6);
    EXPECT_EQ(reinterpret_cast<int16_t*>(out->params)[2], 40) << "parameters stay internal";
}

TEST(ShapeAnswers, DeepCopyKeepsEverythingButTheXml) {
    AnswerPtr a(newShapeAnswer());
    a->kind = 5;
    a->score = 12;
    setAnswerName(a.get(), "ARR2_11");
    const Point16 v[3] = {{1, 2}, {3, 4}, {5, 6}};
    setAnswerPoints(a.get(), v, 3);
    a->strokes = static_cast<uint16_t*>(malloc(4));
    a->aliases = static_cast<uint16_t*>(malloc(4));
    a->strokes[0] = 1;
    a->strokes[1] = 2;
    a->aliases[0] = 9;
    a->aliases[1] = 8;
    a->strokeCount = 2;
    a->orientation = 1;
    a->xmlText = static_cast<char*>(malloc(8));
    a->xmlCapacity = 8;
    AnswerPtr c(copyVSAnswer(a.get()));
    ASSERT_TRUE(c);
    EXPECT_NE(c->vertices, a->vertices);
    EXPECT_EQ(c->vertices[5], 6);
    EXPECT_EQ(c->aliases[1], 8);
    EXPECT_EQ(c->orientation, 1);
    EXPECT_EQ(c->xmlText, nullptr);
    EXPECT_EQ(c->xmlCapacity, 0);
    EXPECT_EQ(c->alignedVertices, nullptr) << "null arrays stay null";
    EXPECT_STREQ(c->name, "ARR2_11");
    EXPECT_EQ(copyVSAnswer(nullptr), nullptr);
    clearShapeAnswerArrays(c.get());
    EXPECT_EQ(c->score, -1);
    EXPECT_EQ(c->tableValue, -1);
    EXPECT_EQ(c->orientation, 1) << "orientation stays";
}

TEST(ShapeOutput, ClosedOutlinesEndOnTheirFirstVertex) {
    ShapePtr s = shapeOf(strokes::polyline({{0, 0}, {100, 0}, {100, 60}, {0, 60}}));
    ASSERT_TRUE(approximatePolyline(s.get()));
    ASSERT_EQ(vertexCount(s.get()), 4);
    s->closed = 1;
    ASSERT_TRUE(finishShape(s.get(), false));
    ASSERT_EQ(s->outputCount, 5);
    EXPECT_EQ(s->output[8], s->output[0]);
    EXPECT_EQ(s->output[9], s->output[1]);
    // The first vertex is repeated even when the list already ends on it.
    vertexAt(s.get(), 3)->pos = vertexAt(s.get(), 0)->pos;
    ASSERT_TRUE(finishShape(s.get(), false));
    EXPECT_EQ(s->outputCount, 5);
    EXPECT_EQ(s->output[8], s->output[0]);
    EXPECT_FALSE(finishShape(s.get(), true)) << "no answer to finish from";
    EXPECT_EQ(s->output, nullptr);
}

TEST(ShapeCopy, CopiesVerticesRelinkedButNoAnswers) {
    ShapePtr s = shapeOf(strokes::polyline({{0, 0}, {100, 0}, {100, 60}}));
    ASSERT_TRUE(approximatePolyline(s.get()));
    addAnswerSorted(s.get(), newShapeAnswer());
    s->matchX = 7;
    ShapePtr c(copyShape(s.get()));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->answers.count, 0);
    ASSERT_EQ(vertexCount(c.get()), vertexCount(s.get()));
    EXPECT_EQ(c->matchX, 7);
    for (int i = 0; i < vertexCount(c.get()); ++i) {
        Vertex* v = vertexAt(c.get(), i);
        EXPECT_NE(v, vertexAt(s.get(), i));
        EXPECT_EQ(v->prev, i ? vertexAt(c.get(), i - 1) : nullptr);
        EXPECT_EQ(v->pointIndex, vertexAt(s.get(), i)->pointIndex);
    }
    EXPECT_NE(c->points, s->points);
    EXPECT_EQ(c->points->count, s->points->count);
}

TEST(ShapeEditing, SplitCutAppendAndJoin) {
    ShapePtr s = shapeOf(strokes::polyline({{0, 0}, {90, 0}}, 3));  // points 0..30
    ASSERT_TRUE(approximatePolyline(s.get()));
    ASSERT_EQ(vertexCount(s.get()), 2);
    EXPECT_EQ(findSegment(s.get(), 10), 0);
    EXPECT_EQ(findSegment(s.get(), 99), -1);
    EXPECT_EQ(splitAtPoint(s.get(), 10), 1);
    EXPECT_EQ(vertexAt(s.get(), 1)->pos.x, 30);
    EXPECT_EQ(splitAtPoint(s.get(), 10), 1) << "an existing vertex";
    ASSERT_TRUE(cutAtPoint(s.get(), 20, false));
    EXPECT_EQ(s->points->count, 21);
    EXPECT_EQ(vertexCount(s.get()), 3);
    ASSERT_TRUE(cutAtPoint(s.get(), 5, true));
    EXPECT_EQ(s->points->count, 16);
    EXPECT_EQ(s->points->arc[0], 0);
    EXPECT_EQ(vertexAt(s.get(), 0)->pointIndex, 0);
    EXPECT_EQ(vertexAt(s.get(), 0)->prev, nullptr);
    EXPECT_EQ(vertexAt(s.get(), 1)->pointIndex, 5);
    EXPECT_EQ(s->points->box.minX, 15);
    ASSERT_TRUE(appendPointToShape(s.get(), {60, 30}));
    Vertex* last = vertexAt(s.get(), vertexCount(s.get()) - 1);
    EXPECT_EQ(last->pos.y, 30);
    EXPECT_EQ(last->prev, vertexAt(s.get(), vertexCount(s.get()) - 2));
    EXPECT_EQ(last->inLength, 30 * 1024);

    ShapePtr a = shapeOf(strokes::polyline({{200, 0}, {260, 0}}, 3));
    ShapePtr b = shapeOf(strokes::polyline({{0, 0}, {60, 0}}, 3));
    ASSERT_TRUE(approximatePolyline(a.get()));
    ASSERT_TRUE(approximatePolyline(b.get()));
    const int na = a->points->count, nb = b->points->count;
    ASSERT_TRUE(joinShapes(a.get(), b.get(), true));
    EXPECT_EQ(a->points->count, na + nb);
    ASSERT_EQ(vertexCount(a.get()), 4);
    EXPECT_EQ(vertexAt(a.get(), 0)->pos.x, 0);
    EXPECT_EQ(vertexAt(a.get(), 2)->pointIndex, nb);
    EXPECT_EQ(vertexAt(a.get(), 2)->arcPos, (60 + 140) * 1024);
    EXPECT_EQ(vertexAt(a.get(), 1)->next, vertexAt(a.get(), 2));
    EXPECT_EQ(vertexAt(a.get(), 1)->outLength, 140 * 1024);
    removeVertex(a.get(), 1);
    EXPECT_EQ(vertexAt(a.get(), 0)->next, vertexAt(a.get(), 1));
}

TEST(ShapeEditing, ReversingTwiceRestoresEverything) {
    ShapePtr s = shapeOf(strokes::polyline({{0, 0}, {100, 0}, {100, 60}, {30, 80}}));
    ASSERT_TRUE(approximatePolyline(s.get()));
    VSANSWER* a = newShapeAnswer();
    ASSERT_TRUE(setAnswerVertices(a, s.get(), false));
    addAnswerSorted(s.get(), a);
    ShapePtr before(copyShape(s.get()));
    const std::vector<int16_t> answerBefore(a->vertices, a->vertices + 2 * a->vertexCount);
    const std::vector<int16_t> indexesBefore(a->vertexIndexes, a->vertexIndexes + a->vertexCount);
    reverseShape(s.get());
    EXPECT_EQ(s->reversed, 1u);
    EXPECT_EQ(vertexAt(s.get(), 0)->pos,
              vertexAt(before.get(), vertexCount(before.get()) - 1)->pos);
    EXPECT_EQ(vertexAt(s.get(), 0)->pointIndex, 0);
    EXPECT_EQ(a->vertices[0], answerBefore[answerBefore.size() - 2]);
    EXPECT_EQ(a->vertexIndexes[0], 0);
    reverseShape(s.get());
    EXPECT_EQ(s->reversed, 0u);
    ASSERT_EQ(vertexCount(s.get()), vertexCount(before.get()));
    for (int i = 0; i < vertexCount(s.get()); ++i) {
        const Vertex* v = vertexAt(s.get(), i);
        const Vertex* w = vertexAt(before.get(), i);
        EXPECT_EQ(v->pos, w->pos);
        EXPECT_EQ(v->pointIndex, w->pointIndex);
        EXPECT_EQ(v->arcPos, w->arcPos);
        EXPECT_EQ(v->inLength, w->inLength);
        EXPECT_EQ(v->outLength, w->outLength);
    }
    for (int i = 0; i < s->points->count; ++i) {
        EXPECT_EQ(s->points->points[i], before->points->points[i]);
        EXPECT_EQ(s->points->arc[i], before->points->arc[i]);
    }
    EXPECT_EQ(std::vector<int16_t>(a->vertices, a->vertices + 2 * a->vertexCount), answerBefore);
    EXPECT_EQ(std::vector<int16_t>(a->vertexIndexes, a->vertexIndexes + a->vertexCount),
              indexesBefore);
}

}  // namespace
