// Alignment and tables through the exports: what a caller sees after
// FinalizeShapes, ApplyVexaAlignEx and FinalizeShapesEx(0x210).
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "VexaShape2.h"
#include "shaper_driver.h"
#include "strokes.h"

using namespace shapetest;

namespace {

using Pts = std::vector<int16_t>;

// The points become the answer's vertices as they are (a closed four-sided
// outline is a parallelogram, two points a line).
constexpr int kAsDrawn = 0x2E;

Pts rect(int l, int t, int r, int b) {
    return {int16_t(l), int16_t(t), int16_t(r), int16_t(t), int16_t(r),
            int16_t(b), int16_t(l), int16_t(b), int16_t(l), int16_t(t)};
}
// A rectangle as alignment writes it: top-left first, going down first.
Pts downFirst(int l, int t, int r, int b) {
    return {int16_t(l), int16_t(t), int16_t(l), int16_t(b), int16_t(r),
            int16_t(b), int16_t(r), int16_t(t), int16_t(l), int16_t(t)};
}
// n points round the ellipse, the last on the first.
Pts ellipse(int cx, int cy, int a, int b, int n = 64) {
    Pts e;
    for (int k = 0; k < n; ++k)
        e.insert(e.end(), {int16_t(lround(cx + a * cos(k * 6.283185307 / (n - 1)))),
                           int16_t(lround(cy + b * sin(k * 6.283185307 / (n - 1))))});
    return e;
}
Pts line(int x0, int y0, int x1, int y1) {
    return {int16_t(x0), int16_t(y0), int16_t(x1), int16_t(y1)};
}

// A shaper whose extended strokes come in at scale 1024 (caller = internal units).
ShaperPtr unitShaper() {
    ShaperPtr s(InitShaper());
    const int32_t resolution = 16;
    SetShaperProperty(s.get(), &resolution, 2);
    return s;
}

void add(Shaper* s, const Pts& p, int16_t group = 0, int flags = kAsDrawn) {
    const ShaperStroke stroke = {0, static_cast<int32_t>(p.size() / 2), p.data(), group};
    ASSERT_NE(AddStroke2ShaperEx(s, &stroke, flags), 0xFFFF);
}

// A unit shaper with the shapes added as drawn, finished with the flags.
ShaperPtr finished(const std::vector<Pts>& shapes, int flags = 0x210) {
    ShaperPtr s = unitShaper();
    for (const Pts& p : shapes) add(s.get(), p);
    FinalizeShapesEx(s.get(), flags);
    return s;
}

Pts vertices(Shaper* s, int i) {
    AnswerPtr a(CreateShapeAnswerAt(GetFinishedShapeAt(s, static_cast<int16_t>(i)), 0));
    if (!a) return {};
    return Pts(a->vertices, a->vertices + 2 * a->vertexCount);
}

struct Extent {
    int l, t, r, b;
};
Extent extentOf(const Pts& v) {
    Extent e = {v[0], v[1], v[0], v[1]};
    for (size_t i = 0; i < v.size(); i += 2) {
        e.l = std::min<int>(e.l, v[i]);
        e.r = std::max<int>(e.r, v[i]);
        e.t = std::min<int>(e.t, v[i + 1]);
        e.b = std::max<int>(e.b, v[i + 1]);
    }
    return e;
}

int countOf(const std::string& text, const char* what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Align, EdgesThatNearlyMeetBecomeEqual) {
    ShaperPtr s = unitShaper();
    add(s.get(), rect(0, 0, 100, 100));
    add(s.get(), rect(3, 200, 103, 300));
    EXPECT_EQ(FinalizeShapes(s.get()), 2);
    const Extent a = extentOf(vertices(s.get(), 0)), b = extentOf(vertices(s.get(), 1));
    EXPECT_EQ(a.l, b.l);
    EXPECT_EQ(a.r, b.r);
    EXPECT_EQ(a.r - a.l, 100) << "the sizes stay";
    EXPECT_EQ(b.b - b.t, 100);
    // The output points follow the answer.
    uint32_t count = 0;
    const double* out = GetFirstStrokeFromOut(s.get(), &count);
    ASSERT_EQ(count, 5u);
    EXPECT_EQ(out[0], vertices(s.get(), 0)[0]);
}

TEST(Align, ClosedOutputsStayClosed) {
    ShaperPtr s = unitShaper();
    add(s.get(), rect(0, 0, 100, 100), -1);
    // A closed polyline whose first vertex lies 2 units off the frozen edge.
    const Pts outline = strokes::polyline({{2, 200}, {102, 200}, {102, 300}, {2, 300}, {2, 200}});
    const ShaperStroke stroke = {0, static_cast<int32_t>(outline.size() / 2), outline.data(), 0};
    ASSERT_NE(AddStroke2ShaperEx(s.get(), &stroke, 0x02), 0xFFFF);
    FinalizeShapes(s.get());
    uint32_t count = 0;
    const double* out = GetFirstStrokeFromOut(s.get(), &count);
    out = GetNextStrokeFromOut(s.get(), &count);
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(out[0], 0) << "aligned with the frozen edge";
    EXPECT_EQ(out[10], out[0]);
    EXPECT_EQ(out[11], out[1]);
}

TEST(Align, APolylinesFirstVertexIsATarget) {
    // A frozen outline, closed or open, and a new line ending 4 units short of
    // its first vertex: the line's end meets the vertex.
    const Pts open = strokes::polyline({{0, 150}, {0, 50}, {50, 0}, {100, 50}, {100, 150}});
    Pts closed = open;
    closed.insert(closed.end(), {0, 150});
    for (const Pts& drawn : {closed, open}) {
        const char* label = drawn.size() == closed.size() ? "closed" : "open";
        ShaperPtr s = unitShaper();
        const ShaperStroke stroke = {0, static_cast<int32_t>(drawn.size() / 2), drawn.data(), -1};
        ASSERT_NE(AddStroke2ShaperEx(s.get(), &stroke, 0x02), 0xFFFF);
        FinalizeShapesEx(s.get(), 0);  // recognized, not aligned
        const Pts outline = vertices(s.get(), 0);
        ASSERT_EQ(outline.size(), drawn.size() == closed.size() ? 12u : 10u) << label;
        ASSERT_EQ(outline[0], 0);
        ASSERT_EQ(outline[1], 150);
        add(s.get(), line(-200, 153, -4, 153));
        FinalizeShapes(s.get());
        EXPECT_EQ(vertices(s.get(), 0), outline) << label << ": frozen";
        EXPECT_EQ(vertices(s.get(), 1), line(-200, 150, 0, 150)) << label;
    }
}

TEST(Align, LoneRectangles) {
    const struct {
        int width, height;
        Extent expected;
    } cases[] = {
        {100, 104, {0, 0, 102, 102}},  // a near-square becomes a square
        {100, 106, {0, 0, 100, 106}},  // a rectangle keeps its size
        {100, 100, {0, 0, 100, 100}},
    };
    for (const auto& c : cases) {
        ShaperPtr s = unitShaper();
        add(s.get(), rect(0, 0, c.width, c.height));
        FinalizeShapes(s.get());
        const Pts v = vertices(s.get(), 0);
        const Extent e = extentOf(v);
        EXPECT_EQ(e.l, c.expected.l) << c.width << "x" << c.height;
        EXPECT_EQ(e.r, c.expected.r) << c.width << "x" << c.height;
        EXPECT_EQ(e.b, c.expected.b) << c.width << "x" << c.height;
        EXPECT_EQ(v, downFirst(e.l, e.t, e.r, e.b)) << "rewritten from the box";
    }
}

TEST(Align, FrozenShapesHoldStillAndPullOthers) {
    ShaperPtr s = unitShaper();
    add(s.get(), rect(0, 0, 100, 100), -1);
    add(s.get(), rect(3, 200, 103, 300));
    FinalizeShapes(s.get());
    EXPECT_EQ(vertices(s.get(), 0), downFirst(0, 0, 100, 100)) << "the same box";
    EXPECT_EQ(extentOf(vertices(s.get(), 1)).l, 0) << "the new shape meets the frozen one";
    AnswerPtr frozen(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), 0), 0));
    EXPECT_EQ(frozen->alignValue, 0) << "a frozen shape is not changed";
    AnswerPtr moved(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), 1), 0));
    EXPECT_EQ(moved->alignValue, 1);
    EXPECT_LT(moved->alignId, 0) << "after its run the shape is frozen too";
}

