// Features of hand-made answer lists for every feature set, the vocabulary
// levels they read, and the list confidence a channel's net gives.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "AnswerMerger.h"
#include "ConfidenceChannel.h"
#include "WordLevelList.h"
#include "merge_test_util.h"

namespace {

using mergetest::makeList;
using mergetest::Owned;
using mergetest::TestAnswer;
using tessel::ConfidenceChannel;

// All sixteen values of an answer, value 0 being the score.
TestAnswer full(const char* text, int32_t score, std::vector<int32_t> v) {
    TestAnswer a{text, score, {}};
    for (int32_t k = 1; k < TSL_VALUE_COUNT; ++k)
        a.values[k] = static_cast<size_t>(k) < v.size() ? v[static_cast<size_t>(k)] : 1;
    return a;
}

// A top answer, a second answer of the same word (no rival: case is ignored)
// and two rivals. Values by index:            1   2   3  4  5  6   7  8   9   10   11
const std::vector<TestAnswer> kRichList = {
    full("Word,", 90, {0, 10, 5, 12, 7, 3, 4, 32, 6, 64, 130, 8}),
    full("word,", 85, {0, 14, 1, 20, 2, 6, 9}),
    full("ward", 70, {0, 3, 9, 1, 1, 2, 2}),
    full("wart", 50, {0, 6, 2, 5, 8, 1, 1}),
};

class ListFeatures : public ::testing::Test {
  protected:
    ListFeatures() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        mergetest::writeFile(dir_.path("voc.txt"), "word 5\nward 3\nnew 4\nyork 8\n12 2\n");
        EXPECT_TRUE(tessel::readWordLevelList(vocabulary_, dir_.path("voc.txt").c_str()));
        channel_.link(&vocabulary_, &lexgen_);
    }

    std::vector<int32_t> features(const char* set, AnswerList* list) {
        EXPECT_EQ(channel_.recognizerConfigByName(set), 1) << set;
        int32_t out[tessel::kMaxChannelFeatures + 1] = {};
        const int32_t n = channel_.extractFeatures(list, out);
        return std::vector<int32_t>(out, out + n);
    }

    mergetest::TempDir dir_;
    tessel::WordLevelList vocabulary_;
    tessel::LexiconGenerator lexgen_;
    ConfidenceChannel channel_;
};

// Worked by hand: s 90, first rival "ward" (gap 20), phrase level 5 (the
// mark dropped), length 5, one non-alphanumeric (a mark), value 7 = 32, so a
// ratio is x * 2 + 16; the best rival values 1, 2, 4, 6 are 6, 9, 8, 2, the
// best value 1 of the top's own text 14; class "alphas followed by ," (53).
TEST_F(ListFeatures, EveryFeatureSetOfARichList) {
    Owned<AnswerList> list = makeList(kRichList);
    const struct {
        const char* set;
        std::vector<int32_t> expected;
    } cases[] = {
        {"Six", {30, 20, 5, 5, 5, 1}},
        {"Eleven", {-10, 20, 5, 5, 23, 30, 24, 32, 25, -1, 1}},
        {"List5", {-10, -50, 20, 90, 50, 5, 4, 4, 4, 29, 26, 34, 40, 29, 28, 1}},
        {"Twelve", {-10, 20, 32, 22, 36, 24, 40, 25, -1, 6, 16, 2}},
        {"Fourteen", {-10, 20, 5, 32, 22, 36, 24, 40, 25, -1, 1, 6, 18, 2}},
        {"Fifteen", {-10, 20, 5, 5, 22, 36, 24, 40, 25, -1, 1, 6, 18, 2, 32}},
        {"VSConfNormVoc", {-10, 20, 36, 16, 25, 6, 40, -1, 22, 24, 32, 5, 18, 5, 1, 23}},
        {"VSConfNormNoVoc", {-10, 20, 36, 16, 40, -1, 22, 24, 32, 5, 18}},
        {"TPC2NoVoc", {30, 5}},
        {"TPC3SpecNoVoc", {30, 5, 10}},
        {"ThreeNoVoc", {30, 20, 5}},
        {"FourSpecNoVoc", {30, 20, 5, 10}},
        {"HMMVoc", {30, 20, 5, 2, 5, 25, -4, 1, 1, 10, 4}},
        {"SixAltSpec", {30, 20, 5, 5, 5, 1}},
        {"VsHmmVoc", {30, 20, 5, 2, 5, 25, -4, 1, 0}},
        {"TPCVoc", {30, 5, 2, 5, 5, -4, 1, 17}},
        {"VSConfLex", {-10, 20, 36, 16, -4, 38, 32, 40, -1, 22, 2, 10, 23, 18}},
    };
    for (const auto& c : cases) {
        list->setListValue(55);
        EXPECT_EQ(features(c.set, list.get()), c.expected) << c.set;
        EXPECT_EQ(static_cast<size_t>(channel_.count()), c.expected.size()) << c.set;
        EXPECT_EQ(list->listValue(), 55) << c.set << ": extracting does not score";
    }
}

