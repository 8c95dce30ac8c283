// The program's plain pop-up menus: a list of text items painted with a
// black frame beside an anchor, run modally or shown; the letter-guess menu
// of the word-list menu; the word-to-dictionary menu.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/menus/TextMenu.h"

class RecProfile;

struct PureMenuItem {
    std::wstring text;
    std::wstring tip;
    UINT id = 0;
    unsigned flags = 0x10E;
    bool bold = false;
    bool checked = false;
    COLORREF background = 0xCCFFFF;
    COLORREF textColour = 0;
    COLORREF highlightBackground = 0xCCD4D4;
    COLORREF highlightText = 0x0000FF;
};

class PureTextMenu : public BarTextMenuMaster {
    VEXA_CLASS(PureTextMenu, BarTextMenuMaster)

  public:
    // fontSize 0: 24 after touch input, else 16. anchor null: none.
    PureTextMenu(BarTextMenuMaster* parent, SyncSection* group, int plain, int creator,
                 const POINT* position, int fontSize, const RECT* anchor, int* alive);
    ~PureTextMenu() override;

    void addItemText(const wchar_t* text, UINT id, const wchar_t* tip, bool highlight);
    // `state`: bit 0 disabled, bit 3 checked, bit 7 the default item.
    void addItem(UINT id, const wchar_t* text, unsigned state);
    void addColoredItem(const wchar_t* text, const wchar_t* tip, bool highlight);
    void addSeparator(bool highlight);

    // Runs the menu; the picked id, 0 when it closed without a pick. The menu
    // is gone afterwards.
    UINT showModal();

    int onNotify(int code, LPARAM argument) override;
    void paint(HDC dc) override;
    void buildUnits() override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    const std::vector<PureMenuItem>& items() const { return items_; }
    bool marks() const { return marks_; }
    HFONT boldFont() const { return boldFont_; }

  protected:
    void makeFonts(int size);

    std::vector<PureMenuItem> items_;
    UINT* result_ = nullptr;
    bool marks_ = false;
    RECT anchor_ = {0, 0, 0, 0};
    HFONT boldFont_ = nullptr;
    int fontSize_ = 0;
    int* alive_ = nullptr;
};

class GuessSymbMenu : public PureTextMenu {
    VEXA_CLASS(GuessSymbMenu, PureTextMenu)

  public:
    GuessSymbMenu(int word, int letter, BarTextMenuMaster* parent, SyncSection* group, int plain,
                  int creator, const POINT* position, const RECT* box);
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    int word() const { return word_; }
    int letter() const { return letter_; }
    bool picked() const { return picked_; }

  private:
    int word_, letter_;
    RECT box_ = {0, 0, 0, 0};
    bool picked_ = false;
};

class WordToDictMenu : public BarTextMenuMaster {
    VEXA_CLASS(WordToDictMenu, BarTextMenuMaster)

  public:
    static constexpr int kMaxWord = 127;

    WordToDictMenu(BarTextMenuMaster* parent, const wchar_t* word, const POINT* position,
                   RecProfile* profile);
    void paint(HDC dc) override;
    void buildUnits() override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    const wchar_t* word() const { return word_; }

  private:
    wchar_t word_[kMaxWord + 1] = {};
    RecProfile* profile_;
};

// Opens the word-to-dictionary menu for `word` beside the word-list menu.
WordToDictMenu* showWordToDictMenu(BarTextMenuMaster* wordListMenu, const wchar_t* word,
                                   POINT position, RecProfile* profile);
