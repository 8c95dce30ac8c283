#include "FaultGuard.h"

#include <cstdint>

namespace win {

namespace {

// Stack room, inside the guard's own frame, for the step that leaves the
// faulting code: the faulting thread's stack below the fault still holds the
// system's exception records while the handler runs, so nothing is written
// there.
constexpr size_t kResumeRoom = 2048;

// One recovery point. `room` comes first: the resume step's stack grows from
// its end toward lower addresses and never reaches the fields after it.
struct Guard {
    alignas(16) unsigned char room[kResumeRoom];
    void* jump[5];  // __builtin_setjmp's buffer
    Guard* outer;
    DWORD code;
    DWORD lastError;  // when the fault came
    // The 32-bit system keeps a chain of exception frames in the thread
    // block; frames the abandoned code registered must leave it.
    void* frameChain;
};

DWORD guardSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

// TlsGetValue clears the thread's last error, which belongs to the code
// around the guard: it is kept.
Guard* currentGuard() {
    const DWORD slot = guardSlot();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    const DWORD lastError = GetLastError();
    Guard* guard = static_cast<Guard*>(TlsGetValue(slot));
    SetLastError(lastError);
    return guard;
}

void setCurrentGuard(Guard* guard) {
    const DWORD slot = guardSlot();
    if (slot != TLS_OUT_OF_INDEXES) TlsSetValue(slot, guard);
}

// The head of that chain (fs:[0] of the 32-bit thread block); none in 64 bits.
void* frameChainNow() {
#ifdef _WIN64
    return nullptr;
#else
    void* chain;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(chain));
    return chain;
#endif
}

void restoreFrameChain(void* chain) {
#ifdef _WIN64
    (void)chain;
#else
    __asm__ volatile("movl %0, %%fs:0" : : "r"(chain) : "memory");
#endif
}

// Runs where the fault was, as if the faulting instruction had called it,
// on the guard's room: back to the recovery point.
[[noreturn]] __attribute__((noinline)) void resumeAfterFault() {
    Guard* guard = currentGuard();
    restoreFrameChain(guard->frameChain);
    __builtin_longjmp(guard->jump, 1);
}

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
    if (!info || !info->ExceptionRecord || !info->ContextRecord ||
        !isHardwareFault(info->ExceptionRecord->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    Guard* guard = currentGuard();
    if (!guard) return EXCEPTION_CONTINUE_SEARCH;
    guard->code = info->ExceptionRecord->ExceptionCode;
    guard->lastError = GetLastError();
    // The faulting code goes on in resumeAfterFault, with a return address to
    // where it faulted, on a 16-byte aligned stack in the guard's room.
    CONTEXT* context = info->ContextRecord;
    uintptr_t top = reinterpret_cast<uintptr_t>(guard->room + kResumeRoom - 64) & ~uintptr_t(15);
#ifdef _WIN64
    top -= sizeof(DWORD64);
    *reinterpret_cast<DWORD64*>(top) = context->Rip;
    context->Rsp = top;
    context->Rip = reinterpret_cast<DWORD64>(&resumeAfterFault);
#else
    top -= sizeof(DWORD);
    *reinterpret_cast<DWORD*>(top) = context->Eip;
    context->Esp = static_cast<DWORD>(top);
    context->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&resumeAfterFault));
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

// The call; a C++ exception leaving it takes the guard with it on its way out.
void callUnder(void (*call)(void*), void* context, Guard* outer) {
    try {
        call(context);
    } catch (...) {
        setCurrentGuard(outer);
        throw;
    }
}

bool installHandler() {
    static const bool installed =
        guardSlot() != TLS_OUT_OF_INDEXES && AddVectoredExceptionHandler(1, onException) != nullptr;
    return installed;
}

}  // namespace

bool isHardwareFault(DWORD code) {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_IN_PAGE_ERROR:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_FLT_DENORMAL_OPERAND:
        case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        case EXCEPTION_FLT_INEXACT_RESULT:
        case EXCEPTION_FLT_INVALID_OPERATION:
        case EXCEPTION_FLT_OVERFLOW:
        case EXCEPTION_FLT_STACK_CHECK:
        case EXCEPTION_FLT_UNDERFLOW:
            return true;
        default:
            // A stack overflow leaves no stack to recover on; everything else
            // is raised by code that expects its own handlers to see it.
            return false;
    }
}

__attribute__((noinline)) bool runGuarded(void (*call)(void*), void* context, DWORD* fault) {
    if (fault) *fault = 0;
    if (!call) return true;
    if (!installHandler()) {
        // Without the handler the call runs unguarded rather than not at all.
        call(context);
        return true;
    }
    Guard guard;
    guard.outer = currentGuard();
    guard.code = 0;
    guard.frameChain = frameChainNow();
    setCurrentGuard(&guard);
    if (__builtin_setjmp(guard.jump) == 0) {
        callUnder(call, context, guard.outer);
        setCurrentGuard(guard.outer);
        return true;
    }
    // Back from a fault: every register but the frame is what the jump left.
    Guard* faulted = currentGuard();
    setCurrentGuard(faulted->outer);
    if (fault) *fault = faulted->code;
    SetLastError(faulted->lastError);
    return false;
}

}  // namespace win
