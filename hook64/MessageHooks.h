// The helpers of the two message hooks: where a two-finger tap counts, the
// tap debounce, and whether two windows belong to one process.
#pragma once

#include <windows.h>

#include <stdint.h>

// Private messages of the program's service window that the hooks post (the
// library includes nothing of the program, hence its own names for them).
namespace hook64 {
enum : UINT {
    WM_INK_ESCAPE = 3033,  // Escape taken off a hooked window's queue
    WM_INK_SETPEN = 3074,  // two-finger tap: lParam 1 toggles the pen
};
}  // namespace hook64

// Two taps closer than this are one.
constexpr DWORD kTapDebounceMs = 300;

bool isInTapRect(int x, int y);
// True (and the tick stored) when more than `ms` have passed since `*stored`,
// or the tick counter wrapped since.
bool isDebounceElapsed(volatile uint32_t* stored, DWORD ms);
bool isSameProcessWindow(HWND a, HWND b);
