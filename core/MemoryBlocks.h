// The program's block allocator: every ink point list and most variable arrays
// of the shell live in these blocks. Blocks are zero-filled and know their
// size. The allocator keeps a register of its live blocks, so a pointer that
// is not one of them (a stray pointer, an interior pointer, a block freed
// already) is refused with a trace instead of being released.
//
// Every function reports failure by null (or false) and a trace; a failed
// re-allocation leaves the old block untouched and still owned by the caller.
#pragma once

#include <cstddef>

// A new zero-filled block of `size` bytes (0 gives a valid empty block); null
// when the size is negative or memory runs out. `tracked` counts the block in
// the tracked counters as well.
void* allocMemory(int size, bool tracked = false);

// Releases a block of this allocator. Null is accepted and does nothing (true).
// A pointer that is not a live block is refused: traced, left alone, false.
// The block is counted the way it was allocated; `tracked` is accepted only
// for symmetry with allocMemory.
bool freeMemory(void* block, bool tracked = false);

// The block's size in bytes; -1 (with a trace) when it is not a live block.
int getMemorySize(const void* block);

// Moves the block to one of `newSize` bytes: the leading bytes are kept (no
// more than the new size), new bytes are zero. Returns the new block, which
// replaces the old one. On failure returns null and the old block is still
// valid and still the caller's. A null block allocates a new one.
void* reallocMemory(void* block, int newSize, bool tracked = false);

// The block itself when it holds at least `size` bytes, else
// reallocMemory(block, size + slack) with the same failure contract.
void* ensureMemorySize(void* block, int size, int slack, bool tracked = false);

// Process-wide counters, for traces.
struct MemoryCounters {
    long liveBlocks;     // blocks allocated now
    long totalBytes;     // bytes allocated now
    long totalBlocks;    // blocks allocated since start
    long trackedBytes;   // bytes now held by tracked blocks
    long trackedBlocks;  // tracked blocks allocated now
};
MemoryCounters getMemoryCounters();

// Where the blocks come from. The C heap by default; tests put a heap in that
// fails on demand to reach the failure paths.
struct MemoryHeap {
    void* (*allocate)(size_t size);  // need not zero-fill
    void* (*reallocate)(void* block, size_t size);
    void (*release)(void* block);
};
// Replaces the heap (null restores the C heap) and returns the previous one
// (null for the C heap). Blocks made before the switch are released through
// the new heap, so it must accept them.
const MemoryHeap* setMemoryHeap(const MemoryHeap* heap);
