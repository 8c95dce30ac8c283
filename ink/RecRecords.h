// The recognition records: a result is a list of words, each word a ranked
// list of alternatives. The recognizer modules build them, the system client
// wraps a word list in a RecResult bound to its target, and the word-list menu
// shows the alternatives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/VexaSuper.h"

class InkTrace;
class RecProfile;

// One alternative of a word: its text and its score (100 for text the user
// typed or that comes from a dictionary).
class RecAlt : public VexaSuper {
    VEXA_CLASS(RecAlt, VexaSuper)

  public:
    RecAlt(const wchar_t* text, uint32_t score) : text_(text ? text : L""), score_(score) {}

    const std::wstring& text() const { return text_; }
    void setText(const std::wstring& text) { text_ = text; }
    uint32_t score() const { return score_; }

  private:
    std::wstring text_;
    uint32_t score_;
};

// One word: its alternatives, the first being the chosen text, and the
// engine's own integers for the word (the numbers of its strokes).
class RecWord : public VexaSuper {
    VEXA_CLASS(RecWord, VexaSuper)

  public:
    // Copies `count` integers (none when `integers` is null or count < 1).
    RecWord(int count, const int32_t* integers);
    ~RecWord() override;
    RecWord(const RecWord&) = delete;
    RecWord& operator=(const RecWord&) = delete;

    // Takes the alternative. When the array cannot grow the alternative is
    // deleted, the ones held stay, and the answer is false.
    bool addAlt(RecAlt* alt);

    int altCount() const { return altCount_; }
    // Null outside 0..altCount-1.
    RecAlt* altAt(int index) const;
    // The first alternative's text, empty without one.
    std::wstring text() const;

    int intCount() const { return intCount_; }
    const int32_t* ints() const { return ints_; }

  private:
    RecAlt** alts_ = nullptr;
    int altCount_ = 0;
    int altRoom_ = 0;
    int32_t* ints_ = nullptr;
    int intCount_ = 0;
};

// The words of a result, owned, in order.
class RecWordList : public VexaSuper {
    VEXA_CLASS(RecWordList, VexaSuper)

  public:
    RecWordList() = default;
    ~RecWordList() override;
    RecWordList(const RecWordList&) = delete;
    RecWordList& operator=(const RecWordList&) = delete;

    // Takes the word (null is ignored).
    void appendWord(RecWord* word);
    // Null when the index is outside the list.
    RecWord* wordAt(int index) const;
    int wordCount() const { return static_cast<int>(words_.size()); }

    bool madeFromText() const { return madeFromText_; }
    void setMadeFromText(bool on) { madeFromText_ = on; }

    // The first alternative of every word with text, one blank between two
    // (none for a list made from text); with `dropTrailingBlank` a final blank
    // goes. A new allocMemory block the caller frees with freeMemory, or null
    // when the list yields no text.
    wchar_t* joinText(bool dropTrailingBlank) const;

  private:
    std::vector<RecWord*> words_;
    bool madeFromText_ = false;
};

// A word list bound to the window it was written for and that window's
// keyboard layout, with the ink it was read from (owned; null when the result
// was not made from ink).
class RecResult : public VexaSuper {
    VEXA_CLASS(RecResult, VexaSuper)

  public:
    RecResult(HWND target, InkTrace* ink, RecWordList* words, HKL layout);
    ~RecResult() override;
    RecResult(const RecResult&) = delete;
    RecResult& operator=(const RecResult&) = delete;

    HWND target() const { return target_; }
    InkTrace* ink() const { return ink_; }
    HKL layout() const { return layout_; }
    RecWordList* wordList() const { return words_; }
    // Takes the new list and deletes the old one.
    void replaceWordList(RecWordList* words);
    // Characters typed for this result's text, -1 until it was typed.
    int typedLength() const { return typedLength_; }
    void setTypedLength(int length) { typedLength_ = length; }

  private:
    HKL layout_;
    InkTrace* ink_;
    RecWordList* words_;
    int typedLength_ = -1;
    HWND target_;
};

// Appends a word whose first alternative is `text` (score 100), followed with
// a profile by at most 5 of the profile's variants of the text. False (the
// word deleted) when the word cannot be built.
bool addWordFromText(RecProfile* profile, const wchar_t* text, RecWordList* list);

// A list made from text: each run of letters and digits is a word with the
// profile's variants, each run of anything else a word of its own, so joining
// the list gives the text back exactly. Null on failure.
RecWordList* makeWordListFromText(const wchar_t* text, RecProfile* profile);
