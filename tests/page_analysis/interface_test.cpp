// The library's outer face on the host, with the engines' cores linked behind
// the loading seam: contexts and their engines, the result codes of every
// export for each cause, the three session kinds end to end, and bad input.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Context.h"
#include "LinkedEngines.h"
#include "Ombra.h"
#include "PageInk.h"
#include "ResultXml.h"
#include "Session.h"
#include "ShapeUnit.h"

namespace {

const char kEmptyResult[] = "<Ombra_RESULT ver=\"1.28\"></Ombra_RESULT>";
const char kEmptyShapeResult[] = "<Ombra_RESULT  ver=\"1.28\"></Ombra_RESULT>";

struct Opened {
    OMBRA_CONTEXT context = nullptr;
    int createResult = -1;
    explicit Opened() { createResult = Ombra_CreateContext(&context); }
    ~Opened() {
        if (context) Ombra_CloseContext(context);
    }
    int open(int flags, OMBRA_SESSION* session) {
        return Ombra_OpenSession(context, session, flags);
    }
};

ombra::COmbraSession* core(OMBRA_SESSION s) { return reinterpret_cast<ombra::COmbraSession*>(s); }

// ---- contexts and engines ---------------------------------------------------

struct EngineCase {
    const char* what;
    engines::Knobs knobs;
    int create;                                                     // Ombra_CreateContext
    int page, pageNoShaper, recognizerOnly, shapes, shapesAligned;  // Ombra_OpenSession
};

engines::Knobs knobs(bool rec, bool shp, bool lex = true) {
    engines::Knobs k;
    k.recognizer = rec;
    k.shaper = shp;
    k.lexicon = lex;
    return k;
}

engines::Knobs missing(std::initializer_list<const char*> names, bool lex = true) {
    engines::Knobs k;
    for (const char* n : names) k.missing.insert(n);
    k.lexicon = lex;
    return k;
}

TEST(OmbraContext, EnginesDecideWhichSessionsOpen) {
    engines::Knobs emptyLex;
    emptyLex.emptyLexicon = true;
    engines::Knobs nullContext;
    nullContext.nullRecContext = true;
    const EngineCase cases[] = {
        {"both engines", knobs(true, true), 0, 0, 0, 0, 0, 0},
        {"no recognizer", knobs(false, true), 0, 4, 4, 4, 0, 0},
        // Shape sessions would call through empty entries: refused.
        {"no shape library", knobs(true, false), 0, 4, 0, 0, 4, 4},
        {"no engine at all", knobs(false, false), 0, 4, 4, 4, 4, 4},
        {"no lexicon file", knobs(true, true, false), 4, 0, 0, 0, 0, 0},
        {"empty lexicon file", emptyLex, 4, 0, 0, 0, 0, 0},
        {"recognizer gives no context", nullContext, 0, 4, 4, 4, 0, 0},
        // Mandatory although never called: the recognizer is not loaded.
        {"recognizer without line info", missing({"PSO_GetAnswerLineInfo"}), 0, 4, 4, 4, 0, 0},
        // Optional: loaded, and the lexicon is not even looked for.
        {"recognizer without lexicons", missing({"PSO_AddLexGeneratorToRecContext"}, false), 0, 0,
         0, 0, 0, 0},
        {"shape library without alignment", missing({"ApplyVexaAlign"}), 0, 0, 0, 0, 0, 0},
        {"shape library without InitShaper", missing({"InitShaper"}), 0, 4, 0, 0, 4, 4},
        // Optional in the binding, but every shape pass needs its own answers.
        {"shape library without answer copies", missing({"CreateShapeAnswerAt"}), 0, 4, 0, 0, 4, 4},
    };
    for (const EngineCase& c : cases) {
        SCOPED_TRACE(c.what);
        engines::Scope scope(c.knobs);
        Opened o;
        EXPECT_EQ(o.createResult, c.create);
        ASSERT_NE(o.context, nullptr);
        const std::pair<int, int> opens[] = {{0, c.page},
                                             {OMBRA_SESSION_NO_SHAPER, c.pageNoShaper},
                                             {OMBRA_SESSION_RECOGNIZER, c.recognizerOnly},
                                             {OMBRA_SESSION_SHAPES, c.shapes},
                                             {OMBRA_SESSION_SHAPES_ALIGN, c.shapesAligned}};
        for (const auto& f : opens) {
            SCOPED_TRACE(f.first);
            OMBRA_SESSION s = nullptr;
            EXPECT_EQ(o.open(f.first, &s), f.second);
            EXPECT_EQ(s != nullptr, f.second == 0);
        }
    }
}

TEST(OmbraContext, ClosingUnloadsEnginesAndDeletesOpenSessions) {
    engines::Scope scope;
    OMBRA_CONTEXT c = nullptr;
    ASSERT_EQ(Ombra_CreateContext(&c), 0);
    EXPECT_EQ(engines::Scope::liveModules(), 2);
    OMBRA_SESSION a = nullptr, b = nullptr;
    ASSERT_EQ(Ombra_OpenSession(c, &a, 0), 0);
    ASSERT_EQ(Ombra_OpenSession(c, &b, OMBRA_SESSION_SHAPES), 0);
    EXPECT_EQ(Ombra_CloseSession(a), 0);
    EXPECT_EQ(Ombra_CloseSession(a), 1) << "a closed session is unknown";
    EXPECT_EQ(Ombra_CloseContext(c), 0);
    EXPECT_EQ(engines::Scope::liveModules(), 0);
    // Every handle of the closed context is now answered with a code.
    const char* xml = nullptr;
    const Ombra_STROKE stroke = {1, 0, 0, 0, 0, 0, 0, nullptr};
    EXPECT_EQ(Ombra_AddStroke(b, &stroke), 5);
    EXPECT_EQ(Ombra_Recognize(b, &xml), 101);
    EXPECT_EQ(Ombra_SetExtraSessionParameters(b, 2, 40, 0), 1);
    EXPECT_EQ(Ombra_CloseSession(b), 1);
    EXPECT_EQ(Ombra_CloseContext(c), 1);
    OMBRA_SESSION s = nullptr;
    EXPECT_EQ(Ombra_OpenSession(c, &s, 0), 1);
    char buffer[64];
    EXPECT_EQ(Ombra_GetVersionId(c, 3, buffer), 5);
}

TEST(OmbraContext, EnginesAreLoadedFromTheLibraryFolderThenTheDirectoryIsRestored) {
    engines::Scope scope;
    char before[ombra::kPathChars];
    ASSERT_TRUE(ombra::currentDirectory(before));
    Opened o;
    ASSERT_EQ(o.createResult, 0);
    auto* context = reinterpret_cast<ombra::COmbraContext*>(o.context);
    EXPECT_EQ(std::string(context->recognizer.path), scope.folder() + "VexaScript.dll");
    EXPECT_EQ(std::string(context->shaper.path), scope.folder() + "VexaShape2.dll");
    char after[ombra::kPathChars];
    ASSERT_TRUE(ombra::currentDirectory(after));
    EXPECT_STREQ(before, after);
}

// ---- version texts -------------------------------------------------------

TEST(OmbraVersion, EachTextForItsWhat) {
    engines::Scope scope;
    Opened o;
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    ASSERT_EQ(Ombra_GetVersionId(nullptr, 1, buffer), 0);
    const std::string banner(buffer);
    EXPECT_EQ(banner.rfind("Ombra\x99", 0), 0u);
    EXPECT_NE(banner.find("v.2.1.34"), std::string::npos);
    EXPECT_EQ(buffer[63], 0) << "zero-padded to 64 bytes";

    EXPECT_EQ(Ombra_GetVersionId(o.context, 2, buffer), 0);
    EXPECT_EQ(std::string(buffer).rfind("VexaScript", 0), 0u);
    EXPECT_EQ(Ombra_GetVersionId(o.context, 3, buffer), 0);
    EXPECT_STREQ(buffer, GetShaperVerNumber());

    const struct {
        OMBRA_CONTEXT context;
        int what;
        bool buffer;
        int result;
    } codes[] = {{o.context, 1, false, 1}, {nullptr, 2, true, 5},   {nullptr, 3, true, 5},
                 {o.context, 0, true, 3},  {o.context, 4, true, 3}, {nullptr, 2, false, 1}};
    for (const auto& c : codes) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Ombra_GetVersionId(c.context, c.what, c.buffer ? buffer : nullptr), c.result);
    }
}

