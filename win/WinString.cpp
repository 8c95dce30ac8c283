#include "WinString.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace win {

std::wstring format(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = _vsnwprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
        if (buffer.size() > (1u << 20)) return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring loadString(HINSTANCE module, UINT id) {
    const wchar_t* text = nullptr;
    // With a zero length LoadStringW hands out the read-only resource itself.
    const int n = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? std::wstring(text, n) : std::wstring();
}

std::wstring modulePath(HMODULE module) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) return std::wstring(path.data(), n);
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring moduleFolder(HMODULE module) {
    std::wstring path = modulePath(module);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring windowText(HWND window) {
    // WM_GETTEXT, not GetWindowText: it also reads controls of other processes.
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length) ||
        length == 0)
        return std::wstring();
    std::vector<wchar_t> text(length + 1);
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 2000, &got))
        return std::wstring();
    return std::wstring(text.data(), got < text.size() ? got : text.size() - 1);
}

std::wstring windowClassName(HWND window) {
    wchar_t name[256];
    const int n = GetClassNameW(window, name, 256);
    return n > 0 ? std::wstring(name, n) : std::wstring();
}

}  // namespace win
