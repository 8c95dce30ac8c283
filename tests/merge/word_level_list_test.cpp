// The vocabulary word list: its file format, duplicates and the lookups.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "WordLevelList.h"
#include "merge_test_util.h"

namespace {

using mergetest::TempDir;
using mergetest::writeFile;
using tessel::findWordLevel;
using tessel::WordLevelList;

class Vocabulary : public ::testing::Test {
  protected:
    Vocabulary() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    bool read(const std::string& text) {
        writeFile(dir_.path("voc.txt"), text);
        return tessel::readWordLevelList(list_, dir_.path("voc.txt").c_str());
    }

    std::vector<std::pair<std::string, int>> entries() const {
        std::vector<std::pair<std::string, int>> all;
        for (const tessel::WordLevelEntry& e : list_.entries) all.emplace_back(e.word, e.level);
        return all;
    }

    TempDir dir_;
    WordLevelList list_;
};

struct LineCase {
    const char* name;
    const char* text;
    bool loads;
    std::vector<std::pair<std::string, int>> entries;
};

class VocabularyLines : public Vocabulary, public ::testing::WithParamInterface<LineCase> {};

TEST_P(VocabularyLines, GiveTheirEntries) {
    const LineCase& c = GetParam();
    ASSERT_EQ(read(c.text), c.loads);
    EXPECT_EQ(entries(), c.entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VocabularyLines,
    ::testing::Values(
        LineCase{"WordAndLevel", "word 3\n", true, {{"word", 3}}},
        LineCase{"LowerCased", "WoRD 3\n", true, {{"word", 3}}},
        LineCase{"QuotedWithBlank", "\"New York\" 12\n", true, {{"new york", 12}}},
        LineCase{"QuotedThenComma", "\"a, b\",4\n", true, {{"a, b", 4}}},
        LineCase{"CommaSeparated", "word,5\n", true, {{"word", 5}}},
        LineCase{"TabSeparated", "word\t6\n", true, {{"word", 6}}},
        LineCase{"LeadingBlanksAndTabs", " \t word 1\n", true, {{"word", 1}}},
        LineCase{"TextBeforeTheLevel", "word level=9 or 10\n", true, {{"word", 9}}},
        LineCase{"MinusIgnored", "word -5\n", true, {{"word", 5}}},
        LineCase{"LeadingZeros", "word 007\n", true, {{"word", 7}}},
        LineCase{"HighLevelWraps", "word 200\n", true, {{"word", -56}}},
        LineCase{"Level255", "word 255\n", true, {{"word", -1}}},
        LineCase{"Level256", "word 256\n", false, {}},
        LineCase{"Level300", "ok 1\nword 300\n", false, {}},
        LineCase{"HugeLevel", "word 99999999999999999999\n", false, {}},
        LineCase{"NoLevelSkipped", "word\nother 2\n", true, {{"other", 2}}},
        LineCase{"WordWithoutLevelSkipped", "word x\n", true, {}},
        LineCase{"UnclosedQuoteSkipped", "\"word 5\n", true, {}},
        LineCase{"EmptyLines", "\n\n \t\nword 1\n\n", true, {{"word", 1}}},
        LineCase{"WindowsLineEnds", "word 3\r\nnext 4\r\n", true, {{"next", 4}, {"word", 3}}},
        LineCase{"NoFinalLineFeed", "word 3", true, {{"word", 3}}},
        LineCase{"Sorted", "b 2\nc 3\na 1\n", true, {{"a", 1}, {"b", 2}, {"c", 3}}},
        LineCase{
            "HighBytesSortUnsigned", "\xe9t\xe9 1\nzoo 2\n", true, {{"zoo", 2}, {"\xe9t\xe9", 1}}},
        LineCase{"Empty", "", true, {}}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(Vocabulary, DuplicatesLeaveOneEntry) {
    ASSERT_TRUE(read("Word 1\nword 2\nWORD 3\nother 4\n"));
    ASSERT_EQ(list_.entries.count(), 2u);
    EXPECT_STREQ(list_.entries[1].word, "word");
    const int level = findWordLevel(list_, "word");
    EXPECT_TRUE(level >= 1 && level <= 3) << level;
}

TEST_F(Vocabulary, FailureLeavesTheListEmpty) {
    ASSERT_TRUE(read("a 1\nb 2\n"));
    EXPECT_FALSE(read("a 1\nb 999\n"));
    EXPECT_EQ(list_.entries.count(), 0u);
    ASSERT_TRUE(read("a 1\n"));
    EXPECT_FALSE(tessel::readWordLevelList(list_, dir_.path("absent.txt").c_str()));
    EXPECT_EQ(list_.entries.count(), 0u);
    EXPECT_EQ(findWordLevel(list_, "a"), -1);
}

TEST_F(Vocabulary, FindsEveryWordOfALargeList) {
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i) words.push_back("w" + std::to_string(i * 7));
    std::vector<std::string> shuffled = words;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(11));
    std::string text;
    for (const std::string& w : shuffled)
        text += w + " " + std::to_string(std::stoi(w.substr(1)) % 100) + "\n";
    ASSERT_TRUE(read(text));
    ASSERT_EQ(list_.entries.count(), words.size());
    for (const std::string& w : words)
        ASSERT_EQ(findWordLevel(list_, w.c_str()), std::stoi(w.substr(1)) % 100) << w;
    for (const char* absent : {"", "a", "w1", "w00", "w9999999", "x", "\xff"})
        EXPECT_EQ(findWordLevel(list_, absent), -1) << absent;
}

TEST_F(Vocabulary, EmptyListFindsNothing) {
    ASSERT_TRUE(read(""));
    EXPECT_EQ(findWordLevel(list_, "word"), -1);
    EXPECT_EQ(tessel::lookupWordLevel(list_, "word"), -1);
    int found = 1;
    EXPECT_EQ(tessel::lookupWordLevelRetry(list_, "word", &found), -1);
    EXPECT_EQ(found, 0);
}

TEST_F(Vocabulary, LookupLowerCasesAndDropsATrailingMark) {
    ASSERT_TRUE(read("word 4\nend. 5\n"));
    EXPECT_EQ(tessel::lookupWordLevel(list_, "Word,"), 4);
    EXPECT_EQ(tessel::lookupWordLevel(list_, "WORD"), 4);
    EXPECT_EQ(tessel::lookupWordLevel(list_, "word.."), -1) << "only one mark is dropped";
    EXPECT_EQ(tessel::lookupWordLevel(list_, "end."), -1) << "the mark is always dropped";
    EXPECT_EQ(tessel::lookupWordLevel(list_, ""), -1);
    EXPECT_EQ(tessel::lookupWordLevel(list_, std::string(2000, 'w').c_str()), -1);
}

TEST_F(Vocabulary, RetryLookupReportsWhetherTheWholeWordWasFound) {
    ASSERT_TRUE(read("word 4\nend. 5\nminus 255\n"));
    const struct {
        const char* word;
        int level;
        int found;
    } cases[] = {{"Word", 4, 1},   {"end.", 5, 1},  {"word!", 4, 0},
                 {"minus", -1, 1}, {"ends", -1, 0}, {"", -1, 0}};
    for (const auto& c : cases) {
        int found = -7;
        EXPECT_EQ(tessel::lookupWordLevelRetry(list_, c.word, &found), c.level) << c.word;
        EXPECT_EQ(found, c.found) << c.word;
    }
}

}  // namespace
