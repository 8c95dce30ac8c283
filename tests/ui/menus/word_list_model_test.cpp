#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "recognition/RecWordList.h"
#include "ui/menus/WordListModel.h"

namespace {

// A recognizer's list: one word per entry, alternatives separated by '|'.
std::unique_ptr<RecWordList> makeList(const std::vector<std::wstring>& words,
                                      bool fromText = false) {
    auto list = std::make_unique<RecWordList>();
    for (const std::wstring& spec : words) {
        auto* word = new RecWord(0, nullptr);
        size_t start = 0;
        while (true) {
            const size_t bar = spec.find(L'|', start);
            const std::wstring alt = spec.substr(start, bar - start);
            word->addAlt(new RecAlt(alt.c_str(), 50));
            if (bar == std::wstring::npos) break;
            start = bar + 1;
        }
        list->appendWord(word);
    }
    list->setMadeFromText(fromText);
    return list;
}

std::vector<std::wstring> firstAlts(const WordListModel& model) {
    std::vector<std::wstring> out;
    for (int i = 0; i < model.wordCount(); ++i) out.push_back(model.wordAt(i)->text());
    return out;
}

TEST(WordListModel, PreparingGivesEveryBlankABox) {
    struct Case {
        std::vector<std::wstring> words;
        bool fromText;
        std::vector<std::wstring> expected;
        bool trailing;
        std::wstring text;
    } cases[] = {
        {{L"hello", L"wrld|world"}, false, {L"hello", L" ", L"wrld", L" "}, true, L"hello wrld"},
        {{L"one"}, false, {L"one", L" "}, true, L"one"},
        {{L"a", L" ", L"b "}, true, {L"a", L" ", L"b "}, false, L"a b "},
        {{L"x", L"", L"y"}, false, {L"x", L"", L"y", L" "}, true, L"xy"},
    };
    for (const Case& c : cases) {
        auto list = makeList(c.words, c.fromText);
        WordListModel model(*list);
        model.prepareForLetterEditing();
        EXPECT_EQ(firstAlts(model), c.expected) << c.text;
        EXPECT_EQ(model.trailingSpace(), c.trailing) << c.text;
        EXPECT_EQ(model.text(), c.text);
        EXPECT_TRUE(model.madeFromText());
    }
}

TEST(WordListModel, PickingAnAlternativeTwiceRestoresTheWord) {
    auto list = makeList({L"hello", L"wrld|world|weld"});
    WordListModel model(*list);
    model.prepareForLetterEditing();
    ASSERT_TRUE(model.pickAlternative(2, 1));
    EXPECT_EQ(model.text(), L"hello world");
    EXPECT_EQ(model.wordAt(2)->alts, (std::vector<std::wstring>{L"world", L"wrld", L"weld"}));
    EXPECT_EQ(model.firstChanged(), 2);
    ASSERT_TRUE(model.pickAlternative(2, 1));
    EXPECT_EQ(model.text(), L"hello wrld");
    EXPECT_FALSE(model.pickAlternative(2, 0));
    EXPECT_FALSE(model.pickAlternative(2, 3));
    EXPECT_FALSE(model.pickAlternative(9, 1));
}

TEST(WordListModel, LetterEditsChangeTheFirstAlternativeAndDropTheOthers) {
    enum Op { Insert, Delete, Case, Replace };
    struct Row {
        Op op;
        int letter;
        bool changes;
        std::wstring word;
    } rows[] = {
        {Insert, 2, true, L"wr ld"}, {Insert, -1, true, L"wrld "}, {Insert, 9, true, L"wrld "},
        {Delete, 0, true, L"rld"},   {Delete, 4, false, L"wrld"},  {Delete, -1, false, L"wrld"},
        {Case, 0, true, L"Wrld"},    {Case, 3, true, L"wrlD"},     {Case, 4, false, L"wrld"},
        {Replace, 1, true, L"wold"}, {Replace, 4, false, L"wrld"},
    };
    for (const Row& r : rows) {
        auto list = makeList({L"hello", L"wrld|world"});
        WordListModel model(*list);
        model.prepareForLetterEditing();
        bool changed = false;
        switch (r.op) {
            case Insert:
                changed = model.insertSpace(2, r.letter);
                break;
            case Delete:
                changed = model.deleteLetter(2, r.letter);
                break;
            case Case:
                changed = model.toggleCase(2, r.letter);
                break;
            case Replace:
                changed = model.replaceLetter(2, r.letter, L'o');
                break;
        }
        SCOPED_TRACE(r.word);
        EXPECT_EQ(changed, r.changes);
        EXPECT_EQ(model.wordAt(2)->text(), r.word);
        EXPECT_EQ(model.wordAt(2)->alts.size(), r.changes ? 1u : 2u);
        EXPECT_EQ(model.lastChanged(), r.changes ? 2 : -1);
    }
}

// Gesture 703 changes a letter's case with the platform's mapping: upper to
// lower, anything else to upper; a letter without another case is no change.
TEST(WordListModel, CaseChangeFollowsThePlatformsCaseMapping) {
    struct Row {
        std::wstring word;
        int letter;
        std::wstring after;
    } rows[] = {
        {L"wrld", 0, L"Wrld"},
        {L"Wrld", 0, L"wrld"},
        {L"\x0436\x0443\x043A", 0, L"\x0416\x0443\x043A"},  // Cyrillic zhe
        {L"\x0416\x0443\x043A", 0, L"\x0436\x0443\x043A"},
        {L"\x00E9lan", 0, L"\x00C9lan"},  // e acute
        {L"\x00C9lan", 0, L"\x00E9lan"},
        {L"se\x00F1or", 2, L"se\x00D1or"},      // n tilde
        {L"\x03B1\x03B2", 1, L"\x03B1\x0392"},  // Greek beta
        {L"\x0105", 0, L"\x0104"},              // a ogonek
        {L"b4", 1, L"b4"},                      // a digit has no case
        {L"b,", 1, L"b,"},
    };
    for (const Row& r : rows) {
        auto list = makeList({r.word});
        WordListModel model(*list);
        model.prepareForLetterEditing();
        const bool changes = r.after != r.word;
        SCOPED_TRACE(testing::Message() << "letter " << r.letter << " of row " << (&r - rows));
        EXPECT_EQ(model.toggleCase(0, r.letter), changes);
        EXPECT_TRUE(model.wordAt(0)->text() == r.after);
        EXPECT_EQ(model.lastChanged(), changes ? 0 : -1);
    }
}

TEST(WordListModel, ChangedRangeCoversEveryChangedWord) {
    auto list = makeList({L"a|b", L"c|d", L"e|f"});
    WordListModel model(*list);
    model.prepareForLetterEditing();  // a _ c _ e _
    model.pickAlternative(2, 1);
    model.pickAlternative(0, 1);
    model.pickAlternative(4, 1);
    EXPECT_EQ(model.firstChanged(), 0);
    EXPECT_EQ(model.lastChanged(), 4);
    model.resetChanged();
    EXPECT_EQ(model.firstChanged(), -1);
}

TEST(WordListModel, DeletingTheTrailingBlankBringsItBack) {
    auto list = makeList({L"hi"});
    WordListModel model(*list);
    model.prepareForLetterEditing();
    ASSERT_TRUE(model.deleteLetter(1, 0));
    EXPECT_TRUE(model.restoreTrailingSpace());
    EXPECT_EQ(firstAlts(model), (std::vector<std::wstring>{L"hi", L"", L" "}));
    EXPECT_FALSE(model.restoreTrailingSpace());
    EXPECT_EQ(model.text(), L"hi");
}

TEST(WordListModel, GlobalLetterCountsTheLettersBefore) {
    auto list = makeList({L"hello", L"wrld"});
    WordListModel model(*list);
    model.prepareForLetterEditing();
    EXPECT_EQ(model.globalLetter(0, 0), 0);
    EXPECT_EQ(model.globalLetter(1, 0), 5);
    EXPECT_EQ(model.globalLetter(2, 3), 9);
    EXPECT_EQ(model.globalLetter(3, 0), 10);
    EXPECT_EQ(model.globalLetter(4, 0), -1);
}

TEST(WordListModel, HandsBackAListThatJoinsToItsText) {
    auto list = makeList({L"hello", L"wrld|world"});
    WordListModel model(*list);
    model.prepareForLetterEditing();
    model.pickAlternative(2, 1);
    std::unique_ptr<RecWordList> back(model.toRecWordList());
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->madeFromText());
    ASSERT_EQ(back->wordCount(), 3);  // without the menu's own trailing blank
    EXPECT_EQ(back->wordAt(2)->altAt(1)->text(), L"wrld");
    // A later menu for the corrected result shows the corrected words.
    WordListModel again(*back);
    again.prepareForLetterEditing();
    EXPECT_EQ(again.text(), L"hello world");
    EXPECT_EQ(again.wordCount(), 4);
}

