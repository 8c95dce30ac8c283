// The PSO_ interface as the program and the page analysis drive it: sessions,
// answers, extra answer data, lexicons, user dictionaries, session flags, and
// every bad argument answered with the failure value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace {

using vt::Context;
using vt::kDefaultFlags;

const PsoApi& api() { return *pso(); }

std::vector<PSO_POINT> strokeOf(std::initializer_list<PSO_POINT> pts, PSO_POINT end = {30000, -1}) {
    std::vector<PSO_POINT> out(pts);
    out.push_back(end);
    return out;
}

// ---- Recognizer information ----------------------------------------------------

TEST(RecognizerInfo, AnswersEveryKindTheCallersAskFor) {
    char buffer[512];
    ASSERT_EQ(api().GetRecognizerInfo(2, buffer), PSO_OK);
    EXPECT_LT(std::strlen(buffer), static_cast<size_t>(PSO_INFO_BUFFER))
        << "the page analysis hands over 64 bytes";
    EXPECT_NE(std::strstr(buffer, "VexaScript(R)"), nullptr) << buffer;
    ASSERT_EQ(api().GetRecognizerInfo(1, buffer), PSO_OK);
    EXPECT_EQ(std::strncmp(buffer, "VexaScript ", 11), 0) << buffer;
    ASSERT_EQ(api().GetRecognizerInfo(3, buffer), PSO_OK);
    for (const char* c = "azAZ09.,?"; *c; ++c) EXPECT_NE(std::strchr(buffer, *c), nullptr) << *c;
    EXPECT_EQ(api().GetRecognizerInfo(99, buffer), PSO_ERR_NOT_SUPPORTED);
    EXPECT_EQ(api().GetRecognizerInfo(2, nullptr), PSO_ERR_BAD_ARG);
}

// ---- Bad arguments ---------------------------------------------------------------

// A context with one recognized word (block 0, alternative 0 exist), a
// dictionary, and a deleted context.
class BadArguments : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto r = vt::recognize(live, vt::ink("house", 3), kDefaultFlags);
        ASSERT_EQ(r.blocks.size(), 1u);
        dict = api().AddUserDictToRecContext(live, nullptr);
        ASSERT_NE(dict, nullptr);
        dead = api().CreateRecognitionContext();
        ASSERT_EQ(api().DeleteRecognitionContext(dead), PSO_OK);
        PSO_HRC other = otherContext;
        foreignDict = api().AddUserDictToRecContext(other, nullptr);
    }

    Context live;
    Context otherContext{""};
    PSO_HRC dead = nullptr;
    PSO_HUSERDICT dict = nullptr, foreignDict = nullptr;
};

struct BadCall {
    const char* what;
    int32_t expected;
    std::function<int32_t(PSO_HRC live, PSO_HRC dead, PSO_HUSERDICT dict, PSO_HUSERDICT foreign)>
        call;
};

int32_t dictResult(PSO_HUSERDICT d) { return d ? 0 : -1; }

