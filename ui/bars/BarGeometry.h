// Small geometry, timing and threading helpers shared by the bars and menus.
#pragma once

#include <windows.h>

#include "core/SyntheticInput.h"
#include "ink/InkPointList.h"

// The desktop: the virtual screen's rectangle.
RECT desktopRect();

// Shifts `rect` right and down when its left or top lie outside the desktop;
// else left and up when its right or bottom pass it. True when it moved.
bool keepRectInDesktop(RECT* rect);
// Centres `rect` in `area`, or shifts it inside: right edge first, then
// bottom, then left, then top. True when it moved.
bool fitRectIn(RECT* rect, const RECT& area, bool centre);
// Fits `rect` into the work area of the monitor under (x, y) and moves it
// beside `anchor` (right or left, below or above, whichever fits) so that it
// does not cover it. False when no monitor was found.
bool placeNear(RECT* rect, const RECT& anchor, int x, int y, bool centre);
bool rectsEqual(const RECT& a, const RECT& b);
// -|MulDiv(LOGPIXELSY, tenths, 720)|.
int fontHeightFromPoints(int tenthsOfPoint, HDC dc);
bool classNameIs(HWND window, const wchar_t* name);
// Opens `file` with the shell (verb "open"), in the ink manager's mouse-
// transparent mode, and waits up to 1000 ms for the program's input idle.
bool shellOpen(const wchar_t* file, const wchar_t* parameters, const wchar_t* folder);
// The tick of the last user input, or of the program's own last synthetic
// input when that is later and not in the future.
DWORD idleSinceTick();
// The choice idleSinceTick makes: `ownTick` (null when the program has sent no
// input) when it is later than `userTick` and not later than `now`; else
// `userTick`. Tick arithmetic wraps.
DWORD laterInputTick(DWORD userTick, const DWORD* ownTick, DWORD now);
// Posts the message from a short-lived thread after `ms` (0 < ms < 10000; else at once).
// `undelivered`, when given, frees what lParam owns if the window is gone by
// then; false (nothing posted, nothing freed) when no thread could start.
bool postDelayed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int ms,
                 void (*undelivered)(LPARAM lParam) = nullptr);
// The pen-up marker of an ink point list.
bool pointIsMarker(const InkPoint& point);
// The bounding box in pixels of the non-marker points (right and bottom + 1),
// inflated by (dx, dy); empty when there are none.
RECT strokeBounds(const InkPoint* points, int count, int dx, int dy);

// An animation curve: `total` covered in `steps`, mode 1 linear, 2 eased.
struct AnimationCurve {
    double total;
    int steps;
    int mode;
    // The quantity covered after step i.
    double valueAt(int i) const;
    // The step due when `value` is covered.
    int stepAt(double value) const;
};

// The gesture functions of user32 (Windows 7 and later), looked up once.
class CGestureHelpAPI {
  public:
    static bool available();
    static BOOL getGestureInfo(HANDLE info, void* out);
    static BOOL closeGestureInfoHandle(HANDLE info);
    static BOOL setGestureConfig(HWND window, DWORD reserved, UINT count, void* configs, UINT size);
};
