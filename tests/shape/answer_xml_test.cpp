// Answers from ready vertex lists (StrokeToShapeAnswer) and the answer XML
// with its coordinate code, checked against an independent decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ShapeAnswer.h"
#include "Shaper.h"
#include "VexaShape2.h"
#include "shaper_driver.h"

using namespace vexa;

namespace {

using shapetest::AnswerPtr;
using shapetest::ShaperPtr;

// Decodes one coordinate code back into its values, written from the format
// alone: "@[-]hex:" is a value, any other character a step from the last one.
std::vector<int32_t> decode(const std::string& code) {
    static const std::string alphabet =
        "9876543210ZYXWVUTSRQPONMLKJIHGFEDCBA-abcdefghijklmnopqrstuvwxyz()[]{}*+^~";
    std::vector<int32_t> values;
    int64_t last = 0;
    for (size_t i = 0; i < code.size();) {
        if (code[i] == '@') {
            const size_t end = code.find(':', i);
            bool negative = code[i + 1] == '-';
            const std::string hex = code.substr(i + 1 + negative, end - i - 1 - negative);
            int64_t v = static_cast<int64_t>(std::stoull(hex, nullptr, 16));
            last = negative ? -v : static_cast<int32_t>(static_cast<uint32_t>(v));
            i = end + 1;
        } else {
            last += static_cast<int64_t>(alphabet.find(code[i])) - 36;
            ++i;
        }
        values.push_back(static_cast<int32_t>(last));
    }
    return values;
}

std::string between(const std::string& text, const std::string& open, const std::string& close) {
    const size_t a = text.find(open);
    const size_t b = text.find(close);
    if (a == std::string::npos || b == std::string::npos) return "<missing>";
    return text.substr(a + open.size(), b - a - open.size());
}

AnswerPtr answerWith(int16_t kind, const char* name, std::vector<int16_t> xy,
                     std::vector<uint16_t> aliases, int16_t alignId) {
    AnswerPtr a(newShapeAnswer());
    a->kind = kind;
    setAnswerName(a.get(), name);
    std::vector<Point16> pts;
    for (size_t i = 0; i < xy.size(); i += 2) pts.push_back({xy[i], xy[i + 1]});
    setAnswerPoints(a.get(), pts.data(), static_cast<int>(pts.size()));
    a->strokeCount = static_cast<uint16_t>(aliases.size());
    if (!aliases.empty()) {
        a->aliases = static_cast<uint16_t*>(malloc(2 * aliases.size()));
        a->strokes = static_cast<uint16_t*>(malloc(2 * aliases.size()));
        for (size_t i = 0; i < aliases.size(); ++i) a->aliases[i] = a->strokes[i] = aliases[i];
    }
    a->alignId = alignId;
    return a;
}

TEST(AnswerXml, WorkedExampleIsReproducedByteForByte) {
    ShaperPtr s(InitShaper());
    AnswerPtr a = answerWith(6, "POLY_3", {100, 200, 103, 198, 140, 198, -5, -20}, {3, 4}, -1);
    SetXMLforShapeAnswer(s.get(), a.get(), 5);
    ASSERT_NE(a->xmlText, nullptr);
    EXPECT_STREQ(a->xmlText,
                 "<Shape id='5' align='-1'><Name>POLY_3</Name><Aliases>3 4</Aliases>"
                 "<X>@64:c@8c:@-5:</X><Y>@c8:B-@-14:</Y></Shape>");
    EXPECT_GE(a->xmlCapacity, std::strlen(a->xmlText) + 1);
}

TEST(AnswerXml, CurvesCarryNoCoordinates) {
    ShaperPtr s(InitShaper());
    AnswerPtr a = answerWith(7, "CURV", {1, 2, 3, 4}, {7}, 0);
    SetXMLforShapeAnswer(s.get(), a.get(), 3);
    EXPECT_STREQ(a->xmlText,
                 "<Shape id='3' align='0'><Name>CURV</Name><Aliases>7</Aliases></Shape>");
}

TEST(AnswerXml, AnswersWithoutAliasesWriteAnEmptyList) {
    ShaperPtr s(InitShaper());
    AnswerPtr a = answerWith(8, "PONT", {9, 9}, {}, 2);
    SetXMLforShapeAnswer(s.get(), a.get(), -12);
    EXPECT_STREQ(
        a->xmlText,
        "<Shape id='-12' align='2'><Name>PONT</Name><Aliases></Aliases><X>@9:</X><Y>@9:</Y>"
        "</Shape>");
}

TEST(AnswerXml, OffsetsMoveEveryCoordinateAndBuffersAreReused) {
    ShaperPtr s(InitShaper());
    const int32_t offsets[2] = {1000, -50};
    ASSERT_EQ(SetShaperProperty(s.get(), offsets, 1), 1);
    AnswerPtr a = answerWith(1, "TRIG", {0, 0, 30, 0, 15, 26, 0, 0}, {1, 2, 3}, 0);
    SetXMLforShapeAnswer(s.get(), a.get(), 1);
    const std::string text = a->xmlText;
    EXPECT_EQ(decode(between(text, "<X>", "</X>")), (std::vector<int32_t>{1000, 1030, 1015, 1000}));
    EXPECT_EQ(decode(between(text, "<Y>", "</Y>")), (std::vector<int32_t>{-50, -50, -24, -50}));
    EXPECT_EQ(between(text, "<Aliases>", "</Aliases>"), "1 2 3");
    // A shorter text reuses the buffer; an answer of no kind keeps its text.
    char* buffer = a->xmlText;
    a->vertexCount = 1;
    SetXMLforShapeAnswer(s.get(), a.get(), 1);
    EXPECT_EQ(a->xmlText, buffer);
    const std::string kept = a->xmlText;
    a->kind = -1;
    SetXMLforShapeAnswer(s.get(), a.get(), 99);
    EXPECT_EQ(kept, a->xmlText);
    SetXMLforShapeAnswer(nullptr, a.get(), 1);
    SetXMLforShapeAnswer(s.get(), nullptr, 1);
}

TEST(AnswerXml, CoordinateCodeSteps) {
    const struct {
        int32_t previous, value, absolute;
        const char* code;
    } cases[] = {
        {0, 0, 1, "@0:"},
        {0, 36, 0, "~"},
        {0, -36, 0, "9"},
        {0, 37, 0, "@25:"},
        {0, -37, 0, "@-25:"},
        {5, 5, 0, "-"},
        {0, 1, 0, "a"},
        {0, 26, 0, "z"},
        {0, 27, 0, "("},
        {0, -1, 0, "A"},
        {0, -26, 0, "Z"},
        {0, -27, 0, "0"},
        {10, 10, 1, "@a:"},
        {0, 255, 1, "@ff:"},
        {0, -255, 1, "@-ff:"},
        {0, INT32_MIN, 1, "@80000000:"},
        {INT32_MAX, INT32_MIN, 0, "@80000000:"},
        {0, INT32_MAX, 1, "@7fffffff:"},
    };
    for (const auto& c : cases) {
        char out[32] = {};
        const int n = encodeShapeCoords(out, c.previous, c.value, c.absolute);
        EXPECT_STREQ(out, c.code) << c.previous << " -> " << c.value;
        EXPECT_EQ(n, static_cast<int>(std::strlen(c.code)));
    }
    const struct {
        int32_t v;
        int width;
    } widths[] = {{0, 1}, {7, 1}, {-7, 2}, {10, 2}, {-32768, 6}, {INT32_MIN, 11}, {65535, 5}};
    for (const auto& w : widths) EXPECT_EQ(decimalWidth(w.v), w.width) << w.v;
}

TEST(AnswerXml, DecoderGivesBackEveryVertex) {
    ShaperPtr s(InitShaper());
    std::vector<int16_t> xy;
    uint32_t seed = 12345;
    for (int i = 0; i < 33; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int step = static_cast<int>((seed >> 16) % 200) - 100;
        xy.push_back(static_cast<int16_t>(i == 0 ? -32768 : xy[xy.size() - 2] / 2 + step));
        xy.push_back(static_cast<int16_t>(i * 1000 - 16000));
    }
    AnswerPtr a = answerWith(6, "POLY_32", xy, {1}, 0);
    SetXMLforShapeAnswer(s.get(), a.get(), 0);
    const auto x = decode(between(a->xmlText, "<X>", "</X>"));
    const auto y = decode(between(a->xmlText, "<Y>", "</Y>"));
    ASSERT_EQ(x.size(), 33u);
    ASSERT_EQ(y.size(), 33u);
    for (int i = 0; i < 33; ++i) {
        EXPECT_EQ(x[i], xy[2 * i]);
        EXPECT_EQ(y[i], xy[2 * i + 1]);
    }
}

struct KindCase {
    const char* label;
    std::vector<int16_t> xy;
    int16_t kind;
    const char* name;
    int32_t closed;
};

std::vector<int16_t> circle(int n, int r, bool closed, int rx = 0) {
    std::vector<int16_t> xy;
    for (int k = 0; k < n; ++k) {
        const double t = 2 * 3.14159265358979 * k / (closed ? n - 1 : n);
        xy.push_back(static_cast<int16_t>(std::lround(200 + (r + rx) * std::cos(t))));
        xy.push_back(static_cast<int16_t>(std::lround(100 + r * std::sin(t))));
    }
    return xy;
}

TEST(StrokeToShapeAnswer, KindFollowsThePointCount) {
    const KindCase cases[] = {
        {"one point", {5, 6}, 8, "PONT", 1},
        {"line", {0, 0, 100, 0}, 6, "POLY_1", 0},
        {"closed four", {0, 0, 100, 0, 50, 80, 1, 1}, 1, "TRIG", 1},
        {"open four", {0, 0, 100, 0, 100, 80, 0, 80}, 6, "POLY_3", 0},
        {"four hairpins", {0, 0, 100, 1, 0, 2, 100, 3}, 7, "CURV", 0},
        {"repeat dropped", {0, 0, 100, 0, 100, 0, 100, 80, 0, 80}, 6, "POLY_3", 0},
        {"closed para", {0, 0, 100, 0, 130, 60, 30, 60, 0, 0}, 2, "PARA", 1},
        {"open para", {0, 0, 100, 0, 130, 60, 30, 60, -1, -2}, 2, "PARA", 0},
        {"open arrow", {0, 0, 100, 0, 90, 10, 100, 1, 90, -10}, 4, "ARR1_1", 0},
        {"closed arrow", {0, 0, 100, 0, 90, 10, 90, -10, 100, 1}, 4, "ARR1_2", 0},
        {"two heads 11",
         {10, 10, 0, 0, 10, -10, 0, 1, 100, 0, 90, 10, 100, 1, 90, -10},
         5,
         "ARR2_11",
         0},
        {"two heads 22",
         {0, 0, 10, 10, 10, -10, 1, 0, 100, 0, 90, 10, 90, -10, 100, 1},
         5,
         "ARR2_22",
         0},
        {"circle", circle(33, 80, true), 3, "ELLI_c", 1},
        {"ellipse", circle(33, 40, true, 60), 3, "ELLI", 1},
        {"needle", circle(33, 3, true, 120), 7, "CURV", 1},
        {"open 33", circle(33, 80, false), 7, "CURV", 0},
        {"34 points", circle(34, 80, true), 7, "CURV", 1},
    };
    for (const KindCase& c : cases) {
        AnswerPtr a(newShapeAnswer());
        const VSVertexList list = {42, static_cast<int16_t>(c.xy.size() / 2), c.xy.data()};
        ASSERT_EQ(StrokeToShapeAnswer(a.get(), &list), 1) << c.label;
        EXPECT_EQ(a->kind, c.kind) << c.label;
        EXPECT_STREQ(a->name, c.name) << c.label;
        EXPECT_EQ(a->closed, c.closed) << c.label;
        EXPECT_EQ(a->score, 0) << c.label;
        EXPECT_EQ(a->fresh, 1) << c.label;
        ASSERT_EQ(a->strokeCount, 1) << c.label;
        EXPECT_EQ(a->aliases[0], 42) << c.label;
        EXPECT_EQ(a->strokes[0], 42) << c.label;
    }
}

TEST(StrokeToShapeAnswer, EllipseParametersAndEmptyInput) {
    AnswerPtr a(newShapeAnswer());
    const auto xy = circle(33, 80, true);
    const VSVertexList list = {1, 33, xy.data()};
    ASSERT_EQ(StrokeToShapeAnswer(a.get(), &list), 1);
    ASSERT_EQ(a->paramLength, 6);
    const int16_t* p = reinterpret_cast<const int16_t*>(a->params);
    EXPECT_EQ(p[0], 200);
    EXPECT_EQ(p[1], 100);
    EXPECT_NEAR(p[2], 80, 1);
    ClearShapeAnswer(a.get());  // the record is taken as empty
    const VSVertexList none = {1, 0, xy.data()};
    EXPECT_EQ(StrokeToShapeAnswer(a.get(), &none), 0);
    const VSVertexList null = {1, 5, nullptr};
    EXPECT_EQ(StrokeToShapeAnswer(a.get(), &null), 0);
    EXPECT_EQ(StrokeToShapeAnswer(a.get(), nullptr), 0);
    EXPECT_EQ(StrokeToShapeAnswer(nullptr, &list), 0);
    // A kind given outright: an unknown one clears the answer.
    const Point16 pts[2] = {{0, 0}, {1, 1}};
    EXPECT_EQ(answerFromVertexList(pts, 2, a.get(), 9), 0);
    EXPECT_EQ(a->vertices, nullptr);
    EXPECT_EQ(answerFromVertexList(pts, 2, a.get(), 5), 1);
    EXPECT_STREQ(a->name, "") << "a two-headed arrow whose pattern does not hold has no name";
    clearShapeAnswerArrays(a.get());
}

}  // namespace
