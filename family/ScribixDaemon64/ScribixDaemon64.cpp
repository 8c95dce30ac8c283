// Placeholder host for the 64-bit hook library.
//
// The program starts this from its own folder on 64-bit Windows. Until the
// 64-bit hook library exists, the host only attaches to the shared block made
// by the 32-bit hook library and keeps a hidden window; it ends when the
// program has gone (the service window in the block is 0 or no longer a
// window) or when its window is closed. A second copy ends at once.
#include <windows.h>

#include "hook64/SharedData.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ScribixDaemon64WndClass";
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchMs = 250;

const SharedDataStruct* g_block = nullptr;

bool programGone() {
    HWND main = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(g_block->_hwndMain));
    return main == nullptr || !IsWindow(main);
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kWatchTimer && programGone()) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            KillTimer(window, kWatchTimer);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HANDLE single = CreateMutexW(nullptr, FALSE, L"ScribixDaemon64Mutex");
    if (!single || GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    WCHAR name[32];
    formatMapFileName(name, ARRAYSIZE(name));
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    if (!mapping) return 1;
    g_block = static_cast<const SharedDataStruct*>(
        MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SHARED_DATA_SIZE));
    if (!g_block || g_block->_iCheckSize != SHARED_DATA_SIZE || programGone()) return 2;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = hostWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassW(&wc)) return 3;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"ScribixDaemon64", WS_POPUP, 0,
                                  0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (!window || !SetTimer(window, kWatchTimer, kWatchMs, nullptr)) return 3;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnmapViewOfFile(g_block);
    CloseHandle(mapping);
    CloseHandle(single);
    return 0;
}
