// The page analysis proper on generated pages: bands cut and classified as
// the page was made, text lines and words found and read back, lists,
// paragraphs and underlined words marked.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "LinkedEngines.h"
#include "Ombra.h"
#include "PageInk.h"
#include "ResultXml.h"
#include "Session.h"
#include "LineFinder.h"
#include "TextGroup.h"
#include "TextUnit.h"

namespace {

using namespace ombra;

struct Page {
    engines::Scope scope;
    OMBRA_CONTEXT context = nullptr;
    OMBRA_SESSION session = nullptr;
    const char* xml = nullptr;
    int result = -1;

    Page() {
        Ombra_CreateContext(&context);
        Ombra_OpenSession(context, &session, 0);
    }
    ~Page() { Ombra_CloseContext(context); }
    int run(const PageInk& ink) {
        if (int r = ink.addTo(session, Ombra_AddStroke)) return r;
        result = Ombra_Recognize(session, &xml);
        return result;
    }
    COmbraGroup* root() const { return reinterpret_cast<COmbraSession*>(session)->root; }
    std::vector<int> bandKinds() const {
        std::vector<int> kinds;
        for (int i = 0; i < root()->children.count(); ++i)
            kinds.push_back(root()->children.get(i)->groupKind);
        return kinds;
    }
};

TEST(PageText, TwoLinesOfTextAreReadBack) {
    Page page;
    PageInk ink;
    ink.write("hello world\nthe cat sat", 100, 100);
    ASSERT_EQ(page.run(ink), 0);
    const ResultXml r = readResult(page.xml);
    ASSERT_TRUE(r.wellFormed) << page.xml;
    EXPECT_EQ(page.bandKinds(), (std::vector<int>{kGroupText})) << page.xml;
    EXPECT_EQ(r.count("Line"), 2) << page.xml;
    EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"hello", "world", "the", "cat", "sat"}))
        << page.xml;
}

}  // namespace

