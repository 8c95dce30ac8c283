// Study tables turning list confidences into the probabilities that the top
// answers are right: the one-dimensional and the bilinear interpolation, the
// cases of a pair, the texts as the study saw them, and every merge mode.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "MergeStudy.h"
#include "StudyProbabilities.h"
#include "merge_test_util.h"

namespace {

using mergetest::makeList;
using mergetest::Owned;
using tessel::MergeStudy;
using tessel::pairProbability;
using tessel::StudyPairBlock;

// Borders of row s at 10 (s + 1) i, so each row is told from the others; the
// table of case c is 0.1 f + 0.01 g + 0.1 c, linear in the intervals f and g,
// so that interpolating it gives 0.1 (x / w1 - 0.5) + 0.01 (y / w2 - 0.5) + 0.1 c
// for interval widths w1 and w2.
StudyPairBlock linearBlock(bool full) {
    StudyPairBlock block{};
    for (int s = 0; s < 6; ++s)
        for (int i = 0; i < 11; ++i) block.borders[s][i] = 10.0 * (s + 1) * i;
    for (int c = 0; c < tessel::kPairCaseCount; ++c)
        for (int f = 0; f < 10; ++f)
            for (int g = 0; g < 10; ++g) block.tables[c][f][g] = 0.1 * f + 0.01 * g + 0.1 * c;
    block.fullInterpolation = full ? 1 : 0;
    return block;
}

double linear(double x, double w1, double y, double w2, int c) {
    return 0.1 * (x / w1 - 0.5) + 0.01 * (y / w2 - 0.5) + 0.1 * c;
}

TEST(ConfidenceToProbability, PiecewiseLinearAndExtendedAlongTheOuterSegments) {
    const double levels[10] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    const double probabilities[10] = {0, 0.1, 0.2, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0};
    const struct {
        double x, p;
    } cases[] = {{25, 0.15}, {35, 0.3},  {10, 0.0}, {100, 1.0},
                 {5, -0.05}, {110, 1.1}, {40, 0.4}, {99, 0.99}};
    for (const auto& c : cases)
        EXPECT_NEAR(tessel::confidenceToProbability(levels, probabilities, 10, c.x), c.p, 1e-12)
            << c.x;
    const double flat[10] = {10, 10, 30, 40, 50, 60, 70, 80, 90, 100};
    EXPECT_NEAR(tessel::confidenceToProbability(flat, probabilities, 10, 5), 0.05, 1e-12)
        << "two points at one level give their mean";
}

TEST(PairProbability, BilinearOverTheIntervalsOfTheCasesRows) {
    const StudyPairBlock block = linearBlock(true);
    // Case 0 reads rows 0 and 3, cases 1 and 2 rows 1 and 4, cases 3 and 4 rows 2 and 5.
    const double widths[5][2] = {{10, 40}, {20, 50}, {20, 50}, {30, 60}, {30, 60}};
    for (int c = 0; c < 5; ++c)
        for (double x : {7.0, 40.0, 57.0})
            for (double y : {40.0, 131.0})
                EXPECT_NEAR(pairProbability(block, c, x, y),
                            linear(x, widths[c][0], y, widths[c][1], c), 1e-12)
                    << "case " << c << " x " << x << " y " << y;
}

TEST(PairProbability, ProductTableShowsTheCrossTerm) {
    StudyPairBlock block = linearBlock(true);
    for (int f = 0; f < 10; ++f)
        for (int g = 0; g < 10; ++g) block.tables[0][f][g] = 0.01 * f * g;
    // Row 0 has width 10, row 3 width 40: f + C u = x / 10 - 0.5, g + D v = y / 40 - 0.5.
    EXPECT_NEAR(pairProbability(block, 0, 37, 142), 0.01 * 3.2 * 3.05, 1e-12);
}

TEST(PairProbability, OuterIntervalsAndClamping) {
    const StudyPairBlock full = linearBlock(true);
    const StudyPairBlock plain = linearBlock(false);
    // x = 4 lies in interval 0 of row 1 (width 20): with full interpolation it
    // leans past the middle (f + C u = -0.3); without it interval 0 is read
    // as it is. y = 25 is the middle of its interval in row 4.
    EXPECT_NEAR(pairProbability(full, 2, 4, 25), 0.1 * -0.3 + 0.2, 1e-12);
    EXPECT_NEAR(pairProbability(plain, 2, 4, 25), 0.2, 1e-12);
    EXPECT_NEAR(pairProbability(plain, 0, 99, 20), 0.1 * 9 + 0.01 * 0.0, 1e-12);
    EXPECT_NEAR(pairProbability(full, 0, 99, 20), 0.1 * 9.4, 1e-12);
    // Inner intervals interpolate either way.
    EXPECT_NEAR(pairProbability(plain, 0, 37, 20), 0.1 * 3.2, 1e-12);
    // Far below the lowest border and above the highest: clamped to 0..1.
    EXPECT_EQ(pairProbability(full, 0, -1000, 20), 0.0);
    EXPECT_EQ(pairProbability(full, 4, 1e6, 1e6), 1.0);
    EXPECT_GE(pairProbability(plain, 0, -1000, -1000), 0.0);
}

TEST(PairProbability, RepeatedBordersGiveNoNotANumber) {
    StudyPairBlock block = linearBlock(true);
    for (int i = 0; i < 11; ++i) block.borders[0][i] = 50.0;
    const double p = pairProbability(block, 0, 50, 20);
    EXPECT_TRUE(p >= 0.0 && p <= 1.0) << p;
}

TEST(PairStudy, TheCaseFollowsTheTwoTexts) {
    const StudyPairBlock block = linearBlock(true);
    const double x = 40, y = 60;
    auto p = [&](int c) { return pairProbability(block, c, x, y); };
    const struct {
        const char *first, *second;
        bool inList;
        double firstOut, secondOut;
    } cases[] = {
        {"cat", "cat", false, p(0), p(0)}, {"cat", "cat", true, p(0), p(0)},
        {"cat", "cot", false, p(1), p(2)}, {"cat", "cot", true, p(3), p(4)},
        {"cat", "", true, p(1), 0.0},      {"", "cot", false, 0.0, p(2)},
        {"", "", false, 0.0, 0.0},         {"Cat", "cat", false, p(1), p(2)},  // bytes are compared
    };
    for (const auto& c : cases) {
        double a = -1, b = -1;
        tessel::pairStudy(block, c.first, x, &a, c.second, y, &b, c.inList);
        EXPECT_EQ(a, c.firstOut) << c.first << "/" << c.second;
        EXPECT_EQ(b, c.secondOut) << c.first << "/" << c.second;
    }
    double a = -1;
    tessel::pairStudy(block, "cat", x, &a, "cot", y, nullptr, false);
    EXPECT_EQ(a, p(1)) << "an out that is not wanted is skipped";
}

TEST(StudyText, NormalisedAndFilteredAsTheStudySawIt) {
    const struct {
        int32_t subType;
        const char* text;
        const char* normalised;
        bool accepted;
    } cases[] = {
        {1, "word", "word", true},
        {1, "*", "*", false},
        {1, "-----", "-----", false},
        {2, "1,234", "1234", true},
        {2, "0123", "0123", false},
        {2, "0", "0", true},
        {2, "123456", "123456", false},
        {2, "12a", "12a", false},
        {3, "42", "42", true},
        {3, "421", "421", false},
        {4, "1.234,5", "12345", true},
        {4, "012", "012", true},
        {4, "0123", "0123", false},
        {4, "12", "12", false},
        {4, "12345678", "12345678", false},
        {5, "o'ne_.@/x", "ONE1/X", true},
        {5, "*", "*", false},
        {8, "12345678901", "12345678901", true},
        {8, "12b", "12b", false},
        {9, "Genuine", "genuine", true},
        {9, "maybe", "maybe", false},
        {10, "word", "WORD", true},
        {10, "*", "*", false},
    };
    for (const auto& c : cases) {
        char out[100];
        tessel::normaliseStudyText(c.text, c.subType, out);
        EXPECT_STREQ(out, c.normalised) << c.subType << " " << c.text;
        EXPECT_EQ(tessel::studyTextAccepted(out, c.subType), c.accepted)
            << c.subType << " " << c.text;
    }
    char out[100];
    tessel::normaliseStudyText(std::string(150, 'a').c_str(), 1, out);
    EXPECT_EQ(std::string(out), std::string(99, 'a')) << "texts are cut to 99 characters";
}

TEST(RankGapInList, ScoreGapToTheFirstEqualAnswer) {
    Owned<AnswerList> list = makeList({{"1,000", 300, {}}, {"2,000", 200, {}}, {"1000", 50, {}}});
    EXPECT_EQ(tessel::rankGapInList(list.get(), 2, "2000"), 100);
    EXPECT_EQ(tessel::rankGapInList(list.get(), 2, "1000"), 0) << "the first equal one counts";
    EXPECT_EQ(tessel::rankGapInList(list.get(), 1, "1000"), 250);
    EXPECT_EQ(tessel::rankGapInList(list.get(), 1, "3000"), -1);
}

// A study record as the study file reader leaves it.
class Study : public ::testing::Test {
  protected:
    Study() : study_(new MergeStudy()) {
        study_->wordListResults = -1;
        for (int i = 0; i < 3; ++i) {
            study_->resultsCodes[i] = 32 | 1;  // "logw w"
            for (int j = 0; j < 10; ++j) {
                study_->singles[i].levels[j] = 10.0 * (j + 1);
                study_->singles[i].probabilities[j] = 0.1 * j + 0.01 * i;
            }
            study_->pairs[i] = linearBlock(true);
            // Each pair block its own tables, so a result shows which block gave it.
            for (auto& table : study_->pairs[i].tables)
                for (auto& row : table)
                    for (double& p : row) p += 0.02 * i;
        }
    }

