// A macro executor for the tests: commands that show how the program calls
// executors, and a count of the texts it handed back.
//   Loop         "x{Custom:Loop}": a text that asks for itself again
//   Echo:p       p (null parameter: "(null)")
//   Upper:p      "probe" (another library's answer to a command the sample runs)
//   Decline      leaves a text but reports the command as not handled
//   Silent       handled, no text
#include <windows.h>

#include <cwchar>
#include <string>

namespace {
LONG g_released = 0;
LONG g_outstanding = 0;

wchar_t* handOver(const std::wstring& text) {
    auto* out = new wchar_t[text.size() + 1];
    wmemcpy(out, text.c_str(), text.size() + 1);
    InterlockedIncrement(&g_outstanding);
    return out;
}
}  // namespace

extern "C" {

__declspec(dllexport) int __cdecl DoCustomMacroProc(HWND, const wchar_t* command,
                                                    const wchar_t* parameter, wchar_t** text) {
    *text = nullptr;
    const std::wstring c = command ? command : L"";
    if (c == L"Loop") {
        *text = handOver(L"x{Custom:Loop}");
        return 1;
    }
    if (c == L"Echo") {
        *text = handOver(parameter ? parameter : L"(null)");
        return 1;
    }
    if (c == L"Upper") {
        *text = handOver(L"probe");
        return 1;
    }
    if (c == L"Decline") {
        static wchar_t kept[] = L"declined";
        *text = kept;
        return 0;
    }
    return c == L"Silent" ? 1 : 0;
}

__declspec(dllexport) void __cdecl ReleaseStringProc(wchar_t* text) {
    InterlockedIncrement(&g_released);
    InterlockedDecrement(&g_outstanding);
    delete[] text;
}

// How many texts came back, and how many are still out.
__declspec(dllexport) LONG __cdecl probeReleased() { return g_released; }
__declspec(dllexport) LONG __cdecl probeOutstanding() { return g_outstanding; }
}