TEST(Align, APassWithoutNewShapesDoesNothing) {
    ShaperPtr s = unitShaper();
    add(s.get(), rect(0, 0, 100, 100), 2);
    add(s.get(), rect(3, 200, 103, 300), 3);
    FinalizeShapes(s.get());
    EXPECT_EQ(vertices(s.get(), 1), rect(3, 200, 103, 300));
    // A new shape aligns against the earlier (now frozen) ones.
    ShaperPtr t = unitShaper();
    add(t.get(), rect(0, 0, 100, 100));
    FinalizeShapes(t.get());
    add(t.get(), rect(2, 200, 102, 300));
    FinalizeShapes(t.get());
    EXPECT_EQ(extentOf(vertices(t.get(), 0)).l, 0);
    EXPECT_EQ(extentOf(vertices(t.get(), 1)).l, 0);
}

TEST(Align, OnlyTheNewest32Move) {
    ShaperPtr s = unitShaper();
    for (int i = 0; i < 40; ++i)
        add(s.get(), rect(i % 2 * 2, 150 * i, 100 + i % 2 * 2, 150 * i + 100));
    EXPECT_EQ(FinalizeShapes(s.get()), 40);
    for (int i = 0; i < 40; ++i) {
        AnswerPtr a(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), static_cast<int16_t>(i)), 0));
        if (i < 8) {
            EXPECT_EQ(a->alignId, 0) << i << ": not in the pass";
            EXPECT_EQ(vertices(s.get(), i),
                      rect(i % 2 * 2, 150 * i, 100 + i % 2 * 2, 150 * i + 100))
                << i;
        } else {
            EXPECT_NE(a->alignId, 0) << i;
        }
    }
    const int left = extentOf(vertices(s.get(), 8)).l;
    for (int i = 9; i < 40; ++i) EXPECT_EQ(extentOf(vertices(s.get(), i)).l, left) << i;
}

