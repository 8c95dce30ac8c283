#include "AnswerMerger.h"

#include "AnswerList.h"

namespace tessel {

AnswerMergerImpl::AnswerMergerImpl() {
    for (ConfidenceChannel& channel : channels) channel.link(&vocabulary, &lexgen);
}

AnswerMergerImpl::~AnswerMergerImpl() {
    releaseMergeStudy(mergeStudy);
    releaseMergeStudy(distanceStudy);
}

void AnswerMergerImpl::resetModelValues() {
    releaseMergeStudy(mergeStudy);
    releaseMergeStudy(distanceStudy);
    mergeStudy = nullptr;
    distanceStudy = nullptr;
    weight = 1.0;
    delta = 1.0;
    alpha = 1.0;
    outMaxWeight = 1000.0;
    outAddDist = 200.0;
}

int AnswerMergerImpl::scoreRec1List(AnswerList* list) {
    channels[kRec1Channel].scoreList(list);
    return 1;
}

int AnswerMergerImpl::scoreCrossList(AnswerList* list) {
    channels[kCrossChannel].scoreList(list);
    return 1;
}

// The fusion of the lists is not built yet: both merges answer as a merge
// whose steps failed, with an empty output list.
int AnswerMergerImpl::merge(AnswerList* rec1, AnswerList* rec2, AnswerList* out) {
    if (out) out->clear();
    return 1;
}

int AnswerMergerImpl::mergeWithConfidence(AnswerList* rec1, AnswerList* rec2, AnswerList* out) {
    if (out) out->clear();
    return 0;
}

int AnswerMergerImpl::probeFeatures(AnswerList* rec1, AnswerList* rec2, AnswerList* merged,
                                    int32_t flag) {
    if (!flag) return 0;
    computeFeatures(featureScratch_, rec1, rec2, merged);
    return 1;
}

void AnswerMergerImpl::release() { delete this; }

int32_t AnswerMergerImpl::lexgenClass(const char* word) {
    if (!lexgen.userData || !lexgen.callback || !word) return -1;
    signed char r = 0;
    if (!lexgen.callback(word, lexgen.userData, &r)) return -1;
    if (r <= 2) return -1;
    if (r == 3) return 0;
    if (r == 4) return 1;
    if (r == 5) return 4;
    return r > 15 ? 15 : r;
}

int32_t AnswerMergerImpl::featureCount() const {
    int32_t sum = 0;
    for (const ConfidenceChannel& channel : channels) sum += channel.count();
    return sum;
}

int32_t AnswerMergerImpl::computeFeatures(int32_t* out, AnswerList* rec1, AnswerList* rec2,
                                          AnswerList* merged) {
    if (!out) return 0;
    AnswerList* lists[kChannelCount] = {rec1, rec2, merged};
    int32_t written = 0;
    for (int c = 0; c < kChannelCount; ++c) {
        const int32_t n = channels[c].extractFeatures(lists[c], out + written);
        // Every feature but a block's first is shifted into the positive range.
        for (int32_t i = 1; i < n; ++i) out[written + i] += 128;
        written += n;
    }
    return written;
}

int AnswerMergerImpl::prepareRec2List(AnswerList* rec2, AnswerList* out) {
    if (!rec2) return 0;
    // The Hmm rescaling is not built yet: a model that asks for it cannot prepare.
    if (rescaleHmmList) return 0;
    listImpl(rec2)->setPrepared(true);
    return 1;
}

}  // namespace tessel