namespace {

// Strokes that are bare vertical bars from top to bottom.
COmbraStroke* bar(int id, int32_t top, int32_t bottom, int flags = 0) {
    const int32_t xy[4] = {10 * id, top, 10 * id, bottom};
    const Ombra_STROKE r = {id, 2, 1, 0, 0, flags, 0, xy};
    return COmbraStroke::make(r);
}

TEST(PageBands, CutsAtGapsMeasuredInLineHeights) {
    const struct {
        const char* what;
        std::vector<std::pair<int32_t, int32_t>> bars;
        std::vector<int64_t> cuts;
    } cases[] = {
        // 100 units empty: 31 tenths of a line height; cut in the middle.
        {"two lines apart", {{0, 32}, {132, 164}}, {-1, 82, 165}},
        // 60 units after a band of 400: only 18 tenths.
        {"tall band, small gap", {{0, 200}, {180, 400}, {460, 492}}, {-1, 493}},
        // 70 units after a band of 320 or more: 21 tenths of a ten-line band.
        {"ten-line band, two-line gap", {{0, 200}, {180, 320}, {390, 420}}, {-1, 355, 421}},
        {"overlapping strokes", {{0, 50}, {40, 90}}, {-1, 91}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        COmbraSession session(nullptr, nullptr, nullptr);
        ASSERT_EQ(session.init(0), 0);
        int id = 1;
        for (const auto& b : c.bars) session.addStroke(bar(id++, b.first, b.second));
        EXPECT_EQ(session.findBandCuts(), c.cuts);
    }
    COmbraSession aside(nullptr, nullptr, nullptr);
    ASSERT_EQ(aside.init(0), 0);
    aside.addStroke(bar(1, 0, 30, OMBRA_STROKE_NO_SEGMENTATION));
    aside.addStroke(bar(2, 200, 230, OMBRA_STROKE_NO_SEGMENTATION));
    EXPECT_TRUE(aside.findBandCuts().empty()) << "strokes kept out of segmentation make no band";
}

TEST(PageBands, EachBandIsClassifiedAsItWasDrawn) {
    Page page;
    PageInk ink;
    ink.write("the first line", 100, 100);
    // Nested shapes and a connector.
    ink.draw({{100, 300}, {900, 300}, {900, 380}, {100, 380}, {100, 300}});
    ink.ellipse(500, 340, 330, 30);
    ink.draw({{300, 325}, {700, 325}, {700, 355}, {300, 355}, {300, 325}});
    ink.draw({{950, 340}, {1200, 340}});
    // A chart: two frames, a label in each.
    ink.draw({{100, 600}, {500, 600}, {500, 800}, {100, 800}, {100, 600}});
    ink.write("cat", 200, 720);
    ink.draw({{700, 600}, {1100, 600}, {1100, 800}, {700, 800}, {700, 600}});
    ink.write("dog", 800, 720);
    // Three columns between two rulings.
    ink.draw({{400, 1000}, {400, 1200}});
    ink.draw({{800, 1000}, {800, 1200}});
    ink.write("cat", 150, 1100);
    ink.write("dog", 500, 1100);
    ink.write("sun", 900, 1100);
    ASSERT_EQ(page.run(ink), 0);
    const ResultXml r = readResult(page.xml);
    ASSERT_TRUE(r.wellFormed) << page.xml;
    EXPECT_EQ(page.bandKinds(),
              (std::vector<int>{kGroupText, kGroupBand, kGroupChart, kGroupTable}))
        << page.xml;
    EXPECT_EQ(r.firstAlts,
              (std::vector<std::string>{"the", "first", "line", "cat", "dog", "cat", "dog", "sun"}))
        << page.xml;
    EXPECT_EQ(r.count("TABLE"), 1);
    EXPECT_EQ(r.count("TD"), 3);
}

TEST(PageBands, ABandWithoutShapesDropsOnlyItself) {
    engines::Knobs knobs;
    knobs.shapelessPasses = 1;
    engines::Scope scope(knobs);
    OMBRA_CONTEXT context = nullptr;
    ASSERT_EQ(Ombra_CreateContext(&context), 0);
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(Ombra_OpenSession(context, &s, 0), 0);
    PageInk ink;
    ink.write("lost", 100, 100);
    ink.write("kept words", 100, 400);
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    const char* xml = nullptr;
    ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
    EXPECT_EQ(readResult(xml).firstAlts, (std::vector<std::string>{"kept", "words"})) << xml;
    Ombra_CloseContext(context);
}

TEST(PageBands, ABandThatCannotBeReadIsReportedAndTheOthersAreRead) {
    // A lone ruling is classed as text; the text pass leaves it out and finds
    // no word there (110). The bands before and after it are read all the same.
    Page page;
    PageInk ink;
    ink.write("before", 100, 100);
    ink.draw({{100, 400}, {900, 400}});
    ink.write("after", 100, 700);
    EXPECT_EQ(page.run(ink), 110);
    EXPECT_EQ(page.bandKinds(), (std::vector<int>{kGroupText, kGroupText, kGroupText}));
    ASSERT_TRUE(page.xml) << "the text read is handed out with the failure";
    EXPECT_EQ(readResult(page.xml).firstAlts, (std::vector<std::string>{"before", "after"}))
        << page.xml;
}

TEST(PageBands, OnlyFramesCountAsTheShapesOfAChart) {
    // Two frames with a label each, and small triangles beside them: not
    // frames, so their strokes are no chart's shapes and too few strokes of the
    // band are labels. Without the triangles the band is a chart.
    for (int triangles : {0, 5}) {
        SCOPED_TRACE(triangles);
        Page page;
        PageInk ink;
        ink.draw({{100, 600}, {500, 600}, {500, 800}, {100, 800}, {100, 600}});
        ink.write("cat", 200, 720);
        ink.draw({{700, 600}, {1100, 600}, {1100, 800}, {700, 800}, {700, 600}});
        ink.write("dog", 800, 720);
        for (int t = 0; t < triangles; ++t) {
            const int32_t x = 1200 + 70 * t;
            ink.draw({{x, 720}, {x + 40, 720}, {x + 20, 685}, {x, 720}});
        }
        ASSERT_EQ(page.run(ink), 0) << page.xml;
        const std::vector<int> kinds = page.bandKinds();
        ASSERT_EQ(kinds.size(), 1u);
        EXPECT_EQ(kinds[0] == kGroupChart, triangles == 0) << page.xml;
    }
}

TEST(PageBands, EveryCellAndLabelIsReadOnItsOwn) {
    // The first cell or label holds one straight stroke only: it cannot be read
    // (110), and is written empty; the cells and labels after it keep their words.
    const struct {
        const char* what;
        int kind;
        void (*draw)(PageInk&);
        std::vector<std::string> words;
        int cells;
    } cases[] = {
        {"cat | - | dog, between two rulings",
         kGroupTable,
         [](PageInk& ink) {
             ink.draw({{400, 1000}, {400, 1200}});
             ink.draw({{800, 1000}, {800, 1200}});
             ink.write("cat", 150, 1100);
             ink.draw({{500, 1090}, {700, 1090}});
             ink.write("dog", 900, 1100);
         },
         {"cat", "dog"},
         3},
        {"a chart whose first label is a stroke",
         kGroupChart,
         [](PageInk& ink) {
             ink.draw({{100, 600}, {500, 600}, {500, 800}, {100, 800}, {100, 600}});
             ink.draw({{200, 700}, {400, 700}});
             ink.draw({{700, 600}, {1100, 600}, {1100, 800}, {700, 800}, {700, 600}});
             ink.write("dog", 800, 720);
         },
         {"dog"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Page page;
        PageInk ink;
        c.draw(ink);
        EXPECT_EQ(page.run(ink), 110) << "the failing cell is reported";
        EXPECT_EQ(page.bandKinds(), (std::vector<int>{c.kind}));
        ASSERT_TRUE(page.xml);
        const ResultXml r = readResult(page.xml);
        ASSERT_TRUE(r.wellFormed) << page.xml;
        EXPECT_EQ(r.firstAlts, c.words) << page.xml;
        EXPECT_EQ(r.count("TD"), c.cells) << page.xml;
    }
}

TEST(PageText, ANumberedListOfThreeItems) {
    Page page;
    PageInk ink;
    ink.write("1. apples\n2. pears\n3. plums", 100, 100);
    ASSERT_EQ(page.run(ink), 0);
    const ResultXml r = readResult(page.xml);
    ASSERT_TRUE(r.wellFormed) << page.xml;
    const std::string xml = page.xml;
    EXPECT_NE(xml.find("<P><List Type=\"1.\" Start=\"1\"><LI><Line id=\"0\">"), std::string::npos)
        << xml;
    EXPECT_EQ(r.count("List"), 1) << xml;
    EXPECT_EQ(r.count("LI"), 3) << xml;
    EXPECT_NE(xml.find("</Line></LI></List></P>"), std::string::npos) << xml;
}

TEST(PageText, Lists) {
    const struct {
        const char* text;
        const char* opening;  // how the list starts
        int items;
    } cases[] = {
        {"a) one\nb) two\nc) six\nd) ten\ne) cat\nf) dog\ng) sun\nh) map",
         "<P><List Type=\"a)\" Start=\"a\"><LI>", 8},
        {"A. one\nB. two\nC. six\nD. ten", "<P><List Type=\"A.\" Start=\"A\"><LI>", 4},
        {"a one\nb two\nc six", "<P><List Type=\"a_\" Start=\"a\"><LI>", 3},
        {"- apples\n- pears\n- plums", "<P><List Type=\"-_\"><LI>", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Page page;
        PageInk ink;
        ink.write(c.text, 100, 100);
        ASSERT_EQ(page.run(ink), 0);
        const ResultXml r = readResult(page.xml);
        ASSERT_TRUE(r.wellFormed) << page.xml;
        const std::string xml = page.xml;
        EXPECT_EQ(xml.find(c.opening), xml.find("<P>")) << xml;
        EXPECT_EQ(r.count("List"), 1) << xml;
        EXPECT_EQ(r.count("LI"), c.items) << xml;
    }
}

TEST(PageText, ASingleNumberedLineIsNoList) {
    Page page;
    PageInk ink;
    ink.write("1) apples\nand pears", 100, 100);
    ASSERT_EQ(page.run(ink), 0);
    EXPECT_EQ(readResult(page.xml).count("List"), 0) << page.xml;
}

TEST(PageText, ParagraphBreakAndUnderline) {
    Page page;
    PageInk ink;
    ink.write("some words here", 100, 350);
    ink.draw({{100, 356}, {230, 356}});  // under "some"
    ink.write("the end\nof it", 100, 418);
    // Well below, yet in the same band: a paragraph of its own.
    ink.write("new page", 100, 595);
    ASSERT_EQ(page.run(ink), 0);
    const ResultXml r = readResult(page.xml);
    ASSERT_TRUE(r.wellFormed) << page.xml;
    const std::string xml = page.xml;
    EXPECT_EQ(page.bandKinds(), (std::vector<int>{kGroupText})) << xml;
    EXPECT_EQ(r.styles, (std::vector<std::string>{"U"})) << xml;
    EXPECT_NE(xml.find("<Word id=\"0\"><Conf>"), std::string::npos);
    EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"some", "words", "here", "the", "end", "of",
                                                     "it", "new", "page"}))
        << xml;
    EXPECT_NE(xml.find("</Line><Line id=\"0\"/></P><P><Line id=\"3\">"), std::string::npos)
        << "the wide gap ends the paragraph: " << xml;
    EXPECT_EQ(r.count("P"), 2) << xml;
}

TEST(PageText, AOneStrokeLineIsWrittenWithoutItsWordInTextButKeptInCells) {
    Page page;
    PageInk ink;
    ink.write("hello\no\nworld", 100, 100);
    ASSERT_EQ(page.run(ink), 0);
    auto* text = static_cast<CTextGroup*>(page.root()->children.get(0));
    ASSERT_EQ(text->lines.count(), 3) << page.xml;
    EXPECT_FALSE(text->lines.get(0)->noWords);
    EXPECT_TRUE(text->lines.get(1)->noWords);
    EXPECT_NE(std::string(page.xml).find("<Line id=\"1\"></Line>"), std::string::npos) << page.xml;
}

TEST(PageLines, WordToleranceAndLineFinding) {
    COmbraSession session(nullptr, nullptr, nullptr);
    ASSERT_EQ(session.init(0), 0);
    CTextGroup group(&session);
    for (int32_t h : {20, 22, 24, 60})
        group.wordList.append(new _LSTRAPEZ{0, 10, 0, h, 0, h, h, 0, nullptr});
    EXPECT_EQ(group.groupTolerance(), 22);

    // One stroke, one line; letter-sized strokes far apart, two lines.
    std::vector<std::unique_ptr<COmbraStroke>> strokes;
    auto stroke = [&](std::vector<int32_t> xy) {
        const Ombra_STROKE r = {0, static_cast<int32_t>(xy.size() / 2), 1, 0, 0, 0, 0, xy.data()};
        strokes.emplace_back(COmbraStroke::make(r));
        return strokes.back().get();
    };
    const COmbraStroke* a = stroke({0, 0, 10, 30, 20, 0, 30, 30});
    const COmbraStroke* b = stroke({300, 0, 310, 30, 320, 0, 330, 30});
    const COmbraStroke* c = stroke({40, 0, 50, 30, 60, 0, 70, 30});
    std::vector<int> lineOf;
    LineFinder finder(LineFinder::tolerance(30, 32), 32);
    EXPECT_EQ(finder.find({a}, lineOf), 1);
    EXPECT_EQ(lineOf, (std::vector<int>{0}));
    EXPECT_EQ(finder.find({a, b}, lineOf), 2);
    EXPECT_EQ(finder.find({a, c}, lineOf), 1) << "the next letter joins";
}

}  // namespace

namespace {

TEST(PageLines, EnvelopesAndGapsBetweenWordLines) {
    std::vector<EnvelopePoint> lower = {{0, 0}, {10, 5}, {20, 0}}, upper = lower;
    EXPECT_EQ(envelope(lower, 1), 3);
    EXPECT_EQ(envelope(upper, -1), 2);
    EXPECT_EQ(upper[1].x, 20);

    // Words side by side, not overlapping in x: the box gap plus the separation.
    _LSTRAPEZ a = {0, 100, 0, 30, 0, 30, 30, 0, nullptr};
    _LSTRAPEZ b = {150, 250, 50, 80, 50, 80, 30, 1, nullptr};
    _LSLINE up, down;
    up.words.append(&a);
    up.top = 0;
    up.bottom = 30;
    down.words.append(&b);
    down.top = 50;
    down.bottom = 80;
    EXPECT_EQ(lineGap(up, down).least, 20 + 50);
    // One above the other: sampled between the boundaries.
    _LSTRAPEZ c = {0, 100, 60, 90, 70, 100, 30, 1, nullptr};
    _LSLINE below;
    below.words.append(&c);
    const LineGap g = lineGap(up, below);
    EXPECT_EQ(g.least, 30);
    EXPECT_GE(g.mean, 30);
}

TEST(PageLines, ALineOfBoxedStrokesIsNoText) {
    COmbraSession session(nullptr, nullptr, nullptr);
    ASSERT_EQ(session.init(0), 0);
    CTextGroup group(&session);
    CTextUnit* words[2];
    _LSLINE* lines[2];
    for (int l = 0; l < 2; ++l) {
        lines[l] = new _LSLINE;
        words[l] = new CTextUnit(&session);
        group.addUnit(words[l]);
        for (int s = 0; s < 3; ++s) {
            const int32_t x = 40 * s, y = 100 * l;
            const int32_t xy[6] = {x, y, x + 20, y + 30, x + 30, y};
            const Ombra_STROKE r = {s, 3, 1, 0, 0, 0, 0, xy};
            ASSERT_EQ(session.addStroke(COmbraStroke::make(r)), 0);
            COmbraStroke* stroke = session.stroke(session.ink.count() - 1);
            // The first line: every stroke boxed by a loop, none text-like.
            stroke->textFlag = l == 1;
            stroke->boxedMark = l == 0 ? 15 : 0;
            words[l]->addStroke(session.ink.count() - 1);
        }
        const int32_t y = 100 * l;
        lines[l]->words.append(new _LSTRAPEZ{0, 110, y, y + 30, y, y + 30, 30, 3 * l, words[l]});
        lines[l]->top = y;
        lines[l]->bottom = y + 30;
        lines[l]->height = 30;
        group.lines.append(lines[l]);
        group.wordList.append(lines[l]->words.get(0));
    }
    group.markContent();
    EXPECT_FALSE(lines[0]->content)
        << "boxed term (k/2 + 15k + 40k)/k - 40 = 15, then 3 x 15 - 14 = 31";
    EXPECT_TRUE(lines[1]->content);
}

}  // namespace

namespace {

TEST(PageText, AShortMarkReadWithAWordBecomesItsUnderlineOrStrike) {
    for (bool strike : {false, true}) {
        SCOPED_TRACE(strike ? "strike" : "underline");
        Page page;
        PageInk ink;
        ink.write("some", 100, 100, 20, 5);
        const size_t first = ink.size();
        ink.write("cat", 220, 100, 20, 6);
        int32_t left = INT32_MAX, right = INT32_MIN;
        for (size_t i = first; i < ink.size(); ++i)
            for (int k = 0; k < ink.strokes()[i].count; ++k) {
                left = std::min(left, ink.strokes()[i].points[2 * k]);
                right = std::max(right, ink.strokes()[i].points[2 * k]);
            }
        const int32_t y = strike ? 90 : 104;
        ink.draw({{left - 2, y}, {right + 2, y}});
        ASSERT_EQ(page.run(ink), 0);
        // Read first as "cat_" with the mark, the word is read again without it.
        const ResultXml r = readResult(page.xml);
        ASSERT_TRUE(r.wellFormed) << page.xml;
        EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"some", "cat"})) << page.xml;
        EXPECT_EQ(r.styles, (std::vector<std::string>{strike ? "S" : "U"})) << page.xml;
    }
}

}  // namespace

