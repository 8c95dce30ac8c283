// Answer items and lists through the exports, and the merger's operations that
// need no model data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AnswerList.h"
#include "AnswerMerger.h"
#include "Tessel.h"
#include "merge_test_util.h"

namespace {

using mergetest::Owned;

Owned<AnswerItem> item(const char* text, int32_t score) {
    Owned<AnswerItem> it(TslCreateAnswerItem());
    if (text) it->setText(text);
    it->setValue(score, 0);
    return it;
}

Owned<AnswerList> listOf(const std::vector<std::pair<const char*, int32_t>>& answers) {
    Owned<AnswerList> list(TslCreateAnswerList());
    for (const auto& a : answers) list->add(item(a.first, a.second).get());
    return list;
}

TEST(AnswerItem, FreshItemHasNoTextAndUnsetValues) {
    Owned<AnswerItem> it(TslCreateAnswerItem());
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->text(), nullptr);
    for (int32_t i = 0; i < TSL_VALUE_COUNT; ++i) EXPECT_EQ(it->value(i), TSL_VALUE_UNSET);
    EXPECT_EQ(it->value(16), -1);
    EXPECT_EQ(it->value(-1), -1);
}

TEST(AnswerItem, SetValueChecksTheIndex) {
    Owned<AnswerItem> it(TslCreateAnswerItem());
    EXPECT_EQ(it->setValue(5, 16), 0);
    EXPECT_EQ(it->setValue(5, -1), 0);
    EXPECT_EQ(it->setValue(5, 15), 1);
    EXPECT_EQ(it->value(15), 5);
}

TEST(AnswerItem, EmptyOrNullTextLeavesNoText) {
    Owned<AnswerItem> it(TslCreateAnswerItem());
    EXPECT_EQ(it->setText("word"), 1);
    EXPECT_STREQ(it->text(), "word");
    EXPECT_EQ(it->setText(""), 0);
    EXPECT_EQ(it->text(), nullptr);
    it->setText("word");
    EXPECT_EQ(it->setText(nullptr), 0);
    EXPECT_EQ(it->text(), nullptr);
}

TEST(AnswerItem, SetTextFromItsOwnTextKeepsIt) {
    Owned<AnswerItem> it(TslCreateAnswerItem());
    it->setText("same");
    EXPECT_EQ(it->setText(it->text()), 1);
    EXPECT_STREQ(it->text(), "same");
    EXPECT_EQ(it->copyFrom(it.get()), 1);
    EXPECT_STREQ(it->text(), "same");
}

TEST(AnswerItem, CopyFromTakesTextAndAllValues) {
    Owned<AnswerItem> from(TslCreateAnswerItem()), to(TslCreateAnswerItem());
    from->setText("from");
    for (int32_t i = 0; i < TSL_VALUE_COUNT; ++i) from->setValue(i * 3 - 7, i);
    ASSERT_EQ(to->copyFrom(from.get()), 1);
    EXPECT_STREQ(to->text(), "from");
    EXPECT_NE(to->text(), from->text()) << "the copy owns its text";
    for (int32_t i = 0; i < TSL_VALUE_COUNT; ++i) EXPECT_EQ(to->value(i), i * 3 - 7);
}

TEST(AnswerItem, CopyFromAnItemWithoutTextCopiesNothing) {
    Owned<AnswerItem> from(TslCreateAnswerItem()), to(TslCreateAnswerItem());
    from->setValue(42, 0);
    to->setText("old");
    to->setValue(7, 0);
    EXPECT_EQ(to->copyFrom(from.get()), 0);
    EXPECT_EQ(to->text(), nullptr);
    EXPECT_EQ(to->value(0), 7);
    EXPECT_EQ(to->copyFrom(nullptr), 0);
}

TEST(AnswerList, NewListIsEmptyWithUnsetListValue) {
    Owned<AnswerList> list(TslCreateAnswerList());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(list->listValue(), TSL_VALUE_UNSET);
    list->clear();
    EXPECT_EQ(list->listValue(), 0);
    EXPECT_EQ(list->setListValue(73), 1);
    EXPECT_EQ(list->listValue(), 73);
}

TEST(AnswerList, AddCopiesTheItem) {
    Owned<AnswerList> list(TslCreateAnswerList());
    Owned<AnswerItem> it = item("copy", 50);
    it->setValue(9, 7);
    ASSERT_EQ(list->add(it.get()), 1);
    it->setText("changed");
    it->setValue(1, 0);
    EXPECT_STREQ(list->textAt(0), "copy");
    EXPECT_EQ(list->valueAt(0, 0), 50);
    EXPECT_EQ(list->valueAt(0, 7), 9);
}

TEST(AnswerList, AnItemWithoutTextIsNotAdded) {
    Owned<AnswerList> list(TslCreateAnswerList());
    EXPECT_EQ(list->add(item(nullptr, 10).get()), 0);
    EXPECT_EQ(list->add(nullptr), 0);
    EXPECT_EQ(list->count(), 0);
}

