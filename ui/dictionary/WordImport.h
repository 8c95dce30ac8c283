// The import of words into a user dictionary: the case-blind word set the
// editor and the import work on, the import filter, and the extraction of new
// words from a text (a file, the clipboard, the names of the mail address book).
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

class RecProfile;

// Orders words as their lower-cased forms (A to Z count as a to z).
struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// A word is held once whatever its case, in the form inserted first.
using WordSet = std::set<std::wstring, NoCaseLess>;

// The filter imported words pass; kept for the run of the program.
struct ImportFilter {
    int minimumSize = 3;
    std::wstring startSet;
    std::wstring insideSet = L"-.@'";
    std::wstring endSet;
};
ImportFilter& importFilter();
// "Set Default": the inside set back to "-.@'" (the start and end sets empty).
void resetImportFilter(ImportFilter& filter);

// Whether the recognizer's main dictionary knows a word (as written).
using MainWordCheck = std::function<bool(const std::wstring& word)>;

// Adds to `out` the words of `text` that pass the filter and are neither in
// `known` nor, with `checkMain`, known to the recognizer; the number of words
// new in `out`. `locale` lower-cases words for the main-dictionary check.
int extractNewWords(LCID locale, const MainWordCheck& knowsWord, const std::wstring& text,
                    const std::wstring& startSet, const std::wstring& insideSet,
                    const std::wstring& endSet, int minimumSize, WordSet& out, const WordSet& known,
                    bool checkMain);
// The same with the profile's recognizer (and its module's locale).
int extractNewWords(RecProfile* profile, const std::wstring& text, const std::wstring& startSet,
                    const std::wstring& insideSet, const std::wstring& endSet, int minimumSize,
                    WordSet& out, const WordSet& known, bool checkMain);

// The words of an edited list: the text split at every character of code 32
// or below, runs of at least `minimumRun` characters.
WordSet splitWordList(const std::wstring& text, size_t minimumRun);

// The words one per line, CR LF between them.
std::wstring joinWordList(const WordSet& words);

// Reads a text file line by line (at most 999 characters a line, in the
// thread's code page) and hands each line to `line`. False when it cannot be opened.
bool readTextFileLines(const std::wstring& path,
                       const std::function<void(const std::wstring&)>& line);

// The clipboard's Unicode text (empty without one).
std::wstring clipboardText(HWND owner);

// Walks the mail address book through the platform's mail interface and hands
// every display name to `word`. False when the walk could not start (no mail
// system, the logon failed or the user cancelled it).
bool importFromAddressBook(bool (*word)(const wchar_t* name, void* data), void* data);
