// The rules under the alignment solver, each as a table of its own cases:
// the tolerance curve and limit ramps, the outline band, the relaxation of one
// variable, size clustering, candidate marks and the age update.
#include <gtest/gtest.h>

#include <vector>

#include "AlignAges.h"
#include "AlignLinks.h"
#include "AlignRun.h"
#include "Relax.h"

using namespace vexa;

namespace {

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
    AlignRun run = {};
    run.boxCount = 1;
    run.shapeCount = 2;
    run.boxesIn = boxes;
    run.offsets = offsets;
    run.vertsIn = verts;
    run.kinds = kinds;
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
        {"late, all at cur or cur + 1: one up",
         {10, 10, 11, 14 - 3},
         true,
         true,
         true,
         5,
         0,
         0,
         11},
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

}  // namespace