TEST(AnswerList, HoldsAtMostOneHundredAnswers) {
    Owned<AnswerList> list(TslCreateAnswerList());
    for (int i = 0; i < TSL_LIST_CAPACITY; ++i)
        ASSERT_EQ(list->add(item(("w" + std::to_string(i)).c_str(), 1000 - i).get()), 1);
    EXPECT_EQ(list->add(item("extra", 5000).get()), 0);
    EXPECT_EQ(list->count(), TSL_LIST_CAPACITY);
    EXPECT_STREQ(list->textAt(0), "w0") << "the refused item must not have been stored";
    EXPECT_STREQ(list->textAt(99), "w99");
}

struct SortCase {
    const char* name;
    std::vector<std::pair<const char*, int32_t>> answers;
    std::vector<const char*> ranked;
};

class AnswerListSorting : public ::testing::TestWithParam<SortCase> {};

TEST_P(AnswerListSorting, ReadsRankByScore) {
    const SortCase& c = GetParam();
    Owned<AnswerList> list = listOf(c.answers);
    ASSERT_EQ(list->count(), static_cast<int32_t>(c.ranked.size()));
    for (size_t i = 0; i < c.ranked.size(); ++i)
        EXPECT_STREQ(list->textAt(static_cast<int32_t>(i)), c.ranked[i]) << "rank " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnswerListSorting,
    ::testing::Values(SortCase{"UnsortedInput",
                               {{"ten", 10}, {"thirty", 30}, {"twenty", 20}},
                               {"thirty", "twenty", "ten"}},
                      SortCase{"BestFirst",
                               {{"thirty", 30}, {"twenty", 20}, {"ten", 10}},
                               {"thirty", "twenty", "ten"}},
                      SortCase{"UnsetScoresLast",
                               {{"unset", TSL_VALUE_UNSET}, {"low", -5}, {"high", 5}},
                               {"high", "low", "unset"}},
                      SortCase{"Negative", {{"a", -30}, {"b", -10}, {"c", -20}}, {"b", "c", "a"}}),
    [](const ::testing::TestParamInfo<SortCase>& info) { return std::string(info.param.name); });

TEST(AnswerList, BestFirstListIsNeverResorted) {
    // Values after the first are equal: a sort would be free to reorder them.
    Owned<AnswerList> list = listOf({{"top", 30}, {"first", 20}, {"second", 20}, {"third", 20}});
    EXPECT_STREQ(list->textAt(1), "first");
    EXPECT_STREQ(list->textAt(2), "second");
    EXPECT_STREQ(list->textAt(3), "third");
}

TEST(AnswerList, ItemAtOutsideTheListIsNull) {
    Owned<AnswerList> list = listOf({{"a", 1}, {"b", 2}});
    EXPECT_EQ(list->itemAt(2), nullptr);
    EXPECT_EQ(list->itemAt(-1), nullptr);
    EXPECT_EQ(list->textAt(2), nullptr);
    EXPECT_EQ(list->valueAt(-1, 0), TSL_VALUE_UNSET);
    ASSERT_NE(list->itemAt(0), nullptr);
    EXPECT_STREQ(list->itemAt(0)->text(), "b");
    EXPECT_EQ(list->valueAt(0, 16), -1);
}

TEST(AnswerList, ReleasingAListsOwnItemLeavesItToTheList) {
    Owned<AnswerList> list = listOf({{"kept", 1}});
    list->itemAt(0)->release();
    EXPECT_STREQ(list->textAt(0), "kept");
}

TEST(AnswerList, ClearEmptiesAndAddingOverwritesOldItems) {
    Owned<AnswerList> list = listOf({{"old", 5}});
    list->itemAt(0)->setValue(99, 12);
    list->clear();
    EXPECT_EQ(list->count(), 0);
    Owned<AnswerItem> fresh = item("new", 7);
    ASSERT_EQ(list->add(fresh.get()), 1);
    EXPECT_STREQ(list->textAt(0), "new");
    EXPECT_EQ(list->valueAt(0, 12), TSL_VALUE_UNSET) << "every value is overwritten";
}

// A lexicon-generator callback that answers the number written as the word.
int numberAsClass(const char* word, void* userData, signed char* result) {
    ++*static_cast<int*>(userData);
    if (std::string(word) == "fail") return 0;
    *result = static_cast<signed char>(std::stoi(word));
    return 1;
}

TEST(AnswerMerger, LexgenClassMapsTheCallbacksResult) {
    tessel::AnswerMergerImpl merger;
    int calls = 0;
    EXPECT_EQ(merger.lexgenClass("3"), -1) << "without a lexicon generator";
    merger.lexgen = {&calls, numberAsClass};
    const struct {
        const char* word;
        int32_t expected;
    } cases[] = {{"-128", -1}, {"-2", -1}, {"-1", -1},  {"0", -1},   {"2", -1},
                 {"3", 0},     {"4", 1},   {"5", 4},    {"6", 6},    {"15", 15},
                 {"16", 15},   {"40", 15}, {"127", 15}, {"fail", -1}};
    for (const auto& c : cases) EXPECT_EQ(merger.lexgenClass(c.word), c.expected) << c.word;
    EXPECT_EQ(calls, static_cast<int>(sizeof cases / sizeof cases[0]));
}

