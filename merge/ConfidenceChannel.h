// A confidence channel (Rec1, Rec2 or Cross) of a merger: the feature set that
// turns an answer list into integer features, the confidence net that turns
// them into the probability that the list's top answer is right, and links to
// the merger's vocabulary and lexicon generator, which some features consult.
#pragma once

#include <cstdint>

#include "ConfNet.h"
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
    // A channel that computes features needs a net over exactly its features
    // with an output 1 to read the confidence from; a channel of kind 0 uses no net.
    bool netFitsFeatures() const;

    // The list's confidence as a percentage written as its list value: 0 for an
    // empty list, untouched by kind 0. Until the feature extractors and the net
    // evaluation are built, every other list is treated as one whose features
    // cannot be extracted and gets 0.
    void scoreList(AnswerList* list);
    // Writes the channel's features of the list into out and returns how many;
    // 0 (and list value 0) when they cannot be extracted, which for now is
    // always the case for a kind other than 0.
    int32_t extractFeatures(AnswerList* list, int32_t* out);

    int32_t kind() const { return kind_; }
    int32_t count() const { return count_; }
    const ConfNet& net() const { return net_; }
    const WordLevelList* vocabulary() const { return vocabulary_; }
    const LexiconGenerator* lexiconGenerator() const { return lexgen_; }

  private:
    int32_t kind_ = 0;
    int32_t count_ = 0;
    ConfNet net_;
    // Scratch vectors for the net's inputs and outputs.
    GrowArray<double> netInputs_;
    GrowArray<double> netOutputs_;
    const WordLevelList* vocabulary_ = nullptr;
    const LexiconGenerator* lexgen_ = nullptr;
};

}  // namespace tessel