TEST_F(ListFeatures, ListsWithoutRivalsAndWithoutValue7) {
    // "CAT" is the top's own text: no rival. Value 7 is 0: ratios are not divided.
    Owned<AnswerList> list = makeList({full("cat", 75, {0, 3, 4, 5, 6, 7, 8, 0, 9, 10, 11, 12}),
                                       full("CAT", 70, {0, 9, 1, 1, 1, 1, 1, 0})});
    EXPECT_EQ(features("Six", list.get()), (std::vector<int32_t>{15, 15, -1, 3, 4, 0}));
    EXPECT_EQ(features("ThreeNoVoc", list.get()), (std::vector<int32_t>{15, 75, 3}));
    EXPECT_EQ(features("Twelve", list.get()),
              (std::vector<int32_t>{-25, 75, 0, 7 * 64 + 16, 3 * 64 + 16, 8 * 64 + 16, 5 * 64 + 16,
                                    24, 106, 9, 25, -117}));
    EXPECT_EQ(features("VSConfNormNoVoc", list.get()),
              (std::vector<int32_t>{-25, 75, 3 * 64 + 16, (9 + 100) * 64, 5 * 64 + 16, 106,
                                    7 * 64 + 16, 8 * 64 + 16, 0, 3, 26}));
}

TEST_F(ListFeatures, ExamplesWorkedOnSmallLists) {
    Owned<AnswerList> comma = makeList({{"ab,", 75, {}}});
    EXPECT_EQ(features("TPC3SpecNoVoc", comma.get()), (std::vector<int32_t>{15, 3, 10}));
    // Scores 90, 80, 70; texts of 4, 2 and 3 characters; values 1..6 set to 0.
    std::vector<TestAnswer> three = {full("abcd", 90, std::vector<int32_t>(7, 0)),
                                     full("ef", 80, std::vector<int32_t>(7, 0)),
                                     full("ghi", 70, std::vector<int32_t>(7, 0))};
    Owned<AnswerList> list = makeList(three);
    const std::vector<int32_t> f = features("List5", list.get());
    ASSERT_EQ(f.size(), 16u);
    EXPECT_EQ(std::vector<int32_t>(f.begin(), f.begin() + 5),
              (std::vector<int32_t>{-10, -30, 10, 90, 70}));
    EXPECT_EQ(f[6], 3) << "mean length";
    EXPECT_EQ(f[7], 3) << "k";
    EXPECT_EQ(f[8], 3) << "count";
}

TEST_F(ListFeatures, List5ReadsTheScoresOfTheWholeList) {
    std::vector<TestAnswer> answers;
    const char* texts[] = {"a", "b", "c", "d", "e", "f", "g"};
    for (int i = 0; i < 7; ++i)
        answers.push_back(full(texts[i], 90 - 5 * i, std::vector<int32_t>(7, 0)));
    Owned<AnswerList> list = makeList(answers);
    const std::vector<int32_t> f = features("List5", list.get());
    ASSERT_EQ(f.size(), 16u);
    EXPECT_EQ(f[3], 90 - 65) << "s minus the score of answer 5";
    EXPECT_EQ(f[4], 70 - 65);
    answers[6].score = TSL_VALUE_UNSET;  // sorts last: the seventh answer
    list = makeList(answers, 40);
    EXPECT_TRUE(features("List5", list.get()).empty());
    EXPECT_EQ(list->listValue(), 0) << "an unset score beyond the fifth answer fails the set";
}

