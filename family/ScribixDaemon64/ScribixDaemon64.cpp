// The 64-bit host of the 64-bit hook library.
//
// The program starts this from its own folder on 64-bit Windows. The host
// keeps a hidden helper window, loads vexaHook64.dll from its own folder and
// has it hook every 64-bit process; the library posts WM_CLOSE to the helper
// window once the program has gone, and the host then removes the hooks and
// ends. Should the program die without saying so (its service window no
// longer a window), the host notices that itself. A second copy ends at once.
//
// Exit codes: 0 after WM_CLOSE, 1 when the library refused to hook (no shared
// block), 2 when the library or its functions are missing, 3 when the window
// could not be made.
#include <windows.h>

#include <string>

#include "hook64/SharedData.h"
#include "hook64/vexaHook64.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ScribixDaemon64WndClass";
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchMs = 250;

const SharedDataStruct* g_block = nullptr;

// A program that crashed leaves a dead handle behind; 0 is the library's to
// handle (it closes this window).
bool programDied() {
    if (!g_block) return false;
    HWND main = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(g_block->_hwndMain));
    return main != nullptr && !IsWindow(main);
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kWatchTimer && programDied()) DestroyWindow(window);
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            KillTimer(window, kWatchTimer);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::wstring besideThisProgram(const wchar_t* file) {
    WCHAR path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n < MAX_PATH ? n : 0);
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    return folder + file;
}

// A read-only view of the block for the watch; the library maps its own.
class BlockView {
  public:
    BlockView() {
        WCHAR name[32];
        formatMapFileName(name, ARRAYSIZE(name));
        mapping_ = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
        if (mapping_)
            view_ = static_cast<const SharedDataStruct*>(
                MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, SHARED_DATA_SIZE));
    }
    ~BlockView() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
    }
    const SharedDataStruct* get() const { return view_; }

  private:
    HANDLE mapping_ = nullptr;
    const SharedDataStruct* view_ = nullptr;
};

int runHost(HINSTANCE instance) {
    HMODULE library = LoadLibraryW(besideThisProgram(L"vexaHook64.dll").c_str());
    if (!library) return 2;
    auto insertHooks =
        reinterpret_cast<InsertHooks64Fn>(GetProcAddress(library, VEXAHOOK64_INSERT_HOOKS_NAME));
    auto removeHooks =
        reinterpret_cast<RemoveHooks64Fn>(GetProcAddress(library, VEXAHOOK64_REMOVE_HOOKS_NAME));
    if (!insertHooks || !removeHooks) {
        FreeLibrary(library);
        return 2;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = hostWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    HWND window = nullptr;
    if (RegisterClassW(&wc))
        window = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"ScribixDaemon64", WS_POPUP, 0, 0,
                                 1, 1, nullptr, nullptr, instance, nullptr);
    if (!window) {
        FreeLibrary(library);
        return 3;
    }
    BlockView block;
    g_block = block.get();
    int code = 1;
    if (insertHooks(instance, window)) {
        SetTimer(window, kWatchTimer, kWatchMs, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        code = 0;
    }
    // Hooks installed before a failure stay until removed.
    removeHooks();
    if (IsWindow(window)) DestroyWindow(window);
    g_block = nullptr;
    FreeLibrary(library);
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HANDLE single = CreateMutexW(nullptr, FALSE, L"ScribixDaemon64Mutex");
    if (!single) return 3;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(single);
        return 0;
    }
    const int code = runHost(instance);
    CloseHandle(single);
    return code;
}
