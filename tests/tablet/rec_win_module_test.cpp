// The platform recognizer module over the in-process stand-ins of the Tablet
// PC recognizer: sessions, answers and their weights, word lists and their
// files, the guide, and the manager's choice of this module.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include "../recognition/RecTestSupport.h"
#include "../support/TempDir.h"
#include "../support/TraceCapture.h"
#include "StandInScope.h"
#include "family/tabletpc/TabletStandIns.h"
#include "recognition/LexiconTable.h"
#include "recognition/RecMgr.h"
#include "recognition/RecWinModule.h"
#include "core/Settings.h"

using tabletpc::kNoConfidence;
using tabletpc::RecognizerScript;
using tabletpc::ScriptAlternate;
using tabletpc::ScriptWord;

namespace {

constexpr int16_t kPenUp = -1;  // y of the separator (30000, 0xFFFF)

std::vector<PSO_POINT> separator() { return {PSO_POINT{30000, kPenUp}}; }

// A stroke of `n` points from (x, y) to the right.
std::vector<PSO_POINT> stroke(int16_t x, int16_t y, int n = 3) {
    std::vector<PSO_POINT> points;
    for (int i = 0; i < n; ++i) points.push_back(PSO_POINT{static_cast<int16_t>(x + 10 * i), y});
    return points;
}

std::vector<PSO_POINT> join(std::initializer_list<std::vector<PSO_POINT>> parts) {
    std::vector<PSO_POINT> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The packet data the stand-in got for points (x, y pairs).
std::vector<LONG> packetsOf(const std::vector<PSO_POINT>& points, LONG dx = 0, LONG dy = 0) {
    std::vector<LONG> packets;
    for (const PSO_POINT& p : points) {
        packets.push_back(p.x + dx);
        packets.push_back(p.y + dy);
    }
    return packets;
}

RecognizerScript script(std::vector<ScriptWord> words) {
    RecognizerScript s;
    s.words = std::move(words);
    return s;
}

struct Alt {
    std::wstring text;
    uint32_t weight;
    bool operator==(const Alt& o) const { return text == o.text && weight == o.weight; }
};
std::ostream& operator<<(std::ostream& out, const Alt& a) {
    return out << rt::narrow(a.text) << "/" << a.weight;
}

std::vector<Alt> altsOf(const RecWord& word) {
    std::vector<Alt> alts;
    for (int i = 0; i < word.altCount(); ++i)
        alts.push_back(Alt{word.altAt(i)->text(), word.altAt(i)->score()});
    return alts;
}

std::vector<int32_t> integersOf(const RecWord& word) {
    return std::vector<int32_t>(word.integers(), word.integers() + word.integerCount());
}

// COM on the test thread with the stand-ins registered, the settings in a
// key of the test's own, and an English module over a fresh data folder.
class WinModule : public testing::Test {
  protected:
    void SetUp() override {
        standIns_ = std::make_unique<StandInScope>();
        module_ = std::make_unique<RecWinModule>(L"English", data_.path());
        ASSERT_TRUE(module_->load());
        profile_ = module_->findProfile(L"#sys-default");
        ASSERT_NE(profile_, nullptr);
        // The profiles made their own contexts while loading.
        tabletpc::resetRecognizer();
        contextsBefore_ = tabletpc::recognizerLog().contextsAlive;
        inkBefore_ = tabletpc::recognizerLog().inkObjectsAlive;
    }
    void TearDown() override {
        for (PSO_HRC c : contexts_) module_->PSO_DeleteRecognitionContext(c);
        module_.reset();
        EXPECT_EQ(tabletpc::recognizerLog().contextsAlive, 0) << "every context released";
        EXPECT_EQ(tabletpc::recognizerLog().inkObjectsAlive, 0) << "every ink object released";
        standIns_.reset();
    }

    // A context of the default profile, deleted with the fixture.
    PSO_HRC context() {
        PSO_HRC c = module_->createRecContext(*profile_);
        EXPECT_NE(c, nullptr);
        if (c) contexts_.push_back(c);
        return c;
    }

    int32_t session(PSO_HRC c, const std::vector<PSO_POINT>& ink, uint32_t flags = 0) {
        const PSO_SESSION_START start{0, flags};
        EXPECT_EQ(module_->PSO_StartRecognitionSession(c, &start), PSO_OK);
        if (!ink.empty()) {
            EXPECT_EQ(module_->PSO_AddInkToRecSession(
                          c, ink.data(), static_cast<int32_t>(ink.size()), 0, nullptr, 0),
                      PSO_OK);
        }
        return module_->PSO_EndRecognitionSession(c);
    }

    std::unique_ptr<RecWordList> answers(PSO_HRC c, int caps = kCapsNotSet, bool stop = false) {
        return std::unique_ptr<RecWordList>(module_->getAnswers(c, caps, stop));
    }

    rt::SettingsScope settings_;
    TempDir data_;
    std::unique_ptr<StandInScope> standIns_;
    std::unique_ptr<RecWinModule> module_;
    RecProfile* profile_ = nullptr;
    std::vector<PSO_HRC> contexts_;
    int contextsBefore_ = 0;
    int inkBefore_ = 0;
};

TEST_F(WinModule, DescribesItselfAndRefusesTheLibraryOnlyOperations) {
    char info[PSO_INFO_BUFFER * 8] = {};
    EXPECT_EQ(module_->PSO_GetRecognizerInfo(2, info), PSO_OK);
    EXPECT_EQ(std::strncmp(info, "Scribix WinRec Bridge v 1.0.0.", 30), 0) << info;
    EXPECT_EQ(module_->PSO_GetRecognizerInfo(1, info), PSO_ERR_NOT_SUPPORTED);
    EXPECT_STREQ(module_->getUserDictExtension(), L".voc.win");
    EXPECT_TRUE(module_->isKindOf(L"RecModule"));
    EXPECT_EQ(module_->PSO_CreateRecognitionContext(), nullptr) << "contexts come from profiles";

    const PSO_HRC c = context();
    PSO_POINT buffer[4];
    const int32_t unsupported[] = {
        module_->PSO_GetNumAnswerBlocks(c),
        module_->PSO_GetNumWordsInAnswerBlock(c, 0),
        module_->PSO_GetAnswerConfidence(c, 0, nullptr),
        module_->PSO_GetNumStrokes(c),
        module_->PSO_GetStroke(c, 0, buffer, 4),
        module_->PSO_AddLexGeneratorToRecContext(c, "x", 1),
        module_->PSO_SetExtraSessionParameters(c, PSO_EXTRA_FLAGS, 1),
    };
    for (int32_t result : unsupported) EXPECT_EQ(result, PSO_ERR_NOT_SUPPORTED);
    std::vector<std::wstring> variants{L"old"};
    EXPECT_FALSE(module_->getWordVariants(c, L"word", variants, 5));
    EXPECT_TRUE(variants.empty());
}

TEST_F(WinModule, MissingContextAndBadArgumentsGiveTheirCodes) {
    const PSO_SESSION_START start{0, 0};
    EXPECT_EQ(module_->PSO_StartRecognitionSession(nullptr, &start), PSO_ERR_NO_CONTEXT);
    EXPECT_EQ(module_->PSO_EndRecognitionSession(nullptr), PSO_ERR_NO_CONTEXT);
    EXPECT_EQ(module_->PSO_AddInkToRecSession(nullptr, nullptr, 0, 0, nullptr, 0),
              PSO_ERR_NO_CONTEXT);
    EXPECT_EQ(module_->PSO_DeleteRecognitionContext(nullptr), PSO_ERR_BAD_ARG);
    EXPECT_EQ(module_->PSO_SetExtraSessionParameters(nullptr, PSO_EXTRA_GUIDE, 0), PSO_ERR_BAD_ARG);
    EXPECT_EQ(module_->PSO_UserDict_Clear(nullptr, reinterpret_cast<PSO_HUSERDICT>(1)),
              PSO_ERR_BAD_ARG);
    const PSO_HRC c = context();
    EXPECT_EQ(module_->PSO_StartRecognitionSession(c, nullptr), PSO_ERR_BAD_ARG);
    EXPECT_EQ(module_->PSO_AddInkToRecSession(c, nullptr, 3, 0, nullptr, 0), PSO_ERR_BAD_ARG);
    const PSO_POINT one{1, 1};
    EXPECT_EQ(module_->PSO_AddInkToRecSession(c, &one, -1, 0, nullptr, 0), PSO_ERR_BAD_ARG);
    EXPECT_EQ(module_->PSO_SetExtraSessionParameters(c, PSO_EXTRA_GUIDE, 0), PSO_ERR_BAD_ARG);
    EXPECT_EQ(module_->PSO_UserDict_Clear(c, nullptr), PSO_ERR_BAD_ARG);
    EXPECT_FALSE(module_->checkWord(nullptr, L"word"));
    EXPECT_FALSE(module_->checkWord(c, nullptr));
}

TEST_F(WinModule, AnswersCarryTheWeightsOfThePlatformsConfidences) {
    tabletpc::setRecognizerScript(script({
        {{{L"hello", IRC_Strong}, {L"hallo", IRC_Intermediate}, {L"hullo", IRC_Poor}}, {0}},
        {{{L"world", IRC_Poor}, {L"word", 7}}, {1, 2}},
    }));
    const PSO_HRC c = context();
    ASSERT_EQ(session(c, join({stroke(100, 200), separator(), stroke(300, 200), separator(),
                               stroke(400, 210)})),
              PSO_OK);
    auto list = answers(c);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->wordCount(), 2);
    EXPECT_EQ(altsOf(*list->wordAt(0)),
              (std::vector<Alt>{{L"hello", 90}, {L"hallo", 60}, {L"hullo", 30}}));
    EXPECT_EQ(altsOf(*list->wordAt(1)), (std::vector<Alt>{{L"world", 30}, {L"word", 0}}))
        << "a confidence the platform does not name weighs 0";
    // Each word keeps the platform ids of its own strokes (the stand-in
    // numbers them from 1 in the order they were made).
    EXPECT_EQ(integersOf(*list->wordAt(0)), (std::vector<int32_t>{1}));
    EXPECT_EQ(integersOf(*list->wordAt(1)), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(rt::textOf(*list), L"hello world");
}

TEST_F(WinModule, AlternatesWithoutConfidenceSplitIntoIntermediateAndPoor) {
    struct Case {
        int count;
        std::vector<uint32_t> weights;
    };
    const Case cases[] = {
        {1, {60}},
        {2, {60, 30}},
        {3, {60, 60, 30}},
        {4, {60, 60, 30, 30}},
    };
    for (const Case& k : cases) {
        ScriptWord word;
        for (int i = 0; i < k.count; ++i)
            word.alternates.push_back(ScriptAlternate{L"w" + std::to_wstring(i), kNoConfidence});
        tabletpc::setRecognizerScript(script({word}));
        const PSO_HRC c = context();
        ASSERT_EQ(session(c, stroke(10, 10)), PSO_OK);
        auto list = answers(c);
        ASSERT_TRUE(list);
        std::vector<uint32_t> weights;
        for (const Alt& a : altsOf(*list->wordAt(0))) weights.push_back(a.weight);
        EXPECT_EQ(weights, k.weights) << k.count << " alternates";
    }
    // The same rule as a function: the first half (rounded up) is intermediate.
    EXPECT_EQ(RecWinModule::weightWithoutConfidence(2, 5), 60u);
    EXPECT_EQ(RecWinModule::weightWithoutConfidence(3, 5), 30u);
}

TEST_F(WinModule, InkIsCutIntoStrokesAtPenUps) {
    struct Case {
        const char* what;
        std::vector<PSO_POINT> ink;
        std::vector<std::vector<LONG>> strokes;
        int32_t result;
    };
    const Case cases[] = {
        {"one stroke without any pen-up", stroke(5, 6), {packetsOf(stroke(5, 6))}, PSO_OK},
        {"leading pen-ups are skipped, the final one dropped",
         join({separator(), separator(), stroke(5, 6), separator()}),
         {packetsOf(stroke(5, 6))},
         PSO_OK},
        {"two strokes",
         join({stroke(5, 6), separator(), stroke(50, -6, 2)}),
         {packetsOf(stroke(5, 6)), packetsOf(stroke(50, -6, 2))},
         PSO_OK},
        {"negative coordinates stay signed",
         {PSO_POINT{-300, -2}, PSO_POINT{5, 7}},
         {{-300, -2, 5, 7}},
         PSO_OK},
        {"only pen-ups", join({separator(), separator()}), {}, PSO_ERR_FAILED},
    };
    for (const Case& k : cases) {
        tabletpc::setRecognizerScript(script({{{{L"x", IRC_Strong}}, {}}}));
        const PSO_HRC c = context();
        const PSO_SESSION_START start{0, 0};
        ASSERT_EQ(module_->PSO_StartRecognitionSession(c, &start), PSO_OK);
        TraceCapture traces;
        int32_t added = -1;
        EXPECT_EQ(module_->PSO_AddInkToRecSession(c, k.ink.data(),
                                                  static_cast<int32_t>(k.ink.size()), 0, &added, 0),
                  k.result)
            << k.what;
        EXPECT_EQ(added, static_cast<int32_t>(k.strokes.size())) << k.what;
        if (k.result != PSO_OK) {
            EXPECT_TRUE(traces.contains("PSO_AddInkToRecSession: bad ink data")) << k.what;
            continue;
        }
        ASSERT_EQ(module_->PSO_EndRecognitionSession(c), PSO_OK) << k.what;
        EXPECT_EQ(tabletpc::recognizerLog().recognizedStrokes, k.strokes) << k.what;
    }
}

TEST_F(WinModule, InkOutsideTheValidBoxIsNotRecognized) {
    tabletpc::setRecognizerScript(script({{{{L"x", IRC_Strong}}, {}}}));
    const std::vector<PSO_POINT> outside[] = {
        {PSO_POINT{-50, 10}, PSO_POINT{-1, 20}},       // right edge left of 0
        {PSO_POINT{10, -50}, PSO_POINT{20, -1}},       // bottom edge above 0
        {PSO_POINT{32767, 10}, PSO_POINT{32767, 20}},  // left edge at 32767
    };
    for (const auto& ink : outside) {
        const PSO_HRC c = context();
        TraceCapture traces;
        EXPECT_EQ(session(c, ink), PSO_ERR_FAILED);
        EXPECT_TRUE(traces.contains("PSO_AddInkToRecSession: !PSO_RecognizeWord"));
        EXPECT_EQ(answers(c, kCapsNotSet, true), nullptr);
    }
    EXPECT_EQ(tabletpc::recognizerLog().recognitions, 0);
}

TEST_F(WinModule, AnEmptySessionGivesQuestionMarksToTheClientAndNothingToTheMenu) {
    const PSO_HRC c = context();
    TraceCapture traces;
    EXPECT_EQ(session(c, {}), PSO_ERR_FAILED);
    EXPECT_TRUE(traces.contains("PSO_AddInkToRecSession: !PSO_RecognizeWord"));

    auto client = answers(c, kCapsNotSet, false);
    ASSERT_TRUE(client);
    ASSERT_EQ(client->wordCount(), 1);
    EXPECT_EQ(altsOf(*client->wordAt(0)), (std::vector<Alt>{{L"???", 1}}));
    EXPECT_EQ(answers(c, kCapsNotSet, true), nullptr) << "the word-list menu shows nothing";

    // The same through the profile, as the system client asks.
    ASSERT_TRUE(profile_->startSession(0));
    EXPECT_FALSE(profile_->endSession());
    std::unique_ptr<RecWordList> viaProfile(profile_->getAnswers(false));
    ASSERT_TRUE(viaProfile);
    EXPECT_EQ(rt::textOf(*viaProfile), L"???");
}

TEST_F(WinModule, ANewSessionDropsThePreviousInkAndAnswer) {
    tabletpc::setRecognizerScript(script({{{{L"first", IRC_Strong}}, {}}}));
    const PSO_HRC c = context();
    ASSERT_EQ(session(c, join({stroke(10, 10), separator(), stroke(40, 10)})), PSO_OK);
    ASSERT_TRUE(answers(c, kCapsNotSet, true));

    const PSO_SESSION_START start{0, 0};
    ASSERT_EQ(module_->PSO_StartRecognitionSession(c, &start), PSO_OK);
    EXPECT_EQ(answers(c, kCapsNotSet, true), nullptr) << "the last answer is gone";
    ASSERT_EQ(session(c, stroke(70, 10)), PSO_OK);
    EXPECT_EQ(tabletpc::recognizerLog().recognizedStrokes,
              (std::vector<std::vector<LONG>>{packetsOf(stroke(70, 10))}))
        << "only this session's stroke is recognized";
}

TEST_F(WinModule, AnswersAreRecasedByTheRequestedCapitalization) {
    tabletpc::setRecognizerScript(script({{{{L"hELLo", IRC_Strong}, {L"wOrLd", IRC_Poor}}, {}}}));
    const PSO_HRC c = context();
    ASSERT_EQ(session(c, stroke(10, 10)), PSO_OK);
    const struct {
        int caps;
        std::vector<std::wstring> texts;
    } cases[] = {
        {kCapsAll, {L"HELLO", L"WORLD"}},
        {kCapsFirst, {L"Hello", L"World"}},
        {kCapsNone, {L"hello", L"world"}},
        {kCapsNotSet, {L"hELLo", L"wOrLd"}},
    };
    for (const auto& k : cases) {
        auto list = answers(c, k.caps);
        ASSERT_TRUE(list);
        std::vector<std::wstring> texts;
        for (const Alt& a : altsOf(*list->wordAt(0))) texts.push_back(a.text);
        EXPECT_EQ(texts, k.texts) << "capitalization " << k.caps;
    }
}

TEST_F(WinModule, RecognitionFlagsFollowSegmentationAndTheWordList) {
    tabletpc::setRecognizerScript(script({{{{L"x", IRC_Strong}}, {}}}));
    const PSO_HRC c = context();
    EXPECT_EQ(tabletpc::recognizerLog().factoid, L"DEFAULT") << "the default lexicon's field type";
    ASSERT_EQ(session(c, stroke(10, 10), 0), PSO_OK);
    EXPECT_EQ(tabletpc::recognizerLog().recognitionFlags, IRM_WordModeOnly);
    ASSERT_EQ(session(c, stroke(10, 10), PSO_SF_WORD_SEGMENTATION), PSO_OK);
    EXPECT_EQ(tabletpc::recognizerLog().recognitionFlags, IRM_None);
    // Words in the list but a factoid other than "WORDLIST": no coercion.
    ASSERT_TRUE(module_->addWordToUserDict(c, nullptr, L"alpha"));
    ASSERT_EQ(session(c, stroke(10, 10), 0), PSO_OK);
    EXPECT_EQ(tabletpc::recognizerLog().recognitionFlags, IRM_WordModeOnly);
}

TEST_F(WinModule, AWordListProfileRecognizesOnlyWordsOfItsList) {
    profile_->setLexGenFile(L"empty");
    tabletpc::setRecognizerScript(script({
        {{{L"cat", IRC_Strong}, {L"cot", IRC_Intermediate}, {L"cut", IRC_Poor}}, {}},
    }));
    const PSO_HRC c = context();
    EXPECT_EQ(tabletpc::recognizerLog().factoid, L"WORDLIST");
    ASSERT_TRUE(module_->addWordToUserDict(c, nullptr, L"cut"));
    ASSERT_TRUE(module_->addWordToUserDict(c, nullptr, L"cot"));
    ASSERT_TRUE(module_->addWordToUserDict(c, nullptr, nullptr)) << "the list is handed over";
    EXPECT_EQ(tabletpc::recognizerLog().wordList, (std::vector<std::wstring>{L"cut", L"cot"}));

    ASSERT_EQ(session(c, stroke(10, 10), PSO_SF_WORD_SEGMENTATION), PSO_OK);
    EXPECT_EQ(tabletpc::recognizerLog().recognitionFlags, IRM_Coerce);
    auto list = answers(c);
    ASSERT_TRUE(list);
    EXPECT_EQ(altsOf(*list->wordAt(0)), (std::vector<Alt>{{L"cot", 60}, {L"cut", 30}}));
    EXPECT_TRUE(module_->checkWord(c, L"cut"));
    EXPECT_FALSE(module_->checkWord(c, L"dog"));
}

TEST_F(WinModule, WordListFilesSurviveARoundTrip) {
    const std::wstring path = data_.file(L"mine.voc.win");
    const PSO_HRC c = context();
    const std::vector<std::wstring> words{L"Zorvane", L"na\u00EFve", L"x-ray"};
    for (const auto& w : words) ASSERT_TRUE(module_->addWordToUserDict(c, nullptr, w.c_str()));
    ASSERT_TRUE(module_->SaveUserDictToFile(c, nullptr, path.c_str(), nullptr));
    EXPECT_EQ(rt::readBytes(path).substr(0, 27), "WinRec wordlist Version 1.0");

    const PSO_HRC other = context();
    const PSO_HUSERDICT handle = module_->LoadUserDictFromFile(other, path.c_str(), false);
    EXPECT_EQ(handle, reinterpret_cast<PSO_HUSERDICT>(1));
    std::vector<std::wstring> read;
    ASSERT_TRUE(module_->enumUserDictWords(
        other, handle,
        [](const wchar_t* word, void* out) {
            static_cast<std::vector<std::wstring>*>(out)->push_back(word);
            return 1;
        },
        &read));
    EXPECT_EQ(read, words);
    EXPECT_TRUE(tabletpc::recognizerLog().wordListSet);
    EXPECT_EQ(tabletpc::recognizerLog().wordList, words) << "the platform list holds them too";

    // The walk stops when the callback says so.
    int calls = 0;
    module_->enumUserDictWords(
        other, handle, [](const wchar_t*, void* n) { return ++*static_cast<int*>(n) < 2 ? 1 : 0; },
        &calls);
    EXPECT_EQ(calls, 2);

    EXPECT_EQ(module_->PSO_UserDict_Clear(other, handle), PSO_OK);
    read.clear();
    module_->enumUserDictWords(
        other, handle,
        [](const wchar_t* word, void* out) {
            static_cast<std::vector<std::wstring>*>(out)->push_back(word);
            return 1;
        },
        &read);
    EXPECT_TRUE(read.empty());
}

TEST_F(WinModule, WordListFilesThatCannotBeReadOrWrittenFail) {
    const PSO_HRC c = context();
    TraceCapture traces;
    EXPECT_EQ(module_->LoadUserDictFromFile(nullptr, data_.file(L"a.voc.win").c_str(), true),
              nullptr);
    EXPECT_TRUE(traces.contains("RecWinModule::LoadUserDictFromFile: pCtx==NULL"));
    EXPECT_EQ(module_->LoadUserDictFromFile(c, data_.file(L"none.voc.win").c_str(), false),
              nullptr);
    EXPECT_TRUE(traces.contains("LoadWinRecDictFromFile() FAILED"));
    EXPECT_NE(module_->LoadUserDictFromFile(c, data_.file(L"none.voc.win").c_str(), true), nullptr)
        << "a missing file that may be missing is an empty list";
    EXPECT_FALSE(module_->SaveUserDictToFile(nullptr, nullptr, data_.file(L"b").c_str(), nullptr));
    EXPECT_TRUE(traces.contains("RecWinModule::SaveUserDictToFile: pCtx==NULL"));
    EXPECT_FALSE(module_->addWordToUserDict(nullptr, nullptr, L"w"));

    tabletpc::failCreation(kClsidInkWordList, true);
    EXPECT_EQ(module_->LoadUserDictFromFile(c, data_.file(L"none.voc.win").c_str(), true), nullptr);
    EXPECT_TRUE(
        traces.contains("RecWinModule::LoadUserDictFromFile: wordlist.CoCreateInstance FAILED"));
    EXPECT_TRUE(
        traces.contains("RecWinModule::LoadUserDictFromFile: resetDictionaryInWinContext FAILED"));
    EXPECT_FALSE(module_->addWordToUserDict(c, nullptr, nullptr));
    EXPECT_TRUE(
        traces.contains("RecWinModule::addWordToUserDict: resetDictionaryInWinContext FAILED"));
}

TEST_F(WinModule, TheGuideMovesTheInkAndHoldsForOneSession) {
    tabletpc::setRecognizerScript(script({{{{L"7", IRC_Strong}}, {}}}));
    const PSO_HRC c = context();
    const PSO_SESSION_START start{0, 0};
    ASSERT_EQ(module_->PSO_StartRecognitionSession(c, &start), PSO_OK);
    const PSO_GUIDE guide{24, 400, 80, 200, 120, 20};
    ASSERT_EQ(module_->PSO_SetExtraSessionParameters(c, PSO_EXTRA_GUIDE,
                                                     reinterpret_cast<intptr_t>(&guide)),
              PSO_OK);
    const tabletpc::RecognizerLog log = tabletpc::recognizerLog();
    ASSERT_TRUE(log.guideSet);
    EXPECT_EQ(log.guide.rectWritingBox.left, 0);
    EXPECT_EQ(log.guide.rectWritingBox.top, 0);
    EXPECT_EQ(log.guide.rectWritingBox.right, 200);
    EXPECT_EQ(log.guide.rectWritingBox.bottom, 120);
    EXPECT_EQ(log.guide.cRows, 1);
    EXPECT_EQ(log.guide.cColumns, 0);
    EXPECT_EQ(log.guide.midline, 50) << "(height - sixth) / 2";

    const std::vector<PSO_POINT> ink = stroke(450, 100);
    ASSERT_EQ(module_->PSO_AddInkToRecSession(c, ink.data(), static_cast<int32_t>(ink.size()), 0,
                                              nullptr, 0),
              PSO_OK);
    ASSERT_EQ(module_->PSO_EndRecognitionSession(c), PSO_OK);
    EXPECT_EQ(tabletpc::recognizerLog().recognizedStrokes,
              (std::vector<std::vector<LONG>>{packetsOf(ink, -400, -80)}))
        << "boxed ink is relative to the box";

    // The next, plain session is read without the boxes and their offset.
    ASSERT_EQ(session(c, ink), PSO_OK);
    EXPECT_FALSE(tabletpc::recognizerLog().guideSet);
    EXPECT_EQ(tabletpc::recognizerLog().recognizedStrokes,
              (std::vector<std::vector<LONG>>{packetsOf(ink)}));
}

TEST_F(WinModule, FailuresToMakeAContextAreTracedStepByStep) {
    const struct {
        const CLSID* missing;
        std::vector<LONG> languages;
        const char* trace;
    } cases[] = {
        {&kClsidInkRecognizers,
         {0x0409},
         "InitTPCCOntext::FAILED CoCreateInstance pIInkRecognizers"},
        {nullptr, {0x0407}, "InitTPCCOntext::FAILED GetDefaultRecognizer()"},
        {&kClsidInkDisp, {0x0409}, "FAILED CoCreateInstance pIInkDisp"},
    };
    for (const auto& k : cases) {
        tabletpc::resetRecognizer();
        if (k.missing) tabletpc::failCreation(*k.missing, true);
        tabletpc::setRecognizerLanguages(k.languages);
        TraceCapture traces;
        EXPECT_EQ(module_->createRecContext(*profile_), nullptr) << k.trace;
        EXPECT_TRUE(traces.contains(k.trace)) << k.trace;
        EXPECT_TRUE(traces.contains("RecWinModule:: FAILED InitTPCCOntext()")) << k.trace;
    }
    tabletpc::resetRecognizer();
    EXPECT_EQ(tabletpc::recognizerLog().contextsAlive, contextsBefore_)
        << "a failed context leaves nothing";
    EXPECT_EQ(tabletpc::recognizerLog().inkObjectsAlive, inkBefore_);
}

// A platform object whose Release faults (an access violation inside the
// platform's code) does not take the program with it: the fault is traced and
// the context's other objects are still released.
TEST_F(WinModule, AReleaseThatFaultsIsTracedAndTheOtherObjectsAreReleased) {
    const struct {
        IID object;
        const char* trace;
        int contextsLeft, inkLeft;  // what the fault keeps alive
    } cases[] = {
        {__uuidof(IInkRecognizerContext),
         "FreeTPCCOntext: Exception: pCtx->m_pIInkRecoContext->Release", 1, 0},
        {__uuidof(IInkRecognizers), "FreeTPCCOntext: Exception: pCtx->m_pIInkRecognizers->Release",
         0, 0},
        {__uuidof(IInkDisp), "FreeTPCCOntext: Exception: pCtx->m_pIInkDisp->Release", 0, 1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.trace);
        const PSO_HRC c = module_->createRecContext(*profile_);
        ASSERT_NE(c, nullptr);
        TraceCapture traces;
        tabletpc::faultOnRelease(k.object, true);
        EXPECT_EQ(module_->PSO_DeleteRecognitionContext(c), PSO_OK);
        tabletpc::faultOnRelease(k.object, false);
        EXPECT_TRUE(traces.contains(k.trace)) << traces.text();
        EXPECT_EQ(tabletpc::recognizerLog().contextsAlive, contextsBefore_ + k.contextsLeft);
        EXPECT_EQ(tabletpc::recognizerLog().inkObjectsAlive, inkBefore_ + k.inkLeft);
        // The faulted object stays alive; the test lets it go.
        tabletpc::releaseFaultedObjects();
        EXPECT_EQ(tabletpc::recognizerLog().contextsAlive, contextsBefore_);
        EXPECT_EQ(tabletpc::recognizerLog().inkObjectsAlive, inkBefore_);
    }
    // The module goes on working on this thread.
    const PSO_HRC c = context();
    tabletpc::setRecognizerScript(script({{{{L"after", IRC_Strong}}, {}}}));
    EXPECT_EQ(session(c, stroke(10, 10)), PSO_OK);
    std::unique_ptr<RecWordList> words = answers(c);
    ASSERT_TRUE(words);
    EXPECT_EQ(rt::textOf(*words), L"after");
}

// A platform call that faults while ink is handed over fails the call.
TEST_F(WinModule, InkThePlatformFaultsOnFailsTheCall) {
    const PSO_HRC c = context();
    const PSO_SESSION_START start{0, 0};
    ASSERT_EQ(module_->PSO_StartRecognitionSession(c, &start), PSO_OK);
    const std::vector<PSO_POINT> ink = stroke(10, 10);
    TraceCapture traces;
    tabletpc::faultOnCreateStroke(true);
    int32_t added = -1;
    EXPECT_EQ(module_->PSO_AddInkToRecSession(c, ink.data(), static_cast<int32_t>(ink.size()), 0,
                                              &added, 0),
              PSO_ERR_FAILED);
    tabletpc::faultOnCreateStroke(false);
    EXPECT_TRUE(traces.contains("PSO_AddInkToRecSession: Exception...")) << traces.text();
    EXPECT_EQ(added, 0);
    // The next ink goes in.
    EXPECT_EQ(module_->PSO_AddInkToRecSession(c, ink.data(), static_cast<int32_t>(ink.size()), 0,
                                              &added, 0),
              PSO_OK);
    EXPECT_EQ(added, 1);
}

TEST_F(WinModule, AContextAsksForTheDefaultRecognizerOfItsLanguage) {
    const PSO_HRC c = context();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(tabletpc::recognizerLog().defaultRecognizerAsked, (std::vector<LONG>{0x0409}));
    EXPECT_EQ(tabletpc::recognizerLog().contextsAlive, contextsBefore_ + 1);
    EXPECT_EQ(module_->PSO_DeleteRecognitionContext(c), PSO_OK);
    contexts_.clear();
    EXPECT_EQ(tabletpc::recognizerLog().contextsAlive, contextsBefore_);
    EXPECT_EQ(tabletpc::recognizerLog().inkObjectsAlive, inkBefore_);
}

// A context may be deleted on another thread than the one that made it (the
// profiles are released at exit): COM is left only where it was entered.
TEST_F(WinModule, DeletingAContextElsewhereLeavesThatThreadsComAlone) {
    PSO_HRC made = nullptr;
    std::thread maker([&] {
        StandInScope standIns;
        made = module_->createRecContext(*profile_);
    });
    maker.join();
    ASSERT_NE(made, nullptr);
    int32_t deleted = -1;
    HRESULT afterwards = S_OK;
    std::thread remover([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        deleted = module_->PSO_DeleteRecognitionContext(made);
        afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(afterwards)) CoUninitialize();
        CoUninitialize();
    });
    remover.join();
    EXPECT_EQ(deleted, PSO_OK);
    EXPECT_EQ(afterwards, RPC_E_CHANGED_MODE) << "the deleting thread is still in its apartment";
}

TEST(LexiconTable, GivesTheFieldTypeOfALexicon) {
    EXPECT_EQ(LexiconTable::entries().size(), 34u);
    EXPECT_EQ(LexiconTable::fieldTypeOf(L"empty"), L"WORDLIST");
    EXPECT_EQ(LexiconTable::fieldTypeOf(L"Zip"), L"POSTALCODE") << "any case";
    EXPECT_EQ(LexiconTable::fieldTypeOf(L"nosuch"), L"");
    for (size_t i = 1; i < LexiconTable::entries().size(); ++i)
        EXPECT_LT(std::wstring(LexiconTable::entries()[i - 1].name),
                  std::wstring(LexiconTable::entries()[i].name));
}

// The manager makes this module for an engine folder without the recognizer
// library when the platform has a recognizer for its language.
TEST(WinModuleDiscovery, AFolderWithoutTheLibraryGetsThePlatformModule) {
    StandInScope standIns;
    rt::SettingsScope settings;
    TempDir base, data;
    ASSERT_TRUE(CreateDirectoryW(base.file(L"English").c_str(), nullptr));
    RecMgr manager;
    manager.setDataFolder(data.path());
    manager.setLayoutSource([](int) { return std::vector<HKL>(); });
    ASSERT_TRUE(manager.loadEngines(base.path().c_str()));
    RecModule* module = manager.getModule(L"English");
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(module->isKindOf(L"RecWinModule"));
    EXPECT_TRUE(module->engineFolder().empty());
    std::wstring info;
    ASSERT_TRUE(manager.getRecognizerInfo(L"English", info));
    EXPECT_EQ(info.rfind(L"Scribix WinRec Bridge v 1.0.0.", 0), 0u);
}

}  // namespace
