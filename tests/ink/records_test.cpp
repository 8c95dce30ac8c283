// The recognition records: word lists made from text (and their text joined
// back), words that keep their alternatives when memory runs out, and the slot
// of the current, previous and restorable result, which a reader on another
// thread may hold while it is replaced.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/MemoryBlocks.h"
#include "ink/RecResult.h"
#include "recognition/RecWordList.h"
#include "tests/ink/RecordsText.h"

namespace {

// A profile that offers the word in upper case, then with "s" and "!" after it.
class FakeProfile : public RecProfileVariants {
  public:
    explicit FakeProfile(int offered = 3) : offered_(offered) {}
    bool getWordVariants(const wchar_t* word, std::vector<std::wstring>* variants,
                         int maximum) const override {
        ++asked;
        lastMaximum = maximum;
        std::wstring w(word);
        for (int i = 0; i < offered_; ++i) {
            std::wstring v = w;
            if (i == 0)
                for (auto& c : v) c = static_cast<wchar_t>(towupper(c));
            else
                v += std::wstring(static_cast<size_t>(i), i % 2 ? L's' : L'!');
            variants->push_back(v);
        }
        return offered_ > 0;
    }
    mutable int asked = 0;
    mutable int lastMaximum = 0;

  private:
    int offered_;
};

std::vector<std::wstring> wordTexts(const RecWordList& list) {
    std::vector<std::wstring> out;
    for (int i = 0; i < list.wordCount(); ++i) out.push_back(list.wordAt(i)->text());
    return out;
}

RecWord* wordOf(std::initializer_list<const wchar_t*> alternatives) {
    auto* word = new RecWord(0, nullptr);
    for (const wchar_t* a : alternatives) word->addAlt(new RecAlt(a, 50));
    return word;
}

struct TextCase {
    const char* name;
    const wchar_t* text;
    std::vector<std::wstring> words;
    std::vector<int> altCounts;  // with a profile that offers 3 variants
};

class WordListFromText : public testing::TestWithParam<TextCase> {};

TEST_P(WordListFromText, SplitsIntoRunsAndJoinsBackExactly) {
    const TextCase& c = GetParam();
    FakeProfile profile;
    RecWordList* list = makeWordListFromText(c.text, &profile);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->madeFromText());
    EXPECT_EQ(wordTexts(*list), c.words);
    std::vector<int> counts;
    for (int i = 0; i < list->wordCount(); ++i) counts.push_back(list->wordAt(i)->altCount());
    EXPECT_EQ(counts, c.altCounts);
    for (int i = 0; i < list->wordCount(); ++i) {
        const RecWord* word = list->wordAt(i);
        for (int a = 0; a < word->altCount(); ++a)
            EXPECT_EQ(word->altAt(a)->score(), RecAlt::kTypedScore) << "typed text scores 100";
    }
    EXPECT_EQ(joinedText(*list, false), std::wstring(c.text).empty() ? L"<null>" : c.text);
    delete list;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WordListFromText,
    testing::Values(TextCase{"TwoBlanksBetween", L"ab  cd", {L"ab", L"  ", L"cd"}, {4, 1, 4}},
                    TextCase{
                        "CommaAndBlankTogether", L"one, two", {L"one", L", ", L"two"}, {4, 1, 4}},
                    TextCase{"DigitsAreOneWord", L"2024", {L"2024"}, {4}},
                    TextCase{"LettersAndDigitsTogether", L"a1b2", {L"a1b2"}, {4}},
                    TextCase{"PunctuationOnly", L"?!", {L"?!"}, {1}},
                    TextCase{"LeadingAndTrailingBlanks", L" x ", {L" ", L"x", L" "}, {1, 4, 1}},
                    TextCase{"Empty", L"", {}, {}}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

TEST(WordList, ProfileIsAskedForAtMostFiveVariantsOfLetterRunsOnly) {
    FakeProfile generous(8);
    RecWordList* list = makeWordListFromText(L"hi, you", &generous);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(generous.asked, 2) << "not for the comma and blank";
    EXPECT_EQ(generous.lastMaximum, 5);
    ASSERT_EQ(list->wordCount(), 3);
    const RecWord* hi = list->wordAt(0);
    ASSERT_EQ(hi->altCount(), 6) << "the text itself and five variants";
    EXPECT_EQ(hi->altAt(0)->text(), L"hi");
    EXPECT_EQ(hi->altAt(1)->text(), L"HI");
    EXPECT_EQ(hi->altAt(2)->text(), L"his") << "in the profile's order";
    delete list;

    RecWordList* plain = makeWordListFromText(L"hi", nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->wordAt(0)->altCount(), 1) << "no profile, no variants";
    delete plain;
    EXPECT_EQ(makeWordListFromText(nullptr, nullptr), nullptr);
}

TEST(WordList, JoinPutsOneBlankBetweenWordsThatHaveText) {
    struct {
        std::vector<std::vector<const wchar_t*>> words;
        bool drop;
        const wchar_t* expected;
    } cases[] = {
        {{{L"a"}, {}, {L"b"}}, false, L"a b"},
        {{{L"a"}, {L""}, {L"b"}}, false, L"a b"},
        {{{L"one", L"won"}, {L"two"}}, false, L"one two"},
        {{{L"x"}, {L" "}}, false, L"x  "},
        {{{L"x"}, {L" "}}, true, L"x "},
        {{{L"x "}}, true, L"x"},
        {{}, false, L"<null>"},
        {{{}, {L""}}, true, L"<null>"},
    };
    for (const auto& c : cases) {
        RecWordList list;
        for (const auto& alternatives : c.words) {
            auto* word = new RecWord(0, nullptr);
            for (const wchar_t* a : alternatives) word->addAlt(new RecAlt(a, 10));
            ASSERT_TRUE(list.appendWord(word));
        }
        EXPECT_EQ(joinedText(list, c.drop), c.expected) << "drop " << c.drop;
    }
}

TEST(WordList, MadeFromTextJoinsWithoutBlanks) {
    RecWordList* list = makeWordListFromText(L"ab cd", nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(joinedText(*list, true), L"ab cd");
    delete list;
}

TEST(WordList, WordAtOutsideTheListIsNull) {
    RecWordList list;
    ASSERT_TRUE(list.appendWord(wordOf({L"w"})));
    EXPECT_NE(list.wordAt(0), nullptr);
    EXPECT_EQ(list.wordAt(-1), nullptr);
    EXPECT_EQ(list.wordAt(1), nullptr);
    EXPECT_EQ(list.wordAt(0)->altAt(-1), nullptr);
    EXPECT_EQ(list.wordAt(0)->altAt(1), nullptr);
    EXPECT_FALSE(list.appendWord(nullptr));
}

TEST(WordList, WordKeepsTheEngineIntegers) {
    const int32_t ids[] = {7, -3, 12};
    RecWord word(3, ids);
    ASSERT_EQ(word.integerCount(), 3);
    EXPECT_EQ(word.integers()[1], -3);
    EXPECT_NE(word.integers(), ids) << "a copy";
    RecWord none(0, ids);
    EXPECT_EQ(none.integerCount(), 0);
    EXPECT_EQ(none.text(), L"");
}

// A heap that fails while `failing` is set.
std::atomic<bool> failing{false};
void* mayAllocate(size_t n) { return failing ? nullptr : std::malloc(n); }
void* mayReallocate(void* p, size_t n) { return failing ? nullptr : std::realloc(p, n); }
const MemoryHeap failableHeap = {&mayAllocate, &mayReallocate, &std::free};

TEST(WordList, WordGrowsPastTenAlternativesAndKeepsThemWhenGrowingFails) {
    const MemoryHeap* previous = setMemoryHeap(&failableHeap);
    RecWord word(0, nullptr);
    for (int i = 0; i < 23; ++i)
        ASSERT_TRUE(word.addAlt(new RecAlt(std::to_wstring(i).c_str(), 1)));
    EXPECT_EQ(word.altCount(), 23);
    // 10, then 16, then 22, then 28 places: 5 more are free now.
    for (int i = 23; i < 28; ++i) ASSERT_TRUE(word.addAlt(new RecAlt(L"x", 1)));
    failing = true;
    EXPECT_FALSE(word.addAlt(new RecAlt(L"lost", 1))) << "no room and no memory";
    failing = false;
    EXPECT_EQ(word.altCount(), 28) << "what the word had stays";
    EXPECT_EQ(word.altAt(22)->text(), L"22");
    EXPECT_TRUE(word.addAlt(new RecAlt(L"again", 1)));
    EXPECT_EQ(word.altCount(), 29);
    setMemoryHeap(previous);
}

TEST(WordList, AllocationFailureWhileMakingFromTextGivesNull) {
    const MemoryHeap* previous = setMemoryHeap(&failableHeap);
    failing = true;
    EXPECT_EQ(makeWordListFromText(L"ab cd", nullptr), nullptr);
    RecWordList list;
    EXPECT_FALSE(addWordFromText(nullptr, L"ab", &list));
    EXPECT_EQ(list.wordCount(), 0) << "a failed word is not appended";
    failing = false;
    setMemoryHeap(previous);
}

// ---- the result slot ----

struct EventLog {
    static std::vector<std::string>& lines() {
        static std::vector<std::string> l;
        return l;
    }
    static void clearOverride(int level) { lines().push_back("clear " + std::to_string(level)); }
    static void forgetProfile() { lines().push_back("forget"); }
    static void changed() { lines().push_back("changed"); }
};

class ResultSlotTest : public testing::Test {
  protected:
    void SetUp() override {
        clearRecResults();
        RecResultEvents events;
        events.clearPendingProfileChoice = EventLog::clearOverride;
        events.forgetLastWritingProfile = EventLog::forgetProfile;
        events.resultChanged = EventLog::changed;
        setRecResultEvents(events);
        EventLog::lines().clear();
    }
    void TearDown() override {
        clearRecResults();
        setRecResultEvents(RecResultEvents());
    }

    static RecResultRef result(const wchar_t* text, int layout = 0) {
        return adoptRecResult(new RecResult(nullptr, nullptr, makeWordListFromText(text, nullptr),
                                            reinterpret_cast<RecKeyboardLayout>(intptr_t(layout))));
    }
    static std::wstring currentText() {
        RecResultRef current = getCurrentRecResult();
        if (!current) return L"<none>";
        auto words = current->wordList();
        return words ? joinedText(*words, false) : L"<no list>";
    }
};

TEST_F(ResultSlotTest, NewResultBecomesCurrentAndAnnouncesIt) {
    RecResultRef first = result(L"first", 0x409);
    setCurrentRecResult(first, true, true);
    EXPECT_EQ(currentText(), L"first");
    EXPECT_EQ(getCurrentRecResultLayout(), reinterpret_cast<RecKeyboardLayout>(intptr_t(0x409)));
    EXPECT_EQ(EventLog::lines(), (std::vector<std::string>{"clear 0", "changed"}));
    EXPECT_FALSE(isPreviousRecResultRestorable()) << "there was no current one to keep";

    EventLog::lines().clear();
    setCurrentRecResult(first, true, true);
    EXPECT_EQ(EventLog::lines(), (std::vector<std::string>{"clear 0"}))
        << "the current one again: no announcement";

    EventLog::lines().clear();
    setCurrentRecResult(nullptr, true, false);
    EXPECT_EQ(currentText(), L"<none>");
    EXPECT_EQ(getCurrentRecResultLayout(), nullptr);
    EXPECT_EQ(EventLog::lines(), (std::vector<std::string>{"forget"})) << "not announced";
    EXPECT_TRUE(isPreviousRecResultRestorable());
    EXPECT_EQ(getPreviousRecResult(), first);
}

TEST_F(ResultSlotTest, RestoreBringsBackThePreviousOnceOnly) {
    struct Step {
        const char* action;  // "set:<text>:<keep>", "none:<keep>", "restore"
        const wchar_t* current;
        bool restorable;
    };
    const Step steps[] = {
        {"set:one:1", L"one", false},     {"set:two:1", L"two", true},
        {"restore", L"one", false},       {"restore", L"<none>", false},
        {"set:three:0", L"three", false}, {"set:four:0", L"four", false},
        {"restore", L"<none>", false},    {"set:five:1", L"five", false},
        {"none:1", L"<none>", true},      {"restore", L"five", false},
    };
    for (const Step& s : steps) {
        const std::string action = s.action;
        if (action == "restore") {
            restorePreviousRecResult();
        } else if (action.rfind("none:", 0) == 0) {
            setCurrentRecResult(nullptr, action.back() == '1', false);
        } else {
            const std::string text = action.substr(4, action.size() - 6);
            setCurrentRecResult(result(std::wstring(text.begin(), text.end()).c_str()),
                                action.back() == '1', false);
        }
        EXPECT_EQ(currentText(), s.current) << action;
        EXPECT_EQ(isPreviousRecResultRestorable(), s.restorable) << action;
    }
}

TEST_F(ResultSlotTest, ReplacingTheWordListNeedsACurrentResult) {
    EXPECT_FALSE(replaceCurrentWordList(makeWordListFromText(L"lost", nullptr), true))
        << "and the list is deleted, not leaked";
    EXPECT_TRUE(EventLog::lines().empty());
    setCurrentRecResult(result(L"old"), false, false);
    EXPECT_TRUE(replaceCurrentWordList(makeWordListFromText(L"new words", nullptr), true));
    EXPECT_EQ(currentText(), L"new words");
    EXPECT_EQ(EventLog::lines().back(), "changed");
}

TEST_F(ResultSlotTest, TypedLengthStartsUnknownAndInkBelongsToTheResult) {
    auto* ink = new InkTrace(nullptr);
    RecResultRef r = adoptRecResult(new RecResult(nullptr, ink, nullptr, nullptr));
    EXPECT_EQ(r->typedLength(), -1);
    r->setTypedLength(5);
    EXPECT_EQ(r->typedLength(), 5);
    EXPECT_EQ(r->ink(), ink);
    EXPECT_EQ(r->wordList(), nullptr);
    EXPECT_EQ(adoptRecResult(nullptr), nullptr);
}

// A reader on another thread keeps the result and word list it took alive
// while the slot replaces and drops them (the sanitizers would see a read of
// freed memory).
TEST_F(ResultSlotTest, ReaderKeepsWhatItHoldsWhileTheSlotChanges) {
    setRecResultEvents(RecResultEvents());
    setCurrentRecResult(result(L"start here"), true, true);
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};
    std::thread reader([&] {
        while (!stop) {
            RecResultRef current = getCurrentRecResult();
            if (!current) continue;
            auto words = current->wordList();
            if (!words) continue;
            wchar_t* text = words->joinText(false);
            if (text) {
                EXPECT_NE(text[0], L'\0');
                freeMemory(text);
            }
            ++reads;
        }
    });
    for (int i = 0; i < 2000 || reads < 100; ++i) {
        if (i % 3 == 0)
            replaceCurrentWordList(makeWordListFromText(L"replaced list", nullptr), true);
        else if (i % 7 == 0)
            restorePreviousRecResult();
        else
            setCurrentRecResult(result(i % 2 ? L"odd one" : L"even one"), true, true);
        if (i > 200000) break;
    }
    stop = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
