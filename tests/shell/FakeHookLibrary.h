// A hook library for in-process tests: it records every call with its thread
// and can refuse or hold up InsertHooks.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "shell/HookLibrary.h"

struct HookCall {
    std::string name;
    std::vector<int> values;
    DWORD thread;
    HWND window;
};

class FakeHookLibrary : public HookLibrary {
  public:
    FakeHookLibrary() : gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
    ~FakeHookLibrary() override { CloseHandle(gate_); }

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
    void forget() {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.clear();
    }

    int SetInitValues() override {
        record("SetInitValues", {});
        return 1;
    }
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

  private:
    void record(const char* name, std::vector<int> values, HWND window = nullptr) {
        std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back({name, std::move(values), GetCurrentThreadId(), window});
    }

    std::mutex lock_;
    std::vector<HookCall> calls_;
    HANDLE gate_;
};