TEST(Align, Disposition) {
    struct Case {
        const char* label;
        std::vector<Pts> shapes;
        uint32_t bits;  // expected in entry (0, 1)
        uint32_t absent;
    };
    const Case cases[] = {
        {"a line across a rectangle",
         {rect(0, 0, 200, 100), line(0, 50, 200, 50)},
         0x40 | 0x80 | 0x100,
         0},
        {"a line inside, short of the sides",
         {rect(0, 0, 200, 100), line(40, 50, 160, 50)},
         0,
         0x40 | 0x180},
        {"lines meeting at a corner", {line(0, 0, 100, 0), line(100, 1, 100, 200)}, 0x80, 0x100},
        {"the first line's last end on the second",
         {line(0, 300, 100, 300), line(100, 0, 100, 600)},
         0x400,
         0x200},
        {"equal rectangles far apart", {rect(0, 0, 100, 50), rect(500, 500, 601, 550)}, 0x03, 0x30},
        {"collinear edges", {rect(0, 0, 100, 50), rect(0, 200, 80, 300)}, 0x04, 0},
        {"rectangles sharing a side", {rect(0, 0, 100, 100), rect(100, 0, 200, 100)}, 0x30, 0},
        {"a line ending on a side",
         {rect(0, 0, 100, 100), line(150, 50, 100, 50)},
         0x10 | 0x100,
         0x20 | 0x80},
        {"a line ending on a circle's leftmost point, along its axis",
         {ellipse(200, 200, 100, 100, 33), line(0, 200, 100, 200)},
         0x10 | 0x04,
         0x20},
        {"equal circles far apart",
         {ellipse(200, 200, 100, 100, 33), ellipse(900, 900, 100, 100, 33)},
         0x03,
         0x30},
    };
    for (const Case& c : cases) {
        // Frozen, no pass runs, but the disposition of the shapes is there all the same.
        ShaperPtr s = unitShaper();
        for (const Pts& p : c.shapes) add(s.get(), p, -1);
        ApplyVexaAlign(s.get());
        const uint32_t* frozen = GetpDisposition(s.get());
        ASSERT_NE(frozen, nullptr) << c.label << ": no new shape, no pass";
        EXPECT_EQ(frozen[1] & c.bits, c.bits) << c.label << ": " << std::hex << frozen[1];
        EXPECT_EQ(frozen[1] & c.absent, 0u) << c.label << ": " << std::hex << frozen[1];
        ShaperPtr t = unitShaper();
        add(t.get(), c.shapes[0], -1);
        add(t.get(), c.shapes[1], 0);
        ApplyVexaAlign(t.get());
        const uint32_t* d = GetpDisposition(t.get());
        ASSERT_NE(d, nullptr) << c.label;
        EXPECT_EQ(d[1] & c.bits, c.bits) << c.label << ": " << std::hex << d[1];
        EXPECT_EQ(d[1] & c.absent, 0u) << c.label << ": " << std::hex << d[1];
    }
}

