// Lack of memory at every allocation of a whole session: each failure is
// answered (null, 0 or 0xFFFF), the shaper stays usable and consistent, and
// nothing leaks (the sanitizer checks leaks at exit).
#include <gtest/gtest.h>

#include "Memory.h"
#include "VexaShape2.h"
#include "shaper_driver.h"
#include "strokes.h"

using namespace strokes;

namespace {

struct Session {
    bool complete = true;
    unsigned long checksum = 0;
    uint16_t tables = 0;
};

// Strokes of every path; a failed step ends nothing but its own call.
Session runSession() {
    Session out;
    Shaper* s = InitShaper();
    if (!s) return {false, 0, 0};
    const Points strokes[] = {
        polyline({{0, 0}, {300, 40}}),
        polyline({{0, 0}, {200, 0}, {200, 120}, {0, 120}, {0, 0}}),
        toPoints(jitter(ellipse(500, 500, 120, 90, 0.3, 90), 2, 3)),
        polyline({{0, 300}, {150, 420}, {300, 300}}),
        {7, 7, 8, 8},
        polyline({{600, 0}, {700, 170}, {800, 0}, {600, 0}}),
        // A shaft, its head and a second head: the joining steps.
        polyline({{0, 800}, {300, 800}}),
        polyline({{270, 820}, {300, 800}, {270, 780}}),
        polyline({{30, 820}, {0, 800}, {30, 780}}),
        // Two strokes that meet at a corner.
        polyline({{900, 0}, {1090, 0}}),
        polyline({{1100, 10}, {1100, 200}}),
    };
    const int flags[] = {0x02, 0x02, 0x0C, 0x04, 0x02, 0x2C, 0x0C, 0x0C, 0x0C, 0x02, 0x02};
    for (int i = 0; i < 11; ++i) {
        const uint16_t r = AddStroke2Shaper(s, static_cast<int16_t>(strokes[i].size() / 2),
                                            strokes[i].data(), flags[i]);
        if (r == 0xFFFF) out.complete = false;
    }
    FinalizeShapes(s);
    out.checksum = shapetest::readEverything(s);
    // A ruled frame finished with its table, on a page of its own.
    Shaper* t = InitShaper();
    const Points table[] = {{0, 1000, 200, 1000, 200, 1100, 0, 1100, 0, 1000},
                            {0, 1050, 200, 1050},
                            {100, 1000, 100, 1100}};
    for (const Points& p : table)
        if (!t || AddStroke2Shaper(t, static_cast<int16_t>(p.size() / 2), p.data(), 0x2E) == 0xFFFF)
            out.complete = false;
    if (t) {
        FinalizeShapesEx(t, 0x210);
        GetTable(t, &out.tables);
        out.checksum += shapetest::readEverything(t);
        DestroyShaper(t);
    }
    VSANSWER* a = GetShapeNum(s) ? CreateShapeAnswerAt(GetShapeAt(s, 0), 0) : nullptr;
    if (a) {
        SetXMLforShapeAnswer(s, a, 1);
        if (!a->xmlText) out.complete = false;
        DestroyShapeAnswer(a);
    }
    const VSVertexList list = {1, 4, strokes[5].data()};
    VSANSWER* b = CopyVSAnswer(nullptr);
    EXPECT_EQ(b, nullptr);
    VSANSWER plain = {};
    StrokeToShapeAnswer(&plain, &list);
    ClearShapeAnswer(&plain);
    DestroyShaper(s);
    return out;
}

TEST(AllocationFailure, EveryAllocationMayFail) {
    vexa::failAllocationsAfter(-1);
    const Session baseline = runSession();
    ASSERT_TRUE(baseline.complete);
    ASSERT_EQ(baseline.tables, 1) << "the table pass takes part";
    bool reachedBaseline = false;
    for (long allowed = 0; allowed < 20000 && !reachedBaseline; ++allowed) {
        vexa::failAllocationsAfter(allowed);
        const Session run = runSession();
        vexa::failAllocationsAfter(-1);
        reachedBaseline = run.complete && run.checksum == baseline.checksum;
    }
    EXPECT_TRUE(reachedBaseline);
}

}  // namespace

namespace {

TEST(AllocationFailure, Stroke2ShapePassesFailuresOn) {
    shapetest::ShaperPtr s(InitShaper());
    const double pts[6] = {0, 0, 150, 20, 300, 40};
    vexa::failAllocationsAfter(1);  // the copy of the points, then nothing
    EXPECT_EQ(Stroke2Shape(s.get(), 3, pts, 0x82), -1);
    vexa::failAllocationsAfter(-1);
    EXPECT_EQ(GetShapeNum(s.get()), 0);
    EXPECT_EQ(Stroke2Shape(s.get(), 3, pts, 0x82), 1);
}

}  // namespace
