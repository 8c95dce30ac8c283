#include "LetterBoxes.h"

#include "WordListModel.h"

bool LetterRecord::addGuess(wchar_t letter) {
    for (int i = 0; i < count; ++i)
        if (guesses[i] == letter) return true;
    if (count >= kMaxGuesses) return false;
    guesses[count++] = letter;
    guesses[count] = 0;
    return true;
}

void LetterRecord::merge(const LetterRecord& other, bool rotate) {
    const bool wasEmpty = count == 0;
    if (wasEmpty) {
        const uint8_t ownSet = set;
        *this = other;
        set = ownSet;
    }
    if (rotate && !wasEmpty && count >= 2 && other.count >= 1 && guesses[0] == other.guesses[0]) {
        const wchar_t repeated = guesses[0];
        guesses[0] = guesses[1];
        guesses[1] = repeated;
    }
    for (int i = 0; i < other.count && count < kMaxGuesses; ++i) addGuess(other.guesses[i]);
}

void LetterRecord::takeWriting(const LetterRecord& written) {
    if (written.count == 0) return;
    if (count >= 1 && written.guesses[0] == guesses[0]) {
        merge(written, true);
    } else {
        LetterRecord taken = written;
        for (int i = 0; i < count && taken.count < kMaxGuesses; ++i) taken.addGuess(guesses[i]);
        *this = taken;
    }
    set = 1;
}

void mergeAllRecords(std::vector<LetterRecord>& into, const std::vector<LetterRecord>& from) {
    if (into.size() != from.size()) return;
    for (size_t i = 0; i < into.size(); ++i) into[i].merge(from[i], true);
}

std::vector<LetterRecord> buildLetterRecords(const std::vector<const MenuWord*>& words) {
    std::vector<LetterRecord> records;
    for (const MenuWord* word : words) {
        const size_t start = records.size();
        const int firstLength = static_cast<int>(word->text().size());
        records.resize(start + firstLength);
        for (const std::wstring& alt : word->alts) {
            const int length = static_cast<int>(alt.size());
            for (int p = 0; p < length; ++p) {
                const wchar_t c = alt[p];
                if (c == 0 || c == L' ') continue;
                if (p < firstLength) records[start + p].addGuess(c);
                if (length != firstLength) {
                    const int q = p - (length - firstLength);
                    if (q >= 0 && q < firstLength && q != p) records[start + q].addGuess(c);
                }
            }
        }
    }
    return records;
}

int boxAtX(int left, const std::vector<int>& widths, int x) {
    if (x < left) return -1;
    int edge = left;
    for (size_t i = 0; i < widths.size(); ++i) {
        edge += widths[i];
        if (x < edge) return static_cast<int>(i);
    }
    return -1;
}

std::vector<LetterRecord> recordsFromWriting(size_t boxCount, const std::vector<WrittenWord>& words,
                                             int* reported) {
    std::vector<LetterRecord> records(boxCount);
    if (reported) *reported = -1;
    for (const WrittenWord& word : words) {
        if (word.alts.empty() || word.alts[0].empty()) continue;
        const size_t length = word.alts[0].size();
        if (word.boxes.size() != length) continue;
        for (const std::wstring& alt : word.alts) {
            if (alt.size() != length) continue;
            for (size_t i = 0; i < length; ++i) {
                const int box = word.boxes[i];
                if (box < 0 || static_cast<size_t>(box) >= boxCount) continue;
                records[box].addGuess(alt[i]);
                records[box].set = 1;
            }
        }
        if (reported && words.size() == 1 && length == 1) *reported = word.boxes[0];
    }
    return records;
}
