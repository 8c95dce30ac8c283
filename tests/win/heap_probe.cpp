// Writes into a block after freeing it, then validates the heaps as every
// checked program does at its end; ends 0 whatever it found, so that only the
// test prefix's heap checks can make its run fail.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "win/Checks.h"

int main() {
    volatile int* block = static_cast<volatile int*>(std::malloc(256));
    block[0] = 1;
    std::free(const_cast<int*>(block));
    // The fault, in the middle of the freed block: away from the heap's own
    // links at its ends, so that without the checks the program runs on
    // unharmed (a write over a link crashes it at the next allocation).
    block[30] = 12345;
    std::printf("heap probe: wrote into a freed block; damaged heaps: %d\n", win::validateHeaps());
    return 0;
}
