// Word shapes of answer texts: every raw class the classifier produces, from
// a text that shows it, and the few classes the features fold together.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "WordShape.h"

namespace {

using tessel::rawWordShape;

int32_t raw(const std::string& text) {
    return rawWordShape(text.c_str(), static_cast<int32_t>(text.size()) - 1);
}

struct ShapeCase {
    const char* text;
    int32_t shapeClass;
};

// One text per class at least; classes 45 and 88 to 97 are never produced
// (they name classes of the features' own).
const ShapeCase kShapes[] = {
    {"", 0},
    {"cat", 1},
    {"abc-12", 2},
    {"cat's", 3},
    {"CAT'S", 3},
    {"it's", 3},
    {"ab-cd-ef", 4},
    {"42", 5},
    {"-4.2", 6},
    {"abc123", 7},
    {"(555)123-4567", 8},
    {"123-4567", 9},
    {"(555)", 10},
    {"a&b", 11},
    {" a&b", 11},  // first and last are the shape's
    {"12/31/2004", 12},
    {"12/31/04", 12},
    {"$1,234.56", 13},
    {"$5", 13},
    {"?", 14},
    {"1,234", 15},
    {"3.14", 15},
    {"-42", 16},
    {"don't", 17},
    {"e-mail", 18},
    {"555-123-4567", 19},
    {"3/4", 20},
    {"a)", 21},
    {"7)", 21},
    {"12:30", 22},
    {"1:05pm", 22},
    {"5pm", 22},
    {"10.30AM", 22},
    {"5Pm", 7},  // the suffix must be one of pm, PM, am, AM
    {"bob@mail.com", 23},
    {"50%", 24},
    {"12.5%", 24},
    {"e.g.", 25},
    {"12-34", 26},
    {"\"abc\"", 27},
    {"Cats", 28},
    {"catS", 28},
    {"12-31-04", 29},
    {"and/or", 30},
    {"1/2345", 31},
    {"a1/b2", 32},
    {"\"abc", 33},
    {"abc\"", 34},
    {"12-34-5", 35},
    {"?!", 36},
    {"ab,12", 37},
    {"-abc", 38},
    {"/123", 39},
    {"123-45-6789", 40},
    {"abc/", 41},
    {"123-", 42},
    {"\"abc,\"", 43},
    {"/abc", 44},
    {"[abc]", 46},
    {"{a}", 46},
    {"#123", 47},
    {"#12a", 48},
    {"abc...", 49},
    {"abc.,", 50},
    {"(abc).", 51},
    {"cat.", 52},
    {"cat,", 53},
    {"cat!", 54},
    {"cat?", 55},
    {"cat:", 56},
    {"cat;", 57},
    {"cat-", 58},
    {"cat'", 59},
    {"(abc)", 60},
    {"(12)", 61},
    {"(1-2)", 62},
    {"(a1)", 63},
    {"(abc", 64},
    {"(123", 65},
    {"abc)", 66},
    {"123)", 67},
    {"abc]", 68},
    {"a1]", 69},
    {"a1).", 70},
    {"a1),", 71},
    {"{abc", 72},
    {"{a1", 73},
    {"a1?!", 74},
    {"a1)", 75},
    {"(a1", 76},
    {"cat's,", 77},
    {"don't.", 78},
    {"e-mail.", 79},
    {"123.", 80},
    {"ab12!", 81},
    {"abc).", 82},
    {"(abc,", 83},
    {"\"abc,", 84},
    {"1-2.", 85},
    {"a-b-c.", 86},
    {"#12-3", 87},
    {"1+2", 87},
    {"a+b1", 98},
    {"ab\tc", 11},  // a tab is an other character, not a blank
    {"1a,,b", 99},
    // Blanks are left out of the shape.
    {"12 : 30", 22},
    {"new york", 1},
};

TEST(WordShape, EveryRawClassFromATextThatShowsIt) {
    std::set<int32_t> seen;
    for (const ShapeCase& c : kShapes) {
        EXPECT_EQ(raw(c.text), c.shapeClass) << '"' << c.text << '"';
        seen.insert(c.shapeClass);
    }
    for (int32_t k = 0; k < tessel::kWordShapeClasses; ++k) {
        const bool notProduced = k == 45 || (k >= 88 && k <= 97);
        EXPECT_EQ(seen.count(k) == 0, notProduced) << "class " << k;
    }
}

TEST(WordShape, LastIndexBoundsTheText) {
    EXPECT_EQ(rawWordShape("cat's", 2), 1) << "only \"cat\" is read";
    EXPECT_EQ(rawWordShape("cat", -1), 0);
    EXPECT_EQ(rawWordShape(nullptr, 3), 0);
    EXPECT_EQ(rawWordShape("   ", 2), 0) << "nothing but blanks has no shape";
}

TEST(WordShape, VeryLongTextIsClassifiedWithoutOverrun) {
    std::string text(2000, 'a');
    EXPECT_EQ(raw(text), 1);
    text += "12";
    EXPECT_EQ(raw(text), 1) << "the shape keeps its first 511 characters";
}

TEST(WordShape, FeaturesFoldAFewClasses) {
    const ShapeCase folds[] = {{"Cats", 1}, {"?!", 0},     {"a+b1", 99},
                               {"cat", 1},  {"12:30", 22}, {"", 0}};
    for (const ShapeCase& c : folds)
        EXPECT_EQ(tessel::wordShapeClass(c.text), c.shapeClass) << '"' << c.text << '"';
    EXPECT_EQ(tessel::wordShapeClass(nullptr), 0);
}

TEST(WordShape, ClassTraitsStayInTheirRanges) {
    const struct {
        int32_t shapeClass;
        int8_t backCut, dataKind, weight;
        double lex, a, b;
    } given[] = {{0, 0, 1, 7, 0.0, 0.0, 0.0},           {1, 0, 2, 0, 79.68313, 83.234, 77.869},
                 {2, 0, 1, 7, 76.5625, 61.572, 51.792}, {3, 2, 2, 2, 82.997118, 45.118, 41.735},
                 {4, 0, 1, 7, 0.0, 0.0, 0.0},           {5, 0, 4, 0, 86.960116, 66.161, 59.289}};
    for (const auto& g : given) {
        const tessel::WordShapeTraits& t = tessel::wordShapeTraits(g.shapeClass);
        EXPECT_EQ(t.frontCut, 0);
        EXPECT_EQ(t.backCut, g.backCut);
        EXPECT_EQ(t.dataKind, g.dataKind);
        EXPECT_EQ(t.weight, g.weight);
        EXPECT_EQ(t.lexStatistic, g.lex);
        EXPECT_EQ(t.statisticA, g.a);
        EXPECT_EQ(t.statisticB, g.b);
    }
    for (int32_t k = 0; k < tessel::kWordShapeClasses; ++k) {
        const tessel::WordShapeTraits& t = tessel::wordShapeTraits(k);
        EXPECT_TRUE(t.frontCut >= 0 && t.frontCut <= 1) << k;
        EXPECT_TRUE(t.backCut >= 0 && t.backCut <= 3) << k;
        EXPECT_TRUE(t.dataKind >= 0 && t.dataKind <= 4) << k;
        EXPECT_TRUE(t.weight >= 0 && t.weight <= 7) << k;
        for (double p : {t.lexStatistic, t.statisticA, t.statisticB})
            EXPECT_TRUE(p >= 0.0 && p <= 100.0) << k;
        EXPECT_NE(tessel::kWordShapeNames[k], nullptr);
    }
    EXPECT_STREQ(tessel::kWordShapeNames[22], "time");
    EXPECT_EQ(&tessel::wordShapeTraits(100), &tessel::wordShapeTraits(99));
}

}  // namespace
