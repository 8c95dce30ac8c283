// One-stroke classification through the exports: templates at any size,
// regularised answers, and the order of answers and filing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "VexaShape2.h"
#include "shaper_driver.h"
#include "strokes.h"

using namespace strokes;
using shapetest::AnswerPtr;
using shapetest::ShaperPtr;

namespace {

struct Result {
    std::string name;
    int kind = 0;
    int closed = 0;
    std::vector<int16_t> vertices;
    std::vector<int> kinds;  // of every answer, best first
};

Result classify(const Points& pts, int flags) {
    ShaperPtr s(InitShaper());
    Result r;
    if (AddStroke2Shaper(s.get(), static_cast<int16_t>(pts.size() / 2), pts.data(), flags) ==
        0xFFFF)
        return r;
    FinalizeShapes(s.get());
    if (GetShapeNum(s.get()) != 1) return r;
    Shape* shape = GetShapeAt(s.get(), 0);
    for (int i = 0; i < GetShapeAnswerNum(shape); ++i) {
        AnswerPtr a(CreateShapeAnswerAt(shape, static_cast<int16_t>(i)));
        r.kinds.push_back(a->kind);
        if (i) continue;
        r.name = std::string(a->name, strnlen(a->name, 32));
        r.kind = a->kind;
        r.closed = a->closed;
        r.vertices.assign(a->vertices, a->vertices + 2 * a->vertexCount);
    }
    return r;
}

// A closed outline drawn by hand: around the corners from a corner, a little
// past the start, with a smooth wobble.
Points closedStroke(Path corners, double size, uint32_t seed) {
    corners.push_back(corners[0]);
    const P a = corners[0], b = corners[1];
    corners.push_back({a.x + (b.x - a.x) * 0.05, a.y + (b.y - a.y) * 0.05});
    return toPoints(jitter(sample(corners, 3.5), 0.8 + 0.006 * size, seed));
}

// About one point every 3 units, as a pen reports them.
Points ellipseStroke(double a, double b, double angle, uint32_t seed) {
    const int n = static_cast<int>(kPi * (a + b) / 3);
    return toPoints(
        jitter(ellipse(600, 600, a, b, angle, n, 0.3, 2 * kPi + 0.1), 0.8 + 0.006 * a, seed));
}

bool axisParallel(const std::vector<int16_t>& v) {
    for (size_t i = 0; i + 3 < v.size(); i += 2)
        if (v[i] != v[i + 2] && v[i + 1] != v[i + 3]) return false;
    return true;
}

const double kSizes[] = {60, 200, 400};

TEST(OneStrokeShapes, TrianglesAtAnySize) {
    for (double r : kSizes) {
        Path tri;
        for (int k = 0; k < 3; ++k)
            tri.push_back(
                {600 + r * std::cos(0.6 + k * 2.0944), 600 + r * std::sin(0.6 + k * 2.0944)});
        const Result res = classify(closedStroke(tri, r, 11), 0x0C);
        EXPECT_EQ(res.name, "TRIG") << r;
        EXPECT_EQ(res.closed, 1) << r;
        ASSERT_EQ(res.vertices.size(), 8u) << r;
        const auto& v = res.vertices;
        EXPECT_TRUE(v[1] == v[3] || v[3] == v[5] || v[5] == v[7]) << r << ": a side made level";
    }
}

TEST(OneStrokeShapes, CirclesAndEllipsesAtAnySize) {
    const struct {
        double ratio, angle;
        const char* name;
    } cases[] = {
        {1.0, 0.0, "ELLI_c"},   {0.8, 0.0, "ELLI_c"},  // 100 x 80 is taken for a circle
        {0.7, 0.0, "ELLI_h"},                          // 100 x 70 stays an ellipse, levelled
        {0.7, 0.785, "ELLI"},                          // ... or turned at 45 degrees
        {0.7, 1.571, "ELLI_v"},
    };
    for (double r : kSizes) {
        for (const auto& c : cases) {
            const Result res = classify(ellipseStroke(r, r * c.ratio, c.angle, 21), 0x0C);
            EXPECT_EQ(res.name, c.name) << r << " ratio " << c.ratio << " angle " << c.angle;
            EXPECT_EQ(res.kind, 3);
            EXPECT_EQ(res.vertices.size(), 66u);
        }
    }
}

TEST(OneStrokeShapes, RectanglesAndSquaresComeOutAxisParallel) {
    for (double r : kSizes) {
        const double tilt = 0.08;
        const Path rect = rotated({{600 - r, 600 - 0.55 * r},
                                   {600 + r, 600 - 0.55 * r},
                                   {600 + r, 600 + 0.55 * r},
                                   {600 - r, 600 + 0.55 * r}},
                                  600, 600, tilt);
        const Result a = classify(closedStroke(rect, r, 31), 0x0C);
        EXPECT_EQ(a.name, "PARA_r") << r;
        EXPECT_TRUE(axisParallel(a.vertices)) << r;
        const Path square = rotated({{600 - r, 600 - 0.93 * r},
                                     {600 + r, 600 - 0.93 * r},
                                     {600 + r, 600 + 0.93 * r},
                                     {600 - r, 600 + 0.93 * r}},
                                    600, 600, -tilt);
        const Result b = classify(closedStroke(square, r, 32), 0x0C);
        EXPECT_EQ(b.name, "PARA_s") << r;
        EXPECT_TRUE(axisParallel(b.vertices)) << r;
        ASSERT_EQ(b.vertices.size(), 10u);
        // Equal sides, within the rounding of the fixed-point lengths.
        EXPECT_NEAR(
            std::abs(b.vertices[2] - b.vertices[0]) + std::abs(b.vertices[3] - b.vertices[1]),
            std::abs(b.vertices[4] - b.vertices[2]) + std::abs(b.vertices[5] - b.vertices[3]),
            2 + 0.05 * r)
            << r << ": equal sides";
    }
}

TEST(OneStrokeShapes, WithoutBeautifyTheFittedOutlineStays) {
    const Path rect = rotated({{400, 450}, {800, 450}, {800, 680}, {400, 680}}, 600, 600, 0.08);
    const Result res = classify(closedStroke(rect, 200, 31), 0x04);
    EXPECT_EQ(res.name, "PARA");
    EXPECT_FALSE(axisParallel(res.vertices));
}

TEST(OneStrokeShapes, TemplateAnswersReplaceThePolylineAndCurve) {
    const Path tri = {{400, 400}, {800, 400}, {600, 740}};
    const Result res = classify(closedStroke(tri, 200, 5), 0x04);
    ASSERT_FALSE(res.kinds.empty());
    EXPECT_EQ(res.kinds[0], 1);
    for (int k : res.kinds) {
        EXPECT_NE(k, 6);
        EXPECT_NE(k, 7);
    }
    // The plain path leaves a closed polyline.
    EXPECT_EQ(classify(closedStroke(tri, 200, 5), 0x02).name, "POLY_3");
}

TEST(OneStrokeShapes, AnOpenRingIsAnEllipseThatStaysOpen) {
    // A polygonal ring with a gap too wide to close: no template, but the
    // single-stroke ellipse reading, which stays open.
    Path corners;
    const double step = (2 * kPi - 100.0 / 300) / 24;
    for (int k = 0; k <= 24; ++k)
        corners.push_back({600 + 300 * std::cos(k * step), 600 + 300 * std::sin(k * step)});
    const Result res = classify(toPoints(sample(corners, 3.0)), 0x0C);
    EXPECT_EQ(res.kind, 3);
    EXPECT_EQ(res.closed, 0);
    // A smooth open ring is a curve.
    const Points ring = toPoints(ellipse(600, 600, 200, 200, 0, 400, 0.3, 2 * kPi - 0.6));
    EXPECT_EQ(classify(ring, 0x0C).name, "CURV");
}

TEST(OneStrokeShapes, KeepPendingLeavesEarlierShapesPending) {
    ShaperPtr s(InitShaper());
    const Points line = polyline({{0, 0}, {300, 0}});
    AddStroke2Shaper(s.get(), static_cast<int16_t>(line.size() / 2), line.data(), 0x10C);
    const Points tri = closedStroke({{400, 400}, {800, 400}, {600, 740}}, 200, 5);
    EXPECT_EQ(AddStroke2Shaper(s.get(), static_cast<int16_t>(tri.size() / 2), tri.data(), 0x10C),
              1);
    EXPECT_EQ(GetShapeNum(s.get()), 2) << "the line is still pending";
    EXPECT_EQ(isShapeFinished(GetShapeAt(s.get(), 1)), 0u);
    // Without the variant the closed shape finishes it first.
    ShaperPtr t(InitShaper());
    AddStroke2Shaper(t.get(), static_cast<int16_t>(line.size() / 2), line.data(), 0x0C);
    EXPECT_EQ(AddStroke2Shaper(t.get(), static_cast<int16_t>(tri.size() / 2), tri.data(), 0x0C), 2);
    EXPECT_EQ(shapetest::bestName(t.get(), 0), "POLY_1");
    EXPECT_EQ(shapetest::bestName(t.get(), 1), "TRIG");
}

}  // namespace
