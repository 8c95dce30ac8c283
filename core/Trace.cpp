#include "Trace.h"

#include <cstdarg>

#include "AppGlobals.h"

void debugTrace(const wchar_t* format, ...) {
    if (!format) return;
    wchar_t buffer[1024];
    va_list args;
    va_start(args, format);
    // wvsprintfW writes at most 1024 characters including the terminator.
    wvsprintfW(buffer, format, args);
    va_end(args);
    buffer[1023] = L'\0';
    OutputDebugStringW(buffer);
}

int showMessageBox(const wchar_t* text, UINT type) {
    appGlobals().startupFinished = true;
    return MessageBoxW(nullptr, text, L"Scribix",
                       type | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST);
}

int showMessage(const wchar_t* text) { return showMessageBox(text, 0); }
