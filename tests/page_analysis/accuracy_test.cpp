// Accuracy of the page analysis over 200 generated pages: how many bands are
// classified as they were made, how many text bands get their number of lines,
// how many written words are read back and how many lists are found whole. The rates are printed;
// the test fails when they fall below what the analysis reaches today.
#include <gtest/gtest.h>

#include <cstdio>

#include "LinkedEngines.h"
#include "Ombra.h"
#include "PageGenerator.h"
#include "ResultXml.h"
#include "Session.h"
#include "TextGroup.h"
#include "TextUnit.h"

namespace {

using namespace ombra;

// The words a band was read as: the first alternative of each word of its
// text groups (the band's own, a table's cells, a chart's labels).
void wordsOf(const COmbraGroup* group, std::vector<std::string>& out) {
    if (group->groupKind == kGroupText) {
        const auto* text = static_cast<const CTextGroup*>(group);
        for (int l = 0; l < text->lines.count(); ++l)
            for (int w = 0; w < text->lines.get(l)->words.count(); ++w) {
                const CTextUnit* word = text->lines.get(l)->words.get(w)->word;
                std::string s;
                for (int k = 0; k < kAltTextUnits && word->alts[0].text[k]; ++k)
                    s += static_cast<char>(word->alts[0].text[k]);
                out.push_back(s);
            }
    }
    for (int c = 0; c < group->children.count(); ++c) wordsOf(group->children.get(c), out);
}

TEST(PageAccuracy, TwoHundredGeneratedPages) {
    engines::Scope scope;
    OMBRA_CONTEXT context = nullptr;
    ASSERT_EQ(Ombra_CreateContext(&context), 0);
    int bands = 0, bandsRight = 0, textBands = 0, linesRight = 0, words = 0, wordsRight = 0;
    int pagesRight = 0, wellFormed = 0, textLines = 0, contentLines = 0, lists = 0, listsRight = 0;
    const int pages = 200;
    for (int p = 0; p < pages; ++p) {
        const MadePage made = makePage(1000 + p);
        OMBRA_SESSION s = nullptr;
        ASSERT_EQ(Ombra_OpenSession(context, &s, 0), 0);
        ASSERT_EQ(made.ink.addTo(s, Ombra_AddStroke), 0);
        const char* xml = nullptr;
        ASSERT_EQ(Ombra_Recognize(s, &xml), 0) << "page " << p;
        wellFormed += readResult(xml).wellFormed;
        const COmbraGroup* root = reinterpret_cast<COmbraSession*>(s)->root;
        bool pageRight = root->children.count() == static_cast<int>(made.bands.size());
        for (size_t b = 0; b < made.bands.size(); ++b) {
            const MadeBand& want = made.bands[b];
            const COmbraGroup* got =
                b < static_cast<size_t>(root->children.count()) ? root->children.get(b) : nullptr;
            ++bands;
            const bool kindRight = got && got->groupKind == want.kind;
            bandsRight += kindRight;
            pageRight = pageRight && kindRight;
            if (want.kind == kGroupText) {
                ++textBands;
                linesRight +=
                    kindRight && static_cast<const CTextGroup*>(got)->lines.count() == want.lines;
                int starts = 0, items = 0;
                if (kindRight) {
                    const auto* text = static_cast<const CTextGroup*>(got);
                    for (int l = 0; l < text->lines.count(); ++l) {
                        ++textLines;
                        contentLines += text->lines.get(l)->content;
                        starts += text->lines.get(l)->listStart;
                        items += text->lines.get(l)->itemStart;
                    }
                }
                // A list is found whole as one list of all its items; a band
                // without one must show none.
                lists += want.listItems > 0;
                listsRight += want.listItems > 0 && starts == 1 && items == want.listItems;
                EXPECT_TRUE(want.listItems > 0 || starts == 0) << "page " << p << " band " << b;
            }
            std::vector<std::string> read;
            if (got) wordsOf(got, read);
            for (size_t w = 0; w < want.words.size(); ++w) {
                ++words;
                wordsRight += w < read.size() && read[w] == want.words[w];
            }
        }
        pagesRight += pageRight;
        Ombra_CloseSession(s);
    }
    Ombra_CloseContext(context);
    const double bandRate = 100.0 * bandsRight / bands, lineRate = 100.0 * linesRight / textBands;
    const double wordRate = 100.0 * wordsRight / words;
    std::printf("pages %d (all bands right: %d), well-formed results %d\n", pages, pagesRight,
                wellFormed);
    std::printf("band classification: %d of %d (%.1f%%)\n", bandsRight, bands, bandRate);
    std::printf("line finding: %d of %d text bands (%.1f%%)\n", linesRight, textBands, lineRate);
    std::printf("words read back: %d of %d (%.1f%%)\n", wordsRight, words, wordRate);
    std::printf("text lines written as text: %d of %d\n", contentLines, textLines);
    std::printf("lists found whole: %d of %d\n", listsRight, lists);
    EXPECT_EQ(wellFormed, pages);
    EXPECT_GE(bandRate, 95.0);
    EXPECT_GE(lineRate, 95.0);
    EXPECT_GE(wordRate, 90.0);
    EXPECT_GE(contentLines * 100, textLines * 95);
    EXPECT_GT(lists, 20);
    EXPECT_GE(listsRight * 100, lists * 90);
}

}  // namespace
