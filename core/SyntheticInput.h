// The tick of the program's own last synthetic input. The keyboard simulation
// notes it after every key it sends, so that the floors above can tell the
// program's own typing from the user's when they judge how long input has been
// idle.
#pragma once

#include <windows.h>

// Records `tick` (a GetTickCount value) as the last synthetic input.
void noteSyntheticInputTick(DWORD tick);
// The last recorded tick in `tick`; false (and `tick` untouched) when the
// program has sent no input yet.
bool lastSyntheticInputTick(DWORD* tick);
// Forgets the recorded tick (for tests).
void clearSyntheticInputTick();
