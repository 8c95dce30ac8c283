// The word-list menu: the words of a recognition result in a floating bar,
// each with its alternatives below it and letter boxes under its letters. A
// tap on an alternative puts it in the word's place; gestures, writing over a
// box and the letter-guess menu correct single letters; every change is typed
// into the target in place of the previous insertion (or replaces the
// target's selection). At most one word-list menu is open.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ink/RecResult.h"
#include "ui/menus/LetterBoxes.h"
#include "ui/menus/TextMenu.h"
#include "ui/menus/WordListModel.h"

class RecWordList;

// Header button ids.
enum WordMenuButton : UINT {
    WORD_MENU_PIN = 1001,
    WORD_MENU_MOVE = 1002,
    WORD_MENU_CLOSE = 1003,
    WORD_MENU_SUBMIT = 3001,
    WORD_MENU_SCROLL_LEFT = 3002,
    WORD_MENU_SCROLL_RIGHT = 3003,
    WORD_MENU_PROFILE_LINE = 7777,
};

// Codes of the word-list menu beside the text menus'.
enum WordMenuCode : UINT {
    WORD_MENU_APPLY_AND_CLOSE = 612,
    WORD_MENU_PAGE_BEFORE = 613,
    WORD_MENU_PAGE_AFTER = 614,
    // A stroke written on the menu, handed from the pen-event thread
    // (a = point count, b = the points, an allocMemory block).
    WORD_MENU_STROKE = 693,
};

constexpr UINT kGuessPunctuationId = 1111;
// The punctuation bar's mode that offers its signs only.
constexpr int kSignsOnly = 2;

// The letter-box row of the visible words.
struct CBoxedInput {
    int left = 0, top = 0, height = 0;  // window coordinates
    std::vector<int> words;             // the visible word indexes
    std::vector<int> widths;            // one per box
    std::vector<LetterRecord> records;  // one per box
};

class WordListBaseUnit : public BarTextMenuUnit {
    VEXA_CLASS(WordListBaseUnit, BarTextMenuUnit)

  public:
    using BarTextMenuUnit::BarTextMenuUnit;
};

class WordListMenuBarUnit : public WordListBaseUnit {
    VEXA_CLASS(WordListMenuBarUnit, WordListBaseUnit)

  public:
    using WordListBaseUnit::WordListBaseUnit;
    LRESULT onEvent(UINT code, LPARAM a, LPARAM b) override;
    bool isWordItem() const { return id_ < 0x10000; }
};

class WordListMenuBarProfileUnit : public BarTextMenuUnit {
    VEXA_CLASS(WordListMenuBarProfileUnit, BarTextMenuUnit)

  public:
    using BarTextMenuUnit::BarTextMenuUnit;
};

// A header button drawn as a small sign.
class WordMenuButtonUnit : public BarRectUnit {
    VEXA_CLASS(WordMenuButtonUnit, BarRectUnit)

  public:
    WordMenuButtonUnit(BarMaster* master, UINT id, unsigned flags, const wchar_t* tip);
    void paint(HDC dc) override;
};

class WordListBaseMaster : public BarTextMenuMaster {
    VEXA_CLASS(WordListBaseMaster, BarTextMenuMaster)

  public:
    WordListBaseMaster(BarTextMenuMaster* parent, SyncSection* group, const RecWordList* words,
                       int plain, int creator, const POINT* position);
    ~WordListBaseMaster() override;

    virtual void applyText(const std::wstring& text);
    virtual int setSelection(int first, int last);
    virtual bool hasSelection() const { return first_ != 0 || last_ >= 0; }

    void createFonts() override;
    int onStrokes(InkPoint* points, int count) override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    // The recognizer's answers for the ink written on the menu (the end of
    // writing hands them over; tests give their own): merged into the boxes
    // the strokes fell in, the written letters put in place, the ink cleared.
    void takeAnswers(const RecWordList* answers);

    const WordListModel& model() const { return model_; }
    bool hasList() const { return hasList_; }
    std::wstring listText() const { return model_.text(); }
    const CBoxedInput& boxes() const { return boxes_; }
    bool applied() const { return applied_; }
    int firstVisible() const { return first_; }
    int lastVisible() const { return last_; }
    // The result whose words the menu shows; the edited words go back to it
    // only while it is still the current one.
    void setOwnResult(const RecResultRef& result) {
        ownResult_ = result;
        hasOwnResult_ = result != nullptr;
    }