TEST(OmbraVersion, MissingEngineTextsAreRefused) {
    engines::Scope scope(knobs(false, false));
    Opened o;
    char buffer[64];
    EXPECT_EQ(Ombra_GetVersionId(o.context, 2, buffer), 4);
    EXPECT_EQ(Ombra_GetVersionId(o.context, 3, buffer), 4);
}

// ---- sessions: codes and parameters ----------------------------------------------

TEST(OmbraSession, ArgumentCodes) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    EXPECT_EQ(Ombra_OpenSession(nullptr, &s, 0), 1);
    EXPECT_EQ(Ombra_OpenSession(o.context, nullptr, 0), 1);
    int dummy = 0;
    EXPECT_EQ(Ombra_OpenSession(reinterpret_cast<OMBRA_CONTEXT>(&dummy), &s, 0), 1)
        << "a foreign pointer is no context";
    EXPECT_EQ(Ombra_CloseSession(nullptr), 1);
    EXPECT_EQ(Ombra_CloseContext(nullptr), 1);
    EXPECT_EQ(Ombra_CreateContext(nullptr), 1);

    const Ombra_STROKE ignored = {1, 0, 0, 0, OMBRA_KIND_IGNORED, 0, 0, nullptr};
    EXPECT_EQ(Ombra_AddStroke(nullptr, &ignored), 0) << "an ignored stroke needs no session";
    const Ombra_STROKE plain = {1, 0, 0, 0, 0, 0, 0, nullptr};
    EXPECT_EQ(Ombra_AddStroke(nullptr, &plain), 5);
    const char* xml = nullptr;
    EXPECT_EQ(Ombra_Recognize(nullptr, &xml), 101);
    EXPECT_EQ(Ombra_SetExtraSessionParameters(nullptr, 2, 40, 0), 1);

    ASSERT_EQ(o.open(0, &s), 0);
    EXPECT_EQ(Ombra_AddStroke(s, nullptr), 1);
    EXPECT_EQ(Ombra_Recognize(s, nullptr), 1);
}

