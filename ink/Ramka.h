// Frame windows that mark a rectangle of the screen: a 4-pixel border in a
// colour (with one or both diagonals for kinds 1 and 2), never activated,
// top-most, owned by the service window.
//
// A frame lives on the thread that made its window (the UI thread), whose
// window procedure reads the object while it paints: it is shown, hidden and
// deleted there. Another thread that is done with a frame hands it to
// CRamka::release, which destroys the window and then frees the object on
// the window's own thread.
#pragma once

#include <windows.h>

#include "win/Checks.h"

#define RAMKA_WINDOW_CLASS L"RamkaWndClass"

class CRamka {
  public:
    enum Kind { kPlain = 0, kOneDiagonal = 1, kBothDiagonals = 2 };

    CRamka(const RECT* rect, COLORREF colour, int kind);
    // Destroys the window; on the owner thread only (checked runs fail
    // loudly otherwise): other threads use release.
    ~CRamka();
    // Deletes `ramka` on the thread that owns its window: at once on that
    // thread (or when it has no window), else by a message to the window.
    static void release(CRamka* ramka);
    CRamka(const CRamka&) = delete;
    CRamka& operator=(const CRamka&) = delete;

    // Frames `rect` (or the stored rectangle when null); with neither, hides.
    void show(const RECT* rect);
    // Moves the frame off-screen and hides it.
    void hide();

    HWND window() const { return window_; }
    const RECT& rect() const { return rect_; }
    COLORREF colour() const { return colour_; }
    int kind() const { return kind_; }
    bool shown() const { return shown_; }

    static LRESULT CALLBACK RamkaWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const win::OwnerThread& ownerThread() const { return owner_; }

  private:
    RECT rect_;
    bool shown_ = false;
    HWND window_ = nullptr;
    COLORREF colour_;
    int kind_;
    win::OwnerThread owner_{"CRamka"};
};
