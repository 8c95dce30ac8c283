// Loads the 64-bit hook library into a fresh process, as a hooked application
// would, and reports through the debug output what came of it:
//   "PROBE insert=<InsertHooks64's answer> dialogs=<message boxes tried>
//    views=<views of the block while loaded> left=<views after unloading>"
// Argument "insert" also calls InsertHooks64 (and RemoveHooks64); without it
// the library is only loaded and unloaded. A view is recognised by the marker
// the test writes at the end of the block.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "hook64/SharedData.h"
#include "hook64/vexaHook64.h"
#include "tests/hook64/TestBlock.h"

namespace {

int g_dialogs = 0;

// Counts and cancels every dialog this thread tries to make.
LRESULT CALLBACK cbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CBT_CREATEWNDW* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        if (create->lpcs->lpszClass == MAKEINTATOM(32770) ||
            (!IS_INTRESOURCE(create->lpcs->lpszClass) &&
             wcscmp(create->lpcs->lpszClass, L"#32770") == 0)) {
            ++g_dialogs;
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

int viewsOfTheBlock() {
    int views = 0;
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const char* address = static_cast<const char*>(si.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION info;
    while (address < static_cast<const char*>(si.lpMaximumApplicationAddress) &&
           VirtualQuery(address, &info, sizeof info) == sizeof info) {
        if (info.State == MEM_COMMIT && info.Type == MEM_MAPPED &&
            (info.Protect & (PAGE_READONLY | PAGE_READWRITE)) &&
            info.RegionSize >= SHARED_DATA_SIZE) {
            const char* base = static_cast<const char*>(info.BaseAddress);
            if (memcmp(base + hook64test::kMarkerOffset, hook64test::kMarker,
                       sizeof hook64test::kMarker) == 0)
                ++views;
        }
        address = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    }
    return views;
}

}  // namespace

int main(int argc, char** argv) {
    const bool insert = argc > 1 && strcmp(argv[1], "insert") == 0;
    HHOOK cbt = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
    HMODULE library = LoadLibraryW(L"vexaHook64.dll");
    if (!library) return 2;
    int inserted = -1;
    if (insert) {
        auto insertHooks = reinterpret_cast<InsertHooks64Fn>(
            GetProcAddress(library, VEXAHOOK64_INSERT_HOOKS_NAME));
        auto removeHooks = reinterpret_cast<RemoveHooks64Fn>(
            GetProcAddress(library, VEXAHOOK64_REMOVE_HOOKS_NAME));
        inserted = insertHooks(nullptr, nullptr);
        removeHooks();
    }
    const int loadedViews = viewsOfTheBlock();
    FreeLibrary(library);
    const int leftViews = viewsOfTheBlock();
    UnhookWindowsHookEx(cbt);
    char report[128];
    snprintf(report, sizeof report, "PROBE insert=%d dialogs=%d views=%d left=%d", inserted,
             g_dialogs, loadedViews, leftViews);
    OutputDebugStringA(report);
    return GetModuleHandleW(L"vexaHook64.dll") ? 3 : 0;
}