TEST(OmbraSession, ExtraParameters) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION page = nullptr, aligned = nullptr, shapes = nullptr;
    ASSERT_EQ(o.open(0, &page), 0);
    ASSERT_EQ(o.open(OMBRA_SESSION_SHAPES_ALIGN, &aligned), 0);
    ASSERT_EQ(o.open(OMBRA_SESSION_SHAPES, &shapes), 0);
    EXPECT_EQ(core(shapes)->flags & OMBRA_SESSION_FINALIZE, OMBRA_SESSION_FINALIZE);

    EXPECT_EQ(Ombra_SetExtraSessionParameters(page, 1, 1, 0), 3);
    EXPECT_EQ(Ombra_SetExtraSessionParameters(shapes, 1, 1, 0), 3);
    EXPECT_EQ(Ombra_SetExtraSessionParameters(aligned, 1, 1, 0), 0);
    EXPECT_TRUE(core(aligned)->flags & OMBRA_SESSION_FINALIZE);
    EXPECT_EQ(Ombra_SetExtraSessionParameters(aligned, 1, 0, 0), 0);
    EXPECT_FALSE(core(aligned)->flags & OMBRA_SESSION_FINALIZE);

    EXPECT_EQ(core(page)->lineHeight, 32);
    // Up to 665 the value is the height; above, it points to the height. A
    // value too small to be an address, or a height of 0 or less, or one above
    // the shape recognizer's 16384, is refused and nothing is read or stored.
    static const int32_t pointed[] = {700, 16384, 16385, 0, -3};
    const struct {
        intptr_t value;
        int result;
        int32_t stored;
    } heights[] = {{665, 0, 665},
                   {1, 0, 1},
                   {reinterpret_cast<intptr_t>(&pointed[0]), 0, 700},
                   {reinterpret_cast<intptr_t>(&pointed[1]), 0, 16384},
                   {reinterpret_cast<intptr_t>(&pointed[2]), 3, 16384},
                   {reinterpret_cast<intptr_t>(&pointed[3]), 3, 16384},
                   {reinterpret_cast<intptr_t>(&pointed[4]), 3, 16384},
                   {700, 3, 16384},
                   {65535, 3, 16384},
                   {0, 3, 16384},
                   {-5, 3, 16384}};
    for (const auto& h : heights) {
        SCOPED_TRACE(h.value);
        EXPECT_EQ(Ombra_SetExtraSessionParameters(page, 2, h.value, 0), h.result);
        EXPECT_EQ(core(page)->lineHeight, h.stored);
    }
    EXPECT_EQ(Ombra_SetExtraSessionParameters(page, 0, 0, 0), 1) << "null callback";
    EXPECT_EQ(Ombra_SetExtraSessionParameters(page, 9, 0, 0), 3);
}

