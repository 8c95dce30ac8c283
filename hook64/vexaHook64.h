// The exported interface of the 64-bit hook library. The 64-bit host calls
// InsertHooks64 once and RemoveHooks64 at its end; the other exports are the
// hook procedures and two questions about the last focused element.
#pragma once

#include <windows.h>

#include "hook64/SharedData.h"

// The exports carry the compiler's decorated names of these signatures (they
// are C++ functions, not plain C names): the host binds them by those names,
// below, and vexaHook64.def lists them.
// Installs the three hooks with the library's own module (the module argument
// is not used) and names `helper` as the host's window; 1 on success.
int InsertHooks64(HINSTANCE module, HWND helper);
void RemoveHooks64();
LRESULT CALLBACK CallWndHookProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK GetMsgHookProc(int code, WPARAM wParam, LPARAM lParam);
void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD event, HWND window, LONG idObject,
                           LONG idChild, DWORD eventThread, DWORD eventTime);
int getLastFocusedElemInfo(UI_ELEM_INFO* info);
void printInputElemInfo();
void justTestCall();

// The host binds the two calls it needs by their decorated names (the
// export list of the library pins them; a signature changed here changes its
// name and fails the library's link against vexaHook64.def).
typedef int (*InsertHooks64Fn)(HINSTANCE, HWND);
typedef void (*RemoveHooks64Fn)();
#define VEXAHOOK64_INSERT_HOOKS_NAME "_Z13InsertHooks64P11HINSTANCE__P6HWND__"
#define VEXAHOOK64_REMOVE_HOOKS_NAME "_Z13RemoveHooks64v"
