// A guard against hardware faults in code the program does not own: calls
// into the platform's objects (releasing a Tablet PC object, handing it ink)
// may hit an access violation inside the platform, which must not take the
// program with it. C++ catch clauses cannot stop such a fault in this
// program's builds (the 32-bit one unwinds with DWARF tables, which know
// nothing of the system's exceptions, and the 64-bit one lets them pass), so
// the guard is a vectored exception handler with a recovery point per thread:
//
//     DWORD fault = 0;
//     if (!win::guarded([&] { object->Release(); }, &fault))
//         trace("... the release faulted (%08lx)", fault);
//
// Only hardware faults are taken (access violations, illegal or privileged
// instructions, divisions by zero, paging errors and the like); exceptions the
// code raises itself, C++ exceptions among them, go their usual way. What the
// guarded call was doing when it faulted is abandoned: destructors of its
// locals do not run, locks it took stay taken. Guard only a call into outside
// code, not code of the program that holds resources.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

namespace win {

// Runs `call(context)` on this thread; true when it returned. When a hardware
// fault happens inside it, the rest of the call is abandoned, `*fault` (when
// given) receives the exception code and the answer is false. Guards nest.
bool runGuarded(void (*call)(void*), void* context, DWORD* fault = nullptr);

// The same for any callable.
template <typename F>
bool guarded(F&& call, DWORD* fault = nullptr) {
    using Call = std::remove_reference_t<F>;
    return runGuarded([](void* f) { (*static_cast<Call*>(f))(); },
                      const_cast<void*>(static_cast<const void*>(&call)), fault);
}

// True for the exception codes the guard takes.
bool isHardwareFault(DWORD code);

}  // namespace win