TEST_F(BadArguments, AreAnsweredWithTheFailureValue) {
    const PSO_SESSION_START start{0, kDefaultFlags};
    const std::vector<PSO_POINT> ink = strokeOf({{10, 10}, {20, 30}});
    const std::vector<PSO_POINT> onlyMarks = {{30000, -1}, {30000, -2}, {30000, -3}, {0, -1}};
    static char text[PSO_TEXT_BUFFER];
    static PSO_WCHAR wtext[PSO_TEXT_BUFFER];
    static int32_t ints[256];
    static PSO_POINT pts[8];
    static PSO_CHAR_INFO info[4];
    static char big[4096];
    const PSO_GUIDE smallGuide{12, 0, 0, 10, 10, 0};
    const PSO_GUIDE flatGuide{24, 0, 0, 10, 0, 0};
    auto cb = [](const char*, void*) -> int32_t { return 1; };
    const std::vector<BadCall> calls = {
        {"delete null", PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) { return api().DeleteRecognitionContext(nullptr); }},
        {"delete twice", PSO_ERR_NO_CONTEXT,
         [&](auto, auto d, auto, auto) { return api().DeleteRecognitionContext(d); }},
        {"start null context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) { return api().StartRecognitionSession(nullptr, &start); }},
        {"start deleted context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto d, auto, auto) { return api().StartRecognitionSession(d, &start); }},
        {"start null record", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().StartRecognitionSession(l, nullptr); }},
        {"end null context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) { return api().EndRecognitionSession(nullptr); }},
        {"end deleted context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto d, auto, auto) { return api().EndRecognitionSession(d); }},
        {"end without a session", PSO_ERR_FAILED,
         [&](auto l, auto, auto, auto) { return api().EndRecognitionSession(l); }},
        {"ink null context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) {
             return api().AddInkToRecSession(nullptr, ink.data(), 3, 0, nullptr, 0);
         }},
        {"ink deleted context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto d, auto, auto) {
             return api().AddInkToRecSession(d, ink.data(), 3, 0, nullptr, 0);
         }},
        {"ink without a session", PSO_ERR_FAILED,
         [&](auto l, auto, auto, auto) {
             return api().AddInkToRecSession(l, ink.data(), 3, 0, nullptr, 0);
         }},
        {"ink negative count", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().AddInkToRecSession(l, ink.data(), -1, 0, nullptr, 0);
         }},
        {"ink null points with a count", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().AddInkToRecSession(l, nullptr, 3, 0, nullptr, 0);
         }},
        {"ink points with count 0", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().AddInkToRecSession(l, ink.data(), 0, 0, nullptr, 0);
         }},
        {"extra null context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) { return api().SetExtraSessionParameters(nullptr, 1, 0); }},
        {"extra null guide", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().SetExtraSessionParameters(l, PSO_EXTRA_GUIDE, 0);
         }},
        {"extra guide of the wrong size", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().SetExtraSessionParameters(l, PSO_EXTRA_GUIDE,
                                                    reinterpret_cast<intptr_t>(&smallGuide));
         }},
        {"extra guide without height", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().SetExtraSessionParameters(l, PSO_EXTRA_GUIDE,
                                                    reinterpret_cast<intptr_t>(&flatGuide));
         }},
        {"extra unknown kind", PSO_ERR_NOT_SUPPORTED,
         [&](auto l, auto, auto, auto) { return api().SetExtraSessionParameters(l, 77, 0); }},
        {"blocks null context", -PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) { return api().GetNumAnswerBlocks(nullptr); }},
        {"alternatives block -1", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetNumWordsInAnswerBlock(l, -1); }},
        {"alternatives block out of range", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetNumWordsInAnswerBlock(l, 1); }},
        {"alternatives deleted context", -PSO_ERR_NO_CONTEXT,
         [&](auto, auto d, auto, auto) { return api().GetNumWordsInAnswerBlock(d, 0); }},
        {"word null text", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlock(l, 0, 0, nullptr, nullptr, nullptr, nullptr, 0);
         }},
        {"word block out of range", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlock(l, 5, 0, text, nullptr, nullptr, nullptr, 0);
         }},
        {"word alternative out of range", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlock(l, 0, 99, text, nullptr, nullptr, nullptr, 0);
         }},
        {"word alternative -1", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlock(l, 0, -1, text, nullptr, nullptr, nullptr, 0);
         }},
        {"word strokes without a count", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlock(l, 0, 0, text, nullptr, ints, nullptr, 256);
         }},
        {"word negative room", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             int32_t n;
             return api().GetWordFromAnswerBlock(l, 0, 0, text, nullptr, ints, &n, -1);
         }},
        {"word null context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) {
             return api().GetWordFromAnswerBlock(nullptr, 0, 0, text, nullptr, nullptr, nullptr, 0);
         }},
        {"wide word null text", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlockW(l, 0, 0, nullptr, nullptr, nullptr, nullptr, 0);
         }},
        {"wide word block out of range", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().GetWordFromAnswerBlockW(l, 3, 0, wtext, nullptr, nullptr, nullptr, 0);
         }},
        {"confidence null out", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetAnswerConfidence(l, 0, nullptr); }},
        {"confidence block out of range", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetAnswerConfidence(l, 9, ints); }},
        {"extra data null context", -1,
         [&](auto, auto, auto, auto) {
             return api().GetExtraAnswerData(nullptr, 0, 0, PSO_EXTRA_ALT_VALUES, 0, ints);
         }},
        {"extra data block out of range", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 4, 0, PSO_EXTRA_ALT_VALUES, 0, ints);
         }},
        {"extra data alternative out of range", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 0, 99, PSO_EXTRA_ALT_VALUES, 0, ints);
         }},
        {"extra data null buffer", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_ALT_VALUES, 0, nullptr);
         }},
        {"part out of range", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_PART_STROKE_COUNT, 5, ints);
         }},
        {"part strokes null buffer", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_PART_STROKES, 0, nullptr);
         }},
        {"extra data unknown request", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 0, 0, 4242, 0, ints);
         }},
        {"check word of 80 bytes", -1,
         [&](auto l, auto, auto, auto) {
             std::memset(text, 'a', sizeof text);
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_CHECK_WORD, 0, text);
         }},
        {"check word null buffer", -1,
         [&](auto l, auto, auto, auto) {
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_CHECK_WORD, 0, nullptr);
         }},
        {"variants without room", -1,
         [&](auto l, auto, auto, auto) {
             std::strcpy(big, "house");
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_WORD_VARIANTS, 0, big);
         }},
        {"variants of an empty word", -1,
         [&](auto l, auto, auto, auto) {
             big[0] = 0;
             return api().GetExtraAnswerData(l, 0, 0, PSO_EXTRA_WORD_VARIANTS, 3, big);
         }},
        {"strokes null context", -PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto, auto) { return api().GetNumStrokes(nullptr); }},
        {"stroke length out of range", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetStrokeLen(l, 1000); }},
        {"stroke into too little room", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetStroke(l, 0, pts, 1); }},
        {"stroke -1", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetStroke(l, -1, pts, 8); }},
        {"baseline null points", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetRecWordBaseline(l, 0, 0, nullptr); }},
        {"baseline block out of range", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetRecWordBaseline(l, 2, 0, pts); }},
        {"line info block out of range", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetAnswerLineInfo(l, 2, ints, ints); }},
        {"character info block out of range", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetAnsBlockLowLevelInfo(l, 2, info, 4); }},
        {"character info negative room", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().GetAnsBlockLowLevelInfo(l, 0, info, -4); }},
        {"lexicon null bytes", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().AddLexGeneratorToRecContext(l, nullptr, 40);
         }},
        {"lexicon length 0", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().AddLexGeneratorToRecContext(l, big, 0); }},
        {"lexicon of garbage", PSO_ERR_FAILED,
         [&](auto l, auto, auto, auto) {
             std::memset(big, 0x5A, 400);
             return api().AddLexGeneratorToRecContext(l, big, 400);
         }},
        {"lexicon deleted context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto d, auto, auto) { return api().AddLexGeneratorToRecContext(d, big, 40); }},
        {"dictionary null context", -1,
         [&](auto, auto, auto, auto) {
             return dictResult(api().AddUserDictToRecContext(nullptr, nullptr));
         }},
        {"dictionary deleted context", -1,
         [&](auto, auto d, auto, auto) {
             return dictResult(api().AddUserDictToRecContext(d, nullptr));
         }},
        {"dump null context", -PSO_ERR_NO_CONTEXT,
         [&](auto, auto, auto d, auto) {
             return api().DumpUserDictToMemoryBuffer(nullptr, d, nullptr);
         }},
        {"dump of no dictionary", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().DumpUserDictToMemoryBuffer(l, nullptr, nullptr);
         }},
        {"dump of another context's dictionary", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto f) {
             return api().DumpUserDictToMemoryBuffer(l, f, nullptr);
         }},
        {"features of no dictionary", -PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) {
             return api().UserDict_Features(l, reinterpret_cast<PSO_HUSERDICT>(big), nullptr);
         }},
        {"add null word", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto d, auto) { return api().UserDict_AddWord(l, d, nullptr); }},
        {"add empty word", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto d, auto) { return api().UserDict_AddWord(l, d, ""); }},
        {"add word of 80 bytes", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto d, auto) {
             std::memset(big, 'w', 80);
             big[80] = 0;
             return api().UserDict_AddWord(l, d, big);
         }},
        {"add word with a leading blank", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto d, auto) { return api().UserDict_AddWord(l, d, " word"); }},
        {"add word with a control byte", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto d, auto) { return api().UserDict_AddWord(l, d, "wo\trd"); }},
        {"add to another context's dictionary", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto f) { return api().UserDict_AddWord(l, f, "word"); }},
        {"clear no dictionary", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().UserDict_Clear(l, nullptr); }},
        {"enumerate without a callback", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto d,
             auto) { return api().UserDict_EnumWords(l, d, nullptr, nullptr); }},
        {"enumerate deleted context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto dd, auto d, auto) { return api().UserDict_EnumWords(dd, d, cb, nullptr); }},
        {"remove from a deleted context", PSO_ERR_NO_CONTEXT,
         [&](auto, auto dd, auto d, auto) { return api().RemoveUserDictFromRecContext(dd, d); }},
        {"remove no dictionary", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto) { return api().RemoveUserDictFromRecContext(l, nullptr); }},
        {"remove another context's dictionary", PSO_ERR_BAD_ARG,
         [&](auto l, auto, auto, auto f) { return api().RemoveUserDictFromRecContext(l, f); }},
    };
    for (const BadCall& c : calls)
        EXPECT_EQ(c.call(live, dead, dict, foreignDict), c.expected) << c.what;
    // The session's answers are still there after all of it.
    EXPECT_EQ(vt::answers(live).size(), 1u);
}

