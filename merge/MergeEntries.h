// The working records of a merge: one per answer taken from an input list,
// sorted by text so that the answers of the two lists meet, then by score.
#pragma once

#include <cstdint>

#include "Tessel.h"

namespace tessel {

struct MergeEntry {
    const char* text;   // borrowed from the input answer
    int32_t source;     // which list (or which step) the answer came from
    int64_t score;      // 64 bits: scores of two lists are added
    int32_t values[4];  // the answer's values 2, 11, 7 and 12, carried unchanged
    int32_t rank;       // rank sum of a merge, rank of the final step
    int32_t order;      // position of arrival, so that sorting is deterministic
};

// The values an answer carries through a merge, in MergeEntry::values order.
extern const int32_t kCarriedValues[4];

// Fills the entry's text and carried values from the list's answer i; false
// when a carried value or value 0 is unset (*score receives value 0).
bool takeAnswer(AnswerList* list, int32_t index, MergeEntry& entry, int32_t* score);
// Sorts by text (bytes), then source ascending, then score descending.
void sortByText(MergeEntry* entries, int32_t count);
// Sorts by score descending, then rank ascending.
void sortByScore(MergeEntry* entries, int32_t count);
// Adds an answer with the entry's text, value 0 and carried values (every
// other value unset) to the list.
void addEntry(AnswerList* out, const MergeEntry& entry, int64_t value0);

}  // namespace tessel
