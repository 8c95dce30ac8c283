#include "WordListModel.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

#include "recognition/RecWordList.h"

namespace {
const std::wstring kNoText;

// One letter through the platform's case mapping (lower case when `lower`).
// The C runtime's "C" locale maps a to z only: Cyrillic and accented letters
// would keep their case.
wchar_t mapCase(wchar_t c, bool lower) {
#ifdef _WIN32
    wchar_t mapped = c;
    if (LCMapStringW(LOCALE_USER_DEFAULT, lower ? LCMAP_LOWERCASE : LCMAP_UPPERCASE, &c, 1, &mapped,
                     1) != 1)
        return c;
    return mapped;
#else
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!unicode) return static_cast<wchar_t>(lower ? towlower(c) : towupper(c));
    return static_cast<wchar_t>(lower ? towlower_l(c, unicode) : towupper_l(c, unicode));
#endif
}
}  // namespace

wchar_t otherCase(wchar_t c) {
    const wchar_t lower = mapCase(c, true);
    return lower != c ? lower : mapCase(c, false);
}

const std::wstring& MenuWord::text() const { return alts.empty() ? kNoText : alts[0]; }

WordListModel::WordListModel(const RecWordList& list) {
    madeFromText_ = list.madeFromText();
    for (int w = 0; w < list.wordCount(); ++w) {
        const RecWord* source = list.wordAt(w);
        MenuWord word;
        for (int a = 0; a < source->altCount(); ++a) {
            const RecAlt* alt = source->altAt(a);
            word.alts.push_back(alt->text());
            word.scores.push_back(alt->score());
        }
        if (source->integers() && source->integerCount() > 0)
            word.integers.assign(source->integers(), source->integers() + source->integerCount());
        words_.push_back(std::move(word));
    }
}

MenuWord WordListModel::spaceWord() {
    MenuWord word;
    word.alts.push_back(L" ");
    word.scores.push_back(100);
    return word;
}

void WordListModel::prepareForLetterEditing() {
    if (!madeFromText_) {
        std::vector<MenuWord> spaced;
        bool previousHasText = false;
        for (MenuWord& word : words_) {
            const bool hasText = word.hasText();
            if (previousHasText && hasText) spaced.push_back(spaceWord());
            spaced.push_back(std::move(word));
            previousHasText = hasText;
        }
        words_ = std::move(spaced);
        madeFromText_ = true;
    }
    const std::wstring last = words_.empty() ? std::wstring() : words_.back().text();
    if (last.empty() || last.back() != L' ') {
        words_.push_back(spaceWord());
        trailingSpace_ = true;
    }
}

bool WordListModel::restoreTrailingSpace() {
    const std::wstring last = words_.empty() ? std::wstring() : words_.back().text();
    if (!last.empty() && last.back() == L' ') return false;
    words_.push_back(spaceWord());
    trailingSpace_ = true;
    return true;
}

const MenuWord* WordListModel::wordAt(int index) const {
    if (index < 0 || index >= wordCount()) return nullptr;
    return &words_[index];
}

std::wstring WordListModel::text() const {
    std::wstring joined;
    for (const MenuWord& word : words_) {
        if (!word.hasText()) continue;
        if (!madeFromText_ && !joined.empty()) joined += L' ';
        joined += word.text();
    }
    if (trailingSpace_ && !joined.empty() && joined.back() == L' ') joined.pop_back();
    return joined;
}

bool WordListModel::pickAlternative(int word, int alt) {
    if (word < 0 || word >= wordCount()) return false;
    MenuWord& w = words_[word];
    if (alt <= 0 || alt >= static_cast<int>(w.alts.size())) return false;
    std::swap(w.alts[0], w.alts[alt]);
    std::swap(w.scores[0], w.scores[alt]);
    markChanged(word);
    return true;
}

void WordListModel::markChanged(int word) {
    if (!(firstChanged_ >= 0 && firstChanged_ <= word)) firstChanged_ = word;
    if (word > lastChanged_) lastChanged_ = word;
}

void WordListModel::dropOtherAlts(int word) {
    MenuWord& w = words_[word];
    if (w.alts.size() > 1) {
        w.alts.resize(1);
        w.scores.resize(1);
    }
}