TEST_F(BadArguments, InkOfMarkersOnlyIsRefusedAndTakesNothing) {
    const PSO_SESSION_START start{0, kDefaultFlags};
    ASSERT_EQ(api().StartRecognitionSession(live, &start), PSO_OK);
    const std::vector<std::vector<PSO_POINT>> inks = {
        {{30000, -1}}, {{30000, -1}, {0, -1}, {30000, -2}}, {{30000, -3}}, {{12, -1}, {30000, -2}}};
    for (const auto& ink : inks) {
        int32_t added = 77;
        EXPECT_EQ(api().AddInkToRecSession(live, ink.data(), static_cast<int32_t>(ink.size()), 0,
                                           &added, 0),
                  PSO_ERR_FAILED);
        EXPECT_EQ(added, 0);
    }
    EXPECT_EQ(api().GetNumStrokes(live), 0);
}

// ---- Ink ----------------------------------------------------------------------------

struct InkCase {
    const char* name;
    std::vector<PSO_POINT> points;
    int32_t strokes;  // taken
};

TEST(Ink, SeparatorsMarkersAndLimitsAreHonoured) {
    const std::vector<InkCase> cases = {
        {"no separator: one stroke", {{10, 10}, {20, 20}, {30, 10}}, 1},
        {"program separators",
         {{10, 10}, {20, 20}, {30000, -1}, {40, 10}, {50, 30}, {30000, -1}},
         2},
        {"page analysis separators", {{10, 10}, {20, 20}, {0, -1}, {40, 10}, {0, -1}}, 2},
        {"shifted separator x", {{10, 10}, {20, 20}, {29000, -1}, {40, 10}}, 2},
        {"finish marker closes", {{10, 10}, {20, 20}, {30000, -2}, {40, 10}, {50, 20}}, 2},
        {"live-ink marker skipped", {{10, 10}, {30000, -3}, {20, 20}, {30000, -1}}, 1},
        {"leading and doubled separators", {{0, -1}, {0, -1}, {5, 5}, {0, -1}, {0, -1}, {6, 9}}, 2},
        {"one point", {{100, 100}}, 1},
        {"corners of the range",
         {{-32768, -32768}, {32767, 32767}, {30000, -1}, {32767, -32768}, {-32768, 32767}},
         2},
        {"a long spike", {{0, 0}, {32767, 0}, {0, 1}, {32767, 2}, {-32768, 3}}, 1},
        {"all points equal", {{7, 7}, {7, 7}, {7, 7}, {7, 7}}, 1},
    };
    for (const InkCase& c : cases) {
        Context ctx;
        const PSO_SESSION_START start{0, kDefaultFlags};
        ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
        int32_t added = -1;
        EXPECT_EQ(api().AddInkToRecSession(ctx, c.points.data(),
                                           static_cast<int32_t>(c.points.size()), 0, &added, 0),
                  PSO_OK)
            << c.name;
        EXPECT_EQ(added, c.strokes) << c.name;
        EXPECT_EQ(api().GetNumStrokes(ctx), c.strokes) << c.name;
        EXPECT_EQ(api().EndRecognitionSession(ctx), PSO_OK) << c.name;
        // Whatever was read covers every stroke once.
        std::vector<int32_t> seen;
        for (const auto& b : vt::answers(ctx))
            seen.insert(seen.end(), b.strokes.begin(), b.strokes.end());
        std::sort(seen.begin(), seen.end());
        ASSERT_EQ(seen.size(), static_cast<size_t>(c.strokes)) << c.name;
        for (int32_t i = 0; i < c.strokes; ++i) EXPECT_EQ(seen[i], i) << c.name;
    }
}

TEST(Ink, MuchInkIsReadWithoutLosingAStroke) {
    handwriting::Options o;
    o.xHeight = 30;
    o.originY = 100;
    std::string text;
    for (int i = 0; i < 5; ++i) text += "the quick brown fox jumps over the lazy dog again\n";
    const std::vector<PSO_POINT> paragraph = handwriting::write(text, o).pointList();
    std::vector<PSO_POINT> pile;  // 600 scribbled strokes over one spot
    for (int i = 0; i < 600; ++i) {
        for (int k = 0; k < 6; ++k)
            pile.push_back({static_cast<int16_t>(500 + (i * 7 + k * 13) % 40),
                            static_cast<int16_t>(500 + (i * 11 + k * 5) % 40)});
        pile.push_back({30000, -1});
    }
    struct Case {
        const char* what;
        const std::vector<PSO_POINT>& ink;
        uint32_t flags;
    };
    const Case cases[] = {
        {"paragraph", paragraph, kDefaultFlags},
        {"paragraph as one line", paragraph, kDefaultFlags | PSO_SF_ONE_LINE},
        {"paragraph as one word", paragraph, 0},
        {"pile", pile, kDefaultFlags},
        {"pile of separate letters", pile, kDefaultFlags | PSO_SF_SEPARATE_LETTERS}};
    Context ctx;
    for (const Case& c : cases) {
        const auto r = vt::recognize(ctx, c.ink, c.flags);
        ASSERT_EQ(r.status, PSO_OK) << c.what;
        std::vector<int32_t> seen;
        for (const auto& b : r.blocks) {
            seen.insert(seen.end(), b.strokes.begin(), b.strokes.end());
            for (const auto& a : b.alts) EXPECT_LE(a.text.size(), size_t{PSO_MAX_WORD_CHARS});
        }
        std::sort(seen.begin(), seen.end());
        const int32_t n = api().GetNumStrokes(ctx);
        ASSERT_EQ(seen.size(), static_cast<size_t>(n)) << c.what;
        for (int32_t i = 0; i < n; ++i) ASSERT_EQ(seen[i], i) << c.what;
    }
    EXPECT_EQ(vt::recognize(ctx, paragraph, kDefaultFlags).blocks.size(), 50u);
}

TEST(Ink, StrokesComeBackAsTheyWereAdded) {
    Context ctx;
    const PSO_SESSION_START start{0, kDefaultFlags};
    ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
    const auto a = strokeOf({{10, 10}, {12, 40}, {14, 80}});
    const auto b = strokeOf({{30, 10}, {60, 12}}, PSO_POINT{0, -1});
    ASSERT_EQ(api().AddInkToRecSession(ctx, a.data(), 4, 0, nullptr, 0), PSO_OK);
    ASSERT_EQ(api().AddInkToRecSession(ctx, b.data(), 3, 0, nullptr, 1), PSO_OK);
    ASSERT_EQ(api().GetNumStrokes(ctx), 2);
    EXPECT_EQ(api().GetStrokeLen(ctx, 0), 3);
    EXPECT_EQ(api().GetStroke(ctx, 1, nullptr, 0), 2);
    PSO_POINT back[3] = {};
    ASSERT_EQ(api().GetStroke(ctx, 0, back, 3), 3);
    EXPECT_EQ(back[2].x, 14);
    EXPECT_EQ(back[2].y, 80);
}

