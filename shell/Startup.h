// The program's entry and exit: the guarded start, the single-instance guard
// and the command-line switches, the window classes, the hidden service window,
// the hook thread, the deferred start of the services and the shut-down.
#pragma once

#include <windows.h>

class ShellLink;

// The entry point's work; returns 1.
int AppMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

// The service window, or null when the program must not run (another instance,
// an error).
HWND startInkService(HINSTANCE instance, const wchar_t* commandLine);

// The handler of message 3024; 1 when every service started.
int OnStartServices(HWND serviceWindow);

// Shuts every service down; its work runs once per start, however often it is called.
void stopInkService();

// The unhandled-exception filter around the main thread's start and loop.
LONG WINAPI crashFilter(EXCEPTION_POINTERS* exception);

// The guard window's procedure: it never paints.
LRESULT CALLBACK TraceGuardWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The switch of a command line: leading blanks and tabs skipped, then "/0",
// "/1" (pen off, on) or "/2" (toggle); anything else is no switch.
enum class CommandSwitch { None, PenOff, PenOn, Toggle };
CommandSwitch parseCommandSwitch(const wchar_t* commandLine);

// The user's data folder of the program ("<application data>\Scribix").
bool userDataFolder(wchar_t* path, int capacity);

// The shell's side of what the floors below it ask (menus, stickers);
// start-up hands it down, tests of those floors may hand it down themselves.
ShellLink& shellOwnLink();
