#include "SystemHooks.h"

#include <atomic>
#include <cwchar>

#include "AppGlobals.h"
#include "HookLibrary.h"
#include "RegisteredMessages.h"
#include "ServiceMessages.h"
#include "Settings.h"
#include "Trace.h"

namespace {

DWORD g_timeLimitMs = 15000;
// The largest block of process ids the walk takes (bytes).
constexpr DWORD kLongestProcessList = 4u << 20;
// Answers the walk's request for process ids in place of the system (tests).
ProcessIdsSource g_processIdsSource = nullptr;

// What the starter and the hook thread share. Each side holds a reference and
// its own handle of the event, so a thread that reports after the time-out
// signals a live event. Whoever changes `state` first decides: the thread
// (reported in time) or the starter (timed out); a thread that lost installs
// nothing, and takes out again what it had just installed.
struct HookThreadStart {
    enum { kPending = 0, kReported = 1, kAbandoned = 2 };
    std::atomic<LONG> references{2};
    std::atomic<int> state{kPending};
    HANDLE event = nullptr;  // the thread's own handle; it closes it

    void release() {
        if (references.fetch_sub(1) == 1) delete this;
    }
};

HANDLE g_hookThread = nullptr;
DWORD g_hookThreadId = 0;
bool g_hookThreadAbandoned = false;

}  // namespace

int threadPriorityOf(int priority) {
    if (priority >= THREAD_PRIORITY_TIME_CRITICAL) return THREAD_PRIORITY_TIME_CRITICAL;
    if (priority > THREAD_PRIORITY_HIGHEST) return THREAD_PRIORITY_HIGHEST;
    if (priority <= THREAD_PRIORITY_IDLE) return THREAD_PRIORITY_IDLE;
    if (priority < THREAD_PRIORITY_LOWEST) return THREAD_PRIORITY_LOWEST;
    return priority;
}

