// What the 64-bit hook library keeps per hooked process: its module, the
// mapped shared block, and the touch-gesture functions of user32 bound by
// name (systems without touch gestures lack them; everything that needs them
// then does nothing).
#pragma once

#include <windows.h>

#include "hook64/SharedData.h"

struct GestureFunctions {
    int(WINAPI* getMouseMovePointsEx)(UINT, LPMOUSEMOVEPOINT, LPMOUSEMOVEPOINT, int, DWORD);
    BOOL(WINAPI* getGestureConfig)(HWND, DWORD, DWORD, PUINT, PGESTURECONFIG, UINT);
    BOOL(WINAPI* setGestureConfig)(HWND, DWORD, UINT, PGESTURECONFIG, UINT);
    BOOL(WINAPI* getGestureInfo)(HGESTUREINFO, PGESTUREINFO);
    BOOL(WINAPI* closeGestureInfoHandle)(HGESTUREINFO);
};

struct Hook64Process {
    HMODULE module = nullptr;
    HANDLE mapping = nullptr;
    SharedDataStruct* block = nullptr;  // null: the library stays idle in this process
    GestureFunctions gestures = {};
    DWORD(WINAPI* tickCount)() = GetTickCount;  // the tap debounce's clock
};

Hook64Process& hook64Process();

inline SharedDataStruct* sharedBlock() { return hook64Process().block; }

// Opens and maps the block once per process; 1 when it is in use.
int SetSharingData64();
// Process detach: gives back a bent gesture configuration, then the block.
void releaseSharingData64();

// Every trace of the library; output longer than 999 characters is cut.
void debugPrint(const wchar_t* format, ...);

// Window handles live in the block as their low 32 bits, whatever the bitness
// of the process that wrote them.
inline uint32_t handle32(HWND window) {
    return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(window));
}
inline HWND handleOf(uint32_t value) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
}
inline HWND handleOf(uint64_t value) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
}
