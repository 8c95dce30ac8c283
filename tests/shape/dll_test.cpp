// VexaShape2.dll as its caller meets it: loaded by file name, every function
// bound by its undecorated name, a shaper driven through the whole calling
// order, answers kept after the shaper is gone.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "VexaShape2.h"
#include "strokes.h"

namespace {

#define SHAPE_EXPORTS(X)                                                                         \
    X(GetShaperVerNumber)                                                                        \
    X(InitShaper)                                                                                \
    X(DestroyShaper)                                                                             \
    X(SetShaperProperty)                                                                         \
    X(ResetShaper) X(ClearShaperOutput) X(SetPolyThreshold) X(GetPolyThreshold)                  \
        X(AddStroke2ShaperEx) X(AddStroke2Shaper) X(Stroke2Shape) X(FinalizeShapes)              \
            X(FinalizeShapesEx) X(GetShapedStrokesNum) X(GetShapeNum) X(GetShapeAt)              \
                X(GetFinishedShapeNum) X(GetFinishedShapeAt) X(isShapeFinished)                  \
                    X(GetShapeAnswerNum) X(GetShapeAnswerAt) X(CreateShapeAnswerAt)              \
                        X(CopyVSAnswer) X(ClearShapeAnswer) X(DestroyShapeAnswer)                \
                            X(StrokeToShapeAnswer) X(SetXMLforShapeAnswer) X(SetTableInfo)       \
                                X(isFromTable) X(GetFirstStrokeFromOut) X(GetNextStrokeFromOut)  \
                                    X(GetCurrIndexesFromOut) X(GetFirstStrokeFromBuf)            \
                                        X(GetNextStrokeFromBuf) X(GetCurrIndexesFromBuf)         \
                                            X(ApplyVexaAlign) X(ApplyVexaAlignEx)                \
                                                X(GetpDisposition) X(GetTable) X(GetStrokeTable) \
                                                    X(GenerateTablesXML) X(SetTableCellXML)

struct Library {
    HMODULE module = nullptr;
#define DECLARE(name) decltype(&::name) name = nullptr;
    SHAPE_EXPORTS(DECLARE)
#undef DECLARE

    int bound = 0;

