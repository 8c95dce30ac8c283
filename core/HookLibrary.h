// The program's view of the 32-bit hook library Scribix35: one object with the
// library's 26 functions. By default the calls go to the library itself
// (imported by name); tests put a fake in its place. The base class answers
// every call as a library that is not there would (0, null, nothing done).
#pragma once

#include <windows.h>

#include "outside/Scribix35.h"

class HookLibrary {
  public:
    virtual ~HookLibrary() = default;

    virtual int SetInitValues() { return 0; }
    virtual int InsertHooks(HINSTANCE module, HWND serviceWindow) { return 0; }
    virtual int RemoveAllHooks() { return 0; }
    virtual int setInkDriverParams(int penOn, int mode, int value3, int value4, int value5,
                                   int value6, int value7, int value8) {
        return 0;
    }
    virtual void resetInkDriverSystemParams() {}
    virtual void setHookTabletMode(int tabletMode, int allowedInputType, int superGesture,
                                   int superGestureId, const RECT* superGestureArea) {}
    virtual PenEventRing* getEventStack(int reserved) { return nullptr; }
    virtual int checkHoldState() { return 0; }
    virtual int putPointToClientExternal(int x, int y) { return 0; }
    virtual void lockInking(int lock) {}
    virtual int isTabletInputMissing() { return 1; }
    virtual int getLastInputType() { return 0; }
    virtual HWND getLastFocusWindow() { return nullptr; }
    virtual HWND getLastForegroundWindow() { return nullptr; }
    virtual HWND getTargetFgrWindow() { return nullptr; }
    virtual const wchar_t* getTargetModuleName() { return nullptr; }
    virtual int getLastFocusedElemInfo(UI_ELEM_INFO* element, RECT* location) { return 0; }
    virtual HKL askLastFocusKeyboardLayout() { return GetKeyboardLayout(0); }
    virtual int isEditTextInFocus() { return 0; }
    virtual const wchar_t* getMessageToClientAddress() { return nullptr; }
    virtual void setMouseTransparent() {}
    virtual void unsetMouseTransparent() {}
    virtual void setNoForegroundToRestore() {}
    virtual void showCurrentCursor(int reserved) {}
    virtual void getTouchParams(int* maxCx, int* maxCy, int* maxClickMs, int* maxSureClickMs,
                                int* sureExpandPercent) {}
    virtual void setTouchParams(int maxCx, int maxCy, int maxClickMs, int maxSureClickMs,
                                int sureExpandPercent) {}
};

// The library in use: Scribix35 unless a test has set another.
HookLibrary& hookLibrary();
// Puts `library` in place (null: Scribix35 again); returns the one it replaces.
HookLibrary* setHookLibrary(HookLibrary* library);
