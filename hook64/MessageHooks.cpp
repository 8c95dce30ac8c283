// The call-window-procedure-return hook and the get-message hook. Neither
// changes a message; both always pass the call on.
#include "hook64/MessageHooks.h"

#include "hook64/GestureConfig.h"
#include "hook64/Hook64State.h"
#include "hook64/vexaHook64.h"

namespace {

constexpr DWORD kTwoFingerTap = 6;  // GID_TWOFINGERTAP
constexpr DWORD kGestureBegin = 1;  // GF_BEGIN

HHOOK hookOf(uint64_t stored) { return reinterpret_cast<HHOOK>(static_cast<ULONG_PTR>(stored)); }

void postToProgram(UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageW(handleOf(sharedBlock()->_hwndMain), message, wParam, lParam);
}

void detectTap(LPARAM gestureHandle) {
    GESTUREINFO info;
    if (!readGestureInfo(reinterpret_cast<HGESTUREINFO>(gestureHandle), &info)) return;
    if (info.dwID != kTwoFingerTap || !(info.dwFlags & kGestureBegin)) return;
    if (!isInTapRect(info.ptsLocation.x, info.ptsLocation.y)) return;
    if (!isDebounceElapsed(&sharedBlock()->_dwLastTapTick, kTapDebounceMs)) return;
    postToProgram(hook64::WM_INK_SETPEN, 0, 1);
}

}  // namespace

bool isInTapRect(int x, int y) {
    const RECT& r = sharedBlock()->_rcTap;
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool isDebounceElapsed(volatile uint32_t* stored, DWORD ms) {
    const DWORD now = hook64Process().tickCount();
    const DWORD last = *stored;
    if (now < last || now - last > ms) {
        *stored = now;
        return true;
    }
    return false;
}

bool isSameProcessWindow(HWND a, HWND b) {
    if (a == b) return true;
    if (!a || !b) return false;
    DWORD first = 0, second = 0;
    GetWindowThreadProcessId(a, &first);
    GetWindowThreadProcessId(b, &second);
    return first == second;
}

LRESULT CALLBACK CallWndHookProc(int code, WPARAM wParam, LPARAM lParam) {
    SharedDataStruct* block = sharedBlock();
    if (!block) return CallNextHookEx(nullptr, code, wParam, lParam);
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code < 0 || !call)
        return CallNextHookEx(hookOf(block->_hCallWndHook64), code, wParam, lParam);

    if (block->_hwndMain == 0) {
        // The program has gone: put the window's gestures back and let the host end.
        restoreModifiedGestureConfig64(true);
        HWND helper = handleOf(block->_hwndHelper64);
        if (helper && IsWindow(helper)) PostMessageW(helper, WM_CLOSE, 0, 0);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (call->message == WM_GESTURENOTIFY) {
        const GESTURENOTIFYSTRUCT* notify =
            reinterpret_cast<const GESTURENOTIFYSTRUCT*>(call->lParam);
        // The window procedure has answered already: its own configuration is
        // what gets bent.
        if (notify && isSameProcessWindow(call->hwnd, notify->hwndTarget)) {
            if (block->_iBlockPan == 0 && block->_iTwoFingerTap == 0)
                restoreModifiedGestureConfig64(true);
            else
                adjustGestureConfig(notify->hwndTarget);
        }
    } else if (call->message == WM_GESTURE && block->_iTwoFingerTap != 0) {
        detectTap(call->lParam);
    }
    return CallNextHookEx(hookOf(block->_hCallWndHook64), code, wParam, lParam);
}

LRESULT CALLBACK GetMsgHookProc(int code, WPARAM wParam, LPARAM lParam) {
    SharedDataStruct* block = sharedBlock();
    if (!block) return CallNextHookEx(nullptr, code, wParam, lParam);
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code < 0 || !msg || block->_hwndMain == 0)
        return CallNextHookEx(hookOf(block->_hGetMsgHook64), code, wParam, lParam);

    if (msg->message == WM_GESTURE && block->_iTwoFingerTap != 0) {
        // Also for a message that is only peeked at: the debounce makes one tap of it.
        detectTap(msg->lParam);
    } else if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE && msg->hwnd &&
               wParam == PM_REMOVE) {
        postToProgram(hook64::WM_INK_ESCAPE, 0, 0);
    }
    return CallNextHookEx(hookOf(block->_hGetMsgHook64), code, wParam, lParam);
}
