// The hook library's procedures driven in this process: a block of our own
// stands for the shared one, the touch-gesture functions and the tap clock are
// fakes the test controls, and a window of this thread stands for the
// program's service window and counts what the hooks post to it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <map>
#include <memory>
#include <vector>

#include "hook64/GestureConfig.h"
#include "hook64/Hook64State.h"
#include "tests/support/TraceCapture.h"

namespace hooktest {

// The gesture configuration of windows as the fake user32 keeps it, and the
// gesture information handed out for fake gesture handles.
struct FakeGestures {
    std::map<HWND, std::map<DWORD, GESTURECONFIG>> configs;
    std::vector<std::vector<GESTURECONFIG>> sets;  // every SetGestureConfig call
    bool setFails = false;
    std::map<ULONG_PTR, GESTUREINFO> infos;  // by handle; missing: GetGestureInfo fails
    std::vector<ULONG_PTR> closed;
    DWORD now = 100000;

    static FakeGestures*& current() {
        static FakeGestures* f = nullptr;
        return f;
    }
    static BOOL WINAPI getConfig(HWND w, DWORD, DWORD, PUINT count, PGESTURECONFIG out, UINT) {
        for (UINT i = 0; i < *count; ++i) {
            const auto& window = current()->configs[w];
            auto it = window.find(out[i].dwID);
            out[i] = it != window.end() ? it->second : GESTURECONFIG{out[i].dwID, 0, 0};
        }
        return TRUE;
    }
    static BOOL WINAPI setConfig(HWND w, DWORD, UINT count, PGESTURECONFIG in, UINT size) {
        if (size != sizeof(GESTURECONFIG) || current()->setFails) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        current()->sets.emplace_back(in, in + count);
        for (UINT i = 0; i < count; ++i) current()->configs[w][in[i].dwID] = in[i];
        return TRUE;
    }
    static BOOL WINAPI getInfo(HGESTUREINFO handle, PGESTUREINFO info) {
        if (info->cbSize != sizeof(GESTUREINFO)) return FALSE;
        auto it = current()->infos.find(reinterpret_cast<ULONG_PTR>(handle));
        if (it == current()->infos.end()) return FALSE;
        *info = it->second;
        info->cbSize = sizeof(GESTUREINFO);
        return TRUE;
    }
    static BOOL WINAPI closeInfo(HGESTUREINFO handle) {
        current()->closed.push_back(reinterpret_cast<ULONG_PTR>(handle));
        return TRUE;
    }
    static DWORD WINAPI tick() { return current()->now; }
};

class HookFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        block_ = std::make_unique<SharedDataStruct>();
        ZeroMemory(block_.get(), sizeof(SharedDataStruct));
        block_->_iCheckSize = SHARED_DATA_SIZE;
        block_->_iEnabled = 1;
        service_ = CreateWindowExW(0, L"Static", L"service", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
        block_->_hwndMain = handle32(service_);
        FakeGestures::current() = &gestures_;
        Hook64Process& p = hook64Process();
        p.block = block_.get();
        p.gestures = GestureFunctions{nullptr, FakeGestures::getConfig, FakeGestures::setConfig,
                                      FakeGestures::getInfo, FakeGestures::closeInfo};
        p.tickCount = FakeGestures::tick;
        rememberedGestureConfig() = RememberedGestureConfig();
    }
    void TearDown() override {
        Hook64Process& p = hook64Process();
        p.block = nullptr;
        p.gestures = GestureFunctions{};
        p.tickCount = GetTickCount;
        rememberedGestureConfig() = RememberedGestureConfig();
        FakeGestures::current() = nullptr;
        DestroyWindow(service_);
        CoUninitialize();
    }

    // How many of `message` were posted to the service window (taken off its queue).
    int posted(UINT message) {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, service_, message, message, PM_REMOVE)) ++n;
        return n;
    }

    SharedDataStruct& block() { return *block_; }
    HWND service() const { return service_; }
    FakeGestures gestures_;

  private:
    std::unique_ptr<SharedDataStruct> block_;
    HWND service_ = nullptr;
};

}  // namespace hooktest
