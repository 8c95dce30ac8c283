#include "hook64/Hook64State.h"

#include <stdarg.h>

#include "hook64/GestureConfig.h"

Hook64Process& hook64Process() {
    static Hook64Process process;
    return process;
}

void debugPrint(const wchar_t* format, ...) {
    // wvsprintfW writes up to 1024 characters whatever the buffer: give it
    // that room, then cut the line to the trace's length.
    WCHAR text[1025];
    va_list args;
    va_start(args, format);
    wvsprintfW(text, format, args);
    va_end(args);
    text[999] = L'\0';
    OutputDebugStringW(text);
}

namespace {

template <class Function>
void bind(HMODULE user32, const char* name, Function* out) {
    *out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

void forgetView(Hook64Process& p) {
    if (p.block) UnmapViewOfFile(p.block);
    p.block = nullptr;
}

}  // namespace

int SetSharingData64() {
    Hook64Process& p = hook64Process();
    if (p.mapping) return 0;
    WCHAR name[64];
    formatMapFileName(name, ARRAYSIZE(name));
    p.mapping = OpenFileMappingW(FILE_MAP_WRITE, TRUE, name);
    if (!p.mapping) {
        debugPrint(L"HOOK_64: _hFileMapping==NULL :-(     dwErr=0x%X filename=%s\n", GetLastError(),
                   name);
        return 0;
    }
    p.block = static_cast<SharedDataStruct*>(MapViewOfFile(p.mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (!p.block) {
        debugPrint(L"SetSharingData64:: MapViewOfFile returned NULL\n");
        return 0;
    }
    if (p.block->_iCheckSize != SHARED_DATA_SIZE) {
        debugPrint(L"SetSharingData64:: _SHARED(_iCheckSize) != sizeof(SharedDataStruct)\n");
        forgetView(p);
        CloseHandle(p.mapping);
        p.mapping = nullptr;
        return 0;
    }
    // user32 is imported anyway, so the addresses stay valid after the release.
    p.gestures = GestureFunctions{};
    if (HMODULE user32 = LoadLibraryW(L"user32.dll")) {
        bind(user32, "GetMouseMovePointsEx", &p.gestures.getMouseMovePointsEx);
        bind(user32, "GetGestureConfig", &p.gestures.getGestureConfig);
        bind(user32, "SetGestureConfig", &p.gestures.setGestureConfig);
        bind(user32, "GetGestureInfo", &p.gestures.getGestureInfo);
        bind(user32, "CloseGestureInfoHandle", &p.gestures.closeGestureInfoHandle);
        FreeLibrary(user32);
    }
    return 1;
}

void releaseSharingData64() {
    restoreGestureConfigAtDetach();
    Hook64Process& p = hook64Process();
    // The view holds the block as much as the handle does: both go.
    forgetView(p);
    if (p.mapping) CloseHandle(p.mapping);
    p.mapping = nullptr;
}
