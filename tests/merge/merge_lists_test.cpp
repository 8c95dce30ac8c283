// Merging answer lists: the weighted rank fusion, the rescalings of the Rec2
// list, and the merge with confidences of a complete small model.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AnswerList.h"
#include "AnswerMerger.h"
#include "ListRescaling.h"
#include "Tessel.h"
#include "merge_test_util.h"

namespace {

using mergetest::makeList;
using mergetest::mergeable;
using mergetest::Owned;
using mergetest::TestAnswer;
using tessel::AnswerMergerImpl;

struct Out {
    std::string text;
    int32_t score;
    bool operator==(const Out& o) const { return text == o.text && score == o.score; }
};
std::ostream& operator<<(std::ostream& os, const Out& o) { return os << o.text << ":" << o.score; }

std::vector<Out> answers(AnswerList* list) {
    std::vector<Out> out;
    for (int32_t i = 0; i < list->count(); ++i)
        out.push_back({list->textAt(i), list->valueAt(i, 0)});
    return out;
}

class Merge : public ::testing::Test {
  protected:
    std::vector<Out> merge(const std::vector<TestAnswer>& rec1,
                           const std::vector<TestAnswer>& rec2) {
        Owned<AnswerList> a = makeList(rec1), b = makeList(rec2);
        EXPECT_EQ(merger_.merge(a.get(), b.get(), out_.get()), 1);
        return answers(out_.get());
    }

