// Helpers of the ink tests under Wine: an ink client that records what the
// manager hands it, a fixture with the ink manager of the process over a fake
// hook library and a settings key of its own, the ink layer window made as
// the program makes it, and reading pixels back from a window's own bitmap.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ink/InkPointList.h"
#include "ink/LocalClient.h"
#include "core/MemoryBlocks.h"
#include "ink/PenEventThread.h"
#include "core/AppGlobals.h"
#include "ink/LocalInkManager.h"
#include "core/Settings.h"
#include "tests/shell/FakeHookLibrary.h"
#include "tests/shell/TestSupport.h"

namespace inktest {

using Points = std::vector<InkPoint>;

inline std::vector<uint32_t> values(const Points& points) {
    std::vector<uint32_t> out;
    for (const InkPoint& p : points) out.push_back(inkPointValue(p));
    return out;
}

// A client record with a name, flags and rectangle areas (thousandths).
inline LocalClientRecord clientRecord(const wchar_t* name, int32_t flags = 0,
                                      const std::vector<ClientArea>* areas = nullptr) {
    LocalClientRecord r;
    std::memset(&r, 0, sizeof r);
    lstrcpynW(r.name, name, 60);
    r.enabled = 1;
    r.registrable = 1;
    r.flags = flags;
    r.inkParam1 = 1;
    r.inkParam2 = 500;
    r.inkParam3 = 700;
    if (areas && !areas->empty()) {
        r.areaCount = static_cast<int32_t>(areas->size());
        r.areas = areas->data();
    }
    return r;
}

// Records what the manager hands it; the pen-event thread calls onStrokes and
// onReset, so everything is guarded.
class TestInkClient : public LocalClient {
  public:
    explicit TestInkClient(const LocalClientRecord& record) : LocalClient(&record) {}
    explicit TestInkClient(const wchar_t* name, int32_t flags = 0)
        : TestInkClient(clientRecord(name, flags)) {}
    ~TestInkClient() override {
        if (deleted) *deleted = true;
    }

    int onNotify(int code, LPARAM argument) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            notes_.push_back({code, argument});
        }
        const int base = LocalClient::onNotify(code, argument);
        return notifyResult ? notifyResult : base;
    }
    int beginInk(HWND window, int x, int y) override {
        ++beginInkCalls;
        if (!accept) return 0;
        return LocalClient::beginInk(window, x, y);
    }
    int onStrokes(InkPoint* points, int count) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            strokes_.emplace_back(points, points + count);
        }
        if (strokeGate) WaitForSingleObject(strokeGate, INFINITE);
        freeMemory(points);
        return 1;
    }
    void onReset() override { ++resets; }
    int claimsPoint(HWND window, int x, int y) override {
        ++claimCalls;
        return LocalClient::claimsPoint(window, x, y);
    }

    std::vector<Points> strokes() const {
        std::lock_guard<std::mutex> guard(lock_);
        return strokes_;
    }
    std::vector<int> noteCodes() const {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<int> codes;
        for (const auto& n : notes_) codes.push_back(n.first);
        return codes;
    }
    std::vector<std::pair<int, LPARAM>> notes() const {
        std::lock_guard<std::mutex> guard(lock_);
        return notes_;
    }
    void forget() {
        std::lock_guard<std::mutex> guard(lock_);
        strokes_.clear();
        notes_.clear();
        resets = 0;
    }

    bool accept = true;
    int notifyResult = 0;
    std::atomic<int> beginInkCalls{0};
    std::atomic<int> claimCalls{0};
    std::atomic<int> resets{0};
    HANDLE strokeGate = nullptr;  // while not signalled, onStrokes waits
    bool* deleted = nullptr;

  private:
    mutable std::mutex lock_;
    std::vector<Points> strokes_;
    std::vector<std::pair<int, LPARAM>> notes_;
};

// The ink manager of this process over a fake hook library, with the settings
// in a key of the test's own and a known primary screen of 1280 x 1024.
class InkManagerFixture : public testing::Test {
  protected:
    void SetUp() override {
        previous_ = setHookLibrary(&fake_);
        fake_.SetInitValues();
        updateScreenMetrics();
        appGlobals().cxScreen = 1280;
        appGlobals().cyScreen = 1024;
        manager_ = new LocalInkManager;
        appGlobals().inkManager = manager_;
        fake_.forget();
    }
    void TearDown() override {
        appGlobals().inkManager = nullptr;
        delete manager_;
        setHookLibrary(previous_ == &fake_ ? nullptr : previous_);
        updateScreenMetrics();
    }

    std::vector<int> lastInkDriverParams() { return fake_.lastValues("setInkDriverParams"); }

    sxtest::TestSettingsKey key_{L"ink"};
    FakeHookLibrary fake_;
    HookLibrary* previous_ = nullptr;
    LocalInkManager* manager_ = nullptr;
};

// The ink layer and the guard window as the start-up makes them (hidden,
// off-screen, 10 x 10), in the application globals for the test's life.
class InkLayerWindows {
  public:
    InkLayerWindows();
    ~InkLayerWindows();
    HWND layer() const { return layer_; }
    HWND guard() const { return guard_; }

  private:
    HWND layer_ = nullptr;
    HWND guard_ = nullptr;
};

// The pixels of `window`'s own bitmap in `area` (client coordinates), as
// 0x00RRGGBB, row by row.
std::vector<uint32_t> readWindowPixels(HWND window, const RECT& area);

}  // namespace inktest