TEST(OmbraSession, EmptySessionsGiveTheEmptyResultWhateverIsLoaded) {
    for (bool rec : {true, false}) {
        engines::Scope scope(knobs(rec, true));
        Opened o;
        const struct {
            int flags;
            const char* expected;
        } kinds[] = {{OMBRA_SESSION_NO_SHAPER, kEmptyResult},
                     {OMBRA_SESSION_RECOGNIZER, kEmptyResult},
                     {OMBRA_SESSION_SHAPES, kEmptyShapeResult}};
        for (const auto& k : kinds) {
            SCOPED_TRACE(k.flags);
            OMBRA_SESSION s = nullptr;
            if (o.open(k.flags, &s) != 0) continue;  // needs the recognizer
            const char* xml = nullptr;
            ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
            EXPECT_STREQ(xml, k.expected);
            EXPECT_TRUE(readResult(xml).wellFormed);
        }
    }
}

TEST(OmbraSession, StrokesWithoutTheRecognizerCannotBeRecognized) {
    engines::Scope scope(knobs(false, true));
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(OMBRA_SESSION_SHAPES, &s), 0);
    PageInk ink;
    ink.draw({{0, 0}, {300, 0}});
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    const char* xml = nullptr;
    EXPECT_EQ(Ombra_Recognize(s, &xml), 103);
}

TEST(OmbraSession, StrokeRecordIsCopiedAndItsLineIdDroppedOnRequest) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(0, &s), 0);
    std::vector<int32_t> xy = {10, 20, 30, 40, -5, 60};
    Ombra_STROKE r = {7, 3, 4, 9, 0, OMBRA_STROKE_NO_LINE_ID, 7, xy.data()};
    ASSERT_EQ(Ombra_AddStroke(s, &r), 0);
    r.flags = 0;
    ASSERT_EQ(Ombra_AddStroke(s, &r), 0);
    xy.assign(xy.size(), 0);  // the caller may reuse its points at once
    const ombra::COmbraStroke* a = core(s)->stroke(0);
    const ombra::COmbraStroke* b = core(s)->stroke(1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->lineId, -1);
    EXPECT_EQ(b->lineId, 7);
    EXPECT_EQ(a->box.left, -5);
    EXPECT_EQ(a->box.right, 30);
    EXPECT_EQ(a->box.top, 20);
    EXPECT_EQ(a->box.bottom, 60);
    EXPECT_EQ(a->x(2), -5);
    EXPECT_EQ(a->meanX, 11);
    // Octagonal steps: (20, 20) -> 40 * 683 / 1024 = 26, (35, 20) -> 55 * 683 / 1024 = 36.
    EXPECT_EQ(a->pathLength, 26 + 36);
}

TEST(OmbraSession, ProgressCallbackCancels) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(0, &s), 0);
    PageInk ink;
    ink.write("cat", 100, 100);
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    static Ombra_PROGRESS seen;
    static int calls;
    calls = 0;
    auto cancel = [](Ombra_PROGRESS* p) -> int {
        seen = *p;
        ++calls;
        return 1;
    };
    ASSERT_EQ(Ombra_SetExtraSessionParameters(s, 0, reinterpret_cast<intptr_t>(+cancel), 77), 0);
    const char* xml = nullptr;
    EXPECT_EQ(Ombra_Recognize(s, &xml), 6);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen.size, static_cast<int32_t>(sizeof(Ombra_PROGRESS)));
    EXPECT_EQ(seen.total, 2 * static_cast<int>(ink.size()));
    EXPECT_EQ(seen.userData, 77);
}

// ---- the recognizer session ---------------------------------------------------

