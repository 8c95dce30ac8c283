// Strokes and traces: ownership of the point lists, bounds with the pen's
// margin, and the trace's ordered, lock-guarded set of strokes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ink/InkStroke.h"
#include "ink/InkTrace.h"
#include "core/MemoryBlocks.h"
#include "ink_points.h"
#include "trace_capture.h"

namespace {

using inktest::Points;
using inktest::quarterPoints;

// A point list in an allocMemory block, as producers hand them over.
InkPoint* block(const Points& points) {
    auto* out = static_cast<InkPoint*>(allocMemory(int(points.size() * sizeof(InkPoint))));
    if (out && !points.empty()) std::memcpy(out, points.data(), points.size() * sizeof(InkPoint));
    return out;
}

InkStroke* stroke(const Points& points, const int32_t* pen = nullptr) {
    return new InkStroke(block(points), int(points.size()), pen);
}

// Counts the allocator's live blocks so every test can check it leaves none behind.
class InkRecordsTest : public testing::Test {
  protected:
    void SetUp() override { liveAtStart_ = getMemoryCounters().liveBlocks; }
    void TearDown() override { EXPECT_EQ(getMemoryCounters().liveBlocks, liveAtStart_); }

    long liveAtStart_ = 0;
};

using InkStrokeTest = InkRecordsTest;
using InkTraceTest = InkRecordsTest;

TEST_F(InkStrokeTest, NamesItsClassAndKin) {
    InkStroke s(nullptr, 0, nullptr);
    InkTrace t(nullptr);
    EXPECT_STREQ(s.className(), L"InkStroke");
    EXPECT_STREQ(t.className(), L"InkTrace");
    struct Case {
        const VexaSuper* object;
        const wchar_t* name;
        int kind;
    };
    const Case cases[] = {{&s, L"InkStroke", 1}, {&s, L"VexaSuper", 1}, {&s, L"inkstroke", 0},
                          {&s, L"InkTrace", 0},  {&s, L"", 0},          {&t, L"InkTrace", 1},
                          {&t, L"VexaSuper", 1}, {&t, L"InkStroke", 0}};
    for (const Case& c : cases) EXPECT_EQ(c.object->isKindOf(c.name), c.kind) << c.name;
}

TEST_F(InkStrokeTest, CopiesPenInfo) {
    int32_t pen[4] = {1, 7, 0x0000FF, 9};
    InkStroke s(block(quarterPoints({{40, 40}})), 1, pen);
    pen[1] = 99;
    ASSERT_NE(s.penInfo(), nullptr);
    EXPECT_EQ(s.penInfo()[kPenType], 1);
    EXPECT_EQ(s.penInfo()[kPenWidth], 7);
    EXPECT_EQ(s.penInfo()[kPenColour], 0x0000FF);
    EXPECT_EQ(s.penInfo()[kPenExtra], 9);
}

struct MarginCase {
    std::string name;
    bool withPen;
    int width;
    int margin;
};

std::ostream& operator<<(std::ostream& os, const MarginCase& c) { return os << c.name; }

class StrokeMarginTest : public InkRecordsTest, public testing::WithParamInterface<MarginCase> {};

TEST_P(StrokeMarginTest, BoundsCarryHalfThePenWidthPlusFive) {
    const MarginCase& c = GetParam();
    const int32_t pen[4] = {1, c.width, 0, 0};
    std::unique_ptr<InkStroke> s(
        stroke(quarterPoints({{400, 800}, {440, 820}}), c.withPen ? pen : nullptr));
    ASSERT_TRUE(s->computeBounds(false));
    const InkRect& b = *s->bounds();
    EXPECT_EQ(b.left, 100 - c.margin);
    EXPECT_EQ(b.top, 200 - c.margin);
    EXPECT_EQ(b.right, 111 + c.margin);
    EXPECT_EQ(b.bottom, 206 + c.margin);
    EXPECT_NE(s->points(), nullptr);  // not compacted
}

INSTANTIATE_TEST_SUITE_P(Pens, StrokeMarginTest,
                         testing::Values(MarginCase{"NoPenInfo", false, 0, 2},
                                         MarginCase{"Width7", true, 7, 8},
                                         MarginCase{"Width0", true, 0, 5},
                                         MarginCase{"Width40", true, 40, 25},
                                         MarginCase{"OddNegativeWidthTowardZero", true, -3, 4}),
                         [](const auto& info) { return info.param.name; });

TEST_F(InkStrokeTest, CompactBoundsLetThePointsGo) {
    const int32_t pen[4] = {1, 3, 0, 0};
    InkStroke s(block(quarterPoints({{40, 40}, {80, 40}})), 2, pen);
    ASSERT_TRUE(s.computeBounds(true));
    EXPECT_EQ(s.points(), nullptr);
    EXPECT_EQ(s.count(), 0);
    EXPECT_EQ(s.penInfo(), nullptr);
    ASSERT_NE(s.bounds(), nullptr);
    EXPECT_EQ(s.bounds()->left, 4);
    InkPixel p;
    EXPECT_FALSE(s.getFirstPoint(&p));
    // Recomputing without points loses the bounds, as there is nothing to bound.
    EXPECT_FALSE(s.computeBounds(false));
    EXPECT_EQ(s.bounds(), nullptr);
}

TEST_F(InkStrokeTest, CompactWithoutBoundsKeepsThePoints) {
    InkStroke s(block({kInkSeparator, makeInkPoint(40, 40)}), 2, nullptr);
    EXPECT_FALSE(s.computeBounds(true));
    EXPECT_NE(s.points(), nullptr);
    EXPECT_EQ(s.count(), 2);
    EXPECT_EQ(s.bounds(), nullptr);
}

TEST_F(InkStrokeTest, FirstAndLastPointsSkipSeparators) {
    struct Case {
        const char* name;
        Points points;
        bool found;
        InkPixel first, last;
    };
    const Case cases[] = {
        {"plain", quarterPoints({{40, 80}, {-3, 7}}), true, {10, 20}, {-1, 1}},
        {"separators at both ends",
         {kInkSeparator, makeInkPoint(8, 12), makeInkPoint(16, 20), kInkSeparator, kInkSeparator},
         true,
         {2, 3},
         {4, 5}},
        {"only separators", {kInkSeparator, kInkSeparator}, false, {}, {}},
        {"empty", {}, false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InkStroke s(block(c.points), int(c.points.size()), nullptr);
        InkPixel first{-9, -9}, last{-9, -9};
        ASSERT_EQ(s.getFirstPoint(&first), c.found);
        ASSERT_EQ(s.getLastPoint(&last), c.found);
        if (!c.found) continue;
        EXPECT_EQ(first.x, c.first.x);
        EXPECT_EQ(first.y, c.first.y);
        EXPECT_EQ(last.x, c.last.x);
        EXPECT_EQ(last.y, c.last.y);
    }
}

TEST_F(InkTraceTest, KeepsStrokesInArrivalOrderAcrossGrowth) {
    InkTrace trace(this);
    EXPECT_EQ(trace.owner(), this);
    std::vector<InkStroke*> added;
    for (int i = 0; i < 45; ++i) {  // past two growth steps of 20 slots
        added.push_back(stroke(quarterPoints({{4 * i, 8}})));
        EXPECT_EQ(trace.AddStroke(added.back()), i + 1);
    }
    EXPECT_EQ(trace.AddStroke(nullptr), 45);
    EXPECT_EQ(trace.count(), 45);
    for (int i = 0; i < 45; ++i) {
        EXPECT_EQ(trace.getStroke(i), added[i]);
        EXPECT_EQ(trace.indexOf(added[i]), i);
    }
    EXPECT_EQ(trace.getStroke(-1), nullptr);
    EXPECT_EQ(trace.getStroke(45), nullptr);

    InkStroke* walked = nullptr;
    for (int i = 0; i < 45; ++i) {
        walked = trace.getNextStroke(walked);
        EXPECT_EQ(walked, added[i]);
    }
    EXPECT_EQ(trace.getNextStroke(walked), nullptr);
}

TEST_F(InkTraceTest, StrokesAfterOneMoveToAnotherTraceInOrder) {
    // The next writing's strokes that came while this one was delivered.
    InkTrace trace(this), next(this);
    std::vector<InkStroke*> added;
    for (int i = 0; i < 5; ++i) {
        added.push_back(stroke(quarterPoints({{4 * i, 8}})));
        trace.AddStroke(added.back());
    }
    InkStroke outsider(nullptr, 0, nullptr);
    EXPECT_EQ(trace.moveStrokesAfter(&outsider, next), 0) << "a stranger moves nothing";
    EXPECT_EQ(trace.moveStrokesAfter(nullptr, next), 0);
    EXPECT_EQ(trace.moveStrokesAfter(added[4], next), 0) << "nothing after the last";
    EXPECT_EQ(trace.moveStrokesAfter(added[1], trace), 0) << "not into itself";

    EXPECT_EQ(trace.moveStrokesAfter(added[1], next), 3);
    ASSERT_EQ(trace.count(), 2);
    ASSERT_EQ(next.count(), 3);
    EXPECT_EQ(trace.getNextStroke(added[1]), nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(next.getStroke(i), added[i + 2]);
    // Each trace owns what it holds now: both delete theirs once.
    trace.AddStroke(stroke(quarterPoints({{40, 8}})));
    EXPECT_EQ(trace.count(), 3);
}

TEST_F(InkTraceTest, StrangersAreNotFound) {
    InkTrace trace(nullptr);
    InkStroke outsider(nullptr, 0, nullptr);
    EXPECT_EQ(trace.indexOf(nullptr), -1);
    EXPECT_EQ(trace.indexOf(&outsider), -1);  // empty trace
    EXPECT_EQ(trace.getNextStroke(nullptr), nullptr);
    trace.AddStroke(stroke(quarterPoints({{0, 0}})));
    EXPECT_EQ(trace.indexOf(&outsider), -1);
    EXPECT_EQ(trace.getNextStroke(&outsider), nullptr);
    InkRect r;
    EXPECT_FALSE(trace.GetBounds(&outsider, nullptr, &r));
}

TEST_F(InkTraceTest, BoundsUniteTheChosenRunOfStrokes) {
    InkTrace trace(nullptr);
    InkStroke* a = stroke(quarterPoints({{400, 400}}));             // pixel (100, 100)
    InkStroke* none = stroke({kInkSeparator, makeInkPoint(0, 0)});  // has no bounds
    InkStroke* b = stroke(quarterPoints({{800, 200}}));             // pixel (200, 50)
    InkStroke* c = stroke(quarterPoints({{40, 1200}}));             // pixel (10, 300)
    for (InkStroke* s : {a, none, b, c}) trace.AddStroke(s);

    struct Case {
        const char* name;
        const InkStroke *from, *to;
        bool found;
        InkRect rect;
    };
    const Case cases[] = {
        {"whole trace", nullptr, nullptr, true, {8, 48, 203, 303}},
        {"first two", nullptr, b, true, {98, 48, 203, 103}},
        {"from b", b, nullptr, true, {8, 48, 203, 303}},
        {"just c", c, c, true, {8, 298, 13, 303}},
        {"just the one without bounds", none, none, false, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        InkRect r{};
        ASSERT_EQ(trace.GetBounds(k.from, k.to, &r), k.found);
        if (!k.found) continue;
        EXPECT_EQ(r.left, k.rect.left);
        EXPECT_EQ(r.top, k.rect.top);
        EXPECT_EQ(r.right, k.rect.right);
        EXPECT_EQ(r.bottom, k.rect.bottom);
    }
}

std::vector<InkRect> restored;
void recordRestore(const InkRect& area) { restored.push_back(area); }

TEST_F(InkTraceTest, RedrawAreaHandsTheInflatedBoundsToTheScreenRestore) {
    restored.clear();
    InkTrace::setScreenRestore(&recordRestore);
    {
        InkTrace trace(nullptr);
        trace.redrawArea(4, 4);  // no strokes, no bounds: nothing to restore
        trace.AddStroke(stroke(quarterPoints({{400, 400}, {480, 440}})));
        trace.redrawArea(10, 3);
    }
    InkTrace::setScreenRestore(nullptr);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].left, 100 - 2 - 10);
    EXPECT_EQ(restored[0].top, 100 - 2 - 3);
    EXPECT_EQ(restored[0].right, 121 + 2 + 10);
    EXPECT_EQ(restored[0].bottom, 111 + 2 + 3);
}

std::atomic<bool> heapFails{false};
void* mayAllocate(size_t n) { return heapFails ? nullptr : std::malloc(n); }
void* mayReallocate(void* p, size_t n) { return heapFails ? nullptr : std::realloc(p, n); }
const MemoryHeap failableHeap = {&mayAllocate, &mayReallocate, &std::free};

TEST_F(InkTraceTest, FullMemoryLosesOnlyTheNewStroke) {
    inktest::TraceCapture traces;
    const MemoryHeap* previous = setMemoryHeap(&failableHeap);
    {
        InkTrace trace(nullptr);
        std::vector<InkStroke*> kept;
        for (int i = 0; i < 20; ++i) {  // exactly the first block
            kept.push_back(stroke(quarterPoints({{i, i}})));
            ASSERT_EQ(trace.AddStroke(kept.back()), i + 1);
        }
        InkStroke* extra = stroke(quarterPoints({{99, 99}}));
        heapFails = true;
        EXPECT_EQ(trace.AddStroke(extra), -1);  // deleted: the fixture sees no leak
        heapFails = false;
        EXPECT_EQ(trace.count(), 20);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(trace.getStroke(i), kept[i]);
        EXPECT_EQ(trace.AddStroke(stroke(quarterPoints({{5, 5}}))), 21);
    }
    setMemoryHeap(previous);
    EXPECT_FALSE(traces.take().empty());
}

TEST_F(InkTraceTest, ReadersAndAWriterShareTheTrace) {
    InkTrace trace(nullptr);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i) trace.AddStroke(stroke(quarterPoints({{i, i}})));
        done = true;
    });
    while (!done) {
        for (InkStroke* s = trace.getNextStroke(nullptr); s; s = trace.getNextStroke(s))
            ASSERT_GE(trace.indexOf(s), 0);
    }
    writer.join();
    EXPECT_EQ(trace.count(), 300);
}

}  // namespace
