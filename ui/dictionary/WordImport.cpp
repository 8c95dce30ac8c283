#include "WordImport.h"

#include <mapix.h>
#include <mapiutil.h>
#include <mapitags.h>

#include <cstdio>
#include <cwctype>

#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"

namespace {

wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c; }

bool inSet(const std::wstring& set, wchar_t c) { return c && set.find(c) != std::wstring::npos; }

bool isLetter(wchar_t c) { return iswalpha(c) != 0; }
bool isLetterOrDigit(wchar_t c) { return iswalnum(c) != 0; }

std::wstring lowerCase(LCID locale, const std::wstring& word) {
    std::wstring out = word;
    if (out.empty()) return out;
    const int length =
        LCMapStringW(locale, LCMAP_LOWERCASE, word.c_str(), static_cast<int>(word.size()), &out[0],
                     static_cast<int>(out.size()));
    if (length != static_cast<int>(word.size()))
        CharLowerBuffW(&out[0], static_cast<DWORD>(out.size()));
    return out;
}

// A word in capitals only (digits and symbols may follow its first letter):
// the recognizer may know it in lower case.
bool isAllCapitals(const std::wstring& word) {
    if (word.empty() || !isLetter(word[0]) || iswlower(word[0])) return false;
    for (size_t i = 1; i < word.size(); ++i)
        if (isLetter(word[i]) && iswlower(word[i])) return false;
    return true;
}

bool knownToRecognizer(LCID locale, const MainWordCheck& knowsWord, const std::wstring& word) {
    if (!knowsWord) return false;
    if (knowsWord(word)) return true;
    return isAllCapitals(word) && knowsWord(lowerCase(locale, word));
}

}  // namespace

bool NoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t x = asciiLower(a[i]), y = asciiLower(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

ImportFilter& importFilter() {
    static ImportFilter filter;
    return filter;
}

void resetImportFilter(ImportFilter& filter) {
    filter.startSet.clear();
    filter.insideSet = L"-.@'";
    filter.endSet.clear();
}

int extractNewWords(LCID locale, const MainWordCheck& knowsWord, const std::wstring& text,
                    const std::wstring& startSet, const std::wstring& insideSet,
                    const std::wstring& endSet, int minimumSize, WordSet& out, const WordSet& known,
                    bool checkMain) {
    if (minimumSize < 2) return 0;
    int added = 0;
    const size_t length = text.size();
    size_t i = 0;
    while (i < length) {
        // A word begins at a letter, or at symbols allowed at a word's start
        // that lead to a letter.
        size_t start = i;
        while (start < length && !isLetter(text[start])) {
            if (inSet(startSet, text[start])) {
                size_t next = start;
                while (next < length && !isLetter(text[next]) && inSet(startSet, text[next]))
                    ++next;
                if (next < length && isLetter(text[next])) break;
                start = next;
            } else {
                ++start;
            }
        }
        if (start >= length) break;
        size_t first = start;
        while (!isLetter(text[first])) ++first;
        size_t end = first + 1;
        while (end < length && text[end] > 32 &&
               (isLetterOrDigit(text[end]) || inSet(insideSet, text[end])))
            ++end;
        size_t kept = end;
        while (kept > first + 1 && !isLetterOrDigit(text[kept - 1]) &&
               !inSet(endSet, text[kept - 1]))
            --kept;
        const bool dropped = kept != end;
        i = end;
        std::wstring word = text.substr(start, kept - start);
        // Symbols allowed at the end follow a word that lost nothing.
        if (!dropped) {
            while (i < length && text[i] > 32 && inSet(endSet, text[i])) word += text[i++];
        }
        if (kept == first + 1 && word.size() == kept - start) {
            // Only the first letter is left: no word; the scan goes on after it.
            i = first + 1;
            continue;
        }
        if (static_cast<int>(word.size()) < minimumSize) continue;
        if (known.count(word)) continue;
        if (checkMain && knownToRecognizer(locale, knowsWord, word)) continue;
        if (out.insert(word).second) ++added;
    }
    return added;
}

int extractNewWords(RecProfile* profile, const std::wstring& text, const std::wstring& startSet,
                    const std::wstring& insideSet, const std::wstring& endSet, int minimumSize,
                    WordSet& out, const WordSet& known, bool checkMain) {
    LCID locale = LOCALE_USER_DEFAULT;
    if (profile && profile->module() && profile->module()->localeLanguageId())
        locale = MAKELCID(profile->module()->localeLanguageId(), SORT_DEFAULT);
    MainWordCheck check;
    if (profile)
        check = [profile](const std::wstring& word) { return profile->checkWord(word.c_str()); };
    return extractNewWords(locale, check, text, startSet, insideSet, endSet, minimumSize, out,
                           known, checkMain && profile);
}

WordSet splitWordList(const std::wstring& text, size_t minimumRun) {
    WordSet words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] <= 32) ++i;
        const size_t start = i;
        while (i < text.size() && text[i] > 32) ++i;
        if (i - start >= minimumRun && i > start) words.insert(text.substr(start, i - start));
    }
    return words;
}

std::wstring joinWordList(const WordSet& words) {
    std::wstring text;
    for (const std::wstring& word : words) {
        if (!text.empty()) text += L"\r\n";
        text += word;
    }
    return text;
}

