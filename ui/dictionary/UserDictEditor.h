// The dialog "Edit User Dictionary": the words of one user dictionary as
// plain text, one word per line, with imports from a text file, the clipboard
// and the mail address book through the import filter, and the dialog
// "Import Words To User Dictionary" that shows the new words before they join.
#pragma once

#include <windows.h>

#include <string>

#include "ui/dictionary/WordImport.h"

class RecProfile;

// What the editor edits.
class DictEditTarget {
  public:
    virtual ~DictEditTarget() = default;
    // Shown in the title.
    virtual std::wstring name() const = 0;
    virtual WordSet words() = 0;
    // The recognizer's main dictionary knows the word as written.
    virtual bool knowsWord(const std::wstring& word) = 0;
    // Lower-cases words for the main-dictionary check.
    virtual LCID locale() const = 0;
    // The dictionary becomes the words of `words` the recognizer does not
    // know: words the user deleted from the list are gone from it too. All
    // or nothing: when one word cannot be added (it goes to `refused`), the
    // dictionary keeps the words it had and the answer is false.
    virtual bool replaceWords(const WordSet& words, std::wstring* refused = nullptr) = 0;
};

// A user dictionary (by its key) loaded into a recognition profile.
class ProfileUserDict : public DictEditTarget {
  public:
    ProfileUserDict(RecProfile& profile, std::wstring key, std::wstring name);
    std::wstring name() const override { return name_; }
    WordSet words() override;
    bool knowsWord(const std::wstring& word) override;
    LCID locale() const override;
    bool replaceWords(const WordSet& words, std::wstring* refused = nullptr) override;

  private:
    RecProfile& profile_;
    std::wstring key_;
    std::wstring name_;
};

// Runs "DICT_EDIT" over `owner`: 1 when the dictionary was replaced, 2 when cancelled.
INT_PTR runUserDictEditor(HWND owner, DictEditTarget& target);

// The context help of a control of "DICT_EDIT" (`importDialog` false) or
// "DICT_IMPORT"; empty for any other control.
const wchar_t* dictionaryHelpText(bool importDialog, int controlId);
