// The handwriting generator and the recognizer's reading of a writing's
// geometry (lines, late marks, the writing line, word gaps), which the
// accuracy of everything else rests on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "CharForms.h"
#include "Handwriting.h"
#include "Segmenter.h"
#include "TestSupport.h"

namespace {

using handwriting::Options;
using handwriting::Variation;
using handwriting::Writing;

Writing writeWith(const std::string& text, uint32_t seed, Variation v = Variation::moderate()) {
    Options o;
    o.seed = seed;
    o.variation = v;
    return handwriting::write(text, o);
}

// ---- Generator ---------------------------------------------------------------------

TEST(Handwriting, TheSameSeedWritesTheSameInk) {
    const auto a = writeWith("Hello world", 7).pointList();
    const auto b = writeWith("Hello world", 7).pointList();
    const auto c = writeWith("Hello world", 8).pointList();
    ASSERT_EQ(a.size(), b.size());
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(),
                           [](PSO_POINT p, PSO_POINT q) { return p.x == q.x && p.y == q.y; }));
    EXPECT_FALSE(a.size() == c.size() &&
                 std::equal(a.begin(), a.end(), c.begin(),
                            [](PSO_POINT p, PSO_POINT q) { return p.x == q.x && p.y == q.y; }));
}

TEST(Handwriting, EveryCharacterWithAFormCanBeWritten) {
    EXPECT_TRUE(handwriting::canWrite(vexa::recognizableCharacters()));
    EXPECT_FALSE(handwriting::canWrite("caf\xE9"));
    const Writing w = writeWith("caf\xE9", 1);
    EXPECT_EQ(w.skipped, 1u);
    EXPECT_EQ(w.chars.size(), 3u);
}

TEST(Handwriting, CharactersOwnTheirStrokesAndRunLeftToRightLineByLine) {
    const std::string text = "The quick brown\nfox: 42%";
    for (uint32_t seed : {1u, 2u, 3u}) {
        const Writing w = writeWith(text, seed, Variation::careless());
        std::string written;
        std::vector<int> owner(w.strokes.size(), -1);
        for (size_t c = 0; c < w.chars.size(); ++c) {
            written += static_cast<char>(w.chars[c].ch);
            for (int s : w.chars[c].strokes) {
                ASSERT_EQ(owner[s], -1) << "stroke " << s << " written twice";
                owner[s] = static_cast<int>(c);
            }
            if (c > 0 && w.chars[c].line == w.chars[c - 1].line) {
                EXPECT_GT(w.chars[c].box.cx(), w.chars[c - 1].box.cx()) << text[c];
            }
        }
        EXPECT_EQ(written, "Thequickbrownfox:42%");
        EXPECT_EQ(std::count(owner.begin(), owner.end(), -1), 0);
        EXPECT_EQ(w.chars.back().line, 1);
    }
}

TEST(Handwriting, ThePointListClosesEveryStrokeAndHoldsNoMarkers) {
    const Writing w = writeWith("ink, dots; i j!", 5, Variation::careless());
    const auto pts = w.pointList();
    size_t separators = 0;
    for (const PSO_POINT& p : pts) {
        if (p.x == 30000 && p.y == -1) {
            ++separators;
            continue;
        }
        EXPECT_GE(p.x, 0);
        EXPECT_GE(p.y, 0);
    }
    EXPECT_EQ(separators, w.strokes.size());
    EXPECT_EQ(w.pointList(false).size(), pts.size() - separators);
}

TEST(Handwriting, ASteadyHandWritesAtTheGivenSizeOnTheBaseline) {
    Options o;
    o.variation = Variation::none();
    o.xHeight = 40;
    o.originY = 300;
    const Writing w = handwriting::write("xo", o);
    for (const auto& c : w.chars) {
        EXPECT_NEAR(c.box.b, 300, 1.5);
        EXPECT_NEAR(c.box.height(), 40, 1.5);
    }
}

TEST(Handwriting, LettersWrittenApartKeepClearGaps) {
    Options o;
    o.separateLetters = true;
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        o.seed = seed;
        const Writing w = handwriting::write("WORDS", o);
        for (size_t c = 1; c < w.chars.size(); ++c)
            EXPECT_GT(w.chars[c].box.l - w.chars[c - 1].box.r, 0.3 * o.xHeight);
    }
}

