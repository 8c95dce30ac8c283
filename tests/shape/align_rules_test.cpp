// The rules under the alignment solver, each as a table of its own cases:
// the tolerance curve and limit ramps, the outline band, the relaxation of one
// variable, size clustering, candidate marks and the age update.
#include <gtest/gtest.h>

#include <vector>

#include "AlignAges.h"
#include "AlignLinks.h"
#include "AlignRun.h"
#include "FixedMath.h"
#include "Relax.h"

using namespace vexa;

namespace {

// A run of B boxes (kBoxFields values each) and K vertex shapes; ids, links
// and the rest are the caller's to set.
AlignRun runOf(int32_t B, int32_t* boxes, int32_t K, int32_t* offsets, int32_t** verts,
               int32_t* kinds) {
    AlignRun run = {};
    run.boxCount = B;
    run.shapeCount = K;
    run.boxesIn = boxes;
    run.offsets = offsets;
    run.vertsIn = verts;
    run.kinds = kinds;
    return run;
}

TEST(AlignLinks, ToleranceCurve) {
    const struct {
        int32_t v, expected;
    } cases[] = {{-5, 0},   {0, 0},    {2, 2},     {19, 27},   {20, 29},
                 {100, 78}, {150, 94}, {200, 110}, {5000, 110}};
    for (const auto& c : cases) EXPECT_EQ(sizeTolerance(c.v), c.expected) << c.v;
}

TEST(AlignLinks, LimitRampsNeverLinkAtTheirEnd) {
    const struct {
        int32_t (*ramp)(int32_t);
        int32_t x0, x1, y0;
    } ramps[] = {{boxCentreLimit, 3072, 6144, 16},
                 {generalLimit, 1331, 2560, 17},
                 {vertexLimit, 1331, 1812, 17},
                 {ellipseLimit, 110, 220, 18},
                 {looseVertexLimit, 200, 350, 18}};
    for (const auto& r : ramps) {
        EXPECT_EQ(r.ramp(0), r.y0);
        EXPECT_EQ(r.ramp(r.x0), r.y0);
        EXPECT_EQ(r.ramp(r.x1), kNeverLinked) << "pairs at the ramp's end never link";
        EXPECT_EQ(r.ramp(r.x1 * 4), kNeverLinked);
        EXPECT_LT(r.ramp((r.x0 + r.x1) / 2), kNeverLinked);
    }
}

TEST(AlignLinks, OutlineBand) {
    const int32_t circle[kBoxFields] = {-50, -50, 50, 50};  // half size 50
    const int32_t wide[kBoxFields] = {-100, -50, 100, 50};
    const struct {
        const int32_t* box;
        int mode;
        int32_t x, y;
        bool on;
    } cases[] = {
        {circle, 0, 51, 0, true},   // just past the radius
        {circle, 0, 1, 0, false},   // the centre
        {circle, 0, 36, 36, true},  // on the diagonal
        {circle, 0, 80, 0, false},  // far outside
        {wide, 0, 101, 0, false},   // no circle: never on a circle's band
        {wide, 1, 101, 0, true},    // on a rectangle's side
        {wide, 1, 0, 51, true},    {wide, 1, 0, 0, false}, {wide, 1, 160, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(onOutlineBand(c.x, c.y, c.box, c.mode), c.on) << c.x << "," << c.y;
}

TEST(AlignAges, PointToPolyline) {
    const int32_t one[] = {0, 0};
    const int32_t line[] = {0, 0, 100, 0, 100, 100};
    EXPECT_EQ(pointToPolylineDistance(1, one, 5, 5), 65535);
    EXPECT_EQ(pointToPolylineDistance(3, line, 50, 20), 20) << "foot inside the first segment";
    EXPECT_EQ(pointToPolylineDistance(3, line, 130, 50), 30) << "foot inside the second";
    EXPECT_EQ(pointToPolylineDistance(3, line, -30, -40), 50) << "nearer end";
}

TEST(AlignAges, ConnectorDistances) {
    // A three-point polyline (two segments) and a single point.
    const int32_t bent[] = {0, 0, 100, 0, 100, 100}, refsBent[] = {0, 1, 2};
    const int32_t dot[] = {40, 30}, refsDot[] = {0};
    const DrawnRun runs[2] = {{bent, 3, refsBent, 3}, {dot, 1, refsDot, 1}};
    ConnectorDistances d;
    ASSERT_TRUE(buildConnectorDistances(runs, 2, &d));
    ASSERT_EQ(d.refCount, 4);
    ASSERT_EQ(d.segmentCount, 3);
    EXPECT_EQ(d.objectRef[1], 3);
    EXPECT_EQ(d.objectSeg[1], 2);
    auto toSegment = [&](int r, int s) { return d.toSegment[r * d.segmentCount + s]; };
    auto toPoint = [&](int r, int q) { return d.toPoint[r * d.refCount + q]; };
    EXPECT_EQ(toSegment(3, 0), 30) << "the dot to the first segment";
    EXPECT_EQ(toSegment(3, 1), 60) << "to the second";
    EXPECT_EQ(toSegment(0, 2), 65535) << "a run of one point is no segment";
    EXPECT_EQ(toPoint(3, 0), 50);
    EXPECT_EQ(toPoint(0, 2), 141);
    EXPECT_EQ(toPoint(1, 1), 0);
    freeConnectorDistances(&d);
    EXPECT_EQ(d.toSegment, nullptr);
}

TEST(AlignLinks, CrossDistanceRows) {
    // Box 0: a rectangle (0, 0) - (100, 50); shape 0: an upright segment
    // (200, 0) - (202, 80) and shape 1: a level line (20, 25) - (80, 25).
    int32_t boxes[kBoxFields] = {0, 0, 100, 50};
    int32_t upright[] = {200, 0, 202, 80}, level[] = {20, 25, 80, 25};
    int32_t* verts[2] = {upright, level};
    int32_t offsets[3] = {0, 2, 4}, kinds[2] = {kSolverOpenPolyline, kSolverOpenPolyline};
    AlignRun run = runOf(1, boxes, 2, offsets, verts, kinds);
    SolverState s = {};
    s.run = &run;
    s.boxCount = 1;
    s.n = 7;
    std::vector<int32_t> x = {0, 50, 100, 200, 202, 20, 80}, y = {0, 25, 50, 0, 80, 25, 25};
    std::vector<int32_t> tol(7, 20), row(7), marks(7);
    // The y rows (measured on y, over the Y values, X the other axis) of a
    // vertex at y = 40: the upright segment spans it.
    crossDistanceRow(s, 40, y.data(), x.data(), 20, tol.data(), false, true, row.data(),
                     marks.data());
    EXPECT_EQ(row[3], 0);
    EXPECT_EQ(marks[3], 1);
    EXPECT_EQ(row[4], 0) << "both ends of the near-straight run";
    EXPECT_EQ(row[5], 15) << "the level line's vertex: its plain distance";
    EXPECT_EQ(marks[5], 0);
    EXPECT_EQ(row[0], 15) << "the rectangle: its centre distance";
    // Leaning by 8 across: never near-straight.
    std::vector<int32_t> leaning = x;
    leaning[4] = 208;
    crossDistanceRow(s, 40, y.data(), leaning.data(), 20, tol.data(), false, true, row.data(),
                     marks.data());
    EXPECT_EQ(row[3], 40);
    EXPECT_EQ(marks[3], 0);
    // The level line lies between the rectangle's top and bottom: with the line
    // flag its cross distance to the rectangle's left and right edges is 0.
    crossDistanceRow(s, 25, y.data(), x.data(), 20, tol.data(), true, true, row.data(),
                     marks.data());
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(row[2], 0);
    EXPECT_EQ(row[1], 0) << "its centre lies at the same height";
    crossDistanceRow(s, 45, y.data(), x.data(), 20, tol.data(), true, true, row.data(),
                     marks.data());
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(row[1], 10) << "the centre: twice the distance to the bottom edge";
}

// An alignment run of active rectangles and vertex shapes, with the solver's
// state and link tables built as the solver builds them before its passes.
struct LinkRun {
    struct Figure {
        int32_t kind;
        std::vector<int32_t> vertices;
    };
    LinkRun(const std::vector<std::vector<int32_t>>& rects, const std::vector<Figure>& figures,
            int32_t flags = 0, bool distances = false)
        : shapes(figures) {
        const int32_t B = static_cast<int32_t>(rects.size());
        const int32_t K = static_cast<int32_t>(figures.size());
        for (const auto& r : rects) {
            // Outline from the top-left corner going down first: roles 0, 3, 2, 1.
            boxes.insert(boxes.end(),
                         {r[0], r[1], r[2], r[3], 0 | 3 << 4 | 2 << 8 | 1 << 12, 0, 0});
        }
        offsets.push_back(0);
        for (Figure& f : shapes) {
            kinds.push_back(f.kind);
            vertsIn.push_back(f.vertices.data());
            offsets.push_back(offsets.back() + static_cast<int32_t>(f.vertices.size() / 2));
        }
        boxIds.assign(B + 1, 0);
        shapeIds.assign(K + 1, 0);
        run = runOf(B, boxes.data(), K, offsets.data(), vertsIn.data(), kinds.data());
        run.boxIds = boxIds.data();
        run.shapeIds = shapeIds.data();
        run.mode = 1;
        run.flags = flags;
        const int32_t n = 3 * B + offsets.back();
        s.run = &run;
        s.boxCount = B;
        s.vertexCount = offsets.back();
        s.n = n;
        for (auto* v : {&owner, &x, &y, &tolX, &tolY, &tolC, &refX, &refY, &straightRun})
            v->assign(n, 0);
        scratch.assign(9 * n, 0);
        width.assign(B + 1, 0);
        height.assign(B + 1, 0);
        for (auto* v : {&closeX, &closeY, &limitX, &limitY}) v->assign(size_t(n) * n, 0);
        marks.assign(n, 0);
        for (int32_t j = 0; j < n; ++j) owner[j] = j < 3 * B ? j / 3 : B + kindOwner(j - 3 * B);
        s.owner = owner.data();
        s.x = x.data();
        s.y = y.data();
        s.tolX = tolX.data();
        s.tolY = tolY.data();
        s.tolC = tolC.data();
        s.refX = refX.data();
        s.refY = refY.data();
        s.straightRun = straightRun.data();
        s.scratch = scratch.data();
        s.width = width.data();
        s.height = height.data();
        s.closeX = closeX.data();
        s.closeY = closeY.data();
        s.limitX = limitX.data();
        s.limitY = limitY.data();
        s.marks = marks.data();
        s.layout = {n, B, s.owner, run.kinds, run.offsets, run.boxIds, run.shapeIds};
        if (distances) {
            // Rectangles by their five outline points, vertex shapes by their vertices.
            std::vector<DrawnRun> drawn;
            for (int32_t b = 0; b < B; ++b) {
                const int32_t* r = &boxes[kBoxFields * b];
                outlines.push_back({r[0], r[1], r[0], r[3], r[2], r[3], r[2], r[1], r[0], r[1]});
            }
            for (Figure& f : shapes) outlines.push_back(f.vertices);
            for (auto& o : outlines) {
                refs.emplace_back();
                for (size_t k = 0; k < o.size() / 2; ++k) refs.back().push_back(int32_t(k));
            }
            for (size_t i = 0; i < outlines.size(); ++i)
                drawn.push_back({outlines[i].data(), int32_t(outlines[i].size() / 2),
                                 refs[i].data(), int32_t(refs[i].size())});
            EXPECT_TRUE(buildConnectorDistances(drawn.data(), int32_t(drawn.size()), &cd));
            run.distances = &cd;
        }
        buildTolerances(s);
        for (int32_t j = 0; j < n; ++j) {
            refX[j] = j < 3 * B ? -100 : x[j];
            refY[j] = j < 3 * B ? -100 : y[j];
        }
        buildLinkTables(s);
    }
    ~LinkRun() { freeConnectorDistances(&cd); }
    int32_t kindOwner(int32_t v) const {
        int32_t k = 0;
        while (offsets[k + 1] <= v) ++k;
        return k;
    }
    int64_t at(int32_t i, int32_t j) const { return int64_t(i) * s.n + j; }

    std::vector<Figure> shapes;
    std::vector<int32_t> boxes, offsets, kinds;
    std::vector<int32_t*> vertsIn;
    std::vector<int16_t> boxIds, shapeIds;
    std::vector<int32_t> owner, x, y, tolX, tolY, tolC, refX, refY, straightRun, scratch, width,
        height, closeX, closeY, limitX, limitY;
    std::vector<uint16_t> marks;
    std::vector<std::vector<int32_t>> outlines, refs;
    ConnectorDistances cd = {};
    AlignRun run = {};
    SolverState s = {};
};

TEST(AlignLinks, OutlineVariantsOfVerticesKeepTheirRampWhenTablesAreSought) {
    // A rectangle (0, 0) - (100, 100) and an upright line (200, 0) - (200, 100),
    // measured from the line's first vertex (reference point 5).
    static const int32_t f0x[4] = {10, 30, 100, 110}, f0y[4] = {70, 25, 10, 10};
    static const int32_t ftx[4] = {10, 30, 60, 100}, fty[4] = {70, 25, 12, 7};
    for (int32_t flags : {0, 0x200}) {
        LinkRun r({{0, 0, 100, 100}}, {{kSolverOpenPolyline, {200, 0, 200, 100}}}, flags, true);
        std::vector<int32_t> vx(r.s.n), vy(r.s.n);
        outlineVariantRows(r.s, 5, 60, 60, vx.data(), vy.data());
        const int32_t far = 4;  // the line's second vertex, 100 units away
        const int32_t tv = std::min((r.tolX[far] + r.tolY[far]) / 2, 60);
        ASSERT_NE(lerp4(f0x, f0y, tv), lerp4(ftx, fty, tv)) << "the two ramps differ here";
        EXPECT_EQ(vx[far], lerp4(f0x, f0y, tv) * 100) << flags;
        EXPECT_EQ(vy[far], vx[far]) << flags;
        // The rectangle's right side, 100 units away, takes the ramp of the call.
        const int32_t tr = std::min(r.tolX[2], 60);
        const int32_t expected = flags ? lerp4(ftx, fty, tr) : lerp4(f0x, f0y, tr);
        EXPECT_EQ(vx[2], expected * 100) << flags;
        EXPECT_EQ(vx[1], -1) << "no entry toward a centre";
    }
}

TEST(AlignLinks, ClosenessTakenOverFromTheOtherAxisIsCappedOnlyOnExactRuns) {
    // Two upright lines one above the other, one unit apart on x: vertex 0 of
    // each. Far apart on y, near on x: the x closeness takes over the y one,
    // capped at 1800 only when both lines are exactly upright.
    const struct {
        const char* label;
        std::vector<int32_t> upper, lower;
        bool capped;
    } cases[] = {
        {"both exactly upright", {0, 0, 0, 100}, {1, 300, 1, 400}, true},
        {"both leaning by a unit", {0, 0, 1, 100}, {1, 300, 2, 400}, false},
        {"one leaning", {0, 0, 0, 100}, {1, 300, 2, 400}, false},
    };
    for (const auto& c : cases) {
        LinkRun r({}, {{kSolverOpenPolyline, c.upper}, {kSolverOpenPolyline, c.lower}});
        ASSERT_NE(r.straightRun[0], 0) << c.label;
        ASSERT_NE(r.straightRun[2], 0) << c.label;
        const int32_t across = r.closeY[r.at(0, 2)];
        ASSERT_GT(across, 1800) << c.label;
        EXPECT_EQ(r.closeX[r.at(0, 2)], c.capped ? 1800 : across) << c.label;
    }
}

// A run of n single-vertex open polylines: every variable its own shape.
struct VertexRun {
    explicit VertexRun(int n) : owner(n), kinds(n, kSolverOpenPolyline), offsets(n + 1), ids(n, 0) {
        for (int j = 0; j < n; ++j) owner[j] = offsets[j] = j;
        offsets[n] = n;
        layout = {n, 0, owner.data(), kinds.data(), offsets.data(), nullptr, ids.data()};
    }
    std::vector<int32_t> owner, kinds, offsets;
    std::vector<int16_t> ids;
    VariableLayout layout;
};

TEST(Relax, OneVariableTakesTheRoundedMeanOrASingleStep) {
    struct Case {
        const char* label;
        std::vector<int32_t> values;  // variable 0 is relaxed
        bool late, mode, forbidDown;
        int32_t pass, gridOrigin, gridStep;
        int32_t expected;
    };
    const Case cases[] = {
        {"neighbours equal: stays", {10, 10, 10, 10}, false, true, true, 3, 0, 0, 10},
        {"mean within one count: rounded", {10, 10, 11, 11}, false, true, true, 3, 0, 0, 11},
        {"larger sum: ceiling", {10, 11, 11, 12}, false, true, true, 3, 0, 0, 12},
        {"smaller sum: truncated", {10, 5, 5, 6}, false, true, true, 3, 0, 0, 5},
        // The mean of 10, 10 and 11 rounds to 10: only the step rule moves it.
        {"late, all at cur or cur + 1: one up", {10, 10, 10, 11}, true, true, true, 5, 0, 0, 11},
        {"late but one far: the mean", {10, 11, 11, 14}, true, true, true, 5, 0, 0, 12},
        {"late, down, frozen shapes in the run", {10, 9, 10, 10}, true, true, false, 5, 0, 0, 9},
        {"late, down, every shape active", {10, 9, 10, 10}, true, true, true, 5, 0, 0, 10},
    };
    for (const Case& c : cases) {
        VertexRun run(static_cast<int>(c.values.size()));
        std::vector<int32_t> closeness(c.values.size(), 0), limits(c.values.size(), 17);
        std::vector<uint16_t> marks(c.values.size(), 2);
        closeness[0] = -1;
        const RelaxRow row = {
            c.values.data(), closeness.data(), limits.data(), marks.data(), c.late,      false,
            c.gridOrigin,    c.gridStep,       c.mode,        10 - c.pass,  c.forbidDown};
        int32_t strength = -1, kind = -1;
        EXPECT_EQ(relaxCoordinate(run.layout, row, 0, &strength, &kind), c.expected) << c.label;
        EXPECT_EQ(strength, kLinkCutoff) << c.label << ": the strongest link has r = 0";
    }
}

TEST(Relax, LinksAndGridLines) {
    VertexRun run(3);
    std::vector<int32_t> values = {10, 20, 30};
    std::vector<uint16_t> marks(3, 2);
    struct Case {
        const char* label;
        int32_t cur, gridOrigin, gridStep;
        std::vector<int32_t> closeness, limits;
        int32_t expected, strength;
    };
    const Case cases[] = {
        {"nothing linked: unchanged", 10, 0, 0, {-1, -1, -1}, {17, 17, 17}, 10, 0},
        {"limit 30 never links", 10, 0, 0, {-1, 0, 0}, {17, 30, 30}, 10, 0},
        {"r of 209 or more never links", 10, 0, 0, {-1, 3025, 3025}, {17, 17, 17}, 10, 0},
        {"r just below links", 10, 0, 0, {-1, 3009, -1}, {17, 17, 17}, 20, 2},
        {"grid line 2 away", 10, 0, 12, {-1, -1, -1}, {17, 17, 17}, 12, 1},
        {"grid line 4 away is not used", 8, 0, 12, {-1, -1, -1}, {17, 17, 17}, 8, 0},
        {"a step of 6 or less is no grid", 10, 0, 6, {-1, -1, -1}, {17, 17, 17}, 10, 0},
        {"below the origin the line below", -10, 0, 12, {-1, -1, -1}, {17, 17, 17}, -12, 1},
    };
    for (const Case& c : cases) {
        values[0] = c.cur;
        const RelaxRow row = {
            values.data(), c.closeness.data(), c.limits.data(), marks.data(), false,
            false,         c.gridOrigin,       c.gridStep,      true,         7,
            true};
        int32_t strength = -1, kind = -1;
        EXPECT_EQ(relaxCoordinate(run.layout, row, 0, &strength, &kind), c.expected) << c.label;
        EXPECT_EQ(strength, c.strength) << c.label;
    }
}

TEST(Relax, MarksDecideWhoPulls) {
    VertexRun run(2);
    std::vector<int32_t> values = {10, 12}, closeness = {-1, 0}, limits = {17, 17};
    for (uint16_t mark : {0, 1, 2}) {
        std::vector<uint16_t> marks = {2, mark};
        for (bool mode : {false, true}) {
            const RelaxRow row = {values.data(),
                                  closeness.data(),
                                  limits.data(),
                                  marks.data(),
                                  false,
                                  false,
                                  0,
                                  0,
                                  mode,
                                  7,
                                  true};
            int32_t strength, kind;
            const int32_t v = relaxCoordinate(run.layout, row, 0, &strength, &kind);
            // A weak candidate counts with the mode flag, or for strong links (r below 80).
            EXPECT_EQ(v, mark == 0 ? 10 : 12) << "mark " << mark << " mode " << mode;
        }
    }
}

TEST(Relax, ClusterSize) {
    // Two boxes: sizes w0, h0, w1, h1; the centre limits link both boxes.
    const int32_t limits[6] = {17, 17, 17, 17, 17, 17};
    const int32_t never[6] = {17, 17, 17, 17, 30, 17};
    const int32_t weights[4] = {1000, 3000, 1000, 3000};
    struct Case {
        const char* label;
        std::vector<int32_t> sizes;
        const int32_t* limitsX;
        int32_t expected, agreed;
    };
    const Case cases[] = {
        {"alone", {100, 40, 300, 40}, limits, 100, 0},
        {"two close widths meet", {100, 40, 102, 40}, limits, 101, 1},
        {"the own height never joins", {100, 100, 300, 300}, limits, 100, 0},
        {"no link to the other box", {100, 40, 102, 40}, never, 100, 0},
    };
    for (const Case& c : cases) {
        int32_t agreed = -1;
        EXPECT_EQ(clusterSize(c.sizes[0], c.sizes.data(), weights, 2, c.limitsX, limits, 206, 0, 1,
                              &agreed),
                  c.expected)
            << c.label;
        EXPECT_EQ(agreed, c.agreed) << c.label;
    }
}

TEST(Relax, SmallBoxesAreCandidatesOnlyLate) {
    // Box 0 (tolerance 50) is relaxed; box 1 is tiny (tolerance 5).
    std::vector<int32_t> owner = {0, 0, 0, 1, 1, 1}, tolX = {50, 50, 50, 5, 5, 5}, tolY = tolX;
    std::vector<int32_t> x(6, 0), y(6, 0);
    std::vector<int16_t> boxIds = {0, 0};
    VariableLayout layout = {6, 2, owner.data(), nullptr, nullptr, boxIds.data(), nullptr};
    std::vector<uint16_t> marks(6, 9);
    markCandidates(layout, tolX.data(), tolY.data(), x.data(), y.data(), 0, false, marks.data());
    EXPECT_EQ(marks, (std::vector<uint16_t>{2, 2, 2, 0, 0, 0}));
    markCandidates(layout, tolX.data(), tolY.data(), x.data(), y.data(), 0, true, marks.data());
    EXPECT_EQ(marks, (std::vector<uint16_t>{2, 2, 2, 1, 1, 1})) << "late: a weak candidate";
    boxIds[1] = -1;
    markCandidates(layout, tolX.data(), tolY.data(), x.data(), y.data(), 0, false, marks.data());
    EXPECT_EQ(marks, (std::vector<uint16_t>{2, 2, 2, 1, 1, 1})) << "a frozen box always pulls";
}

TEST(AlignAges, AgesAndFreezing) {
    struct Case {
        const char* label;
        int32_t mode;
        int32_t size1;  // box 0 is 100 x 100 (half perimeter 100)
        std::vector<int16_t> ids, expected;
    };
    const Case cases[] = {
        {"mode set: one run then frozen", 1, 100, {0, 0}, {-1, -1}},
        {"mode clear: both age once", 0, 100, {0, 0}, {1, 1}},
        {"twice the newest's size: frozen", 0, 200, {0, 2}, {1, -1}},
        {"just below twice: stays", 0, 198, {0, 2}, {1, 3}},
        {"negative ids never grow", 0, 100, {0, -1}, {1, -1}},
        {"frozen for good stays", 0, 100, {0, -2}, {1, -2}},
        {"old age: frozen", 0, 100, {0, 4}, {1, -1}},
        {"a long life: frozen for good", 0, 100, {0, 14}, {1, -2}},
        {"no new shape: nothing changes", 0, 100, {3, 2}, {3, 2}},
    };
    for (const Case& c : cases) {
        int32_t boxes[2 * kBoxFields] = {0, 0,   100,     100,           0, 0, 0,
                                         0, 300, c.size1, 300 + c.size1, 0, 0, 0};
        std::vector<int16_t> ids = c.ids;
        AlignRun run = {};
        run.boxCount = 2;
        run.boxesIn = boxes;
        int32_t offsets[1] = {0};
        run.offsets = offsets;
        run.boxIds = ids.data();
        run.mode = c.mode;
        updateAlignmentAges(run);
        EXPECT_EQ(ids, c.expected) << c.label;
    }
}

TEST(AlignAges, ANewVertexShapeAgesAndFreezesTheBox) {
    // Box 0 is 100 x 100 (half perimeter 100) at age 1; vertex shape 0 is new.
    struct Case {
        const char* label;
        int32_t kind;
        std::vector<int32_t> vertices;
        uint16_t link;  // where the connector's ends lie on the box
        int16_t box;    // the box's id afterwards
    };
    const Case cases[] = {
        {"a connector with 3p above the box's: the box stays",
         kSolverOpenPolyline,
         {0, 0, 68, 0},
         0,
         2},
        {"a connector with 3p not above: frozen", kSolverOpenPolyline, {0, 0, 66, 0}, 0, -1},
        {"one end on the box: stays", kSolverOpenPolyline, {0, 0, 68, 0}, 1, 2},
        {"both ends on the box: frozen", kSolverOpenPolyline, {0, 0, 68, 0}, 3, -1},
        {"an arrow is a connector too", kSolverArrow, {0, 0, 66, 0, 60, 4, 66, 0, 60, -4}, 0, -1},
        {"a triangle with 2p above the box's: stays",
         kSolverTriangle,
         {0, 0, 51, 0, 0, 51, 0, 0},
         0,
         2},
        {"a triangle with 2p not above: frozen",
         kSolverTriangle,
         {0, 0, 50, 0, 0, 50, 0, 0},
         0,
         -1},
    };
    for (const Case& c : cases) {
        int32_t box[kBoxFields] = {0, 0, 100, 100, 0, 0, 0};
        std::vector<int32_t> v = c.vertices;
        int32_t* verts[1] = {v.data()};
        int32_t offsets[2] = {0, static_cast<int32_t>(v.size() / 2)}, kinds[1] = {c.kind};
        int16_t boxIds[1] = {1}, shapeIds[1] = {0};
        uint16_t links[1] = {c.link};
        AlignRun run = runOf(1, box, 1, offsets, verts, kinds);
        run.boxIds = boxIds;
        run.shapeIds = shapeIds;
        run.connectorLinks = links;
        run.mode = 0;
        updateAlignmentAges(run);
        EXPECT_EQ(boxIds[0], c.box) << c.label;
        EXPECT_EQ(shapeIds[0], 1) << c.label << ": the new shape aged once";
    }
}

}  // namespace
