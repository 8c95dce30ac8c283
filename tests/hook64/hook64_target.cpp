// A 64-bit application for the hook library's tests: one window with a plain
// edit and a read-only edit. It comes to the front at start; a test moves the
// focus with kFocusEdit (wParam 0: the edit, 1: the read-only edit) and closes
// it with WM_CLOSE. Everything else is the system's own behaviour.
#include <windows.h>

#include "tests/hook64/Hook64Target.h"

namespace {

HWND g_edits[2];

LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case hook64target::kFocusEdit:
            if (wParam < 2) SetFocus(g_edits[wParam]);
            return reinterpret_cast<LRESULT>(GetFocus());
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = targetProc;
    wc.hInstance = instance;
    wc.lpszClassName = hook64target::kWindowClass;
    if (!RegisterClassW(&wc)) return 1;
    HWND main = CreateWindowExW(0, hook64target::kWindowClass, L"hook64 target",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 200, nullptr,
                                nullptr, instance, nullptr);
    if (!main) return 1;
    g_edits[0] = CreateWindowExW(0, L"Edit", L"plain", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10,
                                 300, 24, main, reinterpret_cast<HMENU>(1), instance, nullptr);
    g_edits[1] =
        CreateWindowExW(0, L"Edit", L"read-only", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY,
                        10, 50, 300, 24, main, reinterpret_cast<HMENU>(2), instance, nullptr);
    SetForegroundWindow(main);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
