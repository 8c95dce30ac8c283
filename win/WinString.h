// Wide-string helpers over std::wstring.
#pragma once

#include <windows.h>

#include <string>

namespace win {

// printf-style formatting of any length (msvcrt rules: %ls is a wide string).
std::wstring format(const wchar_t* format, ...);

// A string resource of `module` (empty when missing).
std::wstring loadString(HINSTANCE module, UINT id);

// The full path of `module` (null: the program) and its folder (no final backslash).
std::wstring modulePath(HMODULE module);
std::wstring moduleFolder(HMODULE module);

// The text of a window (WM_GETTEXT; works across processes).
std::wstring windowText(HWND window);
std::wstring windowClassName(HWND window);

}  // namespace win