TEST_F(ListFeatures, UnsetValuesAndEmptyListsGiveNoFeatures) {
    const struct {
        const char* set;
        std::vector<TestAnswer> answers;
    } cases[] = {
        {"Six", {{"cat", 70, {}}}},                                             // value 2 unset
        {"Six", {{"cat", 70, {{2, 1}}}, {"dog", TSL_VALUE_UNSET, {}}}},         // the rival's score
        {"Eleven", {full("cat", 70, {0, 1, 1, 1, 1, 1, 1}), {"dog", 60, {}}}},  // rival's value 4
        {"TPC2NoVoc", {{"cat", TSL_VALUE_UNSET, {}}}},
        {"TPC2NoVoc", {}},
    };
    for (const auto& c : cases) {
        Owned<AnswerList> list = makeList(c.answers, 40);
        EXPECT_TRUE(features(c.set, list.get()).empty()) << c.set;
        EXPECT_EQ(list->listValue(), 0) << c.set;
    }
    Owned<AnswerList> list = makeList({{"cat", 70, {}}}, 40);
    EXPECT_TRUE(features("None", list.get()).empty());
    EXPECT_EQ(list->listValue(), 40) << "feature set None leaves the list value";
}

TEST_F(ListFeatures, VocabularyLevelsOfWordsPhrasesAndClasses) {
    const struct {
        const char* text;
        int vocabulary, word, phrase;
    } words[] = {
        {"Word", 5, 5, 5},
        {"word.", 5, 5, 5},
        {"words", -1, -1, -1},
        {"new york", -1, -1, 6},
        {"  new   york ", -1, -1, 6},
        {"new yorkers", -1, -1, 1},
        {"zzz zzz", -1, -1, -1},
        {"", -1, -1, -1},
        {",", -1, -1, -1},
    };
    for (const auto& w : words) {
        EXPECT_EQ(channel_.vocabularyLevel(w.text), w.vocabulary) << '"' << w.text << '"';
        EXPECT_EQ(channel_.wordLevel(w.text), w.word) << '"' << w.text << '"';
        EXPECT_EQ(channel_.phraseVocabularyLevel(w.text), w.phrase) << '"' << w.text << '"';
    }
    const struct {
        const char* text;
        int32_t shapeClass;
        int level;
    } classes[] = {
        {"word's", 3, 5},                                 // the class cuts "'s" before the lookup
        {"ward", 1, 3},   {"zork", 1, -1}, {"12", 5, 7},  // data classes are at least level 7
        {"42", 5, 7},     {"1234", 0, 7},                 // class 0 may be pure data: all digits
        {"12ab", 0, -1},
    };
    for (const auto& c : classes)
        EXPECT_EQ(channel_.classVocabularyLevel(c.text, c.shapeClass), c.level) << c.text;
}

TEST_F(ListFeatures, LexiconGeneratorGivesTheLevelsOfLoweredWords) {
    std::string asked;
    lexgen_.userData = &asked;
    lexgen_.callback = [](const char* word, void* data, signed char* level) {
        *static_cast<std::string*>(data) += std::string(word) + "|";
        if (std::string(word) == "fail") return 0;
        *level = static_cast<signed char>(std::string(word).size());
        return 1;
    };
    EXPECT_EQ(channel_.vocabularyLevel("HeLLo!"), 6);
    EXPECT_EQ(channel_.wordLevel("HeLLo!"), 5);
    EXPECT_EQ(channel_.vocabularyLevel("FAIL"), -1);
    EXPECT_EQ(channel_.phraseVocabularyLevel("ab abcd"), 3);
    EXPECT_EQ(asked, "hello!|hello|fail|ab|abcd|");
}