TEST(AnswerMerger, AnswersWithoutTheirCarriedValuesMergeToAnEmptyList) {
    // Answers carry values 2, 11, 7 and 12 into the merge; these have only a score.
    tessel::AnswerMergerImpl merger;
    Owned<AnswerList> rec1 = listOf({{"a", 80}, {"b", 60}});
    Owned<AnswerList> rec2 = listOf({{"b", 70}});
    Owned<AnswerList> out = listOf({{"stale", 1}});
    EXPECT_EQ(merger.merge(rec1.get(), rec2.get(), out.get()), 1);
    EXPECT_EQ(out->count(), 0);
    out->add(item("stale", 1).get());
    EXPECT_EQ(merger.mergeWithConfidence(rec1.get(), rec2.get(), out.get()), 1);
    EXPECT_EQ(out->count(), 0);
    EXPECT_EQ(merger.merge(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(merger.mergeWithConfidence(rec1.get(), nullptr, out.get()), 0);
}

TEST(AnswerMerger, ScoringFollowsTheChannelsFeatureSet) {
    tessel::AnswerMergerImpl merger;
    Owned<AnswerList> empty(TslCreateAnswerList());
    Owned<AnswerList> full = listOf({{"a", 80}});
    full->setListValue(55);
    EXPECT_EQ(merger.scoreRec1List(empty.get()), 1);
    EXPECT_EQ(empty->listValue(), 0) << "an empty list has confidence 0";
    EXPECT_EQ(merger.scoreRec1List(full.get()), 1);
    EXPECT_EQ(full->listValue(), 55) << "feature set None leaves the list value";
    ASSERT_EQ(merger.channels[tessel::kCrossChannel].recognizerConfigByName("Six"), 1);
    EXPECT_EQ(merger.scoreCrossList(full.get()), 1);
    EXPECT_EQ(full->listValue(), 0) << "features that cannot be had give 0";
}

TEST(AnswerMerger, FeatureCountSumsTheChannels) {
    tessel::AnswerMergerImpl merger;
    EXPECT_EQ(merger.featureCount(), 0);
    merger.channels[tessel::kRec1Channel].recognizerConfigByName("ThreeNoVoc");
    merger.channels[tessel::kRec2Channel].recognizerConfigByName("List5");
    merger.channels[tessel::kCrossChannel].recognizerConfigByName("VSConfLex");
    EXPECT_EQ(merger.featureCount(), 3 + 16 + 14);
    int32_t features[tessel::kFeatureScratch];
    EXPECT_EQ(merger.computeFeatures(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(merger.probeFeatures(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(merger.probeFeatures(nullptr, nullptr, nullptr, 1), 1);
    EXPECT_GE(merger.computeFeatures(features, nullptr, nullptr, nullptr), 0);
}

TEST(AnswerMerger, PrepareRec2ListMarksTheListPrepared) {
    tessel::AnswerMergerImpl merger;
    Owned<AnswerList> rec2 = listOf({{"a", 1}});
    Owned<AnswerList> out(TslCreateAnswerList());
    EXPECT_EQ(merger.prepareRec2List(rec2.get(), out.get()), 1);
    EXPECT_TRUE(tessel::listImpl(rec2.get())->prepared());
    EXPECT_EQ(out->count(), 0) << "no rescaling asked for: out is not touched";

    merger.rescaleHmmList = 1;
    Owned<AnswerList> other = listOf({{"a", 1}, {"b", 0}});
    EXPECT_EQ(merger.prepareRec2List(other.get(), out.get()), 1);
    EXPECT_TRUE(tessel::listImpl(other.get())->prepared());
    ASSERT_EQ(out->count(), 2) << "without statistics the answers are copied unchanged";
    EXPECT_STREQ(out->textAt(1), "b");
    EXPECT_TRUE(tessel::listImpl(out.get())->prepared());
    EXPECT_EQ(merger.prepareRec2List(nullptr, out.get()), 0);
    EXPECT_EQ(merger.prepareRec2List(other.get(), nullptr), 0);
}

TEST(Exports, MergeWriteAnswerChecksFirstAndThirdArgument) {
    int a = 0, c = 0;
    EXPECT_EQ(MergeWriteAnswer(&a, 0, &c, 0, 0), 1);
    EXPECT_EQ(MergeWriteAnswer(&a, 0, nullptr, 0, 0), 0);
    EXPECT_EQ(MergeWriteAnswer(nullptr, 0, &c, 0, 0), 0);
}

TEST(Exports, LoadNeedsItsArguments) {
    int userData = 0;
    EXPECT_EQ(TslLoad(nullptr), nullptr);
    EXPECT_EQ(TslLoadForLexgen(nullptr, &userData, numberAsClass), nullptr);
    EXPECT_EQ(TslLoadForLexgen("model.cfg", nullptr, numberAsClass), nullptr);
    EXPECT_EQ(TslLoadForLexgen("model.cfg", &userData, nullptr), nullptr);
    EXPECT_EQ(TslLoad("no such folder/model.cfg"), nullptr);
}

}  // namespace