TEST(Ink, TooMuchInkIsRefusedWhole) {
    Context ctx;
    const PSO_SESSION_START start{0, kDefaultFlags};
    ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
    std::vector<PSO_POINT> dots;
    for (int i = 0; i < PSO_MAX_SESSION_STROKES; ++i) {
        dots.push_back({static_cast<int16_t>(i % 1000), static_cast<int16_t>(i / 1000 * 50)});
        dots.push_back({0, -1});
    }
    ASSERT_EQ(api().AddInkToRecSession(ctx, dots.data(), static_cast<int32_t>(dots.size()), 0,
                                       nullptr, 0),
              PSO_OK);
    const auto one = strokeOf({{1, 1}, {2, 2}});
    int32_t added = -1;
    EXPECT_EQ(api().AddInkToRecSession(ctx, one.data(), 3, 0, &added, 0), PSO_ERR_FAILED);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(api().GetNumStrokes(ctx), PSO_MAX_SESSION_STROKES);
}

// ---- Sessions as the program drives them -----------------------------------------

TEST(ProgramSession, ReadsAWordWithRankedAlternativesAndItsStrokes) {
    Context ctx;
    const auto r = vt::recognize(ctx, vt::ink("recognizer", 11), kDefaultFlags);
    ASSERT_EQ(r.status, PSO_OK);
    ASSERT_EQ(r.blocks.size(), 1u);
    const vt::Block& b = r.blocks[0];
    EXPECT_EQ(b.alts[0].text, "recognizer");
    ASSERT_GE(b.alts.size(), 2u);
    ASSERT_LE(b.alts.size(), static_cast<size_t>(PSO_MAX_ALTERNATIVES));
    for (size_t i = 0; i < b.alts.size(); ++i) {
        EXPECT_GE(b.alts[i].weight, 1);
        EXPECT_LE(b.alts[i].weight, 100);
        if (i) {
            EXPECT_LE(b.alts[i].weight, b.alts[i - 1].weight) << "best first";
        }
    }
    EXPECT_GE(b.alts[0].weight, 2) << "a clear reading is no weak block";
    const int32_t strokes = api().GetNumStrokes(ctx);
    ASSERT_EQ(b.strokes.size(), static_cast<size_t>(strokes));
    for (int32_t i = 0; i < strokes; ++i) EXPECT_EQ(b.strokes[i], i);
    // Less room than strokes: the first ones, and a count that says how many.
    char text[PSO_TEXT_BUFFER];
    int32_t few[3] = {-1, -1, -1}, count = -1;
    ASSERT_EQ(api().GetWordFromAnswerBlock(ctx, 0, 0, text, nullptr, few, &count, 2), PSO_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(few[1], 1);
    EXPECT_EQ(few[2], -1) << "nothing past the room";
}

TEST(ProgramSession, StrokesOneCallEachWithTheProgramSeparator) {
    handwriting::Options o;
    o.seed = 4;
    const handwriting::Writing w = handwriting::write("garden", o);
    Context ctx;
    const PSO_SESSION_START start{0, kDefaultFlags};
    ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
    for (size_t s = 0; s < w.strokes.size(); ++s) {
        const std::vector<PSO_POINT> pts = w.strokePoints(s);
        int32_t added = 0;
        ASSERT_EQ(api().AddInkToRecSession(ctx, pts.data(), static_cast<int32_t>(pts.size()), 0,
                                           &added, 0),
                  PSO_OK);
        EXPECT_EQ(added, 1);
    }
    ASSERT_EQ(api().EndRecognitionSession(ctx), PSO_OK);
    const auto blocks = vt::answers(ctx);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].alts[0].text, "garden");
    // The answers stay readable after the end, until the next start.
    EXPECT_EQ(api().GetNumAnswerBlocks(ctx), 1);
    const PSO_SESSION_START again{0, kDefaultFlags};
    ASSERT_EQ(api().StartRecognitionSession(ctx, &again), PSO_OK);
    EXPECT_EQ(api().GetNumAnswerBlocks(ctx), 0);
    EXPECT_EQ(api().GetNumStrokes(ctx), 0);
}

TEST(ProgramSession, WordsOfSeveralLinesComeInReadingOrder) {
    Context ctx;
    const auto r =
        vt::recognize(ctx, vt::ink("the quick brown\nfox jumps over", 21), kDefaultFlags);
    ASSERT_EQ(r.status, PSO_OK);
    EXPECT_EQ(r.text(), "the quick brown fox jumps over");
    ASSERT_EQ(r.blocks.size(), 6u);
    for (int32_t b = 0; b < 6; ++b) {
        int32_t line = -1, word = -1;
        ASSERT_EQ(api().GetAnswerLineInfo(ctx, b, &line, &word), PSO_OK);
        EXPECT_EQ(line, b / 3);
        EXPECT_EQ(word, b % 3);
    }
}

TEST(ProgramSession, PunctuationAndNumbersAroundWordsAndAtLineEnds) {
    const char* texts[] = {"Hello, world. It costs 25$ (or more)!", "Is it 558?\nYes: it is, 36.",
                           "Dear Sir,\nthe pen; the ink\nand the paper: 3 each."};
    Context ctx;
    for (const char* text : texts) {
        std::string expected = text;
        std::replace(expected.begin(), expected.end(), '\n', ' ');
        for (uint32_t seed : {5u, 6u})
            EXPECT_EQ(vt::recognize(ctx, vt::ink(text, seed), kDefaultFlags).text(), expected)
                << seed;
    }
}

TEST(ProgramSession, AnEmptySessionHasNoBlocks) {
    Context ctx;
    const auto r = vt::recognize(ctx, {}, kDefaultFlags);
    EXPECT_EQ(r.status, PSO_OK);
    EXPECT_TRUE(r.blocks.empty());
}

TEST(ProgramSession, CharacterInfoFollowsTheFirstAlternative) {
    Context ctx;
    const auto r = vt::recognize(ctx, vt::ink("kitten", 8), kDefaultFlags);
    ASSERT_EQ(r.text(), "kitten");
    ASSERT_EQ(api().GetAnsBlockLowLevelInfo(ctx, 0, nullptr, 0), 6);
    PSO_CHAR_INFO info[6];
    ASSERT_EQ(api().GetAnsBlockLowLevelInfo(ctx, 0, info, 6), 6);
    std::vector<int32_t> strokes;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(info[i].code, static_cast<unsigned char>("kitten"[i]));
        EXPECT_GT(info[i].score, 0);
        EXPECT_LT(info[i].left, info[i].right);
        strokes.insert(strokes.end(), info[i].strokes, info[i].strokes + info[i].strokeCount);
        if (i) {
            EXPECT_GT(info[i].left, info[i - 1].left) << "left to right";
        }
    }
    std::sort(strokes.begin(), strokes.end());
    EXPECT_EQ(strokes, r.blocks[0].strokes) << "each stroke in exactly one character";
}

