// The text menus: pop-up bars whose units are lines of text. A menu and the
// submenus opened from it form a group (activating one member does not close
// the others); the menu has its own font and drawing context, a vertical or
// horizontal layout, letter boxes under the letters of an item, closing rules
// on the ink manager's notifications and a fading while the cursor is away.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/bars/BarFramework.h"
#include "ui/menus/MenuGroup.h"

// Codes of the text menus (onMessage), beside the bar framework's.
enum TextMenuCode : UINT {
    MENU_QUERY_FONT = 621,
    MENU_QUERY_DC = 622,
    MENU_QUERY_PLAIN = 624,
    MENU_LETTER_SPACE = 701,
    MENU_LETTER_DELETE = 702,
    MENU_LETTER_CASE = 703,
    MENU_LETTER_SIGN = 704,
    MENU_WORDS_CHANGED = 705,
    MENU_LETTER_TAP_SPACE = 706,
    MENU_LETTER_GUESS = 707,
    MENU_GUESS_PICKED = 708,
    MENU_LAYERED = 807,
    MENU_PEN_CHANGED = 808,  // the pen settings changed (posted from another thread)
};

// Unit flags of the text menus.
enum TextUnitFlag : unsigned {
    TEXT_UNIT_SUBMENU = 0x100,
    TEXT_UNIT_DRAGS = 0x200,
    TEXT_UNIT_LETTER_BOXES = 0x400,
};

constexpr UINT kSeparatorId = static_cast<UINT>(-2);
constexpr UINT kApplyItemId = static_cast<UINT>(-3);

// Menu timers.
constexpr UINT_PTR kFadeTimer = 2;
constexpr UINT_PTR kNextStrokeTimer = 3;

class BarTextMenuUnit;

class BarTextMenuMaster : public BarMaster {
    VEXA_CLASS(BarTextMenuMaster, BarMaster)

  public:
    struct Options {
        const wchar_t* title = L"";
        int autoExpand = 0;
        int horizontal = 0;
        int acceptMode = 0;
        int fadingPeriod = 0;
        int startOpacity = 0;
        int endOpacity = 0;
        int fadingStep = 0;
    };

    BarTextMenuMaster(BarTextMenuMaster* parent, SyncSection* group, int plain, int creator,
                      const POINT* position, const Options& options);
    ~BarTextMenuMaster() override;

    int onNotify(int code, LPARAM argument) override;
    int claimsPoint(HWND window, int x, int y) override;
    void rebuild() override;
    void show() override;
    void paint(HDC dc) override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    virtual int layoutItems();
    virtual void createFonts();

    bool plain() const { return plain_ != 0; }
    int creator() const { return creator_; }
    HFONT font() const { return font_; }
    HDC drawingContext() const { return dc_; }
    SyncSection* group() const { return group_; }
    BarTextMenuMaster* parentMenu() const { return parent_; }
    BarTextMenuMaster* childMenu() const { return child_; }
    void setChildMenu(BarTextMenuMaster* child) { child_ = child; }
    bool horizontal() const { return horizontal_ != 0; }
    bool fading() const { return fadingPeriod_ > 0; }
    int currentOpacity() const { return currentOpacity_; }
    int keyboardLanguage() const { return keyboardLanguage_; }

    // Sets WS_EX_LAYERED only while fading and on the desktop; removes it.
    void applyLayered();
    void removeLayered();
    bool isLayered() const;

    // One fading tick (timer 2); public for the tests' clock.
    void fadeTick();

    // The width and height of `text` in the drawing context's current font.
    SIZE textSize(const wchar_t* text, int length = -1) const;
    // Invalidates and updates the window, with the layered style taken off
    // around the redraw.
    void redraw();

  protected:
    int verticalLayout();
    int horizontalLayout();
    // Moves the window to (x, y, w, h) after shifting it onto the desktop.
    void placeWindow(int x, int y, int width, int height);
    BarTextMenuUnit* textUnit(int i) const;
    void restartFadeTimer();
    // Closes the menu, or from another thread has its window closed.
    void closeOnOwnThread();
    // The other member of the menu's group whose bar window `window` is, or null.
    BarMaster* groupMember(HWND window) const;
    // Of the screen point: null over this menu's own window, the member of
    // its group whose bar window is there, else this menu (a window that is
    // not the menu's).
    BarMaster* groupMemberAt(POINT screen) const;
    // Whether the last pen-down (claimsPoint) was on another menu of the group;
    // with `tap` that menu gets its press and release at the screen point.
    // The pen-down is forgotten either way.
    bool penDownOnMember(POINT screen, bool tap);
    // A pinned menu fades no more.
    void stopFadingWhilePinned();
    // After a gesture drawn on the menu (`packed` its end point): the pointer
    // stays there when that is on the menu, else goes to the menu's middle.
    void keepPointerOnMenu(LPARAM packed) const;

    int creator_ = 0;
    int plain_ = 0;
    HFONT font_ = nullptr;
    HDC dc_ = nullptr;
    BarTextMenuMaster* parent_ = nullptr;
    BarTextMenuMaster* child_ = nullptr;
    SyncSection* group_ = nullptr;
    int horizontal_ = 0;
    int autoExpand_ = 0;
    int acceptMode_ = 0;
    int startOpacity_ = 0, endOpacity_ = 0, currentOpacity_ = 0, fadingPeriod_ = 0, fadingStep_ = 0;
    int keyboardLanguage_ = 0;
    HWND penDownMember_ = nullptr;  // the group member's window under the last pen-down
    // Once registered, the ink manager owns the menu: at shut-down it deletes
    // every client it holds, so no one else may.
    bool registered_ = false;
};

class BarTextMenuUnit : public BarRectUnit {
    VEXA_CLASS(BarTextMenuUnit, BarRectUnit)

  public:
    BarTextMenuUnit(BarTextMenuMaster* master, UINT id, unsigned flags, const wchar_t* tip,
                    const wchar_t* text, HFONT font, COLORREF background, COLORREF textColour,
                    COLORREF highlightBackground, COLORREF highlightText);

    void paint(HDC dc) override;
    virtual HDC getDrawingContext() const;
    virtual HFONT getFont() const { return font_; }

    const std::wstring& text() const { return text_; }
    int length() const { return static_cast<int>(text_.size()); }
    POINT textOffset() const { return offset_; }
    void setTextOffset(int x, int y) { offset_ = POINT{x, y}; }
    const std::vector<int>& letterWidths() const { return letterWidths_; }
    int selectedLetter() const { return selected_; }

    // The letter under window x, −1 when none.
    int letterAt(int x) const;
    // The window x where letter `index` begins (−1 outside 0..length); the
    // letter's width in `width` (0 at the end).
    int letterPosition(int index, int* width) const;
    void selectLetter(int index, bool repaint);

    // The text size in the unit's font (a separator measures 1 by 1).
    SIZE measure() const;
    bool isSeparator() const { return id_ == kSeparatorId; }

  protected:
    POINT offset_ = {0, 0};
    std::wstring text_;
    COLORREF background_, textColour_, highlightBackground_, highlightText_;
    int selected_ = -1;
    HFONT font_;
    std::vector<int> letterWidths_;
};

// Registers the bar window class when start-up has not (tests, or before it).
bool ensureMenuWindowClass();

// A text of the menus from the program's string table.
std::wstring menuText(UINT id);
