// Correction of the last result or of the target's selection in the word-list
// menu: the request reaches the service window (message 3038), which opens the
// menu for the current result's words or for a word list made from the text
// selected in the last focus window.
#pragma once

#include <windows.h>

#include <memory>

class RecWordList;

// What the correction needs of the recognition records, the recognizer manager
// and the word-list menu. By default each goes to the program's own service;
// the word-list menu answers, until it is built, as if it were not there (no
// menu). Tests put their own in its place.
class CorrectionServices {
  public:
    virtual ~CorrectionServices() = default;

    // The current result's keyboard layout, or 0 (getCurrentRecResultLayout).
    virtual HKL currentResultLayout();
    // The current result's target window and word list, when there is a
    // current result that holds a word list. The reference keeps the list
    // alive while the recognition thread replaces the result meanwhile.
    virtual bool currentResultForCorrection(HWND& target,
                                            std::shared_ptr<const RecWordList>& wordList);
    // Makes the named language the recognizer manager's current language
    // (RecMgr::setCurrentLanguage).
    virtual void setCurrentLanguage(const wchar_t* language);
    // A word list made from `text` with the default profile of the current
    // language (makeWordListFromText with RecMgr::getDefaultProfile); null when
    // there is none. The caller gives it back to deleteWordList.
    virtual RecWordList* makeWordListFromText(const wchar_t* text);
    virtual void deleteWordList(RecWordList* wordList);
    // Opens the word-list menu for `wordList` at `point` (showWordListMenuBar);
    // `trailingText` is appended when the menu replaces the selection.
    virtual LRESULT showWordListMenuBar(HKL layout, const RecWordList* wordList, POINT point,
                                        const wchar_t* trailingText);
    // Whether showWordListMenuBar shows a menu at all.
    virtual bool hasWordListMenu() const;
};

// The services in use: the program's own unless a test has set others.
CorrectionServices& correctionServices();
// Puts `services` in place (null: the program's own again); returns the ones it replaces.
CorrectionServices* setCorrectionServices(CorrectionServices* services);

// Selections this long or longer are not offered for correction.
constexpr LONG kMaxCorrectedSelection = 1025;

// The word-list menu for `wordList`, or without one for the text selected in
// the last focus window. Not `direct`: the request goes to the service window
// (sent, or posted with `post`), which calls back directly. The caller keeps
// `wordList` alive until the request is answered (a posted one: until the
// menu is done with it).
LRESULT showWordListForSelection(HWND owner, const RecWordList* wordList, POINT point, bool direct,
                                 bool post);

// Menu command "Correct last/selected": the current result at its target, else
// the selection of the focused window, at the word menu's position.
void correctLastResultOrSelection();