TEST(ProgramSession, ProgressCallbackSeesTheWorkAndCanCancel) {
    struct Seen {
        int calls = 0;
        int32_t lastDone = 0, total = 0;
        intptr_t user = 0;
        bool cancel = false;
    };
    static Seen seen;
    auto callback = [](PSO_PROGRESS* p) -> int32_t {
        ++seen.calls;
        EXPECT_EQ(p->size, static_cast<int32_t>(sizeof(PSO_PROGRESS)));
        EXPECT_GE(p->done, seen.lastDone);
        seen.lastDone = p->done;
        seen.total = p->total;
        seen.user = p->userData;
        return seen.cancel ? 1 : 0;
    };
    const std::vector<PSO_POINT> ink = vt::ink("one two three", 2);
    for (bool cancel : {false, true}) {
        seen = Seen{};
        seen.cancel = cancel;
        Context ctx;
        const PSO_SESSION_START start{0, kDefaultFlags};
        ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
        ASSERT_EQ(api().SetExtraSessionParameters(ctx, PSO_EXTRA_PROGRESS,
                                                  reinterpret_cast<intptr_t>(+callback)),
                  PSO_OK);
        ASSERT_EQ(api().SetExtraSessionParameters(ctx, PSO_EXTRA_USER_DATA, 4711), PSO_OK);
        ASSERT_EQ(api().AddInkToRecSession(ctx, ink.data(), static_cast<int32_t>(ink.size()), 0,
                                           nullptr, 0),
                  PSO_OK);
        const int32_t end = api().EndRecognitionSession(ctx);
        EXPECT_EQ(seen.user, 4711);
        if (cancel) {
            EXPECT_EQ(end, PSO_ERR_CANCELLED);
            EXPECT_EQ(seen.calls, 1);
            EXPECT_EQ(api().GetNumAnswerBlocks(ctx), 0);
        } else {
            EXPECT_EQ(end, PSO_OK);
            EXPECT_EQ(seen.calls, 3) << "once per word";
            EXPECT_EQ(seen.lastDone, seen.total);
            EXPECT_EQ(api().GetNumAnswerBlocks(ctx), 3);
        }
    }
}

// ---- Sessions as the page analysis drives them ------------------------------------

TEST(PageSession, OneLineStrokeByStrokeThenTheEndOfInk) {
    handwriting::Options o;
    o.seed = 9;
    const handwriting::Writing w = handwriting::write("paper trail", o);
    Context ctx;
    const PSO_SESSION_START start{0, 3};  // a text line
    ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
    for (size_t s = 0; s < w.strokes.size(); ++s) {
        std::vector<PSO_POINT> pts = w.strokePoints(s);
        pts.back() = PSO_POINT{0, -1};
        ASSERT_EQ(
            api().AddInkToRecSession(ctx, pts.data(), static_cast<int32_t>(pts.size()), 0, 0, 1),
            PSO_OK);
    }
    ASSERT_EQ(api().AddInkToRecSession(ctx, nullptr, 0, 0, nullptr, 1), PSO_OK);
    ASSERT_EQ(api().GetNumAnswerBlocks(ctx), 2);
    const char* words[] = {"paper", "trail"};
    int32_t given = 0;
    for (int32_t b = 0; b < 2; ++b) {
        PSO_WCHAR text[PSO_TEXT_BUFFER];
        int32_t weight = 0, count = 0, strokes[128];
        ASSERT_EQ(api().GetWordFromAnswerBlockW(ctx, b, 0, text, &weight, strokes, &count, 128),
                  PSO_OK);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)),
                  std::u16string(words[b], words[b] + std::strlen(words[b])));
        given += count;
        int32_t confidence = -1;
        ASSERT_EQ(api().GetAnswerConfidence(ctx, b, &confidence), PSO_OK);
        EXPECT_GE(confidence, 0);
        EXPECT_LE(confidence, 100);
        int32_t values[2] = {-1, -1};
        ASSERT_EQ(api().GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_ALT_VALUES, 0, values), 2);
        EXPECT_EQ(values[0], PSO_SOURCE_LEXICON);
        EXPECT_GT(values[1], 0);
        ASSERT_EQ(api().GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_PART_COUNT, 0, nullptr), 1);
        const int32_t n =
            api().GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_PART_STROKE_COUNT, 0, nullptr);
        EXPECT_EQ(n, count);
        int32_t part[128];
        ASSERT_EQ(api().GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_PART_STROKES, 0, part), n);
        EXPECT_TRUE(std::equal(part, part + n, strokes));
    }
    EXPECT_EQ(given, static_cast<int32_t>(w.strokes.size()));
    EXPECT_EQ(api().EndRecognitionSession(ctx), PSO_OK);
    EXPECT_EQ(api().GetNumAnswerBlocks(ctx), 2) << "ending keeps the answers";
}

TEST(PageSession, BaselineLiesUnderTheWordAndADotIsOnePoint) {
    handwriting::Options o;
    o.seed = 12;
    o.variation = handwriting::Variation::none();
    const handwriting::Writing w = handwriting::write("minimum", o);
    Context ctx;
    auto r = vt::recognize(ctx, w.pointList(), 3);
    ASSERT_EQ(r.text(), "minimum");
    PSO_POINT line[4];
    ASSERT_EQ(api().GetRecWordBaseline(ctx, 0, 0, line), PSO_OK);
    const double hx = o.xHeight;
    for (int end = 0; end < 2; ++end) {
        const PSO_POINT top = line[2 * end], base = line[2 * end + 1];
        EXPECT_NEAR(base.y, o.originY, 0.15 * hx) << "baseline at the letters' feet";
        EXPECT_NEAR(base.y - top.y, hx, 0.15 * hx) << "small letters: the x-height";
    }
    EXPECT_LT(line[0].x, line[2].x);

    r = vt::recognize(ctx, vt::ink(".", 3), 3);
    ASSERT_EQ(r.text(), ".");
    ASSERT_EQ(api().GetRecWordBaseline(ctx, 0, 0, line), PSO_OK);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(line[i].x, line[0].x);
        EXPECT_EQ(line[i].y, line[0].y);
    }
}

// ---- Session flags ------------------------------------------------------------------

TEST(SessionFlags, WithoutWordSegmentationTheWritingIsOneWord) {
    Context ctx;
    EXPECT_EQ(vt::recognize(ctx, vt::ink("new york", 3), kDefaultFlags).text(), "new york");
    const auto r = vt::recognize(ctx, vt::ink("new york", 3), 0);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.blocks[0].alts[0].text, "newyork");
}

bool hasAny(const std::string& text, bool (*pred)(char)) {
    return std::any_of(text.begin(), text.end(), pred);
}
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSmall(char c) { return c >= 'a' && c <= 'z'; }
bool isCapital(char c) { return c >= 'A' && c <= 'Z'; }

TEST(SessionFlags, NumbersOnlyReadsDigitsAndNumberSigns) {
    Context words;
    Context numbers("numeric");             // the lexicon of the "#sys-numeric" profile
    const auto letters = vt::ink("lo", 6);  // shapes close to 1 and 0
    EXPECT_EQ(vt::recognize(words, letters, kDefaultFlags).text(), "lo");
    const std::string asNumber = vt::recognize(numbers, letters, kDefaultFlags).text();
    EXPECT_FALSE(hasAny(asNumber, isLetter)) << asNumber;
    EXPECT_EQ(asNumber.size(), 2u) << asNumber;
    const std::string flagged =
        vt::recognize(words, letters, kDefaultFlags | PSO_SF_NUMBERS_ONLY).text();
    EXPECT_FALSE(hasAny(flagged, isLetter)) << flagged;
    EXPECT_EQ(vt::recognize(numbers, vt::ink("O", 2), kDefaultFlags).text(), "0");
    EXPECT_EQ(vt::recognize(numbers, vt::ink("3.14", 2), kDefaultFlags).text(), "3.14");
    EXPECT_EQ(vt::recognize(numbers, vt::ink("2024", 3), kDefaultFlags).text(), "2024");
}