namespace {

TEST(PageTables, AFramedTableWithRulingsBecomesCells) {
    Page page;
    PageInk ink;
    ink.draw({{100, 100}, {900, 100}, {900, 400}, {100, 400}, {100, 100}});
    ink.draw({{500, 100}, {500, 400}});
    ink.draw({{100, 250}, {900, 250}});
    ink.write("cat", 200, 200, 20, 1);
    ink.write("dog", 600, 200, 20, 2);
    ink.write("sun", 200, 350, 20, 3);
    ink.write("map", 600, 350, 20, 4);
    ASSERT_EQ(page.run(ink), 0);
    const ResultXml r = readResult(page.xml);
    ASSERT_TRUE(r.wellFormed) << page.xml;
    ASSERT_EQ(page.bandKinds(), std::vector<int>{kGroupTable}) << page.xml;
    EXPECT_EQ(r.count("TD"), 4) << page.xml;
    EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"cat", "dog", "sun", "map"})) << page.xml;
}

}  // namespace

namespace {

// A group of hand-made lines, one word each: the word's strokes carry the
// given attribute and width values, its trapezoid the given left end.
struct MadeLines {
    COmbraSession session{nullptr, nullptr, nullptr};
    CTextGroup group{&session};
    std::vector<_LSLINE*> lines;

