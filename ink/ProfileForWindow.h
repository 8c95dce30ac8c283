// The profile for the next recognition in a target window, with the target's
// selection read through the target text handlers: a correction of a short
// part of the text takes no bound profile.
#pragma once

#include <windows.h>

#include <string>

// True when `window` holds a selection that is a short part of its text.
bool targetHasShortSelection(HWND window);
// getProfileForWindow (recognition/ProfileChooser.h) over the target's own
// selection: the pending choice, else the bound profile unless `selection`
// is clear and the target holds a short partial selection.
bool profileForTarget(HWND window, std::wstring& name, bool consume, bool selection);