TEST(SessionFlags, CapitalsOrSmallLettersOnly) {
    Context ctx;
    EXPECT_EQ(vt::recognize(ctx, vt::ink("SOX", 4), kDefaultFlags | PSO_SF_CAPITALS_ONLY).text(),
              "SOX");
    const std::string caps =
        vt::recognize(ctx, vt::ink("sox", 4), kDefaultFlags | PSO_SF_CAPITALS_ONLY).text();
    EXPECT_FALSE(hasAny(caps, isSmall)) << caps;
    EXPECT_EQ(vt::recognize(ctx, vt::ink("sox", 4), kDefaultFlags | PSO_SF_SMALL_ONLY).text(),
              "sox");
    const std::string small =
        vt::recognize(ctx, vt::ink("SOX", 4), kDefaultFlags | PSO_SF_SMALL_ONLY).text();
    EXPECT_FALSE(hasAny(small, isCapital)) << small;
}

TEST(SessionFlags, AWordOutsideTheDictionariesIsAWeakBlockWhereWordsAreRequired) {
    Context ctx;
    const auto ink = vt::ink("qxzv", 7);
    auto r = vt::recognize(ctx, ink, kDefaultFlags);
    ASSERT_EQ(r.text(), "qxzv");
    EXPECT_GT(r.blocks[0].alts[0].weight, 1);
    r = vt::recognize(ctx, ink, kDefaultFlags | PSO_SF_LEXICON_ONLY);
    EXPECT_EQ(r.blocks[0].alts[0].weight, 1) << r.text();
    Context onlyUser("empty");  // the "empty" lexicon: only user dictionary words
    r = vt::recognize(onlyUser, vt::ink("house", 7), kDefaultFlags);
    EXPECT_EQ(r.blocks[0].alts[0].weight, 1);
    PSO_HUSERDICT d = api().AddUserDictToRecContext(onlyUser, nullptr);
    ASSERT_EQ(api().UserDict_AddWord(onlyUser, d, "house"), PSO_OK);
    r = vt::recognize(onlyUser, vt::ink("house", 7), kDefaultFlags);
    EXPECT_EQ(r.text(), "house");
    EXPECT_GT(r.blocks[0].alts[0].weight, 1);
}

TEST(SessionFlags, SeparateLettersInBoxesTellCapitalsFromSmallLetters) {
    Context ctx;
    const PSO_GUIDE guide = vt::letterBox();
    for (const char* letter : {"o", "O", "0", "s", "S", "x", "X"}) {
        const auto r =
            vt::recognize(ctx, vt::ink(letter, 3, handwriting::Variation::moderate(), true),
                          vt::kLetterBoxFlags, &guide);
        EXPECT_EQ(r.text(), letter);
    }
    const auto r = vt::recognize(ctx, vt::ink("HELLO", 3, handwriting::Variation::moderate(), true),
                                 PSO_SF_SEPARATE_LETTERS | PSO_SF_WORD_SEGMENTATION);
    EXPECT_EQ(r.text(), "HELLO");
}

TEST(SessionFlags, GateSettingsReadTheSameWords) {
    Context ctx;
    const auto ink = vt::ink("elephant", 13);
    for (uint32_t gate :
         {0u, static_cast<uint32_t>(PSO_SF_GATE_OFF), static_cast<uint32_t>(PSO_SF_GATE_WIDE)})
        EXPECT_EQ(vt::recognize(ctx, ink, kDefaultFlags | gate).text(), "elephant") << gate;
}

TEST(SessionFlags, AWordBrokenOverTwoLinesJoinsWhenOnlyTheJoinIsAWord) {
    Context ctx;
    const auto ink = vt::ink("transpor\ntation", 5);
    EXPECT_EQ(vt::recognize(ctx, ink, kDefaultFlags).blocks.size(), 2u);
    const auto r = vt::recognize(ctx, ink, kDefaultFlags | PSO_SF_MULTI_LINE_WORDS);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.text(), "transportation");
    EXPECT_EQ(api().GetExtraAnswerData(ctx, 0, 0, PSO_EXTRA_PART_COUNT, 0, nullptr), 2);
    // Two words on two lines stay two words.
    EXPECT_EQ(
        vt::recognize(ctx, vt::ink("under\nstand", 5), kDefaultFlags | PSO_SF_MULTI_LINE_WORDS)
            .blocks.size(),
        2u);
}

TEST(SessionFlags, SoftBreaksOnlyKeepsADoubtfulGapInsideTheWord) {
    handwriting::Options o;
    o.seed = 3;
    o.variation.wordGap = 0.65;  // between a letter gap and a word gap
    o.variation.wordGapJitter = 0;
    const auto ink = handwriting::write("big cat", o).pointList();
    Context ctx;
    EXPECT_EQ(vt::recognize(ctx, ink, kDefaultFlags).text(), "big cat") << "the lexicon splits it";
    const auto r = vt::recognize(ctx, ink, kDefaultFlags | PSO_SF_SOFT_BREAKS_ONLY);
    ASSERT_EQ(r.blocks.size(), 1u);
    EXPECT_EQ(r.text(), "bigcat");
}

TEST(SessionFlags, ExtraFlagsJoinTheStartFlagsUntilTheNextStart) {
    Context ctx;
    const auto ink = vt::ink("sox", 4);
    const PSO_SESSION_START start{0, kDefaultFlags};
    ASSERT_EQ(api().StartRecognitionSession(ctx, &start), PSO_OK);
    ASSERT_EQ(api().SetExtraSessionParameters(ctx, PSO_EXTRA_FLAGS, PSO_SF_CAPITALS_ONLY), PSO_OK);
    ASSERT_EQ(
        api().AddInkToRecSession(ctx, ink.data(), static_cast<int32_t>(ink.size()), 0, nullptr, 0),
        PSO_OK);
    ASSERT_EQ(api().EndRecognitionSession(ctx), PSO_OK);
    const std::string caps = vt::answers(ctx)[0].alts[0].text;
    EXPECT_FALSE(hasAny(caps, isSmall)) << caps;
    EXPECT_EQ(vt::recognize(ctx, ink, kDefaultFlags).text(), "sox") << "a new start forgets them";
}

// ---- Lexicon -----------------------------------------------------------------------------

TEST(Lexicon, ABadLexiconIsRefusedAndThePreviousOneStays) {
    Context ctx;
    std::vector<char> damaged = vt::lexicon("default");
    damaged[damaged.size() / 2] ^= 0x20;
    EXPECT_EQ(api().AddLexGeneratorToRecContext(ctx, damaged.data(),
                                                static_cast<int32_t>(damaged.size())),
              PSO_ERR_FAILED);
    EXPECT_EQ(api().AddLexGeneratorToRecContext(ctx, damaged.data(), 100), PSO_ERR_FAILED);
    char word[PSO_TEXT_BUFFER] = "house";
    ASSERT_EQ(api().GetExtraAnswerData(ctx, 0, 0, PSO_EXTRA_CHECK_WORD, 0, word), 0);
    int32_t known = 0;
    std::memcpy(&known, word, sizeof known);
    EXPECT_NE(known, 0);
}

