#include "AnswerMerger.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "AnswerList.h"
#include "ListRescaling.h"
#include "MergeEntries.h"
#include "Numbers.h"
#include "StudyProbabilities.h"

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

namespace {

constexpr int32_t kFromRec1 = 0;
constexpr int32_t kFromRec2 = 1;
// Sources of the final step: a lifted top answer sorts before a merged one.
constexpr int32_t kLiftedTop = 0;
constexpr int32_t kMergedAnswer = 1;

bool prepared(AnswerList* list) { return listImpl(list)->prepared(); }

// A list made only of the reject answer with score 1 is how a Tpc recognizer
// says it has nothing.
bool onlyRejected(AnswerList* list) {
    return list->count() == 1 && list->valueAt(0, 0) == 1 &&
           std::strcmp(list->textAt(0), "???") == 0;
}

}  // namespace

// The weighted rank fusion. Entries of both lists are sorted by text so that
// an answer found in both meets its partner; it then scores the sum of its
// two scores, an answer of one list only its own.
int AnswerMergerImpl::merge(AnswerList* rec1, AnswerList* rec2, AnswerList* out) {
    if (!out) return 1;
    out->clear();
    // Merging into an input would overwrite the answers being merged.
    if (!rec1 || !rec2 || out == rec1 || out == rec2) return 1;
    OwnedList tpc, hmm;
    if (rescaleTpcList && !prepared(rec2)) {
        tpc = makeOwnedList();
        if (!tpc || !rescaleTpc(rec2, tpc.get())) return 1;
        rec2 = tpc.get();
    }
    if (rescaleHmmList && !prepared(rec2)) {
        hmm = makeOwnedList();
        if (!hmm || !rescaleHmm(*this, rec2, hmm.get())) return 1;
        rec2 = hmm.get();
    }
    mergeLists(rec1, rec2, out);
    return 1;
}

void AnswerMergerImpl::mergeLists(AnswerList* rec1, AnswerList* rec2, AnswerList* out) const {
    MergeEntry entries[2 * TSL_LIST_CAPACITY];
    const int32_t n1 = rec1->count(), n2 = rec2->count();
    int32_t n = 0;
    for (int32_t i = 0; i < n1; ++i, ++n) {
        MergeEntry& e = entries[n];
        int32_t v0 = 0;
        if (!takeAnswer(rec1, i, e, &v0)) return;
        e.source = kFromRec1;
        e.score = truncToInt32(v0 * (2.0 - alpha) + 0.5);
        e.rank = 2 * i;
        e.order = n;
    }
    if (n2 > 0) {
        const int32_t top = rec2->valueAt(0, 0);
        if (top == TSL_VALUE_UNSET) return;
        const double x = top * weight + 0.5;
        for (int32_t k = 0; k < n2; ++k, ++n) {
            MergeEntry& e = entries[n];
            int32_t v0 = 0;
            if (!takeAnswer(rec2, k, e, &v0)) return;
            e.source = kFromRec2;
            e.score = truncToInt32(k == 0 ? alpha * x + 0.5
                                          : (x - delta * (x - v0 * weight)) * alpha + 0.5);
            e.rank = 2 * k;
            e.order = n;
        }
    }
    // A score out of range has become the unset marker and ranks last; the
    // sums are made in 64 bits, so no two scores overflow.
    sortByText(entries, n);
    int32_t kept = 0;
    int32_t lastSource = 0;
    bool partnered = false;
    auto finish = [&](MergeEntry& e) {
        if (!partnered) e.rank = (2 * (e.source == kFromRec1 ? n2 : n1) + e.rank) / 2;
    };
    for (int32_t i = 0; i < n; ++i) {
        MergeEntry& e = entries[i];
        if (kept > 0 && std::strcmp(e.text, entries[kept - 1].text) == 0) {
            if (e.source != lastSource) {
                MergeEntry& k = entries[kept - 1];
                k.score += e.score;
                k.rank = (k.rank + e.rank) / 2;
                lastSource = e.source;
                partnered = true;
            }
            continue;  // a repeated answer of one list: its better copy is kept
        }
        if (kept > 0) finish(entries[kept - 1]);
        entries[kept++] = e;
        lastSource = e.source;
        partnered = false;
    }
    if (kept > 0) finish(entries[kept - 1]);
    sortByScore(entries, kept);
    if (kept > TSL_LIST_CAPACITY) kept = TSL_LIST_CAPACITY;
    for (int32_t i = 0; i < kept; ++i) addEntry(out, entries[i], entries[i].score / 2);
}