    Library() {
        module = LoadLibraryA("VexaShape2.dll");
        if (!module) return;
#define BIND(name)                                                                                \
    name =                                                                                        \
        reinterpret_cast<decltype(name)>(reinterpret_cast<void*>(GetProcAddress(module, #name))); \
    if (name) ++bound;
        SHAPE_EXPORTS(BIND)
#undef BIND
    }
    ~Library() {
        if (module) FreeLibrary(module);
    }
};

TEST(ShapeDll, BindsAllFortyTwoNames) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    EXPECT_EQ(lib.bound, 42);
    EXPECT_EQ(GetProcAddress(lib.module, "_InitShaper"), nullptr);
    EXPECT_STREQ(lib.GetShaperVerNumber(), "vexaShape\xAE shape recognition engine v.2.5.38");
}

TEST(ShapeDll, DrivesAShaperThroughItsCallingOrder) {
    Library lib;
    ASSERT_EQ(lib.bound, 42);
    Shaper* s = lib.InitShaper();
    ASSERT_NE(s, nullptr);
    const int32_t resolution = 30, offsets[2] = {0, 1000};
    EXPECT_EQ(lib.SetShaperProperty(s, &resolution, 2), 1);
    EXPECT_EQ(lib.SetShaperProperty(s, offsets, 1), 1);

    const strokes::Points rect =
        strokes::polyline({{10, 20}, {210, 20}, {210, 140}, {10, 140}, {10, 20}});
    const strokes::Points line = strokes::polyline({{0, 400}, {300, 440}});
    const strokes::Points tap = {50, 50, 52, 51};
    const ShaperStroke s1 = {11, static_cast<int32_t>(rect.size() / 2), rect.data(), 0};
    const ShaperStroke s2 = {12, static_cast<int32_t>(line.size() / 2), line.data(), 0};
    EXPECT_EQ(lib.AddStroke2ShaperEx(s, &s1, 0x02), 1);
    EXPECT_EQ(lib.AddStroke2ShaperEx(s, &s2, 0x02), 1);
    EXPECT_EQ(lib.AddStroke2Shaper(s, 2, tap.data(), 0x02), 2);
    double dpts[6] = {0, 600, 100.4, 600, 200, 600.6};
    EXPECT_EQ(lib.Stroke2Shape(s, 3, dpts, 0x02), 2);
    EXPECT_EQ(lib.GetShapedStrokesNum(s), 4);
    EXPECT_EQ(lib.GetShapeNum(s), 4);
    EXPECT_EQ(lib.FinalizeShapesEx(s, 0), 4);
    EXPECT_EQ(lib.FinalizeShapes(s), 4);
    EXPECT_EQ(lib.ApplyVexaAlign(s), 4);
    EXPECT_EQ(lib.GetFinishedShapeNum(s), 4);

    Shape* shape = lib.GetFinishedShapeAt(s, 0);
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(lib.isShapeFinished(shape), 1u);
    EXPECT_EQ(lib.GetShapeAnswerNum(shape), 1);
    VSANSWER* a = lib.CreateShapeAnswerAt(shape, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->name, "POLY_4");
    EXPECT_EQ(a->aliases[0], 11);
    EXPECT_NEAR(a->vertices[2], 210, 2);
    lib.SetXMLforShapeAnswer(s, a, 0);
    ASSERT_NE(a->xmlText, nullptr);
    // Finishing aligned the shape and froze it for later passes.
    EXPECT_EQ(std::string(a->xmlText)
                  .rfind("<Shape id='0' align='-1'><Name>POLY_4</Name><Aliases>11</Aliases><X>@", 0),
              0u)
        << a->xmlText;
    EXPECT_NE(std::string(a->xmlText).find("<Y>@3fc:"), std::string::npos) << "20 + 1000";

    VSANSWER b = {};
    EXPECT_EQ(lib.GetShapeAnswerAt(lib.GetShapeAt(s, 1), 0, &b), 1);
    EXPECT_STREQ(b.name, "POINT");
    lib.ClearShapeAnswer(&b);
    EXPECT_EQ(lib.SetTableInfo(s, 1, 0, 3), 1);
    VSANSWER* c = lib.CopyVSAnswer(a);
    EXPECT_EQ(lib.isFromTable(c), -1);

    uint32_t count = 0;
    const double* out = lib.GetFirstStrokeFromOut(s, &count);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(count, 6u) << "the closed outline repeats its first vertex";
    EXPECT_NE(lib.GetCurrIndexesFromOut(s, &count), nullptr);
    int walked = 1;
    while (lib.GetNextStrokeFromOut(s, &count)) ++walked;
    EXPECT_EQ(walked, 4);
    EXPECT_EQ(lib.GetFirstStrokeFromBuf(s, &count), nullptr);
    EXPECT_EQ(lib.GetNextStrokeFromBuf(s, &count), nullptr);
    EXPECT_EQ(lib.GetCurrIndexesFromBuf(s, &count), nullptr);

    EXPECT_EQ(lib.ApplyVexaAlignEx(s, 0x200), 4);
    EXPECT_NE(lib.GetpDisposition(s), nullptr) << "kept from the pass of FinalizeShapes";
    uint16_t tables = 7;
    EXPECT_EQ(lib.GetTable(s, &tables), nullptr);
    EXPECT_EQ(tables, 0);
    EXPECT_EQ(lib.GetStrokeTable(s, 0), -1);
    lib.GenerateTablesXML(s);
    EXPECT_EQ(lib.SetTableCellXML(nullptr), 1);

    lib.SetPolyThreshold(s, 9.4);
    EXPECT_EQ(lib.GetPolyThreshold(s), 9.0);
    lib.ClearShaperOutput(s);
    EXPECT_EQ(lib.GetShapeNum(s), 0);
    lib.ResetShaper(s);
    EXPECT_EQ(lib.GetShapedStrokesNum(s), 0);
    lib.DestroyShaper(s);

    // The caller's answers outlive the shaper and are freed by the library.
    EXPECT_STREQ(c->name, "POLY_4");
    VSANSWER d = {};
    const VSVertexList list = {5, 4, rect.data()};
    EXPECT_EQ(lib.StrokeToShapeAnswer(&d, &list), 1);
    lib.ClearShapeAnswer(&d);
    lib.DestroyShapeAnswer(c);
    lib.DestroyShapeAnswer(a);
    lib.DestroyShaper(nullptr);
}

}  // namespace

namespace {

TEST(ShapeDll, RecognisesTemplatesAndArrows) {
    Library lib;
    ASSERT_EQ(lib.bound, 42);
    const struct {
        strokes::Points points;
        const char* name;
    } cases[] = {
        {strokes::polyline({{0, 0}, {200, 0}, {100, 173}, {0, 0}, {10, 0}}), "TRIG"},
        {strokes::polyline({{0, 0}, {300, 0}, {300, 160}, {0, 160}, {0, 0}, {12, 0}}), "PARA_r"},
        {strokes::toPoints(strokes::ellipse(300, 300, 150, 150, 0, 160, 0, 6.4)), "ELLI_c"},
        {strokes::polyline({{0, 0}, {300, 0}, {265, 20}, {300, 0}, {265, -20}}), "ARR1_1"},
    };
    for (const auto& c : cases) {
        Shaper* s = lib.InitShaper();
        ASSERT_NE(lib.AddStroke2Shaper(s, static_cast<int16_t>(c.points.size() / 2),
                                       c.points.data(), 0x0C),
                  0xFFFF);
        lib.FinalizeShapes(s);
        VSANSWER* a = lib.CreateShapeAnswerAt(lib.GetShapeAt(s, 0), 0);
        ASSERT_NE(a, nullptr) << c.name;
        EXPECT_STREQ(a->name, c.name);
        lib.DestroyShapeAnswer(a);
        lib.DestroyShaper(s);
    }
}

TEST(ShapeDll, FindsARuledTable) {
    Library lib;
    ASSERT_EQ(lib.bound, 42);
    Shaper* s = lib.InitShaper();
    const int32_t resolution = 16;  // scale 1024: caller units are internal units
    lib.SetShaperProperty(s, &resolution, 2);
    const int16_t frame[] = {0, 0, 200, 0, 200, 100, 0, 100, 0, 0};
    const int16_t across[] = {0, 50, 200, 50};
    const int16_t down[] = {100, 0, 100, 100};
    const ShaperStroke strokes[] = {{1, 5, frame, 0}, {2, 2, across, 0}, {3, 2, down, 0}};
    for (const ShaperStroke& stroke : strokes) lib.AddStroke2ShaperEx(s, &stroke, 0x2E);
    EXPECT_EQ(lib.FinalizeShapesEx(s, 0x210), 3);
    uint16_t count = 0;
    VSTABLE* table = lib.GetTable(s, &count);
    ASSERT_EQ(count, 1);
    ASSERT_NE(table, nullptr);
    lib.GenerateTablesXML(s);
    ASSERT_EQ(table->cellCount, 4);
    ASSERT_NE(table->html, nullptr);
    EXPECT_EQ(table->offsets[5], std::strlen(table->html));
    EXPECT_EQ(table->cells[3].corners[4], 200);
    EXPECT_EQ(table->cells[3].corners[5], 100);
    for (int16_t i = 0; i < 3; ++i) EXPECT_EQ(lib.GetStrokeTable(s, i), 0) << i;
    lib.DestroyShaper(s);
}

}  // namespace
