// Faults with nothing to handle it, as a test program that crashes does, so
// that Wine starts its debugger; what status the run ends with is Wine's.
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("crash probe: about to read a bad address\n");
    std::fflush(stdout);
    volatile ULONG_PTR address = 0x10;
    return *reinterpret_cast<volatile int*>(address);
}
