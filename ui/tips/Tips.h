// The program's own tool-tip: a small bordered pop-up of the class
// "VexaInkTipsWndClass" that shows one text near a point for a limited time and
// never takes the focus. The bars show the tips of their units through it, the
// stickers their texts.
//
// Everything the tip shows and remembers (text, tags, font, the deferred
// request) lives with its window and is freed by it, on its own thread, when
// it is destroyed. The Tips object is the window's handle, used on the thread
// that made it (checked in checked runs); deleting it on its own thread
// destroys the window at once, on another thread (a sticker cleared by the
// binding thread) it posts the window its close.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/VexaSuper.h"
#include "win/Checks.h"

#define TIPS_WINDOW_CLASS L"VexaInkTipsWndClass"

class Tips : public VexaSuper {
    VEXA_CLASS(Tips, VexaSuper)

  public:
    // The tag of no tip.
    static constexpr UINT_PTR kNoTag = 0xC0C0C0C0;
    // How long a unit's tip stays up, and the delay the owner waits before it
    // asks for a deferred text.
    static constexpr UINT kShowTimeMs = 5000;
    static constexpr UINT kDeferredDelayMs = 2500;
    // Timer ids of the tip window: 1 hides the tip, 2 runs the deferred text.
    static constexpr UINT_PTR kHideTimer = 1;
    static constexpr UINT_PTR kDeferredTimer = 2;

    // colourScheme above 0: highlight colours, else tool-tip colours; fontSize
    // in points. The window is made hidden, owned by `owner`, on this thread.
    Tips(HWND owner, int colourScheme, int fontSize);
    // Destroys the tip window (from another thread: posts it WM_CLOSE); the
    // window frees what it holds.
    ~Tips() override;
    Tips(const Tips&) = delete;
    Tips& operator=(const Tips&) = delete;

    // Shows `text` at (x, y) for `showTimeMs` (0: until hidden). Unless forced,
    // a request for the tag already on show does nothing. The point is relative
    // to the owner's client area unless `screenCoordinates`. True when the tip
    // was shown by this call.
    bool show(int x, int y, const wchar_t* text, UINT showTimeMs, UINT_PTR tag,
              bool screenCoordinates, bool force);
    // Hides the tip; with `reset` the tag on show is forgotten, so the same tag
    // may show again.
    void hide(bool reset);
    // Replaces the font by one of exactly `height` (a raw font height) when it
    // differs, and measures and places the tip again where it stands.
    void setFontHeight(int height);

    // Arms the deferred text: after `delayMs` the tip sends the registered
    // message "Tooltips get-text message" to the owner (wParam the tag, lParam
    // the address of a std::wstring to fill) and shows what the owner wrote at
    // (x, y) for `showTimeMs`, forced. An empty answer shows nothing.
    void requestText(int x, int y, UINT_PTR tag, bool screenCoordinates, BYTE flags,
                     UINT showTimeMs = kShowTimeMs, UINT delayMs = kDeferredDelayMs);
    // Drops an armed deferred text.
    void cancelRequest();

    void setHideOnMouseMove(bool on);
    // With it on, the cursor over the tip posts 3094 to the owner.
    void setOwnerNotification(bool on);

    // The tag of the tip on show (kNoTag when none), and of the last tip shown.
    UINT_PTR tag() const;
    UINT_PTR lastShownTag() const;
    // The text of the tip, and the raw height of its font.
    std::wstring text() const;
    int fontHeight() const;
    // Whether a deferred text is armed.
    bool requestPending() const;

    HWND window() const { return window_; }
    HWND owner() const { return owner_; }
    // The thread that made the tip window.
    const win::OwnerThread& ownerThread() const { return ownerThread_; }

    // The window procedure of "VexaInkTipsWndClass".
    static LRESULT CALLBACK TipsWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    HWND window_ = nullptr;
    HWND owner_ = nullptr;
    win::OwnerThread ownerThread_{"Tips"};
};

// Registers "VexaInkTipsWndClass"; true also when it is registered already.
bool registerTipsWindowClass(HINSTANCE instance);

// Fills a tooltip tool record (the system's whole TTTOOLINFOW, 48 bytes in 32 bits): without an
// id the window itself is the id (TTF_IDISHWND) and its parent the owner.
void initToolInfo(TTTOOLINFOW* info, UINT flags, HWND window, UINT_PTR id, const RECT* rect,
                  const wchar_t* text, LPARAM parameter);

// The input-type test: the mask 0x12345 answers `defaultValue`, 0 false, 15
// true; any other mask whether the hook library's last input type has a bit of it.
bool testInputType(DWORD mask, bool defaultValue);

// A memory drawing surface: a device context with its own bitmap selected.
class MemorySurface {
  public:
    MemorySurface() = default;
    ~MemorySurface() { release(true); }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    // Puts the replaced bitmap back and deletes the context; the bitmap too
    // when `deleteBitmap` (else the caller has taken it).
    void release(bool deleteBitmap);
    // A context compatible with `compatible` (the screen when null) and a
    // compatible bitmap of width x height. False when a step fails.
    bool make(HDC compatible, int width, int height);
    // A context compatible with the screen holding the bitmap resource `id` of
    // the program's module. False when a step fails.
    bool makeFromResource(UINT id);

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ replaced_ = nullptr;
};
