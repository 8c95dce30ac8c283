// What merging gains: on generated pairs of answer lists, each recognizer
// alone with a measured top-1 accuracy, the merged list's top-1 accuracy is
// printed beside the best single list's and a plain vote's (one vote per list
// for its top answer, a tie going to the higher-scored top: the ROVER rule
// with confidence as the tie-breaker). The lists are made by a fixed
// generator, so the figures are the same on every run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "AnswerMerger.h"
#include "merge_test_util.h"

namespace {

using mergetest::Owned;

// One recognizer's view of a writing: the truth stands out from its
// confusions by `signal` on average, each score blurred by unit noise times
// `noise`; the list holds the ten best of the truth and fourteen confusions.
struct Recognizer {
    double signal;
    double noise;
};

constexpr int kCandidates = 15;  // candidate 0 is the truth
constexpr int kListLength = 10;

class Generator {
  public:
    explicit Generator(uint32_t seed) : engine_(seed) {}

    double gaussian() {
        // Box-Muller on the engine's own bits, so every platform draws alike.
        const double u1 = (static_cast<double>(engine_()) + 1.0) / 4294967297.0;
        const double u2 = static_cast<double>(engine_()) / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

    // Candidate indices with their scores, best first, cut to the list length.
    std::vector<std::pair<int, int32_t>> answers(const Recognizer& r) {
        std::vector<std::pair<int, int32_t>> scored;
        for (int c = 0; c < kCandidates; ++c) {
            double s = 50.0 + r.noise * gaussian() + (c == 0 ? r.signal : 0.0);
            s = std::max(0.0, std::min(100.0, s));
            scored.push_back({c, static_cast<int32_t>(std::lround(s))});
        }
        std::stable_sort(scored.begin(), scored.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        scored.resize(kListLength);
        return scored;
    }

  private:
    std::mt19937 engine_;
};

struct Tally {
    int rec1 = 0, rec2 = 0, vote = 0, merged = 0;
};

TEST(MergeGain, MergedTopBeatsTheBestSingleListAndThePlainVote) {
    const int kSamples = 10000;
    const Recognizer rec1{22.0, 10.0}, rec2{18.0, 10.0};
    Generator gen(20261210);
    tessel::AnswerMergerImpl merger;  // weight, delta and alpha 1
    Owned<AnswerList> out(TslCreateAnswerList());
    std::vector<std::string> names;
    for (int c = 0; c < kCandidates; ++c) names.push_back("word" + std::to_string(c));

    Tally right;
    for (int sample = 0; sample < kSamples; ++sample) {
        const auto a = gen.answers(rec1), b = gen.answers(rec2);
        std::vector<mergetest::TestAnswer> la, lb;
        for (const auto& x : a)
            la.push_back(mergetest::mergeable(names[x.first].c_str(), x.second));
        for (const auto& x : b)
            lb.push_back(mergetest::mergeable(names[x.first].c_str(), x.second));
        Owned<AnswerList> l1 = mergetest::makeList(la), l2 = mergetest::makeList(lb);
        ASSERT_EQ(merger.merge(l1.get(), l2.get(), out.get()), 1);
        ASSERT_GT(out->count(), 0);

        right.rec1 += a[0].first == 0;
        right.rec2 += b[0].first == 0;
        // The vote: agreeing tops win outright; a tie of one vote each goes
        // to the higher score (to Rec1 on equal scores).
        const int vote =
            a[0].first == b[0].first || a[0].second >= b[0].second ? a[0].first : b[0].first;
        right.vote += vote == 0;
        right.merged += std::string(out->textAt(0)) == names[0];
    }
    auto percent = [&](int n) { return 100.0 * n / kSamples; };
    const double best = std::max(percent(right.rec1), percent(right.rec2));
    std::printf(
        "top-1 accuracy over %d generated list pairs:\n"
        "  Rec1 alone   %5.1f %%\n"
        "  Rec2 alone   %5.1f %%\n"
        "  plain vote   %5.1f %%\n"
        "  merged       %5.1f %%  (%+.1f points over the best single list)\n",
        kSamples, percent(right.rec1), percent(right.rec2), percent(right.vote),
        percent(right.merged), percent(right.merged) - best);
    EXPECT_GT(percent(right.merged), best + 2.0);
    EXPECT_GT(right.merged, right.vote);
}

}  // namespace
