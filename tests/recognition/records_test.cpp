// The recognition records as the engines build them: words with their
// alternatives, joined texts, and word lists made from text with the
// alternatives of a profile.
#include <gtest/gtest.h>

#include "RecTestSupport.h"
#include "ink/InkTrace.h"
#include "tests/ink/RecordsText.h"

namespace {

// A word whose alternatives are the texts given, best first.
RecWord* wordOf(std::initializer_list<const wchar_t*> alts) {
    RecWord* w = new RecWord(0, nullptr);
    uint32_t score = 90;
    for (const wchar_t* a : alts) EXPECT_TRUE(w->addAlt(new RecAlt(a, score--)));
    return w;
}

TEST(RecRecords, AnswerTheirClassNames) {
    RecWordList list;
    RecWord* word = wordOf({L"a"});
    list.appendWord(word);
    RecResult result(nullptr, nullptr, nullptr, nullptr);
    struct Case {
        const VexaSuper* object;
        const wchar_t* name;
    } cases[] = {{word->altAt(0), L"RecAlt"},
                 {word, L"RecWord"},
                 {&list, L"RecWordList"},
                 {&result, L"RecResult"}};
    for (const Case& c : cases) {
        EXPECT_STREQ(c.object->className(), c.name);
        EXPECT_EQ(c.object->isKindOf(c.name), 1);
        EXPECT_EQ(c.object->isKindOf(L"VexaSuper"), 1);
        EXPECT_EQ(c.object->isKindOf(L"RecProfile"), 0);
    }
}

TEST(RecRecords, AWordKeepsItsAlternativesAndItsIntegers) {
    const int32_t strokes[] = {4, 5, 6};
    RecWord word(3, strokes);
    ASSERT_EQ(word.integerCount(), 3);
    EXPECT_EQ(word.integers()[2], 6);
    for (int i = 0; i < 23; ++i) {
        ASSERT_TRUE(word.addAlt(new RecAlt(std::to_wstring(i).c_str(), 100 - i)))
            << "the array grows past its first ten entries";
    }
    EXPECT_EQ(word.altCount(), 23);
    EXPECT_EQ(word.altAt(22)->text(), L"22");
    EXPECT_EQ(word.altAt(23), nullptr);
    EXPECT_EQ(word.altAt(-1), nullptr);
    EXPECT_EQ(word.text(), L"0");
    EXPECT_FALSE(word.addAlt(nullptr));
}

TEST(RecRecords, JoinTextTakesTheFirstAlternativeOfEveryWord) {
    struct Case {
        const char* what;
        std::vector<std::vector<const wchar_t*>> words;
        bool fromText, drop;
        const wchar_t* text;
    } cases[] = {
        {"blanks between words", {{L"hello", L"hallo"}, {L"world"}}, false, false, L"hello world"},
        {"an empty word is skipped", {{L"a"}, {L""}, {L"b"}}, false, false, L"a b"},
        {"a word without alternatives is skipped", {{L"a"}, {}, {L"b"}}, false, false, L"a b"},
        {"made from text: nothing added", {{L"ab"}, {L"  "}, {L"cd"}}, true, false, L"ab  cd"},
        {"a final blank dropped", {{L"ab"}, {L" "}}, true, true, L"ab"},
        {"a final blank kept", {{L"ab"}, {L" "}}, true, false, L"ab "},
        {"no text at all", {{L""}}, false, false, L"<null>"},
        {"no words", {}, false, true, L"<null>"},
    };
    for (const Case& c : cases) {
        RecWordList list;
        for (const auto& alts : c.words) {
            RecWord* w = new RecWord(0, nullptr);
            for (const wchar_t* a : alts) w->addAlt(new RecAlt(a, 50));
            list.appendWord(w);
        }
        list.setMadeFromText(c.fromText);
        EXPECT_EQ(joinedText(list, c.drop), c.text) << c.what;
    }
}

TEST(RecRecords, AListMadeFromTextJoinsBackToTheText) {
    struct Case {
        const wchar_t* text;
        std::vector<const wchar_t*> words;
    } cases[] = {
        {L"ab  cd", {L"ab", L"  ", L"cd"}},
        {L"Hello, world", {L"Hello", L", ", L"world"}},
        {L"2024", {L"2024"}},
        {L"caf\u00e9 au lait!", {L"caf\u00e9", L" ", L"au", L" ", L"lait", L"!"}},
        {L"", {}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<RecWordList> list(makeWordListFromText(c.text, nullptr));
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->madeFromText());
        ASSERT_EQ(list->wordCount(), static_cast<int>(c.words.size())) << rt::narrow(c.text);
        for (size_t i = 0; i < c.words.size(); ++i) {
            const RecWord* w = list->wordAt(static_cast<int>(i));
            EXPECT_EQ(w->text(), c.words[i]);
            EXPECT_EQ(w->altCount(), 1);
            EXPECT_EQ(w->altAt(0)->score(), 100u) << "typed text scores 100";
        }
        if (*c.text) {
            EXPECT_EQ(joinedText(*list, false), c.text);
        }
    }
    EXPECT_EQ(makeWordListFromText(nullptr, nullptr), nullptr);
}

TEST(RecRecords, WordsOfTextGetTheProfilesAlternatives) {
    rt::EnglishModule e;
    RecProfile* p = e.module->findProfile(L"#sys-default");
    ASSERT_NE(p, nullptr);
    std::unique_ptr<RecWordList> list(makeWordListFromText(L"hause, 42", p));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->wordCount(), 3);
    const auto hause = rt::altsOf(*list->wordAt(0));
    EXPECT_EQ(hause[0], L"hause") << "the text itself comes first";
    EXPECT_GE(hause.size(), 2u);
    EXPECT_LE(hause.size(), 6u) << "at most five alternatives from the profile";
    EXPECT_NE(std::find(hause.begin(), hause.end(), L"house"), hause.end());
    EXPECT_EQ(list->wordAt(1)->altCount(), 1) << "punctuation gets no alternatives";
    EXPECT_EQ(rt::altsOf(*list->wordAt(2))[0], L"42");
    EXPECT_EQ(joinedText(*list, false), L"hause, 42");
}

TEST(RecRecords, AResultOwnsItsListAndInk) {
    RecWordList* first = makeWordListFromText(L"one", nullptr);
    RecWordList* second = makeWordListFromText(L"two", nullptr);
    HKL layout = reinterpret_cast<HKL>(0x04090409);
    RecResult result(reinterpret_cast<HWND>(0x1234), new InkTrace(nullptr), first, layout);
    EXPECT_EQ(result.wordList().get(), first);
    EXPECT_EQ(result.layout(), layout);
    EXPECT_EQ(result.target(), reinterpret_cast<HWND>(0x1234));
    EXPECT_EQ(result.typedLength(), -1) << "not typed yet";
    result.setWordList(second);
    EXPECT_EQ(joinedText(*result.wordList(), false), L"two");
}

}  // namespace