    AnswerMergerImpl merger_;
    Owned<AnswerList> out_ = makeList({{"stale", 1, {}}});
};

TEST_F(Merge, AnswerOfBothListsScoresTheSumOfItsScores) {
    EXPECT_EQ(merge({mergeable("a", 80), mergeable("b", 60)}, {mergeable("b", 70)}),
              (std::vector<Out>{{"b", 65}, {"a", 40}}));
}

TEST_F(Merge, CarriedValuesComeFromTheBetterListEntryAndTheRestIsUnset) {
    Owned<AnswerList> rec1 =
        makeList({{"a", 80, {{2, 21}, {11, 111}, {7, 71}, {12, 121}, {5, 5}}}});
    Owned<AnswerList> rec2 = makeList({{"a", 90, {{2, 22}, {11, 112}, {7, 72}, {12, 122}}}});
    merger_.merge(rec1.get(), rec2.get(), out_.get());
    ASSERT_EQ(out_->count(), 1);
    // Rec1's entry sorts before Rec2's for the same text and keeps its values.
    for (const auto& v : {std::pair<int, int>{2, 21}, {11, 111}, {7, 71}, {12, 121}})
        EXPECT_EQ(out_->valueAt(0, v.first), v.second);
    for (int32_t k : {1, 3, 4, 5, 6, 8, 9, 10, 13, 14, 15})
        EXPECT_EQ(out_->valueAt(0, k), TSL_VALUE_UNSET) << k;
    EXPECT_EQ(out_->valueAt(0, 0), (80 + 91) / 2);
}

TEST_F(Merge, WeightsDeltaAndAlphaOrderDisagreeingLists) {
    const struct {
        double weight, delta, alpha;
        std::vector<Out> expected;
    } cases[] = {
        // Rec1 a 80, c 20; Rec2 b 70, c 30. x = 70 weight + 0.5.
        {1, 1, 1, {{"a", 40}, {"b", 35}, {"c", 25}}},
        // alpha 1.5: Rec1 scores halve (80 * 0.5 + 0.5), Rec2's grow (1.5 x + 0.5).
        {1, 1, 1.5, {{"b", 53}, {"c", 27}, {"a", 20}}},
        // weight 0.5: x = 35.5; c of Rec2 (35.5 - (35.5 - 15)) + 0.5 = 15.
        {0.5, 1, 1, {{"a", 40}, {"b", 18}, {"c", 17}}},
        // delta 0: every Rec2 answer scores like its top one.
        {1, 0, 1, {{"c", 45}, {"a", 40}, {"b", 35}}},
    };
    for (const auto& c : cases) {
        merger_.weight = c.weight;
        merger_.delta = c.delta;
        merger_.alpha = c.alpha;
        std::vector<Out> got = merge({mergeable("a", 80), mergeable("c", 20)},
                                     {mergeable("b", 70), mergeable("c", 30)});
        // In the merged list's own order: no two readings score alike here.
        EXPECT_EQ(got, c.expected) << c.weight << " " << c.delta << " " << c.alpha;
    }
}

TEST_F(Merge, AgreeingTopsStayFirst) {
    EXPECT_EQ(
        merge({mergeable("a", 80), mergeable("b", 78)}, {mergeable("a", 75), mergeable("c", 74)}),
        (std::vector<Out>{{"a", 78}, {"b", 39}, {"c", 37}}));
}

TEST_F(Merge, RepeatedTextOfOneListTakesPartOnce) {
    EXPECT_EQ(merge({mergeable("a", 80), mergeable("a", 30), mergeable("b", 60)}, {}),
              (std::vector<Out>{{"a", 40}, {"b", 30}}));
    EXPECT_EQ(merge({mergeable("a", 80)}, {mergeable("a", 70), mergeable("a", 65)}),
              (std::vector<Out>{{"a", (80 + 71) / 2}}));
}

TEST_F(Merge, EmptyListsAndMissingLists) {
    EXPECT_EQ(merge({mergeable("a", 80), mergeable("b", 61)}, {}),
              (std::vector<Out>{{"a", 40}, {"b", 30}}));
    EXPECT_EQ(merge({}, {mergeable("b", 70)}), (std::vector<Out>{{"b", 35}}));
    EXPECT_TRUE(merge({}, {}).empty());
    Owned<AnswerList> a = makeList({mergeable("a", 1)});
    EXPECT_EQ(merger_.merge(a.get(), nullptr, out_.get()), 1);
    EXPECT_EQ(out_->count(), 0);
    EXPECT_EQ(merger_.merge(a.get(), a.get(), a.get()), 1) << "merging into an input";
    EXPECT_EQ(a->count(), 0);
}

TEST_F(Merge, AnyUnsetValueOfAnAnswerLeavesTheOutputEmpty) {
    for (int32_t k : {0, 2, 11, 7, 12}) {
        for (int list = 0; list < 2; ++list) {
            TestAnswer bad = mergeable("x", 50);
            bad.values[k] = TSL_VALUE_UNSET;
            if (k == 0) bad.score = TSL_VALUE_UNSET;
            std::vector<TestAnswer> rec1 = {mergeable("a", 80)}, rec2 = {mergeable("b", 70)};
            (list == 0 ? rec1 : rec2).push_back(bad);
            EXPECT_TRUE(merge(rec1, rec2).empty()) << "value " << k << " in list " << list;
        }
    }
    // The values the merge does not read may be unset.
    TestAnswer sparse = mergeable("a", 80);
    sparse.values[3] = TSL_VALUE_UNSET;
    EXPECT_EQ(merge({sparse}, {}).size(), 1u);
}

TEST_F(Merge, ScoreOutOfRangeRanksLast) {
    merger_.alpha = 0.5;  // Rec1 scores grow by half
    EXPECT_EQ(merge({mergeable("a", 2147483647), mergeable("b", 10)}, {mergeable("a", 2147483647)}),
              (std::vector<Out>{{"b", 7}, {"a", (INT32_MIN + 1073741824LL) / 2}}));
}

TEST_F(Merge, FullListsGiveTheHundredBestAndTiesByRank) {
    std::vector<TestAnswer> rec1, rec2;
    std::vector<std::string> texts;
    for (int i = 0; i < 200; ++i) texts.push_back("w" + std::to_string(1000 + i));
    for (int i = 0; i < 100; ++i) {
        rec1.push_back(mergeable(texts[static_cast<size_t>(2 * i)].c_str(), 1000 - 2 * i));
        rec2.push_back(mergeable(texts[static_cast<size_t>(2 * i + 1)].c_str(), 1000 - 2 * i));
    }
    const std::vector<Out> got = merge(rec1, rec2);
    ASSERT_EQ(got.size(), 100u);
    // Each pair of equal scores: Rec1's answer i and Rec2's answer i share
    // rank sums too, so both of the fifty best pairs come out.
    for (size_t i = 0; i < 100; ++i)
        EXPECT_EQ(got[i].score, (1000 - 2 * static_cast<int>(i / 2)) / 2);
    // Both lists agree on all hundred texts: one answer each.
    EXPECT_EQ(merge(rec1, rec1).size(), 100u);
    EXPECT_EQ(merge(rec1, rec1)[0], (Out{"w1000", 1000}));
}

TEST(RescaleTpc, RanksTakeTheTableOfTheTopScore) {
    const struct {
        int32_t top;
        std::vector<int32_t> scores;
    } cases[] = {
        {90, {182, 153, 149, 147, 144, 137, 135, 133, 131, 130, 129, 128}},
        {30, {160, 153, 144, 139, 136, 133, 130, 128, 126, 124, 123, 122}},
        {60, {173, 161, 150, 147, 143, 140, 137, 135, 133, 131, 130, 129}},
        {61, {173, 161, 150, 147, 143, 140, 137, 135, 133, 131, 130, 129}},
    };
    for (const auto& c : cases) {
        std::vector<TestAnswer> in;
        std::vector<std::string> texts;
        for (int i = 0; i < 12; ++i) texts.push_back("t" + std::to_string(i));
        for (int i = 0; i < 12; ++i)
            in.push_back({texts[static_cast<size_t>(i)].c_str(), c.top - i, {{5, i}}});
        Owned<AnswerList> list = makeList(in, 33);
        Owned<AnswerList> out = makeList({});
        ASSERT_EQ(tessel::rescaleTpc(list.get(), out.get()), 1);
        ASSERT_EQ(out->count(), 12);
        for (int32_t i = 0; i < 12; ++i) {
            EXPECT_EQ(out->valueAt(i, 0), c.scores[static_cast<size_t>(i)]) << c.top << " " << i;
            EXPECT_EQ(out->valueAt(i, 5), i) << "the other values are copied";
        }
        EXPECT_EQ(out->listValue(), 33);
        EXPECT_TRUE(tessel::listImpl(out.get())->prepared());
    }
    std::vector<TestAnswer> long_;
    std::vector<std::string> texts;
    for (int i = 0; i < 100; ++i) texts.push_back("t" + std::to_string(i));
    for (int i = 0; i < 100; ++i) long_.push_back({texts[static_cast<size_t>(i)].c_str(), 90, {}});
    Owned<AnswerList> list = makeList(long_);
    Owned<AnswerList> out = makeList({});
    tessel::rescaleTpc(list.get(), out.get());
    EXPECT_EQ(out->valueAt(99, 0), 40) << "130 + 9 - 99";
    EXPECT_EQ(tessel::rescaleTpc(nullptr, out.get()), 0);
}

TEST_F(Merge, TpcRescalingAppliesOnceToTheRec2List) {
    merger_.rescaleTpcList = 1;
    // Rec2 "b" becomes 173 (table 60 for a top of 70), "c" 161.
    EXPECT_EQ(merge({mergeable("a", 80)}, {mergeable("b", 70), mergeable("c", 10)}),
              (std::vector<Out>{{"b", 87}, {"c", 80}, {"a", 40}}));
    Owned<AnswerList> rec1 = makeList({mergeable("a", 80)});
    Owned<AnswerList> rec2 = makeList({mergeable("b", 70)});
    tessel::listImpl(rec2.get())->setPrepared(true);
    merger_.merge(rec1.get(), rec2.get(), out_.get());
    EXPECT_EQ(answers(out_.get()), (std::vector<Out>{{"a", 40}, {"b", 35}}))
        << "a prepared list is not rescaled again";
}

class RescaleHmm : public ::testing::Test {
  protected:
    RescaleHmm() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        mergetest::writeFile(dir_.path("voc.txt"), "apple 9\nbanana 2\n");
        EXPECT_TRUE(tessel::readWordLevelList(merger_.vocabulary, dir_.path("voc.txt").c_str()));
    }

