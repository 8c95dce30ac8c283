// Crashes on purpose under the crash reporter's filter (the crash reporter test
// runs it and reads its report).
#include <windows.h>

#include "outside/ZVCrashRep.h"

namespace {

LONG WINAPI filter(EXCEPTION_POINTERS* exception) { return ZvCrashRepExceptionFilter(exception); }

}  // namespace

int main() {
    ZvCrashRepMailOptions(L"SMTP:test@example.org", 3);
    SetUnhandledExceptionFilter(filter);
    // An address the compiler cannot see through: a real write fault at run time.
    volatile ULONG_PTR address = 0x10;
    *reinterpret_cast<volatile int*>(address) = 1;
    return 0;
}