// A turned ellipse as drawn: centre (300, 300), semi-axes 120 and 60, at 45 degrees.
Pts turnedEllipse() {
    Pts turned;
    for (int k = 0; k < 33; ++k) {
        const double f = k * 6.283185307 / 32, c = cos(0.785398), sn = sin(0.785398);
        turned.push_back(int16_t(lround(300 + 120 * cos(f) * c - 60 * sin(f) * sn)));
        turned.push_back(int16_t(lround(300 + 120 * cos(f) * sn + 60 * sin(f) * c)));
    }
    return turned;
}

Pts paramsOf(Shaper* s, int i) {
    AnswerPtr a(CreateShapeAnswerAt(GetFinishedShapeAt(s, static_cast<int16_t>(i)), 0));
    if (!a || !a->params) return {};
    const int16_t* p = reinterpret_cast<const int16_t*>(a->params);
    return Pts(p, p + a->paramLength / 2);
}

std::vector<double> firstOutput(Shaper* s) {
    uint32_t count = 0;
    const double* out = GetFirstStrokeFromOut(s, &count);
    return out ? std::vector<double>(out, out + 2 * count) : std::vector<double>();
}

TEST(Align, ATurnedEllipseWithNothingNearStaysWhereItIs) {
    // New and alone; or frozen, with a new shape far off in every pass so that
    // each pass runs.
    for (int16_t group : {int16_t(0), int16_t(-1)}) {
        ShaperPtr s = unitShaper();
        add(s.get(), turnedEllipse(), group, 0x06);
        AnswerPtr drawn(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
        ASSERT_TRUE(drawn);
        ASSERT_EQ(drawn->kind, 3) << "an ellipse";
        ASSERT_EQ(drawn->paramLength, 12) << "a turned one";
        FinalizeShapesEx(s.get(), 0);  // no alignment yet: the shape as recognized
        const Pts before = vertices(s.get(), 0), params = paramsOf(s.get(), 0);
        const std::vector<double> output = firstOutput(s.get());
        for (int pass = 1; pass <= 10; ++pass) {
            if (group < 0) add(s.get(), line(3000, 300 * pass, 3100, 300 * pass));
            FinalizeShapes(s.get());
            EXPECT_EQ(vertices(s.get(), 0), before) << "group " << group << ", pass " << pass;
            EXPECT_EQ(paramsOf(s.get(), 0), params) << "group " << group << ", pass " << pass;
            EXPECT_EQ(firstOutput(s.get()), output) << "group " << group << ", pass " << pass;
        }
    }
}

TEST(Align, ALineEndingOnAnyOutlineVertexOfACircleTouchesIt) {
    for (int k = 0; k < 32; ++k) {
        ShaperPtr s = unitShaper();
        add(s.get(), ellipse(200, 200, 100, 100, 33), -1);
        FinalizeShapesEx(s.get(), 0);  // the circle as recognized, not aligned
        const Pts circle = vertices(s.get(), 0);
        ASSERT_GE(circle.size(), 64u);
        // A frozen line from 60 units out, radially onto vertex k.
        const int x = circle[2 * k], y = circle[2 * k + 1];
        const double dx = x - 200, dy = y - 200, len = hypot(dx, dy);
        const Pts toward =
            line(int(lround(x + 60 * dx / len)), int(lround(y + 60 * dy / len)), x, y);
        add(s.get(), toward, -1);
        add(s.get(), line(3000, 3000, 3100, 3000));  // a new shape far off: the pass runs
        FinalizeShapes(s.get());
        ASSERT_EQ(vertices(s.get(), 0), circle) << "frozen";
        const uint32_t* d = GetpDisposition(s.get());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d[1] & 0x30, 0x10u) << "vertex " << k << ": " << std::hex << d[1];
    }
}