bool readTextFileLines(const std::wstring& path,
                       const std::function<void(const std::wstring&)>& line) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return false;
    char buffer[1000];
    while (fgets(buffer, sizeof buffer, file)) {
        const int wide = MultiByteToWideChar(CP_THREAD_ACP, 0, buffer, -1, nullptr, 0);
        if (wide <= 1) continue;
        std::wstring text(wide - 1, L'\0');
        MultiByteToWideChar(CP_THREAD_ACP, 0, buffer, -1, &text[0], wide);
        line(text);
    }
    fclose(file);
    return true;
}

std::wstring clipboardText(HWND owner) {
    std::wstring text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            const size_t limit = GlobalSize(data) / sizeof(wchar_t);
            size_t n = 0;
            while (n < limit && chars[n]) ++n;
            text.assign(chars, n);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// ---- the mail address book ----

namespace {

struct MapiFunctions {
    HMODULE library = nullptr;
    HRESULT(STDAPICALLTYPE* initialize)(LPVOID) = nullptr;
    void(STDAPICALLTYPE* uninitialize)() = nullptr;
    HRESULT(STDAPICALLTYPE* logonEx)(ULONG_PTR, LPWSTR, LPWSTR, ULONG, LPMAPISESSION*) = nullptr;
    ULONG(STDAPICALLTYPE* freeBuffer)(LPVOID) = nullptr;
    void(STDAPICALLTYPE* freeRows)(LPSRowSet) = nullptr;

    bool load() {
        library = LoadLibraryW(L"mapi32.dll");
        if (!library) return false;
        initialize =
            reinterpret_cast<decltype(initialize)>(GetProcAddress(library, "MAPIInitialize"));
        uninitialize =
            reinterpret_cast<decltype(uninitialize)>(GetProcAddress(library, "MAPIUninitialize"));
        logonEx = reinterpret_cast<decltype(logonEx)>(GetProcAddress(library, "MAPILogonEx"));
        freeBuffer =
            reinterpret_cast<decltype(freeBuffer)>(GetProcAddress(library, "MAPIFreeBuffer"));
        freeRows = reinterpret_cast<decltype(freeRows)>(GetProcAddress(library, "FreeProws"));
        return initialize && uninitialize && logonEx && freeBuffer && freeRows;
    }
    ~MapiFunctions() {
        if (library) FreeLibrary(library);
    }
};

struct AddressBookWalk {
    MapiFunctions& mapi;
    LPADRBOOK book;
    bool (*word)(const wchar_t*, void*);
    void* data;
    int depth = 0;

    template <typename Each>
    void forEachRow(LPMAPITABLE table, ULONG column, Each each) {
        SizedSPropTagArray(1, columns) = {1, {column}};
        if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0))) return;
        for (;;) {
            LPSRowSet rows = nullptr;
            if (FAILED(table->QueryRows(50, 0, &rows)) || !rows) return;
            const ULONG count = rows->cRows;
            for (ULONG r = 0; r < count; ++r)
                if (rows->aRow[r].cValues > 0 && rows->aRow[r].lpProps[0].ulPropTag == column)
                    each(rows->aRow[r].lpProps[0]);
            mapi.freeRows(rows);
            if (count == 0) return;
        }
    }

    void walkContainer(LPABCONT container) {
        if (++depth > 32) {
            --depth;
            return;
        }
        LPMAPITABLE contents = nullptr;
        if (SUCCEEDED(container->GetContentsTable(MAPI_UNICODE, &contents)) && contents) {
            forEachRow(contents, PR_DISPLAY_NAME_W, [&](const SPropValue& value) {
                if (value.Value.lpszW) word(value.Value.lpszW, data);
            });
            contents->Release();
        }
        LPMAPITABLE hierarchy = nullptr;
        if (SUCCEEDED(container->GetHierarchyTable(0, &hierarchy)) && hierarchy) {
            forEachRow(hierarchy, PR_ENTRYID, [&](const SPropValue& value) {
                ULONG type = 0;
                LPUNKNOWN object = nullptr;
                if (SUCCEEDED(book->OpenEntry(value.Value.bin.cb,
                                              reinterpret_cast<LPENTRYID>(value.Value.bin.lpb),
                                              nullptr, 0, &type, &object)) &&
                    object) {
                    if (type == MAPI_ABCONT) walkContainer(reinterpret_cast<LPABCONT>(object));
                    object->Release();
                }
            });
            hierarchy->Release();
        }
        --depth;
    }
};

}  // namespace

bool importFromAddressBook(bool (*word)(const wchar_t* name, void* data), void* data) {
    MapiFunctions mapi;
    if (!word || !mapi.load()) return false;
    if (FAILED(mapi.initialize(nullptr))) return false;
    bool walked = false;
    LPMAPISESSION session = nullptr;
    const HRESULT logon =
        mapi.logonEx(0, nullptr, nullptr, MAPI_EXTENDED | MAPI_USE_DEFAULT, &session);
    if (SUCCEEDED(logon) && session) {
        LPADRBOOK book = nullptr;
        if (SUCCEEDED(session->OpenAddressBook(0, nullptr, AB_NO_DIALOG, &book)) && book) {
            ULONG type = 0;
            LPUNKNOWN root = nullptr;
            if (SUCCEEDED(book->OpenEntry(0, nullptr, nullptr, 0, &type, &root)) && root) {
                if (type == MAPI_ABCONT) {
                    AddressBookWalk walk{mapi, book, word, data};
                    walk.walkContainer(reinterpret_cast<LPABCONT>(root));
                    walked = true;
                }
                root->Release();
            }
            book->Release();
        }
        session->Logoff(0, 0, 0);
        session->Release();
    }
    mapi.uninitialize();
    return walked;
}