// Joined writing: the small letters of a word share one stroke and their
// marks (dots, bars, second strokes) come after it; a capital, a digit or a
// blank breaks the joint.
TEST(Handwriting, JoinedLettersShareTheirMainStrokeAndMarksComeAfterTheWord) {
    struct Case {
        const char* text;
        size_t strokes;  // all of the writing
    } cases[] = {
        {"minimum", 3},  // the word and the dots of its two i
        {"tax", 3},      // the word, the bar of the t, the second stroke of the x
        {"kit cat", 5},  // k-i-t with a dot and a bar, c-a-t with a bar
        {"Ohio", 3},     // the O stands apart; h-i-o joined, the dot after
        {"ab2", 2},      // a-b joined, the digit alone
    };
    for (const Case& c : cases) {
        Options o;
        o.joined = 1;
        const Writing w = handwriting::write(c.text, o);
        EXPECT_EQ(w.strokes.size(), c.strokes) << c.text;
        for (size_t k = 0; k + 1 < w.chars.size(); ++k) {
            const auto &a = w.chars[k], &b = w.chars[k + 1];
            const bool small = a.ch >= 'a' && a.ch <= 'z' && b.ch >= 'a' && b.ch <= 'z';
            EXPECT_EQ(a.joinedToNext, small && std::string(c.text).find(' ') != k + 1) << c.text;
            if (a.joinedToNext) {
                EXPECT_EQ(a.strokes[0], b.strokes[0]) << c.text;
            }
        }
    }
}

// Other forms: most characters come out in a form the recognizer was not
// given, and every character still gets written.
TEST(Handwriting, OtherFormsAreMostlyNotTheRecognizersOwn) {
    Options o;
    o.forms = handwriting::FormChoice::Other;
    const std::string text = "adgqwmtfxkE ABDEFGHKMNPRTWY 14578";
    int other = 0, total = 0;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        o.seed = seed;
        const Writing w = handwriting::write(text, o);
        EXPECT_EQ(w.skipped, 0u);
        for (const auto& c : w.chars) {
            ++total;
            other += !c.ownForm;
        }
        o.forms = handwriting::FormChoice::Own;
        for (const auto& c : handwriting::write(text, o).chars) EXPECT_TRUE(c.ownForm);
        o.forms = handwriting::FormChoice::Other;
    }
    EXPECT_GT(other, total * 3 / 5);
}

#ifdef HANDWRITE_TOOL
TEST(HandwriteTool, PrintsStrokesInScreenPixelsAndXdotoolScripts) {
    const std::string tool = HANDWRITE_TOOL;
    const std::string plain =
        vt::runTool(tool + " --seed 3 --x 100 --y 200 --height 14 'hi there'");
    Options o;
    o.seed = 3;
    const Writing w = handwriting::write("hi there", o);
    EXPECT_EQ(static_cast<size_t>(std::count(plain.begin(), plain.end(), '\n')), w.strokes.size());
    int x = 0, y = 0;
    ASSERT_EQ(std::sscanf(plain.c_str(), "%d,%d", &x, &y), 2);
    EXPECT_NEAR(x, 100, 20);
    EXPECT_NEAR(y, 200, 25);

    const std::string script = vt::runTool(tool + " --seed 3 --xdotool --pause-ms 0 'hi there'");
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = script.find(what); at != std::string::npos; at = script.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("mousedown 1"), w.strokes.size());
    EXPECT_EQ(count("mouseup 1"), w.strokes.size());
    EXPECT_EQ(script.compare(0, 10, "mousemove "), 0);
    EXPECT_NE(std::system((tool + " 'caf\xE9' >/dev/null 2>&1").c_str()), 0)
        << "a character without a form is refused";
}
#endif

// ---- Geometry of a writing -----------------------------------------------------------

std::vector<vexa::Polyline> strokesOf(const Writing& w) {
    std::vector<vexa::Polyline> out;
    for (const auto& s : w.strokes) {
        vexa::Polyline p;
        for (vexa::Pt q : s) p.push_back({std::round(q.x), std::round(q.y)});
        out.push_back(p);
    }
    return out;
}