    mergetest::TempDir dir_;
    AnswerMergerImpl merger_;
};

TEST_F(RescaleHmm, ReranksByVocabularyAndShapeStatistics) {
    merger_.vocStatQual = 10;
    merger_.nonVocWeight = 4;
    Owned<AnswerList> in = makeList({{"cherry", 60, {}},
                                     {"???", 55, {}},
                                     {"banana", 50, {}},
                                     {"apple", 20, {}},
                                     {"durian", 15, {}}});
    Owned<AnswerList> out = makeList({});
    ASSERT_EQ(tessel::rescaleHmm(merger_, in.get(), out.get()), 1);
    // r: cherry (-1 - 4) * 10 + 60 = 10, banana 70, apple 110, durian -35.
    EXPECT_EQ(answers(out.get()),
              (std::vector<Out>{{"apple", 110}, {"banana", 70}, {"cherry", 10}, {"durian", -35}}));
    EXPECT_EQ(out->valueAt(0, 1), 20) << "the old score is kept in value 1";
    EXPECT_TRUE(tessel::listImpl(out.get())->prepared());

    merger_.vocStatQual = 0;
    merger_.lexStatQual = 0.5;
    // Class "alphas only" has the statistic 79.68313, "digits only" 86.960116.
    in = makeList({{"cat", 60, {}}, {"12", 58, {}}, {"dog", 58, {}}});
    tessel::rescaleHmm(merger_, in.get(), out.get());
    EXPECT_EQ(answers(out.get()), (std::vector<Out>{{"12", 101}, {"cat", 99}, {"dog", 97}}));
}

