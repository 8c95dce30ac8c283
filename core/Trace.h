// The process-wide trace and message-box operations every part of the program uses.
#pragma once

#include <windows.h>

// printf-style trace (wvsprintfW formats: %s is a wide string) to the
// debugger output, at most 1024 characters. Trace texts end in a line feed.
void debugTrace(const wchar_t* format, ...);

// A message box without owner, captioned "Scribix", always on top; `type` is
// or-ed with MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST. Marks start-up as
// finished first, so the splash window ends and cannot hide the box.
int showMessageBox(const wchar_t* text, UINT type);

// An OK box with the same caption and flags.
int showMessage(const wchar_t* text);
