#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/menus/LetterBoxes.h"
#include "ui/menus/WordListModel.h"

namespace {

LetterRecord record(const std::wstring& guesses, bool set = false) {
    LetterRecord r;
    for (wchar_t c : guesses) r.addGuess(c);
    r.set = set ? 1 : 0;
    return r;
}

std::wstring guesses(const LetterRecord& r) { return std::wstring(r.guesses, r.count); }

TEST(LetterRecord, HoldsTenDistinctGuessesAtMost) {
    LetterRecord r;
    for (wchar_t c = L'a'; c < L'a' + 10; ++c) EXPECT_TRUE(r.addGuess(c));
    EXPECT_TRUE(r.addGuess(L'a'));  // held already
    EXPECT_FALSE(r.addGuess(L'z'));
    EXPECT_EQ(r.count, 10);
    EXPECT_EQ(r.guesses[10], 0);
    EXPECT_EQ(guesses(r), L"abcdefghij");
}

TEST(LetterRecord, MergeRotatesOnlyWhenTheShownLetterIsWrittenAgain) {
    struct Case {
        const char* name;
        std::wstring own, other;
        bool rotate;
        std::wstring merged;
    } cases[] = {
        {"same letter again brings the second guess", L"oa", L"o", true, L"ao"},
        {"same letter, more guesses appended", L"oa", L"oe", true, L"aoe"},
        {"another letter only adds", L"oa", L"e", true, L"oae"},
        {"no rotation asked", L"oa", L"o", false, L"oa"},
        {"one guess cannot rotate", L"o", L"o", true, L"o"},
        // A box that held nothing shows what the recognizer ranked first.
        {"an empty box keeps the recognizer's order", L"", L"ea", true, L"ea"},
        {"full record takes no more", L"abcdefghij", L"k", true, L"abcdefghij"},
    };
    for (const Case& c : cases) {
        LetterRecord r = record(c.own, true);
        r.merge(record(c.other), c.rotate);
        EXPECT_EQ(guesses(r), c.merged) << c.name;
        EXPECT_EQ(r.set, 1) << c.name;  // its own set flag stays
        EXPECT_LE(r.count, LetterRecord::kMaxGuesses);
    }
}

TEST(LetterRecord, WritingOverABoxShowsTheWrittenLetter) {
    struct Case {
        const char* name;
        std::wstring own, written, after;
    } cases[] = {
        {"another letter is shown first", L"eo", L"a", L"aeo"},
        {"its guesses first, then the former ones", L"eo", L"ao", L"aoe"},
        {"the shown letter again brings the second guess", L"eo", L"e", L"oe"},
        {"an empty box takes the writing", L"", L"xk", L"xk"},
        {"at most ten", L"abcdefghij", L"z", L"zabcdefghi"},
    };
    for (const Case& c : cases) {
        LetterRecord r = record(c.own);
        r.takeWriting(record(c.written));
        EXPECT_EQ(guesses(r), c.after) << c.name;
        EXPECT_EQ(r.set, 1) << c.name;
    }
    LetterRecord untouched = record(L"eo");
    untouched.takeWriting(LetterRecord());
    EXPECT_EQ(guesses(untouched), L"eo");
    EXPECT_EQ(untouched.set, 0);
}

TEST(LetterRecord, MergeAllOnlyForEqualCounts) {
    std::vector<LetterRecord> into = {record(L"a"), record(L"b")};
    mergeAllRecords(into, {record(L"x")});
    EXPECT_EQ(guesses(into[0]), L"a");
    mergeAllRecords(into, {record(L"x"), record(L"b")});
    EXPECT_EQ(guesses(into[0]), L"ax");
    EXPECT_EQ(guesses(into[1]), L"b");
}

TEST(LetterBoxes, RecordsTakeTheLettersOfEveryAlternative) {
    MenuWord word;
    word.alts = {L"wrld", L"world", L"weld", L"w ld"};
    word.scores = {1, 1, 1, 1};
    MenuWord blank;
    blank.alts = {L" "};
    blank.scores = {1};
    const std::vector<LetterRecord> records = buildLetterRecords({&word, &blank});
    ASSERT_EQ(records.size(), 5u);
    // "world" is one longer: its letters also count from the word's end.
    EXPECT_EQ(guesses(records[0]), L"wo");
    EXPECT_EQ(guesses(records[1]), L"roe");
    EXPECT_EQ(guesses(records[2]), L"lr");
    EXPECT_EQ(guesses(records[3]), L"dl");
    EXPECT_EQ(guesses(records[4]), L"");  // a blank is never a guess
}

TEST(LetterBoxes, BoxAtXWalksTheWidths) {
    const std::vector<int> widths = {10, 12, 8};
    struct Case {
        int x, box;
    } cases[] = {{4, -1}, {5, 0}, {14, 0}, {15, 1}, {26, 1}, {27, 2}, {34, 2}, {35, -1}};
    for (const Case& c : cases) EXPECT_EQ(boxAtX(5, widths, c.x), c.box) << c.x;
}

TEST(LetterBoxes, WritingFillsOnlyWordsThatMatchTheirBoxes) {
    int reported = -2;
    std::vector<LetterRecord> r =
        recordsFromWriting(4, {{{L"ab", L"ob", L"abc"}, {1, 2}}, {{L"xy"}, {3}}}, &reported);
    EXPECT_EQ(guesses(r[1]), L"ao");
    EXPECT_EQ(guesses(r[2]), L"b");
    EXPECT_EQ(r[1].set, 1);
    EXPECT_EQ(r[3].count, 0);  // two letters over one box: nothing
    EXPECT_EQ(r[0].set, 0);
    EXPECT_EQ(reported, -1);

    r = recordsFromWriting(4, {{{L"o", L"0"}, {2}}}, &reported);
    EXPECT_EQ(guesses(r[2]), L"o0");
    EXPECT_EQ(reported, 2);
}

}  // namespace
