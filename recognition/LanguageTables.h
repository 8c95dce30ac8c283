// Language names and the platform's primary language ids, both ways.
//
// Engine folders, recognizer modules and profile files are keyed by a
// capitalised English language name ("English"); keyboard layouts carry a
// numeric language id in their low byte. These tables translate between them.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class LanguageTables {
public:
    LanguageTables();

    // The one table of the process, built on first use and destroyed at exit.
    static const LanguageTables& instance();

    // Name of the primary language id in the low 8 bits of `id` (a keyboard
    // layout handle may be passed as it is). An unknown id gives "English"
    // and true with `fallbackToEnglish`, else false with `name` unchanged.
    bool getLanguageName(UINT_PTR id, std::wstring& name, bool fallbackToEnglish) const;

    // Primary language id of a capitalised name ("English"), 0 when unknown.
    int getLanguageId(const std::wstring& name) const;

    // The first installed keyboard layout (of at most the first 10) whose low
    // byte is the language's id, or null.
    HKL getKeyboardLayoutOfLanguage(const std::wstring& name) const;

    // The full language identifier the C runtime reports for a locale made
    // from the name (collation category), 0 when the runtime does not know it:
    // the one a module of that language reports (ModuleLocale::languageId).
    static LANGID getLocaleLanguageId(const std::wstring& name);

    // The installed keyboard layouts, at most `maxCount`: the layout source
    // unless a test sets another.
    static std::vector<HKL> installedLayouts(int maxCount);
    // Seam for tests: where the installed keyboard layouts come from.
    using LayoutSource = std::function<std::vector<HKL>(int maxCount)>;
    void setLayoutSource(LayoutSource source) { layouts_ = std::move(source); }
    // The same for the process's table (instance() and the free functions
    // below); null puts the system's layouts back. Tests only, while nothing
    // else asks the table.
    static void setProcessLayoutSource(LayoutSource source);

    // "LOWER_SORBIAN" -> "Lower_sorbian": first character upper case, the rest lower.
    static std::wstring capitalise(const wchar_t* name);

    // Every row of the table in order, capitalised (for tests and menus).
    static std::vector<std::pair<std::wstring, int>> rows();

private:
    std::map<std::wstring, int> nameToId_;
    std::map<int, std::wstring> idToName_;
    LayoutSource layouts_;
};

// Free-function forms used across the program.
bool getLanguageName(UINT_PTR id, std::wstring& name, bool fallbackToEnglish);
int getLanguageId(const std::wstring& name);
HKL getKeyboardLayoutOfLanguage(const std::wstring& name);
LANGID getLocaleLanguageId(const std::wstring& name);
