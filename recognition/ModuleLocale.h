// The locale of one recognizer module: a C runtime locale made from the
// language name ("English", "Russian"), used for every conversion between the
// engine's 8-bit text and the program's wide text and for every case mapping
// of that language. Each module keeps its own, so two languages never share
// the process-wide locale, whichever thread converts.
#pragma once

#include <windows.h>

#include <locale.h>

#include <string>

class ModuleLocale {
  public:
    explicit ModuleLocale(const std::wstring& languageName);
    ~ModuleLocale();
    ModuleLocale(const ModuleLocale&) = delete;
    ModuleLocale& operator=(const ModuleLocale&) = delete;

    // False when the runtime does not know the language name as a locale.
    bool valid() const { return locale_ != nullptr; }
    // The language identifier of the collation category; 0 when not valid.
    LANGID languageId() const { return languageId_; }
    // The ANSI code page of the locale; 0 when not valid.
    UINT codePage() const { return codePage_; }

    // The whole 8-bit text (NUL-terminated, at most `length` bytes when
    // given) as wide text; empty when it cannot be converted.
    std::wstring toWide(const char* text, size_t length = std::wstring::npos) const;
    // Byte by byte, 0xA3 and 0xA5 kept as U+00A3 and U+00A5 whatever the code
    // page says; stops at the first byte that has no character.
    std::wstring toWideBytewise(const char* text, size_t length = std::wstring::npos) const;
    // The wide text in the code page. False (out emptied) when any character
    // has no exact 8-bit form there: such text is never passed on with
    // replacement characters.
    bool toNarrow(const std::wstring& text, std::string& out) const;

    // 8-bit case mapping by the locale.
    void toUpper(std::string& text) const;
    void toLower(std::string& text) const;
    // First character upper case, the rest lower case.
    void capitalizeFirst(std::string& text) const;

  private:
    LCID caseLocale() const;

    _locale_t locale_ = nullptr;
    LANGID languageId_ = 0;
    UINT codePage_ = 0;
};
