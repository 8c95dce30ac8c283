// The feature extractors of the confidence channels: each feature set reads
// the ranked list through count, textAt and valueAt and describes its top
// answer (score, gap to the first rival, vocabulary level, length, marks, the
// recognizer's own values) as a short vector of integers.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ConfidenceChannel.h"
#include "Numbers.h"
#include "TextFile.h"
#include "WordShape.h"

namespace tessel {

namespace {

constexpr const char* kMarks = ";!,?'.:-";

bool sameTextIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
        if (!x) return true;
    }
}

// The list as the extractors see it. A needed value that is unset marks the
// extraction failed; arithmetic runs in 64 bits so that no value overflows.
class ListView {
  public:
    explicit ListView(AnswerList* list) : list_(list), count_(list->count()) {}

    int32_t count() const { return count_; }
    const char* text(int32_t i) const {
        const char* t = list_->textAt(i);
        return t ? t : "";
    }
    int64_t value(int32_t i, int32_t k) {
        const int32_t v = list_->valueAt(i, k);
        if (v == TSL_VALUE_UNSET) failed_ = true;
        return v;
    }
    bool failed() const { return failed_; }

    // A later answer whose text differs from the top's ignoring case.
    bool isRival(int32_t i) const { return i > 0 && !sameTextIgnoringCase(text(i), text(0)); }
    int32_t firstRival() const {
        for (int32_t i = 1; i < count_; ++i)
            if (isRival(i)) return i;
        return -1;
    }
    // The highest value k among rivals, `none` without a rival.
    int64_t bestRival(int32_t k, int64_t none) {
        int64_t best = none;
        bool any = false;
        for (int32_t i = 1; i < count_; ++i) {
            if (!isRival(i)) continue;
            const int64_t v = value(i, k);
            best = any ? std::max(best, v) : v;
            any = true;
        }
        return best;
    }

    int64_t score() { return value(0, 0); }
    // s minus the first rival's score, or `none` without a rival.
    int64_t gap(int64_t none) {
        const int32_t r = firstRival();
        return r < 0 ? none : score() - value(r, 0);
    }
    int64_t length() const { return static_cast<int64_t>(std::strlen(text(0))); }
    int64_t nonAlphanumerics() const {
        int64_t n = 0;
        for (const char* c = text(0); *c; ++c) n += !isAsciiLetter(*c) && !isAsciiDigit(*c);
        return n;
    }
    int64_t marks() const {
        int64_t n = 0;
        for (const char* c = text(0); *c; ++c) n += std::strchr(kMarks, *c) != nullptr;
        return n;
    }
    // x scaled by value 7 (the recognizer's normaliser) into the net's range.
    int64_t perValue7(int64_t x, int64_t scale, int64_t add) {
        const int64_t v7 = value(0, 7);
        return v7 < 1 ? x * scale + add : x * scale / v7 + add;
    }
    int64_t ratio(int32_t k) { return perValue7(value(0, k), 64, 16); }
    int64_t value9Ratio() { return perValue7(value(0, 9), 1, 16); }
    // Value k (2, 4 or 6) above the best rival's, or value k + 100 without a rival.
    int64_t margin(int32_t k) { return value(0, k) - bestRival(k, -100); }
    // The best value 1 of the top's text above the best rival's, per value 7.
    int64_t value1Margin() {
        int64_t m1 = value(0, 1);
        for (int32_t i = 1; i < count_; ++i)
            if (!isRival(i)) m1 = std::max(m1, value(i, 1));
        return perValue7(m1 - bestRival(1, -100), 64, 0);
    }

  private:
    AnswerList* list_;
    int32_t count_;
    bool failed_ = false;
};

// Collects features; the net reads them as 32-bit integers.
class Features {
  public:
    explicit Features(int32_t* out) : out_(out) {}
    Features& operator<<(int64_t v) {
        out_[n_++] = static_cast<int32_t>(v);
        return *this;
    }
    int32_t count() const { return n_; }

  private:
    int32_t* out_;
    int32_t n_ = 0;
};

int64_t statistic(double percent) { return truncToInt32(0.5 + percent) - 50; }

}  // namespace