TEST(OmbraRecognizerSession, InkGoesToTheRecognizerAsItArrivesAndItsWordsComeBack) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(OMBRA_SESSION_RECOGNIZER, &s), 0);
    EXPECT_EQ(core(s)->flags, 0x10003);
    PageInk ink;
    ink.write("hello world", 100, 200, 24);
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    // Each stroke is in the recognizer's session already.
    EXPECT_EQ(PSO_GetNumStrokes(core(s)->recContext()), static_cast<int>(ink.size()));
    const char* xml = nullptr;
    ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
    const ResultXml r = readResult(xml);
    ASSERT_TRUE(r.wellFormed) << xml;
    EXPECT_EQ(r.root, "Ombra_RESULT");
    EXPECT_EQ(r.count("Line"), 1);
    EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"hello", "world"})) << xml;
    EXPECT_NE(std::string(xml).find("<Aliases>100 "), std::string::npos) << "caller ids";

    // More ink after a recognition: the whole page is read again.
    PageInk more;
    more.firstId = 500;
    more.write("again", 100, 400, 24, 3);
    ASSERT_EQ(more.addTo(s, Ombra_AddStroke), 0);
    ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
    const ResultXml again = readResult(xml);
    EXPECT_EQ(again.count("Line"), 2) << xml;
    EXPECT_EQ(again.firstAlts.back(), "again") << xml;
}

// Counts the recognition sessions started and ended on any context.
int g_started = 0, g_ended = 0;
int32_t PSO_CALL countedStart(PSO_HRC c, const PSO_SESSION_START* s) {
    ++g_started;
    return PSO_StartRecognitionSession(c, s);
}
int32_t PSO_CALL countedEnd(PSO_HRC c) {
    ++g_ended;
    return PSO_EndRecognitionSession(c);
}
engines::Knobs countingSessions() {
    g_started = g_ended = 0;
    engines::Knobs k;
    k.replaced["PSO_StartRecognitionSession"] = reinterpret_cast<void (*)()>(&countedStart);
    k.replaced["PSO_EndRecognitionSession"] = reinterpret_cast<void (*)()>(&countedEnd);
    return k;
}

TEST(OmbraRecognizerSession, SessionsOnOneContextKeepTheirOwnWords) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION a = nullptr, b = nullptr, c = nullptr;
    ASSERT_EQ(o.open(OMBRA_SESSION_RECOGNIZER, &a), 0);
    PageInk hello;
    hello.write("hello world", 100, 200, 24);
    ASSERT_EQ(hello.addTo(a, Ombra_AddStroke), 0);
    // A page session reads its own lines on the same context in between.
    ASSERT_EQ(o.open(0, &b), 0);
    PageInk cat;
    cat.firstId = 500;
    cat.write("the cat sat", 100, 200, 24, 2);
    ASSERT_EQ(cat.addTo(b, Ombra_AddStroke), 0);
    const char* xml = nullptr;
    ASSERT_EQ(Ombra_Recognize(b, &xml), 0);
    EXPECT_EQ(readResult(xml).firstAlts, (std::vector<std::string>{"the", "cat", "sat"})) << xml;
    // And a second recognizer session opens and takes ink of its own.
    ASSERT_EQ(o.open(OMBRA_SESSION_RECOGNIZER, &c), 0);
    PageInk sun;
    sun.firstId = 900;
    sun.write("sun", 100, 200, 24, 3);
    ASSERT_EQ(sun.addTo(c, Ombra_AddStroke), 0);

    ASSERT_EQ(Ombra_Recognize(a, &xml), 0);
    EXPECT_EQ(readResult(xml).firstAlts, (std::vector<std::string>{"hello", "world"})) << xml;
    EXPECT_NE(std::string(xml).find("<Aliases>100 "), std::string::npos) << xml;
    ASSERT_EQ(Ombra_Recognize(c, &xml), 0);
    EXPECT_EQ(readResult(xml).firstAlts, (std::vector<std::string>{"sun"})) << xml;
    EXPECT_NE(std::string(xml).find("<Aliases>900"), std::string::npos) << xml;
}

TEST(OmbraRecognizerSession, ProgressAndCancelHoldAfterMoreInk) {
    engines::Scope scope(countingSessions());
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(OMBRA_SESSION_RECOGNIZER, &s), 0);
    static int calls, cancel;
    static intptr_t seenUser;
    calls = cancel = 0;
    seenUser = 0;
    auto progress = [](PSO_PROGRESS* p) -> int32_t {
        ++calls;
        seenUser = p->userData;
        return cancel;
    };
    ASSERT_EQ(Ombra_SetExtraSessionParameters(s, 0, reinterpret_cast<intptr_t>(+progress), 55), 0);
    const char* xml = nullptr;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        PageInk ink;
        ink.firstId = 100 * (round + 1);
        ink.write("cat", 100, 200 + 200 * round, 24, round + 1);
        ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
        calls = 0;
        cancel = round == 2;
        EXPECT_EQ(Ombra_Recognize(s, &xml), round == 2 ? 6 : 0);
        EXPECT_GT(calls, 0) << "the callback is still called";
        EXPECT_EQ(seenUser, 55);
    }
    EXPECT_EQ(Ombra_CloseSession(s), 0);
    EXPECT_EQ(g_started, g_ended) << "every recognizer session is ended";
}