TEST_F(RescaleHmm, EqualRKeepsTheRecognizersOrder) {
    merger_.lexStatQual = 1;
    Owned<AnswerList> in =
        makeList({{"b", 50, {{5, 1}}}, {"a", 50, {{5, 2}}}, {"c", 50, {{5, 3}}}});
    Owned<AnswerList> out = makeList({});
    tessel::rescaleHmm(merger_, in.get(), out.get());
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(out->valueAt(i, 5), i + 1);
}

// Both qualities 0.0: there is nothing to re-rank by, and the second list
// must not be lost to the merge (it once came back empty).
TEST_F(RescaleHmm, WithoutStatisticsTheListIsCopiedUnchanged) {
    Owned<AnswerList> in = makeList({mergeable("b", 70), mergeable("???", 60)}, 44);
    Owned<AnswerList> out = makeList({});
    ASSERT_EQ(tessel::rescaleHmm(merger_, in.get(), out.get()), 1);
    EXPECT_EQ(answers(out.get()), (std::vector<Out>{{"b", 70}, {"???", 60}}));
    EXPECT_EQ(out->listValue(), 44);
    EXPECT_TRUE(tessel::listImpl(out.get())->prepared());

    merger_.rescaleHmmList = 1;
    Owned<AnswerList> rec1 = makeList({mergeable("a", 80), mergeable("b", 60)});
    merger_.merge(rec1.get(), in.get(), out.get());
    EXPECT_EQ(answers(out.get()), (std::vector<Out>{{"b", 65}, {"a", 40}, {"???", 30}}));
}

// The complete small model of fixtures/confident.cfg: nets that read the top
// score (probability 1 / (1 + exp(-0.15 (s - 60)))) and a study of the pair
// in which equal answers are far more often right than different ones.
class MergeWithConfidence : public ::testing::Test {
  protected:
    MergeWithConfidence() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        mergetest::installConfidentModel(dir_);
        merger_ = std::make_unique<AnswerMergerImpl>();
        EXPECT_EQ(tessel::loadMergerModel(*merger_, dir_.path("confident.cfg").c_str()), 1);
    }

    std::vector<Out> merge(const std::vector<TestAnswer>& rec1,
                           const std::vector<TestAnswer>& rec2) {
        rec1_ = makeList(rec1, 0);
        rec2_ = makeList(rec2, 0);
        EXPECT_EQ(merger_->mergeWithConfidence(rec1_.get(), rec2_.get(), out_.get()), 1);
        return answers(out_.get());
    }

    mergetest::TempDir dir_;
    std::unique_ptr<AnswerMergerImpl> merger_;
    Owned<AnswerList> rec1_, rec2_;
    Owned<AnswerList> out_ = makeList({});
};