    struct Line {
        int32_t attribute, width, left;
    };
    explicit MadeLines(const std::vector<Line>& made) {
        EXPECT_EQ(session.init(0), 0);
        for (size_t l = 0; l < made.size(); ++l) {
            const int32_t y = 60 * static_cast<int32_t>(l);
            auto* word = new CTextUnit(&session);
            group.addUnit(word);
            for (int k = 0; k < 2; ++k) {
                const int32_t x = made[l].left + 30 * k;
                const int32_t xy[4] = {x, y, x + 20, y + 30};
                const Ombra_STROKE r = {k, 2, made[l].width, made[l].attribute, 0, 0, 0, xy};
                EXPECT_EQ(session.addStroke(COmbraStroke::make(r)), 0);
                word->addStroke(session.ink.count() - 1);
            }
            auto* line = new _LSLINE;
            line->words.append(new _LSTRAPEZ{made[l].left, made[l].left + 50, y, y + 30, y, y + 30,
                                             30, static_cast<int32_t>(2 * l), word});
            line->top = y;
            line->bottom = y + 30;
            line->height = 30;
            group.lines.append(line);
            group.wordList.append(line->words.get(0));
            lines.push_back(line);
        }
    }
};

TEST(PageParagraphs, StyleChangesAndIndents) {
    const struct {
        const char* what;
        std::vector<MadeLines::Line> lines;
        bool styleChange, indent;  // of the second line, of the first
    } cases[] = {
        {"the same values", {{4, 2, 100}, {4, 2, 100}}, false, false},
        {"another attribute", {{4, 2, 100}, {5, 2, 100}}, true, false},
        {"another width", {{4, 2, 100}, {4, 3, 100}}, true, false},
        {"negative values other than -1 are values", {{-2, 2, 100}, {-3, 2, 100}}, true, false},
        {"-1 is none", {{-1, 2, 100}, {5, 2, 100}}, false, false},
        {"the first line starts 46 right of the next", {{4, 2, 146}, {4, 2, 100}}, false, true},
        {"45 right is no indent", {{4, 2, 145}, {4, 2, 100}}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MadeLines made(c.lines);
        made.group.markParagraphs();
        EXPECT_EQ(made.lines[1]->styleChange, c.styleChange);
        EXPECT_EQ(made.lines[0]->indent, c.indent);
        EXPECT_FALSE(made.lines[0]->styleChange) << "the first line has none before it";
    }
}

TEST(PageLines, LinesThatArePiecesOfOneAnotherMerge) {
    auto line = [](int64_t l, int64_t r, int64_t top, int64_t bottom) {
        LineTrapezoid t;
        t.xLeft = l;
        t.xRight = r;
        t.topLeft = t.topRight = top;
        t.bottomLeft = t.bottomRight = bottom;
        return t;
    };
    const struct {
        const char* what;
        std::vector<LineTrapezoid> lines;
        std::vector<int> merged;
    } cases[] = {
        {"a piece inside a longer line", {line(0, 400, 0, 30), line(100, 200, 5, 35)}, {0, 0}},
        {"a longer line over an earlier piece",
         {line(100, 200, 5, 35), line(0, 400, 0, 30)},
         {0, 0}},
        {"a piece that goes on where the other ends",
         {line(0, 100, 0, 30), line(110, 200, 2, 32)},
         {0, 0}},
        {"more than 2b apart", {line(0, 30, 0, 30), line(200, 230, 0, 30)}, {0, 1}},
        {"side by side but one above the other",
         {line(0, 100, 0, 30), line(110, 200, 100, 130)},
         {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<int> merged;
        const int n = mergeLines(c.lines, 20, merged);
        EXPECT_EQ(merged, c.merged);
        EXPECT_EQ(n, *std::max_element(c.merged.begin(), c.merged.end()) + 1);
    }
}

TEST(PageLines, WordsGroupIntoLines) {
    // Words as trapezoids (x range, top, bottom), in writing order.
    struct Word {
        int32_t left, right, top, bottom;
    };
    const struct {
        const char* what;
        std::vector<Word> words;
        std::vector<std::vector<int>> lines;  // the words of each line, in order
    } cases[] = {
        {"two words side by side", {{0, 60, 0, 30}, {80, 140, 0, 30}}, {{0, 1}}},
        {"a word far below opens a line at the end",
         {{0, 60, 0, 30}, {80, 140, 0, 30}, {0, 60, 300, 330}},
         {{0, 1}, {2}}},
        {"a word between two lines joins them",
         {{0, 60, 0, 30}, {300, 360, 60, 90}, {150, 210, 30, 60}},
         {{0, 2, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        COmbraSession session(nullptr, nullptr, nullptr);
        ASSERT_EQ(session.init(0), 0);
        CTextGroup group(&session);
        std::vector<std::unique_ptr<_LSTRAPEZ>> owned;
        for (size_t i = 0; i < c.words.size(); ++i) {
            const Word& w = c.words[i];
            owned.emplace_back(new _LSTRAPEZ{w.left, w.right, w.top, w.bottom, w.top, w.bottom,
                                             w.bottom - w.top, static_cast<int32_t>(i), nullptr});
            group.wordList.append(owned.back().get());
        }
        group.tolerance = 30;
        ASSERT_EQ(group.groupWordsIntoLines(), static_cast<int>(c.lines.size()));
        for (size_t l = 0; l < c.lines.size(); ++l) {
            std::vector<int> got;
            for (int k = 0; k < group.lines.get(static_cast<int>(l))->words.count(); ++k)
                for (size_t i = 0; i < owned.size(); ++i)
                    if (group.lines.get(static_cast<int>(l))->words.get(k) == owned[i].get())
                        got.push_back(static_cast<int>(i));
            EXPECT_EQ(got, c.lines[l]) << "line " << l;
        }
        group.wordList.clear();  // the trapezoids are the test's
    }
}

}  // namespace

namespace {

TEST(PageLists, ASmallLoopBeforeEachLineIsABullet) {
    // Three lines, each a one-stroke word read as no marker (a loop gone round
    // three times, or once) and a word.
    for (int turns : {3, 1}) {
        SCOPED_TRACE(turns);
        COmbraSession session(nullptr, nullptr, nullptr);
        ASSERT_EQ(session.init(0), 0);
        CTextGroup group(&session);
        auto word = [&](std::initializer_list<const char*> alts, std::vector<int32_t> xy) {
            auto* w = new CTextUnit(&session);
            group.addUnit(w);
            for (const char* text : alts) {
                TextAlternative& alt = w->alts[w->altCount++];
                for (int k = 0; text[k]; ++k) alt.text[k] = static_cast<uint8_t>(text[k]);
            }
            const Ombra_STROKE r = {0,        static_cast<int32_t>(xy.size() / 2), 2, 0, 0, 0, 0,
                                    xy.data()};
            EXPECT_EQ(session.addStroke(COmbraStroke::make(r)), 0);
            w->addStroke(session.ink.count() - 1);
            return w;
        };
        std::vector<CTextUnit*> bullets;
        for (int l = 0; l < 3; ++l) {
            const int32_t y = 60 * l;
            std::vector<int32_t> loop;
            for (int k = 0; k <= 16 * turns; ++k)
                loop.insert(loop.end(), {10 + int32_t(lround(6 * cos(k * 0.3927))),
                                         y + 15 + int32_t(lround(6 * sin(k * 0.3927)))});
            bullets.push_back(word({"Q", "D", "*"}, loop));
            CTextUnit* text = word({"apples"}, {40, y, 60, y + 30, 80, y});
            auto* line = new _LSLINE;
            line->words.append(
                new _LSTRAPEZ{4, 16, y + 9, y + 21, y + 9, y + 21, 12, 2 * l, bullets.back()});
            line->words.append(new _LSTRAPEZ{40, 80, y, y + 30, y, y + 30, 30, 2 * l + 1, text});
            line->top = y;
            line->bottom = y + 30;
            line->height = 30;
            group.lines.append(line);
            group.wordList.append(line->words.get(0));
            group.wordList.append(line->words.get(1));
        }
        group.markLists();
        const _LSLINE* first = group.lines.get(0);
        if (turns == 1) {
            EXPECT_FALSE(first->listStart) << "a loop gone round once is too short a path";
            continue;
        }
        EXPECT_TRUE(first->listStart);
        EXPECT_EQ(first->listType, kListBullets);
        EXPECT_EQ(first->markerStyle, kMarkerBlank);
        for (int l = 0; l < 3; ++l) EXPECT_TRUE(group.lines.get(l)->itemStart) << l;
        EXPECT_TRUE(group.lines.get(2)->listEnd);
        EXPECT_EQ(bullets[0]->alts[0].text[0], '*') << "the last alternative comes first";
    }
}

}  // namespace

namespace {

TEST(PageLines, PassesOverABrokenLineListFail) {
    MadeLines made({{4, 2, 100}, {4, 2, 100}});
    made.group.lines.append(nullptr);
    EXPECT_FALSE(made.group.sortLines());
    EXPECT_FALSE(made.group.markUnderlines());
    EXPECT_EQ(made.group.reRecognizeMarkedWords(), 1);
    EXPECT_FALSE(made.group.removeUnderlineWords());
    made.group.lines.remove(2);
    EXPECT_TRUE(made.group.sortLines());
    EXPECT_TRUE(made.group.markUnderlines());
    EXPECT_EQ(made.group.reRecognizeMarkedWords(), 0);
    EXPECT_TRUE(made.group.removeUnderlineWords());
}

// Breaks the line list of the page's text band from the progress callback,
// which recognize calls between its passes: at the given call counted from
// the first that finds the words grouped into lines, a missing line is added
// to the list, or a missing word to its first line.
struct LineListBreak {
    COmbraSession* session;
    int atCall;
    bool missingWord;
    int seen = 0;
};

int OMBRA_API breakLineList(Ombra_PROGRESS* progress) {
    auto* b = reinterpret_cast<LineListBreak*>(progress->userData);
    COmbraGroup* root = b->session->root;
    for (int i = 0; root && i < root->children.count(); ++i) {
        COmbraGroup* child = root->children.get(i);
        if (!child || child->groupKind != kGroupText) continue;
        auto* text = static_cast<CTextGroup*>(child);
        if (!text->lines.count() || ++b->seen != b->atCall) continue;
        if (b->missingWord)
            text->lines.get(0)->words.append(nullptr);
        else
            text->lines.append(nullptr);
    }
    return 0;
}

TEST(PageLines, ABrokenLineListIsReportedByThePassThatMeetsItAndTheLinesAreStillWritten) {
    // Recognize calls the callback before sorting the lines (1), before the
    // second reading of marked words (2) and before removing underline words
    // (3). Sorting looks at the lines only, so a missing word is first met by
    // the underline pass.
    const struct {
        const char* what;
        int atCall;
        bool missingWord;
        int code;
    } cases[] = {
        {"an intact list", 0, false, 0},
        {"sorting meets a missing line", 1, false, 112},
        {"marking underlines meets a missing word", 1, true, 113},
        {"the second reading meets a missing line", 2, false, 114},
        {"the second reading meets a missing word", 2, true, 114},
        {"removing underline words meets a missing line", 3, false, 115},
        {"removing underline words meets a missing word", 3, true, 115},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Page page;
        LineListBreak b{reinterpret_cast<COmbraSession*>(page.session), c.atCall, c.missingWord};
        ASSERT_EQ(Ombra_SetExtraSessionParameters(page.session, OMBRA_PARAM_PROGRESS,
                                                  reinterpret_cast<intptr_t>(&breakLineList),
                                                  reinterpret_cast<intptr_t>(&b)),
                  0);
        PageInk ink;
        ink.write("hello\nthe cat", 100, 100);
        EXPECT_EQ(page.run(ink), c.code);
        EXPECT_GE(b.seen, c.atCall) << "the list was broken where meant";
        // The words of the lines left whole are written with the failure.
        ASSERT_TRUE(page.xml);
        const ResultXml r = readResult(page.xml);
        ASSERT_TRUE(r.wellFormed) << page.xml;
        EXPECT_EQ(r.count("Line"), 2) << page.xml;
        EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"hello", "the", "cat"})) << page.xml;
    }
}

TEST(PageLines, AStrokeTheSessionDoesNotHoldIsLeftOutOrReported) {
    Page page;
    PageInk ink;
    ink.write("cat", 100, 100);
    ASSERT_EQ(ink.addTo(page.session, Ombra_AddStroke), 0);
    COmbraSession* session = reinterpret_cast<COmbraSession*>(page.session);
    const int missing = static_cast<int>(ink.size()) + 3;
    // Recognize filters the strokes first and drops the missing one there:
    // the others are read and nothing is reported.
    CTextGroup group(session);
    for (int i = 0; i < static_cast<int>(ink.size()); ++i) group.addStroke(i);
    group.addStroke(missing);
    lastError() = 0;
    EXPECT_EQ(group.recognize(), 0);
    EXPECT_EQ(lastError(), 0);
    CCharArray out;
    group.writeXml(out, 0);
    EXPECT_EQ(readResult(out.text()).firstAlts, std::vector<std::string>{"cat"}) << out.text();
    // Handed to the line reader it stops the reading before any line.
    CTextGroup bare(session);
    for (int i = 0; i < static_cast<int>(ink.size()); ++i) bare.addStroke(i);
    std::vector<int> kept;
    for (int i = 0; i < static_cast<int>(ink.size()); ++i) kept.push_back(i);
    kept.push_back(missing);
    EXPECT_EQ(bare.recognizeLines(kept), 5);
    EXPECT_EQ(lastError(), 106);
    EXPECT_EQ(bare.units.count(), 0);
}

}  // namespace
