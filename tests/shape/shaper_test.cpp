// The shaper through its exported functions: life cycle, settings, stroke
// input, reading shapes, answers and output points, and bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "VexaShape2.h"
#include "shaper_driver.h"
#include "strokes.h"

using namespace strokes;
using shapetest::AnswerPtr;
using shapetest::ShaperPtr;

namespace {

ShaperPtr fresh() { return ShaperPtr(InitShaper()); }

uint16_t add(Shaper* s, const Points& pts, int flags) {
    return AddStroke2Shaper(s, static_cast<int16_t>(pts.size() / 2), pts.data(), flags);
}

TEST(ShaperLifeCycle, VersionText) {
    EXPECT_STREQ(GetShaperVerNumber(), "vexaShape\xAE shape recognition engine v.2.5.38");
    EXPECT_EQ(GetShaperVerNumber(), GetShaperVerNumber()) << "a static text";
}

TEST(ShaperLifeCycle, DefaultsAndProperties) {
    ShaperPtr s = fresh();
    ASSERT_TRUE(s);
    EXPECT_EQ(GetPolyThreshold(s.get()), 8.0);
    EXPECT_EQ(GetShapeNum(s.get()), 0);
    EXPECT_EQ(GetShapedStrokesNum(s.get()), 0);
    const int32_t offsets[2] = {10, 20};
    const int32_t r64 = 64, r30 = 30, r0 = 0, rNeg = -5, rHuge = 16385, rMax = 16384;
    const uint16_t mode = 1;
    const struct {
        const void* value;
        uint16_t id;
        int result;
    } cases[] = {
        {nullptr, 0, 1}, {offsets, 1, 1}, {nullptr, 1, 0}, {&r64, 2, 1},  {&r30, 2, 1},
        {&r0, 2, 0},     {&rNeg, 2, 0},   {&rHuge, 2, 0},  {&rMax, 2, 1}, {nullptr, 2, 0},
        {&mode, 3, 1},   {&mode, 4, 0},   {nullptr, 3, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetShaperProperty(s.get(), c.value, c.id), c.result) << "id " << c.id;
    EXPECT_EQ(SetShaperProperty(nullptr, offsets, 1), 0);
}

// The scale of AddStroke2ShaperEx: 546 (halving) until resolution is set.
TEST(ShaperLifeCycle, ResolutionSetsTheExScale) {
    const struct {
        int32_t resolution;  // 0: not set
        int16_t in, out;
    } cases[] = {{0, 200, 200}, {64, 200, 200}, {30, 200, 200}, {60, 200, 200}, {16384, 200, 200}};
    for (const auto& c : cases) {
        ShaperPtr s = fresh();
        if (c.resolution) SetShaperProperty(s.get(), &c.resolution, 2);
        // A long straight stroke: the answer comes back in caller units whatever the scale.
        const Points pts = polyline({{0, 0}, {static_cast<double>(c.in), 0}}, 1);
        const ShaperStroke stroke = {7, static_cast<int32_t>(pts.size() / 2), pts.data(), 3};
        ASSERT_NE(AddStroke2ShaperEx(s.get(), &stroke, 0x82), 0xFFFF);
        AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
        ASSERT_TRUE(a);
        EXPECT_NEAR(a->vertices[2], c.out, c.resolution == 16384 ? 0 : 4) << c.resolution;
        EXPECT_EQ(a->aliases[0], 7);
        EXPECT_EQ(a->alignId, 3);
    }
    // Internally the fresh shaper halves: a 12-unit stroke becomes a 6-unit point.
    ShaperPtr s = fresh();
    const Points small = polyline({{0, 0}, {12, 0}}, 1);
    const ShaperStroke stroke = {1, static_cast<int32_t>(small.size() / 2), small.data(), 0};
    AddStroke2ShaperEx(s.get(), &stroke, 0x02);
    EXPECT_STREQ(shapetest::bestName(s.get(), 0).c_str(), "POINT");
    const int32_t r60 = 60;
    SetShaperProperty(s.get(), &r60, 2);  // 273: a quarter
    const Points mid = polyline({{0, 0}, {27, 0}}, 1);
    const ShaperStroke quarter = {2, static_cast<int32_t>(mid.size() / 2), mid.data(), 0};
    AddStroke2ShaperEx(s.get(), &quarter, 0x82);
    EXPECT_STREQ(shapetest::bestName(s.get(), 1).c_str(), "POINT");
}

struct StrokeCase {
    const char* label;
    Points points;
    int flags;
    int finishedAfter;  // result of the AddStroke call
    const char* name;
    int vertices;
};

Points manyDistinct(int n) {
    Points out;
    for (int i = 0; i < n; ++i) {
        out.push_back(static_cast<int16_t>(i % 500));
        out.push_back(static_cast<int16_t>((i / 500) * 7 + (i % 2)));
    }
    return out;
}

TEST(ShaperStrokes, SyntheticStrokesThroughTheExports) {
    const Points rect = polyline({{0, 0}, {200, 0}, {200, 120}, {0, 120}, {0, 0}});
    const StrokeCase cases[] = {
        {"tap", polyline({{100, 100}, {104, 103}}, 1), 0x02, 1, "POINT", 1},
        {"tap keeps nothing pending", {50, 50, 50, 50}, 0x02, 1, "POINT", 1},
        {"straight", polyline({{0, 0}, {300, 40}}), 0x02, 0, "POLY_1", 2},
        {"straight, finish now", polyline({{0, 0}, {300, 40}}), 0x82, 1, "POLY_1", 2},
        {"closed rectangle", rect, 0x02, 1, "POLY_4", 5},
        {"1025 distinct points", manyDistinct(1025), 0x02, 1, "CURV", 1025},
        {"1024 points are approximated", toPoints(ellipse(0, 0, 400, 400, 0, 1023)), 0x82, 1,
         "CURV", 1024},
        {"as drawn", polyline({{0, 0}, {100, 0}, {100, 50}, {1, 1}}, 100), 0x2C, 1, "TRIG", 4},
        {"no path flag", polyline({{0, 0}, {300, 40}}), 0x08, 0, nullptr, 0},
    };
    for (const StrokeCase& c : cases) {
        ShaperPtr s = fresh();
        EXPECT_EQ(add(s.get(), c.points, c.flags), c.finishedAfter) << c.label;
        EXPECT_EQ(GetShapedStrokesNum(s.get()), 1) << c.label << ": the stroke is counted";
        if (!c.name) {
            EXPECT_EQ(GetShapeNum(s.get()), 0) << c.label;
            continue;
        }
        FinalizeShapes(s.get());
        ASSERT_EQ(GetFinishedShapeNum(s.get()), 1) << c.label;
        Shape* shape = GetFinishedShapeAt(s.get(), 0);
        AnswerPtr a(CreateShapeAnswerAt(shape, 0));
        ASSERT_TRUE(a) << c.label;
        EXPECT_STREQ(a->name, c.name) << c.label;
        EXPECT_EQ(a->vertexCount, c.vertices) << c.label;
        EXPECT_EQ(a->aliases[0], 0xFFFF) << c.label;
    }
}

TEST(ShaperStrokes, RectangleComesBackInCallerUnits) {
    ShaperPtr s = fresh();
    ASSERT_EQ(add(s.get(), polyline({{10, 20}, {210, 20}, {210, 140}, {10, 140}, {10, 20}}), 0x02),
              1);
    AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
    ASSERT_EQ(a->vertexCount, 5);
    const int16_t expected[10] = {10, 20, 210, 20, 210, 140, 10, 140, 10, 20};
    for (int i = 0; i < 10; ++i) EXPECT_NEAR(a->vertices[i], expected[i], 2) << i;
    EXPECT_EQ(a->vertices[8], a->vertices[0]);
    EXPECT_EQ(a->vertices[9], a->vertices[1]);
    EXPECT_EQ(a->closed, 1);
    EXPECT_EQ(a->kind, 6);
    uint32_t count = 0;
    const double* out = GetFirstStrokeFromOut(s.get(), &count);
    // The closed outline's output repeats the first vertex behind its five.
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(out[10], out[0]);
    EXPECT_EQ(out[11], out[1]);
    EXPECT_EQ(GetNextStrokeFromOut(s.get(), &count), nullptr);
    EXPECT_EQ(count, 0u);
}

TEST(ShaperStrokes, LongCurveScoresOnTheUnadaptedThreshold) {
    ShaperPtr s = fresh();
    add(s.get(), manyDistinct(1025), 0x04);
    AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
    EXPECT_EQ(a->score, 16 * 8);
    EXPECT_EQ(a->kind, 7);
}

TEST(ShaperStrokes, TapsLeavePendingShapesPending) {
    ShaperPtr s = fresh();
    add(s.get(), polyline({{0, 0}, {300, 0}}), 0x02);
    ASSERT_EQ(GetFinishedShapeNum(s.get()), 0);
    add(s.get(), {500, 500, 502, 501}, 0x02);
    EXPECT_EQ(GetFinishedShapeNum(s.get()), 1);
    EXPECT_EQ(GetShapeNum(s.get()), 2);
    Shape* pending = GetShapeAt(s.get(), 1);
    ASSERT_TRUE(pending);
    EXPECT_EQ(isShapeFinished(pending), 0u);
    EXPECT_EQ(isShapeFinished(GetShapeAt(s.get(), 0)), 1u);
    EXPECT_EQ(GetShapeAt(s.get(), 2), nullptr);
    EXPECT_EQ(GetFinishedShapeAt(s.get(), -1), nullptr);
    EXPECT_EQ(GetFinishedShapeAt(s.get(), 1), nullptr);
    uint32_t count = 99;
    ASSERT_NE(GetFirstStrokeFromBuf(s.get(), &count), nullptr);
    EXPECT_EQ(count, 2u);
    const int16_t* indexes = GetCurrIndexesFromBuf(s.get(), &count);
    EXPECT_NE(indexes, nullptr);
    EXPECT_EQ(count, 1u) << "one stroke";
    EXPECT_EQ(GetNextStrokeFromBuf(s.get(), &count), nullptr);
    EXPECT_EQ(GetCurrIndexesFromBuf(s.get(), &count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(FinalizeShapes(s.get()), 2);
    EXPECT_EQ(GetShapeNum(s.get()), 2);
    EXPECT_EQ(GetFinishedShapeNum(s.get()), 2);
}

TEST(ShaperStrokes, FiveOpenPolylinesFinishTheOldestFirst) {
    ShaperPtr s = fresh();
    for (int i = 0; i < 5; ++i) {
        const double y = 200.0 * i;
        add(s.get(), polyline({{0, y}, {150, y + 60}, {300, y}}), 0x02);
    }
    // Four pending made the limit finish the oldest before the fifth was filed.
    ASSERT_EQ(GetFinishedShapeNum(s.get()), 1);
    EXPECT_EQ(GetShapeNum(s.get()), 5);
    AnswerPtr a(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), 0), 0));
    EXPECT_EQ(a->strokes[0], 0) << "the first stroke";
    // A closed shape finishes every pending one before itself.
    add(s.get(), polyline({{1000, 0}, {1200, 0}, {1200, 120}, {1000, 120}, {1000, 0}}), 0x02);
    EXPECT_EQ(GetFinishedShapeNum(s.get()), 6);
    AnswerPtr last(CreateShapeAnswerAt(GetFinishedShapeAt(s.get(), 5), 0));
    EXPECT_STREQ(last->name, "POLY_4");
}

TEST(ShaperStrokes, PolyThresholdHoldsUntilTheNextStroke) {
    ShaperPtr s = fresh();
    SetPolyThreshold(s.get(), 20.6);
    EXPECT_EQ(GetPolyThreshold(s.get()), 21.0);
    add(s.get(), polyline({{0, 0}, {300, 0}}), 0x02);
    EXPECT_EQ(GetPolyThreshold(s.get()), 12.0) << "adapted to the 300-unit stroke";
    add(s.get(), polyline({{0, 0}, {10, 0}}, 1), 0x02);
    EXPECT_EQ(GetPolyThreshold(s.get()), 5.0);
    SetPolyThreshold(s.get(), -3.0);
    EXPECT_EQ(GetPolyThreshold(s.get()), 0.0);
}

TEST(ShaperStrokes, Stroke2ShapeRangesAndRounding) {
    ShaperPtr s = fresh();
    std::vector<double> pts;
    for (int i = 0; i < 513; ++i) {
        pts.push_back(i * 0.6 - 0.4);
        pts.push_back(2.5);
    }
    EXPECT_EQ(Stroke2Shape(s.get(), 1, pts.data(), 0x82), -1);
    EXPECT_EQ(Stroke2Shape(s.get(), 513, pts.data(), 0x82), -1);
    EXPECT_EQ(Stroke2Shape(s.get(), 512, nullptr, 0x82), -1);
    EXPECT_EQ(Stroke2Shape(nullptr, 512, pts.data(), 0x82), -1);
    EXPECT_EQ(GetShapedStrokesNum(s.get()), 0);
    EXPECT_EQ(Stroke2Shape(s.get(), 512, pts.data(), 0x82), 1);
    AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
    EXPECT_EQ(a->vertices[0], 0) << "-0.4 rounds to 0";
    EXPECT_EQ(a->vertices[1], 3) << "2.5 rounds up";
    EXPECT_EQ(Stroke2Shape(s.get(), 2, pts.data(), 0x08), 1) << "dropped: still the count";
}

TEST(ShaperStrokes, ResetAndClear) {
    ShaperPtr s = fresh();
    add(s.get(), {0, 0, 1, 1}, 0x02);
    add(s.get(), polyline({{0, 0}, {300, 0}}), 0x02);
    ClearShaperOutput(s.get());
    EXPECT_EQ(GetFinishedShapeNum(s.get()), 0);
    EXPECT_EQ(GetShapeNum(s.get()), 1) << "pending stays";
    EXPECT_EQ(GetShapedStrokesNum(s.get()), 2);
    const int32_t offsets[2] = {5, 5};
    SetShaperProperty(s.get(), offsets, 1);
    ResetShaper(s.get());
    EXPECT_EQ(GetShapeNum(s.get()), 0);
    EXPECT_EQ(GetShapedStrokesNum(s.get()), 0);
}

TEST(ShaperStrokes, TableValuesAndAlignmentAnswers) {
    ShaperPtr s = fresh();
    add(s.get(), polyline({{0, 0}, {300, 0}}), 0x82);
    EXPECT_EQ(SetTableInfo(s.get(), 0, 0, 4), 1);
    EXPECT_EQ(SetTableInfo(s.get(), 0, 1, 4), 0);
    EXPECT_EQ(SetTableInfo(s.get(), 1, 0, 4), 0);
    AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
    EXPECT_EQ(isFromTable(a.get()), 4);
    EXPECT_EQ(isFromTable(nullptr), -1);
    EXPECT_EQ(GetpDisposition(s.get()), nullptr) << "no alignment yet";
    EXPECT_EQ(GetStrokeTable(s.get(), 0), -1) << "no alignment yet";
    EXPECT_EQ(ApplyVexaAlign(s.get()), 1);
    EXPECT_NE(GetpDisposition(s.get()), nullptr);
    EXPECT_EQ(GetStrokeTable(s.get(), 0), 4) << "the answer's table value";
    EXPECT_EQ(ApplyVexaAlignEx(s.get(), 0x200), 1);
    EXPECT_EQ(FinalizeShapesEx(s.get(), 0x10), 1);
    uint16_t tables = 9;
    EXPECT_EQ(GetTable(s.get(), &tables), nullptr) << "a lone line is no table";
    EXPECT_EQ(tables, 0);
    EXPECT_EQ(GetStrokeTable(s.get(), 1), -1) << "past the aligned shapes";
    GenerateTablesXML(s.get());
    EXPECT_EQ(SetTableCellXML(nullptr), 1);
}

TEST(ShaperStrokes, AnswersOutliveTheShaper) {
    ShaperPtr s = fresh();
    add(s.get(), polyline({{0, 0}, {300, 0}}), 0x82);
    AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(s.get(), 0), 0));
    AnswerPtr b(CopyVSAnswer(a.get()));
    s.reset();
    EXPECT_STREQ(b->name, "POLY_1");
    EXPECT_EQ(CreateShapeAnswerAt(nullptr, 0), nullptr);
    VSANSWER empty;
    std::memset(&empty, 0, sizeof(empty));
    ClearShapeAnswer(&empty);
    EXPECT_EQ(empty.score, -1);
}

