// For the tests of a clipping tool that gives up: the tool's window class
// swapped for one whose windows cannot be made. Windows tests only.
#pragma once

#include <windows.h>

#include "ui/clip/ScreenCapture.h"

namespace refusingcapture {

// A window procedure that refuses to make the window.
inline LRESULT CALLBACK refusingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_NCCREATE) return FALSE;
    return DefWindowProcW(w, m, wp, lp);
}

// Puts the refusing class in the place of the tool's own (registered by an
// earlier tool, if any); false when it cannot be registered.
inline bool registerRefusingClass() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = refusingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = SCREEN_CAPTURE_CLASS;
    UnregisterClassW(SCREEN_CAPTURE_CLASS, wc.hInstance);  // the tools' own, from before
    return RegisterClassW(&wc) != 0;
}

// Takes the refusing class away, so that the next tool registers its own.
inline bool unregisterRefusingClass() {
    return UnregisterClassW(SCREEN_CAPTURE_CLASS, GetModuleHandleW(nullptr)) != 0;
}

}  // namespace refusingcapture