TEST(VisiblePage, ChoosesTheWordsThatFitTheRow) {
    struct Case {
        const char* name;
        std::vector<int> widths;
        int max, first, last, lastChanged;
        std::pair<int, int> page;
    } cases[] = {
        {"all fit", {10, 10, 10}, 30, 0, 1, -1, {0, -1}},
        {"one word too wide", {500}, 30, 0, 1, -1, {0, -1}},
        {"first page from the start", {10, 10, 10, 10}, 25, 0, 1, -1, {0, 1}},
        {"next page", {10, 10, 10, 10}, 25, 2, -1, -1, {2, -1}},
        {"a wide word alone", {10, 40, 10}, 25, 1, -1, -1, {1, 1}},
        {"last page filled backwards", {10, 10, 10, 10, 10}, 25, 4, -1, -1, {3, -1}},
        {"words before a position", {10, 10, 10, 10, 10}, 25, 0, 3, -1, {2, 3}},
        {"before a position, up to the last changed", {10, 10, 10, 10, 10}, 25, 0, 3, 1, {0, 1}},
        {"before a position that does not fit", {10, 40, 10}, 25, 0, 1, -1, {1, 1}},
        {"before the last word", {10, 10, 10, 10}, 25, 0, 3, -1, {2, -1}},
        {"backwards from the end when the last is too wide", {10, 10, 40}, 25, 2, -1, -1, {2, 2}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseVisiblePage(c.widths, c.max, c.first, c.last, c.lastChanged), c.page)
            << c.name;
}

}  // namespace