TEST(ShaperBadInput, NullHandlesAndPointers) {
    uint32_t count = 5;
    EXPECT_EQ(AddStroke2Shaper(nullptr, 2, Points{0, 0, 1, 1}.data(), 2), 0xFFFF);
    EXPECT_EQ(AddStroke2ShaperEx(nullptr, nullptr, 2), 0xFFFF);
    EXPECT_EQ(GetShapeNum(nullptr), 0);
    EXPECT_EQ(GetShapeAt(nullptr, 0), nullptr);
    EXPECT_EQ(GetFinishedShapeAt(nullptr, 0), nullptr);
    EXPECT_EQ(GetShapeAnswerNum(nullptr), 0);
    EXPECT_EQ(GetShapeAnswerAt(nullptr, 0, nullptr), 0);
    EXPECT_EQ(isShapeFinished(nullptr), 0u);
    EXPECT_EQ(FinalizeShapes(nullptr), 0);
    EXPECT_EQ(FinalizeShapesEx(nullptr, 0x10), 0);
    EXPECT_EQ(GetFirstStrokeFromOut(nullptr, &count), nullptr);
    EXPECT_EQ(GetNextStrokeFromOut(nullptr, &count), nullptr);
    EXPECT_EQ(count, 5u) << "count untouched";
    EXPECT_EQ(GetCurrIndexesFromOut(nullptr, &count), nullptr);
    EXPECT_EQ(GetFirstStrokeFromBuf(nullptr, &count), nullptr);
    EXPECT_EQ(GetPolyThreshold(nullptr), 0.0);
    SetPolyThreshold(nullptr, 3);
    ResetShaper(nullptr);
    ClearShaperOutput(nullptr);
    DestroyShaper(nullptr);
    ClearShapeAnswer(nullptr);
    DestroyShapeAnswer(nullptr);
    ShaperPtr s = fresh();
    EXPECT_EQ(GetFirstStrokeFromOut(s.get(), nullptr), nullptr);
    EXPECT_EQ(GetFirstStrokeFromOut(s.get(), &count), nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(GetCurrIndexesFromOut(s.get(), &count), nullptr);
}

TEST(ShaperBadInput, DegenerateStrokesNeverFault) {
    ShaperPtr s = fresh();
    Points equal(2000, 5);
    Points extremes;
    for (int i = 0; i < 300; ++i) {
        extremes.push_back(static_cast<int16_t>(i % 2 ? 32767 : -32767));
        extremes.push_back(static_cast<int16_t>(i % 3 ? 32767 : -32767));
    }
    Points separators;
    for (int i = 0; i < 50; ++i) {
        separators.push_back(30000);
        separators.push_back(static_cast<int16_t>(i % 2 ? -1 : -2));
    }
    Points corner = polyline(
        {{32767, 32767}, {-32767, 32767}, {-32767, -32767}, {32767, -32767}, {32767, 32767}}, 200);
    Points huge(2 * 32767);
    for (size_t i = 0; i < huge.size(); ++i)
        huge[i] = static_cast<int16_t>((i * 7919) % 65536 - 32768);
    const Points* inputs[] = {&equal, &extremes, &separators, &corner, &huge};
    for (int flags : {0x02, 0x04, 0x0C, 0x2C, 0x8A, 0x10C, 0x1FE}) {
        for (const Points* p : inputs) {
            const uint16_t r = add(s.get(), *p, flags);
            EXPECT_NE(r, 0xFFFF) << flags;
        }
        EXPECT_EQ(AddStroke2Shaper(s.get(), 0, equal.data(), flags), 0xFFFF);
        EXPECT_EQ(AddStroke2Shaper(s.get(), -4, equal.data(), flags), 0xFFFF);
        EXPECT_EQ(AddStroke2Shaper(s.get(), 1, equal.data(), flags) != 0xFFFF, true);
        EXPECT_EQ(AddStroke2Shaper(s.get(), 3, nullptr, flags), 0xFFFF);
    }
    // 100,000 points: the record's 16-bit count reads as negative and is refused.
    std::vector<int16_t> many(200000, 3);
    const ShaperStroke big = {1, 100000, many.data(), 0};
    EXPECT_EQ(AddStroke2ShaperEx(s.get(), &big, 0x0C), 0xFFFF);
    const ShaperStroke none = {1, 5, nullptr, 0};
    EXPECT_EQ(AddStroke2ShaperEx(s.get(), &none, 0x0C), 0xFFFF);
    std::vector<double> d(200000, 1e9);
    EXPECT_EQ(Stroke2Shape(s.get(), 100000, d.data(), 0x0C), -1);
    EXPECT_NE(Stroke2Shape(s.get(), 400, d.data(), 0x0C), -1) << "saturated coordinates";
    FinalizeShapes(s.get());
    shapetest::readEverything(s.get());
}

}  // namespace
