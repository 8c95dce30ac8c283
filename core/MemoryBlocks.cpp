#include "core/MemoryBlocks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "core/CoreTrace.h"

namespace {

void* heapAllocate(size_t size) { return std::malloc(size); }
void* heapReallocate(void* block, size_t size) { return std::realloc(block, size); }
void heapRelease(void* block) { std::free(block); }

const MemoryHeap cHeap = {&heapAllocate, &heapReallocate, &heapRelease};

struct BlockInfo {
    int size;
    bool tracked;
};

// The register of live blocks and the counters, under one lock: blocks are
// made and freed on the UI, pen-event and recognition threads. Traces are
// written after the lock is let go.
struct Registry {
    std::mutex lock;
    std::unordered_map<const void*, BlockInfo> blocks;
    const MemoryHeap* heap = &cHeap;
    MemoryCounters counters{};

    // Counts a block in (+1) or out (-1); totalBlocks only ever grows.
    void count(BlockInfo info, int sign) {
        counters.liveBlocks += sign;
        counters.totalBytes += sign * long(info.size);
        if (sign > 0) ++counters.totalBlocks;
        if (info.tracked) {
            counters.trackedBlocks += sign;
            counters.trackedBytes += sign * long(info.size);
        }
    }

    // A zero-filled block registered under `info`; null when memory runs out.
    void* allocate(BlockInfo info) {
        std::lock_guard<std::mutex> guard(lock);
        void* block = heap->allocate(info.size > 0 ? size_t(info.size) : 1);
        if (!block) return nullptr;
        try {
            blocks.emplace(block, info);
        } catch (const std::bad_alloc&) {
            heap->release(block);
            return nullptr;
        }
        std::memset(block, 0, size_t(info.size));
        count(info, +1);
        return block;
    }

    bool release(void* block) {
        std::lock_guard<std::mutex> guard(lock);
        auto it = blocks.find(block);
        if (it == blocks.end()) return false;
        count(it->second, -1);
        blocks.erase(it);
        heap->release(block);
        return true;
    }

    int sizeOf(const void* block) {
        std::lock_guard<std::mutex> guard(lock);
        auto it = blocks.find(block);
        return it == blocks.end() ? -1 : it->second.size;
    }

    enum class Moved { kDone, kNotABlock, kNoMemory };

    // Moves a live block to `info.size` bytes; on failure the block stays as it was.
    Moved move(void*& block, BlockInfo info) {
        std::lock_guard<std::mutex> guard(lock);
        auto it = blocks.find(block);
        if (it == blocks.end()) return Moved::kNotABlock;
        void* moved = heap->reallocate(block, info.size > 0 ? size_t(info.size) : 1);
        if (!moved) return Moved::kNoMemory;
        const BlockInfo old = it->second;
        if (info.size > old.size)
            std::memset(static_cast<char*>(moved) + old.size, 0, size_t(info.size - old.size));
        // The register entry moves with the block; re-keying the node allocates nothing.
        auto node = blocks.extract(it);
        node.key() = moved;
        node.mapped() = info;
        blocks.insert(std::move(node));
        count(old, -1);
        count(info, +1);
        block = moved;
        return Moved::kDone;
    }
};

Registry& registry() {
    // Never destroyed: blocks may still be freed by other static destructors.
    static Registry* instance = new Registry;
    return *instance;
}

unsigned traceAddress(const void* block) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(block));
}

}  // namespace

void* allocMemory(int size, bool tracked) {
    void* block = size >= 0 ? registry().allocate({size, tracked}) : nullptr;
    if (!block) ink::coreTrace(L"allocMemory() for %d bytes failed\n", size);
    return block;
}

bool freeMemory(void* block, bool) {
    if (!block || registry().release(block)) return true;
    ink::coreTrace(L"getMemorySize: BAD_READ_PTR at 0x%08X", traceAddress(block));
    ink::coreTrace(L"freeMemory: BAD_READ_PTR at 0x%08X", traceAddress(block));
    return false;
}

int getMemorySize(const void* block) {
    const int size = registry().sizeOf(block);
    if (size < 0) ink::coreTrace(L"getMemorySize: BAD_READ_PTR at 0x%08X", traceAddress(block));
    return size;
}

void* reallocMemory(void* block, int newSize, bool tracked) {
    if (!block) return allocMemory(newSize, tracked);
    void* moved = block;
    switch (newSize >= 0 ? registry().move(moved, {newSize, tracked})
                         : Registry::Moved::kNoMemory) {
        case Registry::Moved::kDone:
            return moved;
        case Registry::Moved::kNotABlock:
            ink::coreTrace(L"reallocMemory: BAD_READ_PTR at 0x%08X", traceAddress(block));
            return nullptr;
        case Registry::Moved::kNoMemory:
            break;
    }
    ink::coreTrace(L"reallocMemory() for %d bytes failed\n", newSize);
    return nullptr;
}

void* ensureMemorySize(void* block, int size, int slack, bool tracked) {
    if (block) {
        const int have = getMemorySize(block);
        if (have < 0) return nullptr;
        if (have >= size) return block;
    }
    if (size < 0 || slack < 0 || size > INT32_MAX - slack) {
        ink::coreTrace(L"reallocMemory() for %d bytes failed\n", size);
        return nullptr;
    }
    return reallocMemory(block, size + slack, tracked);
}

MemoryCounters getMemoryCounters() {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.counters;
}

const MemoryHeap* setMemoryHeap(const MemoryHeap* heap) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    const MemoryHeap* previous = r.heap;
    r.heap = heap ? heap : &cHeap;
    return previous == &cHeap ? nullptr : previous;
}