bool WordListModel::insertSpace(int word, int letter) {
    if (word < 0 || word >= wordCount()) return false;
    MenuWord& w = words_[word];
    if (w.alts.empty()) {
        w.alts.emplace_back();
        w.scores.push_back(100);
    }
    std::wstring& t = w.alts[0];
    if (letter < 0 || letter > static_cast<int>(t.size())) letter = static_cast<int>(t.size());
    t.insert(t.begin() + letter, L' ');
    dropOtherAlts(word);
    markChanged(word);
    return true;
}

bool WordListModel::deleteLetter(int word, int letter) {
    if (word < 0 || word >= wordCount() || words_[word].alts.empty()) return false;
    std::wstring& t = words_[word].alts[0];
    if (letter < 0 || letter >= static_cast<int>(t.size())) return false;
    t.erase(t.begin() + letter);
    dropOtherAlts(word);
    markChanged(word);
    return true;
}

bool WordListModel::toggleCase(int word, int letter) {
    if (word < 0 || word >= wordCount() || words_[word].alts.empty()) return false;
    std::wstring& t = words_[word].alts[0];
    if (letter < 0 || letter >= static_cast<int>(t.size())) return false;
    const wchar_t other = otherCase(t[letter]);
    if (other == t[letter]) return false;
    t[letter] = other;
    dropOtherAlts(word);
    markChanged(word);
    return true;
}

bool WordListModel::replaceLetter(int word, int letter, wchar_t ch) {
    if (word < 0 || word >= wordCount() || words_[word].alts.empty() || ch == 0) return false;
    std::wstring& t = words_[word].alts[0];
    if (letter < 0 || letter >= static_cast<int>(t.size())) return false;
    t[letter] = ch;
    dropOtherAlts(word);
    markChanged(word);
    return true;
}

int WordListModel::lettersBefore(int word) const {
    int letters = 0;
    for (int w = 0; w < word && w < wordCount(); ++w)
        letters += static_cast<int>(words_[w].text().size());
    return letters;
}

int WordListModel::globalLetter(int word, int letter) const {
    if (word < 0 || word >= wordCount()) return -1;
    return lettersBefore(word) + letter;
}

RecWordList* WordListModel::toRecWordList() const {
    auto* list = new (std::nothrow) RecWordList();
    if (!list) return nullptr;
    list->setMadeFromText(madeFromText_);
    // The blank the menu added for its last box is no part of the result.
    size_t count = words_.size();
    if (trailingSpace_ && count > 0 && words_.back().text() == L" ") --count;
    for (size_t i = 0; i < count; ++i) {
        const MenuWord& word = words_[i];
        auto* made =
            new (std::nothrow) RecWord(static_cast<int>(word.integers.size()),
                                       word.integers.empty() ? nullptr : word.integers.data());
        if (!made) {
            delete list;
            return nullptr;
        }
        for (size_t a = 0; a < word.alts.size(); ++a) {
            auto* alt = new (std::nothrow) RecAlt(word.alts[a].c_str(), word.scores[a]);
            if (!alt || !made->addAlt(alt)) {
                delete made;
                delete list;
                return nullptr;
            }
        }
        if (!list->appendWord(made)) {
            delete list;
            return nullptr;
        }
    }
    return list;
}

std::pair<int, int> chooseVisiblePage(const std::vector<int>& widths, int maxWidth, int first,
                                      int last, int lastChanged) {
    const int n = static_cast<int>(widths.size());
    long long total = 0;
    for (int w : widths) total += w;
    if (total <= maxWidth || n < 2) return {0, -1};
    if (first < 0 || first >= n) first = 0;

    if (first == 0 && last >= 1) {
        int l = last > n - 1 ? n - 1 : last;
        if (lastChanged >= 0 && lastChanged < l) l = lastChanged;
        long long run = 0;
        int k = l;
        for (; k >= 0; --k) {
            run += widths[k];
            if (run > maxWidth) break;
        }
        if (k >= 0 || l == n - 1) {
            const int f = k < 0 ? 0 : (k == l ? l : k + 1);
            return {f, l == n - 1 ? -1 : l};
        }
        first = 0;  // everything up to l fits: fill the page forwards
    }

    long long run = 0;
    for (int j = first; j < n; ++j) {
        run += widths[j];
        if (run > maxWidth) return {first, j == first ? first : j - 1};
    }
    if (first == 0) return {0, -1};
    run = 0;
    for (int k = n - 1; k >= 0; --k) {
        run += widths[k];
        if (run > maxWidth) return {k == n - 1 ? k : k + 1, -1};
    }
    return {0, -1};
}
