// The accessibility event hook's helpers: the cursor check, the window-class
// test, element locations with the block's stand-in for "nowhere", and the
// window trace line.
#pragma once

#include <windows.h>

class CAccElem;

// 0: no element at the point; 1: fit for writing; -1: not (a button, an
// indicator, or a list's scroll area near its right or bottom edge).
int checkPointUnderCursor(POINT point);
// The window's class begins with the first four characters of `prefix`.
bool hasAvlClassPrefix(HWND window, const wchar_t* prefix = L"AVL_");
// The element's screen rectangle; without one, the empty rectangle at the
// block's no-location point less one.
RECT locationOrNowhere(const CAccElem& element);
RECT locationWithReaderMode(const CAccElem& element, bool raise);
void printWindowInfo(const wchar_t* prefix, HWND window);
