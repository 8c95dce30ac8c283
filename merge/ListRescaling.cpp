#include "ListRescaling.h"

#include <cstring>
#include <utility>

#include "AnswerItem.h"
#include "AnswerList.h"
#include "AnswerMerger.h"
#include "Numbers.h"
#include "WordShape.h"

namespace tessel {

namespace {

// Scores by rank, chosen by the top answer's score, which tells the
// recognizer's operating point.
const int32_t kTpcTable90[10] = {182, 153, 149, 147, 144, 137, 135, 133, 131, 130};
const int32_t kTpcTable30[10] = {160, 153, 144, 139, 136, 133, 130, 128, 126, 124};
const int32_t kTpcTable60[10] = {173, 161, 150, 147, 143, 140, 137, 135, 133, 131};

const char* const kRejectAnswer = "???";

}  // namespace

int rescaleTpc(AnswerList* in, AnswerList* out) {
    if (!in || !out) return 0;
    out->clear();
    const int32_t n = in->count();
    if (n > 0) {
        const int32_t top = in->valueAt(0, 0);
        const int32_t* table = top == 90 ? kTpcTable90 : top == 30 ? kTpcTable30 : kTpcTable60;
        AnswerItemImpl copy;
        for (int32_t i = 0; i < n; ++i) {
            if (!copy.copyFrom(in->itemAt(i))) continue;
            int32_t score = i < 10 ? table[i] : table[9] + 9 - i;
            copy.setValue(score < 0 ? 0 : score, 0);
            out->add(&copy);
        }
        out->setListValue(in->listValue());
    }
    listImpl(out)->setPrepared(true);
    return 1;
}

int rescaleHmm(const AnswerMergerImpl& merger, AnswerList* in, AnswerList* out) {
    if (!in || !out) return 0;
    out->clear();
    const int32_t n = in->count();
    if (merger.vocStatQual == 0.0 && merger.lexStatQual == 0.0) {
        // Nothing to re-rank by: the answers go on unchanged rather than
        // being lost to the merge.
        for (int32_t i = 0; i < n; ++i) out->add(in->itemAt(i));
        out->setListValue(in->listValue());
        listImpl(out)->setPrepared(true);
        return 1;
    }
    struct Ranked {
        int32_t index;
        double r;
    } ranked[TSL_LIST_CAPACITY];
    const ConfidenceChannel& rec2 = merger.channels[kRec2Channel];
    for (int32_t i = 0; i < n; ++i) {
        const char* text = in->textAt(i);
        double r = in->valueAt(i, 0);
        if (merger.vocStatQual != 0.0) {
            int level = rec2.vocabularyLevel(text);
            if (level < 0) level -= merger.nonVocWeight;
            r = level * merger.vocStatQual + r;
        }
        if (merger.lexStatQual != 0.0)
            r += merger.lexStatQual * wordShapeTraits(wordShapeClass(text)).lexStatistic;
        ranked[i] = {i, r};
    }
    // A stable bubble sort: answers of equal r keep the recognizer's order.
    for (int32_t pass = 0; pass + 1 < n; ++pass)
        for (int32_t i = 0; i + 1 < n - pass; ++i)
            if (ranked[i].r < ranked[i + 1].r) std::swap(ranked[i], ranked[i + 1]);
    AnswerItemImpl copy;
    for (int32_t i = 0; i < n; ++i) {
        AnswerItem* item = in->itemAt(ranked[i].index);
        if (!item || std::strcmp(item->text(), kRejectAnswer) == 0) continue;
        if (!copy.copyFrom(item)) continue;
        copy.setValue(item->value(0), 1);
        copy.setValue(truncToInt32(ranked[i].r), 0);
        out->add(&copy);
    }
    listImpl(out)->setPrepared(true);
    return 1;
}

}  // namespace tessel