TEST_F(MergeWithConfidence, AgreeingTopsStayFirstWithRaisedConfidence) {
    // Confidences: Rec1 95 (s 80), Rec2 82 (s 70), merge 90 (s 75). Equal
    // answers at 95 and 82 read 0.9505 from the study: cat is lifted to
    // 95 + 75 + 1 over the merged answers.
    EXPECT_EQ(merge({mergeable("cat", 80, 1), mergeable("cot", 50)},
                    {mergeable("cat", 70, 3), mergeable("cut", 40)}),
              (std::vector<Out>{{"cat", 171}, {"cot", 25}, {"cut", 20}}));
    EXPECT_EQ(out_->listValue(), 95);
    EXPECT_EQ(out_->valueAt(0, 2), 1) << "the lifted answer is Rec1's";
    EXPECT_EQ(rec1_->listValue(), 95);
    EXPECT_EQ(rec2_->listValue(), 82);
}

TEST_F(MergeWithConfidence, DisagreeingTopsAreOrderedByTheModel) {
    // The plain merge puts cot (121) before cat (120); Rec2 holds cat 30
    // below its top, so the study reads "answer in list": first right 0.486,
    // second right 0.382. Rec1's cat goes first, with a low confidence.
    EXPECT_EQ(merge({mergeable("cat", 80), mergeable("cot", 50)},
                    {mergeable("cot", 70), mergeable("cat", 40)}),
              (std::vector<Out>{{"cat", 109}, {"cot", 99}}));
    EXPECT_EQ(out_->listValue(), 49);
}

TEST_F(MergeWithConfidence, ThirdListJoinsWhenTheMergeModeNamesIt) {
    // The merged list is the third recognizer. A study of "12+3 simple"
    // weighs it in through the second and third pair blocks: 0.8214 for all
    // three, where the pair alone gave 0.9505.
    std::string study = mergetest::readUnscrambled(dir_.path("confident.sqr"), 249);
    const std::string pairMode = "Merge: 1+2 simple\n";
    study.replace(study.find(pairMode), pairMode.size(),
                  "Merge: 12+3 simple\nRec3 results: merged.log logw w\n");
    mergetest::writeScrambled(dir_.path("confident.sqr"), study, 249);
    merger_ = std::make_unique<AnswerMergerImpl>();
    ASSERT_EQ(tessel::loadMergerModel(*merger_, dir_.path("confident.cfg").c_str()), 1);
    ASSERT_EQ(merger_->mergeStudy->mergeMode, 71);
    EXPECT_EQ(merge({mergeable("cat", 80), mergeable("cot", 50)},
                    {mergeable("cat", 70), mergeable("cut", 40)}),
              (std::vector<Out>{{"cat", 158}, {"cot", 25}, {"cut", 20}}));
    EXPECT_EQ(out_->listValue(), 82);
}

TEST_F(MergeWithConfidence, RejectedTpcListCountsAsEmpty) {
    merger_->rescaleTpcList = 1;
    // Rec2 says nothing: only Rec1's answers, its top lifted by its own
    // single confidence; the study of the pair reads the one-sided case.
    const std::vector<Out> got = merge({mergeable("cat", 80)}, {mergeable("???", 1)});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, "cat");
    EXPECT_EQ(rec2_->listValue(), 0) << "the caller's list is not scored";
    merger_->rescaleTpcList = 0;
    EXPECT_EQ(merge({mergeable("cat", 80)}, {mergeable("???", 1)}).size(), 2u);
}

