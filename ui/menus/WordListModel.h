// The word-list menu's own copy of a recognition result, and what the user
// does to it: picking alternatives, editing single letters, the visible page
// of a long result and the range of words changed so far. Kept free of
// windows so that every edit can be checked on its own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class RecWordList;

// The letter in the other case by the platform's case mapping: lower case
// for a letter that has a lower case, else upper case; the letter itself
// when it has no other case.
wchar_t otherCase(wchar_t c);

struct MenuWord {
    std::vector<std::wstring> alts;  // rank order; the first is the text shown
    std::vector<uint32_t> scores;    // one per alternative
    std::vector<int32_t> integers;   // the engine's own integers, carried along

    const std::wstring& text() const;
    bool hasText() const { return !alts.empty() && !alts[0].empty(); }
};

class WordListModel {
  public:
    WordListModel() = default;
    // A deep copy of `list` (its words, alternatives, scores and integers).
    explicit WordListModel(const RecWordList& list);

    // Spaces become words of their own so that every letter, blanks included,
    // has a box: a " " word between two words with text (once; the copy is
    // then joined without separators), and one at the end when the last word
    // does not end in a blank (the trailing-space word).
    void prepareForLetterEditing();

    int wordCount() const { return static_cast<int>(words_.size()); }
    const MenuWord* wordAt(int index) const;
    bool madeFromText() const { return madeFromText_; }
    bool trailingSpace() const { return trailingSpace_; }

    // The first alternatives joined (by one blank unless made from text),
    // without the final blank while the menu added the trailing-space word.
    std::wstring text() const;

    // Swaps alternative `alt` with the first; picking the same item again
    // restores the word. False for alternative 0 or one out of range.
    bool pickAlternative(int word, int alt);

    // Letter edits of word `word`'s first alternative; the word's other
    // alternatives go and it joins the changed range. `letter` −1 with
    // insertSpace appends. False when nothing changed.
    bool insertSpace(int word, int letter);
    bool deleteLetter(int word, int letter);
    // Upper case to lower, anything else to upper (the platform's mapping);
    // false for a letter without another case (a digit, a sign).
    bool toggleCase(int word, int letter);
    bool replaceLetter(int word, int letter, wchar_t ch);

    // After a change the last word must end in a blank again (its box is the
    // place to write a letter after the text); true when a word was appended.
    bool restoreTrailingSpace();

    // The position of `letter` of `word` among all boxes: the letters of the
    // words before it plus `letter`. −1 for a word out of range.
    int globalLetter(int word, int letter) const;
    // The number of letters of the words before `word`.
    int lettersBefore(int word) const;

    void markChanged(int word);
    int firstChanged() const { return firstChanged_; }
    int lastChanged() const { return lastChanged_; }
    void resetChanged() { firstChanged_ = lastChanged_ = -1; }

    // A new RecWordList of the words as they are now (null when memory runs out).
    RecWordList* toRecWordList() const;

    std::vector<MenuWord>& words() { return words_; }

  private:
    void dropOtherAlts(int word);
    static MenuWord spaceWord();

    std::vector<MenuWord> words_;
    bool madeFromText_ = false;
    bool trailingSpace_ = false;
    int firstChanged_ = -1;
    int lastChanged_ = -1;
};

// The visible page of a result too wide for one row. `widths` are the word
// items' text widths, `maxWidth` the widest row; (`first`, `last`) is the page
// asked for (last −1: to the end; first 0 with last ≥ 1: the words before
// `last`), `lastChanged` the last changed word or −1. The page to show, as
// (first, last) with last −1 when it runs to the end.
std::pair<int, int> chooseVisiblePage(const std::vector<int>& widths, int maxWidth, int first,
                                      int last, int lastChanged);
