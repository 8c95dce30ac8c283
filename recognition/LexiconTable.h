// The lexicons a profile can name, with what each means to the platform's
// recognizer (its field type) and the word segmentation preset for it. The
// profile editor offers them; the platform recognizer module takes a
// profile's field type from here.
#pragma once

#include <string>
#include <vector>

struct LexiconEntry {
    const wchar_t* name;       // the lexicon name, as a profile's lexGenFile holds it
    const wchar_t* fieldType;  // the recognizer field type ("DEFAULT", "WORDLIST", ...)
    int segmentationPreset;    // 1 "Normal", 2 "Lexical", 3 "Off"
    bool offeredForPlatform;   // offered for the platform recognizer
};

class LexiconTable {
  public:
    // Every entry, sorted by name.
    static const std::vector<LexiconEntry>& entries();
    // The entry of that name (any case), or null.
    static const LexiconEntry* find(const std::wstring& name);
    // The field type of that lexicon; empty for a name the table lacks.
    static std::wstring fieldTypeOf(const std::wstring& name);
};
