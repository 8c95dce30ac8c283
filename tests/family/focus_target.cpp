// A small application of its own for the hook library tests: a window with an
// edit field that takes the focus at start; it ends when its window is closed.
#include <windows.h>

namespace {

HWND g_edit = nullptr;

LRESULT CALLBACK targetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            g_edit = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10,
                                     200, 24, window, reinterpret_cast<HMENU>(1), nullptr, nullptr);
            return 0;
        case WM_SETFOCUS:
            // Pass the focus on to the edit field, as a dialog would.
            if (g_edit) SetFocus(g_edit);
            return 0;
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
    wc.lpszClassName = L"SxFocusTarget";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Focus target", WS_OVERLAPPEDWINDOW, 50, 50,
                                  300, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(g_edit);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