TEST(Segmenter, LinesComeInWritingOrderAndStrokesStayInTheirLine) {
    struct Case {
        const char* text;
        size_t lines;
    };
    const Case cases[] = {{"one line only", 1}, {"two\nlines", 2}, {"Iowan", 1},      {"=", 1},
                          {"Edge\nTo", 2},      {"ab\ncd\nef", 3}, {"I'm\nAT\n&T", 3}};
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed <= 20; ++seed) {
            const Writing w = writeWith(c.text, seed);
            const auto lines = vexa::segmentWriting(strokesOf(w), {});
            ASSERT_EQ(lines.size(), c.lines) << c.text << " seed " << seed;
            for (size_t l = 0; l < lines.size(); ++l)
                for (const auto& s : lines[l].strokes) {
                    const auto owner =
                        std::find_if(w.chars.begin(), w.chars.end(), [&](const auto& ch) {
                            return std::count(ch.strokes.begin(), ch.strokes.end(), s.input) > 0;
                        });
                    EXPECT_EQ(owner->line, static_cast<int>(l)) << c.text << " seed " << seed;
                }
        }
    }
}

TEST(Segmenter, LateDotsAndBarsGoBackBesideTheirLetter) {
    Variation v = Variation::moderate();
    v.delayedMarks = 1;  // every i and j dot, every t and f bar after its word
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        const Writing w = writeWith("little fifties", seed, v);
        std::vector<int> owner(w.strokes.size());
        for (size_t c = 0; c < w.chars.size(); ++c)
            for (int s : w.chars[c].strokes) owner[s] = static_cast<int>(c);
        const auto lines = vexa::segmentWriting(strokesOf(w), {});
        ASSERT_EQ(lines.size(), 1u);
        // In the recognizer's order each letter's strokes follow one another.
        std::vector<int> order;
        for (const auto& s : lines[0].strokes) order.push_back(owner[s.input]);
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << "seed " << seed;
    }
}

TEST(Segmenter, TheWritingLineIsFoundAndDoubtedWhenAllLettersAreOneHeight) {
    Options o;
    o.variation = Variation::none();
    const auto hello = vexa::segmentWriting(strokesOf(handwriting::write("Hello", o)), {});
    ASSERT_EQ(hello.size(), 1u);
    ASSERT_EQ(hello[0].frames.size(), 1u) << "capitals and small letters tell the x-height";
    EXPECT_NEAR(hello[0].frames[0].xHeight, o.xHeight, 0.1 * o.xHeight);
    EXPECT_NEAR(hello[0].frames[0].base, o.originY, 0.1 * o.xHeight);
    for (const char* same : {"sox", "SOX"}) {
        const auto lines = vexa::segmentWriting(strokesOf(handwriting::write(same, o)), {});
        ASSERT_EQ(lines[0].frames.size(), 2u) << same << ": small letters or capitals?";
        const float a = lines[0].frames[0].xHeight, b = lines[0].frames[1].xHeight;
        EXPECT_NEAR(std::max(a, b) / std::min(a, b), vexa::kCapRatio, 0.05) << same;
    }
}

TEST(Segmenter, GapsAreWordBreaksRelativeToTheLettersOwnSize) {
    struct Case {
        double wordGap;
        bool soft;
        size_t pieces;
        bool doubtful;
    };
    const Case cases[] = {{1.4, false, 2, false}, {0.65, false, 2, true}, {0.65, true, 1, false}};
    for (const Case& c : cases) {
        for (double size : {20.0, 56.0, 300.0}) {  // the unit of the ink does not matter
            Options o;
            o.variation = Variation::none();
            o.variation.wordGap = c.wordGap;
            o.variation.wordGapJitter = 0;
            o.xHeight = size;
            vexa::SegmentOptions so;
            so.softBreaksOnly = c.soft;
            const auto lines =
                vexa::segmentWriting(strokesOf(handwriting::write("big cat", o)), so);
            ASSERT_EQ(lines.size(), 1u);
            ASSERT_EQ(lines[0].pieces.size(), c.pieces) << c.wordGap << " at " << size;
            if (c.pieces == 2) {
                EXPECT_EQ(lines[0].gaps[0].doubtful, c.doubtful) << c.wordGap;
            }
        }
    }
}

}  // namespace
