// The block allocator: zero-filled sized blocks, counters, and the failure
// paths: pointers that are not live blocks are refused untouched, and a failed
// re-allocation leaves the old block valid.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "core/MemoryBlocks.h"
#include "trace_capture.h"

namespace {

using inktest::TraceCapture;

// A heap that fails while `failing` is set.
std::atomic<bool> failing{false};
void* mayAllocate(size_t n) { return failing ? nullptr : std::malloc(n); }
void* mayReallocate(void* p, size_t n) { return failing ? nullptr : std::realloc(p, n); }
const MemoryHeap failableHeap = {&mayAllocate, &mayReallocate, &std::free};

class MemoryBlocksTest : public testing::Test {
  protected:
    void SetUp() override { previousHeap_ = setMemoryHeap(&failableHeap); }
    void TearDown() override {
        failing = false;
        setMemoryHeap(previousHeap_);
    }

    static bool allZero(const void* block, int size) {
        const auto* bytes = static_cast<const unsigned char*>(block);
        for (int i = 0; i < size; ++i)
            if (bytes[i]) return false;
        return true;
    }

    TraceCapture traces_;
    const MemoryHeap* previousHeap_ = nullptr;
};

TEST_F(MemoryBlocksTest, BlocksAreZeroFilledAndKnowTheirSize) {
    for (int size : {0, 1, 80, 40000}) {
        SCOPED_TRACE(size);
        const MemoryCounters before = getMemoryCounters();
        void* block = allocMemory(size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(getMemorySize(block), size);
        EXPECT_TRUE(allZero(block, size));
        const MemoryCounters during = getMemoryCounters();
        EXPECT_EQ(during.liveBlocks, before.liveBlocks + 1);
        EXPECT_EQ(during.totalBytes, before.totalBytes + size);
        EXPECT_EQ(during.totalBlocks, before.totalBlocks + 1);
        EXPECT_EQ(during.trackedBlocks, before.trackedBlocks);
        EXPECT_TRUE(freeMemory(block));
        const MemoryCounters after = getMemoryCounters();
        EXPECT_EQ(after.liveBlocks, before.liveBlocks);
        EXPECT_EQ(after.totalBytes, before.totalBytes);
    }
    EXPECT_TRUE(traces_.take().empty());
}

TEST_F(MemoryBlocksTest, TrackedBlocksAreCountedApart) {
    const MemoryCounters before = getMemoryCounters();
    void* block = allocMemory(100, true);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(getMemoryCounters().trackedBlocks, before.trackedBlocks + 1);
    EXPECT_EQ(getMemoryCounters().trackedBytes, before.trackedBytes + 100);
    block = reallocMemory(block, 300, true);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(getMemoryCounters().trackedBytes, before.trackedBytes + 300);
    // The block remembers how it was counted, whatever the caller says on free.
    EXPECT_TRUE(freeMemory(block, false));
    EXPECT_EQ(getMemoryCounters().trackedBlocks, before.trackedBlocks);
    EXPECT_EQ(getMemoryCounters().trackedBytes, before.trackedBytes);
}

TEST_F(MemoryBlocksTest, FailedAllocationIsTracedAndNull) {
    const MemoryCounters before = getMemoryCounters();
    failing = true;
    EXPECT_EQ(allocMemory(40000), nullptr);
    failing = false;
    EXPECT_EQ(allocMemory(-1), nullptr);
    EXPECT_EQ(traces_.take(), (std::vector<std::wstring>{L"allocMemory() for 40000 bytes failed\n",
                                                         L"allocMemory() for -1 bytes failed\n"}));
    EXPECT_EQ(getMemoryCounters().liveBlocks, before.liveBlocks);
    EXPECT_EQ(getMemoryCounters().totalBytes, before.totalBytes);
}

// Each case hands freeMemory something that is not a live block; under the
// sanitizers a release of any of them would be reported as a bad free.
TEST_F(MemoryBlocksTest, RefusesToFreeWhatIsNotALiveBlock) {
    int onStack = 0;
    char* block = static_cast<char*>(allocMemory(64));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, 64);
    void* freed = allocMemory(16);
    ASSERT_TRUE(freeMemory(freed));
    void* foreign = std::malloc(32);

    struct Case {
        const char* name;
        void* pointer;
    };
    const Case cases[] = {{"stack", &onStack},
                          {"interior", block + 8},
                          {"freed already", freed},
                          {"foreign", foreign}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MemoryCounters before = getMemoryCounters();
        EXPECT_FALSE(freeMemory(c.pointer));
        const std::wstring at = TraceCapture::address(c.pointer);
        EXPECT_EQ(traces_.take(),
                  (std::vector<std::wstring>{L"getMemorySize: BAD_READ_PTR at " + at,
                                             L"freeMemory: BAD_READ_PTR at " + at}));
        EXPECT_EQ(getMemoryCounters().liveBlocks, before.liveBlocks);
        EXPECT_EQ(getMemoryCounters().totalBytes, before.totalBytes);
        EXPECT_EQ(getMemorySize(c.pointer), -1);
        traces_.take();
    }
    // The block whose inside was offered is whole and still ours.
    EXPECT_EQ(getMemorySize(block), 64);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], 0x5A);
    EXPECT_TRUE(freeMemory(block));
    std::free(foreign);
    EXPECT_TRUE(freeMemory(nullptr));
}

