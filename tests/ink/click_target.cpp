// ink_click_target.exe x y width height: a top-most window of its own process
// that counts the left-button presses and releases it gets. Other processes
// ask with kAskPresses / kAskReleases (sent) and end it with WM_CLOSE.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "click_target.h"

namespace {

LONG g_presses = 0;
LONG g_releases = 0;

LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
            ++g_presses;
            return 0;
        case WM_LBUTTONUP:
            ++g_releases;
            return 0;
        case kAskPresses:
            return g_presses;
        case kAskReleases:
            return g_releases;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;  // the count must not depend on activation
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int args = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &args);
    int place[4] = {300, 300, 300, 200};
    for (int i = 0; i < 4 && i + 1 < args; ++i) place[i] = _wtoi(argv[i + 1]);
    LocalFree(argv);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = kClickTargetClass;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, kClickTargetClass, L"click target",
                                  WS_POPUP | WS_VISIBLE, place[0], place[1], place[2], place[3],
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
