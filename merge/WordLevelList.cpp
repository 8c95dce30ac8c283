#include "WordLevelList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "TextFile.h"

namespace tessel {

namespace {

constexpr int kLineChars = 511;
constexpr int kMaxLevel = 255;

int compareWords(const char* a, const char* b) {
    return std::strcmp(a, b);  // strcmp compares as unsigned char
}

enum class LineResult { Entry, Skip, Invalid };

// Parses one line; the word is cut out of the line in place.
LineResult parseLine(char* line, char** wordOut, int* levelOut) {
    char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    char* lineEnd = p + std::strlen(p);
    while (lineEnd > p && (lineEnd[-1] == '\n' || lineEnd[-1] == '\r')) *--lineEnd = '\0';
    if (p == lineEnd) return LineResult::Skip;

    char* word = p;
    char* wordEnd;
    char* after;
    if (*p == '"') {
        word = p + 1;
        wordEnd = std::strchr(word, '"');
        if (!wordEnd) return LineResult::Skip;  // the word reaches the line's end
        after = wordEnd + 1;
    } else {
        wordEnd = p;
        while (*wordEnd && *wordEnd != ' ' && *wordEnd != '\t' && *wordEnd != ',') ++wordEnd;
        if (!*wordEnd) return LineResult::Skip;
        after = wordEnd + 1;
    }
    if (wordEnd == word) return LineResult::Skip;
    *wordEnd = '\0';

    while (*after && !isAsciiDigit(*after)) ++after;
    if (!*after) return LineResult::Skip;
    int level = 0;
    for (; isAsciiDigit(*after); ++after) {
        level = level * 10 + (*after - '0');
        if (level > kMaxLevel) return LineResult::Invalid;
    }
    toLowerAscii(word);
    *wordOut = word;
    *levelOut = level;
    return LineResult::Entry;
}

bool readEntries(WordLevelList& list, FILE* file) {
    char line[kLineChars + 1];
    while (std::fgets(line, sizeof line, file)) {
        char* word = nullptr;
        int level = 0;
        const LineResult r = parseLine(line, &word, &level);
        if (r == LineResult::Invalid) return false;
        if (r == LineResult::Skip) continue;
        WordLevelEntry entry;
        const size_t size = std::strlen(word) + 1;
        entry.word = new (std::nothrow) char[size];
        if (!entry.word) return false;
        std::memcpy(entry.word, word, size);
        entry.level = static_cast<int8_t>(static_cast<uint8_t>(level));
        if (!list.entries.append(std::move(entry))) return false;
    }
    return !std::ferror(file);
}

// Sorts and keeps one entry per word.
void sortUnique(WordLevelList& list) {
    GrowArray<WordLevelEntry>& e = list.entries;
    std::sort(e.begin(), e.end(), [](const WordLevelEntry& a, const WordLevelEntry& b) {
        return compareWords(a.word, b.word) < 0;
    });
    size_t kept = 0;
    for (size_t i = 0; i < e.count(); ++i) {
        // Of two neighbours with the same word the later one stays.
        if (i + 1 < e.count() && compareWords(e[i].word, e[i + 1].word) == 0) continue;
        if (kept != i) e[kept] = std::move(e[i]);
        ++kept;
    }
    e.setCount(kept);
}

// Lower-cased copy of at most kLineChars characters.
void lowerCopy(const char* word, char* out) {
    size_t n = std::strlen(word);
    if (n > kLineChars) n = kLineChars;
    std::memcpy(out, word, n);
    out[n] = '\0';
    toLowerAscii(out);
}

void dropTrailingMark(char* word) {
    const size_t n = std::strlen(word);
    if (n > 0 && !isAsciiLetter(word[n - 1]) && !isAsciiDigit(word[n - 1])) word[n - 1] = '\0';
}

// Binary search over the sorted entries.
const WordLevelEntry* findEntry(const WordLevelList& list, const char* word) {
    if (!word) return nullptr;
    const GrowArray<WordLevelEntry>& e = list.entries;
    const WordLevelEntry* at = std::lower_bound(
        e.begin(), e.end(), word,
        [](const WordLevelEntry& entry, const char* w) { return compareWords(entry.word, w) < 0; });
    return at != e.end() && compareWords(at->word, word) == 0 ? at : nullptr;
}

}  // namespace

WordLevelEntry& WordLevelEntry::operator=(WordLevelEntry&& other) noexcept {
    if (this != &other) {
        delete[] word;
        word = other.word;
        level = other.level;
        other.word = nullptr;
    }
    return *this;
}

bool readWordLevelList(WordLevelList& list, const char* path) {
    list.entries.release();
    if (!path) return false;
    FILE* file = std::fopen(path, kReadTextMode);
    if (!file) return false;
    const bool ok = readEntries(list, file);
    std::fclose(file);
    if (!ok) {
        list.entries.release();
        return false;
    }
    sortUnique(list);
    return true;
}

int findWordLevel(const WordLevelList& list, const char* word) {
    const WordLevelEntry* entry = findEntry(list, word);
    return entry ? entry->level : -1;
}

int lookupWordLevel(const WordLevelList& list, const char* word) {
    if (!word) return -1;
    char copy[kLineChars + 1];
    lowerCopy(word, copy);
    dropTrailingMark(copy);
    return findWordLevel(list, copy);
}

int lookupWordLevelRetry(const WordLevelList& list, const char* word, int* found) {
    if (found) *found = 0;
    if (!word) return -1;
    char copy[kLineChars + 1];
    lowerCopy(word, copy);
    // A stored level of 255 reads -1: ask for the entry, not the level.
    if (const WordLevelEntry* entry = findEntry(list, copy)) {
        if (found) *found = 1;
        return entry->level;
    }
    dropTrailingMark(copy);
    return findWordLevel(list, copy);
}

}  // namespace tessel
