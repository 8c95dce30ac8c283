#include "ink/MemoryBlocks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "ink/CoreTrace.h"

namespace {

const MemoryHeap cHeap = {&std::malloc, &std::realloc, &std::free};

struct BlockInfo {
    int size;
    bool tracked;
};

// The register of live blocks and the counters, under one lock: blocks are
// made and freed on the UI, pen-event and recognition threads.
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
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    void* block = size >= 0 ? r.heap->allocate(size > 0 ? size_t(size) : 1) : nullptr;
    if (!block) {
        ink::coreTrace(L"allocMemory() for %d bytes failed\n", size);
        return nullptr;
    }
    std::memset(block, 0, size_t(size));
    try {
        r.blocks.emplace(block, BlockInfo{size, tracked});
        r.count({size, tracked}, +1);
    } catch (const std::bad_alloc&) {
        r.heap->release(block);
        ink::coreTrace(L"allocMemory() for %d bytes failed\n", size);
        return nullptr;
    }
    return block;
}

bool freeMemory(void* block, bool) {
    if (!block) return true;
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.blocks.find(block);
    if (it == r.blocks.end()) {
        ink::coreTrace(L"getMemorySize: BAD_READ_PTR at 0x%08X", traceAddress(block));
        ink::coreTrace(L"freeMemory: BAD_READ_PTR at 0x%08X", traceAddress(block));
        return false;
    }
    r.count(it->second, -1);
    r.blocks.erase(it);
    r.heap->release(block);
    return true;
}

int getMemorySize(const void* block) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.blocks.find(block);
    if (it == r.blocks.end()) {
        ink::coreTrace(L"getMemorySize: BAD_READ_PTR at 0x%08X", traceAddress(block));
        return -1;
    }
    return it->second.size;
}

void* reallocMemory(void* block, int newSize, bool tracked) {
    if (!block) return allocMemory(newSize, tracked);
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.blocks.find(block);
    if (it == r.blocks.end()) {
        ink::coreTrace(L"reallocMemory: BAD_READ_PTR at 0x%08X", traceAddress(block));
        return nullptr;
    }
    void* moved =
        newSize >= 0 ? r.heap->reallocate(block, newSize > 0 ? size_t(newSize) : 1) : nullptr;
    if (!moved) {
        ink::coreTrace(L"reallocMemory() for %d bytes failed\n", newSize);
        return nullptr;
    }
    const BlockInfo old = it->second;
    if (newSize > old.size)
        std::memset(static_cast<char*>(moved) + old.size, 0, newSize - old.size);
    // The register entry moves with the block; re-keying the node allocates nothing.
    auto node = r.blocks.extract(it);
    node.key() = moved;
    node.mapped() = {newSize, tracked};
    r.blocks.insert(std::move(node));
    r.count(old, -1);
    r.count({newSize, tracked}, +1);
    return moved;
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