TEST(Lexicon, WithoutALexiconWordsAreReadLetterByLetter) {
    Context none("");
    const auto r = vt::recognize(none, vt::ink("table", 2), kDefaultFlags);
    EXPECT_EQ(r.text(), "table");
    int32_t values[2];
    ASSERT_EQ(api().GetExtraAnswerData(none, 0, 0, PSO_EXTRA_ALT_VALUES, 0, values), 2);
    EXPECT_EQ(values[0], PSO_SOURCE_FREE);
}

bool knows(PSO_HRC ctx, const char* w) {
    char buffer[PSO_TEXT_BUFFER] = {};
    std::strcpy(buffer, w);
    if (api().GetExtraAnswerData(ctx, 0, 0, PSO_EXTRA_CHECK_WORD, 0, buffer) != 0) return false;
    int32_t known = 0;
    std::memcpy(&known, buffer, sizeof known);
    return known != 0;
}

TEST(Lexicon, CheckWordKnowsLexiconAndUserWordsAsWritten) {
    Context ctx;
    EXPECT_TRUE(knows(ctx, "house"));
    EXPECT_TRUE(knows(ctx, "Boston"));
    EXPECT_FALSE(knows(ctx, "boston")) << "as written";
    EXPECT_FALSE(knows(ctx, "Zorvane"));
    EXPECT_FALSE(knows(ctx, "dog's")) << "possessives are left out of the lexicon";
    EXPECT_FALSE(knows(ctx, ""));
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    ASSERT_EQ(api().UserDict_AddWord(ctx, d, "Zorvane"), PSO_OK);
    EXPECT_TRUE(knows(ctx, "Zorvane"));
    std::string longWord(PSO_MAX_WORD_CHARS, 'a');
    EXPECT_FALSE(knows(ctx, longWord.c_str())) << "79 characters are asked, and unknown";
}

TEST(Lexicon, WordVariantsAreNearWordsWithTheirSource) {
    Context ctx;
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    ASSERT_EQ(api().UserDict_AddWord(ctx, d, "hauser"), PSO_OK);
    const int32_t room = 6;
    std::vector<char> buffer(room * PSO_VARIANT_RECORD + 1, '\x7f');
    std::strcpy(buffer.data(), "hause");
    const int32_t n =
        api().GetExtraAnswerData(ctx, 0, 0, PSO_EXTRA_WORD_VARIANTS, room, buffer.data());
    ASSERT_GT(n, 0);
    ASSERT_LE(n, room);
    EXPECT_EQ(buffer[room * PSO_VARIANT_RECORD], '\x7f') << "nothing written past the room";
    std::vector<std::pair<std::string, int32_t>> found;
    for (int32_t i = 0; i < n; ++i) {
        const char* record = buffer.data() + i * PSO_VARIANT_RECORD;
        int32_t flag = 0;
        std::memcpy(&flag, record + PSO_TEXT_BUFFER, sizeof flag);
        found.push_back({record, flag});
        EXPECT_NE(found.back().first, "hause");
    }
    EXPECT_EQ(found[0], std::make_pair(std::string("hauser"), int32_t{PSO_SOURCE_USER_DICT}))
        << "one letter away, and the user's own";
    EXPECT_NE(std::find(found.begin(), found.end(),
                        std::make_pair(std::string("house"), int32_t{PSO_SOURCE_LEXICON})),
              found.end());
}

// ---- User dictionaries -------------------------------------------------------------

std::vector<uint8_t> dumpOf(PSO_HRC ctx, PSO_HUSERDICT d) {
    const int32_t size = api().DumpUserDictToMemoryBuffer(ctx, d, nullptr);
    EXPECT_GE(size, 0);
    std::vector<uint8_t> out(size > 0 ? size : 0);
    if (size > 0) {
        EXPECT_EQ(api().DumpUserDictToMemoryBuffer(ctx, d, out.data()), size);
    }
    return out;
}

// Bytes as a caller hands them over: ended by a NUL.
PSO_HUSERDICT addDict(PSO_HRC ctx, std::vector<uint8_t> bytes) {
    bytes.push_back(0);
    return api().AddUserDictToRecContext(ctx, bytes.data());
}

std::vector<std::string> wordsOf(PSO_HRC ctx, PSO_HUSERDICT d) {
    std::vector<std::string> words;
    auto collect = [](const char* w, void* p) -> int32_t {
        static_cast<std::vector<std::string>*>(p)->push_back(w);
        return 1;
    };
    EXPECT_EQ(api().UserDict_EnumWords(ctx, d, collect, &words), PSO_OK);
    return words;
}

TEST(UserDict, DumpAndLoadRoundTripTheWords) {
    Context ctx;
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    ASSERT_NE(d, nullptr);
    for (const char* w : {"Zorvane", "ink-blot", "café", "O'Hara", "New York", "Zorvane"})
        ASSERT_EQ(api().UserDict_AddWord(ctx, d, w), PSO_OK) << w;
    int32_t count = 0;
    EXPECT_EQ(api().UserDict_Features(ctx, d, &count),
              PSO_UDF_ADD | PSO_UDF_CLEAR | PSO_UDF_ENUM | PSO_UDF_DUMP);
    EXPECT_EQ(count, 5);
    const std::vector<uint8_t> dump = dumpOf(ctx, d);
    ASSERT_GE(dump.size(), 18u);
    EXPECT_EQ(std::string(dump.begin(), dump.begin() + 18), "Nubo dict v.1.01  ");

    EXPECT_EQ(std::find(dump.begin(), dump.end(), 0), dump.end()) << "a dump holds no NUL";

    Context other("");
    PSO_HUSERDICT back = addDict(other, dump);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(wordsOf(other, back), wordsOf(ctx, d));
    EXPECT_EQ(wordsOf(other, back).size(), 5u);
    EXPECT_EQ(dumpOf(other, back), dump);
}

TEST(UserDict, AnEmptyDictionaryDumpsNothingAndADumpFillsExactlyItsSize) {
    Context ctx;
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    EXPECT_EQ(api().DumpUserDictToMemoryBuffer(ctx, d, nullptr), 0);
    ASSERT_EQ(api().UserDict_AddWord(ctx, d, "Scribix"), PSO_OK);
    const int32_t size = api().DumpUserDictToMemoryBuffer(ctx, d, nullptr);
    ASSERT_GT(size, 18);
    std::vector<uint8_t> room(size + 16, 0xEE);
    EXPECT_EQ(api().DumpUserDictToMemoryBuffer(ctx, d, room.data()), size);
    EXPECT_EQ(std::vector<uint8_t>(room.begin() + size, room.end()), std::vector<uint8_t>(16, 0xEE))
        << "nothing written past the size it gave";
    ASSERT_EQ(api().UserDict_Clear(ctx, d), PSO_OK);
    EXPECT_EQ(api().DumpUserDictToMemoryBuffer(ctx, d, nullptr), 0);
}