namespace {

thread_local HookThreadStart* t_start = nullptr;  // the hook thread's own record

bool startAbandoned() { return t_start && t_start->state == HookThreadStart::kAbandoned; }

BOOL CALLBACK postRetryNotice(HWND window, LPARAM) {
    PostMessageW(window, kHookRetryNotice, 0, 0);
    return TRUE;
}

int insertHooksOnce() {
    if (startAbandoned()) return 0;
    return hookLibrary().InsertHooks(nullptr, getServiceWindow()) ? 1 : 0;
}

// InsertHooks, once more after 2000 ms when refused. 1 on success.
int tryToInstallHooks() {
    if (insertHooksOnce()) return 1;
    if (startAbandoned()) return 0;
    EnumWindows(postRetryNotice, 0);
    Sleep(2000);
    return insertHooksOnce();
}

constexpr wchar_t kInstallError[] = L"InkService hooks install error";

DWORD WINAPI hookThreadMain(void* parameter) {
    HookThreadStart* start = static_cast<HookThreadStart*>(parameter);
    t_start = start;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // a queue before anyone posts to it

    const int installed = tryToInstallHooks();
    int pending = HookThreadStart::kPending;
    const bool inTime = start->state.compare_exchange_strong(pending, HookThreadStart::kReported);
    if (!inTime && installed) hookLibrary().RemoveAllHooks();
    if (inTime) {
        int prioritySetting = 101;
        ReadSetting(L"InnerSystemClient", L"priorityInkCollector", &prioritySetting, SETTING_NUMBER,
                    0);
        // The setting holds the priority + 100; the hook thread runs one step above it.
        SetThreadPriority(GetCurrentThread(), threadPriorityOf(prioritySetting - 99));
    }
    SetEvent(start->event);
    CloseHandle(start->event);
    start->event = nullptr;
    t_start = nullptr;
    start->release();
    if (!inTime) return 0;
    // Only now that the start goes on: a box the user leaves open must not
    // hold the start up until its time-out ends the program.
    if (!installed) showMessage(kInstallError);

    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

void applyHookTabletMode() {
    const AppGlobals& g = appGlobals();
    GeneralSettings& settings = generalSettings();
    const int superGesture =
        settings.superGestureAllowed && (g.digitizerReady || settings.superGestureID == 101);
    hookLibrary().setHookTabletMode(g.tabletPC && settings.useTabletCollector ? 1 : 0,
                                    settings.allowedInputType, superGesture,
                                    settings.superGestureID, &settings.superGestureScreenArea);
}

void setHookThreadTimeLimit(DWORD milliseconds) { g_timeLimitMs = milliseconds; }

int StartHookThread() {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE event = CreateEventW(&inheritable, TRUE, FALSE, L"SetHookWaitEvent");
    if (!event) {
        showMessage(L"Could not open interprocess event (SetHookWaitEvent).");
        return 0;
    }
    auto* start = new HookThreadStart;
    if (!DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &start->event, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        delete start;
        CloseHandle(event);
        return 0;
    }
    DWORD threadId = 0;
    HANDLE thread = CreateThread(&inheritable, 0, hookThreadMain, start, 0, &threadId);
    if (!thread) {
        CloseHandle(start->event);
        delete start;
        CloseHandle(event);
        return 0;
    }
    g_hookThread = thread;
    g_hookThreadId = threadId;
    g_hookThreadAbandoned = false;
    const DWORD waited = WaitForSingleObject(event, g_timeLimitMs);
    CloseHandle(event);
    int pending = HookThreadStart::kPending;
    const bool timedOut = waited != WAIT_OBJECT_0 && start->state.compare_exchange_strong(
                                                         pending, HookThreadStart::kAbandoned);
    start->release();
    if (timedOut) {
        g_hookThreadAbandoned = true;
        showMessage(L"The system hooks set process is timed out.");
        return 0;
    }
    // Reported in time, even if the event came a moment after the wait ended.
    return 1;
}

void stopHookThread() {
    if (!g_hookThread) return;
    if (g_hookThreadId) PostThreadMessageW(g_hookThreadId, WM_QUIT, 0, 0);
    // A thread still stuck in the library after a time-out is left to the process exit.
    if (!g_hookThreadAbandoned && WaitForSingleObject(g_hookThread, 2000) != WAIT_OBJECT_0)
        debugTrace(L"stopHookThread: the hook thread did not end\n");
    CloseHandle(g_hookThread);
    g_hookThread = nullptr;
    g_hookThreadId = 0;
}

void removeHooks() {
    hookLibrary().RemoveAllHooks();
    DWORD recipients = BSM_ALLCOMPONENTS;  // the default recipients
    BroadcastSystemMessageW(BSF_POSTMESSAGE, &recipients, registeredMessages().broadcast, 0, 0);
    enumAllProcessModules();
}

int applyInkDriverParams(int penOn, int mode, int value3, int value4, int value5, int value6,
                         int value7, int value8) {
    appGlobals().inkDriverMode = mode;
    return hookLibrary().setInkDriverParams(penOn, mode, value3, value4, value5, value6, value7,
                                            value8);
}

PenEventRing* getHookEventStack(int reserved) { return hookLibrary().getEventStack(reserved); }

BOOL walkProcesses(DWORD reserved, ProcessWalkCallback callback, LPARAM parameter) {
    if (reserved != 0 || !callback) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE psapi = LoadLibraryW(L"psapi.dll");
    if (!psapi) return FALSE;
    using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
    using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
    using GetModuleFileNameExFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
    auto enumProcesses = reinterpret_cast<EnumProcessesFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcesses")));
    auto enumModules = reinterpret_cast<EnumProcessModulesFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcessModules")));
    auto moduleFileName = reinterpret_cast<GetModuleFileNameExFn>(
        reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleFileNameExW")));
    if (g_processIdsSource) enumProcesses = g_processIdsSource;
    if (!enumProcesses || !enumModules || !moduleFileName) {
        FreeLibrary(psapi);
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }

    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    const DWORD systemId = version.dwMajorVersion < 5 ? 8 : version.dwMinorVersion == 0 ? 2 : 4;

    HANDLE heap = GetProcessHeap();
    DWORD blockBytes = 256;
    DWORD* ids = nullptr;
    DWORD returned = 0;
    for (;;) {
        ids = static_cast<DWORD*>(HeapAlloc(heap, 0, blockBytes));
        if (!ids) {
            FreeLibrary(psapi);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        if (!enumProcesses(ids, blockBytes, &returned)) {
            const DWORD error = GetLastError();
            HeapFree(heap, 0, ids);
            FreeLibrary(psapi);
            SetLastError(error);
            return FALSE;
        }
        if (returned < blockBytes) break;
        HeapFree(heap, 0, ids);
        // The system's answer grows the block; a million processes is beyond any.
        if (blockBytes >= kLongestProcessList) {
            FreeLibrary(psapi);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        blockBytes *= 2;
    }

    const DWORD count = returned / sizeof(DWORD);
    for (DWORD i = 0; i < count; ++i) {
        const DWORD id = ids[i];
        wchar_t path[MAX_PATH + 1];
        const wchar_t* name = nullptr;
        if (id == 0) {
            name = L"Idle";
        } else if (id == systemId) {
            name = L"System";
        } else if (HANDLE process =
                       OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id)) {
            HMODULE first = nullptr;
            DWORD needed = 0;
            if (enumModules(process, &first, sizeof first, &needed) &&
                moduleFileName(process, first, path, MAX_PATH)) {
                path[MAX_PATH] = L'\0';
                const wchar_t* slash = wcsrchr(path, L'\\');
                name = slash ? slash + 1 : path;
            }
            CloseHandle(process);
        }
        if (!callback(id, name, parameter)) break;
    }
    HeapFree(heap, 0, ids);
    FreeLibrary(psapi);
    return TRUE;
}

void setProcessIdsSource(ProcessIdsSource source) { g_processIdsSource = source; }

void enumAllProcessModules() {
    walkProcesses(
        0, [](DWORD, const wchar_t*, LPARAM) -> BOOL { return TRUE; }, 0);
}
