// What the floors below the shell ask of it: the main popup menu and the
// owner-drawn items of the menus the ink layer tracks, and the stickers.
// The shell hands its own link down at start-up; until then every operation
// does nothing, so a floor that runs without the shell (the tests of one
// floor) shows no menu and no sticker instead of reaching upward.
#pragma once

#include <windows.h>

class CBindingInfo;
class LocalClient;

class ShellLink {
  public:
    virtual ~ShellLink() = default;

    // The main popup menu for `variant`, run to its end (see the service window).
    virtual void showMainMenu(int variant) {}
    // Owner-drawn cells of the menu picture strip (item data = cell index).
    virtual void measureMenuPicture(MEASUREITEMSTRUCT* item) {}
    virtual void drawMenuPicture(const DRAWITEMSTRUCT* item) {}

    // Replaces all stickers by one showing `text` for `ms` at `point` (the
    // cursor when null); false when no point is given and the cursor cannot be read.
    virtual bool showSingleSticker(const wchar_t* text, int ms, const POINT* point) {
        return false;
    }
    // Adds a sticker without showing it (the service window shows the set).
    virtual void addSticker(int x, int y, int flags, int ms, const wchar_t* text) {}
    virtual void clearStickers() {}

    // The binding panel's thread that marks the focused field's binding:
    // started when the panel opens, woken when a binding changed, stopped
    // when the panel closes.
    virtual void startBindShow(int periodMs) {}
    virtual void wakeBindShow() {}
    virtual void stopBindShow() {}
    // A binding change is waiting for the binding thread's next pass.
    virtual bool bindShowUpdatePending() { return false; }
    // Shows every sticker and frame of the set (the service window's 3041).
    virtual void showAllStickers() {}
    // A copy (the caller deletes it) of the binding snapshot attached to the
    // sticker whose tip window is `tipWindow`; null when there is none.
    virtual CBindingInfo* copyStickerBindingInfo(HWND tipWindow) { return nullptr; }

    // The bars and dialogs of the floor above the ink: the main bar shown or
    // hidden, woken for `ms` (the notification icon's mouse move), whether a
    // bar master has taken the master messages (binding mode), whether the
    // settings dialog is open.
    virtual void showMainBar(bool show) {}
    virtual void wakeMainBar(int ms) {}
    virtual bool isBarMasterRegistered() { return false; }
    virtual bool isSettingsDialogOpen() { return false; }
    // Markup mode hides the main bar and will show it again when it ends.
    virtual bool markupBarWillShowMainBar() { return false; }
    // The markup bar: its window and its own ink client (null without the
    // bar), told whether it stands above the shown ink layer; markup mode
    // entered or left (the service state's flag follows).
    virtual bool markupBarExists() { return false; }
    virtual HWND markupBarWindow() { return nullptr; }
    virtual LocalClient* markupBarClient() { return nullptr; }
    virtual void setMarkupBarAboveLayer(bool above) {}
    virtual void switchMarkupMode(bool on);
    // The punctuation bar as a modal pop-up; the value picked (0 none).
    virtual int showPunctuationPopup(void* ownerList, HWND window, POINT position, int mode) {
        return 0;
    }
};

ShellLink& shellLink();
// Set once at start-up, before other threads run; null puts the do-nothing link back.
void setShellLink(ShellLink* link);
