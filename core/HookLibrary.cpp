#include "HookLibrary.h"

#include <atomic>

namespace {

// Every call goes straight to the library.
class Scribix35Library final : public HookLibrary {
  public:
    int SetInitValues() override { return ::SetInitValues(); }
    int InsertHooks(HINSTANCE module, HWND serviceWindow) override {
        return ::InsertHooks(module, serviceWindow);
    }
    int RemoveAllHooks() override { return ::RemoveAllHooks(); }
    int setInkDriverParams(int penOn, int mode, int value3, int value4, int value5, int value6,
                           int value7, int value8) override {
        return ::setInkDriverParams(penOn, mode, value3, value4, value5, value6, value7, value8);
    }
    void resetInkDriverSystemParams() override { ::resetInkDriverSystemParams(); }
    void setHookTabletMode(int tabletMode, int allowedInputType, int superGesture,
                           int superGestureId, const RECT* superGestureArea) override {
        ::setHookTabletMode(tabletMode, allowedInputType, superGesture, superGestureId,
                            superGestureArea);
    }
    PenEventRing* getEventStack(int reserved) override { return ::getEventStack(reserved); }
    int checkHoldState() override { return ::checkHoldState(); }
    int putPointToClientExternal(int x, int y) override { return ::putPointToClientExternal(x, y); }
    void lockInking(int lock) override { ::lockInking(lock); }
    int isTabletInputMissing() override { return ::isTabletInputMissing(); }
    int getLastInputType() override { return ::getLastInputType(); }
    HWND getLastFocusWindow() override { return ::getLastFocusWindow(); }
    HWND getLastForegroundWindow() override { return ::getLastForegroundWindow(); }
    HWND getTargetFgrWindow() override { return ::getTargetFgrWindow(); }
    const wchar_t* getTargetModuleName() override { return ::getTargetModuleName(); }
    int getLastFocusedElemInfo(UI_ELEM_INFO* element, RECT* location) override {
        return ::getLastFocusedElemInfo(element, location);
    }
    HKL askLastFocusKeyboardLayout() override { return ::askLastFocusKeyboardLayout(); }
    int isEditTextInFocus() override { return ::isEditTextInFocus(); }
    const wchar_t* getMessageToClientAddress() override { return ::getMessageToClientAddress(); }
    void setMouseTransparent() override { ::setMouseTransparent(); }
    void unsetMouseTransparent() override { ::unsetMouseTransparent(); }
    void setNoForegroundToRestore() override { ::setNoForegroundToRestore(); }
    void showCurrentCursor(int reserved) override { ::showCurrentCursor(reserved); }
    void getTouchParams(int* maxCx, int* maxCy, int* maxClickMs, int* maxSureClickMs,
                        int* sureExpandPercent) override {
        ::getTouchParams(maxCx, maxCy, maxClickMs, maxSureClickMs, sureExpandPercent);
    }
    void setTouchParams(int maxCx, int maxCy, int maxClickMs, int maxSureClickMs,
                        int sureExpandPercent) override {
        ::setTouchParams(maxCx, maxCy, maxClickMs, maxSureClickMs, sureExpandPercent);
    }
};

Scribix35Library g_scribix35;
std::atomic<HookLibrary*> g_library{&g_scribix35};

}  // namespace

HookLibrary& hookLibrary() { return *g_library.load(); }

HookLibrary* setHookLibrary(HookLibrary* library) {
    return g_library.exchange(library ? library : &g_scribix35);
}
