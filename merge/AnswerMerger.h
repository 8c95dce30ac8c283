// The library's merger: a loaded merge model (numeric weights, study tables,
// three confidence channels with their nets, the vocabulary) and the merge
// operations over it.
#pragma once

#include <cstdint>
#include <memory>

#include "AnswerList.h"
#include "ConfidenceChannel.h"
#include "MergeStudy.h"
#include "Tessel.h"
#include "WordLevelList.h"

namespace tessel {

enum ChannelIndex { kRec1Channel, kRec2Channel, kCrossChannel, kChannelCount };

// Room for the feature vectors of the three channels.
constexpr int kFeatureScratch = 60;

class AnswerMergerImpl final : public AnswerMerger {
  public:
    AnswerMergerImpl();
    ~AnswerMergerImpl();
    AnswerMergerImpl(const AnswerMergerImpl&) = delete;
    AnswerMergerImpl& operator=(const AnswerMergerImpl&) = delete;

    int scoreRec1List(AnswerList* list) override;
    int scoreCrossList(AnswerList* list) override;
    int merge(AnswerList* rec1, AnswerList* rec2, AnswerList* out) override;
    int mergeWithConfidence(AnswerList* rec1, AnswerList* rec2, AnswerList* out) override;
    int probeFeatures(AnswerList* rec1, AnswerList* rec2, AnswerList* merged,
                      int32_t flag) override;
    void release() override;
    int32_t lexgenClass(const char* word) override;
    int32_t featureCount() const override;
    int32_t computeFeatures(int32_t* out, AnswerList* rec1, AnswerList* rec2,
                            AnswerList* merged) override;
    int prepareRec2List(AnswerList* rec2, AnswerList* out) override;

    // Back to the defaults a configuration starts from (channels, nets and the
    // vocabulary are filled by the configuration's lines).
    void resetModelValues();

    // The model, filled by loadMergerModel.
    MergeStudy* mergeStudy = nullptr;
    MergeStudy* distanceStudy = nullptr;
    double weight = 1.0;
    double delta = 1.0;
    double alpha = 1.0;
    double outMaxWeight = 1000.0;  // stored, used by no step
    double outAddDist = 200.0;     // stored, used by no step
    int32_t rescaleTpcList = 0;
    int32_t rescaleHmmList = 0;
    double vocStatQual = 0.0;
    double lexStatQual = 0.0;
    int32_t nonVocWeight = 0;
    ConfidenceChannel channels[kChannelCount];
    WordLevelList vocabulary;
    LexiconGenerator lexgen;

    // The final step of mergeWithConfidence; 1.
    int combineWithStudy(AnswerList* rec1, AnswerList* rec2, AnswerList* merged, AnswerList* out);

  private:
    // The fusion itself, on lists already rescaled as the model asks.
    void mergeLists(AnswerList* rec1, AnswerList* rec2, AnswerList* out) const;
    // The Rec2 list that the confidence steps use: an empty list for a Tpc
    // recognizer's lone reject answer, the Hmm rescaling when the model asks
    // for it. A list made here is held by `made`; *ok is false on failure.
    AnswerList* prepareForConfidence(AnswerList* rec2, OwnedList& made, bool* ok);

    int32_t featureScratch_[kFeatureScratch];
};

// Fills a new merger from its model configuration file: 1 when the whole file
// was read and the model is complete, 0 on the first failure.
int loadMergerModel(AnswerMergerImpl& merger, const char* configPath);

}  // namespace tessel
