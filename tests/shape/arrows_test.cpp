// Arrows drawn in one stroke or in several, the head tests and their limits,
// and strokes joined into one shape.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Arrows.h"
#include "Shaper.h"
#include "VexaShape2.h"
#include "shape_builders.h"
#include "shaper_driver.h"
#include "strokes.h"

using namespace strokes;
using shapetest::OwnedShape;
using shapetest::polygonShape;

namespace {

constexpr double kDeg = 3.14159265358979 / 180;

struct Drawing {
    shapetest::ShaperPtr shaper{InitShaper()};
    uint16_t add(const Points& pts, int flags) {
        return AddStroke2Shaper(shaper.get(), static_cast<int16_t>(pts.size() / 2), pts.data(),
                                flags);
    }
    std::vector<std::string> names() {
        FinalizeShapes(shaper.get());
        std::vector<std::string> out;
        for (int i = 0; i < GetShapeNum(shaper.get()); ++i)
            out.push_back(shapetest::bestName(shaper.get(), i));
        return out;
    }
};

using Names = std::vector<std::string>;

// A shaft along the x axis ending at (length, 0), turned and placed.
Path placed(const Path& path, double angle) { return rotated(path, 0, 0, angle); }

Path offset(Path path, double dx, double dy) {
    for (P& p : path) {
        p.x += dx;
        p.y += dy;
    }
    return path;
}

Points drawn(const Path& corners, double angle, uint32_t seed) {
    return toPoints(jitter(offset(placed(sample(corners, 2.0), angle), 600, 600), 1.5, seed));
}

// The head: sides of `side` units at `half` degrees from the shaft, tip at (x, 0).
Path openHead(double x, double side, double half) {
    return {{x - side * std::cos(half * kDeg), side * std::sin(half * kDeg)},
            {x, 0},
            {x - side * std::cos(half * kDeg), -side * std::sin(half * kDeg)}};
}

Path closedHead(double x, double side, double half) {
    Path h = openHead(x, side, half);
    return {h[1], h[0], h[2], h[1]};
}

TEST(Arrows, OneStrokeArrowsAtAnySize) {
    for (double shaft : {120.0, 400.0, 800.0}) {
        const double side = std::max(20.0, shaft * 0.15);
        for (double angle : {0.0, 1.1, 3.6}) {
            const Path open = {{0, 0},
                               {shaft, 0},
                               {shaft - side * 0.87, side * 0.5},
                               {shaft, 0},
                               {shaft - side * 0.87, -side * 0.5}};
            const Path closed = {{0, 0},
                                 {shaft, 0},
                                 {shaft - side * 0.87, side * 0.5},
                                 {shaft - side * 0.87, -side * 0.5},
                                 {shaft, 0}};
            Drawing a;
            a.add(drawn(open, angle, 3), 0x0C);
            EXPECT_EQ(a.names(), (Names{"ARR1_1"})) << shaft << " " << angle;
            Drawing b;
            b.add(drawn(closed, angle, 4), 0x0C);
            EXPECT_EQ(b.names(), (Names{"ARR1_2"})) << shaft << " " << angle;
        }
    }
}

TEST(Arrows, ShaftThenHeadThenSecondHead) {
    const Path shaft = {{0, 0}, {300, 0}};
    Drawing a;
    a.add(drawn(shaft, 0.4, 1), 0x0C);
    a.add(drawn(openHead(300, 30, 30), 0.4, 2), 0x0C);
    EXPECT_EQ(GetShapeNum(a.shaper.get()), 1) << "the head joined the pending shaft";
    // The second head at the shaft's far end makes a two-headed arrow, finished at once.
    Path back = openHead(0, 30, 30);
    for (P& p : back) p.x = -p.x;
    EXPECT_EQ(a.add(drawn(back, 0.4, 3), 0x0C), 1);
    EXPECT_EQ(a.names(), (Names{"ARR2_11"}));

    // A closed second head: with two heads of one type the joined name and
    // the name of its vertex list agree.
    Drawing b;
    b.add(drawn(shaft, 0, 5), 0x0C);
    b.add(drawn(closedHead(300, 30, 30), 0, 6), 0x0C);
    Path backClosed = closedHead(0, 30, 30);
    for (P& p : backClosed) p.x = -p.x;
    b.add(drawn(backClosed, 0, 7), 0x0C);
    ASSERT_EQ(b.names(), (Names{"ARR2_22"}));
    shapetest::AnswerPtr joined(CreateShapeAnswerAt(GetShapeAt(b.shaper.get(), 0), 0));
    ASSERT_EQ(joined->vertexCount, 8);
    VSANSWER rebuilt = {};
    const VSVertexList list = {0, joined->vertexCount, joined->vertices};
    ASSERT_EQ(StrokeToShapeAnswer(&rebuilt, &list), 1);
    EXPECT_STREQ(rebuilt.name, joined->name);
    ClearShapeAnswer(&rebuilt);

    Drawing c;
    c.add(drawn(shaft, 0, 8), 0x0C);
    c.add(drawn(openHead(300, 30, 30), 0, 9), 0x0C);
    c.add(drawn(backClosed, 0, 10), 0x0C);
    EXPECT_EQ(c.names(), (Names{"ARR2_12"})) << "the first head, then the new (closed) one";
}

TEST(Arrows, PlainStrokesMakeNoArrows) {
    Drawing a;
    a.add(drawn({{0, 0}, {300, 0}}, 0, 1), 0x02);
    a.add(drawn(openHead(300, 30, 30), 0, 2), 0x02);
    EXPECT_EQ(GetShapeNum(a.shaper.get()), 2);
}

// Head tests on exact shapes: the shaft (0,0)-(length,0), the new head.
struct HeadCase {
    const char* label;
    double shaft, tipX, side, half;
    int expected;
};

TEST(HeadTests, OpenHeadOnAShaft) {
    const HeadCase cases[] = {
        {"tip 44 units past a 300 shaft", 300, 344, 25, 30, 1},
        {"tip 46 units past", 300, 346, 25, 30, 0},
        {"ratio 194 of a 100 shaft", 100, 119, 15, 30, 1},
        {"ratio 204", 100, 120, 15, 30, 0},
        {"sides at 80 degrees", 300, 300, 30, 80, 1},
        {"sides at 85 degrees", 300, 300, 30, 85, 0},
    };
    for (const HeadCase& c : cases) {
        shapetest::OwnedShaper owner(vexa::createShaper());
        OwnedShape shaft = polygonShape({{0, 0}, {c.shaft, 0}}, 2.0, owner.get());
        OwnedShape head = polygonShape(openHead(c.tipX, c.side, c.half), 2.0, owner.get());
        const int points = shaft->points->count + head->points->count;
        EXPECT_EQ(vexa::shaftToHead(shaft.get(), head.get()), c.expected) << c.label;
        if (c.expected) {
            EXPECT_EQ(head->kind, 4);
            EXPECT_STREQ(head->name, "ARR1_1");
            ASSERT_EQ(vexa::vertexCount(head.get()), 5) << c.label;
            EXPECT_EQ(vexa::vertexAt(head.get(), 1)->pos, vexa::vertexAt(head.get(), 3)->pos);
            EXPECT_EQ(head->points->count, points) << "the shaft's points, then the head's";
        }
    }
    // Sides on one side of the shaft are no head.
    shapetest::OwnedShaper owner(vexa::createShaper());
    OwnedShape shaft = polygonShape({{0, 0}, {300, 0}}, 2.0, owner.get());
    OwnedShape oneSided = polygonShape({{270, 30}, {300, 0}, {280, 10}}, 2.0, owner.get());
    EXPECT_EQ(vexa::shaftToHead(shaft.get(), oneSided.get()), 0);
}

TEST(HeadTests, ShaftDrawnTowardTheHeadOrAway) {
    shapetest::OwnedShaper owner(vexa::createShaper());
    // Drawn from the head end: the shaft is turned so that it ends at the head.
    OwnedShape shaft = polygonShape({{300, 0}, {0, 0}}, 2.0, owner.get());
    OwnedShape head = polygonShape(openHead(300, 25, 30), 2.0, owner.get());
    ASSERT_EQ(vexa::shaftToHead(shaft.get(), head.get()), 1);
    EXPECT_EQ(vexa::vertexAt(head.get(), 0)->pos, (vexa::Point16{0, 0}));
    EXPECT_EQ(vexa::vertexAt(head.get(), 1)->pos, (vexa::Point16{300, 0}));
}

TEST(HeadTests, ClosedHeadsAndTheirFirstCorner) {
    const HeadCase cases[] = {
        {"ratio 215", 100, 121, 15, 30, 1},
        {"ratio 225", 100, 122, 15, 30, 0},
    };
    for (const HeadCase& c : cases) {
        shapetest::OwnedShaper owner(vexa::createShaper());
        OwnedShape shaft = polygonShape({{0, 0}, {c.shaft, 0}}, 2.0, owner.get());
        OwnedShape head = polygonShape(closedHead(c.tipX, c.side, c.half), 2.0, owner.get());
        EXPECT_EQ(vexa::closedHeadArrow(shaft.get(), head.get()), c.expected) << c.label;
        if (c.expected) {
            EXPECT_STREQ(head->name, "ARR1_2");
        }
    }
    // Drawn from a base corner: the tip is found at the next corner...
    shapetest::OwnedShaper owner(vexa::createShaper());
    const Path h = openHead(300, 25, 30);
    OwnedShape shaft = polygonShape({{0, 0}, {300, 0}}, 2.0, owner.get());
    OwnedShape fromBase = polygonShape({h[2], h[1], h[0], h[2]}, 2.0, owner.get());
    EXPECT_EQ(vexa::closedHeadArrow(shaft.get(), fromBase.get()), 1);
    EXPECT_EQ(vexa::vertexAt(fromBase.get(), 1)->pos, (vexa::Point16{300, 0})) << "the tip";
    // ...unless the first corner's other two lie strictly on one side of the
    // shaft's line, even though the next corner would fit as the tip.
    OwnedShape shaft2 = polygonShape({{0, 0}, {300, 0}}, 2.0, owner.get());
    OwnedShape skewed =
        polygonShape({{280, -10}, {300, 2}, {280, 14}, {280, -10}}, 2.0, owner.get());
    EXPECT_EQ(vexa::closedHeadArrow(shaft2.get(), skewed.get()), 0);
}

TEST(HeadTests, SecondBarbOnAShaftWithOne) {
    shapetest::OwnedShaper owner(vexa::createShaper());
    const Path h = openHead(300, 30, 30);
    OwnedShape shaft = polygonShape({{0, 0}, {300, 0}, h[0]}, 2.0, owner.get());
    OwnedShape barb = polygonShape({{300, 0}, h[2]}, 2.0, owner.get());
    ASSERT_EQ(vexa::headToShaft(shaft.get(), barb.get()), 1);
    EXPECT_STREQ(barb->name, "ARR1_1");
    ASSERT_EQ(vexa::vertexCount(barb.get()), 5);
    // The barb was the first edge: the shaft is turned around first.
    OwnedShape reversed = polygonShape({h[0], {300, 0}, {0, 0}}, 2.0, owner.get());
    OwnedShape barb2 = polygonShape({h[2], {300, 0}}, 2.0, owner.get());
    ASSERT_EQ(vexa::headToShaft(reversed.get(), barb2.get()), 1);
    EXPECT_EQ(vexa::vertexAt(barb2.get(), 0)->pos, (vexa::Point16{0, 0}));
    // Barbs of very different lengths are not one head.
    OwnedShape shaft3 = polygonShape({{0, 0}, {300, 0}, h[0]}, 2.0, owner.get());
    OwnedShape longBarb = polygonShape({{300, 0}, {220, -46}}, 2.0, owner.get());
    EXPECT_EQ(vexa::headToShaft(shaft3.get(), longBarb.get()), 0);
}

TEST(Joining, CollinearStrokesJoinBelowTheEndDistance) {
    const struct {
        double gap;
        size_t shapes;
    } cases[] = {{29, 1}, {30, 2}};
    for (const auto& c : cases) {
        Drawing a;
        a.add(polyline({{0, 0}, {200, 0}}), 0x02);
        a.add(polyline({{200 + c.gap, 0}, {400, 0}}), 0x02);
        const Names names = a.names();
        EXPECT_EQ(names.size(), c.shapes) << c.gap;
        if (c.shapes == 1) {
            EXPECT_EQ(names[0], "POLY_1");
            shapetest::AnswerPtr ans(CreateShapeAnswerAt(GetShapeAt(a.shaper.get(), 0), 0));
            EXPECT_EQ(ans->strokeCount, 2);
        }
    }
}

TEST(Joining, StrokesMeetAtTheirCorner) {
    const struct {
        const char* label;
        Path first, second;
    } cases[] = {
        {"gap on both sides", {{0, 0}, {190, 0}}, {{200, 10}, {200, 200}}},
        {"both run past", {{0, 0}, {210, 0}}, {{200, -10}, {200, 200}}},
        {"only the first runs past", {{0, 0}, {215, 0}}, {{200, 10}, {200, 200}}},
        {"only the second runs past", {{0, 0}, {190, 0}}, {{200, -12}, {200, 200}}},
        {"drawn the other way", {{200, 200}, {200, 10}}, {{190, 0}, {0, 0}}},
    };
    for (const auto& c : cases) {
        Drawing a;
        a.add(polyline(c.first), 0x02);
        a.add(polyline(c.second), 0x02);
        ASSERT_EQ(a.names(), (Names{"POLY_2"})) << c.label;
        shapetest::AnswerPtr ans(CreateShapeAnswerAt(GetShapeAt(a.shaper.get(), 0), 0));
        // The corner vertex lands where the two lines meet.
        EXPECT_NEAR(ans->vertices[2], 200, 3) << c.label;
        EXPECT_NEAR(ans->vertices[3], 0, 3) << c.label;
    }
}

TEST(Joining, StrokeLimitOfThirtyTwo) {
    // Short collinear dashes that each continue the one before.
    Drawing a;
    for (int i = 0; i < 33; ++i) a.add(polyline({{i * 40.0, 0}, {i * 40.0 + 36, 0}}, 2), 0x02);
    FinalizeShapes(a.shaper.get());
    ASSERT_EQ(GetShapeNum(a.shaper.get()), 2) << "the 33rd stroke finds the first shape full";
    shapetest::AnswerPtr big(CreateShapeAnswerAt(GetShapeAt(a.shaper.get(), 0), 0));
    shapetest::AnswerPtr last(CreateShapeAnswerAt(GetShapeAt(a.shaper.get(), 1), 0));
    const int bigCount = big->strokeCount, lastCount = last->strokeCount;
    EXPECT_EQ(std::max(bigCount, lastCount), 32);
    EXPECT_EQ(std::min(bigCount, lastCount), 1);
    // Absorbed strokes follow the new one, each shape's from its last to its
    // first: the order turns over at every join.
    const VSANSWER* full = bigCount == 32 ? big.get() : last.get();
    EXPECT_EQ(full->strokes[0], 31);
    EXPECT_EQ(full->strokes[1], 29);
    EXPECT_EQ(full->strokes[2], 27);
    EXPECT_EQ(full->strokes[30], 28);
    EXPECT_EQ(full->strokes[31], 30);
    Drawing b;
    for (int i = 0; i < 3; ++i) b.add(polyline({{i * 40.0, 0}, {i * 40.0 + 36, 0}}, 2), 0x02);
    FinalizeShapes(b.shaper.get());
    ASSERT_EQ(GetShapeNum(b.shaper.get()), 1);
    shapetest::AnswerPtr three(CreateShapeAnswerAt(GetShapeAt(b.shaper.get(), 0), 0));
    ASSERT_EQ(three->strokeCount, 3);
    EXPECT_EQ(std::vector<int>(three->strokes, three->strokes + 3), (std::vector<int>{2, 0, 1}));
}

TEST(Joining, FourStrokesCloseIntoARectangle) {
    Drawing a;
    a.add(drawn({{0, 0}, {300, 0}}, 0.05, 1), 0x0C);
    a.add(drawn({{302, 4}, {302, 180}}, 0.05, 2), 0x0C);
    a.add(drawn({{298, 182}, {0, 182}}, 0.05, 3), 0x0C);
    a.add(drawn({{-2, 178}, {-2, 4}}, 0.05, 4), 0x0C);
    EXPECT_EQ(a.names(), (Names{"PARA_r"}));
}

TEST(Joining, PendingArrowsAndCurvesJoinNothing) {
    shapetest::OwnedShaper owner(vexa::createShaper());
    OwnedShape pending = polygonShape({{0, 0}, {200, 0}}, 2.0, owner.get());
    OwnedShape next = polygonShape({{210, 0}, {400, 0}}, 2.0, owner.get());
    pending->kind = 7;
    EXPECT_EQ(vexa::joinWithPendingShape(next.get(), pending.get(), 1), 0);
    pending->kind = 4;
    EXPECT_EQ(vexa::joinWithPendingShape(next.get(), pending.get(), 0), 0);
    pending->kind = 6;
    pending->strokeCount = 32;
    EXPECT_EQ(vexa::joinWithPendingShape(next.get(), pending.get(), 0), 0);
    pending->strokeCount = 31;
    EXPECT_EQ(vexa::joinWithPendingShape(next.get(), pending.get(), 0), 1);
}

}  // namespace
