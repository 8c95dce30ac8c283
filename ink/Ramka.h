// Frame windows that mark a rectangle of the screen: a 4-pixel border in a
// colour (with one or both diagonals for kinds 1 and 2), never activated,
// top-most, owned by the service window. UI thread.
#pragma once

#include <windows.h>

#include "win/Checks.h"

#define RAMKA_WINDOW_CLASS L"RamkaWndClass"

class CRamka {
  public:
    enum Kind { kPlain = 0, kOneDiagonal = 1, kBothDiagonals = 2 };

    CRamka(const RECT* rect, COLORREF colour, int kind);
    // Destroys the window, on its own thread (the owner frees the frame).
    // From another thread (a checked run fails then) it detaches from the
    // window and posts it WM_CLOSE, which then destroys it.
    ~CRamka();
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

  private:
    RECT rect_;
    bool shown_ = false;
    HWND window_ = nullptr;
    COLORREF colour_;
    int kind_;
    win::OwnerThread owner_{"frame window"};
};
