// Stand-in for the Zorvane note application: it runs its listener window
// ("ZVListenerWindow"), answers the readiness check and takes clips sent as
// WM_COPYDATA. Each clip is kept beside the program as it arrives: the fields
// of the block in "received<N>.txt" (one "name = value" line each, UTF-8) and
// the file's bytes in "received<N>.bin"; the readiness checks are counted in
// "checks.txt". Switches: "/notready <n>" answers the first n checks with 0;
// "/quit" closes a running instance.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Zorvane.h"

namespace {

UINT g_checkListener = 0;
UINT g_createNote = 0;
int g_notReady = 0;
int g_checks = 0;
int g_received = 0;
std::wstring g_folder;

std::wstring folderOfProgram() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

bool writeFile(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

// The next zero-terminated UTF-8 field at `at`, or false when none ends in the block.
bool field(const char* data, size_t size, size_t* at, std::string* out) {
    if (*at >= size) return false;
    const void* end = memchr(data + *at, 0, size - *at);
    if (!end) return false;
    const size_t length = static_cast<const char*>(end) - (data + *at);
    out->assign(data + *at, length);
    *at += length + 1;
    return true;
}

LRESULT onCopyData(const COPYDATASTRUCT* copy) {
    if (!copy || copy->dwData != g_createNote || !copy->lpData) return 0;
    const char* data = static_cast<const char*>(copy->lpData);
    const size_t size = copy->cbData;
    size_t at = 0;
    std::string title, fileName, mime, reserved;
    if (!field(data, size, &at, &title) || !field(data, size, &at, &fileName) ||
        !field(data, size, &at, &mime) || !field(data, size, &at, &reserved))
        return 0;
    ++g_received;
    const std::string text = "title = " + title + "\nfile = " + fileName + "\nmime = " + mime +
                             "\nreserved = " + reserved + "\nbytes = " + std::to_string(size - at) +
                             "\n";
    const std::wstring base = g_folder + L"received" + std::to_wstring(g_received);
    writeFile(base + L".bin", data + at, size - at);
    writeFile(base + L".txt", text.data(), text.size());
    return 1;
}

LRESULT CALLBACK listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == g_checkListener && g_checkListener) {
        ++g_checks;
        const std::string count = std::to_string(g_checks) + "\n";
        writeFile(g_folder + L"checks.txt", count.data(), count.size());
        return g_checks > g_notReady ? 1 : 0;
    }
    switch (message) {
        case WM_COPYDATA:
            return onCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool quit = false;
    for (int i = 1; argv && i < argc; ++i) {
        if (lstrcmpiW(argv[i], L"/notready") == 0 && i + 1 < argc) g_notReady = _wtoi(argv[++i]);
        if (lstrcmpiW(argv[i], L"/quit") == 0) quit = true;
    }
    if (argv) LocalFree(argv);
    HWND running = FindWindowW(ZORVANE_LISTENER_CLASS, nullptr);
    if (quit) {
        if (running) PostMessageW(running, WM_CLOSE, 0, 0);
        return 0;
    }
    if (running) return 0;  // one instance answers

    g_folder = folderOfProgram();
    g_checkListener = RegisterWindowMessageW(ZVM_CHECKLISTENER_NAME);
    g_createNote = RegisterClipboardFormatW(ZVCD_CREATENOTEFROMFILE_NAME);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = listenerProc;
    wc.hInstance = instance;
    wc.lpszClassName = ZORVANE_LISTENER_CLASS;
    if (!RegisterClassW(&wc)) return 1;
    // A hidden top-level window: the note application shows nothing for a clip.
    if (!CreateWindowExW(WS_EX_TOOLWINDOW, ZORVANE_LISTENER_CLASS, L"Zorvane", WS_POPUP, 0, 0, 0, 0,
                         nullptr, nullptr, instance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