TEST(Align, TheDispositionAlwaysCoversTheFinishedShapes) {
    ShaperPtr s = unitShaper();
    add(s.get(), rect(0, 0, 100, 100));
    add(s.get(), rect(0, 200, 100, 300));
    FinalizeShapes(s.get());
    ASSERT_NE(GetpDisposition(s.get()), nullptr);
    ClearShaperOutput(s.get());
    // Five frozen shapes: no pass runs. Shapes 0 and 1 are lines that meet at
    // a corner, 3 and 4 equal rectangles far apart.
    const std::vector<Pts> five = {line(0, 0, 100, 0), line(100, 1, 100, 200),
                                   rect(500, 0, 600, 50), rect(1000, 0, 1100, 50),
                                   rect(1500, 900, 1601, 950)};
    for (const Pts& p : five) add(s.get(), p, -1);
    EXPECT_EQ(ApplyVexaAlign(s.get()), 5);
    const uint32_t* d = GetpDisposition(s.get());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d[0 * 5 + 1] & 0x80, 0x80u) << std::hex << d[1];
    EXPECT_EQ(d[3 * 5 + 4] & 0x03, 0x03u) << std::hex << d[3 * 5 + 4];
    EXPECT_EQ(d[2 * 5 + 3] & 0x03, 0x03u) << std::hex << d[2 * 5 + 3];
}

TEST(Align, LineEndsAttach) {
    // Distance of a point from a circle's outline and from a triangle's side.
    auto offCircle = [](double x, double y) { return fabs(hypot(x - 200, y - 200) - 100); };
    auto offSide = [](double x, double y) {
        return fabs(170 * (x - 200) + 100 * y) / hypot(170, 100);  // the side (200,0)-(100,170)
    };
    // A turned ellipse: centre (300, 300), semi-axes 120 and 60, at 45 degrees.
    Pts turned;
    for (int k = 0; k < 33; ++k) {
        const double f = k * 6.283185307 / 32, c = cos(0.785398), sn = sin(0.785398);
        turned.push_back(int16_t(lround(300 + 120 * cos(f) * c - 60 * sin(f) * sn)));
        turned.push_back(int16_t(lround(300 + 120 * cos(f) * sn + 60 * sin(f) * c)));
    }
    auto offTurned = [](double x, double y) {
        double best = 1e9;
        for (int k = 0; k < 4000; ++k) {
            const double f = k * 6.283185307 / 4000, c = cos(0.785398), sn = sin(0.785398);
            best = std::min(best, hypot(x - (300 + 120 * cos(f) * c - 60 * sin(f) * sn),
                                        y - (300 + 120 * cos(f) * sn + 60 * sin(f) * c)));
        }
        return best;
    };
    struct Case {
        const char* label;
        Pts target;  // frozen
        Pts line;    // its last end lies a little off the target
        std::function<double(double, double)> off;
    };
    const Case cases[] = {
        {"onto a circle", ellipse(200, 200, 100, 100, 33), line(0, 200, 97, 200), offCircle},
        {"onto a triangle's side",
         {0, 0, 200, 0, 100, 170, 0, 0},
         line(150, 200, 150, 88),
         offSide},
        {"onto a turned ellipse", turned, line(215, 50, 215, 212), offTurned},
    };
    for (const Case& c : cases) {
        ShaperPtr s = unitShaper();
        add(s.get(), c.target, -1);
        FinalizeShapesEx(s.get(), 0);  // the target as recognized
        const Pts target = vertices(s.get(), 0);
        add(s.get(), c.line);
        ASSERT_GE(c.off(c.line[2], c.line[3]), 1.5) << c.label;
        FinalizeShapes(s.get());
        EXPECT_EQ(vertices(s.get(), 0), target) << c.label << ": the frozen target stays";
        const Pts v = vertices(s.get(), 1);
        ASSERT_EQ(v.size(), 4u) << c.label;
        EXPECT_LE(c.off(v[2], v[3]), 1.0) << c.label << ": " << v[2] << "," << v[3];
        EXPECT_EQ(v[1], c.line[1]) << c.label << ": the far end stays where the line runs";
    }
}

TEST(Align, ArrowsReachWhatTheyPointAt) {
    ShaperPtr s = unitShaper();
    const Pts frame = strokes::polyline({{300, 0}, {500, 0}, {500, 150}, {300, 150}, {300, 0}});
    const Pts arrow = strokes::polyline({{0, 75}, {296, 75}, {266, 95}, {296, 75}, {266, 55}});
    add(s.get(), frame, 0, 0x0C);
    add(s.get(), arrow, 0, 0x0C);
    AnswerPtr pending(CreateShapeAnswerAt(GetShapeAt(s.get(), 1), 0));
    ASSERT_TRUE(pending);
    ASSERT_STREQ(pending->name, "ARR1_1");
    const Pts before(pending->vertices, pending->vertices + 2 * pending->vertexCount);
    FinalizeShapes(s.get());
    const Extent box = extentOf(vertices(s.get(), 0));
    const Pts after = vertices(s.get(), 1);
    ASSERT_EQ(after.size(), 10u);
    EXPECT_EQ(after[2], box.l) << "the tip on the frame's side";
    EXPECT_EQ(after[6], box.l) << "the tip's repeat too";
    EXPECT_EQ(after[0], before[0]) << "the tail stays";
    // The head moves with the tip, keeping its shape.
    EXPECT_NEAR(after[4] - after[2], before[4] - before[2], 1);
    EXPECT_NEAR(after[8] - after[2], before[8] - before[2], 1);
}

