// Binding mode: the small bar "CBindPanel" from which the user decides, for
// the application in front and for single fields in it, whether the pen
// writes there and which recognition profile it uses. While the panel is
// open the binding thread marks fields and windows with stickers and frames;
// a click on a panel button or a sticker opens a plain menu whose choice
// changes the application filter or the binding tree, saved at once.
#pragma once

#include <windows.h>

#include <string>

#include "ink/LocalInkManager.h"
#include "ui/bars/BarFramework.h"

class CBindingInfo;

// Master messages of the panel besides the bar framework's.
enum BindPanelCode : UINT {
    BIND_PANEL_FOCUS_HINT = 641,     // the focus may have changed
    BIND_PANEL_STICKER_CLICK = 642,  // a = the sticker's tip window
};

// Unit ids of the panel.
enum BindPanelUnit : UINT {
    BIND_UNIT_MOVE = 1002,
    BIND_UNIT_LEAVE = 1003,
    BIND_UNIT_LEAVE_TOO = 1004,
    BIND_UNIT_FIELD = 4001,
    BIND_UNIT_APPLICATION = 4002,
    BIND_UNIT_SETTINGS = 2001,
};

// Menu item ids of the binding menus.
enum BindMenuId : UINT {
    BIND_MENU_ALWAYS = 1,
    BIND_MENU_NEVER = 2,
    BIND_MENU_TEXT_FIELDS = 3,
    BIND_MENU_NO_WRITING = 12345,
    BIND_MENU_CLOSE = 7777,
};

class CBindPanel : public BarSmartBitmapMaster {
    VEXA_CLASS(CBindPanel, BarSmartBitmapMaster)

  public:
    explicit CBindPanel(const POINT* position);
    ~CBindPanel() override;

    int onNotify(int code, LPARAM argument) override;
    void buildUnits() override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    // The menus; true when something changed.
    bool applicationMenu();
    bool fieldMenu(const CBindingInfo* info);

    bool idle() const { return idle_; }
    // Brings the panel from its start far outside the screen onto it.
    void placeOnScreen();

    // One of the panel's menus is running (its loop dispatches every message
    // of the thread, binding mode's end among them).
    bool menuRunning() const { return openMenu_ != nullptr; }
    // Binding mode ends while a menu runs: the menu is closed, and the panel
    // is deleted once the menu has returned to it (closeBindPanel).
    void closeAfterMenu();

  private:
    void restartTimer();
    void stopTimer();
    void markMenuUnits(bool open);
    // Runs one of the menus from a master message; false when binding mode
    // ended meanwhile and the panel is gone (nothing of it may be touched).
    template <typename Menu>
    bool runMenu(Menu menu, bool wakeOnChange);

    bool idle_ = true;
    HWND openMenu_ = nullptr;
    bool closeWanted_ = false;
    HWND lastFocus_ = nullptr;
    UINT_PTR timer_ = 0;
    // The ink manager's mode before the panel switched it to binding.
    InkManagerMode savedInkMode_ = INK_MODE_WRITING;
};

// Opens the panel (once) near the virtual screen's corner, far out of sight
// until the bar places itself; true when a panel was shown.
bool showBindPanel(HWND owner);
// Deletes the panel and clears the stickers; false when none exists.
bool closeBindPanel();
// Tells the panel that the focus may have changed.
void notifyBindPanelFocus();
// The open panel, or null (tests).
CBindPanel* bindPanel();

// The profile choice menu at the cursor: "default (unbind)", the profiles of
// the current language (system profiles left out) and, while the application
// filter is in use, "No writing over this app". `name` receives the chosen
// profile (empty for the default); `filterToggled` tells that the filter
// entry was chosen instead (true is answered with no name then).
// `shownMenu`, when given, holds the menu's window while it runs.
bool chooseProfileMenu(const wchar_t* title, const std::wstring& current, std::wstring& name,
                       bool* filterToggled, HWND* shownMenu = nullptr);

// The screen saver check of the panel's timer; tests put their own.
void setScreenSaverProbe(bool (*probe)());
