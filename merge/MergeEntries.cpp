#include "MergeEntries.h"

#include <algorithm>
#include <cstring>

#include "AnswerItem.h"
#include "Numbers.h"

namespace tessel {

const int32_t kCarriedValues[4] = {2, 11, 7, 12};

bool takeAnswer(AnswerList* list, int32_t index, MergeEntry& entry, int32_t* score) {
    AnswerItem* item = list->itemAt(index);
    if (!item || !item->text()) return false;
    entry.text = item->text();
    *score = item->value(0);
    bool set = *score != TSL_VALUE_UNSET;
    for (int k = 0; k < 4; ++k) {
        entry.values[k] = item->value(kCarriedValues[k]);
        set = set && entry.values[k] != TSL_VALUE_UNSET;
    }
    return set;
}

void sortByText(MergeEntry* entries, int32_t count) {
    std::sort(entries, entries + count, [](const MergeEntry& a, const MergeEntry& b) {
        if (const int c = std::strcmp(a.text, b.text)) return c < 0;
        if (a.source != b.source) return a.source < b.source;
        if (a.score != b.score) return a.score > b.score;
        return a.order < b.order;
    });
}

void sortByScore(MergeEntry* entries, int32_t count) {
    std::sort(entries, entries + count, [](const MergeEntry& a, const MergeEntry& b) {
        if (a.score != b.score) return a.score > b.score;
        if (a.rank != b.rank) return a.rank < b.rank;
        return a.order < b.order;
    });
}

void addEntry(AnswerList* out, const MergeEntry& entry, int64_t value0) {
    AnswerItemImpl item;
    if (!item.setText(entry.text)) return;
    item.setValue(truncToInt32(static_cast<double>(value0)), 0);
    for (int k = 0; k < 4; ++k) item.setValue(entry.values[k], kCarriedValues[k]);
    out->add(&item);
}

}  // namespace tessel
