// The pages of the settings dialog, each a child dialog that follows the
// page protocol of SettingsHost.h, and the values some of them show.
#pragma once

#include <windows.h>

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK InputPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK InkPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WordMenuPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MacrosPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RecoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TuneupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TouchPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// The "Advanced recognition options" dialog of the "Reco" page.
INT_PTR CALLBACK AdvancedRecoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The 32 pen colours of the "Ink" page's swatches (ids 1101 to 1132 in order).
constexpr int kInkColorCount = 32;
extern const COLORREF InkColorTable[kInkColorCount];
// The swatch index of a colour, -1 when the table lacks it.
int inkColorIndex(COLORREF color);
// The pen width of a size button (1003 to 1006: 1, 2, 3, 5), 0 for another id.
int inkWidthOfSizeButton(int id);

// The word menu's font size as the page shows it (tenths of a point to
// points, at most 40) and as it stores it.
int fontSizeShown(int mainFontSize);
// "autoShow" after the page's box: unchecked 0; checked keeps any non-zero
// value and turns 0 into 2.
int autoShowAfter(bool checked, int autoShow);
// "allowedInputType" with bits 0 to 2 taken from the three boxes (mouse,
// pen, finger); higher bits kept.
int allowedInputTypeAfter(int allowedInputType, bool mouse, bool pen, bool finger);
// The five touch numbers as typed; false when any is not a number.
bool parseTouchParams(const wchar_t* const texts[5], int values[5]);