TEST(ComputeFeatures, ThreeChannelsOneAfterAnotherShiftedBy128) {
    tessel::AnswerMergerImpl merger;
    for (tessel::ConfidenceChannel& channel : merger.channels)
        ASSERT_EQ(channel.recognizerConfigByName("ThreeNoVoc"), 1);
    Owned<AnswerList> rec1 = makeList({{"cat", 80, {}}, {"cot", 50, {}}});
    Owned<AnswerList> rec2 = makeList({{"dog", 70, {}}});
    Owned<AnswerList> merged = makeList({{"a", 60, {}}, {"b", 55, {}}});
    int32_t out[tessel::kFeatureScratch] = {};
    ASSERT_EQ(merger.computeFeatures(out, rec1.get(), rec2.get(), merged.get()), 9);
    EXPECT_EQ(
        std::vector<int32_t>(out, out + 9),
        (std::vector<int32_t>{20, 30 + 128, 3 + 128, 10, 70 + 128, 3 + 128, 0, 5 + 128, 1 + 128}));
    // A channel whose list gives no features writes nothing in its place.
    Owned<AnswerList> empty = makeList({});
    EXPECT_EQ(merger.computeFeatures(out, rec1.get(), empty.get(), merged.get()), 6);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(out[4], 5 + 128);
}

// A channel of "TPC2NoVoc" (features s - 60 and length) with a net of two
// units: "wrong" centred at (-40, 4), "right" at (30, 4), matrix 0.05 I.
class ListConfidence : public ::testing::Test {
  protected:
    ListConfidence() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    void loadNet(int32_t dim, int32_t outputs) {
        std::vector<double> m(static_cast<size_t>(dim * dim), 0.0);
        for (int32_t i = 0; i < dim; ++i) m[static_cast<size_t>(i * dim + i)] = 0.05;
        std::vector<double> wrong(static_cast<size_t>(dim), 4.0), right(wrong);
        wrong[0] = -40;
        right[0] = 30;
        std::vector<mergetest::NetUnit> units = {
            mergetest::kernelUnit(0, wrong, 1, 0.5, 1.0, 0.5, m),
            mergetest::kernelUnit(outputs > 1 ? 1 : 0, right, 1, 0.5, 1.0, 0.5, m)};
        mergetest::writeFile(dir_.path("net.bin"),
                             mergetest::encodeNet(mergetest::kernelNet(1005, outputs, units)));
        ASSERT_EQ(channel_.loadChannelNet(dir_.path("net.bin").c_str()), 1);
    }

    int32_t score(int32_t s, const char* text = "word") {
        Owned<AnswerList> list = makeList({{text, s, {}}}, 12345);
        channel_.scoreList(list.get());
        return list->listValue();
    }

    mergetest::TempDir dir_;
    ConfidenceChannel channel_;
};

TEST_F(ListConfidence, NetProbabilityOfOutputOneAsAPercentage) {
    ASSERT_EQ(channel_.recognizerConfigByName("TPC2NoVoc"), 1);
    loadNet(2, 2);
    // s = 70: features (10, 4); d = (0.05 * 50)^2 = 6.25 and (0.05 * 20)^2 = 1.
    const double p = 1 / (1 + std::exp(-0.5 * (6.25 - 1)));
    EXPECT_EQ(score(70), static_cast<int32_t>(100 * p + 0.5));
    EXPECT_EQ(score(90), 100);
    EXPECT_EQ(score(20), 0);
    EXPECT_EQ(score(10000), 0) << "every unit far away: no confidence";
    Owned<AnswerList> empty = makeList({}, 12345);
    channel_.scoreList(empty.get());
    EXPECT_EQ(empty->listValue(), 0);
}

TEST_F(ListConfidence, NetThatDoesNotFitGivesNoConfidence) {
    ASSERT_EQ(channel_.recognizerConfigByName("TPC2NoVoc"), 1);
    EXPECT_EQ(score(70), 0) << "no net at all";
    loadNet(3, 2);
    EXPECT_EQ(score(70), 0) << "a net over three features for two";
    loadNet(2, 1);
    EXPECT_EQ(score(70), 0) << "a net without an output 1";
    loadNet(2, 2);
    EXPECT_GT(score(70), 50);
    ASSERT_EQ(channel_.recognizerConfigByName("None"), 1);
    EXPECT_EQ(score(70), 12345) << "feature set None leaves the list value";
}

}  // namespace
