// Bending the touch-gesture configuration of the window under the finger: the
// window's own answer to the gesture notification is changed so that
// single-finger panning is blocked (the pen writes instead of scrolling) and
// the two-finger tap arrives, and the window's configuration is put back once
// that is no longer wanted. One configuration is remembered per process.
#pragma once

#include <windows.h>

// What one gesture should look like: the bits of `mask` in the want and block
// words must equal `want` and `block`; other bits stay as the window has them.
struct WantedGestureConfig {
    DWORD id;
    DWORD mask;
    DWORD want;
    DWORD block;
};

struct RememberedGestureConfig {
    bool remembered = false;
    HWND window = nullptr;
    UINT count = 0;
    GESTURECONFIG saved[2] = {};    // the window's entries before the change
    GESTURECONFIG applied[2] = {};  // what was set
};

RememberedGestureConfig& rememberedGestureConfig();

void adjustGestureConfig(HWND target);
bool resetGesturesConfigIfNeeded64(HWND window, const WantedGestureConfig* wanted, UINT count);
// With `check`, a window that has been reconfigured by someone else since
// (every entry differs from what was applied in both words) is left alone.
bool restoreModifiedGestureConfig64(bool check);
// The restore of process detach (check on).
bool restoreGestureConfigAtDetach();
bool readGestureConfig(HWND window, GESTURECONFIG* out, UINT count, const DWORD* ids);
bool readGestureInfo(HGESTUREINFO handle, GESTUREINFO* info);
