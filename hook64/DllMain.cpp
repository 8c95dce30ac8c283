#include "hook64/Hook64State.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    Hook64Process& p = hook64Process();
    if (reason == DLL_PROCESS_ATTACH) {
        if (!p.module) {
            p.module = instance;
            SetSharingData64();
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        releaseSharingData64();
    }
    return TRUE;
}
