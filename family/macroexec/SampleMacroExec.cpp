// A macro executor library: the "{Custom:command:parameter}" tokens it runs.
//   Upper:text   the text in capitals
//   Wrap:text    "{text}": a token built from the parameter ("{Custom:Wrap:F5}"
//                presses F5), so that one macro can hand its text on as a key
//   Title        the title of the window the macro runs for
// Every other command is left to the next library.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "MacroExecutor.h"

namespace {

wchar_t* handOver(const std::wstring& text) {
    auto* out = new (std::nothrow) wchar_t[text.size() + 1];
    if (out) wmemcpy(out, text.c_str(), text.size() + 1);
    return out;
}

}  // namespace

extern "C" {

__declspec(dllexport) int __cdecl DoCustomMacroProc(HWND target, const wchar_t* command,
                                                    const wchar_t* parameter, wchar_t** text) {
    if (!command || !text) return 0;
    *text = nullptr;
    if (wcscmp(command, L"Upper") == 0) {
        std::wstring t = parameter ? parameter : L"";
        for (wchar_t& c : t) c = static_cast<wchar_t>(std::towupper(c));
        *text = handOver(t);
        return 1;
    }
    if (wcscmp(command, L"Wrap") == 0) {
        if (!parameter || !*parameter) return 0;
        *text = handOver(L"{" + std::wstring(parameter) + L"}");
        return 1;
    }
    if (wcscmp(command, L"Title") == 0) {
        wchar_t title[256] = L"";
        if (!target || !IsWindow(target)) return 0;
        GetWindowTextW(target, title, 256);
        *text = handOver(title);
        return 1;
    }
    return 0;
}

__declspec(dllexport) void __cdecl ReleaseStringProc(wchar_t* text) { delete[] text; }
}
