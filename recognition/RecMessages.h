// What the recognition side has to tell the user goes through here: a
// message box captioned "Scribix" in the program, a collector in tests.
#pragma once

#include <windows.h>

// printf-style (wvsprintfW: %s is a wide string), at most 1024 characters.
int recMessageBox(UINT type, const wchar_t* format, ...);

using RecMessageSink = int (*)(const wchar_t* text, UINT type);
// Replaces where the messages go (null: the program's message box) and
// returns the previous sink.
RecMessageSink setRecMessageSink(RecMessageSink sink);
