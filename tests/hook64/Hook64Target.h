// What the hook library's tests and their 64-bit target application share.
#pragma once

#include <windows.h>

namespace hook64target {

constexpr wchar_t kWindowClass[] = L"SxHook64TargetWndClass";
// Sent to the target's window: wParam 0 focuses the edit, 1 the read-only
// edit; the answer is the window that has the focus afterwards.
constexpr UINT kFocusEdit = WM_APP + 1;

}  // namespace hook64target