  protected:
    // The visible word items in order.
    std::vector<WordListMenuBarUnit*> visibleWordItems() const;
    WordListMenuBarUnit* wordItem(int word) const;
    // Recomputes the box row for the visible words; the records are made anew
    // with `remake`, or when the row no longer matches them.
    void computeBoxes(bool remake);
    // The box of `letter` of `word` in the row, −1 when the word is not in it.
    int boxOf(int word, int letter) const;
    // One record more or less where a letter came or went; the others keep
    // their guesses. A box outside the row has the records made anew.
    void insertBoxRecord(int box);
    void removeBoxRecord(int box);
    // The records of a word whose letters changed as a whole (another
    // alternative picked), from `firstBox` on, `oldLength` of them before.
    void remakeWordRecords(int word, int firstBox, int oldLength);
    // Letter edits from the gestures, the boxes and the letter-guess menu.
    void letterEdit(UINT code, int word, int letter);
    void afterChange(int word);
    void openLetterGuess(int word, int letter);
    void guessPicked(int code, int word, int letter);
    // Ink written on the menu, on the menu's thread.
    void takeStroke(InkPoint* points, int count);
    void endOfWriting();
    void clearWriting();

    WordListModel model_;
    bool hasList_ = false;
    HFONT smallFont_ = nullptr;
    int first_ = 0, lettersBefore_ = 0, last_ = 1;
    bool scrollRight_ = false;
    CBoxedInput boxes_;
    std::vector<std::vector<InkPoint>> strokes_;  // written on the menu, screen quarter pixels
    bool sessionOpen_ = false;
    bool applied_ = false;
    std::weak_ptr<RecResult> ownResult_;
    bool hasOwnResult_ = false;
    std::shared_ptr<bool> alive_;
};

class WordListMenuBarMaster : public WordListBaseMaster {
    VEXA_CLASS(WordListMenuBarMaster, WordListBaseMaster)

  public:
    WordListMenuBarMaster(const RecWordList* words, const POINT* position, const wchar_t* trailing,
                          HKL layout);
    ~WordListMenuBarMaster() override;

    void onStateChanged(unsigned oldFlags, unsigned newFlags) override;
    void paint(HDC dc) override;
    void buildUnits() override;
    void endDrag() override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;
    int layoutItems() override;
    void applyText(const std::wstring& text) override;
    int setSelection(int first, int last) override;

    bool alternativesShown() const { return alternativesShown_; }
    int maxRowWidth() const { return maxRowWidth_; }
    void setMaxRowWidth(int width) { maxRowWidth_ = width; }
    // Two-finger zoom: the distance at the gesture's begin, then each step,
    // then its end (which gives the focus back when the fingers took it).
    void zoomBegin(unsigned distance, POINT location = POINT{0, 0});
    void zoomStep(unsigned distance, POINT location = POINT{0, 0});
    void zoomEnd();
    HWND foregroundAtCreation() const { return foregroundWindow_; }
    // Forgets the hover when the pointer is no longer over the menu, else
    // hovers where it is (after a drag moved the menu under or away from it).
    void refreshHover();

  protected:
    // The window is about to go, however the menu closes: its place is kept
    // for the next menu while the window can still tell it.
    void releaseWindowResources() override;

  private:
    void rememberPlace();
    void pinOrUnpin();
    void addWordToDictionary(POINT client);
    // A WM_GESTURE's information: zoom gestures drive the font size.
    bool onGesture(LPARAM info);
    void traceLayout() const;
    int itemIndexOf(int word, const std::vector<WordListMenuBarUnit*>& items) const;

    std::wstring trailing_;
    HKL layout_ = nullptr;
    CRITICAL_SECTION gestureLock_;
    unsigned gestureDistance_ = 0;
    POINT gesturePrevious_ = {0, 0};
    POINT gestureLocation_ = {0, 0};
    int cornerSize_ = 10;
    int headerWidth_ = 0;
    int maxRowWidth_ = 0;
    bool alternativesShown_ = false;
    HWND focusWindow_ = nullptr;
    HWND foregroundWindow_ = nullptr;
};

// Opens the word-list menu (none while one is open). Without a word list it
// shows one blank word, made the current result. Result 0.
LRESULT showWordListMenuBar(HKL layout, const RecWordList* words, const POINT* position,
                            const wchar_t* trailing);
// The open word-list menu, or null.
WordListMenuBarMaster* openWordListMenu();
// The tick of the last time the menu gave the foreground back after a
// two-finger gesture took it (0: never).
DWORD menuForegroundChangeTick();
// Puts the word-list menu in the correction's place (start-up).
void installWordListMenu();
