// The records of a recognition answer: a word list whose words each hold
// their ranked alternatives. The recognizer modules build them, the system
// client wraps them in a RecResult, the word-list menu shows and replaces
// them; a list can also be made from plain text (what the user typed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/VexaSuper.h"

// One alternative of a word: its text and the engine's score for it. Text the
// user typed or that comes from a dictionary scores kTypedScore.
class RecAlt : public VexaSuper {
    VEXA_CLASS(RecAlt, VexaSuper)

  public:
    static constexpr uint32_t kTypedScore = 100;

    RecAlt(const wchar_t* text, uint32_t score);

    const std::wstring& text() const { return text_; }
    uint32_t score() const { return score_; }

  private:
    std::wstring text_;
    uint32_t score_;
};

// One word: its alternatives in rank order (the first is the chosen text),
// owned, and a copy of the engine's own integers for the word.
class RecWord : public VexaSuper {
    VEXA_CLASS(RecWord, VexaSuper)

  public:
    // Copies `count` engine integers (none when `integers` is null or count <= 0).
    RecWord(int count, const int32_t* integers);
    ~RecWord() override;
    RecWord(const RecWord&) = delete;
    RecWord& operator=(const RecWord&) = delete;

    // Appends `alt`, which the word owns from now on. When the array cannot
    // grow the alternative is deleted, the word keeps what it had, and the
    // answer is false.
    bool addAlt(RecAlt* alt);

    int altCount() const { return altCount_; }
    // The alternative at `index`, null outside the word.
    const RecAlt* altAt(int index) const;
    // The chosen text: the first alternative's, empty when there is none.
    const std::wstring& text() const;

    int integerCount() const { return integerCount_; }
    const int32_t* integers() const { return integers_; }

  private:
    RecAlt** alts_ = nullptr;  // an allocMemory block, room for altCapacity_
    int altCount_ = 0;
    int altCapacity_ = 0;
    int32_t* integers_ = nullptr;  // an allocMemory block
    int integerCount_ = 0;
};

// What the word list needs of a recognition profile: up to `maximum` variants
// of a word, in the profile's order. The recognition profiles (RecProfile)
// implement it; the records stay free of the recognizer modules.
class RecProfileVariants {
  public:
    virtual ~RecProfileVariants() = default;
    // False when the profile has none to give (no context, maximum below 1).
    virtual bool getWordVariants(const wchar_t* word, std::vector<std::wstring>* variants,
                                 int maximum) const = 0;
};

// The words of one answer, in order, owned.
class RecWordList : public VexaSuper {
    VEXA_CLASS(RecWordList, VexaSuper)

  public:
    RecWordList() = default;
    ~RecWordList() override;
    RecWordList(const RecWordList&) = delete;
    RecWordList& operator=(const RecWordList&) = delete;

    // Appends `word`, which the list owns from now on; when memory runs out
    // the word is deleted and the answer is false.
    bool appendWord(RecWord* word);
    int wordCount() const { return static_cast<int>(words_.size()); }
    // The word at `index`, null outside the list.
    RecWord* wordAt(int index) const;

    // The first alternative of every word with text, joined by one blank
    // (without blanks when the list was made from text); with `dropTrailingBlank`
    // a final blank goes. A new allocMemory block the caller frees with
    // freeMemory, or null when the list yields no text (or memory runs out).
    wchar_t* joinText(bool dropTrailingBlank) const;

    bool madeFromText() const { return madeFromText_ != 0; }
    void setMadeFromText(bool on) { madeFromText_ = on ? 1 : 0; }

  private:
    std::vector<RecWord*> words_;
    uint8_t madeFromText_ = 0;
};

// The most variants a profile gives for one word made from text.
constexpr int kProfileVariantsPerWord = 5;

// Appends one word for `text`: the text itself (score 100), then, with a
// profile, up to five of its variants (score 100 each). False (and nothing
// appended) when memory runs out.
bool addWordFromText(const RecProfileVariants* profile, const wchar_t* text, RecWordList* list);

// A list that joins back to `text` exactly: runs of letters and digits become
// words with the profile's variants, every other run (blanks, punctuation) a
// word of its own. Null for a null text or when memory runs out.
RecWordList* makeWordListFromText(const wchar_t* text, const RecProfileVariants* profile);
