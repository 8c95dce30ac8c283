// What the floors below the shell ask of it: the main popup menu and the
// owner-drawn items of the menus the ink layer tracks, and the stickers.
// The shell hands its own link down at start-up; until then every operation
// does nothing, so a floor that runs without the shell (the tests of one
// floor) shows no menu and no sticker instead of reaching upward.
#pragma once

#include <windows.h>

class CBindingInfo;

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
};

ShellLink& shellLink();
// Set once at start-up, before other threads run; null puts the do-nothing link back.
void setShellLink(ShellLink* link);
