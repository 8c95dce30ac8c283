// The transparent ink layer: one top-most, never activated, click-through
// popup window (class "TransparentLayerWndClass", title "ScribixTrWin") shown
// over the screen while the user inks, so that live ink can be drawn over
// any application. It is made hidden and off-screen at start-up and lives
// until exit; 3064 shows it, 3065 hides it.
#pragma once

#include <windows.h>

#define INK_LAYER_WINDOW_CLASS L"TransparentLayerWndClass"

// Timer of the layer: every 3000 ms it looks whether the screen saver runs.
constexpr UINT_PTR kInkLayerTimer = 17;

LRESULT CALLBACK TransparentLayerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The layer window as the start-up makes it (the class registered already):
// never activated, click-through, top-most, hidden 10 x 10 off-screen.
HWND createInkLayerWindow(HINSTANCE instance);

// Hides this process's layer (3065); without one, every visible layer of any
// instance is sent 3065 until none is left or `timeoutMs` have passed.
void hideTransparentLayers(DWORD timeoutMs);

// The screen area the layer covers when shown: the whole virtual screen with
// "multiMonitorInking" or in markup mode, else the monitor under the cursor.
RECT inkLayerPlacement();