TEST_F(MergeWithConfidence, UnsetListValueOrEmptyMergeGivesNothing) {
    // Channels of feature set None leave the caller's list values.
    AnswerMergerImpl bare;
    Owned<AnswerList> rec1 = makeList({mergeable("cat", 80)});  // list value unset
    Owned<AnswerList> rec2 = makeList({mergeable("cat", 70)}, 50);
    EXPECT_EQ(bare.mergeWithConfidence(rec1.get(), rec2.get(), out_.get()), 1);
    EXPECT_EQ(out_->count(), 0);
    EXPECT_TRUE(merge({}, {}).empty());
}

TEST_F(MergeWithConfidence, DistanceStudySkipsTheLiftedTops) {
    ASSERT_EQ(merger_->distanceStudy, nullptr);
    merger_->distanceStudy = merger_->mergeStudy;
    tessel::addRefMergeStudy(merger_->distanceStudy);
    EXPECT_EQ(merge({mergeable("cat", 80)}, {mergeable("cat", 70)}),
              (std::vector<Out>{{"cat", 75}}));
    EXPECT_EQ(out_->listValue(), 0);
}

TEST_F(MergeWithConfidence, FinalStepKeepsTheHundredBest) {
    std::vector<TestAnswer> merged;
    std::vector<std::string> texts;
    for (int i = 0; i < 100; ++i) texts.push_back("m" + std::to_string(100 + i));
    for (int i = 0; i < 100; ++i)
        merged.push_back(mergeable(texts[static_cast<size_t>(i)].c_str(), 500 - i));
    Owned<AnswerList> m = makeList(merged, 70);
    Owned<AnswerList> rec1 = makeList({mergeable("one", 10)}, 90);
    Owned<AnswerList> rec2 = makeList({mergeable("two", 10)}, 90);
    ASSERT_EQ(merger_->combineWithStudy(rec1.get(), rec2.get(), m.get(), out_.get()), 1);
    // 102 different texts: "one" and "two" are lifted above the top (500),
    // the two lowest merged answers fall out.
    ASSERT_EQ(out_->count(), 100);
    EXPECT_GT(out_->valueAt(0, 0), 500);
    EXPECT_GT(out_->valueAt(1, 0), 500);
    EXPECT_EQ(out_->valueAt(99, 0), 500 - 97);
}

TEST(MergeThroughTheExports, CompleteSmallModel) {
    mergetest::TempDir dir("MergeThroughTheExports");
    mergetest::installConfidentModel(dir);
    Owned<AnswerMerger> merger(TslLoad(dir.path("confident.cfg").c_str()));
    ASSERT_NE(merger, nullptr);
    EXPECT_EQ(merger->featureCount(), 2 + 2 + 3);
    Owned<AnswerList> rec1(TslCreateAnswerList()), rec2(TslCreateAnswerList()),
        out(TslCreateAnswerList());
    Owned<AnswerItem> item(TslCreateAnswerItem());
    mergetest::fillExampleLists(rec1.get(), rec2.get(), item.get());
    ASSERT_EQ(merger->merge(rec1.get(), rec2.get(), out.get()), 1);
    EXPECT_EQ(answers(out.get()), (std::vector<Out>{{"cat", 75}, {"cot", 25}, {"cut", 20}}));
    ASSERT_EQ(merger->mergeWithConfidence(rec1.get(), rec2.get(), out.get()), 1);
    EXPECT_EQ(answers(out.get()), (std::vector<Out>{{"cat", 171}, {"cot", 25}, {"cut", 20}}));
    EXPECT_EQ(out->listValue(), 95);
    EXPECT_EQ(merger->scoreCrossList(out.get()), 1);
    EXPECT_EQ(out->listValue(), 100) << "the Cross net on a top scoring 171";
    int32_t features[tessel::kFeatureScratch];
    EXPECT_EQ(merger->computeFeatures(features, rec1.get(), rec2.get(), out.get()), 7);
    EXPECT_EQ(merger->probeFeatures(rec1.get(), rec2.get(), out.get(), 1), 1);
}

}  // namespace
