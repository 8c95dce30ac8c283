#include "recognition/RecWordList.h"

#include <cstring>
#include <cwctype>
#include <memory>
#include <new>

#include "core/MemoryBlocks.h"

namespace {

constexpr int kFirstAltRoom = 10;
constexpr int kAltRoomStep = 5;

const std::wstring kNoText;

// A copy of text[0..length) as a word of its own.
std::wstring runOf(const wchar_t* text, size_t length) { return std::wstring(text, length); }

}  // namespace

RecAlt::RecAlt(const wchar_t* text, uint32_t score) : text_(text ? text : L""), score_(score) {}

RecWord::RecWord(int count, const int32_t* integers) {
    if (count <= 0 || !integers) return;
    const int bytes = count * static_cast<int>(sizeof(int32_t));
    if (count > INT32_MAX / static_cast<int>(sizeof(int32_t))) return;
    integers_ = static_cast<int32_t*>(allocMemory(bytes));
    if (!integers_) return;
    std::memcpy(integers_, integers, static_cast<size_t>(bytes));
    integerCount_ = count;
}

RecWord::~RecWord() {
    for (int i = 0; i < altCount_; ++i) delete alts_[i];
    freeMemory(alts_);
    freeMemory(integers_);
}

bool RecWord::addAlt(RecAlt* alt) {
    if (!alt) return false;
    if (altCount_ == altCapacity_) {
        // Room for ten at first, then the needed size and five more.
        const int capacity = alts_ ? altCount_ + 1 + kAltRoomStep : kFirstAltRoom;
        void* grown = alts_ ? reallocMemory(alts_, capacity * static_cast<int>(sizeof(RecAlt*)))
                            : allocMemory(capacity * static_cast<int>(sizeof(RecAlt*)));
        if (!grown) {
            // The alternatives already held stay; only the new one is lost.
            delete alt;
            return false;
        }
        alts_ = static_cast<RecAlt**>(grown);
        altCapacity_ = capacity;
    }
    alts_[altCount_++] = alt;
    return true;
}

const RecAlt* RecWord::altAt(int index) const {
    return index >= 0 && index < altCount_ ? alts_[index] : nullptr;
}

const std::wstring& RecWord::text() const { return altCount_ > 0 ? alts_[0]->text() : kNoText; }

RecWordList::~RecWordList() {
    for (RecWord* word : words_) delete word;
}

bool RecWordList::appendWord(RecWord* word) {
    if (!word) return false;
    try {
        words_.push_back(word);
    } catch (const std::bad_alloc&) {
        delete word;
        return false;
    }
    return true;
}

RecWord* RecWordList::wordAt(int index) const {
    return index >= 0 && index < wordCount() ? words_[static_cast<size_t>(index)] : nullptr;
}

wchar_t* RecWordList::joinText(bool dropTrailingBlank) const {
    size_t length = 0;
    int taken = 0;
    for (const RecWord* word : words_) {
        const std::wstring& text = word->text();
        if (text.empty()) continue;
        if (taken++ > 0 && !madeFromText()) ++length;
        length += text.size();
    }
    if (taken == 0) return nullptr;
    if (length + 1 > static_cast<size_t>(INT32_MAX) / sizeof(wchar_t)) return nullptr;
    auto* out =
        static_cast<wchar_t*>(allocMemory(static_cast<int>((length + 1) * sizeof(wchar_t))));
    if (!out) return nullptr;
    size_t at = 0;
    taken = 0;
    for (const RecWord* word : words_) {
        const std::wstring& text = word->text();
        if (text.empty()) continue;
        if (taken++ > 0 && !madeFromText()) out[at++] = L' ';
        std::memcpy(out + at, text.data(), text.size() * sizeof(wchar_t));
        at += text.size();
    }
    if (dropTrailingBlank && at > 0 && out[at - 1] == L' ') --at;
    out[at] = L'\0';
    return out;
}

bool addWordFromText(const RecProfileVariants* profile, const wchar_t* text, RecWordList* list) {
    if (!text || !list) return false;
    std::unique_ptr<RecWord> word(new (std::nothrow) RecWord(0, nullptr));
    if (!word) return false;
    try {
        if (!word->addAlt(new RecAlt(text, RecAlt::kTypedScore))) return false;
        std::vector<std::wstring> variants;
        if (profile && profile->getWordVariants(text, &variants, kProfileVariantsPerWord)) {
            const size_t n = variants.size() < size_t{kProfileVariantsPerWord}
                                 ? variants.size()
                                 : size_t{kProfileVariantsPerWord};
            for (size_t i = 0; i < n; ++i)
                if (!word->addAlt(new RecAlt(variants[i].c_str(), RecAlt::kTypedScore)))
                    return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return list->appendWord(word.release());
}

RecWordList* makeWordListFromText(const wchar_t* text, const RecProfileVariants* profile) {
    if (!text) return nullptr;
    std::unique_ptr<RecWordList> list(new (std::nothrow) RecWordList);
    if (!list) return nullptr;
    try {
        const wchar_t* p = text;
        while (*p) {
            const bool letters = std::iswalnum(static_cast<wint_t>(*p)) != 0;
            const wchar_t* end = p;
            while (*end && (std::iswalnum(static_cast<wint_t>(*end)) != 0) == letters) ++end;
            const std::wstring run = runOf(p, static_cast<size_t>(end - p));
            if (!addWordFromText(letters ? profile : nullptr, run.c_str(), list.get()))
                return nullptr;
            p = end;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    list->setMadeFromText(true);
    return list.release();
}