TEST(UserDict, DamagedDumpsAndNonTextAreRefused) {
    Context ctx;
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    for (const char* w : {"alpha", "beta", "gamma"})
        ASSERT_EQ(api().UserDict_AddWord(ctx, d, w), PSO_OK);
    const std::vector<uint8_t> good = dumpOf(ctx, d);
    struct Damage {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Damage> cases;
    cases.push_back({"cut short by one byte", {good.begin(), good.end() - 1}});
    cases.push_back({"the header and a little", {good.begin(), good.begin() + 25}});
    cases.push_back({"a byte more", good});
    cases.back().bytes.push_back('x');
    cases.push_back({"a word changed", good});
    cases.back().bytes[good.size() - 3] ^= 1;
    cases.push_back({"the count changed", good});
    cases.back().bytes[18] += 1;
    cases.push_back({"binary noise", {0x01, 0xFF, 0x10, 0x02}});
    cases.push_back({"a text word of 80 bytes", std::vector<uint8_t>(80, 'q')});
    for (const Damage& c : cases) EXPECT_EQ(addDict(ctx, c.bytes), nullptr) << c.what;
    EXPECT_NE(addDict(ctx, good), nullptr);
    // The header alone is taken as a dump: an empty dictionary.
    PSO_HUSERDICT headerOnly = addDict(ctx, {good.begin(), good.begin() + 18});
    ASSERT_NE(headerOnly, nullptr);
    EXPECT_EQ(api().DumpUserDictToMemoryBuffer(ctx, headerOnly, nullptr), 0);
    // Nothing past the first NUL is read: a damaged dump behind it is not seen.
    std::vector<uint8_t> behind = {'a', 'b', 0};
    behind.insert(behind.end(), good.begin(), good.end() - 1);
    PSO_HUSERDICT front = addDict(ctx, behind);
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(wordsOf(ctx, front), std::vector<std::string>{"ab"});
}

TEST(UserDict, AnOldTextListIsTakenWordPerLine) {
    Context ctx;
    const std::string text = "Zorvane\r\n  ink-blot \nNew York\r\n\r\nZorvane\n17\xE9t\xE9";
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, text.c_str());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(wordsOf(ctx, d),
              (std::vector<std::string>{"17\xE9t\xE9", "New York", "Zorvane", "ink-blot"}));
}

// The program reloads a dictionary file after every change made in another
// profile: dropping the old copy first keeps the context below its limit.
TEST(UserDict, AThousandReloadsKeepTheWordsAndTheDictionaryFeature) {
    Context ctx;
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    ASSERT_EQ(api().UserDict_AddWord(ctx, d, "Zorvane"), PSO_OK);
    const std::vector<uint8_t> dump = dumpOf(ctx, d);
    ASSERT_FALSE(dump.empty());
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(api().RemoveUserDictFromRecContext(ctx, d), PSO_OK) << "reload " << i;
        d = addDict(ctx, dump);
        ASSERT_NE(d, nullptr) << "reload " << i;
    }
    EXPECT_EQ(wordsOf(ctx, d), std::vector<std::string>{"Zorvane"});
    EXPECT_TRUE(knows(ctx, "Zorvane"));

    // A dropped handle is dead, the word with it; the limit still holds for
    // dictionaries that are never dropped.
    PSO_HUSERDICT dropped = d;
    ASSERT_EQ(api().RemoveUserDictFromRecContext(ctx, dropped), PSO_OK);
    EXPECT_EQ(api().RemoveUserDictFromRecContext(ctx, dropped), PSO_ERR_BAD_ARG);
    EXPECT_EQ(api().UserDict_AddWord(ctx, dropped, "again"), PSO_ERR_BAD_ARG);
    EXPECT_EQ(api().DumpUserDictToMemoryBuffer(ctx, dropped, nullptr), -PSO_ERR_BAD_ARG);
    EXPECT_FALSE(knows(ctx, "Zorvane"));
    int held = 0;
    while (held < 100 && api().AddUserDictToRecContext(ctx, nullptr)) ++held;
    EXPECT_EQ(held, 64);
}

TEST(UserDict, EnumerationStopsWhenTheCallbackSaysSo) {
    Context ctx;
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    for (const char* w : {"a1", "b2", "c3", "d4"})
        ASSERT_EQ(api().UserDict_AddWord(ctx, d, w), PSO_OK);
    struct Walk {
        PSO_HRC ctx;
        PSO_HUSERDICT d;
        int calls;
    } walk{ctx, d, 0};
    auto twoThenStop = [](const char*, void* p) -> int32_t {
        Walk* w = static_cast<Walk*>(p);
        // Changing the dictionary during the walk is safe.
        api().UserDict_AddWord(w->ctx, w->d, "zz");
        return ++w->calls < 2;
    };
    EXPECT_EQ(api().UserDict_EnumWords(ctx, d, twoThenStop, &walk), PSO_OK);
    EXPECT_EQ(walk.calls, 2);
}

TEST(UserDict, AWordOutsideTheLexiconWrittenCarelesslyIsReadOnceAdded) {
    const char* word = "Zorvanix";  // not an English word
    Context ctx;
    std::vector<uint32_t> misread;
    for (uint32_t seed = 1; seed <= 40 && misread.size() < 5; ++seed)
        if (vt::recognize(ctx, vt::ink(word, seed, handwriting::Variation::careless()),
                          kDefaultFlags)
                .text() != word)
            misread.push_back(seed);
    ASSERT_FALSE(misread.empty()) << "careless writing of a non-word should be hard to read";
    PSO_HUSERDICT d = api().AddUserDictToRecContext(ctx, nullptr);
    ASSERT_EQ(api().UserDict_AddWord(ctx, d, word), PSO_OK);
    for (uint32_t seed : misread) {
        const auto r = vt::recognize(ctx, vt::ink(word, seed, handwriting::Variation::careless()),
                                     kDefaultFlags);
        EXPECT_EQ(r.text(), word) << "seed " << seed;
        int32_t values[2] = {};
        ASSERT_EQ(api().GetExtraAnswerData(ctx, 0, 0, PSO_EXTRA_ALT_VALUES, 0, values), 2);
        EXPECT_EQ(values[0], PSO_SOURCE_USER_DICT);
    }
}

// ---- Contexts -----------------------------------------------------------------------

TEST(Contexts, TwoThreadsReadOnTheirOwnContextsAtOnce) {
    auto work = [](const char* word, uint32_t seed, std::string* out) {
        Context ctx;
        std::string last;
        for (int i = 0; i < 3; ++i)
            last = vt::recognize(ctx, vt::ink(word, seed + i), kDefaultFlags).text();
        *out = last;
    };
    std::string a, b;
    std::thread t1(work, "window", 1u, &a), t2(work, "garden", 7u, &b);
    t1.join();
    t2.join();
    EXPECT_EQ(a, "window");
    EXPECT_EQ(b, "garden");
}

}  // namespace