AnswerList* AnswerMergerImpl::prepareForConfidence(AnswerList* rec2, OwnedList& made, bool* ok) {
    *ok = true;
    if (rescaleTpcList && !prepared(rec2) && onlyRejected(rec2)) {
        made = makeOwnedList();
        if (!made) {
            *ok = false;
            return rec2;
        }
        rec2 = made.get();
    }
    if (rescaleHmmList && !prepared(rec2)) {
        OwnedList rescaled = makeOwnedList();
        if (!rescaled || !rescaleHmm(*this, rec2, rescaled.get())) {
            *ok = false;
            return rec2;
        }
        made = std::move(rescaled);
        rec2 = made.get();
    }
    return rec2;
}

int AnswerMergerImpl::mergeWithConfidence(AnswerList* rec1, AnswerList* rec2, AnswerList* out) {
    if (!out) return 0;
    out->clear();
    if (!rec1 || !rec2 || out == rec1 || out == rec2) return 0;
    OwnedList merged = makeOwnedList();
    if (!merged) return 0;
    channels[kRec1Channel].scoreList(rec1);
    OwnedList made;
    bool ok = true;
    rec2 = prepareForConfidence(rec2, made, &ok);
    if (!ok) return 0;
    channels[kRec2Channel].scoreList(rec2);
    merge(rec1, rec2, merged.get());
    channels[kCrossChannel].scoreList(merged.get());
    return combineWithStudy(rec1, rec2, merged.get(), out);
}

// The final step: the top answers of both lists and of the merge are lifted
// by the probabilities the merge study gives them, above every merged answer.
int AnswerMergerImpl::combineWithStudy(AnswerList* rec1, AnswerList* rec2, AnswerList* merged,
                                       AnswerList* out) {
    if (!out) return 1;
    out->clear();
    if (!rec1 || !rec2 || !merged) return 1;
    if (rec1->listValue() == TSL_VALUE_UNSET || rec2->listValue() == TSL_VALUE_UNSET ||
        merged->listValue() == TSL_VALUE_UNSET || merged->count() == 0)
        return 1;
    double p[3] = {0.0, 0.0, 0.0};
    if (mergeStudy) {
        AnswerList* const lists[3] = {rec1, rec2, merged};
        studyProbabilities(*mergeStudy, lists, p);
    }
    MergeEntry entries[3 + TSL_LIST_CAPACITY];
    int32_t n = 0;
    double best = 0.0;
    if (!distanceStudy) {
        const int64_t J = merged->valueAt(0, 0);
        if (J == TSL_VALUE_UNSET) return 1;
        AnswerList* const tops[3] = {rec1, rec2, merged};
        for (int i = 0; i < 3; ++i) {
            if (tops[i]->count() == 0) continue;
            best = std::max(best, p[i]);
            MergeEntry& e = entries[n];
            int32_t v0 = 0;
            if (!takeAnswer(tops[i], 0, e, &v0)) return 1;
            e.source = kLiftedTop;
            e.score = truncToInt32(100.0 * p[i]) + J + 1;
            e.rank = 0;
            e.order = n++;
        }
    }
    for (int32_t i = 0; i < merged->count(); ++i) {
        MergeEntry& e = entries[n];
        int32_t v0 = 0;
        if (!takeAnswer(merged, i, e, &v0)) {
            out->clear();
            return 1;
        }
        e.source = kMergedAnswer;
        e.score = v0;
        e.rank = i + 1;
        e.order = n++;
    }
    sortByText(entries, n);
    int32_t kept = 0;
    for (int32_t i = 0; i < n; ++i)
        if (kept == 0 || std::strcmp(entries[i].text, entries[kept - 1].text) != 0)
            entries[kept++] = entries[i];
    // Ranked here even when no more than 100 remain, so that answers of equal
    // score keep their merge order instead of the list's unstable sort.
    sortByScore(entries, kept);
    if (kept > TSL_LIST_CAPACITY) kept = TSL_LIST_CAPACITY;
    for (int32_t i = 0; i < kept; ++i) addEntry(out, entries[i], entries[i].score);
    out->setListValue(static_cast<int32_t>(std::floor(100.0 * best + 0.5)));
    return 1;
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
    OwnedList made;
    bool ok = true;
    if (rec2) rec2 = prepareForConfidence(rec2, made, &ok);
    if (!ok) return 0;
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
    if (rescaleHmmList && (rec2 == out || !rescaleHmm(*this, rec2, out))) return 0;
    listImpl(rec2)->setPrepared(true);
    return 1;
}

}  // namespace tessel
