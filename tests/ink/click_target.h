// The window class and the questions of ink_click_target.exe.
#pragma once

#include <windows.h>

#define kClickTargetClass L"SxInkClickTarget"
constexpr UINT kAskPresses = WM_APP + 1;   // answers the left-button presses so far
constexpr UINT kAskReleases = WM_APP + 2;  // answers the releases