int32_t ConfidenceChannel::extractFeatures(AnswerList* list, int32_t* out) {
    if (!list || !out) return 0;
    if (list->count() == 0) {
        list->setListValue(0);
        return 0;
    }
    if (kind_ <= 0 || kind_ >= kFeatureSetKinds) return 0;

    ListView v(list);
    int32_t scratch[kMaxChannelFeatures];
    Features f(scratch);
    const char* top = v.text(0);
    const int32_t topClass = wordShapeClass(top);
    const int64_t s = v.score();
    auto phrase = [&] { return static_cast<int64_t>(phraseVocabularyLevel(top)); };
    auto bestRivalOf = [&](auto measure, int64_t start) {
        int64_t best = start;
        for (int32_t i = 1; i < v.count(); ++i)
            if (v.isRival(i)) best = std::max(best, measure(v.text(i)));
        return best;
    };
    auto phraseOf = [&](const char* t) { return static_cast<int64_t>(phraseVocabularyLevel(t)); };
    auto weightOf = [&](const char* t) {
        return static_cast<int64_t>(wordShapeTraits(wordShapeClass(t)).weight);
    };
    auto classLevelOf = [&](const char* t) {
        return static_cast<int64_t>(classVocabularyLevel(t, wordShapeClass(t)));
    };

    switch (kind_) {
        case 1:   // Six
        case 14:  // SixAltSpec
            f << s - 60 << v.gap(s - 60) << phrase() << v.length() << v.value(0, 2)
              << (kind_ == 1 ? v.nonAlphanumerics() : v.marks());
            break;
        case 2:  // Eleven
            f << s - 100 << v.gap(s) << phrase() << v.length() << v.value(0, 5) + 20
              << v.value(0, 1) + 20 << v.value(0, 6) + 20 << v.value(0, 3) + 20
              << v.value(0, 2) + 20 << v.margin(4) << v.nonAlphanumerics();
            break;
        case 3: {  // List5
            const int32_t n = v.count();
            const int32_t k = std::min(n, 5);
            for (int32_t i = 0; i < n; ++i) v.value(i, 0);  // every score must be set
            const int64_t lastOfK = v.value(k - 1, 0);
            const int64_t sixth = n > 5 ? v.value(5, 0) : 0;
            int64_t totalLength = 0;
            for (int32_t i = 0; i < k; ++i) totalLength += std::strlen(v.text(i));
            f << s - 100 << lastOfK - 100 << v.gap(s) << (n > 5 ? s - sixth : s)
              << (n > 5 ? lastOfK - sixth : lastOfK) << phrase() << totalLength / k << k << n;
            for (int32_t valueIndex : {2, 5, 1, 3, 6, 4}) {
                int64_t best = v.value(0, valueIndex);
                for (int32_t i = 1; i < k; ++i) best = std::max(best, v.value(i, valueIndex));
                f << best + 20;
            }
            f << v.nonAlphanumerics();
            break;
        }
        case 4:  // Twelve
            f << s - 100 << v.gap(s) << v.value(0, 7) << v.ratio(5) << v.ratio(1) << v.ratio(6)
              << v.ratio(3) << v.value(0, 2) + 20 << v.margin(4) << v.value(0, 8)
              << v.perValue7(v.value(0, 8), 1, 16) << v.value(0, 10) - 128;
            break;
        case 5:  // Fourteen
            f << s - 100 << v.gap(s) << phrase() << v.value(0, 7) << v.ratio(5) << v.ratio(1)
              << v.ratio(6) << v.ratio(3) << v.value(0, 2) + 20 << v.margin(4)
              << v.nonAlphanumerics() << v.value(0, 8) << v.value9Ratio() << v.value(0, 10) - 128;
            break;
        case 6:  // Fifteen
            f << s - 100 << v.gap(s) << phrase() << v.length() << v.ratio(5) << v.ratio(1)
              << v.ratio(6) << v.ratio(3) << v.value(0, 2) + 20 << v.margin(4)
              << v.nonAlphanumerics() << v.value(0, 8) << v.value9Ratio() << v.value(0, 10) - 128
              << v.value(0, 7);
            break;
        case 7:  // VSConfNormVoc
            f << s - 100 << v.gap(s) << v.ratio(1) << v.value1Margin() << v.value(0, 2) + 20
              << v.value(0, 8) << v.ratio(3) << v.margin(4) << v.ratio(5) << v.ratio(6)
              << v.value(0, 7) << v.length() << v.value9Ratio() << phrase() << v.nonAlphanumerics()
              << statistic(wordShapeTraits(topClass).statisticA);
            break;
        case 8:  // VSConfNormNoVoc
            f << s - 100 << v.gap(s) << v.ratio(1) << v.value1Margin() << v.ratio(3) << v.margin(4)
              << v.ratio(5) << v.ratio(6) << v.value(0, 7) << v.length() << v.value9Ratio();
            break;
        case 9:  // TPC2NoVoc
            f << s - 60 << v.length();
            break;
        case 10:  // TPC3SpecNoVoc
            f << s - 60 << v.length() << 10 * v.marks();
            break;
        case 11:  // ThreeNoVoc
            f << s - 60 << v.gap(s) << v.length();
            break;
        case 12:  // FourSpecNoVoc
            f << s - 60 << v.gap(s) << v.length() << 10 * v.nonAlphanumerics();
            break;
        case 13: {  // HMMVoc
            const int64_t level = phrase();
            f << s - 60 << v.gap(s) << level << level - bestRivalOf(phraseOf, -1) << v.length()
              << v.value(0, 2) + 20 << v.value(0, 2) - v.bestRival(2, -100) << v.nonAlphanumerics()
              << weightOf(top) - bestRivalOf(weightOf, 0) << v.value(0, 1)
              << v.value(0, 1) - v.bestRival(1, -100);
            break;
        }
        case 15: {  // VsHmmVoc
            const int64_t level = phrase();
            f << s - 60 << v.gap(s - 60) << level << level - bestRivalOf(phraseOf, -1) << v.length()
              << v.value(0, 2) + 20 << v.value(0, 2) - v.bestRival(2, -100) << v.nonAlphanumerics()
              << bestRivalOf(weightOf, 0);
            break;
        }
        case 16:  // TPCVoc
            f << s - 60 << phrase() << classLevelOf(top) - bestRivalOf(classLevelOf, -1)
              << v.length() << v.value(0, 2) << v.value(0, 2) - v.bestRival(2, -100)
              << v.nonAlphanumerics() << statistic(wordShapeTraits(topClass).statisticB);
            break;
        case 17:  // VSConfLex
            f << s - 100 << v.gap(s) << v.ratio(1) << v.value1Margin() << v.margin(2)
              << v.perValue7(v.value(0, 2) + v.value(0, 8), 64, 16) << v.ratio(11) << v.ratio(3)
              << v.margin(4) << v.ratio(5) << v.margin(6) << v.perValue7(v.length(), 64, 0)
              << statistic(wordShapeTraits(topClass).statisticA) << v.value9Ratio();
            break;
    }
    if (v.failed() || f.count() != count_) {
        list->setListValue(0);
        return 0;
    }
    std::memcpy(out, scratch, sizeof(int32_t) * static_cast<size_t>(f.count()));
    return f.count();
}

}  // namespace tessel
