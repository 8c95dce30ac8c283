// Stand-in for the product family's crash reporter: a short text report beside
// the program, written with stack buffers and plain file calls only.
#include "ZVCrashRep.h"

#include <cstdio>

namespace {

WCHAR g_mailOptions[128];
int g_mailFlags = 0;
volatile LONG g_reporting = 0;

// msvcrt's formatter: no heap, and it knows %p.
template <typename... Args>
void fmt(char (&line)[256], const char* format, Args... args) {
    _snprintf(line, sizeof line, format, args...);
    line[sizeof line - 1] = '\0';
}

void put(HANDLE file, const char* text) {
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
}

void putWide(HANDLE file, const char* label, const WCHAR* text) {
    char utf8[MAX_PATH * 3];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (n <= 0) utf8[0] = '\0';
    put(file, label);
    put(file, utf8);
    put(file, "\r\n");
}

// "<folder>\<program>.crash.txt" for the running program.
bool reportPath(WCHAR* path, DWORD capacity) {
    DWORD n = GetModuleFileNameW(nullptr, path, capacity);
    if (n == 0 || n >= capacity) return false;
    WCHAR* dot = nullptr;
    for (WCHAR* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/') dot = nullptr;
        if (*p == L'.') dot = p;
    }
    if (dot) *dot = L'\0';
    if (lstrlenW(path) + 11 >= static_cast<int>(capacity)) return false;
    lstrcatW(path, L".crash.txt");
    return true;
}

}  // namespace

extern "C" {

void ZVCRASHREP_CALL ZvCrashRepMailOptions(const WCHAR* mailOptions, int flags) {
    lstrcpynW(g_mailOptions, mailOptions ? mailOptions : L"", ARRAYSIZE(g_mailOptions));
    g_mailFlags = flags;
}

LONG ZVCRASHREP_CALL ZvCrashRepExceptionFilter(EXCEPTION_POINTERS* exception) {
    // A second fault while reporting (or on another thread) only ends the process.
    if (InterlockedExchange(&g_reporting, 1) != 0) return EXCEPTION_EXECUTE_HANDLER;
    WCHAR path[MAX_PATH];
    if (!reportPath(path, MAX_PATH)) return EXCEPTION_EXECUTE_HANDLER;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return EXCEPTION_EXECUTE_HANDLER;

    char line[256];
    SYSTEMTIME now;
    GetLocalTime(&now);
    put(file, "Crash report\r\n");
    WCHAR program[MAX_PATH];
    if (GetModuleFileNameW(nullptr, program, MAX_PATH)) putWide(file, "program: ", program);
    fmt(line, "time: %04u-%02u-%02u %02u:%02u:%02u\r\nprocess: %lu\r\nthread: %lu\r\n", now.wYear,
        now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, GetCurrentProcessId(),
        GetCurrentThreadId());
    put(file, line);

    const EXCEPTION_RECORD* record = exception ? exception->ExceptionRecord : nullptr;
    if (record) {
        fmt(line, "exception: 0x%08lX at 0x%p flags 0x%lX\r\n", record->ExceptionCode,
            record->ExceptionAddress, record->ExceptionFlags);
        put(file, line);
        if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
            const ULONG_PTR kind = record->ExceptionInformation[0];
            fmt(line, "access violation: %s 0x%p\r\n",
                kind == 0   ? "reading"
                : kind == 1 ? "writing"
                            : "executing",
                reinterpret_cast<void*>(record->ExceptionInformation[1]));
            put(file, line);
        }
        HMODULE module = nullptr;
        WCHAR modulePath[MAX_PATH];
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(record->ExceptionAddress), &module) &&
            GetModuleFileNameW(module, modulePath, MAX_PATH)) {
            putWide(file, "module: ", modulePath);
            fmt(line, "offset: 0x%lX\r\n",
                static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(record->ExceptionAddress) -
                                           reinterpret_cast<ULONG_PTR>(module)));
            put(file, line);
        }
    }
    const CONTEXT* context = exception ? exception->ContextRecord : nullptr;
    if (context) {
#if defined(_M_IX86) || defined(__i386__)
        fmt(line, "eip 0x%08lX esp 0x%08lX ebp 0x%08lX eax 0x%08lX\r\n", context->Eip, context->Esp,
            context->Ebp, context->Eax);
#else
        fmt(line, "rip 0x%p rsp 0x%p rbp 0x%p\r\n", reinterpret_cast<void*>(context->Rip),
            reinterpret_cast<void*>(context->Rsp), reinterpret_cast<void*>(context->Rbp));
#endif
        put(file, line);
    }
    putWide(file, "mail: ", g_mailOptions);
    fmt(line, "mail flags: %d\r\n", g_mailFlags);
    put(file, line);
    CloseHandle(file);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // extern "C"
