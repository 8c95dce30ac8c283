#include "Memory.h"

#include <stdlib.h>

namespace vexa {

#ifdef VEXASHAPE_ALLOC_HOOK
namespace {
long gAllowed = -1;

bool allocationRefused() {
    if (gAllowed < 0) return false;
    if (gAllowed == 0) return true;
    --gAllowed;
    return false;
}
}  // namespace

void failAllocationsAfter(long allowed) { gAllowed = allowed; }
#else
static inline bool allocationRefused() { return false; }
#endif

void* allocBlock(size_t bytes) {
    if (allocationRefused()) return nullptr;
    return malloc(bytes ? bytes : 1);
}

void* allocZeroed(size_t bytes) {
    if (allocationRefused()) return nullptr;
    return calloc(1, bytes ? bytes : 1);
}

void freeBlock(void* block) { free(block); }

}  // namespace vexa
