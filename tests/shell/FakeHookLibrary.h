// A hook library for in-process tests: it records every call with its thread
// and can refuse or hold up InsertHooks. Like the real library it makes the
// queue event "InkDriverQueueEvent" in SetInitValues and offers a pen-event
// ring of its own, which tests fill.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/HookLibrary.h"

struct HookCall {
    std::string name;
    std::vector<int> values;
    DWORD thread;
    HWND window;
};

class FakeHookLibrary : public HookLibrary {
  public:
    FakeHookLibrary() : gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
    ~FakeHookLibrary() override {
        CloseHandle(gate_);
        if (queueEvent_) CloseHandle(queueEvent_);
    }

    // InsertHooks fails this many times before it succeeds.
    int insertFailures = 0;
    // While closed, InsertHooks waits (a hook thread that never reports).
    void closeGate() { ResetEvent(gate_); }
    void openGate() { SetEvent(gate_); }
    wchar_t messageForClient[64] = L"";

    std::vector<HookCall> calls() {
        std::lock_guard<std::mutex> guard(lock_);
        return calls_;
    }
    std::vector<HookCall> calls(const std::string& name) {
        std::vector<HookCall> result;
        for (const HookCall& c : calls())
            if (c.name == name) result.push_back(c);
        return result;
    }
    size_t count(const std::string& name) { return calls(name).size(); }
    // The values of the last call of `name` (empty when there was none).
    std::vector<int> lastValues(const std::string& name) {
        const std::vector<HookCall> named = calls(name);
        return named.empty() ? std::vector<int>() : named.back().values;
    }
    void forget() {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.clear();
    }

    int SetInitValues() override {
        record("SetInitValues", {});
        if (!queueEvent_) queueEvent_ = CreateEventW(nullptr, TRUE, FALSE, L"InkDriverQueueEvent");
        return 1;
    }
    PenEventRing* getEventStack(int) override { return &ring; }
    void lockInking(int lock) override { record("lockInking", {lock}); }

    // Appends entries to the ring as the library would, and wakes the reader.
    void queue(std::initializer_list<int32_t> entries) {
        for (int32_t e : entries) {
            ring.entries[ring.writeIndex] = e;
            ring.writeIndex = (ring.writeIndex + 1) % PEN_EVENT_RING_SIZE;
        }
        if (queueEvent_) SetEvent(queueEvent_);
    }

    PenEventRing ring = {};
    int InsertHooks(HINSTANCE, HWND window) override {
        record("InsertHooks", {}, window);
        WaitForSingleObject(gate_, INFINITE);
        std::lock_guard<std::mutex> guard(lock_);
        if (insertFailures > 0) {
            --insertFailures;
            return 0;
        }
        return 1;
    }
    int RemoveAllHooks() override {
        record("RemoveAllHooks", {});
        return 1;
    }
    int setInkDriverParams(int a, int b, int c, int d, int e, int f, int g, int h) override {
        record("setInkDriverParams", {a, b, c, d, e, f, g, h});
        return 1;
    }
    void setHookTabletMode(int tabletMode, int allowedInputType, int superGesture,
                           int superGestureId, const RECT* area) override {
        record("setHookTabletMode",
               {tabletMode, allowedInputType, superGesture, superGestureId,
                static_cast<int>(area ? area->left : -1), static_cast<int>(area ? area->top : -1),
                static_cast<int>(area ? area->right : -1),
                static_cast<int>(area ? area->bottom : -1)});
    }
    void setMouseTransparent() override { record("setMouseTransparent", {}); }
    void unsetMouseTransparent() override { record("unsetMouseTransparent", {}); }
    void resetInkDriverSystemParams() override { record("resetInkDriverSystemParams", {}); }
    const wchar_t* getMessageToClientAddress() override { return messageForClient; }
    // The application in front and its focus window, as a test sets them.
    wchar_t targetModule[MAX_PATH] = L"";
    HWND focusWindow = nullptr;
    const wchar_t* getTargetModuleName() override {
        return targetModule[0] ? targetModule : nullptr;
    }
    HWND getLastFocusWindow() override { return focusWindow; }
    // The keyboard layout of the focus window, as a test sets it.
    HKL focusLayout = nullptr;
    HKL askLastFocusKeyboardLayout() override { return focusLayout; }

  private:
    void record(const char* name, std::vector<int> values, HWND window = nullptr) {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back({name, std::move(values), GetCurrentThreadId(), window});
    }

    std::mutex lock_;
    std::vector<HookCall> calls_;
    HANDLE gate_;
    HANDLE queueEvent_ = nullptr;
};
