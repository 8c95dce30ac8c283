// Compile-time checks of what the 64-bit hook library hands the system and
// its host: the calling convention of every procedure given to the system or
// bound by name, and the sizes of the system records it passes. Built in both
// Windows trees (with the accessible element), so that the 32-bit build, where
// calling conventions differ, checks them too.
#include "hook64/GestureConfig.h"
#include "hook64/Hook64State.h"
#include "hook64/vexaHook64.h"

namespace {

// Takes the pointer as the given type: a procedure of another calling
// convention does not convert, and the check does not compile.
template <class To>
constexpr bool convertsTo(To pointer) {
    return pointer != nullptr;
}

// The hook procedures, given to SetWindowsHookExW and SetWinEventHook.
static_assert(convertsTo<HOOKPROC>(&CallWndHookProc), "CallWndHookProc is a HOOKPROC");
static_assert(convertsTo<HOOKPROC>(&GetMsgHookProc), "GetMsgHookProc is a HOOKPROC");
static_assert(convertsTo<WINEVENTPROC>(&WinEventProc), "WinEventProc is a WINEVENTPROC");

// The host's types of the two calls it binds by name.
static_assert(convertsTo<InsertHooks64Fn>(&InsertHooks64), "InsertHooks64 as the host calls it");
static_assert(convertsTo<RemoveHooks64Fn>(&RemoveHooks64), "RemoveHooks64 as the host calls it");

// The user32 entries bound by name are called as the system declares them.
static_assert(convertsTo<decltype(GestureFunctions::getMouseMovePointsEx)>(&GetMouseMovePointsEx),
              "GetMouseMovePointsEx");
static_assert(convertsTo<decltype(GestureFunctions::getGestureConfig)>(&GetGestureConfig),
              "GetGestureConfig");
static_assert(convertsTo<decltype(GestureFunctions::setGestureConfig)>(&SetGestureConfig),
              "SetGestureConfig");
static_assert(convertsTo<decltype(GestureFunctions::getGestureInfo)>(&GetGestureInfo),
              "GetGestureInfo");
static_assert(
    convertsTo<decltype(GestureFunctions::closeGestureInfoHandle)>(&CloseGestureInfoHandle),
    "CloseGestureInfoHandle");
static_assert(convertsTo<decltype(Hook64Process::tickCount)>(&GetTickCount), "GetTickCount");

// The gesture records, whose sizes go to the system with every call: 12 bytes
// a configuration entry, 56 the information record of the 64-bit library.
static_assert(sizeof(GESTURECONFIG) == 12, "GESTURECONFIG");
static_assert(sizeof(GESTUREINFO) == (sizeof(void*) == 8 ? 56 : 48), "GESTUREINFO");

}  // namespace
