// The main bar: the program's floating toolbar with up to six buttons that
// switch the pen on and off, enter markup mode, open the punctuation bar,
// correct the last result, enter binding mode and open the main menu. It
// holds no logic of its own beyond its layout and its buttons' states: every
// command goes to the service window or the ink manager. One instance, made
// on first show and kept in an application-wide slot.
#pragma once

#include <windows.h>

#include "ui/bars/BarGestures.h"
#include "ui/bars/FloatingBar.h"

// Button ids: each is its bit in the "buttons" mask.
enum MainBarButton : UINT {
    MAIN_BAR_PEN = 1,
    MAIN_BAR_MARKUP = 2,
    MAIN_BAR_MENU = 4,
    MAIN_BAR_BINDING = 8,
    MAIN_BAR_PUNCTUATION = 16,
    MAIN_BAR_CORRECTION = 32,
};

// The settings of key "ToolBar".
struct MainBarSettings {
    POINT position = {0, 0};  // default: desktop right - 260, desktop top + 64
    int buttons = 55;         // all but binding
    int sizeMode = SIZE_FOLLOW_INPUT;
    int layoutMode = LAYOUT_AUTOMATIC;
    int autoHide = 0;
    int lastLarge = 0;
    int lastVertical = 0;
};

// The defaults (the position from the desktop now).
MainBarSettings defaultMainBarSettings();
// Reads "ToolBar" over the defaults. (The binding button is left out of the
// layout while both "useContextReco" and "useAppFilters" are off; the mask
// itself keeps it, so that it comes back when either is switched on.)
MainBarSettings readMainBarSettings();
// Writes "ToolBar"; a parked position (20000 or more) is not written.
void writeMainBarSettings(const MainBarSettings& settings);

class CMainBar : public CBaseBar<CMainBar> {
  public:
    CMainBar();
    ~CMainBar() override;

    void onButton(BarButton* button) override;
    void refreshButtons() override;
    void layoutButtons(int size) override;
    void keepOnTop() override;
    bool onTimer(UINT_PTR id) override;
    void onContextMenu(POINT point) override;
    int onClientNotify(int event, LPARAM argument) override;
    bool onGesture(DWORD id, DWORD flags, POINT point, ULONGLONG arguments) override;
    void onOrientation(bool vertical) override;

    MainBarSettings settings() const;
    void applySettings(const MainBarSettings& settings);
    int buttonsMask() const { return buttonsMask_; }
    bool meantVisible() const { return meantVisible_; }
    void setMeantVisible(bool visible) { meantVisible_ = visible; }

  private:
    void runCommand(UINT id);

    int buttonsMask_ = 55;
    bool meantVisible_ = false;
    BarGestureTrack gestures_;
};

// The application-wide slot.
CMainBar* mainBar();
bool createMainBar();
// Shows the bar (creating it) and records that it is meant to be visible.
void showMainBarNow();
// Hides the bar (creating it) and records that it is meant to be hidden.
void hideMainBar();
void destroyMainBar();
void mainBarRefreshButtons();
void mainBarKeepOnTop();
void mainBarKeepInScreen();
bool mainBarWindowRect(RECT* rect);
