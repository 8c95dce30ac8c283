// The profile editor "Edit Profile": one recognition profile's name,
// description, lexicon, user dictionary and options, run modally by the
// "Reco" page, which then stores the profile into its profiles document.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class IxlScribixHelper;
class RecProfile;

// One run of the editor.
struct EdpDlgState {
    bool changes = false;
    bool dictionaryEdited = false;
    bool systemProfile = false;                  // the name at opening is a system profile's
    bool defaultProfile = false;                 // the name at opening is "#sys-default"
    RecProfile* profile = nullptr;               // owned by the caller
    const IxlScribixHelper* document = nullptr;  // for the duplicate-name test
    std::wstring nameAtOpening;
    bool lexiconFiles = false;  // the module keeps lexicon files (else the platform recognizer)
};

// Fills the state for `profile` of `document` (the flags from its name and module).
void prepareProfileEditor(EdpDlgState& state, RecProfile* profile,
                          const IxlScribixHelper* document);

// The dialog procedure; the dialog ends with 1 (the profile holds the
// controls) or 2 (cancelled).
INT_PTR CALLBACK ProfileEditorDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the editor over `owner`; 1 accepted, 2 cancelled.
INT_PTR runProfileEditor(HWND owner, EdpDlgState& state);

// The lexicons the editor lists: with lexicon files the ".ban" files of the
// module's "standard" (engine folder) or "custom" (the language's data folder)
// set without the extension; else the platform recognizer's names in table order.
std::vector<std::wstring> profileEditorLexicons(const RecProfile& profile, bool lexiconFiles,
                                                bool standard);
// The preset word segmentation of a lexicon (1 "Normal", 2 "Lexical", 3 "Off").
int lexiconSegmentationPreset(bool lexiconFiles, bool standard, const std::wstring& lexicon);
// The context help of a control (empty when it has none).
std::wstring profileContextHelp(int controlId, bool lexiconFiles);

// Stores the profile into the document: replaces the first "profile" of the
// same name, handles a rename from `nameAtOpening`, else appends. Saves the
// profile's loaded user dictionary first. False when the document cannot
// take it.
bool storeProfileIntoDocument(IxlScribixHelper& document, const std::wstring& nameAtOpening,
                              RecProfile& profile);
