// What the recognition side has to tell the user goes through here: a
// message box captioned "Scribix" in the program, a collector in tests.
#pragma once

#include <windows.h>

// printf-style (wvsprintfW: %s is a wide string), at most 1024 characters.
// While the calling thread holds messages back (below) the message waits and
// the result is IDOK; otherwise it is the box's answer.
int recMessageBox(UINT type, const wchar_t* format, ...);

// A thread that holds a recognizer module's profile lock holds its messages
// back: a box shown then would keep every other thread that needs the
// profiles (the program's main thread among them) waiting until the user
// closed it. The calls nest; when the thread's last hold ends, the messages it
// held back are shown in order. RecModule::ProfileLock does this.
void holdRecMessages();
void releaseRecMessages();

using RecMessageSink = int (*)(const wchar_t* text, UINT type);
// Replaces where the messages go (null: the program's message box) and
// returns the previous sink.
RecMessageSink setRecMessageSink(RecMessageSink sink);