// A recognizer that says its first word has two parts of an absurd size.
int32_t PSO_CALL absurdParts(PSO_HRC c, int32_t block, int32_t alt, int32_t request, int32_t index,
                             void* buffer) {
    if (request == PSO_EXTRA_PART_COUNT) return 2;
    if (request == PSO_EXTRA_PART_STROKE_COUNT) return INT32_MAX;
    return PSO_GetExtraAnswerData(c, block, alt, request, index, buffer);
}

// Reads the text on a page session whose recognizer has one entry replaced:
// the result code and the result text.
std::pair<int, std::string> readWithEntry(const char* entry, void (*replacement)(),
                                          const char* text) {
    engines::Knobs k = countingSessions();
    k.replaced[entry] = replacement;
    engines::Scope scope(k);
    Opened o;
    OMBRA_SESSION s = nullptr;
    EXPECT_EQ(o.open(0, &s), 0);
    PageInk ink;
    ink.write(text, 100, 200, 24);
    EXPECT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    const char* xml = nullptr;
    const int r = Ombra_Recognize(s, &xml);
    return {r, xml ? xml : ""};
}

TEST(OmbraRecognizerAnswers, AnAbsurdPartSizeDropsTheWordAndEndsTheSession) {
    const auto read = readWithEntry("PSO_GetExtraAnswerData",
                                    reinterpret_cast<void (*)()>(&absurdParts), "hello world");
    EXPECT_EQ(read.first, 110) << "every word dropped: no word at all";
    EXPECT_GT(g_started, 0);
    EXPECT_EQ(g_started, g_ended) << "the line's recognizer session is ended";
}

// A recognizer that refuses the ink of the second recognition session.
int32_t PSO_CALL refusingSecond(PSO_HRC c, const PSO_POINT* points, int32_t count, int32_t reserved,
                                int32_t* added, int32_t source) {
    if (points && g_started == 2) return PSO_ERR_FAILED;
    return PSO_AddInkToRecSession(c, points, count, reserved, added, source);
}

TEST(OmbraRecognizerAnswers, ALineWithoutInkIsReportedAndTheOtherLinesRead) {
    const auto read =
        readWithEntry("PSO_AddInkToRecSession", reinterpret_cast<void (*)()>(&refusingSecond),
                      "hello\nthe cat\nworld");
    EXPECT_EQ(read.first, 107) << "no ink could be given for a line";
    // The line recognized second ("world") gave no ink; the others are read.
    EXPECT_EQ(readResult(read.second.c_str()).firstAlts,
              (std::vector<std::string>{"hello", "the", "cat"}))
        << read.second;
    EXPECT_EQ(g_started, g_ended);
}

// ---- the shape session --------------------------------------------------------------

TEST(OmbraShapeSession, ShapesComeFromTheShapeLibrary) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(OMBRA_SESSION_SHAPES, &s), 0);
    PageInk ink;
    ink.draw({{100, 100}, {400, 100}, {400, 300}, {100, 300}, {100, 100}});
    ink.ellipse(700, 200, 150, 90);
    ink.draw({{100, 20000}, {600, 20000}});  // a second band
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    EXPECT_EQ(core(s)->root->units.count(), 2) << "one shaper per band";
    const char* xml = nullptr;
    ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
    const ResultXml r = readResult(xml);
    ASSERT_TRUE(r.wellFormed) << xml;
    EXPECT_EQ(std::string(xml).rfind("<Ombra_RESULT  ver=\"1.28\">", 0), 0u);
    ASSERT_EQ(r.shapeNames.size(), 3u) << xml;
    EXPECT_EQ(r.shapeNames[0].rfind("PARA", 0), 0u) << xml;
    EXPECT_EQ(r.shapeNames[1].rfind("ELLI", 0), 0u) << xml;
    EXPECT_EQ(r.shapeNames[2], "POLY_1") << xml;
}

