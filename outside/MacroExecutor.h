// What a macro executor library exports. The program reads the paths of such
// libraries from the registry (subkey "MacroCustomExecutors", values
// "CustomExecDll1", "CustomExecDll2", ...) and asks them, in that order, to
// run the "{Custom:command:parameter}" tokens of keystroke macros.
#pragma once

#include <windows.h>

extern "C" {

// Runs `command` with `parameter` (either may be null) for the window the
// macro runs for. Non-zero when the command was handled; then `text` may
// receive a text of the library's own allocation that the program plays as a
// keystroke text and hands back through ReleaseStringProc. A library leaves
// `text` null when it has nothing to type.
typedef int(__cdecl* DoCustomMacroProcFn)(HWND target, const wchar_t* command,
                                          const wchar_t* parameter, wchar_t** text);

// Frees a text that DoCustomMacroProc returned.
typedef void(__cdecl* ReleaseStringProcFn)(wchar_t* text);
}

#define MACRO_EXECUTOR_RUN_NAME "DoCustomMacroProc"
#define MACRO_EXECUTOR_RELEASE_NAME "ReleaseStringProc"
