#include "ink/ProfileForWindow.h"

#include "ink/TargetText.h"
#include "recognition/ProfileChooser.h"

bool targetHasShortSelection(HWND window) {
    int kind = 0;
    bool needSpace = false, partial = false;
    return checkTargetSelection(window, kind, needSpace, partial) && partial;
}

bool profileForTarget(HWND window, std::wstring& name, bool consume, bool selection) {
    return getProfileForWindow(window, name, consume, selection, targetHasShortSelection);
}