TEST(OmbraShapeSession, BandsOfSixteenThousandUnitsWithTheirMargins) {
    EXPECT_EQ(ombra::shapeBandTopFor(100), -256);
    EXPECT_EQ(ombra::shapeBandTopFor(3743), -256);
    EXPECT_EQ(ombra::shapeBandTopFor(3744), -256);
    EXPECT_EQ(ombra::shapeBandTopFor(5000), 1000);
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(OMBRA_SESSION_SHAPES, &s), 0);
    PageInk ink;
    ink.draw({{0, 100}, {200, 100}});
    ink.draw({{0, 12000}, {0, 12100}});    // 12100 < 19744: the same band
    ink.draw({{0, 19800}, {300, 19800}});  // beyond it: a new band
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    EXPECT_EQ(core(s)->root->units.count(), 2);
}

// ---- bad input -----------------------------------------------------------------

TEST(OmbraBadInput, DegenerateAndExtremeStrokesGiveCodesNotFaults) {
    engines::Scope scope;
    Opened o;
    for (int flags :
         {0, OMBRA_SESSION_RECOGNIZER, OMBRA_SESSION_SHAPES, OMBRA_SESSION_SHAPES_ALIGN}) {
        SCOPED_TRACE(flags);
        OMBRA_SESSION s = nullptr;
        ASSERT_EQ(o.open(flags, &s), 0);
        PageInk ink;
        ink.add({});        // no point
        ink.add({50, 50});  // one point
        ink.add({INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX});
        ink.add({INT_MAX, 0, INT_MAX, 0});
        ink.add({-32768, -32768, 32767, 32767});
        Ombra_STROKE nullPoints = {9, 5, 0, 0, 0, 0, 0, nullptr};
        Ombra_STROKE negative = {10, -3, 0, 0, 0, 0, 0, nullptr};
        // Every stroke is kept (points it lacks are no points), and the page
        // is read: the strokes that hold points give a word or shapes. A shape
        // session answers a stroke without points with the last-error code, as
        // the shape recognizer takes no such stroke.
        for (const Ombra_STROKE& st : ink.strokes()) {
            const int r = Ombra_AddStroke(s, &st);
            if (st.count > 0) EXPECT_EQ(r, 0) << st.id;
        }
        Ombra_AddStroke(s, &nullPoints);
        Ombra_AddStroke(s, &negative);
        EXPECT_EQ(core(s)->ink.count(), 7);
        const char* xml = nullptr;
        ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
        const ResultXml r = readResult(xml);
        EXPECT_TRUE(r.wellFormed) << xml;
        EXPECT_EQ(r.count("Word") + r.count("Shape") > 0, true) << xml;
        EXPECT_EQ(Ombra_CloseSession(s), 0);
    }
}

TEST(OmbraBadInput, AHundredThousandStrokes) {
    engines::Scope scope;
    Opened o;
    for (int flags : {0, OMBRA_SESSION_RECOGNIZER}) {
        SCOPED_TRACE(flags);
        OMBRA_SESSION s = nullptr;
        ASSERT_EQ(o.open(flags, &s), 0);
        int32_t xy[4];
        for (int i = 0; i < 100000; ++i) {
            xy[0] = (i % 300) * 10;
            xy[1] = (i / 300) * 10;
            xy[2] = xy[0] + 3;
            xy[3] = xy[1] + 4;
            const Ombra_STROKE st = {i, 2, 1, 0, 0, 0, 0, xy};
            ASSERT_EQ(Ombra_AddStroke(s, &st), 0);
        }
        EXPECT_EQ(core(s)->ink.count(), 100000);
        EXPECT_EQ(Ombra_CloseSession(s), 0);
    }
}

TEST(OmbraBadInput, CallsOutOfOrder) {
    engines::Scope scope;
    Opened o;
    OMBRA_SESSION s = nullptr;
    ASSERT_EQ(o.open(0, &s), 0);
    const char* xml = nullptr;
    // Recognizing twice, before and after strokes, and with nothing new.
    ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
    ASSERT_EQ(Ombra_Recognize(s, &xml), 0);
    EXPECT_STREQ(xml, kEmptyResult);
    // Parameters after strokes, a second close.
    PageInk ink;
    ink.draw({{0, 0}, {100, 0}});
    ASSERT_EQ(ink.addTo(s, Ombra_AddStroke), 0);
    EXPECT_EQ(Ombra_SetExtraSessionParameters(s, 2, 40, 0), 0);
    EXPECT_EQ(Ombra_CloseSession(s), 0);
    EXPECT_EQ(Ombra_CloseSession(s), 1);
}

}  // namespace
