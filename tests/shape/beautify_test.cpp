// Regularisation of recognised answers: equilateral triangles, rectangles
// and squares, circles and axis ellipses, axis-snapped and mirrored polylines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "Beautify.h"
#include "ShapeAnswer.h"

using namespace vexa;

namespace {

struct AnswerFree {
    void operator()(VSANSWER* a) const { freeShapeAnswer(a); }
};
using OwnedAnswer = std::unique_ptr<VSANSWER, AnswerFree>;

OwnedAnswer answerOf(int16_t kind, const char* name, std::vector<Point16> v, bool closed) {
    OwnedAnswer a(newShapeAnswer());
    a->kind = kind;
    setAnswerName(a.get(), name);
    setAnswerPoints(a.get(), v.data(), static_cast<int>(v.size()));
    a->closed = closed ? 1 : 0;
    // Orientation as the shape would give it: the sign of the polygon's area (y up).
    double area = 0;
    for (size_t i = 0; i + 1 < v.size(); ++i)
        area += double(v[i].x) * v[i + 1].y - double(v[i + 1].x) * v[i].y;
    a->orientation = area > 0 ? 1 : 0;
    return a;
}

Point16 at(const VSANSWER* a, int i) { return {a->vertices[2 * i], a->vertices[2 * i + 1]}; }

double len(Point16 a, Point16 b) { return std::hypot(a.x - b.x, a.y - b.y); }

double sideSpread(const VSANSWER* a) {
    const double s[3] = {len(at(a, 0), at(a, 1)), len(at(a, 1), at(a, 2)), len(at(a, 2), at(a, 0))};
    return (*std::max_element(s, s + 3) - *std::min_element(s, s + 3)) /
           (*std::max_element(s, s + 3));
}

// An isosceles triangle, legs of 200 units, pointing up, rotated a little.
OwnedAnswer isosceles(double base, double tiltDegrees) {
    const double h = std::sqrt(200.0 * 200.0 - base * base / 4);
    const double t = tiltDegrees * 3.14159265358979 / 180, c = std::cos(t), s = std::sin(t);
    auto r = [&](double x, double y) {
        return Point16{static_cast<int16_t>(std::lround(500 + x * c - y * s)),
                       static_cast<int16_t>(std::lround(500 + x * s + y * c))};
    };
    const Point16 p0 = r(-base / 2, 0), p1 = r(base / 2, 0), p2 = r(0, h);
    return answerOf(1, "TRIG", {p0, p1, p2, p0}, true);
}

TEST(BeautifyTriangle, NearEquilateralBecomesEquilateralAndLevel) {
    OwnedAnswer a = isosceles(240, 6);  // sides 200, 200, 240: 20 percent apart
    const double before = sideSpread(a.get());
    beautifyTriangle(a.get(), true);
    EXPECT_LT(sideSpread(a.get()), before / 2.5) << "a third of the way to equilateral";
    EXPECT_EQ(at(a.get(), 0).y, at(a.get(), 1).y) << "the flattest side is level";
    EXPECT_EQ(at(a.get(), 3), at(a.get(), 0));
}

TEST(BeautifyTriangle, FortyPercentKeepsItsSides) {
    OwnedAnswer a = isosceles(280, 0);  // sides 200, 200, 280
    const double before = sideSpread(a.get());
    beautifyTriangle(a.get(), true);
    EXPECT_NEAR(sideSpread(a.get()), before, 0.01);
}

TEST(BeautifyTriangle, LevelsOnlyBelowTheSineLimit) {
    // A flat, far from equilateral triangle whose base p0 -> p1 has a sine of
    // exactly 199/1024, then 200/1024.
    for (int wanted : {199, 200}) {
        int dy = 0;
        for (int y = 150; y < 260; ++y) {
            const int32_t l = distance(Point16{0, 0}, Point16{1000, static_cast<int16_t>(y)});
            if (ratio1024(1024 * y, l) == wanted) {
                dy = y;
                break;
            }
        }
        ASSERT_GT(dy, 0) << wanted;
        OwnedAnswer a = answerOf(
            1, "TRIG", {{0, 0}, {1000, static_cast<int16_t>(dy)}, {-100, 600}, {0, 0}}, true);
        beautifyTriangle(a.get(), true);
        if (wanted == 199) {
            EXPECT_EQ(at(a.get(), 0).y, at(a.get(), 1).y) << "turned level";
        } else {
            EXPECT_EQ(at(a.get(), 1), (Point16{1000, static_cast<int16_t>(dy)}))
                << "left as it was";
        }
    }
    // Either direction of the chosen side ends level.
    OwnedAnswer back = answerOf(1, "TRIG", {{1000, 100}, {0, 0}, {500, 900}, {1000, 100}}, true);
    beautifyTriangle(back.get(), true);
    EXPECT_EQ(at(back.get(), 0).y, at(back.get(), 1).y);
}

TEST(BeautifyTriangle, FlagClearLeavesItAlone) {
    OwnedAnswer a = isosceles(240, 6);
    std::vector<int16_t> before(a->vertices, a->vertices + 8);
    beautifyTriangle(a.get(), false);
    EXPECT_EQ(std::vector<int16_t>(a->vertices, a->vertices + 8), before);
}

TEST(BeautifyQuadrilateral, RectangleThenSquareThenLevel) {
    // A parallelogram whose diagonals differ by about 10 percent, tilted 5 degrees.
    const double t = 5 * 3.14159265358979 / 180, c = std::cos(t), s = std::sin(t);
    auto r = [&](double x, double y) {
        return Point16{static_cast<int16_t>(std::lround(300 + x * c - y * s)),
                       static_cast<int16_t>(std::lround(300 + x * s + y * c))};
    };
    OwnedAnswer rect =
        answerOf(2, "PARA", {r(0, 0), r(300, 0), r(318, 150), r(18, 150), r(0, 0)}, true);
    beautifyQuadrilateral(rect.get(), true);
    EXPECT_STREQ(rect->name, "PARA_r");
    const Point16 p[4] = {at(rect.get(), 0), at(rect.get(), 1), at(rect.get(), 2),
                          at(rect.get(), 3)};
    for (int i = 0; i < 4; ++i) {
        const Point16 q = p[(i + 1) % 4];
        EXPECT_TRUE(p[i].x == q.x || p[i].y == q.y) << "side " << i << " is axis-parallel";
    }
    EXPECT_EQ(at(rect.get(), 4), p[0]);
    EXPECT_NEAR(len(p[0], p[1]) / len(p[1], p[2]), 2.0, 0.1) << "a rectangle, not a square";

    OwnedAnswer square =
        answerOf(2, "PARA", {{0, 0}, {200, 0}, {200, 170}, {0, 170}, {0, 0}}, true);
    beautifyQuadrilateral(square.get(), true);
    EXPECT_STREQ(square->name, "PARA_s");
    EXPECT_NEAR(len(at(square.get(), 0), at(square.get(), 1)),
                len(at(square.get(), 1), at(square.get(), 2)), 2);

    // Diagonals 30 percent apart: not a rectangle, nothing changes.
    OwnedAnswer slanted =
        answerOf(2, "PARA", {{0, 0}, {200, 0}, {300, 150}, {100, 150}, {0, 0}}, true);
    beautifyQuadrilateral(slanted.get(), true);
    EXPECT_STREQ(slanted->name, "PARA");
    EXPECT_EQ(at(slanted.get(), 2), (Point16{300, 150}));
}

TEST(BeautifyEllipse, CirclesAndAxisEllipses) {
    const ShapeTemplate* circle = nullptr;
    PtrList* templates = createShapeTemplates();
    circle = templateAt(templates, 2);
    const struct {
        int16_t a, b, cos, sin;
        const char* name;
        int16_t radius;  // for circles
    } cases[] = {
        {100, 80, 724, 724, "ELLI_c", 90},  // r = 113: a circle of the mean radius
        {100, 70, 1024, 0, "ELLI_h", 0},    // r = 180: an ellipse, already level
        {100, 70, 150, 1013, "ELLI_v", 0},  // first axis nearly vertical
        {100, 70, 724, 724, "ELLI", 0},     // at 45 degrees: left alone
    };
    for (const auto& c : cases) {
        std::vector<Point16> pts(33, Point16{0, 0});
        OwnedAnswer e = answerOf(3, "ELLI", pts, true);
        const int16_t params[6] = {400, 300, c.a, c.b, c.cos, c.sin};
        setAnswerParams(e.get(), params, 6);
        beautifyEllipse(e.get(), circle, true);
        EXPECT_STREQ(e->name, c.name);
        const int16_t* p = reinterpret_cast<const int16_t*>(e->params);
        if (c.radius) {
            EXPECT_EQ(e->paramLength, 6);
            EXPECT_EQ(p[2], c.radius);
            EXPECT_EQ(at(e.get(), 0), (Point16{490, 300}));
            EXPECT_EQ(at(e.get(), 8), (Point16{400, 390}));
        } else if (c.name[4]) {
            const bool vertical = c.name[5] == 'v';
            EXPECT_EQ(p[4], vertical ? 0 : 1024);
            EXPECT_EQ(p[5], vertical ? 1024 : 0);
            EXPECT_EQ(at(e.get(), 0),
                      (Point16{static_cast<int16_t>(400 + (vertical ? 70 : 100)), 300}));
            EXPECT_EQ(at(e.get(), 8),
                      (Point16{400, static_cast<int16_t>(300 + (vertical ? 100 : 70))}));
        } else {
            EXPECT_EQ(at(e.get(), 0), (Point16{0, 0})) << "vertices untouched";
        }
        EXPECT_EQ(at(e.get(), 32), at(e.get(), 0));
    }
    destroyShapeTemplates(templates);
}

TEST(BeautifyEllipse, ParametersFromTheVertices) {
    std::vector<Point16> pts;
    for (int k = 0; k < 33; ++k) {
        const double t = 2 * 3.14159265358979 * k / 32;
        // Semi-axes 120 and 50, the first axis at 30 degrees.
        const double x = 120 * std::cos(t), y = 50 * std::sin(t);
        pts.push_back({static_cast<int16_t>(std::lround(200 + x * 0.866 - y * 0.5)),
                       static_cast<int16_t>(std::lround(100 + x * 0.5 + y * 0.866))});
    }
    OwnedAnswer e = answerOf(3, "ELLI", pts, true);
    setEllipseParameters(e.get(), 200, 100);
    ASSERT_EQ(e->paramLength, 12);
    const int16_t* p = reinterpret_cast<const int16_t*>(e->params);
    EXPECT_EQ(p[0], 200);
    EXPECT_EQ(p[1], 100);
    EXPECT_NEAR(p[2], 120, 1);
    EXPECT_NEAR(p[3], 50, 2);
    EXPECT_NEAR(p[4], 887, 6);
    EXPECT_NEAR(p[5], 512, 6);
    OwnedAnswer poly = answerOf(6, "POLY_1", {{0, 0}, {5, 5}}, false);
    setEllipseParameters(poly.get(), 0, 0);
    EXPECT_EQ(poly->params, nullptr) << "only ellipses";
}

TEST(SnapAxisEdges, NearlyLevelAndUprightEdgesBecomeExact) {
    // 9 degrees: tan 9 = 0.158.
    OwnedAnswer a = answerOf(6, "POLY_2", {{0, 0}, {200, 32}, {200 + 200, 64}}, false);
    snapAxisEdges(a.get());
    EXPECT_EQ(at(a.get(), 0).y, at(a.get(), 1).y) << "the first edge is made level";
    EXPECT_NE(at(a.get(), 1).y, at(a.get(), 2).y) << "the edge after a levelled one is not";
    OwnedAnswer u = answerOf(6, "POLY_2", {{0, 0}, {8, 200}, {300, 190}}, false);
    snapAxisEdges(u.get());
    EXPECT_EQ(at(u.get(), 0).x, at(u.get(), 1).x) << "upright";
    EXPECT_EQ(at(u.get(), 1).y, at(u.get(), 2).y) << "level after an upright edge";
    OwnedAnswer steep = answerOf(6, "POLY_1", {{0, 0}, {200, 100}}, false);
    snapAxisEdges(steep.get());
    EXPECT_EQ(at(steep.get(), 1), (Point16{200, 100}));
    // A closed outline closes on its first vertex's snapped line.
    OwnedAnswer box = answerOf(6, "POLY_4", {{0, 3}, {200, 0}, {203, 150}, {2, 152}, {0, 3}}, true);
    snapAxisEdges(box.get());
    EXPECT_EQ(at(box.get(), 0).y, at(box.get(), 1).y);
    EXPECT_EQ(at(box.get(), 0).y, at(box.get(), 4).y);
}

TEST(SymmetrizePolyline, NearlyMirroredBecomesMirrored) {
    // An open V, its two arms 200 and 190 long: the middle vertex's axis is upright.
    OwnedAnswer v = answerOf(6, "POLY_2", {{0, 200}, {100, 0}, {195, 190}}, false);
    EXPECT_EQ(symmetrizePolyline(v.get()), 1);
    const Point16 a = at(v.get(), 0), m = at(v.get(), 1), b = at(v.get(), 2);
    EXPECT_EQ(a.y, b.y);
    EXPECT_NEAR(m.x - a.x, b.x - m.x, 1);
    // A closed outline is mirrored about its best axis and closes on its first vertex.
    OwnedAnswer kite =
        answerOf(6, "POLY_4", {{100, 0}, {190, 80}, {100, 300}, {5, 85}, {100, 0}}, true);
    EXPECT_EQ(symmetrizePolyline(kite.get()), 1);
    EXPECT_EQ(at(kite.get(), 1).y, at(kite.get(), 3).y);
    EXPECT_EQ(at(kite.get(), 4), at(kite.get(), 0));
    // Far from symmetric: left alone.
    OwnedAnswer hook = answerOf(6, "POLY_2", {{0, 0}, {300, 0}, {300, 20}}, false);
    EXPECT_EQ(symmetrizePolyline(hook.get()), 0);
    EXPECT_EQ(at(hook.get(), 2), (Point16{300, 20}));
    const int32_t centre[2] = {100, 100};
    OwnedAnswer flat = answerOf(6, "POLY_2", {{100, 100}, {100, 100}, {100, 100}}, false);
    EXPECT_EQ(mirrorMismatch(flat.get(), 3, centre, 1, nullptr, nullptr, false, nullptr, nullptr),
              -1);
}

}  // namespace
