#include "ConfidenceChannel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Numbers.h"
#include "TextFile.h"
#include "WordLevelList.h"
#include "WordShape.h"

namespace tessel {

const FeatureSet kFeatureSets[kFeatureSetKinds] = {
    {"None", 0, 0},
    {"Six", 1, 6},
    {"Eleven", 2, 11},
    {"List5", 3, 16},
    {"Twelve", 4, 12},
    {"Fourteen", 5, 14},
    {"Fifteen", 6, 15},
    {"VSConfNormVoc", 7, 16},
    {"VSConfNormNoVoc", 8, 11},
    {"TPC2NoVoc", 9, 2},
    {"TPC3SpecNoVoc", 10, 3},
    {"ThreeNoVoc", 11, 3},
    {"FourSpecNoVoc", 12, 4},
    {"HMMVoc", 13, 11},
    {"SixAltSpec", 14, 6},
    {"VsHmmVoc", 15, 9},
    {"TPCVoc", 16, 8},
    {"VSConfLex", 17, 14},
};

int ConfidenceChannel::recognizerConfigByName(const char* name) {
    if (!name) return 0;
    for (const FeatureSet& set : kFeatureSets) {
        if (std::strcmp(set.name, name) == 0) {
            kind_ = set.kind;
            count_ = set.count;
            return 1;
        }
    }
    return 0;
}

int ConfidenceChannel::loadChannelNet(const char* path) {
    if (!path) return 0;
    return readConfNet(net_, path) ? 1 : 0;
}

bool ConfidenceChannel::netFitsFeatures() const {
    if (kind_ == 0) return true;
    return net_.loaded() && net_.dim == count_ && net_.outputs >= 2;
}

void ConfidenceChannel::scoreList(AnswerList* list) {
    if (!list) return;
    if (list->count() == 0) {
        list->setListValue(0);
        return;
    }
    if (kind_ == 0) return;
    int32_t features[kMaxChannelFeatures];
    // extractFeatures has set the list value to 0 on failure.
    const int32_t n = extractFeatures(list, features);
    if (n == 0) return;
    if (!netFitsFeatures() || !netInputs_.setCount(static_cast<size_t>(n)) ||
        !prepareConfNetWork(net_, work_)) {
        list->setListValue(0);
        return;
    }
    for (int32_t i = 0; i < n; ++i) netInputs_[static_cast<size_t>(i)] = features[i];
    const double p = evalConfNet(net_, netInputs_.data(), work_, nullptr)[1];
    // Every unit far away leaves no probability to read: no confidence.
    const int32_t percent = std::isfinite(p) ? truncToInt32(100.0 * p + 0.5) : 0;
    list->setListValue(percent == TSL_VALUE_UNSET ? 0 : percent);
}

namespace {

constexpr size_t kWordChars = 511;

// A lower-cased copy of at most kWordChars characters.
void lowerCopy(const char* word, char* out) {
    size_t n = 0;
    for (; word[n] && n < kWordChars; ++n) out[n] = word[n];
    out[n] = '\0';
    toLowerAscii(out);
}

}  // namespace

int ConfidenceChannel::vocabularyLevel(const char* word) const {
    if (!word) return -1;
    if (lexgen_ && lexgen_->userData && lexgen_->callback) {
        char copy[kWordChars + 1];
        lowerCopy(word, copy);
        signed char level = 0;
        return lexgen_->callback(copy, lexgen_->userData, &level) ? level : -1;
    }
    if (!vocabulary_) return -1;
    int found = 0;
    return lookupWordLevelRetry(*vocabulary_, word, &found);
}

int ConfidenceChannel::wordLevel(const char* word) const {
    if (!word) return -1;
    char copy[kWordChars + 1];
    lowerCopy(word, copy);
    const size_t n = std::strlen(copy);
    if (n > 0 && !isAsciiLetter(copy[n - 1]) && !isAsciiDigit(copy[n - 1])) copy[n - 1] = '\0';
    if (!*copy) return -1;
    return vocabularyLevel(copy);
}

int ConfidenceChannel::phraseVocabularyLevel(const char* phrase) const {
    if (!phrase) return -1;
    char copy[kWordChars + 1];
    size_t n = 0;
    for (; phrase[n] && n < kWordChars; ++n) copy[n] = phrase[n];
    copy[n] = '\0';
    normaliseBlanks(copy);
    long sum = 0, words = 0;
    for (char* word = copy; *word;) {
        char* end = std::strchr(word, ' ');
        if (end) *end = '\0';
        sum += wordLevel(word);
        ++words;
        if (!end) break;
        word = end + 1;
    }
    if (words == 0) return -1;
    const long mean = sum / words;
    return mean < 0 ? -1 : static_cast<int>(mean);
}

int ConfidenceChannel::classVocabularyLevel(const char* text, int32_t shapeClass) const {
    if (!text) return -1;
    const WordShapeTraits& traits = wordShapeTraits(shapeClass);
    char cut[kWordChars + 1];
    size_t length = std::strlen(text);
    if (length > kWordChars) length = kWordChars;
    const size_t front = static_cast<size_t>(traits.frontCut);
    const size_t back = static_cast<size_t>(traits.backCut);
    size_t cutLength = 0;
    if (front + back < length) {
        cutLength = length - front - back;
        std::memcpy(cut, text + front, cutLength);
    }
    cut[cutLength] = '\0';
    int level = std::max(vocabularyLevel(cut), vocabularyLevel(text));
    bool allDigits = cutLength > 0;
    for (size_t i = 0; i < cutLength; ++i) allDigits = allDigits && isAsciiDigit(cut[i]);
    if (traits.dataKind == 3 || traits.dataKind == 4 || (traits.dataKind == 1 && allDigits))
        level = std::max(level, 7);
    return level;
}

}  // namespace tessel
