#include "Checks.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

// Both builds compute in SSE registers, so that scores and positions come out
// the same in 32 and 64 bits (the x87's wider intermediates round otherwise).
#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "the 32-bit build must compute floating point in SSE registers (-mfpmath=sse)"
#endif

namespace win {

namespace {

volatile LONG g_mainThread = 0;

void report(const char* text) {
    OutputDebugStringA(text);
    // Standard error reaches the test's log; a program without one still
    // leaves the trace above.
    std::fputs(text, stderr);
    std::fflush(stderr);
}

}  // namespace

bool checkedRun() {
    static const bool checked = [] {
        wchar_t value[8] = {};
        DWORD n = GetEnvironmentVariableW(L"SCRIBIX_CHECKS", value, 8);
        return n > 0 && n < 8 && value[0] != L'0';
    }();
    return checked;
}

int validateHeaps() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
        if (count > heaps.size()) count = static_cast<DWORD>(heaps.size());
    }
    int damaged = 0;
    for (DWORD i = 0; i < count; ++i) {
        if (HeapValidate(heaps[i], 0, nullptr)) continue;
        ++damaged;
        char text[128];
        std::snprintf(text, sizeof text, "heap check: heap %p of process %lu is damaged\n",
                      heaps[i], GetCurrentProcessId());
        report(text);
    }
    return damaged;
}

void setMainThread(DWORD threadId) {
    InterlockedExchange(&g_mainThread, static_cast<LONG>(threadId));
}

DWORD mainThread() { return static_cast<DWORD>(InterlockedCompareExchange(&g_mainThread, 0, 0)); }

void failCheck(const char* text) {
    report(text);
    // Not an exception: nothing on this thread may catch it and carry on.
    TerminateProcess(GetCurrentProcess(), 0xC000A0C1);
    std::abort();
}

const char* readableTypeName(const std::type_info& type) {
    // Kept in a set that is never emptied: an owner keeps the pointer, and
    // objects of a type come and go many times over a run.
    static SRWLOCK lock = SRWLOCK_INIT;
    static std::set<std::string>* names = new std::set<std::string>();
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    AcquireSRWLockExclusive(&lock);
    const char* kept = names->insert(std::move(name)).first->c_str();
    ReleaseSRWLockExclusive(&lock);
    return kept;
}

void OwnerThread::adoptOnMainThread(const char* operation) {
    adopt();
    const DWORD mainId = mainThread();
    if (mainId != 0 && mainId != id_ && checkedRun()) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "thread check: %s: %s on thread %lu; its window belongs on the main thread "
                      "%lu\n",
                      name_ ? name_ : "window object", operation ? operation : "made", id_, mainId);
        failCheck(text);
    }
}

void OwnerThread::fail(const char* operation, const char* name) const {
    char text[256];
    std::snprintf(
        text, sizeof text, "thread check: %s: %s on thread %lu; its owner is thread %lu\n",
        name ? name : "window object", operation ? operation : "used", GetCurrentThreadId(), id_);
    failCheck(text);
}

}  // namespace win
