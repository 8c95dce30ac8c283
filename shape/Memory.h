// Allocation of the shape recognizer. Every allocation goes through here so
// that a lack of memory is answered (null, 0 or 0xFFFF) instead of thrown, and
// so that the tests of the native core can make the n-th allocation fail.
#ifndef VEXASHAPE_MEMORY_H
#define VEXASHAPE_MEMORY_H

#include <stddef.h>

namespace vexa {

void* allocBlock(size_t bytes);
void* allocZeroed(size_t bytes);
void freeBlock(void* block);

#ifdef VEXASHAPE_ALLOC_HOOK
// Test seam of the native core: after `allowed` more successful allocations
// every allocation fails, until failAllocationsAfter(-1) lifts the limit.
void failAllocationsAfter(long allowed);
#endif

}  // namespace vexa

#endif