    void run(int32_t mode) {
        study_->mergeMode = mode;
        AnswerList* const lists[3] = {rec1_.get(), rec2_.get(), rec3_.get()};
        tessel::studyProbabilities(*study_, lists, out_);
    }
    double pairP(int block, int c, double x, double y) {
        return pairProbability(study_->pairs[block], c, x, y);
    }

    std::unique_ptr<MergeStudy> study_;
    Owned<AnswerList> rec1_ = makeList({{"cat", 90, {}}, {"cot", 60, {}}}, 40);
    Owned<AnswerList> rec2_ = makeList({{"cot", 80, {}}, {"cat", 70, {}}}, 60);
    Owned<AnswerList> rec3_ = makeList({{"cat", 85, {}}}, 50);
    double out_[3] = {-1, -1, -1};
};

TEST_F(Study, SingleRecognizerModes) {
    run(1);
    EXPECT_NEAR(out_[0], 0.3, 1e-12) << "level 40 is the fourth point";
    EXPECT_EQ(out_[1], -1) << "recognizers the mode does not name are left";
    EXPECT_EQ(out_[2], -1);
    run(4);
    EXPECT_NEAR(out_[2], 0.4 + 0.02, 1e-12);
    rec2_ = makeList({}, 60);
    out_[1] = -1;
    run(2);
    EXPECT_EQ(out_[1], 0.0) << "an empty list is a missing answer";
}

TEST_F(Study, PairModesUseTheFirstBlock) {
    for (int32_t mode : {3, 11, 19}) {
        run(mode);
        EXPECT_EQ(out_[0], pairP(0, 1, 40, 60)) << mode;
        EXPECT_EQ(out_[1], pairP(0, 2, 40, 60)) << mode;
        EXPECT_EQ(out_[2], -1) << mode;
    }
    run(5);  // "1+3 simple": both say cat
    EXPECT_EQ(out_[0], pairP(0, 0, 40, 50));
    EXPECT_EQ(out_[2], pairP(0, 0, 40, 50));
    run(6);
    EXPECT_EQ(out_[1], pairP(0, 1, 60, 50));
    EXPECT_EQ(out_[2], pairP(0, 2, 60, 50));
}

TEST_F(Study, WordListRecognizerTellsAnswersFoundInItsList) {
    study_->wordListResults = 1;  // Rec2's results are "wrd+": cat is 10 below its top
    run(3);
    EXPECT_EQ(out_[0], pairP(0, 3, 40, 60));
    EXPECT_EQ(out_[1], pairP(0, 4, 40, 60));
    rec2_ = makeList({{"cot", 300, {}}, {"cat", 70, {}}}, 60);  // 230 below: too far
    run(3);
    EXPECT_EQ(out_[0], pairP(0, 1, 40, 60));
}

TEST_F(Study, ThirdRecognizerJoinsAPairInTwoMoreBlocks) {
    run(71);  // "12+3 simple": X = 1, Y = 2, Z = 3
    const double x1 = pairP(0, 1, 40, 60), y1 = pairP(0, 2, 40, 60);
    const double x2 = pairP(1, 0, x1, 50), z1 = pairP(1, 0, x1, 50);
    const double y2 = pairP(2, 1, y1, 50), z2 = pairP(2, 2, y1, 50);
    EXPECT_EQ(out_[0], x2);
    EXPECT_EQ(out_[1], y2);
    EXPECT_EQ(out_[2], 0.5 * (z1 + z2));

    run(199);  // "23+1 simple": X = 2, Y = 3, Z = 1
    const double a = pairP(0, 1, 60, 50), b = pairP(0, 2, 60, 50);
    EXPECT_EQ(out_[1], pairP(1, 1, a, 40));
    EXPECT_EQ(out_[2], pairP(2, 0, b, 40));
    EXPECT_EQ(out_[0], 0.5 * (pairP(1, 2, a, 40) + pairP(2, 0, b, 40)));
}

TEST_F(Study, SymmetricModeAveragesEachRecognizersTwoPairs) {
    run(327);  // "123 sym"
    const double a1 = pairP(0, 1, 40, 60), a2 = pairP(0, 2, 40, 60);
    const double b1 = pairP(1, 0, 40, 50), b3 = pairP(1, 0, 40, 50);
    const double c2 = pairP(2, 1, 60, 50), c3 = pairP(2, 2, 60, 50);
    EXPECT_EQ(out_[0], 0.5 * (a1 + b1));
    EXPECT_EQ(out_[1], 0.5 * (a2 + c2));
    EXPECT_EQ(out_[2], 0.5 * (b3 + c3));
}

TEST_F(Study, ModesThatCombineNoPairAndWriteModesGiveNothing) {
    for (int32_t mode : {263, 271, 279, 33, 34, 36, 0}) {
        run(mode);
        for (double p : out_) EXPECT_EQ(p, -1) << mode;
    }
    study_->writeMode = 1;
    run(3);
    for (double p : out_) EXPECT_EQ(p, -1);
    study_->writeMode = 3;
    run(1);
    for (double p : out_) EXPECT_EQ(p, -1);
}

TEST_F(Study, RejectedAnswerFallsToTheOneSidedCases) {
    study_->resultsCodes[1] = 2880 | 9;  // "trusign signature"
    rec2_ = makeList({{"maybe", 80, {}}}, 60);
    run(3);
    // Rec2's answer is rejected: value 0.0 and no text.
    EXPECT_EQ(out_[0], pairP(0, 1, 40, 0));
    EXPECT_EQ(out_[1], 0.0);
    rec2_ = makeList({{"Forgery", 80, {}}}, 60);
    run(3);
    EXPECT_EQ(out_[1], pairP(0, 2, 40, 60));
}

}  // namespace