TEST_F(MemoryBlocksTest, ReallocationKeepsLeadingBytesAndZeroFillsGrowth) {
    struct Case {
        int from, to;
    };
    for (const Case& c : {Case{80, 400}, Case{400, 80}, Case{100, 100}, Case{10, 0}}) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        auto* block = static_cast<unsigned char*>(allocMemory(c.from));
        ASSERT_NE(block, nullptr);
        for (int i = 0; i < c.from; ++i) block[i] = static_cast<unsigned char>(i * 7 + 1);
        auto* moved = static_cast<unsigned char*>(reallocMemory(block, c.to));
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(getMemorySize(moved), c.to);
        for (int i = 0; i < std::min(c.from, c.to); ++i) {
            ASSERT_EQ(moved[i], static_cast<unsigned char>(i * 7 + 1)) << i;
        }
        if (c.to > c.from) {
            EXPECT_TRUE(allZero(moved + c.from, c.to - c.from));
        }
        EXPECT_TRUE(freeMemory(moved));
    }
    void* fresh = reallocMemory(nullptr, 24);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(allZero(fresh, 24));
    EXPECT_TRUE(freeMemory(fresh));
}

TEST_F(MemoryBlocksTest, FailedReallocationKeepsTheOldBlock) {
    auto* block = static_cast<unsigned char*>(allocMemory(80));
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, 80);
    const MemoryCounters before = getMemoryCounters();

    failing = true;
    EXPECT_EQ(reallocMemory(block, 4000), nullptr);
    EXPECT_EQ(ensureMemorySize(block, 4000, 80), nullptr);
    failing = false;
    EXPECT_EQ(reallocMemory(block, -5), nullptr);

    EXPECT_EQ(traces_.take(),
              (std::vector<std::wstring>{L"reallocMemory() for 4000 bytes failed\n",
                                         L"reallocMemory() for 4080 bytes failed\n",
                                         L"reallocMemory() for -5 bytes failed\n"}));
    EXPECT_EQ(getMemoryCounters().liveBlocks, before.liveBlocks);
    EXPECT_EQ(getMemoryCounters().totalBytes, before.totalBytes);
    EXPECT_EQ(getMemorySize(block), 80);
    for (int i = 0; i < 80; ++i) ASSERT_EQ(block[i], 0xA5);
    EXPECT_TRUE(freeMemory(block));
}

TEST_F(MemoryBlocksTest, ReallocationRefusesWhatIsNotALiveBlock) {
    void* freed = allocMemory(16);
    ASSERT_TRUE(freeMemory(freed));
    EXPECT_EQ(reallocMemory(freed, 64), nullptr);
    EXPECT_EQ(ensureMemorySize(freed, 64, 16), nullptr);
    const std::wstring at = TraceCapture::address(freed);
    EXPECT_EQ(traces_.take(), (std::vector<std::wstring>{L"reallocMemory: BAD_READ_PTR at " + at,
                                                         L"getMemorySize: BAD_READ_PTR at " + at}));
}

TEST_F(MemoryBlocksTest, EnsureSizeGrowsOnlyWhenShortAndAddsSlack) {
    void* block = allocMemory(80);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(ensureMemorySize(block, 80, 80), block);
    EXPECT_EQ(ensureMemorySize(block, 12, 80), block);
    void* grown = ensureMemorySize(block, 84, 80);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(getMemorySize(grown), 164);
    EXPECT_TRUE(freeMemory(grown));
}

// Strokes are made on the pen-event thread and freed on others: the register
// stays whole under concurrent use.
TEST_F(MemoryBlocksTest, ThreadsShareTheAllocator) {
    const MemoryCounters before = getMemoryCounters();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            std::vector<void*> held;
            for (int i = 0; i < 500; ++i) {
                void* block = allocMemory(16 + (i * 13 + t) % 200);
                if (!block) continue;
                if (i % 3 == 0) {
                    void* moved = reallocMemory(block, 300);
                    if (moved) block = moved;
                }
                held.push_back(block);
                if (held.size() > 20) {
                    freeMemory(held.front());
                    held.erase(held.begin());
                }
            }
            for (void* block : held) freeMemory(block);
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(getMemoryCounters().liveBlocks, before.liveBlocks);
    EXPECT_EQ(getMemoryCounters().totalBytes, before.totalBytes);
    EXPECT_TRUE(traces_.take().empty());
}

}  // namespace
