#include "ink/RecRecords.h"

#include <cwctype>
#include <new>

#include "ink/InkTrace.h"
#include "ink/MemoryBlocks.h"
#include "recognition/RecProfile.h"

namespace {

constexpr int kFirstAltRoom = 10;
constexpr int kAltRoomSlack = 5;
constexpr int kTextVariants = 5;
constexpr uint32_t kTypedScore = 100;

}  // namespace

// ---- RecWord ----

RecWord::RecWord(int count, const int32_t* integers) {
    alts_ = static_cast<RecAlt**>(allocMemory(kFirstAltRoom * sizeof(RecAlt*)));
    if (alts_) altRoom_ = kFirstAltRoom;
    if (integers && count > 0) {
        ints_ = static_cast<int32_t*>(allocMemory(count * static_cast<int>(sizeof(int32_t))));
        if (ints_) {
            for (int i = 0; i < count; ++i) ints_[i] = integers[i];
            intCount_ = count;
        }
    }
}

RecWord::~RecWord() {
    for (int i = 0; i < altCount_; ++i) delete alts_[i];
    freeMemory(alts_);
    freeMemory(ints_);
}

bool RecWord::addAlt(RecAlt* alt) {
    if (!alt) return false;
    if (altCount_ >= altRoom_) {
        const int room = altCount_ + 1 + kAltRoomSlack;
        void* grown = reallocMemory(alts_, room * static_cast<int>(sizeof(RecAlt*)));
        if (!grown) {
            delete alt;
            return false;
        }
        alts_ = static_cast<RecAlt**>(grown);
        altRoom_ = room;
    }
    alts_[altCount_++] = alt;
    return true;
}

RecAlt* RecWord::altAt(int index) const {
    return index >= 0 && index < altCount_ ? alts_[index] : nullptr;
}

std::wstring RecWord::text() const { return altCount_ > 0 ? alts_[0]->text() : std::wstring(); }

// ---- RecWordList ----

RecWordList::~RecWordList() {
    for (RecWord* w : words_) delete w;
}

void RecWordList::appendWord(RecWord* word) {
    if (word) words_.push_back(word);
}

RecWord* RecWordList::wordAt(int index) const {
    return index >= 0 && index < wordCount() ? words_[static_cast<size_t>(index)] : nullptr;
}

wchar_t* RecWordList::joinText(bool dropTrailingBlank) const {
    std::wstring text;
    bool any = false;
    for (const RecWord* w : words_) {
        const RecAlt* first = w->altAt(0);
        if (!first || first->text().empty()) continue;
        if (any && !madeFromText_) text += L' ';
        text += first->text();
        any = true;
    }
    if (dropTrailingBlank && !text.empty() && text.back() == L' ') text.pop_back();
    if (text.empty()) return nullptr;
    const int bytes = static_cast<int>((text.size() + 1) * sizeof(wchar_t));
    wchar_t* out = static_cast<wchar_t*>(allocMemory(bytes));
    if (!out) return nullptr;
    text.copy(out, text.size());
    out[text.size()] = L'\0';
    return out;
}

// ---- RecResult ----

RecResult::RecResult(HWND target, InkTrace* ink, RecWordList* words, HKL layout)
    : layout_(layout), ink_(ink), words_(words), target_(target) {}

RecResult::~RecResult() {
    delete words_;
    delete ink_;
}

void RecResult::replaceWordList(RecWordList* words) {
    if (words == words_) return;
    delete words_;
    words_ = words;
}

// ---- building lists from text ----

bool addWordFromText(RecProfile* profile, const wchar_t* text, RecWordList* list) {
    if (!text || !list) return false;
    RecWord* word = new (std::nothrow) RecWord(0, nullptr);
    if (!word) return false;
    RecAlt* first = new (std::nothrow) RecAlt(text, kTypedScore);
    if (!first || !word->addAlt(first)) {
        delete word;
        return false;
    }
    if (profile) {
        std::vector<std::wstring> variants;
        if (profile->getWordVariants(text, variants, kTextVariants)) {
            for (const std::wstring& v : variants) {
                RecAlt* alt = new (std::nothrow) RecAlt(v.c_str(), kTypedScore);
                if (!alt || !word->addAlt(alt)) {
                    delete word;
                    return false;
                }
            }
        }
    }
    list->appendWord(word);
    return true;
}

RecWordList* makeWordListFromText(const wchar_t* text, RecProfile* profile) {
    if (!text) return nullptr;
    RecWordList* list = new (std::nothrow) RecWordList;
    if (!list) return nullptr;
    const std::wstring all(text);
    size_t i = 0;
    while (i < all.size()) {
        const bool word = std::iswalnum(all[i]) != 0;
        size_t end = i + 1;
        while (end < all.size() && (std::iswalnum(all[end]) != 0) == word) ++end;
        const std::wstring run = all.substr(i, end - i);
        if (!addWordFromText(word ? profile : nullptr, run.c_str(), list)) {
            delete list;
            return nullptr;
        }
        i = end;
    }
    list->setMadeFromText(true);
    return list;
}
