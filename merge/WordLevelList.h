// Vocabulary word list: words with a small level number, read from a plain
// text file (not scrambled) of lines such as
//     word 3
//     "two words", 12
// Leading blanks and tabs are skipped; the word is the text between double
// quotes or up to the first blank, tab or comma, and is lower-cased; the level
// is the first run of digits after the word (0..255, kept in a signed byte, so
// 200 reads back as -56). Lines without a level are skipped; a level above 255
// makes the whole file invalid.
#pragma once

#include <cstdint>

#include "GrowArray.h"

namespace tessel {

struct WordLevelEntry {
    WordLevelEntry() noexcept = default;
    WordLevelEntry(WordLevelEntry&& other) noexcept : word(other.word), level(other.level) {
        other.word = nullptr;
    }
    WordLevelEntry& operator=(WordLevelEntry&& other) noexcept;
    ~WordLevelEntry() { delete[] word; }

    char* word = nullptr;  // owned, lower-cased
    int8_t level = 0;
};

struct WordLevelList {
    // Sorted by word (unsigned bytes), one entry per word.
    GrowArray<WordLevelEntry> entries;
};

// Empties the list and reads the file; true on success. On failure (unreadable
// file, read error, a level above 255, no memory) the list is left empty.
bool readWordLevelList(WordLevelList& list, const char* path);
// The level of a lower-cased word, or -1 when it is not in the list.
int findWordLevel(const WordLevelList& list, const char* word);
// Lower-cases a copy (at most 511 characters), drops a last character that is
// neither a letter nor a digit, and looks it up.
int lookupWordLevel(const WordLevelList& list, const char* word);
// Lower-cases a copy and looks it up; found sets *found to 1 and gives the
// level. Else *found is 0 and the copy without a last character that is
// neither a letter nor a digit is looked up instead.
int lookupWordLevelRetry(const WordLevelList& list, const char* word, int* found);

}  // namespace tessel
