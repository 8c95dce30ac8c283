// Installing and removing the three hooks, and the small exports. The hook
// handles live in the block: the hook procedures in other processes pass them
// on, and only the host that installed them may remove them.
#include "hook64/Hook64State.h"
#include "hook64/vexaHook64.h"

namespace {

constexpr DWORD kEveryEventFirst = 1;
constexpr DWORD kEveryEventLast = 2147483647;

int refuse(const wchar_t* text) {
    MessageBoxW(GetFocus(), text, L"vexaHook64", MB_OK);
    return 0;
}

uint64_t stored(const void* handle) { return reinterpret_cast<ULONG_PTR>(handle); }

}  // namespace

int InsertHooks64(HINSTANCE, HWND helper) {
    SharedDataStruct* block = sharedBlock();
    if (!block) return 0;
    // Always our own module, whatever the host passes: the hooks must load
    // this library into the other processes.
    HMODULE module = hook64Process().module;

    HHOOK callWnd = SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndHookProc, module, 0);
    block->_hCallWndHook64 = stored(callWnd);
    if (!callWnd) return refuse(L"Could not install CallWndProc 64x hook");

    block->_hwndHelper64 = stored(helper);
    HWINEVENTHOOK events = SetWinEventHook(kEveryEventFirst, kEveryEventLast, module, WinEventProc,
                                           0, 0, WINEVENT_INCONTEXT);
    block->_hWinEventHook64 = stored(events);
    if (!events) return refuse(L"Could not install Event Hook (x64)");

    HHOOK getMsg = SetWindowsHookExW(WH_GETMESSAGE, GetMsgHookProc, module, 0);
    block->_hGetMsgHook64 = stored(getMsg);
    if (!getMsg) return refuse(L"Could not install GetMessage 64x hook");
    return 1;
}

void RemoveHooks64() {
    SharedDataStruct* block = sharedBlock();
    if (!block) return;
    // Each handle is cleared as it goes, so a second call removes nothing.
    if (block->_hGetMsgHook64) {
        UnhookWindowsHookEx(reinterpret_cast<HHOOK>(block->_hGetMsgHook64));
        block->_hGetMsgHook64 = 0;
    }
    if (block->_hWinEventHook64) {
        UnhookWinEvent(reinterpret_cast<HWINEVENTHOOK>(block->_hWinEventHook64));
        block->_hWinEventHook64 = 0;
    }
    if (block->_hCallWndHook64) {
        UnhookWindowsHookEx(reinterpret_cast<HHOOK>(block->_hCallWndHook64));
        block->_hCallWndHook64 = 0;
    }
}

int getLastFocusedElemInfo(UI_ELEM_INFO* info) {
    const SharedDataStruct* block = sharedBlock();
    if (block && info) {
        info->hwnd = handleOf(block->_hwndElem);
        info->idObject = block->_idObject;
        info->idChild = block->_idChild;
    }
    return 1;
}

void justTestCall() {}
