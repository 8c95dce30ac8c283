// A confidence channel (Rec1, Rec2 or Cross) of a merger: the feature set that
// turns an answer list into integer features, the confidence net that turns
// them into the probability that the list's top answer is right, and links to
// the merger's vocabulary and lexicon generator, which some features consult.
#pragma once

#include <cstdint>

#include "ConfNet.h"
#include "ConfNetEval.h"
#include "GrowArray.h"
#include "Tessel.h"

namespace tessel {

struct WordLevelList;

// The merger's lexicon generator (both null unless made by TslLoadForLexgen).
struct LexiconGenerator {
    void* userData = nullptr;
    TslLexgenCallback callback = nullptr;
};

// The feature sets a configuration may name; "None" is kind 0.
struct FeatureSet {
    const char* name;
    int32_t kind;
    int32_t count;
};
constexpr int32_t kFeatureSetKinds = 18;
// The longest feature vector of a set.
constexpr int32_t kMaxChannelFeatures = 16;
extern const FeatureSet kFeatureSets[kFeatureSetKinds];

class ConfidenceChannel {
  public:
    ConfidenceChannel() = default;
    ConfidenceChannel(const ConfidenceChannel&) = delete;
    ConfidenceChannel& operator=(const ConfidenceChannel&) = delete;

    void link(const WordLevelList* vocabulary, const LexiconGenerator* lexgen) {
        vocabulary_ = vocabulary;
        lexgen_ = lexgen;
    }

    // Exact, case-sensitive match against the feature-set names; 0 (and the
    // channel unchanged) for a name not in the table.
    int recognizerConfigByName(const char* name);
    // 0 for a null path; else the result of reading the channel's net.
    int loadChannelNet(const char* path);
    // A net can be evaluated for the channel's features only when it is over
    // exactly that many features and has an output 1 to read the confidence
    // from. Models whose net does not fit still load (stored models must keep
    // loading); such a channel answers "no confidence" when it scores.
    bool netFitsFeatures() const;

    // The list's confidence as a percentage written as its list value: 0 for an
    // empty list, untouched by kind 0, else trunc(100 p + 0.5) for the net's
    // probability p of output 1. Features that cannot be extracted, a net that
    // does not fit and a net that finds every unit far away give 0.
    void scoreList(AnswerList* list);
    // Writes the channel's features of the list into out (room for count()
    // integers) and returns how many; 0 for kind 0, and 0 with list value 0
    // for an empty list or when a value the set needs is unset.
    int32_t extractFeatures(AnswerList* list, int32_t* out);

    // A word's level in the vocabulary (or from the lexicon generator), -1
    // when it has none. Levels 128..255 of a vocabulary read negative.
    int vocabularyLevel(const char* word) const;
    // As vocabularyLevel, without a last mark that is neither a letter nor a digit.
    int wordLevel(const char* word) const;
    // The integer mean of the word levels of a phrase's words; -1 when negative.
    int phraseVocabularyLevel(const char* phrase) const;
    // The better level of the text with and without its shape class's cuts;
    // data classes are at least level 7.
    int classVocabularyLevel(const char* text, int32_t shapeClass) const;

    int32_t kind() const { return kind_; }
    int32_t count() const { return count_; }
    const ConfNet& net() const { return net_; }
    const WordLevelList* vocabulary() const { return vocabulary_; }
    const LexiconGenerator* lexiconGenerator() const { return lexgen_; }

  private:
    int32_t kind_ = 0;
    int32_t count_ = 0;
    ConfNet net_;
    // Scratch space for the net's inputs and its evaluation (the outputs).
    GrowArray<double> netInputs_;
    ConfNetWork work_;
    const WordLevelList* vocabulary_ = nullptr;
    const LexiconGenerator* lexgen_ = nullptr;
};

}  // namespace tessel