TEST(Align, NearlyTouchingCirclesTouch) {
    ShaperPtr s = unitShaper();
    add(s.get(), ellipse(200, 200, 100, 100, 33), -1);
    add(s.get(), ellipse(344, 344, 100, 100, 33));  // touching on the diagonal: no edges meet
    FinalizeShapes(s.get());
    AnswerPtr a(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), 0), 0));
    AnswerPtr b(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), 1), 0));
    ASSERT_EQ(b->paramLength, 6);
    const int16_t* pa = reinterpret_cast<const int16_t*>(a->params);
    const int16_t* pb = reinterpret_cast<const int16_t*>(b->params);
    const double gap = hypot(pb[0] - pa[0], pb[1] - pa[1]) - pa[2] - pb[2];
    EXPECT_LE(fabs(gap), 1.0) << pb[0] << "," << pb[1] << " r " << pb[2];
}

struct Table {
    VSTABLE* table;
    std::string html;
};

Table onlyTable(Shaper* s) {
    uint16_t count = 0;
    VSTABLE* t = GetTable(s, &count);
    EXPECT_EQ(count, 1);
    if (!t || count != 1) return {nullptr, ""};
    GenerateTablesXML(s);
    return {t, t->html ? std::string(t->html) : ""};
}

TEST(Tables, FrameWithTwoRulings) {
    ShaperPtr s = unitShaper();
    add(s.get(), rect(0, 0, 200, 100));
    add(s.get(), line(0, 50, 200, 50));
    add(s.get(), line(100, 0, 100, 100));
    EXPECT_EQ(FinalizeShapesEx(s.get(), 0x210), 3);
    const Table t = onlyTable(s.get());
    ASSERT_TRUE(t.table);
    EXPECT_EQ(t.table->cellCount, 4);
    EXPECT_EQ(countOf(t.html, "<TR"), 2);
    EXPECT_EQ(countOf(t.html, "<TD"), 4);
    EXPECT_EQ(countOf(t.html, "</TR>"), 2);
    EXPECT_EQ(t.table->htmlLength, t.html.size());
    EXPECT_EQ(t.table->offsets[0], 0u);
    EXPECT_EQ(t.table->offsets[t.table->cellCount + 1], t.html.size());
    // Each cell's content goes right after its opening text.
    for (int i = 0; i < t.table->cellCount; ++i)
        EXPECT_EQ(t.html.substr(t.table->offsets[i + 1] - 3, 3), "'>\n") << i;
    const int16_t expected[4][8] = {{0, 0, 100, 0, 100, 50, 0, 50},
                                    {100, 0, 200, 0, 200, 50, 100, 50},
                                    {0, 50, 100, 50, 100, 100, 0, 100},
                                    {100, 50, 200, 50, 200, 100, 100, 100}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(t.table->cells[i].corners[k], expected[i][k]) << i << "," << k;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(GetStrokeTable(s.get(), static_cast<int16_t>(i)), 0) << i;
    EXPECT_NE(t.html.find("<TD WIDTH=\"100\" HEIGHT=\"50\" COLSPAN=\"1\" ROWSPAN=\"1\" "
                          "style='border-top:.5pt solid windowtext;border-bottom:none;"
                          "border-left:.5pt solid windowtext;border-right:none'>"),
              std::string::npos)
        << t.html;
}

TEST(Tables, NearlyEvenRulingsAreSpacedEvenly) {
    const struct {
        int x1, x2;
        int expected1, expected2;
    } cases[] = {
        {95, 205, 100, 200},  // both nearly halfway between their neighbours
        {60, 200, 60, 200},   // far from halfway: left as drawn
    };
    for (const auto& c : cases) {
        ShaperPtr s =
            finished({rect(0, 0, 300, 100), line(c.x1, 0, c.x1, 100), line(c.x2, 0, c.x2, 100)});
        EXPECT_NEAR(vertices(s.get(), 1)[0], c.expected1, 1) << c.x1;
        EXPECT_NEAR(vertices(s.get(), 2)[0], c.expected2, 1) << c.x2;
        EXPECT_EQ(vertices(s.get(), 1)[0], vertices(s.get(), 1)[2]) << "still upright";
        const Table t = onlyTable(s.get());
        ASSERT_TRUE(t.table);
        ASSERT_EQ(t.table->cellCount, 3);
        EXPECT_EQ(t.table->cells[1].corners[0], vertices(s.get(), 1)[0]) << "the grid follows";
    }
}

TEST(Tables, HalfLengthDividersSpanCells) {
    const struct {
        const char* label;
        std::vector<Pts> shapes;
        const char* spanning;  // the spanning cell's sizes and spans
        int rows;
    } cases[] = {
        {"a divider in the lower row only",
         {rect(0, 0, 200, 100), line(0, 50, 200, 50), line(100, 50, 100, 100)},
         "WIDTH=\"200\" HEIGHT=\"50\" COLSPAN=\"2\" ROWSPAN=\"1\"",
         2},
        {"a ruling in the right column only",
         {rect(0, 0, 200, 100), line(100, 0, 100, 100), line(100, 50, 200, 50)},
         "WIDTH=\"100\" HEIGHT=\"100\" COLSPAN=\"1\" ROWSPAN=\"2\"",
         2},
    };
    for (const auto& c : cases) {
        ShaperPtr s = finished(c.shapes);
        const Table t = onlyTable(s.get());
        ASSERT_TRUE(t.table) << c.label;
        EXPECT_EQ(t.table->cellCount, 3) << c.label;
        EXPECT_EQ(countOf(t.html, "<TR"), c.rows) << c.label;
        EXPECT_EQ(countOf(t.html, "SPAN=\"2\""), 1) << c.label;
        EXPECT_NE(t.html.find(c.spanning), std::string::npos) << c.label << "\n" << t.html;
        EXPECT_EQ(t.table->offsets[4], t.html.size()) << c.label;
    }
}

TEST(Tables, NoTables) {
    const struct {
        const char* label;
        std::vector<Pts> shapes;
        int lastFlags;
    } cases[] = {
        {"a frame without rulings", {rect(0, 0, 200, 100)}, kAsDrawn},
        {"a slanted line", {rect(0, 0, 200, 100), line(0, 0, 200, 100)}, kAsDrawn},
        {"a ruling with one end on the frame",
         {rect(0, 0, 200, 100), line(0, 50, 150, 50)},
         kAsDrawn},
        {"an ellipse on the page",
         {rect(0, 0, 200, 100), line(0, 50, 200, 50), ellipse(350, 40, 50, 30)},
         0x06},
        {"no shapes at all", {}, kAsDrawn},
    };
    for (const auto& c : cases) {
        ShaperPtr s = unitShaper();
        for (size_t i = 0; i < c.shapes.size(); ++i)
            add(s.get(), c.shapes[i], 0, i + 1 == c.shapes.size() ? c.lastFlags : kAsDrawn);
        FinalizeShapesEx(s.get(), 0x210);
        uint16_t count = 9;
        EXPECT_EQ(GetTable(s.get(), &count), nullptr) << c.label;
        EXPECT_EQ(count, 0) << c.label;
        for (int i = 0; i < GetFinishedShapeNum(s.get()); ++i)
            EXPECT_LT(GetStrokeTable(s.get(), static_cast<int16_t>(i)), 0) << c.label << " " << i;
    }
}

TEST(Tables, SlantedLinesAreExcluded) {
    ShaperPtr s = finished({rect(0, 0, 200, 100), line(0, 50, 200, 50), line(20, 10, 180, 90)});
    EXPECT_EQ(GetStrokeTable(s.get(), 0), 0);
    EXPECT_EQ(GetStrokeTable(s.get(), 1), 0);
    EXPECT_EQ(GetStrokeTable(s.get(), 2), -2) << "0xFFFE: excluded";
}

TEST(Tables, StrokesBelongToTheirTables) {
    // The first frame has no rulings (no grid); the second and third do.
    ShaperPtr s = finished({
        rect(0, 0, 200, 100), rect(0, 300, 200, 400), line(0, 350, 200, 350),
        rect(400, 0, 600, 100), line(500, 0, 500, 100),
        line(700, 0, 800, 0),  // apart from every frame
    });
    uint16_t count = 0;
    VSTABLE* tables = GetTable(s.get(), &count);
    ASSERT_EQ(count, 2);
    // Table numbers are the records' numbers: no gap for the frame without a grid.
    const int16_t expected[] = {-1, 0, 0, 1, 1, -1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(GetStrokeTable(s.get(), static_cast<int16_t>(i)), expected[i]) << i;
    EXPECT_EQ(tables[0].cells[0].corners[1], 300) << "table 0 is the second frame";
    EXPECT_EQ(tables[1].cells[0].corners[0], 400) << "table 1 is the third frame";
    EXPECT_EQ(tables[1].cellCount, 2);
}

TEST(Tables, OpenRightSideGrowsLikeTheLeft) {
    // A frameless grid: top, bottom, left and middle lines, no right side.
    ShaperPtr s = finished(
        {line(0, 0, 200, 0), line(0, 0, 0, 120), line(100, 0, 100, 120), line(0, 120, 200, 120)});
    const Table t = onlyTable(s.get());
    ASSERT_TRUE(t.table);
    ASSERT_EQ(t.table->cellCount, 2);
    const int16_t* open = t.table->cells[1].corners;
    EXPECT_EQ(open[0], 100);
    EXPECT_EQ(open[2], 200 + 100 / 6) << "top-right moves out by a sixth of the width";
    EXPECT_EQ(open[4], 200 + 100 / 6);
    EXPECT_EQ(t.table->cells[0].corners[2], 100) << "a ruled side stays";
    EXPECT_NE(t.html.find("border-right:none'"), std::string::npos);
}

TEST(Tables, SizesInTheCallersUnits) {
    // Default resolution: extended strokes come in at half size.
    ShaperPtr s(InitShaper());
    add(s.get(), rect(0, 0, 400, 200));
    add(s.get(), line(0, 100, 400, 100));
    FinalizeShapesEx(s.get(), 0x210);
    const Table t = onlyTable(s.get());
    ASSERT_TRUE(t.table);
    const int16_t* c = t.table->cells[0].corners;
    EXPECT_EQ(c[2] - c[0], 400);
    EXPECT_EQ(c[5] - c[3], 100);
    EXPECT_NE(t.html.find("<TR HEIGHT=\"100\">"), std::string::npos) << t.html;
    EXPECT_NE(t.html.find("WIDTH=\"400\" HEIGHT=\"100\""), std::string::npos) << t.html;
}

TEST(AlignBadInput, EmptyHugeAndDegenerate) {
    ShaperPtr s = unitShaper();
    EXPECT_EQ(ApplyVexaAlignEx(s.get(), 0x200), 0);
    EXPECT_EQ(FinalizeShapesEx(s.get(), 0x210), 0);
    uint16_t count = 7;
    EXPECT_EQ(GetTable(s.get(), &count), nullptr);
    EXPECT_EQ(GetStrokeTable(s.get(), -1), -1);
    EXPECT_EQ(GetStrokeTable(s.get(), 99), -1);
    GenerateTablesXML(s.get());
    GenerateTablesXML(nullptr);
    EXPECT_EQ(GetTable(nullptr, &count), nullptr);

    // Zero-size frames, coincident and zero-length lines.
    add(s.get(), rect(10, 10, 10, 10));
    add(s.get(), rect(0, 0, 0, 100));
    add(s.get(), rect(0, 0, 200, 100));
    add(s.get(), line(0, 50, 200, 50));
    add(s.get(), line(0, 50, 200, 50));
    add(s.get(), line(50, 50, 50, 50));
    add(s.get(), line(-32768, 32767, 32767, -32768));
    FinalizeShapesEx(s.get(), 0x210);
    GenerateTablesXML(s.get());
    readEverything(s.get());

    // A thousand shapes: the newest 32 take part; every pass stays sane.
    ShaperPtr m = unitShaper();
    for (int i = 0; i < 1000; ++i) {
        const int x = (i * 37) % 2000, y = (i * 53) % 2000;
        add(m.get(), i % 3 ? rect(x, y, x + 20 + i % 50, y + 30) : line(x, y, x + 60, y));
    }
    EXPECT_EQ(FinalizeShapesEx(m.get(), 0x210), 1000);
    EXPECT_EQ(ApplyVexaAlignEx(m.get(), 0x200), 1000);
    GenerateTablesXML(m.get());
    for (int i = 0; i < 1000; ++i) {
        const Pts v = vertices(m.get(), i);
        ASSERT_FALSE(v.empty());
        for (int16_t c : v) ASSERT_TRUE(c > -200 && c < 2300) << i;
    }
}

}  // namespace
