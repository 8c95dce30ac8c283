// The hidden service window: the hub of the UI thread. The hook library,
// worker threads, bars, menus, a second instance and other programs reach the
// program by posting messages to it; this is its window procedure, its timers,
// the command message "ScribixMessageCommandName", the main popup menu and
// its commands, the menu-owner window and the About box.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/ServiceMessages.h"
#include "core/ServiceState.h"

// Lets go of the handles the service window keeps (at shut-down).
void releaseServiceResources();

LRESULT CALLBACK ServiceWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MenuOwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The registered command message: code 1 to 10 and its argument.
LRESULT OnExternalCommand(UINT code, LPARAM argument);

// Shows the main popup menu for `variant` (1 main bar, 7 main bar with the pen
// button, 2 markup bar, 5 right pen button, 4 macro) and runs the command picked.
void showMainMenu(int variant);
void runMenuCommand(int command);

LRESULT postServiceCommandRecord(INT_PTR code, INT_PTR argument1, INT_PTR argument2, bool post);

// The value an output record acts on: the bar's code-page characters (128 the
// euro sign, also as -128) become their Unicode characters, under every
// keyboard layout; keys, the three commands and other characters stay.
int outputValue(int value);

// The update period: "autoUpdatePeriodDays" (3 when 0 or less) days in milliseconds.
uint64_t updatePeriodMs();
// Arms timer 21 for `milliseconds`, in steps the system timer can hold
// (UI thread only); the update check runs when the whole time has passed.
void armUpdateTimer(HWND serviceWindow, uint64_t milliseconds);

void raiseMarkupWindows();

// Owner-drawn items of the pop-up menus shown by the menu-owner window and the
// ink layer: cells of the menu picture strip (item data = cell index).
void measureMenuPicture(MEASUREITEMSTRUCT* item);
void drawMenuPicture(const DRAWITEMSTRUCT* item);

// The millisecond clock of the service window's time tests (GetTickCount);
// tests set their own. Null puts GetTickCount back.
void setServiceClock(DWORD (*tickCount)());
