// The program's own tool-tip: a small bordered pop-up of the class
// "VexaInkTipsWndClass" that shows one text near a point for a limited time and
// never takes the focus. The stickers show through it; the bars will too.
//
// The window keeps its own copy of what it shows and is only driven by
// messages, so a Tips object may be used and deleted on any thread: the window
// is always destroyed by its own thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/VexaSuper.h"

#define TIPS_WINDOW_CLASS L"VexaInkTipsWndClass"

class Tips : public VexaSuper {
    VEXA_CLASS(Tips, VexaSuper)

  public:
    static constexpr UINT_PTR kNoTag = 0xC0C0C0C0;

    // colourScheme above 0: highlight colours, else tool-tip colours; fontSize in points.
    Tips(HWND owner, int colourScheme, int fontSize);
    // Posts WM_CLOSE to the tip window.
    ~Tips() override;

    // Shows `text` at (x, y) for `showTimeMs` (0: until hidden). Unless forced,
    // a request for the tag already shown does nothing. The point is relative to
    // the owner's client area unless `screenCoordinates`. False when nothing shows.
    bool show(int x, int y, const wchar_t* text, UINT showTimeMs, UINT_PTR tag,
              bool screenCoordinates, bool force);
    // Hides the tip; with `reset` the shown tag is forgotten.
    void hide(bool reset);

    HWND window() const { return window_; }

    // The window procedure of "VexaInkTipsWndClass".
    static LRESULT CALLBACK TipsWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    HWND window_ = nullptr;
    HWND owner_ = nullptr;
    UINT_PTR shownTag_ = kNoTag;
};

// Registers "VexaInkTipsWndClass"; true also when it is registered already.
bool registerTipsWindowClass(HINSTANCE instance);

// Fills a tooltip tool record (the system's whole TTTOOLINFOW, 48 bytes in 32 bits): without an
// id the window itself is the id (TTF_IDISHWND) and its parent the owner.
void initToolInfo(TTTOOLINFOW* info, UINT flags, HWND window, UINT_PTR id, const RECT* rect,
                  const wchar_t* text, LPARAM parameter);
